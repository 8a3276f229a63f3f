#include "merge.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "effect_support.h"
#include "fast_hsv.h"
#include "vector_clones.h"

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

// (a d + (100 - a) t) / 100 rounded half to even, for 0 <= a <= 100, in 16 bits.
LUMAVEX_VECTOR_CLONES
void blendExactly(uint8_t* doc, const uint8_t* layer, size_t n, uint16_t a)
{
    const uint16_t b = static_cast<uint16_t>(100 - a);
    for (size_t i = 0; i < n; ++i) {
        const uint16_t sum = static_cast<uint16_t>(a * doc[i] + b * layer[i]);
        const uint16_t q = sum / 100;
        // Up when the remainder passes 50, or is 50 with q odd.
        const uint16_t twice = static_cast<uint16_t>(2 * (sum - q * 100) + (q & 1));
        doc[i] = static_cast<uint8_t>(q + (twice > 100 ? 1 : 0));
    }
}

// The blend for one rate, as a table over all (d, t). For rates 0 .. 100 the double sum is
// within a few units in the last place of (rate d + (100 - rate) t) / 100, so it rounds like that
// exact quotient except perhaps at exact halves; where the table shows that no half goes astray
// (rate 50 and every fourth rate, say), rows are blended with integer arithmetic that the
// compiler vectorises.
class Blend {
public:
    explicit Blend(int rate) : m_rate(rate), m_table(65536)
    {
        m_exact = rate >= 0 && rate <= 100;
        for (int d = 0; d < 256; ++d)
            for (int t = 0; t < 256; ++t) {
                const uint8_t v = blendChannel(rate, d, t);
                m_table[d * 256 + t] = v;
                if (m_exact && v != integerBlend(d, t))
                    m_exact = false;
            }
    }

    // Blends n channels of a layer row into n channels of a document row.
    void row(uint8_t* doc, const uint8_t* layer, size_t n) const
    {
        if (m_exact) {
            blendExactly(doc, layer, n, static_cast<uint16_t>(m_rate));
            return;
        }
        const uint8_t* table = m_table.data();
        for (size_t i = 0; i < n; ++i)
            doc[i] = table[doc[i] * 256 + layer[i]];
    }

private:
    uint8_t integerBlend(int d, int t) const
    {
        const int sum = m_rate * d + (100 - m_rate) * t;
        const int q = sum / 100;
        const int r = sum - q * 100;
        return static_cast<uint8_t>(q + (r > 50 || (r == 50 && (q & 1))));
    }

    int m_rate;
    bool m_exact;
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
    // A layer row scaled to the document's width (nearest neighbour), or all white.
    std::vector<uint8_t> scaled;
    std::vector<int> columns;
    if (layer.empty() || !sameWidth) {
        scaled.assign(n, 0xFF);
        for (int x = 0; x < w && !layer.empty(); ++x)
            columns.push_back(static_cast<int>(int64_t{x} * layer.width() / w));
    }
    for (int y = 0; y < h; ++y) {
        const uint8_t* t = scaled.data();
        if (!layer.empty()) {
            const uint8_t* source = layer.row(static_cast<int>(int64_t{y} * layer.height() / h));
            if (sameWidth) {
                t = source;
            } else {
                for (int x = 0; x < w; ++x)
                    std::memcpy(&scaled[3 * x], source + 3 * columns[x], 3);
            }
        }
        blend.row(document.row(y), t, n);
    }
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

}  // namespace

namespace {

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
    std::vector<int32_t> columns(static_cast<size_t>(to - from));
    std::vector<uint8_t> values(static_cast<size_t>(to - from));
    const int64_t firstRow = std::clamp<int64_t>(y, 0, h);
    const int64_t lastRow = std::clamp<int64_t>(int64_t{y} + layer.height(), 0, h);
    for (int64_t r = firstRow; r < lastRow; ++r) {
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
}

void checkMargin(const Raster& base, int margin)
{
    if (margin < 0)
        throw Error(ErrorKind::BadArgument,
                    "余白は 0 以上でなければなりません: " + std::to_string(margin));
    checkRasterSize(int64_t{base.width()} + margin, int64_t{base.height()} + margin);
}

}  // namespace

Raster MixPaste(const Raster& layer, const Raster& base, Color key, int margin, int x, int y)
{
    checkMargin(base, margin);
    const int w = base.width();
    const int h = base.height();
    // The base at (0, 0), white beside and below it.
    Raster result = Raster::unfilled(w + margin, h + margin);
    for (int r = 0; r < h + margin; ++r) {
        uint8_t* row = result.row(r);
        const size_t covered = r < h ? static_cast<size_t>(w) * 3 : 0;
        if (covered)
            std::memcpy(row, base.row(r), covered);
        std::memset(row + covered, 0xFF, static_cast<size_t>(w + margin) * 3 - covered);
    }
    mixInto(result, w, h, layer, key, x, y);
    return result;
}

void MixPasteCommand(Raster& main, Raster& scratch, const Raster& layer, Color key, int x, int y)
{
    checkMargin(main, kMixPasteMargin);
    detail::copyPixels(scratch, main);
    // The result is the base (the copy of the main picture) with white strips, so the main
    // picture itself can grow into it; it keeps its drawing surface.
    const int w = main.width();
    const int h = main.height();
    const detail::Surface surface(main);
    main.setBrushColor(kWhite);
    main.setSize(w + kMixPasteMargin, h + kMixPasteMargin);
    surface.restore(main);
    mixInto(main, w, h, layer, key, x, y);
}

}  // namespace lumavex
