// Modal dialogs from templates: the dialog window and its controls laid out
// in dialog units, WM_INITDIALOG, the nested message loop with the dialog
// keys, and the calls that address a dialog's controls.
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <fontconfig/fontconfig.h>
#include <stdio.h>
#include <strings.h>

#include "dialog.h"
#include "layer.h"
#include "resources.h"

// What the layer keeps of a dialog while DialogBoxParamA runs it.
struct DialogRec {
    DLGPROC proc;
    const TextFont* font;
    bool ended;
    INT_PTR result;
};

// The platform's face for a template that names none.
static const char DEFAULT_FACE[] = "MS Shell Dlg";
static const int DEFAULT_POINTS = 8;

// The platform's interface faces, which a Linux desktop rarely has. They
// are as wide as Arial, and fontconfig maps Arial to a metric-compatible
// face: asking for that keeps a dialog the size its template was designed
// at, where the desktop's default sans-serif is wider.
static const char* const INTERFACE_FACES[] = {"MS Sans Serif", "MS Shell Dlg", "MS Shell Dlg 2",
                                              "Microsoft Sans Serif", "Tahoma"};
static const char METRIC_STAND_IN[] = "Arial";

// The platform's MulDiv: halves round away from zero.
static int MulDivRounded(int value, int numerator, int denominator) {
    long long product = (long long)value * numerator;
    long long half = denominator / 2;
    return (int)(product >= 0 ? (product + half) / denominator
                              : -((-product + half) / denominator));
}

RECT DialogUnitsToPixels(int x, int y, int cx, int cy, int baseX, int baseY) {
    RECT pixels;
    pixels.left = MulDivRounded(x, baseX, 4);
    pixels.top = MulDivRounded(y, baseY, 8);
    pixels.right = pixels.left + MulDivRounded(cx, baseX, 4);
    pixels.bottom = pixels.top + MulDivRounded(cy, baseY, 8);
    return pixels;
}

// ---- The dialog font ----------------------------------------------------------

// Whether fontconfig has the family itself, not merely a substitute.
static bool FaceInstalled(const char* family) {
    FcPattern* pattern = FcPatternBuild(NULL, FC_FAMILY, FcTypeString, family, (char*)0);
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, (char*)0);
    FcFontSet* fonts = FcFontList(NULL, pattern, objects);
    bool installed = fonts != NULL && fonts->nfont > 0;
    if (fonts != NULL)
        FcFontSetDestroy(fonts);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    return installed;
}

// The face a template asks for, or the closest one the desktop has.
static const TextFont* OpenDialogFont(const char* family, int points) {
    for (const char* face : INTERFACE_FACES)
        if (strcasecmp(face, family) == 0 && !FaceInstalled(family))
            return OpenFont(METRIC_STAND_IN, points);
    return OpenFont(family, points);
}

// The template's font, or the platform's default without DS_SETFONT.
static const TextFont* TemplateFont(const DialogTemplate& dialogTemplate) {
    if ((dialogTemplate.style & DS_SETFONT) && dialogTemplate.fontName != NULL)
        return OpenDialogFont(dialogTemplate.fontName, dialogTemplate.pointSize);
    return OpenDialogFont(DEFAULT_FACE, DEFAULT_POINTS);
}

const TextFont* DialogFontOf(HWND control) {
    HWND dialog = TopLevelOf(control);
    if (dialog != NULL && dialog->dialog != NULL)
        return dialog->dialog->font;
    return OpenDialogFont(DEFAULT_FACE, DEFAULT_POINTS);
}

// ---- Controls and tab stops ---------------------------------------------------

HWND GetDlgItem(HWND dialog, int id) {
    if (!IsWindow(dialog))
        return NULL;
    for (HWND control : dialog->children)
        if (control->id == (UINT)id)
            return control;
    return NULL;
}

BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
    HWND control = GetDlgItem(dialog, id);
    return control != NULL && SetWindowTextA(control, text != NULL ? text : "");
}

UINT GetDlgItemTextA(HWND dialog, int id, LPSTR text, int maxCount) {
    HWND control = GetDlgItem(dialog, id);
    if (control == NULL) {
        if (text != NULL && maxCount > 0)
            text[0] = 0;
        return 0;
    }
    return (UINT)GetWindowTextA(control, text, maxCount);
}

// The tab stop after (or before) a control, wrapping round; from the first
// (or last) one when from is not a control of the dialog.
static HWND NextTabStop(HWND dialog, HWND from, bool backward) {
    const std::vector<HWND>& controls = dialog->children;
    int count = (int)controls.size();
    int at = -1;
    for (int i = 0; i < count; i++)
        if (controls[i] == from)
            at = i;
    for (int step = 1; step <= count; step++) {
        int index = at < 0 ? (backward ? count - step : step - 1)
                           : ((at + (backward ? -step : step)) % count + count) % count;
        HWND control = controls[index];
        if ((control->style & WS_TABSTOP) && control->visible && control->enabled)
            return control;
    }
    return NULL;
}

