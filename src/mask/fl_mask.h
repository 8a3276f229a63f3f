#pragma once

#include <vector>

#include "core/raster.h"

namespace lumavex {

/// The edge of one FL tile in picture pixels.
constexpr int kFLTile = 8;

/// The spiral numbers 1..cols x rows of a cols x rows grid of tiles, indexed [y * cols + x]:
/// 1 at the bottom-left, on along the bottom edge, up the right edge, back along the top edge,
/// down the left edge, and so inward counter-clockwise.
std::vector<int> FLTileNumbers(int cols, int rows);

/// The FL mask of a picture: it is cut into 8 x 8 tiles (the right width mod 8 columns and the
/// bottom height mod 8 rows belong to none), and the tile numbered k along the spiral is written,
/// colour-inverted, at the place of the tile numbered n + 1 - k. Pixels of the destination
/// outside the whole tiles are not written. Applying it to its own result gives the tiles back.
/// The destination must have the source's size (a new white picture, usually); throws
/// Error(BadArgument) otherwise, leaving it untouched.
void ApplyFLMask(Raster& destination, const Raster& source);

/// The mask editor's FL command on its working picture: the selection rectangle is in display
/// coordinates at the given zoom factor (a factor above 1 divides each coordinate, truncating
/// toward zero). A selection dragged up or to the left (right < left, bottom < top) is taken
/// with its corners swapped. The region is copied into a white picture of its size (parts
/// outside the working picture read as white), masked, and copied back; parts outside the
/// working picture are not written. Returns the region in picture pixels. Throws as the
/// Raster constructor when the region is too large for a picture; the working picture is then
/// untouched.
Rect ApplyFLMaskToRegion(Raster& working, const Rect& selection, int zoom = 1);

}  // namespace lumavex
