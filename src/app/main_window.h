#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <memory>
#include <span>

#include "document/document_host.h"

class QAction;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QStatusBar;
class QToolButton;

namespace lumavex {

class HelpViewer;
class TFEditImage1;

/// The frame: the program's one main window, holding the tool bar, the status line, the
/// "ﾌｧｲﾙ(&F)", "ｳｨﾝﾄﾞｳ(&W)" and "ﾍﾙﾌﾟ(&H)" menus and the document windows, into whose menus
/// the active document's own are merged. It creates the documents (new, open, recent file,
/// dropped file, open request) and forwards file, edit, print and scanner commands to the
/// active one. Every handler reports its errors in the standard error box.
class TMainForm : public QMainWindow, public DocumentHost {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // Parts.
    QStatusBar* StatusLine() const { return m_statusLine; }
    QWidget* SpeedBar() const { return m_speedBar; }
    QWidget* Panel1() const { return m_panel1; }
    QMdiArea* mdiArea() const { return m_mdiArea; }
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
    QList<TFEditImage1*> documents() const;
    /// The active document window, or null.
    TFEditImage1* activeDocument() const;
    /// A new, empty document window, shown and made active.
    TFEditImage1* createDocument();
    /// A new document window that loads a file; a failure is reported and leaves the window
    /// with an empty picture. Returns whether the file was read.
    bool openDocument(const QString& fileName);

    /// The folder of the program: where New numbers its pictures and the help lives.
    QString programDirectory() const { return m_programDirectory; }
    void setProgramDirectory(const QString& folder) { m_programDirectory = folder; }
    /// The help pages: the folder "help" in the program's directory.
    QString helpFolder() const;
    /// The help window, or null before the first help command.
    HelpViewer* helpViewer() const;

    // Command handlers.
    void FileNew();
    void FileOpen();
    void FileSave();
    void FileSaveAs();
    void FilePrint();
    void FilePrintSetup();
    void FileExit();
    void FileMenuClick();
    void Open21Click(QAction* item);
    void SourceClick();
    void Acquire1Click();
    void GPropaClick();
    void EditUndo() override;
    void EditCut();
    void EditCopy();
    void EditPaste();
    void WindowTile();
    void WindowCascade();
    void WindowArrange();
    void HelpContents();
    void HelpSearch();
    void HelpHowToUse();
    void HelpAbout();
    /// Shows a hint as the status line's text (the application's hint handler).
    void ShowHint(const QString& hint);
    /// Opens a file named by an open request (another program, or a second start of this one),
    /// after the requests before it.
    void openRequested(const QString& fileName);

    // The frame's side of the documents.
    void MenuButtonEnable1Click() override;
    void MenuButtonDisable1Click() override;
    void setUndoButtonEnabled(bool enabled) override;
    QPrinter& printer() override;

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
        void (TMainForm::*handler)();
        bool enabled = true;
    };
    /// Adds a menu to the menu bar with its items, their hints and handlers.
    QMenu* addFrameMenu(const QString& caption, const QString& name, int groupIndex,
                        std::span<const MenuItem> items);
    void createFileMenu();
    void createWindowMenu();
    void createHelpMenu();
    void createSpeedBar();
    void AddRecentFile(const QString& fileName);
    void subWindowActivated(QMdiSubWindow* window);
    void mergeMenus(TFEditImage1* document);
    void updateWindowList();
    void showHelpPage(const QString& page);
    QString newPictureName(int openDocuments) const;

    QString m_programDirectory;
    QStatusBar* m_statusLine = nullptr;
    QWidget* m_speedBar = nullptr;
    QWidget* m_panel1 = nullptr;
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
