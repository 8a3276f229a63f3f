#pragma once

// The x86 intrinsics the kernels are written with; LUMAVEX_X86 marks the builds that have them.
// Other processors, and builds configured with LUMAVEX_SIMD off, run the plain loops.
#if (defined(__x86_64__) || defined(__i386__)) && !defined(LUMAVEX_NO_SIMD)
#include <immintrin.h>
#define LUMAVEX_X86 1
#endif

namespace lumavex::simd {

/// The vector instruction sets the kernels use, each level including the ones below it. Every
/// kernel has a plain fallback, and every level gives the same bytes. This is the program's one
/// probe of the processor.
enum class Level { Plain, Ssse3, Avx2, Avx512 };  // Avx512: the F, BW and VL subsets

/// The level the kernels run at: the best the processor (and the system) offers, up to the limit.
Level level();

/// Limits the kernels to a level (tests compare every path; benchmarks time each). Returns the
/// previous limit.
Level limitLevel(Level limit);

}  // namespace lumavex::simd
