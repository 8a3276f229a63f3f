#pragma once

#include "core/raster.h"

namespace lumavex {

/// The merge blend of a layer of the document's size into the document, rate percent of the
/// document and 100 - rate of the layer: every channel becomes the nearest integer (halves to
/// even) of ((rate x d) x 0.01) + (((100 - rate) x t) x 0.01) in double, clamped to 0..255.
/// Throws Error(BadArgument) when the sizes differ; the document is then untouched.
void MergeBlend(Raster& document, const Raster& layer, int rate);

/// The Merge command: the layer, scaled by nearest neighbour to the document's size (an empty
/// layer counts as white), is blended into the document with MergeBlend's arithmetic.
void Merge(Raster& document, const Raster& layer, int rate);

/// Mixes a pasted layer into a copy of the base with its top-left corner at (x, y): a new
/// raster of (W + margin) x (H + margin), the margin strips white. Over the base's own pixels,
/// white layer pixels are transparent, pixels of the key colour (its low 24 bits) are pasted as
/// they are, and any other pixel gives the base pixel's hue and saturation at the smaller of the
/// two values (HSV round trip, channels rounded half away and kept to 8 bits). Throws
/// Error(BadArgument) for a negative margin and Error(TooLarge) beyond the size limit.
Raster MixPaste(const Raster& layer, const Raster& base, Color key, int margin, int x, int y);

/// The margin the MixPaste command adds: the document grows by 3 pixels each way every time.
constexpr int kMixPasteMargin = 3;

/// The MixPaste command: the scratch raster takes a copy of the main picture, and the main
/// picture becomes MixPaste of the floating layer over it at (x, y) with the key colour and
/// the margin of 3. The main picture keeps its drawing surface.
void MixPasteCommand(Raster& main, Raster& scratch, const Raster& layer, Color key, int x, int y);

}  // namespace lumavex
