#include "shadow.h"

#include <algorithm>
#include <cstring>

#include "blurs.h"
#include "effect_support.h"

namespace lumavex {

namespace {

// The shade ramp: Shade(k) lightens the shadow colour by k steps of (255 - channel) div n.
class ShadeRamp {
public:
    ShadeRamp(Color shadow, int n)
    {
        m_blue = blueOf(shadow);
        if (m_blue == 0)
            m_blue = 1;  // a black shadow is drawn from 0x00010000
        m_green = greenOf(shadow);
        m_red = redOf(shadow);
        m_stepBlue = (255 - m_blue) / n;
        m_stepGreen = (255 - m_green) / n;
        m_stepRed = (255 - m_red) / n;
    }
    // k is 0 .. n, so no channel passes 255.
    void put(uint8_t* p, int64_t k) const
    {
        p[0] = static_cast<uint8_t>(m_blue + m_stepBlue * k);
        p[1] = static_cast<uint8_t>(m_green + m_stepGreen * k);
        p[2] = static_cast<uint8_t>(m_red + m_stepRed * k);
    }

private:
    int64_t m_blue, m_green, m_red;
    int64_t m_stepBlue, m_stepGreen, m_stepRed;
};

void checkEnlargedSize(const Raster& picture, int width)
{
    checkRasterSize(int64_t{picture.width()} + width, int64_t{picture.height()} + width);
}

}  // namespace

// The band is drawn as a scan of rows 1 .. H and columns 1 .. W whose writes at x = W or y = H
// fall outside, so row 0 and column 0 are never written. Every write is a shade of the ramp, and
// the ramp grows with its index, so "the lighter of two shades" is the shade of the larger index.
// Where several steps write one pixel the last one counts, and its index is, with
// a = max(W - n, 1) (where the right-hand counters start) and bs the rows since the bottom band
// began (which it never does when the picture is no wider than n):
//   top end of the right band, n < y < 2n and x >= a: max(2n + 1 - y, x - a)
//   right band, 2n <= y < H - n and x >= a: x - a
//   bottom band, y >= H - n: for n <= x < 2n, max(bs, 2n - x); else for x >= a, max(r, x - a)
//   with r = bs from column n on and the top end's index (if the row has one) before it; else
//   for x >= n, bs.
void AddShadow(Raster& picture, Color shadow, int width)
{
    detail::requirePositiveWidth(width, "影の幅");
    if (picture.empty())
        return;
    const ShadeRamp shade(shadow, width);
    const int64_t n = width;
    const int64_t w = picture.width();
    const int64_t h = picture.height();
    const int64_t a = std::max<int64_t>(w - n, 1);
    const bool bottomCounts = w > n;
    const int64_t bottomStart = std::max<int64_t>(h - n, 1);

    for (int64_t y = 1; y < h; ++y) {
        const bool top = n < y && y < 2 * n;
        const bool right = 2 * n <= y && y < h - n;
        const bool bottom = y >= h - n;
        uint8_t* row = picture.row(static_cast<int>(y));
        const int64_t topFade = 2 * n + 1 - y;
        if (!bottom) {
            if (!top && !right)
                continue;
            for (int64_t x = a; x < w; ++x)
                shade.put(row + 3 * x, top ? std::max(topFade, x - a) : x - a);
            continue;
        }
        const int64_t bs = bottomCounts ? y - bottomStart : 0;
        for (int64_t x = std::max<int64_t>(1, std::min(n, a)); x < w; ++x) {
            int64_t k;
            if (x >= n && x < 2 * n)
                k = std::max(bs, 2 * n - x);
            else if (x >= a)
                k = std::max(x >= n ? bs : (top ? topFade : 0), x - a);
            else if (x >= n)
                k = bs;
            else
                continue;
            shade.put(row + 3 * x, k);
        }
    }
}

void AddShadowCommand(Raster& target, Raster& scratch, Color shadow, int width)
{
    detail::requirePositiveWidth(width, "影の幅");
    checkEnlargedSize(target, width);
    const int w = target.width();
    const int h = target.height();
    // The enlarged copy: the picture at (0, 0), the strips in the scratch raster's brush colour
    // (black for a clear brush, as enlarging gives it).
    const Color fill = scratch.brushStyle() == BrushStyle::Solid ? scratch.brushColor() : kBlack;
    detail::resizeForOverwrite(scratch, w + width, h + width);
    const size_t pictureBytes = static_cast<size_t>(w) * 3;
    for (int y = 0; y < h + width; ++y) {
        uint8_t* row = scratch.row(y);
        if (y < h) {
            std::memcpy(row, target.row(y), pictureBytes);
            fillPixels(row + pictureBytes, static_cast<size_t>(width), fill);
        } else {
            fillPixels(row, static_cast<size_t>(w) + width, fill);
        }
    }
    AddShadow(scratch, shadow, width);
    detail::tradePixels(target, scratch);
}

void AddShadowSoft(Raster& target, Raster& scratch, Color shadow, Color background, int width,
                   ProgressSink* progress)
{
    detail::requirePositiveWidth(width, "影の幅");
    checkEnlargedSize(target, width);
    const int w = target.width();
    const int h = target.height();

    // The scratch raster becomes the shadow rectangle with faded edges. Only its edges are
    // drawn: the n rows at the top and bottom and the n columns at each side hold every pixel
    // that FlameBlur reads or writes and every pixel that shows in the target; the inside,
    // which the picture covers, is left as it was.
    detail::resizeForOverwrite(scratch, w, h);
    scratch.setBrushColor(shadow);
    const int edge = std::min(width, std::max(w, h));
    scratch.fillRect({0, 0, w, edge});
    scratch.fillRect({0, h - edge, w, h});
    scratch.fillRect({0, edge, edge, h - edge});
    scratch.fillRect({w - edge, edge, w, h - edge});
    FlameBlur(scratch, background, width, progress);

    // The enlarged target is all background except the picture itself at (0, 0), which stays
    // as it was; the faded rectangle lies at (n, n) beneath it, so only its right and bottom
    // strips show.
    target.setBrushColor(background);
    target.setSize(w + width, h + width);
    target.setCopyMode(CopyMode::SrcCopy);
    const int64_t n = width;
    for (int64_t y = n; y < h + n; ++y) {
        const int64_t from = y < h ? std::max<int64_t>(w, n) : n;
        if (from >= w + n)
            continue;
        const uint8_t* src = scratch.row(static_cast<int>(y - n)) + 3 * (from - n);
        uint8_t* dst = target.row(static_cast<int>(y)) + 3 * from;
        std::memcpy(dst, src, static_cast<size_t>(w + n - from) * 3);
    }
}

}  // namespace lumavex
