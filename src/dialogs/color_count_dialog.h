#pragma once

#include <QDialog>

#include <vector>

class QRadioButton;

namespace lumavex {

/// The colour-count dialog ("色変換") of the colour reduction: 2, 16, 256, 32000 or 64000
/// colours. The choice stays between uses.
class ColorCountDialog : public QDialog {
    Q_OBJECT
public:
    explicit ColorCountDialog(QWidget* parent = nullptr);

    /// Shows the dialog modally and returns colorCount(): the chosen count after OK, 0 after
    /// Cancel (the close box and Escape included).
    int execDialog();
    /// The ColorCount field: 0 at creation.
    int colorCount() const { return m_colorCount; }

public slots:
    /// OK: ColorCount becomes the checked button's count (unchanged when none is checked).
    void onOk();
    /// Cancel: ColorCount becomes 0.
    void onCancel();
    void reject() override;

private:
    struct Choice {
        QRadioButton* button;
        int count;
    };
    std::vector<Choice> m_choices;
    int m_colorCount = 0;
};

}  // namespace lumavex
