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
#include "support/test_pictures.h"
#include "support/thread_counts.h"

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

// A band that splits its own rows again runs them on its own thread, and a nested failure
// still reaches the outer caller.
TEST(ForEachBand, NestedCallsRunWithoutWaitingForThePool)
{
    std::vector<std::atomic<int>> seen(64 * 10);
    forEachBand(64, 7, [&](int first, int last) {
        for (int y = first; y < last; ++y)
            forEachBand(10, 7, [&](int a, int b) {
                for (int x = a; x < b; ++x)
                    ++seen[static_cast<size_t>(y * 10 + x)];
            });
    });
    EXPECT_TRUE(std::all_of(seen.begin(), seen.end(), [](auto& n) { return n == 1; }));
    EXPECT_THROW(forEachBand(4, 4,
                             [](int first, int) {
                                 forEachBand(4, 2, [&](int a, int) {
                                     if (first == 2 && a == 2)
                                         throw std::out_of_range("nested");
                                 });
                             }),
                 std::out_of_range);
}

TEST(ForEachBand, SeveralCallersAtOnceEachGetTheirOwnRows)
{
    std::vector<std::thread> callers;
    std::atomic<int> wrong = 0;
    for (int c = 0; c < 4; ++c)
        callers.emplace_back([&, c] {
            for (int round = 0; round < 200; ++round) {
                const int rows = 50 + c * 31 + round % 7;
                std::vector<int> seen(static_cast<size_t>(rows));
                forEachBand(rows, 2 + c, [&](int first, int last) {
                    for (int y = first; y < last; ++y)
                        ++seen[static_cast<size_t>(y)];
                });
                wrong += static_cast<int>(std::count(seen.begin(), seen.end(), 0));
            }
        });
    for (std::thread& t : callers)
        t.join();
    EXPECT_EQ(wrong, 0);
}

TEST(PassThreads, TheEnvironmentSetsTheCountWhenItIsAPositiveInteger)
{
    setenv("LUMAVEX_THREADS", "1", 1);
    EXPECT_EQ(passThreads(), 1);
    EXPECT_EQ(bandsFor(3000, 12000), 1);
    setenv("LUMAVEX_THREADS", "7", 1);
    EXPECT_EQ(passThreads(), 7);
    // Small pictures stay on one thread; bands keep at least kMinBandBytes.
    EXPECT_EQ(bandsFor(100, 300), 1);
    EXPECT_EQ(bandsFor(6, kMinBandBytes / 2), 3);
    EXPECT_EQ(bandsFor(5, kMinBandBytes / 2), 2);
    EXPECT_EQ(bandsFor(3000, 12000), 7 * kBandsPerThread);
    EXPECT_EQ(bandsFor(0, 12000), 1);
    for (const char* bad : {"0", "-2", "3x", ""}) {
        setenv("LUMAVEX_THREADS", bad, 1);
        EXPECT_EQ(passThreads(), std::max(1, static_cast<int>(std::thread::hardware_concurrency())))
            << bad;
    }
    unsetenv("LUMAVEX_THREADS");
}

TEST(ParallelPasses, TheNegativeIsTheSameWithOneTwoAndSevenThreads)
{
    // 513 rows of 903 bytes make seven bands.
    const Raster source = test::makeNoise(301, 513, 7);
    setenv("LUMAVEX_THREADS", "7", 1);
    ASSERT_EQ(bandsFor(513, 903), 7);
    const Raster negative =
        test::sameWithOneTwoAndSevenThreads(source, [](Raster& r) { invertPixels(r); });
    for (int y : {0, 250, 512})
        for (int x : {0, 150, 300})
            EXPECT_EQ(negative.pixel(x, y), ~source.pixel(x, y) & 0xFFFFFF);
}

}  // namespace
}  // namespace lumavex
