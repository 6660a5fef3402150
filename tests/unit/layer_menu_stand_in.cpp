// The window layer's side of the menus, stood in for: the X connection, the
// resource table, PostMessageA, and a mapped frame window with the bar.
// gtest first: X's None and Bool macros would break its headers.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "tests/unit/layer_menu_stand_in.h"

#include "platform/x11/connection.h"
#include "platform/x11/menu.h"
#include "platform/x11/resources.h"
#include "platform/x11/text.h"

Display* xDisplay;
int xScreen;

std::vector<PostedMessage> posted;
static int ownerTag;
HWND testOwner = (HWND)&ownerTag;
Window testFrame;
HMENU testMenu;
std::string testDisplayName;

// Three pop-ups like the program's, plus the cases its menu lacks: an
// accelerator text, a grayed item, a separator, a nested pop-up and "&&".
static const MenuItemTemplate TEST_MENU[] = {
    {MF_POPUP, 0, "&File"},
    {0, CMD_NEW, "&New\tCtrl+N"},
    {MF_GRAYED, CMD_OPEN, "&Open"},
    {MF_SEPARATOR, 0, ""},
    {MF_END, CMD_EXIT, "E&xit"},
    {MF_POPUP, 0, "Robot"},
    {MF_CHECKED, CMD_CYLINDER, "Cylinder"},
    {0, CMD_ARM1, "Arm1"},
    {0, CMD_ARM2, "Arm2"},
    {MF_POPUP | MF_END, 0, "&More"},
    {0, CMD_DEEP, "&Deep"},
    {MF_END, CMD_RND, "R&&D"},
    {MF_POPUP | MF_END, 0, "&Help"},
    {MF_END, CMD_ABOUT, "&About"},
};
static const ResourceEntry TEST_ENTRY = {RT_MENU_ID, TEST_MENU_ID, TEST_MENU,
                                         (int)(sizeof TEST_MENU / sizeof TEST_MENU[0])};

const ResourceEntry* FindResource(HINSTANCE, LPCSTR name, WORD type) {
    if (type == RT_MENU_ID && IS_INTRESOURCE(name) && (UINT_PTR)name == TEST_MENU_ID)
        return &TEST_ENTRY;
    return NULL;
}

extern "C" BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    posted.push_back({window, message, wParam, lParam});
    return TRUE;
}

void PumpEvents() {
    for (int round = 0; round < 3; round++) {
        XSync(xDisplay, False);
        while (XPending(xDisplay)) {
            XEvent event;
            XNextEvent(xDisplay, &event);
            MenuHandleEvent(&event);
        }
    }
}

Window FindDropDown(const std::string& title) {
    Window root, parent, *children = NULL;
    unsigned count = 0;
    Window found = 0;
    XQueryTree(xDisplay, RootWindow(xDisplay, xScreen), &root, &parent, &children, &count);
    for (unsigned i = 0; i < count; i++) {
        XWindowAttributes attributes;
        char* name = NULL;
        if (!XGetWindowAttributes(xDisplay, children[i], &attributes) ||
            attributes.map_state != IsViewable || !attributes.override_redirect)
            continue;
        if (XFetchName(xDisplay, children[i], &name) && name && title == name)
            found = children[i];
        if (name)
            XFree(name);
    }
    if (children)
        XFree(children);
    return found;
}

// One frame for the whole run, on the private server that with-xvfb.sh
// starts: the menus keep process-wide state, and they grab the pointer.
class MenuEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        const char* display = getenv("DISPLAY");
        ASSERT_NE(display, nullptr) << "run through tests/support/with-xvfb.sh";
        testDisplayName = display;
        xDisplay = XOpenDisplay(display);
        ASSERT_NE(xDisplay, nullptr) << "cannot open display " << display;
        xScreen = DefaultScreen(xDisplay);
        testFrame = XCreateSimpleWindow(xDisplay, RootWindow(xDisplay, xScreen), 50, 50, 400, 300,
                                        0, 0, 0xFFFFFF);
        XSelectInput(xDisplay, testFrame, StructureNotifyMask);
        testMenu = LoadMenuResource(NULL, MAKEINTRESOURCEA(TEST_MENU_ID));
        ASSERT_NE(testMenu, nullptr);
        ASSERT_GT(AttachMenuBar(testOwner, testMenu, testFrame, 400), 0);
        XMapWindow(xDisplay, testFrame);
        PumpEvents();
    }
    void TearDown() override {
        if (xDisplay == NULL)
            return;
        DestroyMenuRec(testMenu);
        CloseFonts();
        XCloseDisplay(xDisplay);
        xDisplay = NULL;
    }
};

static ::testing::Environment* const menuEnvironment =
    ::testing::AddGlobalTestEnvironment(new MenuEnvironment);
