#include "image_ops.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "core/color.h"
#include "core/error.h"
#include "core/parallel.h"

#include "core/simd.h"

namespace lumavex {

namespace {

// Row kernels: a portable scalar version of each, and SSSE3 versions (chosen at run time) for
// the bulk of the row. Both give exactly the same bytes.

void reverseRowScalar(const uint8_t* in, uint8_t* out, int from, int w)
{
    for (int i = from; i < w; ++i) {
        const uint8_t* p = in + 3 * (w - 1 - i);
        out[3 * i] = p[0];
        out[3 * i + 1] = p[1];
        out[3 * i + 2] = p[2];
    }
}

uint8_t grayOf(const uint8_t* p)
{
    return static_cast<uint8_t>((30u * p[2] + 59u * p[1] + 11u * p[0]) / 100);
}

void grayScalar(uint8_t* row, int from, int w)
{
    for (uint8_t* p = row + 3 * from; from < w; ++from, p += 3)
        p[0] = p[1] = p[2] = grayOf(p);
}

#ifdef LUMAVEX_X86

bool hasSsse3()
{
    return simd::level() >= simd::Level::Ssse3;
}

/// A pshufb pattern, kept as bytes so that it can be made at compile time.
struct GatherPattern {
    alignas(16) int8_t lanes[16];
};
/// The pattern that spreads lane k / 3 (offset by the block) over three output bytes.
constexpr GatherPattern spreadLanes(int block)
{
    GatherPattern g{};
    for (int k = 0; k < 16; ++k)
        g.lanes[k] = static_cast<int8_t>((16 * block + k) / 3);
    return g;
}
/// Five pixels reversed: output byte k takes input byte 1 + 3 (4 - k / 3) + k % 3.
constexpr GatherPattern reverseFive()
{
    GatherPattern g{};
    for (int k = 0; k < 15; ++k)
        g.lanes[k] = static_cast<int8_t>(1 + 3 * (4 - k / 3) + k % 3);
    g.lanes[15] = -1;
    return g;
}

__attribute__((target("ssse3"))) __m128i pattern(const GatherPattern& g)
{
    return _mm_load_si128(reinterpret_cast<const __m128i*>(g.lanes));
}

/// Reverses the pixel order of a row into out (which has 16 bytes of slack), five pixels at a
/// time; returns how many output pixels are done.
__attribute__((target("ssse3"))) int reverseRowSsse3(const uint8_t* in, uint8_t* out, int w)
{
    static constexpr GatherPattern kReverse = reverseFive();
    const __m128i reverse = pattern(kReverse);
    int done = 0;
    // The load starts one byte before the five pixels, so it never reads past the row.
    for (; w - 5 - done >= 1; done += 5) {
        const __m128i v =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 3 * (w - 5 - done) - 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 3 * done), _mm_shuffle_epi8(v, reverse));
    }
    return done;
}

/// 11 blue + 59 green and 30 red of four pixels in neighbouring 16-bit lanes.
__attribute__((target("ssse3"))) __m128i weigh(__m128i window, __m128i spreadPixels,
                                               __m128i weights)
{
    return _mm_maddubs_epi16(_mm_shuffle_epi8(window, spreadPixels), weights);
}

/// Sixteen pixels at a time; returns how many pixels are done.
__attribute__((target("ssse3"))) int graySsse3(uint8_t* row, int w)
{
    // Four pixels of a 12-byte window spread to four bytes each (blue, green, red, 0), so that
    // pmaddubsw gives 11 blue + 59 green and 30 red in neighbouring lanes.
    const __m128i spreadPixels =
        _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i weights =
        _mm_setr_epi8(11, 59, 30, 0, 11, 59, 30, 0, 11, 59, 30, 0, 11, 59, 30, 0);
    static constexpr GatherPattern kSpread[3] = {spreadLanes(0), spreadLanes(1), spreadLanes(2)};
    const __m128i spread[3] = {pattern(kSpread[0]), pattern(kSpread[1]), pattern(kSpread[2])};
    // sum / 100 for every sum up to 25500 is (sum * 5243) >> 19.
    const __m128i magic = _mm_set1_epi16(5243);
    int x = 0;
    for (; x + 16 <= w; x += 16) {
        auto* q = reinterpret_cast<__m128i*>(row + 3 * x);
        const __m128i a = _mm_loadu_si128(q);
        const __m128i b = _mm_loadu_si128(q + 1);
        const __m128i c = _mm_loadu_si128(q + 2);
        const __m128i p0 = weigh(a, spreadPixels, weights);
        const __m128i p1 = weigh(_mm_alignr_epi8(b, a, 12), spreadPixels, weights);
        const __m128i p2 = weigh(_mm_alignr_epi8(c, b, 8), spreadPixels, weights);
        const __m128i p3 = weigh(_mm_srli_si128(c, 4), spreadPixels, weights);
        const __m128i low = _mm_srli_epi16(_mm_mulhi_epu16(_mm_hadd_epi16(p0, p1), magic), 3);
        const __m128i high = _mm_srli_epi16(_mm_mulhi_epu16(_mm_hadd_epi16(p2, p3), magic), 3);
        const __m128i gray = _mm_packus_epi16(low, high);
        for (int k = 0; k < 3; ++k)
            _mm_storeu_si128(q + k, _mm_shuffle_epi8(gray, spread[k]));
    }
    return x;
}

#endif

// A row-by-row operation over the whole picture in bands on the pool.
void inBands(Raster& picture, void (*rows)(Raster&, int, int))
{
    const int h = picture.height();
    forEachBand(h, bandsFor(h, size_t(picture.width()) * 3),
                [&](int first, int last) { rows(picture, first, last); });
}

}  // namespace

void HFlipRows(Raster& picture, int first, int last)
{
    // Each row is reversed into a line and copied back: the line stays in the cache.
    const int w = picture.width();
    std::vector<uint8_t> line(size_t(w) * 3 + 16);
    for (int y = first; y < last; ++y) {
        uint8_t* r = picture.row(y);
        int done = 0;
#ifdef LUMAVEX_X86
        if (hasSsse3())
            done = reverseRowSsse3(r, line.data(), w);
#endif
        reverseRowScalar(r, line.data(), done, w);
        std::memcpy(r, line.data(), size_t(w) * 3);
    }
}

void HFlip(Raster& picture)
{
    inBands(picture, HFlipRows);
}

void VFlip(Raster& picture)
{
    const size_t bytes = static_cast<size_t>(picture.width()) * 3;
    const int h = picture.height();
    // Row a swaps with row h - 1 - a: the bands are of the upper rows.
    forEachBand(h / 2, bandsFor(h / 2, 2 * bytes), [&](int first, int last) {
        std::vector<uint8_t> line(bytes);
        for (int a = first; a < last; ++a) {
            const int b = h - 1 - a;
            std::memcpy(line.data(), picture.row(a), bytes);
            std::memcpy(picture.row(a), picture.row(b), bytes);
            std::memcpy(picture.row(b), line.data(), bytes);
        }
    });
}

void Negative(Raster& picture)
{
    // 255 - v is v with every bit flipped.
    invertPixels(picture);
}

void NegativeRows(Raster& picture, int first, int last)
{
    invertRows(picture, first, last);
}

void GrayRows(Raster& picture, int first, int last)
{
    const int w = picture.width();
    for (int y = first; y < last; ++y) {
        uint8_t* r = picture.row(y);
        int done = 0;
#ifdef LUMAVEX_X86
        if (hasSsse3())
            done = graySsse3(r, w);
#endif
        grayScalar(r, done, w);
    }
}

void Gray(Raster& picture)
{
    inBands(picture, GrayRows);
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
