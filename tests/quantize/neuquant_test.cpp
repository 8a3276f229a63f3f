#include "quantize/neuquant.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <tuple>

#include "core/error.h"
#include "support/test_pictures.h"
#include "support/thread_counts.h"

namespace lumavex {
namespace {

// The published NeuQuant written out as it stands, four ints per neuron, every neuron updated
// in every contest, the index built by its selection sort; with the fixed choices of this
// program (a cycle of at least one sample, the sample position wrapping modulo the pixel
// array, the neighbour weight in 64 bits). Biases are 64-bit here, so a wrap in the quantiser
// would show as a difference.
class Published {
public:
    // The index build is a selection sort, quadratic in the network size: large networks may
    // skip it when only their palette is compared.
    Published(int netsize, std::vector<uint8_t> pixels, int samplefac, bool index = true)
        : n(netsize),
          picture(std::move(pixels)),
          samplefac(samplefac),
          network(netsize),
          bias(netsize, 0),
          freq(netsize, 65536 / netsize),
          radpower(netsize / 8 + 1, 0)
    {
        for (int i = 0; i < n; ++i) {
            network[i][0] = network[i][1] = network[i][2] = (i << 12) / n;
        }
        learn();
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < 3; ++j)
                network[i][j] >>= 4;
            network[i][3] = i;
            palette.insert(palette.end(), {uint8_t(network[i][0]), uint8_t(network[i][1]),
                                           uint8_t(network[i][2])});
        }
        if (index)
            inxbuild();
    }

    int inxsearch(int b, int g, int r) const
    {
        int bestd = 1000, best = -1;
        int i = netindex[g];
        int j = i - 1;
        while (i < n || j >= 0) {
            if (i < n) {
                const auto& p = network[i];
                int dist = p[1] - g;
                if (dist >= bestd) {
                    i = n;
                } else {
                    i++;
                    if (dist < 0)
                        dist = -dist;
                    int a = p[0] - b;
                    if (a < 0)
                        a = -a;
                    dist += a;
                    if (dist < bestd) {
                        a = p[2] - r;
                        if (a < 0)
                            a = -a;
                        dist += a;
                        if (dist < bestd) {
                            bestd = dist;
                            best = p[3];
                        }
                    }
                }
            }
            if (j >= 0) {
                const auto& p = network[j];
                int dist = g - p[1];
                if (dist >= bestd) {
                    j = -1;
                } else {
                    j--;
                    if (dist < 0)
                        dist = -dist;
                    int a = p[0] - b;
                    if (a < 0)
                        a = -a;
                    dist += a;
                    if (dist < bestd) {
                        a = p[2] - r;
                        if (a < 0)
                            a = -a;
                        dist += a;
                        if (dist < bestd) {
                            bestd = dist;
                            best = p[3];
                        }
                    }
                }
            }
        }
        return best;
    }

    std::vector<uint8_t> palette;

private:
    int contest(int b, int g, int r)
    {
        int bestd = INT_MAX, bestbiasd = INT_MAX, bestpos = -1, bestbiaspos = -1;
        for (int i = 0; i < n; i++) {
            const auto& p = network[i];
            const int dist = std::abs(p[0] - b) + std::abs(p[1] - g) + std::abs(p[2] - r);
            if (dist < bestd) {
                bestd = dist;
                bestpos = i;
            }
            const int64_t biasdist = dist - (bias[i] >> 12);
            if (biasdist < bestbiasd) {
                bestbiasd = static_cast<int>(biasdist);
                bestbiaspos = i;
            }
            const int betafreq = freq[i] >> 10;
            freq[i] -= betafreq;
            bias[i] += betafreq << 10;
        }
        freq[bestpos] += 64;
        bias[bestpos] -= 65536;
        return bestbiaspos;
    }

