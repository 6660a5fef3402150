// Feeds the main window's procedure long seeded runs of random messages over
// the real layer, on the X server in $DISPLAY, and checks the program's
// invariants after every message:
//   window_fuzz [--seed N] [--messages N]
// Exit code 0 when every check held. The first broken check is printed with
// the seed and the message that preceded it, and ends the run with 1; a
// sanitizer report ends it before that.
#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <signal.h>
#include <string.h>
#include <unistd.h>

#include <map>
#include <random>
#include <string>

#include "app/window_proc.h"
#include "platform/x11/layer.h"
#include "render/render_target.h"
#include "resources/resource.h"

// After Xlib, which it needs.
#include <X11/extensions/XRes.h>

static const char CLASS_NAME[] = "Robot Kovra"; // as WinMain registers it
static const char FOREIGN_CLASS[] = "Fuzz Foreign";
static const char ABOUT_TITLE[] = "About OpenGL";
// Posted to the foreign window before an About command: the dialog's modal
// loop delivers it while the dialog is open.
static const UINT FUZZ_IN_DIALOG = 0x8000 + 1; // WM_APP + 1
static const WORD BN_CLICKED = 0;              // the notification of a button's click
static const int PUMP_LIMIT = 100000;          // messages a drain may take before it is a loop

// The window's model commands and the model each shows.
static const struct {
    UINT command;
    ModelKind kind;
} MODEL_COMMANDS[] = {{IDM_CYLINDER, Cylinder}, {IDM_ARM1, Arm1}, {IDM_ARM2, Arm2}};

// Sizes that divide, overflow or vanish most easily; random ones come between.
static const WORD EDGE_SIZES[] = {0, 1, 2, 199, 200, 400, 4096, 32767, 32768, 65535};

struct Fuzz {
    unsigned seed = 1;
    long limit = 20000;
    long messages = 0; // sent or posted to the main window
    std::mt19937 random;
    HWND main = NULL;
    HWND foreign = NULL;     // another top-level: a palette notification may name it
    Display* outside = NULL; // the X server's side: resizes and exposures come from here
    bool hasGl = false;      // a context was current after the first creation
    bool aboutPending = false;
    bool warmingUp = false; // the dialog is ended plainly, with nothing else done
    bool quitSeen = false;
    std::string last = "start"; // what was delivered last, for the report
    std::map<std::string, int> baseline;
    long sessions = 0, dialogs = 0, resizes = 0, glChecks = 0;
    long madeUpSizes = 0; // WM_SIZE messages the layer did not make
};
static Fuzz fuzz;

// The report names the seed and the last message: enough to replay the run.
[[noreturn]] static void Fail(const char* format, ...) {
    va_list args;
    va_start(args, format);
    fprintf(stderr, "window_fuzz: seed %u, message %ld (%s): ", fuzz.seed, fuzz.messages,
            fuzz.last.c_str());
    vfprintf(stderr, format, args);
    fputc('\n', stderr);
    va_end(args);
    exit(1);
}

// A run that stops making progress is a fault too: it is reported, not waited out.
static void OnStuck(int) {
    static const char TEXT[] = "window_fuzz: no progress for 10 s: a loop that never ends\n";
    if (write(STDERR_FILENO, TEXT, sizeof TEXT - 1) < 0) {
    }
    _exit(1);
}

// 0 .. n-1 from the seeded generator: every choice replays from the seed.
static unsigned Pick(unsigned n) {
    return (unsigned)(fuzz.random() % n);
}

// A readable name for the report.
static const char* MessageName(UINT message) {
    switch (message) {
    case WM_KEYDOWN:
        return "WM_KEYDOWN";
    case WM_KEYUP:
        return "WM_KEYUP";
    case WM_CHAR:
        return "WM_CHAR";
    case WM_SYSKEYDOWN:
        return "WM_SYSKEYDOWN";
    case WM_SYSKEYUP:
        return "WM_SYSKEYUP";
    case WM_COMMAND:
        return "WM_COMMAND";
    case WM_SIZE:
        return "WM_SIZE";
    case WM_PAINT:
        return "WM_PAINT";
    case WM_QUERYNEWPALETTE:
        return "WM_QUERYNEWPALETTE";
    case WM_PALETTECHANGED:
        return "WM_PALETTECHANGED";
    case WM_CLOSE:
        return "WM_CLOSE";
    }
    return "message";
}

