// A program for the start-up checks: its exit code tells what WinMain was
// given; with "wait" it keeps a window open until the connection goes.
#include <string.h>

#include "platform/x11/layer.h"
#include "platform/x11/resources.h"

const ResourceTable MODULE_RESOURCES = {0, NULL};

static LRESULT CALLBACK ProbeWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY)
        PostQuitMessage(0);
    return DefWindowProcA(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand) {
    if (instance == NULL || previous != NULL || showCommand != SW_SHOWNORMAL)
        return 4;
    if (strcmp(commandLine, "wait") != 0)
        return strcmp(commandLine, "two words") == 0 ? 3 : 5;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ProbeWndProc;
    wc.lpszClassName = "Probe";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, "Probe", "Probe", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, NULL,
                                  NULL, instance, NULL);
    ShowWindow(window, SW_SHOW);
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0))
        DispatchMessageA(&msg);
    return 0;
}
