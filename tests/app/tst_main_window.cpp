// The frame: its menus, tool bar, status line, document creation, recent files, drops,
// closing, help and About box.
#include <QAction>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScrollArea>
#include <QSettings>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>

#include "app/about_box.h"
#include "app/help_viewer.h"
#include "dialogs/color_count_dialog.h"
#include "dialogs/processing_parameters_dialog.h"
#include "dialogs/rotate_dialog.h"
#include "dialogs/size_dialog.h"
#include "dialogs/text_dialog.h"
#include "document/document_window.h"
#include "document/picture_control.h"
#include "formats/bmp.h"
#include "formats/picture_io.h"
#include "formats/stream.h"
#include "mask/mask_editor_window.h"
#include "support/editor_test_support.h"
#include "version.h"
#include "support/qtest_main.h"

using namespace lumavex;
using lumavex::test::EditorUnderTest;

namespace {

struct ItemRow {
    const char* name;
    const char* caption;
    const char* hint;
    bool enabled;
};

void compareItems(const QMenu* menu, const QList<ItemRow>& rows)
{
    const QList<QAction*> actions = menu->actions();
    QVERIFY(actions.size() >= rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        const QAction* a = actions[i];
        QCOMPARE(a->objectName(), QString::fromUtf8(rows[i].name));
        if (QLatin1String(rows[i].caption) == QLatin1String("-"))
            QVERIFY2(a->isSeparator(), rows[i].name);
        else
            QCOMPARE(a->text(), QString::fromUtf8(rows[i].caption));
        QCOMPARE(a->statusTip(), QString::fromUtf8(rows[i].hint));
        QCOMPARE(a->isEnabled(), rows[i].enabled);
    }
}

QStringList menuBarTitles(QMenuBar* bar)
{
    QStringList titles;
    for (const QAction* a : bar->actions())
        if (a->isVisible())
            titles << a->text();
    return titles;
}

QStringList titles(const QList<DocumentWindow*>& documents)
{
    QStringList list;
    for (const DocumentWindow* d : documents)
        list << d->windowTitle();
    return list;
}

QList<DocumentWindow*> inCreationOrder(MainWindow* frame)
{
    QList<DocumentWindow*> list;
    for (QMdiSubWindow* w : frame->mdiArea()->subWindowList(QMdiArea::CreationOrder))
        list << qobject_cast<DocumentWindow*>(w);
    return list;
}

void drop(QWidget* target, const QStringList& files)
{
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const QString& f : files)
        urls << QUrl::fromLocalFile(f);
    data->setUrls(urls);
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent dropped(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &dropped);
    QVERIFY(dropped.isAccepted());
    delete data;
}

void edit(DocumentWindow* document)
{
    document->TakeUndoSnapshot(document->mainPicture(), QStringLiteral("影付け"));
}

void writeHelp(const QString& folder)
{
    QDir().mkpath(folder);
    test::writeFile((folder + "/index.html").toStdString(),
                    "<html><head><title>目次</title></head><body><h1>Lumavex</h1>"
                    "<a href=\"shadow.html\">影付け</a></body></html>");
    test::writeFile((folder + "/howto.html").toStdString(),
                    "<html><head><title>ﾍﾙﾌﾟの使い方</title></head><body>使い方</body></html>");
    test::writeFile(
        (folder + "/shadow.html").toStdString(),
        "<html><head><title>AddShadow</title>"
        "<meta name=\"keywords\" content=\"影付け, AddShadow, 影\"></head><body>影</body></html>");
    test::writeFile((folder + "/blur.html").toStdString(),
                    "<html><head><meta content='ぼかし、影' name='Keywords'>"
                    "<title>FlameBlur</title></head><body>ぼかし</body></html>");
}

}  // namespace

class TstMainWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void frameParts();
    void fileMenuItems();
    void windowAndHelpMenuItems();
    void speedButtons();
    void longLivedWindowsExistOnce();
    void statusLineShowsMenuHintsAndClearsOnButtons();
    void documentMenusMergeByGroupIndex();
    void windowListNamesEveryDocument();
    void fileMenuClickFollowsTheDocuments();
    void openAppendsRecentFiles();
    void recentItemOpensWithoutAddingOne();
    void failedOpenAddsNoRecentFile();
    void newNumbersPastOpenWindows();
    void newNumbersPastFilesOnDisk();
    void newNeverReusesATakenName();
    void newFillsWithTheBackgroundColour();
    void closingTheLastWindowDisablesTheButtons();
    void closingOneOfTwoKeepsTheButtons();
    void droppedFilesOpenInOrder();
    void cancelOnOneOfTwoKeepsTheFrameOpen();
    void frameClosesWhenEveryDocumentIsAnswered();
    void commandsWithoutDocumentDoNothing();
    void openRequestsOpenInTurn();
    void helpShowsContentsSearchAndHowTo();
    void helpWithoutPagesReportsIt();
    void aboutBoxAndParametersShowModeless();
    void documentsOpenAtTheirPictureSizeWithinTheArea();
    void frameRemembersItsPlace();
    void newNamesPicturesInThePicturesFolder();
    void saveAsOffersEveryWrittenFormatAndAsksTheJpegQuality();
};

