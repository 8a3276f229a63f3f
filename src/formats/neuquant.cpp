#include "neuquant.h"

#include <immintrin.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <memory>
#include <numeric>
#include <queue>
#include <string>

#include "effects/color.h"
#include "effects/error.h"

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

// The published code keeps biases in 32-bit integers; in pictures of tens of megapixels a
// rarely winning neuron's bias can run past their range, and then it wraps as it did there.
int32_t wrapAdd(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

bool haveAvx2()
{
    static const bool yes = __builtin_cpu_supports("avx2");
    return yes;
}

// p[m] -= (w[m] * (p[m] - target)) / 2^18 for m < count: a neuron channel pulled toward the
// sample by its neighbour weight.
void pullScalar(int32_t* p, const int32_t* w, int count, int target)
{
    for (int m = 0; m < count; ++m)
        p[m] -= (w[m] * (p[m] - target)) / (1 << kAlphaRadBiasShift);
}

__attribute__((target("avx2"))) void pullAvx2(int32_t* p, const int32_t* w, int count, int target)
{
    const __m256i t = _mm256_set1_epi32(target);
    const __m256i roundTowardZero = _mm256_set1_epi32((1 << kAlphaRadBiasShift) - 1);
    int m = 0;
    for (; m + 8 <= count; m += 8) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + m));
        const __m256i weight = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w + m));
        const __m256i product = _mm256_mullo_epi32(weight, _mm256_sub_epi32(v, t));
        // Division by 2^18 truncating toward zero: negative products are raised by 2^18 - 1.
        const __m256i raised = _mm256_add_epi32(
            product, _mm256_and_si256(_mm256_srai_epi32(product, 31), roundTowardZero));
        const __m256i moved = _mm256_sub_epi32(v, _mm256_srai_epi32(raised, kAlphaRadBiasShift));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + m), moved);
    }
    pullScalar(p + m, w + m, count - m, target);
}

