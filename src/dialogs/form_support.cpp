#include "form_support.h"

#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

namespace lumavex {

QIcon colorButtonGlyph()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    const QColor swatches[] = {QColor(220, 40, 40), QColor(40, 170, 60), QColor(40, 80, 220),
                               QColor(240, 200, 30)};
    for (int i = 0; i < 4; ++i) {
        const QRect r(1 + (i % 2) * 7, 1 + (i / 2) * 7, 6, 6);
        painter.fillRect(r, swatches[i]);
        painter.setPen(QColor(64, 64, 64));
        painter.drawRect(r.adjusted(0, 0, -1, -1));
    }
    return QIcon(pixmap);
}

QLabel* addLabel(QWidget* parent, const QString& text, int x, int y, const char* name)
{
    auto* label = new QLabel(text, parent);
    if (name)
        label->setObjectName(QString::fromLatin1(name));
    label->move(x, y);
    label->adjustSize();
    return label;
}

QPushButton* addButton(QWidget* parent, const char* name, const QString& caption,
                       const QRect& geometry)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(geometry);
    return button;
}

}  // namespace lumavex
