// Palettes on an 8-bit PseudoColor server: the indexed format, and a logical
// palette realised onto the window's own X colormap.
// gtest first: X's None and Bool macros would break its headers.
#include <gtest/gtest.h>

#include "tests/unit/layer_fixture.h"

#include <stdlib.h>

class LayerPalette : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        OpenTestDisplay();
    }
    void TearDown() override {
        DestroyAllWindows();
    }
};

// The first format that asks for a palette; 0 when none does.
static int NeedPaletteFormat(HDC dc, PIXELFORMATDESCRIPTOR* described) {
    int count = DescribePixelFormat(dc, 1, 0, NULL);
    for (int i = 1; i <= count; i++) {
        DescribePixelFormat(dc, i, sizeof *described, described);
        if (described->dwFlags & PFD_NEED_PALETTE)
            return i;
    }
    return 0;
}

// A 256-entry palette, 3-3-2 levels with one entry overridden.
static HPALETTE MakePalette(int changedEntry, BYTE red) {
    LOGPALETTE* logical = (LOGPALETTE*)malloc(sizeof(LOGPALETTE) + 255 * sizeof(PALETTEENTRY));
    logical->palVersion = 0x300;
    logical->palNumEntries = 256;
    for (int i = 0; i < 256; i++)
        logical->palPalEntry[i] = {(BYTE)((i & 7) * 255 / 7), (BYTE)((i >> 3 & 7) * 255 / 7),
                                   (BYTE)((i >> 6 & 3) * 255 / 3), 0};
    if (changedEntry >= 0)
        logical->palPalEntry[changedEntry].peRed = red;
    HPALETTE palette = CreatePalette(logical);
    free(logical);
    return palette;
}

// The colormap cells of the window showing the client area.
static std::vector<XColor> ClientCells(HWND window, Colormap* colormap) {
    XWindowAttributes attributes;
    XGetWindowAttributes(xDisplay, window->xClient, &attributes);
    *colormap = attributes.colormap;
    std::vector<XColor> cells(256);
    for (int i = 0; i < 256; i++)
        cells[i].pixel = (unsigned long)i;
    XQueryColors(xDisplay, attributes.colormap, cells.data(), 256);
    return cells;
}

TEST_F(LayerPalette, IndexedVisualIsAFormatNeedingA332Palette) {
    HWND window = CreateTestWindow(false);
    PIXELFORMATDESCRIPTOR d;
    int index = NeedPaletteFormat(GetDC(window), &d);
    ASSERT_GT(index, 0);
    EXPECT_TRUE(d.dwFlags & PFD_DRAW_TO_WINDOW);
    EXPECT_EQ(d.iPixelType, PFD_TYPE_RGBA);
    EXPECT_EQ(d.cColorBits, 8);
    EXPECT_EQ(d.cRedBits, 3);
    EXPECT_EQ(d.cRedShift, 0);
    EXPECT_EQ(d.cGreenBits, 3);
    EXPECT_EQ(d.cGreenShift, 3);
    EXPECT_EQ(d.cBlueBits, 2);
    EXPECT_EQ(d.cBlueShift, 6);
}

TEST_F(LayerPalette, RealizedPaletteIsTheWindowsColormapAndEveryTopLevelHears) {
    HWND other = CreateTestWindow(false); // never shown: still a top-level
    HWND window = ShowTestWindow(false);  // active, so its colormap is installed
    HDC dc = GetDC(window);
    PIXELFORMATDESCRIPTOR d;
    ASSERT_TRUE(SetPixelFormat(dc, NeedPaletteFormat(dc, &d), &d));

    HPALETTE palette = MakePalette(-1, 0);
    EXPECT_EQ(SelectPalette(dc, palette, FALSE), nullptr);
    EXPECT_EQ(RealizePalette(dc), 256u);
    Colormap colormap;
    std::vector<XColor> cells = ClientCells(window, &colormap);
    EXPECT_NE(colormap, DefaultColormap(xDisplay, xScreen));
    PALETTEENTRY entries[256];
    ASSERT_EQ(GetPaletteEntries(palette, 0, 256, entries), 256u);
    for (int i = 0; i < 256; i++) {
        EXPECT_EQ(cells[i].red, entries[i].peRed * 257) << i;
        EXPECT_EQ(cells[i].green, entries[i].peGreen * 257) << i;
        EXPECT_EQ(cells[i].blue, entries[i].peBlue * 257) << i;
    }
    int installedCount = 0;
    Colormap* installed =
        XListInstalledColormaps(xDisplay, RootWindow(xDisplay, xScreen), &installedCount);
    EXPECT_NE(std::find(installed, installed + installedCount, colormap),
              installed + installedCount);
    XFree(installed);

    ASSERT_TRUE(PumpUntilLogged(other, WM_PALETTECHANGED));
    for (HWND topLevel : {window, other}) {
        auto changed = LoggedFor(topLevel, WM_PALETTECHANGED);
        ASSERT_FALSE(changed.empty());
        EXPECT_EQ((HWND)changed[0].wParam, window);
    }
    EXPECT_EQ(RealizePalette(dc), 0u); // nothing changed since

    // A palette differing in one entry changes that cell alone.
    HPALETTE second = MakePalette(5, 1);
    EXPECT_EQ(SelectPalette(dc, second, FALSE), palette);
    EXPECT_EQ(RealizePalette(dc), 1u);
    EXPECT_EQ(ClientCells(window, &colormap)[5].red, 257);

    EXPECT_TRUE(DeleteObject(second)); // selected: the DC forgets it
    EXPECT_EQ(RealizePalette(dc), 0u);
    EXPECT_FALSE(DeleteObject(second));
    EXPECT_TRUE(DeleteObject(palette));
}

TEST_F(LayerPalette, WithoutGlFormatsGlCallsFailQuietlyAndTheWindowRuns) {
    HWND window = ShowTestWindow(false);
    HDC dc = GetDC(window);
    int count = DescribePixelFormat(dc, 1, 0, NULL);
    for (int i = 1; i <= count; i++) {
        PIXELFORMATDESCRIPTOR d;
        DescribePixelFormat(dc, i, sizeof d, &d);
        if (d.dwFlags & PFD_SUPPORT_OPENGL)
            GTEST_SKIP() << "this server has GL visuals";
    }
    PIXELFORMATDESCRIPTOR wanted = {};
    wanted.nSize = sizeof wanted;
    wanted.nVersion = 1;
    wanted.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    wanted.cColorBits = 24;
    wanted.cDepthBits = 32;
    int index = ChoosePixelFormat(dc, &wanted);
    EXPECT_EQ(index, 0);
    EXPECT_FALSE(SetPixelFormat(dc, index, &wanted));
    HGLRC context = wglCreateContext(dc);
    EXPECT_EQ(context, nullptr);
    EXPECT_TRUE(wglMakeCurrent(dc, NULL));
    EXPECT_FALSE(SwapBuffers(dc));
    InvalidateRect(window, NULL, FALSE);
    Pump();
    EXPECT_EQ(LoggedFor(window, WM_PAINT).size(), 1u);
}
