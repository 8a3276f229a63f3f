#include "drop_shadow.h"

#include <algorithm>
#include <cstring>

#include "effect_support.h"
#include "toolkit/filters.h"

namespace lumavex {

namespace {

inline bool isWhite(const uint8_t* p)
{
    return (p[0] & p[1] & p[2]) == 0xFF;
}

// Writes the mask of picture into mask, which has the picture's size.
void maskInto(Raster& mask, const Raster& picture, Color shadow, Color background)
{
    const detail::Bgr bg = detail::bgrOf(background);
    const detail::Bgr sh = detail::bgrOf(shadow);
    const int w = picture.width();
    for (int y = 0; y < picture.height(); ++y) {
        const uint8_t* src = picture.row(y);
        uint8_t* dst = mask.row(y);
        for (int x = 0; x < w; ++x, src += 3, dst += 3) {
            const bool same = src[0] == bg.b && src[1] == bg.g && src[2] == bg.r;
            dst[0] = same ? bg.b : sh.b;
            dst[1] = same ? bg.g : sh.g;
            dst[2] = same ? bg.r : sh.r;
        }
    }
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
    for (int64_t r = rows.from; r < rows.to && columns.from < columns.to; ++r) {
        uint8_t* dst = picture.row(static_cast<int>(r));
        const uint8_t* src = blurredMask.row(static_cast<int>(r - y));
        for (int64_t c = columns.from; c < columns.to; ++c)
            if (isWhite(dst + 3 * c))
                std::memcpy(dst + 3 * c, src + 3 * (c - x), 3);
    }
}

}  // namespace

void DropBlurShadow(Raster& target, const Raster& main, Raster& scratch, int x, int y, Color shadow,
                    Color background)
{
    detail::resizeForOverwrite(scratch, main.width(), main.height());
    maskInto(scratch, main, shadow, background);
    for (int pass = 0; pass < 3; ++pass)
        BoxFilter3x3(scratch, 9);
    if (target.width() == scratch.width() && target.height() == scratch.height()) {
        composeInPlace(target, scratch, x, y);
        return;
    }
    const detail::Surface surface(target);
    target = DropShadowCompose(target, scratch, x, y);
    surface.restore(target);
}

}  // namespace lumavex
