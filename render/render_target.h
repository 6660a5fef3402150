// What ties OpenGL to the main window: pixel format, context and palette.
#pragma once

#include "platform/winapi.h"

struct RenderTarget {
    HDC hDC;
    HGLRC hRC;
    HPALETTE hPalette; // null when the pixel format needs none
};

// The main window's; one per process.
extern RenderTarget renderTarget;

// A double-buffered RGBA window format: 24 colour bits, 32 depth bits.
extern const PIXELFORMATDESCRIPTOR PIXEL_FORMAT;

void ApplyPixelFormat(HDC hDC);
HPALETTE BuildPalette(HDC hDC);
void CreateRenderTarget(HWND window);
void DestroyRenderTarget();
void Present();
int OnQueryNewPalette(HWND window);
void OnPaletteChanged(HWND self, HWND changer);
