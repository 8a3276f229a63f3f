#pragma once

#include <string_view>

#include "core/raster.h"

namespace lumavex {

/// The size of one line of text in a font: the sum of the character advances and the height of
/// the line's box (ascent plus descent), in pixels.
struct TextExtent {
    int width = 0;
    int height = 0;
    bool operator==(const TextExtent&) const = default;
};

/// The font engine behind the text operations of the working raster. The core holds no font
/// engine of its own: the editor and lumavex-fx plug in the Qt one (bridge/qt_text_renderer.h),
/// tests a predictable one. Implementations are called once per line, never per pixel.
class TextRenderer {
public:
    virtual ~TextRenderer() = default;

    /// Draws one line of UTF-8 text in the font's face, pixel size and styles (the font's own
    /// colour is ignored) in the plain colour 0x00BBGGRR given, with the top-left corner of the
    /// line's box at (x, y). Only the pixels of the glyphs change; whatever falls outside the
    /// picture is clipped. An empty picture is left alone.
    virtual void drawText(Raster& picture, int x, int y, std::string_view text, const Font& font,
                          Color color) = 0;

    /// The extent of one line of UTF-8 text in the font (its colour plays no part).
    virtual TextExtent measure(std::string_view text, const Font& font) = 0;

    int textWidth(std::string_view text, const Font& font) { return measure(text, font).width; }
    int textHeight(std::string_view text, const Font& font) { return measure(text, font).height; }
};

}  // namespace lumavex
