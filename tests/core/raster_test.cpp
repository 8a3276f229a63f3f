#include "core/raster.h"

#include <gtest/gtest.h>

#include "core/color.h"
#include "core/error.h"
#include "support/negative_pass.h"
#include "support/test_pictures.h"

namespace lumavex {
namespace {

using test::makeFPicture;
using test::makeGradient;

TEST(Raster, StoresRowsAsBlueGreenRedPaddedToFourBytes)
{
    Raster r(5, 2);
    EXPECT_EQ(r.stride(), 16u);
    r.setPixel(1, 1, makeColor(10, 20, 30));
    const uint8_t* p = r.row(1) + 3;
    EXPECT_EQ(p[0], 30);
    EXPECT_EQ(p[1], 20);
    EXPECT_EQ(p[2], 10);
    EXPECT_EQ(r.pixel(1, 1), 0x001E140Au);
    EXPECT_EQ(r.row(1) - r.row(0), 16);
}

TEST(Raster, ReadingOutsideIsAnErrorWritingOutsideIsIgnored)
{
    Raster r(3, 3);
    EXPECT_THROW(r.pixel(3, 0), Error);
    EXPECT_THROW(r.pixel(0, -1), Error);
    const Raster before = r;
    r.setPixel(-1, 0, kBlack);
    r.setPixel(0, 3, kBlack);
    r.setPixel(3, 2, kBlack);
    EXPECT_TRUE(r.samePixels(before));
}

TEST(Raster, EnlargingFillsWithTheBrushWhiteUntilSet)
{
    Raster fresh(2, 2, kBlack);
    fresh.setSize(4, 3);
    EXPECT_EQ(fresh.pixel(1, 1), kBlack);
    EXPECT_EQ(fresh.pixel(2, 0), kWhite);
    EXPECT_EQ(fresh.pixel(0, 2), kWhite);

    Raster red(2, 2, kBlack);
    red.setBrushColor(test::kTestRed);
    red.setWidth(3);
    red.setHeight(3);
    EXPECT_EQ(red.pixel(2, 0), test::kTestRed);
    EXPECT_EQ(red.pixel(2, 2), test::kTestRed);
    EXPECT_EQ(red.pixel(1, 1), kBlack);
}

TEST(Raster, EnlargingUnderAClearBrushAddsBlack)
{
    Raster r(2, 2);
    r.setBrushStyle(BrushStyle::Clear);
    r.setWidth(4);
    EXPECT_EQ(r.pixel(3, 1), kBlack);
    EXPECT_EQ(r.pixel(1, 1), kWhite);
}

TEST(Raster, ShrinkingKeepsTheTopLeft)
{
    Raster r = makeGradient(6, 5);
    const Raster before = r;
    r.setSize(3, 2);
    ASSERT_EQ(r.width(), 3);
    ASSERT_EQ(r.height(), 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(r.pixel(x, y), before.pixel(x, y));
}

TEST(Raster, RefusesAbsurdSizesBeforeAllocating)
{
    EXPECT_THROW(Raster(-1, 5), Error);
    EXPECT_THROW(Raster(70000, 1), Error);
    EXPECT_THROW(Raster(40000, 40000), Error);  // 4.8 GB of rows
    try {
        Raster(65535, 65535);
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::TooLarge);
    }
    Raster r(4, 4);
    EXPECT_THROW(r.setSize(65536, 4), Error);
    EXPECT_EQ(r.width(), 4);  // unchanged after the refusal
    EXPECT_NO_THROW(checkRasterSize(65535, 1));
    EXPECT_NO_THROW(checkRasterSize(0, 0));
}

TEST(Raster, AnUnfilledRasterHasItsSizeAndZeroPadding)
{
    // Large enough for the huge-page advice, with a byte of padding a row.
    const Raster r = Raster::unfilled(3001, 1000);
    EXPECT_EQ(r.width(), 3001);
    EXPECT_EQ(r.height(), 1000);
    EXPECT_EQ(r.stride(), 9004u);
    EXPECT_EQ(r.brushColor(), kWhite);
    for (int y = 0; y < r.height(); ++y)
        for (size_t i = 3001 * 3; i < r.stride(); ++i)
            ASSERT_EQ(r.row(y)[i], 0);
    EXPECT_THROW(Raster::unfilled(70000, 1), Error);
    EXPECT_TRUE(Raster::unfilled(0, 0).empty());
    EXPECT_TRUE(Raster::unfilled(0, 7).empty());
    EXPECT_TRUE(Raster(0, 7).empty());
}

TEST(Raster, AssignMakesAnIndependentCopy)
{
    Raster a = makeFPicture(10, 8);
    Raster b;
    b.assign(a);
    a.setPixel(0, 0, kBlack);
    EXPECT_NE(b.pixel(0, 0), kBlack);
    EXPECT_EQ(b.width(), 10);
    EXPECT_EQ(b.height(), 8);

    // Copied over a picture of the same size, it keeps that picture's rows but takes every
    // pixel and drawing attribute.
    Raster c(10, 8);
    const uint8_t* rows = c.bits();
    a.setBrushColor(makeColor(200, 0, 0));
    a.setCopyMode(CopyMode::SrcPaint);
    c = a;
    EXPECT_EQ(c.bits(), rows);
    EXPECT_EQ(c.pixel(0, 0), kBlack);
    EXPECT_EQ(c.pixel(9, 7), a.pixel(9, 7));
    EXPECT_EQ(c.brushColor(), makeColor(200, 0, 0));
    EXPECT_EQ(c.copyMode(), CopyMode::SrcPaint);
}

TEST(Raster, FillRectIsRightAndBottomExclusiveAndClipped)
{
    Raster r(5, 5);
    r.setBrushColor(kBlack);
    r.fillRect({1, 1, 3, 4});
    EXPECT_EQ(r.pixel(1, 1), kBlack);
    EXPECT_EQ(r.pixel(2, 3), kBlack);
    EXPECT_EQ(r.pixel(3, 1), kWhite);
    EXPECT_EQ(r.pixel(1, 4), kWhite);
    r.fillRect({-5, -5, 1, 1});
    EXPECT_EQ(r.pixel(0, 0), kBlack);
    r.setBrushStyle(BrushStyle::Clear);
    r.fillRect(r.bounds());
    EXPECT_EQ(r.pixel(4, 4), kWhite);
}

TEST(Raster, CopyModesCombineAsTheirCodesSay)
{
    const Color d = makeColor(0x12, 0x34, 0x56);
    const Color s = makeColor(0x81, 0x42, 0x24);
    auto run = [&](CopyMode mode) {
        Raster dest(1, 1, d);
        Raster src(1, 1, s);
        dest.setCopyMode(mode);
        dest.copyRect({0, 0, 1, 1}, src, {0, 0, 1, 1});
        return dest.pixel(0, 0);
    };
    EXPECT_EQ(run(CopyMode::SrcCopy), s);
    EXPECT_EQ(run(CopyMode::DstInvert), makeColor(0xED, 0xCB, 0xA9));
    EXPECT_EQ(run(CopyMode::NotSrcCopy), makeColor(0x7E, 0xBD, 0xDB));
    EXPECT_EQ(run(CopyMode::SrcPaint), makeColor(0x93, 0x76, 0x76));
    EXPECT_EQ(static_cast<uint32_t>(CopyMode::SrcPaint), 0x00EE0086u);
}

TEST(Raster, CopyModesCombineEveryByteOfLongRows)
{
    // Rows of 3 x 37 bytes: whole words and a tail, at an offset that is not word-aligned.
    const Raster d = test::makeNoise(40, 3, 1);
    const Raster s = test::makeNoise(40, 3, 2);
    for (CopyMode mode : {CopyMode::DstInvert, CopyMode::NotSrcCopy, CopyMode::SrcPaint}) {
        Raster dest = d;
        dest.setCopyMode(mode);
        dest.copyRect({3, 0, 40, 3}, s, {1, 0, 38, 3});
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 40; ++x) {
                const Color dc = d.pixel(x, y);
                Color expected = dc;
                if (x >= 3) {
                    const Color sc = s.pixel(x - 2, y);
                    expected = mode == CopyMode::DstInvert    ? ~dc & 0xFFFFFF
                               : mode == CopyMode::NotSrcCopy ? ~sc & 0xFFFFFF
                                                              : dc | sc;
                }
                ASSERT_EQ(dest.pixel(x, y), expected) << static_cast<uint32_t>(mode) << " " << x;
            }
    }
}

TEST(Raster, NewRastersStartWithPlainCopy)
{
    EXPECT_EQ(Raster(1, 1).copyMode(), CopyMode::SrcCopy);
}

TEST(Raster, CopyWithinTheSameRasterHandlesOverlap)
{
    Raster r = makeGradient(8, 6);
    const Raster before = r;
    r.copyRect({2, 1, 8, 6}, r, {0, 0, 6, 5});
    for (int y = 1; y < 6; ++y)
        for (int x = 2; x < 8; ++x)
            ASSERT_EQ(r.pixel(x, y), before.pixel(x - 2, y - 1)) << x << "," << y;
    EXPECT_EQ(r.pixel(0, 0), before.pixel(0, 0));

    Raster back = makeGradient(8, 6);
    const Raster original = back;
    back.copyRect({0, 0, 6, 5}, back, {2, 1, 8, 6});
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x)
            ASSERT_EQ(back.pixel(x, y), original.pixel(x + 2, y + 1));
}

