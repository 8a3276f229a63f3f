#pragma once

#include <cstdint>
#include <span>

#include "core/raster.h"
#include "formats/stream.h"

namespace lumavex {

/// Decodes the first page of a TIFF file with libtiff: 1 to 16 bits a channel, RGB, grey,
/// palette, CMYK, YCbCr and the other photometric kinds libtiff turns into RGB, stripped or
/// tiled, any compression libtiff reads. Alpha is laid over white as the other readers do.
/// Throws Error(Format) for corrupt data, Error(Unsupported) for variants libtiff cannot turn
/// into RGB and Error(TooLarge) before anything is allocated for sizes beyond the picture limit.
Raster ReadTIFF(std::span<const uint8_t> data);

enum class TiffCompression { None, Lzw, Deflate };

/// Writes the picture as one 24-bit RGB page, uncompressed or LZW or Deflate (both with the
/// horizontal predictor).
void WriteTIFF(OutputStream& out, const Raster& picture, TiffCompression compression);

}  // namespace lumavex
