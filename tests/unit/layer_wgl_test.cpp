// Pixel formats and contexts on a GLX server: the closest format, the client
// area's GL window, and a frame that reaches the screen.
// gtest first: X's None and Bool macros would break its headers.
#include <gtest/gtest.h>

#include "tests/unit/layer_fixture.h"

#include <GL/gl.h>

class LayerWgl : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        OpenTestDisplay();
    }
    void TearDown() override {
        DestroyAllWindows();
    }
};

static PIXELFORMATDESCRIPTOR Wanted(DWORD flags, BYTE type, BYTE color, BYTE alpha, BYTE depth,
                                    BYTE stencil) {
    PIXELFORMATDESCRIPTOR d = {};
    d.nSize = sizeof d;
    d.nVersion = 1;
    d.dwFlags = flags;
    d.iPixelType = type;
    d.cColorBits = color;
    d.cAlphaBits = alpha;
    d.cDepthBits = depth;
    d.cStencilBits = stencil;
    return d;
}

static const DWORD GL_WINDOW = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;

TEST_F(LayerWgl, ChoosesTheClosestFormatWithTheRequiredFlags) {
    HWND window = CreateTestWindow(false);
    HDC dc = GetDC(window);
    const struct {
        const char* what;
        PIXELFORMATDESCRIPTOR wanted;
        bool found;
        int minColor, minAlpha, minDepth, minStencil;
    } ROWS[] = {
        {"the program's", Wanted(GL_WINDOW, PFD_TYPE_RGBA, 24, 0, 32, 0), true, 24, 0, 24, 0},
        {"with alpha", Wanted(GL_WINDOW, PFD_TYPE_RGBA, 24, 8, 24, 0), true, 24, 8, 24, 0},
        {"with stencil", Wanted(GL_WINDOW, PFD_TYPE_RGBA, 24, 0, 24, 8), true, 24, 0, 24, 8},
        {"colour index", Wanted(GL_WINDOW, PFD_TYPE_COLORINDEX, 8, 0, 0, 0), false, 0, 0, 0, 0},
    };
    for (const auto& row : ROWS) {
        int index = ChoosePixelFormat(dc, &row.wanted);
        if (!row.found) {
            EXPECT_EQ(index, 0) << row.what;
            continue;
        }
        ASSERT_GT(index, 0) << row.what;
        PIXELFORMATDESCRIPTOR d;
        DescribePixelFormat(dc, index, sizeof d, &d);
        EXPECT_EQ(d.dwFlags & GL_WINDOW, GL_WINDOW) << row.what;
        EXPECT_EQ(d.iPixelType, row.wanted.iPixelType) << row.what;
        EXPECT_GE(d.cColorBits, row.minColor) << row.what;
        EXPECT_GE(d.cAlphaBits, row.minAlpha) << row.what;
        EXPECT_GE(d.cDepthBits, row.minDepth) << row.what;
        EXPECT_GE(d.cStencilBits, row.minStencil) << row.what;
        // Extra buffers nobody asked for are not chosen when avoidable.
        if (row.minAlpha == 0) {
            EXPECT_EQ(d.cAlphaBits, 0) << row.what;
        }
        EXPECT_EQ(PixelFormatAt(index)->visual.c_class, TrueColor) << row.what;
    }
}

TEST_F(LayerWgl, PixelFormatGivesTheClientAreaAGlWindowThatShowsFrames) {
    HWND window = ShowTestWindow(true);
    HDC dc = GetDC(window);
    EXPECT_EQ(GetDC(window), dc); // one per window
    PIXELFORMATDESCRIPTOR wanted = Wanted(GL_WINDOW, PFD_TYPE_RGBA, 24, 0, 32, 0);
    int index = ChoosePixelFormat(dc, &wanted);
    int count = DescribePixelFormat(dc, index, 0, NULL);
    PIXELFORMATDESCRIPTOR d;
    EXPECT_EQ(DescribePixelFormat(dc, count + 1, sizeof d, &d), 0);
    EXPECT_FALSE(SetPixelFormat(dc, 0, &wanted));
    EXPECT_FALSE(SetPixelFormat(dc, count + 1, &wanted));
    ASSERT_TRUE(SetPixelFormat(dc, index, &wanted));
    EXPECT_FALSE(SetPixelFormat(dc, index, &wanted)); // once per window
    EXPECT_EQ(GetPixelFormat(dc), index);

    int bar = window->menuHeight;
    XWindowAttributes attributes;
    ASSERT_TRUE(XGetWindowAttributes(xDisplay, window->xClient, &attributes));
    EXPECT_EQ(XVisualIDFromVisual(attributes.visual), PixelFormatAt(index)->visual.visualid);
    EXPECT_EQ(attributes.y, bar);
    EXPECT_EQ(attributes.width, 400);
    EXPECT_EQ(attributes.height, 400 - bar);

    HGLRC context = wglCreateContext(dc);
    ASSERT_NE(context, nullptr);
    ASSERT_TRUE(wglMakeCurrent(dc, context));
    EXPECT_EQ(wglGetCurrentContext(), context);
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_TRUE(SwapBuffers(dc));
    glFinish();
    XImage* image = XGetImage(xDisplay, window->xClient, 200, 100, 1, 1, AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(XGetPixel(image, 0, 0) & 0xFFFFFF, attributes.visual->red_mask);
    XDestroyImage(image);

    // A TrueColor window has no palette to realise.
    LOGPALETTE logical = {0x300, 1, {{1, 2, 3, 0}}};
    HPALETTE palette = CreatePalette(&logical);
    SelectPalette(dc, palette, FALSE);
    EXPECT_EQ(RealizePalette(dc), 0u);
    DeleteObject(palette);

    // The GL window follows the client area when the frame is resized.
    XResizeWindow(xDisplay, window->xWindow, 300, 250);
    ASSERT_TRUE(PumpUntilLogged(window, WM_SIZE));
    XGetWindowAttributes(xDisplay, window->xClient, &attributes);
    EXPECT_EQ(attributes.width, 300);
    EXPECT_EQ(attributes.height, 250 - bar);

    EXPECT_TRUE(wglDeleteContext(context));
    EXPECT_EQ(wglGetCurrentContext(), nullptr);
    EXPECT_FALSE(wglDeleteContext(context));
}
