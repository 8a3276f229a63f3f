#include "resample.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>
#include <optional>
#include <string>

#include "adopt.h"
#include "core/error.h"
#include "core/parallel.h"
#include "core/simd.h"

namespace lumavex {

namespace {

constexpr double kSupport = 3.0;

double sinc(double t)
{
    if (t == 0.0)
        return 1.0;
    const double a = std::numbers::pi * t;
    return std::sin(a) / a;
}

// Mirrors an index that lies outside 0..n-1 (the left edge is not repeated, the right one is),
// then clamps what a short source still leaves outside.
int mirrored(int64_t j, int n)
{
    if (j < 0)
        j = -j;
    else if (j >= n)
        j = 2 * int64_t{n} - 1 - j;
    return static_cast<int>(std::clamp<int64_t>(j, 0, n - 1));
}

// A channel sum as it is stored: clamped to 0..255, rounded to nearest with ties to even.
inline double stored(double v)
{
    return v > 255.0 ? 255.0 : v < 0.0 ? 0.0 : std::nearbyint(v);
}

// The contribution lists of one pass, flattened; offsets are in elements of a row of
// three-channel pixels (3 x index).
struct PassTable {
    std::vector<int> start;
    std::vector<int> offset;
    std::vector<double> weight;
    int longest = 0;
    // Every list filled up to the longest with weight 0 at its last index, [i * longest + t]:
    // a zero product added after the real terms leaves a sum as it was (at most turning -0
    // into +0, which stores the same), and lets two lists run side by side.
    std::vector<int> paddedOffset;
    std::vector<double> paddedWeight;

    int count(int i) const { return start[i + 1] - start[i]; }

    void pad()
    {
        const size_t m = start.size() - 1;
        const size_t L = static_cast<size_t>(longest);
        paddedOffset.assign(L * m, 0);
        paddedWeight.assign(L * m, 0.0);
        for (size_t i = 0; i < m; ++i) {
            const int n = count(static_cast<int>(i));
            for (size_t t = 0; t < L; ++t) {
                const int term = start[i] + std::min(static_cast<int>(t), n - 1);
                paddedOffset[i * L + t] = offset[term];
                if (static_cast<int>(t) < n)
                    paddedWeight[i * L + t] = weight[term];
            }
        }
    }
};

PassTable makeTable(int n, int m)
{
    const auto lists = Lanczos3Contributions(n, m);
    PassTable table;
    table.start.reserve(static_cast<size_t>(m) + 1);
    table.start.push_back(0);
    for (const auto& list : lists) {
        for (const Contribution& c : list) {
            table.offset.push_back(3 * c.index);
            table.weight.push_back(c.weight);
        }
        table.start.push_back(static_cast<int>(table.offset.size()));
        table.longest = std::max(table.longest, static_cast<int>(list.size()));
    }
    return table;
}

// The first 64-byte aligned double of a scratch buffer allocated with 8 doubles to spare.
inline double* aligned64(std::vector<double>& scratch)
{
    const auto address = reinterpret_cast<uintptr_t>(scratch.data());
    return scratch.data() + ((64 - address % 64) % 64) / sizeof(double);
}

// What a horizontal kernel is given: `count` consecutive source rows, the source elements
// [readBegin, readEnd) they need, destination columns [x0, x1), and one output row for each
// source row, which receives the stored channels as doubles, pixel x0 first. The output rows
// follow each other outStride doubles apart: out[k] = out[0] + k x outStride.
struct HorizontalJob {
    const uint8_t* rows[8];
    int count;
    int readBegin;
    int readEnd;
    int x0;
    int x1;
    double* out[8];
    size_t outStride;
};

// The plain kernel does one row at a time: the row as doubles, then each destination pixel's
// three sums in list order.
void horizontalPlain(const HorizontalJob& job, const PassTable& p, std::vector<double>& scratch)
{
    for (int row = 0; row < job.count; ++row) {
        const uint8_t* s = job.rows[row];
        for (int e = job.readBegin; e < job.readEnd; ++e)
            scratch[e] = s[e];
        for (int i = job.x0; i < job.x1; ++i) {
            double b = 0.0, g = 0.0, r = 0.0;
            for (int t = p.start[i]; t < p.start[i + 1]; ++t) {
                const double* v = scratch.data() + p.offset[t];
                const double w = p.weight[t];
                b += w * v[0];
                g += w * v[1];
                r += w * v[2];
            }
            double* o = job.out[row] + 3 * (i - job.x0);
            o[0] = stored(b);
            o[1] = stored(g);
            o[2] = stored(r);
        }
    }
}

// Vertical pass of one destination row: element e is the sum over the terms of
// weight[t] x rows[t][e], in term order.
void verticalPlain(const double* const* rows, const double* weight, int count, int begin, int end,
                   uint8_t* out)
{
    for (int e = begin; e < end; ++e) {
        double s = 0.0;
        for (int t = 0; t < count; ++t)
            s += weight[t] * rows[t][e];
        out[e] = static_cast<uint8_t>(stored(s));
    }
}

#ifdef LUMAVEX_X86

__attribute__((target("avx2"))) inline __m256d storedAvx2(__m256d v)
{
    v = _mm256_min_pd(_mm256_max_pd(v, _mm256_setzero_pd()), _mm256_set1_pd(255.0));
    return _mm256_round_pd(v, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
}

// Two elements of eight bytes each, as sixteen doubles.
__attribute__((target("avx2"))) inline void putTwoElements(double* o, __m128i g)
{
    _mm256_storeu_pd(o, _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(g)));
    _mm256_storeu_pd(o + 4, _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_srli_si128(g, 4))));
    _mm256_storeu_pd(o + 8, _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_srli_si128(g, 8))));
    _mm256_storeu_pd(o + 12, _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_srli_si128(g, 12))));
}

