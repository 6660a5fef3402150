// Pixel formats, rendering contexts and buffer swaps over GLX. The formats
// are the screen's visuals; setting one gives the client area a child X
// window of that visual, since an X window's visual is fixed at creation.
#include "layer.h"

// After win32.h, whose APIENTRY gl.h then keeps.
#include <GL/glx.h>
#include <limits.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <map>

#include "glx_visuals.h"

struct GlContext {
    GLXContext glx;
    int pixelFormat;
};

static std::vector<PixelFormat> formats;
static bool formatsBuilt;
static std::vector<HGLRC> contexts;
static HGLRC currentContext;
static HDC currentDc;

static const DWORD PFD_DOUBLEBUFFER_DONTCARE = 0x40000000;

// The position and width of a channel's bits in a visual's pixel.
static void MaskBits(unsigned long mask, BYTE* bits, BYTE* shift) {
    *bits = *shift = 0;
    if (mask == 0)
        return;
    while (!(mask & 1)) {
        mask >>= 1;
        (*shift)++;
    }
    while (mask & 1) {
        mask >>= 1;
        (*bits)++;
    }
}

// The server's GLX properties of every visual, read once: glXGetConfig
// searches all configs on every call, some 7 ms of start-up for the few
// hundred visuals of a common server.
static std::map<VisualID, GlxVisualConfig> serverConfigs;
static bool serverConfigsRead;

static const struct {
    int attribute;
    GlxVisualProperty property;
} SERVER_PROPERTIES[] = {
    {GLX_LEVEL, VP_LEVEL},
    {GLX_DOUBLEBUFFER, VP_DOUBLEBUFFER},
    {GLX_STEREO, VP_STEREO},
    {GLX_RGBA, VP_RGBA},
    {GLX_RED_SIZE, VP_RED},
    {GLX_GREEN_SIZE, VP_GREEN},
    {GLX_BLUE_SIZE, VP_BLUE},
    {GLX_ALPHA_SIZE, VP_ALPHA},
    {GLX_ACCUM_RED_SIZE, VP_ACCUM_RED},
    {GLX_ACCUM_GREEN_SIZE, VP_ACCUM_GREEN},
    {GLX_ACCUM_BLUE_SIZE, VP_ACCUM_BLUE},
    {GLX_ACCUM_ALPHA_SIZE, VP_ACCUM_ALPHA},
    {GLX_BUFFER_SIZE, VP_BUFFER_SIZE},
    {GLX_DEPTH_SIZE, VP_DEPTH},
    {GLX_STENCIL_SIZE, VP_STENCIL},
    {GLX_AUX_BUFFERS, VP_AUX_BUFFERS},
};

// A visual's row of the server's table; NULL when GLX does not know it or
// the table was not read.
static const GlxVisualConfig* ServerConfigOf(const XVisualInfo* visual) {
    auto found = serverConfigs.find(visual->visualid);
    return found != serverConfigs.end() ? &found->second : NULL;
}

// A visual's GLX attribute; 0 for visuals GLX does not know. config: its
// row of the server's table, looked up once per visual by the caller.
static int GlxAttribute(XVisualInfo* visual, const GlxVisualConfig* config, int attribute) {
    if (serverConfigsRead) {
        if (attribute == GLX_USE_GL)
            return config != NULL;
        for (const auto& row : SERVER_PROPERTIES)
            if (row.attribute == attribute)
                return config != NULL ? config->property[row.property] : 0;
    }
    int value = 0;
    glXGetConfig(xDisplay, visual, attribute, &value);
    return value;
}

// The client library has the last word: a direct-rendering driver may take
// fewer visuals than the server lists.
static bool ClientDrawsWith(const PixelFormat& format) {
    XVisualInfo visual = format.visual;
    int useGl = 0;
    return glXGetConfig(xDisplay, &visual, GLX_USE_GL, &useGl) == 0 && useGl;
}

// The red-green-blue split a palette is built for on an indexed visual:
// 3-3-2 for 8 bits, blue getting the fewest.
static void IndexedSplit(PIXELFORMATDESCRIPTOR* d, int depth) {
    int blue = depth / 3;
    int red = (depth - blue + 1) / 2;
    int green = depth - blue - red;
    d->cRedBits = (BYTE)red;
    d->cRedShift = 0;
    d->cGreenBits = (BYTE)green;
    d->cGreenShift = (BYTE)red;
    d->cBlueBits = (BYTE)blue;
    d->cBlueShift = (BYTE)(red + green);
}

