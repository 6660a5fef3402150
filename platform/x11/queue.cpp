// The message queue: posted messages, input made from X events, and paint
// messages made from update regions, in the platform's order.
#include <errno.h>
#include <poll.h>

#include <deque>

#include "keyboard.h"
#include "layer.h"
#include "menu.h"

// Mouse-key state flags of the mouse messages' wParam.
static const WPARAM MK_LBUTTON = 0x0001;
static const WPARAM MK_RBUTTON = 0x0002;
static const WPARAM MK_SHIFT = 0x0004;
static const WPARAM MK_CONTROL = 0x0008;
static const WPARAM MK_MBUTTON = 0x0010;

// An input message and, for a key, the text it types (for TranslateMessage).
struct InputMessage {
    MSG msg;
    char chars[8];
    int charCount;
    unsigned modifiers; // the X modifier state when it was made
};

static std::deque<MSG> posted;
static std::deque<InputMessage> input;
static bool quitPending;
static int quitCode;
static InputMessage lastKey; // the input message last taken from the queue
static POINT lastPointer;

static bool IsChildOf(HWND parent, HWND window) {
    for (; window != NULL; window = window->parent)
        if (window->parent == parent)
            return true;
    return false;
}

// The platform's filter: a window and its children, and a message range (0, 0: all).
static bool Matches(const MSG& msg, HWND filter, UINT low, UINT high) {
    if (filter != NULL && msg.hwnd != filter && !IsChildOf(filter, msg.hwnd))
        return false;
    return (low == 0 && high == 0) || (msg.message >= low && msg.message <= high);
}

static MSG MakeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD time) {
    MSG msg;
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = time;
    msg.pt = lastPointer;
    return msg;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window != NULL && !IsWindow(window))
        return FALSE;
    posted.push_back(MakeMessage(window, message, wParam, lParam, (DWORD)NowMilliseconds()));
    return TRUE;
}

void PostQuitMessage(int exitCode) {
    quitPending = true;
    quitCode = exitCode;
}

void ForgetQueuedMessages(HWND window) {
    for (auto it = posted.begin(); it != posted.end();)
        it = it->hwnd == window ? posted.erase(it) : it + 1;
    for (auto it = input.begin(); it != input.end();)
        it = it->msg.hwnd == window ? input.erase(it) : it + 1;
}

static void QueueInput(HWND window, UINT message, WPARAM wParam, LPARAM lParam, Time time,
                       unsigned modifiers, const KeyMessage* key) {
    // Pointer motion is coalesced, as the platform does: only the latest position counts.
    if (message == WM_MOUSEMOVE && !input.empty() && input.back().msg.message == WM_MOUSEMOVE &&
        input.back().msg.hwnd == window) {
        input.back().msg = MakeMessage(window, message, wParam, lParam, (DWORD)time);
        input.back().modifiers = modifiers;
        return;
    }
    InputMessage entry;
    entry.msg = MakeMessage(window, message, wParam, lParam, (DWORD)time);
    entry.modifiers = modifiers;
    entry.charCount = key != NULL ? key->charCount : 0;
    for (int i = 0; i < entry.charCount; i++)
        entry.chars[i] = key->chars[i];
    input.push_back(entry);
}

static WPARAM MouseKeysOf(unsigned state) {
    WPARAM keys = 0;
    if (state & Button1Mask)
        keys |= MK_LBUTTON;
    if (state & Button2Mask)
        keys |= MK_MBUTTON;
    if (state & Button3Mask)
        keys |= MK_RBUTTON;
    if (state & ShiftMask)
        keys |= MK_SHIFT;
    if (state & ControlMask)
        keys |= MK_CONTROL;
    return keys;
}

static void TranslateKey(XKeyEvent* event) {
    HWND window = WindowOfX(event->window);
    if (window == NULL)
        window = MenuBarOwner(event->window);
    if (window == NULL)
        return;
    KeyMessage key;
    if (!TranslateKeyEvent(event, &key))
        return;
    // Keys that reach the owner of a modal dialog were typed for the dialog
    // before the focus got to it (it is given once the dialog is mapped).
    HWND topLevel = TopLevelOf(window);
    if (!topLevel->enabled && EnabledPopupOf(topLevel) != NULL)
        topLevel = EnabledPopupOf(topLevel);
    HWND target = KeyTargetOf(topLevel);
    if (!AcceptsInput(target))
        return;
    lastPointer = {event->x_root, event->y_root};
    QueueInput(target, key.message, key.virtualKey, key.lParam, event->time, event->state, &key);
}

