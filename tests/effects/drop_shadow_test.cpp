#include "effects/drop_shadow.h"

#include <gtest/gtest.h>

#include "reference_effects.h"
#include "support/test_pictures.h"

namespace lumavex {
namespace {

constexpr Color kGrey = 0x00808080;

// White with a red block at (left, top) of size w x h.
Raster blockOnWhite(int width, int height, int left, int top, int w, int h)
{
    Raster p(width, height, kWhite);
    for (int y = top; y < top + h; ++y)
        for (int x = left; x < left + w; ++x)
            p.setPixel(x, y, test::kTestRed);
    return p;
}

TEST(DropBlurShadow, NoOffsetShowsTheHaloOnlyBesideTheShapes)
{
    Raster p = blockOnWhite(30, 30, 10, 10, 10, 10);
    const Raster before = p;
    Raster scratch;
    DropBlurShadow(p, p, scratch, 0, 0, kGrey, kWhite);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x) {
            if (before.pixel(x, y) != kWhite) {
                ASSERT_EQ(p.pixel(x, y), before.pixel(x, y));
            }
        }
    EXPECT_NE(p.pixel(9, 15), kWhite);  // the halo next to the block
    EXPECT_NE(p.pixel(7, 15), kWhite);  // three passes reach three pixels
    EXPECT_EQ(p.pixel(6, 15), kWhite);
    EXPECT_EQ(p.pixel(2, 2), kWhite);
}

TEST(DropBlurShadow, OffsetsOfThePictureSizeLeaveNoShadow)
{
    const Raster picture = blockOnWhite(30, 20, 5, 5, 10, 10);
    for (auto [x, y] :
         {std::pair{30, 0}, {-30, 0}, {0, 20}, {0, -20}, {INT32_MAX, 3}, {INT32_MIN, INT32_MIN}}) {
        Raster p = picture;
        Raster scratch;
        DropBlurShadow(p, p, scratch, x, y, kGrey, kWhite);
        EXPECT_TRUE(p.samePixels(picture)) << x << "," << y;
    }
}

TEST(DropBlurShadow, PictureWithoutWhiteComesBackUnchanged)
{
    Raster p = test::makeFPicture(25, 20);  // red on blue
    const Raster before = p;
    Raster scratch;
    DropBlurShadow(p, p, scratch, 3, 3, kGrey, kWhite);
    EXPECT_TRUE(p.samePixels(before));
}

TEST(DropBlurShadow, AllBackgroundCastsNoShadow)
{
    Raster white(12, 9, kWhite);
    Raster scratch;
    DropBlurShadow(white, white, scratch, 3, 3, kGrey, kWhite);
    EXPECT_TRUE(white.samePixels(Raster(12, 9, kWhite)));
    EXPECT_TRUE(scratch.samePixels(Raster(12, 9, kWhite)));  // the mask is background only
}

TEST(DropBlurShadow, WhiteAreasShowTheMasksBackgroundExceptTheUncoveredStrip)
{
    // Background blue: the blue block masks as blue, the white around it as shadow.
    const Color blue = test::kTestBlue;
    Raster p(20, 20, kWhite);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            p.setPixel(x, y, blue);
    const Raster before = p;
    Raster scratch;
    DropBlurShadow(p, p, scratch, 4, 4, kGrey, blue);
    EXPECT_EQ(p.pixel(10, 5), blue);    // white, over the shifted blue block
    EXPECT_EQ(p.pixel(18, 18), kGrey);  // white, over the shifted shadow
    EXPECT_EQ(p.pixel(15, 2), kWhite);  // the strip the shift leaves uncovered
    EXPECT_EQ(p.pixel(2, 15), kWhite);
    EXPECT_EQ(p.pixel(5, 5), blue);
    Raster slow = reference::DropBlurShadow(before, before, 4, 4, kGrey, blue);
    EXPECT_TRUE(p.samePixels(slow));
}

TEST(DropBlurShadow, OnePixelPicturePassesThroughTheBlur)
{
    Raster p(1, 1, kWhite);
    Raster scratch;
    DropBlurShadow(p, p, scratch, 0, 0, makeColor(1, 2, 3), test::kTestBlue);
    EXPECT_EQ(p.pixel(0, 0), makeColor(1, 2, 3));
}

TEST(DropBlurShadow, EqualsTheMaskBlurAndCompositionStepByStep)
{
    Raster main = test::makeNoise(31, 23, 2);
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 31; ++x)
            if ((x / 4 + y / 3) % 3 == 0)
                main.setPixel(x, y, (x + y) % 5 ? kWhite : makeColor(9, 9, 9));
    for (auto [x, y] : {std::pair{3, 3}, {0, 0}, {-4, 2}, {7, -9}, {30, 22}, {-31, 5}})
        for (auto [w, h] : {std::pair{31, 23}, {10, 40}, {50, 7}}) {
            Raster target = main;
            target.setSize(w, h);
            const Raster before = target;
            Raster scratch;
            const Color bg = (x & 1) ? kWhite : makeColor(9, 9, 9);
            DropBlurShadow(target, main, scratch, x, y, kGrey, bg);
            const Raster slow = reference::DropBlurShadow(before, main, x, y, kGrey, bg);
            ASSERT_TRUE(target.samePixels(slow)) << x << "," << y << " target " << w << " x " << h;
            ASSERT_TRUE(DropShadowCompose(before, scratch, x, y).samePixels(slow));
        }
    EXPECT_TRUE(DropShadowMask(main, kGrey, kWhite)
                    .samePixels(reference::DropShadowMask(main, kGrey, kWhite)));
}

TEST(DropBlurShadow, TargetKeepsItsSurface)
{
    Raster target = blockOnWhite(10, 10, 2, 2, 3, 3);
    target.setBrushColor(test::kTestRed);
    target.setSize(12, 14);
    target.setCopyMode(CopyMode::SrcPaint);
    const Raster main = blockOnWhite(10, 10, 2, 2, 3, 3);
    Raster scratch;
    DropBlurShadow(target, main, scratch, 1, 1, kGrey, kWhite);
    EXPECT_EQ(target.width(), 10);  // the result has the main picture's size
    EXPECT_EQ(target.brushColor(), test::kTestRed);
    EXPECT_EQ(target.copyMode(), CopyMode::SrcPaint);
}

}  // namespace
}  // namespace lumavex
