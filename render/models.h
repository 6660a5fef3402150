// The three link models, issued as immediate-mode primitives in model units.
#pragma once

// 3.1415 taken at single precision, and the sweep constants derived from it;
// every multiple of SWEEP_STEP up to 17 is exact, so sweeps meet their bounds.
constexpr double PI_APPROX = 3.1414999961853027;
constexpr double SWEEP_STEP = 0.39268749952316284;
constexpr double SWEEP_FULL = 6.2829999923706055;

// A closed cylinder on the Z axis from z = 0 to z = height.
void DrawCylinder(double height, double radius);

// The first arm link: rounded at both ends, 10 thick.
void DrawArm1();

// The second arm link: rounded near end, flat far end, 10 thick.
void DrawArm2();
