#include "effects/blurs.h"

#include <gtest/gtest.h>

#include "core/color.h"
#include "core/error.h"
#include "reference_effects.h"
#include "support/test_pictures.h"
#include "effects/filters.h"

namespace lumavex {
namespace {

constexpr Color kPaper = makeColor(51, 102, 153);

// Records the progress calls in order: "m" for a mark, "c" for a clear.
class RecordingProgress : public ProgressSink {
public:
    void mark() override { events += "m"; }
    void clear() override { events += "c"; }
    std::string events;
};

TEST(StepWeight, RoundsTheTenthsOfAPercentHalfAway)
{
    EXPECT_EQ(StepWeight(30), 33);
    EXPECT_EQ(StepWeight(16), 63);  // 62.5
    EXPECT_EQ(StepWeight(10), 100);
    EXPECT_EQ(StepWeight(6), 167);
    EXPECT_EQ(StepWeight(1), 1000);
    EXPECT_EQ(StepWeight(2000), 1);  // 0.5
    EXPECT_EQ(StepWeight(2001), 0);
    EXPECT_THROW(StepWeight(0), Error);
}

TEST(FlameBlur, TurnsAOneByOnePictureIntoTheColour)
{
    for (int n : {1, 2, 30}) {
        Raster p(1, 1, kPaper);
        FlameBlur(p, makeColor(10, 200, 90), n);
        EXPECT_EQ(p.pixel(0, 0), makeColor(10, 200, 90)) << n;
    }
}

TEST(FlameBlur, ShortPictureTakesBothBandsOnEveryRow)
{
    const int n = 10;
    Raster p(40, 5, kPaper);
    FlameBlur(p, kWhite, n);
    const int32_t w1 = 100;
    // Column 20 is in neither side band: the top mix with w1 x y, then the bottom one, which
    // starts at row 0 with w1 x n.
    for (int y = 0; y < 5; ++y) {
        const uint8_t* px = p.row(y) + 3 * 20;
        const uint8_t original[3] = {153, 102, 51};
        for (int c = 0; c < 3; ++c) {
            const uint8_t top = static_cast<uint8_t>(MixChannel(255 - original[c], 0, w1 * y));
            const uint8_t both = static_cast<uint8_t>(MixChannel(top, 0, w1 * (n - y)));
            EXPECT_EQ(px[c], 255 - both) << y << " channel " << c;
        }
    }
    EXPECT_EQ(p.pixel(20, 0), kWhite);
}

TEST(FlameBlur, EqualsTheInvertedPassOnEveryShape)
{
    for (int n : {1, 2, 3, 6, 10, 16, 30, 2000, 3000, INT32_MAX})
        for (auto [w, h] :
             {std::pair{50, 40}, {7, 45}, {45, 7}, {1, 1}, {1, 9}, {9, 1}, {19, 20}}) {
            const Color c = n % 2 ? makeColor(250, 3, 128) : kBlack;
            Raster fast = test::makeNoise(w, h, static_cast<uint32_t>(n) + w);
            Raster slow = fast;
            RecordingProgress fastMarks, slowMarks;
            FlameBlur(fast, c, n, &fastMarks);
            reference::FlameBlur(slow, c, n, &slowMarks);
            ASSERT_TRUE(fast.samePixels(slow)) << w << " x " << h << ", n = " << n;
            EXPECT_EQ(fastMarks.events, slowMarks.events);
            EXPECT_EQ(fast.copyMode(), CopyMode::NotSrcCopy);
            EXPECT_EQ(fast.brushColor(), kWhite);
        }
}

TEST(FlameBlur, WhiteOnWhiteStaysWhiteAndTheMiddleIsUntouched)
{
    Raster white(30, 30, kWhite);
    FlameBlur(white, kWhite, 10);
    EXPECT_TRUE(white.samePixels(Raster(30, 30, kWhite)));

    const Raster picture = test::makeNoise(60, 50, 9);
    Raster p = picture;
    FlameBlur(p, makeColor(1, 2, 3), 10);
    // Column n - 1 gets the weight w1 x n = 1000, which keeps the pixel.
    for (int y = 10; y <= 40; ++y)
        for (int x = 9; x <= 50; ++x)
            ASSERT_EQ(p.pixel(x, y), picture.pixel(x, y)) << x << "," << y;
    EXPECT_NE(p.pixel(8, 20), picture.pixel(8, 20));
    EXPECT_NE(p.pixel(51, 20), picture.pixel(51, 20));
    EXPECT_EQ(p.pixel(30, 0), makeColor(1, 2, 3));  // only the top edge reaches the colour
}

TEST(FlameBlur, MarksEveryTwentiethOfTheRowsThenClears)
{
    for (auto [h, marks] : {std::pair{1, 1}, {10, 10}, {20, 20}, {21, 10}, {100, 20}, {101, 16}}) {
        Raster p(3, h, kPaper);
        RecordingProgress progress;
        FlameBlur(p, kBlack, 5, &progress);
        EXPECT_EQ(progress.events, std::string(marks, 'm') + "c") << h;
    }
    ProgressText text;
    Raster p(3, 40, kPaper);
    CircleBlur(p, kBlack, 5, &text);
    EXPECT_EQ(text.marks(), 20);
    EXPECT_EQ(text.clears(), 1);
    EXPECT_EQ(text.text(), "");
}

TEST(FlameBlur, RefusesWidthsBelowOneBeforeTheInversion)
{
    Raster p = test::makeNoise(9, 9, 4);
    const Raster before = p;
    RecordingProgress progress;
    for (int n : {0, -3}) {
        try {
            FlameBlur(p, kBlack, n, &progress);
            FAIL();
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::BadArgument);
            EXPECT_EQ(std::string(e.what()),
                      "ぼかしの幅は 1 以上でなければなりません: " + std::to_string(n));
        }
        EXPECT_THROW(CircleBlur(p, kBlack, n, &progress), Error);
    }
    EXPECT_TRUE(p.samePixels(before));
    EXPECT_EQ(p.copyMode(), CopyMode::SrcCopy);
    EXPECT_EQ(progress.events, "");
}

TEST(CircleBlur, TurnsAOneByOnePictureIntoTheColour)
{
    for (int n : {1, 30}) {
        Raster p(1, 1, kPaper);
        CircleBlur(p, makeColor(10, 200, 90), n);
        EXPECT_EQ(p.pixel(0, 0), makeColor(10, 200, 90)) << n;
    }
}

TEST(CircleBlur, WidthBeyondTheRadiusMixesEvenTheCentre)
{
    Raster p(20, 20, kPaper);  // R = 10, n = 30: the centre gets k = 20 and M = 33 x 10
    CircleBlur(p, kWhite, 30);
    // Red 51: 255 - (204 x 330) div 1000 = 188; green 102: 255 - 50; blue 153: 255 - 33.
    EXPECT_EQ(p.pixel(10, 10), makeColor(188, 205, 222));
}

TEST(CircleBlur, RadiusFollowsTheShorterSide)
{
    Raster p(60, 20, kPaper);
    const Color c = makeColor(0, 128, 255);
    CircleBlur(p, c, 4);
    EXPECT_EQ(p.pixel(30, 10), kPaper);  // the centre keeps its colour
    for (auto [x, y] : {std::pair{0, 0}, {59, 19}, {0, 10}, {59, 10}, {30, 0}, {45, 10}, {15, 10}})
        EXPECT_EQ(p.pixel(x, y), c) << x << "," << y;
    EXPECT_NE(p.pixel(38, 10), c);  // inside the ring
    EXPECT_NE(p.pixel(38, 10), kPaper);
}

TEST(CircleBlur, AnOverweightMixWrapsTo0)
{
    // n = 16 (w1 = 63): a pixel less than half a pixel beyond the inner circle (radius 4) gets
    // M = 1008. In the negative 254 x 1008 - 4 x 8 = 256000 mixes to 256, which wraps to 0, so
    // the picture gets 255 where a clamp would give 0.
    Raster p(41, 41, makeColor(1, 1, 1));
    CircleBlur(p, makeColor(251, 251, 251), 16);
    EXPECT_EQ(p.pixel(24, 20), makeColor(1, 1, 1));  // on the inner circle: untouched
    EXPECT_EQ(p.pixel(24, 21), kWhite);              // d = 4.1231, k = 0
}

TEST(CircleBlur, IsSymmetricAboutItsCentre)
{
    for (auto [w, h] : {std::pair{41, 29}, {40, 30}, {33, 33}, {8, 61}}) {
        Raster p(w, h, kPaper);
        CircleBlur(p, makeColor(240, 10, 0), 7);
        const int cx = w / 2, cy = h / 2;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int mx = 2 * cx - x, my = 2 * cy - y;
                if (mx < w) {
                    ASSERT_EQ(p.pixel(x, y), p.pixel(mx, y))
                        << w << "x" << h << " " << x << "," << y;
                }
                if (my < h) {
                    ASSERT_EQ(p.pixel(x, y), p.pixel(x, my))
                        << w << "x" << h << " " << x << "," << y;
                }
            }
    }
}

