// The real frame, drawn by Mesa into memory and read back, against the
// geometry the models define.
#include <gtest/gtest.h>

#include <GL/osmesa.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>

#include "geometry.h"
#include "render/frame.h"

namespace {

// A top-down RGB picture.
struct Picture {
    int width, height;
    std::vector<uint8_t> rgb;
};

// One frame as the main window draws it: fresh context, render state, size,
// frame.
Picture DrawOffscreen(ModelKind model, float xRot, float yRot, int width, int height) {
    OSMesaContext context = OSMesaCreateContextExt(OSMESA_RGBA, 24, 0, 0, NULL);
    std::vector<uint8_t> buffer((size_t)width * height * 4);
    Picture picture = {width, height, {}};
    if (context == NULL ||
        !OSMesaMakeCurrent(context, buffer.data(), GL_UNSIGNED_BYTE, width, height)) {
        ADD_FAILURE() << "OSMesa: no context";
        return picture;
    }
    ViewState view;
    view.selectedModel = model;
    view.xRot = xRot;
    view.yRot = yRot;
    InitRenderState();
    ResizeView(width, height);
    DrawFrame(view);
    glFinish();
    // OSMesa's rows run bottom-up.
    for (int y = height - 1; y >= 0; y--)
        for (int x = 0; x < width; x++)
            picture.rgb.insert(picture.rgb.end(), &buffer[((size_t)y * width + x) * 4],
                               &buffer[((size_t)y * width + x) * 4 + 3]);
    OSMesaDestroyContext(context);
    return picture;
}

std::vector<Segment> Expected(ModelKind model, float xRot, float yRot, int width, int height) {
    char command[512];
    snprintf(command, sizeof command, "%s %d %g %g %d %d", SEGMENTS_TOOL, (int)model, xRot, yRot,
             width, height);
    std::vector<Segment> segments;
    FILE* pipe = popen(command, "r");
    if (pipe == NULL)
        return segments;
    Segment s;
    while (fscanf(pipe, "%lf %lf %lf %lf", &s.x0, &s.y0, &s.x1, &s.y1) == 4)
        segments.push_back(s);
    EXPECT_EQ(0, pclose(pipe)) << command;
    return segments;
}

// Writes the picture, and a copy with the expected segments in red, for a
// person to look at.
void SavePicture(const Picture& picture, const std::vector<Segment>& expected,
                 const std::string& name) {
    std::string path = std::string(PICTURE_DIR) + "/" + name;
    WritePng(path + ".png", picture.rgb.data(), picture.width, picture.height);
    std::vector<uint8_t> overlay = picture.rgb;
    for (const Segment& s : expected) {
        int steps = std::max(1, (int)ceil(hypot(s.x1 - s.x0, s.y1 - s.y0)));
        for (int i = 0; i <= steps; i++) {
            int x = (int)floor(s.x0 + (s.x1 - s.x0) * i / steps);
            int y = (int)floor(s.y0 + (s.y1 - s.y0) * i / steps);
            if (x >= 0 && y >= 0 && x < picture.width && y < picture.height) {
                uint8_t* p = &overlay[((size_t)y * picture.width + x) * 3];
                p[0] = 255, p[1] = p[2] = 0;
            }
        }
    }
    WritePng(path + "-expected.png", overlay.data(), picture.width, picture.height);
}

bool IsLine(const Picture& p, int x, int y) {
    if (x < 0 || y < 0 || x >= p.width || y >= p.height)
        return false;
    const uint8_t* c = &p.rgb[((size_t)y * p.width + x) * 3];
    return c[0] < 224 && c[1] < 224 && c[2] < 224;
}

// Any line pixel within one pixel of (x, y).
bool LineNear(const Picture& p, double x, double y) {
    for (int dy = -1; dy <= 1; dy++)
        for (int dx = -1; dx <= 1; dx++)
            if (IsLine(p, (int)floor(x) + dx, (int)floor(y) + dy))
                return true;
    return false;
}

struct Box {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1; // inclusive pixels
};

Box LineBounds(const Picture& p) {
    Box box;
    for (int y = 0; y < p.height; y++)
        for (int x = 0; x < p.width; x++)
            if (IsLine(p, x, y)) {
                box.left = std::min(box.left, x), box.right = std::max(box.right, x);
                box.top = std::min(box.top, y), box.bottom = std::max(box.bottom, y);
            }
    return box;
}

std::string CaseName(ModelKind model, float xRot, float yRot, int width, int height) {
    static const char* NAMES[] = {"cylinder", "arm1", "arm2"};
    char name[96];
    snprintf(name, sizeof name, "%s_%g_%g_%dx%d", NAMES[model], xRot, yRot, width, height);
    return name;
}

// The geometry check, saving the picture when it fails (or always, with
// KOVRA_SAVE_PICTURES set).
void ExpectMatchesGeometry(const Picture& picture, ModelKind model, float xRot, float yRot) {
    std::vector<Segment> expected = Expected(model, xRot, yRot, picture.width, picture.height);
    PictureCheck check = CheckPicture(picture.rgb.data(), picture.width, picture.height, expected);
    std::string name = CaseName(model, xRot, yRot, picture.width, picture.height);
    if (!check.passed || getenv("KOVRA_SAVE_PICTURES") != NULL)
        SavePicture(picture, expected, name);
    EXPECT_TRUE(check.passed) << name << ": " << check.linePixels << " line pixels, "
                              << check.lineFraction << " on the geometry, " << check.coverFraction
                              << " of the geometry drawn; see " << PICTURE_DIR << "/" << name
                              << "*.png";
}

TEST(FramePixels, CylinderEndOnIsADiscOfSpokes) {
    Picture p = DrawOffscreen(Cylinder, 0, 0, 400, 400);
    ExpectMatchesGeometry(p, Cylinder, 0, 0);
    // Radius 20 units is 40 pixels in a 400-pixel square.
    EXPECT_TRUE(LineNear(p, 200, 200)) << "centre";
    const double STEP = 0.39268749952316284;
    for (int k = 0; k < 16; k++) {
        double a = (k + 0.5) * STEP, r = 40 * cos(STEP / 2); // mid-chord of the rim
        EXPECT_TRUE(LineNear(p, 200 + r * sin(a), 200 - r * cos(a))) << "rim chord " << k;
    }
    long outside = 0;
    for (int y = 0; y < 400; y++)
        for (int x = 0; x < 400; x++)
            outside += IsLine(p, x, y) && hypot(x + 0.5 - 200, y + 0.5 - 200) > 42;
    EXPECT_EQ(0, outside) << "line pixels beyond the rim";
    // 17 spokes, the first and last a hundredth of a pixel apart at this
    // radius: a circle between centre and rim crosses 16 lines.
    int crossings = 0;
    bool before = IsLine(p, 200, 200 - 30);
    for (int i = 1; i <= 4000; i++) {
        double a = 2 * M_PI * i / 4000;
        bool on = IsLine(p, (int)floor(200 + 30 * sin(a)), (int)floor(200 - 30 * cos(a)));
        crossings += on && !before;
        before = on;
    }
    EXPECT_EQ(16, crossings);
}

TEST(FramePixels, CylinderTurnedUpIsARectangleAboveTheCentre) {
    Picture p = DrawOffscreen(Cylinder, -90, 0, 400, 400);
    ExpectMatchesGeometry(p, Cylinder, -90, 0);
    // 80 pixels wide about the centre column, from the centre row 40 up.
    Box box = LineBounds(p);
    EXPECT_NEAR(160, box.left, 1);
    EXPECT_NEAR(239, box.right, 1);
    EXPECT_NEAR(160, box.top, 1);
    EXPECT_NEAR(199, box.bottom, 1);
}

TEST(FramePixels, FirstLinkSpansItsLengthLeftOfTheCentre) {
    Picture p = DrawOffscreen(Arm1, 0, 0, 400, 400);
    // x from -70 to 15 units, y from -15 to 15: 2 pixels a unit.
    Box box = LineBounds(p);
    EXPECT_NEAR(60, box.left, 1);
    EXPECT_NEAR(229, box.right, 1);
    EXPECT_NEAR(170, box.top, 1);
    EXPECT_NEAR(229, box.bottom, 1);
}

TEST(FramePixels, EveryModelMatchesItsGeometryAtSeveralTurnsAndSizes) {
    const struct {
        ModelKind model;
        float xRot, yRot;
        int width, height;
    } CASES[] = {
        {Cylinder, 20, -30, 400, 400}, {Cylinder, 0, 0, 400, 380}, {Cylinder, -45, 90, 300, 400},
        {Arm1, 0, 0, 400, 400},        {Arm1, 30, 45, 400, 400},   {Arm1, -90, 0, 400, 400},
        {Arm1, 355, -120, 400, 380},   {Arm2, 0, 0, 400, 400},     {Arm2, -45, 120, 400, 400},
        {Arm2, 180, 5, 400, 380},      {Arm2, 60, -60, 300, 400},
    };
    for (const auto& c : CASES) {
        Picture p = DrawOffscreen(c.model, c.xRot, c.yRot, c.width, c.height);
        ExpectMatchesGeometry(p, c.model, c.xRot, c.yRot);
    }
}

TEST(FramePixels, NonSquareAreaKeepsTheShorterSideTwoHundredUnits) {
    // 380 rows: 1.9 pixels a unit, the disc of radius 38 about (200, 190).
    Picture p = DrawOffscreen(Cylinder, 0, 0, 400, 380);
    Box box = LineBounds(p);
    EXPECT_NEAR(162, box.left, 1);
    EXPECT_NEAR(237, box.right, 1);
    EXPECT_NEAR(152, box.top, 1);
    EXPECT_NEAR(227, box.bottom, 1);
}

TEST(FramePixels, CheckRejectsAnotherModelAnotherTurnAndABlankPicture) {
    Picture p = DrawOffscreen(Arm1, 30, 45, 400, 400);
    const struct {
        const char* what;
        ModelKind model;
        float xRot, yRot;
    } WRONG[] = {
        {"the other link", Arm2, 30, 45}, {"the cylinder", Cylinder, 30, 45},
        {"yRot off by 10", Arm1, 30, 55}, {"xRot off by 10", Arm1, 40, 45},
        {"angles swapped", Arm1, 45, 30}, {"unturned", Arm1, 0, 0},
    };
    for (const auto& w : WRONG) {
        PictureCheck check = CheckPicture(p.rgb.data(), p.width, p.height,
                                          Expected(w.model, w.xRot, w.yRot, 400, 400));
        EXPECT_FALSE(check.passed)
            << w.what << ": " << check.lineFraction << ", " << check.coverFraction;
    }
    std::vector<uint8_t> blank(400 * 400 * 3, 255);
    EXPECT_FALSE(CheckPicture(blank.data(), 400, 400, Expected(Arm1, 30, 45, 400, 400)).passed);
}

} // namespace
