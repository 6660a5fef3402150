// The program's entry: registers the window class, creates the window, loops.
#include <stdio.h>

#include "app/window_proc.h"
#include "resources/resource.h"

static const char WINDOW_NAME[] = "Robot Kovra";

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    SetInstance(instance);

    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.lpszMenuName = MAKEINTRESOURCEA(IDR_MAINMENU);
    wc.lpszClassName = WINDOW_NAME;
    // A failure must not pass for success: say why and exit non-zero.
    if (!RegisterClassA(&wc)) {
        fprintf(stderr, "robot-kovra: cannot register the window class\n");
        return 1;
    }

    HWND window = CreateWindowExA(0, WINDOW_NAME, WINDOW_NAME,
                                  WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 50, 50,
                                  400, 400, NULL, NULL, instance, NULL);
    if (window == NULL) {
        fprintf(stderr, "robot-kovra: cannot create the main window\n");
        return 1;
    }
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);

    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return (int)msg.wParam;
}