void TstMainWindow::initTestCase()
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
}

void TstMainWindow::frameParts()
{
    EditorUnderTest t;
    MainWindow* f = t.frame;
    QCOMPARE(f->windowTitle(), QStringLiteral("Lumavex"));
    QCOMPARE(f->font().family(), QStringLiteral("ＭＳ Ｐゴシック"));
    QCOMPARE(f->font().pixelSize(), 12);
    QCOMPARE(f->statusLine()->objectName(), QStringLiteral("StatusLine"));
    QCOMPARE(f->statusBar(), f->statusLine());
    QCOMPARE(f->speedBar()->height(), 37);
    QCOMPARE(f->buttonPanel()->height(), 33);
    QCOMPARE(f->buttonPanel()->parentWidget(), f->speedBar());
    QCOMPARE(f->menuBar()->objectName(), QStringLiteral("MainMenu"));
    QVERIFY(f->acceptDrops());
    QCOMPARE(f->mdiArea()->background().color(), QColor(128, 128, 128));
    QVERIFY(!f->windowIcon().isNull());
    QCOMPARE(menuBarTitles(f->menuBar()), QStringList({"ﾌｧｲﾙ(&F)", "ｳｨﾝﾄﾞｳ(&W)", "ﾍﾙﾌﾟ(&H)"}));
}

void TstMainWindow::fileMenuItems()
{
    EditorUnderTest t;
    compareItems(
        t.frame->fileMenu(),
        {{"FileNewItem", "新規作成(&N)", "新しいﾌｧｲﾙを作成します", true},
         {"FileOpenItem", "開く(&O)...", "既存のﾌｧｲﾙを開きます", true},
         {"FileSaveItem", "上書き保存(&S)", "現在のﾌｧｲﾙを保存します", false},
         {"FileSaveAsItem", "名前をつけて保存(&A)...", "ﾌｧｲﾙを別の名前をつけて保存します", false},
         {"N5", "-", "", true},
         {"N6", "ﾃﾞｰﾀｿｰｽ", "", true},
         {"Aquair1", "Aquair-ｽｷｬﾅ", "", true},
         {"N1", "-", "", true},
         {"FilePrintItem", "印刷(&P)...", "ﾌｧｲﾙを印刷します", false},
         {"FilePrintSetupItem", "ﾌﾟﾘﾝﾀの設定(&R)...", "ﾌﾟﾘﾝﾀの設定を変更します", true},
         {"N4", "-", "", true},
         {"N2", "処理設定", "", true},
         {"PluginFoldersItem", "ﾌﾟﾗｸﾞｲﾝのﾌｫﾙﾀﾞ...", "画像ﾌﾟﾗｸﾞｲﾝを探すﾌｫﾙﾀﾞを選びます", true},
         {"FileExitItem", "終了(&X)", "このｱﾌﾟﾘｹｰｼｮﾝを終了します", true},
         {"Open21", "-", "", true}});
    QCOMPARE(t.frame->fileMenu()->actions().size(), 15);
    QVERIFY(t.frame->recentFileItems().isEmpty());
}

void TstMainWindow::windowAndHelpMenuItems()
{
    EditorUnderTest t;
    compareItems(t.frame->windowMenu(),
                 {{"WindowTileItem", "並べて表示(&T)", "すべてのｳｨﾝﾄﾞｳを並べて表示します", true},
                  {"WindowCascadeItem", "重ねて表示(&C)", "すべてのｳｨﾝﾄﾞｳを重ねて表示します", true},
                  {"WindowArrangeItem", "ｱｲｺﾝの整列(&A)", "ｱｲｺﾝ化されたｳｨﾝﾄﾞｳを整列します", true}});
    compareItems(t.frame->helpMenu(),
                 {{"HelpContentsItem", "目次(&C)", "ﾍﾙﾌﾟの目次を表示します", true},
                  {"HelpSearchItem", "ｷｰﾜｰﾄﾞで検索(&S)...", "ﾍﾙﾌﾟﾌｧｲﾙのﾄﾋﾟｯｸを検索します", true},
                  {"HelpHowToUseItem", "ﾍﾙﾌﾟの使い方(&H)", "ﾍﾙﾌﾟｼｽﾃﾑの使い方のﾍﾙﾌﾟ", true},
                  {"N3", "-", "", true},
                  {"HelpAboutItem", "ﾊﾞｰｼﾞｮﾝ情報(&A)...", "ﾌﾟﾛｸﾞﾗﾑの情報を表示します", true}});
}

