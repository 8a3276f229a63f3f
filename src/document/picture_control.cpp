#include "picture_control.h"

#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPaintEvent>

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
        resize(m_picture.width(), m_picture.height());
    update();
}

void PictureControl::setAutoSize(bool on)
{
    m_autoSize = on;
    if (on)
        resize(m_picture.width(), m_picture.height());
}

QSize PictureControl::sizeHint() const
{
    return {m_picture.width(), m_picture.height()};
}

void PictureControl::paintEvent(QPaintEvent* event)
{
    if (m_picture.empty())
        return;
    const QImage view = viewRaster(m_picture);
    const QRect area = event->rect() & QRect(0, 0, view.width(), view.height());
    if (area.isEmpty())
        return;
    QPainter painter(this);
    painter.drawImage(area.topLeft(), view, area);
}

void PictureControl::contextMenuEvent(QContextMenuEvent* event)
{
    emit popupRequested(event->globalPos());
    event->accept();
}

ShapeControl::ShapeControl(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
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
