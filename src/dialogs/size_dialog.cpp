#include "size_dialog.h"

#include "dialogs/form_support.h"

TFSize1::TFSize1(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFSize1"));
    setWindowTitle(QStringLiteral("ｻｲｽﾞ"));
    setFont(lumavex::formFont());
    resize(232, 178);
}