void TstMainWindow::speedButtons()
{
    EditorUnderTest t;
    const struct {
        int number;
        const char* hint;
        bool enabled;
    } buttons[] = {{18, "新規作成", true},     {1, "開く", true},
                   {2, "上書き保存", false},   {3, "名前を付けて保存", false},
                   {4, "印刷", false},         {5, "ﾌﾟﾘﾝﾀの設定", true},
                   {6, "終了", true},          {7, "元に戻す", false},
                   {8, "切り取り", false},     {9, "ｺﾋﾟｰ", false},
                   {10, "貼り付け", true},     {11, "並べて表示", true},
                   {12, "重ねて表示", true},   {13, "整列", true},
                   {14, "目次", true},         {15, "ｷｰﾜｰﾄﾞで検索", true},
                   {16, "ﾍﾙﾌﾟの使い方", true}, {17, "ﾊﾞｰｼﾞｮﾝ情報", true}};
    QCOMPARE(t.frame->buttonPanel()->findChildren<QToolButton*>().size(), 18);
    QList<QImage> glyphs;
    for (int i = 0; i < 18; ++i) {
        QToolButton* b = t.frame->speedButton(buttons[i].number);
        QVERIFY(b);
        QCOMPARE(b->geometry(), QRect(8 + 24 * i, 4, 25, 25));
        QCOMPARE(b->toolTip(), QString::fromUtf8(buttons[i].hint));
        QVERIFY(b->statusTip().isEmpty());
        QCOMPARE(b->isEnabled(), buttons[i].enabled);
        // Two states of every glyph, and no two glyphs alike.
        const QImage normal = b->icon().pixmap(16, QIcon::Normal).toImage();
        const QImage disabled = b->icon().pixmap(16, QIcon::Disabled).toImage();
        QVERIFY(!normal.isNull());
        QVERIFY(normal != disabled);
        QVERIFY(!glyphs.contains(normal));
        glyphs << normal;
    }
}

void TstMainWindow::longLivedWindowsExistOnce()
{
    EditorUnderTest t;
    Editor& e = Editor::instance();
    QCOMPARE(&e, &t.editor);
    QVERIFY(e.aboutBox() && e.textDialog() && e.processingParameters() && e.maskEditor() &&
            e.sizeDialog() && e.colorCountDialog() && e.rotateDialog());
    for (QWidget* w : std::initializer_list<QWidget*>{
             e.aboutBox(), e.textDialog(), e.processingParameters(), e.maskEditor(), e.sizeDialog(),
             e.colorCountDialog(), e.rotateDialog()})
        QVERIFY(!w->isVisible());
    QCOMPARE(e.processingParameters()->windowTitle(), QStringLiteral("処理パラメータ"));
}

void TstMainWindow::statusLineShowsMenuHintsAndClearsOnButtons()
{
    EditorUnderTest t;
    QMenu* file = t.frame->fileMenu();
    t.frame->menuBar()->setActiveAction(file->menuAction());
    QVERIFY(QTest::qWaitForWindowExposed(file));
    QAction* open = t.frame->menuItem("FileOpenItem");
    QTest::mouseMove(file, file->actionGeometry(open).center());
    QTRY_COMPARE(t.frame->statusLine()->currentMessage(), QStringLiteral("既存のﾌｧｲﾙを開きます"));
    // An item without a hint clears the line.
    QTest::mouseMove(file, file->actionGeometry(t.frame->menuItem("N2")).center());
    QTRY_COMPARE(t.frame->statusLine()->currentMessage(), QString());
    QTest::mouseMove(file, file->actionGeometry(t.frame->menuItem("FileExitItem")).center());
    QTRY_COMPARE(t.frame->statusLine()->currentMessage(),
                 QStringLiteral("このｱﾌﾟﾘｹｰｼｮﾝを終了します"));
    file->hide();

    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(t.frame->speedButton(1), &enter);
    QCOMPARE(t.frame->statusLine()->currentMessage(), QString());
}

