// The icon maker's pictures against the cylinder the frame draws: the SVG's
// lines are the frame's lines at the icon's turn, and the PNG shows them.
#include <gtest/gtest.h>

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <fstream>

#include "model_segments.h"

namespace {

struct Svg {
    int width = 0, height = 0;
    double viewX = 0, viewY = 0, viewWidth = 0, viewHeight = 0;
    std::string stroke;
    std::vector<Segment> lines;
};

// The icon maker writes one element a line; this reads what it writes.
Svg ReadSvg(const std::string& path) {
    Svg svg;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        const char* at;
        Segment s;
        if ((at = strstr(line.c_str(), "<svg ")) != NULL) {
            sscanf(strstr(at, "width="), "width=\"%d\"", &svg.width);
            sscanf(strstr(at, "height="), "height=\"%d\"", &svg.height);
            sscanf(strstr(at, "viewBox="), "viewBox=\"%lf %lf %lf %lf\"", &svg.viewX, &svg.viewY,
                   &svg.viewWidth, &svg.viewHeight);
        } else if ((at = strstr(line.c_str(), "stroke=\"")) != NULL) {
            svg.stroke = std::string(at + 8, 7);
        } else if (sscanf(line.c_str(), "<line x1=\"%lf\" y1=\"%lf\" x2=\"%lf\" y2=\"%lf\"", &s.x0,
                          &s.y0, &s.x1, &s.y1) == 4) {
            svg.lines.push_back(s);
        }
    }
    return svg;
}

// Runs the icon maker; the files land in the test's own folder.
bool MakeIcon(int size, std::string& svgPath, std::string& pngPath) {
    std::string base = std::string(WORK_DIR) + "/icon-" + std::to_string(size);
    svgPath = base + ".svg", pngPath = base + ".png";
    std::string command =
        std::string(ICON_TOOL) + " " + svgPath + " " + pngPath + " " + std::to_string(size);
    return system(command.c_str()) == 0;
}

// ImageMagick reads the PNG, so a malformed file fails here as it would in
// a desktop's icon loader.
bool ReadPng(const std::string& path, int& width, int& height, std::vector<uint8_t>& rgba) {
    std::string command = "identify -format '%w %h' " + path;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == NULL || fscanf(pipe, "%d %d", &width, &height) != 2) {
        if (pipe != NULL)
            pclose(pipe);
        return false;
    }
    if (pclose(pipe) != 0)
        return false;
    pipe = popen(("convert " + path + " -depth 8 rgba:-").c_str(), "r");
    if (pipe == NULL)
        return false;
    rgba.resize((size_t)width * height * 4);
    size_t got = fread(rgba.data(), 1, rgba.size(), pipe);
    return pclose(pipe) == 0 && got == rgba.size();
}

// Lines moved so their box starts at the origin and scaled so its longer
// side is 1: the shape, whatever size it was laid out at.
std::vector<Segment> Normalised(std::vector<Segment> lines) {
    double left = 1e9, top = 1e9, right = -1e9, bottom = -1e9;
    for (const Segment& s : lines) {
        left = std::min({left, s.x0, s.x1}), right = std::max({right, s.x0, s.x1});
        top = std::min({top, s.y0, s.y1}), bottom = std::max({bottom, s.y0, s.y1});
    }
    double side = std::max(right - left, bottom - top);
    for (Segment& s : lines)
        s = {(s.x0 - left) / side, (s.y0 - top) / side, (s.x1 - left) / side, (s.y1 - top) / side};
    return lines;
}

// How far apart two lines' ends are, either way round.
double LineDistance(const Segment& a, const Segment& b) {
    double same =
        std::max({fabs(a.x0 - b.x0), fabs(a.y0 - b.y0), fabs(a.x1 - b.x1), fabs(a.y1 - b.y1)});
    double swapped =
        std::max({fabs(a.x0 - b.x1), fabs(a.y0 - b.y1), fabs(a.x1 - b.x0), fabs(a.y1 - b.y0)});
    return std::min(same, swapped);
}

