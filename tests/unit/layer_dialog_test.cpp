// Modal dialogs: dialog units, word wrapping, and a small template run through
// DialogBoxParamA on a private server, driven by real keys and clicks.
// gtest first: X's None and Bool macros would break its headers.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>

#include "platform/x11/dialog.h"
#include "platform/x11/layer.h"
#include "platform/x11/menu.h"
#include "platform/x11/resources.h"

// ---- The test template --------------------------------------------------------

enum {
    OWNER_MENU_ID = 49,
    TEST_DIALOG_ID = 50,
    BROKEN_DIALOG_ID = 51,
    ID_OTHER = 3,
    ID_THIRD = 4,
    ID_FIELD = 100
};

static const DWORD LABEL_STYLE = WS_CHILD | WS_VISIBLE | WS_GROUP;
static const DWORD BUTTON_STYLE = WS_CHILD | WS_VISIBLE | WS_TABSTOP;

// The first tab stop is the third control, so "the first control" and "the
// first tab stop" differ.
static const DialogItemTemplate TEST_ITEMS[] = {
    {LABEL_STYLE, 0, 10, 14, 100, 8, ID_FIELD, "STATIC", "placeholder"},
    {WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 0, 4, 2, 112, 34, 0xFFFF, "BUTTON", "Group"},
    {BUTTON_STYLE | BS_DEFPUSHBUTTON, 0, 6, 40, 34, 14, IDOK, "BUTTON", "OK"},
    {BUTTON_STYLE | BS_PUSHBUTTON, 0, 43, 40, 34, 14, ID_OTHER, "BUTTON", "Other"},
    {BUTTON_STYLE | BS_PUSHBUTTON, 0, 80, 40, 34, 14, ID_THIRD, "BUTTON", "Third"},
};
static const DialogTemplate TEST_DIALOG = {WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME |
                                               DS_SETFONT,
                                           0,
                                           8,
                                           4,
                                           120,
                                           60,
                                           "Test Dialog",
                                           "MS Sans Serif",
                                           8,
                                           5,
                                           TEST_ITEMS};

static const DialogItemTemplate BROKEN_ITEMS[] = {
    {LABEL_STYLE, 0, 10, 14, 100, 8, ID_FIELD, "STATIC", "fine"},
    {BUTTON_STYLE, 0, 10, 30, 40, 14, 7, "NO SUCH CLASS", "x"},
};
static const DialogTemplate BROKEN_DIALOG = {WS_POPUP | WS_CAPTION | DS_SETFONT,
                                             0,
                                             0,
                                             0,
                                             120,
                                             60,
                                             "Broken",
                                             "MS Sans Serif",
                                             8,
                                             2,
                                             BROKEN_ITEMS};

static const MenuItemTemplate OWNER_MENU[] = {
    {MF_POPUP | MF_END, 0, "&File"},
    {MF_END, 1, "E&xit"},
};

static const ResourceEntry TEST_RESOURCES[] = {
    {RT_MENU_ID, OWNER_MENU_ID, OWNER_MENU, 2},
    {RT_DIALOG_ID, TEST_DIALOG_ID, &TEST_DIALOG, 1},
    {RT_DIALOG_ID, BROKEN_DIALOG_ID, &BROKEN_DIALOG, 1},
};
const ResourceTable MODULE_RESOURCES = {3, TEST_RESOURCES};

// ---- Pure rules -----------------------------------------------------------------

TEST(DialogUnits, ConvertEachValueRoundedToTheNearestPixel) {
    const struct {
        const char* what;
        int x, y, cx, cy, baseX, baseY;
        RECT expected;
    } ROWS[] = {
        {"OK button", 90, 249, 50, 14, 6, 13, {135, 405, 210, 428}},
        {"extensions field", 61, 74, 156, 36, 6, 13, {92, 120, 326, 179}},
        {"whole dialog", 0, 0, 231, 270, 6, 13, {0, 0, 347, 439}},
        {"OK button, wider font", 90, 249, 50, 14, 7, 14, {158, 436, 246, 461}},
        {"left of the origin", -3, -5, 10, 10, 6, 13, {-5, -8, 10, 8}},
    };
    for (const auto& row : ROWS) {
        RECT got = DialogUnitsToPixels(row.x, row.y, row.cx, row.cy, row.baseX, row.baseY);
        EXPECT_EQ(got.left, row.expected.left) << row.what;
        EXPECT_EQ(got.top, row.expected.top) << row.what;
        EXPECT_EQ(got.right, row.expected.right) << row.what;
        EXPECT_EQ(got.bottom, row.expected.bottom) << row.what;
    }
}

