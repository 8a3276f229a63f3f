#include "text.h"

#include <algorithm>
#include <limits>

#include "core/color.h"
#include "core/convert.h"
#include "core/error.h"
#include "effects/filters.h"

namespace lumavex {

namespace {

// The classic default Windows colour scheme, by system colour index (COLOR_SCROLLBAR = 0 ...
// COLOR_MENUBAR = 30).
constexpr Color kSystemColors[] = {
    makeColor(192, 192, 192),  // scroll bar
    makeColor(0, 128, 128),    // desktop
    makeColor(0, 0, 128),      // active caption
    makeColor(128, 128, 128),  // inactive caption
    makeColor(192, 192, 192),  // menu
    makeColor(255, 255, 255),  // window
    makeColor(0, 0, 0),        // window frame
    makeColor(0, 0, 0),        // menu text
    makeColor(0, 0, 0),        // window text
    makeColor(255, 255, 255),  // caption text
    makeColor(192, 192, 192),  // active border
    makeColor(192, 192, 192),  // inactive border
    makeColor(128, 128, 128),  // application workspace
    makeColor(0, 0, 128),      // highlight
    makeColor(255, 255, 255),  // highlighted text
    makeColor(192, 192, 192),  // button face
    makeColor(128, 128, 128),  // button shadow
    makeColor(128, 128, 128),  // grey text
    makeColor(0, 0, 0),        // button text
    makeColor(192, 192, 192),  // inactive caption text
    makeColor(255, 255, 255),  // button highlight
    makeColor(0, 0, 0),        // 3-D dark shadow
    makeColor(192, 192, 192),  // 3-D light
    makeColor(0, 0, 0),        // tool tip text
    makeColor(255, 255, 225),  // tool tip background
    makeColor(181, 181, 181),  // alternate button face
    makeColor(0, 0, 128),      // hot tracking
    makeColor(16, 132, 208),   // active caption gradient
    makeColor(181, 181, 181),  // inactive caption gradient
    makeColor(0, 0, 128),      // menu highlight
    makeColor(192, 192, 192),  // menu bar
};

void checkFont(const Font& font)
{
    if (font.pixelSize < 1 || font.pixelSize > kMaxFontPixelSize)
        throw Error(ErrorKind::BadArgument,
                    "文字の大きさは 1 から " + std::to_string(kMaxFontPixelSize) +
                        " ピクセルまでです: " + std::to_string(font.pixelSize));
}

// The lines of one drawing with their measures, taken once for all the copies of a bevel.
struct TextBlock {
    const std::vector<std::string>& lines;
    const Font& font;
    std::vector<int64_t> widths;
    int64_t widest = 0;
    int64_t lineHeight = 0;
    // How far glyphs may reach beyond their line's box (accents, italics, tails).
    int64_t margin = 0;

    TextBlock(const std::vector<std::string>& text, const Font& f, TextRenderer& renderer)
        : lines(text), font(f)
    {
        checkFont(font);
        widths.reserve(lines.size());
        for (const auto& line : lines) {
            widths.push_back(renderer.textWidth(line, font));
            widest = std::max(widest, widths.back());
        }
        lineHeight = renderer.textHeight("XX", font);
        margin = 2 * std::max<int64_t>(lineHeight, font.pixelSize);
    }

