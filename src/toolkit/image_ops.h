#pragma once

#include <cstdint>

#include "core/raster.h"

namespace lumavex {

/// Mirrors the picture left to right.
void HFlip(Raster& picture);
/// Mirrors the picture top to bottom.
void VFlip(Raster& picture);
/// Every channel v becomes 255 - v.
void Negative(Raster& picture);
/// Red, green and blue of each pixel all become (30 red + 59 green + 11 blue) div 100.
void Gray(Raster& picture);
/// HFlip, Negative and Gray on rows first .. last - 1 only.
void HFlipRows(Raster& picture, int first, int last);
void NegativeRows(Raster& picture, int first, int last);
void GrayRows(Raster& picture, int first, int last);
/// Changes the canvas to width x height without scaling: the top-left stays, a smaller size
/// cuts at the right and bottom, added area takes the background colour. The drawing surface
/// is kept. Throws Error(BadArgument) for a side below 1, and as checkRasterSize.
void ResizeCanvas(Raster& picture, int width, int height, Color background = kBlack);
/// The number of distinct blue, green, red triples.
int64_t CountColors(const Raster& picture);

}  // namespace lumavex
