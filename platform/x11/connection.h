// The process's one X connection, opened by the start-up code before WinMain
// and closed after it returns.
#pragma once

#include <X11/Xlib.h>

extern Display* xDisplay;
extern int xScreen;
