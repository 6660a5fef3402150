// Window classes and windows as X windows: creation, showing, geometry,
// text, focus, enabling, invalidation and destruction.
#include <X11/Xatom.h>
#include <X11/cursorfont.h>
#include <string.h>
#include <strings.h>

#include <algorithm>
#include <deque>
#include <unordered_map>
#include <unordered_set>

#include "keyboard.h"
#include "layer.h"
#include "menu.h"
#include "text.h"

// Held by value: the records live as long as the process and are freed with
// it, while windows keep pointers to them (a deque never moves its elements).
static std::deque<WindowClass> classes;
static ATOM nextAtom = 0xC000;
static std::vector<HWND> windows;
static std::unordered_set<HWND> liveWindows;
static std::unordered_map<Window, HWND> byXWindow;
static HWND activeTopLevel;
static const WPARAM VK_F4 = VK_F1 + 3; // Alt+F4 closes, as on the platform
static HWND focusWindow;

static const long TOP_LEVEL_EVENTS = ExposureMask | StructureNotifyMask | KeyPressMask |
                                     KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                                     PointerMotionMask | FocusChangeMask | ColormapChangeMask;
static const long CHILD_EVENTS =
    ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask;

// Class names compare without case, as the platform compares them; an
// integer name is the atom RegisterClassA returned.
static WindowClass* FindClass(LPCSTR name) {
    for (WindowClass& windowClass : classes) {
        if (IS_INTRESOURCE(name) ? windowClass.atom == (ATOM)(UINT_PTR)name
                                 : strcasecmp(windowClass.name.c_str(), name) == 0)
            return &windowClass;
    }
    return NULL;
}

ATOM RegisterClassA(const WNDCLASSA* wndClass) {
    if (wndClass == NULL || wndClass->lpfnWndProc == NULL || wndClass->lpszClassName == NULL ||
        IS_INTRESOURCE(wndClass->lpszClassName) || wndClass->lpszClassName[0] == 0 ||
        FindClass(wndClass->lpszClassName) != NULL)
        return 0;
    classes.emplace_back();
    WindowClass* windowClass = &classes.back();
    windowClass->name = wndClass->lpszClassName;
    windowClass->atom = nextAtom++;
    windowClass->style = wndClass->style;
    windowClass->proc = wndClass->lpfnWndProc;
    windowClass->instance = wndClass->hInstance;
    windowClass->cursor = wndClass->hCursor;
    if (wndClass->lpszMenuName != NULL) {
        if (IS_INTRESOURCE(wndClass->lpszMenuName))
            windowClass->menuId = (UINT)(UINT_PTR)wndClass->lpszMenuName;
        else
            windowClass->menuName = wndClass->lpszMenuName;
    }
    return windowClass->atom;
}

HWND WindowOfX(Window xWindow) {
    auto found = byXWindow.find(xWindow);
    return found == byXWindow.end() ? NULL : found->second;
}

void RegisterXWindow(Window xWindow, HWND window) {
    byXWindow[xWindow] = window;
}

void ForgetXWindow(Window xWindow) {
    byXWindow.erase(xWindow);
}

const std::vector<HWND>& AllWindows() {
    return windows;
}

BOOL IsWindow(HWND window) {
    return window != NULL && liveWindows.count(window) != 0;
}

HWND TopLevelOf(HWND window) {
    while (window != NULL && window->parent != NULL)
        window = window->parent;
    return window;
}

bool AcceptsInput(HWND window) {
    for (; window != NULL; window = window->parent)
        if (!window->enabled)
            return false;
    return true;
}

bool IsShown(HWND window) {
    for (; window != NULL; window = window->parent)
        if (!window->visible)
            return false;
    return true;
}

HWND KeyTargetOf(HWND topLevel) {
    HWND focus = topLevel->focus;
    if (IsWindow(focus) && TopLevelOf(focus) == topLevel)
        return focus;
    return topLevel;
}

RECT ClientRectOf(HWND window) {
    RECT rect = {0, window->menuHeight, window->width, window->height};
    if (rect.bottom < rect.top)
        rect.bottom = rect.top;
    return rect;
}

// Where the client area starts in one of a window's X windows: below the menu bar,
// unless it is the client area's own window.
static int ClientTopIn(HWND window, Window xWindow) {
    return xWindow == window->xClient ? 0 : window->menuHeight;
}

