#include "neuquant_kernels.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "core/simd.h"

namespace lumavex::quant {

namespace {

// The neurons at blue[0..count) and so on pulled toward the sample (b, g, r) by their neighbour
// weights: v -= (w * (v - target)) / 2^18 on each channel.
void pullScalar(int32_t* blue, int32_t* green, int32_t* red, const int32_t* w, int count, int b,
                int g, int r)
{
    for (int m = 0; m < count; ++m) {
        blue[m] -= (w[m] * (blue[m] - b)) / (1 << kAlphaRadBiasShift);
        green[m] -= (w[m] * (green[m] - g)) / (1 << kAlphaRadBiasShift);
        red[m] -= (w[m] * (red[m] - r)) / (1 << kAlphaRadBiasShift);
    }
}

#ifdef LUMAVEX_X86
__attribute__((target("avx2"), always_inline)) inline void pull8(int32_t* p, __m256i weight,
                                                                 __m256i target)
{
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i product = _mm256_mullo_epi32(weight, _mm256_sub_epi32(v, target));
    // Division by 2^18 truncating toward zero: negative products are raised by 2^18 - 1.
    const __m256i raised = _mm256_add_epi32(
        product, _mm256_and_si256(_mm256_srai_epi32(product, 31),
                                  _mm256_set1_epi32((1 << kAlphaRadBiasShift) - 1)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p),
                        _mm256_sub_epi32(v, _mm256_srai_epi32(raised, kAlphaRadBiasShift)));
}

__attribute__((target("avx2"))) void pullAvx2(int32_t* blue, int32_t* green, int32_t* red,
                                              const int32_t* w, int count, int b, int g, int r)
{
    const __m256i vb = _mm256_set1_epi32(b);
    const __m256i vg = _mm256_set1_epi32(g);
    const __m256i vr = _mm256_set1_epi32(r);
    int m = 0;
    for (; m + 8 <= count; m += 8) {
        const __m256i weight = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w + m));
        pull8(blue + m, weight, vb);
        pull8(green + m, weight, vg);
        pull8(red + m, weight, vr);
    }
    pullScalar(blue + m, green + m, red + m, w + m, count - m, b, g, r);
}

__attribute__((target("avx2"), always_inline)) inline __m256i load8(const int32_t* p)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// The least of eight lanes.
__attribute__((target("avx2"), always_inline)) inline int min8(__m256i v)
{
    v = _mm256_min_epi32(v, _mm256_permute2x128_si256(v, v, 1));
    v = _mm256_min_epi32(v, _mm256_shuffle_epi32(v, 0x4E));
    v = _mm256_min_epi32(v, _mm256_shuffle_epi32(v, 0xB1));
    return _mm256_cvtsi256_si32(v);
}
#endif

// Finishes a lane search from its merged result: key is the least distance << 16 | its index
// (INT_MAX for none), bestBiasD the least biased distance and biasPos its lowest index. The
// neurons i..n-1 the lanes left over come after every lane's, so a strictly smaller distance is
// needed.
template <bool Decay>
void contestTail(const int32_t* blue, const int32_t* green, const int32_t* red, int32_t* bias,
                 int32_t* freq, int i, int n, int b, int g, int r, int key, int bestBiasD,
                 int biasPos, int& bestPos, int& bestBiasPos)
{
    if (bestBiasD == INT_MAX)
        biasPos = -1;
    int bestD = key == INT_MAX ? INT_MAX : key >> 16;
    int pos = key == INT_MAX ? -1 : key & 0xFFFF;
    for (; i < n; ++i) {
        const int d = std::abs(blue[i] - b) + std::abs(green[i] - g) + std::abs(red[i] - r);
        if (d < bestD) {
            bestD = d;
            pos = i;
        }
        const int biasDist = d - (Decay ? bias[i] >> kBiasToDistanceShift : bias[i]);
        if (biasDist < bestBiasD) {
            bestBiasD = biasDist;
            biasPos = i;
        }
        if constexpr (Decay) {
            const int lost = freq[i] >> kBetaShift;
            freq[i] -= lost;
            bias[i] = wrapAdd(bias[i], lost << kBetaShift);
        }
    }
    bestPos = pos;
    bestBiasPos = biasPos;
}

