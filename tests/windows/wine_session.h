// The 64-bit Windows build under wine64, held in the same Session as the
// Linux build's end-to-end tests: the same X driver, keys and picture check.
// What X cannot show of a Windows program (the menu's check marks, the
// dialog's field texts) comes from helpers run beside it in the same prefix.
#pragma once

#include <string>
#include <vector>

#include "tests/e2e/e2e_session.h"

// Starts the program in the build folder's Wine prefix, gives its window the
// keyboard as a window manager would, and waits for the first frame.
// session.outer is the X window (Wine keeps the caption and borders outside
// it), session.client the client area as the program itself reports it.
testing::AssertionResult StartWineProgram(Session& session);

// Ends the program and the prefix's other Wine processes, which belong to
// this session's display; the next session starts them anew.
void StopWine(Session& session);

// An open drop-down of the program: Wine's are unnamed override-redirect
// windows of the program's class. 0 when none appears in time.
Window FindWinePopup(const Session& session, int timeoutMs);

// Runs a command with DISPLAY set to the session's; the lines it prints, or
// false when it fails.
bool RunOnDisplay(const Session& session, const std::string& command,
                  std::vector<std::string>& lines);

// Runs a console program of the Windows build (the probe, wgl-strings) on the
// session's display; its output lines, or false when it fails.
bool RunBeside(const Session& session, const std::string& exe, const std::string& args,
               std::vector<std::string>& lines);

// The Robot menu's check marks, top to bottom, as the program's own menu
// holds them; empty when the probe cannot tell.
std::vector<bool> ProbeCheckMarks(const Session& session);

// The information dialog's field texts in the probe's order: GL vendor,
// renderer, version, extensions, GLU version, extensions, then the six error
// fields; false when the dialog is not open.
bool ProbeDialogFields(const Session& session, std::vector<std::string>& fields);