    void alterneigh(int rad, int i, int b, int g, int r)
    {
        const int lo = std::max(i - rad, -1);
        const int hi = std::min(i + rad, n);
        int j = i + 1, k = i - 1;
        const int* q = radpower.data();
        while (j < hi || k > lo) {
            const int a = *(++q);
            if (j < hi) {
                auto& p = network[j++];
                p[0] -= (a * (p[0] - b)) / (1 << 18);
                p[1] -= (a * (p[1] - g)) / (1 << 18);
                p[2] -= (a * (p[2] - r)) / (1 << 18);
            }
            if (k > lo) {
                auto& p = network[k--];
                p[0] -= (a * (p[0] - b)) / (1 << 18);
                p[1] -= (a * (p[1] - g)) / (1 << 18);
                p[2] -= (a * (p[2] - r)) / (1 << 18);
            }
        }
    }

    void setRadpower(int rad, int alpha)
    {
        for (int i = 0; i < rad; i++)
            radpower[i] = alpha * static_cast<int>((int64_t(rad) * rad - int64_t(i) * i) * 256 /
                                                   (int64_t(rad) * rad));
    }

    void learn()
    {
        const int64_t lengthcount = static_cast<int64_t>(picture.size());
        if (lengthcount == 0)
            return;
        const int alphadec = 30 + ((samplefac - 1) / 3);
        const int64_t samplepixels = lengthcount / (3 * samplefac);
        int64_t delta = samplepixels / 100;
        if (delta == 0)
            delta = 1;
        int alpha = 1024;
        int radius = (n >> 3) * 64;
        int rad = radius >> 6;
        if (rad <= 1)
            rad = 0;
        setRadpower(rad, alpha);
        int64_t step;
        if (lengthcount % 499 != 0)
            step = 3 * 499;
        else if (lengthcount % 491 != 0)
            step = 3 * 491;
        else if (lengthcount % 487 != 0)
            step = 3 * 487;
        else
            step = 3 * 503;
        int64_t pos = 0;
        int64_t i = 0;
        while (i < samplepixels) {
            const int b = picture[pos] << 4;
            const int g = picture[pos + 1] << 4;
            const int r = picture[pos + 2] << 4;
            const int j = contest(b, g, r);
            auto& p = network[j];
            p[0] -= (alpha * (p[0] - b)) / 1024;
            p[1] -= (alpha * (p[1] - g)) / 1024;
            p[2] -= (alpha * (p[2] - r)) / 1024;
            if (rad)
                alterneigh(rad, j, b, g, r);
            pos = (pos + step) % lengthcount;
            i++;
            if (i % delta == 0) {
                alpha -= alpha / alphadec;
                radius -= radius / 30;
                rad = radius >> 6;
                if (rad <= 1)
                    rad = 0;
                setRadpower(rad, alpha);
            }
        }
    }

    void inxbuild()
    {
        int previouscol = 0, startpos = 0;
        for (int i = 0; i < n; i++) {
            int smallpos = i;
            int smallval = network[i][1];
            for (int j = i + 1; j < n; j++) {
                if (network[j][1] < smallval) {
                    smallpos = j;
                    smallval = network[j][1];
                }
            }
            if (i != smallpos)
                std::swap(network[i], network[smallpos]);
            if (smallval != previouscol) {
                netindex[previouscol] = (startpos + i) >> 1;
                for (int j = previouscol + 1; j < smallval; j++)
                    netindex[j] = i;
                previouscol = smallval;
                startpos = i;
            }
        }
        netindex[previouscol] = (startpos + n - 1) >> 1;
        for (int j = previouscol + 1; j < 256; j++)
            netindex[j] = n - 1;
    }

    int n;
    std::vector<uint8_t> picture;
    int samplefac;
    std::vector<std::array<int, 4>> network;
    std::vector<int64_t> bias;
    std::vector<int> freq;
    std::vector<int> radpower;
    int netindex[256] = {};
};

std::vector<uint8_t> packed(const Raster& picture)
{
    std::vector<uint8_t> v;
    for (int y = 0; y < picture.height(); ++y)
        v.insert(v.end(), picture.row(y), picture.row(y) + 3 * picture.width());
    return v;
}

int factorOf(const Raster& picture)
{
    return NeurQuantSampleFactor(int64_t{picture.width()} * picture.height());
}

