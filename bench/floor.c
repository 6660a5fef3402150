// The floor the program is measured against: the least an Xlib + GLX program
// of its kind does. One 400 x 400 window, a double-buffered context, and per
// exposure or key press one clear, a few lines and a swap; nothing else.
#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <math.h>
#include <stdio.h>

static void Draw(Display* display, Window window, int turns) {
    double angle = turns * 5.0 * 3.14159265358979 / 180.0;
    double c = cos(angle) * 0.8, s = sin(angle) * 0.8;
    glClear(GL_COLOR_BUFFER_BIT);
    glBegin(GL_LINES);
    glVertex2d(-c, -s);
    glVertex2d(c, s);
    glVertex2d(s, -c);
    glVertex2d(-s, c);
    glVertex2d(c, s);
    glVertex2d(s, -c);
    glEnd();
    glXSwapBuffers(display, window);
}

int main(void) {
    Display* display = XOpenDisplay(NULL);
    if (display == NULL) {
        fprintf(stderr, "floor: cannot open the display\n");
        return 1;
    }
    int screen = DefaultScreen(display);
    int attributes[] = {GLX_RGBA, GLX_DOUBLEBUFFER, None};
    XVisualInfo* visual = glXChooseVisual(display, screen, attributes);
    if (visual == NULL) {
        fprintf(stderr, "floor: GLX: no double-buffered RGBA visual\n");
        return 1;
    }
    Window root = RootWindow(display, screen);
    XSetWindowAttributes set;
    set.colormap = XCreateColormap(display, root, visual->visual, AllocNone);
    set.border_pixel = 0;
    set.event_mask = ExposureMask | KeyPressMask;
    // Beside the program's window, which opens at (50, 50): both stay in full view.
    Window window = XCreateWindow(display, root, 500, 50, 400, 400, 0, visual->depth, InputOutput,
                                  visual->visual, CWColormap | CWBorderPixel | CWEventMask, &set);
    XStoreName(display, window, "Bench Floor");
    GLXContext context = glXCreateContext(display, visual, NULL, True);
    glXMakeCurrent(display, window, context);
    glClearColor(1, 1, 1, 1);
    glColor3f(0.5f, 0.5f, 0.5f);
    XMapWindow(display, window);

    int turns = 0;
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == Expose && event.xexpose.count == 0) {
            Draw(display, window, turns);
        } else if (event.type == KeyPress) {
            turns++;
            Draw(display, window, turns);
        }
    }
}
