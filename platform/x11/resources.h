// The program's compiled resources: what the resource compiler in tools/
// emits from the resource script, and what the layer loads menus and dialog
// templates from. The layout mirrors the platform's binary templates.
#pragma once

#include "win32.h"

// Resource types, as the platform numbers them.
#define RT_MENU_ID 4
#define RT_DIALOG_ID 5

// One menu item, depth first; MF_POPUP opens a nested level, MF_END closes one.
struct MenuItemTemplate {
    UINT flags; // MF_POPUP, MF_END, MF_CHECKED, MF_GRAYED, MF_SEPARATOR
    UINT id;    // command id; 0 for pop-ups and separators
    const char* text;
};

// One control of a dialog, in dialog units.
struct DialogItemTemplate {
    DWORD style;
    DWORD exStyle;
    short x;
    short y;
    short cx;
    short cy;
    WORD id;               // 0xFFFF for controls that are never addressed
    const char* className; // "BUTTON", "STATIC", "EDIT", ...
    const char* text;
};

struct DialogTemplate {
    DWORD style;
    DWORD exStyle;
    short x;
    short y;
    short cx;
    short cy;
    const char* caption;
    const char* fontName; // with DS_SETFONT
    WORD pointSize;
    int itemCount;
    const DialogItemTemplate* items;
};

struct ResourceEntry {
    WORD type; // RT_MENU_ID or RT_DIALOG_ID
    WORD id;
    const void* data; // MenuItemTemplate[] or DialogTemplate
    int count;        // items of a menu; 1 for a dialog
};

struct ResourceTable {
    int count;
    const ResourceEntry* entries;
};

// Defined by the program's compiled resource script.
extern const ResourceTable MODULE_RESOURCES;

// The resource of a type by integer id (MAKEINTRESOURCEA) or NULL.
const ResourceEntry* FindResource(HINSTANCE instance, LPCSTR name, WORD type);
