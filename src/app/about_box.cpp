#include "about_box.h"

#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "app/glyphs.h"
#include "dialogs/form_support.h"
#include "version.h"

namespace lumavex {

AboutBox::AboutBox(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFAboutBox1"));
    setWindowTitle(QStringLiteral("About..."));
    setFixedSize(298, 312);
    setFont(formFont());

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 24, 16, 16);
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("ProgramIcon"));
    icon->setPixmap(programIcon().pixmap(64, 64));
    icon->setAlignment(Qt::AlignCenter);
    auto* name = new QLabel(QStringLiteral("Lumavex"), this);
    name->setObjectName(QStringLiteral("ProductName"));
    QFont large = formFont();
    large.setPixelSize(20);
    large.setBold(true);
    name->setFont(large);
    name->setAlignment(Qt::AlignCenter);
    auto* version = new QLabel(QStringLiteral("Version " LUMAVEX_VERSION), this);
    version->setObjectName(QStringLiteral("Version"));
    version->setAlignment(Qt::AlignCenter);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    ok->setFixedWidth(75);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    layout->addStretch(1);
    layout->addWidget(icon);
    layout->addSpacing(12);
    layout->addWidget(name);
    layout->addWidget(version);
    layout->addStretch(2);
    layout->addWidget(ok, 0, Qt::AlignCenter);

    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

}  // namespace lumavex