TEST(NeurQuantSampleFactor, FollowsThePixelCount)
{
    EXPECT_EQ(NeurQuantSampleFactor(640 * 480), 29);
    EXPECT_EQ(NeurQuantSampleFactor(0), 1);
    EXPECT_EQ(NeurQuantSampleFactor(1999), 1);
    EXPECT_EQ(NeurQuantSampleFactor(2000), 2);
    // (76000 - 2000) x 13 / 148000 + 2 is exactly 8.5, (224000 - 2000) ... 21.5: halves to even.
    EXPECT_EQ(NeurQuantSampleFactor(76000), 8);
    EXPECT_EQ(NeurQuantSampleFactor(224000), 22);
    EXPECT_EQ(NeurQuantSampleFactor(75999), 8);
    EXPECT_EQ(NeurQuantSampleFactor(76012), 9);
    EXPECT_EQ(NeurQuantSampleFactor(12000000), 30);
    EXPECT_EQ(NeurQuantSampleFactor(int64_t{1} << 40), 30);
}

TEST(NeurQuant, RefusesNetworksOutsideTwoTo64000)
{
    EXPECT_THROW(NeurQuant(1), Error);
    EXPECT_THROW(NeurQuant(0), Error);
    EXPECT_THROW(NeurQuant(64001), Error);
    EXPECT_NO_THROW(NeurQuant(2));
    EXPECT_NO_THROW(NeurQuant(64000));
    NeurQuant q(16);
    EXPECT_THROW(q.learn(test::makeNoise(4, 4, 1), 0), Error);
}

TEST(NeurQuant, AnEmptyPictureLeavesTheGreyRamp)
{
    NeurQuant q(16);
    q.learn(Raster(), 1);
    ASSERT_EQ(q.palette().size(), 48u);
    for (int i = 0; i < 16; ++i)
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(q.palette()[3 * i + c], 16 * i);
    NeurQuant big(64000);
    big.learn(nullptr, 0, 1);
    EXPECT_EQ(big.palette()[3 * 63999], (63999 * 4096 / 64000) / 16);
    EXPECT_EQ(big.palette()[3 * 250], (250 * 4096 / 64000) / 16);
}

TEST(NeurQuant, PaletteMatchesThePublishedAlgorithm)
{
    struct Case {
        Raster picture;
        int factor;
    };
    std::vector<Case> cases;
    cases.push_back({test::makeNoise(1, 1, 3), 1});
    cases.push_back({test::makeNoise(5, 3, 4), 1});    // under 100 samples: one per cycle
    cases.push_back({test::makeNoise(37, 13, 5), 1});  // under 503 pixels: the step wraps
    cases.push_back({test::makeFPicture(40, 30), 1});
    cases.push_back({test::makeGradient(600, 1), 3});
    cases.push_back({test::makeGradient(64, 50), 0});
    cases.push_back({test::makeNoise(200, 150, 6), 0});
    // 998 x 3 x 3 is divisible by 499: the next prime steps.
    cases.push_back({test::makeGradient(998, 3), 0});
    for (auto& c : cases)
        if (c.factor == 0)
            c.factor = factorOf(c.picture);
    for (int n : {2, 3, 16, 256, 1000}) {
        for (const Case& c : cases) {
            const Published published(n, packed(c.picture), c.factor);
            for (QuantKernel kernel :
                 {QuantKernel::Fast, QuantKernel::Avx2, QuantKernel::Reference}) {
                NeurQuant q(n, kernel);
                q.learn(c.picture, c.factor);
                ASSERT_EQ(q.palette(), published.palette)
                    << n << " neurons, " << c.picture.width() << " x " << c.picture.height()
                    << " kernel " << static_cast<int>(kernel);
            }
        }
    }
}

