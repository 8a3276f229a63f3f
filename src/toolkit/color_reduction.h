#pragma once

#include "core/raster.h"
#include "quantize/neuquant.h"

namespace lumavex {

/// Reduces the picture to at most colorCount colours: the neural-network quantiser is built
/// with one neuron per colour, learns from the picture with the sampling factor of its pixel
/// count, and every pixel becomes the palette colour that the quantiser's nearest-colour search
/// gives for it. The editor offers 2, 16, 256, 32000 and 64000. Throws Error(BadArgument) for a
/// count outside 2..64000; the picture is then untouched.
void ReduceColors(Raster& picture, int colorCount, QuantKernel kernel = QuantKernel::Fast);

}  // namespace lumavex
