// The window layer's message rules: creation, paint, quit, destruction,
// closing, disabled windows and where clicks land.
// gtest first: X's None and Bool macros would break its headers.
#include <gtest/gtest.h>

#include "tests/unit/layer_fixture.h"

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <string.h>

#include "platform/x11/menu.h"

class LayerQueue : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        OpenTestDisplay();
    }
    void TearDown() override {
        DestroyAllWindows();
    }
};

static std::vector<UINT> MessagesOf(HWND window) {
    std::vector<UINT> messages;
    for (const LoggedMessage& logged : messageLog)
        if (logged.window == window)
            messages.push_back(logged.message);
    return messages;
}

// The height of the menu bar X window lying in a frame; 0 without one.
static int MenuBarHeightIn(Window frame) {
    Window root, parent, *children = NULL;
    unsigned count = 0;
    int height = 0;
    XQueryTree(xDisplay, frame, &root, &parent, &children, &count);
    for (unsigned i = 0; i < count; i++) {
        char* name = NULL;
        if (XFetchName(xDisplay, children[i], &name) && name != NULL &&
            std::string(name) == "menubar") {
            XWindowAttributes attributes;
            XGetWindowAttributes(xDisplay, children[i], &attributes);
            height = attributes.height;
        }
        XFree(name);
    }
    XFree(children);
    return height;
}

TEST_F(LayerQueue, CreationSendsCreateThenSizeOfTheClientBelowTheMenuBar) {
    HWND window = CreateTestWindow(true);
    ASSERT_NE(window, nullptr);
    int barHeight = MenuBarHeightIn(window->xWindow);
    EXPECT_GT(barHeight, 10);

    ASSERT_EQ(MessagesOf(window), (std::vector<UINT>{WM_CREATE, WM_SIZE}));
    auto size = LoggedFor(window, WM_SIZE)[0];
    EXPECT_EQ(size.wParam, (WPARAM)SIZE_RESTORED);
    EXPECT_EQ(LOWORD(size.lParam), 400);
    EXPECT_EQ(HIWORD(size.lParam), 400 - barHeight);
    RECT client, outer;
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(client.bottom, 400 - barHeight);
    ASSERT_TRUE(GetWindowRect(window, &outer));
    EXPECT_EQ(outer.left, 50);
    EXPECT_EQ(outer.top, 50);
    EXPECT_EQ(outer.right - outer.left, 400);
    EXPECT_EQ(outer.bottom - outer.top, 400);
    EXPECT_EQ(FindWindowA(TEST_MENU_CLASS, "layer test"), window);
}

TEST_F(LayerQueue, CreationRefusedByTheWindowUndoesIt) {
    createResult = -1;
    size_t windowsBefore = AllWindows().size();
    EXPECT_EQ(CreateTestWindow(true), nullptr);
    std::vector<UINT> messages;
    for (const LoggedMessage& logged : messageLog)
        messages.push_back(logged.message);
    EXPECT_EQ(messages, (std::vector<UINT>{WM_CREATE, WM_DESTROY, WM_NCDESTROY}));
    EXPECT_EQ(AllWindows().size(), windowsBefore);
    EXPECT_EQ(FindWindowA(TEST_MENU_CLASS, NULL), nullptr);
}

TEST_F(LayerQueue, ClassRegistrationRefusesNoNameAndDuplicates) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = NULL;
    EXPECT_EQ(RegisterClassA(&wc), 0);
    wc.lpszClassName = "layer test"; // names compare without case
    EXPECT_EQ(RegisterClassA(&wc), 0);
    wc.lpszClassName = "Another";
    EXPECT_NE(RegisterClassA(&wc), 0);
    EXPECT_EQ(CreateWindowExA(0, "Unknown", "", 0, 0, 0, 10, 10, NULL, NULL, NULL, NULL), nullptr);
}

TEST_F(LayerQueue, UpdateWindowPaintsAtOnceOnlyWhenSomethingIsInvalid) {
    HWND window = CreateTestWindow(false);
    ShowWindow(window, SW_SHOW);
    messageLog.clear();
    UpdateWindow(window); // showing invalidated it all
    EXPECT_EQ(MessagesOf(window), (std::vector<UINT>{WM_PAINT}));
    UpdateWindow(window);
    EXPECT_EQ(MessagesOf(window).size(), 1u);
}

