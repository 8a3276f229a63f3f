#pragma once

#include "core/raster.h"

namespace lumavex {

/// Shifts the hue by degrees and scales saturation and value by (100 + percent) / 100, clamped
/// to their range, in the HSV model; results round to the nearest byte.
void AdjustHsv(Raster& picture, int hueDegrees, int saturationPercent, int valuePercent);
/// Shifts the hue by degrees and scales saturation by (100 + percent) / 100 in the HSL model;
/// a positive lightness percent moves the lightness that far toward white, a negative one
/// toward black. Results round to the nearest byte.
void AdjustHsl(Raster& picture, int hueDegrees, int saturationPercent, int lightnessPercent);
/// Adds an offset to each channel, clamped to 0..255.
void AdjustRgb(Raster& picture, int red, int green, int blue);
/// Histogram equalisation of each channel: value v becomes
/// round(255 (cdf(v) - cdf(min)) / (pixels - cdf(min))); a channel of one value is kept.
void Equalize(Raster& picture);

/// What the colour-adjust dialog sets: each step with its neutral value is skipped.
struct ColorAdjustSettings {
    int contrast = 0;
    int hsvHue = 0, hsvSaturation = 0, hsvValue = 0;
    int hslHue = 0, hslSaturation = 0, hslLightness = 0;
    int red = 0, green = 0, blue = 0;
    bool equalize = false;
    int kernel[9] = {0, 0, 0, 0, 1, 0, 0, 0, 0};
    int divisor = 1;
    int bias = 0;
};

/// The adjustment pages of the colour-adjust dialog, as bits (1 means every page).
enum AdjustPage : int {
    kAllPages = 1,
    kContrastPage = 2,
    kHsvPage = 4,
    kHslPage = 8,
    kRgbPage = 16,
    kUserFilterPage = 32,
    kEqualizationPage = 64,
};

/// Applies the settings of the pages in the page set, in the order contrast, HSV, HSL, RGB,
/// equalisation, user filter. Throws Error(BadArgument) for a divisor below 1.
void ApplyColorAdjustments(Raster& picture, const ColorAdjustSettings& settings, int pageSet);

}  // namespace lumavex
