#include "color_adjust.h"

#include <algorithm>
#include <cmath>

#include "effects/filters.h"

namespace lumavex {

namespace {

uint8_t toByte(double unit)
{
    return static_cast<uint8_t>(std::lround(std::clamp(unit, 0.0, 1.0) * 255.0));
}

// Hue in [0, 6) from a shift in degrees.
double shiftedHue(double hue, int degrees)
{
    hue += degrees / 60.0;
    hue = std::fmod(hue, 6.0);
    return hue < 0 ? hue + 6.0 : hue;
}

// Hue in [0, 6) of r, g, b with maximum and minimum given; 0 for grey.
double hueOf(double r, double g, double b, double max, double min)
{
    const double d = max - min;
    if (d <= 0)
        return 0;
    double h = max == r ? (g - b) / d : max == g ? 2.0 + (b - r) / d : 4.0 + (r - g) / d;
    return h < 0 ? h + 6.0 : h;
}

// r, g, b of a hue in [0, 6) with chroma c and the smallest channel m.
void fromHue(double h, double c, double m, uint8_t* bgr)
{
    const double x = c * (1.0 - std::fabs(std::fmod(h, 2.0) - 1.0));
    double r = 0, g = 0, b = 0;
    switch (static_cast<int>(h)) {
        case 0: r = c, g = x; break;
        case 1: r = x, g = c; break;
        case 2: g = c, b = x; break;
        case 3: g = x, b = c; break;
        case 4: r = x, b = c; break;
        default: r = c, b = x; break;
    }
    bgr[0] = toByte(b + m);
    bgr[1] = toByte(g + m);
    bgr[2] = toByte(r + m);
}

template <typename PixelStep>
void eachPixel(Raster& picture, PixelStep step)
{
    const int w = picture.width();
    for (int y = 0; y < picture.height(); ++y) {
        uint8_t* p = picture.row(y);
        for (int x = 0; x < w; ++x, p += 3)
            step(p);
    }
}

void applyTables(Raster& picture, const uint8_t (&table)[3][256])
{
    eachPixel(picture, [&](uint8_t* p) {
        p[0] = table[0][p[0]];
        p[1] = table[1][p[1]];
        p[2] = table[2][p[2]];
    });
}

}  // namespace

void AdjustHsv(Raster& picture, int hueDegrees, int saturationPercent, int valuePercent)
{
    const double sScale = (100.0 + saturationPercent) / 100.0;
    const double vScale = (100.0 + valuePercent) / 100.0;
    eachPixel(picture, [&](uint8_t* p) {
        const double b = p[0] / 255.0, g = p[1] / 255.0, r = p[2] / 255.0;
        const double max = std::max({r, g, b}), min = std::min({r, g, b});
        const double h = shiftedHue(hueOf(r, g, b, max, min), hueDegrees);
        const double s = std::clamp(max > 0 ? (max - min) / max * sScale : 0.0, 0.0, 1.0);
        const double v = std::clamp(max * vScale, 0.0, 1.0);
        fromHue(h, v * s, v - v * s, p);
    });
}

void AdjustHsl(Raster& picture, int hueDegrees, int saturationPercent, int lightnessPercent)
{
    const double sScale = (100.0 + saturationPercent) / 100.0;
    const double toward = lightnessPercent / 100.0;
    eachPixel(picture, [&](uint8_t* p) {
        const double b = p[0] / 255.0, g = p[1] / 255.0, r = p[2] / 255.0;
        const double max = std::max({r, g, b}), min = std::min({r, g, b});
        const double h = shiftedHue(hueOf(r, g, b, max, min), hueDegrees);
        double l = (max + min) / 2.0;
        const double d = max - min;
        double s = d > 0 ? d / (1.0 - std::fabs(2.0 * l - 1.0)) : 0.0;
        s = std::clamp(s * sScale, 0.0, 1.0);
        l = toward >= 0 ? l + (1.0 - l) * toward : l * (1.0 + toward);
        const double c = (1.0 - std::fabs(2.0 * l - 1.0)) * s;
        fromHue(h, c, l - c / 2.0, p);
    });
}

void AdjustRgb(Raster& picture, int red, int green, int blue)
{
    uint8_t table[3][256];
    const int offset[3] = {blue, green, red};
    for (int c = 0; c < 3; ++c)
        for (int v = 0; v < 256; ++v)
            table[c][v] = static_cast<uint8_t>(std::clamp(v + offset[c], 0, 255));
    applyTables(picture, table);
}

void Equalize(Raster& picture)
{
    if (picture.empty())
        return;
    uint64_t histogram[3][256] = {};
    eachPixel(picture, [&](uint8_t* p) {
        ++histogram[0][p[0]];
        ++histogram[1][p[1]];
        ++histogram[2][p[2]];
    });
    const uint64_t count = static_cast<uint64_t>(picture.width()) * picture.height();
    uint8_t table[3][256];
    for (int c = 0; c < 3; ++c) {
        uint64_t first = 0;
        for (int v = 0; v < 256 && first == 0; ++v)
            first = histogram[c][v];
        uint64_t cdf = 0;
        for (int v = 0; v < 256; ++v) {
            cdf += histogram[c][v];
            if (count == first) {
                table[c][v] = static_cast<uint8_t>(v);
            } else {
                const uint64_t above = cdf > first ? cdf - first : 0;
                table[c][v] =
                    static_cast<uint8_t>((above * 510 + (count - first)) / (2 * (count - first)));
            }
        }
    }
    applyTables(picture, table);
}

void ApplyColorAdjustments(Raster& picture, const ColorAdjustSettings& s, int pageSet)
{
    auto shown = [&](int page) { return (pageSet & kAllPages) != 0 || (pageSet & page) != 0; };
    if (shown(kContrastPage) && s.contrast != 0)
        Contrast(picture, s.contrast);
    if (shown(kHsvPage) && (s.hsvHue != 0 || s.hsvSaturation != 0 || s.hsvValue != 0))
        AdjustHsv(picture, s.hsvHue, s.hsvSaturation, s.hsvValue);
    if (shown(kHslPage) && (s.hslHue != 0 || s.hslSaturation != 0 || s.hslLightness != 0))
        AdjustHsl(picture, s.hslHue, s.hslSaturation, s.hslLightness);
    if (shown(kRgbPage) && (s.red != 0 || s.green != 0 || s.blue != 0))
        AdjustRgb(picture, s.red, s.green, s.blue);
    if (shown(kEqualizationPage) && s.equalize)
        Equalize(picture);
    if (shown(kUserFilterPage)) {
        const ColorAdjustSettings neutral;
        if (!std::equal(s.kernel, s.kernel + 9, neutral.kernel) || s.divisor != 1 || s.bias != 0)
            Convolve3x3(picture, s.kernel, s.divisor, s.bias);
    }
}

}  // namespace lumavex
