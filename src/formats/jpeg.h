#pragma once

#include <cstdint>
#include <span>

#include "core/raster.h"
#include "formats/stream.h"

namespace lumavex {

/// The quality the JPEG codec writes with unless told otherwise (libjpeg's default).
constexpr int kDefaultJpegQuality = 75;

/// Decodes a JPEG file with libjpeg-turbo: colour, grey-scale (all three channels equal), CMYK
/// and YCCK (Adobe's inverted CMYK included); baseline, progressive or arithmetic-coded.
/// A file missing only its end marker is read; one that ends before its last row is not.
/// Throws Error(Format) for corrupt or truncated data, Error(TooLarge) for absurd sizes, both
/// before the picture is allocated where the header tells.
Raster ReadJPEG(std::span<const uint8_t> data);

/// Writes the picture as a JFIF file with libjpeg's default settings (4:2:0 YCbCr, the
/// standard Huffman tables, no optimisation) at a quality of 1 .. 100: with the default
/// quality the bytes are those that libjpeg-turbo's cjpeg writes for the same pixels.
/// Throws Error(BadArgument) for another quality and the stream's Error(File).
void WriteJPEG(OutputStream& out, const Raster& picture, int quality = kDefaultJpegQuality);

}  // namespace lumavex
