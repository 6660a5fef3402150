// What the layer's tests share: the display of the private server the test
// runs on, a window class that logs its messages, a small resource table with
// a menu, and ways to let the server answer and to press keys through XTest.
#pragma once

#include <X11/Xlib.h>

#include <vector>

#include "platform/x11/layer.h"

#define TEST_MENU_ID 7
#define TEST_CLASS "Layer Test"
#define TEST_MENU_CLASS "Layer Test With Menu" // the same, with the test menu

struct LoggedMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// Every message the test class's procedure receives, in order.
extern std::vector<LoggedMessage> messageLog;
// What the test procedure answers WM_CREATE with.
extern LRESULT createResult;
// Whether the test procedure validates on WM_PAINT.
extern bool validateOnPaint;

// Opens $DISPLAY once and registers the test class.
void OpenTestDisplay();

// A top-level of the test class at (50, 50), 400 x 400, with the test menu or none.
HWND CreateTestWindow(bool withMenu);
HWND CreateTestChild(HWND parent, int x, int y, int width, int height);
// Creates, shows and waits until it is active, with nothing left to paint.
HWND ShowTestWindow(bool withMenu);
// Destroys every window the test made.
void DestroyAllWindows();

// Lets the server answer, then dispatches what is queued (at most a bound of
// messages, so a paint that validates nothing cannot hang the test).
void Pump();
// Pumps until a message of that kind has been logged for the window, up to a second.
bool PumpUntilLogged(HWND window, UINT message);

std::vector<LoggedMessage> LoggedFor(HWND window, UINT message);

// XTest input on the layer's own connection.
void PressKey(KeySym keysym);
void ReleaseKey(KeySym keysym);
void TapKey(KeySym keysym);
void ClickAt(int rootX, int rootY);
