// Interface fonts: the closest installed face, measured as the platform
// measures its dialog base unit, and never missing while there is a display.
#include <gtest/gtest.h>
#include <fontconfig/fontconfig.h>
#include <unistd.h>

#include "platform/x11/connection.h"
#include "platform/x11/text.h"
#include "tests/unit/layer_menu_stand_in.h"

static std::string FamilyOf(const TextFont* font) {
    FcChar8* family = NULL;
    if (FcPatternGetString(font->xft->pattern, FC_FAMILY, 0, &family) != FcResultMatch)
        return "";
    return (const char*)family;
}

// The platform's interface faces take Arial's metric twin; anything else
// unknown takes the desktop's sans-serif.
TEST(MenuText, WantedFamiliesResolveToTheClosestInstalledFace) {
    const TextFont* arial = OpenFont("Arial", 8);
    const TextFont* sans = OpenFont("sans-serif", 8);
    ASSERT_NE(arial, nullptr);
    ASSERT_NE(sans, nullptr);
    const struct {
        const char* family;
        int points;
        const TextFont* like;
    } CASES[] = {
        {"MS Sans Serif", 8, arial},
        {"ms shell dlg", 8, arial},
        {"Segoe UI", 9, arial},
        {"No Such Face At All", 8, sans},
    };
    for (const auto& row : CASES) {
        const TextFont* font = OpenFont(row.family, row.points);
        ASSERT_NE(font, nullptr) << row.family;
        EXPECT_EQ(FamilyOf(font), FamilyOf(row.like)) << row.family;
        EXPECT_EQ(OpenFont(row.family, row.points), font) << "opened once";
        EXPECT_EQ(font->height, font->ascent + font->descent);
    }
}

TEST(MenuText, AverageWidthIsTheDialogBaseUnit) {
    const TextFont* small = OpenFont("MS Sans Serif", 8);
    const TextFont* large = OpenFont("MS Sans Serif", 16);
    ASSERT_NE(small, nullptr);
    ASSERT_NE(large, nullptr);
    EXPECT_GE(small->averageWidth, 5);
    EXPECT_LE(small->averageWidth, 8);
    EXPECT_GE(small->height, 11);
    EXPECT_LE(small->height, 16);
    EXPECT_GE(large->averageWidth, 2 * small->averageWidth - 2);
    EXPECT_LE(large->averageWidth, 2 * small->averageWidth + 2);
    // The mean of upper and lower case, not of one glyph.
    int alphabet = MeasureText(small, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52);
    EXPECT_NEAR(small->averageWidth * 52, alphabet, 52);
    // With Arial's metric twin installed, the platform's own 6 x 13.
    if (FamilyOf(small) == "Liberation Sans") {
        EXPECT_EQ(small->averageWidth, 6);
        EXPECT_EQ(small->height, 13);
    }
}

struct Coverage {
    int dark = 0; // pixels darker than mid grey inside the text's box
    int area = 0; // the box: advance width by font height
};

// Draws "Hello" in black on a light grey window, as a menu draws its items.
static Coverage DrawnText(const TextFont* font) {
    Colormap colormap = DefaultColormap(xDisplay, xScreen);
    XColor paper = {};
    paper.red = paper.green = paper.blue = 0xF9F9;
    XAllocColor(xDisplay, colormap, &paper);
    Window window = XCreateSimpleWindow(xDisplay, RootWindow(xDisplay, xScreen), 600, 400, 80, 30,
                                        0, 0, paper.pixel);
    XMapWindow(xDisplay, window);
    XSync(xDisplay, False);
    DrawText(window, font, 4, 4 + font->ascent, "Hello", 5, 0x000000);
    Coverage coverage;
    int width = MeasureText(font, "Hello", 5);
    XImage* image = XGetImage(xDisplay, window, 4, 4, (unsigned)width, (unsigned)font->height,
                              AllPlanes, ZPixmap);
    for (int y = 0; y < font->height; y++) {
        for (int x = 0; x < width; x++) {
            XColor color = {};
            color.pixel = XGetPixel(image, x, y);
            XQueryColor(xDisplay, colormap, &color);
            coverage.dark += color.red + color.green + color.blue < 3 * 0x8000;
            coverage.area++;
        }
    }
    XDestroyImage(image);
    ForgetDrawable(window); // its Render picture dies with the window
    XDestroyWindow(xDisplay, window);
    return coverage;
}

// Glyphs, not boxes: on a colormapped screen too (the test runs at depth 8 as well).
TEST(MenuText, DrawsGlyphsOnTheScreensVisual) {
    const TextFont* font = OpenFont("Segoe UI", 9);
    ASSERT_NE(font, nullptr);
    Coverage coverage = DrawnText(font);
    EXPECT_GT(coverage.dark, coverage.area / 10);
    EXPECT_LT(coverage.dark, coverage.area / 2);
}

// With no face known to fontconfig the X server's own "fixed" still serves.
TEST(MenuTextDeathTest, FallsBackToTheCoreFixedFont) {
    EXPECT_EXIT(
        {
            // A connection of the child's own: the parent's must stay untouched.
            xDisplay = XOpenDisplay(testDisplayName.c_str());
            xScreen = DefaultScreen(xDisplay);
            FcConfigSetCurrent(FcConfigCreate());
            const TextFont* font = OpenFont("Fallback Face", 11);
            bool core = font && font->xft == NULL && font->core != NULL;
            Coverage coverage = core ? DrawnText(font) : Coverage();
            fprintf(stderr, "core %d width %d height %d dark %d of %d\n", core,
                    core ? font->averageWidth : 0, core ? font->height : 0, coverage.dark,
                    coverage.area);
            bool glyphs = coverage.dark > coverage.area / 10 && coverage.dark < coverage.area / 2;
            _exit(core && font->averageWidth > 0 && glyphs ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "core 1");
}
