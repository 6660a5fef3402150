// What the probe and its hook library agree on: the hook reads the menu inside
// the program's own process, since a menu handle means nothing in another one
// under Wine.
#pragma once

// Posted to the main window: wParam a command id, lParam the probe's thread id.
#define PROBE_MENU_QUERY "RobotKovraProbeMenuQuery"
// Posted back to the probe's thread: wParam the command id, lParam GetMenuState's result.
#define PROBE_MENU_REPLY (WM_APP + 1)
// The hook procedure's exported name.
#define PROBE_HOOK_PROC "ProbeGetMessageHook"
