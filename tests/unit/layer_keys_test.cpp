// Keys as the program sees them: virtual-key codes, and the key and character
// messages a sequence of real X key events becomes.
// gtest first: X's None and Bool macros would break its headers.
#include <gtest/gtest.h>

#include "tests/unit/layer_fixture.h"

#include <X11/XKBlib.h>
#include <X11/keysym.h>
#include <time.h>

#include "platform/x11/keyboard.h"

TEST(LayerKeys, KeysymsMapToVirtualKeys) {
    const struct {
        KeySym keysym;
        UINT virtualKey;
    } ROWS[] = {
        {XK_Left, VK_LEFT},
        {XK_Up, VK_UP},
        {XK_Right, VK_RIGHT},
        {XK_Down, VK_DOWN},
        {XK_a, 'A'},
        {XK_Z, 'Z'},
        {XK_0, '0'},
        {XK_9, '9'},
        {XK_F1, VK_F1},
        {XK_F10, VK_F10},
        {XK_F24, VK_F24},
        {XK_Return, VK_RETURN},
        {XK_KP_Enter, VK_RETURN},
        {XK_Escape, VK_ESCAPE},
        {XK_Tab, VK_TAB},
        {XK_ISO_Left_Tab, VK_TAB},
        {XK_space, VK_SPACE},
        {XK_BackSpace, VK_BACK},
        {XK_Shift_R, VK_SHIFT},
        {XK_Control_L, VK_CONTROL},
        {XK_Alt_L, VK_MENU},
        {XK_Alt_R, VK_MENU},
        {XK_KP_0, VK_NUMPAD0},
        {XK_KP_7, VK_NUMPAD0 + 7},
        {XK_KP_End, VK_END},
        {XK_KP_Add, VK_ADD},
        {XK_KP_Divide, VK_DIVIDE},
        {XK_KP_Decimal, VK_DECIMAL},
        {XK_semicolon, VK_OEM_1},
        {XK_colon, VK_OEM_1},
        {XK_equal, VK_OEM_PLUS},
        {XK_comma, VK_OEM_COMMA},
        {XK_minus, VK_OEM_MINUS},
        {XK_period, VK_OEM_PERIOD},
        {XK_slash, VK_OEM_2},
        {XK_grave, VK_OEM_3},
        {XK_bracketleft, VK_OEM_4},
        {XK_backslash, VK_OEM_5},
        {XK_braceright, VK_OEM_6},
        {XK_apostrophe, VK_OEM_7},
        {XK_Delete, VK_DELETE},
        {XK_Prior, VK_PRIOR},
        {XK_eacute, 0},
        {XK_Cyrillic_a, 0},
    };
    for (const auto& row : ROWS)
        EXPECT_EQ(KeysymToVirtualKey(row.keysym), row.virtualKey) << XKeysymToString(row.keysym);
}

static const DWORD EXTENDED = 1u << 24, ALT = 1u << 29, PREVIOUS = 1u << 30, RELEASED = 1u << 31;

struct KeyStep {
    bool press;
    KeySym keysym;
    bool hold = false; // long enough for the server to repeat the key once
};

struct ExpectedKey {
    UINT message;
    WPARAM wParam;
    DWORD flags;   // bits 24, 29, 30, 31
    KeySym keysym; // whose scan code lParam carries
};