static PIXELFORMATDESCRIPTOR Describe(XVisualInfo* visual, bool glx) {
    PIXELFORMATDESCRIPTOR d;
    memset(&d, 0, sizeof d);
    d.nSize = sizeof d;
    d.nVersion = 1;
    d.dwFlags = PFD_DRAW_TO_WINDOW;
    d.iLayerType = PFD_MAIN_PLANE;
    bool indexed = visual->c_class == PseudoColor || visual->c_class == GrayScale;
    const GlxVisualConfig* config = glx ? ServerConfigOf(visual) : NULL;
    auto glxAttribute = [&](int attribute) { return GlxAttribute(visual, config, attribute); };
    bool gl = glx && glxAttribute(GLX_USE_GL) && glxAttribute(GLX_LEVEL) == 0;

    MaskBits(visual->red_mask, &d.cRedBits, &d.cRedShift);
    MaskBits(visual->green_mask, &d.cGreenBits, &d.cGreenShift);
    MaskBits(visual->blue_mask, &d.cBlueBits, &d.cBlueShift);
    d.cColorBits = (BYTE)std::min(visual->depth, 32);
    d.iPixelType = PFD_TYPE_RGBA;
    if (gl) {
        d.dwFlags |= PFD_SUPPORT_OPENGL;
        d.dwFlags |= glxAttribute(GLX_DOUBLEBUFFER) ? PFD_DOUBLEBUFFER : PFD_SUPPORT_GDI;
        if (glxAttribute(GLX_STEREO))
            d.dwFlags |= PFD_STEREO;
        if (glxAttribute(GLX_RGBA)) {
            d.cColorBits = (BYTE)(glxAttribute(GLX_RED_SIZE) + glxAttribute(GLX_GREEN_SIZE) +
                                  glxAttribute(GLX_BLUE_SIZE));
            d.cAlphaBits = (BYTE)glxAttribute(GLX_ALPHA_SIZE);
            if (d.cAlphaBits != 0)
                d.cAlphaShift = (BYTE)(d.cRedBits + d.cGreenBits + d.cBlueBits);
        } else {
            d.iPixelType = PFD_TYPE_COLORINDEX;
            d.cColorBits = (BYTE)glxAttribute(GLX_BUFFER_SIZE);
        }
        d.cAccumRedBits = (BYTE)glxAttribute(GLX_ACCUM_RED_SIZE);
        d.cAccumGreenBits = (BYTE)glxAttribute(GLX_ACCUM_GREEN_SIZE);
        d.cAccumBlueBits = (BYTE)glxAttribute(GLX_ACCUM_BLUE_SIZE);
        d.cAccumAlphaBits = (BYTE)glxAttribute(GLX_ACCUM_ALPHA_SIZE);
        d.cAccumBits =
            (BYTE)(d.cAccumRedBits + d.cAccumGreenBits + d.cAccumBlueBits + d.cAccumAlphaBits);
        d.cDepthBits = (BYTE)glxAttribute(GLX_DEPTH_SIZE);
        d.cStencilBits = (BYTE)glxAttribute(GLX_STENCIL_SIZE);
        d.cAuxBuffers = (BYTE)glxAttribute(GLX_AUX_BUFFERS);
    } else {
        d.dwFlags |= PFD_SUPPORT_GDI;
    }
    if (indexed) {
        d.dwFlags |= PFD_NEED_PALETTE;
        d.cColorBits = (BYTE)std::min(visual->depth, 8);
        IndexedSplit(&d, d.cColorBits);
    }
    return d;
}

// The order formats are numbered in: GL-capable first, then by how directly
// the visual shows colour, then the server's order.
static int VisualRank(const PixelFormat& format) {
    static const int CLASS_RANK[] = {
        /* StaticGray */ 5,  /* GrayScale */ 4, /* StaticColor */ 3,
        /* PseudoColor */ 1, /* TrueColor */ 0, /* DirectColor */ 2,
    };
    int rank = CLASS_RANK[format.visual.c_class & 7];
    if (!(format.descriptor.dwFlags & PFD_SUPPORT_OPENGL))
        rank += 10;
    return rank;
}

