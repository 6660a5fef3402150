// X keys as the platform's virtual keys and key messages.
#include "keyboard.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>

static const struct {
    KeySym keysym;
    UINT virtualKey;
} KEY_TABLE[] = {
    {XK_BackSpace, VK_BACK},
    {XK_Tab, VK_TAB},
    {XK_ISO_Left_Tab, VK_TAB},
    {XK_Clear, VK_CLEAR},
    {XK_Return, VK_RETURN},
    {XK_Pause, VK_PAUSE},
    {XK_Scroll_Lock, VK_SCROLL},
    {XK_Escape, VK_ESCAPE},
    {XK_Delete, VK_DELETE},
    {XK_Home, VK_HOME},
    {XK_Left, VK_LEFT},
    {XK_Up, VK_UP},
    {XK_Right, VK_RIGHT},
    {XK_Down, VK_DOWN},
    {XK_Prior, VK_PRIOR},
    {XK_Next, VK_NEXT},
    {XK_End, VK_END},
    {XK_Select, VK_SELECT},
    {XK_Print, VK_SNAPSHOT},
    {XK_Insert, VK_INSERT},
    {XK_Menu, VK_APPS},
    {XK_Help, VK_HELP},
    {XK_Num_Lock, VK_NUMLOCK},
    {XK_Caps_Lock, VK_CAPITAL},
    {XK_space, VK_SPACE},
    {XK_Shift_L, VK_SHIFT},
    {XK_Shift_R, VK_SHIFT},
    {XK_Control_L, VK_CONTROL},
    {XK_Control_R, VK_CONTROL},
    {XK_Alt_L, VK_MENU},
    {XK_Alt_R, VK_MENU},
    {XK_Meta_L, VK_MENU},
    {XK_Meta_R, VK_MENU},
    {XK_ISO_Level3_Shift, VK_MENU},
    {XK_Super_L, VK_LWIN},
    {XK_Super_R, VK_RWIN},
    // The numeric keypad, as NumLock resolves it.
    {XK_KP_Space, VK_SPACE},
    {XK_KP_Tab, VK_TAB},
    {XK_KP_Enter, VK_RETURN},
    {XK_KP_Home, VK_HOME},
    {XK_KP_Left, VK_LEFT},
    {XK_KP_Up, VK_UP},
    {XK_KP_Right, VK_RIGHT},
    {XK_KP_Down, VK_DOWN},
    {XK_KP_Prior, VK_PRIOR},
    {XK_KP_Next, VK_NEXT},
    {XK_KP_End, VK_END},
    {XK_KP_Begin, VK_CLEAR},
    {XK_KP_Insert, VK_INSERT},
    {XK_KP_Delete, VK_DELETE},
    {XK_KP_Multiply, VK_MULTIPLY},
    {XK_KP_Add, VK_ADD},
    {XK_KP_Separator, VK_SEPARATOR},
    {XK_KP_Subtract, VK_SUBTRACT},
    {XK_KP_Decimal, VK_DECIMAL},
    {XK_KP_Divide, VK_DIVIDE},
    // Punctuation, by its US key whether shifted or not.
    {XK_semicolon, VK_OEM_1},
    {XK_colon, VK_OEM_1},
    {XK_equal, VK_OEM_PLUS},
    {XK_plus, VK_OEM_PLUS},
    {XK_comma, VK_OEM_COMMA},
    {XK_less, VK_OEM_COMMA},
    {XK_minus, VK_OEM_MINUS},
    {XK_underscore, VK_OEM_MINUS},
    {XK_period, VK_OEM_PERIOD},
    {XK_greater, VK_OEM_PERIOD},
    {XK_slash, VK_OEM_2},
    {XK_question, VK_OEM_2},
    {XK_grave, VK_OEM_3},
    {XK_asciitilde, VK_OEM_3},
    {XK_bracketleft, VK_OEM_4},
    {XK_braceleft, VK_OEM_4},
    {XK_backslash, VK_OEM_5},
    {XK_bar, VK_OEM_5},
    {XK_bracketright, VK_OEM_6},
    {XK_braceright, VK_OEM_6},
    {XK_apostrophe, VK_OEM_7},
    {XK_quotedbl, VK_OEM_7},
};