// Key messages carry no modifier state; Shift+Tab asks the server.
static bool ShiftHeld() {
    XkbStateRec state;
    return XkbGetState(xDisplay, XkbUseCoreKbd, &state) == Success && (state.mods & ShiftMask);
}

// The button Enter presses: the focused push button, else the default one.
static HWND EnterButton(HWND dialog) {
    HWND focus = GetFocus();
    if (IsPushButton(focus) && focus->parent == dialog)
        return focus;
    for (HWND control : dialog->children)
        if (IsDefaultPushButton(control))
            return control;
    return NULL;
}

// The keys a dialog takes before the focused control sees them; true when
// the message was one of them.
static bool HandleDialogKey(HWND dialog, const MSG& msg) {
    if (msg.message != WM_KEYDOWN || msg.hwnd == NULL || TopLevelOf(msg.hwnd) != dialog)
        return false;
    switch (msg.wParam) {
    case VK_RETURN: {
        HWND button = EnterButton(dialog);
        if (button != NULL && !button->enabled)
            return true;
        int id = button != NULL ? (int)button->id : IDOK;
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)button);
        return true;
    }
    case VK_ESCAPE:
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     (LPARAM)GetDlgItem(dialog, IDCANCEL));
        return true;
    case VK_TAB: {
        HWND next = NextTabStop(dialog, GetFocus(), ShiftHeld());
        if (next != NULL)
            SetFocus(next);
        return true;
    }
    }
    return false;
}

// ---- The dialog window --------------------------------------------------------

// The default dialog procedure: the program's DLGPROC first, then the
// platform's handling of what it leaves.
static LRESULT CALLBACK DialogWndProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        dialog->dialog = (DialogRec*)((const CREATESTRUCTA*)lParam)->lpCreateParams;
        return 0;
    }
    DialogRec* rec = dialog->dialog;
    if (rec != NULL && rec->proc != NULL) {
        INT_PTR handled = rec->proc(dialog, message, wParam, lParam);
        if (message == WM_INITDIALOG)
            return handled;
        if (handled || !IsWindow(dialog))
            return 0;
    }
    switch (message) {
    case WM_CLOSE:
        // The close box means cancel, as the platform reads it.
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     (LPARAM)GetDlgItem(dialog, IDCANCEL));
        return 0;
    case WM_PAINT:
        PaintDialogFace(dialog);
        ValidateRect(dialog, NULL);
        return 0;
    case WM_SETFOCUS: {
        // The dialog itself passes the focus on to its first tab stop.
        HWND first = NextTabStop(dialog, NULL, false);
        if (first != NULL)
            SetFocus(first);
        return 0;
    }
    case WM_NCDESTROY:
        // Destroyed under the modal loop: the loop ends with it.
        if (rec != NULL)
            rec->ended = true;
        dialog->dialog = NULL;
        return 0;
    }
    return DefWindowProcA(dialog, message, wParam, lParam);
}

// The dialog class and the control classes, registered on the first dialog.
static void RegisterDialogClasses() {
    static bool registered;
    if (registered)
        return;
    registered = true;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DialogWndProc;
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.lpszClassName = DIALOG_CLASS;
    RegisterClassA(&wc);
    RegisterControlClasses();
}

// Where a window's client area starts on the screen; the screen's origin for none.
static POINT ClientOriginOnScreen(HWND window) {
    POINT origin = {0, 0};
    if (window == NULL)
        return origin;
    RECT client = ClientRectOf(window);
    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(xDisplay, window->xWindow, RootWindow(xDisplay, xScreen), client.left,
                          client.top, &x, &y, &child);
    origin.x = x;
    origin.y = y;
    return origin;
}

// Tells a window manager what the window is: a modal dialog of fixed size.
static void SetDialogProperties(HWND dialog) {
    static const char* NAMES[] = {"_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DIALOG",
                                  "_NET_WM_STATE", "_NET_WM_STATE_MODAL"};
    static Atom names[4];
    if (names[0] == None)
        XInternAtoms(xDisplay, (char**)NAMES, 4, False, names);
    XChangeProperty(xDisplay, dialog->xWindow, names[0], XA_ATOM, 32, PropModeReplace,
                    (const unsigned char*)&names[1], 1);
    XChangeProperty(xDisplay, dialog->xWindow, names[2], XA_ATOM, 32, PropModeReplace,
                    (const unsigned char*)&names[3], 1);

    XSizeHints* hints = XAllocSizeHints();
    long supplied;
    XGetWMNormalHints(xDisplay, dialog->xWindow, hints, &supplied);
    hints->flags |= PMinSize | PMaxSize;
    hints->min_width = hints->max_width = dialog->width;
    hints->min_height = hints->max_height = dialog->height;
    XSetWMNormalHints(xDisplay, dialog->xWindow, hints);
    XFree(hints);
}

