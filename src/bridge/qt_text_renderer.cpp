#include "qt_text_renderer.h"

#include <QFontInfo>
#include <QImage>
#include <QPainter>

#include "qimage_bridge.h"

namespace lumavex {

QFont QtTextRenderer::qfont(const Font& font) const
{
    QFont f(QString::fromStdString(font.family));
    f.setPixelSize(std::max(1, font.pixelSize));
    f.setBold(font.bold);
    f.setItalic(font.italic);
    f.setUnderline(font.underline);
    f.setStrikeOut(font.strikeOut);
    // Advances add up as the classic surface measures them: no kerning between characters.
    f.setKerning(false);
    f.setStyleStrategy(m_antialiased ? QFont::PreferAntialias : QFont::NoAntialias);
    // Aliased text is hinted fully, as the classic surface draws it: whole-pixel advances, so a
    // measured width is exactly where the drawn glyphs end.
    if (!m_antialiased)
        f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

QString QtTextRenderer::resolvedFamily(const Font& font)
{
    return QFontInfo(QtTextRenderer().qfont(font)).family();
}

const QFontMetrics& QtTextRenderer::metricsFor(const Font& font)
{
    Font key = font;
    key.color = kBlack;  // the colour plays no part in the shapes
    if (!m_cachedFont || *m_cachedFont != key) {
        m_qfont = qfont(key);
        m_metrics.emplace(m_qfont);
        m_cachedFont = key;
    }
    return *m_metrics;
}

TextExtent QtTextRenderer::measure(std::string_view text, const Font& font)
{
    const QFontMetrics& metrics = metricsFor(font);
    const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    return {metrics.horizontalAdvance(s), metrics.height()};
}

void QtTextRenderer::drawText(Raster& picture, int x, int y, std::string_view text,
                              const Font& font, Color color)
{
    if (picture.empty() || text.empty())
        return;
    const QFontMetrics& metrics = metricsFor(font);
    QImage image = wrapRaster(picture);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing, m_antialiased);
    painter.setRenderHint(QPainter::Antialiasing, m_antialiased);
    painter.setFont(m_qfont);
    painter.setPen(QColor(redOf(color), greenOf(color), blueOf(color)));
    // The line's box starts at y; the baseline lies one ascent below it.
    painter.drawText(QPointF(x, static_cast<double>(y) + metrics.ascent()),
                     QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

}  // namespace lumavex