// Remembers what was just done, for a report that follows.
static void Note(const char* format, ...) {
    char text[160];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    fuzz.last = text;
}

// ---- Checks ---------------------------------------------------------------------

// A whole multiple of 5 degrees in -355..355, as the key rule keeps every turn.
static bool IsTurn(float angle) {
    return isfinite(angle) && angle == truncf(angle) && fmodf(angle, 5) == 0 && angle >= -355 &&
           angle <= 355;
}

// The view state, and the menu's one check mark on the model shown.
static void CheckView() {
    const ViewState& view = CurrentView();
    if (!IsTurn(view.xRot) || !IsTurn(view.yRot))
        Fail("turn %g, %g is not a multiple of 5 in -355..355", view.xRot, view.yRot);
    if (view.selectedModel < Cylinder || view.selectedModel > Arm2)
        Fail("selected model %d", (int)view.selectedModel);
    if (!IsWindow(fuzz.main))
        return;
    int checked = 0;
    for (const auto& row : MODEL_COMMANDS) {
        UINT state = GetMenuState(GetMenu(fuzz.main), row.command, MF_BYCOMMAND);
        if (state == (UINT)-1)
            Fail("the menu lost command %u", row.command);
        if (state & MF_CHECKED) {
            checked++;
            if (row.kind != view.selectedModel)
                Fail("command %u is checked, model %d is shown", row.command,
                     (int)view.selectedModel);
        }
    }
    if (checked != 1)
        Fail("%d model check marks", checked);
}

// Every error our calls raised is still pending here: nothing else reads them
// but the dialog, which shows them.
static void CheckGl() {
    if (wglGetCurrentContext() == NULL) {
        if (fuzz.hasGl && IsWindow(fuzz.main))
            Fail("no current context while the window exists");
        return;
    }
    fuzz.glChecks++;
    GLenum error = glGetError();
    if (error != GL_NO_ERROR)
        Fail("GL error 0x%04x (%s)", error, (const char*)gluErrorString(error));
}

// What holds after every message.
static void Check() {
    CheckView();
    CheckGl();
}

// The viewport follows the client area once the layer has reported a real resize.
static void CheckViewport() {
    RECT client;
    if (wglGetCurrentContext() == NULL || !GetClientRect(fuzz.main, &client))
        return;
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    long width = client.right > 0 ? client.right : 1,
         height = client.bottom > 0 ? client.bottom : 1;
    if (viewport[0] != 0 || viewport[1] != 0 || viewport[2] != width || viewport[3] != height)
        Fail("viewport %d x %d for a client area of %ld x %ld", viewport[2], viewport[3], width,
             height);
}

// The counts of every kind of X resource the process holds.
static std::map<std::string, int> XResources() {
    XSync(xDisplay, False);
    std::map<std::string, int> counts;
    int typeCount = 0;
    XResType* types = NULL;
    if (!XResQueryClientResources(xDisplay, fuzz.foreign->xWindow, &typeCount, &types))
        Fail("X-Resource: cannot count the process's resources");
    for (int i = 0; i < typeCount; i++) {
        char* name = XGetAtomName(xDisplay, types[i].resource_type);
        counts[name != NULL ? name : "?"] = types[i].count;
        XFree(name);
    }
    XFree(types);
    return counts;
}

// "NAME count, ..." for the report.
static std::string Describe(const std::map<std::string, int>& counts) {
    std::string text;
    for (const auto& entry : counts)
        text += (text.empty() ? "" : ", ") + entry.first + " " + std::to_string(entry.second);
    return text;
}

// ---- Delivery ---------------------------------------------------------------------

// The program's loop, without the wait: until nothing is left to do.
static void Pump() {
    XSync(xDisplay, False);
    MSG msg;
    for (int i = 0; PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE); i++) {
        if (i == PUMP_LIMIT)
            Fail("the queue does not drain");
        if (msg.message == WM_QUIT) {
            fuzz.quitSeen = true;
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        Check();
    }
}

