#pragma once

#include <QDialog>

/// The rotate dialog: an angle in whole degrees.
class TFRotat1 : public QDialog {
    Q_OBJECT
public:
    explicit TFRotat1(QWidget* parent = nullptr);
};
