#include "neuquant.h"

#include <algorithm>
#include <climits>
#include <functional>
#include <numeric>
#include <queue>
#include <string>

#include "core/color.h"
#include "core/error.h"
#include "neuquant_kernels.h"

// The quantiser's learning: the network, its contest, and the search index it leaves.
namespace lumavex {

using namespace quant;

namespace {

constexpr int kPrimes[4] = {499, 491, 487, 503};
// How many samples ahead the pixels are fetched.
constexpr int kFetchAhead = 16;
// Networks larger than this decay only their frequent neurons (see contestFast).
constexpr int kLazyDecayFrom = 2048;

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
      m_vector(kernel != QuantKernel::Reference && haveVectors()),
      m_wide(kernel == QuantKernel::Fast && haveWideVectors()),
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

namespace {

// The sample position steps by a prime through the pixel array of the samples and wraps around
// it: the first of the primes that does not divide the array's byte count.
int64_t sampleStep(int64_t count)
{
    for (int k = 0; k < 3; ++k)
        if ((3 * count) % kPrimes[k] != 0)
            return kPrimes[k];
    return kPrimes[3];
}

}  // namespace

// A position in the samples' pixel array, kept as row and column of the rows it is read through.
struct NeurQuant::SampleCursor {
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
        return at.base + static_cast<size_t>(row) * at.stride + static_cast<size_t>(column) * 3;
    }
};

void NeurQuant::learnFrom(const Samples& samples)
{
    if (samples.sampleFactor < 1)
        throw Error(ErrorKind::BadArgument,
                    "標本化の間隔は 1 以上です: " + std::to_string(samples.sampleFactor));
    startNetwork();
    if (samples.count > 0 && samples.base)
        runCycles(samples);
    const int n = m_size;
    m_palette.resize(static_cast<size_t>(n) * 3);
    for (int i = 0; i < n; ++i) {
        m_palette[3 * i] = static_cast<uint8_t>(m_blue[i] / (1 << kNetBiasShift));
        m_palette[3 * i + 1] = static_cast<uint8_t>(m_green[i] / (1 << kNetBiasShift));
        m_palette[3 * i + 2] = static_cast<uint8_t>(m_red[i] / (1 << kNetBiasShift));
    }
    buildIndex();
}

// The neurons on the grey diagonal, with equal frequencies and no bias.
void NeurQuant::startNetwork()
{
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
}

// The neighbour weights of a radius (x 64) at a learning rate: rad = radius / 64, none at 1 or
// less. Returns rad.
int NeurQuant::setRadius(int radius, int alpha)
{
    int rad = radius >> kRadiusBiasShift;
    if (rad <= 1)
        rad = 0;
    // (rad^2 - m^2) x 256 overflows 32 bits once rad reaches 2897.
    const int64_t rad2 = int64_t{rad} * rad;
    for (int m = 0; m < rad; ++m)
        m_radPower[m] = alpha * static_cast<int32_t>((rad2 - int64_t{m} * m) * kRadBias / rad2);
    for (int x = 1; x <= rad; ++x)
        m_radPowerReversed[x] = m_radPower[rad - x];
    return rad;
}

// The learning cycles: each sample moves its winner and the winner's neighbours toward it, and
// the rate and the radius shrink after every cycle's share of the samples.
void NeurQuant::runCycles(const Samples& samples)
{
    const int n = m_size;
    const int s = samples.sampleFactor;
    const int alphaDecrease = 30 + (s - 1) / 3;
    const int64_t samplePixels = samples.count / s;
    const int64_t delta = std::max<int64_t>(1, samplePixels / kCycles);
    int alpha = kInitAlpha;
    int radius = (n >> 3) << kRadiusBiasShift;
    m_radPower.assign((n >> 3) + 1, 0);
    m_radPowerReversed.assign((n >> 3) + 1, 0);
    int rad = setRadius(radius, alpha);

    const int64_t step = sampleStep(samples.count);
    // The samples lie far apart, so a second cursor runs ahead to fetch them early.
    SampleCursor cursor, ahead;
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
            rad = setRadius(radius, alpha);
        }
    }
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
        contestKernel<true>(m_wide)(m_blue.data(), m_green.data(), m_red.data(), m_bias.data(),
                                    m_freq.data(), m_size, b, g, r, bestPos, bestBiasPos);
        m_freq[bestPos] += kBeta;
        m_bias[bestPos] = wrapAdd(m_bias[bestPos], -kBetaGamma);
        return;
    }
    contestKernel<false>(m_wide)(m_blue.data(), m_green.data(), m_red.data(), m_biasShifted.data(),
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
    const PullKernel pull = pullKernel(m_vector);
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

}  // namespace lumavex
