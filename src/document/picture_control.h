#pragma once

#include <QWidget>

#include "core/raster.h"

namespace lumavex {

/// A picture control: shows a working raster at its top-left corner and, when it sizes itself,
/// takes the picture's size.
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

    QSize sizeHint() const override;

signals:
    /// The pop-up menu was asked for over this picture, at a global position.
    void popupRequested(const QPoint& globalPosition);

protected:
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    Raster m_picture;
    bool m_autoSize = false;
};

/// The selection marquee: a dotted silver rectangle outline over a transparent inside.
class ShapeControl : public QWidget {
    Q_OBJECT
public:
    explicit ShapeControl(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

/// A status bar of fixed panels side by side, each showing one text.
class PanelStatusBar : public QWidget {
    Q_OBJECT
public:
    /// Panels of the given widths in pixels.
    PanelStatusBar(std::initializer_list<int> widths, QWidget* parent = nullptr);

    int panelCount() const;
    QString panelText(int index) const;
    /// Sets a panel's text and repaints it at once, so that marks show while a long effect holds
    /// the user-interface thread.
    void setPanelText(int index, const QString& text);
    /// The width of a panel in pixels.
    int panelWidth(int index) const;
};

}  // namespace lumavex
