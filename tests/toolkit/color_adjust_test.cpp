#include "toolkit/color_adjust.h"

#include <gtest/gtest.h>

#include "core/error.h"
#include "effects/filters.h"
#include "support/test_pictures.h"

namespace lumavex {
namespace {

Color adjusted(Color c, void (*operation)(Raster&, int, int, int), int a, int b, int d)
{
    Raster picture(1, 1, c);
    operation(picture, a, b, d);
    return picture.pixel(0, 0);
}

TEST(ColorAdjust, HsvAndHslMoveHueSaturationAndBrightness)
{
    const Color brown = makeColor(200, 100, 50);
    EXPECT_EQ(adjusted(makeColor(255, 0, 0), AdjustHsv, 120, 0, 0), makeColor(0, 255, 0));
    EXPECT_EQ(adjusted(makeColor(255, 0, 0), AdjustHsv, -120, 0, 0), makeColor(0, 0, 255));
    EXPECT_EQ(adjusted(brown, AdjustHsv, 0, -100, 0), makeColor(200, 200, 200));
    EXPECT_EQ(adjusted(brown, AdjustHsv, 0, 0, -50), makeColor(100, 50, 25));
    EXPECT_EQ(adjusted(makeColor(200, 120, 40), AdjustHsv, 0, 0, 100), makeColor(255, 153, 51));
    EXPECT_EQ(adjusted(brown, AdjustHsv, 0, 0, 0), brown);

    EXPECT_EQ(adjusted(makeColor(0, 0, 255), AdjustHsl, 120, 0, 0), makeColor(255, 0, 0));
    EXPECT_EQ(adjusted(brown, AdjustHsl, 0, -100, 0), makeColor(125, 125, 125));
    EXPECT_EQ(adjusted(brown, AdjustHsl, 0, 0, 100), kWhite);
    EXPECT_EQ(adjusted(brown, AdjustHsl, 0, 0, -100), kBlack);
    EXPECT_EQ(adjusted(brown, AdjustHsl, 0, 0, 0), brown);
}

TEST(ColorAdjust, RgbOffsetsClamp)
{
    EXPECT_EQ(adjusted(makeColor(250, 10, 100), AdjustRgb, 10, -20, 5), makeColor(255, 0, 105));
}

TEST(ColorAdjust, EqualizationSpreadsEachChannel)
{
    Raster picture(4, 1);
    const int reds[4] = {0, 0, 100, 200};
    for (int x = 0; x < 4; ++x)
        picture.setPixel(x, 0, makeColor(reds[x], 7, 20 + x));
    Equalize(picture);
    // Red: cdf 2, 3, 4 over 4 pixels, the first level's 2 taken off; a half rounds up.
    // Green has one value and is kept; blue's four levels become 0, 85, 170, 255.
    EXPECT_EQ(picture.pixel(0, 0), makeColor(0, 7, 0));
    EXPECT_EQ(picture.pixel(1, 0), makeColor(0, 7, 85));
    EXPECT_EQ(picture.pixel(2, 0), makeColor(128, 7, 170));
    EXPECT_EQ(picture.pixel(3, 0), makeColor(255, 7, 255));
}

TEST(ColorAdjust, UserFilterWeighsDividesTruncatesAndBiases)
{
    // Nine ones are the box filter.
    Raster box = test::makeGradient(9, 5);
    Raster convolved = box;
    BoxFilter3x3(box, 7);
    Convolve3x3(convolved, {1, 1, 1, 1, 1, 1, 1, 1, 1}, 7, 0);
    EXPECT_TRUE(convolved.samePixels(box));

    // Sharpen a bright centre of a 3 x 3 picture: it clips; its upper neighbour sees the
    // clamped edge above it and drops to 0; a corner keeps its value.
    Raster spot(3, 3, makeColor(100, 100, 100));
    spot.setPixel(1, 1, makeColor(200, 200, 200));
    Convolve3x3(spot, {0, -1, 0, -1, 5, -1, 0, -1, 0}, 1, 0);
    EXPECT_EQ(spot.pixel(1, 1), kWhite);
    EXPECT_EQ(spot.pixel(1, 0), kBlack);
    EXPECT_EQ(spot.pixel(0, 0), makeColor(100, 100, 100));

    // -3 / 2 truncates toward zero to -1: 100 - 1.
    Raster one(2, 2, makeColor(1, 1, 1));
    Convolve3x3(one, {0, 0, 0, 0, -3, 0, 0, 0, 0}, 2, 100);
    EXPECT_EQ(one.pixel(1, 1), makeColor(99, 99, 99));

    EXPECT_THROW(Convolve3x3(one, {0, 0, 0, 0, 1, 0, 0, 0, 0}, 0, 0), Error);
}

TEST(ColorAdjust, OnlyThePagesOfThePageSetApply)
{
    ColorAdjustSettings settings;
    settings.red = 50;
    settings.kernel[4] = 2;
    const Raster original(2, 2, makeColor(10, 10, 10));
    auto apply = [&](int pageSet) {
        Raster picture = original;
        ApplyColorAdjustments(picture, settings, pageSet);
        return picture.pixel(0, 0);
    };
    EXPECT_EQ(apply(94), makeColor(60, 10, 10));  // RGB, no user filter
    EXPECT_EQ(apply(32), makeColor(20, 20, 20));  // user filter alone
    EXPECT_EQ(apply(1), makeColor(120, 20, 20));  // RGB, then the filter
    EXPECT_EQ(apply(2), makeColor(10, 10, 10));
}

}  // namespace
}  // namespace lumavex
