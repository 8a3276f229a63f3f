#pragma once

#include <QObject>

namespace lumavex {

class PictureControl;

/// The scanner input of a toolkit view: selects the scanner source and acquires one picture
/// into the view.
class ToolViewIO : public QObject {
    Q_OBJECT
public:
    ToolViewIO(PictureControl* view, QObject* parent);

    /// The scanner's source selection dialog; whether a source was chosen.
    bool SelectSource(QWidget* dialogParent);
    /// Acquires one picture from the selected source into the view; false when none came.
    bool Acquire(QWidget* dialogParent);

private:
    PictureControl* m_view;
};

}  // namespace lumavex
