// The layer's own records and the calls its files make on one another:
// windows and classes (window.cpp), the queue and event translation
// (queue.cpp), pixel formats and contexts (wgl.cpp), palettes (palette.cpp).
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <string>
#include <vector>

#include "connection.h"
#include "win32.h"

struct ModuleRec {
    const char* name; // the program's name, as WM_CLASS res_name
};

// The one module: the program itself.
extern ModuleRec moduleInstance;

// Atoms interned once when the connection opens.
struct LayerAtoms {
    Atom wmProtocols;
    Atom wmDeleteWindow;
    Atom wmColormapWindows;
    Atom netWmName;
    Atom utf8String;
};
extern LayerAtoms atoms;

// The creation record WM_CREATE and WM_NCCREATE carry in lParam, laid out as
// the platform lays it out.
struct CREATESTRUCTA {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCSTR lpszName;
    LPCSTR lpszClass;
    DWORD dwExStyle;
};

struct WindowClass {
    std::string name;
    ATOM atom;
    UINT style;
    WNDPROC proc;
    HINSTANCE instance;
    HCURSOR cursor;
    UINT menuId;          // the class menu by integer id, or 0
    std::string menuName; // the class menu by name, when it has no id
};

struct CursorRec {
    Cursor xCursor;
};

struct WindowRec {
    const WindowClass* windowClass;
    WNDPROC proc;
    DWORD style;
    DWORD exStyle;
    HWND parent; // for WS_CHILD windows
    HWND owner;  // for owned pop-ups
    std::vector<HWND> children;
    UINT id; // a child's control id

    Window xWindow;          // the whole window: a top-level, or a child of the parent's
    Window xClient;          // the client area's own window once a pixel format is set
    Colormap clientColormap; // the colormap xClient was made with
    HMENU menu;
    int menuHeight; // the bar across the top of xWindow; the client area is below it

    int x, y;          // outer position: on the screen, or in the parent's client area
    int width, height; // outer size
    std::string text;

    bool enabled;
    bool visible;
    bool mapped;        // MapNotify seen: focus may be given
    bool activateOnMap; // shown with a command that activates
    bool destroying;

    bool updatePending;
    RECT update; // union of the invalid parts, client coordinates
    // The last WM_PAINT: the first request it could have drawn with, and the
    // part it was given. An exposure the server made before that request,
    // inside that part, was painted over by it.
    unsigned long paintSerial;
    RECT painted;
    HWND focus; // top-level only: the window keys go to, NULL for itself

    struct DeviceContext* dc;
    struct DialogRec* dialog; // owned by the dialog module
};

struct DeviceContext {
    HWND window;
    int pixelFormat;              // 1-based; 0 until SetPixelFormat
    HPALETTE palette;             // selected, or NULL
    Colormap paletteColormap;     // private AllocAll colormap once a palette is realised
    std::vector<XColor> realized; // what that colormap holds
};

enum GdiKind { GDI_PALETTE = 1 };

struct GdiObject {
    GdiKind kind;
    std::vector<PALETTEENTRY> entries;
};

// --- connection.cpp ---------------------------------------------------------

// Opens the display (NULL: $DISPLAY) and prepares the layer; false on failure.
bool OpenConnection(const char* displayName, const char* programName);
void CloseConnection();
// While a trap is set, protocol errors are counted instead of reported.
void TrapXErrors();
int UntrapXErrors(); // the errors seen since TrapXErrors
// What can wait until the first frame is out, costing round trips: done when
// the queue is first found empty. True when it ran now: its round trips may
// have brought events.
bool FinishStartup();
unsigned long NowMilliseconds();

// --- window.cpp ----------------------------------------------------------------

// The window an X window belongs to (its whole window or its client window).
HWND WindowOfX(Window xWindow);
void RegisterXWindow(Window xWindow, HWND window);
void ForgetXWindow(Window xWindow);
HWND TopLevelOf(HWND window);
// False when the window or any window it lies in is disabled.
bool AcceptsInput(HWND window);
// True when the window and every window it lies in are shown.
bool IsShown(HWND window);
// The window keys go to when the top-level receives them.
HWND KeyTargetOf(HWND topLevel);
// The shown, enabled pop-up an owner's activation passes to: the modal
// dialog that disabled it. NULL when there is none.
HWND EnabledPopupOf(HWND owner);
// All live windows, in creation order.
const std::vector<HWND>& AllWindows();
// Gives a mapped top-level the X input focus (the platform activates on show).
void ActivateTopLevel(HWND window);
HWND ActiveTopLevel();
// The active top-level changed: sends the activation and focus messages.
void OnFocusChange(HWND topLevel, bool gained);
void OnConfigure(HWND window, int width, int height);
void OnMapped(HWND window);
void OnUnmapped(HWND window);
// Adds an X-exposed rectangle of xWindow to its window's update region.
void OnExpose(HWND window, Window xWindow, const XExposeEvent& event);
// Gives the windows whose class has a cursor their X cursor, made on first need.
void CreateDeferredCursors();
// The client rectangle of a window in its X window's coordinates.
RECT ClientRectOf(HWND window);
void InvalidateClient(HWND window);

// --- queue.cpp -------------------------------------------------------------------

// Translates one X event; called for every event read from the connection.
void HandleXEvent(XEvent* event);
// Drops the queued messages of a window being destroyed.
void ForgetQueuedMessages(HWND window);
// The X modifier state (ShiftMask, ControlMask, Mod1Mask, ...) held when the
// input message last taken from the queue was made: the platform's
// GetKeyState answers for the message being handled, not for the present.
unsigned ModifiersOfLastInput();

// --- wgl.cpp ------------------------------------------------------------------------

// One pixel format: a visual of the screen and its description.
struct PixelFormat {
    XVisualInfo visual;
    PIXELFORMATDESCRIPTOR descriptor;
};
// The screen's formats, 1-based; built on first use.
int PixelFormatCount();
const PixelFormat* PixelFormatAt(int index);
// The closest format to a descriptor: the required flags first, then sizes; 0 if none.
int ChooseClosestFormat(const PIXELFORMATDESCRIPTOR& wanted);
// The visual the client area of a window is drawn with.
Visual* ClientVisualOf(HWND window, int* visualClass, int* depth);
// Lays the client window over the client area after a resize.
void FitClientWindow(HWND window);
// Releases the GL and X resources of a window's device context.
void ReleaseDeviceContext(HWND window);

// --- palette.cpp -------------------------------------------------------------------

// A colormap was installed or uninstalled; tells the top-levels.
void OnColormapNotify(const XColormapEvent& event);
// Installs a window's realised colormap when it becomes active.
void InstallPaletteOf(HWND window);