void TstMainWindow::documentMenusMergeByGroupIndex()
{
    EditorUnderTest t;
    t.frame->onFileNew();
    QCOMPARE(menuBarTitles(t.frame->menuBar()),
             QStringList({"ﾌｧｲﾙ(&F)", "編集(&E)", "表示(&V)", "処理", "ｳｨﾝﾄﾞｳ(&W)", "ﾍﾙﾌﾟ(&H)"}));
    DocumentWindow* first = t.frame->activeDocument();
    t.frame->onFileNew();
    DocumentWindow* second = t.frame->activeDocument();
    // Only the active document's menus are in the bar.
    QVERIFY(t.frame->menuBar()->actions().contains(second->editMenu()->menuAction()));
    QVERIFY(!t.frame->menuBar()->actions().contains(first->editMenu()->menuAction()));
    QCOMPARE(t.frame->menuBar()->actions().size(), 6);
    t.frame->mdiArea()->setActiveSubWindow(first);
    QVERIFY(t.frame->menuBar()->actions().contains(first->processingMenu()->menuAction()));
    QVERIFY(!t.frame->menuBar()->actions().contains(second->processingMenu()->menuAction()));
    QVERIFY(first->close());
    QVERIFY(second->close());
    QTRY_COMPARE(menuBarTitles(t.frame->menuBar()),
                 QStringList({"ﾌｧｲﾙ(&F)", "ｳｨﾝﾄﾞｳ(&W)", "ﾍﾙﾌﾟ(&H)"}));
}

void TstMainWindow::windowListNamesEveryDocument()
{
    EditorUnderTest t;
    t.frame->onFileNew();
    t.frame->onFileNew();
    emit t.frame->windowMenu()->aboutToShow();
    const QList<QAction*> items = t.frame->windowMenu()->actions();
    QCOMPARE(items.size(), 3 + 1 + 2);
    QVERIFY(items[3]->isSeparator());
    QCOMPARE(items[4]->text(), QStringLiteral("&1 ") + t.path("New(0).bmp"));
    QCOMPARE(items[5]->text(), QStringLiteral("&2 ") + t.path("New(1).bmp"));
    QVERIFY(items[5]->isChecked());
    items[4]->trigger();
    QCOMPARE(t.frame->activeDocument()->fileName(), t.path("New(0).bmp"));
    // Opening the menu again lists them afresh.
    emit t.frame->windowMenu()->aboutToShow();
    QCOMPARE(t.frame->windowMenu()->actions().size(), 6);
    t.frame->onWindowTile();
    t.frame->onWindowCascade();
    for (DocumentWindow* d : t.frame->documents())
        d->showMinimized();
    t.frame->onArrangeIcons();
    const QList<DocumentWindow*> docs = inCreationOrder(t.frame);
    QCOMPARE(docs[0]->x(), 0);
    QCOMPARE(docs[1]->x(), docs[0]->width());
    QCOMPARE(docs[0]->geometry().bottom(), t.frame->mdiArea()->viewport()->rect().bottom());
}

void TstMainWindow::fileMenuClickFollowsTheDocuments()
{
    EditorUnderTest t;
    const char* items[] = {"FileSaveItem", "FileSaveAsItem", "N6", "Aquair1", "FilePrintItem"};
    emit t.frame->fileMenu()->aboutToShow();
    for (const char* name : items)
        QVERIFY2(!t.frame->menuItem(name)->isEnabled(), name);
    t.frame->onFileNew();
    emit t.frame->fileMenu()->aboutToShow();
    for (const char* name : items)
        QVERIFY2(t.frame->menuItem(name)->isEnabled(), name);
    QVERIFY(t.frame->activeDocument()->close());
    QTRY_VERIFY(t.frame->documents().isEmpty());
    t.frame->onFileMenuShow();
    for (const char* name : items)
        QVERIFY2(!t.frame->menuItem(name)->isEnabled(), name);
}

void TstMainWindow::openAppendsRecentFiles()
{
    EditorUnderTest t;
    const QString name = t.writePicture("a&b.bmp", test::makeFPicture(12, 10));
    t.ui.openNames << name << name;
    t.frame->onFileOpen();
    t.frame->onFileOpen();
    QCOMPARE(t.ui.filters[0],
             QStringLiteral("すべてのﾌｧｲﾙ (*.*)|*.*|Device Independent Bitmap (*.dib)|*.dib|JPEG "
                            "Image File (*.jpg,*.jpeg)|*.jpg;*.jpeg|JPEG Image File "
                            "(*.jpeg)|*.jpeg|ﾋﾞｯﾄﾏｯﾌﾟ (*.bmp)|*.bmp|ｱｲｺﾝ (*.ico)|*.ico|ｴﾝﾊﾝｽ "
                            "ﾒﾀﾌｧｲﾙ (*.emf)|*.emf|ﾒﾀﾌｧｲﾙ (*.wmf)|*.wmf|GIF|*.GIF"));
    const QList<QAction*> recent = t.frame->recentFileItems();
    QCOMPARE(recent.size(), 2);
    for (const QAction* item : recent) {
        QCOMPARE(item->data().toString(), name);
        // The caption is the full name, its "&" shown as it is.
        QCOMPARE(item->text(), QString(name).replace("&", "&&"));
    }
    QCOMPARE(t.frame->fileMenu()->actions().last(), recent.last());
    QCOMPARE(t.frame->documents().size(), 2);
    // Cancelling the dialog opens nothing.
    t.frame->onFileOpen();
    QCOMPARE(t.frame->documents().size(), 2);
}

