#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPushButton>
#include <QRect>
#include <QString>

#include "core/raster.h"

class QLabel;
class QWidget;

namespace lumavex {

/// The font of every form: "ＭＳ Ｐゴシック", 12 pixels high (installFonts() maps the name).
inline QFont formFont()
{
    QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
    font.setPixelSize(12);
    return font;
}

/// A colour value (0x00BBGGRR) as a QColor, and back (alpha dropped).
inline QColor qColorOf(Color color)
{
    return QColor(redOf(color), greenOf(color), blueOf(color));
}
inline Color colorOf(const QColor& color)
{
    return makeColor(color.red(), color.green(), color.blue());
}

/// The glyph of the buttons that open the colour dialog: four paint swatches.
QIcon colorButtonGlyph();

/// A label of a form at (x, y), sized to its text; name, when given, is its objectName.
QLabel* addLabel(QWidget* parent, const QString& text, int x, int y, const char* name = nullptr);

/// A push button of a form: its objectName, caption and place.
QPushButton* addButton(QWidget* parent, const char* name, const QString& caption,
                       const QRect& geometry);

/// A form's OK button (Button1, the default) and Cancel button (Button2) at their places, clicks
/// going to onOk and onCancel of the dialog.
template <class Dialog, class OkSlot, class CancelSlot>
void addOkCancelButtons(Dialog* dialog, const QRect& okPlace, const QRect& cancelPlace, OkSlot onOk,
                        CancelSlot onCancel)
{
    QPushButton* ok = addButton(dialog, "Button1", QStringLiteral("OK"), okPlace);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, dialog, onOk);
    QPushButton* cancel = addButton(dialog, "Button2", QStringLiteral("Cancel"), cancelPlace);
    cancel->setAutoDefault(false);
    QObject::connect(cancel, &QPushButton::clicked, dialog, onCancel);
}

}  // namespace lumavex
