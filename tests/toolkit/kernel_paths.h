#pragma once

#include <string>

#include <gtest/gtest.h>

#include "core/simd.h"

namespace lumavex::test {

/// Runs a test body with the kernels of each level the processor has, down to the plain ones.
template <typename F>
void onEveryPath(F body)
{
    for (simd::Level limit :
         {simd::Level::Avx512, simd::Level::Avx2, simd::Level::Ssse3, simd::Level::Plain}) {
        const simd::Level previous = simd::limitLevel(limit);
        SCOPED_TRACE("kernel level " + std::to_string(static_cast<int>(simd::level())));
        body();
        simd::limitLevel(previous);
    }
}

}  // namespace lumavex::test