TEST(Raster, CopyClipsAgainstBothRasters)
{
    Raster dest(4, 4, kBlack);
    Raster src(2, 2, kWhite);
    dest.copyRect({3, 3, 5, 5}, src, {0, 0, 2, 2});
    EXPECT_EQ(dest.pixel(3, 3), kWhite);
    EXPECT_EQ(dest.pixel(2, 3), kBlack);
    // Source pixels beyond the source's edge write nothing.
    Raster d2(4, 4, kBlack);
    d2.copyRect({0, 0, 4, 4}, src, {0, 0, 4, 4});
    EXPECT_EQ(d2.pixel(1, 1), kWhite);
    EXPECT_EQ(d2.pixel(2, 2), kBlack);
}

TEST(Raster, DrawPlacesAWholePictureWithTheCopyMode)
{
    Raster canvas(6, 6, kBlack);
    const Raster f = makeFPicture(3, 3);
    canvas.draw(2, 1, f);
    EXPECT_EQ(canvas.pixel(2, 1), f.pixel(0, 0));
    EXPECT_EQ(canvas.pixel(4, 3), f.pixel(2, 2));
    EXPECT_EQ(canvas.pixel(1, 1), kBlack);
    canvas.setCopyMode(CopyMode::NotSrcCopy);
    canvas.draw(0, 0, f);
    EXPECT_EQ(canvas.pixel(0, 0), InvertColor(f.pixel(0, 0)));
}

