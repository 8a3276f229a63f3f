#pragma once

#include <QDialog>

#include "core/raster.h"
#include "dialogs/shape_control.h"

class QLabel;
class QPushButton;
class QScrollArea;

namespace lumavex {

class MaskPictureView;

/// The FL mask editor ("FEditImage2"): a second picture window in which a rectangle of whole
/// 8 x 8 tiles is marked and the reversible FL mask applied to it. The document's "Mask"
/// commands show it modally on a copy of their picture and take the picture back when it
/// closes. The zoom factor and the marquee last between showings.
class MaskEditorWindow : public QDialog {
    Q_OBJECT
public:
    explicit MaskEditorWindow(QWidget* parent = nullptr);
    ~MaskEditorWindow() override;

    /// Shows the editor modally on a copy of the picture and returns the picture as the editor
    /// leaves it when it closes, in whatever way: there is no cancel, and an unchanged picture
    /// comes back unchanged.
    Raster editPicture(const Raster& picture);
    /// Starts editing a copy of a picture (editPicture's first step), shown at the zoom factor.
    void setPicture(const Raster& picture);
    /// The picture being edited, as the FL commands left it.
    const Raster& picture() const { return m_working; }

    /// Display pixels a picture pixel is wide: 1 or more.
    int zoomFactor() const { return m_zoom; }
    /// The marked rectangle in picture pixels, corners as dragged. Until the first drag it is
    /// the marquee's place in the form (476, 207, 89 x 79).
    ShapeBounds selection() const;

    QScrollArea* scrollArea() const { return m_scrollArea; }  ///< "ScrollBox1"
    QWidget* pictureView() const;                             ///< "Image1"
    ShapeControl* marquee() const { return m_marquee; }       ///< "Shape1"
    /// BitBtn1 (zoom in), BitBtn2 (zoom out), BitBtn3 ("FL"), or null.
    QPushButton* button(int number) const;
    /// What the last command did, or why it did nothing ("MessageLabel" on the tool bar).
    QString message() const;

    /// Zoomin1Click: one display pixel more per picture pixel (up to 16).
    void onZoomIn();
    /// ZoomOut1Click: one less, never below 1.
    void onZoomOut();
    /// FLMask1Click: the FL mask on the marked rectangle.
    void onFLMask();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyZoom();
    int snapped(double display, int pictureSide) const;

    Raster m_working;
    int m_zoom = 1;
    bool m_dragging = false;
    QScrollArea* m_scrollArea = nullptr;
    QWidget* m_canvas = nullptr;
    MaskPictureView* m_view = nullptr;
    ShapeControl* m_marquee = nullptr;
    QLabel* m_message = nullptr;
};

}  // namespace lumavex
