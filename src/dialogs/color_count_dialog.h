#pragma once

#include <QDialog>

/// The colour-count dialog of the colour reduction: 2, 16, 256, 32000 or 64000 colours.
class TFColorSel1 : public QDialog {
    Q_OBJECT
public:
    explicit TFColorSel1(QWidget* parent = nullptr);
};
