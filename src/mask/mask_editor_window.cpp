#include "mask_editor_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <exception>

#include "bridge/qimage_bridge.h"
#include "dialogs/form_support.h"
#include "dialogs/ui_services.h"
#include "mask/fl_mask.h"

namespace lumavex {

namespace {

const int kLargestZoom = 16;
// Where the marquee lies in the form until a selection is dragged.
const ShapeBounds kFormMarquee{476, 207, 89, 79};

// A magnifying glass, with a plus for zooming in and a minus for zooming out.
QIcon magnifierGlyph(bool plus)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0x40, 0x40, 0x40), 1.5));
    painter.setBrush(QColor(0xDC, 0xEB, 0xFF));
    painter.drawEllipse(QRectF(1.5, 1.5, 9, 9));
    painter.setPen(QPen(QColor(0x70, 0x48, 0x20), 3, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(10.5, 10.5), QPointF(14.5, 14.5));
    painter.setPen(QPen(Qt::black, 1.5));
    painter.drawLine(QPointF(3.5, 6), QPointF(8.5, 6));
    if (plus)
        painter.drawLine(QPointF(6, 3.5), QPointF(6, 8.5));
    return QIcon(pixmap);
}

}  // namespace

/// The editor's picture control: the working picture stretched to the control's size (the
/// picture's size times the zoom factor).
class MaskPictureView : public QWidget {
public:
    MaskPictureView(const Raster& picture, QWidget* parent) : QWidget(parent), m_picture(picture) {}

protected:
    void paintEvent(QPaintEvent* event) override
    {
        if (m_picture.empty())
            return;
        QPainter painter(this);
        paintRaster(painter, m_picture, static_cast<double>(width()) / m_picture.width(),
                    event->rect());
    }

private:
    const Raster& m_picture;
};

MaskEditorWindow::MaskEditorWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFEditImage2"));
    setWindowTitle(QStringLiteral("FEditImage2"));
    setFont(formFont());
    resize(611, 431);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* menuBar = new QMenuBar(this);
    menuBar->setObjectName(QStringLiteral("MainMenu1"));
    QMenu* mask = menuBar->addMenu(QStringLiteral("Mask"));
    mask->setObjectName(QStringLiteral("Mask1"));
    QAction* maskFL = mask->addAction(QStringLiteral("MaskFL"));
    maskFL->setObjectName(QStringLiteral("MaskFL1"));
    connect(maskFL, &QAction::triggered, this, &MaskEditorWindow::onFLMask);
    layout->setMenuBar(menuBar);

    auto* toolBar = new QWidget(this);
    toolBar->setObjectName(QStringLiteral("Panel1"));
    toolBar->setFixedHeight(37);
    auto* tools = new QHBoxLayout(toolBar);
    tools->setContentsMargins(8, 4, 8, 4);
    tools->setSpacing(4);
    const struct {
        const char* name;
        QIcon glyph;
        const char* caption;
        const char* tip;
        void (MaskEditorWindow::*handler)();
    } buttons[] = {
        {"BitBtn1", magnifierGlyph(true), "", "拡大", &MaskEditorWindow::onZoomIn},
        {"BitBtn2", magnifierGlyph(false), "", "縮小", &MaskEditorWindow::onZoomOut},
        {"BitBtn3", QIcon(), "FL", "選択範囲に FL マスクをかけます (もう一度で元に戻ります)",
         &MaskEditorWindow::onFLMask},
    };
    for (const auto& b : buttons) {
        auto* button = new QPushButton(b.glyph, QString::fromUtf8(b.caption), toolBar);
        button->setObjectName(QString::fromUtf8(b.name));
        button->setToolTip(QString::fromUtf8(b.tip));
        button->setFixedSize(40, 29);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, b.handler);
        tools->addWidget(button);
    }
    m_message = new QLabel(toolBar);
    m_message->setObjectName(QStringLiteral("MessageLabel"));
    tools->addSpacing(8);
    tools->addWidget(m_message, 1);
    layout->addWidget(toolBar);

    m_scrollArea = new QScrollArea(this);
    m_scrollArea->setObjectName(QStringLiteral("ScrollBox1"));
    m_scrollArea->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette gray = m_scrollArea->palette();
    gray.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80));
    m_scrollArea->setPalette(gray);
    m_scrollArea->viewport()->setPalette(gray);
    m_scrollArea->viewport()->setAutoFillBackground(true);
    m_canvas = new QWidget;
    m_canvas->setPalette(gray);
    m_view = new MaskPictureView(m_working, m_canvas);
    m_view->setObjectName(QStringLiteral("Image1"));
    m_view->installEventFilter(this);
    m_marquee = new ShapeControl(m_canvas);
    m_marquee->setObjectName(QStringLiteral("Shape1"));
    m_marquee->setBounds(kFormMarquee);
    m_marquee->hide();
    m_scrollArea->setWidget(m_canvas);
    layout->addWidget(m_scrollArea, 1);

    applyZoom();
}

