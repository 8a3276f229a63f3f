// The view zoom of the document window: how large the pictures are shown. The pictures, their
// saves and the commands never see it; the mouse is mapped through it.
#include <QAction>
#include <QMenu>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <iterator>

#include "document/document_window.h"
#include "document/picture_control.h"

namespace lumavex {

namespace {

const double kZoomSteps[] = {1.0 / 8, 1.0 / 4, 1.0 / 3, 1.0 / 2, 2.0 / 3, 1.0,  1.5,
                             2.0,     3.0,     4.0,     6.0,     8.0,     12.0, 16.0};
const double kSmallestZoom = kZoomSteps[0];
const double kLargestZoom = kZoomSteps[std::size(kZoomSteps) - 1];

// Ctrl + wheel over the view zooms around the pointer; a wheel without Ctrl scrolls.
class WheelZoom : public QObject {
public:
    explicit WheelZoom(DocumentWindow* document) : QObject(document), m_document(document) {}

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::Wheel)
            return false;
        auto* wheel = static_cast<QWheelEvent*>(event);
        if (!(wheel->modifiers() & Qt::ControlModifier))
            return false;
        // Fine-grained wheels and touch pads send small steps: one zoom step per notch.
        m_steps += wheel->angleDelta().y();
        const QPoint anchor = wheel->position().toPoint();
        for (; m_steps >= 120; m_steps -= 120)
            m_document->zoomIn(anchor);
        for (; m_steps <= -120; m_steps += 120)
            m_document->zoomOut(anchor);
        return true;
    }

private:
    DocumentWindow* m_document;
    int m_steps = 0;
};

QString zoomText(double zoom)
{
    return QString::number(zoom * 100, 'g', 3) + QLatin1Char('%');
}

}  // namespace

void DocumentWindow::createViewMenu()
{
    m_viewMenu = new QMenu(QStringLiteral("表示(&V)"), this);
    m_viewMenu->setObjectName(QStringLiteral("ViewMenu"));
    m_viewMenu->menuAction()->setObjectName(QStringLiteral("ViewMenu"));
    m_viewMenu->menuAction()->setProperty("groupIndex", 3);

    QAction* in = m_viewMenu->addAction(QStringLiteral("拡大(&I)"));
    in->setObjectName(QStringLiteral("ZoomIn"));
    in->setShortcuts({QKeySequence::ZoomIn, QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    connect(in, &QAction::triggered, this, [this] { zoomIn(); });
    QAction* out = m_viewMenu->addAction(QStringLiteral("縮小(&O)"));
    out->setObjectName(QStringLiteral("ZoomOut"));
    out->setShortcuts(QKeySequence::ZoomOut);
    connect(out, &QAction::triggered, this, [this] { zoomOut(); });
    QAction* actual = m_viewMenu->addAction(QStringLiteral("100%(&A)"));
    actual->setObjectName(QStringLiteral("ZoomActual"));
    actual->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    connect(actual, &QAction::triggered, this, [this] { setViewZoom(1.0); });

    m_scrollArea->viewport()->installEventFilter(new WheelZoom(this));
    m_statusBar->setPanelText(2, zoomText(m_zoom));
}

void DocumentWindow::setViewZoom(double zoom, const QPoint& anchor)
{
    zoom = std::clamp(zoom, kSmallestZoom, kLargestZoom);
    if (zoom == m_zoom)
        return;
    QScrollBar* horizontal = m_scrollArea->horizontalScrollBar();
    QScrollBar* vertical = m_scrollArea->verticalScrollBar();
    const QPoint at =
        anchor.x() >= 0 && anchor.y() >= 0 ? anchor : m_scrollArea->viewport()->rect().center();
    // The picture point under the anchor stays under it.
    const double x = (horizontal->value() + at.x()) / m_zoom;
    const double y = (vertical->value() + at.y()) / m_zoom;
    m_zoom = zoom;
    m_mainPicture->setZoom(zoom);
    m_floatingPicture->setZoom(zoom);
    m_marquee->setScale(zoom);
    layOutPictures();
    horizontal->setValue(static_cast<int>(std::lround(x * zoom - at.x())));
    vertical->setValue(static_cast<int>(std::lround(y * zoom - at.y())));

    menuItem(QStringLiteral("ZoomIn"))->setEnabled(zoom < kLargestZoom);
    menuItem(QStringLiteral("ZoomOut"))->setEnabled(zoom > kSmallestZoom);
    m_statusBar->setPanelText(2, zoomText(zoom));
}

void DocumentWindow::zoomIn(const QPoint& anchor)
{
    const auto next =
        std::upper_bound(std::begin(kZoomSteps), std::end(kZoomSteps), m_zoom * 1.001);
    if (next != std::end(kZoomSteps))
        setViewZoom(*next, anchor);
}

void DocumentWindow::zoomOut(const QPoint& anchor)
{
    const auto next =
        std::lower_bound(std::begin(kZoomSteps), std::end(kZoomSteps), m_zoom / 1.001);
    if (next != std::begin(kZoomSteps))
        setViewZoom(*std::prev(next), anchor);
}

QSize DocumentWindow::sizeForPicture() const
{
    // The title bar and frame are the window's margins around its client.
    const QMargins frame = contentsMargins();
    const int scrollFrame = 2 * m_scrollArea->frameWidth();
    const QSize picture = m_mainPicture->zoomedSize();
    return {frame.left() + frame.right() + scrollFrame + picture.width(),
            frame.top() + frame.bottom() + scrollFrame + picture.height() +
                m_statusBar->maximumHeight()};
}

}  // namespace lumavex