// Sixteen elements of eight rows, regrouped by element: g[q] holds elements e + 2q and
// e + 2q + 1, eight bytes each (one per row).
__attribute__((target("avx2"))) inline void regroup16(const uint8_t* const* rows, int e,
                                                      __m128i g[8])
{
    __m128i r[8];
    for (int k = 0; k < 8; ++k)
        r[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[k] + e));
    const __m128i a0 = _mm_unpacklo_epi8(r[0], r[1]), a1 = _mm_unpackhi_epi8(r[0], r[1]);
    const __m128i b0 = _mm_unpacklo_epi8(r[2], r[3]), b1 = _mm_unpackhi_epi8(r[2], r[3]);
    const __m128i c0 = _mm_unpacklo_epi8(r[4], r[5]), c1 = _mm_unpackhi_epi8(r[4], r[5]);
    const __m128i d0 = _mm_unpacklo_epi8(r[6], r[7]), d1 = _mm_unpackhi_epi8(r[6], r[7]);
    const __m128i ab[4] = {_mm_unpacklo_epi16(a0, b0), _mm_unpackhi_epi16(a0, b0),
                           _mm_unpacklo_epi16(a1, b1), _mm_unpackhi_epi16(a1, b1)};
    const __m128i cd[4] = {_mm_unpacklo_epi16(c0, d0), _mm_unpackhi_epi16(c0, d0),
                           _mm_unpacklo_epi16(c1, d1), _mm_unpackhi_epi16(c1, d1)};
    for (int q = 0; q < 4; ++q) {
        g[2 * q] = _mm_unpacklo_epi32(ab[q], cd[q]);
        g[2 * q + 1] = _mm_unpackhi_epi32(ab[q], cd[q]);
    }
}

// Eight rows side by side: element e of row r becomes out[8e + r], as a double.
__attribute__((target("avx2"))) void interleave8(const uint8_t* const* rows, int begin, int end,
                                                 double* out)
{
    int e = begin;
    for (; e + 16 <= end; e += 16) {
        __m128i g[8];
        regroup16(rows, e, g);
        double* o = out + 8 * static_cast<size_t>(e);
        for (int q = 0; q < 8; ++q)
            putTwoElements(o + 16 * q, g[q]);
    }
    for (; e < end; ++e)
        for (int r = 0; r < 8; ++r)
            out[8 * static_cast<size_t>(e) + r] = rows[r][e];
}

