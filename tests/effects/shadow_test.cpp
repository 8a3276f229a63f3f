#include "effects/shadow.h"

#include <gtest/gtest.h>

#include "core/error.h"
#include "reference_effects.h"
#include "support/test_pictures.h"

namespace lumavex {
namespace {

constexpr Color kTestColour = makeColor(51, 102, 153);

// Shade(k) of the black shadow with n = 10: blue 1 + 25k, green and red 25k.
Color blackShade(int k)
{
    return makeColor(25 * k, 25 * k, 1 + 25 * k);
}

// A w x h picture enlarged by n with white strips, as the command hands it to AddShadow.
Raster enlarged(const Raster& picture, int n)
{
    Raster r = picture;
    r.setSize(picture.width() + n, picture.height() + n);
    return r;
}

TEST(AddShadow, BlackShadowRampsFromBlueOneUpTo0x00FBFAFA)
{
    const int n = 10;
    Raster p = enlarged(Raster(40, 40, kTestColour), n);
    AddShadow(p, kBlack, n);
    EXPECT_EQ(blackShade(10), 0x00FBFAFAu);
    // The plain right band (rows 2n .. h - 1): Shade(x - w) outward from the picture.
    for (int k = 0; k < n; ++k)
        EXPECT_EQ(p.pixel(40 + k, 30), blackShade(k)) << k;
    // The bottom band: Shade(y - h) downward.
    for (int k = 0; k < n; ++k)
        EXPECT_EQ(p.pixel(25, 40 + k), blackShade(k)) << k;
    // The top end: row n + 1 takes Shade(n) everywhere, darkening downward.
    for (int x = 40; x < 50; ++x)
        EXPECT_EQ(p.pixel(x, n + 1), 0x00FBFAFAu) << x;
    EXPECT_EQ(p.pixel(40, n + 2), blackShade(9));
    EXPECT_EQ(p.pixel(45, n + 2), blackShade(9));
    EXPECT_EQ(p.pixel(49, n + 2), blackShade(9));
    // Row n and column n - 1 of the strips keep the enlargement's white.
    EXPECT_EQ(p.pixel(45, n), kWhite);
    EXPECT_EQ(p.pixel(n - 1, 45), kWhite);
    // The bottom-left end: column n almost white, blending into the ramp.
    EXPECT_EQ(p.pixel(n, 40), 0x00FBFAFAu);
    EXPECT_EQ(p.pixel(n + 1, 40), blackShade(9));
    EXPECT_EQ(p.pixel(n + 1, 49), blackShade(9));
    // The bottom-right corner: the lighter of both ramps.
    EXPECT_EQ(p.pixel(49, 42), blackShade(9));
    EXPECT_EQ(p.pixel(42, 49), blackShade(9));
    EXPECT_EQ(p.pixel(43, 45), blackShade(5));
}

TEST(AddShadow, WhiteShadowIsWhiteThroughout)
{
    Raster p = test::makeGradient(30, 30);
    p.setBrushColor(test::kTestRed);
    p.setSize(38, 38);  // red strips, so that the band's white shows
    AddShadow(p, kWhite, 8);
    EXPECT_EQ(p.pixel(30, 20), kWhite);  // right band
    EXPECT_EQ(p.pixel(37, 9), kWhite);   // its top end
    EXPECT_EQ(p.pixel(20, 37), kWhite);  // bottom band
    EXPECT_EQ(p.pixel(8, 35), kWhite);   // its left end
    EXPECT_EQ(p.pixel(35, 35), kWhite);  // the corner
    EXPECT_EQ(p.pixel(35, 8), test::kTestRed);
    EXPECT_EQ(p.pixel(7, 35), test::kTestRed);
    for (int y = 0; y < 38; ++y)
        for (int x = 0; x < 38; ++x) {
            if (x < 30 && y < 30)
                continue;
            ASSERT_TRUE(p.pixel(x, y) == kWhite || p.pixel(x, y) == test::kTestRed)
                << x << "," << y;
        }
}

TEST(AddShadow, WidthOneDrawsOneColumnAndOneRow)
{
    // 12 x 9 picture enlarged to 13 x 10: Shade(1) is pure white.
    Raster p = enlarged(Raster(12, 9, kTestColour), 1);
    const Color c = makeColor(40, 80, 120);
    AddShadow(p, c, 1);
    for (int y = 2; y <= 8; ++y)
        EXPECT_EQ(p.pixel(12, y), c) << y;
    EXPECT_EQ(p.pixel(12, 1), kWhite);
    EXPECT_EQ(p.pixel(12, 0), kWhite);
    for (int x = 2; x <= 12; ++x)
        EXPECT_EQ(p.pixel(x, 9), c) << x;
    EXPECT_EQ(p.pixel(1, 9), kWhite);  // the bottom-left end step
    EXPECT_EQ(p.pixel(0, 9), kWhite);
}

TEST(AddShadow, OneByOnePictureGetsOnlyTheBottomSteps)
{
    Raster p(11, 11, kTestColour);
    p.setPixel(0, 0, test::kTestRed);
    AddShadow(p, kBlack, 10);
    for (int y = 1; y <= 10; ++y) {
        for (int x = 1; x <= 9; ++x)
            ASSERT_EQ(p.pixel(x, y), blackShade(x - 1)) << x << "," << y;
        EXPECT_EQ(p.pixel(10, y), 0x00FBFAFAu) << y;
    }
    EXPECT_EQ(p.pixel(0, 0), test::kTestRed);
    for (int i = 1; i <= 10; ++i) {
        EXPECT_EQ(p.pixel(i, 0), kTestColour);
        EXPECT_EQ(p.pixel(0, i), kTestColour);
    }
}

TEST(AddShadow, NeverChangesThePictureArea)
{
    for (int n : {1, 2, 3, 7, 10, 25, 60}) {
        for (auto [w, h] : {std::pair{40, 30}, {5, 50}, {50, 4}, {1, 1}}) {
            const Raster picture = test::makeNoise(w, h, n);
            Raster p = enlarged(picture, n);
            AddShadow(p, makeColor(10, 200, 30), n);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    ASSERT_EQ(p.pixel(x, y), picture.pixel(x, y)) << n << ": " << x << "," << y;
        }
    }
}

TEST(AddShadow, EqualsTheScanOfEveryRowAndColumn)
{
    for (int n = 1; n <= 12; ++n)
        for (int h = 1; h <= 27; ++h)
            for (int w = 1; w <= 27; w += (w < 14 ? 1 : 4)) {
                const Color c = n % 3 == 0 ? kBlack : makeColor(30 * n, 200 - 9 * h, 7 * w);
                Raster fast = test::makeNoise(w, h, w * 31 + h);
                Raster slow = fast;
                AddShadow(fast, c, n);
                reference::AddShadow(slow, c, n);
                ASSERT_TRUE(fast.samePixels(slow)) << w << " x " << h << ", n = " << n;
            }
}

TEST(AddShadow, RefusesWidthsBelowOneBeforeDrawing)
{
    Raster p = test::makeNoise(8, 8, 3);
    const Raster before = p;
    for (int n : {0, -1, INT32_MIN}) {
        try {
            AddShadow(p, kBlack, n);
            FAIL() << n;
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::BadArgument);
            EXPECT_EQ(std::string(e.what()),
                      "影の幅は 1 以上でなければなりません: " + std::to_string(n));
        }
    }
    EXPECT_TRUE(p.samePixels(before));
}

TEST(AddShadowCommand, EnlargesByTheWidthWithTheScratchBrush)
{
    Raster target = test::makeFPicture(100, 80);
    target.setBrushColor(test::kTestBlue);
    target.setCopyMode(CopyMode::SrcPaint);
    Raster scratch;
    scratch.setBrushColor(test::kTestRed);
    AddShadowCommand(target, scratch, kBlack, 10);
    EXPECT_EQ(target.width(), 110);
    EXPECT_EQ(target.height(), 90);
    // The strips take the scratch brush where the shadow does not reach.
    EXPECT_EQ(target.pixel(105, 5), test::kTestRed);
    EXPECT_EQ(target.pixel(5, 85), test::kTestRed);
    EXPECT_EQ(target.pixel(100, 50), blackShade(0));

    Raster expected = test::makeFPicture(100, 80);
    expected.setBrushColor(test::kTestRed);
    expected.setSize(110, 90);
    reference::AddShadow(expected, kBlack, 10);
    EXPECT_TRUE(target.samePixels(expected));
    // The scratch raster, where the shadow was drawn, is left with the target's old pixels.
    EXPECT_TRUE(scratch.samePixels(test::makeFPicture(100, 80)));
    // Each keeps its own drawing surface.
    EXPECT_EQ(target.brushColor(), test::kTestBlue);
    EXPECT_EQ(target.copyMode(), CopyMode::SrcPaint);
    EXPECT_EQ(scratch.brushColor(), test::kTestRed);
}

TEST(AddShadowCommand, ClearBrushStripsAreBlackAndAUsedScratchIsOverwritten)
{
    Raster target = test::makeNoise(20, 15, 3);
    const Raster before = target;
    Raster scratch = test::makeNoise(26, 21, 4);  // already the enlarged size, stale pixels
    scratch.setBrushStyle(BrushStyle::Clear);
    AddShadowCommand(target, scratch, makeColor(0, 0, 200), 6);
    Raster expected = before;
    expected.setBrushStyle(BrushStyle::Clear);
    expected.setSize(26, 21);
    reference::AddShadow(expected, makeColor(0, 0, 200), 6);
    EXPECT_TRUE(target.samePixels(expected));
    EXPECT_EQ(target.pixel(23, 3), kBlack);
    EXPECT_TRUE(scratch.samePixels(before));
    EXPECT_EQ(scratch.brushStyle(), BrushStyle::Clear);
}

TEST(AddShadowCommand, DefaultsOnAHundredByEightyGiveAHundredTenByNinety)
{
    Raster target(100, 80, kTestColour);
    Raster scratch;
    AddShadowCommand(target, scratch, kBlack, 10);
    EXPECT_EQ(target.width(), 110);
    EXPECT_EQ(target.height(), 90);
    EXPECT_EQ(target.pixel(105, 5), kWhite);  // the fresh scratch brush
}

TEST(AddShadowCommand, RefusesWidthsThatCannotBeDrawnAndChangesNothing)
{
    Raster target = test::makeNoise(30, 20, 1);
    Raster scratch = test::makeNoise(5, 5, 2);
    const Raster before = target, scratchBefore = scratch;
    EXPECT_THROW(AddShadowCommand(target, scratch, kBlack, 0), Error);
    try {
        AddShadowCommand(target, scratch, kBlack, 2000000000);
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::TooLarge);
    }
    EXPECT_THROW(AddShadowCommand(target, scratch, kBlack, 65535 - 29), Error);
    EXPECT_TRUE(target.samePixels(before));
    EXPECT_TRUE(scratch.samePixels(scratchBefore));
}

