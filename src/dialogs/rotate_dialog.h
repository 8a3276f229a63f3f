#pragma once

#include <QDialog>

#include <cstdint>

class QLineEdit;

/// The rotate dialog ("回転"): an angle in whole degrees, positive counter-clockwise. The angle
/// text stays between uses and is not checked inside the dialog.
class TFRotat1 : public QDialog {
    Q_OBJECT
public:
    explicit TFRotat1(QWidget* parent = nullptr);

    /// Shows the dialog modally; accepted().
    bool execDialog();
    bool accepted() const { return m_accepted; }
    /// Edit1 by the strict integer conversion; throws lumavex::Error(Conversion), as for the
    /// initial empty text.
    int32_t angleValue() const;

public slots:
    void Button1Click();
    void Button2Click();
    void reject() override;

private:
    QLineEdit* m_angle;
    bool m_accepted = false;
};
