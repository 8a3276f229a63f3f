#pragma once

#include <QObject>

namespace lumavex {

class PictureControl;

/// The scanner input of a toolkit view: selects the scanner source and acquires one picture
/// into the view.
class ScannerInput : public QObject {
    Q_OBJECT
public:
    ScannerInput(PictureControl* view, QObject* parent);

    /// The scanner's source selection dialog; whether a source was chosen.
    bool selectSource(QWidget* dialogParent);
    /// Acquires one picture from the selected source into the view; false when none came.
    bool acquire(QWidget* dialogParent);

private:
    PictureControl* m_view;
};

}  // namespace lumavex
