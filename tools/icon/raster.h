// Antialiased lines of one colour on a transparent square, for the PNG icon.
#pragma once

#include <stdint.h>

#include <vector>

#include "wireframe.h"

// How much of each pixel the lines cover, 0..255, rows top-down.
struct Coverage {
    int width, height;
    std::vector<uint8_t> alpha;
};

Coverage MakeCoverage(int width, int height);

// A line of the given width in pixels with round ends; pixel (i, j) has its
// centre at (i + 0.5, j + 0.5). Where lines meet or cross, the pixel keeps
// the larger cover, so joints do not darken into blots.
void DrawLine(Coverage& coverage, const Line2& line, double width);