// The server exposes a window it maps, and exposes it again for whatever
// uncovers it. An exposure made before a paint's first request reached the
// server, inside the part that paint was given, is painted over by it: the
// window is not painted twice. Any other exposure brings a paint.
TEST_F(LayerQueue, ExposureIsPaintedUnlessALaterPaintCoveredIt) {
    HWND shown = CreateTestWindow(false);
    ShowWindow(shown, SW_SHOW);
    UpdateWindow(shown);
    ASSERT_TRUE(PumpUntilLogged(shown, WM_ACTIVATE)); // mapped: its exposure is in
    Pump();
    EXPECT_EQ(LoggedFor(shown, WM_PAINT).size(), 1u) << "shown and painted at once";
    DestroyWindow(shown);

    Display* outside = XOpenDisplay(XDisplayString(xDisplay));
    ASSERT_NE(outside, nullptr);
    const struct {
        const char* what;
        RECT exposed;
        bool beforePaint; // made before the paint's first request reached the server
        size_t paints;    // those the exposure brings
    } ROWS[] = {
        {"inside a later paint", {10, 10, 50, 50}, true, 0},
        {"partly outside a later paint", {150, 150, 250, 250}, true, 1},
        {"after the paint", {10, 10, 50, 50}, false, 1},
    };
    const RECT PAINTED = {0, 0, 200, 200};
    HWND window = ShowTestWindow(false);
    for (const auto& row : ROWS) {
        XSync(xDisplay, False);
        if (!row.beforePaint) {
            InvalidateRect(window, &PAINTED, FALSE);
            UpdateWindow(window);
            XSync(xDisplay, False);
        }
        XClearArea(outside, window->xWindow, row.exposed.left, row.exposed.top,
                   row.exposed.right - row.exposed.left, row.exposed.bottom - row.exposed.top,
                   True);
        XSync(outside, False);
        if (row.beforePaint) {
            // The exposure waits unread on the connection meanwhile.
            InvalidateRect(window, &PAINTED, FALSE);
            UpdateWindow(window);
        }
        messageLog.clear();
        Pump();
        EXPECT_EQ(LoggedFor(window, WM_PAINT).size(), row.paints) << row.what;
    }
    XCloseDisplay(outside);
}

// One row per step: what GetMessageA returns next once the window has been
// invalidated twice and two messages have been posted.
TEST_F(LayerQueue, PaintComesAfterPostedMessagesOnceAndAgainUntilValidated) {
    HWND window = ShowTestWindow(false);
    validateOnPaint = false;
    RECT first = {0, 0, 10, 10}, second = {50, 60, 70, 80};
    InvalidateRect(window, &first, FALSE);
    InvalidateRect(window, &second, FALSE);
    PostMessageA(window, WM_USER, 1, 0);
    PostMessageA(window, WM_USER, 2, 0);
    RECT update;
    ASSERT_TRUE(GetUpdateRect(window, &update, FALSE));
    EXPECT_EQ(update.left, 0);
    EXPECT_EQ(update.top, 0);
    EXPECT_EQ(update.right, 70);
    EXPECT_EQ(update.bottom, 80);

    const struct {
        UINT message;
        WPARAM wParam;
    } EXPECTED[] = {{WM_USER, 1}, {WM_USER, 2}, {WM_PAINT, 0}, {WM_PAINT, 0}, {WM_PAINT, 0}};
    for (const auto& row : EXPECTED) {
        MSG msg;
        ASSERT_TRUE(GetMessageA(&msg, NULL, 0, 0));
        EXPECT_EQ(msg.hwnd, window);
        EXPECT_EQ(msg.message, row.message);
        EXPECT_EQ(msg.wParam, row.wParam);
        DispatchMessageA(&msg);
    }
    ValidateRect(window, NULL);
    MSG msg;
    XSync(xDisplay, False);
    EXPECT_FALSE(PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE));
    EXPECT_FALSE(GetUpdateRect(window, NULL, FALSE));
}

TEST_F(LayerQueue, QuitComesAfterPostedMessagesWithItsCode) {
    HWND window = ShowTestWindow(false);
    PostMessageA(window, WM_USER, 0, 0);
    PostQuitMessage(7);
    MSG msg;
    ASSERT_TRUE(GetMessageA(&msg, NULL, 0, 0));
    EXPECT_EQ(msg.message, (UINT)WM_USER);
    EXPECT_EQ(GetMessageA(&msg, NULL, 0, 0), 0);
    EXPECT_EQ(msg.message, (UINT)WM_QUIT);
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_FALSE(PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)); // taken once
}

