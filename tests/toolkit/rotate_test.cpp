#include "toolkit/rotate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/error.h"
#include "support/test_pictures.h"
#include "support/thread_counts.h"
#include "kernel_paths.h"
#include "core/simd.h"

namespace lumavex {
namespace {

using test::makeFPicture;
using test::makeNoise;

using test::onEveryPath;

// A plain rotation written from the description: the quarter-turn loop, the size table, and
// the three shears pixel by pixel with their prev rule, on ordinary pictures.
long rnd(double v)
{
    return std::lrint(v);  // the default rounding: nearest, ties to even
}

int plainBlend(int prev, int cur, int w)
{
    const double q = std::nearbyint((prev * w + cur * (4096 - w) + 2048) / 4096.0);
    return q < 0 ? 0 : q > 255 ? 255 : (int)q;
}

void blendAt(Raster& r, int x, int y, const uint8_t* prev, const uint8_t* cur, int w, bool aa)
{
    uint8_t* o = r.row(y) + 3 * x;
    for (int c = 0; c < 3; ++c)
        o[c] = aa ? (uint8_t)plainBlend(prev[c], cur[c], w) : cur[c];
}

Raster plainTurn(const Raster& p, bool counterClockwise)
{
    Raster r(p.height(), p.width());
    for (int y = 0; y < r.height(); ++y)
        for (int x = 0; x < r.width(); ++x)
            r.setPixel(
                x, y,
                counterClockwise ? p.pixel(p.width() - 1 - y, x) : p.pixel(y, p.height() - 1 - x));
    return r;
}

Raster plainRotate(const Raster& picture, int angle, bool aa = true)
{
    Raster raster = picture;
    int n = angle % 360;
    Raster S = raster;
    while (n > 45) {
        S = plainTurn(raster, true);
        n -= 90;
        if (n > 45)
            raster = S;
    }
    while (n < -45) {
        S = plainTurn(raster, false);
        n += 90;
        if (n < -45)
            raster = S;
    }
    if (n == 0)
        return S;
    const double theta = n * 3.14159265358979323846 / 180;
    const double t = std::fabs(std::tan(theta / 2)), s = std::fabs(std::sin(theta));
    const int W = S.width(), H = S.height();
    const int W1 = rnd(H * t + W + 1);
    const int d2 = rnd((W1 - W) * s);
    const int H2b = rnd(W1 * s + H + 1);
    const int d3 = rnd((H2b - H - d2) * t);
    const int H2 = H2b - 2 * d2;
    const int W3 = rnd(H2 * t + W1 + 1 - 2 * d3);
    const uint8_t bg[3] = {0, 0, 0};

    Raster b1(W1, H, kBlack);
    for (int i = 0; i < H; ++i) {
        const double offset = theta > 0 ? i * t : (H - i) * t;
        const int v = rnd(offset);
        const int w = (int)((offset - v) * 4096);
        const uint8_t* prev = bg;
        for (int x = 0; x < W; ++x) {
            if (v + x >= 0 && v + x < W1) {
                blendAt(b1, v + x, i, prev, S.row(i) + 3 * x, w, aa);
                prev = S.row(i) + 3 * x;
            }
        }
        if (aa && w > 0 && v + W < W1)
            blendAt(b1, v + W, i, prev, bg, w, aa);
    }
    Raster b2(W1, H2, kBlack);
    for (int x = 0; x < W1; ++x) {
        const double offset = theta > 0 ? (W1 - x) * s : x * s;
        int v = rnd(offset);
        const int w = rnd((offset - v) * 4096);
        v -= d2;
        const uint8_t* prev = bg;
        for (int y = 0; y < H; ++y)
            if (y + v >= 0 && y + v < H2) {
                blendAt(b2, x, y + v, prev, b1.row(y) + 3 * x, w, aa);
                prev = b1.row(y) + 3 * x;
            }
        if (aa && w > 0 && v + H < H2)
            blendAt(b2, x, v + H, prev, bg, w, aa);
    }
    Raster out(W3, H2, kBlack);
    for (int y = 0; y < H2; ++y) {
        const double offset = theta > 0 ? y * t : (H2 - y) * t;
        int v = rnd(offset);
        const int w = rnd((offset - v) * 4096);
        v -= d3;
        const uint8_t* prev = bg;
        for (int x = 0; x < W1; ++x)
            if (v + x >= 0 && v + x < W3) {
                blendAt(out, v + x, y, prev, b2.row(y) + 3 * x, w, aa);
                prev = b2.row(y) + 3 * x;
            }
        if (aa && w > 0 && v + W1 < W3)
            blendAt(out, v + W1, y, prev, bg, w, aa);
    }
    return out;
}

Raster rotated(const Raster& p, int degrees, bool aa = true)
{
    Raster r = p;
    Rotate(r, degrees, aa);
    return r;
}

TEST(Rotate, QuarterTurnsArePixelPermutations)
{
    const Raster p = makeFPicture(7, 5);
    const Raster ccw = rotated(p, 90);
    ASSERT_EQ(ccw.width(), 5);
    ASSERT_EQ(ccw.height(), 7);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 5; ++x)
            ASSERT_EQ(ccw.pixel(x, y), p.pixel(6 - y, x));
    const Raster cw = rotated(p, -90);
    const Raster r270 = rotated(p, 270);
    ASSERT_EQ(cw.width(), 5);
    EXPECT_TRUE(cw.samePixels(r270));
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 5; ++x)
            ASSERT_EQ(cw.pixel(x, y), p.pixel(y, 4 - x));
    const Raster half = rotated(p, 180);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            ASSERT_EQ(half.pixel(x, y), p.pixel(6 - x, 4 - y));
    EXPECT_TRUE(rotated(p, -180).samePixels(half));
    EXPECT_TRUE(rotated(p, 450).samePixels(ccw));
    // Larger than one 32 x 32 tile, and not a multiple of it.
    const Raster big = makeNoise(45, 70, 3);
    EXPECT_TRUE(rotated(big, 90).samePixels(plainTurn(big, true)));
    EXPECT_TRUE(rotated(big, -90).samePixels(plainTurn(big, false)));
}

