#pragma once

#include <memory>
#include <vector>

#include "core/raster.h"
#include "core/row_stage.h"

namespace lumavex {

/// The filter number of Lanczos3, the one filter Resample implements.
constexpr int kLanczos3Filter = 5;

/// Lanczos3: sinc(x) sinc(x / 3) for |x| < 3, 0 beyond, with sinc(t) = sin(pi t) / (pi t) and
/// sinc(0) = 1, each factor and the product in double precision.
double Lanczos3(double x);

/// How a channel sum is stored after each pass: above 255 gives 255, below 0 gives 0, anything
/// else the nearest integer with ties to even (254.5 gives 254).
int StoredChannel(double sum);

/// One term of a contribution list: a source index and its weight.
struct Contribution {
    int index;
    double weight;
};

/// The contribution lists of one Lanczos3 pass from n source pixels to m destination pixels
/// (n >= 1, m >= 0): destination i is centred on source i / k, k = m / n, without a half-pixel
/// offset; on shrinking the filter is widened by 1 / k and its weight divided by 1 / k. Zero
/// weights are left out, the weights are not normalised, and source indices outside are
/// mirrored (-j on the left, 2n - 1 - j on the right) and then clamped to 0..n-1.
std::vector<std::vector<Contribution>> Lanczos3Contributions(int n, int m);

/// Rescales the picture to width x height by two separable Lanczos3 passes, horizontal into an
/// intermediate of the new width and the old height, then vertical; every channel sum is
/// clamped to 0..255 and rounded to the nearest integer, ties to even, after each pass.
/// With both sizes negative nothing happens; one negative size follows the aspect ratio
/// (width = old width x height div old height, or height = width x old height div old width).
/// A size of 0 leaves a picture of that size with no pixels. The drawing surface is kept.
/// Throws, leaving the picture untouched: Error(Unsupported) for a filter other than 5,
/// Error(BadArgument) for an empty picture, and as checkRasterSize for a result beyond the
/// size limit.
void Resample(Raster& picture, int width, int height, int filter = kLanczos3Filter);

/// Resample from the top down into a picture of the stage's own, for a source still being
/// filled (its size known). Null when the result would be the source itself or empty, or
/// would need strips of columns (extreme shrinking); throws as Resample.
std::unique_ptr<RowStage> ResampleStage(const Raster& source, int width, int height,
                                        int filter = kLanczos3Filter);

}  // namespace lumavex
