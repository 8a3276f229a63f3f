#include "effects/text.h"

#include <climits>

#include <gtest/gtest.h>

#include "box_text_renderer.h"
#include "core/error.h"
#include "support/test_pictures.h"

namespace lumavex {
namespace {

using test::BoxTextRenderer;
using test::describe;

constexpr Color kGreen = 0x0000FF00;
constexpr Color kRed = 0x000000FF;

// The default font: 12 pixels, so every character advances 6 and its box is 5 x 12.
Font font12(Color colour = kBlack)
{
    Font f;
    f.color = colour;
    return f;
}

// Whether (px, py) lies in the ink of a character box drawn by BoxTextRenderer for a line of
// `count` characters at (x, y) in the 12-pixel font.
bool inBoxes(int px, int py, int x, int y, int count)
{
    if (py < y || py >= y + 12 || px < x || px >= x + 6 * count)
        return false;
    return (px - x) % 6 < 5;
}

TEST(DrawTextLines, TextThatFitsKeepsTheSizeAndDrawsWithAClearBrush)
{
    Raster picture(100, 50);
    BoxTextRenderer renderer;
    DrawTextLines(picture, kRed, font12(), {"ABC", "D"}, 10, 10, kGreen, renderer);
    EXPECT_EQ(picture.width(), 100);
    EXPECT_EQ(picture.height(), 50);
    ASSERT_EQ(renderer.drawn.size(), 2u);
    // Lines one "XX" height (12) apart, all starting at X.
    EXPECT_EQ(renderer.drawn[0], (BoxTextRenderer::Drawn{10, 10, "ABC", kRed}));
    EXPECT_EQ(renderer.drawn[1], (BoxTextRenderer::Drawn{10, 22, "D", kRed}));
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 100; ++x) {
            const bool ink = inBoxes(x, y, 10, 10, 3) || inBoxes(x, y, 10, 22, 1);
            ASSERT_EQ(picture.pixel(x, y), ink ? kRed : kWhite) << x << "," << y;
        }
    EXPECT_EQ(picture.brushStyle(), BrushStyle::Clear);
    EXPECT_EQ(picture.font().color, kRed);
    EXPECT_EQ(picture.font().pixelSize, 12);
}

TEST(DrawTextLines, ALineFivePixelsTooWideGivesRPlusTenWithBackgroundColumns)
{
    // "ABC" at 10 ends at R = 28, five past the width of 23.
    const Raster before = test::makeFPicture(23, 40);
    Raster picture = before;
    BoxTextRenderer renderer;
    DrawTextLines(picture, kBlack, font12(), {"ABC"}, 10, 10, kGreen, renderer);
    ASSERT_EQ(picture.width(), 38);
    ASSERT_EQ(picture.height(), 40);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 38; ++x) {
            const Color expected = inBoxes(x, y, 10, 10, 3) ? kBlack
                                   : x >= 23                ? kGreen
                                                            : before.pixel(x, y);
            ASSERT_EQ(picture.pixel(x, y), expected) << x << "," << y;
        }
}

TEST(DrawTextLines, ABlackBorderJoinedToTheNewColumnsTakesTheBackground)
{
    // A one-pixel black frame touching every edge, and a black dot inside that touches nothing.
    Raster picture(20, 30);
    for (int i = 0; i < 20; ++i) {
        picture.setPixel(i, 0, kBlack);
        picture.setPixel(i, 29, kBlack);
    }
    for (int i = 0; i < 30; ++i) {
        picture.setPixel(0, i, kBlack);
        picture.setPixel(19, i, kBlack);
    }
    picture.setPixel(5, 25, kBlack);
    BoxTextRenderer renderer;
    DrawTextLines(picture, kRed, font12(), {"AB"}, 10, 2, kGreen, renderer);  // R = 22
    ASSERT_EQ(picture.width(), 32);
    EXPECT_EQ(picture.pixel(19, 20), kGreen);
    EXPECT_EQ(picture.pixel(0, 0), kGreen);
    EXPECT_EQ(picture.pixel(7, 29), kGreen);
    EXPECT_EQ(picture.pixel(31, 29), kGreen);
    EXPECT_EQ(picture.pixel(5, 25), kBlack);
    EXPECT_EQ(picture.pixel(5, 5), kWhite);
    EXPECT_EQ(picture.pixel(10, 2), kRed);
}

