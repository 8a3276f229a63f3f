#pragma once
// Straightforward transcriptions of the effects, pixel by pixel and step by step, with the
// whole-picture inversions, separate copies and temporary rasters, for the fast versions to be
// held to.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/color.h"
#include "core/progress.h"
#include "core/raster.h"
#include "support/negative_pass.h"

namespace lumavex::reference {

inline Color colourOf(int64_t red, int64_t green, int64_t blue)
{
    return static_cast<Color>(red + 256 * green + 65536 * blue);
}

inline void copyRows(Raster& to, const Raster& from)
{
    for (int y = 0; y < from.height(); ++y)
        std::memcpy(to.row(y), from.row(y), static_cast<size_t>(from.width()) * 3);
}

inline void AddShadow(Raster& p, Color c, int n)
{
    int64_t blue = (c >> 16) & 0xFF;
    if (blue == 0)
        blue = 1;
    const int64_t green = (c >> 8) & 0xFF;
    const int64_t red = c & 0xFF;
    const int64_t sB = (255 - blue) / n, sG = (255 - green) / n, sR = (255 - red) / n;
    auto shade = [&](int64_t k) { return colourOf(red + sR * k, green + sG * k, blue + sB * k); };
    auto lighter = [](Color a, Color b) {
        return static_cast<int32_t>(a) > static_cast<int32_t>(b) ? a : b;
    };
    const int w = p.width(), h = p.height();
    int64_t topFade = n, bottomStep = 0;
    bool topSeen = false, bottomSeen = false;
    for (int y = 1; y <= h; ++y) {
        int64_t rightStep = 0, cornerStep = 0, leftFade = n;
        if (topSeen)
            --topFade;
        if (bottomSeen)
            ++bottomStep;
        for (int x = 1; x <= w; ++x) {
            Color rowShade = 0;
            if (n < y && y < 2 * n && x >= w - n) {
                topSeen = true;
                rowShade = shade(topFade);
                p.setPixel(x, y, lighter(rowShade, shade(rightStep)));
                ++rightStep;
            }
            if (2 * n <= y && y < h - n && x >= w - n) {
                p.setPixel(x, y, shade(rightStep));
                ++rightStep;
            }
            if (y >= h - n) {
                if (n <= x && x < w) {
                    bottomSeen = true;
                    rowShade = shade(bottomStep);
                    p.setPixel(x, y, rowShade);
                }
                if (w - n <= x && x < w) {
                    p.setPixel(x, y, lighter(rowShade, shade(cornerStep)));
                    ++cornerStep;
                }
                if (n <= x && x < 2 * n) {
                    p.setPixel(x, y, lighter(rowShade, shade(leftFade)));
                    --leftFade;
                }
            }
        }
    }
}

// Mixes the three bytes of a pixel towards the colour's channels with weight m.
inline void mixPixel(uint8_t* px, const Rgb& c, int32_t m)
{
    px[2] = static_cast<uint8_t>(MixChannel(px[2], c.red, m));
    px[1] = static_cast<uint8_t>(MixChannel(px[1], c.green, m));
    px[0] = static_cast<uint8_t>(MixChannel(px[0], c.blue, m));
}

inline void FlameBlur(Raster& p, Color colour, int n, ProgressSink* progress = nullptr)
{
    const int h = p.height(), w = p.width();
    RowProgress rows(progress, h);
    test::NegativePass(p, [&](Raster& q) {
        const Rgb c = SplitColor(InvertColor(colour));
        const int32_t w1 = RoundHalfAway(100.0 / n * 10);
        int topRows = 0, bottomRows = 0;
        bool topSeen = false, bottomSeen = false;
        for (int y = 0; y < h; ++y) {
            uint8_t* row = q.row(y);
            rows.row();
            int leftCount = 0, rightCount = 0;
            if (topSeen)
                ++topRows;
            if (bottomSeen)
                ++bottomRows;
            for (int x = 0; x < w; ++x) {
                uint8_t* px = row + 3 * x;
                if (y < n) {
                    topSeen = true;
                    mixPixel(px, c, w1 * topRows);
                }
                if (h - n < y && y < h) {
                    bottomSeen = true;
                    mixPixel(px, c, w1 * (n - bottomRows));
                }
                if (x < n) {
                    ++leftCount;
                    mixPixel(px, c, w1 * leftCount);
                }
                if (w - n < x && x < w) {
                    ++rightCount;
                    mixPixel(px, c, w1 * (n - rightCount));
                }
            }
        }
    });
    rows.finish();
}

inline void CircleBlur(Raster& p, Color colour, int n, ProgressSink* progress = nullptr)
{
    const int h = p.height(), w = p.width();
    RowProgress rows(progress, h);
    test::NegativePass(p, [&](Raster& q) {
        const Rgb c = SplitColor(InvertColor(colour));
        const int64_t cx = w / 2, cy = h / 2, radius = std::min(w, h) / 2;
        Raster d(q);
        const int32_t w1 = RoundHalfAway(100.0 / n * 10);
        for (int y = 0; y < h; ++y) {
            uint8_t* row = d.row(y);
            rows.row();
            for (int x = 0; x < w; ++x) {
                const int64_t squares = (cx - x) * (cx - x) + (cy - y) * (cy - y);
                const int64_t dist = roundHalfEven(std::sqrt(static_cast<double>(squares)) * 10000);
                int64_t e = dist - (radius - n) * 10000;
                if (e > int64_t{n} * 10000)
                    e = int64_t{n} * 10000;
                if (e <= 0)
                    continue;
                const int32_t k = RoundHalfAway(static_cast<double>(e) / 10000);
                mixPixel(row + 3 * x, c, w1 * (n - k));
            }
        }
        copyRows(q, d);
    });
    rows.finish();
}

// The new colour of a Panel band pixel.
inline Color panelColour(Color c, int n, double f)
{
    const Hsv hsv =
        RGBToHSV((c & 0xFF) * 10000, ((c >> 8) & 0xFF) * 10000, ((c >> 16) & 0xFF) * 10000);
    const int64_t v = roundHalfEven((100.0 / n) * static_cast<double>(hsv.value) * f / 100);
    const int64_t s = roundHalfEven((100.0 / n) * static_cast<double>(hsv.saturation) * f / 100);
    const Rgb64 rgb = HSVToRGB(hsv.hue, s, v);
    const int64_t red = RoundHalfAway(rgb.red / 10000.0) & 0xFF;
    const int64_t green = RoundHalfAway(rgb.green / 10000.0) & 0xFF;
    const int64_t blue = RoundHalfAway(rgb.blue / 10000.0) & 0xFF;
    return colourOf(red, green, blue);
}

inline void Panel(Raster& p, int level1, int level2, int n)
{
    const int h = p.height(), w = p.width();
    const double half = n / 2.0;
    const double top = half - 2 - level1, bottom = half - 3 + level2;
    const double left = half - 3 - level1, right = half - 4 + level2;
    test::NegativePass(p, [&](Raster& q) {
        Raster d(q);
        for (int i = 0; i < h; ++i)
            for (int j = 0; j < w; ++j) {
                if (0 < i && i < n) {
                    const Color c = panelColour(d.pixel(j, i), n, top);
                    if (i <= j && i <= w - j)
                        d.setPixel(j, i, c);
                }
                if (h - n < i && i < h) {
                    const Color c = panelColour(d.pixel(j, i), n, n - bottom);
                    if (j >= h - i && w - j > h - i)
                        d.setPixel(j, i, c);
                }
                if (0 < j && j < n) {
                    const Color c = panelColour(d.pixel(j, i), n, left);
                    if ((j < i && i <= n) || (i >= h - n && j < h - i) || (n < i && i < h - n))
                        d.setPixel(j, i, c);
                }
                if (w - n < j && j < w) {
                    const Color c = panelColour(d.pixel(j, i), n, n - right);
                    if ((w - j < i && i < n) || (i >= h - n && w - j <= h - i) ||
                        (n <= i && i < h - n))
                        d.setPixel(j, i, c);
                }
            }
        copyRows(q, d);
    });
}

inline void EllipseBlur(Raster& t, Raster& s, Color colour, int n)
{
    const int side = std::max(t.width(), t.height());
    s = Raster(side, side);
    s.setCopyMode(CopyMode::SrcCopy);
    s.stretchDraw({0, 0, side, side}, t);
    reference::CircleBlur(s, colour, n);
    t.setCopyMode(CopyMode::SrcCopy);
    t.stretchDraw({0, 0, t.width(), t.height()}, s);
}

inline void AddShadowSoft(Raster& t, Raster& s, Color shadow, Color background, int n)
{
    const int w = t.width(), h = t.height();
    s = Raster(w, h);
    s.setBrushColor(shadow);
    s.fillRect({0, 0, w, h});
    reference::FlameBlur(s, background, n);
    Raster k(w, h);
    k.setCopyMode(CopyMode::SrcCopy);
    k.copyRect({0, 0, w, h}, t, {0, 0, w, h});
    t.setSize(w + n, h + n);
    t.setBrushColor(background);
    t.fillRect({0, 0, w + 2 * n, h + 2 * n});
    t.setCopyMode(CopyMode::SrcCopy);
    t.copyRect({n, n, w + n, h + n}, s, {0, 0, w, h});
    t.copyRect({0, 0, w, h}, k, {0, 0, w, h});
}

inline uint8_t mergeChannel(int a, int d, int t)
{
    const double v = (static_cast<double>(int64_t{a} * d)) * 0.01 +
                     (static_cast<double>((100 - int64_t{a}) * t)) * 0.01;
    return static_cast<uint8_t>(std::clamp(std::nearbyint(v), 0.0, 255.0));
}

inline void Merge(Raster& d, const Raster& layer, int a)
{
    Raster t(d.width(), d.height());
    if (!layer.empty())
        t.stretchDraw(t.bounds(), layer);
    for (int y = 0; y < d.height(); ++y)
        for (int x = 0; x < d.width() * 3; ++x)
            d.row(y)[x] = mergeChannel(a, d.row(y)[x], t.row(y)[x]);
}

inline Raster MixPaste(const Raster& layer, const Raster& base, Color key, int m, int x, int y)
{
    char hex[32];
    std::snprintf(hex, sizeof hex, "%X", key);
    const std::string digits = RightChars(std::string("00000000") + hex, 6);
    const int kb = std::stoi(digits.substr(0, 2), nullptr, 16);
    const int kg = std::stoi(digits.substr(2, 2), nullptr, 16);
    const int kr = std::stoi(digits.substr(4, 2), nullptr, 16);
    const int w = base.width(), h = base.height();
    Raster o(w + m, h + m);
    o.draw(x, y, layer);
    Raster r(w + m, h + m);
    r.draw(0, 0, base);
    for (int yy = 0; yy < h; ++yy)
        for (int xx = 0; xx < w; ++xx) {
            const Color oc = o.pixel(xx, yy), dc = r.pixel(xx, yy);
            if (oc == kWhite)
                continue;
            if (redOf(oc) == kr && greenOf(oc) == kg && blueOf(oc) == kb) {
                r.setPixel(xx, yy, oc);
                continue;
            }
            const Hsv ho = RGBToHSV(redOf(oc) * 10000, greenOf(oc) * 10000, blueOf(oc) * 10000);
            const Hsv hd = RGBToHSV(redOf(dc) * 10000, greenOf(dc) * 10000, blueOf(dc) * 10000);
            const int64_t v = hd.value > ho.value ? ho.value : hd.value;
            const Rgb64 c = HSVToRGB(hd.hue, hd.saturation, v);
            r.setPixel(xx, yy,
                       colourOf(RoundHalfAway(c.red / 10000.0) & 0xFF,
                                RoundHalfAway(c.green / 10000.0) & 0xFF,
                                RoundHalfAway(c.blue / 10000.0) & 0xFF));
        }
    return r;
}

inline Raster DropShadowMask(const Raster& p, Color shadow, Color background)
{
    Raster m(p.width(), p.height());
    const Rgb bg = SplitColor(background);
    for (int y = 0; y < p.height(); ++y)
        for (int x = 0; x < p.width(); ++x) {
            const Color c = p.pixel(x, y);
            const bool same = redOf(c) == bg.red && greenOf(c) == bg.green && blueOf(c) == bg.blue;
            m.setPixel(x, y, same ? background : shadow);
        }
    return m;
}

inline void BoxBlurPass(Raster& r)
{
    Raster out(r.width(), r.height());
    for (int y = 0; y < r.height(); ++y)
        for (int x = 0; x < r.width(); ++x)
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int sx = std::clamp(x + dx, 0, r.width() - 1);
                        const int sy = std::clamp(y + dy, 0, r.height() - 1);
                        sum += r.row(sy)[3 * sx + c];
                    }
                out.row(y)[3 * x + c] = static_cast<uint8_t>(std::min(255, sum / 9));
            }
    copyRows(r, out);
}

inline Raster DropShadowCompose(const Raster& p, const Raster& b, int x, int y)
{
    Raster s(p);
    Raster r(b.width(), b.height());
    r.copyRect({x, y, x + p.width(), y + p.height()}, b, {0, 0, p.width(), p.height()});
    for (int yy = 0; yy < p.height(); ++yy)
        for (int xx = 0; xx < p.width(); ++xx)
            if (r.contains(xx, yy) && s.pixel(xx, yy) != kWhite)
                r.setPixel(xx, yy, s.pixel(xx, yy));
    return r;
}

inline Raster DropBlurShadow(const Raster& target, const Raster& main, int x, int y, Color shadow,
                             Color background)
{
    Raster m = reference::DropShadowMask(main, shadow, background);
    for (int i = 0; i < 3; ++i)
        reference::BoxBlurPass(m);
    return reference::DropShadowCompose(target, m, x, y);
}

}  // namespace lumavex::reference
