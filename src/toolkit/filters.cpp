#include "filters.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "effects/error.h"

namespace lumavex {

namespace {

// Horizontal step of the box filter over one row of vertical sums; a constant divisor lets the
// compiler turn the division into a vectorised multiply.
template <int Divisor>
void boxRow(const uint16_t* sums, uint8_t* out, int width)
{
    const int n = width * 3;
    auto store = [&](int i, unsigned s) {
        const unsigned v = s / Divisor;
        out[i] = static_cast<uint8_t>(v > 255 ? 255 : v);
    };
    if (width == 1) {
        for (int c = 0; c < 3; ++c)
            store(c, 3u * sums[c]);
        return;
    }
    for (int c = 0; c < 3; ++c)
        store(c, 2u * sums[c] + sums[c + 3]);
    for (int i = 3; i < n - 3; ++i) {
        const unsigned s = sums[i - 3] + sums[i] + sums[i + 3];
        const unsigned v = s / Divisor;
        out[i] = static_cast<uint8_t>(v > 255 ? 255 : v);
    }
    for (int c = n - 3; c < n; ++c)
        store(c, sums[c - 3] + 2u * sums[c]);
}

void boxRowAny(const uint16_t* sums, uint8_t* out, int width, unsigned divisor)
{
    const int n = width * 3;
    for (int i = 0; i < n; ++i) {
        const int left = i >= 3 ? i - 3 : i;
        const int right = i + 3 < n ? i + 3 : i;
        const unsigned v = (sums[left] + sums[i] + sums[right]) / divisor;
        out[i] = static_cast<uint8_t>(v > 255 ? 255 : v);
    }
}

}  // namespace

void BoxFilter3x3(Raster& picture, int divisor)
{
    if (divisor < 1)
        throw Error(ErrorKind::BadArgument,
                    "フィルタの除数は 1 以上でなければなりません: " + std::to_string(divisor));
    if (picture.empty())
        return;
    const int w = picture.width();
    const int h = picture.height();
    const size_t n = static_cast<size_t>(w) * 3;
    // The filter writes row y in place, so the unfiltered rows y - 1 and y are kept aside; row
    // y + 1 is still unfiltered in the picture.
    std::vector<uint8_t> above(picture.row(0), picture.row(0) + n);
    std::vector<uint8_t> middle = above;
    std::vector<uint16_t> sums(n);
    for (int y = 0; y < h; ++y) {
        const uint8_t* below = y + 1 < h ? picture.row(y + 1) : middle.data();
        for (size_t i = 0; i < n; ++i)
            sums[i] = static_cast<uint16_t>(above[i] + middle[i] + below[i]);
        uint8_t* dst = picture.row(y);
        switch (divisor) {
            case 8: boxRow<8>(sums.data(), dst, w); break;
            case 9: boxRow<9>(sums.data(), dst, w); break;
            default: boxRowAny(sums.data(), dst, w, static_cast<unsigned>(divisor)); break;
        }
        std::swap(above, middle);
        if (y + 1 < h)
            std::memcpy(middle.data(), picture.row(y + 1), n);
    }
}

void Contrast(Raster& picture, int amount)
{
    if (picture.empty())
        return;
    const int w = picture.width();
    uint64_t total[3] = {0, 0, 0};
    for (int y = 0; y < picture.height(); ++y) {
        const uint8_t* p = picture.row(y);
        for (int x = 0; x < w; ++x, p += 3) {
            total[0] += p[0];
            total[1] += p[1];
            total[2] += p[2];
        }
    }
    const uint64_t count = static_cast<uint64_t>(w) * picture.height();
    const double factor = 1.0 + amount * 0.1;
    uint8_t table[3][256];
    for (int c = 0; c < 3; ++c) {
        const int64_t mean = static_cast<int64_t>(total[c] / count);
        for (int v = 0; v < 256; ++v) {
            const double value =
                std::trunc(static_cast<double>(mean) + static_cast<double>(v - mean) * factor);
            table[c][v] = static_cast<uint8_t>(std::clamp(value, 0.0, 255.0));
        }
    }
    for (int y = 0; y < picture.height(); ++y) {
        uint8_t* p = picture.row(y);
        for (int x = 0; x < w; ++x, p += 3) {
            p[0] = table[0][p[0]];
            p[1] = table[1][p[1]];
            p[2] = table[2][p[2]];
        }
    }
}

}  // namespace lumavex
