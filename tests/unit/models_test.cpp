// The three link models: the exact primitives and vertices each routine
// issues, the sweep constants, and the faces' orientation.
#include <gtest/gtest.h>

#include <math.h>

#include <algorithm>
#include <array>

#include "gl_recorder.h"
#include "render/models.h"

namespace {

// The rim point of radius r at angle k × SWEEP_STEP about (cx, 0).
GlVertex Rim(double cx, double r, int k, double z, bool is2d) {
    double angle = k * SWEEP_STEP;
    return {cx + r * sin(angle), r * cos(angle), z, is2d};
}

// k runs from first to last by +1 or -1, both included.
std::vector<int> Steps(int first, int last) {
    std::vector<int> ks;
    for (int k = first;; k += first <= last ? 1 : -1) {
        ks.push_back(k);
        if (k == last)
            break;
    }
    return ks;
}

GlPrimitive BottomCap(double cx, double r, int first, int last) {
    GlPrimitive p = {GL_TRIANGLE_FAN, {{cx, 0, 0, false}}};
    for (int k : Steps(first, last))
        p.vertices.push_back(Rim(cx, r, k, 0, true));
    return p;
}

GlPrimitive TopCap(double cx, double r, double h, int first, int last) {
    GlPrimitive p = {GL_TRIANGLE_FAN, {{cx, 0, h, false}}};
    for (int k : Steps(first, last))
        p.vertices.push_back(Rim(cx, r, k, h, false));
    return p;
}

GlPrimitive Wall(double cx, double r, double h, int first, int last) {
    GlPrimitive p = {GL_QUAD_STRIP, {}};
    for (int k : Steps(first, last)) {
        p.vertices.push_back(Rim(cx, r, k, h, false));
        p.vertices.push_back(Rim(cx, r, k, 0, false));
    }
    return p;
}

GlPrimitive Quads(std::vector<std::array<double, 3>> corners) {
    GlPrimitive p = {GL_QUADS, {}};
    for (auto& c : corners)
        p.vertices.push_back({c[0], c[1], c[2], false});
    return p;
}

void DrawFramedCylinder() {
    DrawCylinder(20, 20);
}

struct ModelCase {
    const char* name;
    void (*draw)();
    size_t vertexCount;
    std::vector<GlPrimitive> primitives;
};

// The sweeps in steps of SWEEP_STEP: full up 0..16, full down 0..-16, near
// half up 0..8 and down 8..0, far half up 8..16 and down 16..8.
const std::vector<ModelCase>& Models() {
    static const std::vector<ModelCase> MODELS = {
        {"Cylinder",
         DrawFramedCylinder,
         70,
         {BottomCap(0, 20, 0, 16), TopCap(0, 20, 20, 0, -16), Wall(0, 20, 20, 0, -16)}},
        {"Arm1",
         DrawArm1,
         92,
         {BottomCap(0, 15, 0, 8), TopCap(0, 15, 10, 8, 0), Wall(0, 15, 10, 8, 0),
          // clang-format off
          Quads({{0, -15, 0},  {-60, -10, 0},  {-60, 10, 0},  {0, 15, 0},     // underside
                 {0, -15, 10}, {0, 15, 10},    {-60, 10, 10}, {-60, -10, 10}, // top
                 {0, 15, 10},  {0, 15, 0},     {-60, 10, 0},  {-60, 10, 10},  // +Y side
                 {0, -15, 10}, {-60, -10, 10}, {-60, -10, 0}, {0, -15, 0}}),  // -Y side
          // clang-format on
          BottomCap(-60, 10, 8, 16), TopCap(-60, 10, 10, 16, 8), Wall(-60, 10, 10, 16, 8)}},
        {"Arm2",
         DrawArm2,
         58,
         {BottomCap(0, 10, 0, 8), TopCap(0, 10, 10, 8, 0), Wall(0, 10, 10, 8, 0),
          Quads({{0, -10, 0},  {-50, -5, 0},  {-50, 5, 0},  {0, 10, 0},        // underside
                 {0, -10, 10}, {0, 10, 10},   {-50, 5, 10}, {-50, -5, 10},     // top
                 {0, 10, 10},  {0, 10, 0},    {-50, 5, 0},  {-50, 5, 10},      // +Y side
                 {0, -10, 10}, {-50, -5, 10}, {-50, -5, 0}, {0, -10, 0},       // -Y side
                 {-50, 5, 10}, {-50, 5, 0},   {-50, -5, 0}, {-50, -5, 10}})}}, // end face
    };
    return MODELS;
}

TEST(Models, SweepConstantsAreSinglePrecisionValuesMetExactly) {
    EXPECT_EQ((double)3.1415f, PI_APPROX);
    EXPECT_EQ((double)(float)(PI_APPROX / 8), SWEEP_STEP);
    EXPECT_EQ((double)(float)(2 * PI_APPROX), SWEEP_FULL);
    EXPECT_EQ(SWEEP_FULL, 16 * SWEEP_STEP);
    EXPECT_EQ(PI_APPROX, 8 * SWEEP_STEP);
    // The routines step by repeated addition; it must land on the bounds.
    double up = 0, down = 0;
    for (int k = 1; k <= 16; k++) {
        up += SWEEP_STEP;
        down -= SWEEP_STEP;
        EXPECT_EQ(k * SWEEP_STEP, up) << k;
        EXPECT_EQ(-k * SWEEP_STEP, down) << k;
    }
}

TEST(Models, IssueExactlyTheirPrimitivesAndVertices) {
    for (const ModelCase& model : Models()) {
        SCOPED_TRACE(model.name);
        std::vector<GlCall> calls = RecordCalls(model.draw);
        std::vector<GlPrimitive> got = PrimitivesOf(calls);
        size_t vertexCount = 0;
        for (const GlPrimitive& p : got)
            vertexCount += p.vertices.size();
        EXPECT_EQ(model.vertexCount, vertexCount);
        // Nothing but primitives: no state change, no vertex outside a pair.
        for (const GlCall& call : calls)
            EXPECT_TRUE(call.name == "glBegin" || call.name == "glEnd" ||
                        call.name == "glVertex2d" || call.name == "glVertex3d")
                << call.name;
        EXPECT_EQ("glEnd", calls.back().name);

        ASSERT_EQ(model.primitives.size(), got.size());
        for (size_t i = 0; i < got.size(); i++) {
            const GlPrimitive& want = model.primitives[i];
            EXPECT_EQ(want.kind, got[i].kind) << "primitive " << i;
            ASSERT_EQ(want.vertices.size(), got[i].vertices.size()) << "primitive " << i;
            for (size_t v = 0; v < want.vertices.size(); v++) {
                const GlVertex &w = want.vertices[v], &g = got[i].vertices[v];
                EXPECT_TRUE(w.x == g.x && w.y == g.y && w.z == g.z && w.is2d == g.is2d)
                    << "primitive " << i << " vertex " << v << ": got (" << g.x << ", " << g.y
                    << ", " << g.z << (g.is2d ? ", 2-D" : "") << "), want (" << w.x << ", " << w.y
                    << ", " << w.z << (w.is2d ? ", 2-D" : "") << ")";
            }
        }
    }
}

TEST(Models, RimsStopAHairShortOfTheirBounds) {
    std::vector<GlPrimitive> cylinder = PrimitivesOf(RecordCalls(DrawFramedCylinder));
    const GlVertex& upLast = cylinder[0].vertices.back();
    const GlVertex& downLast = cylinder[1].vertices.back();
    // A full sweep ends at ±6.283: just on the -X side of +Y going up, the
    // +X side going down, and does not repeat its first point (0, 20).
    EXPECT_LT(upLast.x, 0);
    EXPECT_GT(upLast.x, -20 * 2e-4);
    EXPECT_GT(downLast.x, 0);
    EXPECT_LT(downLast.x, 20 * 2e-4);
    EXPECT_LT(upLast.y, 20);
    EXPECT_GT(upLast.y, 20 - 1e-6);

    // A near cap runs from (0, r) to a hair short of -Y on the +X side.
    std::vector<GlPrimitive> arm1 = PrimitivesOf(RecordCalls(DrawArm1));
    EXPECT_EQ(0, arm1[0].vertices[1].x);
    EXPECT_EQ(15, arm1[0].vertices[1].y);
    const GlVertex& nearEnd = arm1[0].vertices.back();
    EXPECT_GT(nearEnd.x, 0);
    EXPECT_LT(nearEnd.x, 15 * 1e-4);
    EXPECT_GT(nearEnd.y, -15);

    // The far cap of the first link spans x from -70 to -60.
    double low = 0, high = -100;
    for (size_t v = 1; v < arm1[4].vertices.size(); v++) {
        low = std::min(low, arm1[4].vertices[v].x);
        high = std::max(high, arm1[4].vertices[v].x);
    }
    EXPECT_NEAR(-70, low, 1e-6);
    EXPECT_GE(high, -60);
    EXPECT_LT(high, -60 + 10 * 1e-4);
}

struct Vec {
    double x, y, z;
};

Vec Sub(Vec a, Vec b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

double Dot(Vec a, Vec b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// The polygons GL makes of a primitive, in the vertex order that decides
// which side is the front.
std::vector<std::vector<Vec>> Polygons(const GlPrimitive& p) {
    std::vector<Vec> v;
    for (const GlVertex& g : p.vertices)
        v.push_back({g.x, g.y, g.z});
    std::vector<std::vector<Vec>> polygons;
    if (p.kind == GL_TRIANGLE_FAN)
        for (size_t i = 1; i + 1 < v.size(); i++)
            polygons.push_back({v[0], v[i], v[i + 1]});
    if (p.kind == GL_QUAD_STRIP)
        for (size_t i = 0; i + 3 < v.size(); i += 2)
            polygons.push_back({v[i], v[i + 1], v[i + 3], v[i + 2]});
    if (p.kind == GL_QUADS)
        for (size_t i = 0; i + 3 < v.size(); i += 4)
            polygons.push_back({v[i], v[i + 1], v[i + 2], v[i + 3]});
    return polygons;
}

// Newell's normal: points to where the polygon is seen counter-clockwise.
Vec Normal(const std::vector<Vec>& polygon) {
    Vec n = {0, 0, 0};
    for (size_t i = 0; i < polygon.size(); i++) {
        Vec a = polygon[i], b = polygon[(i + 1) % polygon.size()];
        n.x += (a.y - b.y) * (a.z + b.z);
        n.y += (a.z - b.z) * (a.x + b.x);
        n.z += (a.x - b.x) * (a.y + b.y);
    }
    return n;
}

TEST(Models, EveryPolygonIsCounterClockwiseFromOutside) {
    // Each solid holds a segment in its middle plane from which every face
    // is seen from outside: the cylinder's mid-axis point, each link's line
    // between its end centres (the second link's kept clear of its end face).
    const struct {
        const char* name;
        void (*draw)();
        Vec spineFrom, spineTo;
    } SOLIDS[] = {
        {"Cylinder", DrawFramedCylinder, {0, 0, 10}, {0, 0, 10}},
        {"Arm1", DrawArm1, {-60, 0, 5}, {0, 0, 5}},
        {"Arm2", DrawArm2, {-40, 0, 5}, {0, 0, 5}},
    };
    for (const auto& solid : SOLIDS) {
        int faces = 0;
        for (const GlPrimitive& primitive : PrimitivesOf(RecordCalls(solid.draw)))
            for (const std::vector<Vec>& polygon : Polygons(primitive)) {
                Vec centre = {0, 0, 0};
                for (Vec v : polygon)
                    centre = {centre.x + v.x / polygon.size(), centre.y + v.y / polygon.size(),
                              centre.z + v.z / polygon.size()};
                Vec spine = Sub(solid.spineTo, solid.spineFrom);
                double length2 = Dot(spine, spine);
                double t = length2 > 0 ? Dot(Sub(centre, solid.spineFrom), spine) / length2 : 0;
                t = std::max(0.0, std::min(1.0, t));
                Vec inside = {solid.spineFrom.x + t * spine.x, solid.spineFrom.y + t * spine.y,
                              solid.spineFrom.z + t * spine.z};
                EXPECT_GT(Dot(Normal(polygon), Sub(centre, inside)), 0)
                    << solid.name << " face " << faces << " centred at (" << centre.x << ", "
                    << centre.y << ", " << centre.z << ")";
                faces++;
            }
        EXPECT_GT(faces, 0) << solid.name;
    }
}

} // namespace
