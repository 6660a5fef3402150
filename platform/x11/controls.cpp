// The dialog controls: push buttons, group boxes and static texts, each a
// child window that draws itself in WM_PAINT with the platform's look.
#include <string.h>
#include <strings.h>

#include <algorithm>
#include <string>

#include "dialog.h"
#include "layer.h"

// The platform's dialog colours.
static const uint32_t FACE = 0xF0F0F0;
static const uint32_t TEXT_COLOR = 0x000000;
static const uint32_t GRAY_TEXT = 0x6D6D6D;
static const uint32_t ETCHED_SHADOW = 0xA0A0A0;
static const uint32_t ETCHED_LIGHT = 0xFFFFFF;
static const uint32_t BUTTON_FACE = 0xE1E1E1;
static const uint32_t BUTTON_BORDER = 0xADADAD;
static const uint32_t DEFAULT_BORDER = 0x0078D7;
static const uint32_t PUSHED_FACE = 0xCCE4F7;
static const uint32_t PUSHED_BORDER = 0x005499;
static const uint32_t DISABLED_FACE = 0xCCCCCC;
static const uint32_t DISABLED_BORDER = 0xBFBFBF;

// Where a group box's caption starts, from its left edge.
static const int GROUP_CAPTION_INDENT = 8;
// The gap left in the frame's top line on each side of the caption.
static const int GROUP_CAPTION_GAP = 2;
// The focus rectangle's distance from a button's edge.
static const int FOCUS_INSET = 3;

// Button style kinds in the low four bits.
static const DWORD BS_TYPEMASK = 0x0F;

// The button being pushed, by the mouse or by Space; one at a time.
struct PushedButton {
    HWND button;
    bool byMouse;
    bool inside; // shown pushed: the pointer is over it (always, for Space)
};

static PushedButton press;
static GC controlGc;

// Class names compare without case, as the platform compares them.
static bool IsButtonClass(HWND window) {
    return strcasecmp(window->windowClass->name.c_str(), "BUTTON") == 0;
}

bool IsPushButton(HWND window) {
    if (!IsWindow(window) || !IsButtonClass(window))
        return false;
    DWORD kind = window->style & BS_TYPEMASK;
    return kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON;
}

