#pragma once

#include "core/raster.h"

namespace lumavex {

/// Bevels the picture's edges in place: bands of width pixels along the top (rows 1 .. n - 1),
/// bottom, left and right, mitred at the corners, each scaling the saturation and value of its
/// pixels (in the negative) by its own factor and keeping their hue. level1 lightens the top and
/// left bands, level2 darkens the bottom and right ones; channels that leave 0..255 keep their
/// low 8 bits. Row 0 and column 0 never change. Afterwards the copy mode is NOTSRCCOPY and the
/// brush white. Throws Error(BadArgument) if width < 1, or if a level is so large that a
/// channel would overflow the arithmetic; the picture is then untouched.
void Panel(Raster& picture, int level1, int level2, int width);

}  // namespace lumavex
