// Interface text through Xft and fontconfig.
#include "text.h"

#include <stdio.h>
#include <strings.h>

#include <map>
#include <string>
#include <utility>

#include <fontconfig/fontconfig.h>

#include "connection.h"

// The platform lays out its interface at 96 dots per inch.
static const double SCREEN_DPI = 96.0;

// The platform's dialog base unit is measured on this string.
static const char BASE_UNIT_SAMPLE[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

struct DrawableText {
    XftDraw* draw;
    Visual* visual;
    Colormap colormap;
    GC coreGc; // for the core "fixed" font, made on its first use
};

struct TextColorEntry {
    XftColor color;
    Visual* visual; // needed again to free the colour
};

// By value: a font left open at exit goes with the process's memory.
static std::map<std::pair<std::string, int>, TextFont> openFonts;
static std::map<Drawable, DrawableText> drawables;
static std::map<std::pair<Colormap, uint32_t>, TextColorEntry> colors;

// The platform's interface faces, which desktops rarely have. Arial's width
// is theirs (MS Sans Serif 8 measures 6 x 13 base units), and fontconfig maps
// Arial to the metric-compatible face that is installed.
static const char* const INTERFACE_FACES[] = {"MS Sans Serif", "Microsoft Sans Serif",
                                              "MS Shell Dlg",  "MS Shell Dlg 2",
                                              "Tahoma",        "Segoe UI"};
static const char INTERFACE_SUBSTITUTE[] = "Arial";

static bool IsInterfaceFace(const char* family) {
    for (const char* face : INTERFACE_FACES)
        if (strcasecmp(face, family) == 0)
            return true;
    return false;
}

// Asks fontconfig for family at a pixel size; "sans-serif" is appended so an
// absent family resolves to the desktop's sans-serif rather than any face.
static XftFont* MatchFont(const char* family, double pixelSize) {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, (const FcChar8*)family);
    if (IsInterfaceFace(family))
        FcPatternAddString(pattern, FC_FAMILY, (const FcChar8*)INTERFACE_SUBSTITUTE);
    FcPatternAddString(pattern, FC_FAMILY, (const FcChar8*)"sans-serif");
    FcPatternAddDouble(pattern, FC_PIXEL_SIZE, pixelSize);
    FcPatternAddBool(pattern, FC_ANTIALIAS, FcTrue);
    FcResult result;
    FcPattern* match = XftFontMatch(xDisplay, xScreen, pattern, &result);
    FcPatternDestroy(pattern);
    if (match == NULL)
        return NULL;
    // XftFontOpenPattern owns the match on success only.
    XftFont* font = XftFontOpenPattern(xDisplay, match);
    if (font == NULL)
        FcPatternDestroy(match);
    return font;
}

// On a colormapped screen the server's glyph compositing paints solid boxes
// over light colours allocated by the program; Xft's own blending through
// the core protocol draws the glyphs right there.
static void AvoidRenderOnColormaps() {
    if (DefaultVisual(xDisplay, xScreen)->c_class == TrueColor)
        return;
    FcPattern* defaults = FcPatternCreate();
    FcPatternAddBool(defaults, XFT_RENDER, FcFalse);
    XftDefaultSet(xDisplay, defaults);
}

// Width of a UTF-8 run as the pen advances, which is what layout needs.
static int AdvanceOf(XftFont* font, const char* text, int length) {
    XGlyphInfo extents;
    XftTextExtentsUtf8(xDisplay, font, (const FcChar8*)text, length, &extents);
    return extents.xOff;
}

const TextFont* OpenFont(const char* family, int pointSize) {
    if (xDisplay == NULL)
        return NULL;
    std::pair<std::string, int> key(family ? family : "", pointSize);
    auto found = openFonts.find(key);
    if (found != openFonts.end())
        return &found->second;

    if (openFonts.empty())
        AvoidRenderOnColormaps();
    double pixelSize = pointSize * SCREEN_DPI / 72.0;
    TextFont font = {};
    font.xft = MatchFont(key.first.c_str(), pixelSize);
    if (font.xft == NULL)
        font.xft = MatchFont("sans-serif", pixelSize);
    if (font.xft != NULL) {
        font.ascent = font.xft->ascent;
        font.descent = font.xft->descent;
    } else {
        font.core = XLoadQueryFont(xDisplay, "fixed");
        if (font.core == NULL) {
            fprintf(stderr, "Text: no font at all, not even \"fixed\"\n");
            return NULL;
        }
        fprintf(stderr, "Text: fontconfig has no face for \"%s\"; using \"fixed\"\n",
                key.first.c_str());
        font.ascent = font.core->ascent;
        font.descent = font.core->descent;
    }
    font.height = font.ascent + font.descent;
    int sampleWidth = MeasureText(&font, BASE_UNIT_SAMPLE, (int)sizeof BASE_UNIT_SAMPLE - 1);
    font.averageWidth = (sampleWidth / 26 + 1) / 2;
    return &(openFonts[key] = font);
}

int MeasureText(const TextFont* font, const char* text, int length) {
    if (font == NULL || length <= 0)
        return 0;
    if (font->xft == NULL)
        return XTextWidth(font->core, text, length);
    return AdvanceOf(font->xft, text, length);
}