__attribute__((target("avx2"), always_inline)) inline __m256i load8(const int32_t* p)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// The contest's search without its frequency and bias updates: the neuron nearest the sample
// and the one of least biased distance, lowest index first on ties. biasShifted holds each
// bias >> 12. Each lane keeps its own first minimum; the lanes are merged by index at the end.
__attribute__((target("avx2"))) void contestSearchAvx2(const int32_t* blue, const int32_t* green,
                                                       const int32_t* red,
                                                       const int32_t* biasShifted, int n, int b,
                                                       int g, int r, int& bestPos, int& bestBiasPos)
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
        const __m256i biasDist = _mm256_sub_epi32(d, load8(biasShifted + i));
        const __m256i better = _mm256_cmpgt_epi32(bestBiasDist, biasDist);
        bestBiasDist = _mm256_min_epi32(bestBiasDist, biasDist);
        bestBiasIndex = _mm256_blendv_epi8(bestBiasIndex, index, better);
        index = _mm256_add_epi32(index, eight);
    }
    alignas(32) int32_t keys[8], dists[8], indices[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(keys), bestKey);
    _mm256_store_si256(reinterpret_cast<__m256i*>(dists), bestBiasDist);
    _mm256_store_si256(reinterpret_cast<__m256i*>(indices), bestBiasIndex);
    int key = INT_MAX;
    int bestBiasD = INT_MAX;
    int biasPos = -1;
    for (int lane = 0; lane < 8; ++lane) {
        key = std::min(key, keys[lane]);
        if (dists[lane] < bestBiasD || (dists[lane] == bestBiasD && indices[lane] < biasPos)) {
            bestBiasD = dists[lane];
            biasPos = indices[lane];
        }
    }
    int bestD = key == INT_MAX ? INT_MAX : key >> 16;
    int pos = key == INT_MAX ? -1 : key & 0xFFFF;
    // The last few neurons come after every lane's, so a strictly smaller distance is needed.
    for (; i < n; ++i) {
        const int d = std::abs(blue[i] - b) + std::abs(green[i] - g) + std::abs(red[i] - r);
        if (d < bestD) {
            bestD = d;
            pos = i;
        }
        const int biasDist = d - biasShifted[i];
        if (biasDist < bestBiasD) {
            bestBiasD = biasDist;
            biasPos = i;
        }
    }
    bestPos = pos;
    bestBiasPos = biasPos;
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
    : m_size(neurons), m_kernel(kernel), m_vector(kernel == QuantKernel::Fast && haveAvx2())
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

        int64_t k = 0;
        int64_t row = 0;
        int64_t column = 0;
        for (int64_t i = 0; i < samplePixels;) {
            const uint8_t* p = samples.base + static_cast<size_t>(row) * samples.stride +
                               static_cast<size_t>(column) * 3;
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

            // The sample position steps by the prime and wraps around the pixel array.
            k += step;
            if (k >= samples.count) {
                k %= samples.count;
                row = k / samples.width;
                column = k % samples.width;
            } else {
                column += step;
                if (column >= samples.width) {
                    row += column / samples.width;
                    column %= samples.width;
                }
            }

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

// The same contest. A frequency below 1024 loses nothing to the decay (frequency >> 10 is 0),
// so only the neurons at 1024 or more are updated, and the search reads the others unchanged.
void NeurQuant::contestFast(int b, int g, int r, int& bestPos, int& bestBiasPos)
{
    contestSearchAvx2(m_blue.data(), m_green.data(), m_red.data(), m_biasShifted.data(), m_size, b,
                      g, r, bestPos, bestBiasPos);
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
    auto pull = m_vector ? pullAvx2 : pullScalar;
    int32_t* const channels[3] = {m_blue.data(), m_green.data(), m_red.data()};
    const int targets[3] = {b, g, r};
    for (int c = 0; c < 3; ++c) {
        pull(channels[c] + centre + 1, upWeights, up, targets[c]);
        pull(channels[c] + lo + 1, downWeights, down, targets[c]);
    }
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

void transpose256(const int32_t* from, int32_t* to)
{
    for (int y0 = 0; y0 < 256; y0 += 16)
        for (int x0 = 0; x0 < 256; x0 += 16)
            for (int y = y0; y < y0 + 16; ++y)
                for (int x = x0; x < x0 + 16; ++x)
                    to[x * 256 + y] = from[y * 256 + x];
}

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
    // Left uninitialised: every entry is written below.
    std::unique_ptr<Index[]> table(new Index[size_t{1} << 24]);
    std::unique_ptr<int32_t[]> plane(new int32_t[65536]);
    std::unique_ptr<int32_t[]> transposed(new int32_t[65536]);
    std::vector<Index> byRank(static_cast<size_t>(m_size) * 2);
    const int n = m_size;
    auto sweep = haveAvx2() ? sweepRowsAvx2 : sweepRowsScalar;
    for (int g = 0; g < 256; ++g) {
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
        transpose256(plane.get(), transposed.get());
        sweep(transposed.get());  // along blue
        Index* out = table.get() + (static_cast<size_t>(g) << 16);
        for (int i = 0; i < 65536; ++i)
            out[i] = byRank[transposed[i] & (kOneStep - 1)];
    }
    return table;
}

template std::unique_ptr<uint8_t[]> NeurQuant::nearestTable<uint8_t>() const;
template std::unique_ptr<uint16_t[]> NeurQuant::nearestTable<uint16_t>() const;

template <class Index, class Store>
void NeurQuant::mapPixels(const Raster& picture, Store&& store) const
{
    const int w = picture.width();
    if (useTable(int64_t{w} * picture.height())) {
        const std::unique_ptr<Index[]> table = nearestTable<Index>();
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
    const size_t w = static_cast<size_t>(picture.width());
    mapPixels<uint8_t>(picture, [&](int y, int x, int index) {
        indices[static_cast<size_t>(y) * w + static_cast<size_t>(x)] = static_cast<uint8_t>(index);
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