// Keys the server sends in a burst are all read before the next paint: a
// burst gives a frame or two, not one per key.
TEST_F(LayerQueue, BurstOfKeysGivesFewFrames) {
    HWND window = ShowTestWindow(false);
    Display* driver = XOpenDisplay(NULL);
    ASSERT_NE(driver, nullptr);
    KeyCode right = XKeysymToKeycode(driver, XK_Right);
    for (int i = 0; i < 200; i++) {
        XTestFakeKeyEvent(driver, right, True, CurrentTime);
        XTestFakeKeyEvent(driver, right, False, CurrentTime);
    }
    XSync(driver, False);
    XCloseDisplay(driver);

    int keys = 0;
    while (keys < 200) {
        MSG msg;
        ASSERT_TRUE(GetMessageA(&msg, NULL, 0, 0));
        if (msg.message == WM_KEYDOWN) {
            keys++;
            InvalidateRect(window, NULL, FALSE);
        }
        DispatchMessageA(&msg);
    }
    Pump();
    int frames = (int)LoggedFor(window, WM_PAINT).size();
    EXPECT_GE(frames, 1);
    EXPECT_LE(frames, 3);
}

TEST_F(LayerQueue, DestroyTellsParentThenChildrenAndHandlesDieSafely) {
    HWND parent = CreateTestWindow(false);
    HWND child = CreateTestChild(parent, 10, 10, 50, 50);
    messageLog.clear();
    ASSERT_TRUE(DestroyWindow(parent));
    std::vector<std::pair<HWND, UINT>> order;
    for (const LoggedMessage& logged : messageLog)
        order.push_back({logged.window, logged.message});
    EXPECT_EQ(order, (std::vector<std::pair<HWND, UINT>>{{parent, WM_DESTROY},
                                                         {child, WM_DESTROY},
                                                         {child, WM_NCDESTROY},
                                                         {parent, WM_NCDESTROY}}));
    RECT rect;
    EXPECT_FALSE(IsWindow(parent));
    EXPECT_FALSE(IsWindow(child));
    EXPECT_FALSE(DestroyWindow(parent));
    EXPECT_FALSE(GetClientRect(child, &rect));
    EXPECT_EQ(SendMessageA(parent, WM_USER, 0, 0), 0);
    EXPECT_FALSE(PostMessageA(parent, WM_USER, 0, 0));
}

// What a window manager sends for the close box.
static void SendDeleteWindow(HWND window) {
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window->xWindow;
    event.xclient.message_type = atoms.wmProtocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)atoms.wmDeleteWindow;
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(xDisplay, window->xWindow, False, NoEventMask, &event);
}

TEST_F(LayerQueue, CloseBoxClosesAndDestroysThroughTheDefaultProcedure) {
    HWND window = ShowTestWindow(true);
    SendDeleteWindow(window);
    Pump();
    EXPECT_FALSE(IsWindow(window));
    ASSERT_GE(messageLog.size(), 2u);
    EXPECT_EQ(messageLog[0].message, (UINT)WM_CLOSE);
    EXPECT_EQ(messageLog[1].message, (UINT)WM_DESTROY);
}

TEST_F(LayerQueue, DisabledWindowGetsNoInputButStillPaints) {
    HWND window = ShowTestWindow(false);
    HWND child = CreateTestChild(window, 100, 100, 50, 50);
    Pump();
    EXPECT_FALSE(EnableWindow(window, FALSE));
    EXPECT_FALSE(IsWindowEnabled(window));
    messageLog.clear();
    TapKey(XK_a);
    ClickAt(50 + 10, 50 + 10);
    ClickAt(50 + 110, 50 + 110); // on the child
    SendDeleteWindow(window);
    InvalidateRect(window, NULL, FALSE);
    Pump();
    EXPECT_EQ(MessagesOf(window), (std::vector<UINT>{WM_PAINT}));
    EXPECT_TRUE(MessagesOf(child).empty());

    EXPECT_TRUE(EnableWindow(window, TRUE));
    messageLog.clear();
    TapKey(XK_a);
    Pump();
    EXPECT_EQ(LoggedFor(window, WM_KEYDOWN).size(), 1u);
}

