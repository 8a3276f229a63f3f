#pragma once

#include <cstdint>

#include "core/raster.h"

namespace lumavex {

/// The sizes of a rotation by three shears of a width x height picture by a remaining angle of
/// -45..45 degrees (not 0): buffer 1 is w1 x height, buffer 2 and the result h2 high, the result
/// w3 wide; d2 and d3 are the shifts that trim the second and third shears.
struct ShearSizes {
    int64_t w1 = 0;
    int64_t d2 = 0;
    int64_t h2BeforeCorrection = 0;
    int64_t d3 = 0;
    int64_t h2 = 0;
    int64_t w3 = 0;
};
ShearSizes RotationShearSizes(int width, int height, int degrees);

/// Turns the picture counter-clockwise (as seen on the screen) by whole degrees: quarter turns
/// until the rest lies within -45..45, then three shears (horizontal, vertical, horizontal) into
/// a grown picture whose uncovered area takes the background colour. With anti-aliasing each
/// shear blends neighbouring pixels in 1/4096 steps, rounding (prev w + cur (4096 - w) + 2048)
/// / 4096 to nearest with ties to even, so an unmoved odd channel comes out one higher; without
/// it the shears copy pixels unblended at the same rounded shifts. The drawing surface is kept.
/// Throws Error(TooLarge), leaving the picture untouched, when the result or a shear buffer
/// would exceed the size limit.
void Rotate(Raster& picture, int degrees, bool antialias = true, Color background = kBlack);

/// The picture turned by 90 degrees counter-clockwise quarterTurns times (any integer; negative
/// turns clockwise): pixel (x, y) of a counter-clockwise turn is pixel (W - 1 - y, x).
Raster QuarterTurned(const Raster& picture, int quarterTurns);

}  // namespace lumavex