TEST(DrawTextLines, AnEmptyListNeverWidensButAShortPictureGrowsToYPlusTen)
{
    Raster picture(5, 5, kBlack);
    BoxTextRenderer renderer;
    DrawTextLines(picture, kRed, font12(), {}, 100, 12, kGreen, renderer);
    EXPECT_TRUE(renderer.drawn.empty());
    ASSERT_EQ(picture.width(), 5);
    ASSERT_EQ(picture.height(), 22);
    // The new rows were black under the clear brush and joined to the black picture, so the
    // fill from (0, 11) paints all of them and the old pixels as well.
    for (int y = 0; y < 22; ++y)
        for (int x = 0; x < 5; ++x)
            ASSERT_EQ(picture.pixel(x, y), kGreen) << x << "," << y;

    // A picture one pixel wide grows the same way.
    Raster narrow(1, 3, kBlack);
    DrawTextLines(narrow, kRed, font12(), {}, 0, 12, kGreen, renderer);
    ASSERT_EQ(narrow.height(), 22);
    EXPECT_EQ(narrow.pixel(0, 0), kGreen);
    EXPECT_EQ(narrow.pixel(0, 21), kGreen);

    Raster tall(5, 40);
    DrawTextLines(tall, kRed, font12(), {}, 100, 12, kGreen, renderer);
    EXPECT_EQ(tall.width(), 5);
    EXPECT_EQ(tall.height(), 40);
    EXPECT_TRUE(tall.samePixels(Raster(5, 40)));
}

TEST(DrawTextLines, GrowingBothWaysPaintsTheNewRowsDirectly)
{
    // After the width grew the brush is solid, so the rows come out in the background colour
    // and the fill from (0, B - 1) finds no black: the black bottom row of the old picture stays.
    Raster picture(12, 15);
    for (int x = 0; x < 10; ++x)
        picture.setPixel(x, 14, kBlack);  // not joined to the new columns
    BoxTextRenderer renderer;
    DrawTextLines(picture, kRed, font12(), {"AB"}, 4, 8, kGreen, renderer);  // R 16, B 20
    ASSERT_EQ(picture.width(), 26);
    ASSERT_EQ(picture.height(), 30);
    EXPECT_EQ(picture.pixel(3, 14), kBlack);
    EXPECT_EQ(picture.pixel(0, 29), kGreen);
    EXPECT_EQ(picture.pixel(25, 0), kGreen);
    EXPECT_EQ(picture.pixel(11, 20), kGreen);

    // Growing the height alone: the new rows come out black and the fill reaches the old black
    // row joined to them.
    Raster low(40, 15);
    for (int x = 0; x < 40; ++x)
        low.setPixel(x, 14, kBlack);
    DrawTextLines(low, kRed, font12(), {"AB"}, 4, 8, kGreen, renderer);
    ASSERT_EQ(low.width(), 40);
    ASSERT_EQ(low.height(), 30);
    EXPECT_EQ(low.pixel(3, 14), kGreen);
    EXPECT_EQ(low.pixel(39, 29), kGreen);
    EXPECT_EQ(low.pixel(3, 13), kWhite);
}

TEST(DrawTextLines, ABlackBackgroundLeavesTheAddedAreaBlack)
{
    Raster picture(10, 10);
    BoxTextRenderer renderer;
    DrawTextLines(picture, kRed, font12(), {"ABC"}, 2, 2, kBlack, renderer);
    ASSERT_EQ(picture.width(), 30);
    ASSERT_EQ(picture.height(), 24);
    EXPECT_EQ(picture.pixel(29, 0), kBlack);
    EXPECT_EQ(picture.pixel(0, 23), kBlack);
    EXPECT_EQ(picture.pixel(7, 9), kWhite);
}

