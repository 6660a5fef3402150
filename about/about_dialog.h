// The information dialog: what the graphics libraries report of themselves.
#pragma once

#include "platform/winapi.h"

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