    int64_t count() const { return static_cast<int64_t>(lines.size()); }
    // R: the largest right end of a line drawn at x, starting from 0.
    int64_t right(int64_t x) const { return lines.empty() ? 0 : std::max<int64_t>(0, x + widest); }
    // B: the bottom of the text drawn at y.
    int64_t bottom(int64_t y) const { return y + lineHeight * count(); }
    // Whether glyphs of the text drawn at (x, y) can reach a width x height picture.
    bool reaches(int64_t x, int64_t y, int64_t width, int64_t height) const
    {
        return !lines.empty() && x + widest + margin > 0 && bottom(y) + margin > 0 &&
               x - margin < width && y - margin < height;
    }
};

// The size a width x height picture takes for text drawn at (x, y).
void grownSize(const TextBlock& block, int64_t x, int64_t y, int64_t& width, int64_t& height)
{
    const int64_t r = block.right(x);
    const int64_t b = block.bottom(y);
    if (width < r)
        width = r + 10;
    if (height < b)
        height = b + 10;
}

bool fitsInt(int64_t v)
{
    return v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max();
}

// One DrawTextLines call on measured lines, positions in 64 bits so that bevel offsets never
// overflow.
void drawBlock(Raster& picture, const TextBlock& block, Color colour, int64_t x, int64_t y,
               Color bgColor, TextRenderer& renderer)
{
    int64_t width = picture.width();
    int64_t height = picture.height();
    grownSize(block, x, y, width, height);
    checkRasterSize(width, height);

    picture.setBrushStyle(BrushStyle::Clear);
    picture.setFont(block.font);
    picture.font().color = colour;
    const int64_t r = block.right(x);
    const int64_t b = block.bottom(y);
    // Under the clear brush the added columns come out black; the fill paints them, and any
    // black area of the old picture joined to them, with the background colour.
    if (picture.width() < r) {
        picture.setWidth(static_cast<int>(r + 10));
        picture.setBrushColor(bgColor);
        picture.floodFill(static_cast<int>(r - 1), 0, kBlack);
    }
    // When the width grew too, the brush is solid already and the rows come out in bgColor.
    if (picture.height() < b) {
        picture.setHeight(static_cast<int>(b + 10));
        picture.setBrushColor(bgColor);
        picture.floodFill(0, static_cast<int>(b - 1), kBlack);
    }
    for (int64_t i = 0; i < block.count(); ++i) {
        picture.setBrushStyle(BrushStyle::Clear);
        const int64_t top = y + i * block.lineHeight;
        const int64_t w = picture.width();
        const int64_t h = picture.height();
        if (x + block.widths[i] + block.margin <= 0 || x - block.margin >= w ||
            top + block.lineHeight + block.margin <= 0 || top - block.margin >= h || !fitsInt(x) ||
            !fitsInt(top))
            continue;  // no glyph of this line can reach the picture
        textOut(picture, renderer, static_cast<int>(x), static_cast<int>(top), block.lines[i]);
    }
}

// The first k >= 1 from which a dark copy at (x + k, y + k) can change the picture: either its
// glyphs reach it or it makes it grow. Copies before it lie wholly above or left of the picture
// and draw nothing.
int64_t firstEffectiveDarkCopy(const TextBlock& block, int64_t x, int64_t y, int64_t width,
                               int64_t height)
{
    // Growth: R > width from k = width - x - widest + 1, B > height from height - B(y) + 1.
    int64_t first = height - block.bottom(y) + 1;
    if (!block.lines.empty()) {
        first = std::min(first, width - x - block.widest + 1);
        const int64_t reachX = -(x + block.widest + block.margin) + 1;
        const int64_t reachY = -(block.bottom(y) + block.margin) + 1;
        first = std::min(first, std::max(reachX, reachY));
    }
    return std::max<int64_t>(first, 1);
}

Color bevelColor(Color colour, bool light)
{
    const Rgb rgb = SplitColor(colorToRgb(colour));
    Hsv hsv =
        RGBToHSV(int64_t{rgb.red} * 10000, int64_t{rgb.green} * 10000, int64_t{rgb.blue} * 10000);
    if (light)
        hsv.saturation = roundHalfEven(static_cast<double>(hsv.saturation) * 0.5);
    else
        hsv.value = roundHalfEven(static_cast<double>(hsv.value) * 0.8);
    const Rgb64 out = HSVToRGB(hsv.hue, hsv.saturation, hsv.value);
    return makeColor(RoundHalfAway(static_cast<double>(out.red) / 10000.0),
                     RoundHalfAway(static_cast<double>(out.green) / 10000.0),
                     RoundHalfAway(static_cast<double>(out.blue) / 10000.0));
}

}  // namespace

Color colorToRgb(Color value)
{
    if ((value >> 24) == 0x80) {
        const uint32_t index = value & 0xFF;
        return index < std::size(kSystemColors) ? kSystemColors[index] : kBlack;
    }
    return value & 0x00FFFFFF;
}

void textOut(Raster& picture, TextRenderer& renderer, int x, int y, std::string_view text)
{
    if (picture.empty())
        return;
    const Font& font = picture.font();
    checkFont(font);
    if (picture.brushStyle() == BrushStyle::Solid) {
        const TextExtent extent = renderer.measure(text, font);
        const auto clampInt = [](int64_t v) {
            return static_cast<int>(std::clamp<int64_t>(v, std::numeric_limits<int>::min(),
                                                        std::numeric_limits<int>::max()));
        };
        picture.fillRect(
            {x, y, clampInt(int64_t{x} + extent.width), clampInt(int64_t{y} + extent.height)});
    }
    renderer.drawText(picture, x, y, text, font, colorToRgb(font.color));
}

void DrawTextLines(Raster& picture, Color colour, const Font& font,
                   const std::vector<std::string>& lines, int x, int y, Color bgColor,
                   TextRenderer& renderer)
{
    const TextBlock block(lines, font, renderer);
    drawBlock(picture, block, colour, x, y, bgColor, renderer);
}

Color bevelLightColor(Color colour)
{
    return bevelColor(colour, true);
}

Color bevelDarkColor(Color colour)
{
    return bevelColor(colour, false);
}

void DrawBevelText(Raster& picture, const TextSettings& settings, TextRenderer& renderer)
{
    const TextBlock block(settings.lines, settings.font, renderer);
    const int64_t x = settings.x;
    const int64_t y = settings.y;
    const Color colour = settings.font.color;
    if (settings.bevel) {
        const int32_t n1 = StrToInt(settings.topLeft);
        const Color light = bevelLightColor(colour);
        for (int64_t k = 1; k <= n1; ++k) {
            // The light copies move up and to the left: only the first can make the picture
            // grow, and once one lies wholly outside, so do all that follow.
            if (k > 1 && !block.reaches(x - k, y - k, picture.width(), picture.height()))
                break;
            drawBlock(picture, block, light, x - k, y - k, settings.bgColor, renderer);
        }

        const int32_t n2 = StrToInt(settings.bottomRight);
        const Color dark = bevelDarkColor(colour);
        const int64_t first =
            firstEffectiveDarkCopy(block, x, y, picture.width(), picture.height());
        // Every dark copy from the first effective one either draws or grows the picture, so a
        // count that would grow it past the limit is refused before any of them is drawn.
        int64_t width = picture.width();
        int64_t height = picture.height();
        for (int64_t k = first; k <= n2; ++k) {
            grownSize(block, x + k, y + k, width, height);
            checkRasterSize(width, height);
        }
        for (int64_t k = first; k <= n2; ++k)
            drawBlock(picture, block, dark, x + k, y + k, settings.bgColor, renderer);
    }
    drawBlock(picture, block, colour, x, y, settings.bgColor, renderer);
}

void OutlinePass(Raster& picture)
{
    BoxFilter3x3(picture, 8);
    Contrast(picture, 15);
}

void TextOut(Raster& picture, const TextSettings& settings, TextRenderer& renderer)
{
    DrawBevelText(picture, settings, renderer);
    if (settings.outline)
        OutlinePass(picture);
}

void TextTexture(Raster& picture, const TextSettings& settings, TextRenderer& renderer)
{
    Raster mask(picture.width(), picture.height(), kWhite);
    DrawTextLines(mask, settings.font.color, settings.font, settings.lines, settings.x, settings.y,
                  settings.bgColor, renderer);
    if (settings.outline)
        OutlinePass(mask);
    picture.setBrushColor(kWhite);
    picture.setSize(mask.width(), mask.height());
    picture.setCopyMode(CopyMode::SrcPaint);
    picture.copyRect(mask.bounds(), mask, mask.bounds());
}

}  // namespace lumavex
