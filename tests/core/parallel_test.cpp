#include "core/parallel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <stdexcept>
#include <thread>
#include <vector>

#include "core/color.h"
#include "core/raster.h"

namespace lumavex {
namespace {

TEST(ForEachBand, EveryRowOnceInAdjacentBandsWhateverTheThreads)
{
    for (int rows : {1, 2, 7, 1001})
        for (int threads : {0, 1, 2, 7, 5000}) {
            std::vector<std::atomic<int>> seen(static_cast<size_t>(rows));
            std::atomic<int> bands = 0;
            forEachBand(rows, threads, [&](int first, int last) {
                EXPECT_LT(first, last);
                ++bands;
                for (int y = first; y < last; ++y)
                    ++seen[static_cast<size_t>(y)];
            });
            for (int y = 0; y < rows; ++y)
                EXPECT_EQ(seen[static_cast<size_t>(y)], 1) << rows << " rows, " << threads;
            EXPECT_EQ(bands, std::clamp(threads, 1, rows));
        }
    forEachBand(0, 4, [](int, int) { FAIL() << "no rows, no band"; });
}

TEST(ForEachBand, ABandsFailureReachesTheCallerAfterEveryBandEnds)
{
    std::atomic<int> finished = 0;
    EXPECT_THROW(forEachBand(8, 4,
                             [&](int first, int) {
                                 if (first == 4)
                                     throw std::runtime_error("band");
                                 ++finished;
                             }),
                 std::runtime_error);
    EXPECT_EQ(finished, 3);
}

TEST(PassThreads, TheEnvironmentSetsTheCountWhenItIsAPositiveInteger)
{
    setenv("LUMAVEX_THREADS", "1", 1);
    EXPECT_EQ(passThreads(), 1);
    setenv("LUMAVEX_THREADS", "7", 1);
    EXPECT_EQ(passThreads(), 7);
    for (const char* bad : {"0", "-2", "3x", ""}) {
        setenv("LUMAVEX_THREADS", bad, 1);
        EXPECT_GE(passThreads(), 1) << bad;
        EXPECT_EQ(passThreads(), std::max(1, static_cast<int>(std::thread::hardware_concurrency())))
            << bad;
    }
    unsetenv("LUMAVEX_THREADS");
}

// Every pass split into bands gives the same bytes with 1, 2 and 7 threads.
TEST(ParallelPasses, SameBytesWithOneTwoAndSevenThreads)
{
    Raster source(37, 23);
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < 3 * source.width(); ++x)
            source.row(y)[x] = static_cast<uint8_t>(x * 7 + y * 13);
    std::vector<std::vector<uint8_t>> results;
    for (const char* threads : {"1", "2", "7"}) {
        setenv("LUMAVEX_THREADS", threads, 1);
        Raster negative = source;
        invertPixels(negative);
        std::vector<uint8_t> bytes;
        for (int y = 0; y < negative.height(); ++y)
            bytes.insert(bytes.end(), negative.row(y), negative.row(y) + 3 * negative.width());
        results.push_back(bytes);
    }
    unsetenv("LUMAVEX_THREADS");
    EXPECT_EQ(results[0][0], 255);
    EXPECT_EQ(results[0][3 * 37 + 1], static_cast<uint8_t>(~uint8_t(7 + 13)));
    EXPECT_EQ(results[1], results[0]);
    EXPECT_EQ(results[2], results[0]);
}

}  // namespace
}  // namespace lumavex