TEST(CircleBlur, EqualsTheInvertedPassOnACopy)
{
    for (int n : {1, 2, 5, 16, 30, 100, 2500, INT32_MAX})
        for (auto [w, h] :
             {std::pair{50, 40}, {7, 45}, {45, 7}, {1, 2}, {2, 1}, {64, 64}, {3, 3}}) {
            Raster fast = test::makeNoise(w, h, static_cast<uint32_t>(n) * 7 + h);
            Raster slow = fast;
            const Color c = n % 2 ? makeColor(250, 3, 128) : kWhite;
            RecordingProgress fastMarks, slowMarks;
            CircleBlur(fast, c, n, &fastMarks);
            reference::CircleBlur(slow, c, n, &slowMarks);
            ASSERT_TRUE(fast.samePixels(slow)) << w << " x " << h << ", n = " << n;
            EXPECT_EQ(fastMarks.events, slowMarks.events);
            EXPECT_EQ(fast.copyMode(), CopyMode::NotSrcCopy);
        }
}

TEST(EllipseBlur, IsACircleBlurOfTheSquareStretchedBack)
{
    for (auto [w, h] : {std::pair{60, 30}, {17, 41}, {25, 25}, {1, 7}}) {
        Raster fast = test::makeFPicture(w, h);
        Raster slow = fast;
        Raster scratch, slowScratch;
        EllipseBlur(fast, scratch, makeColor(255, 255, 0), 10);
        reference::EllipseBlur(slow, slowScratch, makeColor(255, 255, 0), 10);
        ASSERT_TRUE(fast.samePixels(slow)) << w << " x " << h;
        ASSERT_TRUE(scratch.samePixels(slowScratch)) << w << " x " << h;
        EXPECT_EQ(fast.copyMode(), CopyMode::SrcCopy);
        EXPECT_EQ(scratch.width(), std::max(w, h));
    }
}

