#include "core/color.h"

#include <gtest/gtest.h>

#include "core/convert.h"
#include "core/error.h"
#include "support/test_pictures.h"

namespace lumavex {
namespace {

TEST(SplitColor, TakesTheThreeBytes)
{
    EXPECT_EQ(SplitColor(0x00336699), (Rgb{0x99, 0x66, 0x33}));
    EXPECT_EQ(SplitColor(0x00FFFFFF), (Rgb{255, 255, 255}));
    EXPECT_EQ(SplitColor(0x00010203), (Rgb{3, 2, 1}));
    // A system colour value (top bit set) is -2147483640 as a signed value; every division
    // truncates toward zero: -2147483640 = -8388607 x 256 - 248, -8388607 = -32767 x 256 - 255.
    EXPECT_EQ(SplitColor(0x80000008), (Rgb{-248, -255, -32767}));
}

TEST(InvertColor, InvertsEachChannel)
{
    EXPECT_EQ(InvertColor(0x00336699), 0x00CC9966u);
    EXPECT_EQ(InvertColor(kWhite), kBlack);
    EXPECT_EQ(InvertColor(kBlack), kWhite);
    // From the channels -248, -255, -32767: 503, 510 and 33022, of which the low bytes are
    // 0xF7, 0xFE and 0xFE.
    EXPECT_EQ(InvertColor(0x80000008), 0x00FEFEF7u);
}

TEST(RoundHalfAway, RoundsHalvesAwayFromZero)
{
    EXPECT_EQ(RoundHalfAway(62.5), 63);
    EXPECT_EQ(RoundHalfAway(33.333), 33);
    EXPECT_EQ(RoundHalfAway(-0.5), -1);
    EXPECT_EQ(RoundHalfAway(2.5), 3);
    EXPECT_EQ(RoundHalfAway(-2.5), -3);
    EXPECT_EQ(RoundHalfAway(3.5), 4);
    EXPECT_EQ(RoundHalfAway(2147483647.0), 2147483647);
    EXPECT_EQ(RoundHalfAway(-0.4), 0);
    EXPECT_EQ(RoundHalfAway(0.49999999999999994), 0);  // the largest double below a half
    EXPECT_EQ(RoundHalfAway(127.5), 128);
    EXPECT_EQ(RoundHalfAway(-2147483648.4), INT32_MIN);
}

TEST(RoundHalfAway, FailsWithTheConversionErrorBeyond32Bits)
{
    try {
        RoundHalfAway(2147483647.5);
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Conversion);
    }
    EXPECT_THROW(RoundHalfAway(-3e10), Error);
    EXPECT_THROW(RoundHalfAway(-2147483648.5), Error);
}

TEST(RightChars, TrimsThenTakesTheLastCharacters)
{
    EXPECT_EQ(RightChars("  00000000FF8040 ", 6), "FF8040");
    EXPECT_EQ(RightChars("abc", 6), "abc");
    EXPECT_EQ(RightChars("abc", 0), "");
    EXPECT_EQ(RightChars("あいう", 2), "いう");
}

TEST(RGBToHSV, GivesTheDocumentedValues)
{
    EXPECT_EQ(RGBToHSV(2550000, 0, 0), (Hsv{0, 10000, 2550000}));
    EXPECT_EQ(RGBToHSV(0, 0, 2550000), (Hsv{2400000, 10000, 2550000}));
    EXPECT_EQ(RGBToHSV(0, 2550000, 0).hue, 1200000);
    EXPECT_EQ(RGBToHSV(1280000, 1280000, 1280000), (Hsv{-10000, 0, 1280000}));
    // Magenta-ish: red is the largest and blue above green, so the hue wraps below 0.
    const Hsv h = RGBToHSV(2550000, 0, 1280000);
    EXPECT_EQ(h.hue, 3600000 - 60 * 5020);  // round(-1280000/2550000 x 10000) = -5020
    EXPECT_EQ(h.saturation, 10000);
    // (100, 150, 200): blue is the largest, delta 50, so h = (-50 / 100 + 4) x 10000 = 35000,
    // 210 degrees; s = 100 / 200.
    EXPECT_EQ(RGBToHSV(1000000, 1500000, 2000000), (Hsv{2100000, 5000, 2000000}));
    // (10, 20, 30): s = 20 / 30 x 10000 = 6666.67 -> 6667.
    EXPECT_EQ(RGBToHSV(100000, 200000, 300000), (Hsv{2100000, 6667, 300000}));
    // (60, 120, 30): green is the largest, h = (-30 / 90 + 2) x 10000 = 16666.67 -> 16667.
    EXPECT_EQ(RGBToHSV(600000, 1200000, 300000), (Hsv{1000020, 7500, 1200000}));
}

TEST(RGBToHSV, RoundsTheSaturationHalfToEven)
{
    // 20001 / 80000 x 10000 = 2500.125 -> 2500
    EXPECT_EQ(RGBToHSV(80000, 80000 - 20001, 80000 - 20001).saturation, 2500);
    // 1 / 20000 x 10000 = 0.5 -> 0, and 5 / 20000 x 10000 = 2.5 -> 2 (ties to even)
    EXPECT_EQ(RGBToHSV(20000, 19999, 19999).saturation, 0);
    EXPECT_EQ(RGBToHSV(20000, 19995, 19995).saturation, 2);
}

TEST(HSVToRGB, GivesTheDocumentedValues)
{
    EXPECT_EQ(HSVToRGB(2400000, 10000, 2550000), (Rgb64{0, 0, 2550000}));
    for (int64_t hue : {-10000, 0, 1234567, 3599999})
        EXPECT_EQ(HSVToRGB(hue, 0, 777), (Rgb64{777, 777, 777}));
    EXPECT_EQ(HSVToRGB(0, 10000, 2550000), (Rgb64{2550000, 0, 0}));
    EXPECT_EQ(HSVToRGB(1200000, 10000, 2550000), (Rgb64{0, 2550000, 0}));
    // 210 degrees is sixth 3 with f = 5000: p = 0.5 v, q = (1 - 0.5 x 0.5) v, (p, q, v).
    EXPECT_EQ(HSVToRGB(2100000, 5000, 2000000), (Rgb64{1000000, 1500000, 2000000}));
    // p = 3333 x 30 = 99990, q = (10^8 - 6667 x 5000) x 0.003 = 199995.
    EXPECT_EQ(HSVToRGB(2100000, 6667, 300000), (Rgb64{99990, 199995, 300000}));
    // 1000020 / 60 = 16667: sixth 1, f = 6667, q = (10^8 - 7500 x 6667) x 0.012 = 599970.
    EXPECT_EQ(HSVToRGB(1000020, 7500, 1200000), (Rgb64{599970, 1200000, 300000}));
}

TEST(HSVToRGB, HalvedSaturationOfRedGivesTheLightBevelColour)
{
    const Hsv red = RGBToHSV(2550000, 0, 0);
    const Rgb64 light = HSVToRGB(red.hue, roundHalfEven(red.saturation * 0.5), red.value);
    EXPECT_EQ(RoundHalfAway(light.red / 10000.0), 255);
    EXPECT_EQ(RoundHalfAway(light.green / 10000.0), 128);  // 127.5 away from zero
    EXPECT_EQ(RoundHalfAway(light.blue / 10000.0), 128);
}

TEST(HSVToRGB, RoundTripsEveryGreyAndPrimaryLevel)
{
    for (int v = 0; v < 256; ++v) {
        for (const Rgb c : {Rgb{v, v, v}, Rgb{v, 0, 0}, Rgb{0, v, 0}, Rgb{0, 0, v}, Rgb{v, v, 0}}) {
            const Hsv h = RGBToHSV(c.red * 10000, c.green * 10000, c.blue * 10000);
            const Rgb64 back = HSVToRGB(h.hue, h.saturation, h.value);
            ASSERT_EQ(back, (Rgb64{c.red * 10000, c.green * 10000, c.blue * 10000})) << v;
        }
    }
}

TEST(MixChannel, TruncatesAndMayLeaveTheByteRange)
{
    EXPECT_EQ(MixChannel(200, 0, 990), 198);
    EXPECT_EQ(MixChannel(255, 0, 1008), 257);
    EXPECT_EQ(static_cast<uint8_t>(MixChannel(255, 0, 1008)), 1);
    EXPECT_EQ(MixChannel(0, 255, 0), 255);
    EXPECT_EQ(MixChannel(10, 255, 999), 10);  // 10245 / 1000 truncated
    EXPECT_EQ(MixChannel(3, 7, 500), 5);      // (1500 + 3500) / 1000
    EXPECT_EQ(MixChannel(1, 2, 333), 1);      // (333 + 1334) / 1000
    EXPECT_EQ(MixChannel(255, 255, 377), 255);
    // Toward zero, not downward: -1500 / 1000 is -1, -1 / 1000 is 0.
    EXPECT_EQ(MixChannel(0, -1500, 999), -1);
    EXPECT_EQ(MixChannel(0, -1, 999), 0);
    EXPECT_EQ(MixChannel(100, -248, 500), -74);  // (50000 - 124000) / 1000
}

TEST(UniqueNumberedName, SkipsTakenNumbers)
{
    test::TempDir dir;
    test::writeFile(dir.file("New(0).bmp"), "");
    test::writeFile(dir.file("New(1).bmp"), "");
    const auto [name, k] = UniqueNumberedName(dir.file("New.bmp"));
    EXPECT_EQ(name, dir.file("New(2).bmp"));
    EXPECT_EQ(k, 2);
    std::filesystem::create_directory(dir.file("New(2).bmp"));  // a folder counts too
    EXPECT_EQ(UniqueNumberedName(dir.file("New.bmp")).second, 3);
    EXPECT_EQ(UniqueNumberedName(dir.file("Other.bmp")).first, dir.file("Other(0).bmp"));
}

TEST(StrToInt, AcceptsDecimalIntegersOnly)
{
    EXPECT_EQ(StrToInt("10"), 10);
    EXPECT_EQ(StrToInt("-45"), -45);
    EXPECT_EQ(StrToInt("+7"), 7);
    EXPECT_EQ(StrToInt(" 12 "), 12);
    EXPECT_EQ(StrToInt("2147483647"), 2147483647);
    EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
    for (const char* bad : {"", " ", "abc", "1.5", "12px", "0x10", "2147483648", "-", "１２"}) {
        try {
            StrToInt(bad);
            ADD_FAILURE() << bad;
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::Conversion);
            EXPECT_EQ(std::string(e.what()), std::string("'") + bad + "' は整数ではありません");
        }
    }
}

}  // namespace
}  // namespace lumavex
