#pragma once

#include <cstdint>
#include <span>

#include "core/raster.h"
#include "formats/stream.h"

namespace lumavex {

/// Decodes a WebP file (lossy or lossless, still; of an animation the first frame) with libwebp.
/// Alpha is laid over white as the other readers do. Throws Error(Format) for corrupt data,
/// Error(Unsupported) for animations libwebp's simple decoder refuses and Error(TooLarge) before
/// anything is allocated for sizes beyond the picture limit.
Raster ReadWebP(std::span<const uint8_t> data);

/// Encodes the picture as WebP: lossy at a quality of 1 to 100, or lossless. WebP holds at most
/// 16383 pixels a side; larger pictures are refused with Error(TooLarge) and nothing is written.
void WriteWebP(OutputStream& out, const Raster& picture, int quality, bool lossless);

}  // namespace lumavex
