#include "color_adjust_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

#include "bridge/qimage_bridge.h"
#include "dialogs/form_support.h"
#include "toolkit/resample.h"

namespace lumavex {

namespace {

constexpr int kPreviewSide = 320;

// The picture scaled to fit the preview box (never up).
Raster scaledForPreview(const Raster& picture)
{
    Raster scaled(picture);
    if (picture.empty())
        return scaled;
    const double scale = std::min(
        {1.0, double(kPreviewSide) / picture.width(), double(kPreviewSide) / picture.height()});
    if (scale < 1.0)
        Resample(scaled, std::max(1, int(picture.width() * scale)),
                 std::max(1, int(picture.height() * scale)));
    return scaled;
}

}  // namespace

ColorAdjustDialog::ColorAdjustDialog(const Raster& picture, int pageSet, QWidget* parent)
    : QDialog(parent), m_pageSet(pageSet), m_scaled(scaledForPreview(picture))
{
    setObjectName(QStringLiteral("ColorAdjustDialog"));
    setWindowTitle(QStringLiteral("Adjust"));
    setFont(formFont());

    m_previewLabel = new QLabel(this);
    m_previewLabel->setObjectName(QStringLiteral("Preview"));
    m_previewLabel->setMinimumSize(kPreviewSide, kPreviewSide);
    m_previewLabel->setAlignment(Qt::AlignCenter);

    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("Pages"));
    auto shown = [&](int bit) { return (pageSet & kAllPages) != 0 || (pageSet & bit) != 0; };
    auto addPage = [&](const char* name, const QString& title) {
        auto* page = new QWidget;
        page->setObjectName(QString::fromLatin1(name));
        page->setLayout(new QFormLayout);
        m_pages->addTab(page, title);
        return page;
    };
    if (shown(kContrastPage)) {
        QWidget* page = addPage("ContrastPage", QStringLiteral("Contrast"));
        addSlider(page, "Contrast", QStringLiteral("Amount"), -10, 30, 0);
    }
    if (shown(kHsvPage)) {
        QWidget* page = addPage("HsvPage", QStringLiteral("HSV"));
        addSlider(page, "HsvHue", QStringLiteral("Hue"), -180, 180, 0);
        addSlider(page, "HsvSaturation", QStringLiteral("Saturation"), -100, 100, 0);
        addSlider(page, "HsvValue", QStringLiteral("Value"), -100, 100, 0);
    }
    if (shown(kHslPage)) {
        QWidget* page = addPage("HslPage", QStringLiteral("HSL"));
        addSlider(page, "HslHue", QStringLiteral("Hue"), -180, 180, 0);
        addSlider(page, "HslSaturation", QStringLiteral("Saturation"), -100, 100, 0);
        addSlider(page, "HslLightness", QStringLiteral("Lightness"), -100, 100, 0);
    }
    if (shown(kRgbPage)) {
        QWidget* page = addPage("RgbPage", QStringLiteral("RGB"));
        addSlider(page, "Red", QStringLiteral("Red"), -255, 255, 0);
        addSlider(page, "Green", QStringLiteral("Green"), -255, 255, 0);
        addSlider(page, "Blue", QStringLiteral("Blue"), -255, 255, 0);
    }
    if (shown(kUserFilterPage)) {
        QWidget* page = addPage("UserFilterPage", QStringLiteral("User filter"));
        auto* grid = new QGridLayout;
        const ColorAdjustSettings neutral;
        for (int i = 0; i < 9; ++i) {
            auto* cell = new QSpinBox(page);
            cell->setObjectName(QStringLiteral("Kernel%1").arg(i));
            cell->setRange(-99, 99);
            cell->setValue(neutral.kernel[i]);
            cell->setProperty("neutral", neutral.kernel[i]);
            connect(cell, &QSpinBox::valueChanged, this, &ColorAdjustDialog::onControlChanged);
            grid->addWidget(cell, i / 3, i % 3);
        }
        auto* form = static_cast<QFormLayout*>(page->layout());
        form->addRow(QStringLiteral("Kernel"), grid);
        for (auto [name, caption, low, high, neutralValue] :
             {std::tuple{"Divisor", "Divisor", 1, 999, 1},
              std::tuple{"Bias", "Bias", -255, 255, 0}}) {
            auto* box = new QSpinBox(page);
            box->setObjectName(QString::fromLatin1(name));
            box->setRange(low, high);
            box->setValue(neutralValue);
            box->setProperty("neutral", neutralValue);
            connect(box, &QSpinBox::valueChanged, this, &ColorAdjustDialog::onControlChanged);
            form->addRow(QString::fromLatin1(caption), box);
        }
    }
    if (shown(kEqualizationPage)) {
        QWidget* page = addPage("EqualizationPage", QStringLiteral("Equalization"));
        auto* equalize = new QCheckBox(QStringLiteral("Equalize the histogram"), page);
        equalize->setObjectName(QStringLiteral("Equalize"));
        connect(equalize, &QCheckBox::toggled, this, &ColorAdjustDialog::onControlChanged);
        static_cast<QFormLayout*>(page->layout())->addRow(equalize);
    }
    for (int i = 0; i < m_pages->count(); ++i) {
        QWidget* page = m_pages->widget(i);
        auto* reset = new QPushButton(QStringLiteral("Reset"), page);
        reset->setObjectName(QStringLiteral("Reset"));
        reset->setAutoDefault(false);
        connect(reset, &QPushButton::clicked, this, &ColorAdjustDialog::onResetPage);
        static_cast<QFormLayout*>(page->layout())->addRow(reset);
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("Buttons"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("OkButton"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("CancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* top = new QHBoxLayout;
    top->addWidget(m_pages, 1);
    top->addWidget(m_previewLabel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
    updatePreview();
}

QSpinBox* ColorAdjustDialog::addSlider(QWidget* page, const char* name, const QString& caption,
                                       int low, int high, int neutral)
{
    auto* slider = new QSlider(Qt::Horizontal, page);
    slider->setObjectName(QString::fromLatin1(name) + QStringLiteral("Slider"));
    slider->setRange(low, high);
    auto* box = new QSpinBox(page);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(low, high);
    box->setValue(neutral);
    box->setProperty("neutral", neutral);
    slider->setValue(neutral);
    connect(slider, &QSlider::valueChanged, box, &QSpinBox::setValue);
    connect(box, &QSpinBox::valueChanged, slider, &QSlider::setValue);
    connect(box, &QSpinBox::valueChanged, this, &ColorAdjustDialog::onControlChanged);
    auto* row = new QHBoxLayout;
    row->addWidget(slider, 1);
    row->addWidget(box);
    static_cast<QFormLayout*>(page->layout())->addRow(caption, row);
    return box;
}

ColorAdjustSettings ColorAdjustDialog::settings() const
{
    ColorAdjustSettings s;
    auto value = [&](const char* name, int& into) {
        if (auto* box = findChild<QSpinBox*>(QString::fromLatin1(name)))
            into = box->value();
    };
    value("Contrast", s.contrast);
    value("HsvHue", s.hsvHue);
    value("HsvSaturation", s.hsvSaturation);
    value("HsvValue", s.hsvValue);
    value("HslHue", s.hslHue);
    value("HslSaturation", s.hslSaturation);
    value("HslLightness", s.hslLightness);
    value("Red", s.red);
    value("Green", s.green);
    value("Blue", s.blue);
    for (int i = 0; i < 9; ++i)
        value(QStringLiteral("Kernel%1").arg(i).toLatin1().constData(), s.kernel[i]);
    value("Divisor", s.divisor);
    value("Bias", s.bias);
    if (auto* equalize = findChild<QCheckBox*>(QStringLiteral("Equalize")))
        s.equalize = equalize->isChecked();
    return s;
}

void ColorAdjustDialog::onControlChanged()
{
    // Slider drags come in bursts: one preview for each pass of the event loop.
    if (m_updateQueued)
        return;
    m_updateQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_updateQueued = false;
        updatePreview();
    });
}

void ColorAdjustDialog::onResetPage()
{
    QWidget* page = m_pages->currentWidget();
    if (auto* button = qobject_cast<QWidget*>(sender()))
        page = button->parentWidget();
    for (auto* box : page->findChildren<QSpinBox*>())
        box->setValue(box->property("neutral").toInt());
    for (auto* check : page->findChildren<QCheckBox*>())
        check->setChecked(false);
}

void ColorAdjustDialog::updatePreview()
{
    m_preview = m_scaled;
    ApplyColorAdjustments(m_preview, settings(), m_pageSet);
    m_previewLabel->setPixmap(QPixmap::fromImage(imageFromRaster(m_preview)));
}

bool showAdjustPreview(QWidget* parent, Raster& picture, int pageSet)
{
    ColorAdjustDialog dialog(picture, pageSet, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        ApplyColorAdjustments(picture, dialog.settings(), pageSet);
    } catch (...) {
        QApplication::restoreOverrideCursor();
        throw;
    }
    QApplication::restoreOverrideCursor();
    return true;
}

}  // namespace lumavex
