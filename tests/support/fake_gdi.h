// A stand-in for the window-system calls the render target and the
// information dialog make (device context, pixel format, palettes, WGL,
// dialog texts), linked in place of the platform layer. Every call is
// appended to one log so tests can check the order; the answers are scripted.
#pragma once

#include "platform/winapi.h"

#include <iosfwd>
#include <map>
#include <string>
#include <vector>

// One call: its name and its arguments as integers (handles and pointers as
// addresses; CreatePalette logs its entry count, its record is short-lived).
struct GdiCall {
    std::string name;
    std::vector<uintptr_t> args;
};

bool operator==(const GdiCall& a, const GdiCall& b);
void PrintTo(const GdiCall& call, std::ostream* out); // readable test failures

// The handles the stand-in hands out; recognisable in the log.
extern const HWND FAKE_WINDOW;
extern const HWND FAKE_DIALOG;
extern const HDC FAKE_DC;
extern const HGLRC FAKE_RC;
extern const HPALETTE FAKE_PALETTE;

struct FakeGdi {
    std::vector<GdiCall> calls;
    int choosePixelFormatResult = 7;
    int setPixelFormat = 0;               // what GetPixelFormat answers
    PIXELFORMATDESCRIPTOR described = {}; // what DescribePixelFormat copies out
    UINT realizePaletteResult = 0;
    WORD paletteVersion = 0; // the last LOGPALETTE given to CreatePalette
    std::vector<PALETTEENTRY> paletteEntries;
    std::map<int, std::string> dialogTexts; // SetDlgItemTextA, by control id (NULL → "")
};

extern FakeGdi fakeGdi;

void ResetFakeGdi();

// The logged call names, in order.
std::vector<std::string> GdiCallNames();

// Turns a handle or pointer into the integer form the log keeps.
inline uintptr_t Arg(const void* pointer) {
    return (uintptr_t)pointer;
}
