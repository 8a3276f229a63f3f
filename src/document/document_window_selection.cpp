// The mouse over the pictures (the selection marquee, the colour under the pointer, the flood
// fill, the floating picture) and cut, copy and paste through the clipboard.
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QPainter>
#include <QScrollArea>

#include "bridge/qimage_bridge.h"
#include "core/error.h"
#include "dialogs/form_support.h"
#include "dialogs/processing_parameters_dialog.h"
#include "dialogs/ui_services.h"
#include "document/document_host.h"
#include "document/document_window.h"
#include "document/error_box.h"
#include "document/picture_control.h"

namespace lumavex {

void DocumentWindow::connectSelection()
{
    connect(m_mainPicture, &PictureControl::mousePressed, this, &DocumentWindow::onPicturePressed);
    connect(m_mainPicture, &PictureControl::mouseMoved, this, &DocumentWindow::onPictureMoved);
    connect(m_mainPicture, &PictureControl::mouseReleased, this,
            &DocumentWindow::onPictureReleased);
    connect(m_floatingPicture, &PictureControl::mousePressed, this,
            &DocumentWindow::onFloatingPressed);
    connect(m_floatingPicture, &PictureControl::mouseMoved, this, &DocumentWindow::onFloatingMoved);
    connect(m_floatingPicture, &PictureControl::mouseReleased, this,
            &DocumentWindow::onFloatingReleased);
    connect(m_floatingPicture, &PictureControl::doubleClicked, this,
            [this] { reportErrors(this, [this] { fixFloatingPicture(); }); });
    // The right click that opens the pop-up menu over the floating picture hides it too: the
    // menu takes the button's release.
    connect(m_floatingPicture, &PictureControl::popupRequested, this, [this] {
        m_dragging = false;
        m_floatingPicture->hide();
    });

    connect(menuItem(QStringLiteral("Cut1")), &QAction::triggered, this, &DocumentWindow::onCut);
    connect(menuItem(QStringLiteral("Copy1")), &QAction::triggered, this, &DocumentWindow::onCopy);
    connect(menuItem(QStringLiteral("Paste1")), &QAction::triggered, this,
            [this] { reportErrors(this, [this] { onPaste(); }); });
    connect(menuItem(QStringLiteral("N12")), &QAction::triggered, this,
            &DocumentWindow::onSelectAll);
    connect(menuItem(QStringLiteral("Fill1")), &QAction::triggered, this,
            &DocumentWindow::onFillColor);
    // "貼り付け(&P)" follows the clipboard, so that Ctrl+V works as soon as there is a picture.
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
            &DocumentWindow::onEditMenuShow);
    onEditMenuShow();
}

QPoint DocumentWindow::floatingPosition() const
{
    return m_floatingPicture->place() - m_mainPicture->place();
}

bool DocumentWindow::fillMode() const
{
    return m_mainPicture->testAttribute(Qt::WA_SetCursor) &&
           m_mainPicture->cursor().shape() == Qt::PointingHandCursor;
}

void DocumentWindow::onPicturePressed(const QPoint& point, Qt::MouseButton)
{
    const Raster& picture = m_mainPicture->picture();
    if (picture.contains(point.x(), point.y()))
        m_host->processingParameters()->setPanelColor(QStringLiteral("DropBaseColor"),
                                                      picture.pixel(point.x(), point.y()));
    // The marquee lies above the picture: a press inside it empties it, and the next press on
    // the picture starts a new one.
    const Rect shown = m_marquee->bounds().normalised();
    if (!m_marquee->isHidden() && point.x() >= shown.left && point.x() < shown.right &&
        point.y() >= shown.top && point.y() < shown.bottom) {
        ShapeBounds empty = m_marquee->bounds();
        empty.width = 0;
        empty.height = 0;
        m_marquee->setBounds(empty);
        return;
    }
    m_selecting = true;
    m_marquee->setBounds({point.x(), point.y(), 0, 0});
    m_marquee->show();
}

void DocumentWindow::onPictureMoved(const QPoint& point)
{
    if (!m_selecting)
        return;
    ShapeBounds bounds = m_marquee->bounds();
    bounds.width = point.x() - bounds.left;
    bounds.height = point.y() - bounds.top;
    m_marquee->setBounds(bounds);
}

void DocumentWindow::onPictureReleased(const QPoint& point, Qt::MouseButton)
{
    m_selecting = false;
    if (!fillMode())
        return;
    // One fill at the release point ends fill mode, wherever the mouse was released.
    m_mainPicture->unsetCursor();
    Raster& picture = m_mainPicture->picture();
    if (!picture.contains(point.x(), point.y())) {
        m_host->showStatusMessage(QStringLiteral("画像の外では塗りつぶせません"));
        return;
    }
    TakeUndoSnapshot(m_mainPicture, QStringLiteral("FloodFill"));
    picture.setBrushColor(m_fillColor);
    picture.floodFill(point.x(), point.y(), picture.pixel(point.x(), point.y()));
    m_mainPicture->pictureChanged();
}