bool IsDefaultPushButton(HWND window) {
    return IsPushButton(window) && (window->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
}

bool IsGroupBox(HWND window) {
    return IsWindow(window) && IsButtonClass(window) &&
           (window->style & BS_TYPEMASK) == BS_GROUPBOX;
}

// ---- Drawing ------------------------------------------------------------------

// The one GC every control draws with, made on the first paint.
static GC ControlGc() {
    if (controlGc == NULL)
        controlGc = XCreateGC(xDisplay, RootWindow(xDisplay, xScreen), 0, NULL);
    return controlGc;
}

// A solid rectangle; nothing for an empty one, which X would draw as a line.
static void FillRect(Window window, uint32_t rgb, int x, int y, int width, int height) {
    if (width <= 0 || height <= 0)
        return;
    XSetForeground(xDisplay, ControlGc(), PixelOf(rgb));
    XFillRectangle(xDisplay, window, ControlGc(), x, y, (unsigned)width, (unsigned)height);
}

// An outline covering the pixels from (x, y) to (x + width - 1, y + height - 1).
static void FrameRect(Window window, uint32_t rgb, int x, int y, int width, int height) {
    if (width <= 0 || height <= 0)
        return;
    XSetForeground(xDisplay, ControlGc(), PixelOf(rgb));
    XDrawRectangle(xDisplay, window, ControlGc(), x, y, (unsigned)(width - 1),
                   (unsigned)(height - 1));
}

// The dotted rectangle that marks the control with the keyboard focus.
static void DrawFocusRect(Window window, int x, int y, int width, int height) {
    static const char DOTS[] = {1, 1};
    GC gc = ControlGc();
    XSetLineAttributes(xDisplay, gc, 0, LineOnOffDash, CapButt, JoinMiter);
    XSetDashes(xDisplay, gc, 0, DOTS, 2);
    FrameRect(window, TEXT_COLOR, x, y, width, height);
    XSetLineAttributes(xDisplay, gc, 0, LineSolid, CapButt, JoinMiter);
}

// A control's text as drawn: UTF-8 (window text is Latin-1), with the '&'
// prefixes taken out and the character after one underlined, as the platform
// shows a mnemonic; "&&" is a plain '&'.
struct Label {
    std::string text;
    int hot; // byte offset of the underlined character, or -1
};

static Label LabelOf(const std::string& latin1) {
    Label label;
    label.hot = -1;
    for (size_t i = 0; i < latin1.size(); i++) {
        unsigned char c = (unsigned char)latin1[i];
        if (c == '&' && i + 1 < latin1.size()) {
            c = (unsigned char)latin1[++i];
            if (c != '&')
                label.hot = (int)label.text.size();
        }
        if (c < 0x80) {
            label.text += (char)c;
        } else {
            label.text += (char)(0xC0 | c >> 6);
            label.text += (char)(0x80 | (c & 0x3F));
        }
    }
    return label;
}

// Bytes of the UTF-8 character at text[0].
static int CharLength(const char* text) {
    unsigned char c = (unsigned char)text[0];
    return c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
}

// Where a line starting at start ends: after the last word that fits. A
// first word wider than the line stays whole and the edge clips it, as the
// platform's word breaking leaves it.
static int LineEnd(const TextFont* font, const char* text, int start, int to, int width,
                   MeasureFunction measure) {
    int end = start;
    for (int i = start; i < to;) {
        while (i < to && text[i] == ' ')
            i++;
        while (i < to && text[i] != ' ')
            i++;
        if (end > start && measure(font, text + start, i - start) > width)
            break;
        end = i;
    }
    return end;
}

// The lines of one paragraph [from, to); the spaces where it wraps are dropped.
static void WrapParagraph(const TextFont* font, const char* text, int from, int to, int width,
                          MeasureFunction measure, std::vector<TextLine>& lines) {
    int start = from;
    do {
        int end = LineEnd(font, text, start, to, width, measure);
        lines.push_back({start, end - start});
        start = end;
        while (start < to && text[start] == ' ')
            start++;
    } while (start < to);
}

std::vector<TextLine> WrapText(const TextFont* font, const char* text, int width,
                               MeasureFunction measure) {
    std::vector<TextLine> lines;
    int length = (int)strlen(text);
    for (int paragraph = 0; paragraph < length;) {
        int end = paragraph;
        while (end < length && text[end] != '\n')
            end++;
        int next = end + 1;
        if (end > paragraph && text[end - 1] == '\r')
            end--;
        WrapParagraph(font, text, paragraph, end, width, measure, lines);
        paragraph = next;
    }
    return lines;
}

// Draws bytes [start, start + length) of a label, baseline at y, underlining
// its mnemonic when it falls in that run.
static void DrawLabelRun(Window window, const TextFont* font, const Label& label, int start,
                         int length, int x, int y, uint32_t rgb) {
    const char* text = label.text.data();
    DrawText(window, font, x, y, text + start, length, rgb);
    if (label.hot < start || label.hot >= start + length)
        return;
    int left = MeasureText(font, text + start, label.hot - start);
    int width = MeasureText(font, text + label.hot, CharLength(text + label.hot));
    FillRect(window, rgb, x + left, y + 1, width, 1);
}

// The face and border of a push button in its state.
static void PaintPushButton(HWND button, const TextFont* font) {
    Window window = button->xWindow;
    int width = button->width, height = button->height;
    HWND focus = GetFocus();
    bool focused = focus == button;
    // The ring marks what Enter would press: the focused push button, else the default one.
    bool ring = focused || (IsDefaultPushButton(button) &&
                            !(IsPushButton(focus) && focus->parent == button->parent));
    bool pushed = press.button == button && press.inside;

    uint32_t border = BUTTON_BORDER, face = BUTTON_FACE, text = TEXT_COLOR;
    if (!button->enabled) {
        border = DISABLED_BORDER;
        face = DISABLED_FACE;
        text = GRAY_TEXT;
    } else if (pushed) {
        border = PUSHED_BORDER;
        face = PUSHED_FACE;
    } else if (ring) {
        border = DEFAULT_BORDER;
    }
    int thickness = ring && button->enabled ? 2 : 1;
    FillRect(window, border, 0, 0, width, height);
    FillRect(window, face, thickness, thickness, width - 2 * thickness, height - 2 * thickness);

    Label label = LabelOf(button->text);
    int textWidth = MeasureText(font, label.text.data(), (int)label.text.size());
    int baseline = (height - font->height) / 2 + font->ascent;
    DrawLabelRun(window, font, label, 0, (int)label.text.size(), (width - textWidth) / 2, baseline,
                 text);
    if (focused)
        DrawFocusRect(window, FOCUS_INSET, FOCUS_INSET, width - 2 * FOCUS_INSET,
                      height - 2 * FOCUS_INSET);
}

// An etched frame whose top line runs through the middle of the caption.
static void PaintGroupBox(HWND group, const TextFont* font) {
    Window window = group->xWindow;
    int width = group->width, height = group->height;
    FillRect(window, FACE, 0, 0, width, height);
    int top = font->height / 2;
    FrameRect(window, ETCHED_LIGHT, 1, top + 1, width - 1, height - top - 1);
    FrameRect(window, ETCHED_SHADOW, 0, top, width - 1, height - top - 1);

    Label label = LabelOf(group->text);
    if (label.text.empty())
        return;
    int textWidth = MeasureText(font, label.text.data(), (int)label.text.size());
    FillRect(window, FACE, GROUP_CAPTION_INDENT - GROUP_CAPTION_GAP, 0,
             textWidth + 2 * GROUP_CAPTION_GAP, font->height);
    DrawLabelRun(window, font, label, 0, (int)label.text.size(), GROUP_CAPTION_INDENT, font->ascent,
                 group->enabled ? TEXT_COLOR : GRAY_TEXT);
}

// Left-aligned text wrapped at words, lines going down until the control's
// bottom cuts them off.
static void PaintStatic(HWND control, const TextFont* font) {
    Window window = control->xWindow;
    FillRect(window, FACE, 0, 0, control->width, control->height);
    Label label = LabelOf(control->text);
    uint32_t rgb = control->enabled ? TEXT_COLOR : GRAY_TEXT;
    int top = 0;
    for (const TextLine& line : WrapText(font, label.text.c_str(), control->width)) {
        if (top >= control->height)
            break;
        DrawLabelRun(window, font, label, line.start, line.length, 0, top + font->ascent, rgb);
        top += font->height;
    }
}

void PaintDialogFace(HWND dialog) {
    FillRect(dialog->xWindow, FACE, 0, 0, dialog->width, dialog->height);
}

// ---- Input --------------------------------------------------------------------

// A control's look changed: it paints anew when the queue is idle.
static void Redraw(HWND window) {
    InvalidateRect(window, NULL, FALSE);
}

// A push button that gains or loses the focus moves the default ring: every
// push button beside it is drawn again.
static void RedrawPushButtonsBeside(HWND button) {
    if (button->parent == NULL)
        return;
    for (HWND sibling : button->parent->children)
        if (IsPushButton(sibling))
            Redraw(sibling);
}

// The pushed button pops up, clicked or not.
static void EndPress() {
    if (press.button != NULL)
        Redraw(press.button);
    press = PushedButton();
}

// Tells the parent the button was clicked, as the platform does.
static void NotifyClicked(HWND button) {
    if (IsWindow(button->parent))
        SendMessageA(button->parent, WM_COMMAND, MAKEWPARAM(button->id, BN_CLICKED),
                     (LPARAM)button);
}

// The pointer, in client coordinates, lies over the button.
static bool PointerInside(HWND button, LPARAM where) {
    int x = (short)LOWORD(where), y = (short)HIWORD(where);
    return x >= 0 && y >= 0 && x < button->width && y < button->height;
}

// A click is a press and a release both over the button; Space pushes it too.
static LRESULT PushButtonInput(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONDOWN:
        SetFocus(button);
        EndPress();
        press = {button, true, true};
        Redraw(button);
        return 0;
    case WM_MOUSEMOVE:
        if (press.button == button && press.byMouse &&
            press.inside != PointerInside(button, lParam)) {
            press.inside = !press.inside;
            Redraw(button);
        }
        return 0;
    case WM_LBUTTONUP:
        if (press.button == button && press.byMouse) {
            bool clicked = PointerInside(button, lParam);
            EndPress();
            if (clicked)
                NotifyClicked(button);
        }
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_SPACE && press.button == NULL) {
            press = {button, false, true};
            Redraw(button);
        }
        return 0;
    case WM_KEYUP:
        if (wParam == VK_SPACE && press.button == button && !press.byMouse) {
            EndPress();
            NotifyClicked(button);
        }
        return 0;
    }
    return DefWindowProcA(button, message, wParam, lParam);
}