TEST(AddShadowSoft, HundredBySixtyWithTheDefaults)
{
    Raster target(100, 60, kTestColour);
    Raster scratch;
    ProgressText progress;
    AddShadowSoft(target, scratch, kBlack, kWhite, 10, &progress);
    ASSERT_EQ(target.width(), 110);
    ASSERT_EQ(target.height(), 70);
    EXPECT_EQ(target.pixel(105, 5), kWhite);
    EXPECT_EQ(target.pixel(5, 65), kWhite);
    EXPECT_EQ(target.pixel(100, 30), kBlack);
    EXPECT_EQ(target.pixel(109, 30), makeColor(230, 230, 230));  // the last step of the fade
    EXPECT_EQ(target.pixel(99, 59), kTestColour);
    EXPECT_EQ(target.brushColor(), kWhite);
    EXPECT_EQ(target.copyMode(), CopyMode::SrcCopy);
    EXPECT_EQ(progress.marks(), 20);  // FlameBlur's marks over the 60 rows of the scratch
    EXPECT_TRUE(progress.text().empty());
}

TEST(AddShadowSoft, EqualsTheRectangleCopies)
{
    const Color background = makeColor(200, 220, 180);
    for (int n : {1, 3, 10, 31})
        for (auto [w, h] : {std::pair{40, 33}, {12, 50}, {5, 5}, {1, 1}, {61, 2}}) {
            Raster fast = test::makeFPicture(w, h);
            Raster slow = fast;
            Raster scratch, slowScratch;
            AddShadowSoft(fast, scratch, makeColor(20, 40, 90), background, n);
            reference::AddShadowSoft(slow, slowScratch, makeColor(20, 40, 90), background, n);
            ASSERT_TRUE(fast.samePixels(slow)) << w << " x " << h << ", n = " << n;
            // The scratch raster holds the faded rectangle's edges, n pixels deep.
            ASSERT_EQ(scratch.width(), w);
            ASSERT_EQ(scratch.height(), h);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    if (x < n || y < n || x >= w - n || y >= h - n) {
                        ASSERT_EQ(scratch.pixel(x, y), slowScratch.pixel(x, y)) << x << "," << y;
                    }
        }
}