#ifdef LUMAVEX_X86
// The contest's search: the neuron nearest the sample and the one of least biased distance,
// lowest index first on ties. Each lane keeps its own first minimum; the lanes are merged by
// index at the end. With Decay, bias holds the biases, and every neuron's frequency decays by
// 1/1024 into its bias as it is read, as the published loop does; without, bias holds each
// bias >> 12 and nothing is written.
template <bool Decay>
__attribute__((target("avx2"))) void contestAvx2(const int32_t* blue, const int32_t* green,
                                                 const int32_t* red, int32_t* bias, int32_t* freq,
                                                 int n, int b, int g, int r, int& bestPos,
                                                 int& bestBiasPos)
{
    const __m256i vb = _mm256_set1_epi32(b);
    const __m256i vg = _mm256_set1_epi32(g);
    const __m256i vr = _mm256_set1_epi32(r);
    // Distances stay below 2^14 and indices below 2^16, so distance << 16 | index orders by
    // distance and then by index.
    __m256i bestKey = _mm256_set1_epi32(INT_MAX);
    __m256i bestBiasDist = _mm256_set1_epi32(INT_MAX);
    __m256i bestBiasIndex = _mm256_setzero_si256();
    __m256i index = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i eight = _mm256_set1_epi32(8);
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i d = _mm256_add_epi32(
            _mm256_add_epi32(_mm256_abs_epi32(_mm256_sub_epi32(load8(blue + i), vb)),
                             _mm256_abs_epi32(_mm256_sub_epi32(load8(green + i), vg))),
            _mm256_abs_epi32(_mm256_sub_epi32(load8(red + i), vr)));
        bestKey = _mm256_min_epi32(bestKey, _mm256_or_si256(_mm256_slli_epi32(d, 16), index));
        const __m256i biases = load8(bias + i);
        const __m256i shifted = Decay ? _mm256_srai_epi32(biases, kBiasToDistanceShift) : biases;
        const __m256i biasDist = _mm256_sub_epi32(d, shifted);
        const __m256i better = _mm256_cmpgt_epi32(bestBiasDist, biasDist);
        bestBiasDist = _mm256_min_epi32(bestBiasDist, biasDist);
        bestBiasIndex = _mm256_blendv_epi8(bestBiasIndex, index, better);
        if constexpr (Decay) {
            const __m256i f = load8(freq + i);
            const __m256i lost = _mm256_srai_epi32(f, kBetaShift);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(freq + i), _mm256_sub_epi32(f, lost));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(bias + i),
                                _mm256_add_epi32(biases, _mm256_slli_epi32(lost, kBetaShift)));
        }
        index = _mm256_add_epi32(index, eight);
    }
    // The lanes merged: the least key, and the lowest index among the lanes of least biased
    // distance.
    const int key = min8(bestKey);
    int bestBiasD = min8(bestBiasDist);
    const __m256i atLeast = _mm256_cmpeq_epi32(bestBiasDist, _mm256_set1_epi32(bestBiasD));
    int biasPos = min8(_mm256_blendv_epi8(_mm256_set1_epi32(INT_MAX), bestBiasIndex, atLeast));
    contestTail<Decay>(blue, green, red, bias, freq, i, n, b, g, r, key, bestBiasD, biasPos,
                       bestPos, bestBiasPos);
}

