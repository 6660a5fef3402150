#include "geometry.h"

#include <math.h>
#include <stdio.h>

#include <algorithm>

// How far, in pixels, a drawn line may lie from where the geometry puts it:
// rasterisation moves a line by under a pixel, a wrong turn moves it by more.
static const double REACH = 2.0;

// Shares the two fractions must reach for a picture to pass.
static const double MIN_LINE_FRACTION = 0.98;
static const double MIN_COVER_FRACTION = 0.95;

// Background is white; the lines are mid grey. Anything darker than this in
// every channel is taken as a line.
static const int LINE_LEVEL = 224;

std::vector<Edge3> OutlineEdges(const std::vector<GlPrimitive>& primitives) {
    std::vector<Edge3> edges;
    for (const GlPrimitive& primitive : primitives) {
        std::vector<Point3> v;
        for (const GlVertex& vertex : primitive.vertices)
            v.push_back({vertex.x, vertex.y, vertex.z});
        size_t n = v.size();
        switch (primitive.kind) {
        case GL_TRIANGLE_FAN:
            for (size_t i = 1; i < n; i++)
                edges.push_back({v[0], v[i]});
            for (size_t i = 1; i + 1 < n; i++)
                edges.push_back({v[i], v[i + 1]});
            break;
        case GL_QUAD_STRIP:
            for (size_t i = 0; i + 1 < n; i += 2)
                edges.push_back({v[i], v[i + 1]});
            for (size_t i = 0; i + 2 < n; i++)
                edges.push_back({v[i], v[i + 2]});
            break;
        case GL_QUADS:
            for (size_t i = 0; i + 3 < n; i += 4)
                for (size_t k = 0; k < 4; k++)
                    edges.push_back({v[i + k], v[i + (k + 1) % 4]});
            break;
        }
    }
    return edges;
}

// The turn of the frame: about Y first, then about X, both right-handed.
static Point3 Turn(Point3 p, double xRot, double yRot) {
    const double DEGREE = acos(-1.0) / 180;
    double ay = yRot * DEGREE, ax = xRot * DEGREE;
    Point3 q = {p.x * cos(ay) + p.z * sin(ay), p.y, -p.x * sin(ay) + p.z * cos(ay)};
    return {q.x, q.y * cos(ax) - q.z * sin(ax), q.y * sin(ax) + q.z * cos(ax)};
}

std::vector<Segment> ProjectEdges(const std::vector<Edge3>& edges, float xRot, float yRot,
                                  int width, int height) {
    double scale = std::min(width, height) / 200.0; // pixels per model unit
    std::vector<Segment> segments;
    for (const Edge3& edge : edges) {
        Point3 a = Turn(edge.a, xRot, yRot), b = Turn(edge.b, xRot, yRot);
        segments.push_back({width / 2.0 + a.x * scale, height / 2.0 - a.y * scale,
                            width / 2.0 + b.x * scale, height / 2.0 - b.y * scale});
    }
    return segments;
}

// Distance from a point to a segment, for "is this pixel on that line".
static double DistanceToSegment(double px, double py, const Segment& s) {
    double dx = s.x1 - s.x0, dy = s.y1 - s.y0;
    double length2 = dx * dx + dy * dy;
    double t = length2 > 0 ? ((px - s.x0) * dx + (py - s.y0) * dy) / length2 : 0;
    t = std::max(0.0, std::min(1.0, t));
    return hypot(px - (s.x0 + t * dx), py - (s.y0 + t * dy));
}

static bool IsLinePixel(const uint8_t* rgb, int width, int x, int y) {
    const uint8_t* p = rgb + 3 * ((size_t)y * width + x);
    return p[0] < LINE_LEVEL && p[1] < LINE_LEVEL && p[2] < LINE_LEVEL;
}

