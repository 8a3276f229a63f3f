#include "size_dialog.h"

#include <QCheckBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "dialogs/form_support.h"
#include "dialogs/ui_services.h"
#include "core/color.h"
#include "core/convert.h"
#include "core/error.h"

namespace lumavex {

SizeDialog::SizeDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFSize1"));
    setWindowTitle(QStringLiteral("ｻｲｽﾞ"));
    setFont(formFont());
    setFixedSize(232, 178);

    auto* label1 = new QLabel(QStringLiteral("Width"), this);
    label1->setObjectName(QStringLiteral("Label1"));
    label1->move(21, 33);
    m_width = new QLineEdit(QStringLiteral("0"), this);
    m_width->setObjectName(QStringLiteral("Width1"));
    m_width->setGeometry(21, 48, 55, 21);
    m_width->installEventFilter(this);

    auto* label2 = new QLabel(QStringLiteral("Height"), this);
    label2->setObjectName(QStringLiteral("Label2"));
    label2->move(129, 33);
    m_height = new QLineEdit(QStringLiteral("0"), this);
    m_height->setObjectName(QStringLiteral("Height1"));
    m_height->setGeometry(126, 48, 55, 21);

    m_keepRatio = new QCheckBox(QStringLiteral("縦横比率維持"), this);
    m_keepRatio->setObjectName(QStringLiteral("rate1"));
    m_keepRatio->move(21, 84);
    m_keepRatio->adjustSize();
    connect(m_keepRatio, &QCheckBox::toggled, this, &SizeDialog::onKeepRatioToggled);

    addOkCancelButtons(this, QRect(24, 117, 75, 22), QRect(120, 117, 75, 22), &SizeDialog::onOk,
                       &SizeDialog::onCancel);
}

void SizeDialog::prepare(int width, int height)
{
    m_width->setText(QString::number(width));
    m_height->setText(QString::number(height));
    m_aspectRatio = width != 0 ? static_cast<double>(height) / width : 0;
}

bool SizeDialog::execDialog()
{
    return exec() == QDialog::Accepted;
}

int32_t SizeDialog::widthValue() const
{
    return StrToInt(m_width->text().toStdString());
}

int32_t SizeDialog::heightValue() const
{
    return StrToInt(m_height->text().toStdString());
}

void SizeDialog::onWidthEdited()
{
    if (!m_keepRatio->isChecked())
        return;
    try {
        const int32_t width = widthValue();
        m_height->setText(QString::number(RoundHalfAway(width * m_aspectRatio)));
    } catch (const Error& e) {
        UiServices::current().showError(this, QString::fromStdString(e.what()));
    }
}

void SizeDialog::onKeepRatioToggled()
{
    onWidthEdited();
}

bool SizeDialog::eventFilter(QObject* watched, QEvent* event)
{
    // Leaving the field for another control of the dialog; the focus moving to another window
    // (the error box among them) is no exit.
    if (watched == m_width && event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            onWidthEdited();
    }
    return QDialog::eventFilter(watched, event);
}

void SizeDialog::onOk()
{
    m_accepted = true;
    accept();
}

void SizeDialog::onCancel()
{
    reject();
}

void SizeDialog::reject()
{
    // The close box and Escape are a Cancel: the caller must not go on with a size the user
    // walked away from.
    m_accepted = false;
    QDialog::reject();
}

}  // namespace lumavex