TEST(Rotate, ZeroAndFullTurnsLeaveThePicture)
{
    const Raster p = makeNoise(9, 4, 1);
    for (int angle : {0, 360, -360, 720})
        EXPECT_TRUE(rotated(p, angle).samePixels(p)) << angle;
}

TEST(Rotate, ThreeFiftyNineIsFourQuarterTurnsAndMinusOne)
{
    onEveryPath([] {
        const Raster p = makeNoise(13, 8, 2);
        const Raster r = rotated(p, 359);
        EXPECT_TRUE(r.samePixels(rotated(p, -1)));
        EXPECT_TRUE(r.samePixels(plainRotate(p, 359)));
        EXPECT_TRUE(rotated(p, -359).samePixels(rotated(p, 1)));
    });
}

TEST(RotationShearSizes, FollowTheTable)
{
    const ShearSizes z = RotationShearSizes(100, 50, 30);
    EXPECT_EQ(z.w1, 114);
    EXPECT_EQ(z.d2, 7);
    EXPECT_EQ(z.h2BeforeCorrection, 108);
    EXPECT_EQ(z.d3, 14);
    EXPECT_EQ(z.h2, 94);
    EXPECT_EQ(z.w3, 112);
    const ShearSizes one = RotationShearSizes(1, 1, 45);
    EXPECT_EQ(one.w1, 2);
    EXPECT_EQ(one.d2, 1);
    EXPECT_EQ(one.h2, 1);
    EXPECT_EQ(one.d3, 0);
    EXPECT_EQ(one.w3, 3);
}

TEST(Rotate, ThirtyDegreesGrowsTheHundredByFiftyTo112By94WithBlackCorners)
{
    onEveryPath([] {
        const Raster white(100, 50, kWhite);
        for (int angle : {30, -30}) {
            const Raster r = rotated(white, angle);
            ASSERT_EQ(r.width(), 112) << angle;
            ASSERT_EQ(r.height(), 94) << angle;
            // The corners lie outside the turned rectangle.
            EXPECT_EQ(r.pixel(0, 0), kBlack);
            EXPECT_EQ(r.pixel(111, 0), kBlack);
            EXPECT_EQ(r.pixel(0, 93), kBlack);
            EXPECT_EQ(r.pixel(111, 93), kBlack);
            EXPECT_EQ(r.pixel(56, 47), kWhite);  // the centre
            EXPECT_TRUE(r.samePixels(plainRotate(white, angle))) << angle;
        }
    });
}

TEST(Rotate, UncoveredPixelsAreBlack)
{
    // A picture without black: every black pixel of the result lies outside the turned
    // rectangle, and the grey covers the inside up to the blended rim.
    const Raster grey(60, 40, makeColor(200, 200, 200));
    const Raster r = rotated(grey, 20);
    const double theta = 20 * 3.14159265358979323846 / 180;
    const double cx = r.width() / 2.0, cy = r.height() / 2.0;
    for (int y = 0; y < r.height(); ++y)
        for (int x = 0; x < r.width(); ++x) {
            // Back into the picture's frame: turning the screen counter-clockwise.
            const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
            const double u = dx * std::cos(theta) - dy * std::sin(theta);
            const double v = dx * std::sin(theta) + dy * std::cos(theta);
            const bool wellInside = std::fabs(u) < 30 - 2 && std::fabs(v) < 20 - 2;
            const bool wellOutside = std::fabs(u) > 30 + 2 || std::fabs(v) > 20 + 2;
            if (wellInside) {
                ASSERT_EQ(r.pixel(x, y), makeColor(200, 200, 200)) << x << "," << y;
            }
            if (wellOutside) {
                ASSERT_EQ(r.pixel(x, y), kBlack) << x << "," << y;
            }
        }
}

