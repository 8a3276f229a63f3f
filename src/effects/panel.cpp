#include "panel.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "effect_support.h"
#include "fast_hsv.h"

namespace lumavex {

namespace {

// One band: its pixels' saturation and value are scaled by factor / n, computed as
// (100 / n) x V x factor / 100 in double and rounded half to even.
class Band {
public:
    Band(int n, double factor) : m_tables(detail::hsvTables()), m_scale(100.0 / n), m_factor(factor)
    {
        for (int v = 0; v < 256; ++v)
            m_value[v] = scaled(v * 10000);
    }

    // The largest channel magnitude (in channel units) the band can give any pixel, with some
    // room for the roundings: |V'| (1 + |S'| / 10000).
    double reach() const
    {
        const double value = std::fabs(m_scale * 2550000.0 * m_factor / 100.0) + 1.0;
        const double saturation = std::fabs(m_scale * 10000.0 * m_factor / 100.0) + 1.0;
        return value * (1.0 + saturation / 10000.0) / 10000.0 + 1.0;
    }

    // Works one pixel of the picture, given as bytes: its negative goes through HSV, scaled,
    // back to bytes, and the picture gets the negative of that.
    void apply(uint8_t* p) const
    {
        const int blue = 255 - p[0];
        const int green = 255 - p[1];
        const int red = 255 - p[2];
        const Hsv hsv = detail::hsvOfBytes(m_tables, red, green, blue);
        const int max = std::max({red, green, blue});
        const int64_t saturation = hsv.saturation == 0 ? 0 : scaled(hsv.saturation);
        uint8_t out[3];
        detail::bytesOfHsv(hsv.hue, saturation, m_value[max], out);
        p[0] = static_cast<uint8_t>(~out[0]);
        p[1] = static_cast<uint8_t>(~out[1]);
        p[2] = static_cast<uint8_t>(~out[2]);
    }

    void applyRange(uint8_t* row, int64_t from, int64_t to) const
    {
        for (int64_t j = from; j <= to; ++j)
            apply(row + 3 * j);
    }

private:
    int64_t scaled(int64_t x) const
    {
        return detail::roundEven(m_scale * static_cast<double>(x) * m_factor / 100.0);
    }

    const detail::HsvTables& m_tables;
    double m_scale;
    double m_factor;
    int64_t m_value[256];
};

}  // namespace

// Panel is an inverted working pass on a copy: every band reads the pixel as the bands before it
// left it, and pixels outside the bands come back exactly as they were. So each band pixel is
// inverted, worked and inverted back on its own, in the band order top, bottom, left, right.
// The write conditions of each band reduce to one run of columns per row.
void Panel(Raster& picture, int level1, int level2, int width)
{
    detail::requirePositiveWidth(width, "パネルの幅");
    const double half = width / 2.0;
    const double nd = width;
    const Band top(width, half - 2 - level1);
    const Band bottom(width, nd - (half - 3 + level2));
    const Band left(width, half - 3 - level1);
    const Band right(width, nd - (half - 4 + level2));
    // Refuse levels for which some pixel's channel would not fit 32 bits (RoundHalfAway would
    // fail half-way through the picture).
    const double limit = std::numeric_limits<int32_t>::max() - 2.0;
    for (const Band* band : {&top, &bottom, &left, &right})
        if (!(band->reach() < limit))
            throw Error(ErrorKind::BadArgument,
                        "パネルのレベルが大きすぎます: " + std::to_string(level1) + ", " +
                            std::to_string(level2));

    const int64_t n = width;
    const int64_t w = picture.width();
    const int64_t h = picture.height();
    constexpr int64_t kNone = std::numeric_limits<int64_t>::max();
    for (int64_t i = 0; i < h && !picture.empty(); ++i) {
        uint8_t* row = picture.row(static_cast<int>(i));
        // top: 0 < i < n, columns i .. W - i
        if (0 < i && i < n)
            top.applyRange(row, i, std::min(w - i, w - 1));
        // bottom: H - n < i < H, columns H - i .. W - H + i - 1
        if (h - n < i)
            bottom.applyRange(row, h - i, std::min(w - h + i - 1, w - 1));
        const bool middle = n < i && i < h - n;
        // left: columns 1 .. n - 1, below the diagonals from the top-left and bottom-left
        {
            int64_t end = std::min(n - 1, w - 1);
            if (!middle) {
                int64_t upper = 0;
                if (i <= n)
                    upper = i;
                if (i >= h - n)
                    upper = std::max(upper, h - i);
                end = std::min(end, upper - 1);
            }
            left.applyRange(row, 1, end);
        }
        // right: columns W - n + 1 .. W - 1, beyond the diagonals from the other corners
        {
            int64_t from = std::max<int64_t>(w - n + 1, 0);
            if (!(n <= i && i < h - n)) {
                int64_t lower = kNone;
                if (i < n)
                    lower = w - i + 1;
                if (i >= h - n)
                    lower = std::min(lower, w - h + i);
                from = std::max(from, lower);
            }
            right.applyRange(row, from, w - 1);
        }
    }
    picture.setBrushColor(kWhite);
    picture.setCopyMode(CopyMode::NotSrcCopy);
}

}  // namespace lumavex