// The screen's visuals in the server's order, as XGetVisualInfo lists them;
// read from the screen's record, sparing XGetVisualInfo's search of the
// visual list for each visual it reports.
static std::vector<XVisualInfo> ScreenVisuals() {
    std::vector<XVisualInfo> visuals;
    Screen* screen = ScreenOfDisplay(xDisplay, xScreen);
    for (int d = 0; d < screen->ndepths; d++) {
        const Depth& depth = screen->depths[d];
        for (int v = 0; v < depth.nvisuals; v++) {
            Visual* visual = &depth.visuals[v];
            XVisualInfo info;
            info.visual = visual;
            info.visualid = visual->visualid;
            info.screen = xScreen;
            info.depth = depth.depth;
            info.c_class = visual->c_class;
            info.red_mask = visual->red_mask;
            info.green_mask = visual->green_mask;
            info.blue_mask = visual->blue_mask;
            info.colormap_size = visual->map_entries;
            info.bits_per_rgb = visual->bits_per_rgb;
            visuals.push_back(info);
        }
    }
    return visuals;
}

static void BuildFormats() {
    if (formatsBuilt || xDisplay == NULL)
        return;
    formatsBuilt = true;
    // What glXQueryExtension asks, asked once for both uses: a round trip.
    int opcode, eventBase, errorBase;
    bool glx = XQueryExtension(xDisplay, "GLX", &opcode, &eventBase, &errorBase);
    serverConfigsRead = glx && ReadGlxVisualConfigs(xDisplay, opcode, xScreen, serverConfigs);
    for (XVisualInfo& visual : ScreenVisuals())
        formats.push_back({visual, Describe(&visual, glx)});
    std::stable_sort(
        formats.begin(), formats.end(),
        [](const PixelFormat& a, const PixelFormat& b) { return VisualRank(a) < VisualRank(b); });
    // The window still runs without GL, undrawn: a person should know why.
    bool anyGl = false;
    for (const PixelFormat& format : formats)
        anyGl = anyGl || (format.descriptor.dwFlags & PFD_SUPPORT_OPENGL);
    if (!anyGl)
        fprintf(stderr, "GLX: %s; nothing will be drawn\n",
                glx ? "no visual of this screen supports OpenGL" : "the X server has no GLX");
}

int PixelFormatCount() {
    BuildFormats();
    return (int)formats.size();
}

const PixelFormat* PixelFormatAt(int index) {
    BuildFormats();
    if (index < 1 || index > (int)formats.size())
        return NULL;
    return &formats[index - 1];
}

// How far a size is from the wanted one: extra bits cost little, missing bits much.
static int SizeDistance(int wanted, int have) {
    return have >= wanted ? have - wanted : (wanted - have) * 8;
}

static int ClosestFormat(const PIXELFORMATDESCRIPTOR& wanted) {
    static const DWORD REQUIRED = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_SUPPORT_GDI;
    int best = 0;
    int bestScore = INT_MAX;
    for (int i = 0; i < (int)formats.size(); i++) {
        const PIXELFORMATDESCRIPTOR& d = formats[i].descriptor;
        if ((wanted.dwFlags & REQUIRED) & ~d.dwFlags)
            continue;
        bool wantsDouble = wanted.dwFlags & PFD_DOUBLEBUFFER;
        bool careDouble = !(wanted.dwFlags & PFD_DOUBLEBUFFER_DONTCARE);
        if (careDouble && wantsDouble && !(d.dwFlags & PFD_DOUBLEBUFFER))
            continue;
        if (d.iPixelType != wanted.iPixelType)
            continue;
        int score = SizeDistance(wanted.cColorBits, d.cColorBits) +
                    SizeDistance(wanted.cAlphaBits, d.cAlphaBits) +
                    SizeDistance(wanted.cDepthBits, d.cDepthBits) +
                    SizeDistance(wanted.cStencilBits, d.cStencilBits) +
                    SizeDistance(wanted.cAccumBits, d.cAccumBits) +
                    SizeDistance(wanted.cAuxBuffers, d.cAuxBuffers);
        if (careDouble && !wantsDouble && (d.dwFlags & PFD_DOUBLEBUFFER))
            score += 1;
        if ((wanted.dwFlags & PFD_STEREO) != (d.dwFlags & PFD_STEREO))
            score += 1;
        if (score < bestScore) {
            best = i + 1;
            bestScore = score;
        }
    }
    return best;
}

