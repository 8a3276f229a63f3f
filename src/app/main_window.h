#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QSize>
#include <QStringList>

#include <memory>
#include <span>

#include "document/document_host.h"

class QAction;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QSettings;
class QStatusBar;
class QToolButton;

namespace lumavex {

class HelpViewer;
class DocumentWindow;

/// The smallest size a document window opens or cascades at, unless the client area is smaller.
inline constexpr QSize kUsableDocumentSize(360, 240);

/// The frame: the program's one main window, holding the tool bar, the status line, the
/// "ﾌｧｲﾙ(&F)", "ｳｨﾝﾄﾞｳ(&W)" and "ﾍﾙﾌﾟ(&H)" menus and the document windows, into whose menus
/// the active document's own are merged. It creates the documents (new, open, recent file,
/// dropped file, open request) and forwards file, edit, print and scanner commands to the
/// active one. Every handler reports its errors in the standard error box.
class MainWindow : public QMainWindow, public DocumentHost {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Parts, with their objectNames.
    QStatusBar* statusLine() const { return m_statusLine; }  ///< "StatusLine"
    QWidget* speedBar() const { return m_speedBar; }         ///< "SpeedBar"
    QWidget* buttonPanel() const { return m_buttonPanel; }   ///< "Panel1", the tool buttons' row
    QMdiArea* mdiArea() const { return m_mdiArea; }          ///< "ClientArea"
    /// SpeedButton1 ... SpeedButton18, or null.
    QToolButton* speedButton(int number) const;
    /// A menu item of the frame by its name ("FileNewItem", "Open21"), or null.
    QAction* menuItem(const QString& name) const;
    QMenu* fileMenu() const { return m_fileMenu; }
    QMenu* windowMenu() const { return m_windowMenu; }
    QMenu* helpMenu() const { return m_helpMenu; }
    /// The recent-file items of the "ﾌｧｲﾙ(&F)" menu, oldest first.
    QList<QAction*> recentFileItems() const;

    /// The document windows in the platform's child order: the front one first.
    QList<DocumentWindow*> documents() const;
    /// The active document window, or null.
    DocumentWindow* activeDocument() const;
    /// A new, empty document window, shown and made active.
    DocumentWindow* createDocument();
    /// A new document window that loads a file; a failure is reported and leaves the window
    /// with an empty picture. Returns whether the file was read.
    bool openDocument(const QString& fileName);

    /// The folder of the program, where the help lives.
    QString programDirectory() const { return m_programDirectory; }
    void setProgramDirectory(const QString& folder) { m_programDirectory = folder; }
    /// The folder New names its pictures in: the user's pictures folder (XDG), or the home
    /// folder when there is none.
    QString picturesFolder() const { return m_picturesFolder; }
    void setPicturesFolder(const QString& folder) { m_picturesFolder = folder; }
    /// The settings kept between runs: the frame's size and place, the last JPEG quality.
    static std::unique_ptr<QSettings> settings();
    /// The plug-in folders the user chose: the settings' "Plug-in/Path", folders separated by
    /// ":" as in PATH.
    static QStringList pluginFolders();
    static void setPluginFolders(const QStringList& folders);
    /// Loads the image plug-ins not loaded yet from the user's folders, the program's own and
    /// the system plug-in folder (never the current one); nothing without a plug-in manager.
    static void searchPlugins();
    /// The open dialog's filter: the picture formats, then each plug-in's filters.
    QString openFilter() const;
    /// The help pages: the folder "help" in the program's directory.
    QString helpFolder() const;
    /// The help window, or null before the first help command.
    HelpViewer* helpViewer() const;

    // Command handlers.
    void onFileNew();
    void onFileOpen();
    void onFileSave();
    void onFileSaveAs();
    void onFilePrint();
    void onPrintSetup();
    void onFileExit();
    void onFileMenuShow();
    void onRecentFile(QAction* item);
    void onSelectScannerSource();
    void onAcquireScan();
    void onProcessingSettings();
    /// Lets the user choose the folders of image plug-ins; the plug-ins of a folder added are
    /// loaded at once and their formats join the open dialog's list; those of a folder removed
    /// go.
    void onPluginFolders();
    void undo() override;
    void onEditCut();
    void onEditCopy();
    void onEditPaste();
    void onWindowTile();
    void onWindowCascade();
    void onArrangeIcons();
    void onHelpContents();
    void onHelpSearch();
    void onHelpHowToUse();
    void onHelpAbout();
    /// Shows a hint as the status line's text (the application's hint handler).
    void showHint(const QString& hint);
    /// Opens a file named by an open request (another program, or a second start of this one),
    /// after the requests before it.
    void openRequested(const QString& fileName);

    // The frame's side of the documents.
    void enableDocumentButtons() override;
    void disableDocumentButtons() override;
    void setUndoButtonEnabled(bool enabled) override;
    QPrinter& printer() override;
    void showStatusMessage(const QString& text) override;
    ProcessingParametersDialog* processingParameters() override;
    CommandDialogs commandDialogs() override;

signals:
    /// The frame was closed: every document was answered and the program may end.
    void closed();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    /// An item of a frame menu; the caption "-" makes a separator.
    struct MenuItem {
        const char* name;
        const char* caption;
        const char* hint;
        void (MainWindow::*handler)();
        bool enabled = true;
    };
    /// Adds a menu to the menu bar with its items, their hints and handlers.
    QMenu* addFrameMenu(const QString& caption, const QString& name, int groupIndex,
                        std::span<const MenuItem> items);
    void createFileMenu();
    void createWindowMenu();
    void createHelpMenu();
    void createSpeedBar();
    void addRecentFile(const QString& fileName);
    void subWindowActivated(QMdiSubWindow* window);
    void mergeMenus(DocumentWindow* document);
    void updateWindowList();
    void showHelpPage(const QString& page);
    QString newPictureName(int openDocuments) const;
    void fitDocument(DocumentWindow* document);
    QString saveFilter() const;

    QString m_programDirectory;
    QString m_picturesFolder;
    QStatusBar* m_statusLine = nullptr;
    QWidget* m_speedBar = nullptr;
    QWidget* m_buttonPanel = nullptr;
    QMdiArea* m_mdiArea = nullptr;
    QMenu* m_fileMenu = nullptr;
    QMenu* m_windowMenu = nullptr;
    QMenu* m_helpMenu = nullptr;
    QList<QAction*> m_windowListItems;
    QList<QPointer<QAction>> m_mergedMenus;
    QPointer<HelpViewer> m_helpViewer;
    std::unique_ptr<QPrinter> m_printer;
    QStringList m_pendingRequests;
    bool m_openingRequests = false;
};

}  // namespace lumavex
