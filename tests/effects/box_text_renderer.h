#pragma once

#include <string>
#include <vector>

#include "effects/text_renderer.h"

namespace lumavex::test {

/// A font engine with known metrics: every character (UTF-8 code point) advances by half the
/// pixel size and is drawn as a solid box one pixel narrower than its advance, the full line
/// height (the pixel size) high; a space draws nothing. It records every line it draws.
class BoxTextRenderer : public TextRenderer {
public:
    struct Drawn {
        int x, y;
        std::string text;
        Color color;
        bool operator==(const Drawn&) const = default;
    };

    static int advance(const Font& font) { return font.pixelSize / 2; }

    static int characters(std::string_view text)
    {
        int n = 0;
        for (unsigned char c : text)
            n += (c & 0xC0) != 0x80;
        return n;
    }

    void drawText(Raster& picture, int x, int y, std::string_view text, const Font& font,
                  Color color) override
    {
        drawn.push_back({x, y, std::string(text), color});
        const int a = advance(font);
        int cell = x;
        for (size_t i = 0; i < text.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(text[i]);
            if ((c & 0xC0) == 0x80)
                continue;
            if (c != ' ')
                for (int py = y; py < y + font.pixelSize; ++py)
                    for (int px = cell; px < cell + a - 1; ++px)
                        picture.setPixel(px, py, color);
            cell += a;
        }
    }

    TextExtent measure(std::string_view text, const Font& font) override
    {
        ++measured;
        return {characters(text) * advance(font), font.pixelSize};
    }

    std::vector<Drawn> drawn;
    int measured = 0;
};

}  // namespace lumavex::test