// ANSI window text is Latin-1 here; _NET_WM_NAME wants UTF-8.
static std::string Utf8OfLatin1(const std::string& text) {
    std::string utf8;
    for (unsigned char c : text) {
        if (c < 0x80) {
            utf8 += (char)c;
        } else {
            utf8 += (char)(0xC0 | c >> 6);
            utf8 += (char)(0x80 | (c & 0x3F));
        }
    }
    return utf8;
}

// The text is also the X window's name, where a window manager shows it and
// where tests read what a control says.
static void StoreWindowText(HWND window, const char* text) {
    window->text = text != NULL ? text : "";
    XChangeProperty(xDisplay, window->xWindow, XA_WM_NAME, XA_STRING, 8, PropModeReplace,
                    (const unsigned char*)window->text.data(), (int)window->text.size());
    std::string utf8 = Utf8OfLatin1(window->text);
    XChangeProperty(xDisplay, window->xWindow, atoms.netWmName, atoms.utf8String, 8,
                    PropModeReplace, (const unsigned char*)utf8.data(), (int)utf8.size());
}

// What a window manager needs of a top-level: its class, that it can be asked
// to close, where the program placed it, and who owns it.
static void SetTopLevelProperties(HWND window, bool placed) {
    XClassHint classHint;
    std::string className = window->windowClass->name;
    classHint.res_name =
        (char*)(moduleInstance.name != NULL ? moduleInstance.name : className.c_str());
    classHint.res_class = (char*)className.c_str();
    XSetClassHint(xDisplay, window->xWindow, &classHint);
    XSetWMProtocols(xDisplay, window->xWindow, &atoms.wmDeleteWindow, 1);

    XSizeHints* sizeHints = XAllocSizeHints();
    sizeHints->flags = PSize | USSize;
    if (placed)
        sizeHints->flags |= PPosition | USPosition;
    sizeHints->x = window->x;
    sizeHints->y = window->y;
    sizeHints->width = window->width;
    sizeHints->height = window->height;
    XSetWMNormalHints(xDisplay, window->xWindow, sizeHints);
    XFree(sizeHints);

    XWMHints* hints = XAllocWMHints();
    hints->flags = InputHint | StateHint;
    hints->input = True;
    hints->initial_state = NormalState;
    XSetWMHints(xDisplay, window->xWindow, hints);
    XFree(hints);

    if (window->owner != NULL)
        XSetTransientForHint(xDisplay, window->xWindow, window->owner->xWindow);
}

// A window's menu: the one given, or its class's, loaded anew for each window.
static HMENU MenuOfNewWindow(const WindowClass* windowClass, HMENU given, HINSTANCE instance) {
    if (given != NULL)
        return given;
    HINSTANCE from = windowClass->instance != NULL ? windowClass->instance : instance;
    if (windowClass->menuId != 0)
        return LoadMenuResource(from, MAKEINTRESOURCEA(windowClass->menuId));
    if (!windowClass->menuName.empty())
        return LoadMenuResource(from, windowClass->menuName.c_str());
    return NULL;
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param) {
    const WindowClass* windowClass = className != NULL ? FindClass(className) : NULL;
    if (windowClass == NULL || xDisplay == NULL)
        return NULL;
    bool child = (style & WS_CHILD) != 0;
    if ((child && parent == NULL) || (parent != NULL && !IsWindow(parent)))
        return NULL;

    HWND window = new WindowRec();
    window->windowClass = windowClass;
    window->proc = windowClass->proc;
    window->style = style & ~WS_VISIBLE;
    window->exStyle = exStyle;
    window->enabled = (style & WS_DISABLED) == 0;
    bool placed = x != CW_USEDEFAULT;
    window->x = placed ? x : 0;
    window->y = placed ? y : 0;
    window->width = width == CW_USEDEFAULT ? 640 : std::max(width, 1);
    window->height = width == CW_USEDEFAULT ? 480 : std::max(height, 1);
    if (child) {
        window->parent = parent;
        window->id = (UINT)(UINT_PTR)menu;
    } else {
        window->owner = TopLevelOf(parent);
    }

    XSetWindowAttributes attributes;
    unsigned long mask = CWBackPixmap | CWEventMask;
    attributes.background_pixmap = None; // the program paints everything itself
    attributes.event_mask = child ? CHILD_EVENTS : TOP_LEVEL_EVENTS;
    if (windowClass->cursor != NULL && windowClass->cursor->xCursor != None) {
        attributes.cursor = windowClass->cursor->xCursor;
        mask |= CWCursor;
    }
    Window xParent = child ? parent->xWindow : RootWindow(xDisplay, xScreen);
    int xTop = child ? window->y + parent->menuHeight : window->y;
    window->xWindow =
        XCreateWindow(xDisplay, xParent, window->x, xTop, window->width, window->height, 0,
                      CopyFromParent, InputOutput, CopyFromParent, mask, &attributes);
    windows.push_back(window);
    liveWindows.insert(window);
    byXWindow[window->xWindow] = window;
    if (child)
        parent->children.push_back(window);
    StoreWindowText(window, windowName);

    if (!child) {
        SetTopLevelProperties(window, placed);
        window->menu = MenuOfNewWindow(windowClass, menu, instance);
        if (window->menu != NULL)
            window->menuHeight =
                AttachMenuBar(window, window->menu, window->xWindow, window->width);
    }

    CREATESTRUCTA create = {param, instance, menu,        parent,     height,    width,
                            y,     x,        (LONG)style, windowName, className, exStyle};
    if (SendMessageA(window, WM_CREATE, 0, (LPARAM)&create) == -1) {
        DestroyWindow(window);
        return NULL;
    }
    if (!IsWindow(window))
        return NULL;
    RECT client = ClientRectOf(window);
    SendMessageA(window, WM_SIZE, SIZE_RESTORED,
                 MAKELPARAM(client.right - client.left, client.bottom - client.top));
    if ((style & WS_VISIBLE) && IsWindow(window))
        ShowWindow(window, SW_SHOW);
    return IsWindow(window) ? window : NULL;
}