TEST(DrawTextLines, RefusesBadFontsAndOversizedGrowthWithThePictureUntouched)
{
    const Raster before = test::makeFPicture(30, 20);
    BoxTextRenderer renderer;
    for (int size : {0, -3, kMaxFontPixelSize + 1}) {
        Raster picture = before;
        Font f = font12();
        f.pixelSize = size;
        try {
            DrawTextLines(picture, kBlack, f, {"A"}, 0, 0, kGreen, renderer);
            ADD_FAILURE() << size;
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::BadArgument);
        }
        EXPECT_TRUE(picture.samePixels(before));
    }
    for (auto [x, y] : {std::pair{65530, 0}, {0, 65530}, {INT_MAX, 0}, {0, INT_MAX}}) {
        Raster picture = before;
        try {
            DrawTextLines(picture, kBlack, font12(), {"A"}, x, y, kGreen, renderer);
            ADD_FAILURE() << x << "," << y;
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::TooLarge);
        }
        EXPECT_TRUE(picture.samePixels(before));
    }
    EXPECT_TRUE(renderer.drawn.empty());
}

TEST(DrawTextLines, FarNegativePositionsDrawNothingAndDoNotGrow)
{
    Raster picture(30, 20);
    BoxTextRenderer renderer;
    DrawTextLines(picture, kBlack, font12(), {"ABC", "DEF"}, INT_MIN, INT_MIN, kGreen, renderer);
    EXPECT_TRUE(renderer.drawn.empty());
    DrawTextLines(picture, kBlack, font12(), {"ABC"}, -18, 0, kGreen, renderer);
    EXPECT_TRUE(picture.samePixels(Raster(30, 20)));
}

TEST(TextOutOfTheSurface, ASolidBrushFillsTheTextBoxFirst)
{
    Raster picture(30, 20);
    picture.setBrushColor(kGreen);
    picture.font().color = kRed;
    BoxTextRenderer renderer;
    textOut(picture, renderer, 2, 3, "A B");
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) {
            const bool box = x >= 2 && x < 20 && y >= 3 && y < 15;
            const bool ink = box && (x - 2) % 6 < 5 && (x < 8 || x >= 14);
            ASSERT_EQ(picture.pixel(x, y), ink ? kRed : box ? kGreen : kWhite) << x << "," << y;
        }

    Raster clear(30, 20);
    clear.setBrushStyle(BrushStyle::Clear);
    textOut(clear, renderer, 2, 3, "A B");
    EXPECT_EQ(clear.pixel(9, 5), kWhite);
    EXPECT_EQ(clear.pixel(2, 3), kBlack);
}

TEST(ColorToRgb, SystemColoursGiveTheClassicScheme)
{
    EXPECT_EQ(colorToRgb(0x80000008), kBlack);                    // window text
    EXPECT_EQ(colorToRgb(0x80000005), kWhite);                    // window
    EXPECT_EQ(colorToRgb(0x8000000F), makeColor(192, 192, 192));  // button face
    EXPECT_EQ(colorToRgb(0x80000018), makeColor(255, 255, 225));  // tool tip background
    EXPECT_EQ(colorToRgb(0x800000FF), kBlack);                    // no such element
    EXPECT_EQ(colorToRgb(0x00336699), 0x00336699u);
    EXPECT_EQ(colorToRgb(0x02336699), 0x00336699u);
}

TEST(BevelColors, PureRedGivesTheLightAndDarkOfTheBevel)
{
    EXPECT_EQ(bevelLightColor(makeColor(255, 0, 0)), makeColor(255, 128, 128));
    EXPECT_EQ(bevelDarkColor(makeColor(255, 0, 0)), makeColor(204, 0, 0));
    // Blue: hue 240 degrees, so the light copy lifts red and green alike.
    EXPECT_EQ(bevelLightColor(makeColor(0, 0, 255)), makeColor(128, 128, 255));
    EXPECT_EQ(bevelDarkColor(makeColor(0, 0, 200)), makeColor(0, 0, 160));
}

TEST(BevelColors, GreyAndBlackHaveNoSaturationToHalve)
{
    EXPECT_EQ(bevelLightColor(makeColor(128, 128, 128)), makeColor(128, 128, 128));
    EXPECT_EQ(bevelDarkColor(makeColor(128, 128, 128)), makeColor(102, 102, 102));  // 102.4
    EXPECT_EQ(bevelLightColor(kBlack), kBlack);
    EXPECT_EQ(bevelDarkColor(kBlack), kBlack);
    EXPECT_EQ(bevelLightColor(kWhite), kWhite);
    EXPECT_EQ(bevelDarkColor(kWhite), makeColor(204, 204, 204));
}

