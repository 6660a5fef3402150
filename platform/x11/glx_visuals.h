// Every visual's GLX properties as the server lists them, in one request.
// Xlib's own protocol header cannot share a file with win32.h (both define
// BOOL and BYTE), so this lives apart from wgl.cpp.
#pragma once

#include <X11/Xlib.h>

#include <map>

// The fixed properties the server gives for each visual, in its order.
enum GlxVisualProperty {
    VP_VISUAL_ID,
    VP_CLASS,
    VP_RGBA,
    VP_RED,
    VP_GREEN,
    VP_BLUE,
    VP_ALPHA,
    VP_ACCUM_RED,
    VP_ACCUM_GREEN,
    VP_ACCUM_BLUE,
    VP_ACCUM_ALPHA,
    VP_DOUBLEBUFFER,
    VP_STEREO,
    VP_BUFFER_SIZE,
    VP_DEPTH,
    VP_STENCIL,
    VP_AUX_BUFFERS,
    VP_LEVEL,
    VP_COUNT
};

struct GlxVisualConfig {
    int property[VP_COUNT];
};

// False when the server answers with less than the fixed part. opcode: GLX's
// major opcode, as XQueryExtension gives it.
bool ReadGlxVisualConfigs(Display* display, int opcode, int screen,
                          std::map<VisualID, GlxVisualConfig>& configs);
