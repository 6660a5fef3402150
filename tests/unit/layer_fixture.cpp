#include "tests/unit/layer_fixture.h"

#include <X11/extensions/XTest.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include "platform/x11/resources.h"

std::vector<LoggedMessage> messageLog;
LRESULT createResult;
bool validateOnPaint = true;

static const MenuItemTemplate TEST_MENU[] = {
    {MF_POPUP, 0, "&File"},
    {MF_END, 1, "E&xit"},
    {MF_POPUP | MF_END, 0, "&Help"},
    {MF_END, 2, "&About"},
};
static const ResourceEntry TEST_RESOURCES[] = {
    {RT_MENU_ID, TEST_MENU_ID, TEST_MENU, (int)(sizeof TEST_MENU / sizeof TEST_MENU[0])},
};
const ResourceTable MODULE_RESOURCES = {1, TEST_RESOURCES};

static LRESULT CALLBACK TestWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    messageLog.push_back({window, message, wParam, lParam});
    switch (message) {
    case WM_CREATE:
        return createResult;
    case WM_PAINT:
        if (validateOnPaint)
            ValidateRect(window, NULL);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void OpenTestDisplay() {
    if (xDisplay != NULL)
        return;
    if (!OpenConnection(NULL, "layer-test")) {
        fprintf(stderr, "layer test: X11: cannot open display \"%s\"\n", XDisplayName(NULL));
        exit(1);
    }
    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = TestWndProc;
    wc.hInstance = &moduleInstance;
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.lpszClassName = TEST_CLASS;
    RegisterClassA(&wc);
    wc.lpszMenuName = MAKEINTRESOURCEA(TEST_MENU_ID);
    wc.lpszClassName = TEST_MENU_CLASS;
    RegisterClassA(&wc);
}

HWND CreateTestWindow(bool withMenu) {
    OpenTestDisplay();
    return CreateWindowExA(0, withMenu ? TEST_MENU_CLASS : TEST_CLASS, "Layer Test",
                           WS_OVERLAPPEDWINDOW, 50, 50, 400, 400, NULL, NULL, &moduleInstance,
                           NULL);
}

HWND CreateTestChild(HWND parent, int x, int y, int width, int height) {
    return CreateWindowExA(0, TEST_CLASS, "child", WS_CHILD | WS_VISIBLE, x, y, width, height,
                           parent, (HMENU)(UINT_PTR)100, &moduleInstance, NULL);
}

HWND ShowTestWindow(bool withMenu) {
    HWND window = CreateTestWindow(withMenu);
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    PumpUntilLogged(window, WM_ACTIVATE);
    Pump();
    messageLog.clear();
    return window;
}

void DestroyAllWindows() {
    for (HWND window : std::vector<HWND>(AllWindows()))
        if (IsWindow(window) && window->parent == NULL)
            DestroyWindow(window);
    validateOnPaint = true;
    createResult = 0;
    Pump();
    messageLog.clear();
}

void Pump() {
    XSync(xDisplay, False);
    MSG msg;
    for (int i = 0; i < 1000 && PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE); i++) {
        if (msg.message == WM_QUIT)
            break;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

std::vector<LoggedMessage> LoggedFor(HWND window, UINT message) {
    std::vector<LoggedMessage> found;
    for (const LoggedMessage& logged : messageLog)
        if (logged.window == window && logged.message == message)
            found.push_back(logged);
    return found;
}

bool PumpUntilLogged(HWND window, UINT message) {
    for (int round = 0; round < 100; round++) {
        Pump();
        if (!LoggedFor(window, message).empty())
            return true;
        struct timespec pause = {0, 10 * 1000 * 1000};
        nanosleep(&pause, NULL);
    }
    return false;
}

void PressKey(KeySym keysym) {
    XTestFakeKeyEvent(xDisplay, XKeysymToKeycode(xDisplay, keysym), True, CurrentTime);
}

void ReleaseKey(KeySym keysym) {
    XTestFakeKeyEvent(xDisplay, XKeysymToKeycode(xDisplay, keysym), False, CurrentTime);
}

void TapKey(KeySym keysym) {
    PressKey(keysym);
    ReleaseKey(keysym);
}

void ClickAt(int rootX, int rootY) {
    XTestFakeMotionEvent(xDisplay, xScreen, rootX, rootY, CurrentTime);
    XTestFakeButtonEvent(xDisplay, 1, True, CurrentTime);
    XTestFakeButtonEvent(xDisplay, 1, False, CurrentTime);
}
