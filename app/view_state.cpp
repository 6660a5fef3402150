#include "view_state.h"

#include "platform/winapi.h"

// Keeps an angle within one turn; C++'s % already follows the dividend's
// sign, so negative angles stay negative.
static float ReduceAngle(float degrees) {
    return (float)((int32_t)degrees % 360);
}

void RotateByKey(ViewState& view, unsigned keyCode) {
    float a = view.xRot;
    if (keyCode == VK_UP)
        a -= 5;
    if (keyCode == VK_DOWN)
        a += 5;
    float b = view.yRot;
    if (keyCode == VK_LEFT)
        b -= 5;
    if (keyCode == VK_RIGHT)
        b += 5;
    view.xRot = ReduceAngle(a);
    view.yRot = ReduceAngle(b);
}

void SelectModel(ViewState& view, ModelKind kind) {
    view.selectedModel = kind;
    view.xRot = 0;
    view.yRot = 0;
}
