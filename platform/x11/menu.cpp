// The menu bar and its drop-downs. Everything here is a state machine driven
// by the X events the window layer offers (MenuHandleEvent): opening a menu
// never runs a loop of its own, so the program keeps painting underneath.
#include "menu.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/keysym.h>
#include <ctype.h>
#include <math.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "connection.h"
#include "resources.h"
#include "text.h"

// Layout, in pixels at 96 dpi.
//
// The bar: BAR_HEIGHT high, the platform's menu-bar metric, whatever the face
// (a 14 px high 9 pt face sits 3 px from either edge); each item is its text
// plus BAR_ITEM_PAD on either side, from the left edge. Hot-key letters are
// always underlined.
//
// A drop-down opens with its top-left corner at the bar item's bottom-left
// (the end-to-end tests read check marks from this geometry):
//   - a 1 px border, then 2 px of padding: the first row starts at x = y = 3
//     (DROP_INSET) and rows span the width less 3 px on each side;
//   - every item row is ROW_HEIGHT = 22 px high, separators SEPARATOR_HEIGHT
//     = 7 px, so without separators row i starts at y = 3 + 22 * i;
//   - the check column is the first CHECK_WIDTH = 20 px of a row (x = 3 to
//     22); a checked item's mark, about 10 x 8 px, is centred in it, drawn in
//     the row's text colour: black on the plain rows, white on the selected
//     (highlighted) row;
//   - the text starts at TEXT_X = 3 + 20 + 5 = 28.
static const int BAR_HEIGHT = 20;
static const int BAR_ITEM_PAD = 7;
static const int DROP_INSET = 3;
static const int ROW_HEIGHT = 22;
static const int SEPARATOR_HEIGHT = 7;
static const int CHECK_WIDTH = 20;
static const int TEXT_GAP = 5;
static const int TEXT_X = DROP_INSET + CHECK_WIDTH + TEXT_GAP;
static const int ACCEL_GAP = 24;   // between an item's text and its accelerator
static const int ARROW_SPACE = 20; // right of the text: a pop-up's arrow, or air

static const uint32_t BAR_FACE = 0xF0F0F0;
static const uint32_t DROP_FACE = 0xF9F9F9;
static const uint32_t DROP_BORDER = 0x999999;
static const uint32_t SEPARATOR_LINE = 0xD7D7D7;
static const uint32_t TEXT_COLOR = 0x000000;
static const uint32_t GRAY_TEXT = 0x6D6D6D;
static const uint32_t HIGHLIGHT = 0x0078D7;
static const uint32_t HIGHLIGHT_TEXT = 0xFFFFFF;

// The interface font of menus: fontconfig picks the closest installed face.
static const char MENU_FONT_FAMILY[] = "Segoe UI";
static const int MENU_FONT_POINTS = 9;

struct MenuItem {
    UINT flags;        // MF_CHECKED, MF_GRAYED, MF_DISABLED, MF_SEPARATOR, MF_POPUP
    UINT id;           // command id; 0 for pop-ups and separators
    std::string text;  // as shown: '&' markers removed, "&&" made '&'
    std::string accel; // shown right-aligned: what followed a '\t'
    int hotIndex;      // byte offset of the hot-key letter in text, or -1
    char hotKey;       // lower case; 0 for none
    HMENU popup;
    int barX; // on a bar: left edge and width of the item
    int barWidth;
};

struct MenuRec {
    std::vector<MenuItem> items;
    // Set while the menu is a window's bar.
    HWND owner;
    Window bar;
    int barWidth;
    int barHeight;
    bool laidOut; // the items' places on the bar are known
};

// One open drop-down; level 0 hangs under the bar, deeper ones beside it.
struct DropDown {
    HMENU menu;
    Window window;
    int x, y, width, height; // on the screen
    int selected;            // item index, -1 for none
};

// The one menu being tracked; tracked.bar is NULL when none is.
static struct {
    HMENU bar;
    int hot; // the highlighted bar item, -1 for none
    std::vector<DropDown> open;
    int barX, barY; // the bar's screen origin while tracking
} tracked = {NULL, -1, {}, 0, 0};

static std::vector<HMENU> bars;
// Keys pressed while tracking: their releases belong to the menu too, so that
// an Alt that closed the menu does not open it again on its way up.
static bool heldKeys[256];
static GC menuGc;
static Atom windowTypeAtom, dropDownTypeAtom;

// ---- The tree ---------------------------------------------------------------

static HMENU NewMenu() {
    HMENU menu = new MenuRec;
    menu->owner = NULL;
    menu->bar = 0;
    menu->barWidth = 0;
    menu->barHeight = 0;
    menu->laidOut = false;
    return menu;
}

