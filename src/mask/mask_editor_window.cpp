#include "mask_editor_window.h"

#include "dialogs/form_support.h"

TFEditImage2::TFEditImage2(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFEditImage2"));
    setWindowTitle(QStringLiteral("FEditImage2"));
    setFont(lumavex::formFont());
    resize(611, 431);
}
