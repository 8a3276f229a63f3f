#include "shape_control.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace lumavex {

Rect ShapeBounds::normalised() const
{
    const Rect r = rect();
    return {std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
            std::max(r.top, r.bottom)};
}

ShapeControl::ShapeControl(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void ShapeControl::setBounds(const ShapeBounds& bounds)
{
    m_bounds = bounds;
    place();
}

void ShapeControl::setScale(double scale)
{
    m_scale = scale;
    place();
}

void ShapeControl::place()
{
    const Rect r = m_bounds.normalised();
    const auto at = [this](int unit) { return static_cast<int>(std::lround(unit * m_scale)); };
    setGeometry(at(r.left), at(r.top), at(r.right) - at(r.left), at(r.bottom) - at(r.top));
    update();
}

void ShapeControl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QPen pen(QColor(0xC0, 0xC0, 0xC0));
    pen.setStyle(Qt::DotLine);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace lumavex