// Eight source rows at a time, one lane per row: a term's weight is loaded once for all 24
// sums of a destination pixel. Every lane sums its own terms in list order.
__attribute__((target("avx2"))) void horizontalAvx2(const HorizontalJob& job, const PassTable& p,
                                                    std::vector<double>& scratch)
{
    const uint8_t* rows[8];
    for (int r = 0; r < 8; ++r)
        rows[r] = job.rows[std::min(r, job.count - 1)];
    double* data = aligned64(scratch);
    interleave8(rows, job.readBegin, job.readEnd, data);
    alignas(32) double sums[24];
    for (int i = job.x0; i < job.x1; ++i) {
        __m256d a0 = _mm256_setzero_pd(), a1 = a0, a2 = a0, a3 = a0, a4 = a0, a5 = a0;
        for (int t = p.start[i]; t < p.start[i + 1]; ++t) {
            const __m256d w = _mm256_broadcast_sd(&p.weight[t]);
            const double* v = data + 8 * static_cast<size_t>(p.offset[t]);
            a0 = _mm256_add_pd(a0, _mm256_mul_pd(w, _mm256_loadu_pd(v)));
            a1 = _mm256_add_pd(a1, _mm256_mul_pd(w, _mm256_loadu_pd(v + 4)));
            a2 = _mm256_add_pd(a2, _mm256_mul_pd(w, _mm256_loadu_pd(v + 8)));
            a3 = _mm256_add_pd(a3, _mm256_mul_pd(w, _mm256_loadu_pd(v + 12)));
            a4 = _mm256_add_pd(a4, _mm256_mul_pd(w, _mm256_loadu_pd(v + 16)));
            a5 = _mm256_add_pd(a5, _mm256_mul_pd(w, _mm256_loadu_pd(v + 20)));
        }
        _mm256_store_pd(sums, storedAvx2(a0));
        _mm256_store_pd(sums + 4, storedAvx2(a1));
        _mm256_store_pd(sums + 8, storedAvx2(a2));
        _mm256_store_pd(sums + 12, storedAvx2(a3));
        _mm256_store_pd(sums + 16, storedAvx2(a4));
        _mm256_store_pd(sums + 20, storedAvx2(a5));
        const size_t at = 3 * static_cast<size_t>(i - job.x0);
        for (int r = 0; r < job.count; ++r) {
            double* o = job.out[r] + at;
            o[0] = sums[r];
            o[1] = sums[8 + r];
            o[2] = sums[16 + r];
        }
    }
}

__attribute__((target("avx2"))) inline __m128i packedAvx2(__m256d a, __m256d b, __m256d c,
                                                          __m256d d)
{
    const __m128i ab =
        _mm_packs_epi32(_mm256_cvtpd_epi32(storedAvx2(a)), _mm256_cvtpd_epi32(storedAvx2(b)));
    const __m128i cd =
        _mm_packs_epi32(_mm256_cvtpd_epi32(storedAvx2(c)), _mm256_cvtpd_epi32(storedAvx2(d)));
    return _mm_packus_epi16(ab, cd);
}

// Thirty-two elements at a time in eight independent sums.
__attribute__((target("avx2"))) void verticalAvx2(const double* const* rows, const double* weight,
                                                  int count, int begin, int end, uint8_t* out)
{
    int e = begin;
    for (; e + 32 <= end; e += 32) {
        __m256d a0 = _mm256_setzero_pd(), a1 = a0, a2 = a0, a3 = a0;
        __m256d a4 = a0, a5 = a0, a6 = a0, a7 = a0;
        for (int t = 0; t < count; ++t) {
            const __m256d w = _mm256_broadcast_sd(weight + t);
            const double* r = rows[t] + e;
            a0 = _mm256_add_pd(a0, _mm256_mul_pd(w, _mm256_loadu_pd(r)));
            a1 = _mm256_add_pd(a1, _mm256_mul_pd(w, _mm256_loadu_pd(r + 4)));
            a2 = _mm256_add_pd(a2, _mm256_mul_pd(w, _mm256_loadu_pd(r + 8)));
            a3 = _mm256_add_pd(a3, _mm256_mul_pd(w, _mm256_loadu_pd(r + 12)));
            a4 = _mm256_add_pd(a4, _mm256_mul_pd(w, _mm256_loadu_pd(r + 16)));
            a5 = _mm256_add_pd(a5, _mm256_mul_pd(w, _mm256_loadu_pd(r + 20)));
            a6 = _mm256_add_pd(a6, _mm256_mul_pd(w, _mm256_loadu_pd(r + 24)));
            a7 = _mm256_add_pd(a7, _mm256_mul_pd(w, _mm256_loadu_pd(r + 28)));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + e), packedAvx2(a0, a1, a2, a3));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + e + 16), packedAvx2(a4, a5, a6, a7));
    }
    verticalPlain(rows, weight, count, e, end, out);
}

