#include "merge.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "effect_support.h"
#include "fast_hsv.h"
#include "core/parallel.h"
#include "core/simd.h"

namespace lumavex {

namespace {

// The blend of one document channel d with one layer channel t, exactly as written.
uint8_t blendChannel(int rate, int d, int t)
{
    const double sum = (static_cast<double>(rate) * d) * 0.01 +
                       (static_cast<double>(100 - int64_t{rate}) * t) * 0.01;
    const double r = std::nearbyint(sum);
    return static_cast<uint8_t>(r < 0 ? 0 : r > 255 ? 255 : r);
}

#ifdef LUMAVEX_X86
// The table entries of eight channels, read as four bytes of which the low one counts.
__attribute__((target("avx2"))) inline __m256i lookUpEight(const int* entries, const uint8_t* doc,
                                                           const uint8_t* layer)
{
    const __m256i d = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(doc)));
    const __m256i t =
        _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(layer)));
    const __m256i index = _mm256_or_si256(_mm256_slli_epi32(d, 8), t);
    return _mm256_and_si256(_mm256_i32gather_epi32(entries, index, 1), _mm256_set1_epi32(0xFF));
}

// The look-ups of sixteen channels.
__attribute__((target("avx2"))) inline void blendSixteen(const int* entries, uint8_t* doc,
                                                         const uint8_t* layer)
{
    const __m256i first = lookUpEight(entries, doc, layer);
    const __m256i second = lookUpEight(entries, doc + 8, layer + 8);
    // Packing works within 128-bit lanes: put the eight words of each gather together again
    // before the bytes.
    const __m256i words = _mm256_permute4x64_epi64(_mm256_packus_epi32(first, second), 0xD8);
    _mm_storeu_si128(
        reinterpret_cast<__m128i*>(doc),
        _mm_packus_epi16(_mm256_castsi256_si128(words), _mm256_extracti128_si256(words, 1)));
}

// The look-ups of a row sixteen channels at a time; returns how many channels were blended. The
// gathers leave the memory idle, so both rows are fetched a kilobyte ahead.
__attribute__((target("avx2"))) size_t blendRowAvx2(const uint8_t* table, uint8_t* doc,
                                                    const uint8_t* layer, size_t n)
{
    constexpr size_t kAhead = 1024;
    const int* entries = reinterpret_cast<const int*>(table);
    size_t i = 0;
    for (; i + 64 <= n; i += 64) {
        _mm_prefetch(reinterpret_cast<const char*>(doc + i + kAhead), _MM_HINT_T0);
        _mm_prefetch(reinterpret_cast<const char*>(layer + i + kAhead), _MM_HINT_T0);
        for (size_t k = 0; k < 64; k += 16)
            blendSixteen(entries, doc + i + k, layer + i + k);
    }
    for (; i + 16 <= n; i += 16)
        blendSixteen(entries, doc + i, layer + i);
    return i;
}
#endif

// The blend of one rate for every (d, t), d a document channel and t a layer channel, at
// index d x 256 + t (with three spare bytes, so that any entry can be read as four bytes):
// rows are blended by one look-up a channel, whatever the rate.
class Blend {
public:
    explicit Blend(int rate) : m_table(65536 + 3)
    {
        for (int d = 0; d < 256; ++d)
            for (int t = 0; t < 256; ++t)
                m_table[d * 256 + t] = blendChannel(rate, d, t);
    }

    // Blends n channels of a layer row into n channels of a document row (the same row may be
    // both).
    void row(uint8_t* doc, const uint8_t* layer, size_t n) const
    {
        const uint8_t* table = m_table.data();
        size_t i = 0;
#ifdef LUMAVEX_X86
        if (simd::level() >= simd::Level::Avx2)
            i = blendRowAvx2(table, doc, layer, n);
#endif
        for (; i < n; ++i)
            doc[i] = table[size_t{doc[i]} << 8 | layer[i]];
    }

private:
    std::vector<uint8_t> m_table;
};

inline bool isWhite(const uint8_t* p)
{
    return (p[0] & p[1] & p[2]) == 0xFF;
}

}  // namespace

void MergeBlend(Raster& document, const Raster& layer, int rate)
{
    if (layer.width() != document.width() || layer.height() != document.height())
        throw Error(ErrorKind::BadArgument,
                    "合成する画像の大きさが違います: " + std::to_string(layer.width()) + " x " +
                        std::to_string(layer.height()));
    Merge(document, layer, rate);
}

