// What the frame shows of a model in line mode, as 2-D lines.
#pragma once

#include <vector>

#include "capture.h"

// x to the right, y down, in pixels of the frame's client area.
struct Line2 {
    double x0, y0, x1, y1;
};

struct Bounds2 {
    double left, top, right, bottom;
};

// The edges line mode draws for the primitives (a fan's spokes and rim, a
// quad strip's rungs and rails, each quad's sides), turned by yRot about Y
// and then xRot about X in degrees, and projected as the frame projects them
// into a square client area side pixels wide.
std::vector<Line2> FrameLines(const std::vector<CapturedPrimitive>& primitives, double xRot,
                              double yRot, double side);

// The smallest box holding every line; all zero for none.
Bounds2 LineBounds(const std::vector<Line2>& lines);