// One pixel per byte, so the widths read off the strings.
static int BytesWide(const TextFont*, const char*, int length) {
    return length;
}

TEST(WrapText, BreaksAfterTheLastWordThatFitsAndAtLineBreaks) {
    const struct {
        const char* text;
        int width;
        std::vector<std::string> expected;
    } ROWS[] = {
        {"one two three", 7, {"one two", "three"}},
        {"one two three", 6, {"one", "two", "three"}},
        {"fits exactly", 12, {"fits exactly"}},
        {"a longword b", 4, {"a", "longword", "b"}},
        {"first\r\nsecond\n\nthird", 20, {"first", "second", "", "third"}},
        {"", 10, {}},
    };
    for (const auto& row : ROWS) {
        std::vector<std::string> lines;
        for (const TextLine& line : WrapText(NULL, row.text, row.width, BytesWide))
            lines.push_back(std::string(row.text + line.start, line.length));
        EXPECT_EQ(lines, row.expected) << '"' << row.text << "\" in " << row.width;
    }
}

// ---- The server side ------------------------------------------------------------

// What the test's dialog procedure saw and does.
struct DialogScript {
    void (*onInit)(HWND dialog);   // during WM_INITDIALOG
    void (*onActive)(HWND dialog); // once, when the dialog is first active
    BOOL initResult;
};

struct Command {
    WPARAM wParam;
    LPARAM lParam;
};

static DialogScript script;
static HWND initFocus;
static LPARAM initParam;
static bool ownerEnabledAtInit;
static bool activeSeen;
static bool closeSeen;
static std::vector<Command> commands;
static std::map<int, HWND> controls; // by id, kept past the dialog's end
static HWND owner;
static int ownerKeys;
static HWND endOnOwnerPaint; // the owner's next paint ends this dialog
static bool menuOpenAtOwnerPaint;

// Ends the dialog on any command with 100 + the command's id, so the result
// says which command came.
static INT_PTR CALLBACK TestDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        initFocus = (HWND)wParam;
        initParam = lParam;
        ownerEnabledAtInit = IsWindowEnabled(owner);
        for (int id : {(int)IDOK, (int)ID_OTHER, (int)ID_THIRD, (int)ID_FIELD})
            controls[id] = GetDlgItem(dialog, id);
        if (script.onInit != NULL)
            script.onInit(dialog);
        return script.initResult;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != 0 && !activeSeen) {
            activeSeen = true;
            if (script.onActive != NULL)
                script.onActive(dialog);
        }
        return FALSE;
    case WM_COMMAND:
        commands.push_back({wParam, lParam});
        EndDialog(dialog, 100 + LOWORD(wParam));
        return TRUE;
    case WM_CLOSE:
        closeSeen = true;
        return FALSE;
    }
    return FALSE;
}

static LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        ValidateRect(window, NULL);
        if (endOnOwnerPaint != NULL) {
            menuOpenAtOwnerPaint = MenuIsTracking();
            EndDialog(endOnOwnerPaint, 9);
        }
        return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        ownerKeys++;
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Lets the server answer and dispatches what is queued, for a while.
static void PumpFor(int milliseconds) {
    unsigned long until = NowMilliseconds() + (unsigned long)milliseconds;
    MSG msg;
    while (NowMilliseconds() < until) {
        XSync(xDisplay, False);
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        struct timespec pause = {0, 5 * 1000 * 1000};
        nanosleep(&pause, NULL);
    }
}

static void TapKey(KeySym keysym) {
    KeyCode code = XKeysymToKeycode(xDisplay, keysym);
    XTestFakeKeyEvent(xDisplay, code, True, CurrentTime);
    XTestFakeKeyEvent(xDisplay, code, False, CurrentTime);
    XFlush(xDisplay);
}

// The centre of a window on the screen.
static POINT CentreOf(HWND window) {
    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(xDisplay, window->xWindow, RootWindow(xDisplay, xScreen),
                          window->width / 2, window->height / 2, &x, &y, &child);
    return {x, y};
}

static void ButtonAt(POINT at, bool press) {
    XTestFakeMotionEvent(xDisplay, xScreen, at.x, at.y, CurrentTime);
    XTestFakeButtonEvent(xDisplay, 1, press, CurrentTime);
    XFlush(xDisplay);
}

static std::string NameOf(Window window) {
    char* name = NULL;
    std::string text;
    if (XFetchName(xDisplay, window, &name) && name != NULL)
        text = name;
    XFree(name);
    return text;
}

