// Dialog boxes and their controls: what dialog.cpp (templates, the modal
// loop) and controls.cpp (buttons, static texts) share, and the layout rules
// both follow.
#pragma once

#include <vector>

#include "text.h"
#include "win32.h"

// The class of every dialog window, the platform's own name for it.
#define DIALOG_CLASS "#32770"

// BN_CLICKED, the notification a button's WM_COMMAND carries in its high word.
#define BN_CLICKED 0

// A template rectangle in dialog units as pixels: x and width scale by baseX / 4,
// y and height by baseY / 8, each rounded to the nearest pixel.
RECT DialogUnitsToPixels(int x, int y, int cx, int cy, int baseX, int baseY);

// One line of wrapped text: a run of the UTF-8 string.
struct TextLine {
    int start;
    int length;
};

typedef int (*MeasureFunction)(const TextFont* font, const char* text, int length);

// Breaks UTF-8 text into lines no wider than width, as a word-wrapping static
// text does: at line breaks and after the last word that fits; a word wider
// than the line is never broken.
std::vector<TextLine> WrapText(const TextFont* font, const char* text, int width,
                               MeasureFunction measure = MeasureText);

// --- controls.cpp ----------------------------------------------------------------

// Registers "BUTTON" and "STATIC" once the display is open.
void RegisterControlClasses();
bool IsPushButton(HWND window);
bool IsDefaultPushButton(HWND window);
bool IsGroupBox(HWND window);
// Fills a dialog's client area with the face colour.
void PaintDialogFace(HWND dialog);

// --- dialog.cpp ------------------------------------------------------------------

// The font of the dialog a control lies in.
const TextFont* DialogFontOf(HWND control);