void TstMainWindow::recentItemOpensWithoutAddingOne()
{
    EditorUnderTest t;
    const Raster f = test::makeFPicture(12, 10);
    const QString name = t.writePicture("f.bmp", f);
    t.ui.openNames << name;
    t.frame->onFileOpen();
    t.frame->recentFileItems()[0]->trigger();
    QCOMPARE(t.frame->recentFileItems().size(), 1);
    QCOMPARE(t.frame->documents().size(), 2);
    QCOMPARE(t.frame->activeDocument()->windowTitle(), name);
    QVERIFY(t.frame->activeDocument()->mainPicture()->picture().samePixels(f));
}

void TstMainWindow::failedOpenAddsNoRecentFile()
{
    EditorUnderTest t;
    t.ui.openNames << t.path("absent.bmp");
    t.frame->onFileOpen();
    QVERIFY(t.frame->recentFileItems().isEmpty());
    QCOMPARE(t.ui.errors.size(), 1);
    QCOMPARE(t.frame->activeDocument()->windowTitle(), QStringLiteral("FEditImage1"));
}

void TstMainWindow::newNumbersPastOpenWindows()
{
    EditorUnderTest t;
    t.frame->onFileNew();
    t.frame->onFileNew();
    QCOMPARE(titles(inCreationOrder(t.frame)),
             QStringList({t.path("New(0).bmp"), t.path("New(1).bmp")}));
    t.frame->onFileNew();
    QCOMPARE(t.frame->activeDocument()->windowTitle(), t.path("New(2).bmp"));
    QCOMPARE(t.frame->activeDocument()->fileName(), t.path("New(2).bmp"));
    // Nothing is written.
    QVERIFY(!QFile::exists(t.path("New(2).bmp")));
}

void TstMainWindow::newNumbersPastFilesOnDisk()
{
    EditorUnderTest t;
    t.writePicture("New(0).bmp", test::makeFPicture(4, 4));
    t.frame->onFileNew();
    QCOMPARE(t.frame->activeDocument()->windowTitle(), t.path("New(1).bmp"));
}

void TstMainWindow::newNeverReusesATakenName()
{
    EditorUnderTest t;
    // Two windows and New(2).bmp on disk: the first free number 0 plus the two windows would
    // name New(2).bmp, whose file a save would overwrite.
    t.frame->onFileNew();
    t.frame->onFileNew();
    t.writePicture("New(2).bmp", test::makeFPicture(4, 4));
    t.frame->onFileNew();
    QCOMPARE(t.frame->activeDocument()->windowTitle(), t.path("New(3).bmp"));
    // Closing New(0) leaves two windows; 0 + 2 is New(2) (on disk), then New(3) is open.
    for (DocumentWindow* d : t.frame->documents())
        if (d->fileName() == t.path("New(0).bmp"))
            QVERIFY(d->close());
    QTRY_COMPARE(t.frame->documents().size(), 2);
    t.frame->onFileNew();
    QCOMPARE(t.frame->activeDocument()->windowTitle(), t.path("New(4).bmp"));
}

void TstMainWindow::newFillsWithTheBackgroundColour()
{
    EditorUnderTest t;
    t.editor.processingParameters()->setPanelColor("BGColor", makeColor(10, 200, 30));
    t.frame->buttonPanel()->hide();
    t.frame->speedButton(18)->click();
    QVERIFY(t.frame->buttonPanel()->isVisible());
    const Raster& p = t.frame->activeDocument()->mainPicture()->picture();
    QCOMPARE(p.width(), 10);
    QCOMPARE(p.height(), 10);
    QVERIFY(p.samePixels(Raster(10, 10, makeColor(10, 200, 30))));
    QCOMPARE(p.brushColor(), makeColor(10, 200, 30));
    QVERIFY(!t.frame->activeDocument()->edited());
}

void TstMainWindow::closingTheLastWindowDisablesTheButtons()
{
    EditorUnderTest t;
    t.frame->onFileNew();
    DocumentWindow* d = t.frame->activeDocument();
    edit(d);
    QVERIFY(t.frame->speedButton(7)->isEnabled());
    t.ui.answers << QMessageBox::No;
    QVERIFY(d->close());
    QTRY_VERIFY(t.frame->documents().isEmpty());
    for (const int n : {2, 3, 4, 8, 9})
        QVERIFY(!t.frame->speedButton(n)->isEnabled());
    QVERIFY(t.frame->speedButton(7)->isEnabled());
    // Pressing undo with no document does nothing.
    t.frame->speedButton(7)->click();
    QVERIFY(t.frame->documents().isEmpty());
    QVERIFY(t.ui.errors.isEmpty());
}

