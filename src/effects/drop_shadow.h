#pragma once

#include "core/raster.h"

namespace lumavex {

/// The shadow mask of a picture: a new raster of its size whose pixels are the background
/// colour where the picture has exactly the background's red, green and blue, and the shadow
/// colour everywhere else.
Raster DropShadowMask(const Raster& picture, Color shadow, Color background);

/// Lays the picture over its blurred shadow mask shifted by (x, y): a new raster of the mask's
/// size that is the picture's pixel where that pixel lies inside and is not white, else the
/// mask at (px - x, py - y) where that lies inside both the mask and the picture's size, else
/// white. Any offsets are taken; nothing wraps.
Raster DropShadowCompose(const Raster& picture, const Raster& blurredMask, int x, int y);

/// The DropBlurShadow command: the scratch raster becomes the mask of the main picture with the
/// shadow and background colours, blurred by three passes of the 3 x 3 box filter (divisor 9),
/// and the target becomes the composition of itself over it with the offsets. The target may
/// be the main picture itself; it keeps its drawing surface.
void DropBlurShadow(Raster& target, const Raster& main, Raster& scratch, int x, int y, Color shadow,
                    Color background);

}  // namespace lumavex
