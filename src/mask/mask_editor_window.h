#pragma once

#include <QDialog>

namespace lumavex {

/// The FL mask editor: a second picture window in which a rectangle of 8 x 8 tiles is marked
/// and the reversible FL mask applied. Shown modally by the document's "Mask" commands.
class MaskEditorWindow : public QDialog {
    Q_OBJECT
public:
    explicit MaskEditorWindow(QWidget* parent = nullptr);
};

}  // namespace lumavex