// GCC 12's AVX-512 headers start some intrinsics from an undefined register, which its
// uninitialised-use warning reports at every call.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

__attribute__((target("avx512f"))) inline __m512d stored512(__m512d v)
{
    v = _mm512_min_pd(_mm512_max_pd(v, _mm512_setzero_pd()), _mm512_set1_pd(255.0));
    return _mm512_roundscale_pd(v, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
}

// interleave8 with sixteen doubles converted at once.
__attribute__((target("avx512f,avx2"))) void interleave8x512(const uint8_t* const* rows, int begin,
                                                             int end, double* out)
{
    int e = begin;
    for (; e + 16 <= end; e += 16) {
        __m128i g[8];
        regroup16(rows, e, g);
        double* o = out + 8 * static_cast<size_t>(e);
        for (int q = 0; q < 8; ++q) {
            const __m512i words = _mm512_cvtepu8_epi32(g[q]);
            _mm512_storeu_pd(o + 16 * q, _mm512_cvtepi32_pd(_mm512_castsi512_si256(words)));
            _mm512_storeu_pd(o + 16 * q + 8,
                             _mm512_cvtepi32_pd(_mm512_extracti64x4_epi64(words, 1)));
        }
    }
    for (; e < end; ++e)
        for (int r = 0; r < 8; ++r)
            out[8 * static_cast<size_t>(e) + r] = rows[r][e];
}

// The permutations scatter8 uses: pick[k] gathers blue and green of rows 2k and 2k + 1,
// place[k] puts their red beside them.
struct ScatterIndices {
    __m512i pick[4];
    __m512i place[4];
};

__attribute__((target("avx512f"))) inline ScatterIndices scatterIndices()
{
    alignas(64) static const int64_t pick[4][8] = {{0, 8, 0, 0, 1, 9, 0, 0},
                                                   {2, 10, 0, 0, 3, 11, 0, 0},
                                                   {4, 12, 0, 0, 5, 13, 0, 0},
                                                   {6, 14, 0, 0, 7, 15, 0, 0}};
    alignas(64) static const int64_t place[4][8] = {{0, 1, 8, 3, 4, 5, 9, 7},
                                                    {0, 1, 10, 3, 4, 5, 11, 7},
                                                    {0, 1, 12, 3, 4, 5, 13, 7},
                                                    {0, 1, 14, 3, 4, 5, 15, 7}};
    ScatterIndices x;
    for (int k = 0; k < 4; ++k) {
        x.pick[k] = _mm512_load_si512(pick[k]);
        x.place[k] = _mm512_load_si512(place[k]);
    }
    return x;
}

// Writes one destination pixel of eight rows: a0, a1, a2 hold its blue, green and red sums,
// one lane per row, and place(r) is where row r's pixel goes. Each row gets four doubles, the
// fourth overwritten by the next pixel or falling into the row's slack.
template <class Place>
__attribute__((target("avx512f"))) inline void scatter8(__m512d a0, __m512d a1, __m512d a2,
                                                        const ScatterIndices& x, Place place)
{
    a0 = stored512(a0);
    a1 = stored512(a1);
    a2 = stored512(a2);
    for (int k = 0; k < 4; ++k) {
        const __m512d two =
            _mm512_permutex2var_pd(_mm512_permutex2var_pd(a0, x.pick[k], a1), x.place[k], a2);
        _mm256_storeu_pd(place(2 * k), _mm512_castpd512_pd256(two));
        _mm256_storeu_pd(place(2 * k + 1), _mm512_extractf64x4_pd(two, 1));
    }
}

// As horizontalAvx2, with the eight rows of a channel in one register and two destination
// pixels side by side over the padded lists.
__attribute__((target("avx512f,avx2"))) void horizontal512(const HorizontalJob& job,
                                                           const PassTable& p,
                                                           std::vector<double>& scratch)
{
    const uint8_t* rows[8];
    for (int r = 0; r < 8; ++r)
        rows[r] = job.rows[std::min(r, job.count - 1)];
    double* data = aligned64(scratch);
    interleave8x512(rows, job.readBegin, job.readEnd, data);
    // Rows beyond the picture's last (a short final group) write into a spare pixel.
    double spare[4];
    double* dst[8];
    const ScatterIndices indices = scatterIndices();
    const size_t L = static_cast<size_t>(p.longest);
    int i = job.x0;
    if (job.count == 8) {
        for (; i + 2 <= job.x1; i += 2) {
            const int* o = &p.paddedOffset[i * L];
            const double* w = &p.paddedWeight[i * L];
            __m512d a0 = _mm512_setzero_pd(), a1 = a0, a2 = a0, b0 = a0, b1 = a0, b2 = a0;
            for (size_t t = 0; t < L; ++t) {
                const __m512d wa = _mm512_set1_pd(w[t]);
                const __m512d wb = _mm512_set1_pd(w[L + t]);
                const double* u = data + 8 * static_cast<size_t>(o[t]);
                const double* v = data + 8 * static_cast<size_t>(o[L + t]);
                a0 = _mm512_add_pd(a0, _mm512_mul_pd(wa, _mm512_load_pd(u)));
                a1 = _mm512_add_pd(a1, _mm512_mul_pd(wa, _mm512_load_pd(u + 8)));
                a2 = _mm512_add_pd(a2, _mm512_mul_pd(wa, _mm512_load_pd(u + 16)));
                b0 = _mm512_add_pd(b0, _mm512_mul_pd(wb, _mm512_load_pd(v)));
                b1 = _mm512_add_pd(b1, _mm512_mul_pd(wb, _mm512_load_pd(v + 8)));
                b2 = _mm512_add_pd(b2, _mm512_mul_pd(wb, _mm512_load_pd(v + 16)));
            }
            double* first = job.out[0] + 3 * static_cast<size_t>(i - job.x0);
            const size_t stride = job.outStride;
            scatter8(a0, a1, a2, indices, [=](int r) { return first + r * stride; });
            scatter8(b0, b1, b2, indices, [=](int r) { return first + 3 + r * stride; });
        }
    }
    for (; i < job.x1; ++i) {
        __m512d a0 = _mm512_setzero_pd(), a1 = a0, a2 = a0;
        for (int t = p.start[i]; t < p.start[i + 1]; ++t) {
            const __m512d w = _mm512_set1_pd(p.weight[t]);
            const double* v = data + 8 * static_cast<size_t>(p.offset[t]);
            a0 = _mm512_add_pd(a0, _mm512_mul_pd(w, _mm512_load_pd(v)));
            a1 = _mm512_add_pd(a1, _mm512_mul_pd(w, _mm512_load_pd(v + 8)));
            a2 = _mm512_add_pd(a2, _mm512_mul_pd(w, _mm512_load_pd(v + 16)));
        }
        const size_t at = 3 * static_cast<size_t>(i - job.x0);
        for (int r = 0; r < 8; ++r)
            dst[r] = r < job.count ? job.out[r] + at : spare;
        scatter8(a0, a1, a2, indices, [&](int r) { return dst[r]; });
    }
}

// Sixteen stored sums as bytes (each already 0..255).
__attribute__((target("avx512f"))) inline __m128i packed512(__m512d a, __m512d b)
{
    const __m512i both =
        _mm512_inserti64x4(_mm512_castsi256_si512(_mm512_cvtpd_epi32(stored512(a))),
                           _mm512_cvtpd_epi32(stored512(b)), 1);
    return _mm512_cvtepi32_epi8(both);
}

// Sixty-four elements at a time in eight independent sums.
__attribute__((target("avx512f,avx2"))) void vertical512(const double* const* rows,
                                                         const double* weight, int count, int begin,
                                                         int end, uint8_t* out)
{
    int e = begin;
    for (; e + 64 <= end; e += 64) {
        __m512d a0 = _mm512_setzero_pd(), a1 = a0, a2 = a0, a3 = a0;
        __m512d a4 = a0, a5 = a0, a6 = a0, a7 = a0;
        for (int t = 0; t < count; ++t) {
            const __m512d w = _mm512_set1_pd(weight[t]);
            const double* r = rows[t] + e;
            a0 = _mm512_add_pd(a0, _mm512_mul_pd(w, _mm512_loadu_pd(r)));
            a1 = _mm512_add_pd(a1, _mm512_mul_pd(w, _mm512_loadu_pd(r + 8)));
            a2 = _mm512_add_pd(a2, _mm512_mul_pd(w, _mm512_loadu_pd(r + 16)));
            a3 = _mm512_add_pd(a3, _mm512_mul_pd(w, _mm512_loadu_pd(r + 24)));
            a4 = _mm512_add_pd(a4, _mm512_mul_pd(w, _mm512_loadu_pd(r + 32)));
            a5 = _mm512_add_pd(a5, _mm512_mul_pd(w, _mm512_loadu_pd(r + 40)));
            a6 = _mm512_add_pd(a6, _mm512_mul_pd(w, _mm512_loadu_pd(r + 48)));
            a7 = _mm512_add_pd(a7, _mm512_mul_pd(w, _mm512_loadu_pd(r + 56)));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + e), packed512(a0, a1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + e + 16), packed512(a2, a3));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + e + 32), packed512(a4, a5));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + e + 48), packed512(a6, a7));
    }
    verticalAvx2(rows, weight, count, e, end, out);
}