// The XftDraw of a window, made once with the window's own visual and
// colormap: a GL child may not use the default visual.
static DrawableText* TextTarget(Drawable target) {
    auto found = drawables.find(target);
    if (found != drawables.end())
        return &found->second;
    XWindowAttributes attributes;
    DrawableText entry;
    if (XGetWindowAttributes(xDisplay, target, &attributes)) {
        entry.visual = attributes.visual;
        entry.colormap = attributes.colormap;
    } else {
        entry.visual = DefaultVisual(xDisplay, xScreen);
        entry.colormap = DefaultColormap(xDisplay, xScreen);
    }
    entry.coreGc = NULL;
    entry.draw = XftDrawCreate(xDisplay, target, entry.visual, entry.colormap);
    if (entry.draw == NULL) {
        fprintf(stderr, "Text: cannot draw on drawable 0x%lx\n", (unsigned long)target);
        return NULL;
    }
    return &(drawables[target] = entry);
}

// An XftColor per colormap and rgb, allocated once: text is drawn often.
static const XftColor* TextColor(const DrawableText* target, uint32_t rgb) {
    std::pair<Colormap, uint32_t> key(target->colormap, rgb);
    auto found = colors.find(key);
    if (found != colors.end())
        return &found->second.color;
    XRenderColor value;
    value.red = (unsigned short)(((rgb >> 16) & 0xFF) * 0x101);
    value.green = (unsigned short)(((rgb >> 8) & 0xFF) * 0x101);
    value.blue = (unsigned short)((rgb & 0xFF) * 0x101);
    value.alpha = 0xFFFF;
    TextColorEntry entry;
    entry.visual = target->visual;
    if (!XftColorAllocValue(xDisplay, target->visual, target->colormap, &value, &entry.color)) {
        fprintf(stderr, "Text: cannot allocate colour #%06x\n", (unsigned)rgb);
        return NULL;
    }
    return &(colors[key] = entry).color;
}

void DrawText(Drawable target, const TextFont* font, int x, int y, const char* text, int length,
              uint32_t rgb) {
    if (font == NULL || length <= 0)
        return;
    DrawableText* drawable = TextTarget(target);
    if (drawable == NULL)
        return;
    const XftColor* color = TextColor(drawable, rgb);
    if (color == NULL)
        return;
    if (font->xft != NULL) {
        XftDrawStringUtf8(drawable->draw, color, font->xft, x, y, (const FcChar8*)text, length);
        return;
    }
    if (drawable->coreGc == NULL)
        drawable->coreGc = XCreateGC(xDisplay, target, 0, NULL);
    XSetFont(xDisplay, drawable->coreGc, font->core->fid);
    XSetForeground(xDisplay, drawable->coreGc, color->pixel);
    XDrawString(xDisplay, target, drawable->coreGc, x, y, text, length);
}

// Frees what a drawable's text needed.
static void ReleaseTextTarget(DrawableText& entry) {
    XftDrawDestroy(entry.draw);
    if (entry.coreGc != NULL)
        XFreeGC(xDisplay, entry.coreGc);
}

void ForgetDrawable(Drawable target) {
    auto found = drawables.find(target);
    if (found == drawables.end())
        return;
    ReleaseTextTarget(found->second);
    drawables.erase(found);
}

void CloseFonts() {
    for (auto& entry : drawables)
        ReleaseTextTarget(entry.second);
    drawables.clear();
    for (auto& entry : colors)
        XftColorFree(xDisplay, entry.second.visual, entry.first.first, &entry.second.color);
    colors.clear();
    for (auto& entry : openFonts) {
        if (entry.second.xft != NULL)
            XftFontClose(xDisplay, entry.second.xft);
        else
            XFreeFont(xDisplay, entry.second.core);
    }
    openFonts.clear();
}

// The interface colours of menus and controls, one cache for both.
static std::map<uint32_t, unsigned long> pixels;

// Where a channel of 8 bits sits in a pixel; -1 for another width.
static int ByteShift(unsigned long mask) {
    for (int shift = 0; shift + 8 <= (int)sizeof mask * 8; shift++)
        if (mask == 0xFFUL << shift)
            return shift;
    return -1;
}

// A colour's pixel on the default colormap, allocated once: the shades of an
// antialiased check mark are asked for on every redraw. A TrueColor visual
// of 8-bit channels holds the colour exactly where its masks say, which
// spares a round trip to the server before the first frame.
unsigned long PixelOf(uint32_t rgb) {
    auto found = pixels.find(rgb);
    if (found != pixels.end())
        return found->second;
    Visual* visual = DefaultVisual(xDisplay, xScreen);
    int red = ByteShift(visual->red_mask), green = ByteShift(visual->green_mask),
        blue = ByteShift(visual->blue_mask);
    if (visual->c_class == TrueColor && red >= 0 && green >= 0 && blue >= 0)
        return pixels[rgb] = ((unsigned long)((rgb >> 16) & 0xFF) << red) |
                             ((unsigned long)((rgb >> 8) & 0xFF) << green) |
                             ((unsigned long)(rgb & 0xFF) << blue);
    XColor color;
    color.red = (unsigned short)(((rgb >> 16) & 0xFF) * 0x101);
    color.green = (unsigned short)(((rgb >> 8) & 0xFF) * 0x101);
    color.blue = (unsigned short)((rgb & 0xFF) * 0x101);
    color.flags = DoRed | DoGreen | DoBlue;
    unsigned long pixel = BlackPixel(xDisplay, xScreen);
    if (XAllocColor(xDisplay, DefaultColormap(xDisplay, xScreen), &color))
        pixel = color.pixel;
    else if ((rgb & 0xFF) + ((rgb >> 8) & 0xFF) + (rgb >> 16) > 3 * 128)
        pixel = WhitePixel(xDisplay, xScreen);
    return pixels[rgb] = pixel;
}