void DocumentWindow::onFillColor()
{
    const std::optional<QColor> chosen =
        UiServices::current().chooseColor(this, qColorOf(m_fillColor));
    if (!chosen)
        return;
    m_fillColor = colorOf(*chosen);
    m_mainPicture->setCursor(Qt::PointingHandCursor);
    m_host->showStatusMessage(QStringLiteral("塗りつぶす所をクリックしてください"));
}

void DocumentWindow::onSelectAll()
{
    const Raster& picture = m_mainPicture->picture();
    m_marquee->setBounds({0, 0, picture.width(), picture.height()});
    m_marquee->show();
}

// The part of the picture that Cut and Copy take: the marquee's area with its corners in
// order, as far as it covers the picture. None, with the reason in the status line, when that
// is empty.
std::optional<Rect> DocumentWindow::areaToCopy(const QString& doing) const
{
    if (m_marquee->isHidden()) {
        m_host->showStatusMessage(QStringLiteral("範囲が選択されていません"));
        return std::nullopt;
    }
    const Rect marked = m_marquee->bounds().normalised();
    const Rect picture = m_mainPicture->picture().bounds();
    const Rect area{std::max(marked.left, picture.left), std::max(marked.top, picture.top),
                    std::min(marked.right, picture.right), std::min(marked.bottom, picture.bottom)};
    if (marked.width() == 0 || marked.height() == 0) {
        m_host->showStatusMessage(
            QStringLiteral("選択範囲が空なので、%1ものがありません").arg(doing));
        return std::nullopt;
    }
    if (area.width() <= 0 || area.height() <= 0) {
        m_host->showStatusMessage(
            QStringLiteral("選択範囲に画像がないので、%1ものがありません").arg(doing));
        return std::nullopt;
    }
    return area;
}

void DocumentWindow::copyToClipboard(const Rect& area)
{
    const QImage part =
        viewRaster(m_mainPicture->picture()).copy(area.left, area.top, area.width(), area.height());
    QGuiApplication::clipboard()->setImage(part);
}

void DocumentWindow::onCut()
{
    const std::optional<Rect> area = areaToCopy(QStringLiteral("切り取る"));
    if (!area)
        return;
    TakeUndoSnapshot(m_mainPicture, QStringLiteral("切り取り"));
    copyToClipboard(*area);
    Raster& picture = m_mainPicture->picture();
    picture.setBrushColor(kWhite);
    picture.fillRect(*area);
    m_mainPicture->pictureChanged();
}

void DocumentWindow::onCopy()
{
    const std::optional<Rect> area = areaToCopy(QStringLiteral("コピーする"));
    if (!area)
        return;
    TakeUndoSnapshot(m_mainPicture, QStringLiteral("コピー"));
    copyToClipboard(*area);
}

void DocumentWindow::onPaste()
{
    QImage image = QGuiApplication::clipboard()->image();
    if (image.isNull())
        throw Error(ErrorKind::Unsupported, "クリップボードに画像がありません");
    // Transparent parts of a picture from another program come out white, the colour this
    // program lays over as transparent.
    if (image.hasAlphaChannel()) {
        QImage opaque(image.size(), QImage::Format_RGB32);
        opaque.fill(Qt::white);
        QPainter(&opaque).drawImage(0, 0, image);
        image = opaque;
    }
    m_floatingPicture->setPicture(rasterFromImage(image));
    // The top-left corner of the visible part of the view.
    const QPoint corner = m_mainPicture->mapFrom(m_scrollArea->viewport(), QPoint(0, 0));
    m_floatingPicture->setPlace(m_mainPicture->place() + m_mainPicture->picturePoint(corner));
    m_dragging = false;
    m_floatingPicture->show();
    m_floatingPicture->raise();
}

void DocumentWindow::onFloatingPressed(const QPoint& point, Qt::MouseButton)
{
    m_dragging = true;
    m_dragOrigin = point;
}

void DocumentWindow::onFloatingMoved(const QPoint& point)
{
    if (m_dragging)
        m_floatingPicture->setPlace(m_floatingPicture->place() + point - m_dragOrigin);
}

void DocumentWindow::onFloatingReleased(const QPoint&, Qt::MouseButton button)
{
    m_dragging = false;
    if (button == Qt::RightButton)
        m_floatingPicture->hide();
}

void DocumentWindow::fixFloatingPicture()
{
    if (m_floatingPicture->isHidden())
        return;
    const Raster& floating = m_floatingPicture->picture();
    const QPoint at = floatingPosition();
    Raster& picture = m_mainPicture->picture();
    // The picture grows only to the right and to the bottom; what lies left of or above it
    // is cut off.
    const int64_t width = std::max<int64_t>(picture.width(), int64_t{at.x()} + floating.width());
    const int64_t height = std::max<int64_t>(picture.height(), int64_t{at.y()} + floating.height());
    checkRasterSize(width, height);
    if (width != picture.width() || height != picture.height())
        picture.setSize(static_cast<int>(width), static_cast<int>(height));
    m_floatingPicture->hide();
    picture.setCopyMode(CopyMode::SrcCopy);
    picture.draw(at.x(), at.y(), floating);
    m_mainPicture->pictureChanged();
    // No snapshot is taken, but the picture has changed: closing asks whether to save it.
    m_edited = true;
}

}  // namespace lumavex
