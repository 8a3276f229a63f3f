#include "toolkit/resample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/error.h"
#include "support/test_pictures.h"
#include "support/thread_counts.h"
#include "kernel_paths.h"
#include "core/simd.h"

namespace lumavex {
namespace {

using test::makeNoise;

// A plain resampler written from the description: lists built by straight loops, a whole
// intermediate picture, one pixel and one channel at a time.
double plainLanczos3(double x)
{
    if (std::fabs(x) >= 3.0)
        return 0.0;
    auto sinc = [](double t) {
        if (t == 0.0)
            return 1.0;
        const double a = 3.14159265358979323846 * t;
        return std::sin(a) / a;
    };
    return sinc(x) * sinc(x / 3.0);
}

struct Term {
    int j;
    double w;
};

std::vector<std::vector<Term>> plainLists(int n, int m)
{
    std::vector<std::vector<Term>> lists(m);
    const double k = double(m) / double(n);
    for (int i = 0; i < m; ++i) {
        const double c = i / k;
        const double r = k >= 1 ? 3.0 : 3.0 / k;
        for (long j = (long)std::floor(c - r); j <= (long)std::ceil(c + r); ++j) {
            const double w =
                k >= 1 ? plainLanczos3(c - j) : plainLanczos3((c - j) / (1 / k)) / (1 / k);
            if (w == 0)
                continue;
            long s = j < 0 ? -j : j >= n ? 2L * n - 1 - j : j;
            s = s < 0 ? 0 : s > n - 1 ? n - 1 : s;
            lists[i].push_back({(int)s, w});
        }
    }
    return lists;
}

uint8_t plainStore(double v)
{
    if (v > 255)
        return 255;
    if (v < 0)
        return 0;
    const double f = std::floor(v);
    const double frac = v - f;
    double r = frac > 0.5 ? f + 1 : frac < 0.5 ? f : (std::fmod(f, 2.0) == 0 ? f : f + 1);
    return (uint8_t)r;
}

Raster plainResample(const Raster& src, int width, int height)
{
    const auto h = plainLists(src.width(), width);
    const auto v = plainLists(src.height(), height);
    Raster mid(width, src.height());
    for (int y = 0; y < src.height(); ++y)
        for (int i = 0; i < width; ++i)
            for (int c = 0; c < 3; ++c) {
                double sum = 0;
                for (const Term& t : h[i])
                    sum += t.w * src.row(y)[t.j * 3 + c];
                mid.row(y)[i * 3 + c] = plainStore(sum);
            }
    Raster dst(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) {
                double sum = 0;
                for (const Term& t : v[y])
                    sum += t.w * mid.row(t.j)[x * 3 + c];
                dst.row(y)[x * 3 + c] = plainStore(sum);
            }
    return dst;
}

using test::onEveryPath;

TEST(Lanczos3, IsOneAtZeroAndVanishesFromThree)
{
    EXPECT_EQ(Lanczos3(0.0), 1.0);
    EXPECT_EQ(Lanczos3(3.0), 0.0);
    EXPECT_EQ(Lanczos3(-3.5), 0.0);
    EXPECT_NEAR(Lanczos3(0.5), 0.6079271, 1e-7);
    EXPECT_NEAR(Lanczos3(-1.5), -0.1350949, 1e-7);
    EXPECT_NE(Lanczos3(1.0), 0.0);  // sin(pi) is not exactly 0 in double precision
    EXPECT_LT(std::fabs(Lanczos3(1.0)), 1e-16);
}

TEST(StoredChannel, ClampsAndRoundsTiesToEven)
{
    EXPECT_EQ(StoredChannel(254.5), 254);
    EXPECT_EQ(StoredChannel(255.5), 255);
    EXPECT_EQ(StoredChannel(253.5), 254);
    EXPECT_EQ(StoredChannel(0.5), 0);
    EXPECT_EQ(StoredChannel(1.5), 2);
    EXPECT_EQ(StoredChannel(-0.4), 0);
    EXPECT_EQ(StoredChannel(-300.0), 0);
    EXPECT_EQ(StoredChannel(1e300), 255);
    EXPECT_EQ(StoredChannel(127.49999), 127);
}

TEST(Lanczos3Contributions, MirrorTheTwoEdgesDifferently)
{
    // Doubling 10 pixels: destination 1 is centred on 0.5 and reads j = -2 .. 3; -2 and -1
    // read 2 and 1 (the edge pixel is not repeated).
    const auto left = Lanczos3Contributions(10, 20);
    ASSERT_EQ(left[1].size(), 6u);
    const int leftIndices[] = {2, 1, 0, 1, 2, 3};
    for (int t = 0; t < 6; ++t)
        EXPECT_EQ(left[1][t].index, leftIndices[t]) << t;
    EXPECT_DOUBLE_EQ(left[1][0].weight, Lanczos3(2.5));
    // Destination 19 is centred on 9.5 and reads 7 .. 12; 10, 11, 12 read 9, 8, 7.
    const int rightIndices[] = {7, 8, 9, 9, 8, 7};
    ASSERT_EQ(left[19].size(), 6u);
    for (int t = 0; t < 6; ++t)
        EXPECT_EQ(left[19][t].index, rightIndices[t]) << t;
}

TEST(Lanczos3Contributions, ClampAMirroredIndexThatStillFallsOutside)
{
    // A 2-pixel source enlarged: index -3 mirrors to 3 and 5 mirrors to -2; both clamp.
    for (const auto& list : Lanczos3Contributions(2, 7))
        for (const Contribution& c : list) {
            EXPECT_GE(c.index, 0);
            EXPECT_LE(c.index, 1);
        }
}

TEST(Lanczos3Contributions, WidenAndScaleTheFilterOnShrinking)
{
    // Halving: destination 5 is centred on source 10 and weighs distance d by f(d / 2) / 2.
    const auto lists = Lanczos3Contributions(40, 20);
    ASSERT_FALSE(lists[5].empty());
    for (const Contribution& c : lists[5]) {
        const double d = 10.0 - c.index;
        EXPECT_LE(std::fabs(d), 6.0);
        EXPECT_EQ(c.weight, Lanczos3(d / 2.0) / 2.0) << d;
    }
    EXPECT_EQ(lists[5].size(), 11u);  // d = +-6 weigh exactly 0
}

TEST(Resample, ToTheSameSizeReturnsThePictureUnchanged)
{
    onEveryPath([] {
        for (auto [w, h] : {std::pair{1, 1}, std::pair{3, 2}, std::pair{37, 19}}) {
            const Raster original = makeNoise(w, h, 21);
            Raster picture = original;
            Resample(picture, w, h);
            EXPECT_TRUE(picture.samePixels(original)) << w << " x " << h;
        }
    });
}

TEST(Resample, DoublingTheWidthKeepsEvenColumnsAndMixesOddOnes)
{
    onEveryPath([] {
        const Raster original = makeNoise(25, 6, 22);
        Raster picture = original;
        Resample(picture, 50, 6);
        ASSERT_EQ(picture.width(), 50);
        ASSERT_EQ(picture.height(), 6);
        for (int y = 0; y < 6; ++y)
            for (int i = 0; i < 25; ++i)
                ASSERT_EQ(picture.pixel(2 * i, y), original.pixel(i, y)) << i << "," << y;
        // Column 21 mixes source 8 .. 13 at distances 2.5, 1.5, 0.5 on either side.
        for (int c = 0; c < 3; ++c) {
            double sum = 0;
            for (int j = 8; j <= 13; ++j)
                sum += plainLanczos3(10.5 - j) * original.row(2)[j * 3 + c];
            EXPECT_EQ(picture.row(2)[21 * 3 + c], plainStore(sum)) << c;
        }
    });
}

TEST(Resample, DoesNotNormaliseTheWeights)
{
    // The six weights of a half-way column add up to 0.9943, so grey 100 gives 99 there and
    // white 253.5 rounded to 254.
    onEveryPath([] {
        Raster grey(8, 3, makeColor(100, 100, 255));
        Resample(grey, 16, 3);
        for (int x = 0; x < 16; ++x) {
            const int expected = x % 2 == 0 ? 100 : 99;
            ASSERT_EQ(grey.pixel(x, 1), makeColor(expected, expected, x % 2 == 0 ? 255 : 254)) << x;
        }
    });
}

TEST(Resample, HalvingMixesUpToSixPixelsEitherSide)
{
    onEveryPath([] {
        // One bright pixel at column 21 of a dark row: destination i, centred on source 2i,
        // sees it at the odd distance 21 - 2i.
        Raster row(40, 1, kBlack);
        row.setPixel(21, 0, makeColor(200, 200, 200));
        Resample(row, 20, 1);
        for (int i = 0; i < 20; ++i) {
            const double d = 21.0 - 2 * i;
            const int expected = plainStore((plainLanczos3(d / 2) / 2) * 200);
            ASSERT_EQ(redOf(row.pixel(i, 0)), expected) << i;
        }
        EXPECT_EQ(redOf(row.pixel(10, 0)), 61);  // 200 f(0.5) / 2 = 60.79
        EXPECT_EQ(redOf(row.pixel(11, 0)), 61);
        EXPECT_EQ(redOf(row.pixel(9, 0)), 0);  // f(1.5) < 0, clamped
        EXPECT_EQ(redOf(row.pixel(8, 0)), 2);  // 200 f(2.5) / 2 = 2.43
        EXPECT_EQ(redOf(row.pixel(7, 0)), 0);  // distance 7: beyond the widened support
    });
}

TEST(Resample, MatchesAPlainImplementationOnNoise)
{
    struct Case {
        int w, h, nw, nh;
    };
    const Case cases[] = {{1, 1, 5, 3},     {2, 3, 7, 1},     {3, 3, 1, 1},     {17, 13, 34, 26},
                          {40, 30, 20, 15}, {37, 23, 11, 50}, {100, 7, 33, 21}, {5, 64, 9, 3},
                          {64, 5, 200, 17}, {13, 11, 13, 4},  {3, 2, 5000, 1},  {5000, 3, 1, 2}};
    onEveryPath([&] {
        uint32_t seed = 30;
        for (const Case& c : cases) {
            const Raster original = makeNoise(c.w, c.h, ++seed);
            Raster picture = original;
            Resample(picture, c.nw, c.nh);
            ASSERT_TRUE(picture.samePixels(plainResample(original, c.nw, c.nh)))
                << c.w << " x " << c.h << " to " << c.nw << " x " << c.nh;
        }
    });
}

TEST(Resample, MatchesThePlainImplementationWhenWorkingInColumnStrips)
{
    // Shrinking 12000 rows to 4 makes a destination row read nearly every source row, which
    // for 300 columns is more than the pass keeps at once: it then works in strips of columns.
    onEveryPath([] {
        const Raster original = makeNoise(10, 12000, 40);
        Raster picture = original;
        Resample(picture, 300, 4);
        ASSERT_TRUE(picture.samePixels(plainResample(original, 300, 4)));
    });
}

TEST(Resample, GivesTheSameBytesWithOneTwoAndSevenThreads)
{
    auto sameAndSized = [](int w, int h, int nw, int nh) {
        SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h) + " at level " +
                     std::to_string(static_cast<int>(simd::level())));
        const Raster result = test::sameWithOneTwoAndSevenThreads(
            makeNoise(w, h, 5), [&](Raster& r) { Resample(r, nw, nh); });
        EXPECT_EQ(result.width(), nw);
        EXPECT_EQ(result.height(), nh);
    };
    // Odd sizes large enough for seven bands, and a column and a row for a few. The best
    // kernels take source rows eight at a time, the plain ones one at a time.
    for (simd::Level limit : {simd::Level::Avx512, simd::Level::Plain}) {
        const simd::Level previous = simd::limitLevel(limit);
        sameAndSized(301, 517, 151, 259);
        sameAndSized(151, 259, 302, 518);
        sameAndSized(1, 20000, 3, 15001);
        sameAndSized(20000, 1, 7, 3001);
        simd::limitLevel(previous);
    }
    // A shrinking that works in column strips, narrower the more bands there are.
    sameAndSized(10, 6000, 600, 3);
}

