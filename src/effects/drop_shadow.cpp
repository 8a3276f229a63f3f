#include "drop_shadow.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "effect_support.h"
#include "core/parallel.h"
#include "core/vector_clones.h"
#include "effects/filters.h"

namespace lumavex {

namespace {

inline bool isWhite(const uint8_t* p)
{
    return (p[0] & p[1] & p[2]) == 0xFF;
}

// 255 for each of width pixels that has exactly the bytes of bg, else 0.
LUMAVEX_VECTOR_CLONES
void backgroundBytes(const uint8_t* src, uint8_t* same, int width, uint8_t b, uint8_t g, uint8_t r)
{
    for (int x = 0; x < width; ++x)
        same[x] = static_cast<uint8_t>(
            -((src[3 * x] == b) & (src[3 * x + 1] == g) & (src[3 * x + 2] == r)));
}

// One channel of the mask: bg where same is 255, shadow where it is 0; stride 3 in a picture, 1
// in a plane.
LUMAVEX_VECTOR_CLONES
void selectBytes(uint8_t* dst, const uint8_t* same, int width, uint8_t bg, uint8_t shadow)
{
    for (int x = 0; x < width; ++x)
        dst[x] = static_cast<uint8_t>((bg & same[x]) | (shadow & ~same[x]));
}

LUMAVEX_VECTOR_CLONES
void interleave(uint8_t* dst, const uint8_t* blue, const uint8_t* green, const uint8_t* red,
                int width)
{
    for (int x = 0; x < width; ++x) {
        dst[3 * x] = blue[x];
        dst[3 * x + 1] = green[x];
        dst[3 * x + 2] = red[x];
    }
}

// Writes the mask of picture into mask, which has the picture's size.
void maskInto(Raster& mask, const Raster& picture, Color shadow, Color background)
{
    const detail::Bgr bg = detail::bgrOf(background);
    const detail::Bgr sh = detail::bgrOf(shadow);
    const int w = picture.width();
    std::vector<uint8_t> same(static_cast<size_t>(w)), channel(static_cast<size_t>(w) * 3);
    for (int y = 0; y < picture.height(); ++y) {
        backgroundBytes(picture.row(y), same.data(), w, bg.b, bg.g, bg.r);
        selectBytes(channel.data(), same.data(), w, bg.b, sh.b);
        selectBytes(channel.data() + w, same.data(), w, bg.g, sh.g);
        selectBytes(channel.data() + 2 * w, same.data(), w, bg.r, sh.r);
        interleave(mask.row(y), channel.data(), channel.data() + w, channel.data() + 2 * w, w);
    }
}

// The largest byte of a run: a run without 255 holds no white pixel.
LUMAVEX_VECTOR_CLONES
uint8_t brightest(const uint8_t* p, size_t n)
{
    uint8_t top = 0;
    for (size_t i = 0; i < n; ++i)
        top = p[i] > top ? p[i] : top;
    return top;
}

// The part of one row of the composition that the shifted mask covers: columns from .. to - 1
// of the result read mask columns from - x .. to - 1 - x.
struct Span {
    int64_t from = 0;
    int64_t to = 0;
};

// Columns of a result w wide that the shifted mask reaches: mask columns 0 .. reach - 1 land at
// x .. x + reach - 1.
Span shiftedSpan(int64_t w, int64_t reach, int64_t x)
{
    return {std::clamp<int64_t>(x, 0, w), std::clamp<int64_t>(x + reach, 0, w)};
}

}  // namespace

Raster DropShadowMask(const Raster& picture, Color shadow, Color background)
{
    Raster mask(picture.width(), picture.height());
    maskInto(mask, picture, shadow, background);
    return mask;
}

Raster DropShadowCompose(const Raster& picture, const Raster& blurredMask, int x, int y)
{
    const int64_t w = blurredMask.width();
    const int64_t h = blurredMask.height();
    Raster result(blurredMask.width(), blurredMask.height());
    // The mask's rectangle of the picture's size, clipped to the mask, lands at (x, y).
    const int64_t reachX = std::min<int64_t>(picture.width(), w);
    const int64_t reachY = std::min<int64_t>(picture.height(), h);
    const Span columns = shiftedSpan(w, reachX, x);
    const Span rows = shiftedSpan(h, reachY, y);
    for (int64_t r = rows.from; r < rows.to && columns.from < columns.to; ++r)
        std::memcpy(result.row(static_cast<int>(r)) + 3 * columns.from,
                    blurredMask.row(static_cast<int>(r - y)) + 3 * (columns.from - x),
                    static_cast<size_t>(columns.to - columns.from) * 3);
    // The picture's pixels that are not white lie on top.
    const int overW = std::min(picture.width(), blurredMask.width());
    const int overH = std::min(picture.height(), blurredMask.height());
    for (int r = 0; r < overH; ++r) {
        const uint8_t* src = picture.row(r);
        uint8_t* dst = result.row(r);
        for (int c = 0; c < overW; ++c, src += 3, dst += 3)
            if (!isWhite(src)) {
                dst[0] = src[0];
                dst[1] = src[1];
                dst[2] = src[2];
            }
    }
    return result;
}

namespace {

// DropShadowCompose onto the picture itself when it has the mask's size: its pixels that are
// not white stay, and only its white pixels can take the shifted mask.
void composeInPlace(Raster& picture, const Raster& blurredMask, int x, int y)
{
    const int64_t w = picture.width();
    const int64_t h = picture.height();
    const Span columns = shiftedSpan(w, w, x);
    const Span rows = shiftedSpan(h, h, y);
    constexpr int64_t kRun = 64;  // pixels checked for white at once
    if (columns.from >= columns.to)
        return;
    const int count = static_cast<int>(rows.to - rows.from);
    forEachBand(count, bandsFor(count, static_cast<size_t>(w) * 3), [&](int first, int last) {
        for (int64_t r = rows.from + first; r < rows.from + last; ++r) {
            uint8_t* dst = picture.row(static_cast<int>(r));
            const uint8_t* src = blurredMask.row(static_cast<int>(r - y));
            for (int64_t run = columns.from; run < columns.to; run += kRun) {
                const int64_t end = std::min(run + kRun, columns.to);
                if (brightest(dst + 3 * run, static_cast<size_t>(end - run) * 3) != 0xFF)
                    continue;
                for (int64_t c = run; c < end; ++c)
                    if (isWhite(dst + 3 * c))
                        std::memcpy(dst + 3 * c, src + 3 * (c - x), 3);
            }
        }
    });
}

}  // namespace

namespace {

// The blurred mask, worked out channel plane by channel plane. The mask's channel c holds one of
// two values, background_c or shadow_c, so channels with the same pair start as the same plane,
// and since the box filter treats each channel on its own they stay the same through every
// pass. So each distinct pair is blurred once, as a plane of one byte a pixel (a grey shadow on
// a grey or white background makes a single plane), and the planes are interleaved into the
// scratch raster at the end.
class MaskPlanes {
public:
    MaskPlanes(const Raster& picture, Color shadow, Color background)
        : m_width(picture.width()), m_height(picture.height())
    {
        const detail::Bgr bg = detail::bgrOf(background);
        const detail::Bgr sh = detail::bgrOf(shadow);
        const uint8_t bgValue[3] = {bg.b, bg.g, bg.r};
        const uint8_t shValue[3] = {sh.b, sh.g, sh.r};
        for (int c = 0; c < 3; ++c) {
            int p = 0;
            while (p < m_count && !(m_bg[p] == bgValue[c] && m_sh[p] == shValue[c]))
                ++p;
            if (p == m_count) {
                m_bg[p] = bgValue[c];
                m_sh[p] = shValue[c];
                // A raster a third as wide holds a plane: each of its rows has room for
                // width bytes, all of which fill writes.
                m_planes[p] = Raster::unfilled((m_width + 2) / 3, m_height);
                ++m_count;
            }
            m_planeOf[c] = p;
        }
        fill(picture, bg);
    }