int ChooseClosestFormat(const PIXELFORMATDESCRIPTOR& wanted) {
    BuildFormats();
    for (;;) {
        int best = ClosestFormat(wanted);
        if (best == 0 || !(formats[best - 1].descriptor.dwFlags & PFD_SUPPORT_OPENGL) ||
            ClientDrawsWith(formats[best - 1]))
            return best;
        // Its number stays; it just describes itself as the plain visual it is.
        formats[best - 1].descriptor = Describe(&formats[best - 1].visual, false);
    }
}

int ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* descriptor) {
    if (dc == NULL || descriptor == NULL)
        return 0;
    return ChooseClosestFormat(*descriptor);
}

// A DirectColor visual shows colour directly only once its colormap holds
// identity ramps; GL draws into it as into TrueColor.
static void FillIdentityRamps(Colormap colormap, const XVisualInfo& visual) {
    std::vector<XColor> cells(visual.colormap_size);
    for (int i = 0; i < visual.colormap_size; i++) {
        unsigned short level = (unsigned short)(i * 65535 / std::max(visual.colormap_size - 1, 1));
        BYTE bits, shift;
        unsigned long pixel = 0;
        MaskBits(visual.red_mask, &bits, &shift);
        pixel |= ((unsigned long)i << shift) & visual.red_mask;
        MaskBits(visual.green_mask, &bits, &shift);
        pixel |= ((unsigned long)i << shift) & visual.green_mask;
        MaskBits(visual.blue_mask, &bits, &shift);
        pixel |= ((unsigned long)i << shift) & visual.blue_mask;
        cells[i] = {pixel, level, level, level, DoRed | DoGreen | DoBlue, 0};
    }
    XStoreColors(xDisplay, colormap, cells.data(), (int)cells.size());
}

BOOL SetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR* descriptor) {
    (void)descriptor; // the platform only records it
    const PixelFormat* pixelFormat = PixelFormatAt(format);
    if (dc == NULL || !IsWindow(dc->window) || dc->pixelFormat != 0 || pixelFormat == NULL)
        return FALSE;
    HWND window = dc->window;
    XVisualInfo visual = pixelFormat->visual;
    Window root = RootWindow(xDisplay, xScreen);
    bool direct = visual.c_class == DirectColor;
    Colormap colormap =
        XCreateColormap(xDisplay, root, visual.visual, direct ? AllocAll : AllocNone);
    if (direct)
        FillIdentityRamps(colormap, visual);

    XSetWindowAttributes attributes;
    attributes.colormap = colormap;
    attributes.background_pixmap = None;
    attributes.border_pixel = 0;
    attributes.event_mask =
        ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | ColormapChangeMask;
    RECT client = ClientRectOf(window);
    window->xClient = XCreateWindow(
        xDisplay, window->xWindow, 0, client.top, std::max(client.right - client.left, 1L),
        std::max(client.bottom - client.top, 1L), 0, visual.depth, InputOutput, visual.visual,
        CWColormap | CWBackPixmap | CWBorderPixel | CWEventMask, &attributes);
    window->clientColormap = colormap;
    RegisterXWindow(window->xClient, window);
    XMapWindow(xDisplay, window->xClient);
    // A window manager installs only the top-level's colormap unless told.
    if (visual.visual != DefaultVisual(xDisplay, xScreen)) {
        HWND topLevel = TopLevelOf(window);
        Window list[2] = {window->xClient, topLevel->xWindow};
        XSetWMColormapWindows(xDisplay, topLevel->xWindow, list, 2);
    }
    dc->pixelFormat = format;
    return TRUE;
}

int GetPixelFormat(HDC dc) {
    return dc != NULL ? dc->pixelFormat : 0;
}

