#include "neuquant.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <vector>

#include "core/error.h"
#include "core/parallel.h"
#include "neuquant_kernels.h"

// The quantiser's colour lookup: every pixel's nearest palette entry, by the search or, for
// large pictures, through a table of every colour.
namespace lumavex {

using namespace quant;

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
    std::vector<int> wanted;
    for (int g = 0; g < 256; ++g)
        if (greens[g])
            wanted.push_back(g);
    const int n = m_size;
    const SweepKernel sweep = sweepKernel(m_vector);
    const TransposeKernel transpose = transposeKernel(m_vector);
    // Each plane is a pass of its own, written only by the band that holds its green.
    const int count = static_cast<int>(wanted.size());
    forEachBand(
        count, bandsFor(count, size_t{65536} * sizeof(int32_t) * 4), [&](int first, int last) {
            std::unique_ptr<int32_t[]> plane(new int32_t[65536]);
            std::unique_ptr<int32_t[]> transposed(new int32_t[65536]);
            std::vector<Index> byRank(static_cast<size_t>(n) * 2);
            for (int k = first; k < last; ++k) {
                const int g = wanted[static_cast<size_t>(k)];
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
        });
    return table;
}

namespace {

// The greens that occur in a picture: the planes of the table that are needed.
void greensOf(const Raster& picture, bool* greens)
{
    std::fill(greens, greens + 256, false);
    std::mutex merge;
    forEachBand(picture.height(), [&](int first, int last) {
        bool seen[256] = {};
        for (int y = first; y < last; ++y) {
            const uint8_t* p = picture.row(y) + 1;
            for (int x = 0; x < picture.width(); ++x, p += 3)
                seen[*p] = true;
        }
        const std::lock_guard lock(merge);
        for (int g = 0; g < 256; ++g)
            greens[g] = greens[g] || seen[g];
    });
}

}  // namespace

template std::unique_ptr<uint8_t[]> NeurQuant::nearestTable<uint8_t>() const;
template std::unique_ptr<uint16_t[]> NeurQuant::nearestTable<uint16_t>() const;

// Every row is mapped on its own, so the rows go in bands over the pass threads.
template <class Index, class Store>
void NeurQuant::mapPixels(const Raster& picture, Store&& store) const
{
    const int w = picture.width();
    const int h = picture.height();
    const int bands = bandsFor(h, static_cast<size_t>(w) * 3);
    if (useTable(int64_t{w} * h)) {
        bool greens[256];
        greensOf(picture, greens);
        const std::unique_ptr<Index[]> table = nearestTable<Index>(greens);
        forEachBand(h, bands, [&](int first, int last) {
            for (int y = first; y < last; ++y) {
                const uint8_t* p = picture.row(y);
                for (int x = 0; x < w; ++x, p += 3)
                    store(y, x, table[static_cast<size_t>(p[1]) << 16 | p[0] << 8 | p[2]]);
            }
        });
        return;
    }
    forEachBand(h, bands, [&](int first, int last) {
        for (int y = first; y < last; ++y) {
            const uint8_t* p = picture.row(y);
            for (int x = 0; x < w; ++x, p += 3)
                store(y, x, nearest(p[0], p[1], p[2]));
        }
    });
}

void NeurQuant::mapIndices(const Raster& picture, uint8_t* indices) const
{
    if (m_size > 256)
        throw Error(ErrorKind::BadArgument,
                    "索引の 1 バイトに入らない色数です: " + std::to_string(m_size));
    const int w = picture.width();
    const int h = picture.height();
    if (useTable(int64_t{w} * h)) {
        bool greens[256];
        greensOf(picture, greens);
        const std::unique_ptr<uint8_t[]> table = nearestTable<uint8_t>(greens);
        forEachBand(h, bandsFor(h, static_cast<size_t>(w) * 3), [&](int first, int last) {
            for (int y = first; y < last; ++y) {
                const uint8_t* p = picture.row(y);
                uint8_t* out = indices + static_cast<size_t>(y) * static_cast<size_t>(w);
                // The vector lookup reads 4 bytes beyond its last pixel: it stops 2 pixels
                // short.
                int x = lookupRowStart(m_vector, p, std::max(w - 2, 0), table.get(), out);
                for (p += 3 * x; x < w; ++x, p += 3)
                    out[x] = table[static_cast<size_t>(p[1]) << 16 | p[0] << 8 | p[2]];
            }
        });
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
