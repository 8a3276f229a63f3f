// The "ﾍﾙﾌﾟ(&H)" menu: the help pages shipped in the program's folder "help", and the About
// box.
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>

#include "app/about_box.h"
#include "app/editor.h"
#include "app/help_viewer.h"
#include "app/main_window.h"
#include "document/error_box.h"

namespace lumavex {

void MainWindow::createHelpMenu()
{
    const MenuItem items[] = {
        {"HelpContentsItem", "目次(&C)", "ﾍﾙﾌﾟの目次を表示します", &MainWindow::onHelpContents},
        {"HelpSearchItem", "ｷｰﾜｰﾄﾞで検索(&S)...", "ﾍﾙﾌﾟﾌｧｲﾙのﾄﾋﾟｯｸを検索します",
         &MainWindow::onHelpSearch},
        {"HelpHowToUseItem", "ﾍﾙﾌﾟの使い方(&H)", "ﾍﾙﾌﾟｼｽﾃﾑの使い方のﾍﾙﾌﾟ",
         &MainWindow::onHelpHowToUse},
        {"N3", "-", "", nullptr},
        {"HelpAboutItem", "ﾊﾞｰｼﾞｮﾝ情報(&A)...", "ﾌﾟﾛｸﾞﾗﾑの情報を表示します",
         &MainWindow::onHelpAbout},
    };
    m_helpMenu = addFrameMenu(QStringLiteral("ﾍﾙﾌﾟ(&H)"), QStringLiteral("HelpMenu"), 9, items);
    menuItem(QStringLiteral("HelpContentsItem"))->setShortcut(QKeySequence(Qt::Key_F1));
}

HelpViewer* MainWindow::helpViewer() const
{
    return m_helpViewer;
}

QString MainWindow::helpFolder() const
{
    // Beside the program in a build; in share/lumavex once installed.
    const QDir program(m_programDirectory);
    const QString beside = program.filePath(QStringLiteral("help"));
    const QString installed = program.filePath(QStringLiteral("../share/lumavex/help"));
    if (!QFileInfo(beside).isDir() && QFileInfo(installed).isDir())
        return QDir::cleanPath(installed);
    return beside;
}

void MainWindow::showHelpPage(const QString& page)
{
    reportErrors(this, [&] {
        if (!m_helpViewer)
            m_helpViewer = new HelpViewer(this);
        m_helpViewer->showPage(helpFolder(), page);
    });
}

void MainWindow::onHelpContents()
{
    showHelpPage(QStringLiteral("index.html"));
}

void MainWindow::onHelpSearch()
{
    reportErrors(this, [&] {
        if (!m_helpViewer)
            m_helpViewer = new HelpViewer(this);
        m_helpViewer->showSearch(helpFolder());
    });
}

void MainWindow::onHelpHowToUse()
{
    showHelpPage(QStringLiteral("howto.html"));
}

void MainWindow::onHelpAbout()
{
    AboutBox* box = Editor::instance().aboutBox();
    box->show();
    box->raise();
    box->activateWindow();
}

}  // namespace lumavex
