// The render state, the projection and the drawing of one frame.
#pragma once

#include "app/view_state.h"

// Once, right after the rendering context is made current.
void InitRenderState();

// On every size change of the client area, in pixels.
void ResizeView(int width, int height);

// On every repaint; the caller presents the frame.
void DrawFrame(const ViewState& view);
