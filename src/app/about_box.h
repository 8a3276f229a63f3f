#pragma once

#include <QDialog>

namespace lumavex {

/// "About...": the program's icon, name and version, and an OK button that closes the box.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent = nullptr);
};

}  // namespace lumavex