TEST(AddShadowSoft, ShadowOfTheBackgroundColourIsAHardRectangle)
{
    const Color c = makeColor(90, 10, 200);
    Raster target = test::makeGradient(30, 20);
    Raster scratch;
    AddShadowSoft(target, scratch, c, c, 6);
    for (int y = 0; y < 26; ++y)
        for (int x = 0; x < 36; ++x) {
            if (x >= 30 || y >= 20) {
                ASSERT_EQ(target.pixel(x, y), c) << x << "," << y;
            }
        }
}

TEST(AddShadowSoft, RefusesBadWidthsBeforeAnythingChanges)
{
    Raster target = test::makeNoise(30, 20, 1);
    Raster scratch = test::makeNoise(7, 3, 2);
    const Raster before = target, scratchBefore = scratch;
    EXPECT_THROW(AddShadowSoft(target, scratch, kBlack, kWhite, 0), Error);
    EXPECT_THROW(AddShadowSoft(target, scratch, kBlack, kWhite, -5), Error);
    EXPECT_THROW(AddShadowSoft(target, scratch, kBlack, kWhite, INT32_MAX), Error);
    EXPECT_TRUE(target.samePixels(before));
    EXPECT_TRUE(scratch.samePixels(scratchBefore));
}

}  // namespace
}  // namespace lumavex
