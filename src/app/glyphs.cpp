// Every glyph is drawn on a 16 x 16 grid and scaled to the pixmap sizes Qt asks for.
#include "glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>
#include <iterator>

namespace lumavex {

namespace {

// The inks of one state: in the disabled state every ink is one grey, so the glyph shows as a
// silhouette over its white emboss.
struct Ink {
    bool mono = false;
    QColor grey;

    QColor operator()(QColor c) const { return mono ? grey : c; }
};

const QColor kOutline(0x20, 0x20, 0x20);
const QColor kPaper(0xFF, 0xFF, 0xFF);
const QColor kBlue(0x20, 0x50, 0xA8);
const QColor kTitle(0x00, 0x00, 0x80);
const QColor kYellow(0xF0, 0xC8, 0x40);
const QColor kDarkYellow(0xC8, 0x98, 0x20);
const QColor kGrey(0xA0, 0xA0, 0xA0);
const QColor kRed(0xC0, 0x20, 0x20);
const QColor kGreen(0x20, 0xA0, 0x40);
const QColor kBrown(0x98, 0x60, 0x30);

void shape(QPainter& p, const Ink& ink, QColor fill, const QPolygonF& polygon)
{
    p.setPen(QPen(ink(kOutline), 1.0));
    p.setBrush(ink.mono ? QBrush(Qt::NoBrush) : QBrush(fill));
    p.drawPolygon(polygon);
}

void box(QPainter& p, const Ink& ink, QColor fill, qreal x0, qreal y0, qreal x1, qreal y1)
{
    shape(p, ink, fill, QPolygonF({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}));
}

void line(QPainter& p, QColor colour, qreal width, QPointF a, QPointF b)
{
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(a, b);
}

void page(QPainter& p, const Ink& ink, qreal x0, qreal y0, qreal x1, qreal y1)
{
    const qreal fold = 3;
    shape(p, ink, kPaper,
          QPolygonF({{x0, y0}, {x1 - fold, y0}, {x1, y0 + fold}, {x1, y1}, {x0, y1}}));
    p.drawPolyline(QPolygonF({{x1 - fold, y0}, {x1 - fold, y0 + fold}, {x1, y0 + fold}}));
}

void textLines(QPainter& p, const Ink& ink, qreal x0, qreal x1, qreal y0, int count)
{
    for (int i = 0; i < count; ++i)
        line(p, ink(kGrey), 1.0, {x0, y0 + 2 * i}, {x1, y0 + 2 * i});
}

void window(QPainter& p, const Ink& ink, qreal x0, qreal y0, qreal x1, qreal y1)
{
    box(p, ink, kPaper, x0, y0, x1, y1);
    p.fillRect(QRectF(x0 + 0.5, y0 + 0.5, x1 - x0 - 1, 2), ink(kTitle));
}

void printer(QPainter& p, const Ink& ink)
{
    box(p, ink, kPaper, 4.5, 1.5, 11.5, 6.5);
    box(p, ink, kGrey, 1.5, 6.5, 14.5, 11.5);
    box(p, ink, kPaper, 4.5, 11.5, 11.5, 14.5);
    p.fillRect(QRectF(12, 8, 1.5, 1.5), ink(kGreen));
}

void floppy(QPainter& p, const Ink& ink, qreal x0, qreal y0, qreal size)
{
    const qreal k = size / 12;
    box(p, ink, kBlue, x0, y0, x0 + 12 * k, y0 + 12 * k);
    box(p, ink, kPaper, x0 + 2 * k, y0, x0 + 10 * k, y0 + 5 * k);
    box(p, ink, kGrey, x0 + 3 * k, y0 + 8 * k, x0 + 9 * k, y0 + 12 * k);
}

void disc(QPainter& p, const Ink& ink, QColor fill, const QString& letter)
{
    p.setPen(QPen(ink(kOutline), 1.0));
    p.setBrush(ink.mono ? QBrush(Qt::NoBrush) : QBrush(fill));
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    font.setBold(true);
    p.setFont(font);
    p.setPen(ink.mono ? ink.grey : kPaper);
    p.drawText(QRectF(1.5, 1.5, 13, 13), Qt::AlignCenter, letter);
}

void drawNew(QPainter& p, const Ink& ink)
{
    page(p, ink, 3.5, 1.5, 12.5, 14.5);
}

void drawOpen(QPainter& p, const Ink& ink)
{
    shape(p, ink, kDarkYellow,
          QPolygonF({{1.5, 3.5}, {6, 3.5}, {7.5, 5}, {12.5, 5}, {12.5, 13.5}, {1.5, 13.5}}));
    shape(p, ink, kYellow, QPolygonF({{4, 7.5}, {15, 7.5}, {12.5, 13.5}, {1.5, 13.5}}));
}

void drawSave(QPainter& p, const Ink& ink)
{
    floppy(p, ink, 2.5, 2.5, 11);
}

void drawSaveAs(QPainter& p, const Ink& ink)
{
    floppy(p, ink, 1.5, 1.5, 10);
    line(p, ink(kOutline), 3.2, {8.5, 14.5}, {14.5, 8.5});
    line(p, ink(kYellow), 1.6, {8.5, 14.5}, {14.5, 8.5});
    line(p, ink(kOutline), 1.2, {7.5, 15.2}, {8.8, 14.2});
}

void drawPrint(QPainter& p, const Ink& ink)
{
    printer(p, ink);
}

// Printer setup: a printer with a gear.
void drawPrinterSetup(QPainter& p, const Ink& ink)
{
    p.save();
    p.translate(-1, -1);
    p.scale(0.8, 0.8);
    printer(p, ink);
    p.restore();
    for (int i = 0; i < 8; ++i) {
        p.save();
        p.translate(11.5, 11.5);
        p.rotate(45.0 * i);
        line(p, ink(kOutline), 1.6, {0, 2.5}, {0, 4.2});
        p.restore();
    }
    p.setPen(QPen(ink(kOutline), 1.0));
    p.setBrush(ink.mono ? QBrush(Qt::NoBrush) : QBrush(kGrey));
    p.drawEllipse(QPointF(11.5, 11.5), 2.8, 2.8);
    p.drawEllipse(QPointF(11.5, 11.5), 0.9, 0.9);
}

// Exit: a door and an arrow out of it.
void drawExit(QPainter& p, const Ink& ink)
{
    box(p, ink, kBrown, 2.5, 1.5, 9.5, 14.5);
    p.fillRect(QRectF(7.5, 7.5, 1, 1.5), ink(kYellow));
    line(p, ink(kRed), 2.0, {9, 8}, {14.5, 8});
    shape(p, ink, kRed, QPolygonF({{15.5, 8}, {12, 4.5}, {12, 11.5}}));
}

// Undo: an arc back to the left.
void drawUndo(QPainter& p, const Ink& ink)
{
    QPainterPath arc;
    arc.moveTo(13.5, 12.5);
    arc.arcTo(QRectF(3.5, 4, 10, 10), 0, 160);
    p.setPen(QPen(ink(kBlue), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(arc);
    shape(p, ink, kBlue, QPolygonF({{0.8, 8.5}, {7, 8.5}, {3.8, 13.5}}));
}

// Cut: scissors.
void drawCut(QPainter& p, const Ink& ink)
{
    line(p, ink(kOutline), 1.4, {5.5, 10}, {11, 1.5});
    line(p, ink(kOutline), 1.4, {10.5, 10}, {5, 1.5});
    p.setPen(QPen(ink(kRed), 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(4.5, 12), 2.5, 2.5);
    p.drawEllipse(QPointF(11.5, 12), 2.5, 2.5);
}

// Copy: two pages.
void drawCopy(QPainter& p, const Ink& ink)
{
    page(p, ink, 1.5, 1.5, 9.5, 11.5);
    textLines(p, ink, 3, 7, 5, 3);
    page(p, ink, 6.5, 4.5, 14.5, 14.5);
    textLines(p, ink, 8, 13, 9, 3);
}

// Paste: a clipboard with a page on it.
void drawPaste(QPainter& p, const Ink& ink)
{
    box(p, ink, kBrown, 1.5, 2.5, 11.5, 14.5);
    box(p, ink, kGrey, 4.5, 1.5, 8.5, 3.5);
    page(p, ink, 6.5, 6.5, 14.5, 15);
    textLines(p, ink, 8, 12, 10, 2);
}

void drawTile(QPainter& p, const Ink& ink)
{
    window(p, ink, 0.5, 0.5, 7.5, 7.5);
    window(p, ink, 8.5, 0.5, 15.5, 7.5);
    window(p, ink, 0.5, 8.5, 7.5, 15.5);
    window(p, ink, 8.5, 8.5, 15.5, 15.5);
}

void drawCascade(QPainter& p, const Ink& ink)
{
    window(p, ink, 0.5, 0.5, 9.5, 8.5);
    window(p, ink, 3.5, 3.5, 12.5, 11.5);
    window(p, ink, 6.5, 6.5, 15.5, 14.5);
}

// Arrange icons: minimised windows lined up at the bottom.
void drawArrangeIcons(QPainter& p, const Ink& ink)
{
    box(p, ink, kPaper, 0.5, 0.5, 15.5, 15.5);
    for (int i = 0; i < 3; ++i)
        box(p, ink, kTitle, 1.5 + 4.5 * i, 12, 5 + 4.5 * i, 14.5);
}

// Contents: a book.
void drawContents(QPainter& p, const Ink& ink)
{
    box(p, ink, kPaper, 4.5, 2.5, 14.5, 15);
    box(p, ink, kRed, 2.5, 1, 12.5, 13.5);
    line(p, ink(kPaper), 1.0, {4.5, 1.5}, {4.5, 13});
}

// Keyword search: a magnifier.
void drawKeywordSearch(QPainter& p, const Ink& ink)
{
    line(p, ink(kBrown), 3.0, {9.5, 9.5}, {14, 14});
    p.setPen(QPen(ink(kOutline), 1.6));
    p.setBrush(ink.mono ? QBrush(Qt::NoBrush) : QBrush(QColor(0xD0, 0xE8, 0xFF)));
    p.drawEllipse(QPointF(6.5, 6.5), 4.5, 4.5);
}

void drawHowToUse(QPainter& p, const Ink& ink)
{
    disc(p, ink, kGreen, QStringLiteral("?"));
}

void drawAbout(QPainter& p, const Ink& ink)
{
    disc(p, ink, kBlue, QStringLiteral("i"));
}

// The glyphs by place in the tool bar, left to right.
using GlyphPainter = void (*)(QPainter&, const Ink&);
const GlyphPainter kGlyphs[] = {
    drawNew,     drawOpen,         drawSave,     drawSaveAs,        drawPrint,    drawPrinterSetup,
    drawExit,    drawUndo,         drawCut,      drawCopy,          drawPaste,    drawTile,
    drawCascade, drawArrangeIcons, drawContents, drawKeywordSearch, drawHowToUse, drawAbout,
};
constexpr int kGlyphCount = static_cast<int>(std::size(kGlyphs));

QPixmap render(int size, const std::function<void(QPainter&)>& draw)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    draw(p);
    return pixmap;
}

}  // namespace

QIcon toolGlyph(int place)
{
    if (place < 0 || place >= kGlyphCount)
        return QIcon();
    QIcon icon;
    for (const int size : {16, 32}) {
        icon.addPixmap(render(size, [&](QPainter& p) { kGlyphs[place](p, Ink{}); }), QIcon::Normal);
        icon.addPixmap(render(size,
                              [&](QPainter& p) {
                                  p.save();
                                  p.translate(1, 1);
                                  kGlyphs[place](p, Ink{true, Qt::white});
                                  p.restore();
                                  kGlyphs[place](p, Ink{true, QColor(0x80, 0x80, 0x80)});
                              }),
                       QIcon::Disabled);
    }
    return icon;
}

namespace {

// A landscape in a white mount, lifted off the background by a soft shadow.
void framedPicture(QPainter& p)
{
    for (int i = 3; i >= 1; --i)
        p.fillRect(QRectF(2 + i * 0.5, 3 + i * 0.5, 12, 10), QColor(0, 0, 0, 40));
    p.fillRect(QRectF(1, 2, 12, 10), kPaper);
    p.setPen(QPen(kOutline, 0.6));
    p.drawRect(QRectF(1, 2, 12, 10));
    p.fillRect(QRectF(2, 3, 10, 8), QColor(0x70, 0xB0, 0xF0));
    QPainterPath hill;
    hill.moveTo(2, 11);
    hill.cubicTo(4, 6.5, 8, 8, 12, 7.5);
    hill.lineTo(12, 11);
    hill.closeSubpath();
    p.fillPath(hill, QColor(0x30, 0x90, 0x40));
    p.setPen(Qt::NoPen);
    p.setBrush(kYellow);
    p.drawEllipse(QPointF(9.5, 5), 1.3, 1.3);
}

}  // namespace

QIcon programIcon()
{
    QIcon icon;
    for (const int size : {16, 32, 48, 64})
        icon.addPixmap(render(size, framedPicture));
    return icon;
}

QIcon documentIcon()
{
    QIcon icon;
    for (const int size : {16, 32})
        icon.addPixmap(render(size, [](QPainter& p) {
            page(p, Ink{}, 2.5, 1.5, 13.5, 14.5);
            p.fillRect(QRectF(4.5, 5, 7, 6), QColor(0x70, 0xB0, 0xF0));
            p.fillRect(QRectF(4.5, 8.5, 7, 2.5), QColor(0x30, 0x90, 0x40));
        }));
    return icon;
}

}  // namespace lumavex
