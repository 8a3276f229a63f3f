// The frame: its parts, the hint line, the documents, drops and closing.
#include "main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMdiArea>
#include <QMenuBar>
#include <QMimeData>
#include <QPrinter>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

#include "app/editor.h"
#include "app/glyphs.h"
#include "app/help_viewer.h"
#include "dialogs/form_support.h"
#include "document/document_window.h"
#include "document/error_box.h"
#include "document/picture_control.h"

namespace lumavex {

namespace {

QString defaultPicturesFolder()
{
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!pictures.isEmpty() && QFileInfo(pictures).isDir())
        return pictures;
    return QDir::homePath();
}

}  // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent),
      m_programDirectory(QCoreApplication::applicationDirPath()),
      m_picturesFolder(defaultPicturesFolder())
{
    setObjectName(QStringLiteral("TMainForm"));
    setWindowTitle(QStringLiteral("Lumavex"));
    setWindowIcon(programIcon());
    setFont(formFont());

    menuBar()->setObjectName(QStringLiteral("MainMenu"));
    createFileMenu();
    createWindowMenu();
    createHelpMenu();

    auto* client = new QWidget(this);
    auto* layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    createSpeedBar();
    layout->addWidget(m_speedBar);
    m_mdiArea = new QMdiArea(client);
    m_mdiArea->setObjectName(QStringLiteral("ClientArea"));
    m_mdiArea->setBackground(QColor(0x80, 0x80, 0x80));
    m_mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, &MainWindow::subWindowActivated);
    layout->addWidget(m_mdiArea, 1);
    setCentralWidget(client);

    m_statusLine = new QStatusBar(this);
    m_statusLine->setObjectName(QStringLiteral("StatusLine"));
    m_statusLine->setSizeGripEnabled(true);
    setStatusBar(m_statusLine);

    // The first run centres the form's size on the screen (smaller when the screen is); later
    // runs open where the frame was left.
    resize(644, 495);
    if (const QScreen* screen = this->screen()) {
        const QRect available = screen->availableGeometry();
        resize(size().boundedTo(available.size()));
        move(available.center() - rect().center());
    }
    restoreGeometry(settings()->value(QStringLiteral("frame/geometry")).toByteArray());

    // FormCreate: files may be dropped on the frame, hints go to the status line (event()),
    // and undo starts off.
    setAcceptDrops(true);
    setUndoButtonEnabled(false);
}

MainWindow::~MainWindow()
{
    // The documents close while the frame's own parts are already gone: nothing may be merged
    // into the menu bar any more.
    disconnect(m_mdiArea, nullptr, this, nullptr);
}

QToolButton* MainWindow::speedButton(int number) const
{
    return m_buttonPanel->findChild<QToolButton*>(QStringLiteral("SpeedButton%1").arg(number));
}

QMenu* MainWindow::addFrameMenu(const QString& caption, const QString& name, int groupIndex,
                                std::span<const MenuItem> items)
{
    QMenu* menu = menuBar()->addMenu(caption);
    menu->setObjectName(name);
    menu->menuAction()->setProperty("groupIndex", groupIndex);
    for (const MenuItem& item : items) {
        QAction* action = QLatin1String(item.caption) == QLatin1String("-")
                              ? menu->addSeparator()
                              : menu->addAction(QString::fromUtf8(item.caption));
        action->setObjectName(QString::fromUtf8(item.name));
        action->setStatusTip(QString::fromUtf8(item.hint));
        action->setEnabled(item.enabled);
        if (item.handler)
            connect(action, &QAction::triggered, this, item.handler);
    }
    return menu;
}

QAction* MainWindow::menuItem(const QString& name) const
{
    for (const QMenu* menu : {m_fileMenu, m_windowMenu, m_helpMenu})
        for (QAction* action : menu->actions())
            if (action->objectName() == name)
                return action;
    return nullptr;
}

QList<DocumentWindow*> MainWindow::documents() const
{
    QList<DocumentWindow*> list;
    const QList<QMdiSubWindow*> windows = m_mdiArea->subWindowList(QMdiArea::StackingOrder);
    for (auto it = windows.rbegin(); it != windows.rend(); ++it)
        if (auto* document = qobject_cast<DocumentWindow*>(*it))
            list << document;
    return list;
}

DocumentWindow* MainWindow::activeDocument() const
{
    return qobject_cast<DocumentWindow*>(m_mdiArea->currentSubWindow());
}

std::unique_ptr<QSettings> MainWindow::settings()
{
    return std::make_unique<QSettings>(QStringLiteral("lumavex"), QStringLiteral("lumavex"));
}