// Sends or posts, as the layer and other programs both do.
static void Deliver(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!IsWindow(fuzz.main))
        return;
    fuzz.messages++;
    bool send = Pick(2);
    Note("%s %s 0x%lx 0x%lx", send ? "sent" : "posted", MessageName(message), (unsigned long)wParam,
         (unsigned long)lParam);
    if (send)
        SendMessageA(fuzz.main, message, wParam, lParam);
    else
        PostMessageA(fuzz.main, message, wParam, lParam);
}

// Arrows half the time, so that the turns go far; any code 0-255 otherwise.
static WPARAM RandomKey() {
    static const WPARAM ARROWS[] = {VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN};
    return Pick(2) ? ARROWS[Pick(4)] : Pick(256);
}

// A key-down mostly; now and then what the default procedure takes.
static void DeliverKey() {
    // Repeat count, scan code, and now and then the "previously down" bit.
    LPARAM lParam = (LPARAM)((1 + Pick(3)) | Pick(256) << 16 | (Pick(4) == 0) << 30);
    WPARAM key = RandomKey();
    if (Pick(8) != 0) {
        Deliver(WM_KEYDOWN, key, lParam);
        return;
    }
    // What the default procedure takes: releases, characters, Alt keys
    // (Alt+F4 closes; F10 and Alt alone start the menu's keyboard mode).
    static const UINT OTHERS[] = {WM_KEYUP, WM_CHAR, WM_SYSKEYDOWN, WM_SYSKEYUP};
    UINT message = OTHERS[Pick(4)];
    if (message == WM_SYSKEYDOWN || message == WM_SYSKEYUP)
        lParam |= (LPARAM)Pick(2) << 29; // the Alt bit
    if (message == WM_SYSKEYDOWN && Pick(40) == 0)
        key = VK_F1 + 3; // F4
    Deliver(message, key, lParam);
}

// "Cylinder", "Arm1" or "Arm2", however it was sent.
static void DeliverModelCommand() {
    UINT command = MODEL_COMMANDS[Pick(3)].command;
    // From the menu (0), an accelerator (1), or a notification code a control would send.
    WORD code = Pick(4) == 0 ? (WORD)Pick(65536) : (WORD)Pick(2);
    Deliver(WM_COMMAND, MAKEWPARAM(command, code), Pick(4) == 0 ? (LPARAM)fuzz.foreign : 0);
}

// An id the window has no row for: ignored, answered 0.
static void DeliverUnknownCommand() {
    static const UINT NEAR_KNOWN[] = {
        0, IDOK, IDCANCEL, IDM_EXIT - 1, IDM_ARM2 + 1, IDM_ABOUT + 1, IDM_CYLINDER - 1, 0xFFFF};
    UINT command = Pick(2) ? NEAR_KNOWN[Pick(8)] : Pick(65536);
    for (const auto& row : MODEL_COMMANDS)
        if (command == row.command)
            command = 0;
    if (command == IDM_EXIT || command == IDM_ABOUT)
        command = 0;
    Deliver(WM_COMMAND, MAKEWPARAM(command, Pick(65536)), (LPARAM)Pick(65536));
}

// The dialog's modal loop, sent or posted, then delivers FUZZ_IN_DIALOG:
// posted behind the command, or before a command sent at once.
static void DeliverAbout() {
    fuzz.aboutPending = true;
    fuzz.messages++;
    bool send = Pick(2);
    Note("%s the About command", send ? "sent" : "posted");
    if (!send)
        PostMessageA(fuzz.main, WM_COMMAND, MAKEWPARAM(IDM_ABOUT, 0), 0);
    PostMessageA(fuzz.foreign, FUZZ_IN_DIALOG, 0, 0);
    if (send)
        SendMessageA(fuzz.main, WM_COMMAND, MAKEWPARAM(IDM_ABOUT, 0), 0);
}

// One side of a WM_SIZE: an edge value or any 16-bit one.
static WORD RandomSize() {
    return Pick(2) ? EDGE_SIZES[Pick(sizeof EDGE_SIZES / sizeof EDGE_SIZES[0])] : (WORD)Pick(65536);
}

// A WM_SIZE nobody measured: the viewport must take any size.
static void DeliverSize() {
    static const WPARAM KINDS[] = {SIZE_RESTORED, 1 /* minimised */, 2 /* maximised */};
    fuzz.madeUpSizes++;
    Deliver(WM_SIZE, KINDS[Pick(3)], MAKELPARAM(RandomSize(), RandomSize()));
}

