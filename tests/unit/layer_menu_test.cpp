// The menus as the program and the keyboard meet them: the tree built from
// a template, check states, and keys typed while a menu is up.
#include <gtest/gtest.h>
#include <X11/keysym.h>

#include "platform/x11/connection.h"
#include "platform/x11/menu.h"
#include "tests/unit/layer_menu_stand_in.h"

// The commands posted since the last call.
static std::vector<UINT> TakeCommands() {
    std::vector<UINT> commands;
    for (const PostedMessage& message : posted) {
        EXPECT_EQ(message.window, testOwner);
        EXPECT_EQ(message.message, (UINT)WM_COMMAND);
        EXPECT_EQ(message.lParam, 0);
        commands.push_back(LOWORD(message.wParam));
        EXPECT_EQ(HIWORD(message.wParam), 0);
    }
    posted.clear();
    return commands;
}

static bool SendKey(int type, KeySym key) {
    XEvent event = {};
    event.xkey.type = type;
    event.xkey.display = xDisplay;
    event.xkey.window = testFrame;
    event.xkey.root = RootWindow(xDisplay, xScreen);
    event.xkey.keycode = XKeysymToKeycode(xDisplay, key);
    event.xkey.same_screen = True;
    return MenuHandleEvent(&event);
}

static void TypeKey(KeySym key) {
    EXPECT_TRUE(SendKey(KeyPress, key)) << "press of " << XKeysymToString(key);
    EXPECT_TRUE(SendKey(KeyRelease, key)) << "release of " << XKeysymToString(key);
    PumpEvents();
}

static void LeaveMenus() {
    for (int i = 0; i < 4 && MenuIsTracking(); i++)
        TypeKey(XK_Escape);
    ASSERT_FALSE(MenuIsTracking());
    posted.clear();
}

TEST(MenuTree, LoadsNestedPopupsAndMissingMenusAreNull) {
    EXPECT_EQ(LoadMenuResource(NULL, MAKEINTRESOURCEA(TEST_MENU_ID + 1)), nullptr);
    HMENU menu = LoadMenuResource(NULL, MAKEINTRESOURCEA(TEST_MENU_ID));
    ASSERT_NE(menu, nullptr);
    // A pop-up's state holds its item count in the high byte.
    const struct {
        UINT position;
        UINT state;
    } BAR[] = {
        {0, (4u << 8) | MF_POPUP}, // File: New, Open, separator, Exit
        {1, (4u << 8) | MF_POPUP}, // Robot: Cylinder, Arm1, Arm2, More
        {2, (1u << 8) | MF_POPUP}, // Help: About
        {3, (UINT)-1},
    };
    for (const auto& row : BAR)
        EXPECT_EQ(GetMenuState(menu, row.position, MF_BYPOSITION), row.state) << row.position;
    EXPECT_EQ(GetMenuState(menu, CMD_CYLINDER, MF_BYCOMMAND), (UINT)MF_CHECKED);
    EXPECT_EQ(GetMenuState(menu, CMD_OPEN, MF_BYCOMMAND), (UINT)MF_GRAYED);
    EXPECT_EQ(GetMenuState(menu, CMD_RND, MF_BYCOMMAND), (UINT)MF_UNCHECKED); // two levels down
    DestroyMenuRec(menu);
}

TEST(MenuTree, CheckMenuItemReturnsThePreviousState) {
    HMENU menu = LoadMenuResource(NULL, MAKEINTRESOURCEA(TEST_MENU_ID));
    ASSERT_NE(menu, nullptr);
    const struct {
        UINT item;
        UINT check; // with MF_BYCOMMAND or MF_BYPOSITION
        DWORD previous;
        UINT stateAfter; // GetMenuState, by the same addressing
    } CASES[] = {
        {CMD_CYLINDER, MF_UNCHECKED, MF_CHECKED, MF_UNCHECKED},
        {CMD_CYLINDER, MF_UNCHECKED, MF_UNCHECKED, MF_UNCHECKED},
        {CMD_ARM2, MF_CHECKED | MF_BYCOMMAND, MF_UNCHECKED, MF_CHECKED},
        {CMD_ARM2, MF_CHECKED, MF_CHECKED, MF_CHECKED},
        {CMD_DEEP, MF_CHECKED, MF_UNCHECKED, MF_CHECKED},             // nested pop-up
        {CMD_OPEN, MF_CHECKED, MF_UNCHECKED, MF_GRAYED | MF_CHECKED}, // keeps its gray
        {2, MF_CHECKED | MF_BYPOSITION, MF_UNCHECKED, (1u << 8) | MF_POPUP | MF_CHECKED},
        {999, MF_CHECKED, (DWORD)-1, (UINT)-1},
        {7, MF_CHECKED | MF_BYPOSITION, (DWORD)-1, (UINT)-1},
    };
    for (const auto& row : CASES) {
        EXPECT_EQ(CheckMenuItem(menu, row.item, row.check), row.previous) << row.item;
        EXPECT_EQ(GetMenuState(menu, row.item, row.check & MF_BYPOSITION), row.stateAfter)
            << row.item;
    }
    EXPECT_EQ(GetMenuState(menu, CMD_ARM1, MF_BYCOMMAND), (UINT)MF_UNCHECKED); // untouched
    DestroyMenuRec(menu);
}