#pragma GCC diagnostic pop

#endif

using HorizontalKernel = void (*)(const HorizontalJob&, const PassTable&, std::vector<double>&);
using VerticalKernel = void (*)(const double* const*, const double*, int, int, int, uint8_t*);

// Both passes from a source to a destination size: the tables, the kernels and the ring size.
// The intermediate rows live in a ring, one a band, that holds every row one destination row
// needs; they are computed in groups of consecutive rows when first needed (a band's first
// rows recompute a few its neighbour computed too; a row's values never depend on who computes
// it). When the rings would grow beyond a fixed budget (extreme shrinking), the destination is
// done in strips of columns, which changes no value either.
struct ResamplePlan {
    int srcH;
    int dstW;
    int dstH;
    int group = 1;
    size_t scratchSize;
    HorizontalKernel horizontal = horizontalPlain;
    VerticalKernel vertical = verticalPlain;
    PassTable hp;
    PassTable vp;
    int capacity = 1;

    ResamplePlan(const Raster& source, int width, int height)
        : srcH(source.height()),
          dstW(width),
          dstH(height),
          scratchSize(3 * static_cast<size_t>(source.width()) + 4)
    {
        bool padded = false;
#ifdef LUMAVEX_X86
        const simd::Level level = simd::level();
        // The AVX-512 kernel runs two padded lists side by side.
        padded = level == simd::Level::Avx512;
        if (level >= simd::Level::Avx2) {
            group = 8;
            scratchSize = scratchSize * 8 + 8;
            horizontal = level == simd::Level::Avx512 ? horizontal512 : horizontalAvx2;
            vertical = level == simd::Level::Avx512 ? vertical512 : verticalAvx2;
        }
#endif
        hp = makeTable(source.width(), dstW);
        if (padded)
            hp.pad();
        vp = makeTable(srcH, dstH);
        // Ring rows: the widest span of source rows one destination row reads, widened to
        // whole groups at both ends, so that computing a group never evicts a row still needed.
        int span = 1;
        for (int r = 0; r < dstH; ++r) {
            const auto [lo, hi] = std::minmax_element(vp.offset.begin() + vp.start[r],
                                                      vp.offset.begin() + vp.start[r + 1]);
            span = std::max(span, (*hi - *lo) / 3 + 1);
        }
        capacity = (span + 2 * (group - 1) + group - 1) / group * group;
    }

