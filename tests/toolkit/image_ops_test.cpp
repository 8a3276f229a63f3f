#include "toolkit/image_ops.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "core/error.h"
#include "support/test_pictures.h"
#include "support/thread_counts.h"

namespace lumavex {
namespace {

using test::makeGradient;

TEST(Flips, MirrorEveryPixelWithOneTwoAndSevenThreads)
{
    for (const char* threads : {"1", "2", "7"}) {
        setenv("LUMAVEX_THREADS", threads, 1);
        for (int w : {1, 2, 7})
            for (int rows : {5, 16}) {
                const Raster original = makeGradient(w, rows);
                Raster h = original;
                HFlip(h);
                Raster v = original;
                VFlip(v);
                Raster g = original;
                Gray(g);
                for (int y = 0; y < rows; ++y)
                    for (int x = 0; x < w; ++x) {
                        ASSERT_EQ(h.pixel(x, y), original.pixel(w - 1 - x, y)) << threads;
                        ASSERT_EQ(v.pixel(x, y), original.pixel(x, rows - 1 - y)) << threads;
                        const Color c = original.pixel(x, y);
                        const uint32_t grey =
                            (30 * (c & 255) + 59 * (c >> 8 & 255) + 11 * (c >> 16 & 255)) / 100;
                        ASSERT_EQ(g.pixel(x, y), grey * 0x010101u) << threads;
                    }
            }
    }
    unsetenv("LUMAVEX_THREADS");
}

TEST(ResizeCanvas, GivesTheSameBytesWithOneTwoAndSevenThreads)
{
    const Raster source = test::makeNoise(301, 517, 9);
    for (auto [w, h] : {std::pair{400, 601}, std::pair{151, 700}, std::pair{1, 999}}) {
        const Raster r = test::sameWithOneTwoAndSevenThreads(
            source, [&](Raster& p) { ResizeCanvas(p, w, h, makeColor(1, 2, 3)); });
        ASSERT_EQ(r.width(), w);
        EXPECT_EQ(r.pixel(0, 516), source.pixel(0, 516));
        EXPECT_EQ(r.pixel(w - 1, h - 1), makeColor(1, 2, 3));
    }
}

TEST(Negative, InvertsEveryChannel)
{
    Raster r(2, 1);
    r.setPixel(0, 0, makeColor(0, 100, 255));
    r.setPixel(1, 0, makeColor(1, 128, 254));
    Negative(r);
    EXPECT_EQ(r.pixel(0, 0), makeColor(255, 155, 0));
    EXPECT_EQ(r.pixel(1, 0), makeColor(254, 127, 1));
}

TEST(Gray, UsesTheIntegerWeights)
{
    Raster r(3, 1);
    r.setPixel(0, 0, makeColor(255, 0, 0));      // 7650 / 100 = 76
    r.setPixel(1, 0, makeColor(10, 20, 30));     // (300 + 1180 + 330) / 100 = 18
    r.setPixel(2, 0, makeColor(255, 255, 255));  // 25500 / 100 = 255
    Gray(r);
    EXPECT_EQ(r.pixel(0, 0), makeColor(76, 76, 76));
    EXPECT_EQ(r.pixel(1, 0), makeColor(18, 18, 18));
    EXPECT_EQ(r.pixel(2, 0), kWhite);
}

/// Every width from 1 to 40 and some wider ones cover the vector bodies and their tails.
std::vector<int> kernelWidths()
{
    std::vector<int> widths;
    for (int w = 1; w <= 40; ++w)
        widths.push_back(w);
    for (int w : {63, 64, 65, 101, 1000})
        widths.push_back(w);
    return widths;
}

void expectPaddingUntouched(const Raster& r)
{
    for (int y = 0; y < r.height(); ++y)
        for (size_t i = size_t(r.width()) * 3; i < r.stride(); ++i)
            ASSERT_EQ(r.row(y)[i], 0) << "row " << y;
}

TEST(ImageOps, EveryWidthGivesExactlyTheFormula)
{
    for (int w : kernelWidths()) {
        SCOPED_TRACE(w);
        const Raster original = test::makeNoise(w, 3, static_cast<uint32_t>(w));
        Raster h = original;
        HFlip(h);
        Raster n = original;
        Negative(n);
        Raster g = original;
        Gray(g);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < w; ++x) {
                const Color c = original.pixel(x, y);
                ASSERT_EQ(h.pixel(x, y), original.pixel(w - 1 - x, y));
                ASSERT_EQ(n.pixel(x, y), c ^ 0xFFFFFF);
                const int v = (30 * redOf(c) + 59 * greenOf(c) + 11 * blueOf(c)) / 100;
                ASSERT_EQ(g.pixel(x, y), makeColor(v, v, v));
            }
        expectPaddingUntouched(h);
        expectPaddingUntouched(n);
        expectPaddingUntouched(g);
        // Twice is the identity.
        HFlip(h);
        Negative(n);
        EXPECT_TRUE(h.samePixels(original));
        EXPECT_TRUE(n.samePixels(original));
    }
}

TEST(Gray, EveryColourMatchesTheIntegerFormula)
{
    // All 2^24 colours, one per pixel.
    Raster r(4096, 4096);
    for (int y = 0; y < 4096; ++y) {
        uint8_t* p = r.row(y);
        for (int x = 0; x < 4096; ++x, p += 3) {
            const uint32_t c = uint32_t(y) << 12 | uint32_t(x);
            p[0] = static_cast<uint8_t>(c);
            p[1] = static_cast<uint8_t>(c >> 8);
            p[2] = static_cast<uint8_t>(c >> 16);
        }
    }
    Gray(r);
    for (int y = 0; y < 4096; ++y) {
        const uint8_t* p = r.row(y);
        for (int x = 0; x < 4096; ++x, p += 3) {
            const uint32_t c = uint32_t(y) << 12 | uint32_t(x);
            const unsigned v = (30 * (c >> 16) + 59 * ((c >> 8) & 255) + 11 * (c & 255)) / 100;
            if (p[0] != v || p[1] != v || p[2] != v)
                FAIL() << "colour " << c << " gave " << int(p[0]) << " not " << v;
        }
    }
}

TEST(ResizeCanvas, KeepsTheTopLeftAndAddsBlack)
{
    Raster r = makeGradient(4, 3);
    const Raster before = r;
    r.setBrushColor(test::kTestRed);
    ResizeCanvas(r, 6, 2);
    ASSERT_EQ(r.width(), 6);
    ASSERT_EQ(r.height(), 2);
    EXPECT_EQ(r.pixel(3, 1), before.pixel(3, 1));
    EXPECT_EQ(r.pixel(5, 0), kBlack);
    EXPECT_EQ(r.brushColor(), test::kTestRed);  // the surface is kept
    EXPECT_THROW(ResizeCanvas(r, 0, 5), Error);
    EXPECT_THROW(ResizeCanvas(r, 5, 70000), Error);
    EXPECT_EQ(r.width(), 6);
}

TEST(CountColors, CountsDistinctTriples)
{
    Raster r(4, 4, kWhite);
    EXPECT_EQ(CountColors(r), 1);
    r.setPixel(0, 0, makeColor(1, 2, 3));
    r.setPixel(1, 0, makeColor(3, 2, 1));
    r.setPixel(2, 0, makeColor(3, 2, 1));
    EXPECT_EQ(CountColors(r), 3);
    EXPECT_EQ(CountColors(test::makeNoise(64, 64, 1)), 4096);
}

}  // namespace
}  // namespace lumavex
