#include "formats/plugin_dib.h"

#include <gtest/gtest.h>

#include "bmp_builder.h"
#include "core/error.h"
#include "formats/byte_order.h"

namespace lumavex {
namespace {

using test::DibLayout;
using test::makeDib;

/// The information block and the pixel block of a bare DIB, as a plug-in hands them back.
struct Blocks {
    std::vector<uint8_t> info, pixels;
};

Blocks split(const DibLayout& layout, size_t infoSize)
{
    DibLayout bare = layout;
    bare.fileHeader = false;
    const std::vector<uint8_t> dib = makeDib(bare);
    return {{dib.begin(), dib.begin() + static_cast<ptrdiff_t>(infoSize)},
            {dib.begin() + static_cast<ptrdiff_t>(infoSize), dib.end()}};
}

void expectRefused(const Blocks& b)
{
    try {
        PluginDibToRaster(b.info, b.pixels);
        FAIL() << "accepted";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Format);
        EXPECT_STREQ(e.what(), "認識できない画像形式です");
    }
}

TEST(PluginDib, EightBitsWithNoColourCountTakeAFullTableAndPixelsAt1078)
{
    DibLayout layout;
    layout.width = 3;
    layout.height = 1;
    layout.bits = 8;
    layout.palette.assign(256, makeColor(0, 0, 0));
    layout.palette[1] = makeColor(10, 20, 30);
    layout.palette[255] = makeColor(200, 100, 50);
    layout.pixels = {255, 1, 0, 0};
    const Blocks b = split(layout, 40 + 1024);
    const std::vector<uint8_t> file = PluginDibFile(b.info, b.pixels);
    EXPECT_EQ(file.size(), 1078u + 4);
    EXPECT_EQ(le32(file.data() + 2), 1078u + 4);
    EXPECT_EQ(le32(file.data() + 10), 1078u);
    const Raster r = PluginDibToRaster(b.info, b.pixels);
    ASSERT_EQ(r.width(), 3);
    EXPECT_EQ(r.pixel(0, 0), makeColor(200, 100, 50));
    EXPECT_EQ(r.pixel(1, 0), makeColor(10, 20, 30));
    EXPECT_EQ(r.pixel(2, 0), makeColor(0, 0, 0));
}

TEST(PluginDib, FourBitsTakeSixteenColoursOrTheCountGivenAndTheirPaletteDecidesThePixels)
{
    DibLayout layout;
    layout.width = 3;
    layout.height = 1;
    layout.bits = 4;
    layout.palette.assign(16, makeColor(0, 0, 0));
    layout.palette[2] = makeColor(1, 2, 3);
    layout.palette[15] = makeColor(250, 128, 7);
    layout.pixels = {0xF2, 0x00, 0, 0};
    const Blocks full = split(layout, 40 + 64);
    const std::vector<uint8_t> file = PluginDibFile(full.info, full.pixels);
    EXPECT_EQ(le32(file.data() + 10), 54u + 64);
    const Raster r = PluginDibToRaster(full.info, full.pixels);
    EXPECT_EQ(r.pixel(0, 0), makeColor(250, 128, 7));
    EXPECT_EQ(r.pixel(1, 0), makeColor(1, 2, 3));
    EXPECT_EQ(r.pixel(2, 0), makeColor(0, 0, 0));

    // Three colours used: a table of three, the pixels right after it.
    layout.colorsUsed = 3;
    layout.palette = {makeColor(9, 9, 9), makeColor(40, 50, 60), makeColor(70, 80, 90)};
    layout.pixels = {0x21, 0x00, 0, 0};
    const Blocks three = split(layout, 40 + 12);
    EXPECT_EQ(le32(PluginDibFile(three.info, three.pixels).data() + 10), 54u + 12);
    const Raster s = PluginDibToRaster(three.info, three.pixels);
    EXPECT_EQ(s.pixel(0, 0), makeColor(70, 80, 90));
    EXPECT_EQ(s.pixel(1, 0), makeColor(40, 50, 60));
    EXPECT_EQ(s.pixel(2, 0), makeColor(9, 9, 9));
}

TEST(PluginDib, BlocksSmallerThanTheirHeaderSaysAreRefused)
{
    DibLayout layout;
    layout.width = 2;
    layout.height = 2;
    layout.bits = 24;
    layout.pixels.assign(16, 7);
    Blocks whole = split(layout, 40);
    EXPECT_EQ(PluginDibToRaster(whole.info, whole.pixels).height(), 2);

    Blocks shortRows = whole;
    shortRows.pixels.pop_back();
    expectRefused(shortRows);
    expectRefused({{whole.info.begin(), whole.info.begin() + 39}, whole.pixels});

    Blocks hugeHeight = whole;
    putLE16(hugeHeight.info.data() + 8, 0);
    putLE16(hugeHeight.info.data() + 10, 0x4000);
    expectRefused(hugeHeight);

    DibLayout paletted = layout;
    paletted.bits = 4;
    paletted.palette.assign(16, makeColor(1, 2, 3));
    paletted.pixels.assign(8, 0);
    expectRefused(split(paletted, 40 + 60));  // the table is cut short by one entry
}

}  // namespace
}  // namespace lumavex