TEST(ResampleStage, GivesResamplesBytesHoweverTheSourceRowsArrive)
{
    auto streamed = [](int w, int h, int nw, int nh, int step) {
        SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h) + " in steps of " +
                     std::to_string(step));
        const Raster source = makeNoise(w, h, 9);
        Raster whole = source;
        Resample(whole, nw, nh);
        // Only the rows told so far are in the picture the stage reads.
        Raster partial = Raster::unfilled(w, h);
        const auto stage = ResampleStage(partial, nw, nh);
        ASSERT_TRUE(stage);
        int ready = 0, done = 0;
        while (ready < h) {
            const int more = std::min(h, ready + step);
            for (int y = ready; y < more; ++y)
                std::copy_n(source.row(y), 3 * w, partial.row(y));
            ready = more;
            const int now = stage->advance(partial, ready);
            ASSERT_GE(now, done);
            done = now;
        }
        EXPECT_EQ(done, whole.height());
        EXPECT_TRUE(stage->result(partial).samePixels(whole));
    };
    for (simd::Level limit : {simd::Level::Avx512, simd::Level::Plain}) {
        const simd::Level previous = simd::limitLevel(limit);
        streamed(301, 517, 151, 259, 7);
        streamed(151, 259, 302, 518, 64);
        streamed(1, 200, 3, 151, 1);
        streamed(200, 1, 7, 31, 1);
        streamed(37, 23, -1, 11, 5);
        simd::limitLevel(previous);
    }
    // Nothing to follow: the picture as it is, an empty result, or column strips.
    const Raster source = makeNoise(10, 6000, 3);
    EXPECT_EQ(ResampleStage(source, -1, -1), nullptr);
    EXPECT_EQ(ResampleStage(source, 0, 5), nullptr);
    EXPECT_EQ(ResampleStage(source, 600, 3), nullptr);
    EXPECT_THROW(ResampleStage(source, 5, 5, 4), Error);
}

