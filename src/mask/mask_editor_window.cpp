#include "mask_editor_window.h"

#include "dialogs/form_support.h"

namespace lumavex {

MaskEditorWindow::MaskEditorWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFEditImage2"));
    setWindowTitle(QStringLiteral("FEditImage2"));
    setFont(formFont());
    resize(611, 431);
}

}  // namespace lumavex
