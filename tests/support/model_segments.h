// The expected picture of one model, from its own drawing routine run
// through the GL recorder. Links the recorder: not for binaries that draw
// with the real GL.
#pragma once

#include "app/view_state.h"
#include "geometry.h"

// The segments a frame of the model at the turn shows in a client area of
// width × height pixels; none for an unknown model.
std::vector<Segment> ExpectedSegments(ModelKind model, float xRot, float yRot, int width,
                                      int height);
