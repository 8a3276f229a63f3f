#include "toolkit/color_reduction.h"

#include <gtest/gtest.h>

#include "core/error.h"
#include "support/test_pictures.h"
#include "toolkit/image_ops.h"

namespace lumavex {
namespace {

// Each pixel must become the palette colour that the quantiser, trained on the same picture,
// finds nearest to it.
void expectReducedThroughTheQuantiser(const Raster& original, int count)
{
    Raster reduced = original;
    ReduceColors(reduced, count);
    NeurQuant q(count);
    q.learn(original, NeurQuantSampleFactor(int64_t{original.width()} * original.height()));
    for (int y = 0; y < original.height(); ++y) {
        const uint8_t* p = original.row(y);
        const uint8_t* r = reduced.row(y);
        for (int x = 0; x < original.width(); ++x, p += 3, r += 3) {
            const uint8_t* c = q.palette().data() + 3 * q.nearest(p[0], p[1], p[2]);
            ASSERT_TRUE(std::equal(c, c + 3, r)) << count << " colours at " << x << ", " << y;
        }
    }
    EXPECT_LE(CountColors(reduced), count);
}

TEST(ReduceColors, ReplacesEveryPixelByItsNearestPaletteColour)
{
    for (int count : {2, 16, 256}) {
        expectReducedThroughTheQuantiser(test::makeNoise(60, 50, 3), count);
        expectReducedThroughTheQuantiser(test::makeGradient(33, 21), count);
    }
    expectReducedThroughTheQuantiser(test::makeFPicture(30, 20), 2);
    expectReducedThroughTheQuantiser(test::makeGradient(40, 30), 32000);
}

TEST(ReduceColors, TwoColoursOfATwoColourPictureStayDistinct)
{
    Raster picture = test::makeFPicture(40, 30);
    ReduceColors(picture, 2);
    EXPECT_EQ(CountColors(picture), 2);
}

TEST(ReduceColors, FastAndReferenceKernelsAgreeOnLargePictures)
{
    // Large enough for the nearest-colour table at 8192 colours, a network that decays only
    // its frequent neurons.
    const Raster original = test::makeGradient(128, 128);
    for (int count : {16, 256, 8192}) {
        Raster fast = original;
        ReduceColors(fast, count, QuantKernel::Fast);
        Raster reference = original;
        ReduceColors(reference, count, QuantKernel::Reference);
        EXPECT_TRUE(fast.samePixels(reference)) << count;
    }
}

TEST(ReduceColors, RefusesCountsOutsideTwoTo64000)
{
    const Raster original = test::makeFPicture(10, 8);
    for (int count : {0, 1, -5, 64001}) {
        Raster picture = original;
        EXPECT_THROW(ReduceColors(picture, count), Error) << count;
        EXPECT_TRUE(picture.samePixels(original));
    }
    Raster empty;
    EXPECT_NO_THROW(ReduceColors(empty, 16));
}

}  // namespace
}  // namespace lumavex
