#pragma once

// Hand-made device-independent bitmaps: every header, depth and compression, laid out byte by
// byte, so that the reader is judged against the format and not against the writer.

#include <cstdint>
#include <vector>

#include "core/raster.h"

namespace lumavex::test {

struct DibLayout {
    uint32_t headerSize = 40;
    int32_t width = 1;
    int32_t height = 1;  // negative: top-down
    uint16_t bits = 24;
    uint32_t compression = 0;
    uint32_t colorsUsed = 0;
    std::vector<Color> palette;   // written as blue, green, red (and a zero byte unless core)
    std::vector<uint32_t> masks;  // inside headers of 52 bytes and more, else after the header
    std::vector<uint8_t> pixels;  // in file order
    bool fileHeader = true;
    int64_t pixelOffset = -1;  // the file header's offset; -1: right after the colour table
};

inline void putLE(std::vector<uint8_t>& b, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

inline std::vector<uint8_t> makeDib(const DibLayout& s)
{
    std::vector<uint8_t> d;
    putLE(d, s.headerSize, 4);
    if (s.headerSize == 12) {
        putLE(d, static_cast<uint32_t>(s.width), 2);
        putLE(d, static_cast<uint32_t>(s.height), 2);
        putLE(d, 1, 2);
        putLE(d, s.bits, 2);
    } else {
        putLE(d, static_cast<uint32_t>(s.width), 4);
        putLE(d, static_cast<uint32_t>(s.height), 4);
        putLE(d, 1, 2);
        putLE(d, s.bits, 2);
        if (s.headerSize >= 40) {
            putLE(d, s.compression, 4);
            putLE(d, static_cast<uint32_t>(s.pixels.size()), 4);
            putLE(d, 2835, 4);
            putLE(d, 2835, 4);
            putLE(d, s.colorsUsed, 4);
            putLE(d, 0, 4);
        }
        for (size_t i = 0; s.headerSize >= 52 && i < 4 && d.size() + 4 <= s.headerSize; ++i)
            putLE(d, i < s.masks.size() ? s.masks[i] : 0, 4);
        d.resize(s.headerSize, 0);
        if (s.headerSize < 52)
            for (uint32_t m : s.masks)
                putLE(d, m, 4);
    }
    for (Color c : s.palette) {
        d.push_back(static_cast<uint8_t>(blueOf(c)));
        d.push_back(static_cast<uint8_t>(greenOf(c)));
        d.push_back(static_cast<uint8_t>(redOf(c)));
        if (s.headerSize != 12)
            d.push_back(0);
    }
    const uint32_t offset = 14 + static_cast<uint32_t>(d.size());
    d.insert(d.end(), s.pixels.begin(), s.pixels.end());
    if (!s.fileHeader)
        return d;
    std::vector<uint8_t> f = {'B', 'M'};
    putLE(f, static_cast<uint32_t>(14 + d.size()), 4);
    putLE(f, 0, 4);
    putLE(f, s.pixelOffset >= 0 ? static_cast<uint32_t>(s.pixelOffset) : offset, 4);
    f.insert(f.end(), d.begin(), d.end());
    return f;
}

/// Packs rows of colour indexes (or of bytes, with bits 8) into rows padded to 4 bytes, most
/// significant bits first, in the order given.
inline std::vector<uint8_t> packIndexes(const std::vector<std::vector<unsigned>>& rows, int bits)
{
    std::vector<uint8_t> out;
    for (const auto& row : rows) {
        std::vector<uint8_t> bytes((row.size() * bits + 31) / 32 * 4, 0);
        for (size_t x = 0; x < row.size(); ++x) {
            const size_t bit = x * bits;
            bytes[bit / 8] |= static_cast<uint8_t>(row[x] << (8 - bits - bit % 8));
        }
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    return out;
}

}  // namespace lumavex::test
