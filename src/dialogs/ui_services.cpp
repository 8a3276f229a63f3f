#include "ui_services.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QSlider>
#include <QSpinBox>
#include <QStringList>
#include <QVBoxLayout>

namespace lumavex {

namespace {

class RealDialogs : public UiServices {
public:
    QMessageBox::StandardButton ask(QWidget* parent, const QString& caption, const QString& text,
                                    QMessageBox::StandardButtons buttons) override
    {
        QMessageBox box(QMessageBox::Question, caption, text, buttons, parent);
        const int result = box.exec();
        return static_cast<QMessageBox::StandardButton>(result);
    }

    void showError(QWidget* parent, const QString& message) override
    {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Lumavex"), message, QMessageBox::Ok,
                        parent);
        box.exec();
    }

    void showMessage(QWidget* parent, const QString& text) override
    {
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Lumavex"), text, QMessageBox::Ok,
                        parent);
        box.exec();
    }

    std::optional<QColor> chooseColor(QWidget* parent, const QColor& initial) override
    {
        const QColor c = QColorDialog::getColor(initial, parent);
        if (!c.isValid())
            return std::nullopt;
        return c;
    }

    std::optional<QFont> chooseFont(QWidget* parent, const QFont& initial) override
    {
        bool ok = false;
        const QFont f = QFontDialog::getFont(&ok, initial, parent);
        if (!ok)
            return std::nullopt;
        return f;
    }

    QString openFileName(QWidget* parent, const QString& filter) override
    {
        return QFileDialog::getOpenFileName(parent, QString(), QString(), qtFileFilter(filter));
    }

    QString saveFileName(QWidget* parent, const QString& filter) override
    {
        return QFileDialog::getSaveFileName(parent, QString(), QString(), qtFileFilter(filter));
    }

    QString chooseFolder(QWidget* parent, const QString& caption) override
    {
        return QFileDialog::getExistingDirectory(parent, caption);
    }

    bool printSetup(QWidget* parent, QPrinter& printer) override
    {
        QPageSetupDialog dialog(&printer, parent);
        return dialog.exec() == QDialog::Accepted;
    }

    std::optional<int> askQuality(QWidget* parent, const QString& format, int initial,
                                  bool* lossless) override
    {
        QDialog dialog(parent);
        dialog.setObjectName(QStringLiteral("QualityDialog"));
        dialog.setWindowTitle(format + QStringLiteral(" の画質"));
        auto* slider = new QSlider(Qt::Horizontal, &dialog);
        auto* spin = new QSpinBox(&dialog);
        slider->setRange(1, 100);
        spin->setRange(1, 100);
        slider->setValue(initial);
        spin->setValue(initial);
        QObject::connect(slider, &QSlider::valueChanged, spin, &QSpinBox::setValue);
        QObject::connect(spin, &QSpinBox::valueChanged, slider, &QSlider::setValue);
        auto* buttons =
            new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
        QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
        QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
        auto* row = new QHBoxLayout;
        row->addWidget(new QLabel(QStringLiteral("画質 (1〜100):"), &dialog));
        row->addWidget(slider, 1);
        row->addWidget(spin);
        auto* layout = new QVBoxLayout(&dialog);
        layout->addLayout(row);
        layout->addWidget(
            new QLabel(QStringLiteral("大きいほど画質が良く、ファイルが大きくなります"), &dialog));
        QCheckBox* exact = nullptr;
        if (lossless) {
            exact = new QCheckBox(QStringLiteral("可逆圧縮 (画質は変わりません)"), &dialog);
            exact->setObjectName(QStringLiteral("Lossless"));
            exact->setChecked(*lossless);
            QObject::connect(exact, &QCheckBox::toggled, slider, &QWidget::setDisabled);
            QObject::connect(exact, &QCheckBox::toggled, spin, &QWidget::setDisabled);
            slider->setDisabled(*lossless);
            spin->setDisabled(*lossless);
            layout->addWidget(exact);
        }
        layout->addWidget(buttons);
        spin->setFocus();
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        if (exact)
            *lossless = exact->isChecked();
        return spin->value();
    }
};

RealDialogs& realDialogs()
{
    static RealDialogs dialogs;
    return dialogs;
}

UiServices* installed = nullptr;

}  // namespace

UiServices& UiServices::current()
{
    return installed ? *installed : realDialogs();
}

void UiServices::install(UiServices* services)
{
    installed = services;
}

QString qtFileFilter(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        if (patterns == QLatin1String("*.*"))
            patterns = QStringLiteral("*");
        filters << parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

}  // namespace lumavex
