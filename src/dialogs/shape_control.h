#pragma once

#include <QWidget>

#include "core/raster.h"

namespace lumavex {

/// The bounds of a marquee as the mouse dragged them: width or height is negative when the
/// pointer went left of or above the starting corner.
struct ShapeBounds {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    /// (left, top) to (left + width, top + height), corners as dragged.
    Rect rect() const { return {left, top, left + width, top + height}; }
    /// The same area with its right and bottom at least its left and top.
    Rect normalised() const;
    bool operator==(const ShapeBounds&) const = default;
};

/// The selection marquee: a dotted silver rectangle outline over a transparent inside, drawn over
/// the area its bounds span. Bounds are in units of the view it lies on, which shows each unit
/// scale pixels wide; the control places and sizes itself accordingly. Mouse events pass
/// through it to the picture below.
class ShapeControl : public QWidget {
    Q_OBJECT
public:
    explicit ShapeControl(QWidget* parent = nullptr);

    const ShapeBounds& bounds() const { return m_bounds; }
    void setBounds(const ShapeBounds& bounds);
    double scale() const { return m_scale; }
    void setScale(double scale);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void place();

    ShapeBounds m_bounds;
    double m_scale = 1.0;
};

}  // namespace lumavex
