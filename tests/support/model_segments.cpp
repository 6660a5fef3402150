#include "model_segments.h"

#include "render/models.h"

// The cylinder as the frame draws it.
static void DrawFramedCylinder() {
    DrawCylinder(20, 20);
}

std::vector<Segment> ExpectedSegments(ModelKind model, float xRot, float yRot, int width,
                                      int height) {
    void (*draw)() = model == Cylinder ? DrawFramedCylinder
                     : model == Arm1   ? DrawArm1
                     : model == Arm2   ? DrawArm2
                                       : nullptr;
    if (draw == nullptr)
        return {};
    std::vector<GlPrimitive> primitives = PrimitivesOf(RecordCalls(draw));
    return ProjectEdges(OutlineEdges(primitives), xRot, yRot, width, height);
}