void TstMainWindow::closingOneOfTwoKeepsTheButtons()
{
    EditorUnderTest t;
    t.frame->onFileNew();
    t.frame->onFileNew();
    QVERIFY(t.frame->activeDocument()->close());
    QTRY_COMPARE(t.frame->documents().size(), 1);
    for (const int n : {2, 3, 4, 8, 9})
        QVERIFY(t.frame->speedButton(n)->isEnabled());
}

void TstMainWindow::droppedFilesOpenInOrder()
{
    EditorUnderTest t;
    const QStringList files = {t.writePicture("c.bmp", test::makeFPicture(5, 5)),
                               t.writePicture("a.bmp", test::makeGradient(6, 6)),
                               t.writePicture("b.bmp", test::makeNoise(7, 7, 1))};
    drop(t.frame, files);
    QTRY_COMPARE(t.frame->documents().size(), 3);
    QCOMPARE(titles(inCreationOrder(t.frame)), files);
    QCOMPARE(inCreationOrder(t.frame)[2]->mainPicture()->picture().width(), 7);
    QVERIFY(t.frame->recentFileItems().isEmpty());
    // Something that is not a file is refused.
    auto* text = new QMimeData;
    text->setText("hello");
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, text, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(t.frame, &enter);
    QVERIFY(!enter.isAccepted());
    delete text;
}

void TstMainWindow::cancelOnOneOfTwoKeepsTheFrameOpen()
{
    const QList<QList<QMessageBox::StandardButton>> answers = {
        {QMessageBox::Cancel},
        {QMessageBox::No, QMessageBox::Cancel},
        {QMessageBox::Yes, QMessageBox::Cancel},
    };
    for (const auto& given : answers) {
        EditorUnderTest t;
        QSignalSpy closed(t.frame, &MainWindow::closed);
        t.frame->onFileNew();
        edit(t.frame->activeDocument());
        t.frame->onFileNew();
        edit(t.frame->activeDocument());
        t.ui.answers = given;
        QVERIFY(!t.frame->close());
        QCOMPARE(t.ui.questions.size(), given.size());
        QVERIFY(t.frame->isVisible());
        QCOMPARE(closed.count(), 0);
        QCOMPARE(t.frame->documents().size(), 2);
    }
}

void TstMainWindow::frameClosesWhenEveryDocumentIsAnswered()
{
    EditorUnderTest t;
    QSignalSpy closed(t.frame, &MainWindow::closed);
    t.frame->onFileNew();
    edit(t.frame->activeDocument());
    t.frame->onFileNew();  // not edited: no question
    t.frame->onFileNew();
    edit(t.frame->activeDocument());
    const QString saved = t.frame->activeDocument()->fileName();
    t.ui.answers = {QMessageBox::Yes, QMessageBox::No};
    t.frame->speedButton(6)->click();
    QCOMPARE(t.ui.questions.size(), 2);
    QCOMPARE(t.ui.questions[0].text, saved + QStringLiteral("\r編集されています。保存しますか"));
    QCOMPARE(closed.count(), 1);
    QVERIFY(!t.frame->isVisible());
    QVERIFY(QFile::exists(saved));
}

void TstMainWindow::commandsWithoutDocumentDoNothing()
{
    EditorUnderTest t;
    t.ui.saveNames << t.path("x.bmp");
    t.frame->onFileSave();
    t.frame->onFileSaveAs();
    t.frame->onFilePrint();
    t.frame->onSelectScannerSource();
    t.frame->onAcquireScan();
    t.frame->undo();
    t.frame->onEditCut();
    t.frame->onEditCopy();
    t.frame->onEditPaste();
    QVERIFY(t.ui.questions.isEmpty());
    QVERIFY(t.ui.errors.isEmpty());
    QCOMPARE(t.ui.saveNames.size(), 1);
    QVERIFY(t.frame->documents().isEmpty());
    t.frame->onPrintSetup();
    QCOMPARE(t.ui.printSetups, 1);
}

void TstMainWindow::openRequestsOpenInTurn()
{
    EditorUnderTest t;
    const QString good = t.writePicture("good.bmp", test::makeFPicture(9, 9));
    t.frame->openRequested(t.path("missing.bmp"));
    t.frame->openRequested(good);
    QCOMPARE(t.ui.errors.size(), 1);
    const QList<DocumentWindow*> docs = inCreationOrder(t.frame);
    QCOMPARE(titles(docs), QStringList({"FEditImage1", good}));
    QVERIFY(t.frame->recentFileItems().isEmpty());
}

