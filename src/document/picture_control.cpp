#include "picture_control.h"

#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>

#include <cmath>

#include "bridge/qimage_bridge.h"

namespace lumavex {

PictureControl::PictureControl(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void PictureControl::setPicture(Raster picture)
{
    m_picture = std::move(picture);
    pictureChanged();
}

void PictureControl::pictureChanged()
{
    if (m_autoSize)
        resize(zoomedSize());
    update();
}

void PictureControl::setAutoSize(bool on)
{
    m_autoSize = on;
    if (on)
        resize(zoomedSize());
}

void PictureControl::setZoom(double zoom)
{
    m_zoom = zoom;
    setPlace(m_place);
    pictureChanged();
}

void PictureControl::setPlace(const QPoint& place)
{
    m_place = place;
    move(static_cast<int>(std::lround(place.x() * m_zoom)),
         static_cast<int>(std::lround(place.y() * m_zoom)));
}

QPoint PictureControl::picturePoint(const QPointF& controlPoint) const
{
    return {static_cast<int>(std::floor(controlPoint.x() / m_zoom)),
            static_cast<int>(std::floor(controlPoint.y() / m_zoom))};
}

QSize PictureControl::zoomedSize() const
{
    if (m_frozen)
        return size();
    const auto scaled = [this](int side) {
        return side > 0 ? std::max(1, static_cast<int>(std::ceil(side * m_zoom))) : 0;
    };
    return {scaled(m_picture.width()), scaled(m_picture.height())};
}

QSize PictureControl::sizeHint() const
{
    return zoomedSize();
}

void PictureControl::freeze()
{
    // Only the part on screen is kept: a few megabytes at most, however large the picture.
    m_frozenArea = visibleRegion().boundingRect();
    m_frozenView = m_frozenArea.isEmpty() ? QPixmap() : grab(m_frozenArea);
    m_frozen = true;
}

void PictureControl::thaw()
{
    m_frozen = false;
    m_frozenView = QPixmap();
}

void PictureControl::paintEvent(QPaintEvent* event)
{
    if (m_frozen) {
        if (!m_frozenView.isNull())
            QPainter(this).drawPixmap(m_frozenArea.topLeft(), m_frozenView);
        return;
    }
    if (m_picture.empty())
        return;
    QPainter painter(this);
    paintRaster(painter, m_picture, m_zoom, event->rect());
}

void PictureControl::contextMenuEvent(QContextMenuEvent* event)
{
    emit popupRequested(event->globalPos());
    event->accept();
}

void PictureControl::mousePressEvent(QMouseEvent* event)
{
    emit mousePressed(picturePoint(event->position()), event->button());
}

void PictureControl::mouseMoveEvent(QMouseEvent* event)
{
    emit mouseMoved(picturePoint(event->position()));
}

void PictureControl::mouseReleaseEvent(QMouseEvent* event)
{
    emit mouseReleased(picturePoint(event->position()), event->button());
}

// The second press of a double click is a press as well, then the double click.
void PictureControl::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QPoint point = picturePoint(event->position());
    emit mousePressed(point, event->button());
    emit doubleClicked(point);
}

PanelStatusBar::PanelStatusBar(std::initializer_list<int> widths, QWidget* parent) : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 1, 0, 0);
    layout->setSpacing(2);
    for (const int width : widths) {
        auto* panel = new QLabel(this);
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setFixedWidth(width);
        QPalette palette = panel->palette();
        palette.setColor(QPalette::WindowText, Qt::blue);
        panel->setPalette(palette);
        layout->addWidget(panel);
    }
    layout->addStretch(1);
    // The panels keep their widths; a narrow window cuts them off instead of growing.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

int PanelStatusBar::panelCount() const
{
    return static_cast<int>(findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly).size());
}

static QLabel* panelAt(const PanelStatusBar* bar, int index)
{
    const auto panels = bar->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
    return index >= 0 && index < panels.size() ? panels[index] : nullptr;
}

QString PanelStatusBar::panelText(int index) const
{
    const QLabel* panel = panelAt(this, index);
    return panel ? panel->text() : QString();
}

void PanelStatusBar::setPanelText(int index, const QString& text)
{
    if (QLabel* panel = panelAt(this, index)) {
        panel->setText(text);
        panel->repaint();
    }
}

int PanelStatusBar::panelWidth(int index) const
{
    const QLabel* panel = panelAt(this, index);
    return panel ? panel->maximumWidth() : 0;
}

}  // namespace lumavex
