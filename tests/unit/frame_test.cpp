// The render state, the projection on a size change, and one frame's calls.
#include <gtest/gtest.h>

#include "gl_recorder.h"
#include "render/frame.h"
#include "render/models.h"

namespace {

class Frame : public testing::Test {
  protected:
    void SetUp() override {
        ResetGlRecorder();
    }
};

TEST_F(Frame, RenderStateIsGreyOutlinesOnWhiteWithDepth) {
    InitRenderState();
    std::vector<GlCall> want = {
        {"glEnable", {GL_DEPTH_TEST}},
        {"glFrontFace", {GL_CCW}},
        {"glPolygonMode", {GL_FRONT_AND_BACK, GL_LINE}},
        {"glClearColor", {1, 1, 1, 1}},
        {"glColor3f", {0.5, 0.5, 0.5}},
    };
    EXPECT_EQ(want, glRecorder.calls);
}

TEST_F(Frame, ResizeShowsTwoHundredUnitsAcrossTheShorterSide) {
    const struct {
        int width, height;
        double viewportWidth, viewportHeight;
        double left, right, bottom, top;
    } CASES[] = {
        {400, 300, 400, 300, -400.0 / 3, 400.0 / 3, -100, 100},
        {300, 400, 300, 400, -100, 100, -400.0 / 3, 400.0 / 3},
        {400, 400, 400, 400, -100, 100, -100, 100},
        {1, 1, 1, 1, -100, 100, -100, 100},
        // Minimised: a zero side counts as 1 pixel and divides nothing by 0.
        {400, 0, 400, 1, -40000, 40000, -100, 100},
        {0, 400, 1, 400, -100, 100, -40000, 40000},
        {0, 0, 1, 1, -100, 100, -100, 100},
    };
    for (const auto& c : CASES) {
        ResetGlRecorder();
        ResizeView(c.width, c.height);
        const std::vector<GlCall>& got = glRecorder.calls;
        ASSERT_EQ(6u, got.size()) << c.width << "x" << c.height;
        EXPECT_EQ((GlCall{"glViewport", {0, 0, c.viewportWidth, c.viewportHeight}}), got[0])
            << c.width << "x" << c.height;
        EXPECT_EQ((GlCall{"glMatrixMode", {GL_PROJECTION}}), got[1]);
        EXPECT_EQ((GlCall{"glLoadIdentity", {}}), got[2]);
        ASSERT_EQ("glOrtho", got[3].name);
        const double want[6] = {c.left, c.right, c.bottom, c.top, -100, 100};
        for (int i = 0; i < 6; i++)
            EXPECT_DOUBLE_EQ(want[i], got[3].args[i])
                << c.width << "x" << c.height << " glOrtho argument " << i;
        EXPECT_EQ((GlCall{"glMatrixMode", {GL_MODELVIEW}}), got[4]);
        EXPECT_EQ((GlCall{"glLoadIdentity", {}}), got[5]);
    }
}

void DrawFramedCylinder() {
    DrawCylinder(20, 20);
}

TEST_F(Frame, DrawsTheSelectedModelTurnedAboutXThenY) {
    const struct {
        int model;
        float xRot, yRot;
        void (*draw)(); // null: nothing between the turns and the pop
    } CASES[] = {
        {Cylinder, 15, -30, DrawFramedCylinder},
        {Arm1, -355, 355, DrawArm1},
        {Arm2, 90, 5, DrawArm2},
        {3, 10, 20, nullptr},
        {-1, 0, 0, nullptr},
    };
    for (const auto& c : CASES) {
        ViewState view;
        view.selectedModel = (ModelKind)c.model;
        view.xRot = c.xRot;
        view.yRot = c.yRot;
        ResetGlRecorder();
        DrawFrame(view);

        std::vector<GlCall> want = {
            {"glClear", {GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT}},
            {"glPushMatrix", {}},
            {"glRotatef", {c.xRot, 1, 0, 0}},
            {"glRotatef", {c.yRot, 0, 1, 0}},
        };
        if (c.draw != nullptr) {
            std::vector<GlCall> model = RecordCalls(c.draw);
            want.insert(want.end(), model.begin(), model.end());
        }
        want.push_back({"glPopMatrix", {}});
        want.push_back({"glFlush", {}});
        EXPECT_EQ(want, glRecorder.calls) << "model " << c.model;
    }
}

} // namespace