BOOL ShowWindow(HWND window, int command) {
    if (!IsWindow(window))
        return FALSE;
    BOOL wasVisible = window->visible;
    if (command == SW_HIDE) {
        if (wasVisible)
            XUnmapWindow(xDisplay, window->xWindow);
        window->visible = false;
        window->style &= ~WS_VISIBLE;
        return wasVisible;
    }
    if (!wasVisible) {
        window->visible = true;
        window->style |= WS_VISIBLE;
        InvalidateClient(window);
        if (window->parent == NULL) {
            // The platform activates a window it shows; X gives focus only to
            // a mapped window, so that waits for the MapNotify.
            window->activateOnMap = true;
            XMapRaised(xDisplay, window->xWindow);
        } else {
            XMapWindow(xDisplay, window->xWindow);
        }
    }
    return wasVisible;
}

void OnMapped(HWND window) {
    window->mapped = true;
    if (window->activateOnMap) {
        window->activateOnMap = false;
        ActivateTopLevel(window);
    }
}

void OnUnmapped(HWND window) {
    window->mapped = false;
}

void ActivateTopLevel(HWND window) {
    if (!IsWindow(window) || window->parent != NULL)
        return;
    if (!window->mapped) {
        window->activateOnMap = window->visible;
        return;
    }
    // Errors (the window unmapped meanwhile) are expected and ignored.
    XSetInputFocus(xDisplay, window->xWindow, RevertToParent, CurrentTime);
}

HWND ActiveTopLevel() {
    return activeTopLevel;
}

BOOL UpdateWindow(HWND window) {
    if (!IsWindow(window))
        return FALSE;
    if (window->updatePending)
        SendMessageA(window, WM_PAINT, 0, 0);
    return TRUE;
}

// Unlinks a window and its children from every table and frees them; the X
// windows go with the X window of the tree's root, destroyed by the caller.
static void FreeWindowTree(HWND window) {
    for (HWND child : std::vector<HWND>(window->children))
        FreeWindowTree(child);
    SendMessageA(window, WM_NCDESTROY, 0, 0);
    ReleaseDeviceContext(window);
    if (window->menu != NULL)
        DestroyMenuRec(window->menu);
    ForgetDrawable(window->xWindow);
    ForgetQueuedMessages(window);
    byXWindow.erase(window->xWindow);
    windows.erase(std::find(windows.begin(), windows.end(), window));
    liveWindows.erase(window);
    if (window->parent != NULL) {
        auto& siblings = window->parent->children;
        siblings.erase(std::find(siblings.begin(), siblings.end(), window));
    }
    if (focusWindow == window)
        focusWindow = NULL;
    if (activeTopLevel == window)
        activeTopLevel = NULL;
    delete window;
}

static void MarkDestroying(HWND window) {
    window->destroying = true;
    for (HWND child : window->children)
        MarkDestroying(child);
}