// Splits a template text into what is shown, its hot key and accelerator.
static void ParseItemText(const char* source, MenuItem& item) {
    item.hotIndex = -1;
    item.hotKey = 0;
    const char* tab = source ? strchr(source, '\t') : NULL;
    size_t length = source ? (tab ? (size_t)(tab - source) : strlen(source)) : 0;
    if (tab)
        item.accel = tab + 1;
    for (size_t i = 0; i < length; i++) {
        char c = source[i];
        if (c == '&' && i + 1 < length) {
            c = source[++i];
            if (c != '&' && item.hotIndex < 0) {
                item.hotIndex = (int)item.text.size();
                item.hotKey = (char)tolower((unsigned char)c);
            }
        }
        item.text += c;
    }
}

// Reads one level of the depth-first template: MF_END marks its last item,
// and a pop-up's own level follows the pop-up item at once.
static void ReadLevel(HMENU menu, const MenuItemTemplate* items, int count, int& next) {
    while (next < count) {
        const MenuItemTemplate& source = items[next++];
        MenuItem item;
        item.flags = source.flags & ~(UINT)MF_END;
        item.id = source.id;
        item.popup = NULL;
        item.barX = item.barWidth = 0;
        ParseItemText(source.text, item);
        if (source.flags & MF_POPUP) {
            item.popup = NewMenu();
            item.id = 0;
            ReadLevel(item.popup, items, count, next);
        }
        menu->items.push_back(item);
        if (source.flags & MF_END)
            return;
    }
}

HMENU LoadMenuResource(HINSTANCE instance, LPCSTR name) {
    const ResourceEntry* entry = FindResource(instance, name, RT_MENU_ID);
    if (entry == NULL)
        return NULL;
    HMENU menu = NewMenu();
    int next = 0;
    ReadLevel(menu, (const MenuItemTemplate*)entry->data, entry->count, next);
    return menu;
}

// The item a check or state call means, searching nested pop-ups by command.
static MenuItem* FindItem(HMENU menu, UINT item, UINT flags) {
    if (menu == NULL)
        return NULL;
    if (flags & MF_BYPOSITION)
        return item < menu->items.size() ? &menu->items[item] : NULL;
    for (MenuItem& candidate : menu->items) {
        if (candidate.popup) {
            if (MenuItem* found = FindItem(candidate.popup, item, flags))
                return found;
        } else if (candidate.id == item) {
            return &candidate;
        }
    }
    return NULL;
}

static void DrawDropDown(const DropDown& drop);

DWORD CheckMenuItem(HMENU menu, UINT item, UINT check) {
    MenuItem* found = FindItem(menu, item, check);
    if (found == NULL)
        return (DWORD)-1;
    DWORD previous = found->flags & MF_CHECKED;
    if (check & MF_CHECKED)
        found->flags |= MF_CHECKED;
    else
        found->flags &= ~(UINT)MF_CHECKED;
    // An open drop-down shows the change at once, as it would on the platform.
    for (const DropDown& drop : tracked.open)
        DrawDropDown(drop);
    return previous;
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
    MenuItem* found = FindItem(menu, item, flags);
    if (found == NULL)
        return (UINT)-1;
    if (found->popup)
        return ((UINT)found->popup->items.size() << 8) | (found->flags & 0xFF) | MF_POPUP;
    return found->flags;
}

// ---- Drawing ----------------------------------------------------------------

static void SetColor(uint32_t rgb) {
    XSetForeground(xDisplay, menuGc, PixelOf(rgb));
}

static void FillRect(Window window, uint32_t rgb, int x, int y, int width, int height) {
    SetColor(rgb);
    XFillRectangle(xDisplay, window, menuGc, x, y, (unsigned)width, (unsigned)height);
}

static const TextFont* MenuFont() {
    return OpenFont(MENU_FONT_FAMILY, MENU_FONT_POINTS);
}

// An item's text with its hot key underlined, baseline at y.
static void DrawLabel(Window window, const MenuItem& item, int x, int y, uint32_t rgb) {
    const TextFont* font = MenuFont();
    DrawText(window, font, x, y, item.text.data(), (int)item.text.size(), rgb);
    if (item.hotIndex < 0)
        return;
    int left = MeasureText(font, item.text.data(), item.hotIndex);
    int width = MeasureText(font, item.text.data() + item.hotIndex, 1);
    FillRect(window, rgb, x + left, y + 2, width, 1);
}

