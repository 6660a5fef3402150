// Prints, one a line, what OpenGL and GLU report about themselves on the
// Windows side: the answers the Windows build's information dialog must show.
// The Linux build's counterpart is tests/e2e/gl_strings.cpp; the order of the
// lines is the same.
#include <GL/gl.h>
#include <GL/glu.h>
#include <stdio.h>
#include <windows.h>

// A missing string prints as an empty line, as the dialog leaves it empty.
static void PrintLine(const GLubyte* text) {
    printf("%s\n", text != NULL ? (const char*)text : "");
}

// glGetString needs a current context, and a context needs a window with a
// pixel format; the window is never shown.
static HWND CreateHiddenWindow() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.lpszClassName = "WglStrings";
    if (!RegisterClassA(&windowClass))
        return NULL;
    return CreateWindowExA(0, "WglStrings", "", WS_OVERLAPPEDWINDOW, 0, 0, 8, 8, NULL, NULL,
                           windowClass.hInstance, NULL);
}

int main() {
    HWND window = CreateHiddenWindow();
    HDC dc = window != NULL ? GetDC(window) : NULL;
    if (dc == NULL) {
        fprintf(stderr, "wgl-strings: cannot create a window (%lu)\n", GetLastError());
        return 1;
    }
    PIXELFORMATDESCRIPTOR descriptor = {};
    descriptor.nSize = sizeof descriptor;
    descriptor.nVersion = 1;
    descriptor.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    descriptor.iPixelType = PFD_TYPE_RGBA;
    descriptor.cColorBits = 24;
    descriptor.cDepthBits = 16;
    int format = ChoosePixelFormat(dc, &descriptor);
    if (format == 0 || !SetPixelFormat(dc, format, &descriptor)) {
        fprintf(stderr, "wgl-strings: WGL: no pixel format (%lu)\n", GetLastError());
        return 1;
    }
    HGLRC context = wglCreateContext(dc);
    if (context == NULL || !wglMakeCurrent(dc, context)) {
        fprintf(stderr, "wgl-strings: WGL: cannot make a context current (%lu)\n", GetLastError());
        return 1;
    }
    const GLenum names[] = {GL_VENDOR, GL_RENDERER, GL_VERSION, GL_EXTENSIONS};
    for (GLenum name : names)
        PrintLine(glGetString(name));
    PrintLine(gluGetString(GLU_VERSION));
    PrintLine(gluGetString(GLU_EXTENSIONS));
    PrintLine(gluErrorString(GL_NO_ERROR));
    wglMakeCurrent(NULL, NULL);
    wglDeleteContext(context);
    ReleaseDC(window, dc);
    DestroyWindow(window);
    return 0;
}
