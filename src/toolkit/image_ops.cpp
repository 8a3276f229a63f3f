#include "image_ops.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "effects/error.h"

namespace lumavex {

void HFlip(Raster& picture)
{
    const int w = picture.width();
    for (int y = 0; y < picture.height(); ++y) {
        uint8_t* r = picture.row(y);
        for (int a = 0, b = w - 1; a < b; ++a, --b) {
            uint8_t* p = r + a * 3;
            uint8_t* q = r + b * 3;
            std::swap(p[0], q[0]);
            std::swap(p[1], q[1]);
            std::swap(p[2], q[2]);
        }
    }
}

void VFlip(Raster& picture)
{
    const size_t bytes = static_cast<size_t>(picture.width()) * 3;
    std::vector<uint8_t> line(bytes);
    for (int a = 0, b = picture.height() - 1; a < b; ++a, --b) {
        std::memcpy(line.data(), picture.row(a), bytes);
        std::memcpy(picture.row(a), picture.row(b), bytes);
        std::memcpy(picture.row(b), line.data(), bytes);
    }
}

void Negative(Raster& picture)
{
    const size_t bytes = static_cast<size_t>(picture.width()) * 3;
    for (int y = 0; y < picture.height(); ++y) {
        uint8_t* r = picture.row(y);
        for (size_t i = 0; i < bytes; ++i)
            r[i] = static_cast<uint8_t>(255 - r[i]);
    }
}

void Gray(Raster& picture)
{
    const int w = picture.width();
    for (int y = 0; y < picture.height(); ++y) {
        uint8_t* p = picture.row(y);
        for (int x = 0; x < w; ++x, p += 3) {
            const unsigned sum = 30u * p[2] + 59u * p[1] + 11u * p[0];
            const uint8_t g = static_cast<uint8_t>(sum / 100);
            p[0] = p[1] = p[2] = g;
        }
    }
}

void ResizeCanvas(Raster& picture, int width, int height, Color background)
{
    if (width < 1 || height < 1)
        throw Error(ErrorKind::BadArgument,
                    "幅と高さは 1 以上でなければなりません: " + std::to_string(width) + " x " +
                        std::to_string(height));
    checkRasterSize(width, height);
    const Color brush = picture.brushColor();
    const BrushStyle style = picture.brushStyle();
    picture.setBrushColor(background);
    try {
        picture.setSize(width, height);
    } catch (...) {
        picture.setBrushColor(brush);
        picture.setBrushStyle(style);
        throw;
    }
    picture.setBrushColor(brush);
    picture.setBrushStyle(style);
}

int64_t CountColors(const Raster& picture)
{
    // One bit for each of the 2^24 colours.
    std::vector<uint64_t> seen((1u << 24) / 64, 0);
    const int w = picture.width();
    for (int y = 0; y < picture.height(); ++y) {
        const uint8_t* p = picture.row(y);
        for (int x = 0; x < w; ++x, p += 3) {
            const uint32_t key = p[0] | p[1] << 8 | p[2] << 16;
            seen[key >> 6] |= uint64_t{1} << (key & 63);
        }
    }
    int64_t count = 0;
    for (uint64_t word : seen)
        count += __builtin_popcountll(word);
    return count;
}

}  // namespace lumavex
