#include "formats/ico.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "bmp_builder.h"
#include "core/error.h"
#include "error_checks.h"
#include "formats/png_codec.h"
#include "support/test_pictures.h"

namespace lumavex {
namespace {

using test::DibLayout;
using test::putLE;

/// An icon file holding the given images; the directory's own size bytes are left at zero,
/// as the reader trusts the images' headers.
std::vector<uint8_t> makeIco(const std::vector<std::vector<uint8_t>>& images)
{
    std::vector<uint8_t> f = {0, 0, 1, 0};
    putLE(f, static_cast<uint32_t>(images.size()), 2);
    uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
    for (const auto& image : images) {
        f.insert(f.end(), {0, 0, 0, 0, 1, 0, 32, 0});
        putLE(f, static_cast<uint32_t>(image.size()), 4);
        putLE(f, offset, 4);
        offset += static_cast<uint32_t>(image.size());
    }
    for (const auto& image : images)
        f.insert(f.end(), image.begin(), image.end());
    return f;
}

/// AND mask rows (bottom-up) from rows of 0/1 given top-down.
std::vector<uint8_t> maskRows(const std::vector<std::vector<unsigned>>& topDown)
{
    std::vector<std::vector<unsigned>> rows(topDown.rbegin(), topDown.rend());
    return test::packIndexes(rows, 1);
}

/// A w x h 32-bit icon image whose pixel (x, y) has the given colour and alpha.
std::vector<uint8_t> alphaImage(int w, int h, const std::function<uint32_t(int, int)>& bgra,
                                bool withMask = true)
{
    DibLayout s;
    s.fileHeader = false;
    s.width = w;
    s.height = 2 * h;
    s.bits = 32;
    for (int r = 0; r < h; ++r)
        for (int x = 0; x < w; ++x)
            putLE(s.pixels, bgra(x, h - 1 - r), 4);
    if (withMask)
        s.pixels.resize(s.pixels.size() + (w + 31) / 32 * 4 * h, 0);
    return makeDib(s);
}

TEST(ICO, LoadsTheLargestImage)
{
    // 16 x 16 at 4 bits, 32 x 32 with alpha, 24 x 24 PNG: the 32 x 32 one wins.
    DibLayout small;
    small.fileHeader = false;
    small.width = 16;
    small.height = 32;
    small.bits = 4;
    small.palette = std::vector<Color>(16, 0x00FF00);
    small.pixels.resize(8 * 16 + 4 * 16, 0);
    auto bgra = [](int x, int y) -> uint32_t {
        const uint32_t alpha = x < 16 ? 255 : y < 16 ? 0 : 128;
        return alpha << 24 | 0x00102030;  // red 0x10, green 0x20, blue 0x30
    };
    MemoryOutput png;
    const Raster pngPicture = test::makeGradient(24, 24);
    WritePNG(png, pngPicture);
    const auto images =
        std::vector<std::vector<uint8_t>>{makeDib(small), alphaImage(32, 32, bgra), png.bytes()};
    Raster got = ReadICO(makeIco(images));
    ASSERT_EQ(got.width(), 32);
    ASSERT_EQ(got.height(), 32);
    EXPECT_EQ(got.pixel(3, 3), makeColor(0x10, 0x20, 0x30));
    EXPECT_EQ(got.pixel(20, 3), kWhite);
    // (c 128 + 255 127) / 255 for c = 0x10, 0x20, 0x30
    EXPECT_EQ(got.pixel(20, 20), makeColor(135, 143, 151));

    // A 48 x 48 PNG image is larger still.
    MemoryOutput big;
    const Raster bigPicture = test::makeFPicture(48, 48);
    WritePNG(big, bigPicture);
    auto more = images;
    more.push_back(big.bytes());
    got = ReadICO(makeIco(more));
    EXPECT_TRUE(got.samePixels(bigPicture));

    // When that largest image is damaged, the next largest is read instead.
    std::vector<uint8_t> damaged = big.bytes();
    damaged.resize(damaged.size() / 2);
    more.back() = damaged;
    got = ReadICO(makeIco(more));
    ASSERT_EQ(got.width(), 32);
    EXPECT_EQ(got.pixel(3, 3), makeColor(0x10, 0x20, 0x30));
}

TEST(ICO, TheAndMaskShowsWhiteThroughTheColour)
{
    // 4 x 2 at 4 bits: colours black, red, black, blue on top; the mask on the first three.
    DibLayout s;
    s.fileHeader = false;
    s.width = 4;
    s.height = 4;
    s.bits = 4;
    s.palette = {0x000000, 0x0000FF, 0xFF0000};
    s.colorsUsed = 3;
    s.pixels = test::packIndexes({{2, 2, 2, 2}, {0, 1, 0, 2}}, 4);  // bottom row first
    const std::vector<uint8_t> mask = maskRows({{1, 1, 1, 0}, {0, 0, 0, 0}});
    s.pixels.insert(s.pixels.end(), mask.begin(), mask.end());
    const Raster got = ReadICO(makeIco({makeDib(s)}));
    ASSERT_EQ(got.width(), 4);
    ASSERT_EQ(got.height(), 2);
    EXPECT_EQ(got.pixel(0, 0), kWhite);                  // black under the mask
    EXPECT_EQ(got.pixel(1, 0), makeColor(0, 255, 255));  // red under the mask inverts white
    EXPECT_EQ(got.pixel(3, 0), makeColor(0, 0, 255));
    EXPECT_EQ(got.pixel(0, 1), makeColor(0, 0, 255));
}

TEST(ICO, ThirtyTwoBitsWithoutAlphaUseTheMask)
{
    std::vector<uint8_t> image = alphaImage(2, 1, [](int x, int) { return x == 0 ? 0 : 0x654321; });
    image[image.size() - 4] = 0x40;  // mask bit of pixel 1
    const Raster got = ReadICO(makeIco({image}));
    EXPECT_EQ(got.pixel(0, 0), kBlack);
    EXPECT_EQ(got.pixel(1, 0), makeColor(0xFF - 0x65, 0xFF - 0x43, 0xFF - 0x21));
    // Opaque 32-bit images may leave the mask out.
    const Raster bare = ReadICO(makeIco({alphaImage(
        2, 1, [](int, int) { return 0x123456; }, false)}));
    EXPECT_EQ(bare.pixel(1, 0), makeColor(0x12, 0x34, 0x56));
}

TEST(ICO, OfTwoEqualSizesTheDeeperWins)
{
    auto image = [](int bits, Color c) {
        DibLayout s;
        s.fileHeader = false;
        s.width = 8;
        s.height = 16;
        s.bits = static_cast<uint16_t>(bits);
        s.palette = std::vector<Color>(bits == 8 ? 256 : 16, c);
        s.pixels.resize(((8 * bits + 31) / 32 * 4 + 4) * 8, 0);
        return makeDib(s);
    };
    const Color c =
        ReadICO(makeIco({image(4, 0x0000FF), image(8, 0x00FF00), image(4, 0xFF)})).pixel(0, 0);
    EXPECT_EQ(c, 0x00FF00u);
}

TEST(ICO, HostileFilesGiveClearErrors)
{
    DibLayout s;
    s.fileHeader = false;
    s.width = 4;
    s.height = 8;
    s.bits = 8;
    s.palette = {0x000000, 0x112233};
    s.colorsUsed = 2;
    s.pixels.resize(4 * 4 + 4 * 4, 0);
    const std::vector<uint8_t> good = makeIco({makeDib(s)});
    ASSERT_NO_THROW(ReadICO(good));
    auto kind = [](const std::vector<uint8_t>& b) { return test::kindOf([&] { ReadICO(b); }); };
    auto patched = [&](size_t at, uint8_t v) {
        std::vector<uint8_t> b = good;
        b[at] = v;
        return b;
    };
    EXPECT_EQ(kind({}), ErrorKind::Format);
    EXPECT_EQ(kind(patched(0, 1)), ErrorKind::Format);             // reserved word
    EXPECT_EQ(kind(patched(2, 3)), ErrorKind::Format);             // neither icon nor cursor
    EXPECT_EQ(kind(patched(4, 0)), ErrorKind::Format);             // no images
    EXPECT_EQ(kind(patched(4, 9)), ErrorKind::Format);             // directory past the end
    EXPECT_EQ(kind(patched(21, 0x7F)), ErrorKind::Format);         // image offset past the end
    EXPECT_EQ(kind(patched(17, 0x7F)), ErrorKind::Format);         // image size past the end
    EXPECT_EQ(kind(patched(22 + 8, 0x7F)), ErrorKind::Format);     // rows beyond the data
    EXPECT_EQ(kind(patched(22 + 8, 1)), ErrorKind::Format);        // no rows at all
    EXPECT_EQ(kind(patched(22 + 16, 1)), ErrorKind::Unsupported);  // RLE8 icon
    std::vector<uint8_t> cut = good;
    cut.resize(cut.size() - 20);
    EXPECT_EQ(kind(cut), ErrorKind::Format);

    std::mt19937 random(8);
    for (int k = 0; k < 1000; ++k) {
        std::vector<uint8_t> b = good;
        for (int n = 0; n < 3; ++n)
            b[random() % b.size()] = static_cast<uint8_t>(random());
        b.resize(b.size() - random() % 16);
        try {
            EXPECT_GT(ReadICO(b).width(), 0);
        } catch (const Error&) {
        }
    }
}

}  // namespace
}  // namespace lumavex
