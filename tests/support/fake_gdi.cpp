#include "fake_gdi.h"

#include <string.h>

#include <ostream>

FakeGdi fakeGdi;

const HWND FAKE_WINDOW = (HWND)0x3100;
const HWND FAKE_DIALOG = (HWND)0x3200;
const HDC FAKE_DC = (HDC)0xDC00;
const HGLRC FAKE_RC = (HGLRC)0x6C00;
const HPALETTE FAKE_PALETTE = (HPALETTE)0xBA00;

bool operator==(const GdiCall& a, const GdiCall& b) {
    return a.name == b.name && a.args == b.args;
}

void PrintTo(const GdiCall& call, std::ostream* out) {
    *out << call.name << "(" << std::hex;
    for (size_t i = 0; i < call.args.size(); i++)
        *out << (i ? ", " : "") << "0x" << call.args[i];
    *out << std::dec << ")";
}

// Appends one record; every entry point below goes through here.
static void Record(const char* name, std::vector<uintptr_t> args) {
    fakeGdi.calls.push_back({name, std::move(args)});
}

void ResetFakeGdi() {
    fakeGdi = FakeGdi();
}

std::vector<std::string> GdiCallNames() {
    std::vector<std::string> names;
    for (const GdiCall& call : fakeGdi.calls)
        names.push_back(call.name);
    return names;
}

extern "C" {

HDC GetDC(HWND window) {
    Record("GetDC", {Arg(window)});
    return FAKE_DC;
}

int ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* descriptor) {
    Record("ChoosePixelFormat", {Arg(dc), Arg(descriptor)});
    return fakeGdi.choosePixelFormatResult;
}

BOOL SetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR* descriptor) {
    Record("SetPixelFormat", {Arg(dc), (uintptr_t)format, Arg(descriptor)});
    fakeGdi.setPixelFormat = format;
    return TRUE;
}

int GetPixelFormat(HDC dc) {
    Record("GetPixelFormat", {Arg(dc)});
    return fakeGdi.setPixelFormat;
}

int DescribePixelFormat(HDC dc, int format, UINT bytes, PIXELFORMATDESCRIPTOR* descriptor) {
    Record("DescribePixelFormat", {Arg(dc), (uintptr_t)format, bytes});
    if (descriptor != NULL)
        memcpy(descriptor, &fakeGdi.described, bytes < 40 ? bytes : 40);
    return fakeGdi.setPixelFormat;
}

HPALETTE CreatePalette(const LOGPALETTE* palette) {
    Record("CreatePalette", {palette->palNumEntries});
    fakeGdi.paletteVersion = palette->palVersion;
    fakeGdi.paletteEntries.assign(palette->palPalEntry,
                                  palette->palPalEntry + palette->palNumEntries);
    return FAKE_PALETTE;
}

HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL forceBackground) {
    Record("SelectPalette", {Arg(dc), Arg(palette), (uintptr_t)forceBackground});
    return NULL;
}

UINT RealizePalette(HDC dc) {
    Record("RealizePalette", {Arg(dc)});
    return fakeGdi.realizePaletteResult;
}

BOOL UpdateColors(HDC dc) {
    Record("UpdateColors", {Arg(dc)});
    return TRUE;
}

BOOL DeleteObject(HGDIOBJ object) {
    Record("DeleteObject", {Arg(object)});
    return TRUE;
}

HGLRC wglCreateContext(HDC dc) {
    Record("wglCreateContext", {Arg(dc)});
    return FAKE_RC;
}

BOOL wglMakeCurrent(HDC dc, HGLRC context) {
    Record("wglMakeCurrent", {Arg(dc), Arg(context)});
    return TRUE;
}

BOOL wglDeleteContext(HGLRC context) {
    Record("wglDeleteContext", {Arg(context)});
    return TRUE;
}

BOOL SwapBuffers(HDC dc) {
    Record("SwapBuffers", {Arg(dc)});
    return TRUE;
}

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
    Record("InvalidateRect", {Arg(window), Arg(rect), (uintptr_t)erase});
    return TRUE;
}

BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
    Record("SetDlgItemTextA", {Arg(dialog), (uintptr_t)id, Arg(text)});
    fakeGdi.dialogTexts[id] = text != NULL ? text : "";
    return TRUE;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    Record("EndDialog", {Arg(dialog), (uintptr_t)result});
    return TRUE;
}

} // extern "C"