static uint32_t Blend(uint32_t from, uint32_t to, int level, int levels) {
    uint32_t result = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        int a = (int)((from >> shift) & 0xFF), b = (int)((to >> shift) & 0xFF);
        result |= (uint32_t)(a + (b - a) * level / levels) << shift;
    }
    return result;
}

// Distance from a point to a segment, for the check mark's coverage.
static double SegmentDistance(double px, double py, double ax, double ay, double bx, double by) {
    double dx = bx - ax, dy = by - ay;
    double t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy);
    t = std::max(0.0, std::min(1.0, t));
    double ex = ax + t * dx - px, ey = ay + t * dy - py;
    return sqrt(ex * ex + ey * ey);
}

// A check mark centred in the cell, antialiased by 4 x 4 supersampling: the
// core protocol draws no smooth lines, and a jagged mark looks broken.
static void DrawCheckMark(Window window, int cellX, int cellY, int cellWidth, int cellHeight,
                          uint32_t ink, uint32_t paper) {
    const double STROKE = 1.7;
    double cx = cellX + cellWidth / 2.0, cy = cellY + cellHeight / 2.0;
    const double points[3][2] = {{cx - 4.5, cy + 0.5}, {cx - 1.5, cy + 3.5}, {cx + 4.5, cy - 3.5}};
    for (int y = (int)cy - 6; y <= (int)cy + 6; y++) {
        for (int x = (int)cx - 7; x <= (int)cx + 7; x++) {
            int covered = 0;
            for (int sy = 0; sy < 4; sy++) {
                for (int sx = 0; sx < 4; sx++) {
                    double px = x + (sx + 0.5) / 4, py = y + (sy + 0.5) / 4;
                    double d = std::min(SegmentDistance(px, py, points[0][0], points[0][1],
                                                        points[1][0], points[1][1]),
                                        SegmentDistance(px, py, points[1][0], points[1][1],
                                                        points[2][0], points[2][1]));
                    covered += d <= STROKE / 2;
                }
            }
            if (covered == 0)
                continue;
            SetColor(Blend(paper, ink, covered, 16));
            XDrawPoint(xDisplay, window, menuGc, x, y);
        }
    }
}

// The small right-pointing triangle of an item that opens a nested pop-up.
static void DrawArrow(Window window, int x, int y, uint32_t rgb) {
    XPoint points[3] = {
        {(short)x, (short)(y - 4)}, {(short)(x + 4), (short)y}, {(short)x, (short)(y + 4)}};
    SetColor(rgb);
    XFillPolygon(xDisplay, window, menuGc, points, 3, Convex, CoordModeOrigin);
}

static bool IsDisabled(const MenuItem& item) {
    return (item.flags & (MF_GRAYED | MF_DISABLED)) != 0;
}

static int RowHeight(const MenuItem& item) {
    return (item.flags & MF_SEPARATOR) ? SEPARATOR_HEIGHT : ROW_HEIGHT;
}

// The baseline that centres the menu font in a band of the given height.
static int Baseline(int top, int height) {
    const TextFont* font = MenuFont();
    return top + (height - font->height) / 2 + font->ascent;
}

// Lays the items out left to right from their text widths, on the bar's first
// paint or use: the font is not opened before the window's first frame.
static void LayOutBar(HMENU menu) {
    if (menu->laidOut)
        return;
    menu->laidOut = true;
    const TextFont* font = MenuFont();
    int x = 0;
    for (MenuItem& item : menu->items) {
        item.barX = x;
        item.barWidth =
            MeasureText(font, item.text.data(), (int)item.text.size()) + 2 * BAR_ITEM_PAD;
        x += item.barWidth;
    }
}

static void DrawBar(HMENU menu) {
    if (menu == NULL || menu->bar == 0)
        return;
    LayOutBar(menu);
    Window bar = menu->bar;
    FillRect(bar, BAR_FACE, 0, 0, menu->barWidth, menu->barHeight);
    int baseline = Baseline(0, menu->barHeight);
    for (size_t i = 0; i < menu->items.size(); i++) {
        const MenuItem& item = menu->items[i];
        uint32_t ink = (item.flags & MF_GRAYED) ? GRAY_TEXT : TEXT_COLOR;
        if (tracked.bar == menu && tracked.hot == (int)i) {
            FillRect(bar, HIGHLIGHT, item.barX, 0, item.barWidth, menu->barHeight);
            ink = HIGHLIGHT_TEXT;
        }
        DrawLabel(bar, item, item.barX + BAR_ITEM_PAD, baseline, ink);
    }
}

