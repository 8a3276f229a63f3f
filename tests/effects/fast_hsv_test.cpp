#include "effects/fast_hsv.h"

#include <gtest/gtest.h>

#include <random>

#include "core/error.h"

namespace lumavex {
namespace {

TEST(FastHsv, RoundingsEqualTheLibrary)
{
    std::mt19937_64 random(7);
    for (double x :
         {0.5, 1.5, 2.5, -0.5, -1.5, 2.4999999999999996, 1e15 + 0.5, -3e15, 4.5e15, 1e300, -1e300})
        EXPECT_EQ(detail::roundEven(x), roundHalfEven(x)) << x;
    for (int i = 0; i < 200000; ++i) {
        const int64_t num =
            static_cast<int64_t>(random() % (int64_t{1} << 53)) - (int64_t{1} << 52);
        for (int64_t den : {int64_t{60}, int64_t{10000}, int64_t{100000000}})
            ASSERT_EQ(detail::divRoundEven(num, den),
                      roundHalfEven(static_cast<double>(num) / static_cast<double>(den)))
                << num << " / " << den;
        const int64_t small = num % 20000000000000;
        ASSERT_EQ(detail::divRoundAway10000(small), RoundHalfAway(small / 10000.0)) << small;
        const int64_t tie = (small / 10000) * 10000 + 5000;
        ASSERT_EQ(detail::divRoundAway10000(tie), RoundHalfAway(tie / 10000.0)) << tie;
        ASSERT_EQ(detail::divRoundEven(tie, 10000), roundHalfEven(tie / 10000.0)) << tie;
    }
}

TEST(FastHsv, BytesGiveTheLibrarysHsvForEveryColour)
{
    const detail::HsvTables& tables = detail::hsvTables();
    for (int r = 0; r < 256; ++r)
        for (int g = 0; g < 256; ++g)
            for (int b = 0; b < 256; b += (r + g) % 7 == 0 ? 1 : 17)
                ASSERT_EQ(detail::hsvOfBytes(tables, r, g, b),
                          RGBToHSV(r * 10000, g * 10000, b * 10000))
                    << r << "," << g << "," << b;
}

// Both give the same bytes, or both refuse (a channel beyond 32 bits).
void expectSameBytes(int64_t hue, int64_t saturation, int64_t value)
{
    const Rgb64 c = HSVToRGB(hue, saturation, value);
    uint8_t expected[3];
    try {
        expected[2] = static_cast<uint8_t>(RoundHalfAway(c.red / 10000.0));
        expected[1] = static_cast<uint8_t>(RoundHalfAway(c.green / 10000.0));
        expected[0] = static_cast<uint8_t>(RoundHalfAway(c.blue / 10000.0));
    } catch (const Error&) {
        uint8_t fast[3];
        EXPECT_THROW(detail::bytesOfHsv(hue, saturation, value, fast), Error);
        return;
    }
    uint8_t fast[3];
    detail::bytesOfHsv(hue, saturation, value, fast);
    ASSERT_EQ(fast[0], expected[0]) << hue << " " << saturation << " " << value;
    ASSERT_EQ(fast[1], expected[1]) << hue << " " << saturation << " " << value;
    ASSERT_EQ(fast[2], expected[2]) << hue << " " << saturation << " " << value;
}

TEST(FastHsv, BytesOfHsvEqualTheLibraryRoundTrip)
{
    // Every colour's own HSV at every tenth value, as MixPaste asks for it.
    for (int r = 0; r < 256; r += 3)
        for (int g = 0; g < 256; g += 5)
            for (int b = 0; b < 256; b += 7) {
                const Hsv h = RGBToHSV(r * 10000, g * 10000, b * 10000);
                for (int v = 0; v < 256; v += 10)
                    expectSameBytes(h.hue, h.saturation, v * 10000);
                expectSameBytes(h.hue, h.saturation, h.value);
            }
    // Scaled saturations and values as Panel makes them, negative and beyond the fast range.
    std::mt19937_64 random(11);
    for (int i = 0; i < 300000; ++i) {
        const int64_t hue = static_cast<int64_t>(random() % 3600000);
        const int64_t scale = i % 3 == 0 ? 3 : i % 3 == 1 ? 30 : 3000;
        const int64_t saturation = static_cast<int64_t>(random() % (20001 * scale)) - 10000 * scale;
        const int64_t value = static_cast<int64_t>(random() % (5100001 * scale)) - 2550000 * scale;
        expectSameBytes(hue, saturation, value);
        expectSameBytes(hue, 0, value);
        expectSameBytes(-10000, saturation, value);
    }
}

TEST(FastHsv, EveryTableEntryIsTheLibrarysRounding)
{
    const detail::HsvTables& tables = detail::hsvTables();
    for (int max = 1; max < 256; ++max)
        for (int delta = 1; delta <= max; ++delta)
            ASSERT_EQ(
                tables.saturation[max][delta],
                RGBToHSV(max * 10000, (max - delta) * 10000, (max - delta) * 10000).saturation)
                << max << " " << delta;
    // Colours with the largest channel 255 that reach each (case, delta, num) entry.
    for (int delta = 1; delta < 256; ++delta) {
        const int min = 255 - delta;
        for (int num = -delta; num <= delta; ++num) {
            const int lo = num < 0 ? min - num : min;  // the channel that num's sign raises
            const int hi = num < 0 ? min : min + num;
            struct Case {
                int sector, red, green, blue;
                bool reachable;
            };
            for (const Case c : {Case{0, 255, hi, lo, true}, Case{1, lo, 255, hi, lo < 255},
                                 Case{2, hi, lo, 255, hi < 255 && lo < 255}}) {
                if (!c.reachable)
                    continue;
                const Hsv h = RGBToHSV(c.red * 10000, c.green * 10000, c.blue * 10000);
                ASSERT_EQ(tables.hue[c.sector][delta * delta + num + delta] * 60, h.hue)
                    << c.sector << " " << delta << " " << num;
            }
        }
    }
}

TEST(FastHsv, EveryColourComesBackFromItsOwnHsv)
{
    // MixPaste leaves a pixel alone when the layer is at least as bright, which relies on this.
    const detail::HsvTables& tables = detail::hsvTables();
#ifdef NDEBUG
    const int step = 1;
#else
    const int step = 7;  // unoptimised builds take a sample
#endif
    for (int r = 0; r < 256; ++r)
        for (int g = 0; g < 256; ++g)
            for (int b = (r + g) % step; b < 256; b += step) {
                const Hsv h = detail::hsvOfBytes(tables, r, g, b);
                uint8_t back[3];
                detail::bytesOfHsv(h.hue, h.saturation, h.value, back);
                ASSERT_TRUE(back[0] == b && back[1] == g && back[2] == r)
                    << r << "," << g << "," << b;
            }
}

}  // namespace
}  // namespace lumavex
