#include "raster.h"

#include <math.h>

#include <algorithm>

Coverage MakeCoverage(int width, int height) {
    return {width, height, std::vector<uint8_t>((size_t)width * height, 0)};
}

// Distance from a pixel centre to the line: the line's cover of the pixel
// falls off with it.
static double DistanceToLine(double px, double py, const Line2& l) {
    double dx = l.x1 - l.x0, dy = l.y1 - l.y0;
    double length2 = dx * dx + dy * dy;
    double t = length2 > 0 ? ((px - l.x0) * dx + (py - l.y0) * dy) / length2 : 0;
    t = std::max(0.0, std::min(1.0, t));
    return hypot(px - (l.x0 + t * dx), py - (l.y0 + t * dy));
}

void DrawLine(Coverage& coverage, const Line2& line, double width) {
    // A one-pixel box filter across the line's edge: full inside, a linear
    // ramp over the pixel that the edge crosses.
    double reach = width / 2 + 0.5;
    int x0 = std::max(0, (int)floor(std::min(line.x0, line.x1) - reach));
    int x1 = std::min(coverage.width - 1, (int)ceil(std::max(line.x0, line.x1) + reach));
    int y0 = std::max(0, (int)floor(std::min(line.y0, line.y1) - reach));
    int y1 = std::min(coverage.height - 1, (int)ceil(std::max(line.y0, line.y1) + reach));
    for (int y = y0; y <= y1; y++)
        for (int x = x0; x <= x1; x++) {
            double cover = std::min(1.0, reach - DistanceToLine(x + 0.5, y + 0.5, line));
            if (cover <= 0)
                continue;
            uint8_t& a = coverage.alpha[(size_t)y * coverage.width + x];
            a = std::max(a, (uint8_t)lround(cover * 255));
        }
}