MaskEditorWindow::~MaskEditorWindow() = default;

QWidget* MaskEditorWindow::pictureView() const
{
    return m_view;
}

QPushButton* MaskEditorWindow::button(int number) const
{
    return findChild<QPushButton*>(QStringLiteral("BitBtn%1").arg(number));
}

QString MaskEditorWindow::message() const
{
    return m_message->text();
}

ShapeBounds MaskEditorWindow::selection() const
{
    return m_marquee->bounds();
}

Raster MaskEditorWindow::editPicture(const Raster& picture)
{
    setPicture(picture);
    exec();
    return m_working;
}

void MaskEditorWindow::setPicture(const Raster& picture)
{
    m_working = picture;
    m_dragging = false;
    m_message->clear();
    // The picture opens at the zoom factor that the marquee and the FL command use.
    applyZoom();
}

// The picture control takes the picture's size times the zoom factor; the marquee keeps
// covering the same tiles of the picture.
void MaskEditorWindow::applyZoom()
{
    m_view->resize(m_working.width() * m_zoom, m_working.height() * m_zoom);
    m_canvas->resize(std::max(1, m_view->width()), std::max(1, m_view->height()));
    m_marquee->setScale(m_zoom);
    m_view->update();
    button(1)->setEnabled(m_zoom < kLargestZoom);
    button(2)->setEnabled(m_zoom > 1);
}

void MaskEditorWindow::onZoomIn()
{
    if (m_zoom >= kLargestZoom)
        return;
    ++m_zoom;
    applyZoom();
}

void MaskEditorWindow::onZoomOut()
{
    if (m_zoom <= 1)
        return;
    --m_zoom;
    applyZoom();
}

// The picture edge of the tile under a display position: the marquee covers whole tiles, and
// only tiles inside the picture, so that a second FL always gives the first one's tiles back.
int MaskEditorWindow::snapped(double display, int pictureSide) const
{
    const int step = kFLTile * m_zoom;
    const int tile = static_cast<int>(std::floor(display / step));
    return std::clamp(tile, 0, pictureSide / kFLTile) * kFLTile;
}

bool MaskEditorWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_view)
        return QDialog::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            const QPointF at = static_cast<QMouseEvent*>(event)->position();
            m_dragging = true;
            m_marquee->setBounds(
                {snapped(at.x(), m_working.width()), snapped(at.y(), m_working.height()), 0, 0});
            m_marquee->show();
            return true;
        }
        case QEvent::MouseMove:
            if (m_dragging) {
                const QPointF at = static_cast<QMouseEvent*>(event)->position();
                ShapeBounds bounds = m_marquee->bounds();
                bounds.width = snapped(at.x(), m_working.width()) - bounds.left;
                bounds.height = snapped(at.y(), m_working.height()) - bounds.top;
                m_marquee->setBounds(bounds);
            }
            return true;
        case QEvent::MouseButtonRelease: m_dragging = false; return true;
        default: return QDialog::eventFilter(watched, event);
    }
}

void MaskEditorWindow::onFLMask()
{
    // The marquee in display pixels; the core divides it by the zoom factor.
    const Rect marked = m_marquee->bounds().rect();
    const Rect display{marked.left * m_zoom, marked.top * m_zoom, marked.right * m_zoom,
                       marked.bottom * m_zoom};
    try {
        const Rect region = ApplyFLMaskToRegion(m_working, display, m_zoom);
        if (region.width() == 0 || region.height() == 0) {
            m_message->setText(QStringLiteral("範囲が選択されていません"));
            return;
        }
        m_message->setText(QStringLiteral("(%1, %2)-(%3, %4) に FL マスクをかけました")
                               .arg(region.left)
                               .arg(region.top)
                               .arg(region.right)
                               .arg(region.bottom));
    } catch (const std::exception& e) {
        UiServices::current().showError(this, QString::fromUtf8(e.what()));
    }
    m_view->update();
}

}  // namespace lumavex