// WM_DESTROY goes to a window before its children, as on the platform.
static void SendDestroy(HWND window) {
    SendMessageA(window, WM_DESTROY, 0, 0);
    for (HWND child : std::vector<HWND>(window->children))
        if (IsWindow(child))
            SendDestroy(child);
}

BOOL DestroyWindow(HWND window) {
    if (!IsWindow(window) || window->destroying)
        return FALSE;
    // Owned pop-ups (dialogs) go before their owner.
    for (HWND other : std::vector<HWND>(windows))
        if (IsWindow(other) && other->owner == window)
            DestroyWindow(other);
    if (!IsWindow(window) || window->destroying)
        return FALSE;

    bool wasActive = activeTopLevel == window;
    HWND owner = window->owner;
    MarkDestroying(window);
    SendDestroy(window);
    Window xWindow = window->xWindow;
    FreeWindowTree(window);
    XDestroyWindow(xDisplay, xWindow);
    // The platform gives activation back to the owner of a closed pop-up.
    if (wasActive && IsWindow(owner) && owner->enabled)
        ActivateTopLevel(owner);
    return TRUE;
}

HMENU GetMenu(HWND window) {
    return IsWindow(window) ? window->menu : NULL;
}

BOOL GetClientRect(HWND window, RECT* rect) {
    if (!IsWindow(window) || rect == NULL)
        return FALSE;
    RECT client = ClientRectOf(window);
    *rect = {0, 0, client.right - client.left, client.bottom - client.top};
    return TRUE;
}

BOOL GetWindowRect(HWND window, RECT* rect) {
    if (!IsWindow(window) || rect == NULL)
        return FALSE;
    int left = window->x, top = window->y;
    Window child;
    XTranslateCoordinates(xDisplay, window->xWindow, RootWindow(xDisplay, xScreen), 0, 0, &left,
                          &top, &child);
    *rect = {left, top, left + window->width, top + window->height};
    return TRUE;
}

int GetWindowTextA(HWND window, LPSTR text, int maxCount) {
    if (!IsWindow(window) || text == NULL || maxCount <= 0)
        return 0;
    return (int)SendMessageA(window, WM_GETTEXT, (WPARAM)maxCount, (LPARAM)text);
}

BOOL SetWindowTextA(HWND window, LPCSTR text) {
    if (!IsWindow(window))
        return FALSE;
    return (BOOL)SendMessageA(window, WM_SETTEXT, 0, (LPARAM)text);
}

HWND FindWindowA(LPCSTR className, LPCSTR windowName) {
    for (HWND window : windows) {
        if (window->parent != NULL || window->destroying)
            continue;
        if (className != NULL && strcasecmp(window->windowClass->name.c_str(), className) != 0)
            continue;
        if (windowName != NULL && strcasecmp(window->text.c_str(), windowName) != 0)
            continue;
        return window;
    }
    return NULL;
}

BOOL EnableWindow(HWND window, BOOL enable) {
    if (!IsWindow(window))
        return FALSE;
    BOOL wasDisabled = !window->enabled;
    if (wasDisabled == !enable)
        return wasDisabled;
    window->enabled = enable != FALSE;
    if (!enable && focusWindow != NULL && focusWindow != TopLevelOf(window)) {
        for (HWND in = focusWindow; in != NULL; in = in->parent)
            if (in == window) {
                SetFocus(NULL);
                break;
            }
    }
    SendMessageA(window, WM_ENABLE, (WPARAM)(enable != FALSE), 0);
    return wasDisabled;
}

BOOL IsWindowEnabled(HWND window) {
    return IsWindow(window) && window->enabled;
}

HWND GetFocus(void) {
    return focusWindow;
}

// Moves the keyboard focus, telling the window that loses it and the one that gains it.
static void MoveFocus(HWND window) {
    HWND previous = focusWindow;
    if (previous == window)
        return;
    focusWindow = window;
    if (IsWindow(previous))
        SendMessageA(previous, WM_KILLFOCUS, (WPARAM)window, 0);
    if (IsWindow(window) && focusWindow == window)
        SendMessageA(window, WM_SETFOCUS, (WPARAM)previous, 0);
}

HWND SetFocus(HWND window) {
    HWND previous = focusWindow;
    if (window == NULL) {
        MoveFocus(NULL);
        return previous;
    }
    if (!IsWindow(window) || !AcceptsInput(window))
        return NULL;
    HWND topLevel = TopLevelOf(window);
    topLevel->focus = window == topLevel ? NULL : window;
    if (topLevel != activeTopLevel)
        ActivateTopLevel(topLevel);
    MoveFocus(window);
    return previous;
}

