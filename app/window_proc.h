// The main window's procedure and the state it keeps for the program's life.
#pragma once

#include "app/view_state.h"
#include "platform/winapi.h"

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The module the About command loads its dialog template from; set by WinMain.
void SetInstance(HINSTANCE instance);

// What the next frame shows.
const ViewState& CurrentView();
