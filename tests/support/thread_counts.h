#pragma once
// Runs a whole-picture pass with 1, 2 and 7 threads and compares what each gives.

#include <gtest/gtest.h>

#include <cstdlib>

#include "core/raster.h"

namespace lumavex::test {

/// Applies operation to a copy of picture with LUMAVEX_THREADS at 1, 2 and 7, expects the same
/// size and pixels each time, and returns the one-thread result.
template <class Operation>
Raster sameWithOneTwoAndSevenThreads(const Raster& picture, Operation operation)
{
    setenv("LUMAVEX_THREADS", "1", 1);
    Raster first = picture;
    operation(first);
    for (const char* threads : {"2", "7"}) {
        setenv("LUMAVEX_THREADS", threads, 1);
        Raster result = picture;
        operation(result);
        EXPECT_TRUE(result.samePixels(first))
            << threads << " threads: " << result.width() << " x " << result.height();
    }
    unsetenv("LUMAVEX_THREADS");
    return first;
}

}  // namespace lumavex::test
