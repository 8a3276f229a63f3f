#include "effects/merge.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/error.h"
#include "reference_effects.h"
#include "support/test_pictures.h"
#include "toolkit/kernel_paths.h"

namespace lumavex {
namespace {

TEST(Merge, FullRateKeepsTheDocumentAndZeroGivesTheLayer)
{
    const Raster document = test::makeNoise(30, 20, 1);
    const Raster layer = test::makeFPicture(30, 20);
    Raster d = document;
    MergeBlend(d, layer, 100);
    EXPECT_TRUE(d.samePixels(document));
    MergeBlend(d, layer, 0);
    EXPECT_TRUE(d.samePixels(layer));
}

TEST(Merge, ZeroRateGivesTheLayerScaledToTheDocument)
{
    Raster layer(2, 1, test::kTestRed);
    layer.setPixel(1, 0, test::kTestBlue);
    Raster d = test::makeNoise(5, 3, 2);
    Merge(d, layer, 0);
    // Nearest neighbour: column i reads floor(i x 2 / 5).
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(d.pixel(x, y), test::kTestRed) << x;
        for (int x = 3; x < 5; ++x)
            EXPECT_EQ(d.pixel(x, y), test::kTestBlue) << x;
    }
}

TEST(Merge, NothingPastedBlendsWithWhiteAndHalvesGoToEven)
{
    Raster d(2, 1);
    d.setPixel(0, 0, makeColor(0, 2, 100));
    d.setPixel(1, 0, makeColor(1, 3, 5));
    Merge(d, Raster(), 50);
    // 0 + 127.5 -> 128; 1 + 127.5 -> 128; 50 + 127.5 -> 178
    EXPECT_EQ(d.pixel(0, 0), makeColor(128, 128, 178));
    // 0.5 + 127.5 = 128; 1.5 + 127.5 = 129; 2.5 + 127.5 = 130
    EXPECT_EQ(d.pixel(1, 0), makeColor(128, 129, 130));
    Raster black(1, 1, makeColor(1, 3, 0));
    MergeBlend(black, Raster(1, 1, kBlack), 50);
    EXPECT_EQ(black.pixel(0, 0), makeColor(0, 2, 0));  // 0.5 -> 0, 1.5 -> 2
}

TEST(Merge, RatesBeyondAHundredClamp)
{
    Raster d(1, 1, makeColor(200, 10, 0));
    MergeBlend(d, Raster(1, 1, makeColor(0, 100, 255)), 200);
    // 400 - 0 -> 255; 20 - 100 -> 0; 0 - 255 -> 0
    EXPECT_EQ(d.pixel(0, 0), makeColor(255, 0, 0));
}

TEST(Merge, EqualsTheBlendOfTheStretchedLayer)
{
    // Every rate from -300 to 400 and the extremes, on rows whose length is no multiple of the
    // vector kernel's sixteen channels, with the kernels of every level.
    std::vector<int> rates = {INT32_MIN, INT32_MAX};
    for (int rate = -300; rate <= 400; ++rate)
        rates.push_back(rate);
    const Raster document = test::makeNoise(37, 23, 3);
    for (int rate : rates)
        for (auto [w, h] : {std::pair{37, 23}, {12, 40}}) {
            const Raster layer = test::makeNoise(w, h, rate & 0xFF);
            Raster slow = document;
            reference::Merge(slow, layer, rate);
            test::onEveryPath([&] {
                Raster fast = document;
                Merge(fast, layer, rate);
                ASSERT_TRUE(fast.samePixels(slow)) << rate << " layer " << w << " x " << h;
            });
        }
}

TEST(Merge, EveryChannelPairAtEveryRateUpToAHundred)
{
    // All 65536 pairs (d, t) in one picture of 256 x 256, at each percentage.
    Raster document(256, 256), layer(256, 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            document.setPixel(x, y, makeColor(x, y, 255 - x));
            layer.setPixel(x, y, makeColor(y, x, y));
        }
    for (int rate = 0; rate <= 100; ++rate) {
        Raster slow = document;
        reference::Merge(slow, layer, rate);
        test::onEveryPath([&] {
            Raster fast = document;
            MergeBlend(fast, layer, rate);
            ASSERT_TRUE(fast.samePixels(slow)) << rate;
        });
    }
}

TEST(Merge, BlendRefusesALayerOfAnotherSize)
{
    Raster d = test::makeNoise(4, 4, 1);
    EXPECT_THROW(MergeBlend(d, Raster(4, 5), 50), Error);
    EXPECT_TRUE(d.samePixels(test::makeNoise(4, 4, 1)));
}

constexpr Color kDocument = makeColor(200, 100, 50);

TEST(MixPaste, WhiteLayerAddsOnlyTheStrips)
{
    const Raster base = test::makeNoise(20, 10, 4);
    const Raster r = MixPaste(Raster(8, 8, kWhite), base, kBlack, 3, 2, 1);
    ASSERT_EQ(r.width(), 23);
    ASSERT_EQ(r.height(), 13);
    for (int y = 0; y < 13; ++y)
        for (int x = 0; x < 23; ++x)
            ASSERT_EQ(r.pixel(x, y), x < 20 && y < 10 ? base.pixel(x, y) : kWhite) << x << "," << y;
}

TEST(MixPaste, DarkerLayerPixelsGiveTheDocumentsHueAtTheirValue)
{
    const Raster base(4, 4, kDocument);
    Raster layer(2, 1, makeColor(0, 0, 100));      // value 100 < 200
    layer.setPixel(1, 0, makeColor(250, 250, 0));  // value 250 > 200
    const Raster r = MixPaste(layer, base, test::kTestRed, 3, 1, 1);
    EXPECT_EQ(r.pixel(1, 1), makeColor(100, 50, 25));
    EXPECT_EQ(r.pixel(2, 1), kDocument);  // the round trip of the document pixel
    EXPECT_EQ(r.pixel(0, 0), kDocument);
}

TEST(MixPaste, BlackGivesBlackGreyStaysGreyAndTheKeyIsPasted)
{
    Raster base(3, 1, kDocument);
    base.setPixel(1, 0, makeColor(128, 128, 128));
    base.setPixel(2, 0, makeColor(128, 128, 128));
    Raster layer(3, 1, kBlack);
    layer.setPixel(1, 0, makeColor(50, 20, 10));
    layer.setPixel(2, 0, makeColor(10, 200, 30));
    Raster r = MixPaste(layer, base, test::kTestRed, 3, 0, 0);
    EXPECT_EQ(r.pixel(0, 0), kBlack);
    EXPECT_EQ(r.pixel(1, 0), makeColor(50, 50, 50));
    EXPECT_EQ(r.pixel(2, 0), makeColor(128, 128, 128));

    // Pixels of the key colour, even bright ones, are pasted as they are; only the key's low
    // 24 bits count.
    Raster keyed(2, 1, makeColor(255, 0, 0));
    keyed.setPixel(1, 0, makeColor(254, 0, 0));
    r = MixPaste(keyed, Raster(2, 1, makeColor(10, 10, 200)), 0x800000FF, 3, 0, 0);
    EXPECT_EQ(r.pixel(0, 0), makeColor(255, 0, 0));
    EXPECT_NE(r.pixel(1, 0), makeColor(254, 0, 0));
}

TEST(MixPaste, LayerBeyondTheDocumentHasNoEffect)
{
    const Raster base = test::makeNoise(10, 8, 5);
    const Raster layer = test::makeNoise(6, 6, 6);
    for (auto [x, y] : {std::pair{-6, 0},
                        {0, -6},
                        {10, 0},
                        {0, 8},
                        {12, 12},
                        {INT32_MAX, 0},
                        {INT32_MIN, INT32_MIN},
                        {0, INT32_MAX}}) {
        const Raster r = MixPaste(layer, base, kBlack, 3, x, y);
        for (int yy = 0; yy < 8; ++yy)
            for (int xx = 0; xx < 10; ++xx)
                ASSERT_EQ(r.pixel(xx, yy), base.pixel(xx, yy)) << x << "," << y;
        EXPECT_EQ(r.pixel(12, 10), kWhite);
    }
}

TEST(MixPaste, EqualsTheOverlayPixelByPixel)
{
    Raster layer = test::makeNoise(17, 13, 9);
    for (int i = 0; i < 40; ++i) {
        layer.setPixel(i % 17, i % 13, kWhite);
        layer.setPixel((i * 5) % 17, (i * 3) % 13, makeColor(10, 20, 30));
    }
    const Raster base = test::makeNoise(25, 19, 10);
    for (auto [x, y] : {std::pair{0, 0}, {3, 4}, {-5, 2}, {10, -7}, {20, 15}, {-16, -12}})
        for (int margin : {0, 3, 7}) {
            const Raster fast = MixPaste(layer, base, makeColor(10, 20, 30), margin, x, y);
            const Raster slow =
                reference::MixPaste(layer, base, makeColor(10, 20, 30), margin, x, y);
            ASSERT_TRUE(fast.samePixels(slow)) << x << "," << y << " margin " << margin;
        }
}

TEST(MixPaste, EqualsTheOverlayOnManyColourPairs)
{
    Raster base(256, 256), layer(256, 256), grey(256, 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            base.setPixel(x, y, makeColor(x, y, (x * 7 + y * 13) & 255));
            layer.setPixel(x, y, makeColor((x * 3) & 255, (y * 5) & 255, (x + y) & 255));
            const int v = (x * 11 + y * 3) & 255;
            grey.setPixel(x, y, makeColor(v, v / 2, v / 3));
        }
    for (const Raster* l : {&layer, &grey}) {
        const Raster fast = MixPaste(*l, base, kBlack, 3, 0, 0);
        ASSERT_TRUE(fast.samePixels(reference::MixPaste(*l, base, kBlack, 3, 0, 0)));
    }
}

TEST(MixPaste, RefusesANegativeMarginAndTooLargeResults)
{
    EXPECT_THROW(MixPaste(Raster(1, 1), Raster(4, 4), kBlack, -1, 0, 0), Error);
    try {
        MixPaste(Raster(1, 1), Raster(65534, 1), kBlack, 3, 0, 0);
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::TooLarge);
    }
}

