#pragma once

#include <cstdint>
#include <span>

#include "core/raster.h"
#include "formats/stream.h"

namespace lumavex {

/// Decodes a PNG file with libpng: every colour type and bit depth, palettes, transparency
/// (tRNS) and interlacing. Alpha is laid over white at the file's own precision and rounded
/// once to 8 bits; 16-bit channels are rounded to the nearest 8-bit value; gamma and the
/// background chunk are ignored. Throws Error(Format) for corrupt or truncated data and
/// Error(TooLarge) for absurd sizes, before the picture is allocated.
Raster ReadPNG(std::span<const uint8_t> data);

/// Writes the picture as an 8-bit RGB PNG file, not interlaced, with libpng's adaptive filters
/// and zlib's compression level 3. Throws the stream's Error(File).
void WritePNG(OutputStream& out, const Raster& picture);

}  // namespace lumavex