static void DeliverPaletteNotice() {
    if (Pick(2)) {
        fuzz.messages++;
        Note("sent WM_QUERYNEWPALETTE");
        LRESULT realized = SendMessageA(fuzz.main, WM_QUERYNEWPALETTE, 0, 0);
        if (renderTarget.hPalette == NULL && realized != 0)
            Fail("answered %ld without a palette", (long)realized);
        return;
    }
    // The window's own realisation, another window's, none, and a stale handle.
    HWND changers[] = {fuzz.main, fuzz.foreign, NULL, (HWND)(UINT_PTR)(0x10000 + Pick(65536))};
    Deliver(WM_PALETTECHANGED, (WPARAM)changers[Pick(4)], 0);
}

// A resize made by another client, as a window manager makes one: the layer
// reports it with WM_SIZE.
static void ResizeFromOutside() {
    unsigned width = 1 + Pick(Pick(8) == 0 ? 1600 : 600);
    unsigned height = 1 + Pick(Pick(8) == 0 ? 1600 : 600);
    Pump();
    if (!IsWindow(fuzz.main))
        return;
    Note("X resize to %u x %u", width, height);
    XResizeWindow(fuzz.outside, fuzz.main->xWindow, width, height);
    XSync(fuzz.outside, False);
    fuzz.resizes++;
    // The ConfigureNotify has reached the layer's connection once it answers.
    long madeUp = fuzz.madeUpSizes;
    Pump();
    // Unless a made-up size came after it, the layer's WM_SIZE set the viewport.
    if (madeUp == fuzz.madeUpSizes && IsWindow(fuzz.main) && fuzz.main->width == (int)width &&
        fuzz.main->height == (int)height)
        CheckViewport();
}

// Part of the window uncovered, as another window moving away would.
static void ExposeFromOutside() {
    Window target = fuzz.main->xClient != None ? fuzz.main->xClient : fuzz.main->xWindow;
    Note("X exposure");
    XClearArea(fuzz.outside, target, (int)Pick(400), (int)Pick(400), Pick(400), Pick(400), True);
    XSync(fuzz.outside, False);
}

// Part of the client area (or more, or all of it) marked for repainting.
static void InvalidateFromInside() {
    RECT rect = {(LONG)Pick(500) - 50, (LONG)Pick(500) - 50, (LONG)Pick(500), (LONG)Pick(500)};
    Note("InvalidateRect");
    InvalidateRect(fuzz.main, Pick(2) ? &rect : NULL, Pick(2));
    if (Pick(2))
        UpdateWindow(fuzz.main);
}

// The three ways a person ends the program: Exit, the close box, Alt+F4.
static void Close() {
    switch (Pick(3)) {
    case 0:
        Deliver(WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0);
        break;
    case 1:
        Deliver(WM_CLOSE, 0, 0);
        break;
    default:
        Deliver(WM_SYSKEYDOWN, VK_F1 + 3, 1 << 29); // Alt+F4
        break;
    }
}

// One random message (or outside event); the dialog is opened only from the top.
static void Step(bool mayOpenDialog) {
    alarm(10);
    unsigned roll = Pick(1000);
    if (roll < 330)
        DeliverKey();
    else if (roll < 480)
        DeliverModelCommand();
    else if (roll < 540)
        DeliverUnknownCommand();
    else if (roll < 640)
        DeliverSize();
    else if (roll < 740) {
        fuzz.messages++;
        Note("sent WM_PAINT");
        SendMessageA(fuzz.main, WM_PAINT, 0, 0);
    } else if (roll < 800)
        InvalidateFromInside();
    else if (roll < 850)
        ExposeFromOutside();
    else if (roll < 900)
        DeliverPaletteNotice();
    else if (roll < 930)
        ResizeFromOutside();
    else if (roll < 937 && mayOpenDialog)
        DeliverAbout();
    else if (roll < 939)
        Close();
    else
        Pump();
    Check();
}

// ---- The dialog ---------------------------------------------------------------------