// Buttons and motion go to the window under the pointer, in its client coordinates.
static void TranslatePointer(XEvent* event) {
    Window xWindow = event->xany.window;
    HWND window = WindowOfX(xWindow);
    if (window == NULL)
        return;
    int x = event->type == MotionNotify ? event->xmotion.x : event->xbutton.x;
    int y = event->type == MotionNotify ? event->xmotion.y : event->xbutton.y;
    unsigned state = event->type == MotionNotify ? event->xmotion.state : event->xbutton.state;
    lastPointer = event->type == MotionNotify ? POINT{event->xmotion.x_root, event->xmotion.y_root}
                                              : POINT{event->xbutton.x_root, event->xbutton.y_root};
    if (event->type != MotionNotify)
        NoteNonKeyInput();
    if (!AcceptsInput(window))
        return;
    if (xWindow == window->xWindow)
        y -= window->menuHeight;
    LPARAM where = MAKELPARAM(x, y);
    if (event->type == MotionNotify) {
        QueueInput(window, WM_MOUSEMOVE, MouseKeysOf(state), where, event->xmotion.time, state,
                   NULL);
        return;
    }
    unsigned button = event->xbutton.button;
    if (button != Button1 && button != Button3)
        return;
    bool press = event->type == ButtonPress;
    WPARAM keys = MouseKeysOf(state);
    WPARAM changed = button == Button1 ? MK_LBUTTON : MK_RBUTTON;
    keys = press ? keys | changed : keys & ~changed;
    UINT message = button == Button1 ? (press ? WM_LBUTTONDOWN : WM_LBUTTONUP)
                                     : (press ? WM_RBUTTONDOWN : WM_RBUTTONUP);
    // A click activates the window it lands in, as on the platform.
    HWND topLevel = TopLevelOf(window);
    if (press && topLevel != ActiveTopLevel())
        ActivateTopLevel(topLevel);
    QueueInput(window, message, keys, where, event->xbutton.time, state, NULL);
}

// Focus moves between our top-levels; grabs (a menu being tracked) and the
// pointer-root focus of a bare server do not change which one is active.
static void TranslateFocus(const XFocusChangeEvent& event) {
    HWND window = WindowOfX(event.window);
    if (window == NULL || window->parent != NULL)
        return;
    if (event.mode == NotifyGrab || event.mode == NotifyUngrab)
        return;
    if (event.detail == NotifyInferior || event.detail == NotifyPointer ||
        event.detail == NotifyPointerRoot || event.detail == NotifyDetailNone)
        return;
    OnFocusChange(window, event.type == FocusIn);
}

// A press on the menu bar (a child X window of the frame) of a window that
// takes no input, such as the owner of a modal dialog, must not open its menus.
static bool PressOnDisabledMenuBar(const XEvent* event) {
    if (event->type != ButtonPress || MenuIsTracking() || WindowOfX(event->xany.window) != NULL)
        return false;
    Window root, parent, *children = NULL;
    unsigned count = 0;
    if (!XQueryTree(xDisplay, event->xany.window, &root, &parent, &children, &count))
        return false;
    XFree(children);
    HWND window = WindowOfX(parent);
    return window != NULL && !AcceptsInput(window);
}

void HandleXEvent(XEvent* event) {
    if (event->type == KeyRelease)
        NoteKeyReleased(event->xkey.keycode);
    if (PressOnDisabledMenuBar(event))
        return;
    if (MenuHandleEvent(event))
        return;
    HWND window = WindowOfX(event->xany.window);
    switch (event->type) {
    case KeyPress:
    case KeyRelease:
        TranslateKey(&event->xkey);
        return;
    case ButtonPress:
    case ButtonRelease:
    case MotionNotify:
        TranslatePointer(event);
        return;
    case Expose:
        if (window != NULL)
            OnExpose(window, event->xexpose.window, event->xexpose);
        return;
    case ConfigureNotify:
        if (window != NULL && window->parent == NULL && event->xconfigure.window == window->xWindow)
            OnConfigure(window, event->xconfigure.width, event->xconfigure.height);
        return;
    case MapNotify:
        if (window != NULL && event->xmap.window == window->xWindow)
            OnMapped(window);
        return;
    case UnmapNotify:
        if (window != NULL && event->xunmap.window == window->xWindow)
            OnUnmapped(window);
        return;
    case FocusIn:
    case FocusOut:
        TranslateFocus(event->xfocus);
        return;
    case ClientMessage:
        if (window != NULL && event->xclient.message_type == atoms.wmProtocols &&
            (Atom)event->xclient.data.l[0] == atoms.wmDeleteWindow && AcceptsInput(window))
            SendMessageA(window, WM_CLOSE, 0, 0);
        return;
    case ColormapNotify:
        OnColormapNotify(event->xcolormap);
        return;
    case MappingNotify:
        XRefreshKeyboardMapping(&event->xmapping);
        return;
    }
}

