#pragma once

#include <cstdint>
#include <span>

#include "core/raster.h"

namespace lumavex {

/// Decodes the largest image of an icon (".ico") or cursor file: the one with the most pixels,
/// of those the one with the most bits a pixel, of those the first. Images may be
/// device-independent bitmaps with their AND mask or PNG files; transparent pixels are white.
/// Throws Error(Format) for a corrupt directory or image, and as ReadBMP and ReadPNG.
Raster ReadICO(std::span<const uint8_t> data);

}  // namespace lumavex