static void DrawDropDown(const DropDown& drop) {
    Window window = drop.window;
    FillRect(window, DROP_FACE, 0, 0, drop.width, drop.height);
    SetColor(DROP_BORDER);
    XDrawRectangle(xDisplay, window, menuGc, 0, 0, (unsigned)drop.width - 1,
                   (unsigned)drop.height - 1);
    const TextFont* font = MenuFont();
    int rowWidth = drop.width - 2 * DROP_INSET;
    int top = DROP_INSET;
    for (size_t i = 0; i < drop.menu->items.size(); i++) {
        const MenuItem& item = drop.menu->items[i];
        int height = RowHeight(item);
        if (item.flags & MF_SEPARATOR) {
            FillRect(window, SEPARATOR_LINE, TEXT_X, top + height / 2, rowWidth - TEXT_X, 1);
            top += height;
            continue;
        }
        uint32_t paper = DROP_FACE;
        uint32_t ink = (item.flags & MF_GRAYED) ? GRAY_TEXT : TEXT_COLOR;
        if (drop.selected == (int)i) {
            paper = HIGHLIGHT;
            ink = HIGHLIGHT_TEXT;
            FillRect(window, paper, DROP_INSET, top, rowWidth, height);
        }
        if (item.flags & MF_CHECKED)
            DrawCheckMark(window, DROP_INSET, top, CHECK_WIDTH, height, ink, paper);
        int baseline = Baseline(top, height);
        DrawLabel(window, item, TEXT_X, baseline, ink);
        int right = drop.width - DROP_INSET - ARROW_SPACE;
        if (!item.accel.empty()) {
            int width = MeasureText(font, item.accel.data(), (int)item.accel.size());
            DrawText(window, font, right - width, baseline, item.accel.data(),
                     (int)item.accel.size(), ink);
        }
        if (item.popup)
            DrawArrow(window, right + ARROW_SPACE / 2 - 2, top + height / 2, ink);
        top += height;
    }
}

// ---- Drop-downs -------------------------------------------------------------

static void MeasureDropDown(HMENU menu, int& width, int& height) {
    const TextFont* font = MenuFont();
    int widest = 0;
    height = 2 * DROP_INSET;
    for (const MenuItem& item : menu->items) {
        height += RowHeight(item);
        int text = MeasureText(font, item.text.data(), (int)item.text.size());
        if (!item.accel.empty())
            text += ACCEL_GAP + MeasureText(font, item.accel.data(), (int)item.accel.size());
        widest = std::max(widest, text);
    }
    width = TEXT_X + widest + ARROW_SPACE + DROP_INSET;
}

// Top of an item's row inside its drop-down.
static int RowTop(HMENU menu, int index) {
    int top = DROP_INSET;
    for (int i = 0; i < index; i++)
        top += RowHeight(menu->items[i]);
    return top;
}

// The drop-downs' window type, asked for with the first drop-down rather
// than at start-up, where each round trip delays the first frame.
static void InternWindowTypeAtoms() {
    if (windowTypeAtom != None)
        return;
    static const char* NAMES[] = {"_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DROPDOWN_MENU"};
    Atom found[2];
    XInternAtoms(xDisplay, (char**)NAMES, 2, False, found);
    windowTypeAtom = found[0];
    dropDownTypeAtom = found[1];
}

// Opens a drop-down at a screen point, kept on the screen: a drop-down that
// would leave it moves left (or, below the bar, above the bar).
static void ShowDropDown(HMENU menu, const std::string& title, int x, int y, int flipLeftX,
                         int flipUpY) {
    DropDown drop;
    drop.menu = menu;
    drop.selected = -1;
    MeasureDropDown(menu, drop.width, drop.height);
    int screenWidth = DisplayWidth(xDisplay, xScreen);
    int screenHeight = DisplayHeight(xDisplay, xScreen);
    if (x + drop.width > screenWidth)
        x = flipLeftX >= 0 ? flipLeftX - drop.width : screenWidth - drop.width;
    if (y + drop.height > screenHeight)
        y = flipUpY >= 0 ? flipUpY - drop.height : screenHeight - drop.height;
    drop.x = std::max(0, x);
    drop.y = std::max(0, y);

    XSetWindowAttributes attributes;
    attributes.override_redirect = True;
    attributes.save_under = True;
    attributes.background_pixel = PixelOf(DROP_FACE);
    attributes.border_pixel = 0;
    attributes.colormap = DefaultColormap(xDisplay, xScreen);
    // Pointer events come through the grab; selected too in case it failed.
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
    drop.window = XCreateWindow(
        xDisplay, RootWindow(xDisplay, xScreen), drop.x, drop.y, (unsigned)drop.width,
        (unsigned)drop.height, 0, DefaultDepth(xDisplay, xScreen), InputOutput,
        DefaultVisual(xDisplay, xScreen),
        CWOverrideRedirect | CWSaveUnder | CWBackPixel | CWBorderPixel | CWColormap | CWEventMask,
        &attributes);
    XStoreName(xDisplay, drop.window, title.c_str());
    InternWindowTypeAtoms();
    XChangeProperty(xDisplay, drop.window, windowTypeAtom, XA_ATOM, 32, PropModeReplace,
                    (unsigned char*)&dropDownTypeAtom, 1);
    XMapRaised(xDisplay, drop.window);
    tracked.open.push_back(drop);
}