PictureCheck CheckPicture(const uint8_t* rgb, int width, int height,
                          const std::vector<Segment>& expected) {
    // Mark every pixel whose centre lies within reach of an expected segment.
    std::vector<bool> nearExpected((size_t)width * height, false);
    int r = (int)ceil(REACH);
    for (const Segment& s : expected) {
        int x0 = std::max(0, (int)floor(std::min(s.x0, s.x1)) - r);
        int x1 = std::min(width - 1, (int)floor(std::max(s.x0, s.x1)) + r);
        int y0 = std::max(0, (int)floor(std::min(s.y0, s.y1)) - r);
        int y1 = std::min(height - 1, (int)floor(std::max(s.y0, s.y1)) + r);
        for (int y = y0; y <= y1; y++)
            for (int x = x0; x <= x1; x++)
                if (DistanceToSegment(x + 0.5, y + 0.5, s) <= REACH)
                    nearExpected[(size_t)y * width + x] = true;
    }
    PictureCheck check = {0, 0, 0, false};
    long lineNear = 0;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            if (IsLinePixel(rgb, width, x, y)) {
                check.linePixels++;
                lineNear += nearExpected[(size_t)y * width + x];
            }

    // Walk each segment a pixel at a time and look for a line pixel nearby.
    long samples = 0, covered = 0;
    for (const Segment& s : expected) {
        int steps = std::max(1, (int)ceil(hypot(s.x1 - s.x0, s.y1 - s.y0)));
        for (int i = 0; i <= steps; i++) {
            double px = s.x0 + (s.x1 - s.x0) * i / steps, py = s.y0 + (s.y1 - s.y0) * i / steps;
            if (px < 0 || py < 0 || px >= width || py >= height)
                continue;
            samples++;
            bool found = false;
            for (int y = (int)floor(py) - r; y <= (int)floor(py) + r && !found; y++)
                for (int x = (int)floor(px) - r; x <= (int)floor(px) + r && !found; x++)
                    found = x >= 0 && y >= 0 && x < width && y < height &&
                            IsLinePixel(rgb, width, x, y) &&
                            hypot(x + 0.5 - px, y + 0.5 - py) <= REACH;
            covered += found;
        }
    }
    check.lineFraction = check.linePixels ? (double)lineNear / check.linePixels : 0;
    check.coverFraction = samples ? (double)covered / samples : 0;
    check.passed =
        check.lineFraction >= MIN_LINE_FRACTION && check.coverFraction >= MIN_COVER_FRACTION;
    return check;
}

// PNG needs these two checksums; a table-free CRC is fast enough for a few
// pictures written on failure.
static uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t size) {
    crc = ~crc;
    for (size_t i = 0; i < size; i++) {
        crc ^= data[i];
        for (int k = 0; k < 8; k++)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

static uint32_t Adler32(const std::vector<uint8_t>& data) {
    uint32_t a = 1, b = 0;
    for (uint8_t byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

static void PutBigEndian(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back((uint8_t)(value >> shift));
}

static void PutChunk(FILE* file, const char* type, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> chunk;
    PutBigEndian(chunk, (uint32_t)data.size());
    chunk.insert(chunk.end(), type, type + 4);
    chunk.insert(chunk.end(), data.begin(), data.end());
    PutBigEndian(chunk, Crc32(0, chunk.data() + 4, chunk.size() - 4));
    fwrite(chunk.data(), 1, chunk.size(), file);
}

// Uncompressed ("stored") deflate blocks keep the writer free of zlib.
bool WritePng(const std::string& path, const uint8_t* rgb, int width, int height) {
    std::vector<uint8_t> raw;
    for (int y = 0; y < height; y++) {
        raw.push_back(0); // no filter
        raw.insert(raw.end(), rgb + (size_t)y * width * 3, rgb + (size_t)(y + 1) * width * 3);
    }
    std::vector<uint8_t> zlib = {0x78, 0x01};
    for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
        size_t size = std::min<size_t>(65535, raw.size() - at);
        zlib.push_back(at + size >= raw.size() ? 1 : 0);
        zlib.push_back((uint8_t)size);
        zlib.push_back((uint8_t)(size >> 8));
        zlib.push_back((uint8_t)~size);
        zlib.push_back((uint8_t)(~size >> 8));
        zlib.insert(zlib.end(), raw.begin() + at, raw.begin() + at + size);
    }
    PutBigEndian(zlib, Adler32(raw));

    std::vector<uint8_t> header;
    PutBigEndian(header, width);
    PutBigEndian(header, height);
    header.insert(header.end(), {8, 2, 0, 0, 0}); // 8-bit RGB
    FILE* file = fopen(path.c_str(), "wb");
    if (file == NULL)
        return false;
    static const uint8_t SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    fwrite(SIGNATURE, 1, 8, file);
    PutChunk(file, "IHDR", header);
    PutChunk(file, "IDAT", zlib);
    PutChunk(file, "IEND", {});
    return fclose(file) == 0;
}
