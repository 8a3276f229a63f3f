#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "core/raster.h"

namespace lumavex {

/// The BMP file that an image plug-in's two blocks make: the 14-byte file header, the
/// bitmap-information block (a 40-byte header and its colour table) and the rows. The colour
/// table has biClrUsed entries, or when that is 0, 2, 16 and 256 for 1, 4 and 8 bits and none
/// above. The blocks come from outside the program: when they are smaller than their header
/// says, throws Error(Format) "認識できない画像形式です" and reads nothing beyond them.
std::vector<uint8_t> PluginDibFile(std::span<const uint8_t> info, std::span<const uint8_t> pixels);

/// The picture of the two blocks, decoded as the BMP file above.
Raster PluginDibToRaster(std::span<const uint8_t> info, std::span<const uint8_t> pixels);

}  // namespace lumavex
