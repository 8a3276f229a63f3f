#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/raster.h"
#include "text_renderer.h"

namespace lumavex {

/// The largest font the text operations accept, in pixels (font engines measure larger ones
/// wrongly: the ascent of a 20000-pixel font overflows in Qt).
constexpr int kMaxFontPixelSize = 16384;

/// What the text commands draw: the text output dialog's settings, with the background colour
/// of the processing parameters that paints the area by which a picture grows.
struct TextSettings {
    std::vector<std::string> lines;  ///< UTF-8, one entry per output line, in order
    int x = 10;                      ///< left edge of every line
    int y = 10;                      ///< top of the first line
    Font font;                       ///< face, size and styles; font.color is the text colour
    bool bevel = false;              ///< draw the bevel copies (TextOut)
    std::string topLeft = "0";       ///< number of light copies, converted when they are drawn
    std::string bottomRight = "0";   ///< number of dark copies, converted when they are drawn
    bool outline = false;            ///< run OutlinePass afterwards
    Color bgColor = kWhite;          ///< BGColor
};

/// The plain colour a colour value stands for: a Windows system colour value (top byte 0x80,
/// the element index in the low byte) gives that element's colour in the classic default
/// scheme (window text black, window white, button face grey, ...; an unknown index black);
/// any other value gives its low 24 bits.
Color colorToRgb(Color value);

/// The surface's text out: draws text in the picture's font and font colour with the top-left
/// corner of its box at (x, y). Under a solid brush the box (the text's extent) is first filled
/// with the brush colour; under a clear brush the background stays as it was.
void textOut(Raster& picture, TextRenderer& renderer, int x, int y, std::string_view text);

/// Draws the lines in colour C and the font with the first line's top-left corner at (x, y),
/// one line height (that of "XX") apart, growing the picture when the text does not fit: a
/// picture narrower than the widest line's right end R becomes R + 10 wide and one lower than
/// the text's bottom B becomes B + 10 high, the added area (and any black area of the picture
/// joined to it) painted with bgColor. Leaves the picture's brush clear and its font the one
/// given, coloured C. Throws Error(BadArgument) for a font size outside 1..kMaxFontPixelSize
/// and Error(TooLarge) when the grown picture would pass the size limit; the picture is then
/// untouched.
void DrawTextLines(Raster& picture, Color colour, const Font& font,
                   const std::vector<std::string>& lines, int x, int y, Color bgColor,
                   TextRenderer& renderer);

/// The colour of the bevel's light copies: C with half its saturation.
Color bevelLightColor(Color colour);
/// The colour of the bevel's dark copies: C with 80 % of its value.
Color bevelDarkColor(Color colour);

/// The TextOut drawing: with the bevel on, topLeft light copies at (x - k, y - k) and then
/// bottomRight dark copies at (x + k, y + k), k from 1, then the text itself at (x, y), each
/// through DrawTextLines. A count is converted just before its copies are drawn, so a count
/// that is not an integer throws Error(Conversion) with the copies before it already drawn.
/// Does not run the outline pass (see TextOut).
void DrawBevelText(Raster& picture, const TextSettings& settings, TextRenderer& renderer);

/// The outline filter: the 3 x 3 sum of nine ones divided by 8 (edges repeated), then contrast
/// 15 around each channel's mean. White stays white; dark strokes thin and lighten at their
/// edges.
void OutlinePass(Raster& picture);

/// The TextOut command on a picture: DrawBevelText, then OutlinePass over the whole picture
/// when the outline option is on.
void TextOut(Raster& picture, const TextSettings& settings, TextRenderer& renderer);

/// Cuts the picture into the shape of the text: a white mask of the picture's size gets the
/// lines (growing as DrawTextLines does), the outline pass when the option is on, the picture
/// is enlarged with white to the mask's size and every byte ORed with the mask's. The picture
/// stays visible inside black letters and turns white elsewhere. Leaves the picture's copy mode
/// SRCPAINT and its brush white. Throws as DrawTextLines, with the picture untouched.
void TextTexture(Raster& picture, const TextSettings& settings, TextRenderer& renderer);

}  // namespace lumavex
