#pragma once

#include "core/raster.h"
#include "formats/picture_io.h"
#include "formats/stream.h"

namespace lumavex {

/// Writes the picture as a GIF file with the save options' bits and interlacing.
void savePictureGif(const Raster& picture, OutputStream& out, const SaveOptions& options);

}  // namespace lumavex