void Merge(Raster& document, const Raster& layer, int rate)
{
    if (document.empty())
        return;
    const Blend blend(rate);
    const int w = document.width();
    const int h = document.height();
    const size_t n = static_cast<size_t>(w) * 3;
    const bool sameWidth = layer.width() == w;
    const bool scaling = layer.empty() || !sameWidth;
    std::vector<uint32_t> columns;  // byte offsets of the source pixels
    for (int x = 0; x < w && scaling && !layer.empty(); ++x)
        columns.push_back(static_cast<uint32_t>(3 * (int64_t{x} * layer.width() / w)));
    int fourBytes = 0;  // the leading columns whose source pixel has a fourth byte in its row
    while (fourBytes < static_cast<int>(columns.size()) && columns[fourBytes] + 4 <= layer.stride())
        ++fourBytes;
    forEachBand(h, bandsFor(h, n), [&](int first, int last) {
        // A layer row scaled to the document's width (nearest neighbour), or all white; a byte
        // longer, so that pixels can be copied into it four bytes at a time.
        std::vector<uint8_t> scaled(scaling ? n + 1 : 0, 0xFF);
        int scaledRow = -1;  // the layer row that scaled holds
        for (int y = first; y < last; ++y) {
            const uint8_t* t = scaled.data();
            if (!layer.empty()) {
                const int sy = static_cast<int>(int64_t{y} * layer.height() / h);
                const uint8_t* source = layer.row(sy);
                if (sameWidth) {
                    t = source;
                } else if (sy != scaledRow) {
                    // Four bytes a pixel, each overwriting the previous one's spare byte, while
                    // the fourth byte still lies in the layer's row; three for the rest.
                    uint8_t* out = scaled.data();
                    int x = 0;
                    for (; x < fourBytes; ++x)
                        std::memcpy(out + 3 * x, source + columns[x], 4);
                    for (; x < w; ++x)
                        std::memcpy(out + 3 * x, source + columns[x], 3);
                    scaledRow = sy;
                }
            }
            blend.row(document.row(y), t, n);
        }
    });
}

