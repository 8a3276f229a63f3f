#pragma once

#include <QDialog>

/// The size dialog of Resample and ReSize: a new width and height.
class TFSize1 : public QDialog {
    Q_OBJECT
public:
    explicit TFSize1(QWidget* parent = nullptr);
};
