#pragma once
// LUMAVEX_VECTOR_CLONES marks a hot loop that is built twice on x86-64 with GCC, for the
// baseline instruction set and for AVX2, the better one picked when the program starts. Only
// integer loops carry it, so both versions give the same bytes.

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && !defined(LUMAVEX_NO_SIMD)
#define LUMAVEX_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define LUMAVEX_VECTOR_CLONES
#endif