static std::set<Window> RootChildren() {
    Window root, parent, *children = NULL;
    unsigned count = 0;
    XQueryTree(xDisplay, RootWindow(xDisplay, xScreen), &root, &parent, &children, &count);
    std::set<Window> found(children, children + count);
    XFree(children);
    return found;
}

class LayerDialog : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!OpenConnection(NULL, "layer-dialog-test")) {
            fprintf(stderr, "layer dialog test: X11: cannot open display\n");
            exit(1);
        }
        WNDCLASSA wc = {};
        wc.lpfnWndProc = OwnerProc;
        wc.lpszClassName = "Dialog Test Owner";
        wc.lpszMenuName = MAKEINTRESOURCEA(OWNER_MENU_ID);
        RegisterClassA(&wc);
    }
    static void TearDownTestSuite() {
        CloseConnection();
    }
    void SetUp() override {
        script = {NULL, NULL, TRUE};
        initFocus = NULL;
        initParam = 0;
        activeSeen = closeSeen = false;
        commands.clear();
        controls.clear();
        ownerKeys = 0;
        endOnOwnerPaint = NULL;
        menuOpenAtOwnerPaint = false;
        owner = CreateWindowExA(0, "Dialog Test Owner", "Owner", WS_OVERLAPPEDWINDOW, 40, 60, 300,
                                200, NULL, NULL, &moduleInstance, NULL);
        ShowWindow(owner, SW_SHOW);
        for (int i = 0; i < 200 && ActiveTopLevel() != owner; i++)
            PumpFor(5);
        ASSERT_EQ(ActiveTopLevel(), owner);
    }
    void TearDown() override {
        DestroyWindow(owner);
        PumpFor(20);
    }
    INT_PTR RunTestDialog(LPARAM param = 0) {
        return DialogBoxParamA(&moduleInstance, MAKEINTRESOURCEA(TEST_DIALOG_ID), owner,
                               TestDialogProc, param);
    }
};

// Checks taken while the dialog is up, for the test body to assert on.
struct OpenDialogView {
    const TextFont* font;
    HWND focus;
    bool ownerEnabled;
    std::string caption;
    Window transientFor;
    Atom windowType;
    int width, height;                       // of the dialog's X window
    POINT clientOrigin;                      // on the screen
    POINT ownerOrigin;                       // the owner's client origin on the screen
    std::multiset<std::string> controlNames; // WM_NAME of each X child
};
static OpenDialogView view;

static void LookAtDialog(HWND dialog) {
    view.font = DialogFontOf(dialog);
    view.focus = GetFocus();
    view.ownerEnabled = IsWindowEnabled(owner);
    view.caption = NameOf(dialog->xWindow);
    XGetTransientForHint(xDisplay, dialog->xWindow, &view.transientFor);
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = NULL;
    view.windowType = None;
    if (XGetWindowProperty(xDisplay, dialog->xWindow,
                           XInternAtom(xDisplay, "_NET_WM_WINDOW_TYPE", False), 0, 1, False,
                           XA_ATOM, &type, &format, &count, &after, &data) == Success &&
        count == 1)
        view.windowType = *(Atom*)data;
    XFree(data);
    XWindowAttributes attributes;
    XGetWindowAttributes(xDisplay, dialog->xWindow, &attributes);
    view.width = attributes.width;
    view.height = attributes.height;
    Window child;
    int x, y;
    XTranslateCoordinates(xDisplay, dialog->xWindow, attributes.root, 0, 0, &x, &y, &child);
    view.clientOrigin = {x, y};
    RECT client = ClientRectOf(owner);
    XTranslateCoordinates(xDisplay, owner->xWindow, attributes.root, client.left, client.top, &x,
                          &y, &child);
    view.ownerOrigin = {x, y};
    Window root, parent, *children = NULL;
    unsigned n = 0;
    XQueryTree(xDisplay, dialog->xWindow, &root, &parent, &children, &n);
    view.controlNames.clear();
    for (unsigned i = 0; i < n; i++)
        view.controlNames.insert(NameOf(children[i]));
    XFree(children);
    EndDialog(dialog, 7);
}