    // The widest strip of columns whose rings, one for each of bands, stay within the budget.
    int stripWidth(int bands) const
    {
        const size_t budget = (size_t{64} << 20) / sizeof(double) / static_cast<size_t>(bands);
        if (static_cast<size_t>(capacity) * (3 * static_cast<size_t>(dstW) + 4) > budget)
            return std::max<int>(4, static_cast<int>((budget / capacity - 4) / 3));
        return dstW;
    }
};

// One band's work on one strip of destination columns x0 .. x1 - 1: its ring and scratch rows,
// kept from one run of rows to the next.
class ResampleStrip {
public:
    ResampleStrip(const ResamplePlan& plan, int x0, int x1)
        : m_plan(plan),
          m_scratch(plan.scratchSize, 0.0),
          m_rows(static_cast<size_t>(plan.vp.longest)),
          m_ringStride(3 * static_cast<size_t>(x1 - x0) + 4),
          m_ring(m_ringStride * plan.capacity, 0.0),
          m_ringRow(static_cast<size_t>(plan.capacity), -1)
    {
        m_job.x0 = x0;
        m_job.x1 = x1;
        // The source elements this strip reads.
        const auto [lo, hi] = std::minmax_element(plan.hp.offset.begin() + plan.hp.start[x0],
                                                  plan.hp.offset.begin() + plan.hp.start[x1]);
        m_job.readBegin = *lo;
        m_job.readEnd = *hi + 3;
    }

