#pragma once

#include <QDialog>

#include <cstdint>

class QLineEdit;

namespace lumavex {

/// The rotate dialog ("回転"): an angle in whole degrees, positive counter-clockwise. The angle
/// text stays between uses and is not checked inside the dialog.
class RotateDialog : public QDialog {
    Q_OBJECT
public:
    explicit RotateDialog(QWidget* parent = nullptr);

    /// Shows the dialog modally; accepted().
    bool execDialog();
    bool accepted() const { return m_accepted; }
    /// Edit1 by the strict integer conversion; throws lumavex::Error(Conversion), as for the
    /// initial empty text.
    int32_t angleValue() const;

public slots:
    void onOk();
    void onCancel();
    void reject() override;

private:
    QLineEdit* m_angle;
    bool m_accepted = false;
};

}  // namespace lumavex