TEST(EllipseBlur, BandIsMeasuredInSquarePixels)
{
    // On 60 x 30 the square is 60 x 60 and n = 20 gives an ellipse rim 20 pixels wide
    // horizontally and 10 vertically: the middle of each side is the pure colour at the edge
    // and untouched inside the rim.
    Raster p(60, 30, kPaper);
    Raster scratch;
    EllipseBlur(p, scratch, kBlack, 20);
    EXPECT_EQ(p.pixel(0, 15), kBlack);
    EXPECT_EQ(p.pixel(30, 0), kBlack);
    EXPECT_EQ(p.pixel(21, 15), kPaper);
    EXPECT_EQ(p.pixel(30, 11), kPaper);
    EXPECT_NE(p.pixel(15, 15), kPaper);
    EXPECT_NE(p.pixel(30, 7), kPaper);
}

TEST(EllipseBlur, RefusesWhatCannotBeDoneAndChangesNothing)
{
    Raster wide(65535, 1, kPaper);
    Raster scratch(3, 3, kBlack);
    try {
        EllipseBlur(wide, scratch, kWhite, 30);  // a 65535 x 65535 square is beyond the limit
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::TooLarge);
    }
    EXPECT_TRUE(wide.samePixels(Raster(65535, 1, kPaper)));
    EXPECT_TRUE(scratch.samePixels(Raster(3, 3, kBlack)));
    Raster p = test::makeNoise(5, 5, 1);
    EXPECT_THROW(EllipseBlur(p, scratch, kWhite, 0), Error);
    EXPECT_TRUE(p.samePixels(test::makeNoise(5, 5, 1)));
    EXPECT_TRUE(scratch.samePixels(Raster(3, 3, kBlack)));
}

TEST(Blur, IsTheBoxFilterWithDivisorNine)
{
    const Raster picture = test::makeNoise(33, 21, 8);
    Raster fast = picture, slow = picture;
    Blur(fast);
    reference::BoxBlurPass(slow);
    EXPECT_TRUE(fast.samePixels(slow));
}

}  // namespace
}  // namespace lumavex