TEST(Rotate, UncoveredCornersTakeTheBackgroundColour)
{
    onEveryPath([] {
        Raster r(40, 20, kWhite);
        Rotate(r, -20, true, test::kTestRed);
        EXPECT_EQ(r.pixel(0, 0), test::kTestRed);
        EXPECT_EQ(r.pixel(r.width() - 1, r.height() - 1), test::kTestRed);
        EXPECT_EQ(r.pixel(r.width() / 2, r.height() / 2), kWhite);
        Raster plain(40, 20, kWhite);
        Rotate(plain, -20, false, test::kTestRed);
        EXPECT_EQ(plain.pixel(0, 0), test::kTestRed);
        EXPECT_EQ(plain.pixel(plain.width() / 2, plain.height() / 2), kWhite);
    });
}

TEST(Rotate, OnePixelAtFortyFiveBecomesThreeByOne)
{
    const Raster r = rotated(Raster(1, 1, makeColor(100, 151, 255)), 45);
    ASSERT_EQ(r.width(), 3);
    ASSERT_EQ(r.height(), 1);
    EXPECT_TRUE(r.samePixels(plainRotate(Raster(1, 1, makeColor(100, 151, 255)), 45)));
}

TEST(Rotate, OnePixelByOneDegreeGivesTheHandComputedBlends)
{
    // 1 x 1 at 1 degree: W1 = 2, d2 = 0, H2 = 2, d3 = 0, W3 = 3. Shear 1 leaves the pixel in
    // place with w = 0, so red 101 becomes 102 (the half rounds to even) and 255 stays. Shear 2
    // moves column 0 by w = 143: 102 x 3953 + 2048 over 4096 gives 99, and the tail row below
    // gets 102 x 143 + 2048 over 4096 = 4. Shear 3 leaves row 0 unmoved again (99 becomes 100)
    // and blends row 1 by w = 36, spilling 1 into column 1.
    onEveryPath([] {
        const Raster r = rotated(Raster(1, 1, makeColor(101, 100, 255)), 1);
        ASSERT_EQ(r.width(), 3);
        ASSERT_EQ(r.height(), 2);
        EXPECT_EQ(r.pixel(0, 0), makeColor(100, 98, 248));
        EXPECT_EQ(r.pixel(1, 0), kBlack);
        EXPECT_EQ(r.pixel(2, 0), kBlack);
        EXPECT_EQ(r.pixel(0, 1), makeColor(4, 4, 9));
        EXPECT_EQ(r.pixel(1, 1), makeColor(1, 1, 1));
        EXPECT_EQ(r.pixel(2, 1), kBlack);
        // Without anti-aliasing the pixel is only moved.
        const Raster plain = rotated(Raster(1, 1, makeColor(101, 100, 255)), 1, false);
        EXPECT_EQ(plain.pixel(0, 0), makeColor(101, 100, 255));
        EXPECT_EQ(plain.pixel(0, 1), kBlack);
    });
}

TEST(Rotate, MatchesAPlainImplementationOnNoise)
{
    onEveryPath([] {
        uint32_t seed = 10;
        for (auto [w, h] : {std::pair{1, 1}, std::pair{2, 3}, std::pair{17, 9}, std::pair{33, 41},
                            std::pair{64, 20}, std::pair{5, 90}}) {
            const Raster p = makeNoise(w, h, ++seed);
            for (int angle : {1, -1, 7, -13, 30, -30, 44, 45, -45, 46, 100, -170, 215, 301}) {
                ASSERT_TRUE(rotated(p, angle).samePixels(plainRotate(p, angle)))
                    << w << " x " << h << " by " << angle;
                ASSERT_TRUE(rotated(p, angle, false).samePixels(plainRotate(p, angle, false)))
                    << w << " x " << h << " by " << angle << " without anti-aliasing";
            }
        }
    });
}

TEST(Rotate, GivesTheSameBytesWithOneTwoAndSevenThreads)
{
    for (auto [w, h] : {std::pair{301, 213}, std::pair{1001, 1}, std::pair{1, 1001}}) {
        const Raster p = makeNoise(w, h, 3);
        for (int angle : {0, 30, 90, -45, 179})
            for (bool antialias : {true, false}) {
                SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h) + " by " +
                             std::to_string(angle) + (antialias ? "" : " unblended"));
                test::sameWithOneTwoAndSevenThreads(
                    p, [&](Raster& r) { Rotate(r, angle, antialias, makeColor(1, 2, 3)); });
            }
    }
}

TEST(Rotate, KeepsTheDrawingSurfaceAndRefusesAResultBeyondTheLimit)
{
    Raster p = makeNoise(10, 10, 4);
    p.setBrushColor(test::kTestRed);
    Rotate(p, 30);
    EXPECT_EQ(p.brushColor(), test::kTestRed);

    Raster wide(60000, 1, kWhite);
    try {
        Rotate(wide, 45);
        ADD_FAILURE() << "a 60000 x 1 picture at 45 degrees was not refused";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::TooLarge);
    }
    EXPECT_EQ(wide.width(), 60000);
    EXPECT_EQ(wide.height(), 1);
}

TEST(Rotate, AnEmptyPictureStaysEmpty)
{
    Raster empty;
    Rotate(empty, 30);
    EXPECT_TRUE(empty.empty());
    Rotate(empty, 90);
    EXPECT_TRUE(empty.empty());
}

}  // namespace
}  // namespace lumavex