// A click lands on the window under the pointer, in its client coordinates:
// below the menu bar for a top-level, in the child for a child.
TEST_F(LayerQueue, ClicksArriveInClientCoordinatesOfTheWindowUnderThePointer) {
    HWND window = ShowTestWindow(true);
    HWND child = CreateTestChild(window, 200, 150, 60, 40);
    Pump();
    int bar = window->menuHeight;
    const struct {
        int rootX, rootY;
        HWND expected;
        int x, y;
    } ROWS[] = {
        {50 + 10, 50 + bar + 20, window, 10, 20},
        {50 + 205, 50 + bar + 157, child, 5, 7},
    };
    for (const auto& row : ROWS) {
        messageLog.clear();
        ClickAt(row.rootX, row.rootY);
        Pump();
        auto down = LoggedFor(row.expected, WM_LBUTTONDOWN);
        auto up = LoggedFor(row.expected, WM_LBUTTONUP);
        ASSERT_EQ(down.size(), 1u) << row.x << "," << row.y;
        ASSERT_EQ(up.size(), 1u);
        EXPECT_EQ(LOWORD(down[0].lParam), row.x);
        EXPECT_EQ(HIWORD(down[0].lParam), row.y);
        EXPECT_EQ(down[0].wParam & 1, 1u); // MK_LBUTTON while down
        EXPECT_EQ(up[0].wParam & 1, 0u);
    }
}

TEST_F(LayerQueue, ResizeReportsTheNewClientSizeAndInvalidatesAll) {
    HWND window = ShowTestWindow(true);
    int bar = window->menuHeight;
    XResizeWindow(xDisplay, window->xWindow, 300, 250);
    ASSERT_TRUE(PumpUntilLogged(window, WM_SIZE));
    auto size = LoggedFor(window, WM_SIZE).back();
    EXPECT_EQ(LOWORD(size.lParam), 300);
    EXPECT_EQ(HIWORD(size.lParam), 250 - bar);
    // CS_HREDRAW | CS_VREDRAW: the whole client area was painted again.
    EXPECT_FALSE(LoggedFor(window, WM_PAINT).empty());
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 300);
    EXPECT_EQ(client.bottom, 250 - bar);
}

// Alt pressed and released alone, F10, and Alt with a menu letter enter the
// menu bar; Alt with another key in between does not.
TEST_F(LayerQueue, DefaultProcedureEntersTheMenuFromTheKeyboard) {
    const struct {
        const char* what;
        KeySym keys[2]; // pressed in order, released in reverse
        bool tracking;
    } ROWS[] = {
        {"Alt alone", {XK_Alt_L, 0}, true},
        {"F10", {XK_F10, 0}, true},
        {"Alt+F", {XK_Alt_L, XK_f}, true},
        {"Alt+Q (no such mnemonic)", {XK_Alt_L, XK_q}, false},
    };
    HWND window = ShowTestWindow(true);
    for (const auto& row : ROWS) {
        PressKey(row.keys[0]);
        if (row.keys[1])
            TapKey(row.keys[1]);
        ReleaseKey(row.keys[0]);
        Pump();
        EXPECT_EQ(MenuIsTracking(), row.tracking) << row.what;
        for (int i = 0; i < 3 && MenuIsTracking(); i++) {
            TapKey(XK_Escape);
            Pump();
        }
        ASSERT_FALSE(MenuIsTracking());
    }
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(LayerQueue, WindowTextIsTheXWindowName) {
    HWND window = CreateTestWindow(false);
    HWND child = CreateTestChild(window, 0, 0, 10, 10);
    const struct {
        HWND window;
        const char* text;
        const char* expected;
    } ROWS[] = {
        {window, "Title", "Title"}, {child, "Static text", "Static text"}, {child, NULL, ""}};
    for (const auto& row : ROWS) {
        ASSERT_TRUE(SetWindowTextA(row.window, row.text));
        char buffer[32];
        EXPECT_EQ(GetWindowTextA(row.window, buffer, sizeof buffer), (int)strlen(row.expected));
        EXPECT_STREQ(buffer, row.expected);
        char* name = NULL;
        XFetchName(xDisplay, row.window->xWindow, &name);
        EXPECT_STREQ(name != NULL ? name : "", row.expected);
        XFree(name);
    }
    char small[4];
    EXPECT_EQ(GetWindowTextA(window, small, sizeof small), 3);
    EXPECT_STREQ(small, "Tit");
}
