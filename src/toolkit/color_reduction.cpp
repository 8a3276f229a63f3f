#include "color_reduction.h"

namespace lumavex {

void ReduceColors(Raster& picture, int colorCount, QuantKernel kernel)
{
    NeurQuant quantiser(colorCount, kernel);
    quantiser.learn(picture, NeurQuantSampleFactor(int64_t{picture.width()} * picture.height()));
    quantiser.mapColors(picture);
}

}  // namespace lumavex
