#include "color_count_dialog.h"

#include "dialogs/form_support.h"

TFColorSel1::TFColorSel1(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFColorSel1"));
    setWindowTitle(QStringLiteral("色変換"));
    setFont(lumavex::formFont());
    resize(217, 245);
}