TEST(NeurQuant, LargeNetworksMatchThePublishedAlgorithm)
{
    // Radii of 4000 and 8000 overflow a 32-bit neighbour weight. With one sample per cycle
    // the radius shrinks through every size down to 0.
    const Raster picture = test::makeNoise(15, 15, 8);
    for (int n : {32000, 64000}) {
        const Published published(n, packed(picture), 1, false);
        for (QuantKernel kernel : {QuantKernel::Fast, QuantKernel::Avx2, QuantKernel::Reference}) {
            NeurQuant q(n, kernel);
            q.learn(picture, 1);
            ASSERT_EQ(q.palette(), published.palette) << n;
        }
    }
}

TEST(NeurQuant, ReadsPixelsWithoutRowPadding)
{
    const Raster picture = test::makeNoise(5, 41, 9);  // 15-byte rows padded to 16
    NeurQuant fromRaster(256);
    fromRaster.learn(picture, 1);
    const std::vector<uint8_t> bytes = packed(picture);
    NeurQuant fromArray(256);
    fromArray.learn(bytes.data(), picture.width() * picture.height(), 1);
    EXPECT_EQ(fromRaster.palette(), fromArray.palette());
}

TEST(NeurQuant, NearestIsThePublishedGreenSortedSearch)
{
    const Raster picture = test::makeNoise(90, 70, 11);
    std::mt19937 random(12);
    for (int n : {2, 16, 256, 1500}) {
        const Published published(n, packed(picture), factorOf(picture));
        NeurQuant q(n);
        q.learn(picture, factorOf(picture));
        for (int k = 0; k < 20000; ++k) {
            const int b = random() & 255, g = random() & 255, r = random() & 255;
            ASSERT_EQ(q.nearest(b, g, r), published.inxsearch(b, g, r)) << n;
        }
        // Every palette colour is found at distance 0.
        for (int i = 0; i < n; ++i) {
            const uint8_t* c = q.palette().data() + 3 * i;
            const int found = q.nearest(c[0], c[1], c[2]);
            ASSERT_TRUE(std::equal(c, c + 3, q.palette().data() + 3 * found));
        }
    }
}

TEST(SelectionSortOrder, MatchesThePlainSelectionSort)
{
    std::mt19937 random(13);
    for (int n : {0, 1, 2, 3, 50, 700, 3000}) {
        for (int range : {1, 2, 6, 256}) {
            std::vector<int32_t> keys(n);
            for (auto& k : keys)
                k = static_cast<int32_t>(random() % range);
            std::vector<int32_t> order(n), sorted = keys;
            for (int i = 0; i < n; ++i)
                order[i] = i;
            for (int i = 0; i < n; ++i) {
                int small = i;
                for (int j = i + 1; j < n; ++j)
                    if (sorted[j] < sorted[small])
                        small = j;
                std::swap(sorted[i], sorted[small]);
                std::swap(order[i], order[small]);
            }
            ASSERT_EQ(SelectionSortOrder(keys), order) << n << " keys below " << range;
        }
    }
}

// Colours for checking nearest-colour answers: whole planes of some greens, and random ones.
std::vector<std::array<int, 3>> probeColours(std::initializer_list<int> greens, int randoms,
                                             int spread = 255)
{
    std::vector<std::array<int, 3>> colours;
    for (int g : greens)
        for (int b = 0; b < 256; ++b)
            for (int r = 0; r < 256; ++r)
                if (std::abs(b - g) <= spread && std::abs(r - g) <= spread)
                    colours.push_back({b, g, r});
    std::mt19937 random(randoms);
    for (int k = 0; k < randoms; ++k) {
        const int g = random() & 255;
        const int b =
            std::clamp<int>(g + static_cast<int>(random() % (2 * spread + 1)) - spread, 0, 255);
        const int r =
            std::clamp<int>(g + static_cast<int>(random() % (2 * spread + 1)) - spread, 0, 255);
        colours.push_back({b, g, r});
    }
    return colours;
}

// The nearest-colour table must give exactly the search's answer, ties included.
template <class Index>
void expectTableMatchesSearch(const NeurQuant& q, const std::vector<std::array<int, 3>>& colours)
{
    const std::unique_ptr<Index[]> table = q.nearestTable<Index>();
    for (const auto& [b, g, r] : colours)
        ASSERT_EQ(table[size_t(g) << 16 | b << 8 | r], q.nearest(b, g, r))
            << q.size() << " neurons at " << b << ", " << g << ", " << r;
}

