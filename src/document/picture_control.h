#pragma once

#include <QPixmap>
#include <QWidget>

#include "core/raster.h"
#include "dialogs/shape_control.h"

namespace lumavex {

/// A picture control: shows a working raster at its top-left corner and, when it sizes itself,
/// takes the picture's size. A view zoom shows each picture pixel zoom x zoom screen pixels
/// wide; the picture itself never changes with it. Mouse events are reported in picture pixels.
class PictureControl : public QWidget {
    Q_OBJECT
public:
    explicit PictureControl(QWidget* parent = nullptr);

    const Raster& picture() const { return m_picture; }
    /// The picture for changes in place; call pictureChanged() afterwards.
    Raster& picture() { return m_picture; }
    /// Replaces the picture and shows it.
    void setPicture(Raster picture);
    /// Shows the picture again after it was changed in place (and takes its size when sizing
    /// itself).
    void pictureChanged();

    bool autoSize() const { return m_autoSize; }
    void setAutoSize(bool on);

    /// Screen pixels a picture pixel is wide (1 unless set).
    double zoom() const { return m_zoom; }
    /// Sets the view zoom: the control moves to its place and, when it sizes itself, takes the
    /// picture's size at the zoom.
    void setZoom(double zoom);
    /// The control's top-left corner in picture pixels of the view it lies on (it sits at
    /// place x zoom).
    QPoint place() const { return m_place; }
    void setPlace(const QPoint& place);
    /// The picture pixel under a point of the control; outside the picture while the mouse is
    /// held beyond its edge.
    QPoint picturePoint(const QPointF& controlPoint) const;
    /// The picture's size at the zoom, in screen pixels.
    QSize zoomedSize() const;

    QSize sizeHint() const override;

    /// While a command works on the picture on another thread, the control keeps showing what
    /// it showed when frozen and never reads the picture; thaw() shows the picture again.
    void freeze();
    void thaw();

signals:
    /// The pop-up menu was asked for over this picture, at a global position.
    void popupRequested(const QPoint& globalPosition);
    /// The mouse over the picture, in picture pixels.
    void mousePressed(const QPoint& point, Qt::MouseButton button);
    void mouseMoved(const QPoint& point);
    void mouseReleased(const QPoint& point, Qt::MouseButton button);
    /// After the press of the second click.
    void doubleClicked(const QPoint& point);

protected:
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    Raster m_picture;
    bool m_autoSize = false;
    double m_zoom = 1.0;
    QPoint m_place;
    bool m_frozen = false;
    QRect m_frozenArea;
    QPixmap m_frozenView;
};

/// A status bar of fixed panels side by side, each showing one text.
class PanelStatusBar : public QWidget {
    Q_OBJECT
public:
    /// Panels of the given widths in pixels.
    PanelStatusBar(std::initializer_list<int> widths, QWidget* parent = nullptr);

    int panelCount() const;
    QString panelText(int index) const;
    /// Sets a panel's text and repaints it at once.
    void setPanelText(int index, const QString& text);
    /// The width of a panel in pixels.
    int panelWidth(int index) const;
};

}  // namespace lumavex