HWND EnabledPopupOf(HWND owner) {
    for (HWND window : windows)
        if (window->owner == owner && window->parent == NULL && window->enabled &&
            window->visible && !window->destroying)
            return window;
    return NULL;
}

void OnFocusChange(HWND topLevel, bool gained) {
    if (gained) {
        // A window that takes no input is never active: focus given to the
        // owner of a modal dialog (a click on it) goes on to the dialog.
        if (!topLevel->enabled) {
            if (HWND popup = EnabledPopupOf(topLevel)) {
                ActivateTopLevel(popup);
                return;
            }
        }
        if (activeTopLevel == topLevel)
            return;
        HWND previous = activeTopLevel;
        activeTopLevel = topLevel;
        InstallPaletteOf(topLevel);
        SendMessageA(topLevel, WM_QUERYNEWPALETTE, 0, 0);
        if (IsWindow(topLevel))
            SendMessageA(topLevel, WM_ACTIVATE, 1, (LPARAM)previous);
        if (IsWindow(topLevel) && activeTopLevel == topLevel)
            MoveFocus(KeyTargetOf(topLevel));
        return;
    }
    if (activeTopLevel != topLevel)
        return;
    activeTopLevel = NULL;
    SendMessageA(topLevel, WM_ACTIVATE, 0, 0);
    if (focusWindow != NULL && TopLevelOf(focusWindow) == topLevel)
        MoveFocus(NULL);
}

void OnConfigure(HWND window, int width, int height) {
    if (width == window->width && height == window->height)
        return;
    UINT style = window->windowClass->style;
    bool redraw = (width != window->width && (style & CS_HREDRAW)) ||
                  (height != window->height && (style & CS_VREDRAW));
    window->width = width;
    window->height = height;
    if (window->menu != NULL)
        ResizeMenuBar(window->menu, width);
    FitClientWindow(window);
    if (redraw)
        InvalidateClient(window);
    RECT client = ClientRectOf(window);
    SendMessageA(window, WM_SIZE, SIZE_RESTORED,
                 MAKELPARAM(client.right - client.left, client.bottom - client.top));
}

// Adds a rectangle in client coordinates, clipped to the client area.
static void AddUpdate(HWND window, RECT rect) {
    RECT client = ClientRectOf(window);
    LONG width = client.right - client.left, height = client.bottom - client.top;
    rect.left = std::max(rect.left, 0L);
    rect.top = std::max(rect.top, 0L);
    rect.right = std::min(rect.right, width);
    rect.bottom = std::min(rect.bottom, height);
    if (rect.left >= rect.right || rect.top >= rect.bottom)
        return;
    if (!window->updatePending) {
        window->update = rect;
        window->updatePending = true;
        return;
    }
    RECT& update = window->update;
    update.left = std::min(update.left, rect.left);
    update.top = std::min(update.top, rect.top);
    update.right = std::max(update.right, rect.right);
    update.bottom = std::max(update.bottom, rect.bottom);
}

void InvalidateClient(HWND window) {
    AddUpdate(window, {0, 0, window->width, window->height});
}

void OnExpose(HWND window, Window xWindow, const XExposeEvent& event) {
    int top = ClientTopIn(window, xWindow);
    RECT exposed = {event.x, event.y - top, event.x + event.width, event.y + event.height - top};
    // A window shown and painted at once (ShowWindow, UpdateWindow) is
    // exposed by its mapping before the paint's drawing reaches the server:
    // painting it again would only repeat the frame.
    const RECT& painted = window->painted;
    if (window->paintSerial != 0 && event.serial < window->paintSerial &&
        exposed.left >= painted.left && exposed.top >= painted.top &&
        exposed.right <= painted.right && exposed.bottom <= painted.bottom)
        return;
    AddUpdate(window, exposed);
}

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
    (void)erase; // nothing is erased: no window has a background brush here
    if (window == NULL) {
        for (HWND each : windows)
            if (each->parent == NULL)
                InvalidateRect(each, rect, FALSE);
        return TRUE;
    }
    if (!IsWindow(window))
        return FALSE;
    if (rect == NULL)
        InvalidateClient(window);
    else
        AddUpdate(window, *rect);
    return TRUE;
}

