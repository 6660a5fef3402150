// Prints, one a line, what the display's OpenGL and GLU report about
// themselves: the answers the information dialog must show. A process of its
// own, since the e2e tests link the GL recorder in place of the real GL.
#include <GL/glu.h>
#include <GL/glx.h>
#include <stdio.h>

#include <initializer_list>

// A missing string prints as an empty line, as the dialog leaves it empty.
static void PrintLine(const GLubyte* text) {
    printf("%s\n", text != nullptr ? (const char*)text : "");
}

int main() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        fprintf(stderr, "gl_strings: cannot open display\n");
        return 1;
    }
    int attributes[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_DEPTH_SIZE, 16, None};
    XVisualInfo* visual = glXChooseVisual(display, DefaultScreen(display), attributes);
    if (visual == nullptr) {
        fprintf(stderr, "gl_strings: GLX: no matching visual\n");
        return 1;
    }
    Window root = RootWindow(display, visual->screen);
    XSetWindowAttributes windowAttributes = {};
    windowAttributes.colormap = XCreateColormap(display, root, visual->visual, AllocNone);
    Window window = XCreateWindow(display, root, 0, 0, 8, 8, 0, visual->depth, InputOutput,
                                  visual->visual, CWColormap, &windowAttributes);
    GLXContext context = glXCreateContext(display, visual, nullptr, True);
    XFree(visual);
    if (context == nullptr || !glXMakeCurrent(display, window, context)) {
        fprintf(stderr, "gl_strings: GLX: cannot make a context current\n");
        return 1;
    }
    for (GLenum name : {GL_VENDOR, GL_RENDERER, GL_VERSION, GL_EXTENSIONS})
        PrintLine(glGetString(name));
    PrintLine(gluGetString(GLU_VERSION));
    PrintLine(gluGetString(GLU_EXTENSIONS));
    PrintLine(gluErrorString(GL_NO_ERROR));
    glXMakeCurrent(display, None, nullptr);
    glXDestroyContext(display, context);
    XDestroyWindow(display, window);
    XCloseDisplay(display);
    return 0;
}
