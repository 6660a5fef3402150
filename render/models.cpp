#include "models.h"

#include <math.h>

#include "platform/winapi.h"

// A run of rim angles: from first, stepping by step, while within bound.
struct Sweep {
    double first;
    double step;
    double bound;
};

static const Sweep FULL_UP = {0, SWEEP_STEP, SWEEP_FULL};
static const Sweep FULL_DOWN = {0, -SWEEP_STEP, -SWEEP_FULL};
static const Sweep NEAR_HALF_UP = {0, SWEEP_STEP, PI_APPROX};
static const Sweep NEAR_HALF_DOWN = {PI_APPROX, -SWEEP_STEP, 0};
static const Sweep FAR_HALF_UP = {PI_APPROX, SWEEP_STEP, SWEEP_FULL};
static const Sweep FAR_HALF_DOWN = {SWEEP_FULL, -SWEEP_STEP, PI_APPROX};

// The bound is met exactly by repeated addition, so it is included.
static bool WithinSweep(const Sweep& sweep, double angle) {
    return sweep.step > 0 ? angle <= sweep.bound : angle >= sweep.bound;
}

// Cap at z = 0 about (cx, 0): its rim is issued in 2-D.
static void DrawBottomCap(double cx, double radius, const Sweep& sweep) {
    glBegin(GL_TRIANGLE_FAN);
    glVertex3d(cx, 0, 0);
    for (double a = sweep.first; WithinSweep(sweep, a); a += sweep.step)
        glVertex2d(cx + radius * sin(a), radius * cos(a));
    glEnd();
}

// Cap at z = height about (cx, 0).
static void DrawTopCap(double cx, double radius, double height, const Sweep& sweep) {
    glBegin(GL_TRIANGLE_FAN);
    glVertex3d(cx, 0, height);
    for (double a = sweep.first; WithinSweep(sweep, a); a += sweep.step)
        glVertex3d(cx + radius * sin(a), radius * cos(a), height);
    glEnd();
}

// Curved wall between the caps, top edge first in each pair.
static void DrawWall(double cx, double radius, double height, const Sweep& sweep) {
    glBegin(GL_QUAD_STRIP);
    for (double a = sweep.first; WithinSweep(sweep, a); a += sweep.step) {
        double x = cx + radius * sin(a);
        double y = radius * cos(a);
        glVertex3d(x, y, height);
        glVertex3d(x, y, 0);
    }
    glEnd();
}

// Flat faces, four vertices each.
static void DrawQuads(const double (*vertices)[3], int count) {
    glBegin(GL_QUADS);
    for (int i = 0; i < count; i++)
        glVertex3d(vertices[i][0], vertices[i][1], vertices[i][2]);
    glEnd();
}

void DrawCylinder(double height, double radius) {
    DrawBottomCap(0, radius, FULL_UP);
    DrawTopCap(0, radius, height, FULL_DOWN);
    DrawWall(0, radius, height, FULL_DOWN);
}

void DrawArm1() {
    static const double FLAT_FACES[16][3] = {
        {0, -15, 0},   {-60, -10, 0},  {-60, 10, 0},   {0, 15, 0},    // underside
        {0, -15, 10},  {0, 15, 10},    {-60, 10, 10},  {-60, -10, 10}, // top
        {0, 15, 10},   {0, 15, 0},     {-60, 10, 0},   {-60, 10, 10},  // +Y side
        {0, -15, 10},  {-60, -10, 10}, {-60, -10, 0},  {0, -15, 0},    // -Y side
    };
    // Near end, radius 15 about the origin.
    DrawBottomCap(0, 15, NEAR_HALF_UP);
    DrawTopCap(0, 15, 10, NEAR_HALF_DOWN);
    DrawWall(0, 15, 10, NEAR_HALF_DOWN);
    DrawQuads(FLAT_FACES, 16);
    // Far end, radius 10 about (-60, 0).
    DrawBottomCap(-60, 10, FAR_HALF_UP);
    DrawTopCap(-60, 10, 10, FAR_HALF_DOWN);
    DrawWall(-60, 10, 10, FAR_HALF_DOWN);
}

void DrawArm2() {
    static const double FLAT_FACES[20][3] = {
        {0, -10, 0},   {-50, -5, 0},  {-50, 5, 0},   {0, 10, 0},    // underside
        {0, -10, 10},  {0, 10, 10},   {-50, 5, 10},  {-50, -5, 10}, // top
        {0, 10, 10},   {0, 10, 0},    {-50, 5, 0},   {-50, 5, 10},  // +Y side
        {0, -10, 10},  {-50, -5, 10}, {-50, -5, 0},  {0, -10, 0},   // -Y side
        {-50, 5, 10},  {-50, 5, 0},   {-50, -5, 0},  {-50, -5, 10}, // end face
    };
    // Near end, radius 10 about the origin.
    DrawBottomCap(0, 10, NEAR_HALF_UP);
    DrawTopCap(0, 10, 10, NEAR_HALF_DOWN);
    DrawWall(0, 10, 10, NEAR_HALF_DOWN);
    DrawQuads(FLAT_FACES, 20);
}
