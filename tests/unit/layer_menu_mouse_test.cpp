// The menus under the mouse, and the check marks a drop-down draws.
#include <gtest/gtest.h>
#include <X11/Xutil.h>

#include <map>

#include "platform/x11/connection.h"
#include "platform/x11/menu.h"
#include "tests/unit/layer_menu_stand_in.h"

// Drop-down rows: a 3 px inset, 22 px rows, 7 px separators (menu.cpp).
static const int INSET = 3;
static const int ROW = 22;
static const int CHECK_COLUMN = 20;

struct Bar {
    Window window = 0;
    int x = 0, y = 0, height = 0;        // root coordinates of the bar
    std::map<std::string, int> itemLeft; // first x (bar coordinates) opening each title
    std::vector<std::string> sweep;      // drop-downs met moving across the bar
};

static Window OpenDropDown() {
    for (const char* title : {"File", "Robot", "Help", "More"})
        if (Window window = FindDropDown(title))
            return window;
    return 0;
}

static std::string OpenTitle() {
    for (const char* title : {"More", "File", "Robot", "Help"}) // deepest first
        if (FindDropDown(title))
            return title;
    return "";
}

static void SendPointer(int type, int rootX, int rootY, unsigned button, Window window) {
    XEvent event = {};
    event.type = type;
    if (type == MotionNotify) {
        event.xmotion.window = window;
        event.xmotion.x_root = rootX;
        event.xmotion.y_root = rootY;
    } else {
        event.xbutton.window = window;
        event.xbutton.x_root = rootX;
        event.xbutton.y_root = rootY;
        event.xbutton.button = button;
    }
    EXPECT_TRUE(MenuHandleEvent(&event));
    PumpEvents();
}

// Finds the bar, then presses on its left end and moves right across it,
// noting where each drop-down opens: the way a person explores a bar.
static const Bar& TheBar() {
    static Bar bar;
    if (bar.window)
        return bar;
    Window root, parent, *children = NULL;
    unsigned count = 0;
    XQueryTree(xDisplay, testFrame, &root, &parent, &children, &count);
    for (unsigned i = 0; i < count; i++) {
        char* name = NULL;
        if (XFetchName(xDisplay, children[i], &name) && name && std::string(name) == "menubar")
            bar.window = children[i];
        if (name)
            XFree(name);
    }
    if (children)
        XFree(children);
    EXPECT_NE(bar.window, 0u);
    XWindowAttributes attributes;
    XGetWindowAttributes(xDisplay, bar.window, &attributes);
    bar.height = attributes.height;
    Window child;
    XTranslateCoordinates(xDisplay, bar.window, root, 0, 0, &bar.x, &bar.y, &child);

    int middle = bar.y + bar.height / 2;
    SendPointer(ButtonPress, bar.x + 2, middle, Button1, bar.window);
    SendPointer(ButtonRelease, bar.x + 2, middle, Button1, bar.window);
    for (int x = 2; x < 300; x += 2) {
        SendPointer(MotionNotify, bar.x + x, middle, 0, bar.window);
        std::string title = OpenTitle();
        if (!title.empty() && (bar.sweep.empty() || bar.sweep.back() != title)) {
            bar.sweep.push_back(title);
            bar.itemLeft[title] = x;
        }
    }
    SendPointer(ButtonPress, bar.x + 2, bar.y - 20, Button1, bar.window); // outside: closes
    EXPECT_FALSE(MenuIsTracking());
    posted.clear();
    return bar;
}

TEST(MenuMouse, MovingAcrossTheOpenBarSwitchesDropDowns) {
    const Bar& bar = TheBar();
    EXPECT_EQ(bar.sweep, (std::vector<std::string>{"File", "Robot", "Help"}));
    EXPECT_GE(bar.height, 18);
    EXPECT_LE(bar.height, 24);
}

enum Action { CLICK, PRESS, RELEASE, MOVE, WHEEL };
enum Where { BAR_ITEM, ROW_OF, OUTSIDE };

struct Step {
    Action action;
    Where where;
    const char* title; // the bar item, or the drop-down whose row is meant
    int y;             // for a row: y inside the drop-down
};

static void Perform(const Step& step) {
    const Bar& bar = TheBar();
    int x = 0, y = 0;
    switch (step.where) {
    case BAR_ITEM:
        x = bar.x + bar.itemLeft.at(step.title) + 4;
        y = bar.y + bar.height / 2;
        break;
    case ROW_OF: {
        Window drop = FindDropDown(step.title);
        ASSERT_NE(drop, 0u) << step.title << " is not open";
        Window root = RootWindow(xDisplay, xScreen), child;
        XTranslateCoordinates(xDisplay, drop, root, 30, step.y, &x, &y, &child);
        break;
    }
    case OUTSIDE:
        x = bar.x + 350;
        y = bar.y + 200;
        break;
    }
    if (step.action == MOVE) {
        SendPointer(MotionNotify, x, y, 0, bar.window);
        return;
    }
    unsigned button = step.action == WHEEL ? Button4 : Button1;
    if (step.action != RELEASE)
        SendPointer(ButtonPress, x, y, button, bar.window);
    if (step.action != PRESS)
        SendPointer(ButtonRelease, x, y, button, bar.window);
}

static int RowMiddle(int row) {
    return INSET + ROW * row + ROW / 2;
}
static const int SEPARATOR_MIDDLE = INSET + 2 * ROW + 3;      // File's separator
static const int EXIT_MIDDLE = INSET + 2 * ROW + 7 + ROW / 2; // and the row below it

