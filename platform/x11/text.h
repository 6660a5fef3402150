// Interface text through Xft: the desktop's closest match to a wanted face.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xft/Xft.h>
#include <stdint.h>

struct TextFont {
    XftFont* xft;      // NULL when fontconfig knows no face at all:
    XFontStruct* core; // then the server's own "fixed" serves
    int ascent;
    int descent;
    int height;       // ascent + descent: the platform's tmHeight
    int averageWidth; // dialog base unit X, computed as the platform does
};

// The closest installed match for family at pointSize (at 96 dpi), opened on
// first use and kept for the life of the connection. Never NULL while the
// display is open: falls back to any sans-serif, then to the core "fixed"
// (Xft 2 opens no server font, so that one is drawn through Xlib).
const TextFont* OpenFont(const char* family, int pointSize);

// Width in pixels of the first length bytes of text (UTF-8).
int MeasureText(const TextFont* font, const char* text, int length);

// Draws text with its baseline at y, in 0xRRGGBB.
void DrawText(Drawable target, const TextFont* font, int x, int y, const char* text, int length,
              uint32_t rgb);

// Releases what DrawText keeps for a drawable about to be destroyed.
void ForgetDrawable(Drawable target);

// Closes every font; called when the connection closes.
void CloseFonts();

// The pixel of a 0xRRGGBB interface colour on the default colormap, kept
// once made; menus and controls draw their faces and lines with it.
unsigned long PixelOf(uint32_t rgb);