// With every error read after each message, the dialog shows none pending.
static void CheckDialogFields(HWND dialog) {
    char text[256];
    const char* noError = (const char*)gluErrorString(GL_NO_ERROR);
    GetDlgItemTextA(dialog, IDC_ERROR_FIRST, text, sizeof text);
    if (strcmp(text, noError) != 0)
        Fail("the dialog's first error field reads \"%s\", not \"%s\"", text, noError);
    for (int id = IDC_ERROR_FIRST + 1; id < IDC_ERROR_FIRST + 6; id++) {
        GetDlgItemTextA(dialog, id, text, sizeof text);
        if (text[0] != 0)
            Fail("error field %d reads \"%s\"", id, text);
    }
}

// The newest dialog not yet taken in hand: a posted About command may open
// one over another, and each FUZZ_IN_DIALOG takes one.
static HWND NewestDialog() {
    HWND newest = NULL;
    for (HWND window : AllWindows())
        if (window->parent == NULL && !window->destroying && window->text == ABOUT_TITLE)
            newest = window;
    return newest;
}

// Runs inside the dialog's modal loop: messages to the main window meanwhile,
// then one of the ways a person ends the dialog.
static void InDialog() {
    bool expected = fuzz.aboutPending;
    fuzz.aboutPending = false;
    HWND dialog = NewestDialog();
    if (dialog == NULL) {
        // A posted About is dropped when the window goes first.
        if (expected && IsWindow(fuzz.main))
            Fail("the About command opened no dialog");
        return;
    }
    fuzz.dialogs++;
    // Its caption marks it taken: the next FUZZ_IN_DIALOG is another dialog's.
    SetWindowTextA(dialog, "About OpenGL, in hand");
    if (IsWindowEnabled(fuzz.main))
        Fail("the main window takes input while the dialog is open");
    if (fuzz.hasGl)
        CheckDialogFields(dialog);
    for (int i = fuzz.warmingUp ? 0 : (int)Pick(12);
         i > 0 && IsWindow(fuzz.main) && IsWindow(dialog); i--)
        Step(false);
    if (fuzz.warmingUp)
        Pump(); // shown and painted
    if (!IsWindow(dialog))
        return;
    Note("ending the dialog");
    switch (fuzz.warmingUp ? 0 : Pick(4)) {
    case 0:
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        break;
    case 1:
        SendMessageA(dialog, WM_CLOSE, 0, 0);
        break;
    case 2:
        // Escape leaves it open; OK follows.
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        break;
    default:
        if (Pick(8) == 0)
            SendMessageA(fuzz.main, WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0);
        else
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        break;
    }
}

