// kovra_icon ICON.svg ICON.png SIZE
// The program's icon: the cylinder link as the frame draws it, turned by
// ICON_XROT and ICON_YROT, cropped to its lines; as an SVG and as a
// SIZE x SIZE PNG.
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>

#include "capture.h"
#include "png.h"
#include "raster.h"
#include "render/models.h"
#include "wireframe.h"

// The client area the lines are laid out in: one pixel a model unit.
static const double FRAME_SIDE = 200;
// The frame's line colour, glColor3f(0.5, 0.5, 0.5).
static const uint8_t LINE_GREY = 128;
// Line width in pixels of the PNG; the SVG's stroke scales with it.
static const double LINE_PIXELS = 1.0;
// Space around the lines, as a share of the picture's side.
static const double MARGIN = 0.06;

// The cylinder exactly as the frame calls it.
static void DrawFramedCylinder() {
    DrawCylinder(20, 20);
}

// A square about the lines' centre with the margin on the longer side.
static Bounds2 SquareView(const Bounds2& box) {
    double side = std::max(box.right - box.left, box.bottom - box.top) / (1 - 2 * MARGIN);
    double cx = (box.left + box.right) / 2, cy = (box.top + box.bottom) / 2;
    return {cx - side / 2, cy - side / 2, cx + side / 2, cy + side / 2};
}

static bool WriteSvg(const std::string& path, const std::vector<Line2>& lines, const Bounds2& view,
                     int size) {
    FILE* out = fopen(path.c_str(), "w");
    if (out == NULL)
        return false;
    double side = view.right - view.left;
    fprintf(out, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    fprintf(out,
            "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" "
            "viewBox=\"%.3f %.3f %.3f %.3f\">\n",
            size, size, view.left, view.top, side, side);
    fprintf(out, "<title>Robot Kovra</title>\n");
    fprintf(out,
            "<g fill=\"none\" stroke=\"#%02x%02x%02x\" stroke-width=\"%.3f\" "
            "stroke-linecap=\"round\">\n",
            LINE_GREY, LINE_GREY, LINE_GREY, LINE_PIXELS * side / size);
    for (const Line2& l : lines)
        fprintf(out, "<line x1=\"%.3f\" y1=\"%.3f\" x2=\"%.3f\" y2=\"%.3f\"/>\n", l.x0, l.y0, l.x1,
                l.y1);
    fprintf(out, "</g>\n</svg>\n");
    return fclose(out) == 0;
}

static bool WritePng(const std::string& path, const std::vector<Line2>& lines, const Bounds2& view,
                     int size) {
    double scale = size / (view.right - view.left);
    Coverage coverage = MakeCoverage(size, size);
    for (const Line2& l : lines)
        DrawLine(coverage,
                 {(l.x0 - view.left) * scale, (l.y0 - view.top) * scale, (l.x1 - view.left) * scale,
                  (l.y1 - view.top) * scale},
                 LINE_PIXELS);
    return WriteCoveragePng(path, coverage, LINE_GREY);
}

int main(int argc, char** argv) {
    int size = argc == 4 ? atoi(argv[3]) : 0;
    if (size < 8 || size > 4096) {
        fprintf(stderr, "usage: kovra_icon ICON.svg ICON.png SIZE (8..4096)\n");
        return 2;
    }
    std::vector<Line2> lines =
        FrameLines(CapturePrimitives(DrawFramedCylinder), ICON_XROT, ICON_YROT, FRAME_SIDE);
    if (lines.empty()) {
        fprintf(stderr, "kovra_icon: the cylinder drew no lines\n");
        return 1;
    }
    Bounds2 view = SquareView(LineBounds(lines));
    if (!WriteSvg(argv[1], lines, view, size)) {
        fprintf(stderr, "kovra_icon: cannot write %s\n", argv[1]);
        return 1;
    }
    if (!WritePng(argv[2], lines, view, size)) {
        fprintf(stderr, "kovra_icon: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