// The same search sixteen neurons at a time. (GCC 12 takes the undefined vectors inside its
// AVX-512 intrinsics for uninitialised variables.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
template <bool Decay>
__attribute__((target("avx512f"))) void contestAvx512(const int32_t* blue, const int32_t* green,
                                                      const int32_t* red, int32_t* bias,
                                                      int32_t* freq, int n, int b, int g, int r,
                                                      int& bestPos, int& bestBiasPos)
{
    const __m512i vb = _mm512_set1_epi32(b);
    const __m512i vg = _mm512_set1_epi32(g);
    const __m512i vr = _mm512_set1_epi32(r);
    __m512i bestKey = _mm512_set1_epi32(INT_MAX);
    __m512i bestBiasDist = _mm512_set1_epi32(INT_MAX);
    __m512i bestBiasIndex = _mm512_setzero_si512();
    __m512i index = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    const __m512i sixteen = _mm512_set1_epi32(16);
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m512i d = _mm512_add_epi32(
            _mm512_add_epi32(_mm512_abs_epi32(_mm512_sub_epi32(_mm512_loadu_si512(blue + i), vb)),
                             _mm512_maskz_abs_epi32(
                                 0xFFFF, _mm512_sub_epi32(_mm512_loadu_si512(green + i), vg))),
            _mm512_abs_epi32(_mm512_sub_epi32(_mm512_loadu_si512(red + i), vr)));
        bestKey = _mm512_min_epi32(bestKey, _mm512_or_si512(_mm512_slli_epi32(d, 16), index));
        const __m512i biases = _mm512_loadu_si512(bias + i);
        const __m512i shifted = Decay ? _mm512_srai_epi32(biases, kBiasToDistanceShift) : biases;
        const __m512i biasDist = _mm512_sub_epi32(d, shifted);
        const __mmask16 better = _mm512_cmpgt_epi32_mask(bestBiasDist, biasDist);
        bestBiasDist = _mm512_min_epi32(bestBiasDist, biasDist);
        bestBiasIndex = _mm512_mask_mov_epi32(bestBiasIndex, better, index);
        if constexpr (Decay) {
            const __m512i f = _mm512_loadu_si512(freq + i);
            const __m512i lost = _mm512_srai_epi32(f, kBetaShift);
            _mm512_storeu_si512(freq + i, _mm512_sub_epi32(f, lost));
            _mm512_storeu_si512(bias + i,
                                _mm512_add_epi32(biases, _mm512_slli_epi32(lost, kBetaShift)));
        }
        index = _mm512_add_epi32(index, sixteen);
    }
    const int key = _mm512_reduce_min_epi32(bestKey);
    int bestBiasD = _mm512_reduce_min_epi32(bestBiasDist);
    const __mmask16 atLeast = _mm512_cmpeq_epi32_mask(bestBiasDist, _mm512_set1_epi32(bestBiasD));
    int biasPos = _mm512_mask_reduce_min_epi32(atLeast, bestBiasIndex);
    contestTail<Decay>(blue, green, red, bias, freq, i, n, b, g, r, key, bestBiasD, biasPos,
                       bestPos, bestBiasPos);
}
#pragma GCC diagnostic pop
#endif

// The same search one neuron at a time, where there are no vector kernels.
template <bool Decay>
void contestPlain(const int32_t* blue, const int32_t* green, const int32_t* red, int32_t* bias,
                  int32_t* freq, int n, int b, int g, int r, int& bestPos, int& bestBiasPos)
{
    contestTail<Decay>(blue, green, red, bias, freq, 0, n, b, g, r, INT_MAX, INT_MAX, -1, bestPos,
                       bestBiasPos);
}

#ifdef LUMAVEX_X86
// One pass of the L1 distance transform down the 256 rows of a 256 x 256 plane of keys, then
// one back up: each key becomes the least of itself and its row neighbours' plus one step.
__attribute__((target("avx2"))) void sweepRowsAvx2(int32_t* plane)
{
    const __m256i step = _mm256_set1_epi32(kOneStep);
    for (int pass = 0; pass < 2; ++pass) {
        for (int k = 1; k < 256; ++k) {
            const int y = pass == 0 ? k : 255 - k;
            const int from = pass == 0 ? y - 1 : y + 1;
            int32_t* row = plane + y * 256;
            const int32_t* prev = plane + from * 256;
            for (int x = 0; x < 256; x += 8) {
                const __m256i spread = _mm256_add_epi32(load8(prev + x), step);
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + x),
                                    _mm256_min_epi32(load8(row + x), spread));
            }
        }
    }
}
#endif

void sweepRowsScalar(int32_t* plane)
{
    for (int pass = 0; pass < 2; ++pass) {
        for (int k = 1; k < 256; ++k) {
            const int y = pass == 0 ? k : 255 - k;
            const int from = pass == 0 ? y - 1 : y + 1;
            int32_t* row = plane + y * 256;
            const int32_t* prev = plane + from * 256;
            for (int x = 0; x < 256; ++x)
                row[x] = std::min(row[x], prev[x] + kOneStep);
        }
    }
}

void transposeScalar(const int32_t* from, int32_t* to)
{
    for (int y0 = 0; y0 < 256; y0 += 16)
        for (int x0 = 0; x0 < 256; x0 += 16)
            for (int y = y0; y < y0 + 16; ++y)
                for (int x = x0; x < x0 + 16; ++x)
                    to[x * 256 + y] = from[y * 256 + x];
}

