#include "merge.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "effect_support.h"
#include "fast_hsv.h"

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
            const uint16_t a = static_cast<uint16_t>(m_rate);
            const uint16_t b = static_cast<uint16_t>(100 - m_rate);
            for (size_t i = 0; i < n; ++i) {
                const uint16_t sum = static_cast<uint16_t>(a * doc[i] + b * layer[i]);
                const uint16_t q = sum / 100;
                const uint16_t r = static_cast<uint16_t>(sum - q * 100);
                doc[i] = static_cast<uint8_t>(q + ((r > 50) | ((r == 50) & (q & 1))));
            }
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

// One layer pixel o that is neither white nor the key, over the base pixel d (both blue, green,
// red): d takes its own hue and saturation at the smaller of the two values.
inline void mixPixel(const uint8_t* o, uint8_t* d)
{
    const int64_t layerValue = int64_t{std::max({o[0], o[1], o[2]})} * 10000;
    const Hsv base = detail::hsvOfBytes(d[2], d[1], d[0]);
    const int64_t value = base.value > layerValue ? layerValue : base.value;
    detail::bytesOfHsv(base.hue, base.saturation, value, d);
}

}  // namespace

Raster MixPaste(const Raster& layer, const Raster& base, Color key, int margin, int x, int y)
{
    if (margin < 0)
        throw Error(ErrorKind::BadArgument,
                    "余白は 0 以上でなければなりません: " + std::to_string(margin));
    const int64_t w = base.width();
    const int64_t h = base.height();
    checkRasterSize(w + margin, h + margin);
    Raster result(static_cast<int>(w + margin), static_cast<int>(h + margin));
    // The key is taken from its six-digit hexadecimal text, that is its low 24 bits.
    const detail::Bgr k = detail::bgrOf(key & 0xFFFFFF);
    const int64_t from = std::clamp<int64_t>(x, 0, w);
    const int64_t to = std::clamp<int64_t>(int64_t{x} + layer.width(), 0, w);
    for (int64_t r = 0; r < h; ++r) {
        uint8_t* dst = result.row(static_cast<int>(r));
        std::memcpy(dst, base.row(static_cast<int>(r)), static_cast<size_t>(w) * 3);
        const int64_t ly = r - y;
        if (ly < 0 || ly >= layer.height())
            continue;
        const uint8_t* src = layer.row(static_cast<int>(ly));
        for (int64_t c = from; c < to; ++c) {
            const uint8_t* o = src + 3 * (c - x);
            uint8_t* d = dst + 3 * c;
            if (isWhite(o))
                continue;
            if (o[0] == k.b && o[1] == k.g && o[2] == k.r)
                std::memcpy(d, o, 3);
            else
                mixPixel(o, d);
        }
    }
    return result;
}

void MixPasteCommand(Raster& main, Raster& scratch, const Raster& layer, Color key, int x, int y)
{
    detail::copyPixels(scratch, main);
    Raster mixed = MixPaste(layer, scratch, key, kMixPasteMargin, x, y);
    const detail::Surface surface(main);
    main = std::move(mixed);
    surface.restore(main);
}

}  // namespace lumavex
