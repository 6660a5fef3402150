#include "glx_visuals.h"

#include <vector>

// Request building for the one GLX request Xlib has no call for.
#include <X11/Xlibint.h>
// Xlibint.h defines min and max as macros, which <vector> users cannot bear.
#undef min
#undef max
#include <GL/glxproto.h>

bool ReadGlxVisualConfigs(Display* display, int opcode, int screen,
                          std::map<VisualID, GlxVisualConfig>& configs) {
    LockDisplay(display);
    xGLXGetVisualConfigsReq* request =
        (xGLXGetVisualConfigsReq*)_XGetRequest(display, (CARD8)opcode, sz_xGLXGetVisualConfigsReq);
    request->glxCode = X_GLXGetVisualConfigs;
    request->screen = (CARD32)screen;
    xGLXGetVisualConfigsReply reply;
    bool ok = _XReply(display, (xReply*)&reply, 0, False) != 0;
    if (ok && reply.numProps < VP_COUNT) {
        _XEatDataWords(display, reply.length);
        ok = false;
    }
    std::vector<CARD32> properties(ok ? reply.numProps : 0);
    for (CARD32 i = 0; ok && i < reply.numVisuals; i++) {
        _XRead(display, (char*)properties.data(), (long)properties.size() * 4);
        GlxVisualConfig& config = configs[properties[VP_VISUAL_ID]];
        for (int k = 0; k < VP_COUNT; k++)
            config.property[k] = (int)properties[k];
    }
    UnlockDisplay(display);
    // What Xlib's SyncHandle does: honour XSynchronize.
    if (display->synchandler != NULL)
        display->synchandler(display);
    return ok;
}
