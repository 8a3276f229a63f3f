#include "filters.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/error.h"
#include "core/parallel.h"
#include "core/vector_clones.h"

namespace lumavex {

namespace {

// The box filter works row by row in place; its loops are plain so that the compiler vectorises
// them. Row y's vertical sums need rows y - 1, y and y + 1 as they were: y + 1 is still
// unfiltered in the picture, and y - 1 and y are kept aside before they are overwritten.
// Horizontal neighbours lie `step` bytes apart: 3 in a picture, 1 in a plane of one channel.

LUMAVEX_VECTOR_CLONES
void verticalSums(const uint8_t* above, const uint8_t* middle, const uint8_t* below, uint16_t* sums,
                  size_t n)
{
    for (size_t i = 0; i < n; ++i)
        sums[i] = static_cast<uint16_t>(above[i] + middle[i] + below[i]);
}

// The mean of nine: sums up to 9 x 255 give at most 255.
LUMAVEX_VECTOR_CLONES
void ninths(const uint16_t* left, const uint16_t* middle, const uint16_t* right, uint8_t* out,
            size_t n)
{
    for (size_t i = 0; i < n; ++i)
        out[i] = static_cast<uint8_t>(static_cast<uint16_t>(left[i] + middle[i] + right[i]) /
                                      static_cast<uint16_t>(9));
}

// Divided by 8 the sums can pass 255 and clamp.
LUMAVEX_VECTOR_CLONES
void eighths(const uint16_t* left, const uint16_t* middle, const uint16_t* right, uint8_t* out,
             size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        const uint16_t v = static_cast<uint16_t>(left[i] + middle[i] + right[i]) >> 3;
        out[i] = static_cast<uint8_t>(v > 255 ? 255 : v);
    }
}

// One output row from the vertical sums of n bytes, neighbours step apart, edges repeated.
void horizontalStep(const uint16_t* sums, uint8_t* out, size_t n, size_t step, unsigned divisor)
{
    auto edge = [&](size_t i, unsigned sum) {
        const unsigned v = sum / divisor;
        out[i] = static_cast<uint8_t>(v > 255 ? 255 : v);
    };
    if (n == step) {  // one pixel wide
        for (size_t c = 0; c < step; ++c)
            edge(c, 3u * sums[c]);
        return;
    }
    for (size_t c = 0; c < step; ++c) {
        edge(c, 2u * sums[c] + sums[c + step]);
        edge(n - step + c, sums[n - 2 * step + c] + 2u * sums[n - step + c]);
    }
    const size_t inner = n - 2 * step;
    const uint16_t* left = sums;
    const uint16_t* middle = sums + step;
    const uint16_t* right = sums + 2 * step;
    switch (divisor) {
        case 9: ninths(left, middle, right, out + step, inner); break;
        case 8: eighths(left, middle, right, out + step, inner); break;
        default:
            for (size_t i = 0; i < inner; ++i) {
                const unsigned v = (left[i] + middle[i] + right[i]) / divisor;
                out[step + i] = static_cast<uint8_t>(v > 255 ? 255 : v);
            }
    }
}

void checkDivisor(int divisor)
{
    if (divisor < 1)
        throw Error(ErrorKind::BadArgument,
                    "フィルタの除数は 1 以上でなければなりません: " + std::to_string(divisor));
}

// The filter over rows first .. last - 1 of height rows of n bytes each, stride apart, with
// aboveFirst the unfiltered row above the first (the first itself at the top) and belowLast the
// one below the last (not read at the bottom).
void boxBand(uint8_t* rows, size_t stride, int height, int first, int last,
             const uint8_t* aboveFirst, const uint8_t* belowLast, size_t n, size_t step,
             int divisor)
{
    std::vector<uint8_t> kept(2 * n);
    uint8_t* above = kept.data();
    uint8_t* middle = kept.data() + n;
    std::vector<uint16_t> sums(n);
    std::memcpy(above, aboveFirst, n);
    for (int y = first; y < last; ++y) {
        uint8_t* row = rows + static_cast<size_t>(y) * stride;
        std::memcpy(middle, row, n);
        const uint8_t* below = y + 1 < last ? row + stride : y + 1 < height ? belowLast : middle;
        verticalSums(above, middle, below, sums.data(), n);
        horizontalStep(sums.data(), row, n, step, static_cast<unsigned>(divisor));
        std::swap(above, middle);
    }
}

// The filter over rows of n bytes each, stride apart, in bands of rows on the pool. A band
// reads the rows next to it as they were, so those are kept aside before any band starts.
void boxRows(uint8_t* rows, size_t stride, int height, size_t n, size_t step, int divisor)
{
    const int bands = bandsFor(height, n);
    std::vector<int> starts(static_cast<size_t>(bands) + 1);
    for (int k = 0; k <= bands; ++k)
        starts[k] = static_cast<int>(int64_t{height} * k / bands);
    auto row = [&](int y) { return rows + static_cast<size_t>(y) * stride; };
    // Band k's row above its first at 2k n, and its row below its last at (2k + 1) n.
    std::vector<uint8_t> edges(2 * static_cast<size_t>(bands) * n);
    for (int k = 0; k < bands; ++k) {
        std::memcpy(edges.data() + 2 * k * n, row(std::max(starts[k] - 1, 0)), n);
        if (starts[k + 1] < height)
            std::memcpy(edges.data() + (2 * k + 1) * n, row(starts[k + 1]), n);
    }
    forEachBand(bands, bands, [&](int first, int last) {
        for (int k = first; k < last; ++k)
            boxBand(rows, stride, height, starts[k], starts[k + 1], edges.data() + 2 * k * n,
                    edges.data() + (2 * k + 1) * n, n, step, divisor);
    });
}

// Row y of a picture copied with one pixel repeated at each end: n + 2 step bytes.
void paddedRow(const uint8_t* row, size_t n, size_t step, uint8_t* out)
{
    std::memcpy(out, row, step);
    std::memcpy(out + step, row, n);
    std::memcpy(out + step + n, row + n - step, step);
}

LUMAVEX_VECTOR_CLONES
void weighAdd(const uint8_t* source, int weight, int32_t* sums, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        sums[i] += weight * source[i];
}

}  // namespace