BOOL ValidateRect(HWND window, const RECT* rect) {
    if (!IsWindow(window))
        return FALSE;
    if (!window->updatePending)
        return TRUE;
    RECT& update = window->update;
    if (rect == NULL || (rect->left <= update.left && rect->top <= update.top &&
                         rect->right >= update.right && rect->bottom >= update.bottom)) {
        window->updatePending = false;
        return TRUE;
    }
    // A band across the whole width or height leaves a rectangle; anything
    // else keeps the bounding rectangle (which may repaint a little more).
    bool spansWidth = rect->left <= update.left && rect->right >= update.right;
    bool spansHeight = rect->top <= update.top && rect->bottom >= update.bottom;
    if (spansWidth && rect->top <= update.top && rect->bottom > update.top)
        update.top = rect->bottom;
    else if (spansWidth && rect->bottom >= update.bottom && rect->top < update.bottom)
        update.bottom = rect->top;
    else if (spansHeight && rect->left <= update.left && rect->right > update.left)
        update.left = rect->right;
    else if (spansHeight && rect->right >= update.right && rect->left < update.right)
        update.right = rect->left;
    return TRUE;
}

BOOL GetUpdateRect(HWND window, RECT* rect, BOOL erase) {
    (void)erase;
    if (!IsWindow(window))
        return FALSE;
    if (rect != NULL)
        *rect = window->updatePending ? window->update : RECT{0, 0, 0, 0};
    return window->updatePending;
}

// The one cursor there is. Its X cursor waits for the first idle moment: the
// themed cursor costs a library load, file reads and round trips, which the
// first frame need not wait for.
static CursorRec arrow;
static bool arrowLoaded;

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
    if (instance != NULL || name != IDC_ARROW || xDisplay == NULL)
        return NULL;
    arrowLoaded = true;
    return &arrow;
}

void CreateDeferredCursors() {
    if (!arrowLoaded || arrow.xCursor != None)
        return;
    arrow.xCursor = XCreateFontCursor(xDisplay, XC_left_ptr);
    for (HWND window : windows)
        if (window->windowClass->cursor == &arrow)
            XDefineCursor(xDisplay, window->xWindow, arrow.xCursor);
}

HDC GetDC(HWND window) {
    if (!IsWindow(window))
        return NULL;
    if (window->dc == NULL) {
        window->dc = new DeviceContext();
        window->dc->window = window;
    }
    return window->dc;
}

int ReleaseDC(HWND window, HDC dc) {
    return IsWindow(window) && window->dc == dc && dc != NULL ? 1 : 0;
}

// The text messages, answered from the window's own record.
static LRESULT DefTextMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SETTEXT:
        StoreWindowText(window, (const char*)lParam);
        return TRUE;
    case WM_GETTEXT: {
        char* out = (char*)lParam;
        if (out == NULL || wParam == 0)
            return 0;
        size_t length = std::min(window->text.size(), (size_t)wParam - 1);
        memcpy(out, window->text.data(), length);
        out[length] = 0;
        return (LRESULT)length;
    }
    case WM_GETTEXTLENGTH:
        return (LRESULT)window->text.size();
    }
    return 0;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!IsWindow(window))
        return 0;
    HWND topLevel = TopLevelOf(window);
    switch (message) {
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_PAINT:
        ValidateRect(window, NULL);
        return 0;
    case WM_SETTEXT:
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
        return DefTextMessage(window, message, wParam, lParam);
    case WM_SYSKEYDOWN:
        if (wParam == VK_F4 && (lParam & (1 << 29)))
            SendMessageA(topLevel, WM_CLOSE, 0, 0);
        return 0;
    case WM_SYSKEYUP:
        if (topLevel->menu != NULL && ((wParam == VK_MENU && AltTappedAlone()) || wParam == VK_F10))
            MenuStartKeyboard(topLevel, 0);
        return 0;
    case WM_SYSCHAR:
        if (topLevel->menu != NULL &&
            ((wParam >= 'a' && wParam <= 'z') || (wParam >= 'A' && wParam <= 'Z')))
            MenuStartKeyboard(topLevel, (char)wParam);
        return 0;
    }
    return 0;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!IsWindow(window) || window->proc == NULL)
        return 0;
    // Where the paint begins in the server's order of requests, for OnExpose.
    if (message == WM_PAINT && window->updatePending) {
        window->paintSerial = NextRequest(xDisplay);
        window->painted = window->update;
    }
    return window->proc(window, message, wParam, lParam);
}