static void CloseDeepest() {
    if (tracked.open.empty())
        return;
    ForgetDrawable(tracked.open.back().window);
    XDestroyWindow(xDisplay, tracked.open.back().window);
    tracked.open.pop_back();
}

static void CloseLevelsBelow(size_t keep) {
    while (tracked.open.size() > keep)
        CloseDeepest();
}

// The first enabled, non-separator item from start going by step, wrapping.
static int NextSelectable(HMENU menu, int start, int step) {
    int count = (int)menu->items.size();
    for (int n = 1; n <= count; n++) {
        int i = ((start + step * n) % count + count) % count;
        const MenuItem& item = menu->items[i];
        if (!(item.flags & MF_SEPARATOR) && !IsDisabled(item))
            return i;
    }
    return -1;
}

static void Select(DropDown& drop, int index) {
    if (drop.selected == index)
        return;
    drop.selected = index;
    DrawDropDown(drop);
}

// Opens the drop-down of a bar item (closing any other); an item without
// one is only highlighted. The keyboard selects the first item, the mouse none.
static void OpenBarItem(int index, bool selectFirst) {
    CloseLevelsBelow(0);
    tracked.hot = index;
    DrawBar(tracked.bar);
    const MenuItem& item = tracked.bar->items[index];
    if (item.popup == NULL || IsDisabled(item) || item.popup->items.empty())
        return;
    ShowDropDown(item.popup, item.text, tracked.barX + item.barX,
                 tracked.barY + tracked.bar->barHeight, tracked.barX + item.barX + item.barWidth,
                 tracked.barY);
    if (selectFirst)
        tracked.open.back().selected = NextSelectable(item.popup, -1, 1);
}

// Opens the nested pop-up of the deepest drop-down's selected item.
static void OpenSubmenu(bool selectFirst) {
    const DropDown& parent = tracked.open.back();
    const MenuItem& item = parent.menu->items[parent.selected];
    if (item.popup == NULL || IsDisabled(item) || item.popup->items.empty())
        return;
    ShowDropDown(item.popup, item.text, parent.x + parent.width - DROP_INSET,
                 parent.y + RowTop(parent.menu, parent.selected) - DROP_INSET,
                 parent.x + DROP_INSET, -1);
    if (selectFirst)
        tracked.open.back().selected = NextSelectable(item.popup, -1, 1);
}

// ---- Tracking -----------------------------------------------------------------

