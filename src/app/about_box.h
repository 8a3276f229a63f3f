#pragma once

#include <QDialog>

namespace lumavex {

/// "About...": the program's icon, name and version, and an OK button that closes the box.
class TFAboutBox1 : public QDialog {
    Q_OBJECT
public:
    explicit TFAboutBox1(QWidget* parent = nullptr);
};

}  // namespace lumavex