// Translates the next X event, reading the connection when none is buffered;
// false when the server has sent nothing more.
static bool TranslateNextEvent() {
    if (XEventsQueued(xDisplay, QueuedAfterFlush) == 0)
        return false;
    XEvent event;
    XNextEvent(xDisplay, &event);
    HandleXEvent(&event);
    return true;
}

// Posted messages first, then the quit request, then input.
static bool TakeQueued(MSG* msg, HWND filter, UINT low, UINT high, bool remove) {
    for (auto it = posted.begin(); it != posted.end(); ++it) {
        if (!Matches(*it, filter, low, high))
            continue;
        *msg = *it;
        if (remove)
            posted.erase(it);
        return true;
    }
    if (quitPending && filter == NULL) {
        *msg = MakeMessage(NULL, WM_QUIT, (WPARAM)quitCode, 0, (DWORD)NowMilliseconds());
        if (remove)
            quitPending = false;
        return true;
    }
    for (auto it = input.begin(); it != input.end(); ++it) {
        // Keys go to the focus of the moment they are taken, as on the platform,
        // so that type-ahead follows a focus change (Tab in a dialog).
        if (it->msg.message >= WM_KEYDOWN && it->msg.message <= WM_SYSKEYUP)
            it->msg.hwnd = KeyTargetOf(TopLevelOf(it->msg.hwnd));
        if (!Matches(it->msg, filter, low, high))
            continue;
        *msg = it->msg;
        if (remove) {
            lastKey = *it;
            input.erase(it);
        }
        return true;
    }
    return false;
}

// WM_PAINT is made, not queued: for the first shown window with an update region.
static bool TakePaint(MSG* msg, HWND filter, UINT low, UINT high) {
    MSG paint = MakeMessage(NULL, WM_PAINT, 0, 0, (DWORD)NowMilliseconds());
    for (HWND window : AllWindows()) {
        paint.hwnd = window;
        if (window->updatePending && IsShown(window) && Matches(paint, filter, low, high)) {
            *msg = paint;
            return true;
        }
    }
    return false;
}

static bool Retrieve(MSG* msg, HWND filter, UINT low, UINT high, bool remove) {
    if (TakeQueued(msg, filter, low, high, remove))
        return true;
    // One event at a time, so that typed-ahead input meets the state the
    // messages before it left (the A of Alt+H, A goes to the opened menu);
    // all the server has sent is read before a paint is made.
    while (xDisplay != NULL && TranslateNextEvent())
        if (TakeQueued(msg, filter, low, high, remove))
            return true;
    return TakePaint(msg, filter, low, high);
}

// Sleeps until the server sends something: no timeout, no polling.
static void WaitForConnection() {
    struct pollfd connection = {ConnectionNumber(xDisplay), POLLIN, 0};
    while (poll(&connection, 1, -1) < 0 && errno == EINTR) {
    }
}

BOOL GetMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax) {
    if (msg == NULL || (window != NULL && !IsWindow(window)))
        return -1;
    while (!Retrieve(msg, window, filterMin, filterMax, true)) {
        if (xDisplay == NULL)
            return -1;
        // Run dry: the start-up's deferred work the first time, else sleep.
        if (!FinishStartup())
            WaitForConnection();
    }
    return msg->message != WM_QUIT;
}

BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT remove) {
    if (msg == NULL || (window != NULL && !IsWindow(window)))
        return FALSE;
    bool removing = (remove & PM_REMOVE) != 0;
    if (Retrieve(msg, window, filterMin, filterMax, removing))
        return TRUE;
    return FinishStartup() && Retrieve(msg, window, filterMin, filterMax, removing);
}

unsigned ModifiersOfLastInput() {
    return lastKey.modifiers;
}

BOOL TranslateMessage(const MSG* msg) {
    if (msg == NULL)
        return FALSE;
    if (msg->message == WM_KEYUP || msg->message == WM_SYSKEYUP)
        return TRUE;
    if (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)
        return FALSE;
    char chars[8];
    int count;
    const MSG& key = lastKey.msg;
    if (key.hwnd == msg->hwnd && key.message == msg->message && key.wParam == msg->wParam &&
        key.lParam == msg->lParam && key.time == msg->time) {
        count = lastKey.charCount;
        for (int i = 0; i < count; i++)
            chars[i] = lastKey.chars[i];
    } else {
        count = CharsOfVirtualKey((UINT)msg->wParam, chars);
    }
    UINT charMessage = msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
    for (int i = 0; i < count; i++)
        PostMessageA(msg->hwnd, charMessage, (WPARAM)(unsigned char)chars[i], msg->lParam);
    return TRUE;
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (msg == NULL || !IsWindow(msg->hwnd))
        return 0;
    return SendMessageA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}
