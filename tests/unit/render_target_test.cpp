// Pixel format, rendering context and palette, against the GDI stand-in.
#include <gtest/gtest.h>

#include "fake_gdi.h"
#include "render/render_target.h"

namespace {

// An 8-bit indexed format: red 3 bits at 0, green 3 at 3, blue 2 at 6.
PIXELFORMATDESCRIPTOR Indexed332() {
    PIXELFORMATDESCRIPTOR pfd = {};
    pfd.nSize = 40;
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER | PFD_NEED_PALETTE;
    pfd.cColorBits = 8;
    pfd.cRedBits = 3;
    pfd.cRedShift = 0;
    pfd.cGreenBits = 3;
    pfd.cGreenShift = 3;
    pfd.cBlueBits = 2;
    pfd.cBlueShift = 6;
    return pfd;
}

// The same layout on a display that needs no palette.
PIXELFORMATDESCRIPTOR Direct332() {
    PIXELFORMATDESCRIPTOR pfd = Indexed332();
    pfd.dwFlags &= ~PFD_NEED_PALETTE;
    return pfd;
}

class Target : public testing::Test {
  protected:
    void SetUp() override {
        ResetFakeGdi();
        renderTarget = RenderTarget{};
    }

    // A render target as CreateRenderTarget leaves it, with or without a
    // palette, and an empty log.
    void Created(bool withPalette) {
        fakeGdi.described = withPalette ? Indexed332() : Direct332();
        CreateRenderTarget(FAKE_WINDOW);
        fakeGdi.calls.clear();
    }
};

TEST_F(Target, PixelFormatRecordIsTheFortyBytesAskedFor) {
    ASSERT_EQ(40u, sizeof(PIXELFORMATDESCRIPTOR));
    // Field order and widths as the platform lays the record out.
    // clang-format off
    const unsigned char WANT[40] = {
        40, 0,             // nSize
        1, 0,              // nVersion
        0x25, 0, 0, 0,     // draw to window | support OpenGL | double buffer
        0,                 // RGBA
        24,                // colour bits
        0, 0, 0, 0, 0, 0,  // red, green, blue bits and shifts
        0, 0,              // alpha
        0, 0, 0, 0, 0,     // accumulation
        32,                // depth
        0,                 // stencil
        0,                 // auxiliary buffers
        0,                 // main plane
        0,                 // reserved
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, // layer, visible and damage masks
    };
    // clang-format on
    const unsigned char* got = (const unsigned char*)&PIXEL_FORMAT;
    for (int i = 0; i < 40; i++)
        EXPECT_EQ(WANT[i], got[i]) << "byte " << i;
}

TEST_F(Target, PaletteOfThreeThreeTwoFormat) {
    fakeGdi.setPixelFormat = 3;
    fakeGdi.described = Indexed332();
    HPALETTE palette = BuildPalette(FAKE_DC);

    EXPECT_EQ(FAKE_PALETTE, palette);
    std::vector<GdiCall> want = {
        {"GetPixelFormat", {Arg(FAKE_DC)}},
        {"DescribePixelFormat", {Arg(FAKE_DC), 3, 40}},
        {"CreatePalette", {256}},
        {"SelectPalette", {Arg(FAKE_DC), Arg(FAKE_PALETTE), FALSE}},
        {"RealizePalette", {Arg(FAKE_DC)}},
    };
    EXPECT_EQ(want, fakeGdi.calls);

    const int LEVELS3[8] = {0, 36, 72, 109, 145, 182, 218, 255};
    const int LEVELS2[4] = {0, 85, 170, 255};
    EXPECT_EQ(0x300, fakeGdi.paletteVersion);
    ASSERT_EQ(256u, fakeGdi.paletteEntries.size());
    for (int i = 0; i < 256; i++) {
        const PALETTEENTRY& e = fakeGdi.paletteEntries[i];
        EXPECT_EQ(LEVELS3[i & 7], e.peRed) << "entry " << i;
        EXPECT_EQ(LEVELS3[(i >> 3) & 7], e.peGreen) << "entry " << i;
        EXPECT_EQ(LEVELS2[i >> 6], e.peBlue) << "entry " << i;
        EXPECT_EQ(0, e.peFlags) << "entry " << i;
    }
    const struct {
        int index, red, green, blue;
    } NAMED[] = {{1, 36, 0, 0}, {0x38, 0, 255, 0}, {0x40, 0, 0, 85}, {0xFF, 255, 255, 255}};
    for (const auto& n : NAMED) {
        const PALETTEENTRY& e = fakeGdi.paletteEntries[n.index];
        EXPECT_EQ(n.red, e.peRed) << n.index;
        EXPECT_EQ(n.green, e.peGreen) << n.index;
        EXPECT_EQ(n.blue, e.peBlue) << n.index;
    }
}

TEST_F(Target, ChannelWithoutBitsIsZeroEverywhere) {
    PIXELFORMATDESCRIPTOR pfd = Indexed332();
    pfd.cRedBits = 4;
    pfd.cRedShift = 0;
    pfd.cGreenBits = 4;
    pfd.cGreenShift = 4;
    pfd.cBlueBits = 0;
    pfd.cBlueShift = 0;
    fakeGdi.described = pfd;
    ASSERT_EQ(FAKE_PALETTE, BuildPalette(FAKE_DC));
    ASSERT_EQ(256u, fakeGdi.paletteEntries.size());
    for (int i = 0; i < 256; i++) {
        EXPECT_EQ((i & 15) * 17, fakeGdi.paletteEntries[i].peRed) << i;
        EXPECT_EQ((i >> 4) * 17, fakeGdi.paletteEntries[i].peGreen) << i;
        EXPECT_EQ(0, fakeGdi.paletteEntries[i].peBlue) << i;
    }
}

TEST_F(Target, NoPaletteUnlessTheFormatNeedsOneOfAtMost256Colours) {
    PIXELFORMATDESCRIPTOR deep = Indexed332();
    deep.cColorBits = 24; // flagged, yet far too many entries for a palette
    deep.cRedBits = deep.cGreenBits = deep.cBlueBits = 8;
    deep.cRedShift = 16;
    deep.cGreenShift = 8;
    const PIXELFORMATDESCRIPTOR FORMATS[] = {Direct332(), deep};
    for (const PIXELFORMATDESCRIPTOR& pfd : FORMATS) {
        ResetFakeGdi();
        fakeGdi.described = pfd;
        EXPECT_EQ(NULL, BuildPalette(FAKE_DC)) << (int)pfd.cColorBits << " bits";
        EXPECT_EQ((std::vector<std::string>{"GetPixelFormat", "DescribePixelFormat"}),
                  GdiCallNames());
    }
}

TEST_F(Target, CreateSetsTheFormatThenPaletteThenContext) {
    const struct {
        bool needsPalette;
        HPALETTE palette;
    } CASES[] = {{false, NULL}, {true, FAKE_PALETTE}};
    for (const auto& c : CASES) {
        ResetFakeGdi();
        renderTarget = RenderTarget{};
        fakeGdi.choosePixelFormatResult = 5;
        fakeGdi.described = c.needsPalette ? Indexed332() : Direct332();
        CreateRenderTarget(FAKE_WINDOW);

        std::vector<GdiCall> want = {
            {"GetDC", {Arg(FAKE_WINDOW)}},
            {"ChoosePixelFormat", {Arg(FAKE_DC), Arg(&PIXEL_FORMAT)}},
            {"SetPixelFormat", {Arg(FAKE_DC), 5, Arg(&PIXEL_FORMAT)}},
            {"GetPixelFormat", {Arg(FAKE_DC)}},
            {"DescribePixelFormat", {Arg(FAKE_DC), 5, 40}},
        };
        if (c.needsPalette) {
            want.push_back({"CreatePalette", {256}});
            want.push_back({"SelectPalette", {Arg(FAKE_DC), Arg(FAKE_PALETTE), FALSE}});
            want.push_back({"RealizePalette", {Arg(FAKE_DC)}});
        }
        want.push_back({"wglCreateContext", {Arg(FAKE_DC)}});
        want.push_back({"wglMakeCurrent", {Arg(FAKE_DC), Arg(FAKE_RC)}});
        EXPECT_EQ(want, fakeGdi.calls) << "palette " << c.needsPalette;
        EXPECT_EQ(FAKE_DC, renderTarget.hDC);
        EXPECT_EQ(FAKE_RC, renderTarget.hRC);
        EXPECT_EQ(c.palette, renderTarget.hPalette);
    }
}

TEST_F(Target, DestroyReleasesContextThenPalette) {
    const struct {
        bool withPalette;
        std::vector<GdiCall> want;
    } CASES[] = {
        {false, {{"wglMakeCurrent", {Arg(FAKE_DC), 0}}, {"wglDeleteContext", {Arg(FAKE_RC)}}}},
        {true,
         {{"wglMakeCurrent", {Arg(FAKE_DC), 0}},
          {"wglDeleteContext", {Arg(FAKE_RC)}},
          {"DeleteObject", {Arg(FAKE_PALETTE)}}}},
    };
    for (const auto& c : CASES) {
        ResetFakeGdi();
        Created(c.withPalette);
        DestroyRenderTarget();
        EXPECT_EQ(c.want, fakeGdi.calls) << "palette " << c.withPalette;
    }
}

TEST_F(Target, PresentSwapsTheWindowsBuffers) {
    Created(false);
    Present();
    EXPECT_EQ((std::vector<GdiCall>{{"SwapBuffers", {Arg(FAKE_DC)}}}), fakeGdi.calls);
}

TEST_F(Target, ActivationRealisesThePaletteAndRepaintsWhole) {
    Created(true);
    fakeGdi.realizePaletteResult = 42;
    EXPECT_EQ(42, OnQueryNewPalette(FAKE_WINDOW));
    std::vector<GdiCall> want = {
        {"SelectPalette", {Arg(FAKE_DC), Arg(FAKE_PALETTE), FALSE}},
        {"RealizePalette", {Arg(FAKE_DC)}},
        {"InvalidateRect", {Arg(FAKE_WINDOW), 0, FALSE}},
    };
    EXPECT_EQ(want, fakeGdi.calls);
}

TEST_F(Target, AnotherWindowsPaletteRealisesOursWithoutRepaint) {
    Created(true);
    OnPaletteChanged(FAKE_WINDOW, (HWND)0x9999);
    std::vector<GdiCall> want = {
        {"SelectPalette", {Arg(FAKE_DC), Arg(FAKE_PALETTE), FALSE}},
        {"RealizePalette", {Arg(FAKE_DC)}},
        {"UpdateColors", {Arg(FAKE_DC)}},
    };
    EXPECT_EQ(want, fakeGdi.calls);
}

TEST_F(Target, PaletteNotificationsDoNothingWithoutAPaletteOrForOurOwn) {
    Created(true);
    OnPaletteChanged(FAKE_WINDOW, FAKE_WINDOW);
    EXPECT_TRUE(fakeGdi.calls.empty());

    ResetFakeGdi();
    renderTarget = RenderTarget{};
    Created(false);
    fakeGdi.realizePaletteResult = 42;
    EXPECT_EQ(0, OnQueryNewPalette(FAKE_WINDOW));
    OnPaletteChanged(FAKE_WINDOW, (HWND)0x9999);
    EXPECT_TRUE(fakeGdi.calls.empty());
}

} // namespace