// The two sets hold the same lines, each matched once, in any order.
testing::AssertionResult SameLines(const std::vector<Segment>& a, const std::vector<Segment>& b,
                                   double tolerance) {
    if (a.size() != b.size())
        return testing::AssertionFailure() << a.size() << " lines against " << b.size();
    std::vector<bool> used(b.size(), false);
    for (size_t i = 0; i < a.size(); i++) {
        size_t k = 0;
        while (k < b.size() && (used[k] || LineDistance(a[i], b[k]) > tolerance))
            k++;
        if (k == b.size())
            return testing::AssertionFailure()
                   << "line " << i << " (" << a[i].x0 << ", " << a[i].y0 << ") - (" << a[i].x1
                   << ", " << a[i].y1 << ") has no match";
        used[k] = true;
    }
    return testing::AssertionSuccess();
}

TEST(Icon, SvgIsTheCylinderAsTheFrameDrawsItAtTheIconsTurn) {
    std::string svgPath, pngPath;
    ASSERT_TRUE(MakeIcon(48, svgPath, pngPath));
    Svg svg = ReadSvg(svgPath);
    EXPECT_EQ(48, svg.width);
    EXPECT_EQ(48, svg.height);
    EXPECT_EQ("#808080", svg.stroke) << "the frame's grey";
    ASSERT_GT(svg.viewWidth, 0);
    EXPECT_DOUBLE_EQ(svg.viewWidth, svg.viewHeight);

    std::vector<Segment> frame = ExpectedSegments(Cylinder, ICON_XROT, ICON_YROT, 400, 400);
    EXPECT_TRUE(SameLines(Normalised(svg.lines), Normalised(frame), 1e-3));
    // Another turn is another shape, so the comparison can tell.
    EXPECT_FALSE(SameLines(
        Normalised(svg.lines),
        Normalised(ExpectedSegments(Cylinder, ICON_XROT, ICON_YROT + 10, 400, 400)), 1e-3));

    // Nothing is cut off, and the lines fill the view but for a margin.
    double left = 1e9, right = -1e9, top = 1e9, bottom = -1e9;
    for (const Segment& s : svg.lines) {
        left = std::min({left, s.x0, s.x1}), right = std::max({right, s.x0, s.x1});
        top = std::min({top, s.y0, s.y1}), bottom = std::max({bottom, s.y0, s.y1});
    }
    EXPECT_GT(left, svg.viewX);
    EXPECT_LT(right, svg.viewX + svg.viewWidth);
    EXPECT_GT(top, svg.viewY);
    EXPECT_LT(bottom, svg.viewY + svg.viewHeight);
    EXPECT_GT(std::max(right - left, bottom - top), 0.8 * svg.viewWidth);
}

TEST(Icon, PngShowsTheSvgLinesOnATransparentSquare) {
    for (int size : {48, 192}) {
        SCOPED_TRACE(size);
        std::string svgPath, pngPath;
        ASSERT_TRUE(MakeIcon(size, svgPath, pngPath));
        Svg svg = ReadSvg(svgPath);
        int width = 0, height = 0;
        std::vector<uint8_t> rgba;
        ASSERT_TRUE(ReadPng(pngPath, width, height, rgba)) << pngPath;
        ASSERT_EQ(size, width);
        ASSERT_EQ(size, height);

        // Over white, as a light desktop shows it, for the picture check.
        std::vector<uint8_t> rgb;
        int opaque = 0, clear = 0;
        for (size_t i = 0; i < rgba.size(); i += 4) {
            uint8_t a = rgba[i + 3];
            opaque += a == 255, clear += a == 0;
            for (int c = 0; c < 3; c++)
                rgb.push_back((uint8_t)((rgba[i + c] * a + 255 * (255 - a) + 127) / 255));
            if (a > 0) {
                EXPECT_EQ(128, rgba[i]) << "a line pixel is not the frame's grey";
            }
        }
        EXPECT_GT(opaque, 0);
        EXPECT_GT(clear, size * size / 3) << "the background is not transparent";
        for (int corner : {0, size - 1, size * (size - 1), size * size - 1})
            EXPECT_EQ(0, rgba[corner * 4 + 3]);

        double scale = size / svg.viewWidth;
        std::vector<Segment> expected;
        for (const Segment& s : svg.lines)
            expected.push_back({(s.x0 - svg.viewX) * scale, (s.y0 - svg.viewY) * scale,
                                (s.x1 - svg.viewX) * scale, (s.y1 - svg.viewY) * scale});
        PictureCheck check = CheckPicture(rgb.data(), size, size, expected);
        EXPECT_TRUE(check.passed) << check.linePixels << " line pixels, " << check.lineFraction
                                  << " on the lines, " << check.coverFraction << " drawn";
    }
}

} // namespace