static void BeginTracking(HMENU bar) {
    LayOutBar(bar);
    tracked.bar = bar;
    tracked.hot = -1;
    Window child;
    XTranslateCoordinates(xDisplay, bar->bar, RootWindow(xDisplay, xScreen), 0, 0, &tracked.barX,
                          &tracked.barY, &child);
    // All input goes to the menu until it closes, wherever the pointer is.
    XGrabPointer(xDisplay, bar->bar, False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                 GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
    XGrabKeyboard(xDisplay, bar->bar, False, GrabModeAsync, GrabModeAsync, CurrentTime);
}

static void EndTracking() {
    if (tracked.bar == NULL)
        return;
    CloseLevelsBelow(0);
    XUngrabPointer(xDisplay, CurrentTime);
    XUngrabKeyboard(xDisplay, CurrentTime);
    HMENU bar = tracked.bar;
    tracked.bar = NULL;
    tracked.hot = -1;
    DrawBar(bar);
}

// The command is posted once the menu has closed, as the platform does.
static void Choose(const MenuItem& item) {
    HWND owner = tracked.bar->owner;
    UINT id = item.id;
    EndTracking();
    PostMessageA(owner, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

// Acts on an item picked by key or click: a pop-up opens, a command is chosen.
static void Activate(int level, int index) {
    DropDown& drop = tracked.open[(size_t)level];
    const MenuItem& item = drop.menu->items[(size_t)index];
    if ((item.flags & MF_SEPARATOR) || IsDisabled(item))
        return;
    CloseLevelsBelow((size_t)level + 1);
    Select(drop, index);
    if (item.popup)
        OpenSubmenu(true);
    else
        Choose(item);
}

// Moves the bar highlight, carrying an open drop-down along.
static void MoveOnBar(int step) {
    int count = (int)tracked.bar->items.size();
    int next = ((tracked.hot + step) % count + count) % count;
    if (tracked.open.empty()) {
        tracked.hot = next;
        DrawBar(tracked.bar);
    } else {
        OpenBarItem(next, true);
    }
}

// A hot-key letter: one match acts, several take turns being selected.
static void OnMnemonic(char key) {
    HMENU menu = tracked.open.empty() ? tracked.bar : tracked.open.back().menu;
    int current = tracked.open.empty() ? tracked.hot : tracked.open.back().selected;
    std::vector<int> matches;
    for (size_t i = 0; i < menu->items.size(); i++)
        if (menu->items[i].hotKey == key && !(menu->items[i].flags & MF_SEPARATOR))
            matches.push_back((int)i);
    if (matches.empty())
        return;
    if (matches.size() > 1) {
        auto after = std::upper_bound(matches.begin(), matches.end(), current);
        int next = after == matches.end() ? matches.front() : *after;
        if (tracked.open.empty()) {
            tracked.hot = next;
            DrawBar(tracked.bar);
        } else {
            Select(tracked.open.back(), next);
        }
        return;
    }
    if (!tracked.open.empty()) {
        Activate((int)tracked.open.size() - 1, matches[0]);
        return;
    }
    const MenuItem& item = menu->items[(size_t)matches[0]];
    if (IsDisabled(item))
        return;
    if (item.popup)
        OpenBarItem(matches[0], true);
    else
        Choose(item);
}

static void OnKey(const XKeyEvent& event) {
    // The unshifted symbol: hot keys match in either case.
    KeySym key = XkbKeycodeToKeysym(xDisplay, (KeyCode)event.keycode, 0, 0);
    DropDown* drop = tracked.open.empty() ? NULL : &tracked.open.back();
    switch (key) {
    case XK_Alt_L:
    case XK_Alt_R:
    case XK_Meta_L:
    case XK_Meta_R:
    case XK_F10:
        EndTracking();
        return;
    case XK_Escape:
        if (drop == NULL)
            EndTracking();
        else
            CloseDeepest();
        return;
    case XK_Left:
    case XK_KP_Left:
        if (tracked.open.size() > 1)
            CloseDeepest();
        else
            MoveOnBar(-1);
        return;
    case XK_Right:
    case XK_KP_Right:
        if (drop && drop->selected >= 0 && drop->menu->items[drop->selected].popup &&
            !IsDisabled(drop->menu->items[drop->selected]))
            OpenSubmenu(true);
        else
            MoveOnBar(1);
        return;
    case XK_Up:
    case XK_KP_Up:
    case XK_Down:
    case XK_KP_Down: {
        int step = (key == XK_Up || key == XK_KP_Up) ? -1 : 1;
        if (drop) {
            int from = drop->selected >= 0 ? drop->selected : (step > 0 ? -1 : 0);
            int next = NextSelectable(drop->menu, from, step);
            if (next >= 0)
                Select(*drop, next);
        } else if (tracked.hot >= 0) {
            OpenBarItem(tracked.hot, true);
        }
        return;
    }
    case XK_Return:
    case XK_KP_Enter:
        if (drop && drop->selected >= 0)
            Activate((int)tracked.open.size() - 1, drop->selected);
        else if (drop == NULL && tracked.hot >= 0) {
            const MenuItem& item = tracked.bar->items[(size_t)tracked.hot];
            if (item.popup)
                OpenBarItem(tracked.hot, true);
            else if (!IsDisabled(item))
                Choose(item);
        }
        return;
    }
    if (key < 0x80 && isalnum((int)key))
        OnMnemonic((char)tolower((int)key));
}

// Where a screen point lies: in a drop-down's row, on a bar item, or neither.
struct Hit {
    int level; // drop-down level, or -1
    int row;   // item in that drop-down, -1 on its border
    int barItem;
    bool onBar;
};

static Hit HitTest(int x, int y) {
    Hit hit = {-1, -1, -1, false};
    for (int level = (int)tracked.open.size() - 1; level >= 0; level--) {
        const DropDown& drop = tracked.open[(size_t)level];
        if (x < drop.x || x >= drop.x + drop.width || y < drop.y || y >= drop.y + drop.height)
            continue;
        hit.level = level;
        int top = drop.y + DROP_INSET;
        for (size_t i = 0; i < drop.menu->items.size(); i++) {
            int height = RowHeight(drop.menu->items[i]);
            if (y >= top && y < top + height && x >= drop.x + DROP_INSET &&
                x < drop.x + drop.width - DROP_INSET)
                hit.row = (int)i;
            top += height;
        }
        return hit;
    }
    HMENU bar = tracked.bar;
    if (x >= tracked.barX && x < tracked.barX + bar->barWidth && y >= tracked.barY &&
        y < tracked.barY + bar->barHeight) {
        hit.onBar = true;
        for (size_t i = 0; i < bar->items.size(); i++)
            if (x >= tracked.barX + bar->items[i].barX &&
                x < tracked.barX + bar->items[i].barX + bar->items[i].barWidth)
                hit.barItem = (int)i;
    }
    return hit;
}

// Hovering a row selects it (disabled rows and separators select nothing)
// and opens its nested pop-up; deeper drop-downs of other rows close.
static void HoverRow(const Hit& hit) {
    DropDown& drop = tracked.open[(size_t)hit.level];
    int row = hit.row;
    if (row >= 0 &&
        ((drop.menu->items[row].flags & MF_SEPARATOR) || IsDisabled(drop.menu->items[row])))
        row = -1;
    if (row == drop.selected && row >= 0)
        return;
    CloseLevelsBelow((size_t)hit.level + 1);
    Select(drop, row);
    if (row >= 0 && drop.menu->items[row].popup)
        OpenSubmenu(false);
}

static void OnPointer(const XEvent& event) {
    int x, y;
    if (event.type == MotionNotify) {
        x = event.xmotion.x_root;
        y = event.xmotion.y_root;
    } else {
        x = event.xbutton.x_root;
        y = event.xbutton.y_root;
        if (event.xbutton.button > Button3)
            return; // the wheel neither chooses nor closes
    }
    Hit hit = HitTest(x, y);
    switch (event.type) {
    case MotionNotify:
        if (hit.barItem >= 0 && hit.barItem != tracked.hot) {
            if (tracked.open.empty()) {
                tracked.hot = hit.barItem;
                DrawBar(tracked.bar);
            } else {
                OpenBarItem(hit.barItem, false);
            }
        } else if (hit.level >= 0) {
            HoverRow(hit);
        } else if (!tracked.open.empty() && !hit.onBar) {
            // Off the menus the deepest drop-down shows no selection.
            DropDown& deepest = tracked.open.back();
            if (deepest.selected >= 0 && deepest.menu->items[deepest.selected].popup == NULL)
                Select(deepest, -1);
        }
        return;
    case ButtonPress:
        if (hit.level >= 0) {
            HoverRow(hit);
        } else if (hit.barItem >= 0 && !(hit.barItem == tracked.hot && !tracked.open.empty())) {
            OpenBarItem(hit.barItem, false);
        } else {
            // The open item again, the bare bar, or anywhere else: close.
            EndTracking();
        }
        return;
    case ButtonRelease:
        if (hit.level >= 0 && hit.row >= 0) {
            const MenuItem& item = tracked.open[(size_t)hit.level].menu->items[(size_t)hit.row];
            if (item.popup == NULL && !(item.flags & MF_SEPARATOR) && !IsDisabled(item))
                Choose(item);
        } else if (hit.barItem >= 0 && hit.barItem == tracked.hot && tracked.open.empty()) {
            const MenuItem& item = tracked.bar->items[(size_t)hit.barItem];
            if (item.popup == NULL && !IsDisabled(item))
                Choose(item);
        }
        return;
    }
}

// ---- The bar ------------------------------------------------------------------

// The drawing state shared by every menu window, made on the first bar.
static void PrepareDrawing() {
    if (menuGc)
        return;
    menuGc = XCreateGC(xDisplay, RootWindow(xDisplay, xScreen), 0, NULL);
}

int AttachMenuBar(HWND owner, HMENU menu, Window frame, int width) {
    if (menu == NULL || xDisplay == NULL)
        return 0;
    PrepareDrawing();
    menu->owner = owner;
    menu->barWidth = std::max(1, width);
    menu->barHeight = BAR_HEIGHT;

    // The default visual, whatever the frame's: the colormap and border
    // must then be given, or the server refuses a child of another visual.
    XSetWindowAttributes attributes;
    attributes.background_pixel = PixelOf(BAR_FACE);
    attributes.border_pixel = 0;
    attributes.colormap = DefaultColormap(xDisplay, xScreen);
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
    menu->bar = XCreateWindow(xDisplay, frame, 0, 0, (unsigned)menu->barWidth,
                              (unsigned)menu->barHeight, 0, DefaultDepth(xDisplay, xScreen),
                              InputOutput, DefaultVisual(xDisplay, xScreen),
                              CWBackPixel | CWBorderPixel | CWColormap | CWEventMask, &attributes);
    XStoreName(xDisplay, menu->bar, "menubar");
    XMapWindow(xDisplay, menu->bar);
    bars.push_back(menu);
    return menu->barHeight;
}

void ResizeMenuBar(HMENU menu, int width) {
    if (menu == NULL || menu->bar == 0)
        return;
    menu->barWidth = std::max(1, width);
    XResizeWindow(xDisplay, menu->bar, (unsigned)menu->barWidth, (unsigned)menu->barHeight);
}

static void FreeTree(HMENU menu) {
    for (MenuItem& item : menu->items)
        if (item.popup)
            FreeTree(item.popup);
    delete menu;
}

void DestroyMenuRec(HMENU menu) {
    if (menu == NULL)
        return;
    if (tracked.bar == menu) {
        CloseLevelsBelow(0);
        XUngrabPointer(xDisplay, CurrentTime);
        XUngrabKeyboard(xDisplay, CurrentTime);
        tracked.bar = NULL;
        tracked.hot = -1;
    }
    if (menu->bar) {
        bars.erase(std::remove(bars.begin(), bars.end(), menu), bars.end());
        ForgetDrawable(menu->bar);
        XDestroyWindow(xDisplay, menu->bar);
    }
    FreeTree(menu);
}

// ---- Events -------------------------------------------------------------------

static HMENU BarOfWindow(Window window) {
    for (HMENU menu : bars)
        if (menu->bar == window)
            return menu;
    return NULL;
}

static bool IsInput(int type) {
    return type == KeyPress || type == KeyRelease || type == ButtonPress || type == ButtonRelease ||
           type == MotionNotify || type == EnterNotify || type == LeaveNotify;
}

bool MenuHandleEvent(const XEvent* event) {
    if (xDisplay == NULL || event == NULL)
        return false;
    Window window = event->xany.window;
    if (event->type == Expose) {
        for (const DropDown& drop : tracked.open)
            if (drop.window == window) {
                if (event->xexpose.count == 0)
                    DrawDropDown(drop);
                return true;
            }
        if (HMENU menu = BarOfWindow(window)) {
            if (event->xexpose.count == 0)
                DrawBar(menu);
            return true;
        }
        return false;
    }
    if (event->type == KeyRelease) {
        unsigned code = event->xkey.keycode & 0xFF;
        if (heldKeys[code]) {
            heldKeys[code] = false;
            return true;
        }
    }
    if (tracked.bar == NULL) {
        HMENU menu = BarOfWindow(window);
        if (menu == NULL)
            return false;
        // Keys typed while the grab of a menu just closed was still in force
        // come to the bar; they belong to its window (see MenuBarOwner).
        if (event->type == KeyPress || event->type == KeyRelease)
            return false;
        // A press on the bar starts tracking; anything else on it is ignored.
        if (event->type == ButtonPress && event->xbutton.button <= Button3) {
            BeginTracking(menu);
            OnPointer(*event);
        }
        return true;
    }
    if (!IsInput(event->type))
        return false;
    if (event->type == KeyPress) {
        heldKeys[event->xkey.keycode & 0xFF] = true;
        OnKey(event->xkey);
    } else if (event->type == ButtonPress || event->type == ButtonRelease ||
               event->type == MotionNotify) {
        OnPointer(*event);
    }
    return true;
}

void MenuStartKeyboard(HWND owner, char mnemonic) {
    if (xDisplay == NULL || tracked.bar != NULL)
        return;
    HMENU menu = NULL;
    for (HMENU candidate : bars)
        if (candidate->owner == owner)
            menu = candidate;
    if (menu == NULL || menu->items.empty())
        return;
    if (mnemonic == 0) {
        BeginTracking(menu);
        tracked.hot = 0;
        DrawBar(menu);
        return;
    }
    char key = (char)tolower((unsigned char)mnemonic);
    bool known = false;
    for (const MenuItem& item : menu->items)
        known = known || item.hotKey == key;
    if (!known)
        return; // the platform only beeps
    BeginTracking(menu);
    OnMnemonic(key);
    if (tracked.bar != NULL && tracked.hot < 0)
        EndTracking();
}

HWND MenuBarOwner(Window xWindow) {
    HMENU menu = BarOfWindow(xWindow);
    return menu != NULL ? menu->owner : NULL;
}

bool MenuIsTracking() {
    return tracked.bar != NULL;
}
