// What the menu and text tests share: a private X server with one frame
// window carrying the test menu's bar, and a record of posted messages in
// place of the window layer's queue.
#pragma once

#include <X11/Xlib.h>

#include <string>
#include <vector>

#include "platform/x11/win32.h"

// Command ids of the test menu (see layer_menu_stand_in.cpp).
enum {
    CMD_NEW = 1,
    CMD_OPEN = 2, // grayed
    CMD_EXIT = 3,
    CMD_CYLINDER = 11, // checked in the template
    CMD_ARM1 = 12,
    CMD_ARM2 = 13,
    CMD_DEEP = 31,
    CMD_RND = 32,
    CMD_ABOUT = 21,
};
#define TEST_MENU_ID 7

struct PostedMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// Filled by the stand-in PostMessageA.
extern std::vector<PostedMessage> posted;

// The stand-in owner of the bar, the frame it lies in and the bar's menu.
extern HWND testOwner;
extern Window testFrame;
extern HMENU testMenu;
extern std::string testDisplayName;

// Lets the server answer, then hands every queued event to the menus.
void PumpEvents();
// The viewable override-redirect window with that WM_NAME, or 0.
Window FindDropDown(const std::string& title);