void Convolve3x3(Raster& picture, const int (&kernel)[9], int divisor, int bias)
{
    checkDivisor(divisor);
    if (picture.empty())
        return;
    if (bias == 0 && std::all_of(kernel, kernel + 9, [](int k) { return k == 1; })) {
        BoxFilter3x3(picture, divisor);
        return;
    }
    const size_t n = static_cast<size_t>(picture.width()) * 3;
    const size_t padded = n + 6;
    const int h = picture.height();
    // Three padded source rows in a ring: above, middle, below.
    std::vector<uint8_t> ring(3 * padded);
    uint8_t* rows[3] = {ring.data(), ring.data() + padded, ring.data() + 2 * padded};
    paddedRow(picture.row(0), n, 3, rows[0]);
    paddedRow(picture.row(0), n, 3, rows[1]);
    paddedRow(picture.row(h > 1 ? 1 : 0), n, 3, rows[2]);
    std::vector<int32_t> sums(n);
    for (int y = 0; y < h; ++y) {
        std::fill(sums.begin(), sums.end(), 0);
        for (int ky = 0; ky < 3; ++ky)
            for (int kx = 0; kx < 3; ++kx)
                if (const int weight = kernel[ky * 3 + kx])
                    weighAdd(rows[ky] + kx * 3, weight, sums.data(), n);
        uint8_t* out = picture.row(y);
        for (size_t i = 0; i < n; ++i)
            out[i] = static_cast<uint8_t>(std::clamp(sums[i] / divisor + bias, 0, 255));
        // The oldest row takes the one below the next; the rows written so far are not read.
        std::swap(rows[0], rows[1]);
        std::swap(rows[1], rows[2]);
        paddedRow(picture.row(std::min(y + 2, h - 1)), n, 3, rows[2]);
    }
}

void BoxFilter3x3(Raster& picture, int divisor)
{
    checkDivisor(divisor);
    if (picture.empty())
        return;
    boxRows(picture.bits(), picture.stride(), picture.height(),
            static_cast<size_t>(picture.width()) * 3, 3, divisor);
}

namespace {

// The box filter from the top down as rows arrive: a row is worked once the row below it is
// there, with the row above it kept as it was before its own turn.
class BoxFilterStage : public RowStage {
public:
    explicit BoxFilterStage(int divisor) : m_divisor(divisor) {}
    int advance(Raster& picture, int ready) override
    {
        const int h = picture.height();
        const int last = ready >= h ? h : ready - 1;
        if (last <= m_done)
            return m_done;
        const size_t n = static_cast<size_t>(picture.width()) * 3;
        if (m_done == 0)
            m_above.assign(picture.row(0), picture.row(0) + n);
        m_next.assign(picture.row(last - 1), picture.row(last - 1) + n);
        boxBand(picture.bits(), picture.stride(), h, m_done, last, m_above.data(),
                last < h ? picture.row(last) : m_next.data(), n, 3, m_divisor);
        std::swap(m_above, m_next);
        m_done = last;
        return m_done;
    }

private:
    int m_divisor;
    int m_done = 0;
    std::vector<uint8_t> m_above, m_next;
};

}  // namespace

std::unique_ptr<RowStage> BoxFilter3x3Stage(int divisor)
{
    checkDivisor(divisor);
    return std::make_unique<BoxFilterStage>(divisor);
}

void BoxFilter3x3Plane(uint8_t* plane, int width, int height, size_t stride, int divisor)
{
    checkDivisor(divisor);
    if (width <= 0 || height <= 0)
        return;
    boxRows(plane, stride, height, static_cast<size_t>(width), 1, divisor);
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