#ifdef LUMAVEX_X86
// The 256 x 256 plane transposed in blocks of 8 x 8.
__attribute__((target("avx2"))) void transposeAvx2(const int32_t* from, int32_t* to)
{
    for (int y0 = 0; y0 < 256; y0 += 8) {
        for (int x0 = 0; x0 < 256; x0 += 8) {
            __m256i r[8], t[8];
            for (int k = 0; k < 8; ++k)
                r[k] = load8(from + (y0 + k) * 256 + x0);
            for (int k = 0; k < 8; k += 2) {
                t[k] = _mm256_unpacklo_epi32(r[k], r[k + 1]);
                t[k + 1] = _mm256_unpackhi_epi32(r[k], r[k + 1]);
            }
            for (int k = 0; k < 8; k += 4) {
                r[k] = _mm256_unpacklo_epi64(t[k], t[k + 2]);
                r[k + 1] = _mm256_unpackhi_epi64(t[k], t[k + 2]);
                r[k + 2] = _mm256_unpacklo_epi64(t[k + 1], t[k + 3]);
                r[k + 3] = _mm256_unpackhi_epi64(t[k + 1], t[k + 3]);
            }
            // r[0..3] hold columns 0, 1, 2, 3 of rows 0-3 (low lane) and 4-7 of them (high).
            static constexpr int column[8] = {0, 1, 2, 3, 0, 1, 2, 3};
            for (int k = 0; k < 8; ++k) {
                const __m256i a = r[column[k]];
                const __m256i b = r[column[k] + 4];
                const __m256i out = k < 4 ? _mm256_permute2x128_si256(a, b, 0x20)
                                          : _mm256_permute2x128_si256(a, b, 0x31);
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + (x0 + k) * 256 + y0), out);
            }
        }
    }
}

// Eight pixels' table entries at a time: each B,G,R triple becomes the index
// green << 16 | blue << 8 | red, and a gather reads the bytes there. Reads 4 bytes past the
// eighth pixel and 3 past the last entry of the table.
__attribute__((target("avx2"))) int lookupAvx2(const uint8_t* bgr, int count, const uint8_t* table,
                                               uint8_t* out)
{
    const __m256i order = _mm256_setr_epi8(2, 0, 1, -1, 5, 3, 4, -1, 8, 6, 7, -1, 11, 9, 10, -1,  //
                                           2, 0, 1, -1, 5, 3, 4, -1, 8, 6, 7, -1, 11, 9, 10, -1);
    const __m256i lowBytes =
        _mm256_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,  //
                         0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m256i gatherLanes = _mm256_setr_epi32(0, 4, 1, 1, 1, 1, 1, 1);
    int x = 0;
    for (; x + 8 <= count; x += 8, bgr += 24) {
        const __m256i pixels = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(bgr + 12),
                                                   reinterpret_cast<const __m128i*>(bgr));
        const __m256i index = _mm256_shuffle_epi8(pixels, order);
        const __m256i entries =
            _mm256_i32gather_epi32(reinterpret_cast<const int*>(table), index, 1);
        const __m256i packed =
            _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(entries, lowBytes), gatherLanes);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x), _mm256_castsi256_si128(packed));
    }
    return x;
}
#endif

}  // namespace

bool haveVectors()
{
#ifdef LUMAVEX_X86
    return simd::level() >= simd::Level::Avx2;
#else
    return false;
#endif
}

bool haveWideVectors()
{
#ifdef LUMAVEX_X86
    return simd::level() >= simd::Level::Avx512;
#else
    return false;
#endif
}

PullKernel pullKernel([[maybe_unused]] bool vector)
{
#ifdef LUMAVEX_X86
    if (vector)
        return pullAvx2;
#endif
    return pullScalar;
}

template <bool Decay>
ContestKernel<Decay> contestKernel([[maybe_unused]] bool wide)
{
#ifdef LUMAVEX_X86
    return wide ? contestAvx512<Decay> : contestAvx2<Decay>;
#else
    return contestPlain<Decay>;
#endif
}
template ContestKernel<true> contestKernel<true>(bool);
template ContestKernel<false> contestKernel<false>(bool);

SweepKernel sweepKernel([[maybe_unused]] bool vector)
{
#ifdef LUMAVEX_X86
    if (vector)
        return sweepRowsAvx2;
#endif
    return sweepRowsScalar;
}

TransposeKernel transposeKernel([[maybe_unused]] bool vector)
{
#ifdef LUMAVEX_X86
    if (vector)
        return transposeAvx2;
#endif
    return transposeScalar;
}

int lookupRowStart([[maybe_unused]] bool vector, [[maybe_unused]] const uint8_t* bgr,
                   [[maybe_unused]] int count, [[maybe_unused]] const uint8_t* table,
                   [[maybe_unused]] uint8_t* out)
{
#ifdef LUMAVEX_X86
    if (vector)
        return lookupAvx2(bgr, count, table, out);
#endif
    return 0;
}

}  // namespace lumavex::quant
