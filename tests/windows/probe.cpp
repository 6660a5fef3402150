// Reads and drives the running Windows build from another process of the same
// Wine prefix and display, for the windows test tier:
//   probe menu        the check state of the Robot menu's model commands
//   probe dialog      the texts of the information dialog's fields
//   probe client      the main window's client area on the screen: x y width height
//   probe command ID  posts WM_COMMAND ID to the main window
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "probe_hook.h"
#include "resources/resource.h"

static const char MAIN_WINDOW[] = "Robot Kovra";
static const char ABOUT_WINDOW[] = "About OpenGL";
// How long the program may take to answer a menu query.
static const UINT REPLY_TIMEOUT_MS = 5000;

// The dialog's fields in the order a reader of the dialog sees them.
static const int DIALOG_FIELDS[] = {
    IDC_GL_VENDOR,       IDC_GL_RENDERER,     IDC_GL_VERSION,      IDC_GL_EXTENSIONS,
    IDC_GLU_VERSION,     IDC_GLU_EXTENSIONS,  IDC_ERROR_FIRST,     IDC_ERROR_FIRST + 1,
    IDC_ERROR_FIRST + 2, IDC_ERROR_FIRST + 3, IDC_ERROR_FIRST + 4, IDC_ERROR_FIRST + 5,
};

// A missing window is the usual failure; say which one.
static HWND FindTopLevel(const char* title) {
    HWND window = FindWindowA(NULL, title);
    if (window == NULL)
        fprintf(stderr, "probe: no window \"%s\"\n", title);
    return window;
}

// GetMenuState only works inside the process that owns the menu under Wine,
// so a hook library asks it there and posts the answer back.
static bool QueryMenuState(HWND window, UINT command, UINT* state) {
    static HHOOK hook = NULL;
    if (hook == NULL) {
        HMODULE library = LoadLibraryA("probe-hook.dll");
        HOOKPROC proc = library ? (HOOKPROC)(void*)GetProcAddress(library, PROBE_HOOK_PROC) : NULL;
        if (proc == NULL) {
            fprintf(stderr, "probe: cannot load probe-hook.dll (%lu)\n", GetLastError());
            return false;
        }
        hook =
            SetWindowsHookExA(WH_GETMESSAGE, proc, library, GetWindowThreadProcessId(window, NULL));
        if (hook == NULL) {
            fprintf(stderr, "probe: SetWindowsHookExA failed (%lu)\n", GetLastError());
            return false;
        }
    }
    MSG msg;
    // The reply needs this thread to have a message queue before it is posted.
    PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE);
    PostMessageA(window, RegisterWindowMessageA(PROBE_MENU_QUERY), command, GetCurrentThreadId());
    UINT_PTR timer = SetTimer(NULL, 0, REPLY_TIMEOUT_MS, NULL);
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        if (msg.message == PROBE_MENU_REPLY && msg.wParam == command) {
            KillTimer(NULL, timer);
            *state = (UINT)msg.lParam;
            return true;
        }
        if (msg.message == WM_TIMER && msg.wParam == timer)
            break;
    }
    KillTimer(NULL, timer);
    fprintf(stderr, "probe: no answer about command %u from \"%s\"\n", command, MAIN_WINDOW);
    return false;
}

static int PrintMenuChecks() {
    HWND window = FindTopLevel(MAIN_WINDOW);
    if (window == NULL)
        return 1;
    const UINT commands[] = {IDM_CYLINDER, IDM_ARM1, IDM_ARM2};
    for (UINT command : commands) {
        UINT state;
        if (!QueryMenuState(window, command, &state))
            return 1;
        if (state == (UINT)-1) {
            fprintf(stderr, "probe: menu has no command %u\n", command);
            return 1;
        }
        printf("%u %s\n", command, (state & MF_CHECKED) ? "checked" : "unchecked");
    }
    return 0;
}

static int PrintDialogFields() {
    HWND dialog = FindTopLevel(ABOUT_WINDOW);
    if (dialog == NULL)
        return 1;
    for (int id : DIALOG_FIELDS) {
        // Extension lists run to several kilobytes.
        static char text[65536];
        if (GetDlgItem(dialog, id) == NULL) {
            fprintf(stderr, "probe: dialog has no control %d\n", id);
            return 1;
        }
        GetDlgItemTextA(dialog, id, text, sizeof text);
        printf("%d\t%s\n", id, text);
    }
    return 0;
}

static int PrintClientArea() {
    HWND window = FindTopLevel(MAIN_WINDOW);
    if (window == NULL)
        return 1;
    RECT client;
    POINT origin = {0, 0};
    GetClientRect(window, &client);
    ClientToScreen(window, &origin);
    printf("%ld %ld %ld %ld\n", origin.x, origin.y, client.right, client.bottom);
    return 0;
}

static int PostCommand(const char* id) {
    char* end;
    unsigned long command = strtoul(id, &end, 10);
    if (*id == '\0' || *end != '\0' || command > 0xFFFF) {
        fprintf(stderr, "probe: \"%s\" is not a command id\n", id);
        return 2;
    }
    HWND window = FindTopLevel(MAIN_WINDOW);
    if (window == NULL)
        return 1;
    if (!PostMessageA(window, WM_COMMAND, MAKEWPARAM(command, 0), 0)) {
        fprintf(stderr, "probe: PostMessageA failed (%lu)\n", GetLastError());
        return 1;
    }
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 2 && strcmp(argv[1], "menu") == 0)
        return PrintMenuChecks();
    if (argc == 2 && strcmp(argv[1], "dialog") == 0)
        return PrintDialogFields();
    if (argc == 2 && strcmp(argv[1], "client") == 0)
        return PrintClientArea();
    if (argc == 3 && strcmp(argv[1], "command") == 0)
        return PostCommand(argv[2]);
    fprintf(stderr, "usage: probe menu | dialog | client | command ID\n");
    return 2;
}