void TstMainWindow::helpShowsContentsSearchAndHowTo()
{
    EditorUnderTest t;
    writeHelp(t.frame->helpFolder());
    QCOMPARE(t.frame->helpFolder(), t.path("help"));
    t.frame->speedButton(14)->click();
    HelpViewer* help = t.frame->helpViewer();
    QVERIFY(help && help->isVisible());
    QVERIFY(help->browser()->source().toLocalFile().endsWith("/help/index.html"));
    QVERIFY(help->browser()->toPlainText().contains("Lumavex"));

    t.frame->onHelpHowToUse();
    QCOMPARE(t.frame->helpViewer(), help);
    QVERIFY(help->browser()->source().toLocalFile().endsWith("/help/howto.html"));

    t.frame->onHelpSearch();
    QVERIFY(help->keywordEdit()->text().isEmpty());
    QListWidget* list = help->keywordList();
    // Keywords of both pages, the shared one naming its pages.
    QStringList all;
    for (int i = 0; i < list->count(); ++i)
        all << list->item(i)->text();
    QVERIFY(all.contains("AddShadow"));
    QVERIFY(all.contains("ぼかし"));
    QVERIFY(all.contains("影付け"));
    QVERIFY(all.contains("影 － AddShadow"));
    QVERIFY(all.contains("影 － FlameBlur"));
    QCOMPARE(all.size(), 5);
    QTest::keyClicks(help->keywordEdit(), "add");
    int shown = 0;
    for (int i = 0; i < list->count(); ++i)
        shown += list->item(i)->isHidden() ? 0 : 1;
    QCOMPARE(shown, 1);
    QTest::keyClick(help->keywordEdit(), Qt::Key_Return);
    QVERIFY(help->browser()->source().toLocalFile().endsWith("/help/shadow.html"));

    const QList<HelpTopic> topics = helpKeywords(t.frame->helpFolder());
    QCOMPARE(topics.size(), 5);
    QCOMPARE(topics[0].keyword, QStringLiteral("AddShadow"));
    QCOMPARE(topics[0].page, QStringLiteral("shadow.html"));
}

void TstMainWindow::helpWithoutPagesReportsIt()
{
    EditorUnderTest t;
    t.frame->onHelpContents();
    t.frame->onHelpSearch();
    QCOMPARE(t.ui.errors.size(), 2);
    QVERIFY(t.ui.errors[0].contains(QStringLiteral("が見つかりません")));
    QVERIFY(t.ui.errors[0].contains(t.path("help/index.html")));

    // An installed program finds its pages in share/lumavex/help.
    QDir().mkpath(t.path("usr/bin"));
    writeHelp(t.path("usr/share/lumavex/help"));
    t.frame->setProgramDirectory(t.path("usr/bin"));
    QCOMPARE(t.frame->helpFolder(), t.path("usr/share/lumavex/help"));
    t.frame->onHelpContents();
    QCOMPARE(t.ui.errors.size(), 2);
    QVERIFY(t.frame->helpViewer()->browser()->toPlainText().contains("Lumavex"));
}

void TstMainWindow::aboutBoxAndParametersShowModeless()
{
    EditorUnderTest t;
    t.frame->speedButton(17)->click();
    AboutBox* about = t.editor.aboutBox();
    QVERIFY(about->isVisible());
    QVERIFY(!about->isModal());
    QCOMPARE(about->windowTitle(), QStringLiteral("About..."));
    QCOMPARE(about->size(), QSize(298, 312));
    QCOMPARE(about->findChild<QLabel*>("ProductName")->text(), QStringLiteral("Lumavex"));
    QCOMPARE(about->findChild<QLabel*>("Version")->text(),
             QStringLiteral("Version " LUMAVEX_VERSION));
    QPushButton* ok = about->findChild<QPushButton*>("OKButton");
    QVERIFY(ok->isDefault());
    ok->click();
    QVERIFY(!about->isVisible());

    t.frame->menuItem("N2")->trigger();
    QVERIFY(t.editor.processingParameters()->isVisible());
    QVERIFY(!t.editor.processingParameters()->isModal());
}

