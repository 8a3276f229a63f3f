#pragma once

#include <utility>

#include "core/raster.h"

namespace lumavex {

/// Gives the picture the size and pixels of a result computed beside it, keeping the picture's
/// drawing surface (brush, font, copy mode).
inline void adoptPixels(Raster& picture, Raster&& result)
{
    result.setBrushColor(picture.brushColor());
    result.setBrushStyle(picture.brushStyle());
    result.setCopyMode(picture.copyMode());
    result.setFont(picture.font());
    picture = std::move(result);
}

}  // namespace lumavex
