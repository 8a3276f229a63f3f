#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "raster.h"

namespace lumavex {

/// Red, green and blue of a colour as plain integers.
struct Rgb {
    int32_t red = 0;
    int32_t green = 0;
    int32_t blue = 0;
    bool operator==(const Rgb&) const = default;
};

/// Hue (ten-thousandths of a degree, 0..3599999, -10000 for grey), saturation (0..10000) and
/// value (channel x 10000), all in signed 64 bits.
struct Hsv {
    int64_t hue = 0;
    int64_t saturation = 0;
    int64_t value = 0;
    bool operator==(const Hsv&) const = default;
};

/// Channels x 10000, as HSVToRGB gives them.
struct Rgb64 {
    int64_t red = 0;
    int64_t green = 0;
    int64_t blue = 0;
    bool operator==(const Rgb64&) const = default;
};

/// red = c mod 256, green = (c div 256) mod 256, blue = c div 65536, with the colour taken as a
/// signed 32-bit value and division truncating toward zero (so a system colour value with its
/// top bit set gives negative channels, as the arithmetic has it).
Rgb SplitColor(Color colour);

/// The colour whose channels are 255 minus those of the argument, each kept to its low 8 bits.
Color InvertColor(Color colour);

/// x rounded to the nearest integer, halves away from zero. Throws Error(Conversion) when the
/// result does not fit a signed 32-bit integer.
int32_t RoundHalfAway(double x);

/// x rounded to the nearest integer, halves to even, as a 64-bit integer (x must fit).
int64_t roundHalfEven(double x);

/// The last n characters of the text after blanks at both ends are removed.
std::string RightChars(std::string_view text, int n);

/// Fixed-point hue, saturation and value of channels given x 10000.
Hsv RGBToHSV(int64_t red, int64_t green, int64_t blue);

/// Channels x 10000 of a fixed-point hue, saturation and value.
Rgb64 HSVToRGB(int64_t hue, int64_t saturation, int64_t value);

/// (pixel x m + colour x (1000 - m)) / 1000, truncating toward zero, in 32 bits. The caller
/// stores the low 8 bits.
constexpr int32_t MixChannel(int32_t pixel, int32_t colour, int32_t m)
{
    return (pixel * m + colour * (1000 - m)) / 1000;
}

/// The first name base + "(" + k + ")" + extension, k = 0, 1, 2, ..., that names no existing
/// file or folder, with its k.
std::pair<std::string, int> UniqueNumberedName(const std::string& path);

/// Inverts every channel of every pixel: the DSTINVERT self-copy.
void invertPixels(Raster& picture);
/// invertPixels on rows first .. last - 1 only.
void invertRows(Raster& picture, int first, int last);

}  // namespace lumavex
