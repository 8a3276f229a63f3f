// Photo-sized rasters reuse the blocks that others released.
#include <gtest/gtest.h>

#include "core/raster.h"

namespace lumavex {
namespace {

TEST(RasterBlocks, APhotoSizedPictureTakesTheBlockTheLastOneLeft)
{
    const uint8_t* first;
    {
        Raster r(3000, 2000, makeColor(1, 2, 3));
        first = r.bits();
    }
    Raster again(3000, 2000, makeColor(4, 5, 6));  // same size: the kept block
    EXPECT_EQ(again.bits(), first);
    for (int y : {0, 1999})
        for (int x : {0, 2999})
            EXPECT_EQ(again.pixel(x, y), makeColor(4, 5, 6));  // filled anew, nothing stale
    Raster copy = again;  // another block: the kept one is taken
    EXPECT_NE(copy.bits(), again.bits());
    EXPECT_TRUE(copy.samePixels(again));
}

TEST(RasterBlocks, GrowingAndUnfilledPicturesKeepTheirContent)
{
    {
        Raster big(3100, 2100, kBlack);
    }  // leaves a block a little larger than the next one
    Raster r = Raster::unfilled(3000, 2000);
    const size_t pad = r.stride() - 3000 * 3;
    for (int y = 0; y < 2000; y += 999)
        for (size_t i = 0; i < pad; ++i)
            ASSERT_EQ(r.row(y)[3000 * 3 + i], 0);  // padding is zero even in a reused block
    r.setBrushColor(makeColor(7, 7, 7));
    r.setPixel(2999, 1999, makeColor(9, 8, 7));
    r.setSize(3010, 2010);
    EXPECT_EQ(r.pixel(2999, 1999), makeColor(9, 8, 7));
    EXPECT_EQ(r.pixel(3009, 2009), makeColor(7, 7, 7));
    Raster moved = std::move(r);
    moved.setSize(10, 10);
    EXPECT_EQ(moved.width(), 10);
}

}  // namespace
}  // namespace lumavex
