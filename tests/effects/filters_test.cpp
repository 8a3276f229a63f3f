#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "core/error.h"
#include "support/test_pictures.h"
#include "effects/filters.h"

namespace lumavex {
namespace {

// The filter as written: each channel's nine neighbours, edges repeated, divided and clamped.
uint8_t plainBox(const uint8_t* bytes, size_t stride, int w, int h, int step, int x, int y,
                 int channel, int divisor)
{
    int sum = 0;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const int sx = std::clamp(x + dx, 0, w - 1);
            const int sy = std::clamp(y + dy, 0, h - 1);
            sum += bytes[sy * stride + sx * step + channel];
        }
    return static_cast<uint8_t>(std::min(255, sum / divisor));
}

TEST(BoxFilter3x3, EveryWidthAndHeightFromOneUp)
{
    for (int divisor : {9, 8, 1, 5})
        for (int h : {1, 2, 3, 5})
            for (int w = 1; w <= 40; w += (w < 12 ? 1 : 9)) {
                const Raster source = test::makeNoise(w, h, w * 100 + h);
                Raster r = source;
                BoxFilter3x3(r, divisor);
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x)
                        for (int c = 0; c < 3; ++c)
                            ASSERT_EQ(r.row(y)[3 * x + c], plainBox(source.bits(), source.stride(),
                                                                    w, h, 3, x, y, c, divisor))
                                << w << " x " << h << " at " << x << "," << y << " divisor "
                                << divisor;
            }
}

TEST(BoxFilter3x3Stage, GivesTheWholeFiltersBytesHoweverTheRowsArrive)
{
    // Rows told one at a time, in uneven steps, or all at once; the stage may not work a row
    // before the one below it is there.
    for (int h : {1, 2, 3, 7, 40})
        for (int step : {1, 2, 5, 1000}) {
            const Raster source = test::makeNoise(13, h, 7 * h + step);
            Raster whole = source;
            BoxFilter3x3(whole, 8);
            Raster streamed = Raster::unfilled(13, h);
            const auto stage = BoxFilter3x3Stage(8);
            int ready = 0, done = 0;
            while (done < h) {
                const int more = std::min(h, ready + step + ready % 3);
                // Rows below ready are not there yet: the stage must not read them.
                for (int y = ready; y < more; ++y)
                    std::copy_n(source.row(y), 39, streamed.row(y));
                ready = more;
                done = stage->advance(streamed, ready);
                ASSERT_LE(done, ready);
                ASSERT_GE(done, ready == h ? h : ready - 1);
            }
            for (int y = 0; y < h; ++y)
                ASSERT_TRUE(std::equal(whole.row(y), whole.row(y) + 39, streamed.row(y)))
                    << h << " rows in steps of " << step << ", row " << y;
        }
    EXPECT_THROW(BoxFilter3x3Stage(0), Error);
}

TEST(BoxFilter3x3Plane, FiltersOneChannelInItsRowsOnly)
{
    for (int divisor : {9, 8, 3})
        for (auto [w, h] : {std::pair{1, 1}, {1, 9}, {9, 1}, {2, 2}, {37, 23}, {100, 3}}) {
            const size_t stride = static_cast<size_t>(w) + 5;
            std::vector<uint8_t> source(stride * h);
            for (size_t i = 0; i < source.size(); ++i)
                source[i] = static_cast<uint8_t>(i * 97 + (i >> 3) * 31);
            std::vector<uint8_t> plane = source;
            BoxFilter3x3Plane(plane.data(), w, h, stride, divisor);
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x)
                    ASSERT_EQ(plane[y * stride + x],
                              plainBox(source.data(), stride, w, h, 1, x, y, 0, divisor))
                        << w << " x " << h << " at " << x << "," << y;
                for (size_t x = w; x < stride; ++x)
                    ASSERT_EQ(plane[y * stride + x], source[y * stride + x]);  // padding kept
            }
        }
    std::vector<uint8_t> one(1, 7);
    EXPECT_THROW(BoxFilter3x3Plane(one.data(), 1, 1, 1, 0), Error);
    BoxFilter3x3Plane(one.data(), 0, 0, 1, 9);  // nothing to do
    EXPECT_EQ(one[0], 7);
}

TEST(BoxFilter3x3, AveragesTheNeighbourhoodWithEdgesRepeated)
{
    Raster r(3, 3, kBlack);
    r.setPixel(0, 0, makeColor(90, 0, 0));
    BoxFilter3x3(r, 9);
    // Corner (0, 0) sees itself four times (edges repeated): 360 / 9 = 40.
    EXPECT_EQ(redOf(r.pixel(0, 0)), 40);
    EXPECT_EQ(redOf(r.pixel(1, 0)), 20);  // 2 x 90 / 9
    EXPECT_EQ(redOf(r.pixel(1, 1)), 10);
    EXPECT_EQ(redOf(r.pixel(2, 2)), 0);
}

TEST(BoxFilter3x3, DivisorEightClampsAndOnePixelStaysItself)
{
    Raster white(4, 4, kWhite);
    BoxFilter3x3(white, 8);  // 2295 / 8 = 286 clamps to 255
    EXPECT_EQ(white.pixel(2, 2), kWhite);
    Raster one(1, 1, makeColor(7, 100, 200));
    BoxFilter3x3(one, 9);
    EXPECT_EQ(one.pixel(0, 0), makeColor(7, 100, 200));
    Raster grey(1, 1, makeColor(8, 8, 8));
    BoxFilter3x3(grey, 8);  // 72 / 8
    EXPECT_EQ(grey.pixel(0, 0), makeColor(9, 9, 9));
    EXPECT_THROW(BoxFilter3x3(grey, 0), Error);
}

TEST(BoxFilter3x3, MatchesAPlainLoopOnNoise)
{
    for (int divisor : {8, 9, 7}) {
        const Raster source = test::makeNoise(13, 7, 5);
        Raster r = source;
        BoxFilter3x3(r, divisor);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 13; ++x)
                for (int c = 0; c < 3; ++c) {
                    int sum = 0;
                    for (int dy = -1; dy <= 1; ++dy)
                        for (int dx = -1; dx <= 1; ++dx) {
                            const int sx = std::clamp(x + dx, 0, 12);
                            const int sy = std::clamp(y + dy, 0, 6);
                            sum += source.row(sy)[sx * 3 + c];
                        }
                    ASSERT_EQ(r.row(y)[x * 3 + c], std::min(255, sum / divisor))
                        << x << "," << y << " divisor " << divisor;
                }
    }
}

TEST(Contrast, StretchesAroundTheTruncatedMean)
{
    Raster r(2, 1);
    r.setPixel(0, 0, makeColor(100, 0, 255));
    r.setPixel(1, 0, makeColor(111, 0, 0));
    Contrast(r, 15);
    // red mean 105: 105 + (100 - 105) x 2.5 = 92.5 -> 92; 105 + 6 x 2.5 = 120
    EXPECT_EQ(redOf(r.pixel(0, 0)), 92);
    EXPECT_EQ(redOf(r.pixel(1, 0)), 120);
    // blue mean 127: 127 + 128 x 2.5 = 447 -> 255; 127 - 317.5 -> 0
    EXPECT_EQ(blueOf(r.pixel(0, 0)), 255);
    EXPECT_EQ(blueOf(r.pixel(1, 0)), 0);
    EXPECT_EQ(greenOf(r.pixel(1, 0)), 0);
}

}  // namespace
}  // namespace lumavex