// Keys the platform flags as "extended" (bit 24): the separate cursor block,
// the right-hand modifiers and the keypad's Enter and divide.
static const KeySym EXTENDED_KEYS[] = {
    XK_Left,      XK_Up,      XK_Right,   XK_Down,     XK_Prior,
    XK_Next,      XK_Home,    XK_End,     XK_Insert,   XK_Delete,
    XK_Control_R, XK_Alt_R,   XK_Print,   XK_KP_Enter, XK_KP_Divide,
    XK_Num_Lock,  XK_Super_L, XK_Super_R, XK_Menu,     XK_ISO_Level3_Shift,
};

static bool keyHeld[256];
static bool altAlone;  // Alt is down and nothing else happened since
static bool altTapped; // the last Alt release ended such a press

UINT KeysymToVirtualKey(KeySym keysym) {
    if (keysym >= XK_a && keysym <= XK_z)
        return 'A' + (UINT)(keysym - XK_a);
    if (keysym >= XK_A && keysym <= XK_Z)
        return 'A' + (UINT)(keysym - XK_A);
    if (keysym >= XK_0 && keysym <= XK_9)
        return '0' + (UINT)(keysym - XK_0);
    if (keysym >= XK_KP_0 && keysym <= XK_KP_9)
        return VK_NUMPAD0 + (UINT)(keysym - XK_KP_0);
    if (keysym >= XK_F1 && keysym <= XK_F24)
        return VK_F1 + (UINT)(keysym - XK_F1);
    for (const auto& row : KEY_TABLE)
        if (row.keysym == keysym)
            return row.virtualKey;
    return 0;
}

static bool IsExtendedKey(KeySym keysym) {
    for (KeySym extended : EXTENDED_KEYS)
        if (extended == keysym)
            return true;
    return false;
}

bool TranslateKeyEvent(XKeyEvent* event, KeyMessage* out) {
    bool press = event->type == KeyPress;
    // The unshifted symbol names the key; only the keypad depends on NumLock.
    KeySym keysym = XLookupKeysym(event, 0);
    KeySym resolved = NoSymbol;
    char text[sizeof out->chars];
    int length = XLookupString(event, text, sizeof text, &resolved, NULL);
    if (IsKeypadKey(keysym) || KeysymToVirtualKey(keysym) == 0)
        keysym = resolved;
    UINT virtualKey = KeysymToVirtualKey(keysym);
    if (virtualKey == 0)
        return false;

    unsigned code = event->keycode & 0xFF;
    bool wasHeld = keyHeld[code];
    keyHeld[code] = press;
    if (press && virtualKey == VK_MENU && !wasHeld)
        altAlone = true;
    else if (press && virtualKey != VK_MENU)
        altAlone = false;
    if (!press && virtualKey == VK_MENU) {
        altTapped = altAlone;
        altAlone = false;
    }

    bool alt = (event->state & Mod1Mask) || (press && virtualKey == VK_MENU);
    bool control = event->state & ControlMask;
    bool system = (alt && !control) || virtualKey == VK_F10;
    if (press)
        out->message = system ? WM_SYSKEYDOWN : WM_KEYDOWN;
    else
        out->message = system ? WM_SYSKEYUP : WM_KEYUP;
    out->virtualKey = virtualKey;

    DWORD flags = 1 | ((code - 8) & 0xFF) << 16;
    if (IsExtendedKey(keysym))
        flags |= 1u << 24;
    if (alt)
        flags |= 1u << 29;
    if (!press || wasHeld)
        flags |= 1u << 30;
    if (!press)
        flags |= 1u << 31;
    out->lParam = (LPARAM)flags;

    out->charCount = press && length > 0 ? length : 0;
    for (int i = 0; i < out->charCount; i++)
        out->chars[i] = text[i];
    return true;
}

void NoteKeyReleased(unsigned keycode) {
    keyHeld[keycode & 0xFF] = false;
}

bool AltTappedAlone() {
    return altTapped;
}

void NoteNonKeyInput() {
    altAlone = false;
}

int CharsOfVirtualKey(UINT virtualKey, char* out) {
    if (virtualKey >= 'A' && virtualKey <= 'Z')
        out[0] = (char)(virtualKey - 'A' + 'a');
    else if ((virtualKey >= '0' && virtualKey <= '9') || virtualKey == VK_SPACE ||
             virtualKey == VK_RETURN || virtualKey == VK_ESCAPE || virtualKey == VK_TAB ||
             virtualKey == VK_BACK)
        out[0] = (char)virtualKey;
    else
        return 0;
    return 1;
}
