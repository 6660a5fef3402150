// The process's X connection and what the layer prepares on it once.
#include <X11/XKBlib.h>
#include <stdio.h>
#include <time.h>

#include "layer.h"
#include "text.h"

Display* xDisplay;
int xScreen;
ModuleRec moduleInstance;
LayerAtoms atoms;

// X_SetInputFocus: Xproto.h cannot be included beside win32.h (both define BOOL).
static const int SET_INPUT_FOCUS_REQUEST = 42;

static bool startupFinished; // FinishStartup ran on this connection
static int trapDepth;
static int trappedErrors;

// Protocol errors must not end the program (the default handler exits), and
// the expected ones must not be reported: focus given to a window that was
// unmapped meanwhile, and whatever a trapped call provokes.
static int OnXError(Display* display, XErrorEvent* error) {
    if (error->request_code == SET_INPUT_FOCUS_REQUEST && error->error_code == BadMatch)
        return 0;
    if (trapDepth > 0) {
        trappedErrors++;
        return 0;
    }
    char text[128];
    XGetErrorText(display, error->error_code, text, sizeof text);
    fprintf(stderr, "X11: %s (request %d.%d)\n", text, error->request_code, error->minor_code);
    return 0;
}

void TrapXErrors() {
    if (trapDepth++ == 0)
        trappedErrors = 0;
}

int UntrapXErrors() {
    XSync(xDisplay, False);
    trapDepth--;
    return trappedErrors;
}

bool OpenConnection(const char* displayName, const char* programName) {
    xDisplay = XOpenDisplay(displayName);
    if (xDisplay == NULL)
        return false;
    xScreen = DefaultScreen(xDisplay);
    moduleInstance.name = programName;
    startupFinished = false;
    XSetErrorHandler(OnXError);

    static const char* NAMES[] = {"WM_PROTOCOLS", "WM_DELETE_WINDOW", "WM_COLORMAP_WINDOWS",
                                  "_NET_WM_NAME", "UTF8_STRING"};
    Atom found[5];
    XInternAtoms(xDisplay, (char**)NAMES, 5, False, found);
    atoms.wmProtocols = found[0];
    atoms.wmDeleteWindow = found[1];
    atoms.wmColormapWindows = found[2];
    atoms.netWmName = found[3];
    atoms.utf8String = found[4];
    return true;
}

bool FinishStartup() {
    if (startupFinished || xDisplay == NULL)
        return false;
    startupFinished = true;
    // Held keys then repeat as presses alone, which is how the platform
    // reports auto-repeat (no release in between).
    Bool supported;
    XkbSetDetectableAutoRepeat(xDisplay, True, &supported);
    CreateDeferredCursors();
    return true;
}

void CloseConnection() {
    if (xDisplay == NULL)
        return;
    // Windows still open go with the connection, unannounced, as at the
    // platform's process exit; only a current context is let go first.
    wglMakeCurrent(NULL, NULL);
    CloseFonts();
    XCloseDisplay(xDisplay);
    xDisplay = NULL;
}

unsigned long NowMilliseconds() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (unsigned long)now.tv_sec * 1000 + (unsigned long)now.tv_nsec / 1000000;
}