TEST(Raster, StretchDrawIsNearestNeighbourByFloor)
{
    Raster src(3, 1);
    src.setPixel(0, 0, 0x000000AA);
    src.setPixel(1, 0, 0x000000BB);
    src.setPixel(2, 0, 0x000000CC);
    Raster dest(7, 2, kBlack);
    dest.stretchDraw({0, 0, 7, 2}, src);
    // i reads floor(i * 3 / 7): 0 0 0 1 1 2 2
    const Color expected[7] = {0xAA, 0xAA, 0xAA, 0xBB, 0xBB, 0xCC, 0xCC};
    for (int x = 0; x < 7; ++x) {
        EXPECT_EQ(dest.pixel(x, 0), expected[x]) << x;
        EXPECT_EQ(dest.pixel(x, 1), expected[x]) << x;
    }
    Raster small(2, 1, kBlack);
    small.stretchDraw({0, 0, 2, 1}, src);  // floor(0 * 3 / 2) = 0, floor(3 / 2) = 1
    EXPECT_EQ(small.pixel(0, 0), 0xAAu);
    EXPECT_EQ(small.pixel(1, 0), 0xBBu);
}

TEST(Raster, FloodFillIsFourConnectedAndExact)
{
    Raster r(5, 5, kWhite);
    // A diagonal wall: 4-connected fill must not pass through it.
    for (int i = 0; i < 5; ++i)
        r.setPixel(i, 4 - i, kBlack);
    r.setPixel(2, 0, makeColor(255, 255, 254));  // almost white is another colour
    r.setBrushColor(test::kTestRed);
    r.floodFill(0, 0, kWhite);
    EXPECT_EQ(r.pixel(0, 0), test::kTestRed);
    EXPECT_EQ(r.pixel(1, 2), test::kTestRed);
    EXPECT_EQ(r.pixel(3, 0), kWhite);  // cut off by the almost-white pixel and the wall
    EXPECT_EQ(r.pixel(2, 0), makeColor(255, 255, 254));
    EXPECT_EQ(r.pixel(4, 4), kWhite);
    EXPECT_EQ(r.pixel(2, 2), kBlack);
    // A start on another colour fills nothing.
    const Raster before = r;
    r.floodFill(4, 4, kBlack);
    EXPECT_TRUE(r.samePixels(before));
}

