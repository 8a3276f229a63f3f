#include "formats/bmp.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>

#include "bmp_builder.h"
#include "core/error.h"
#include "error_checks.h"
#include "support/test_pictures.h"

namespace lumavex {
namespace {

using test::DibLayout;
using test::makeDib;
using test::packIndexes;

const std::vector<Color> kPalette16 = {
    0x000000, 0x0000FF, 0x00FF00, 0xFF0000, 0x00FFFF, 0xFF00FF, 0xFFFF00, 0xFFFFFF,
    0x102030, 0x405060, 0x708090, 0xA0B0C0, 0xD0E0F0, 0x123456, 0x654321, 0xABCDEF,
};

std::vector<Color> palette(int n)
{
    std::vector<Color> p;
    for (int i = 0; i < n; ++i)
        p.push_back(i < 16 ? kPalette16[i] : makeColor(i, 255 - i, i * 7));
    return p;
}

/// Colour index of pixel (x, y) counted from the top, for a picture of `colors` colours.
unsigned indexAt(int x, int y, int colors)
{
    return static_cast<unsigned>(x * 3 + y * 5 + 1) % colors;
}

/// Rows of indexes in file order (bottom-up unless topDown).
std::vector<std::vector<unsigned>> indexRows(int w, int h, int colors, bool topDown)
{
    std::vector<std::vector<unsigned>> rows;
    for (int r = 0; r < h; ++r) {
        const int y = topDown ? r : h - 1 - r;
        std::vector<unsigned> row;
        for (int x = 0; x < w; ++x)
            row.push_back(indexAt(x, y, colors));
        rows.push_back(row);
    }
    return rows;
}

void expectIndexedPicture(const Raster& got, int w, int h, const std::vector<Color>& pal)
{
    ASSERT_EQ(got.width(), w);
    ASSERT_EQ(got.height(), h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            ASSERT_EQ(got.pixel(x, y), pal[indexAt(x, y, static_cast<int>(pal.size()))])
                << x << "," << y;
}

/// 16- or 32-bit pixels as little-endian values, rows padded to 4 bytes, in file order.
std::vector<uint8_t> packValues(const std::vector<std::vector<uint32_t>>& rows, int bytes)
{
    std::vector<uint8_t> out;
    for (const auto& row : rows) {
        const size_t start = out.size();
        for (uint32_t v : row)
            test::putLE(out, v, bytes);
        out.resize(start + (row.size() * bytes + 3) / 4 * 4, 0);
    }
    return out;
}

using test::kindOf;

TEST(BMP, TwentyFourBitRoundTripIsExact)
{
    for (int w : {1, 2, 3, 4, 5, 33}) {
        const Raster picture = test::makeGradient(w, 7);
        MemoryOutput out;
        WriteBMP(out, picture);
        const auto& b = out.bytes();
        ASSERT_EQ(b.size(), 54 + rowStride(w) * 7);
        EXPECT_EQ(b[0], 'B');
        EXPECT_EQ(b[28], 24);
        const Raster back = ReadBMP(b);
        EXPECT_TRUE(back.samePixels(picture)) << w;
    }
}

TEST(BMP, IndexedDepthsReadThroughTheirPalettes)
{
    for (int bits : {1, 2, 4, 8}) {
        for (int w : {1, 7, 13, 33}) {
            const int colors = 1 << std::min(bits, 5);
            DibLayout s;
            s.width = w;
            s.height = 3;
            s.bits = static_cast<uint16_t>(bits);
            s.palette = palette(colors);
            s.colorsUsed = bits == 8 ? colors : 0;
            s.pixels = packIndexes(indexRows(w, 3, colors, false), bits);
            SCOPED_TRACE(std::to_string(bits) + " bits, width " + std::to_string(w));
            expectIndexedPicture(ReadBMP(makeDib(s)), w, 3, s.palette);
        }
    }
}

TEST(BMP, TopDownRowsStayInTheirOrder)
{
    DibLayout s;
    s.width = 5;
    s.height = -4;
    s.bits = 8;
    s.palette = palette(16);
    s.colorsUsed = 16;
    s.pixels = packIndexes(indexRows(5, 4, 16, true), 8);
    expectIndexedPicture(ReadBMP(makeDib(s)), 5, 4, s.palette);

    const Raster picture = test::makeGradient(6, 5);
    DibLayout t;
    t.width = 6;
    t.height = -5;
    for (int y = 0; y < 5; ++y) {
        t.pixels.insert(t.pixels.end(), picture.row(y), picture.row(y) + 18);
        t.pixels.resize(t.pixels.size() + 2, 0);
    }
    EXPECT_TRUE(ReadBMP(makeDib(t)).samePixels(picture));
}

TEST(BMP, CoreAndOs2HeadersAreRead)
{
    for (uint32_t header : {12u, 16u, 64u}) {
        DibLayout s;
        s.headerSize = header;
        s.width = 9;
        s.height = 2;
        s.bits = 4;
        s.palette = palette(16);
        s.pixels = packIndexes(indexRows(9, 2, 16, false), 4);
        SCOPED_TRACE(header);
        expectIndexedPicture(ReadBMP(makeDib(s)), 9, 2, s.palette);
    }
}

TEST(BMP, SixteenBitPixelsScaleEachChannelToTheNearestByte)
{
    // Default 5-5-5 (top bit unused), then 5-6-5 masks.
    DibLayout s;
    s.width = 5;
    s.height = 1;
    s.bits = 16;
    s.pixels = packValues({{0x7FFF, 0x7C00, 0x0010, 0x8000, 0x0200}}, 2);
    Raster got = ReadBMP(makeDib(s));
    EXPECT_EQ(got.pixel(0, 0), makeColor(255, 255, 255));
    EXPECT_EQ(got.pixel(1, 0), makeColor(255, 0, 0));
    EXPECT_EQ(got.pixel(2, 0), makeColor(0, 0, 132));  // 16 * 255 / 31 = 131.6
    EXPECT_EQ(got.pixel(3, 0), makeColor(0, 0, 0));
    EXPECT_EQ(got.pixel(4, 0), makeColor(0, 132, 0));

    s.compression = 3;
    s.masks = {0xF800, 0x07E0, 0x001F};
    s.pixels = packValues({{0xFFFF, 0x0400, 0x0020, 0xF800, 0x0001}}, 2);
    got = ReadBMP(makeDib(s));
    EXPECT_EQ(got.pixel(0, 0), makeColor(255, 255, 255));
    EXPECT_EQ(got.pixel(1, 0), makeColor(0, 130, 0));  // 32 * 255 / 63 = 129.5
    EXPECT_EQ(got.pixel(2, 0), makeColor(0, 4, 0));    // 1 * 255 / 63 = 4.05
    EXPECT_EQ(got.pixel(3, 0), makeColor(255, 0, 0));
    EXPECT_EQ(got.pixel(4, 0), makeColor(0, 0, 8));  // 255 / 31 = 8.2
}

TEST(BMP, ThirtyTwoBitPixelsPlainOrMasked)
{
    DibLayout s;
    s.width = 2;
    s.height = 2;
    s.bits = 32;
    s.pixels = {1, 2, 3, 99, 4, 5, 6, 99, 7, 8, 9, 99, 10, 11, 12, 99};  // B, G, R, unused
    Raster got = ReadBMP(makeDib(s));
    EXPECT_EQ(got.pixel(0, 1), makeColor(3, 2, 1));
    EXPECT_EQ(got.pixel(1, 1), makeColor(6, 5, 4));
    EXPECT_EQ(got.pixel(0, 0), makeColor(9, 8, 7));

    // Red in the low byte, and ten bits a channel.
    s.compression = 3;
    s.height = 1;
    s.masks = {0x000000FF, 0x0000FF00, 0x00FF0000};
    s.pixels = packValues({{0x00332211, 0x00FFFFFF}}, 4);
    got = ReadBMP(makeDib(s));
    EXPECT_EQ(got.pixel(0, 0), makeColor(0x11, 0x22, 0x33));
    s.masks = {0x3FF00000, 0x000FFC00, 0x000003FF};
    s.pixels = packValues({{(1023u << 20) | (512u << 10) | 1u, 0}}, 4);
    got = ReadBMP(makeDib(s));
    EXPECT_EQ(got.pixel(0, 0), makeColor(255, 128, 0));  // 512 * 255 / 1023 = 127.6
    EXPECT_EQ(got.pixel(1, 0), kBlack);
}

TEST(BMP, LaterHeadersCarryTheirMasks)
{
    for (uint32_t header : {40u, 52u, 56u, 108u, 124u}) {
        DibLayout s;
        s.headerSize = header;
        s.width = 3;
        s.height = 1;
        s.bits = 16;
        s.compression = 3;
        s.masks = {0x000F, 0x00F0, 0x0F00, 0xF000};  // 4-4-4-4, red lowest
        s.pixels = packValues({{0x0F00, 0xF0F0, 0x123F}}, 2);
        if (header == 40)
            s.masks.pop_back();
        SCOPED_TRACE(header);
        const Raster got = ReadBMP(makeDib(s));
        EXPECT_EQ(got.pixel(0, 0), makeColor(0, 0, 255));
        EXPECT_EQ(got.pixel(1, 0), makeColor(0, 255, 0));
        EXPECT_EQ(got.pixel(2, 0), makeColor(255, 51, 34));  // 3 * 17, 2 * 17
    }
    // A version 5 header with plain 24-bit pixels.
    const Raster picture = test::makeFPicture(8, 6);
    MemoryOutput plain;
    WriteBMP(plain, picture);
    DibLayout s;
    s.headerSize = 124;
    s.width = 8;
    s.height = 6;
    s.pixels.assign(plain.bytes().begin() + 54, plain.bytes().end());
    EXPECT_TRUE(ReadBMP(makeDib(s)).samePixels(picture));
}

std::vector<uint8_t> rle8Picture(bool withEnd)
{
    // Bottom row: 3 x index 1, absolute run 2 3 4, end of line. Next: skip 2 right and 1 up,
    // then one pixel 5 on the top row, end of bitmap.
    std::vector<uint8_t> data = {3, 1, 0, 3, 2, 3, 4, 0, 0, 0, 0, 2, 2, 1, 1, 5};
    if (withEnd) {
        data.push_back(0);
        data.push_back(1);
    }
    return data;
}

TEST(BMP, Rle8RunsAbsoluteRunsAndDeltas)
{
    DibLayout s;
    s.width = 6;
    s.height = 3;
    s.bits = 8;
    s.compression = 1;
    s.palette = palette(8);
    s.colorsUsed = 8;
    s.pixels = rle8Picture(true);
    const Raster got = ReadBMP(makeDib(s));
    const auto& p = s.palette;
    // The bottom row (y = 2) is the first in the file; skipped pixels are black.
    const std::vector<std::vector<Color>> expected = {
        {0, 0, 0, 0, 0, 0},
        {0, 0, 0, 0, 0, 0},
        {p[1], p[1], p[1], p[2], p[3], p[4]},
    };
    std::vector<std::vector<Color>> top = expected;
    top[0][2] = p[5];
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(got.pixel(x, y), top[y][x]) << x << "," << y;
}

TEST(BMP, Rle4RunsAlternateTheirTwoIndexes)
{
    DibLayout s;
    s.width = 7;
    s.height = 2;
    s.bits = 4;
    s.compression = 2;
    s.palette = palette(16);
    // Bottom: 4 pixels alternating 1 and 2, absolute 3 pixels 7 8 9, end of line.
    // Top: absolute 5 pixels 15 14 13 12 11 (three bytes and a pad), 2 pixels 10 9, end.
    s.pixels = {4, 0x12, 0, 3, 0x78, 0x90, 0, 0, 0, 5, 0xFE, 0xDC, 0xB0, 0, 2, 0xA9, 0, 1};
    const Raster got = ReadBMP(makeDib(s));
    const auto& p = s.palette;
    const std::vector<Color> bottom = {p[1], p[2], p[1], p[2], p[7], p[8], p[9]};
    const std::vector<Color> topRow = {p[15], p[14], p[13], p[12], p[11], p[10], p[9]};
    for (int x = 0; x < 7; ++x) {
        EXPECT_EQ(got.pixel(x, 1), bottom[x]) << x;
        EXPECT_EQ(got.pixel(x, 0), topRow[x]) << x;
    }
}

TEST(BMP, RleWithoutItsEndMarkIsReadWhenEveryRowEnded)
{
    DibLayout s;
    s.width = 2;
    s.height = 2;
    s.bits = 8;
    s.compression = 1;
    s.palette = palette(4);
    s.colorsUsed = 4;
    s.pixels = {2, 1, 0, 0, 2, 3, 0, 0};
    const Raster got = ReadBMP(makeDib(s));
    EXPECT_EQ(got.pixel(0, 1), s.palette[1]);
    EXPECT_EQ(got.pixel(1, 0), s.palette[3]);
    s.pixels = {2, 1, 0, 0, 2, 3};  // the top row never ends
    EXPECT_EQ(kindOf([&] { ReadBMP(makeDib(s)); }), ErrorKind::Format);
}

TEST(BMP, DibFilesMayLackTheFileHeader)
{
    DibLayout s;
    s.width = 5;
    s.height = 3;
    s.bits = 8;
    s.palette = palette(20);
    s.colorsUsed = 20;
    s.pixels = packIndexes(indexRows(5, 3, 20, false), 8);
    expectIndexedPicture(ReadDIB(makeDib(s)), 5, 3, s.palette);
    s.fileHeader = false;
    expectIndexedPicture(ReadDIB(makeDib(s)), 5, 3, s.palette);
    EXPECT_EQ(kindOf([&] { ReadBMP(makeDib(s)); }), ErrorKind::Format);

    // Masks after a bare 40-byte header come before the pixels.
    DibLayout m;
    m.fileHeader = false;
    m.width = 1;
    m.bits = 32;
    m.compression = 3;
    m.masks = {0xFF, 0xFF00, 0xFF0000};
    m.pixels = {0x10, 0x20, 0x30, 0};
    EXPECT_EQ(ReadDIB(makeDib(m)).pixel(0, 0), makeColor(0x10, 0x20, 0x30));
}

TEST(BMP, AShortColourTableIsReadAsFarAsItGoes)
{
    // The table declares 256 colours (colorsUsed 0) but the pixels start after two.
    DibLayout s;
    s.width = 3;
    s.height = 1;
    s.bits = 8;
    s.palette = {0x0000FF, 0x00FF00};
    s.pixels = {1, 0, 1, 0};
    const Raster got = ReadBMP(makeDib(s));
    EXPECT_EQ(got.pixel(0, 0), 0x00FF00u);
    EXPECT_EQ(got.pixel(1, 0), 0x0000FFu);
    s.pixels = {1, 2, 1, 0};
    EXPECT_EQ(kindOf([&] { ReadBMP(makeDib(s)); }), ErrorKind::Format);
}

/// A small valid file of each kind, for the hostile variations below.
std::vector<DibLayout> validLayouts()
{
    std::vector<DibLayout> layouts;
    for (int bits : {1, 4, 8}) {
        DibLayout s;
        s.width = 11;
        s.height = 4;
        s.bits = static_cast<uint16_t>(bits);
        s.palette = palette(1 << std::min(bits, 4));
        s.colorsUsed = static_cast<uint32_t>(s.palette.size());
        s.pixels = packIndexes(indexRows(11, 4, static_cast<int>(s.palette.size()), false), bits);
        layouts.push_back(s);
    }
    DibLayout rle8;
    rle8.width = 6;
    rle8.height = 3;
    rle8.bits = 8;
    rle8.compression = 1;
    rle8.palette = palette(8);
    rle8.colorsUsed = 8;
    rle8.pixels = rle8Picture(true);
    layouts.push_back(rle8);
    DibLayout rle4 = rle8;
    rle4.bits = 4;
    rle4.compression = 2;
    rle4.pixels = {6, 0x12, 0, 0, 0, 5, 0x34, 0x50, 0, 0, 2, 0x77, 0, 1};
    layouts.push_back(rle4);
    for (uint16_t bits : {16, 24, 32}) {
        DibLayout s;
        s.width = 5;
        s.height = -3;
        s.bits = bits;
        s.pixels.resize(((5 * bits + 31) / 32 * 4) * 3, 0x5A);
        layouts.push_back(s);
    }
    DibLayout masked = layouts.back();
    masked.headerSize = 124;
    masked.compression = 3;
    masked.masks = {0xFF0000, 0xFF00, 0xFF, 0};
    layouts.push_back(masked);
    DibLayout core = layouts[1];
    core.headerSize = 12;
    core.colorsUsed = 0;
    layouts.push_back(core);
    return layouts;
}

TEST(BMP, HostileHeadersGiveClearErrors)
{
    const DibLayout base = validLayouts()[2];  // 8 bits, 11 x 4
    const std::vector<uint8_t> good = makeDib(base);
    ASSERT_NO_THROW(ReadBMP(good));
    auto with = [&](const std::function<void(DibLayout&)>& change) {
        DibLayout s = base;
        change(s);
        return makeDib(s);
    };
    auto patched = [&](size_t at, uint32_t value) {
        std::vector<uint8_t> b = good;
        for (int i = 0; i < 4; ++i)
            b[at + i] = static_cast<uint8_t>(value >> (8 * i));
        return b;
    };
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        ErrorKind kind;
    };
    const std::vector<Case> cases = {
        {"empty", {}, ErrorKind::Format},
        {"wrong magic", {'B', 'A', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 40}, ErrorKind::Format},
        {"file header only", {good.begin(), good.begin() + 14}, ErrorKind::Format},
        {"truncated header", {good.begin(), good.begin() + 30}, ErrorKind::Format},
        {"header size 7", patched(14, 7), ErrorKind::Format},
        {"header size past the end", patched(14, 5000), ErrorKind::Format},
        {"header size 0xFFFFFFFF", patched(14, 0xFFFFFFFF), ErrorKind::Format},
        {"offset past the end", patched(10, 0xFFFFFFF0), ErrorKind::Format},
        {"offset inside the header", patched(10, 20), ErrorKind::Format},
        {"truncated pixels", {good.begin(), good.end() - 3}, ErrorKind::Format},
        {"width 0", with([](DibLayout& s) { s.width = 0; }), ErrorKind::Format},
        {"negative width", with([](DibLayout& s) { s.width = -11; }), ErrorKind::Format},
        {"height 0", with([](DibLayout& s) { s.height = 0; }), ErrorKind::Format},
        {"height INT32_MIN", with([](DibLayout& s) { s.height = INT32_MIN; }), ErrorKind::TooLarge},
        {"60000 x 60000", with([](DibLayout& s) { s.width = s.height = 60000; }),
         ErrorKind::TooLarge},
        {"width 2^31 - 1", with([](DibLayout& s) { s.width = INT32_MAX; }), ErrorKind::TooLarge},
        {"3 bits", with([](DibLayout& s) { s.bits = 3; }), ErrorKind::Format},
        {"0 bits", with([](DibLayout& s) { s.bits = 0; }), ErrorKind::Format},
        {"RLE8 with 4 bits", with([](DibLayout& s) {
             s.compression = 1;
             s.bits = 4;
         }),
         ErrorKind::Format},
        {"embedded JPEG", with([](DibLayout& s) { s.compression = 4; }), ErrorKind::Unsupported},
        {"compression 99", with([](DibLayout& s) { s.compression = 99; }), ErrorKind::Unsupported},
        {"colorsUsed 0xFFFFFFFF in a bare DIB", with([](DibLayout& s) {
             s.colorsUsed = 0xFFFFFFFF;
             s.fileHeader = false;
         }),
         ErrorKind::Format},
        {"index beyond the table", with([](DibLayout& s) {
             s.colorsUsed = 3;
             s.palette.resize(3);
         }),
         ErrorKind::Format},
        {"no colour table", with([](DibLayout& s) {
             s.palette.clear();
             s.colorsUsed = 0;
         }),
         ErrorKind::Format},
        {"masks cut short", with([](DibLayout& s) {
             s = DibLayout{};
             s.bits = 32;
             s.compression = 3;
             s.masks = {0xFF};
         }),
         ErrorKind::Format},
        {"scattered mask", with([](DibLayout& s) {
             s = DibLayout{};
             s.bits = 16;
             s.compression = 3;
             s.masks = {0x0101, 0x00F0, 0x000E};
             s.pixels = {0, 0, 0, 0};
         }),
         ErrorKind::Format},
        {"all three masks 0", with([](DibLayout& s) {
             s = DibLayout{};
             s.bits = 32;
             s.compression = 3;
             s.masks = {0, 0, 0};
             s.pixels = {1, 2, 3, 4};
         }),
         ErrorKind::Format},
        {"mask beyond 16 bits", with([](DibLayout& s) {
             s = DibLayout{};
             s.bits = 16;
             s.compression = 3;
             s.masks = {0x1F0000, 0x00F0, 0x000F};
             s.pixels = {0, 0, 0, 0};
         }),
         ErrorKind::Format},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(kindOf([&] { ReadDIB(c.bytes); }), c.kind);
    }
}

TEST(BMP, HostileRleDataGivesClearErrors)
{
    DibLayout s = validLayouts()[3];  // RLE8, 6 x 3, 8 colours
    const std::vector<std::vector<uint8_t>> bad = {
        {7, 1, 0, 1},                    // run past the end of the row
        {3, 1, 4, 1, 0, 1},              // the second run too
        {0, 7, 1, 1, 1, 1, 1, 1, 1, 0},  // absolute run past the end of the row
        {0, 2, 7, 0, 1, 1, 0, 1},        // delta past the right edge
        {0, 2, 0, 4, 0, 1},              // delta past the top
        {0, 0, 0, 0, 0, 0, 1, 1, 0, 1},  // a run after the last row
        {2, 9, 0, 1},                    // index beyond the table
        {0, 3, 1, 2, 9, 0, 0, 1},        // the same in an absolute run
        {0, 5, 1, 2},                    // absolute run cut short
        {0, 2, 1},                       // delta cut short
        {3, 1, 0},                       // ends inside a pair
        {},                              // no data at all
    };
    for (const auto& data : bad) {
        s.pixels = data;
        SCOPED_TRACE(::testing::PrintToString(data));
        EXPECT_EQ(kindOf([&] { ReadBMP(makeDib(s)); }), ErrorKind::Format);
    }
}

TEST(BMP, MangledFilesNeverCrashTheReader)
{
    // Every byte position of each small valid file set to hostile values, then random damage
    // and truncation: the reader must decode or throw Error, never read outside the data.
    std::mt19937 random(7);
    int decoded = 0;
    int refused = 0;
    auto attempt = [&](const std::vector<uint8_t>& bytes) {
        try {
            const Raster r = ReadDIB(bytes);
            EXPECT_GT(r.width(), 0);
            ++decoded;
        } catch (const Error&) {
            ++refused;
        }
    };
    for (const DibLayout& layout : validLayouts()) {
        for (bool fileHeader : {true, false}) {
            DibLayout s = layout;
            s.fileHeader = fileHeader;
            const std::vector<uint8_t> good = makeDib(s);
            for (size_t i = 0; i < good.size(); ++i)
                for (uint8_t v :
                     {uint8_t{0}, uint8_t{1}, uint8_t{0x7F}, uint8_t{0x80}, uint8_t{0xFF}}) {
                    std::vector<uint8_t> b = good;
                    b[i] = v;
                    attempt(b);
                }
            for (int k = 0; k < 200; ++k) {
                std::vector<uint8_t> b = good;
                for (int n = 0; n < 4; ++n)
                    b[random() % b.size()] = static_cast<uint8_t>(random());
                b.resize(b.size() - random() % std::min<size_t>(b.size(), 24));
                attempt(b);
            }
        }
    }
    EXPECT_GT(decoded, 1000);
    EXPECT_GT(refused, 1000);
}

}  // namespace
}  // namespace lumavex
