#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "core/raster.h"

namespace lumavex {

/// The quantiser's sampling factor for a picture of pixelCount pixels: 1 below 2000 pixels,
/// else round((p - 2000) x 13 / 148000 + 2) with halves to even, kept to 1..30 (29 for
/// 640 x 480).
int NeurQuantSampleFactor(int64_t pixelCount);

/// How the quantiser runs its hot loops. Both give the same palette and the same indices.
enum class QuantKernel {
    Fast,       ///< the contest on the widest vectors the processor has (AVX-512, AVX2), a
                ///< nearest-colour table for large pictures
    Avx2,       ///< the same with the contest on AVX2 at most
    Reference,  ///< the plain scalar loops of the published algorithm
};

/// The NeuQuant self-organising neural-network colour quantiser (Dekker, 1994) with one neuron
/// per palette entry: neurons start on the grey diagonal, learn from a sample of the pixels in
/// 100 cycles, and the palette is read in the neurons' starting order. All arithmetic is the
/// published fixed-point integer form with divisions truncating toward zero; the neighbour
/// weight is taken in 64 bits so that networks of up to 64000 neurons do not overflow.
class NeurQuant {
public:
    static constexpr int kMinNeurons = 2;
    static constexpr int kMaxNeurons = 64000;

    /// A network of the given number of neurons. Throws Error(BadArgument) outside 2..64000.
    explicit NeurQuant(int neurons, QuantKernel kernel = QuantKernel::Fast);

    int size() const { return m_size; }

    /// Learns the palette from the picture's pixels, read as one array of B,G,R triples in row
    /// order without row padding, with a sampling factor of 1 or more (see
    /// NeurQuantSampleFactor), and builds the search index. An empty picture leaves the
    /// starting grey ramp. Throws Error(BadArgument) for a factor below 1.
    void learn(const Raster& picture, int sampleFactor);
    /// The same for pixelCount packed B,G,R triples.
    void learn(const uint8_t* pixels, int64_t pixelCount, int sampleFactor);

    /// The palette after learning: size() entries of the bytes blue, green, red, in the neurons'
    /// starting order.
    const std::vector<uint8_t>& palette() const { return m_palette; }

    /// The palette index of the colour nearest to (blue, green, red), each 0..255, by the
    /// published green-sorted search: Manhattan distance, searched outward from the colour's
    /// green, the first neuron found winning ties.
    int nearest(int blue, int green, int red) const;

    /// The nearest palette index of every pixel, row by row without padding, into
    /// width x height bytes. Throws Error(BadArgument) for networks of more than 256 neurons.
    void mapIndices(const Raster& picture, uint8_t* indices) const;
    /// Replaces every pixel by its nearest palette colour.
    void mapColors(Raster& picture) const;

    /// What nearest() gives for every one of the 2^24 colours, at index green << 16 | blue << 8
    /// | red: the table that maps large pictures. Index is uint8_t (networks of up to 256
    /// neurons) or uint16_t.
    template <class Index>
    std::unique_ptr<Index[]> nearestTable() const;

private:
    struct Samples;
    struct SampleCursor;
    void learnFrom(const Samples& samples);
    void startNetwork();
    int setRadius(int radius, int alpha);
    void runCycles(const Samples& samples);
    void contestReference(int b, int g, int r, int& bestPos, int& bestBiasPos);
    void contestFast(int b, int g, int r, int& bestPos, int& bestBiasPos);
    void moveNeighbours(int rad, int centre, int b, int g, int r);
    void buildIndex();
    bool useTable(int64_t pixelCount) const;
    template <class Index, class Store>
    void mapPixels(const Raster& picture, Store&& store) const;
    // The table with only the planes of the greens marked in greens[0..255] written.
    template <class Index>
    std::unique_ptr<Index[]> nearestTable(const bool* greens) const;

    int m_size;
    bool m_vector;     // the contest runs on AVX2 (or wider)
    bool m_wide;       // the contest runs on AVX-512
    bool m_lazyDecay;  // the vectorised contest decays only the frequent neurons

    // The network during learning, channels x 16, one array per field.
    std::vector<int32_t> m_blue, m_green, m_red;
    std::vector<int32_t> m_freq, m_bias;
    std::vector<int32_t> m_biasShifted;  // bias >> 12, kept for the vectorised contest
    std::vector<int32_t> m_active;       // neurons whose frequency is 1024 or more
    std::vector<uint8_t> m_isActive;
    std::vector<int32_t> m_radPower;
    std::vector<int32_t> m_radPowerReversed;

    std::vector<uint8_t> m_palette;

    // The search index: the neurons sorted by green, with their palette indices.
    std::vector<int32_t> m_sortedBlue, m_sortedGreen, m_sortedRed, m_sortedIndex;
    int m_netIndex[256] = {};
};

/// The order in which the published index build (a selection sort on keys 0..255, which does
/// not keep equal keys in their order) leaves the entries: element i of the result is the
/// original position of the entry that ends at position i. Runs in n log n.
std::vector<int32_t> SelectionSortOrder(std::span<const int32_t> keys);

}  // namespace lumavex