TEST(MixPasteCommand, MainGrowsByThreeAndKeepsItsSurface)
{
    Raster main = test::makeFPicture(20, 16);
    main.setBrushColor(test::kTestBlue);
    const Raster before = main;
    Raster scratch;
    scratch.setBrushColor(test::kTestRed);
    const Raster layer = test::makeNoise(5, 5, 3);
    MixPasteCommand(main, scratch, layer, kBlack, 4, 4);
    EXPECT_EQ(main.width(), 23);
    EXPECT_EQ(main.height(), 19);
    EXPECT_TRUE(main.samePixels(MixPaste(layer, before, kBlack, 3, 4, 4)));
    EXPECT_TRUE(scratch.samePixels(before));
    EXPECT_EQ(main.brushColor(), test::kTestBlue);
    EXPECT_EQ(scratch.brushColor(), test::kTestRed);
}

TEST(MixPasteCommand, TheMainPictureAsItsOwnLayer)
{
    Raster main = test::makeNoise(12, 9, 4);
    const Raster before = main;
    Raster scratch;
    MixPasteCommand(main, scratch, main, kBlack, 2, 1);
    EXPECT_TRUE(main.samePixels(MixPaste(before, before, kBlack, 3, 2, 1)));
    Raster document = test::makeNoise(12, 9, 5);
    const Raster doc = document;
    Merge(document, document, 30);
    Raster slow = doc;
    reference::Merge(slow, doc, 30);
    EXPECT_TRUE(document.samePixels(slow));
}

}  // namespace
}  // namespace lumavex
