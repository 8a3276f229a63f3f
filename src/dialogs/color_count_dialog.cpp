#include "color_count_dialog.h"

#include <QButtonGroup>
#include <QPushButton>
#include <QRadioButton>

#include "dialogs/form_support.h"

namespace lumavex {

ColorCountDialog::ColorCountDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFColorSel1"));
    setWindowTitle(QStringLiteral("色変換"));
    setFont(formFont());
    setFixedSize(217, 245);

    auto* group = new QButtonGroup(this);
    const struct {
        const char* name;
        int count;
        int top;
    } choices[] = {
        {"RB2", 2, 30},          {"RB16", 16, 57},        {"RB256", 256, 84},
        {"RB32000", 32000, 111}, {"RB64000", 64000, 141},
    };
    for (const auto& c : choices) {
        auto* button = new QRadioButton(QString::number(c.count), this);
        button->setObjectName(QString::fromLatin1(c.name));
        button->move(54, c.top);
        button->adjustSize();
        group->addButton(button);
        m_choices.push_back({button, c.count});
    }

    addOkCancelButtons(this, QRect(21, 183, 75, 22), QRect(111, 183, 75, 22),
                       &ColorCountDialog::onOk, &ColorCountDialog::onCancel);
}

int ColorCountDialog::execDialog()
{
    exec();
    return m_colorCount;
}

void ColorCountDialog::onOk()
{
    for (const Choice& c : m_choices) {
        if (c.button->isChecked())
            m_colorCount = c.count;
    }
    accept();
}

void ColorCountDialog::onCancel()
{
    reject();
}

void ColorCountDialog::reject()
{
    // The close box and Escape are a Cancel: no reduction with a count the user walked away from.
    m_colorCount = 0;
    QDialog::reject();
}

}  // namespace lumavex
