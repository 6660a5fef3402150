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

#include "resources/resource.h"

static const char MAIN_WINDOW[] = "Robot Kovra";
static const char ABOUT_WINDOW[] = "About OpenGL";

// The dialog's fields in the order a reader of the dialog sees them.
static const int DIALOG_FIELDS[] = {1000, 1001, 1002, 1003, 1005, 1006,
                                    1007, 1008, 1009, 1010, 1011, 1012};

// A missing window is the usual failure; say which one.
static HWND FindTopLevel(const char* title) {
    HWND window = FindWindowA(NULL, title);
    if (window == NULL)
        fprintf(stderr, "probe: no window \"%s\"\n", title);
    return window;
}

static int PrintMenuChecks() {
    HWND window = FindTopLevel(MAIN_WINDOW);
    if (window == NULL)
        return 1;
    HMENU menu = GetMenu(window);
    if (menu == NULL) {
        fprintf(stderr, "probe: \"%s\" has no menu\n", MAIN_WINDOW);
        return 1;
    }
    const UINT commands[] = {IDM_CYLINDER, IDM_ARM1, IDM_ARM2};
    for (UINT command : commands) {
        UINT state = GetMenuState(menu, command, MF_BYCOMMAND);
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