int DescribePixelFormat(HDC dc, int format, UINT bytes, PIXELFORMATDESCRIPTOR* descriptor) {
    if (dc == NULL)
        return 0;
    int count = PixelFormatCount();
    const PixelFormat* pixelFormat = PixelFormatAt(format);
    if (descriptor == NULL)
        return count;
    if (pixelFormat == NULL)
        return 0;
    memcpy(descriptor, &pixelFormat->descriptor,
           std::min((size_t)bytes, sizeof(PIXELFORMATDESCRIPTOR)));
    return count;
}

Visual* ClientVisualOf(HWND window, int* visualClass, int* depth) {
    const PixelFormat* format = window->dc != NULL ? PixelFormatAt(window->dc->pixelFormat) : NULL;
    if (format != NULL) {
        *visualClass = format->visual.c_class;
        *depth = format->visual.depth;
        return format->visual.visual;
    }
    Visual* visual = DefaultVisual(xDisplay, xScreen);
    *visualClass = visual->c_class;
    *depth = DefaultDepth(xDisplay, xScreen);
    return visual;
}

void FitClientWindow(HWND window) {
    if (window->xClient == None)
        return;
    RECT client = ClientRectOf(window);
    XMoveResizeWindow(xDisplay, window->xClient, 0, client.top,
                      std::max(client.right - client.left, 1L),
                      std::max(client.bottom - client.top, 1L));
}

static bool IsContext(HGLRC context) {
    return context != NULL &&
           std::find(contexts.begin(), contexts.end(), context) != contexts.end();
}

HGLRC wglCreateContext(HDC dc) {
    const PixelFormat* format = dc != NULL ? PixelFormatAt(dc->pixelFormat) : NULL;
    if (format == NULL || !(format->descriptor.dwFlags & PFD_SUPPORT_OPENGL))
        return NULL;
    XVisualInfo visual = format->visual;
    TrapXErrors();
    GLXContext glx = glXCreateContext(xDisplay, &visual, NULL, True);
    if (UntrapXErrors() != 0 && glx != NULL) {
        glXDestroyContext(xDisplay, glx);
        glx = NULL;
    }
    if (glx == NULL)
        return NULL;
    HGLRC context = new GlContext{glx, dc->pixelFormat};
    contexts.push_back(context);
    return context;
}

BOOL wglMakeCurrent(HDC dc, HGLRC context) {
    if (context == NULL) {
        if (currentContext != NULL)
            glXMakeCurrent(xDisplay, None, NULL);
        currentContext = NULL;
        currentDc = NULL;
        return TRUE;
    }
    if (!IsContext(context) || dc == NULL || !IsWindow(dc->window) || dc->window->xClient == None ||
        dc->pixelFormat != context->pixelFormat)
        return FALSE;
    if (!glXMakeCurrent(xDisplay, dc->window->xClient, context->glx))
        return FALSE;
    currentContext = context;
    currentDc = dc;
    return TRUE;
}

BOOL wglDeleteContext(HGLRC context) {
    if (!IsContext(context))
        return FALSE;
    if (context == currentContext)
        wglMakeCurrent(NULL, NULL);
    glXDestroyContext(xDisplay, context->glx);
    contexts.erase(std::find(contexts.begin(), contexts.end(), context));
    delete context;
    return TRUE;
}

HGLRC wglGetCurrentContext(void) {
    return currentContext;
}

BOOL SwapBuffers(HDC dc) {
    const PixelFormat* format = dc != NULL ? PixelFormatAt(dc->pixelFormat) : NULL;
    if (format == NULL || !IsWindow(dc->window) || dc->window->xClient == None ||
        !(format->descriptor.dwFlags & PFD_SUPPORT_OPENGL))
        return FALSE;
    if (format->descriptor.dwFlags & PFD_DOUBLEBUFFER)
        glXSwapBuffers(xDisplay, dc->window->xClient);
    return TRUE;
}

void ReleaseDeviceContext(HWND window) {
    DeviceContext* dc = window->dc;
    if (dc != NULL && dc == currentDc)
        wglMakeCurrent(NULL, NULL);
    if (window->xClient != None) {
        ForgetXWindow(window->xClient);
        XDestroyWindow(xDisplay, window->xClient);
        XFreeColormap(xDisplay, window->clientColormap);
        window->xClient = None;
    }
    if (dc == NULL)
        return;
    if (dc->paletteColormap != None)
        XFreeColormap(xDisplay, dc->paletteColormap);
    delete dc;
    window->dc = NULL;
}