TEST_F(LayerDialog, OpensOverTheOwnerWithTheTemplateLayoutAndLeavesNothingBehind) {
    std::set<Window> before = RootChildren();
    script.onActive = LookAtDialog;
    EXPECT_EQ(RunTestDialog(1234), 7);

    EXPECT_EQ(initFocus, controls[IDOK]) << "WM_INITDIALOG names the first tab stop";
    EXPECT_EQ(initParam, 1234);
    EXPECT_FALSE(ownerEnabledAtInit);
    EXPECT_FALSE(view.ownerEnabled);
    EXPECT_EQ(view.focus, controls[IDOK]);
    EXPECT_EQ(view.caption, "Test Dialog");
    EXPECT_EQ(view.transientFor, owner->xWindow);
    EXPECT_EQ(view.windowType, XInternAtom(xDisplay, "_NET_WM_WINDOW_TYPE_DIALOG", False));

    ASSERT_NE(view.font, nullptr);
    RECT frame = DialogUnitsToPixels(TEST_DIALOG.x, TEST_DIALOG.y, TEST_DIALOG.cx, TEST_DIALOG.cy,
                                     view.font->averageWidth, view.font->height);
    EXPECT_EQ(view.width, frame.right - frame.left);
    EXPECT_EQ(view.height, frame.bottom - frame.top);
    EXPECT_EQ(view.clientOrigin.x, view.ownerOrigin.x + frame.left);
    EXPECT_EQ(view.clientOrigin.y, view.ownerOrigin.y + frame.top);
    EXPECT_EQ(view.controlNames,
              (std::multiset<std::string>{"placeholder", "Group", "OK", "Other", "Third"}));

    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_FALSE(IsWindow(controls[IDOK]));
    XSync(xDisplay, False);
    EXPECT_EQ(RootChildren(), before) << "an X window of the dialog outlived it";
    PumpFor(50);
    EXPECT_EQ(ActiveTopLevel(), owner);
}

static void ChangeTexts(HWND dialog) {
    HWND field = GetDlgItem(dialog, ID_FIELD);
    char text[32];
    const struct {
        const char* set;
        int bufferSize;
        const char* expected;
    } ROWS[] = {
        {"new text", sizeof text, "new text"},
        {"new text", 4, "new"},
        {NULL, sizeof text, ""},
    };
    for (const auto& row : ROWS) {
        EXPECT_TRUE(SetDlgItemTextA(dialog, ID_FIELD, row.set));
        EXPECT_EQ(GetDlgItemTextA(dialog, ID_FIELD, text, row.bufferSize), strlen(row.expected));
        EXPECT_STREQ(text, row.expected);
        if (row.bufferSize == (int)sizeof text) {
            EXPECT_EQ(NameOf(field->xWindow), row.expected) << "WM_NAME";
        }
    }
    EXPECT_FALSE(SetDlgItemTextA(dialog, 999, "nowhere"));
    strcpy(text, "stale");
    EXPECT_EQ(GetDlgItemTextA(dialog, 999, text, sizeof text), 0u);
    EXPECT_STREQ(text, "");
    // Ending during WM_INITDIALOG: the dialog is never shown.
    EndDialog(dialog, 5);
}

TEST_F(LayerDialog, ControlTextsChangeInTheControlAndItsWindowName) {
    script.onInit = ChangeTexts;
    EXPECT_EQ(RunTestDialog(), 5);
    EXPECT_FALSE(activeSeen);
    EXPECT_TRUE(IsWindowEnabled(owner));
}

// ---- Input, one row per way a person answers the dialog --------------------------

static void PressEnter(HWND) {
    TapKey(XK_Return);
}
static void PressEscape(HWND) {
    TapKey(XK_Escape);
}
static void PressSpace(HWND) {
    TapKey(XK_space);
}
static void TabThenSpace(HWND) {
    TapKey(XK_Tab);
    TapKey(XK_space);
}
// Shift stays down until the row ends: the dialog reads it when Tab arrives.
static void ShiftTabThenEnter(HWND) {
    KeyCode shift = XKeysymToKeycode(xDisplay, XK_Shift_L);
    XTestFakeKeyEvent(xDisplay, shift, True, CurrentTime);
    TapKey(XK_Tab);
    TapKey(XK_Return);
}
static void CloseBox(HWND dialog) {
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = dialog->xWindow;
    event.xclient.message_type = atoms.wmProtocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)atoms.wmDeleteWindow;
    XSendEvent(xDisplay, dialog->xWindow, False, NoEventMask, &event);
    XFlush(xDisplay);
}
static void ClickOk(HWND dialog) {
    POINT at = CentreOf(GetDlgItem(dialog, IDOK));
    ButtonAt(at, true);
    ButtonAt(at, false);
}
// Released off the button, a press clicks nothing; Escape then ends the row.
static void PressOkReleaseOutside(HWND dialog) {
    HWND ok = GetDlgItem(dialog, IDOK);
    POINT at = CentreOf(ok);
    ButtonAt(at, true);
    ButtonAt({at.x, at.y - ok->height}, false);
    TapKey(XK_Escape);
}