// The mouse as a table: the steps, then the command chosen (0: none) and
// the drop-down left open ("": the menu closed).
TEST(MenuMouse, ClicksChooseOnRelease) {
    const struct {
        std::vector<Step> steps;
        UINT command;
        const char* open;
    } CASES[] = {
        {{{CLICK, BAR_ITEM, "File", 0}}, 0, "File"},
        {{{CLICK, BAR_ITEM, "File", 0}, {CLICK, ROW_OF, "File", RowMiddle(0)}}, CMD_NEW, ""},
        {{{PRESS, BAR_ITEM, "File", 0},
          {MOVE, ROW_OF, "File", EXIT_MIDDLE},
          {RELEASE, ROW_OF, "File", EXIT_MIDDLE}},
         CMD_EXIT,
         ""},
        {{{CLICK, BAR_ITEM, "File", 0}, {PRESS, ROW_OF, "File", RowMiddle(0)}}, 0, "File"},
        {{{CLICK, BAR_ITEM, "File", 0}, {CLICK, ROW_OF, "File", RowMiddle(1)}}, 0, "File"},
        {{{CLICK, BAR_ITEM, "File", 0}, {CLICK, ROW_OF, "File", SEPARATOR_MIDDLE}}, 0, "File"},
        {{{CLICK, BAR_ITEM, "File", 0}, {CLICK, OUTSIDE, "", 0}}, 0, ""},
        {{{CLICK, BAR_ITEM, "File", 0}, {CLICK, BAR_ITEM, "File", 0}}, 0, ""},
        {{{CLICK, BAR_ITEM, "File", 0}, {CLICK, BAR_ITEM, "Help", 0}}, 0, "Help"},
        {{{CLICK, BAR_ITEM, "Help", 0}, {WHEEL, OUTSIDE, "", 0}}, 0, "Help"},
        {{{CLICK, BAR_ITEM, "Robot", 0},
          {MOVE, ROW_OF, "Robot", RowMiddle(3)},
          {CLICK, ROW_OF, "More", RowMiddle(0)}},
         CMD_DEEP,
         ""},
        {{{CLICK, BAR_ITEM, "Robot", 0}, {CLICK, ROW_OF, "Robot", RowMiddle(2)}}, CMD_ARM2, ""},
    };
    for (size_t i = 0; i < sizeof CASES / sizeof CASES[0]; i++) {
        const auto& row = CASES[i];
        for (const Step& step : row.steps)
            Perform(step);
        std::vector<UINT> expected;
        if (row.command)
            expected.push_back(row.command);
        std::vector<UINT> commands;
        for (const PostedMessage& message : posted)
            if (message.message == WM_COMMAND && message.window == testOwner)
                commands.push_back(LOWORD(message.wParam));
        posted.clear();
        EXPECT_EQ(commands, expected) << "case " << i;
        EXPECT_EQ(OpenTitle(), row.open) << "case " << i;
        EXPECT_EQ(MenuIsTracking(), row.open[0] != 0) << "case " << i;
        if (MenuIsTracking())
            Perform({CLICK, OUTSIDE, "", 0});
        ASSERT_FALSE(MenuIsTracking());
        EXPECT_EQ(OpenDropDown(), 0u) << "case " << i << ": a drop-down outlived the menu";
    }
}

// Pixels in a row's check column that differ from the row's own background.
static int InkInCheckColumn(XImage* image, int row) {
    int top = INSET + ROW * row;
    unsigned long paper = XGetPixel(image, INSET, top);
    int ink = 0;
    for (int y = top; y < top + ROW; y++)
        for (int x = INSET; x < INSET + CHECK_COLUMN; x++)
            ink += XGetPixel(image, x, y) != paper;
    return ink;
}

// Opens "Robot" with the mouse (no row selected) and reads its check column.
static std::vector<int> CheckColumnsOfRobot() {
    Perform({CLICK, BAR_ITEM, "Robot", 0});
    Window drop = FindDropDown("Robot");
    EXPECT_NE(drop, 0u);
    std::vector<int> ink;
    if (drop == 0)
        return ink;
    XWindowAttributes attributes;
    XGetWindowAttributes(xDisplay, drop, &attributes);
    XImage* image = XGetImage(xDisplay, drop, 0, 0, (unsigned)attributes.width,
                              (unsigned)attributes.height, AllPlanes, ZPixmap);
    for (int row = 0; row < 3; row++)
        ink.push_back(InkInCheckColumn(image, row));
    XDestroyImage(image);
    Perform({CLICK, OUTSIDE, "", 0});
    return ink;
}

TEST(MenuDrawing, TheNextDropDownShowsTheCheckStates) {
    std::vector<int> before = CheckColumnsOfRobot();
    ASSERT_EQ(before.size(), 3u);
    EXPECT_GT(before[0], 12) << "Cylinder's mark";
    EXPECT_EQ(before[1], 0);
    EXPECT_EQ(before[2], 0);

    EXPECT_EQ(CheckMenuItem(testMenu, CMD_ARM2, MF_CHECKED), (DWORD)MF_UNCHECKED);
    EXPECT_EQ(CheckMenuItem(testMenu, CMD_CYLINDER, MF_UNCHECKED), (DWORD)MF_CHECKED);
    std::vector<int> after = CheckColumnsOfRobot();
    ASSERT_EQ(after.size(), 3u);
    EXPECT_EQ(after[0], 0);
    EXPECT_EQ(after[1], 0);
    EXPECT_EQ(after[2], before[0]) << "the same mark, on Arm2";

    CheckMenuItem(testMenu, CMD_ARM2, MF_UNCHECKED);
    CheckMenuItem(testMenu, CMD_CYLINDER, MF_CHECKED);
    posted.clear();
}