TEST(BevelColors, ASystemColourIsTakenAsTheColourItStandsFor)
{
    // The text dialog starts with the system window-text colour.
    EXPECT_EQ(bevelLightColor(0x80000008), kBlack);
    EXPECT_EQ(bevelDarkColor(0x80000008), kBlack);
    // Button face (192, 192, 192): 153.6 rounds to 154.
    EXPECT_EQ(bevelDarkColor(0x8000000F), makeColor(154, 154, 154));
}

TextSettings bevelSettings(Color colour, std::string n1, std::string n2)
{
    TextSettings s;
    s.lines = {"A"};
    s.font = font12(colour);
    s.bevel = true;
    s.topLeft = std::move(n1);
    s.bottomRight = std::move(n2);
    s.bgColor = kGreen;
    return s;
}

TEST(DrawBevelText, TwoLightAndThreeDarkCopiesUnderTheText)
{
    Raster picture(40, 40);
    BoxTextRenderer renderer;
    DrawBevelText(picture, bevelSettings(makeColor(255, 0, 0), "2", "3"), renderer);
    const Color light = makeColor(255, 128, 128);
    const Color dark = makeColor(204, 0, 0);
    const Color red = makeColor(255, 0, 0);
    const std::vector<BoxTextRenderer::Drawn> expected = {
        {9, 9, "A", light},  {8, 8, "A", light},  {11, 11, "A", dark},
        {12, 12, "A", dark}, {13, 13, "A", dark}, {10, 10, "A", red},
    };
    EXPECT_EQ(renderer.drawn, expected);
    EXPECT_EQ(picture.width(), 40);
    EXPECT_EQ(picture.height(), 40);
    EXPECT_EQ(picture.pixel(8, 8), light);   // only the second light copy
    EXPECT_EQ(picture.pixel(9, 20), light);  // the first light copy's bottom-left
    EXPECT_EQ(picture.pixel(17, 24), dark);  // only the third dark copy
    EXPECT_EQ(picture.pixel(15, 22), dark);
    EXPECT_EQ(picture.pixel(10, 10), red);  // the text lies on top
    EXPECT_EQ(picture.pixel(14, 21), red);
    EXPECT_EQ(picture.pixel(15, 10), kWhite);  // right of the text, above the dark copies
    EXPECT_EQ(picture.pixel(7, 7), kWhite);
}

TEST(DrawBevelText, BlackTextGetsBlackCopiesAndNoCountsWithoutTheBevel)
{
    Raster picture(40, 40);
    BoxTextRenderer renderer;
    DrawBevelText(picture, bevelSettings(0x80000008, "1", "1"), renderer);
    ASSERT_EQ(renderer.drawn.size(), 3u);
    for (const auto& d : renderer.drawn)
        EXPECT_EQ(d.color, kBlack);
    EXPECT_EQ(picture.pixel(9, 9), kBlack);
    EXPECT_EQ(picture.pixel(15, 22), kBlack);

    // With the bevel off the counts are never read, whatever they hold.
    renderer.drawn.clear();
    TextSettings off = bevelSettings(kBlack, "junk", "");
    off.bevel = false;
    DrawBevelText(picture, off, renderer);
    EXPECT_EQ(renderer.drawn.size(), 1u);

    // Counts of 0 or less draw no copies.
    renderer.drawn.clear();
    DrawBevelText(picture, bevelSettings(kBlack, "0", "-4"), renderer);
    EXPECT_EQ(renderer.drawn, (std::vector<BoxTextRenderer::Drawn>{{10, 10, "A", kBlack}}));
}

TEST(DrawBevelText, ACountThatIsNotAnIntegerStopsWhereItIsRead)
{
    const Raster white(40, 40);
    BoxTextRenderer renderer;
    Raster picture = white;
    try {
        DrawBevelText(picture, bevelSettings(kRed, "x", "3"), renderer);
        ADD_FAILURE();
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Conversion);
        EXPECT_STREQ(e.what(), "'x' は整数ではありません");
    }
    EXPECT_TRUE(renderer.drawn.empty());
    EXPECT_TRUE(picture.samePixels(white));

    try {
        DrawBevelText(picture, bevelSettings(kRed, "2", ""), renderer);
        ADD_FAILURE();
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Conversion);
        EXPECT_STREQ(e.what(), "'' は整数ではありません");
    }
    ASSERT_EQ(renderer.drawn.size(), 2u);  // the light copies stay
    EXPECT_EQ(renderer.drawn[1].x, 8);
    EXPECT_EQ(picture.pixel(8, 8), makeColor(255, 128, 128));
    EXPECT_EQ(picture.pixel(9, 20), makeColor(255, 128, 128));
}