    // Destination rows first .. last - 1 of the strip.
    void rows(const Raster& source, Raster& destination, int first, int last)
    {
        const ResamplePlan& p = m_plan;
        for (int r = first; r < last; ++r) {
            const int count = p.vp.count(r);
            for (int t = 0; t < count; ++t) {
                const int j = p.vp.offset[p.vp.start[r] + t] / 3;
                const int slot = j % p.capacity;
                if (m_ringRow[slot] != j) {
                    const int y0 = j / p.group * p.group;
                    const int slot0 = y0 % p.capacity;
                    m_job.count = std::min(p.group, p.srcH - y0);
                    for (int k = 0; k < m_job.count; ++k) {
                        m_job.rows[k] = source.row(y0 + k);
                        m_job.out[k] = m_ring.data() + m_ringStride * (slot0 + k);
                        m_job.outStride = m_ringStride;
                        m_ringRow[slot0 + k] = y0 + k;
                    }
                    p.horizontal(m_job, p.hp, m_scratch);
                }
                m_rows[t] = m_ring.data() + m_ringStride * slot;
            }
            p.vertical(m_rows.data(), p.vp.weight.data() + p.vp.start[r], count, 0,
                       3 * (m_job.x1 - m_job.x0), destination.row(r) + 3 * m_job.x0);
        }
    }

private:
    const ResamplePlan& m_plan;
    HorizontalJob m_job{};
    std::vector<double> m_scratch;
    std::vector<const double*> m_rows;
    size_t m_ringStride;
    std::vector<double> m_ring;
    std::vector<int> m_ringRow;
};

// Runs both passes from source into destination (both non-empty), in bands of destination
// rows on the pool.
void runPasses(const Raster& source, Raster& destination)
{
    const ResamplePlan plan(source, destination.width(), destination.height());
    const int dstH = plan.dstH;
    // The work of a band is reading its source rows and writing its destination rows.
    const size_t pictureBytes = source.stride() * static_cast<size_t>(plan.srcH) +
                                destination.stride() * static_cast<size_t>(dstH);
    const int bands = bandsFor(dstH, pictureBytes / static_cast<size_t>(dstH));
    const int stripWidth = plan.stripWidth(bands);
    forEachBand(dstH, bands, [&](int firstRow, int lastRow) {
        for (int x0 = 0; x0 < plan.dstW; x0 += stripWidth)
            ResampleStrip(plan, x0, std::min(plan.dstW, x0 + stripWidth))
                .rows(source, destination, firstRow, lastRow);
    });
}

// Resample from the top down as source rows arrive, on the caller's thread: a destination row
// is done once the lowest source row it reads is there.
class ResampleRows : public RowStage {
public:
    ResampleRows(const Raster& source, int width, int height)
        : m_plan(source, width, height),
          m_result(Raster::unfilled(width, height)),
          m_strip(m_plan, 0, width),
          m_needs(static_cast<size_t>(height))
    {
        int lowest = 0;
        for (int r = 0; r < height; ++r) {
            const auto& vp = m_plan.vp;
            for (int t = vp.start[r]; t < vp.start[r + 1]; ++t)
                lowest = std::max(lowest, vp.offset[t] / 3);
            // Rows are computed in whole groups: the group's last row must be there too.
            m_needs[r] = std::min(m_plan.srcH, (lowest / m_plan.group + 1) * m_plan.group);
        }
    }
    bool fitsOneStrip() const { return m_plan.stripWidth(1) == m_plan.dstW; }