TEST(Resample, FollowsTheAspectRatioForOneNegativeSize)
{
    Raster a = makeNoise(41, 20, 50);
    Resample(a, -1, 10);  // 41 x 10 div 20 = 20
    EXPECT_EQ(a.width(), 20);
    EXPECT_EQ(a.height(), 10);
    Raster b = makeNoise(40, 20, 51);
    Resample(b, 30, -5);  // 30 x 20 div 40 = 15
    EXPECT_EQ(b.width(), 30);
    EXPECT_EQ(b.height(), 15);
    const Raster original = makeNoise(40, 20, 52);
    Raster c = original;
    Resample(c, -1, -1);
    EXPECT_TRUE(c.samePixels(original));
}

TEST(Resample, ASizeOfZeroLeavesNoPixels)
{
    Raster a = makeNoise(10, 10, 53);
    Resample(a, 0, 7);
    EXPECT_EQ(a.width(), 0);
    EXPECT_EQ(a.height(), 7);
    EXPECT_TRUE(a.empty());
    Raster b = makeNoise(10, 10, 54);
    Resample(b, 7, 0);
    EXPECT_EQ(b.width(), 7);
    EXPECT_TRUE(b.empty());
}

TEST(Resample, KeepsTheDrawingSurface)
{
    Raster picture = makeNoise(10, 10, 55);
    picture.setBrushColor(test::kTestRed);
    picture.setCopyMode(CopyMode::NotSrcCopy);
    Resample(picture, 20, 5);
    EXPECT_EQ(picture.brushColor(), test::kTestRed);
    EXPECT_EQ(picture.copyMode(), CopyMode::NotSrcCopy);
}

TEST(Resample, RefusesWhatItCannotDoAndLeavesThePicture)
{
    const Raster original = makeNoise(20, 10, 56);
    auto refused = [&](int w, int h, int filter, ErrorKind kind) {
        Raster picture = original;
        try {
            Resample(picture, w, h, filter);
            ADD_FAILURE() << w << " x " << h << " filter " << filter << " was not refused";
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), kind) << w << " x " << h;
            EXPECT_FALSE(std::string(e.what()).empty());
        }
        EXPECT_TRUE(picture.samePixels(original));
    };
    refused(70000, 10, 5, ErrorKind::TooLarge);
    refused(60000, 60000, 5, ErrorKind::TooLarge);
    refused(-1, 200000, 5, ErrorKind::TooLarge);  // 20 x 200000 div 10 wide
    refused(2000000000, -1, 5, ErrorKind::TooLarge);
    for (int filter : {0, 1, 4, 6, -1})
        refused(10, 10, filter, ErrorKind::Unsupported);
    Raster empty;
    EXPECT_THROW(Resample(empty, 10, 10), Error);
}

}  // namespace
}  // namespace lumavex
