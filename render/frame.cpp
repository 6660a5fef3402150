#include "frame.h"

#include "models.h"
#include "platform/winapi.h"

void InitRenderState() {
    glEnable(GL_DEPTH_TEST);
    glFrontFace(GL_CCW);
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    glClearColor(1, 1, 1, 1);
    glColor3f(0.5, 0.5, 0.5);
}

void ResizeView(int width, int height) {
    // A minimised window reports zero sizes; neither may divide.
    if (height == 0)
        height = 1;
    if (width == 0)
        width = 1;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (width <= height) {
        double t = 100.0 * height / width;
        glOrtho(-100, 100, -t, t, -100, 100);
    } else {
        double t = 100.0 * width / height;
        glOrtho(-t, t, -100, 100, -100, 100);
    }
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void DrawFrame(const ViewState& view) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPushMatrix();
    glRotatef(view.xRot, 1, 0, 0);
    glRotatef(view.yRot, 0, 1, 0);
    switch (view.selectedModel) {
    case Cylinder:
        DrawCylinder(20, 20);
        break;
    case Arm1:
        DrawArm1();
        break;
    case Arm2:
        DrawArm2();
        break;
    }
    glPopMatrix();
    glFlush();
}
