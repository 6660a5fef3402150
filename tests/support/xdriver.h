// Drives a program under a private X server the way a person would: keys and
// clicks through XTest, and reads back what the screen shows.
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <stdint.h>
#include <sys/types.h>

#include <string>
#include <vector>

// A private Xvfb; it dies with the test process if nobody stops it.
struct XServer {
    pid_t pid = -1;
    std::string display; // ":N"
};

// depth 24 gives TrueColor; 8 gives PseudoColor. extraArgs go to Xvfb as
// they are (e.g. "-extension", "GLX" for a server without GLX).
bool StartXServer(XServer& server, int width = 800, int height = 600, int depth = 24,
                  const std::vector<std::string>& extraArgs = {});
void StopXServer(XServer& server);

// The connection the driver works through; needs XTest and DAMAGE.
Display* ConnectDriver(const XServer& server);

// A launched program; its stderr goes to a file read on demand.
struct Program {
    pid_t pid = -1;
    std::string stderrPath;
    int exitCode = -1; // set once it has ended: the exit status, or 128 + signal
};

// display NULL starts it without DISPLAY in its environment.
bool LaunchProgram(Program& program, const std::vector<std::string>& args, const char* display);
bool WaitForExit(Program& program, int timeoutMs);
void KillProgram(Program& program);
std::string ProgramStderr(const Program& program);
// User + system CPU time in clock ticks, all threads; -1 once it is gone.
long ProgramCpuTicks(const Program& program);

struct Rect {
    int x = 0, y = 0, width = 0, height = 0; // root coordinates
};

struct WindowInfo {
    Window id = 0;
    Rect rect;
    std::string name;     // WM_NAME
    std::string resName;  // WM_CLASS, first string
    std::string resClass; // WM_CLASS, second string
    bool viewable = false;
    bool overrideRedirect = false;
    std::vector<WindowInfo> children; // bottom to top, filled when asked
};

bool DescribeWindow(Display* display, Window window, WindowInfo& info, bool recursive);
// The first window of the tree (itself included) with that WM_NAME, or NULL.
const WindowInfo* FindDescendant(const WindowInfo& tree, const std::string& name);

// Top-level windows are polled for until the timeout; 0 when none appears.
// Only viewable ones count: a window that is not on screen is not found.
Window FindTopLevel(Display* display, const std::string& name, int timeoutMs);
Window FindTopLevelByClass(Display* display, const std::string& resClass, int timeoutMs);
// A viewable override-redirect window (a drop-down menu) by WM_NAME.
Window FindPopup(Display* display, const std::string& name, int timeoutMs);
// True once the window is destroyed or off screen.
bool WaitForWindowGone(Display* display, Window window, int timeoutMs);

// Points at the window and gives it the keyboard, as a window manager would.
void FocusWindow(Display* display, Window window);
// Presses and releases a key, with a modifier key (e.g. XK_Alt_L) held if given.
void PressKey(Display* display, KeySym key, KeySym modifier = NoSymbol);
void MovePointer(Display* display, int x, int y);
void Click(Display* display, int x, int y, unsigned button = 1);
// Asks the window to close the way a window manager's close box does; false
// (and nothing sent) when the window does not take WM_DELETE_WINDOW, where a
// window manager would kill its connection instead.
bool SendDeleteWindow(Display* display, Window window);

struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb; // rows top to bottom, 3 bytes a pixel
};

Picture GrabRect(Display* display, const Rect& rect);
// Polls until the picture differs from before; after holds the last grab.
bool WaitForPictureChange(Display* display, const Rect& rect, const Picture& before, int timeoutMs,
                          Picture& after);

// Counts what is drawn into a window and the windows inside it (the root:
// the whole screen). Every draw, even of an identical frame, reports damage,
// so frames are counted without the program's help.
struct DamageWatch {
    Display* display = nullptr;
    int eventBase = 0;
    Damage damage = 0;
};

bool WatchDamage(DamageWatch& watch, Display* display, Window window);
void StopWatchingDamage(DamageWatch& watch);
// Damage reports that arrive within the next ms.
int CountDamage(DamageWatch& watch, int ms);
// Waits until nothing has been drawn for quietMs; false on timeout.
bool WaitForQuiet(DamageWatch& watch, int quietMs, int timeoutMs);
// Waits for something to be drawn, then for quiet; false on timeout.
bool WaitForDrawing(DamageWatch& watch, int quietMs, int timeoutMs);
