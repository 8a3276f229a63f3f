#pragma once
// Byte-level forms of RGBToHSV, HSVToRGB and the rounding helpers for the effects' inner loops.
// Each gives exactly what the general function in color.h gives; tests hold them to that.

#include <algorithm>
#include <cstdint>

#include "core/color.h"

namespace lumavex::detail {

/// roundHalfEven(x) without a library call: adding 1.5 x 2^52 leaves an integer rounded to
/// nearest, ties to even, for |x| < 2^51.
inline int64_t roundEven(double x)
{
    constexpr double magic = 6755399441055744.0;
    if (x > -2251799813685248.0 && x < 2251799813685248.0)
        return static_cast<int64_t>((x + magic) - magic);
    return roundHalfEven(x);
}

/// num / den rounded to nearest, ties to even, for den > 0. For an even den and |num| < 2^53
/// it equals roundHalfEven(double(num) / den): num converts exactly, a tie is exact in double,
/// and any other quotient lies at least 1 / den from a tie, beyond the division's rounding
/// error of |num| / den x 2^-53.
inline int64_t divRoundEven(int64_t num, int64_t den)
{
    // Branch-free: the remainder's sign and the rounding direction depend on the data.
    int64_t q = num / den;
    int64_t r = num - q * den;
    const int64_t negative = r >> 63;  // all ones when r < 0
    q += negative;
    r += den & negative;
    return q + static_cast<int64_t>(2 * r + (q & 1) > den);
}

/// RoundHalfAway(num / 10000.0) for |num| < 2^53 (by the argument above), as a 64-bit value:
/// callers keep |num| far below the point where RoundHalfAway would refuse it.
inline int64_t divRoundAway10000(int64_t num)
{
    const int64_t m = num < 0 ? -num : num;
    const int64_t r = (m + 5000) / 10000;
    return num < 0 ? -r : r;
}

/// The saturation and hue roundings of RGBToHSV for byte channels, as tables: both depend only
/// on the largest channel, the spread delta and one channel difference, and each entry is
/// computed with RGBToHSV's own double arithmetic. The ratios are those of the bytes, since
/// scaling numerator and denominator by 10000 changes neither the quotient nor its rounding.
struct HsvTables {
    HsvTables();
    /// round(delta / max x 10000) at [max][delta].
    int16_t saturation[256][256];
    /// The hue in sixths x 10000 (0 .. 59999; the hue in degrees x 10000 is 60 times it) for
    /// the case of the largest channel (0 red, 1 green, 2 blue), at [delta x delta + num + delta]
    /// for the channel difference num (-delta .. delta) that the case divides by delta.
    uint16_t hue[3][65536];
};

/// The tables, made on first use.
const HsvTables& hsvTables();

/// RGBToHSV of the channels red, green, blue (0..255) given as bytes, channels x 10000 as usual.
inline Hsv hsvOfBytes(const HsvTables& tables, int red, int green, int blue)
{
    const int max = std::max({red, green, blue});
    const int min = std::min({red, green, blue});
    const int delta = max - min;
    if (delta == 0)
        return {-10000, 0, int64_t{max} * 10000};
    const int sector = (red != max) * (1 + (green != max));  // red, green, blue first
    const int nums[3] = {green - blue, blue - red, red - green};
    Hsv hsv;
    hsv.value = int64_t{max} * 10000;
    hsv.saturation = tables.saturation[max][delta];
    hsv.hue = int64_t{tables.hue[sector][delta * delta + nums[sector] + delta]} * 60;
    return hsv;
}

/// HSVToRGB followed by the callers' step: each channel divided by 10000, rounded with
/// RoundHalfAway and kept to its low 8 bits, stored as blue, green, red. Values whose products
/// could leave the fast integer range go through HSVToRGB itself.
inline void bytesOfHsv(int64_t hue, int64_t saturation, int64_t value, uint8_t* bgr)
{
    auto store = [bgr](int64_t red, int64_t green, int64_t blue) {
        bgr[0] = static_cast<uint8_t>(divRoundAway10000(blue));
        bgr[1] = static_cast<uint8_t>(divRoundAway10000(green));
        bgr[2] = static_cast<uint8_t>(divRoundAway10000(red));
    };
    // Within these bounds every product below stays under 2^53, where divRoundEven and
    // divRoundAway10000 agree with the double arithmetic of HSVToRGB.
    constexpr int64_t kFastSaturation = 50000;
    constexpr int64_t kFastValue = 12000000;
    if (saturation == 0 && value > -40000000000 && value < 40000000000) {
        store(value, value, value);
        return;
    }
    if (saturation > kFastSaturation || saturation < -kFastSaturation || value > kFastValue ||
        value < -kFastValue || hue > 1000000000 || hue < -1000000000) {
        const Rgb64 c = HSVToRGB(hue, saturation, value);
        bgr[0] = static_cast<uint8_t>(RoundHalfAway(static_cast<double>(c.blue) / 10000.0));
        bgr[1] = static_cast<uint8_t>(RoundHalfAway(static_cast<double>(c.green) / 10000.0));
        bgr[2] = static_cast<uint8_t>(RoundHalfAway(static_cast<double>(c.red) / 10000.0));
        return;
    }
    // |products| <= (10^8 + 5 x 10^8) x 1.2 x 10^7 < 2^53.
    const int64_t hs = divRoundEven(hue, 60);
    int64_t i = hs / 10000;
    if (hs % 10000 < 0)
        --i;
    const int64_t f = hs - i * 10000;
    const int64_t p = divRoundEven((10000 - saturation) * value, 10000);
    const int64_t q = divRoundEven((100000000 - saturation * f) * value, 100000000);
    const int64_t t = divRoundEven((100000000 - (10000 - f) * saturation) * value, 100000000);
    switch (((i % 6) + 6) % 6) {
        case 0: store(value, t, p); break;
        case 1: store(q, value, p); break;
        case 2: store(p, value, t); break;
        case 3: store(p, q, value); break;
        case 4: store(t, p, value); break;
        default: store(value, p, q); break;
    }
}

}  // namespace lumavex::detail
