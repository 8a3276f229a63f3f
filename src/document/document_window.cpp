#include "document_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenu>
#include <QScrollArea>
#include <QVBoxLayout>

#include "dialogs/form_support.h"
#include "dialogs/ui_services.h"
#include "document/document_host.h"
#include "document/error_box.h"
#include "document/picture_control.h"
#include "document/scanner_input.h"

namespace lumavex {

namespace {

const QColor kScrollBoxGray(0x80, 0x80, 0x80);

PictureControl* hiddenPicture(const QString& name, QWidget* parent)
{
    auto* picture = new PictureControl(parent);
    picture->setObjectName(name);
    picture->hide();
    return picture;
}

}  // namespace

DocumentWindow::DocumentWindow(DocumentHost* host, QWidget* parent)
    : QMdiSubWindow(parent), m_host(host)
{
    setObjectName(QStringLiteral("TFEditImage1"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("FEditImage1"));
    setFont(formFont());
    resize(581, 424);

    createParts();
    createMenus();
    createViewMenu();
    connectSelection();

    // FormCreate: the snapshot starts empty, the frame's undo button off, its document
    // buttons on.
    m_host->setUndoButtonEnabled(false);
    m_host->enableDocumentButtons();
    m_edited = false;
}

DocumentWindow::~DocumentWindow() = default;

void DocumentWindow::createParts()
{
    auto* client = new QWidget(this);
    auto* layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_scrollArea = new QScrollArea(client);
    m_scrollArea->setObjectName(QStringLiteral("ScrollBox1"));
    m_scrollArea->setWidgetResizable(false);
    m_scrollArea->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette gray = m_scrollArea->palette();
    gray.setColor(QPalette::Window, kScrollBoxGray);
    m_scrollArea->setPalette(gray);
    m_scrollArea->viewport()->setPalette(gray);
    m_scrollArea->viewport()->setAutoFillBackground(true);

    m_canvas = new QWidget;
    m_canvas->setPalette(gray);
    m_canvas->setAutoFillBackground(true);
    m_mainPicture = new PictureControl(m_canvas);
    m_mainPicture->setObjectName(QStringLiteral("Image1"));
    m_mainPicture->setAutoSize(true);
    m_mainPicture->move(0, 0);
    m_marquee = new ShapeControl(m_canvas);
    m_marquee->setObjectName(QStringLiteral("Shape1"));
    m_marquee->hide();
    m_floatingPicture = new PictureControl(m_canvas);
    m_floatingPicture->setObjectName(QStringLiteral("Image2"));
    m_floatingPicture->setAutoSize(true);
    m_floatingPicture->setToolTip(QStringLiteral("ダブルクリックで位置確定"));
    m_floatingPicture->hide();
    m_mainPicture->installEventFilter(this);
    m_floatingPicture->installEventFilter(this);
    m_scrollArea->setWidget(m_canvas);
    layOutPictures();
    layout->addWidget(m_scrollArea, 1);

    m_scratchPicture = hiddenPicture(QStringLiteral("Image3"), client);
    m_toolView = hiddenPicture(QStringLiteral("ToolView1"), client);
    m_scannerInput = new ScannerInput(m_toolView, this);
    m_scannerInput->setObjectName(QStringLiteral("ToolViewIO1"));
    // The view's save parameters start without an LZW compressor; activation installs it.
    m_ioParams.gifCompressor = nullptr;
    m_undoPicture = hiddenPicture(QStringLiteral("UndoImage"), client);

    m_statusBar = new PanelStatusBar({250, 50, 50}, client);
    m_statusBar->setObjectName(QStringLiteral("StatusBar1"));
    m_statusBar->setFixedHeight(19);
    layout->addWidget(m_statusBar);

    m_targetPicture = m_mainPicture;
    connect(m_mainPicture, &PictureControl::popupRequested, this, [this](const QPoint& at) {
        onPopupMenu(m_mainPicture);
        m_popupMenu->popup(at);
    });
    connect(m_floatingPicture, &PictureControl::popupRequested, this, [this](const QPoint& at) {
        onPopupMenu(m_floatingPicture);
        m_popupMenu->popup(at);
    });

    setWidget(client);
}

// The scrolled area covers the main and the floating picture, so that both can be scrolled to.
void DocumentWindow::layOutPictures()
{
    QRect covered(0, 0, 1, 1);
    for (const QWidget* picture :
         {static_cast<QWidget*>(m_mainPicture), static_cast<QWidget*>(m_floatingPicture)})
        if (!picture->isHidden())
            covered |= picture->geometry();
    m_canvas->resize(covered.right() + 1, covered.bottom() + 1);
}

bool DocumentWindow::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == m_mainPicture || watched == m_floatingPicture) &&
        (event->type() == QEvent::Resize || event->type() == QEvent::Move ||
         event->type() == QEvent::Show || event->type() == QEvent::Hide))
        layOutPictures();
    return QMdiSubWindow::eventFilter(watched, event);
}

QString DocumentWindow::undoLabel() const
{
    return m_singleMenu->menuAction()->statusTip();
}

void DocumentWindow::onActivated()
{
    // GIF files of this window are coded by the LZW coder installed into the toolkit view's
    // save parameters.
    m_ioParams.gifCompressor = GIFLZWEncode;
    m_host->setUndoButtonEnabled(!undoLabel().isEmpty());
}

void DocumentWindow::TakeUndoSnapshot(PictureControl* picture, const QString& label)
{
    m_edited = true;
    m_undoPicture->picture() = picture->picture();
    m_undoPicture->pictureChanged();
    m_singleMenu->menuAction()->setStatusTip(label);
    menuItem(QStringLiteral("Undo1"))->setEnabled(true);
    m_host->setUndoButtonEnabled(true);
}

void DocumentWindow::RestoreUndo()
{
    m_mainPicture->setPicture(m_undoPicture->picture());
}

void DocumentWindow::onUndo()
{
    m_host->undo();
}

bool DocumentWindow::queryClose()
{
    if (m_commandRunning) {
        m_closeAfterCommand = window();
        return false;
    }
    if (!m_edited)
        return true;
    const QString text =
        windowTitle() + QChar(u'\r') + QStringLiteral("編集されています。保存しますか");
    switch (UiServices::current().ask(this, QStringLiteral("確認"), text,
                                      QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
        case QMessageBox::Yes:
            return reportErrors(this, [&] { savePicture(m_mainPicture, m_fileName); });
        case QMessageBox::No: return true;
        default: return false;
    }
}

void DocumentWindow::closeEvent(QCloseEvent* event)
{
    if (m_commandRunning) {
        if (!m_closeAfterCommand)
            m_closeAfterCommand = this;
        event->ignore();
        return;
    }
    if (!queryClose()) {
        event->ignore();
        return;
    }
    m_host->disableDocumentButtons();
    QMdiSubWindow::closeEvent(event);
}

}  // namespace lumavex
