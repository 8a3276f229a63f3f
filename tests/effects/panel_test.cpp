#include "effects/panel.h"

#include <gtest/gtest.h>

#include "core/error.h"
#include "reference_effects.h"
#include "support/test_pictures.h"

namespace lumavex {
namespace {

TEST(Panel, WidthOneLeavesThePictureAsItWas)
{
    Raster p = test::makeNoise(20, 15, 2);
    const Raster before = p;
    Panel(p, 5, -7, 1);
    EXPECT_TRUE(p.samePixels(before));
    EXPECT_EQ(p.copyMode(), CopyMode::NotSrcCopy);  // the inverted pass ran all the same
    EXPECT_EQ(p.brushColor(), kWhite);
}

TEST(Panel, WhitePictureStaysWhite)
{
    for (auto [l1, l2] : {std::pair{0, 0}, {40, -40}, {-100, 100}}) {
        Raster p(40, 30, kWhite);
        Panel(p, l1, l2, 10);
        EXPECT_TRUE(p.samePixels(Raster(40, 30, kWhite))) << l1 << "," << l2;
    }
}

TEST(Panel, BlackPictureGetsTheFourBandGreys)
{
    Raster p(60, 50, kBlack);
    Panel(p, 0, 0, 10);
    EXPECT_EQ(p.pixel(30, 5), 0x00B2B2B2u);   // top: 76.5 -> 77, 255 - 77
    EXPECT_EQ(p.pixel(30, 45), 0x00333333u);  // bottom: 255 - 204
    EXPECT_EQ(p.pixel(5, 25), 0x00CCCCCCu);   // left: 255 - 51
    EXPECT_EQ(p.pixel(55, 25), 0x00191919u);  // right: 229.5 -> 230, 255 - 230
    // Row 0 and column 0 are never changed; the last row and column are.
    for (int x = 0; x < 60; ++x)
        EXPECT_EQ(p.pixel(x, 0), kBlack) << x;
    for (int y = 0; y < 50; ++y)
        EXPECT_EQ(p.pixel(0, y), kBlack) << y;
    EXPECT_EQ(p.pixel(30, 49), 0x00333333u);
    EXPECT_EQ(p.pixel(59, 25), 0x00191919u);
    // The mitres: the top band runs from the diagonal j = i, the left band below it.
    EXPECT_EQ(p.pixel(5, 5), 0x00B2B2B2u);
    EXPECT_EQ(p.pixel(4, 5), 0x00CCCCCCu);
    EXPECT_EQ(p.pixel(30, 10), kBlack);  // row n is outside the top band
    EXPECT_EQ(p.pixel(10, 25), kBlack);  // column n is outside the left band
}

TEST(Panel, EqualsThePixelByPixelPass)
{
    struct Case {
        int w, h, n, l1, l2;
    };
    for (const Case c : {Case{40, 30, 10, 0, 0}, Case{40, 30, 9, 2, 1}, Case{31, 44, 6, 7, -3},
                         Case{15, 12, 10, 0, 0}, Case{7, 40, 10, 1, 1}, Case{40, 5, 4, -2, 9},
                         Case{2, 2, 2, 0, 0}, Case{1, 1, 3, 0, 0}, Case{25, 25, 30, 1, 2},
                         Case{30, 20, 10, 40, -50}, Case{20, 20, 5, 2000, -3000}}) {
        Raster fast = test::makeNoise(c.w, c.h, c.n + c.l1);
        Raster slow = fast;
        Panel(fast, c.l1, c.l2, c.n);
        reference::Panel(slow, c.l1, c.l2, c.n);
        ASSERT_TRUE(fast.samePixels(slow))
            << c.w << " x " << c.h << " n " << c.n << " levels " << c.l1 << ", " << c.l2;
    }
}

TEST(Panel, NegativeFactorsWrapThroughTheLowBits)
{
    // level1 = 10 makes the top factor (5 - 2 - 10) / 10 negative.
    Raster p(30, 30, makeColor(200, 100, 50));
    Raster slow = p;
    Panel(p, 10, 0, 10);
    reference::Panel(slow, 10, 0, 10);
    EXPECT_TRUE(p.samePixels(slow));
    EXPECT_NE(p.pixel(15, 3), makeColor(200, 100, 50));
}

TEST(Panel, RefusesBadWidthsAndAbsurdLevelsUntouched)
{
    Raster p = test::makeNoise(30, 30, 5);
    const Raster before = p;
    try {
        Panel(p, 0, 0, 0);
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::BadArgument);
        EXPECT_EQ(std::string(e.what()), "パネルの幅は 1 以上でなければなりません: 0");
    }
    EXPECT_THROW(Panel(p, 0, 0, -10), Error);
    for (auto [l1, l2] : {std::pair{1000000, 0}, {0, -1000000}, {INT32_MIN, 0}, {0, INT32_MAX}}) {
        try {
            Panel(p, l1, l2, 10);
            FAIL() << l1 << "," << l2;
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::BadArgument);
        }
    }
    EXPECT_TRUE(p.samePixels(before));
    EXPECT_EQ(p.copyMode(), CopyMode::SrcCopy);
    // Huge widths are fine: the factors stay near one half.
    Panel(p, 0, 0, 2000000000);
    Raster slow = before;
    reference::Panel(slow, 0, 0, 2000000000);
    EXPECT_TRUE(p.samePixels(slow));
}

}  // namespace
}  // namespace lumavex