// Push buttons and group boxes share the platform's "BUTTON" class.
static LRESULT CALLBACK ButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        if (IsGroupBox(button))
            PaintGroupBox(button, DialogFontOf(button));
        else
            PaintPushButton(button, DialogFontOf(button));
        ValidateRect(button, NULL);
        return 0;
    case WM_SETTEXT: {
        LRESULT result = DefWindowProcA(button, message, wParam, lParam);
        Redraw(button);
        return result;
    }
    case WM_ENABLE:
        Redraw(button);
        return 0;
    case WM_SETFOCUS:
        RedrawPushButtonsBeside(button);
        return 0;
    case WM_KILLFOCUS:
        if (press.button == button)
            EndPress();
        RedrawPushButtonsBeside(button);
        return 0;
    case WM_NCDESTROY:
        if (press.button == button)
            press = PushedButton();
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_MOUSEMOVE:
    case WM_KEYDOWN:
    case WM_KEYUP:
        if (IsPushButton(button))
            return PushButtonInput(button, message, wParam, lParam);
        return 0;
    }
    return DefWindowProcA(button, message, wParam, lParam);
}

// Static text takes no input; it only shows its text.
static LRESULT CALLBACK StaticProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        PaintStatic(control, DialogFontOf(control));
        ValidateRect(control, NULL);
        return 0;
    case WM_SETTEXT: {
        LRESULT result = DefWindowProcA(control, message, wParam, lParam);
        Redraw(control);
        return result;
    }
    case WM_ENABLE:
        Redraw(control);
        return 0;
    }
    return DefWindowProcA(control, message, wParam, lParam);
}

void RegisterControlClasses() {
    static bool registered;
    if (registered || xDisplay == NULL)
        return;
    registered = true;
    WNDCLASSA wc = {};
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.lpfnWndProc = ButtonProc;
    wc.lpszClassName = "BUTTON";
    RegisterClassA(&wc);
    wc.lpfnWndProc = StaticProc;
    wc.lpszClassName = "STATIC";
    RegisterClassA(&wc);
}
