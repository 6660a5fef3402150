// The main window's procedure: each message handed to a small handler.
#include "app/window_proc.h"

#include "about/about_dialog.h"
#include "render/frame.h"
#include "render/render_target.h"
#include "resources/resource.h"

static HINSTANCE hInstance;
static ViewState view;

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

void SetInstance(HINSTANCE instance) {
    hInstance = instance;
}

const ViewState& CurrentView() {
    return view;
}
