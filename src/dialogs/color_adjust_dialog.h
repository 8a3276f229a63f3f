#pragma once

#include <QDialog>

#include "core/raster.h"
#include "toolkit/color_adjust.h"

class QLabel;
class QSpinBox;
class QTabWidget;

namespace lumavex {

/// The colour-adjust and filter dialog: one page a bit of the page set (2 "Contrast", 4 "HSV",
/// 8 "HSL", 16 "RGB", 32 "User filter", 64 "Equalization"; 1 shows them all), each with its
/// controls and Reset, over a live preview of the picture scaled down.
class ColorAdjustDialog : public QDialog {
    Q_OBJECT
public:
    ColorAdjustDialog(const Raster& picture, int pageSet, QWidget* parent = nullptr);

    /// The settings the controls show now.
    ColorAdjustSettings settings() const;
    int pageSet() const { return m_pageSet; }
    /// The preview as shown: the scaled-down picture with the settings applied.
    const Raster& preview() const { return m_preview; }

public slots:
    void onControlChanged();
    void onResetPage();

private:
    QSpinBox* addSlider(QWidget* page, const char* name, const QString& caption, int low, int high,
                        int neutral);
    void updatePreview();

    int m_pageSet;
    Raster m_scaled;
    Raster m_preview;
    QTabWidget* m_pages;
    QLabel* m_previewLabel;
    bool m_updateQueued = false;
};

/// Shows the dialog modally on the pages of the page set. OK applies the settings to the
/// picture and gives true; Cancel gives false and leaves the picture as it was.
bool showAdjustPreview(QWidget* parent, Raster& picture, int pageSet);

}  // namespace lumavex
