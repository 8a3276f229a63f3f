#include "simd.h"

#include <algorithm>
#include <atomic>

namespace lumavex::simd {

namespace {

Level processorLevel()
{
#ifdef LUMAVEX_X86
    static const Level best = [] {
        __builtin_cpu_init();
        if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
            __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx2"))
            return Level::Avx512;
        if (__builtin_cpu_supports("avx2"))
            return Level::Avx2;
        if (__builtin_cpu_supports("ssse3"))
            return Level::Ssse3;
        return Level::Plain;
    }();
    return best;
#else
    return Level::Plain;
#endif
}

std::atomic<Level> g_limit{Level::Avx512};

}  // namespace

Level level()
{
    return std::min(processorLevel(), g_limit.load(std::memory_order_relaxed));
}

Level limitLevel(Level limit)
{
    return g_limit.exchange(limit);
}

}  // namespace lumavex::simd
