#include "bridge/qt_text_renderer.h"

#include <set>

#include <gtest/gtest.h>

#include "effects/text.h"
#include "support/test_pictures.h"

namespace lumavex {
namespace {

constexpr Color kBlue = makeColor(0, 0, 255);
constexpr Color kRed = makeColor(255, 0, 0);
constexpr Color kGreen = makeColor(0, 255, 0);

const char* const kJapanese = "日本語のテキスト";

using test::colours;

// The bounding box of the pixels that differ from a background colour, and their count.
struct Ink {
    Rect box{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    int count = 0;
};

Ink inkOf(const Raster& r, Color background)
{
    Ink ink;
    for (int y = 0; y < r.height(); ++y)
        for (int x = 0; x < r.width(); ++x)
            if (r.pixel(x, y) != background) {
                ++ink.count;
                ink.box = {std::min(ink.box.left, x), std::min(ink.box.top, y),
                           std::max(ink.box.right, x + 1), std::max(ink.box.bottom, y + 1)};
            }
    return ink;
}

TEST(QtTextRenderer, TheDialogFontResolvesToIpaPGothic)
{
    EXPECT_EQ(QtTextRenderer::resolvedFamily(Font{}), QStringLiteral("IPAPGothic"));
}

TEST(QtTextRenderer, DrawsOnlyInTheTextColourWithoutAntialiasing)
{
    QtTextRenderer renderer;
    Raster picture(200, 40, kBlue);
    renderer.drawText(picture, 4, 4, "Lumavex テキスト", Font{}, kRed);
    EXPECT_EQ(colours(picture), (std::set<Color>{kBlue, kRed}));
    EXPECT_GT(inkOf(picture, kBlue).count, 40);

    QtTextRenderer smooth(true);
    Raster soft(200, 40, kBlue);
    Font big;
    big.pixelSize = 24;
    smooth.drawText(soft, 4, 4, "Lumavex", big, kRed);
    EXPECT_GT(colours(soft).size(), 2u);
}

TEST(QtTextRenderer, TheLineBoxStartsAtTheGivenTopLeft)
{
    QtTextRenderer renderer;
    const Font font;
    const TextExtent xx = renderer.measure("XX", font);
    EXPECT_GT(xx.width, 0);
    EXPECT_GE(xx.height, font.pixelSize);
    Raster at0(60, 40);
    renderer.drawText(at0, 0, 0, "XX", font, kBlack);
    const Ink ink = inkOf(at0, kWhite);
    ASSERT_GT(ink.count, 0);
    EXPECT_GE(ink.box.left, 0);
    EXPECT_GE(ink.box.top, 0);
    EXPECT_LE(ink.box.right, xx.width);
    EXPECT_LE(ink.box.bottom, xx.height);
    // Whole-pixel advances: widths add up character by character.
    EXPECT_EQ(renderer.textWidth("XXXXXXX", font), 7 * renderer.textWidth("X", font));
    EXPECT_EQ(renderer.textWidth("テキストtext", font),
              renderer.textWidth("テキスト", font) + renderer.textWidth("text", font));

    // Moved by (7, 5), the same pixels move by (7, 5).
    Raster moved(60, 40);
    renderer.drawText(moved, 7, 5, "XX", font, kBlack);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x) {
            const Color expected = x >= 7 && y >= 5 ? at0.pixel(x - 7, y - 5) : kWhite;
            ASSERT_EQ(moved.pixel(x, y), expected) << x << "," << y;
        }
}

TEST(QtTextRenderer, JapaneseDrawsRealGlyphs)
{
    QtTextRenderer renderer;
    const Font font;
    EXPECT_GT(renderer.textWidth("日本", font), renderer.textWidth("日", font));
    // Missing glyphs would all be the same box.
    Raster sun(20, 20);
    Raster book(20, 20);
    renderer.drawText(sun, 2, 2, "日", font, kBlack);
    renderer.drawText(book, 2, 2, "本", font, kBlack);
    EXPECT_GT(inkOf(sun, kWhite).count, 10);
    EXPECT_FALSE(sun.samePixels(book));
}

TEST(QtTextRenderer, StylesChangeTheShapes)
{
    QtTextRenderer renderer;
    Font plain;
    plain.pixelSize = 20;
    Raster regular(120, 40);
    renderer.drawText(regular, 2, 2, "Lumavex", plain, kBlack);
    Font bold = plain;
    bold.bold = true;
    Raster heavy(120, 40);
    renderer.drawText(heavy, 2, 2, "Lumavex", bold, kBlack);
    EXPECT_GT(inkOf(heavy, kWhite).count, inkOf(regular, kWhite).count);
    Font underlined = plain;
    underlined.underline = true;
    Raster lined(120, 40);
    renderer.drawText(lined, 2, 2, "Lumavex", underlined, kBlack);
    EXPECT_GT(inkOf(lined, kWhite).box.width(), inkOf(regular, kWhite).box.width() - 1);
    EXPECT_GT(inkOf(lined, kWhite).count, inkOf(regular, kWhite).count);
}

TEST(QtTextRenderer, ClipsAtTheEdgesAndKeepsTheRowPadding)
{
    QtTextRenderer renderer;
    Raster picture(13, 9, kBlack);  // 39 bytes a row, one byte of padding
    for (auto [x, y] : {std::pair{-5, -6}, {8, 3}, {-20, 4}, {12, 8}})
        renderer.drawText(picture, x, y, "WM日本", Font{}, kWhite);
    EXPECT_GT(inkOf(picture, kBlack).count, 0);
    for (int y = 0; y < picture.height(); ++y)
        EXPECT_EQ(picture.row(y)[39], 0) << y;
    Raster empty;
    renderer.drawText(empty, 0, 0, "A", Font{}, kWhite);
    EXPECT_TRUE(empty.empty());
}

TEST(QtTextRenderer, MeasuresTheLargestFontAndBrokenUtf8Sanely)
{
    QtTextRenderer renderer;
    Font huge;
    huge.pixelSize = kMaxFontPixelSize;
    const TextExtent xx = renderer.measure("XX", huge);
    EXPECT_GE(xx.height, kMaxFontPixelSize);
    EXPECT_GT(xx.width, kMaxFontPixelSize);
    // A broken sequence draws as a replacement character instead of vanishing.
    const Font font;
    EXPECT_GT(renderer.textWidth("ab\xff", font), renderer.textWidth("ab", font));
    Raster picture(40, 20);
    renderer.drawText(picture, 0, 0, "\xe6\x97", font, kBlack);
    EXPECT_EQ(renderer.textWidth("", font), 0);
}

TEST(DrawTextLinesWithFonts, GrowsByTheMeasuredExtents)
{
    QtTextRenderer renderer;
    const Font font;
    const std::vector<std::string> lines = {kJapanese, "Lumavex"};
    const int wide =
        std::max(renderer.textWidth(kJapanese, font), renderer.textWidth("Lumavex", font));
    const int lineHeight = renderer.textHeight("XX", font);

    Raster fits(10 + wide, 10 + 2 * lineHeight);
    DrawTextLines(fits, kBlack, font, lines, 10, 10, kGreen, renderer);
    EXPECT_EQ(fits.width(), 10 + wide);
    EXPECT_EQ(fits.height(), 10 + 2 * lineHeight);
    EXPECT_EQ(colours(fits), (std::set<Color>{kWhite, kBlack}));

    // One pixel short each way: R + 10 and B + 10, the new strips in the background colour.
    Raster small(9 + wide, 9 + 2 * lineHeight);
    DrawTextLines(small, kBlack, font, lines, 10, 10, kGreen, renderer);
    ASSERT_EQ(small.width(), 20 + wide);
    ASSERT_EQ(small.height(), 20 + 2 * lineHeight);
    for (int y = 0; y < small.height(); ++y)
        for (int x = small.width() - 10; x < small.width(); ++x)
            ASSERT_EQ(small.pixel(x, y), kGreen) << x << "," << y;
    for (int y = small.height() - 10; y < small.height(); ++y)
        for (int x = 0; x < small.width(); ++x)
            ASSERT_EQ(small.pixel(x, y), kGreen) << x << "," << y;

    // The second line starts one "XX" height below the first.
    const Ink ink = inkOf(fits, kWhite);
    EXPECT_GE(ink.box.top, 10);
    EXPECT_LE(ink.box.bottom, 10 + 2 * lineHeight);
    Raster second(fits.width(), fits.height());
    renderer.drawText(second, 10, 10 + lineHeight, "Lumavex", font, kBlack);
    for (int y = 10 + lineHeight; y < second.height(); ++y)
        for (int x = 0; x < second.width(); ++x)
            ASSERT_EQ(fits.pixel(x, y), second.pixel(x, y)) << x << "," << y;
}

TEST(DrawTextLinesWithFonts, BevelUsesExactlyFourColours)
{
    QtTextRenderer renderer;
    Raster picture(120, 40);
    Font red;
    red.color = kRed;
    const TextSettings s{
        .lines = {"Lumavex 文字"}, .font = red, .bevel = true, .topLeft = "2", .bottomRight = "3"};
    DrawBevelText(picture, s, renderer);
    EXPECT_EQ(colours(picture),
              (std::set<Color>{kWhite, kRed, makeColor(255, 128, 128), makeColor(204, 0, 0)}));
}

TEST(DrawTextLinesWithFonts, TextTextureKeepsThePictureInsideTheLetters)
{
    QtTextRenderer renderer;
    const Raster before = test::makeGradient(120, 40);
    Raster picture = before;
    TextSettings s;
    s.lines = {"Lumavex 文字"};
    s.font.pixelSize = 24;
    s.x = 4;
    s.y = 4;
    TextTexture(picture, s, renderer);
    Raster mask(120, 40);
    renderer.drawText(mask, 4, 4, s.lines[0], s.font, kBlack);
    int inside = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 120; ++x) {
            const bool letter = mask.pixel(x, y) == kBlack;
            inside += letter;
            ASSERT_EQ(picture.pixel(x, y), letter ? before.pixel(x, y) : kWhite) << x << "," << y;
        }
    EXPECT_GT(inside, 50);
}

}  // namespace
}  // namespace lumavex
