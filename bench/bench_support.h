#pragma once

#include "core/raster.h"

namespace lumavex::bench {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;  // 12 megapixels

/// A 4000 x 3000 photo-like picture (smooth gradients, soft shapes, a little noise), made once.
const Raster& photo();

}  // namespace lumavex::bench
