#pragma once

#include <QDialog>

#include <cstdint>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace lumavex {

/// The size dialog ("ｻｲｽﾞ") of Resample and ReSize: a new width and height, optionally keeping
/// the picture's aspect ratio. Its values stay between uses; nothing is checked inside it.
class SizeDialog : public QDialog {
    Q_OBJECT
public:
    explicit SizeDialog(QWidget* parent = nullptr);

    /// Puts a picture's size into Width1 and Height1 and sets AspectRatio to height / width
    /// (0 for a picture without width).
    void prepare(int width, int height);
    /// Shows the dialog modally; accepted().
    bool execDialog();

    bool accepted() const { return m_accepted; }
    double aspectRatio() const { return m_aspectRatio; }
    void setAspectRatio(double ratio) { m_aspectRatio = ratio; }
    /// Width1 and Height1 by the strict integer conversion; throw lumavex::Error(Conversion)
    /// with "'<text>' は整数ではありません".
    int32_t widthValue() const;
    int32_t heightValue() const;

public slots:
    /// The width edit lost the focus, or the check box changed: with the ratio kept, the height
    /// follows the width (a width that is no integer is reported and the height left alone).
    void onWidthEdited();
    void onKeepRatioToggled();
    void onOk();
    void onCancel();
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* m_width;
    QLineEdit* m_height;
    QCheckBox* m_keepRatio;
    bool m_accepted = false;
    double m_aspectRatio = 0;
};

}  // namespace lumavex
