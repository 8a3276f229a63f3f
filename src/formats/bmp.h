#pragma once

#include <cstdint>
#include <span>

#include "effects/raster.h"
#include "formats/stream.h"

namespace lumavex {

/// Decodes a BMP or DIB file. Throws Error(Format) for corrupt or truncated data,
/// Error(Unsupported) for variants it does not read, Error(TooLarge) for absurd sizes.
Raster ReadBMP(std::span<const uint8_t> data);

/// Writes the picture as a bottom-up 24-bit BMP file.
void WriteBMP(OutputStream& out, const Raster& picture);

}  // namespace lumavex
