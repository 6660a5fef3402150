#include "capture.h"

#include <GL/gl.h>

static std::vector<CapturedPrimitive> captured;

void glBegin(GLenum mode) {
    captured.push_back({mode, {}});
}

void glEnd() {}

// A vertex outside glBegin/glEnd draws nothing in GL either.
static void AddVertex(double x, double y, double z) {
    if (!captured.empty())
        captured.back().vertices.push_back({x, y, z});
}

void glVertex2d(GLdouble x, GLdouble y) {
    AddVertex(x, y, 0);
}

void glVertex3d(GLdouble x, GLdouble y, GLdouble z) {
    AddVertex(x, y, z);
}

std::vector<CapturedPrimitive> CapturePrimitives(void (*draw)()) {
    captured.clear();
    draw();
    std::vector<CapturedPrimitive> primitives;
    primitives.swap(captured);
    return primitives;
}