TEST_F(LayerDialog, KeysClicksAndTheCloseBoxReachTheDialogProcedureAsCommands) {
    const struct {
        const char* name;
        void (*input)(HWND dialog);
        int command; // the one WM_COMMAND's id
        int fromId;  // the control its lParam names; 0 for none
        bool close;  // WM_CLOSE came first
    } ROWS[] = {
        {"Enter", PressEnter, IDOK, IDOK, false},
        {"Escape", PressEscape, IDCANCEL, 0, false},
        {"Space on the focused button", PressSpace, IDOK, IDOK, false},
        {"Tab then Space", TabThenSpace, ID_OTHER, ID_OTHER, false},
        {"Shift+Tab then Enter", ShiftTabThenEnter, ID_THIRD, ID_THIRD, false},
        {"the close box", CloseBox, IDCANCEL, 0, true},
        {"a click on OK", ClickOk, IDOK, IDOK, false},
        {"a press on OK released outside", PressOkReleaseOutside, IDCANCEL, 0, false},
    };
    for (const auto& row : ROWS) {
        SCOPED_TRACE(row.name);
        activeSeen = closeSeen = false;
        commands.clear();
        script.onActive = row.input;
        EXPECT_EQ(RunTestDialog(), 100 + row.command);
        XTestFakeKeyEvent(xDisplay, XKeysymToKeycode(xDisplay, XK_Shift_L), False, CurrentTime);
        ASSERT_EQ(commands.size(), 1u);
        EXPECT_EQ(commands[0].wParam, MAKEWPARAM(row.command, BN_CLICKED));
        EXPECT_EQ(commands[0].lParam, (LPARAM)(row.fromId ? controls[row.fromId] : NULL));
        EXPECT_EQ(closeSeen, row.close);
        PumpFor(20);
    }
    EXPECT_EQ(ownerKeys, 0) << "a key of the dialog's reached the owner";
}

// The owner takes the keyboard focus and a click on its menu bar, yet gets
// no key and opens no menu; its paint is still dispatched, and that paint is
// what ends the dialog.
static void KeyAndClickToOwnerThenRepaintIt(HWND dialog) {
    XSetInputFocus(xDisplay, owner->xWindow, RevertToParent, CurrentTime);
    TapKey(XK_Up);
    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(xDisplay, owner->xWindow, RootWindow(xDisplay, xScreen), 10,
                          owner->menuHeight / 2, &x, &y, &child);
    ButtonAt({x, y}, true);
    ButtonAt({x, y}, false);
    XSync(xDisplay, False);
    endOnOwnerPaint = dialog;
    InvalidateRect(owner, NULL, FALSE);
}

TEST_F(LayerDialog, OwnerRepaintsUnderneathButTakesNoKeysOrClicks) {
    ASSERT_GT(owner->menuHeight, 0);
    script.onActive = KeyAndClickToOwnerThenRepaintIt;
    EXPECT_EQ(RunTestDialog(), 9);
    EXPECT_EQ(ownerKeys, 0);
    EXPECT_FALSE(menuOpenAtOwnerPaint) << "the disabled owner's menu opened";
    EXPECT_TRUE(commands.empty());
}

static void QuitDuringInit(HWND) {
    PostQuitMessage(3);
}

TEST_F(LayerDialog, QuitRequestEndsTheDialogAndIsLeftForTheProgramsLoop) {
    script.onInit = QuitDuringInit;
    EXPECT_EQ(RunTestDialog(), 0);
    EXPECT_FALSE(IsWindow(controls[IDOK]));
    EXPECT_TRUE(IsWindowEnabled(owner));
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, (UINT)WM_QUIT);
    EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(LayerDialog, MissingTemplateOrControlClassFailsWithMinusOneAndUndoesIt) {
    std::set<Window> before = RootChildren();
    size_t windowsBefore = AllWindows().size();
    EXPECT_EQ(DialogBoxParamA(&moduleInstance, MAKEINTRESOURCEA(77), owner, TestDialogProc, 0), -1);
    EXPECT_EQ(DialogBoxParamA(&moduleInstance, MAKEINTRESOURCEA(BROKEN_DIALOG_ID), owner,
                              TestDialogProc, 0),
              -1);
    EXPECT_EQ(initFocus, nullptr) << "WM_INITDIALOG of a dialog that failed";
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(AllWindows().size(), windowsBefore);
    XSync(xDisplay, False);
    EXPECT_EQ(RootChildren(), before);
}
