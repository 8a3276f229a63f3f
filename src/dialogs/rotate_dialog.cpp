#include "rotate_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "dialogs/form_support.h"
#include "core/convert.h"

namespace lumavex {

RotateDialog::RotateDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFRotat1"));
    setWindowTitle(QStringLiteral("回転"));
    setFont(formFont());
    setFixedSize(251, 193);

    auto* label = new QLabel(QStringLiteral("角度"), this);
    label->setObjectName(QStringLiteral("Label1"));
    label->move(39, 39);
    m_angle = new QLineEdit(this);
    m_angle->setObjectName(QStringLiteral("Edit1"));
    m_angle->setGeometry(45, 57, 121, 21);

    addOkCancelButtons(this, QRect(27, 129, 75, 25), QRect(123, 129, 75, 25), &RotateDialog::onOk,
                       &RotateDialog::onCancel);
}

bool RotateDialog::execDialog()
{
    m_angle->setFocus();
    return exec() == QDialog::Accepted;
}

int32_t RotateDialog::angleValue() const
{
    return StrToInt(m_angle->text().toStdString());
}

void RotateDialog::onOk()
{
    m_accepted = true;
    accept();
}

void RotateDialog::onCancel()
{
    reject();
}

void RotateDialog::reject()
{
    // The close box and Escape are a Cancel.
    m_accepted = false;
    QDialog::reject();
}

}  // namespace lumavex
