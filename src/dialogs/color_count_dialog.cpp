#include "color_count_dialog.h"

#include <QButtonGroup>
#include <QPushButton>
#include <QRadioButton>

#include "dialogs/form_support.h"

TFColorSel1::TFColorSel1(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFColorSel1"));
    setWindowTitle(QStringLiteral("色変換"));
    setFont(lumavex::formFont());
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

    auto* ok = lumavex::addButton(this, "Button1", QStringLiteral("OK"), QRect(21, 183, 75, 22));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &TFColorSel1::Button1Click);
    auto* cancel =
        lumavex::addButton(this, "Button2", QStringLiteral("Cancel"), QRect(111, 183, 75, 22));
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &TFColorSel1::Button2Click);
}

int TFColorSel1::execDialog()
{
    exec();
    return m_colorCount;
}

void TFColorSel1::Button1Click()
{
    for (const Choice& c : m_choices) {
        if (c.button->isChecked())
            m_colorCount = c.count;
    }
    accept();
}

void TFColorSel1::Button2Click()
{
    reject();
}

void TFColorSel1::reject()
{
    // The close box and Escape are a Cancel: no reduction with a count the user walked away from.
    m_colorCount = 0;
    QDialog::reject();
}