    void blur()
    {
        for (int p = 0; p < m_count; ++p)
            for (int pass = 0; pass < 3; ++pass)
                BoxFilter3x3Plane(m_planes[p].bits(), m_width, m_height, m_planes[p].stride(), 9);
    }

    // Interleaves the planes into a raster of the picture's size.
    void writeTo(Raster& mask) const
    {
        forEachBand(m_height, bandsFor(m_height, pictureRowBytes()), [&](int first, int last) {
            for (int y = first; y < last; ++y)
                interleave(mask.row(y), m_planes[m_planeOf[0]].row(y),
                           m_planes[m_planeOf[1]].row(y), m_planes[m_planeOf[2]].row(y), m_width);
        });
    }

private:
    size_t pictureRowBytes() const { return static_cast<size_t>(m_width) * 3; }

    void fill(const Raster& picture, const detail::Bgr& bg)
    {
        forEachBand(m_height, bandsFor(m_height, pictureRowBytes()), [&](int first, int last) {
            std::vector<uint8_t> same(static_cast<size_t>(m_width));
            for (int y = first; y < last; ++y) {
                backgroundBytes(picture.row(y), same.data(), m_width, bg.b, bg.g, bg.r);
                for (int p = 0; p < m_count; ++p)
                    selectBytes(m_planes[p].row(y), same.data(), m_width, m_bg[p], m_sh[p]);
            }
        });
    }

    int m_width, m_height;
    int m_count = 0;
    int m_planeOf[3] = {0, 0, 0};
    uint8_t m_bg[3] = {0, 0, 0};
    uint8_t m_sh[3] = {0, 0, 0};
    Raster m_planes[3];
};

}  // namespace

void DropBlurShadow(Raster& target, const Raster& main, Raster& scratch, int x, int y, Color shadow,
                    Color background)
{
    MaskPlanes planes(main, shadow, background);
    planes.blur();
    detail::resizeForOverwrite(scratch, main.width(), main.height());
    planes.writeTo(scratch);
    if (target.width() == scratch.width() && target.height() == scratch.height()) {
        composeInPlace(target, scratch, x, y);
        return;
    }
    const detail::Surface surface(target);
    target = DropShadowCompose(target, scratch, x, y);
    surface.restore(target);
}

}  // namespace lumavex
