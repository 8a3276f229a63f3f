#include "color.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <system_error>

#include "convert.h"
#include "parallel.h"
#include "error.h"

namespace lumavex {

Rgb SplitColor(Color colour)
{
    const int32_t c = static_cast<int32_t>(colour);
    return {c % 256, (c / 256) % 256, c / 65536};
}

Color InvertColor(Color colour)
{
    const Rgb rgb = SplitColor(colour);
    const uint32_t red = static_cast<uint32_t>(255 - rgb.red) & 0xFF;
    const uint32_t green = static_cast<uint32_t>(255 - rgb.green) & 0xFF;
    const uint32_t blue = static_cast<uint32_t>(255 - rgb.blue) & 0xFF;
    return red + 256 * green + 65536 * blue;
}

int32_t RoundHalfAway(double x)
{
    const double r = std::round(x);
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) {
        char text[64];
        std::snprintf(text, sizeof text, "%.17g", x);
        throw Error(ErrorKind::Conversion, notAnIntegerMessage(text));
    }
    return static_cast<int32_t>(r);
}

int64_t roundHalfEven(double x)
{
    // Values beyond 64 bits (which no sound input reaches) saturate instead of overflowing.
    constexpr double limit = 9223372036854774784.0;  // largest double below 2^63
    if (std::isnan(x))
        return 0;
    if (x >= limit)
        return std::numeric_limits<int64_t>::max();
    if (x <= -limit)
        return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(std::nearbyint(x));
}

std::string RightChars(std::string_view text, int n)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ')
        ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ')
        --end;
    if (n <= 0)
        return {};
    // Count characters, not bytes: step back over UTF-8 continuation bytes.
    size_t start = end;
    for (int taken = 0; taken < n && start > begin; ++taken) {
        --start;
        while (start > begin && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80)
            --start;
    }
    return std::string(text.substr(start, end - start));
}

Hsv RGBToHSV(int64_t red, int64_t green, int64_t blue)
{
    const int64_t max = std::max({red, green, blue});
    const int64_t min = std::min({red, green, blue});
    const int64_t delta = max - min;
    // A maximum of 0 or less only arises from out-of-range channels; it counts as grey rather
    // than dividing by it.
    if (delta == 0 || max <= 0)
        return {-10000, 0, max};
    Hsv hsv;
    hsv.value = max;
    hsv.saturation = roundHalfEven(static_cast<double>(delta) / static_cast<double>(max) * 10000.0);
    const double d = static_cast<double>(delta);
    int64_t h;
    if (red == max)
        h = roundHalfEven(static_cast<double>(green - blue) / d * 10000.0);
    else if (green == max)
        h = roundHalfEven((static_cast<double>(blue - red) / d + 2.0) * 10000.0);
    else
        h = roundHalfEven((static_cast<double>(red - green) / d + 4.0) * 10000.0);
    hsv.hue = h * 60;
    if (hsv.hue < 0)
        hsv.hue += 3600000;
    return hsv;
}

namespace {

// a x b / divisor rounded half to even; the product is exact in 128 bits before the division.
int64_t scaledRound(__int128 a, __int128 b, double divisor)
{
    return roundHalfEven(static_cast<double>(a * b) / divisor);
}

}  // namespace

Rgb64 HSVToRGB(int64_t hue, int64_t saturation, int64_t value)
{
    if (saturation == 0)
        return {value, value, value};
    const int64_t hs = roundHalfEven(static_cast<double>(hue) / 60.0);
    int64_t i = hs / 10000;
    if (hs % 10000 < 0)
        --i;  // toward minus infinity
    const int64_t f = hs - i * 10000;
    const __int128 s = saturation;
    const int64_t p = scaledRound(10000 - s, value, 10000.0);
    const int64_t q = scaledRound(100000000 - s * f, value, 100000000.0);
    const int64_t t = scaledRound(100000000 - (10000 - f) * s, value, 100000000.0);
    // A hue of a full turn (never produced by RGBToHSV) counts as 0.
    switch (((i % 6) + 6) % 6) {
        case 0: return {value, t, p};
        case 1: return {q, value, p};
        case 2: return {p, value, t};
        case 3: return {p, q, value};
        case 4: return {t, p, value};
        default: return {value, p, q};
    }
}

std::pair<std::string, int> UniqueNumberedName(const std::string& path)
{
    namespace fs = std::filesystem;
    const std::string extension = fs::path(path).extension().string();
    const std::string base = path.substr(0, path.size() - extension.size());
    for (int k = 0;; ++k) {
        std::string name = base + "(" + std::to_string(k) + ")" + extension;
        std::error_code ec;
        const fs::file_status status = fs::symlink_status(name, ec);
        // An unreadable folder counts as free, so that the search always ends.
        if (status.type() == fs::file_type::not_found || status.type() == fs::file_type::none)
            return {name, k};
    }
}

void invertRows(Raster& picture, int first, int last)
{
    // 32 bytes at a time; the row padding is left alone.
    const size_t bytes = static_cast<size_t>(picture.width()) * 3;
    for (int y = first; y < last; ++y) {
        uint8_t* r = picture.row(y);
        size_t i = 0;
        for (; i + 32 <= bytes; i += 32) {
            uint64_t v[4];
            std::memcpy(v, r + i, sizeof v);
            for (uint64_t& word : v)
                word = ~word;
            std::memcpy(r + i, v, sizeof v);
        }
        for (; i < bytes; ++i)
            r[i] = static_cast<uint8_t>(~r[i]);
    }
}

void invertPixels(Raster& picture)
{
    const int h = picture.height();
    forEachBand(h, bandsFor(h, static_cast<size_t>(picture.width()) * 3),
                [&](int first, int last) { invertRows(picture, first, last); });
}

}  // namespace lumavex