TEST(Raster, FloodFillOfAHugeSurfaceDoesNotExhaustTheStack)
{
    Raster r(10000, 10000, kBlack);  // 100 megapixels
    r.setBrushColor(kWhite);
    r.floodFill(5000, 5000, kBlack);
    EXPECT_EQ(r.pixel(0, 0), kWhite);
    EXPECT_EQ(r.pixel(9999, 9999), kWhite);
}

TEST(Raster, FloodFillOfAMazeReachesEveryCorridor)
{
    // A comb whose teeth hang from the top: the fill has to turn back into every tooth.
    Raster r(41, 21, kWhite);
    for (int x = 1; x < 41; x += 2)
        for (int y = (x % 4 == 1) ? 0 : 1; y < ((x % 4 == 1) ? 20 : 21); ++y)
            r.setPixel(x, y, kBlack);
    r.setBrushColor(test::kTestBlue);
    r.floodFill(0, 0, kWhite);
    for (int y = 0; y < 21; ++y) {
        for (int x = 0; x < 41; ++x) {
            if (r.pixel(x, y) != kBlack) {
                ASSERT_EQ(r.pixel(x, y), test::kTestBlue) << x << "," << y;
            }
        }
    }
}

TEST(Raster, InvertedSelfCopyAndCopyBackRestoreThePicture)
{
    Raster p = makeFPicture(13, 9);
    const Raster before = p;
    test::NegativePass(p, [](Raster&) {});
    EXPECT_TRUE(p.samePixels(before));
    EXPECT_EQ(p.copyMode(), CopyMode::NotSrcCopy);
    EXPECT_EQ(p.brushColor(), kWhite);
}

TEST(Raster, ASideOfZeroHoldsNoPixelsAndCanGrowAgain)
{
    Raster tall(0, 5);
    EXPECT_EQ(tall.height(), 5);
    EXPECT_TRUE(tall.empty());
    tall.setSize(3, 2);
    EXPECT_EQ(tall.pixel(2, 1), kWhite);
    tall.setSize(3, 0);
    EXPECT_TRUE(tall.empty());
    tall.setSize(0, 4);
    EXPECT_EQ(tall.height(), 4);
}

}  // namespace
}  // namespace lumavex