// The bevel as the plain sequence of DrawTextLines calls it stands for.
Raster bevelByHand(Raster picture, const TextSettings& s, int n1, int n2)
{
    BoxTextRenderer renderer;
    const Color light = bevelLightColor(s.font.color);
    const Color dark = bevelDarkColor(s.font.color);
    for (int k = 1; k <= n1; ++k)
        DrawTextLines(picture, light, s.font, s.lines, s.x - k, s.y - k, s.bgColor, renderer);
    for (int k = 1; k <= n2; ++k)
        DrawTextLines(picture, dark, s.font, s.lines, s.x + k, s.y + k, s.bgColor, renderer);
    DrawTextLines(picture, s.font.color, s.font, s.lines, s.x, s.y, s.bgColor, renderer);
    return picture;
}

TEST(DrawBevelText, CopiesThatCannotReachThePictureAreSkippedWithTheSameResult)
{
    TextSettings s = bevelSettings(makeColor(30, 90, 200), "", "");
    s.lines = {"AB", "C"};
    struct Case {
        int x, y, n1, n2;
    };
    // Copies sweeping in from far above and left, copies left of the picture that make it grow
    // downwards, copies growing the picture as they go right, light copies running far out.
    for (const Case c : {Case{-300, -250, 0, 340}, Case{-300, 10, 0, 30}, Case{5, 3, 0, 40},
                         Case{20, 30, 400, 0}, Case{50, 2, 30, 25}}) {
        s.x = c.x;
        s.y = c.y;
        s.topLeft = std::to_string(c.n1);
        s.bottomRight = std::to_string(c.n2);
        const Raster start = test::makeFPicture(60, 45);
        const Raster expected = bevelByHand(start, s, c.n1, c.n2);
        Raster picture = start;
        BoxTextRenderer renderer;
        DrawBevelText(picture, s, renderer);
        EXPECT_TRUE(picture.samePixels(expected)) << c.x << "," << c.y;
    }

    // Two thousand million dark copies sweeping in from far away: only the last few reach the
    // picture, as the last copies of the same sweep from nearby do.
    s.lines = {"A"};
    s.x = -2000000000;
    s.y = -2000000000;
    s.topLeft = "0";
    s.bottomRight = "2000000010";
    Raster picture(40, 40);
    BoxTextRenderer renderer;
    DrawBevelText(picture, s, renderer);
    s.x = -40;
    s.y = -40;
    EXPECT_TRUE(picture.samePixels(bevelByHand(Raster(40, 40), s, 0, 50)));
    EXPECT_EQ(picture.pixel(10, 10), bevelDarkColor(s.font.color));
}

TEST(DrawBevelText, AbsurdCountsEndQuickly)
{
    Raster picture(40, 40);
    BoxTextRenderer renderer;
    DrawBevelText(picture, bevelSettings(kRed, "2000000000", "0"), renderer);
    EXPECT_LT(renderer.drawn.size(), 100u);
    EXPECT_EQ(picture.width(), 40);

    // Dark copies that would grow the picture past the limit are refused before any is drawn.
    renderer.drawn.clear();
    Raster before = picture;
    try {
        DrawBevelText(picture, bevelSettings(kRed, "0", "2000000000"), renderer);
        ADD_FAILURE();
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::TooLarge);
    }
    EXPECT_TRUE(renderer.drawn.empty());
    EXPECT_TRUE(picture.samePixels(before));
}

TEST(OutlinePass, FiltersByEightThenStretchesAroundTheMean)
{
    // Blue 0, 40 / 80, 120; green 255 everywhere; red 200 everywhere.
    Raster picture(2, 2);
    const int blue[4] = {0, 40, 80, 120};
    for (int i = 0; i < 4; ++i)
        picture.setPixel(i % 2, i / 2, makeColor(200, 255, blue[i]));
    OutlinePass(picture);
    // Sums with the edges repeated: 360, 480, 600, 720, divided by 8: 45, 60, 75, 90; mean 67;
    // then 67 + (v - 67) x 2.5 truncated: 12, 49, 87, 124. Green 2295 / 8 clamps to 255; red
    // 1800 / 8 = 225, its own mean, stays.
    const int expected[4] = {12, 49, 87, 124};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(picture.pixel(i % 2, i / 2), makeColor(225, 255, expected[i]))
            << i << ": " << describe(picture.pixel(i % 2, i / 2));
}

