#include "about_dialog.h"

#include "resources/resource.h"

// At most this many pending errors are read per opening.
static const int ERROR_FIELDS = 6;

// Fills the library strings and the pending errors, clearing them as read.
static void FillFields(HWND dialog) {
    for (int i = 0; i < 4; i++)
        SetDlgItemTextA(dialog, IDC_GL_VENDOR + i, (LPCSTR)glGetString(GL_VENDOR + i));
    SetDlgItemTextA(dialog, IDC_GLU_VERSION, (LPCSTR)gluGetString(GLU_VERSION));
    SetDlgItemTextA(dialog, IDC_GLU_EXTENSIONS, (LPCSTR)gluGetString(GLU_EXTENSIONS));
    int i = 0;
    GLenum error;
    do {
        error = glGetError();
        SetDlgItemTextA(dialog, IDC_ERROR_FIRST + i, (LPCSTR)gluErrorString(error));
        i++;
    } while (i != ERROR_FIELDS && error != GL_NO_ERROR);
}

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    (void)lParam;
    switch (message) {
    case WM_INITDIALOG:
        FillFields(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK)
            EndDialog(dialog, 1);
        return FALSE;
    case WM_CLOSE:
        EndDialog(dialog, 1);
        return FALSE;
    }
    return FALSE;
}