TEST(NeurQuant, NearestTableMatchesTheSearch)
{
    const Raster picture = test::makeNoise(120, 100, 14);
    for (int n : {2, 16, 256}) {
        NeurQuant q(n);
        q.learn(picture, factorOf(picture));
        expectTableMatchesSearch<uint8_t>(q, probeColours({0, 1, 77, 128, 255}, 100000));
    }
    NeurQuant trained(3000);
    trained.learn(test::makeGradient(50, 40), 1);
    expectTableMatchesSearch<uint16_t>(trained, probeColours({3, 130}, 20000));
    // An untrained large network holds 250 neurons of each grey: ties everywhere. (Colours
    // far from grey would make the search itself walk the whole network.)
    NeurQuant grey(64000);
    grey.learn(Raster(), 1);
    expectTableMatchesSearch<uint16_t>(grey, probeColours({0, 100, 255}, 20000, 6));
}

TEST(NeurQuant, LargePicturesMapThroughTheTableExactly)
{
    // Enough pixels for the nearest-colour table; widths that leave vector tails.
    for (auto [w, h] : {std::pair{1021, 520}, {9, 60000}, {10, 53000}}) {
        const Raster picture = test::makeNoise(w, h, w);
        NeurQuant q(256);
        q.learn(picture, factorOf(picture));
        std::vector<uint8_t> indices(size_t(w) * h);
        q.mapIndices(picture, indices.data());
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const uint8_t* p = picture.row(y) + 3 * x;
                ASSERT_EQ(indices[size_t(y) * w + x], q.nearest(p[0], p[1], p[2]))
                    << w << " x " << h << " at " << x << ", " << y;
            }
    }
}

TEST(NeurQuant, MapIndicesGivesTheNearestOfEveryPixel)
{
    const Raster picture = test::makeFPicture(30, 20);
    NeurQuant q(16);
    q.learn(picture, 1);
    std::vector<uint8_t> indices(30 * 20);
    q.mapIndices(picture, indices.data());
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) {
            const uint8_t* p = picture.row(y) + 3 * x;
            ASSERT_EQ(indices[y * 30 + x], q.nearest(p[0], p[1], p[2]));
        }
    NeurQuant big(257);
    big.learn(picture, 1);
    EXPECT_THROW(big.mapIndices(picture, indices.data()), Error);
}

TEST(NeurQuant, MappingIsTheSameWithOneTwoAndSevenThreads)
{
    // Through the search (small) and through the table of 8- and 16-bit indices (large), the
    // indices as the colours; the large pictures' rows are odd in number, so bands differ.
    for (auto [w, h, n] : {std::tuple{97, 61, 256}, {1021, 523, 256}, {700, 411, 1000}}) {
        const Raster picture = test::makeNoise(w, h, static_cast<uint32_t>(h));
        NeurQuant q(n);
        q.learn(picture, factorOf(picture));
        const Raster mapped =
            test::sameWithOneTwoAndSevenThreads(picture, [&](Raster& r) { q.mapColors(r); });
        if (n > 256)
            continue;
        for (int y = 0; y < h; y += 7) {
            const uint8_t* p = picture.row(y);
            const uint8_t* c = q.palette().data() + 3 * q.nearest(p[0], p[1], p[2]);
            ASSERT_EQ(mapped.pixel(0, y), makeColor(c[2], c[1], c[0])) << y;
        }
        // The indices, as a picture of grey levels.
        auto indicesOf = [&](Raster& r) {
            std::vector<uint8_t> indices(size_t(w) * h);
            q.mapIndices(picture, indices.data());
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    r.setPixel(x, y, indices[size_t(y) * w + x] * 0x010101u);
        };
        test::sameWithOneTwoAndSevenThreads(picture, indicesOf);
    }
}

}  // namespace
}  // namespace lumavex