DocumentWindow* MainWindow::createDocument()
{
    auto* document = new DocumentWindow(this);
    document->setWindowIcon(documentIcon());
    document->setJpegQuality(settings()->value(QStringLiteral("save/jpegQuality"), 75).toInt());
    m_mdiArea->addSubWindow(document);
    document->show();
    fitDocument(document);
    m_mdiArea->setActiveSubWindow(document);
    return document;
}

bool MainWindow::openDocument(const QString& fileName)
{
    DocumentWindow* document = createDocument();
    const bool read = reportErrors(this, [&] { document->loadPicture(fileName); });
    fitDocument(document);
    return read;
}

// A document opens at its picture's size (the form's size while it has none), at least a
// usable size, and within the visible client area.
void MainWindow::fitDocument(DocumentWindow* document)
{
    if (document->isMaximized() || document->isMinimized())
        return;
    const QSize area = m_mdiArea->viewport()->size();
    const QSize wanted =
        document->mainPicture()->picture().empty() ? document->size() : document->sizeForPicture();
    const QSize size = wanted.expandedTo(kUsableDocumentSize).boundedTo(area);
    const QPoint at(std::clamp(document->x(), 0, std::max(0, area.width() - size.width())),
                    std::clamp(document->y(), 0, std::max(0, area.height() - size.height())));
    document->setGeometry(QRect(at, size));
}

void MainWindow::enableDocumentButtons()
{
    for (const int number : {2, 3, 4, 8, 9})
        speedButton(number)->setEnabled(true);
}

void MainWindow::disableDocumentButtons()
{
    if (documents().size() > 1)
        return;
    for (const int number : {2, 3, 4, 8, 9})
        speedButton(number)->setEnabled(false);
}

void MainWindow::setUndoButtonEnabled(bool enabled)
{
    speedButton(7)->setEnabled(enabled);
}

QPrinter& MainWindow::printer()
{
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_printer;
}

void MainWindow::showHint(const QString& hint)
{
    m_statusLine->showMessage(hint);
}

void MainWindow::showStatusMessage(const QString& text)
{
    m_statusLine->showMessage(text);
}

ProcessingParametersDialog* MainWindow::processingParameters()
{
    return Editor::instance().processingParameters();
}

CommandDialogs MainWindow::commandDialogs()
{
    const Editor& editor = Editor::instance();
    return {editor.textDialog(), editor.sizeDialog(), editor.rotateDialog(),
            editor.colorCountDialog(), editor.maskEditor()};
}

bool MainWindow::event(QEvent* event)
{
    // Menu items send their hint while highlighted; the application's hint handler shows it.
    if (event->type() == QEvent::StatusTip) {
        showHint(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    // A tool button has only a short hint: entering one clears the status line.
    if (event->type() == QEvent::Enter && qobject_cast<QToolButton*>(watched) &&
        watched->parent() == m_buttonPanel)
        showHint(QString());
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // Every edited document is asked in turn; one Cancel (or a failed save) keeps the frame
    // and all its documents open. A document whose command is running goes first: the close
    // then waits for that command before any question is asked.
    QList<DocumentWindow*> order = documents();
    std::stable_partition(order.begin(), order.end(),
                          [](const DocumentWindow* d) { return d->commandRunning(); });
    for (DocumentWindow* document : order) {
        if (!document->queryClose()) {
            event->ignore();
            return;
        }
    }
    event->accept();
    settings()->setValue(QStringLiteral("frame/geometry"), saveGeometry());
    emit closed();
}

namespace {

QStringList droppedFiles(const QMimeData* data)
{
    QStringList files;
    if (data && data->hasUrls())
        for (const QUrl& url : data->urls())
            if (url.isLocalFile())
                files << url.toLocalFile();
    return files;
}

}  // namespace

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!droppedFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    const QStringList files = droppedFiles(event->mimeData());
    if (files.isEmpty())
        return;
    event->acceptProposedAction();
    // The files open after the drop has finished, so that an error box does not hold the
    // program that dragged them. Dropped files are not recent files.
    QMetaObject::invokeMethod(
        this,
        [this, files] {
            raise();
            activateWindow();
            for (const QString& file : files)
                openDocument(file);
        },
        Qt::QueuedConnection);
}

void MainWindow::openRequested(const QString& fileName)
{
    m_pendingRequests << fileName;
    // A request that arrives while an error box of an earlier one is up waits for it.
    if (m_openingRequests)
        return;
    m_openingRequests = true;
    raise();
    activateWindow();
    while (!m_pendingRequests.isEmpty())
        openDocument(m_pendingRequests.takeFirst());
    m_openingRequests = false;
}

}  // namespace lumavex