void TstMainWindow::documentsOpenAtTheirPictureSizeWithinTheArea()
{
    EditorUnderTest t;
    const QRect area = t.frame->mdiArea()->viewport()->rect();
    QVERIFY(t.frame->openDocument(t.writePicture("small.bmp", test::makeFPicture(400, 250))));
    DocumentWindow* small = t.frame->activeDocument();
    // The whole picture shows, without scroll bars.
    QTRY_COMPARE(small->scrollArea()->viewport()->size(), QSize(400, 250));
    QVERIFY(area.contains(small->geometry()));

    QVERIFY(t.frame->openDocument(t.writePicture("large.bmp", test::makeGradient(3000, 2000))));
    QVERIFY(area.contains(t.frame->activeDocument()->geometry()));
    QCOMPARE(t.frame->activeDocument()->size(), area.size());
    t.frame->onFileNew();
    DocumentWindow* fresh = t.frame->activeDocument();
    QCOMPARE(fresh->size(), kUsableDocumentSize.boundedTo(area.size()));

    // Cascading keeps every window within the area and at least at a usable size; the small
    // picture's window keeps its size.
    t.frame->speedButton(12)->click();
    for (const DocumentWindow* d : t.frame->documents()) {
        QVERIFY(area.contains(d->geometry()));
        QVERIFY(d->width() >= std::min(kUsableDocumentSize.width(), area.width() - d->x()));
        QVERIFY(d->height() >= std::min(kUsableDocumentSize.height(), area.height() - d->y()));
    }
    QCOMPARE(small->size(), small->sizeForPicture());
    QCOMPARE(t.frame->activeDocument(), fresh);
}

void TstMainWindow::frameRemembersItsPlace()
{
    QRect left;
    {
        EditorUnderTest t;
        QCOMPARE(t.frame->size(), QSize(644, 495));
        t.frame->setGeometry(30, 40, 700, 520);
        left = t.frame->geometry();
        QVERIFY(t.frame->close());
    }
    test::FakeUi ui;
    Editor editor;
    QCOMPARE(editor.mainWindow()->geometry(), left);
}

void TstMainWindow::newNamesPicturesInThePicturesFolder()
{
    test::FakeUi ui;
    const QString home = QDir::homePath();
    {
        Editor editor;
        QCOMPARE(editor.mainWindow()->picturesFolder(), home);
    }
    QVERIFY(QDir(home).mkpath(QStringLiteral("Pictures")));
    {
        Editor editor;
        editor.mainWindow()->onFileNew();
        QCOMPARE(editor.mainWindow()->activeDocument()->fileName(),
                 home + QStringLiteral("/Pictures/New(0).bmp"));
    }
    QVERIFY(QDir(home + QStringLiteral("/Pictures")).removeRecursively());
}

void TstMainWindow::saveAsOffersEveryWrittenFormatAndAsksTheJpegQuality()
{
    EditorUnderTest t;
    const Raster picture = test::makeNoise(64, 48, 3);
    QVERIFY(t.frame->openDocument(t.writePicture("p.bmp", picture)));
    t.ui.saveNames << t.path("best.jpg") << t.path("small.jpeg") << t.path("again.jpg")
                   << t.path("p.png");
    t.ui.qualities << 95 << 10;
    for (int i = 0; i < 4; ++i)
        t.frame->onFileSaveAs();
    QVERIFY2(t.ui.errors.isEmpty(), qPrintable(t.ui.errors.join('\n')));

    const QString filter = t.ui.filters[0];
    QVERIFY(filter.startsWith(QStringLiteral("すべての画像ﾌｧｲﾙ|*.")));
    for (const std::string& extension : savableExtensions())
        QVERIFY2(filter.contains(QStringLiteral("*.") + QString::fromStdString(extension)),
                 extension.c_str());
    QVERIFY(filter.contains(QStringLiteral("*.png")));
    QVERIFY(!filter.contains(QStringLiteral("*.ico")));

    // Each JPEG name asks, starting from the last answer; a cancel writes nothing.
    QCOMPARE(t.ui.qualityAsked, (QList<int>{75, 95, 10}));
    QVERIFY(test::readFile(t.path("best.jpg").toStdString()).size() >
            2 * test::readFile(t.path("small.jpeg").toStdString()).size());
    QVERIFY(!QFile::exists(t.path("again.jpg")));
    QVERIFY(LoadPicture(t.path("p.png").toStdString()).samePixels(picture));
    QCOMPARE(MainWindow::settings()->value(QStringLiteral("save/jpegQuality")).toInt(), 10);

    // WebP asks too, with its own remembered quality, and may be lossless.
    t.ui.saveNames << t.path("exact.webp") << t.path("lossy.webp");
    t.ui.qualities << 80 << 30;
    t.ui.losslessAnswers << true << false;
    t.frame->onFileSaveAs();
    t.frame->onFileSaveAs();
    QCOMPARE(t.ui.qualityFormats.mid(3), (QStringList{"WebP", "WebP"}));
    QCOMPARE(t.ui.qualityAsked.mid(3), (QList<int>{75, 80}));
    QVERIFY(LoadPicture(t.path("exact.webp").toStdString()).samePixels(picture));
    QVERIFY(!LoadPicture(t.path("lossy.webp").toStdString()).samePixels(picture));
}

LUMAVEX_QTEST_MAIN(TstMainWindow)
#include "tst_main_window.moc"
