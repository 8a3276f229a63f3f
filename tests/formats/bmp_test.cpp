#include "formats/bmp.h"

#include <gtest/gtest.h>

#include "effects/error.h"
#include "support/test_pictures.h"

namespace lumavex {
namespace {

TEST(BMP, TwentyFourBitRoundTripIsExact)
{
    for (int w : {1, 2, 3, 4, 5, 33}) {
        const Raster picture = test::makeGradient(w, 7);
        MemoryOutput out;
        WriteBMP(out, picture);
        const auto& b = out.bytes();
        ASSERT_EQ(b.size(), 54 + rowStride(w) * 7);
        EXPECT_EQ(b[0], 'B');
        EXPECT_EQ(b[28], 24);
        const Raster back = ReadBMP(b);
        EXPECT_TRUE(back.samePixels(picture)) << w;
    }
}

}  // namespace
}  // namespace lumavex
