#pragma once

#include <cstdint>
#include <span>

#include "core/raster.h"
#include "formats/stream.h"

namespace lumavex {

/// Decodes a BMP file (the "BM" file header, then a device-independent bitmap): 1, 2, 4 and
/// 8 bits with a colour table, RLE8 and RLE4, 16 and 32 bits (plain or with colour masks),
/// 24 bits, bottom-up or top-down, with the 12-byte core header, the OS/2 2.x headers, the
/// 40-byte header and its later versions. Pixels that RLE data skips stay black. Throws
/// Error(Format) for corrupt or truncated data, Error(Unsupported) for variants it does not
/// read (embedded JPEG or PNG, CMYK), Error(TooLarge) for absurd sizes, always before
/// allocating the picture.
Raster ReadBMP(std::span<const uint8_t> data);

/// Decodes a ".dib" file: a BMP file, or a bare device-independent bitmap (header, colour table
/// and pixels without the 14-byte file header). Throws as ReadBMP.
Raster ReadDIB(std::span<const uint8_t> data);

/// Decodes the device-independent bitmap of an icon image: its header counts the height of the
/// colour rows and of the AND mask that follows them. The picture is shown on white: a pixel
/// whose mask bit is set is white XOR its colour (white for the usual black), and a 32-bit
/// image whose alpha is not all zero is laid over white by its alpha instead. Throws as
/// ReadBMP.
Raster ReadIconDIB(std::span<const uint8_t> data);

/// Writes the picture as a bottom-up 24-bit BMP file.
void WriteBMP(OutputStream& out, const Raster& picture);

}  // namespace lumavex