namespace {

// A base pixel d (blue, green, red) under a layer pixel that is neither white nor the key and
// whose value v (its largest channel) is below d's: d takes its own hue and saturation at value
// v. (Every colour comes back from RGBToHSV and HSVToRGB as itself, which the tests check for
// all of them, so under a layer pixel at least as bright d stays as it is.)
//
// With the value v x 10000, HSVToRGB's p is (10000 - S) v x 10000 exactly, and q is
// round-half-even(N / 10000) for N = (10^8 - S f) v (t likewise with 10^8 - (10000 - f) S).
// Each channel is then RoundHalfAway(x / 10000) of non-negative x, that is
// (x + 5000) div 10000; for q that is (N + 50005000) div 10^8, since q + 5000 reaches 10000 k
// exactly when N reaches 10^8 k - 50005000 (an exact half there rounds to the even
// 10000 k - 5000). So every channel is one division by a constant, with no branch.
inline void darken(const detail::HsvTables& tables, int v, uint8_t* d)
{
    const int blue = d[0], green = d[1], red = d[2];
    const int max = std::max({red, green, blue});
    const int delta = max - std::min({red, green, blue});
    if (delta == 0) {
        d[0] = d[1] = d[2] = static_cast<uint8_t>(v);
        return;
    }
    const uint64_t s = static_cast<uint64_t>(tables.saturation[max][delta]);
    // The hue in sixths; the case (red, green or blue the largest, in that order) is an index,
    // not a branch.
    const int sector = (red != max) * (1 + (green != max));
    const int nums[3] = {green - blue, blue - red, red - green};
    const uint32_t hs = tables.hue[sector][delta * delta + nums[sector] + delta];
    const uint32_t i = hs / 10000;
    const uint64_t f = hs - i * 10000;
    const uint64_t value = static_cast<uint64_t>(v);
    // The channel values V, p, q, t and, for each sixth i, which of them red, green and blue take.
    const uint8_t values[4] = {
        static_cast<uint8_t>(v),
        static_cast<uint8_t>((static_cast<uint32_t>(10000 - s) * static_cast<uint32_t>(v) + 5000) /
                             10000),
        static_cast<uint8_t>(((100000000 - s * f) * value + 50005000) / 100000000),
        static_cast<uint8_t>(((100000000 - (10000 - f) * s) * value + 50005000) / 100000000)};
    static constexpr uint8_t kOrder[6][3] = {{0, 3, 1}, {2, 0, 1}, {1, 0, 3},
                                             {1, 2, 0}, {3, 1, 0}, {0, 1, 2}};
    d[0] = values[kOrder[i][2]];
    d[1] = values[kOrder[i][1]];
    d[2] = values[kOrder[i][0]];
}

// Mixes the layer, at (x, y), into columns 0 .. w - 1 and rows 0 .. h - 1 of the result, which
// holds the base there.
void mixInto(Raster& result, int64_t w, int64_t h, const Raster& layer, Color key, int x, int y)
{
    // The key is taken from its six-digit hexadecimal text, that is its low 24 bits.
    const detail::Bgr k = detail::bgrOf(key & 0xFFFFFF);
    const int64_t from = std::clamp<int64_t>(x, 0, w);
    const int64_t to = std::clamp<int64_t>(int64_t{x} + layer.width(), 0, w);
    if (from >= to)
        return;
    const detail::HsvTables& tables = detail::hsvTables();
    const int64_t firstRow = std::clamp<int64_t>(y, 0, h);
    const int64_t lastRow = std::clamp<int64_t>(int64_t{y} + layer.height(), 0, h);
    const int rows = static_cast<int>(lastRow - firstRow);
    forEachBand(rows, bandsFor(rows, static_cast<size_t>(to - from) * 3), [&](int first, int last) {
        std::vector<int32_t> columns(static_cast<size_t>(to - from));
        std::vector<uint8_t> values(static_cast<size_t>(to - from));
        for (int64_t r = firstRow + first; r < firstRow + last; ++r) {
            uint8_t* dst = result.row(static_cast<int>(r));
            const uint8_t* src = layer.row(static_cast<int>(r - y));
            // First the pixels to darken are listed without a branch on the two values (which a
            // photo would mispredict half the time), then they are worked.
            size_t count = 0;
            for (int64_t c = from; c < to; ++c) {
                const uint8_t* o = src + 3 * (c - x);
                uint8_t* d = dst + 3 * c;
                if (isWhite(o))
                    continue;
                if (o[0] == k.b && o[1] == k.g && o[2] == k.r) {
                    std::memcpy(d, o, 3);
                    continue;
                }
                const uint8_t v = std::max({o[0], o[1], o[2]});
                columns[count] = static_cast<int32_t>(c);
                values[count] = v;
                count += v < std::max({d[0], d[1], d[2]});
            }
            for (size_t i = 0; i < count; ++i)
                darken(tables, values[i], dst + 3 * columns[i]);
        }
    });
}

void checkMargin(const Raster& base, int margin)
{
    if (margin < 0)
        throw Error(ErrorKind::BadArgument,
                    "余白は 0 以上でなければなりません: " + std::to_string(margin));
    checkRasterSize(int64_t{base.width()} + margin, int64_t{base.height()} + margin);
}

}  // namespace

namespace {

// The base at (0, 0) of a raster margin pixels wider and taller, white beside and below it.
Raster withStrips(const Raster& base, int margin)
{
    const int w = base.width();
    const int h = base.height();
    Raster result = Raster::unfilled(w + margin, h + margin);
    const size_t rowBytes = static_cast<size_t>(w + margin) * 3;
    forEachBand(h + margin, bandsFor(h + margin, rowBytes), [&](int first, int last) {
        for (int r = first; r < last; ++r) {
            uint8_t* row = result.row(r);
            const size_t covered = r < h ? static_cast<size_t>(w) * 3 : 0;
            if (covered)
                std::memcpy(row, base.row(r), covered);
            std::memset(row + covered, 0xFF, rowBytes - covered);
        }
    });
    return result;
}

}  // namespace

Raster MixPaste(const Raster& layer, const Raster& base, Color key, int margin, int x, int y)
{
    checkMargin(base, margin);
    Raster result = withStrips(base, margin);
    mixInto(result, base.width(), base.height(), layer, key, x, y);
    return result;
}

void MixPasteCommand(Raster& main, Raster& scratch, const Raster& layer, Color key, int x, int y)
{
    checkMargin(main, kMixPasteMargin);
    if (&layer == &main) {  // the main picture is about to change under the layer
        const Raster copy(layer);
        MixPasteCommand(main, scratch, copy, key, x, y);
        return;
    }
    detail::copyPixels(scratch, main);
    // The result is the base (the copy of the main picture) with white strips, so the main
    // picture itself can take it; it keeps its drawing surface.
    const int w = main.width();
    const int h = main.height();
    const detail::Surface surface(main);
    main = withStrips(main, kMixPasteMargin);
    surface.restore(main);
    mixInto(main, w, h, layer, key, x, y);
}

}  // namespace lumavex
