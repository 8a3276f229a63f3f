#pragma once

#include <cstdint>
#include <span>

#include "core/raster.h"

namespace lumavex {

/// Decodes the first image of a GIF file with giflib onto its logical screen (enlarged to hold
/// the image when the screen is smaller). The screen outside the image and the image's
/// transparent colour are white. Throws Error(Format) for corrupt or truncated data, a file
/// without an image or colour table, or a colour index beyond the table; Error(TooLarge) for
/// absurd sizes.
Raster ReadGIF(std::span<const uint8_t> data);

}  // namespace lumavex
