#pragma once

#include <QDialog>

/// The FL mask editor: a second picture window in which a rectangle of 8 x 8 tiles is marked
/// and the reversible FL mask applied. Shown modally by the document's "Mask" commands.
class TFEditImage2 : public QDialog {
    Q_OBJECT
public:
    explicit TFEditImage2(QWidget* parent = nullptr);
};
