#pragma once

#include <optional>

#include <QFont>
#include <QFontMetrics>
#include <QString>

#include "effects/text_renderer.h"

namespace lumavex {

/// The text renderer of the editor and lumavex-fx: QPainter on the raster's own rows (no copy)
/// and QFontMetrics. Without anti-aliasing (the default) every drawn pixel has exactly the text
/// colour. Needs a QGuiApplication; call installFonts() first so that the Windows Japanese
/// names resolve.
class QtTextRenderer : public TextRenderer {
public:
    explicit QtTextRenderer(bool antialiased = false) : m_antialiased(antialiased) {}

    void drawText(Raster& picture, int x, int y, std::string_view text, const Font& font,
                  Color color) override;
    TextExtent measure(std::string_view text, const Font& font) override;

    /// The QFont this renderer draws a font with.
    QFont qfont(const Font& font) const;
    /// The family the font engine actually uses for a font (after substitution and fallback).
    static QString resolvedFamily(const Font& font);

private:
    // The QFont and metrics of the last font asked for: a run of lines shares one font.
    const QFontMetrics& metricsFor(const Font& font);

    bool m_antialiased;
    std::optional<Font> m_cachedFont;
    QFont m_qfont;
    std::optional<QFontMetrics> m_metrics;
};

}  // namespace lumavex
