// The picture a frame should show, worked out from the models' vertices
// alone, and the check of a real picture against it. Used by the render tier
// (Mesa off-screen) and by the end-to-end tests (screenshots of the running
// program, Linux and Windows builds alike).
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "gl_recorder.h"

struct Point3 {
    double x, y, z;
};

struct Edge3 {
    Point3 a, b;
};

// A line in pixel coordinates: x to the right, y down; pixel (i, j) covers
// [i, i+1) × [j, j+1) with its centre at (i + 0.5, j + 0.5).
struct Segment {
    double x0, y0, x1, y1;
};

// The edges line mode draws for the primitives: a fan's spokes and rim, a
// quad strip's rungs and both rails, each quad's four sides.
std::vector<Edge3> OutlineEdges(const std::vector<GlPrimitive>& primitives);

// Turns the edges by yRot about Y and then by xRot about X (what
// glRotatef(xRot, 1,0,0) followed by glRotatef(yRot, 0,1,0) does to a vertex)
// and projects them as the frame does: orthographic, the shorter side of the
// client area showing -100..100 units about its centre.
std::vector<Segment> ProjectEdges(const std::vector<Edge3>& edges, float xRot, float yRot,
                                  int width, int height);

struct PictureCheck {
    long linePixels;      // pixels clearly darker than the white background
    double lineFraction;  // of those, the share within reach of an expected segment
    double coverFraction; // share of points along the expected segments with a line pixel near
    bool passed;
};

// Compares a top-down RGB picture (3 bytes a pixel, no row padding) with the
// expected segments. A blank picture, another model or another turn fails.
PictureCheck CheckPicture(const uint8_t* rgb, int width, int height,
                          const std::vector<Segment>& expected);

// Saves a top-down RGB picture as a PNG so a person can look at a failure.
bool WritePng(const std::string& path, const uint8_t* rgb, int width, int height);
