#include "wireframe.h"

#include <GL/gl.h>
#include <math.h>

#include <algorithm>

// The frame's turn, as glRotatef(xRot, 1,0,0) then glRotatef(yRot, 0,1,0)
// apply it to a vertex: Y first.
static Vertex3 Turn(Vertex3 p, double xRot, double yRot) {
    const double DEGREE = acos(-1.0) / 180;
    double ay = yRot * DEGREE, ax = xRot * DEGREE;
    Vertex3 q = {p.x * cos(ay) + p.z * sin(ay), p.y, -p.x * sin(ay) + p.z * cos(ay)};
    return {q.x, q.y * cos(ax) - q.z * sin(ax), q.y * sin(ax) + q.z * cos(ax)};
}

// The frame's orthographic view: 200 units across the square, y up.
static void AddLine(std::vector<Line2>& lines, Vertex3 a, Vertex3 b, double xRot, double yRot,
                    double side) {
    double scale = side / 200;
    a = Turn(a, xRot, yRot), b = Turn(b, xRot, yRot);
    lines.push_back({side / 2 + a.x * scale, side / 2 - a.y * scale, side / 2 + b.x * scale,
                     side / 2 - b.y * scale});
}

std::vector<Line2> FrameLines(const std::vector<CapturedPrimitive>& primitives, double xRot,
                              double yRot, double side) {
    std::vector<Line2> lines;
    for (const CapturedPrimitive& primitive : primitives) {
        const std::vector<Vertex3>& v = primitive.vertices;
        size_t n = v.size();
        switch (primitive.kind) {
        case GL_TRIANGLE_FAN:
            for (size_t i = 1; i < n; i++)
                AddLine(lines, v[0], v[i], xRot, yRot, side);
            for (size_t i = 1; i + 1 < n; i++)
                AddLine(lines, v[i], v[i + 1], xRot, yRot, side);
            break;
        case GL_QUAD_STRIP:
            for (size_t i = 0; i + 1 < n; i += 2)
                AddLine(lines, v[i], v[i + 1], xRot, yRot, side);
            for (size_t i = 0; i + 2 < n; i++)
                AddLine(lines, v[i], v[i + 2], xRot, yRot, side);
            break;
        case GL_QUADS:
            for (size_t i = 0; i + 3 < n; i += 4)
                for (size_t k = 0; k < 4; k++)
                    AddLine(lines, v[i + k], v[i + (k + 1) % 4], xRot, yRot, side);
            break;
        }
    }
    return lines;
}

Bounds2 LineBounds(const std::vector<Line2>& lines) {
    if (lines.empty())
        return {0, 0, 0, 0};
    Bounds2 box = {lines[0].x0, lines[0].y0, lines[0].x0, lines[0].y0};
    for (const Line2& l : lines) {
        box.left = std::min({box.left, l.x0, l.x1});
        box.right = std::max({box.right, l.x0, l.x1});
        box.top = std::min({box.top, l.y0, l.y1});
        box.bottom = std::max({box.bottom, l.y0, l.y1});
    }
    return box;
}