TEST(LayerKeys, KeyEventsBecomeKeyAndCharacterMessages) {
    const KeySym L = XK_Left, A = XK_a, SH = XK_Shift_L, ALT_L = XK_Alt_L, F = XK_f,
                 CTL = XK_Control_L, C = XK_c;
    const struct {
        const char* what;
        std::vector<KeyStep> steps;
        std::vector<ExpectedKey> expected;
    } ROWS[] = {
        {"arrow pressed, held, released",
         {{true, L, true}, {false, L}},
         {{WM_KEYDOWN, VK_LEFT, EXTENDED, L},
          {WM_KEYDOWN, VK_LEFT, EXTENDED | PREVIOUS, L},
          {WM_KEYUP, VK_LEFT, EXTENDED | PREVIOUS | RELEASED, L}}},
        {"letter",
         {{true, A}, {false, A}},
         {{WM_KEYDOWN, 'A', 0, A}, {WM_CHAR, 'a', 0, A}, {WM_KEYUP, 'A', PREVIOUS | RELEASED, A}}},
        {"shifted letter",
         {{true, SH}, {true, A}, {false, A}, {false, SH}},
         {{WM_KEYDOWN, VK_SHIFT, 0, SH},
          {WM_KEYDOWN, 'A', 0, A},
          {WM_CHAR, 'A', 0, A},
          {WM_KEYUP, 'A', PREVIOUS | RELEASED, A},
          {WM_KEYUP, VK_SHIFT, PREVIOUS | RELEASED, SH}}},
        {"Alt with a letter",
         {{true, ALT_L}, {true, F}, {false, F}, {false, ALT_L}},
         {{WM_SYSKEYDOWN, VK_MENU, ALT, ALT_L},
          {WM_SYSKEYDOWN, 'F', ALT, F},
          {WM_SYSCHAR, 'f', ALT, F},
          {WM_SYSKEYUP, 'F', ALT | PREVIOUS | RELEASED, F},
          {WM_SYSKEYUP, VK_MENU, ALT | PREVIOUS | RELEASED, ALT_L}}},
        {"F10 is a system key",
         {{true, XK_F10}, {false, XK_F10}},
         {{WM_SYSKEYDOWN, VK_F10, 0, XK_F10}, {WM_SYSKEYUP, VK_F10, PREVIOUS | RELEASED, XK_F10}}},
        {"Control with a letter types a control character",
         {{true, CTL}, {true, C}, {false, C}, {false, CTL}},
         {{WM_KEYDOWN, VK_CONTROL, 0, CTL},
          {WM_KEYDOWN, 'C', 0, C},
          {WM_CHAR, 0x03, 0, C},
          {WM_KEYUP, 'C', PREVIOUS | RELEASED, C},
          {WM_KEYUP, VK_CONTROL, PREVIOUS | RELEASED, CTL}}},
    };

    OpenTestDisplay();
    // The server repeats a held key after 100 ms, then every 1000 ms.
    XkbSetAutoRepeatRate(xDisplay, XkbUseCoreKbd, 100, 1000);
    HWND window = ShowTestWindow(false);
    for (const auto& row : ROWS) {
        messageLog.clear();
        for (const KeyStep& step : row.steps) {
            step.press ? PressKey(step.keysym) : ReleaseKey(step.keysym);
            XSync(xDisplay, False);
            if (step.hold) {
                struct timespec pause = {0, 150 * 1000 * 1000};
                nanosleep(&pause, NULL);
            }
        }
        Pump();
        std::vector<LoggedMessage> keys;
        for (const LoggedMessage& logged : messageLog)
            if (logged.message >= WM_KEYDOWN && logged.message <= WM_SYSCHAR)
                keys.push_back(logged);
        ASSERT_EQ(keys.size(), row.expected.size()) << row.what;
        for (size_t i = 0; i < keys.size(); i++) {
            const ExpectedKey& expected = row.expected[i];
            DWORD lParam = (DWORD)keys[i].lParam;
            unsigned scanCode = XKeysymToKeycode(xDisplay, expected.keysym) - 8;
            EXPECT_EQ(keys[i].window, window);
            EXPECT_EQ(keys[i].message, expected.message) << row.what << " #" << i;
            EXPECT_EQ(keys[i].wParam, expected.wParam) << row.what << " #" << i;
            EXPECT_EQ(lParam & 0xFFFF, 1u) << row.what << " #" << i;
            EXPECT_EQ((lParam >> 16) & 0xFF, scanCode) << row.what << " #" << i;
            EXPECT_EQ(lParam & (EXTENDED | ALT | PREVIOUS | RELEASED), expected.flags)
                << row.what << " #" << i;
        }
    }
    DestroyWindow(window);
}
