// A vertex-capturing stand-in for the GL calls the link models make, linked
// in place of libGL: the icon is drawn from the models' own routines.
#pragma once

#include <vector>

struct Vertex3 {
    double x, y, z;
};

// The vertices between one glBegin and its glEnd.
struct CapturedPrimitive {
    unsigned kind; // GL_TRIANGLE_FAN, GL_QUAD_STRIP, GL_QUADS, ...
    std::vector<Vertex3> vertices;
};

// The primitives draw issues, in order.
std::vector<CapturedPrimitive> CapturePrimitives(void (*draw)());
