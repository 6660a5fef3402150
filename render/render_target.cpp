#include "render_target.h"

#include <stdlib.h>

RenderTarget renderTarget;

const PIXELFORMATDESCRIPTOR PIXEL_FORMAT = {
    sizeof(PIXELFORMATDESCRIPTOR),
    1,
    PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER,
    PFD_TYPE_RGBA,
    24,
    0, 0, 0, 0, 0, 0, // colour bits and shifts: any
    0, 0,             // no alpha
    0, 0, 0, 0, 0,    // no accumulation buffer
    32,               // depth bits
    0,                // no stencil
    0,                // no auxiliary buffers
    PFD_MAIN_PLANE,
    0,
    0, 0, 0,
};

void ApplyPixelFormat(HDC hDC) {
    int index = ChoosePixelFormat(hDC, &PIXEL_FORMAT);
    SetPixelFormat(hDC, index, &PIXEL_FORMAT);
}

// The palette level of entry i in one channel; a channel without bits is 0.
static BYTE ChannelLevel(int i, BYTE bits, BYTE shift) {
    BYTE max = (BYTE)((1 << bits) - 1);
    if (max == 0)
        return 0;
    return (BYTE)((double)((i >> shift) & max) * 255.0 / max);
}

HPALETTE BuildPalette(HDC hDC) {
    // Zeroed: with no pixel format set (no GL on the display) nothing is
    // described, and no palette is made.
    PIXELFORMATDESCRIPTOR described = {};
    DescribePixelFormat(hDC, GetPixelFormat(hDC), sizeof(described), &described);
    // Palettes exist only for indexed displays of at most 256 colours.
    if (!(described.dwFlags & PFD_NEED_PALETTE) || described.cColorBits > 8)
        return NULL;

    int n = 1 << described.cColorBits;
    LOGPALETTE* logical =
        (LOGPALETTE*)malloc(sizeof(LOGPALETTE) + (n - 1) * sizeof(PALETTEENTRY));
    if (logical == NULL)
        return NULL;
    logical->palVersion = 0x300;
    logical->palNumEntries = (WORD)n;
    for (int i = 0; i < n; i++) {
        PALETTEENTRY* entry = &logical->palPalEntry[i];
        entry->peRed = ChannelLevel(i, described.cRedBits, described.cRedShift);
        entry->peGreen = ChannelLevel(i, described.cGreenBits, described.cGreenShift);
        entry->peBlue = ChannelLevel(i, described.cBlueBits, described.cBlueShift);
        entry->peFlags = 0;
    }

    HPALETTE palette = CreatePalette(logical);
    SelectPalette(hDC, palette, FALSE);
    RealizePalette(hDC);
    free(logical);
    return palette;
}

void CreateRenderTarget(HWND window) {
    renderTarget.hDC = GetDC(window);
    ApplyPixelFormat(renderTarget.hDC);
    renderTarget.hPalette = BuildPalette(renderTarget.hDC);
    renderTarget.hRC = wglCreateContext(renderTarget.hDC);
    wglMakeCurrent(renderTarget.hDC, renderTarget.hRC);
}

void DestroyRenderTarget() {
    wglMakeCurrent(renderTarget.hDC, NULL);
    wglDeleteContext(renderTarget.hRC);
    if (renderTarget.hPalette != NULL)
        DeleteObject(renderTarget.hPalette);
}

void Present() {
    SwapBuffers(renderTarget.hDC);
}

int OnQueryNewPalette(HWND window) {
    if (renderTarget.hPalette == NULL)
        return 0;
    SelectPalette(renderTarget.hDC, renderTarget.hPalette, FALSE);
    int realized = RealizePalette(renderTarget.hDC);
    InvalidateRect(window, NULL, FALSE);
    return realized;
}

void OnPaletteChanged(HWND self, HWND changer) {
    if (renderTarget.hPalette == NULL || changer == self)
        return;
    SelectPalette(renderTarget.hDC, renderTarget.hPalette, FALSE);
    RealizePalette(renderTarget.hDC);
    UpdateColors(renderTarget.hDC);
}
