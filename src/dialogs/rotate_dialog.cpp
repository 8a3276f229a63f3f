#include "rotate_dialog.h"

#include "dialogs/form_support.h"

TFRotat1::TFRotat1(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFRotat1"));
    setWindowTitle(QStringLiteral("回転"));
    setFont(lumavex::formFont());
    resize(251, 193);
}