// The dialog window, hidden, with its controls in template order; placed
// from the owner's client origin, as the platform places one without DS_CENTER.
static HWND CreateDialogWindow(const DialogTemplate& dialogTemplate, HINSTANCE instance, HWND owner,
                               DialogRec* rec) {
    int baseX = rec->font->averageWidth, baseY = rec->font->height;
    RECT frame = DialogUnitsToPixels(dialogTemplate.x, dialogTemplate.y, dialogTemplate.cx,
                                     dialogTemplate.cy, baseX, baseY);
    POINT origin = ClientOriginOnScreen(owner);
    DWORD style = (dialogTemplate.style & ~(WS_VISIBLE | WS_CHILD)) | WS_POPUP;
    HWND dialog =
        CreateWindowExA(dialogTemplate.exStyle, DIALOG_CLASS, dialogTemplate.caption, style,
                        origin.x + frame.left, origin.y + frame.top, frame.right - frame.left,
                        frame.bottom - frame.top, owner, NULL, instance, rec);
    if (dialog == NULL)
        return NULL;
    SetDialogProperties(dialog);

    for (int i = 0; i < dialogTemplate.itemCount; i++) {
        const DialogItemTemplate& item = dialogTemplate.items[i];
        RECT place = DialogUnitsToPixels(item.x, item.y, item.cx, item.cy, baseX, baseY);
        HWND control = CreateWindowExA(item.exStyle, item.className, item.text,
                                       item.style | WS_CHILD, place.left, place.top,
                                       place.right - place.left, place.bottom - place.top, dialog,
                                       (HMENU)(UINT_PTR)item.id, instance, NULL);
        if (control == NULL) {
            fprintf(stderr, "Dialog: cannot create control %d of class \"%s\"\n", i,
                    item.className != NULL ? item.className : "");
            DestroyWindow(dialog);
            return NULL;
        }
        // A group box lies beneath the controls it frames, whatever their order.
        if (IsGroupBox(control))
            XLowerWindow(xDisplay, control->xWindow);
    }
    return dialog;
}

// Runs the dialog's messages and everyone else's until EndDialog; false when
// a quit request ended it instead.
static bool RunModalLoop(HWND dialog, const DialogRec* rec) {
    MSG msg;
    while (!rec->ended) {
        BOOL got = GetMessageA(&msg, NULL, 0, 0);
        if (got == 0) {
            // The quit request belongs to the program's own loop.
            PostQuitMessage((int)msg.wParam);
            return false;
        }
        if (got < 0)
            return false;
        if (HandleDialogKey(dialog, msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return true;
}

INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC dialogProc,
                        LPARAM initParam) {
    const ResourceEntry* entry = FindResource(instance, templateName, RT_DIALOG_ID);
    if (entry == NULL || xDisplay == NULL)
        return -1;
    if (owner != NULL && !IsWindow(owner))
        return 0;
    const DialogTemplate& dialogTemplate = *(const DialogTemplate*)entry->data;
    HWND ownerTop = TopLevelOf(owner);

    DialogRec rec = {dialogProc, TemplateFont(dialogTemplate), false, 0};
    if (rec.font == NULL)
        return -1;
    RegisterDialogClasses();
    HWND dialog = CreateDialogWindow(dialogTemplate, instance, ownerTop, &rec);
    if (dialog == NULL)
        return -1;

    bool disablesOwner = ownerTop != NULL && ownerTop->enabled;
    if (disablesOwner)
        EnableWindow(ownerTop, FALSE);
    HWND first = NextTabStop(dialog, NULL, false);
    if (SendMessageA(dialog, WM_INITDIALOG, (WPARAM)first, initParam) && IsWindow(first))
        SetFocus(first);
    if (!rec.ended && IsWindow(dialog))
        ShowWindow(dialog, SW_SHOW);
    bool ended = RunModalLoop(dialog, &rec);

    // The owner is enabled before the dialog goes, so that activation can
    // pass back to it; it takes it also when the dialog was never activated.
    bool ownerTakesActivation = ActiveTopLevel() == dialog || ActiveTopLevel() == NULL;
    if (disablesOwner && IsWindow(ownerTop))
        EnableWindow(ownerTop, TRUE);
    if (IsWindow(dialog))
        DestroyWindow(dialog);
    if (ownerTakesActivation && IsWindow(ownerTop))
        ActivateTopLevel(ownerTop);
    return ended ? rec.result : 0;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    if (!IsWindow(dialog) || dialog->dialog == NULL)
        return FALSE;
    dialog->dialog->ended = true;
    dialog->dialog->result = result;
    // Called from a message sent while GetMessageA reads the connection, the
    // loop would otherwise sleep on until some other message came.
    PostMessageA(dialog, WM_NULL, 0, 0);
    return TRUE;
}
