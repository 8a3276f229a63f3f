#pragma once
// Small helpers shared by the effect files; not part of the library's interface.

#include <cstring>
#include <string>
#include <utility>

#include "core/error.h"
#include "core/raster.h"

namespace lumavex::detail {

/// Throws Error(BadArgument) "<what>は 1 以上でなければなりません: <width>" for a width below 1.
inline void requirePositiveWidth(int width, const char* what)
{
    if (width < 1)
        throw Error(ErrorKind::BadArgument,
                    std::string(what) + "は 1 以上でなければなりません: " + std::to_string(width));
}

/// The drawing surface of a raster (brush, font, copy mode), kept aside while its pixels change.
struct Surface {
    explicit Surface(const Raster& r)
        : brushColor(r.brushColor()),
          brushStyle(r.brushStyle()),
          copyMode(r.copyMode()),
          font(r.font())
    {
    }
    void restore(Raster& r) const
    {
        r.setBrushColor(brushColor);
        r.setBrushStyle(brushStyle);
        r.setCopyMode(copyMode);
        r.setFont(font);
    }
    Color brushColor;
    BrushStyle brushStyle;
    CopyMode copyMode;
    Font font;
};

/// Makes target's size and pixels those of source and keeps target's drawing surface (a
/// bitmap copy onto a picture that has its own canvas). Reuses target's rows when the sizes
/// already agree.
inline void copyPixels(Raster& target, const Raster& source)
{
    if (&target == &source)
        return;
    if (target.width() == source.width() && target.height() == source.height()) {
        if (!source.empty())
            std::memcpy(target.bits(), source.bits(), source.stride() * source.height());
        return;
    }
    const Surface surface(target);
    target = source;
    surface.restore(target);
}

/// Gives a raster the size width x height for a caller that overwrites every pixel: the rows are
/// reused when the size is already right, and the drawing surface is kept. Throws as
/// checkRasterSize, leaving the raster as it was.
inline void resizeForOverwrite(Raster& r, int width, int height)
{
    if (r.width() == width && r.height() == height)
        return;
    Raster fresh = Raster::unfilled(width, height);
    Surface(r).restore(fresh);
    r = std::move(fresh);
}

/// Exchanges the pixels (size and rows) of two rasters; each keeps its drawing surface.
inline void tradePixels(Raster& a, Raster& b)
{
    const Surface surfaceA(a), surfaceB(b);
    std::swap(a, b);
    surfaceA.restore(a);
    surfaceB.restore(b);
}

/// The bytes blue, green, red of a colour value.
struct Bgr {
    uint8_t b, g, r;
};
inline Bgr bgrOf(Color c)
{
    return {static_cast<uint8_t>(blueOf(c)), static_cast<uint8_t>(greenOf(c)),
            static_cast<uint8_t>(redOf(c))};
}

}  // namespace lumavex::detail