// The keyboard as a table: where the menu starts (0: Alt alone), the keys
// typed, and the command chosen (0: none) and whether the menu is still up.
TEST(MenuKeyboard, KeySequencesChooseCommands) {
    const struct {
        char start;
        std::vector<KeySym> keys;
        UINT command;
        bool tracking;
    } CASES[] = {
        {0, {}, 0, true},                                            // first bar item highlighted
        {0, {XK_Down, XK_Return}, CMD_NEW, false},                   // Down opens on the first item
        {0, {XK_Return, XK_Return}, CMD_NEW, false},                 // so does Enter
        {0, {XK_Down, XK_Down, XK_Return}, CMD_EXIT, false},         // skips grayed and separator
        {0, {XK_Down, XK_Up, XK_Return}, CMD_EXIT, false},           // wraps upwards
        {0, {XK_Down, XK_Down, XK_Down, XK_Return}, CMD_NEW, false}, // and downwards
        {0, {XK_Right, XK_Down, XK_Return}, CMD_CYLINDER, false},
        {0, {XK_Left, XK_Down, XK_Return}, CMD_ABOUT, false},                    // bar wraps left
        {0, {XK_Down, XK_Right, XK_Right, XK_Right, XK_Return}, CMD_NEW, false}, // and right
        {0,
         {XK_Right, XK_Down, XK_Up, XK_Right, XK_Return},
         CMD_DEEP,
         false}, // into a nested pop-up
        {0, {XK_Right, XK_Down, XK_Up, XK_Right, XK_Left, XK_Up, XK_Return}, CMD_ARM2, false},
        {0, {XK_Escape}, 0, false},
        {0, {XK_Down, XK_Escape}, 0, true}, // back to the highlighted bar item
        {0, {XK_Down, XK_Escape, XK_Escape}, 0, false},
        {0, {XK_Down, XK_Escape, XK_Right, XK_Down, XK_Return}, CMD_CYLINDER, false},
        {0, {XK_Alt_L}, 0, false},
        {0, {XK_Down, XK_F10}, 0, false},
        {0, {XK_f, XK_x}, CMD_EXIT, false}, // letters are hot keys, in any case
        {0, {XK_h, XK_a}, CMD_ABOUT, false},
        {0, {XK_r}, 0, true},                         // "Robot" has no hot key
        {0, {XK_f, XK_o}, 0, true},                   // a grayed item is not chosen
        {0, {XK_f, XK_q, XK_Return}, CMD_NEW, false}, // a key without an item does nothing
        {0, {XK_Right, XK_Down, XK_m, XK_r, XK_d}, CMD_DEEP, false}, // "R&&D" has no hot key
        {'h', {XK_a}, CMD_ABOUT, false},
        {'H', {XK_Return}, CMD_ABOUT, false}, // opens with the first item selected
        {'f', {XK_Up, XK_Return}, CMD_EXIT, false},
        {'r', {}, 0, false}, // no such hot key: nothing starts
        {'q', {}, 0, false},
    };
    for (size_t i = 0; i < sizeof CASES / sizeof CASES[0]; i++) {
        const auto& row = CASES[i];
        ASSERT_FALSE(MenuIsTracking());
        MenuStartKeyboard(testOwner, row.start);
        PumpEvents();
        for (KeySym key : row.keys)
            TypeKey(key);
        std::vector<UINT> expected;
        if (row.command)
            expected.push_back(row.command);
        EXPECT_EQ(TakeCommands(), expected) << "case " << i;
        EXPECT_EQ(MenuIsTracking(), row.tracking) << "case " << i;
        LeaveMenus();
    }
}

TEST(MenuKeyboard, InputIsTheMenusOnlyWhileTracking) {
    XEvent configure = {};
    configure.type = ConfigureNotify;
    configure.xany.window = testFrame;
    EXPECT_FALSE(SendKey(KeyPress, XK_a));
    EXPECT_FALSE(SendKey(KeyRelease, XK_a));

    MenuStartKeyboard(testOwner, 0);
    EXPECT_TRUE(SendKey(KeyPress, XK_a));
    EXPECT_TRUE(SendKey(KeyRelease, XK_a));
    EXPECT_FALSE(MenuHandleEvent(&configure)); // only input is taken
    // The Alt that closes the menu keeps its release, which would open it again.
    EXPECT_TRUE(SendKey(KeyPress, XK_Alt_L));
    EXPECT_FALSE(MenuIsTracking());
    EXPECT_TRUE(SendKey(KeyRelease, XK_Alt_L));
    EXPECT_FALSE(SendKey(KeyRelease, XK_Alt_L));
    EXPECT_TRUE(TakeCommands().empty());
}
