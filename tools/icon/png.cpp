#include "png.h"

#include <stdio.h>

#include <algorithm>
#include <vector>

// PNG checksums every chunk with CRC-32; the icon is small, so no table.
static uint32_t Crc32(const uint8_t* data, size_t size) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; i++) {
        crc ^= data[i];
        for (int k = 0; k < 8; k++)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

// The zlib stream ends with the Adler-32 of the uncompressed data.
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

static void PutChunk(std::vector<uint8_t>& file, const char* type,
                     const std::vector<uint8_t>& data) {
    PutBigEndian(file, (uint32_t)data.size());
    size_t start = file.size();
    file.insert(file.end(), type, type + 4);
    file.insert(file.end(), data.begin(), data.end());
    PutBigEndian(file, Crc32(file.data() + start, file.size() - start));
}

// Stored (uncompressed) deflate blocks: a 48-pixel icon gains little from
// compression and the writer stays free of zlib.
static std::vector<uint8_t> StoredZlib(const std::vector<uint8_t>& raw) {
    std::vector<uint8_t> out = {0x78, 0x01};
    size_t at = 0;
    do {
        size_t size = std::min<size_t>(65535, raw.size() - at);
        out.push_back(at + size == raw.size() ? 1 : 0);
        out.push_back((uint8_t)size);
        out.push_back((uint8_t)(size >> 8));
        out.push_back((uint8_t)~size);
        out.push_back((uint8_t)(~size >> 8));
        out.insert(out.end(), raw.begin() + at, raw.begin() + at + size);
        at += size;
    } while (at < raw.size());
    PutBigEndian(out, Adler32(raw));
    return out;
}

bool WriteCoveragePng(const std::string& path, const Coverage& coverage, uint8_t grey) {
    std::vector<uint8_t> raw;
    for (int y = 0; y < coverage.height; y++) {
        raw.push_back(0); // filter type: none
        for (int x = 0; x < coverage.width; x++)
            raw.insert(raw.end(),
                       {grey, grey, grey, coverage.alpha[(size_t)y * coverage.width + x]});
    }
    std::vector<uint8_t> header;
    PutBigEndian(header, coverage.width);
    PutBigEndian(header, coverage.height);
    header.insert(header.end(), {8, 6, 0, 0, 0}); // 8 bits a channel, RGBA

    std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    PutChunk(file, "IHDR", header);
    PutChunk(file, "IDAT", StoredZlib(raw));
    PutChunk(file, "IEND", {});
    FILE* out = fopen(path.c_str(), "wb");
    if (out == NULL)
        return false;
    bool written = fwrite(file.data(), 1, file.size(), out) == file.size();
    return fclose(out) == 0 && written;
}
