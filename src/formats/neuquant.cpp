#include "neuquant.h"

#include <algorithm>
#include <climits>
#include <functional>
#include <memory>
#include <numeric>
#include <queue>
#include <string>

#include "effects/color.h"
#include "effects/error.h"

// The vector kernels are for x86; elsewhere, and with LUMAVEX_SIMD off, the plain loops run.
#if (defined(__x86_64__) || defined(__i386__)) && !defined(LUMAVEX_NO_SIMD)
#include <immintrin.h>
#define LUMAVEX_X86 1
#endif

namespace lumavex {

namespace {

// The constants of the published algorithm.
constexpr int kCycles = 100;
constexpr int kNetBiasShift = 4;               // channels x 16
constexpr int kIntBias = 1 << 16;              // frequencies and biases in 1/65536
constexpr int kBetaShift = 10;                 // beta = 1/1024
constexpr int kBeta = kIntBias >> kBetaShift;  // 64
constexpr int kBetaGamma = kIntBias;           // beta x gamma (1024) in 1/65536
constexpr int kBiasToDistanceShift = 16 - kNetBiasShift;
constexpr int kRadiusBiasShift = 6;
constexpr int kRadiusDecrease = 30;
constexpr int kInitAlpha = 1 << 10;
constexpr int kRadBias = 1 << 8;
constexpr int kAlphaRadBiasShift = 10 + 8;
constexpr int kPrimes[4] = {499, 491, 487, 503};
// How many samples ahead the pixels are fetched.
constexpr int kFetchAhead = 16;
// Networks larger than this decay only their frequent neurons (see contestFast).
constexpr int kLazyDecayFrom = 2048;

// The published code keeps biases in 32-bit integers; in pictures of tens of megapixels a
// rarely winning neuron's bias can run past their range, and then it wraps as it did there.
int32_t wrapAdd(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

#ifdef LUMAVEX_X86
bool haveAvx2()
{
    static const bool yes = __builtin_cpu_supports("avx2");
    return yes;
}

bool haveAvx512()
{
    static const bool yes = __builtin_cpu_supports("avx512f");
    return yes;
}
#else
bool haveAvx2()
{
    return false;
}

bool haveAvx512()
{
    return false;
}
#endif

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

template <bool Decay>
using ContestSearch = void (*)(const int32_t*, const int32_t*, const int32_t*, int32_t*, int32_t*,
                               int, int, int, int, int&, int&);

// The widest search the build and the processor have.
template <bool Decay>
ContestSearch<Decay> contestSearch([[maybe_unused]] bool wide)
{
#ifdef LUMAVEX_X86
    return wide ? contestAvx512<Decay> : contestAvx2<Decay>;
#else
    return contestPlain<Decay>;
#endif
}

}  // namespace

int NeurQuantSampleFactor(int64_t pixelCount)
{
    if (pixelCount < 2000)
        return 1;
    const int64_t s = roundHalfEven(static_cast<double>(pixelCount - 2000) * 13.0 / 148000.0 + 2.0);
    return static_cast<int>(std::clamp<int64_t>(s, 1, 30));
}

// Where the sampled pixels are: one packed array of B,G,R triples, read through the rows of a
// picture (or of one packed row).
struct NeurQuant::Samples {
    const uint8_t* base;
    size_t stride;
    int64_t width;
    int64_t count;
    int sampleFactor;
};

NeurQuant::NeurQuant(int neurons, QuantKernel kernel)
    : m_size(neurons),
      m_vector(kernel != QuantKernel::Reference && haveAvx2()),
      m_wide(kernel == QuantKernel::Fast && haveAvx512()),
      m_lazyDecay(neurons > kLazyDecayFrom)
{
    if (neurons < kMinNeurons || neurons > kMaxNeurons)
        throw Error(ErrorKind::BadArgument,
                    "色数は 2 から 64000 までです: " + std::to_string(neurons));
}

void NeurQuant::learn(const Raster& picture, int sampleFactor)
{
    learnFrom({picture.bits(), picture.stride(), picture.width(),
               int64_t{picture.width()} * picture.height(), sampleFactor});
}

void NeurQuant::learn(const uint8_t* pixels, int64_t pixelCount, int sampleFactor)
{
    learnFrom({pixels, static_cast<size_t>(std::max<int64_t>(pixelCount, 0)) * 3,
               std::max<int64_t>(pixelCount, 1), std::max<int64_t>(pixelCount, 0), sampleFactor});
}

void NeurQuant::learnFrom(const Samples& samples)
{
    if (samples.sampleFactor < 1)
        throw Error(ErrorKind::BadArgument,
                    "標本化の間隔は 1 以上です: " + std::to_string(samples.sampleFactor));
    const int n = m_size;
    m_blue.assign(n, 0);
    m_green.assign(n, 0);
    m_red.assign(n, 0);
    m_freq.assign(n, kIntBias / n);
    m_bias.assign(n, 0);
    m_biasShifted.assign(n, 0);
    m_isActive.assign(n, 0);
    m_active.clear();
    for (int i = 0; i < n; ++i) {
        m_blue[i] = m_green[i] = m_red[i] = (i << (kNetBiasShift + 8)) / n;
        if (m_freq[i] >= 1024) {
            m_isActive[i] = 1;
            m_active.push_back(i);
        }
    }

    if (samples.count > 0 && samples.base) {
        const int s = samples.sampleFactor;
        const int alphaDecrease = 30 + (s - 1) / 3;
        const int64_t samplePixels = samples.count / s;
        const int64_t delta = std::max<int64_t>(1, samplePixels / kCycles);
        int alpha = kInitAlpha;
        int radius = (n >> 3) << kRadiusBiasShift;
        m_radPower.assign((n >> 3) + 1, 0);
        m_radPowerReversed.assign((n >> 3) + 1, 0);
        auto setRadius = [&]() {
            int rad = radius >> kRadiusBiasShift;
            if (rad <= 1)
                rad = 0;
            // (rad^2 - m^2) x 256 overflows 32 bits once rad reaches 2897.
            const int64_t rad2 = int64_t{rad} * rad;
            for (int m = 0; m < rad; ++m)
                m_radPower[m] =
                    alpha * static_cast<int32_t>((rad2 - int64_t{m} * m) * kRadBias / rad2);
            for (int x = 1; x <= rad; ++x)
                m_radPowerReversed[x] = m_radPower[rad - x];
            return rad;
        };
        int rad = setRadius();

        int64_t step = kPrimes[3];
        for (int k = 0; k < 3; ++k) {
            if ((3 * samples.count) % kPrimes[k] != 0) {
                step = kPrimes[k];
                break;
            }
        }

        // The sample position steps by the prime through the pixel array and wraps around it.
        // The samples lie far apart, so a second cursor runs ahead to fetch them early.
        struct Cursor {
            int64_t k = 0, row = 0, column = 0;
            void advance(const Samples& at, int64_t step)
            {
                k += step;
                if (k >= at.count) {
                    k %= at.count;
                    row = k / at.width;
                    column = k % at.width;
                } else {
                    column += step;
                    if (column >= at.width) {
                        row += column / at.width;
                        column %= at.width;
                    }
                }
            }
            const uint8_t* pixel(const Samples& at) const
            {
                return at.base + static_cast<size_t>(row) * at.stride +
                       static_cast<size_t>(column) * 3;
            }
        };
        Cursor cursor, ahead;
        for (int k = 0; k < kFetchAhead; ++k)
            ahead.advance(samples, step);
        for (int64_t i = 0; i < samplePixels;) {
            __builtin_prefetch(ahead.pixel(samples));
            ahead.advance(samples, step);
            const uint8_t* p = cursor.pixel(samples);
            cursor.advance(samples, step);
            const int b = p[0] << kNetBiasShift;
            const int g = p[1] << kNetBiasShift;
            const int r = p[2] << kNetBiasShift;
            int bestPos, j;
            if (m_vector)
                contestFast(b, g, r, bestPos, j);
            else
                contestReference(b, g, r, bestPos, j);

            m_blue[j] -= (alpha * (m_blue[j] - b)) / kInitAlpha;
            m_green[j] -= (alpha * (m_green[j] - g)) / kInitAlpha;
            m_red[j] -= (alpha * (m_red[j] - r)) / kInitAlpha;
            if (rad)
                moveNeighbours(rad, j, b, g, r);

            ++i;
            if (i % delta == 0) {
                alpha -= alpha / alphaDecrease;
                radius -= radius / kRadiusDecrease;
                rad = setRadius();
            }
        }
    }

    m_palette.resize(static_cast<size_t>(n) * 3);
    for (int i = 0; i < n; ++i) {
        m_palette[3 * i] = static_cast<uint8_t>(m_blue[i] / (1 << kNetBiasShift));
        m_palette[3 * i + 1] = static_cast<uint8_t>(m_green[i] / (1 << kNetBiasShift));
        m_palette[3 * i + 2] = static_cast<uint8_t>(m_red[i] / (1 << kNetBiasShift));
    }
    buildIndex();
}

// The published contest: every neuron's frequency decays and its bias grows by what it lost.
void NeurQuant::contestReference(int b, int g, int r, int& bestPos, int& bestBiasPos)
{
    int bestD = INT_MAX;
    int bestBiasD = INT_MAX;
    bestPos = -1;
    bestBiasPos = -1;
    for (int i = 0; i < m_size; ++i) {
        int dist = m_blue[i] - b;
        if (dist < 0)
            dist = -dist;
        int a = m_green[i] - g;
        if (a < 0)
            a = -a;
        dist += a;
        a = m_red[i] - r;
        if (a < 0)
            a = -a;
        dist += a;
        if (dist < bestD) {
            bestD = dist;
            bestPos = i;
        }
        const int biasDist = dist - (m_bias[i] >> kBiasToDistanceShift);
        if (biasDist < bestBiasD) {
            bestBiasD = biasDist;
            bestBiasPos = i;
        }
        const int betaFreq = m_freq[i] >> kBetaShift;
        m_freq[i] -= betaFreq;
        m_bias[i] = wrapAdd(m_bias[i], betaFreq << kBetaShift);
    }
    m_freq[bestPos] += kBeta;
    m_bias[bestPos] = wrapAdd(m_bias[bestPos], -kBetaGamma);
}

// The same contest. In large networks most frequencies stay below 1024 and so lose nothing
// to the decay (frequency >> 10 is 0): only the neurons at 1024 or more are updated, and the
// search reads the others' biases unchanged. Small networks decay every neuron in the search.
void NeurQuant::contestFast(int b, int g, int r, int& bestPos, int& bestBiasPos)
{
    if (!m_lazyDecay) {
        contestSearch<true>(m_wide)(m_blue.data(), m_green.data(), m_red.data(), m_bias.data(),
                                    m_freq.data(), m_size, b, g, r, bestPos, bestBiasPos);
        m_freq[bestPos] += kBeta;
        m_bias[bestPos] = wrapAdd(m_bias[bestPos], -kBetaGamma);
        return;
    }
    contestSearch<false>(m_wide)(m_blue.data(), m_green.data(), m_red.data(), m_biasShifted.data(),
                                 nullptr, m_size, b, g, r, bestPos, bestBiasPos);
    for (size_t k = 0; k < m_active.size();) {
        const int a = m_active[k];
        const int betaFreq = m_freq[a] >> kBetaShift;
        m_freq[a] -= betaFreq;
        m_bias[a] = wrapAdd(m_bias[a], betaFreq << kBetaShift);
        m_biasShifted[a] = m_bias[a] >> kBiasToDistanceShift;
        if (m_freq[a] < 1024) {
            m_isActive[a] = 0;
            m_active[k] = m_active.back();
            m_active.pop_back();
        } else {
            ++k;
        }
    }
    m_freq[bestPos] += kBeta;
    m_bias[bestPos] = wrapAdd(m_bias[bestPos], -kBetaGamma);
    m_biasShifted[bestPos] = m_bias[bestPos] >> kBiasToDistanceShift;
    if (m_freq[bestPos] >= 1024 && !m_isActive[bestPos]) {
        m_isActive[bestPos] = 1;
        m_active.push_back(bestPos);
    }
}

// Pulls the neurons within rad - 1 of the winner toward the sample, less the farther they are.
void NeurQuant::moveNeighbours(int rad, int centre, int b, int g, int r)
{
    const int lo = std::max(centre - rad, -1);
    const int hi = std::min(centre + rad, m_size);
    const int up = hi - centre - 1;    // neurons centre + 1 .. hi - 1, weights m_radPower[1..]
    const int down = centre - lo - 1;  // neurons lo + 1 .. centre - 1, nearest last
    const int32_t* upWeights = m_radPower.data() + 1;
    const int32_t* downWeights = m_radPowerReversed.data() + (rad - centre + lo + 1);
#ifdef LUMAVEX_X86
    auto pull = m_vector ? pullAvx2 : pullScalar;
#else
    auto pull = pullScalar;
#endif
    pull(m_blue.data() + centre + 1, m_green.data() + centre + 1, m_red.data() + centre + 1,
         upWeights, up, b, g, r);
    pull(m_blue.data() + lo + 1, m_green.data() + lo + 1, m_red.data() + lo + 1, downWeights, down,
         b, g, r);
}

std::vector<int32_t> SelectionSortOrder(std::span<const int32_t> keys)
{
    const int n = static_cast<int>(keys.size());
    std::vector<int32_t> current(n);
    std::iota(current.begin(), current.end(), 0);
    // For each key value, the positions still to be sorted that hold it.
    using MinHeap = std::priority_queue<int, std::vector<int>, std::greater<int>>;
    std::vector<MinHeap> positions(256);
    for (int p = 0; p < n; ++p)
        positions[keys[p] & 0xFF].push(p);
    int smallest = 0;
    for (int i = 0; i < n; ++i) {
        while (positions[smallest].empty())
            ++smallest;
        // The sort takes the first position holding the smallest key left and swaps it to i.
        const int j = positions[smallest].top();
        positions[smallest].pop();
        if (j != i) {
            // Position i, the first unsorted one, heads the heap of its own key.
            MinHeap& moved = positions[keys[current[i]] & 0xFF];
            moved.pop();
            moved.push(j);
            std::swap(current[i], current[j]);
        }
    }
    return current;
}

// The published search index: neurons sorted by green, and for each green value the position
// to start searching from.
void NeurQuant::buildIndex()
{
    const int n = m_size;
    std::vector<int32_t> greens(n);
    for (int i = 0; i < n; ++i)
        greens[i] = m_palette[3 * i + 1];
    const std::vector<int32_t> order = SelectionSortOrder(greens);
    m_sortedBlue.resize(n);
    m_sortedGreen.resize(n);
    m_sortedRed.resize(n);
    m_sortedIndex = order;
    for (int i = 0; i < n; ++i) {
        m_sortedBlue[i] = m_palette[3 * order[i]];
        m_sortedGreen[i] = m_palette[3 * order[i] + 1];
        m_sortedRed[i] = m_palette[3 * order[i] + 2];
    }
    int previous = 0;
    int start = 0;
    for (int i = 0; i < n; ++i) {
        const int value = m_sortedGreen[i];
        if (value != previous) {
            m_netIndex[previous] = (start + i) >> 1;
            for (int j = previous + 1; j < value; ++j)
                m_netIndex[j] = i;
            previous = value;
            start = i;
        }
    }
    m_netIndex[previous] = (start + n - 1) >> 1;
    for (int j = previous + 1; j < 256; ++j)
        m_netIndex[j] = n - 1;
}

int NeurQuant::nearest(int blue, int green, int red) const
{
    const int n = m_size;
    int bestD = 1000;  // more than any distance (3 x 255)
    int best = -1;
    int i = m_netIndex[green & 0xFF];
    int j = i - 1;
    while (i < n || j >= 0) {
        if (i < n) {
            int dist = m_sortedGreen[i] - green;
            if (dist >= bestD) {
                i = n;
            } else {
                const int p = i++;
                if (dist < 0)
                    dist = -dist;
                dist += std::abs(m_sortedBlue[p] - blue);
                if (dist < bestD) {
                    dist += std::abs(m_sortedRed[p] - red);
                    if (dist < bestD) {
                        bestD = dist;
                        best = m_sortedIndex[p];
                    }
                }
            }
        }
        if (j >= 0) {
            int dist = green - m_sortedGreen[j];
            if (dist >= bestD) {
                j = -1;
            } else {
                const int p = j--;
                if (dist < 0)
                    dist = -dist;
                dist += std::abs(m_sortedBlue[p] - blue);
                if (dist < bestD) {
                    dist += std::abs(m_sortedRed[p] - red);
                    if (dist < bestD) {
                        bestD = dist;
                        best = m_sortedIndex[p];
                    }
                }
            }
        }
    }
    return best;
}

namespace {

constexpr int32_t kFar = 0x7F000000;   // no neuron yet: beyond every key
constexpr int32_t kOneStep = 1 << 17;  // one unit of distance in a key

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

// The search costs about a nanosecond per neuron for each pixel, the table of all 2^24 colours
// (built plane by plane with an exact distance transform) some 60 to 90 ms: beyond 2^27
// pixel-neuron pairs the table is cheaper.
bool NeurQuant::useTable(int64_t pixelCount) const
{
    return m_vector && pixelCount >= 16384 && pixelCount * m_size >= (int64_t{1} << 27);
}

// The nearest index of every colour, at [green][blue][red]. For one green the search's answer
// is the neuron of least (distance, rank), the rank being its place in the search's outward
// order from the green's start position, so key = distance << 17 | rank can be spread over the
// blue-red plane by a separable L1 distance transform and read back exactly.
template <class Index>
std::unique_ptr<Index[]> NeurQuant::nearestTable() const
{
    bool all[256];
    std::fill(all, all + 256, true);
    return nearestTable<Index>(all);
}

template <class Index>
std::unique_ptr<Index[]> NeurQuant::nearestTable(const bool* greens) const
{
    // Left uninitialised: the planes of the greens asked for are written below, and only they
    // are read. Four more entries let gathers read whole words at the last ones.
    std::unique_ptr<Index[]> table(new Index[(size_t{1} << 24) + 4]);
    std::unique_ptr<int32_t[]> plane(new int32_t[65536]);
    std::unique_ptr<int32_t[]> transposed(new int32_t[65536]);
    std::vector<Index> byRank(static_cast<size_t>(m_size) * 2);
    const int n = m_size;
#ifdef LUMAVEX_X86
    auto sweep = haveAvx2() ? sweepRowsAvx2 : sweepRowsScalar;
    auto transpose = haveAvx2() ? transposeAvx2 : transposeScalar;
#else
    auto sweep = sweepRowsScalar;
    auto transpose = transposeScalar;
#endif
    for (int g = 0; g < 256; ++g) {
        if (!greens[g])
            continue;
        const int start = m_netIndex[g];
        std::fill(plane.get(), plane.get() + 65536, kFar);
        for (int pos = 0; pos < n; ++pos) {
            const int rank = pos >= start ? 2 * (pos - start) : 2 * (start - 1 - pos) + 1;
            const int32_t key = std::abs(m_sortedGreen[pos] - g) << 17 | rank;
            int32_t& cell = plane[m_sortedRed[pos] << 8 | m_sortedBlue[pos]];
            cell = std::min(cell, key);
            byRank[rank] = static_cast<Index>(m_sortedIndex[pos]);
        }
        sweep(plane.get());  // along red
        transpose(plane.get(), transposed.get());
        sweep(transposed.get());  // along blue
        Index* out = table.get() + (static_cast<size_t>(g) << 16);
        for (int i = 0; i < 65536; ++i)
            out[i] = byRank[transposed[i] & (kOneStep - 1)];
    }
    return table;
}

namespace {

// The greens that occur in a picture: the planes of the table that are needed.
void greensOf(const Raster& picture, bool* greens)
{
    std::fill(greens, greens + 256, false);
    for (int y = 0; y < picture.height(); ++y) {
        const uint8_t* p = picture.row(y) + 1;
        for (int x = 0; x < picture.width(); ++x, p += 3)
            greens[*p] = true;
    }
}

}  // namespace

template std::unique_ptr<uint8_t[]> NeurQuant::nearestTable<uint8_t>() const;
template std::unique_ptr<uint16_t[]> NeurQuant::nearestTable<uint16_t>() const;

template <class Index, class Store>
void NeurQuant::mapPixels(const Raster& picture, Store&& store) const
{
    const int w = picture.width();
    if (useTable(int64_t{w} * picture.height())) {
        bool greens[256];
        greensOf(picture, greens);
        const std::unique_ptr<Index[]> table = nearestTable<Index>(greens);
        for (int y = 0; y < picture.height(); ++y) {
            const uint8_t* p = picture.row(y);
            for (int x = 0; x < w; ++x, p += 3)
                store(y, x, table[static_cast<size_t>(p[1]) << 16 | p[0] << 8 | p[2]]);
        }
        return;
    }
    for (int y = 0; y < picture.height(); ++y) {
        const uint8_t* p = picture.row(y);
        for (int x = 0; x < w; ++x, p += 3)
            store(y, x, nearest(p[0], p[1], p[2]));
    }
}

void NeurQuant::mapIndices(const Raster& picture, uint8_t* indices) const
{
    if (m_size > 256)
        throw Error(ErrorKind::BadArgument,
                    "索引の 1 バイトに入らない色数です: " + std::to_string(m_size));
    const int w = picture.width();
    if (useTable(int64_t{w} * picture.height())) {
        bool greens[256];
        greensOf(picture, greens);
        const std::unique_ptr<uint8_t[]> table = nearestTable<uint8_t>(greens);
        for (int y = 0; y < picture.height(); ++y) {
            const uint8_t* p = picture.row(y);
            uint8_t* out = indices + static_cast<size_t>(y) * static_cast<size_t>(w);
            // The vector lookup reads 4 bytes beyond its last pixel: it stops 2 pixels short.
            int x = 0;
#ifdef LUMAVEX_X86
            x = lookupAvx2(p, std::max(w - 2, 0), table.get(), out);
#endif
            for (p += 3 * x; x < w; ++x, p += 3)
                out[x] = table[static_cast<size_t>(p[1]) << 16 | p[0] << 8 | p[2]];
        }
        return;
    }
    const size_t stride = static_cast<size_t>(w);
    mapPixels<uint8_t>(picture, [&](int y, int x, int index) {
        indices[static_cast<size_t>(y) * stride + static_cast<size_t>(x)] =
            static_cast<uint8_t>(index);
    });
}

void NeurQuant::mapColors(Raster& picture) const
{
    auto paint = [&](int y, int x, int index) {
        uint8_t* p = picture.row(y) + 3 * x;
        const uint8_t* c = m_palette.data() + 3 * index;
        p[0] = c[0];
        p[1] = c[1];
        p[2] = c[2];
    };
    if (m_size <= 256)
        mapPixels<uint8_t>(picture, paint);
    else
        mapPixels<uint16_t>(picture, paint);
}

}  // namespace lumavex
