#pragma once

#include <QDialog>

/// The text output dialog: the text, font, colour and position of the text effects.
class TFText1 : public QDialog {
    Q_OBJECT
public:
    explicit TFText1(QWidget* parent = nullptr);
};
