// The program's entry and its one window.
#include <stdio.h>

#include "about/about_dialog.h"
#include "app/view_state.h"
#include "platform/winapi.h"
#include "render/frame.h"
#include "render/render_target.h"
#include "resources/resource.h"

static const char WINDOW_NAME[] = "Robot Kovra";

static HINSTANCE hInstance;
static ViewState view;

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The model commands of the "Robot" menu and what each shows.
static const struct {
    UINT command;
    ModelKind kind;
} MODEL_COMMANDS[] = {
    {IDM_CYLINDER, Cylinder},
    {IDM_ARM1, Arm1},
    {IDM_ARM2, Arm2},
};

// A full repaint, without erasing: every frame clears itself.
static void Repaint(HWND window) {
    InvalidateRect(window, NULL, FALSE);
}

// Shows a model unturned and moves the menu's single check mark to it.
static void ShowModel(HWND window, ModelKind kind) {
    SelectModel(view, kind);
    HMENU menu = GetMenu(window);
    for (const auto& row : MODEL_COMMANDS)
        if (row.kind == kind)
            CheckMenuItem(menu, row.command, MF_CHECKED);
    for (const auto& row : MODEL_COMMANDS)
        if (row.kind != kind)
            CheckMenuItem(menu, row.command, MF_UNCHECKED);
    Repaint(window);
}

static void OnCommand(HWND window, UINT command) {
    switch (command) {
    case IDM_EXIT:
        DestroyWindow(window);
        return;
    case IDM_ABOUT:
        DialogBoxParamA(hInstance, MAKEINTRESOURCEA(IDD_ABOUT), window, AboutDlgProc, 0);
        return;
    }
    for (const auto& row : MODEL_COMMANDS)
        if (row.command == command)
            ShowModel(window, row.kind);
}

static void OnPaint(HWND window) {
    DrawFrame(view);
    Present();
    ValidateRect(window, NULL);
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        CreateRenderTarget(window);
        InitRenderState();
        return 0;
    case WM_DESTROY:
        DestroyRenderTarget();
        PostQuitMessage(0);
        return 0;
    case WM_SIZE:
        ResizeView(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_PAINT:
        OnPaint(window);
        return 0;
    case WM_KEYDOWN:
        RotateByKey(view, (unsigned)wParam);
        Repaint(window);
        return 0;
    case WM_COMMAND:
        OnCommand(window, LOWORD(wParam));
        return 0;
    case WM_QUERYNEWPALETTE:
        return OnQueryNewPalette(window);
    case WM_PALETTECHANGED:
        OnPaletteChanged(window, (HWND)wParam);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    hInstance = instance;

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
