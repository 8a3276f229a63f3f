#include "formats/gif_lzw.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <map>
#include <set>

#include "core/error.h"
#include "support/gif_decode.h"
#include "support/gif_lzw_reference.h"
#include "quantize/neuquant.h"
#include "support/test_pictures.h"

namespace lumavex {
namespace {

std::vector<uint8_t> encode(const std::vector<uint8_t>& indices, int width, int height, int bits,
                            bool interlaced = false)
{
    MemoryOutput out;
    GIFLZWEncode(out, height, width, interlaced, indices.empty() ? nullptr : indices.data(), bits);
    return out.bytes();
}

test::LzwStream decode(const std::vector<uint8_t>& block)
{
    test::LzwStream s = test::decodeImageData(block.data(), block.size());
    EXPECT_EQ(s.error, "");
    EXPECT_EQ(s.consumed, block.size()) << "the terminator must end the block";
    return s;
}

// A minimal GIF around one image data block, for giflib to read.
std::vector<uint8_t> wrapInGif(const std::vector<uint8_t>& block, int width, int height, int bits,
                               bool interlaced)
{
    std::vector<uint8_t> f = {'G', 'I', 'F', '8', '9', 'a'};
    auto le16 = [&](int v) {
        f.push_back(static_cast<uint8_t>(v));
        f.push_back(static_cast<uint8_t>(v >> 8));
    };
    le16(width);
    le16(height);
    f.push_back(static_cast<uint8_t>(0x80 | (bits - 1) << 4 | (bits - 1)));
    f.push_back(0);
    f.push_back(0);
    for (int i = 0; i < (1 << bits); ++i)
        f.insert(f.end(), {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), 7});
    f.push_back(0x2C);
    le16(0);
    le16(0);
    le16(width);
    le16(height);
    f.push_back(interlaced ? 0x40 : 0);
    f.insert(f.end(), block.begin(), block.end());
    f.push_back(0x3B);
    return f;
}

std::vector<uint8_t> randomIndices(size_t count, int bits, uint32_t seed)
{
    std::mt19937 random(seed);
    std::vector<uint8_t> v(count);
    for (auto& x : v)
        x = static_cast<uint8_t>(random() & ((1u << bits) - 1));
    return v;
}

// The indices in the row order of the GIF's four interlace passes.
std::vector<uint8_t> interlacedOrder(const std::vector<uint8_t>& indices, int width, int height)
{
    std::vector<uint8_t> out;
    const int start[4] = {0, 4, 2, 1};
    const int step[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int y = start[pass]; y < height; y += step[pass])
            out.insert(out.end(), indices.begin() + static_cast<ptrdiff_t>(y) * width,
                       indices.begin() + static_cast<ptrdiff_t>(y + 1) * width);
    return out;
}

// The coder as the algorithm reads, with a plain map for its dictionary and a byte-at-a-time
// packer: the fast coder must write exactly these bytes.
std::vector<uint8_t> plainEncode(const std::vector<uint8_t>& pixels, int bits)
{
    std::vector<uint8_t> out;
    const int initBits = bits <= 1 ? 3 : bits + 1;
    out.push_back(static_cast<uint8_t>(initBits - 1));
    const int clear = 1 << (initBits - 1), end = clear + 1;
    int width = initBits, maxCode = (1 << width) - 1, next = 0;
    bool clearFlag = false;
    uint32_t accumulator = 0;
    int pending = 0;
    std::vector<uint8_t> block;
    std::map<uint32_t, int> dictionary;
    auto flush = [&] {
        for (size_t at = 0; at < block.size(); at += 254) {
            const size_t m = std::min<size_t>(254, block.size() - at);
            out.push_back(static_cast<uint8_t>(m));
            out.insert(out.end(), block.begin() + at, block.begin() + at + m);
        }
        block.clear();
    };
    auto output = [&](int code) {
        accumulator = pending > 0
                          ? (uint32_t(code) << pending) | (accumulator & ((1u << pending) - 1))
                          : uint32_t(code);
        pending += width;
        while (pending >= 8) {
            block.push_back(static_cast<uint8_t>(accumulator));
            accumulator >>= 8;
            pending -= 8;
            if (block.size() >= 254)
                flush();
        }
        if (next > maxCode || clearFlag) {
            if (clearFlag) {
                width = initBits;
                maxCode = (1 << width) - 1;
                clearFlag = false;
            } else {
                ++width;
                maxCode = width == 12 ? 4096 : (1 << width) - 1;
            }
        }
        if (code == end) {
            while (pending > 0) {
                block.push_back(static_cast<uint8_t>(accumulator));
                accumulator >>= 8;
                pending -= 8;
            }
            flush();
        }
    };
    auto clearBlock = [&] {
        dictionary.clear();
        next = clear + 2;
        clearFlag = true;
        output(clear);
    };
    clearBlock();
    if (!pixels.empty()) {
        int prefix = pixels[0];
        for (size_t i = 1; i < pixels.size(); ++i) {
            const uint32_t key = uint32_t(prefix) << 8 | pixels[i];
            const auto found = dictionary.find(key);
            if (found != dictionary.end()) {
                prefix = found->second;
                continue;
            }
            output(prefix);
            prefix = pixels[i];
            if (next < 4095)
                dictionary[key] = next++;
            else
                clearBlock();
        }
        output(prefix);
    }
    output(end);
    out.push_back(0);
    return out;
}

TEST(HashTable, SlotsFollowTheDoublingProbe)
{
    EXPECT_EQ(HashSlot(0), 0);
    EXPECT_EQ(HashSlot(0x12345), (0x12345 ^ 0x1234) % 8009);
    EXPECT_EQ(HashSlot(0xFFFFF), (0xFFFFF ^ 0xFFFF) % 8009);
    EXPECT_EQ(NextSlot(0), 8008);
    EXPECT_EQ(NextSlot(8008), 8007);
    EXPECT_EQ(NextSlot(100), 200);
    EXPECT_EQ(NextSlot(5000), 1991);
    EXPECT_EQ(NextSlot(4004), 8008);
    EXPECT_EQ(NextSlot(4005), 1);
}

TEST(HashTable, StoresFindsAndResets)
{
    THashTable table;
    EXPECT_EQ(table.Find(0), -1);
    EXPECT_EQ(table.Find(0xFFFFF), -1);
    // Keys that share a first slot are chained along the probe sequence.
    std::vector<uint32_t> keys;
    for (uint32_t key = 0; key < (1u << 20) && keys.size() < 6; ++key)
        if (HashSlot(key) == 17)
            keys.push_back(key);
    ASSERT_EQ(keys.size(), 6u);
    for (size_t i = 0; i < keys.size(); ++i)
        ASSERT_TRUE(table.Store(keys[i], static_cast<int>(300 + i)));
    for (size_t i = 0; i < keys.size(); ++i)
        EXPECT_EQ(table.Find(keys[i]), static_cast<int>(300 + i));
    EXPECT_TRUE(table.Store(0, 4094));
    EXPECT_EQ(table.Find(0), 4094);
    table.Reset();
    for (uint32_t key : keys)
        EXPECT_EQ(table.Find(key), -1);
    EXPECT_EQ(table.Find(0), -1);
}

TEST(HashTable, AFullProbeCycleEndsTheSearchInsteadOfLooping)
{
    // Doubling modulo 8009 has period 4004: fill every slot of the cycle through slot 1.
    std::set<int> cycle;
    for (int s = 1; cycle.insert(s).second;)
        s = NextSlot(s);
    ASSERT_EQ(cycle.size(), 4004u);
    THashTable table;
    std::vector<uint32_t> inCycle;
    for (uint32_t key = 0; key < (1u << 20) && inCycle.size() < 4006; ++key)
        if (cycle.count(HashSlot(key)))
            inCycle.push_back(key);
    ASSERT_EQ(inCycle.size(), 4006u);
    for (int i = 0; i < 4004; ++i)
        ASSERT_TRUE(table.Store(inCycle[i], i & 0xFFF));
    EXPECT_FALSE(table.Store(inCycle[4004], 1));
    EXPECT_EQ(table.Find(inCycle[4005]), -1);
    EXPECT_EQ(table.Find(inCycle[4003]), 4003);
}

TEST(ProbeRoom, AgreesWithTheHashTableUntilItsCyclesAreFull)
{
    // The cycle of doubling from 1: the residues.
    std::set<int> residues;
    for (int s = 1; residues.insert(s).second;)
        s = NextSlot(s);
    // Keys whose first slots are residues (with some at slot 0), then non-residues, then any:
    // the first two fill a cycle and are refused beyond; every answer must be Store's.
    std::vector<uint32_t> keys[3];
    for (uint32_t key = 0; key < (1u << 20); ++key) {
        const int slot = HashSlot(key);
        keys[slot == 0 || residues.count(slot) ? 0 : 1].push_back(key);
        keys[2].push_back(key);
    }
    std::mt19937 random(5);
    for (int round = 0; round < 3; ++round) {
        std::shuffle(keys[round].begin(), keys[round].end(), random);
        THashTable table;
        TProbeRoom room;
        int refused = 0;
        for (int i = 0; i < 4300; ++i) {
            const uint32_t key = keys[round][static_cast<size_t>(i)];
            const bool stored = table.Store(key, i & 0xFFF);
            ASSERT_EQ(room.Take(key), stored) << "round " << round << " key " << key;
            refused += !stored;
        }
        EXPECT_EQ(refused > 0, round < 2) << round;
    }
}

TEST(GIFLZWEncode, AnEmptyPictureIsAClearAndAnEndCode)
{
    const std::vector<uint8_t> expected = {0x08, 0x03, 0x00, 0x03, 0x02, 0x00};
    EXPECT_EQ(encode({}, 0, 0, 8), expected);
    EXPECT_EQ(encode({}, 5, 0, 8), expected);
    EXPECT_EQ(encode({}, 0, 7, 8), expected);
    MemoryOutput out;
    GIFLZWEncode(out, 4, 4, false, nullptr, 8);
    EXPECT_EQ(out.bytes(), expected);
}

TEST(GIFLZWEncode, OneBitPicturesUseMinimumCodeSizeTwo)
{
    const std::vector<uint8_t> indices = {0, 1, 1, 0, 1};
    const std::vector<uint8_t> block = encode(indices, 5, 1, 1);
    EXPECT_EQ(block[0], 2);
    const test::LzwStream s = decode(block);
    ASSERT_GE(s.codes.size(), 3u);
    EXPECT_EQ(s.codes.front().code, 4);  // Clear
    EXPECT_EQ(s.codes.front().width, 3);
    EXPECT_EQ(s.codes[1].code, 0);
    EXPECT_EQ(s.codes[1].width, 3);
    EXPECT_EQ(s.codes.back().code, 5);  // End
    EXPECT_EQ(s.pixels, indices);
}

TEST(GIFLZWEncode, ASingleColourRunsUpTo4094AndClearsAtWidth12)
{
    // Each code is one pixel longer than the one before: 1 + 2 + ... + 3838 pixels fill the
    // codes up to 4094; a few more start again after a Clear.
    const int first = 3838 * 3839 / 2;
    const int width = 1000;
    const int height = (first + 5000 + width - 1) / width;
    const std::vector<uint8_t> indices(static_cast<size_t>(width) * height, 7);
    const test::LzwStream s = decode(encode(indices, width, height, 8));
    EXPECT_EQ(s.pixels, indices);
    ASSERT_GT(s.codes.size(), 3840u);
    EXPECT_EQ(s.codes[0].code, 256);
    EXPECT_EQ(s.codes[1].code, 7);
    for (int c = 258; c <= 4094; ++c) {
        ASSERT_EQ(s.codes[c - 256].code, c);
        // A code is written at the width in force; the width grows after code 2^k - 1.
        const int expectedWidth = c < 512 ? 9 : c < 1024 ? 10 : c < 2048 ? 11 : 12;
        ASSERT_EQ(s.codes[c - 256].width, expectedWidth) << c;
    }
    EXPECT_EQ(s.codes[3839].code, 256);
    EXPECT_EQ(s.codes[3839].width, 12);
    EXPECT_EQ(s.codes[3840].code, 7);
    EXPECT_EQ(s.codes[3840].width, 9);
    EXPECT_EQ(s.codes[3841].code, 258);
    EXPECT_EQ(s.codes.back().code, 257);
}

TEST(GIFLZWEncode, NeverUsesCode4095AndKeepsSubBlocksAt254)
{
    for (int bits : {1, 2, 4, 8}) {
        const int width = 731;
        const int height = 257;
        const std::vector<uint8_t> indices = randomIndices(size_t{width} * height, bits, bits);
        const std::vector<uint8_t> block = encode(indices, width, height, bits);
        EXPECT_EQ(block[1], 0xFE);
        const test::LzwStream s = decode(block);
        EXPECT_EQ(s.pixels, indices);
        // Between two Clears the dictionary fills from Clear + 2 to 4094: one code more is
        // written than assigned, the last one making way for the Clear.
        const int clear = 1 << std::max(bits, 2);
        std::vector<size_t> clearAt;
        int largest = 0;
        for (size_t i = 0; i < s.codes.size(); ++i) {
            largest = std::max(largest, s.codes[i].code);
            if (s.codes[i].code == clear)
                clearAt.push_back(i);
        }
        EXPECT_LT(largest, 4095) << bits;
        ASSERT_GT(clearAt.size(), 2u) << bits;
        EXPECT_EQ(clearAt[0], 0u);
        for (size_t k = 1; k < clearAt.size(); ++k) {
            EXPECT_EQ(clearAt[k] - clearAt[k - 1] - 1, size_t(4094 - clear)) << bits;
            EXPECT_EQ(s.codes[clearAt[k]].width, 12);
        }
        ASSERT_GT(s.blockSizes.size(), 2u);
        for (size_t i = 0; i + 1 < s.blockSizes.size(); ++i)
            ASSERT_EQ(s.blockSizes[i], 254);
        EXPECT_LE(s.blockSizes.back(), 254);
    }
}

TEST(GIFLZWEncode, InterlacedRowsGoInPassOrder)
{
    auto rowsOf = [](int width, int height) {
        std::vector<uint8_t> v;
        for (int y = 0; y < height; ++y)
            v.insert(v.end(), width, static_cast<uint8_t>(y));
        return v;
    };
    auto emittedRows = [&](int width, int height) {
        const test::LzwStream s = decode(encode(rowsOf(width, height), width, height, 8, true));
        std::vector<int> rows;
        for (size_t i = 0; i < s.pixels.size(); i += width)
            rows.push_back(s.pixels[i]);
        return rows;
    };
    EXPECT_EQ(emittedRows(3, 5), (std::vector<int>{0, 4, 2, 1, 3}));
    EXPECT_EQ(emittedRows(1, 3), (std::vector<int>{0, 2, 1}));
    EXPECT_EQ(emittedRows(4, 1), (std::vector<int>{0}));
    EXPECT_EQ(emittedRows(2, 2), (std::vector<int>{0, 1}));
    EXPECT_EQ(emittedRows(1, 10), (std::vector<int>{0, 8, 4, 2, 6, 1, 3, 5, 7, 9}));
}

TEST(GIFLZWEncode, GiflibDecodesEveryWidthBitsAndOrderExactly)
{
    const int sizes[][2] = {{1, 1},   {1, 9},   {9, 1},   {2, 3},    {7, 7},
                            {16, 16}, {33, 17}, {255, 3}, {300, 301}};
    uint32_t seed = 1;
    for (const auto& size : sizes) {
        for (int bits = 1; bits <= 8; ++bits) {
            for (bool interlaced : {false, true}) {
                const int w = size[0];
                const int h = size[1];
                const std::vector<uint8_t> indices = randomIndices(size_t(w) * h, bits, ++seed);
                const std::vector<uint8_t> block = encode(indices, w, h, bits, interlaced);
                const test::LzwStream s = decode(block);
                EXPECT_EQ(s.pixels, interlaced ? interlacedOrder(indices, w, h) : indices);
                const test::GiflibPicture g =
                    test::decodeWithGiflib(wrapInGif(block, w, h, bits, interlaced));
                ASSERT_EQ(g.error, 0) << w << "x" << h << " bits " << bits;
                EXPECT_EQ(g.indices, indices) << w << "x" << h << " bits " << bits;
            }
        }
    }
}

TEST(GIFLZWEncode, RepetitivePicturesDecodeExactly)
{
    // Long repeats fill the dictionary with long strings, several times over.
    const int w = 640;
    const int h = 480;
    std::vector<uint8_t> indices(size_t{w} * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            indices[size_t(y) * w + x] = static_cast<uint8_t>((x / 13 + y / 7) % 5 * 50);
    for (bool interlaced : {false, true}) {
        const std::vector<uint8_t> block = encode(indices, w, h, 8, interlaced);
        const test::GiflibPicture g = test::decodeWithGiflib(wrapInGif(block, w, h, 8, interlaced));
        ASSERT_EQ(g.error, 0);
        EXPECT_EQ(g.indices, indices);
        EXPECT_LT(block.size(), indices.size() / 10);
    }
}

TEST(GIFLZWEncode, WritesExactlyThePlainCodersBytes)
{
    for (int bits = 1; bits <= 8; ++bits) {
        for (bool interlaced : {false, true}) {
            const int w = 123, h = 97;
            std::vector<uint8_t> indices = randomIndices(size_t(w) * h, bits, 40 + bits);
            // Runs and repeats as well as noise.
            for (size_t i = 0; i < indices.size() / 3; ++i)
                indices[i] = static_cast<uint8_t>((i / 17) % (1u << bits));
            const std::vector<uint8_t> pixels =
                interlaced ? interlacedOrder(indices, w, h) : indices;
            EXPECT_EQ(encode(indices, w, h, bits, interlaced), plainEncode(pixels, bits))
                << "bits " << bits << (interlaced ? " interlaced" : "");
        }
    }
    const std::vector<uint8_t> flat(3000 * 1000, 3);
    EXPECT_EQ(encode(flat, 3000, 1000, 8), plainEncode(flat, 8));
    EXPECT_EQ(encode({}, 0, 0, 4), plainEncode({}, 4));
}

TEST(GIFLZWEncode, WritesExactlyTheHashProbingCodersBytes)
{
    auto same = [](const std::vector<uint8_t>& indices, int w, int h, int bits, bool interlaced) {
        MemoryOutput fast;
        MemoryOutput reference;
        GIFLZWEncode(fast, h, w, interlaced, indices.data(), bits);
        test::referenceLZWEncode(reference, h, w, interlaced, indices.data(), bits);
        return fast.bytes() == reference.bytes();
    };
    // A photo-like picture through the quantiser, noise that fills the dictionary many times,
    // one colour, stripes, and every index value (also those beyond the palette).
    const int w = 397, h = 263;
    const Raster photo = [&] {
        Raster r = test::makeGradient(w, h);
        const Raster noise = test::makeNoise(w, h, 3);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < 3 * w; ++x)
                r.row(y)[x] = static_cast<uint8_t>(r.row(y)[x] / 2 + noise.row(y)[x] / 8);
        return r;
    }();
    for (int bits = 1; bits <= 8; ++bits) {
        NeurQuant quantiser(1 << std::max(bits, 2));
        quantiser.learn(photo, 1);
        std::vector<uint8_t> photoIndices(size_t{w} * h);
        quantiser.mapIndices(photo, photoIndices.data());
        for (auto& i : photoIndices)
            i = static_cast<uint8_t>(i & ((1 << bits) - 1));
        std::vector<uint8_t> stripes(size_t{w} * h);
        for (size_t i = 0; i < stripes.size(); ++i)
            stripes[i] = static_cast<uint8_t>((i / 7 + i / 1000) % (1u << bits));
        const std::vector<std::vector<uint8_t>> pictures = {
            photoIndices, randomIndices(size_t{w} * h, bits, 7 + bits),
            std::vector<uint8_t>(size_t{w} * h, static_cast<uint8_t>((1 << bits) - 1)), stripes,
            randomIndices(size_t{w} * h, 8, 99)};
        for (size_t k = 0; k < pictures.size(); ++k)
            for (bool interlaced : {false, true})
                EXPECT_TRUE(same(pictures[k], w, h, bits, interlaced))
                    << "picture " << k << " bits " << bits << (interlaced ? " interlaced" : "");
    }
    // One colour for long enough to clear at the longest strings; single rows and columns.
    EXPECT_TRUE(same(std::vector<uint8_t>(3000 * 2600, 9), 3000, 2600, 8, false));
    EXPECT_TRUE(same(randomIndices(5000, 3, 1), 5000, 1, 3, true));
    EXPECT_TRUE(same(randomIndices(5000, 2, 2), 1, 5000, 2, true));
}

TEST(GIFLZWEncode, RefusesBitsOutsideOneToEight)
{
    MemoryOutput out;
    EXPECT_THROW(GIFLZWEncode(out, 1, 1, false, nullptr, 0), Error);
    EXPECT_THROW(GIFLZWEncode(out, 1, 1, false, nullptr, 9), Error);
    EXPECT_TRUE(out.bytes().empty());
}

}  // namespace
}  // namespace lumavex
