// The menu bar and its drop-downs, drawn and run by the layer.
#pragma once

#include <X11/Xlib.h>

#include "win32.h"

// Builds the menu of a resource; NULL when there is none.
HMENU LoadMenuResource(HINSTANCE instance, LPCSTR name);
void DestroyMenuRec(HMENU menu);

// Puts the bar across the top of a top-level window's frame as a child X
// window and returns its height in pixels; the client area lies below.
int AttachMenuBar(HWND owner, HMENU menu, Window frame, int width);
void ResizeMenuBar(HMENU menu, int width);

// Offers an X event to the menus: true when it belonged to them (the bar, a
// drop-down, or any input while a menu is being tracked).
bool MenuHandleEvent(const XEvent* event);

// Keyboard entry, from DefWindowProcA: mnemonic 0 highlights the bar (F10,
// Alt released alone); a letter opens the pop-up whose hot key it is.
void MenuStartKeyboard(HWND owner, char mnemonic);

// True while the bar is highlighted or a drop-down is open.
bool MenuIsTracking();

// The window whose menu bar an X window is, or NULL.
HWND MenuBarOwner(Window xWindow);