TEST(OutlinePass, WhiteStaysWhiteAndAStrokeThins)
{
    Raster picture(9, 9);
    for (int y = 0; y < 9; ++y)
        picture.setPixel(4, y, kBlack);
    OutlinePass(picture);
    EXPECT_EQ(picture.pixel(0, 4), kWhite);
    EXPECT_EQ(picture.pixel(2, 4), kWhite);
    // Columns 3, 4 and 5 each sum six whites: 1530 / 8 = 191; the others clamp to 255. The
    // mean is (6 x 255 + 3 x 191) / 9 = 233, so 191 becomes 233 - 42 x 2.5 = 128.
    const Color grey = makeColor(128, 128, 128);
    for (int x : {3, 4, 5})
        EXPECT_EQ(picture.pixel(x, 0), grey) << x;
    EXPECT_EQ(picture.pixel(4, 8), grey);
}

TEST(TextTexture, BlackTextShowsThePictureOnlyInsideTheLetters)
{
    const Raster before = test::makeFPicture(40, 30);
    Raster picture = before;
    TextSettings s;
    s.lines = {"AB"};
    s.font = font12(kBlack);
    BoxTextRenderer renderer;
    TextTexture(picture, s, renderer);
    ASSERT_EQ(picture.width(), 40);
    ASSERT_EQ(picture.height(), 30);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(picture.pixel(x, y), inBoxes(x, y, 10, 10, 2) ? before.pixel(x, y) : kWhite)
                << x << "," << y;
    EXPECT_EQ(picture.copyMode(), CopyMode::SrcPaint);
}

TEST(TextTexture, WhiteTextGivesAnAllWhitePictureAndColourTints)
{
    Raster picture = test::makeFPicture(40, 30);
    TextSettings s;
    s.lines = {"AB"};
    s.font = font12(kWhite);
    BoxTextRenderer renderer;
    TextTexture(picture, s, renderer);
    EXPECT_TRUE(picture.samePixels(Raster(40, 30, kWhite)));

    // Blue letters OR onto a red pixel give magenta.
    Raster red(40, 30, makeColor(200, 10, 0));
    s.font.color = makeColor(0, 0, 255);
    TextTexture(red, s, renderer);
    EXPECT_EQ(red.pixel(10, 10), makeColor(200, 10, 255));
    EXPECT_EQ(red.pixel(15, 10), kWhite);
}

TEST(TextTexture, TheEnlargedTargetIsWhiteWhateverTheBackground)
{
    Raster picture(test::makeFPicture(20, 15));
    picture.setBrushColor(kRed);  // earlier drawing left a red brush
    TextSettings s;
    s.lines = {"ABCD"};
    s.font = font12(kBlack);
    s.bgColor = kBlack;
    BoxTextRenderer renderer;
    TextTexture(picture, s, renderer);
    ASSERT_EQ(picture.width(), 44);
    ASSERT_EQ(picture.height(), 32);
    EXPECT_EQ(picture.pixel(43, 0), kWhite);
    EXPECT_EQ(picture.pixel(0, 31), kWhite);
    EXPECT_EQ(picture.pixel(25, 12), kWhite);  // a letter over the added area
    EXPECT_EQ(picture.pixel(10, 10), test::makeFPicture(20, 15).pixel(10, 10));
}

TEST(TextTexture, TheOutlineRunsOnTheMask)
{
    Raster picture(30, 30, kBlack);
    TextSettings s;
    s.lines = {"A"};
    s.font = font12(kBlack);
    s.outline = true;
    BoxTextRenderer renderer;
    TextTexture(picture, s, renderer);
    // The mask's box (10..14, 10..21) is blurred at its rim and stretched around the mask's
    // mean; far from it the mask stays white.
    EXPECT_EQ(picture.pixel(2, 2), kWhite);
    EXPECT_EQ(picture.pixel(12, 15), kBlack);
    const Color rim = picture.pixel(9, 15);
    EXPECT_NE(rim, kBlack);
    EXPECT_NE(rim, kWhite);
}

}  // namespace
}  // namespace lumavex