// The foreign window's procedure: it also runs the driver inside the dialog.
static LRESULT CALLBACK ForeignWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == FUZZ_IN_DIALOG) {
        InDialog();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// ---- Sessions -------------------------------------------------------------------------

// The window made the program's way (WinMain's registration is done once).
static void OpenWindow() {
    fuzz.main = CreateWindowExA(0, CLASS_NAME, CLASS_NAME,
                                WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 50, 50,
                                400, 400, NULL, NULL, &moduleInstance, NULL);
    if (fuzz.main == NULL)
        Fail("cannot create the main window");
    ShowWindow(fuzz.main, SW_SHOW);
    UpdateWindow(fuzz.main);
    if (fuzz.sessions == 0)
        fuzz.hasGl = wglGetCurrentContext() != NULL;
    fuzz.quitSeen = false;
    fuzz.sessions++;
    // The view outlives the window in this process, as it never does in the
    // program: a new window's menu shows the cylinder, so show it.
    SendMessageA(fuzz.main, WM_COMMAND, MAKEWPARAM(IDM_CYLINDER, 0), 0);
    Pump();
    Check();
}

// After WM_DESTROY: the quit request, no context, and the X resources of
// the window gone with it.
static void CheckSessionEnd() {
    Pump();
    if (!fuzz.quitSeen)
        Fail("no quit message after the window was destroyed");
    if (wglGetCurrentContext() != NULL)
        Fail("a context is still current after WM_DESTROY");
    std::map<std::string, int> counts = XResources();
    if (fuzz.baseline.empty())
        fuzz.baseline = counts;
    else if (counts != fuzz.baseline)
        Fail("X resources after session %ld: %s; after the first: %s", fuzz.sessions,
             Describe(counts).c_str(), Describe(fuzz.baseline).c_str());
}

// The first session goes through the dialog, a resize and the menus once,
// the same way whatever the seed, so that what the layer and Xft keep for
// good (fonts, the menus' GC, colours, a solid picture per text colour)
// exists before the baseline is taken.
static void WarmUp() {
    OpenWindow();
    fuzz.warmingUp = true;
    fuzz.aboutPending = true;
    PostMessageA(fuzz.foreign, FUZZ_IN_DIALOG, 0, 0);
    SendMessageA(fuzz.main, WM_COMMAND, MAKEWPARAM(IDM_ABOUT, 0), 0);
    fuzz.warmingUp = false;
    ResizeFromOutside();
    SendMessageA(fuzz.main, WM_COMMAND, MAKEWPARAM(IDM_ARM1, 0), 0);
    // F10: the bar's first title drawn highlighted, in a text colour of its own.
    SendMessageA(fuzz.main, WM_SYSKEYUP, VK_F10, 1 << 30);
    Pump();
    SendMessageA(fuzz.main, WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0);
    Pump();
    if (IsWindow(fuzz.main) || fuzz.dialogs != 1)
        Fail("the warm-up session did not go as planned");
    CheckSessionEnd();
}

// The connection, the class as WinMain registers it, and the foreign window.
static void Setup() {
    if (!OpenConnection(NULL, "robot-kovra")) {
        fprintf(stderr, "window_fuzz: X11: cannot open display \"%s\"\n", XDisplayName(NULL));
        exit(1);
    }
    fuzz.outside = XOpenDisplay(NULL);
    if (fuzz.outside == NULL)
        Fail("X11: cannot open a second connection");
    SetInstance(&moduleInstance);

    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWndProc;
    wc.hInstance = &moduleInstance;
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.lpszMenuName = MAKEINTRESOURCEA(IDR_MAINMENU);
    wc.lpszClassName = CLASS_NAME;
    if (!RegisterClassA(&wc))
        Fail("cannot register the window class");
    wc = {};
    wc.lpfnWndProc = ForeignWndProc;
    wc.hInstance = &moduleInstance;
    wc.lpszClassName = FOREIGN_CLASS;
    RegisterClassA(&wc);
    fuzz.foreign = CreateWindowExA(0, FOREIGN_CLASS, "foreign", WS_OVERLAPPEDWINDOW, 500, 50, 100,
                                   100, NULL, NULL, &moduleInstance, NULL);
    if (fuzz.foreign == NULL)
        Fail("cannot create the foreign window");
}

// --seed N and --messages N; anything else is a usage error.
static void ReadArguments(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; i += 2) {
        if (strcmp(argv[i], "--seed") == 0)
            fuzz.seed = (unsigned)strtoul(argv[i + 1], NULL, 0);
        else if (strcmp(argv[i], "--messages") == 0)
            fuzz.limit = strtol(argv[i + 1], NULL, 0);
        else {
            fprintf(stderr, "usage: window_fuzz [--seed N] [--messages N]\n");
            exit(2);
        }
    }
}

int main(int argc, char** argv) {
    ReadArguments(argc, argv);
    fuzz.random.seed(fuzz.seed);
    signal(SIGALRM, OnStuck);
    alarm(10);
    Setup();
    WarmUp();
    while (fuzz.messages < fuzz.limit) {
        if (!IsWindow(fuzz.main)) {
            CheckSessionEnd();
            OpenWindow();
        }
        Step(true);
    }
    if (IsWindow(fuzz.main))
        DestroyWindow(fuzz.main);
    CheckSessionEnd();
    printf("window_fuzz: seed %u: %ld messages, %ld windows, %ld dialogs, %ld outside resizes, "
           "%ld GL error checks%s; X resources at each window's end: %s\n",
           fuzz.seed, fuzz.messages, fuzz.sessions, fuzz.dialogs, fuzz.resizes, fuzz.glChecks,
           fuzz.hasGl ? "" : " (no GL on this display)", Describe(fuzz.baseline).c_str());
    DestroyWindow(fuzz.foreign);
    XCloseDisplay(fuzz.outside);
    CloseConnection();
    return 0;
}
