// A WH_GETMESSAGE hook the probe installs on the program's thread: it answers
// menu queries from inside the program's process.
#include <windows.h>

#include "probe_hook.h"

extern "C" __declspec(dllexport) LRESULT CALLBACK
    ProbeGetMessageHook(int code, WPARAM removal, LPARAM lParam) {
    MSG* msg = (MSG*)lParam;
    if (code == HC_ACTION && removal == PM_REMOVE &&
        msg->message == RegisterWindowMessageA(PROBE_MENU_QUERY)) {
        UINT command = (UINT)msg->wParam;
        UINT state = GetMenuState(GetMenu(msg->hwnd), command, MF_BYCOMMAND);
        PostThreadMessageA((DWORD)msg->lParam, PROBE_MENU_REPLY, command, (LPARAM)(INT)state);
        // The query is the probe's business; the program sees nothing.
        msg->message = WM_NULL;
    }
    return CallNextHookEx(NULL, code, removal, lParam);
}
