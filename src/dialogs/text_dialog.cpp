#include "text_dialog.h"

#include "dialogs/form_support.h"

TFText1::TFText1(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFText1"));
    setWindowTitle(QStringLiteral("テキスト出力"));
    setFont(lumavex::formFont());
    resize(414, 474);
}