    int advance(Raster& source, int ready) override
    {
        int last = m_done;
        while (last < m_plan.dstH && m_needs[last] <= ready)
            ++last;
        m_strip.rows(source, m_result, m_done, last);
        m_done = last;
        return m_done;
    }
    Raster& result(Raster&) override { return m_result; }

private:
    ResamplePlan m_plan;
    Raster m_result;
    ResampleStrip m_strip;
    std::vector<int> m_needs;  // source rows destination row r needs, counted from the top
    int m_done = 0;
};

}  // namespace

int StoredChannel(double sum)
{
    return static_cast<int>(stored(sum));
}

double Lanczos3(double x)
{
    if (std::fabs(x) >= kSupport)
        return 0.0;
    return sinc(x) * sinc(x / 3.0);
}

std::vector<std::vector<Contribution>> Lanczos3Contributions(int n, int m)
{
    std::vector<std::vector<Contribution>> lists(static_cast<size_t>(std::max(m, 0)));
    if (n < 1)
        return lists;
    const double k = static_cast<double>(m) / static_cast<double>(n);
    for (int i = 0; i < m; ++i) {
        const double c = static_cast<double>(i) / k;
        auto& list = lists[i];
        if (k >= 1.0) {
            const double r = kSupport;
            const auto lo = static_cast<int64_t>(std::floor(c - r));
            const auto hi = static_cast<int64_t>(std::ceil(c + r));
            for (int64_t j = lo; j <= hi; ++j) {
                const double w = Lanczos3(c - static_cast<double>(j));
                if (w != 0.0)
                    list.push_back({mirrored(j, n), w});
            }
        } else {
            // Widened by 1 / k; the weight is divided by 1 / k, exactly so.
            const double r = kSupport / k;
            const double inverse = 1.0 / k;
            const auto lo = static_cast<int64_t>(std::floor(c - r));
            const auto hi = static_cast<int64_t>(std::ceil(c + r));
            for (int64_t j = lo; j <= hi; ++j) {
                const double w = Lanczos3((c - static_cast<double>(j)) / inverse) / inverse;
                if (w != 0.0)
                    list.push_back({mirrored(j, n), w});
            }
        }
    }
    return lists;
}

namespace {

// The destination size of Resample, or nothing when it leaves the picture as it is. Throws as
// Resample does.
std::optional<std::pair<int, int>> resampledSize(const Raster& picture, int width, int height,
                                                 int filter)
{
    if (filter != kLanczos3Filter)
        throw Error(ErrorKind::Unsupported, "フィルタ番号 " + std::to_string(filter) +
                                                " には対応していません (5 の Lanczos3 のみ)");
    if (width < 0 && height < 0)
        return std::nullopt;
    if (picture.empty())
        throw Error(ErrorKind::BadArgument, "空の画像は拡大縮小できません");
    int64_t newWidth = width;
    int64_t newHeight = height;
    if (newWidth < 0)
        newWidth = int64_t{picture.width()} * newHeight / picture.height();
    else if (newHeight < 0)
        newHeight = newWidth * picture.height() / picture.width();
    checkRasterSize(newWidth, newHeight);
    return std::pair{static_cast<int>(newWidth), static_cast<int>(newHeight)};
}

}  // namespace

void Resample(Raster& picture, int width, int height, int filter)
{
    const auto size = resampledSize(picture, width, height, filter);
    if (!size)
        return;
    // Both passes write every pixel of the result.
    Raster result = Raster::unfilled(size->first, size->second);
    if (!result.empty())
        runPasses(picture, result);
    adoptPixels(picture, std::move(result));
}

std::unique_ptr<RowStage> ResampleStage(const Raster& source, int width, int height, int filter)
{
    const auto size = resampledSize(source, width, height, filter);
    if (!size || size->first == 0 || size->second == 0)
        return nullptr;
    auto stage = std::make_unique<ResampleRows>(source, size->first, size->second);
    if (!stage->fitsOneStrip())
        return nullptr;
    return stage;
}

}  // namespace lumavex
