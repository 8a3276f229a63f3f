#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/raster.h"
#include "core/row_stage.h"

namespace lumavex {

/// The 3 x 3 convolution with nine ones: every channel becomes the sum of its 3 x 3
/// neighbourhood (neighbours beyond an edge replaced by the nearest pixel inside) divided by
/// the divisor with the fraction dropped, clamped to 0..255. All sums read unfiltered values.
/// Throws Error(BadArgument) for a divisor below 1.
void BoxFilter3x3(Raster& picture, int divisor);
/// BoxFilter3x3 for a picture still being filled from the top, on the caller's thread.
std::unique_ptr<RowStage> BoxFilter3x3Stage(int divisor);

/// The same filter on a plane of one channel: height rows of width bytes, stride bytes apart.
void BoxFilter3x3Plane(uint8_t* plane, int width, int height, size_t stride, int divisor);

/// The 3 x 3 convolution with any kernel (row by row, kernel[0] the top-left weight): every
/// channel becomes its weighted 3 x 3 sum (edges as above) divided by the divisor, truncated
/// toward zero, plus the bias, clamped to 0..255. All sums read unfiltered values. The kernel of
/// nine ones with bias 0 is BoxFilter3x3. Throws Error(BadArgument) for a divisor below 1.
void Convolve3x3(Raster& picture, const int (&kernel)[9], int divisor, int bias);

/// Contrast by an amount: with factor 1 + amount x 0.1 and m the truncated mean of a channel
/// over all pixels, every value v becomes m + (v - m) x factor truncated toward zero, clamped
/// to 0..255.
void Contrast(Raster& picture, int amount);

}  // namespace lumavex
