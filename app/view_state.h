// What a frame shows apart from the window's size: the model and its turn.
#pragma once

#include <stdint.h>

enum ModelKind : int32_t { Cylinder = 0, Arm1 = 1, Arm2 = 2 };

struct ViewState {
    float xRot = 0;
    float yRot = 0;
    ModelKind selectedModel = Cylinder;
};

// Turns the view by one arrow-key step; any other key leaves it as it is.
void RotateByKey(ViewState& view, unsigned keyCode);

// Shows the given model unturned.
void SelectModel(ViewState& view, ModelKind kind);
