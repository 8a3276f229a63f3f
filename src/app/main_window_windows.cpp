// The "ｳｨﾝﾄﾞｳ(&W)" menu with its window list, the merging of the active document's menus, and
// the edit commands forwarded to the active document.
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>

#include "app/main_window.h"
#include "document/document_window.h"
#include "document/error_box.h"
#include "document/picture_control.h"

namespace lumavex {

void MainWindow::createWindowMenu()
{
    const MenuItem items[] = {
        {"WindowTileItem", "並べて表示(&T)", "すべてのｳｨﾝﾄﾞｳを並べて表示します",
         &MainWindow::onWindowTile},
        {"WindowCascadeItem", "重ねて表示(&C)", "すべてのｳｨﾝﾄﾞｳを重ねて表示します",
         &MainWindow::onWindowCascade},
        {"WindowArrangeItem", "ｱｲｺﾝの整列(&A)", "ｱｲｺﾝ化されたｳｨﾝﾄﾞｳを整列します",
         &MainWindow::onArrangeIcons},
    };
    m_windowMenu =
        addFrameMenu(QStringLiteral("ｳｨﾝﾄﾞｳ(&W)"), QStringLiteral("WindowMenu"), 8, items);
    connect(m_windowMenu, &QMenu::aboutToShow, this, &MainWindow::updateWindowList);
}

// The window list: one item per document, the active one checked, as the platform's
// window-list menu has it.
void MainWindow::updateWindowList()
{
    for (QAction* item : m_windowListItems)
        delete item;
    m_windowListItems.clear();
    const QList<QMdiSubWindow*> windows = m_mdiArea->subWindowList(QMdiArea::CreationOrder);
    if (windows.isEmpty())
        return;
    m_windowListItems << m_windowMenu->addSeparator();
    int number = 1;
    for (QMdiSubWindow* window : windows) {
        QString title = window->windowTitle();
        title.replace(QLatin1Char('&'), QStringLiteral("&&"));
        const QString caption = number < 10 ? QStringLiteral("&%1 %2").arg(number).arg(title)
                                            : QStringLiteral("%1 %2").arg(number).arg(title);
        QAction* item = m_windowMenu->addAction(caption);
        item->setCheckable(true);
        item->setChecked(window == m_mdiArea->currentSubWindow());
        QPointer<QMdiSubWindow> target(window);
        connect(item, &QAction::triggered, this, [this, target] {
            if (target)
                m_mdiArea->setActiveSubWindow(target);
        });
        m_windowListItems << item;
        ++number;
    }
}

void MainWindow::subWindowActivated(QMdiSubWindow* window)
{
    mergeMenus(activeDocument());
    if (auto* document = qobject_cast<DocumentWindow*>(window))
        document->onActivated();
}

// The active document's menus join the menu bar by group index: file 0, edit 2, processing 7,
// window 8, help 9.
void MainWindow::mergeMenus(DocumentWindow* document)
{
    for (const QPointer<QAction>& merged : m_mergedMenus)
        if (merged)
            menuBar()->removeAction(merged);
    m_mergedMenus.clear();
    if (!document)
        return;
    for (QMenu* menu : document->mergedMenus()) {
        QAction* action = menu->menuAction();
        const int group = action->property("groupIndex").toInt();
        QAction* before = nullptr;
        for (QAction* existing : menuBar()->actions()) {
            if (existing->property("groupIndex").toInt() > group) {
                before = existing;
                break;
            }
        }
        menuBar()->insertAction(before, action);
        m_mergedMenus << action;
    }
}

void MainWindow::onWindowTile()
{
    m_mdiArea->tileSubWindows();
}

// Each window steps one title bar down and right of the one before and keeps its picture's
// size, at least a usable size and within the client area; the active window ends on top.
void MainWindow::onWindowCascade()
{
    QList<QMdiSubWindow*> windows;
    for (QMdiSubWindow* window : m_mdiArea->subWindowList(QMdiArea::CreationOrder))
        if (!window->isMinimized() && !window->isHidden())
            windows << window;
    QMdiSubWindow* active = m_mdiArea->activeSubWindow();
    if (windows.removeOne(active))
        windows << active;
    const QSize area = m_mdiArea->viewport()->size();
    const QSize usable = kUsableDocumentSize.boundedTo(area);
    QPoint at(0, 0);
    for (QMdiSubWindow* window : windows) {
        if (window->isMaximized())
            window->showNormal();
        if (at.x() + usable.width() > area.width() || at.y() + usable.height() > area.height())
            at = QPoint(0, 0);
        const auto* document = qobject_cast<DocumentWindow*>(window);
        const QSize wanted = document && !document->mainPicture()->picture().empty()
                                 ? document->sizeForPicture()
                                 : window->size();
        window->setGeometry(
            QRect(at, wanted.expandedTo(usable).boundedTo(area - QSize(at.x(), at.y()))));
        window->raise();
        const int step = std::max(window->contentsMargins().top(), 20);
        at += QPoint(step, step);
    }
    if (active)
        m_mdiArea->setActiveSubWindow(active);
}

// Minimised windows line up from the bottom-left corner, row above row.
void MainWindow::onArrangeIcons()
{
    const QRect area = m_mdiArea->viewport()->rect();
    int x = 0;
    int bottom = area.bottom() + 1;
    int rowHeight = 0;
    for (QMdiSubWindow* window : m_mdiArea->subWindowList(QMdiArea::CreationOrder)) {
        if (!window->isMinimized())
            continue;
        const QSize size = window->size();
        if (x > 0 && x + size.width() > area.width()) {
            x = 0;
            bottom -= rowHeight;
            rowHeight = 0;
        }
        window->move(x, bottom - size.height());
        x += size.width();
        rowHeight = std::max(rowHeight, size.height());
    }
}

void MainWindow::undo()
{
    DocumentWindow* document = activeDocument();
    if (!document)
        return;
    if (document->undoLabel().isEmpty())
        showStatusMessage(QStringLiteral("元に戻す操作がありません"));
    else
        document->RestoreUndo();
}

// The tool buttons run the active document's cut, copy and paste; the paste button is always
// enabled, and without a picture on the clipboard it says so.
void MainWindow::onEditCut()
{
    if (DocumentWindow* document = activeDocument())
        document->onCut();
}

void MainWindow::onEditCopy()
{
    if (DocumentWindow* document = activeDocument())
        document->onCopy();
}

void MainWindow::onEditPaste()
{
    DocumentWindow* document = activeDocument();
    if (!document) {
        showStatusMessage(QStringLiteral("貼り付ける先の画像が開いていません"));
        return;
    }
    reportErrors(this, [&] { document->onPaste(); });
}

}  // namespace lumavex
