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

TFEditImage1::TFEditImage1(DocumentHost* host, QWidget* parent)
    : QMdiSubWindow(parent), m_host(host)
{
    setObjectName(QStringLiteral("TFEditImage1"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("FEditImage1"));
    setFont(formFont());
    resize(581, 424);

    createParts();
    createMenus();

    // FormCreate: the snapshot starts empty, the frame's undo button off, its document
    // buttons on.
    m_host->setUndoButtonEnabled(false);
    m_host->MenuButtonEnable1Click();
    m_edited = false;
}

TFEditImage1::~TFEditImage1() = default;

void TFEditImage1::createParts()
{
    auto* client = new QWidget(this);
    auto* layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_scrollBox1 = new QScrollArea(client);
    m_scrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    m_scrollBox1->setWidgetResizable(false);
    m_scrollBox1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette gray = m_scrollBox1->palette();
    gray.setColor(QPalette::Window, kScrollBoxGray);
    m_scrollBox1->setPalette(gray);
    m_scrollBox1->viewport()->setPalette(gray);
    m_scrollBox1->viewport()->setAutoFillBackground(true);

    m_canvas = new QWidget;
    m_canvas->setPalette(gray);
    m_canvas->setAutoFillBackground(true);
    m_image1 = new PictureControl(m_canvas);
    m_image1->setObjectName(QStringLiteral("Image1"));
    m_image1->setAutoSize(true);
    m_image1->move(0, 0);
    m_shape1 = new ShapeControl(m_canvas);
    m_shape1->setObjectName(QStringLiteral("Shape1"));
    m_shape1->hide();
    m_image2 = new PictureControl(m_canvas);
    m_image2->setObjectName(QStringLiteral("Image2"));
    m_image2->setAutoSize(true);
    m_image2->setToolTip(QStringLiteral("ダブルクリックで位置確定"));
    m_image1->installEventFilter(this);
    m_image2->installEventFilter(this);
    m_scrollBox1->setWidget(m_canvas);
    layOutPictures();
    layout->addWidget(m_scrollBox1, 1);

    m_image3 = hiddenPicture(QStringLiteral("Image3"), client);
    m_toolView1 = hiddenPicture(QStringLiteral("ToolView1"), client);
    m_toolViewIO1 = new ToolViewIO(m_toolView1, this);
    m_toolViewIO1->setObjectName(QStringLiteral("ToolViewIO1"));
    // The view's save parameters start without an LZW compressor; activation installs it.
    m_ioParams.gifCompressor = nullptr;
    m_undoImage = hiddenPicture(QStringLiteral("UndoImage"), client);

    m_statusBar1 = new PanelStatusBar({250, 50, 50}, client);
    m_statusBar1->setObjectName(QStringLiteral("StatusBar1"));
    m_statusBar1->setFixedHeight(19);
    layout->addWidget(m_statusBar1);

    m_targetPicture = m_image1;
    connect(m_image1, &PictureControl::popupRequested, this, [this](const QPoint& at) {
        PopupMenu1Popup(m_image1);
        m_popupMenu1->popup(at);
    });
    connect(m_image2, &PictureControl::popupRequested, this, [this](const QPoint& at) {
        PopupMenu1Popup(m_image2);
        m_popupMenu1->popup(at);
    });

    setWidget(client);
}

// The scrolled area covers the main and the floating picture, so that both can be scrolled to.
void TFEditImage1::layOutPictures()
{
    QRect covered(0, 0, 1, 1);
    for (const QWidget* picture :
         {static_cast<QWidget*>(m_image1), static_cast<QWidget*>(m_image2)})
        if (!picture->isHidden())
            covered |= picture->geometry();
    m_canvas->resize(covered.right() + 1, covered.bottom() + 1);
}

bool TFEditImage1::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == m_image1 || watched == m_image2) &&
        (event->type() == QEvent::Resize || event->type() == QEvent::Move ||
         event->type() == QEvent::Show || event->type() == QEvent::Hide))
        layOutPictures();
    return QMdiSubWindow::eventFilter(watched, event);
}

QString TFEditImage1::undoLabel() const
{
    return m_n5->menuAction()->statusTip();
}

void TFEditImage1::FormActivate()
{
    // GIF files of this window are coded by the LZW coder installed into the toolkit view's
    // save parameters.
    m_ioParams.gifCompressor = GIFLZWEncode;
    m_host->setUndoButtonEnabled(!undoLabel().isEmpty());
}

void TFEditImage1::TakeUndoSnapshot(PictureControl* picture, const QString& label)
{
    m_edited = true;
    m_undoImage->setPicture(picture->picture());
    m_n5->menuAction()->setStatusTip(label);
    m_host->setUndoButtonEnabled(true);
}

void TFEditImage1::RestoreUndo()
{
    m_image1->setPicture(m_undoImage->picture());
}

void TFEditImage1::Undo1Click()
{
    m_host->EditUndo();
}

bool TFEditImage1::queryClose()
{
    if (!m_edited)
        return true;
    const QString text =
        windowTitle() + QChar(u'\r') + QStringLiteral("編集されています。保存しますか");
    switch (UiServices::current().ask(this, QStringLiteral("確認"), text,
                                      QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
        case QMessageBox::Yes:
            return reportErrors(this, [&] { SavePicture(m_image1, m_fileName); });
        case QMessageBox::No: return true;
        default: return false;
    }
}

void TFEditImage1::closeEvent(QCloseEvent* event)
{
    if (!queryClose()) {
        event->ignore();
        return;
    }
    m_host->MenuButtonDisable1Click();
    QMdiSubWindow::closeEvent(event);
}

}  // namespace lumavex
