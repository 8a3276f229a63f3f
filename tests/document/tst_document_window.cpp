// The document window: its parts, undo, loading, saving, closing and printing.
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QScrollArea>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "document/document_window.h"
#include "document/picture_control.h"
#include "core/raster.h"
#include "formats/bmp.h"
#include "formats/stream.h"
#include "support/editor_test_support.h"
#include "support/qtest_main.h"

using namespace lumavex;
using lumavex::test::EditorUnderTest;

namespace {

// The five buttons a document switches (save, save as, print, cut, copy) and undo.
bool documentButtonsEnabled(MainWindow* frame)
{
    bool all = true;
    bool none = true;
    for (const int n : {2, 3, 4, 8, 9}) {
        all = all && frame->speedButton(n)->isEnabled();
        none = none && !frame->speedButton(n)->isEnabled();
    }
    if (!all && !none)
        qWarning("the document buttons disagree");
    return all;
}

// A stand-in for a command that changes the main picture: snapshot, then a new picture.
void runCommand(DocumentWindow* document, const QString& label, Raster result)
{
    document->TakeUndoSnapshot(document->mainPicture(), label);
    document->mainPicture()->setPicture(std::move(result));
}

QStringList itemCaptions(const QMenu* menu)
{
    QStringList captions;
    for (const QAction* action : menu->actions())
        captions << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return captions;
}

}  // namespace

class TstDocumentWindow : public QObject {
    Q_OBJECT
private slots:
    void partsTable();
    void menusHoldEveryItem();
    void creationSwitchesTheFrameButtons();
    void loadReadsThePictureAndSetsTheTitle();
    void failedLoadLeavesAnEmptyUntitledWindow();
    void undoAfterTwoCommandsRestoresTheFirstResult();
    void undoLabelIsTheHintOfSingleProcessing();
    void activationFollowsTheUndoLabel();
    void edit1ClickEnablesUndoAndPaste();
    void popupChoosesTheTargetPicture();
    void savingWithoutExtensionWritesBmp();
    void savesEachFormatByItsExtension();
    void failedSaveKeepsTitleNameAndOldFile();
    void onlySavedPictureClosesWithoutQuestion();
    void editedPictureStaysEditedAfterSaving();
    void cancelOnCloseKeepsWindowAndButtons();
    void yesOnCloseSavesAndCloses();
    void yesWithFailingSaveKeepsTheWindow();
    void printWritesThePicture();
    void printWithoutPrinterReportsIt();
    void scanReplacesThePictureWithoutSnapshot();
};

void TstDocumentWindow::partsTable()
{
    EditorUnderTest t;
    DocumentWindow* d = t.frame->createDocument();
    QCOMPARE(d->windowTitle(), QStringLiteral("FEditImage1"));
    // The form's size, as far as the visible client area allows.
    QCOMPARE(d->size(), QSize(581, 424).boundedTo(t.frame->mdiArea()->viewport()->size()));
    QVERIFY(d->isVisible());
    QCOMPARE(d->scrollArea()->objectName(), QStringLiteral("ScrollBox1"));
    QCOMPARE(d->scrollArea()->viewport()->palette().color(QPalette::Window), QColor(128, 128, 128));
    QCOMPARE(d->mainPicture()->objectName(), QStringLiteral("Image1"));
    QCOMPARE(d->mainPicture()->pos(), QPoint(0, 0));
    QVERIFY(d->mainPicture()->autoSize());
    QVERIFY(d->mainPicture()->picture().empty());
    QVERIFY(d->marquee()->isHidden());
    QCOMPARE(d->floatingPicture()->toolTip(), QStringLiteral("ダブルクリックで位置確定"));
    QVERIFY(d->floatingPicture()->isHidden());
    QVERIFY(d->floatingPicture()->autoSize());
    QVERIFY(d->scratchPicture()->isHidden());
    QVERIFY(!d->scratchPicture()->autoSize());
    QVERIFY(d->toolView()->isHidden());
    QVERIFY(d->undoPicture()->isHidden());
    QVERIFY(d->undoPicture()->picture().empty());
    QCOMPARE(d->statusBar()->height(), 19);
    QCOMPARE(d->statusBar()->panelCount(), 3);
    QCOMPARE(d->statusBar()->panelWidth(0), 250);
    QCOMPARE(d->statusBar()->panelWidth(1), 50);
    QCOMPARE(d->statusBar()->panelWidth(2), 50);
    QCOMPARE(d->font().family(), QStringLiteral("ＭＳ Ｐゴシック"));
    QCOMPARE(d->font().pixelSize(), 12);
    for (const char* name :
         {"ScrollBox1", "Image1", "Shape1", "Image2", "Image3", "ToolView1", "ToolViewIO1",
          "UndoImage", "StatusBar1", "Edit1", "N4", "N5", "PopupMenu1"})
        QVERIFY2(d->findChild<QObject*>(QString::fromLatin1(name)), name);

    // The status bar's first panel takes the progress marks of the long effects.
    d->statusBar()->setPanelText(0, QStringLiteral("■■"));
    QCOMPARE(d->statusBar()->panelText(0), QStringLiteral("■■"));
}

void TstDocumentWindow::menusHoldEveryItem()
{
    EditorUnderTest t;
    DocumentWindow* d = t.frame->createDocument();
    QCOMPARE(d->editMenu()->title(), QStringLiteral("編集(&E)"));
    QCOMPARE(itemCaptions(d->editMenu()), QStringList({"元に戻す(&U)", "-", "切り取り(&T)",
                                                       "ｺﾋﾟｰ(&C)", "貼り付け(&P)", "-", "全選択"}));
    QCOMPARE(d->menuItem("Undo1")->shortcut(), QKeySequence("Ctrl+Z"));
    QCOMPARE(d->menuItem("Cut1")->shortcut(), QKeySequence("Ctrl+X"));
    QCOMPARE(d->menuItem("Copy1")->shortcut(), QKeySequence("Ctrl+C"));
    QCOMPARE(d->menuItem("Paste1")->shortcut(), QKeySequence("Ctrl+V"));
    QCOMPARE(d->editMenu()->menuAction()->property("groupIndex").toInt(), 2);

    QCOMPARE(d->processingMenu()->title(), QStringLiteral("処理"));
    QCOMPARE(d->processingMenu()->menuAction()->property("groupIndex").toInt(), 7);
    QCOMPARE(itemCaptions(d->processingMenu()),
             QStringList({"単独処理", "Image-画像", "color-色"}));
    const QMenu* single = d->processingMenu()->actions()[0]->menu();
    QCOMPARE(single->actions().size(), 15);
    QCOMPARE(single->actions()[0]->text(), QStringLiteral("AddShadow-影付け"));
    QCOMPARE(single->actions()[0]->shortcut(), QKeySequence("Ctrl+S"));
    QCOMPARE(single->actions()[1]->text(), QStringLiteral("AddShadowSoft-影付けＳｏｆｔ"));
    QCOMPARE(single->actions()[2]->shortcut(), QKeySequence("Ctrl+B"));
    QCOMPARE(single->actions()[5]->shortcut(), QKeySequence("Ctrl+P"));
    QCOMPARE(single->actions()[6]->shortcut(), QKeySequence("Ctrl+T"));
    QCOMPARE(single->actions()[14]->text(), QStringLiteral("Effect-効果"));
    QCOMPARE(itemCaptions(d->processingMenu()->actions()[1]->menu()),
             QStringList({"HFlip-左右反転", "VFlip-上下反転", "Rotate-回転", "Resample-ﾘｻﾝﾌﾟﾙ",
                          "ReSize-ｻｲｽﾞ変更", "Negative"}));
    QCOMPARE(itemCaptions(d->processingMenu()->actions()[2]->menu()),
             QStringList({"NumColors-色数", "convert-減増色", "Gray-ｸﾞﾚｰｽｹｰﾙ", "Fill-流込み"}));

    const QStringList popup = itemCaptions(d->popupMenu());
    QCOMPARE(popup.size(), 15);
    QCOMPARE(popup[0], QStringLiteral("AddShadow-影付け"));
    QCOMPARE(popup[7], QStringLiteral("Blower-ぼかし"));
    QCOMPARE(popup[10], QStringLiteral("Mask-ＦＬマスク"));
    QCOMPARE(popup[11], QStringLiteral("MixPaste"));
    QCOMPARE(popup[14], QStringLiteral("Effect-効果"));
    QCOMPARE(d->menuItem("PopAddShadow")->property("handler").toString(),
             QStringLiteral("PopAddShadowClick"));
}

void TstDocumentWindow::creationSwitchesTheFrameButtons()
{
    EditorUnderTest t;
    QVERIFY(!documentButtonsEnabled(t.frame));
    t.frame->speedButton(7)->setEnabled(true);
    DocumentWindow* d = t.frame->createDocument();
    QVERIFY(documentButtonsEnabled(t.frame));
    QVERIFY(!t.frame->speedButton(7)->isEnabled());
    QVERIFY(!d->edited());
    QVERIFY(d->undoLabel().isEmpty());
}

void TstDocumentWindow::loadReadsThePictureAndSetsTheTitle()
{
    EditorUnderTest t;
    const Raster f = test::makeFPicture(40, 30);
    const QString name = t.writePicture("f.bmp", f);
    QVERIFY(t.frame->openDocument(name));
    DocumentWindow* d = t.frame->activeDocument();
    QCOMPARE(d->windowTitle(), name);
    QCOMPARE(d->fileName(), name);
    QVERIFY(d->mainPicture()->picture().samePixels(f));
    QCOMPARE(d->mainPicture()->size(), QSize(40, 30));
    QVERIFY(!d->edited());
    QVERIFY(d->undoLabel().isEmpty());
    QVERIFY(t.ui.errors.isEmpty());
}

void TstDocumentWindow::failedLoadLeavesAnEmptyUntitledWindow()
{
    EditorUnderTest t;
    const QString missing = t.path("missing.bmp");
    QVERIFY(!t.frame->openDocument(missing));
    QCOMPARE(t.ui.errors.size(), 1);
    QVERIFY(t.ui.errors[0].contains(missing));
    DocumentWindow* d = t.frame->activeDocument();
    QVERIFY(d);
    QCOMPARE(d->windowTitle(), QStringLiteral("FEditImage1"));
    QCOMPARE(d->fileName(), missing);
    QVERIFY(d->mainPicture()->picture().empty());

    // A corrupt file and an extension no reader knows go the same way.
    const QString corrupt = t.path("corrupt.bmp");
    test::writeFile(corrupt.toStdString(), "BM this is not a bitmap");
    const QString unknown = t.path("notes.txt");
    test::writeFile(unknown.toStdString(), "hello");
    QVERIFY(!t.frame->openDocument(corrupt));
    QVERIFY(!t.frame->openDocument(unknown));
    QCOMPARE(t.ui.errors.size(), 3);
    QCOMPARE(t.frame->documents().size(), 3);
    for (DocumentWindow* document : t.frame->documents()) {
        QCOMPARE(document->windowTitle(), QStringLiteral("FEditImage1"));
        QVERIFY(document->mainPicture()->picture().empty());
    }
}

void TstDocumentWindow::undoAfterTwoCommandsRestoresTheFirstResult()
{
    EditorUnderTest t;
    const Raster original = test::makeFPicture(20, 16);
    const Raster first = test::makeGradient(24, 18);
    const Raster second = test::makeNoise(10, 12, 7);
    QVERIFY(t.frame->openDocument(t.writePicture("f.bmp", original)));
    DocumentWindow* d = t.frame->activeDocument();
    runCommand(d, QStringLiteral("影付け"), first);
    runCommand(d, QStringLiteral("輪郭ぼかし"), second);

    t.frame->speedButton(7)->click();
    QVERIFY(d->mainPicture()->picture().samePixels(first));
    QCOMPARE(d->mainPicture()->size(), QSize(24, 18));
    // A second undo puts back the same snapshot again: there is one level and no redo.
    d->menuItem("Undo1")->trigger();
    QVERIFY(d->mainPicture()->picture().samePixels(first));
    QVERIFY(d->edited());
    QCOMPARE(d->undoLabel(), QStringLiteral("輪郭ぼかし"));
    QVERIFY(t.frame->speedButton(7)->isEnabled());
    // The snapshot is a copy: changing the picture afterwards leaves it alone.
    d->mainPicture()->picture().setPixel(0, 0, kBlack);
    d->RestoreUndo();
    QVERIFY(d->mainPicture()->picture().samePixels(first));
}

void TstDocumentWindow::undoLabelIsTheHintOfSingleProcessing()
{
    EditorUnderTest t;
    t.frame->onFileNew();
    DocumentWindow* d = t.frame->activeDocument();
    QAction* single = d->menuItem("N5");
    QVERIFY(single && single->menu());
    QVERIFY(single->statusTip().isEmpty());
    runCommand(d, QStringLiteral("DropBlurShadow"), test::makeFPicture(12, 12));
    QCOMPARE(single->statusTip(), QStringLiteral("DropBlurShadow"));
    // Highlighting "単独処理" shows the label in the frame's status line.
    single->showStatusText(t.frame->menuBar());
    QCOMPARE(t.frame->statusLine()->currentMessage(), QStringLiteral("DropBlurShadow"));
}

void TstDocumentWindow::activationFollowsTheUndoLabel()
{
    EditorUnderTest t;
    t.frame->onFileNew();
    DocumentWindow* edited = t.frame->activeDocument();
    runCommand(edited, QStringLiteral("Panel"), test::makeFPicture(12, 12));
    t.frame->onFileNew();
    DocumentWindow* fresh = t.frame->activeDocument();
    QVERIFY(fresh != edited);
    QVERIFY(!t.frame->speedButton(7)->isEnabled());
    t.frame->mdiArea()->setActiveSubWindow(edited);
    QCOMPARE(t.frame->activeDocument(), edited);
    QVERIFY(t.frame->speedButton(7)->isEnabled());
    t.frame->mdiArea()->setActiveSubWindow(fresh);
    QVERIFY(!t.frame->speedButton(7)->isEnabled());
    // Undo on the fresh document does nothing.
    t.frame->undo();
    QCOMPARE(fresh->mainPicture()->picture().width(), 10);
    // Activation installed the LZW coder into the view's save parameters.
    QVERIFY(fresh->ioParams().gifCompressor == &GIFLZWEncode);
}

void TstDocumentWindow::edit1ClickEnablesUndoAndPaste()
{
    EditorUnderTest t;
    t.frame->onFileNew();
    DocumentWindow* d = t.frame->activeDocument();
    QGuiApplication::clipboard()->clear();
    d->onEditMenuShow();
    QVERIFY(!d->menuItem("Undo1")->isEnabled());
    QVERIFY(!d->menuItem("Paste1")->isEnabled());
    runCommand(d, QStringLiteral("HFlip"), test::makeFPicture(8, 8));
    QGuiApplication::clipboard()->setImage(QImage(4, 4, QImage::Format_RGB32));
    emit d->editMenu()->aboutToShow();
    QVERIFY(d->menuItem("Undo1")->isEnabled());
    QVERIFY(d->menuItem("Paste1")->isEnabled());
    QGuiApplication::clipboard()->setText(QStringLiteral("text only"));
    d->onEditMenuShow();
    QVERIFY(!d->menuItem("Paste1")->isEnabled());
}

void TstDocumentWindow::popupChoosesTheTargetPicture()
{
    EditorUnderTest t;
    t.frame->onFileNew();
    DocumentWindow* d = t.frame->activeDocument();
    QCOMPARE(d->targetPicture(), d->mainPicture());
    d->onPopupMenu(d->floatingPicture());
    QCOMPARE(d->targetPicture(), d->floatingPicture());
    QVERIFY(d->menuItem("MixPaste1")->isEnabled());
    d->onPopupMenu(d->mainPicture());
    QCOMPARE(d->targetPicture(), d->mainPicture());
    QVERIFY(!d->menuItem("MixPaste1")->isEnabled());
}

void TstDocumentWindow::savingWithoutExtensionWritesBmp()
{
    EditorUnderTest t;
    const Raster f = test::makeFPicture(21, 13);
    QVERIFY(t.frame->openDocument(t.writePicture("f.bmp", f)));
    DocumentWindow* d = t.frame->activeDocument();
    t.ui.saveNames << t.path("picture");
    t.frame->onFileSaveAs();
    QVERIFY(t.ui.errors.isEmpty());
    const QString written = t.path("picture.bmp");
    QCOMPARE(d->windowTitle(), written);
    QCOMPARE(d->fileName(), written);
    QVERIFY(!QFile::exists(t.path("picture")));
    const std::vector<uint8_t> bytes = readWholeFile(written.toStdString());
    QVERIFY(ReadBMP(bytes).samePixels(f));

    // An upper-case extension is still the format's.
    d->savePicture(d->mainPicture(), t.path("upper.BMP"));
    QCOMPARE(d->windowTitle(), t.path("upper.BMP"));
    QVERIFY(ReadBMP(readWholeFile(t.path("upper.BMP").toStdString())).samePixels(f));
    QVERIFY(!d->edited());
}

void TstDocumentWindow::savesEachFormatByItsExtension()
{
    EditorUnderTest t;
    const Raster f = test::makeFPicture(40, 32);
    QVERIFY(t.frame->openDocument(t.writePicture("f.bmp", f)));
    DocumentWindow* d = t.frame->activeDocument();

    d->savePicture(d->mainPicture(), t.path("f.gif"));
    QCOMPARE(test::readFile(t.path("f.gif").toStdString()).substr(0, 6), std::string("GIF89a"));
    // GIF files are written from the toolkit view.
    QVERIFY(d->toolView()->picture().samePixels(f));
    // Two flat colours survive the palette exactly.
    QVERIFY(LoadPicture(t.path("f.gif").toStdString()).samePixels(f));

    d->savePicture(d->mainPicture(), t.path("f.JPG"));
    const std::string jpeg = test::readFile(t.path("f.JPG").toStdString());
    QCOMPARE(jpeg.substr(0, 2), std::string("\xFF\xD8"));
    const Raster decoded = LoadPicture(t.path("f.JPG").toStdString());
    QCOMPARE(decoded.width(), 40);
    QCOMPARE(decoded.height(), 32);
    QCOMPARE(d->windowTitle(), t.path("f.JPG"));

    // A metafile is a known format that cannot be shown: a clear error, an empty window.
    test::writeFile(t.path("drawing.emf").toStdString(), std::string(64, '\0'));
    QVERIFY(!t.frame->openDocument(t.path("drawing.emf")));
    QCOMPARE(t.ui.errors.size(), 1);
    QVERIFY(t.ui.errors[0].contains(QStringLiteral("メタファイル")));
    QCOMPARE(t.frame->activeDocument()->windowTitle(), QStringLiteral("FEditImage1"));
}

void TstDocumentWindow::failedSaveKeepsTitleNameAndOldFile()
{
    EditorUnderTest t;
    const QString name = t.writePicture("f.bmp", test::makeFPicture(16, 16));
    const std::string before = test::readFile(name.toStdString());
    QVERIFY(t.frame->openDocument(name));
    DocumentWindow* d = t.frame->activeDocument();
    d->mainPicture()->setPicture(test::makeGradient(9, 9));

    t.ui.saveNames << t.path("no such folder/x.bmp") << t.path("f.xyz");
    t.frame->onFileSaveAs();
    t.frame->onFileSaveAs();
    QCOMPARE(t.ui.errors.size(), 2);
    QVERIFY(t.ui.errors[1].contains(QStringLiteral("f.xyz")));
    QVERIFY(!QFile::exists(t.path("f.xyz")));
    QCOMPARE(d->windowTitle(), name);
    QCOMPARE(d->fileName(), name);

    // A picture that is empty (its file could not be read) is refused and the file kept.
    DocumentWindow* empty = t.frame->createDocument();
    empty->setFileName(name);
    t.ui.answers << QMessageBox::Ok;
    t.frame->onFileSave();
    QCOMPARE(t.ui.errors.size(), 3);
    QCOMPARE(test::readFile(name.toStdString()), before);
}

void TstDocumentWindow::onlySavedPictureClosesWithoutQuestion()
{
    EditorUnderTest t;
    QVERIFY(t.frame->openDocument(t.writePicture("f.bmp", test::makeFPicture(16, 16))));
    DocumentWindow* d = t.frame->activeDocument();
    t.ui.answers << QMessageBox::Ok;
    t.frame->onFileSave();
    QCOMPARE(t.ui.questions.size(), 1);
    QCOMPARE(t.ui.questions[0].caption, QStringLiteral("確認"));
    QCOMPARE(t.ui.questions[0].text, QStringLiteral("上書き保存します。"));
    QCOMPARE(t.ui.questions[0].buttons, QMessageBox::Ok | QMessageBox::Cancel);
    QVERIFY(!d->edited());
    QVERIFY(d->close());
    QCOMPARE(t.ui.questions.size(), 1);
    QTRY_VERIFY(t.frame->documents().isEmpty());
}

void TstDocumentWindow::editedPictureStaysEditedAfterSaving()
{
    EditorUnderTest t;
    const QString name = t.writePicture("f.bmp", test::makeFPicture(16, 16));
    QVERIFY(t.frame->openDocument(name));
    DocumentWindow* d = t.frame->activeDocument();
    runCommand(d, QStringLiteral("Panel"), test::makeGradient(8, 8));
    t.ui.answers << QMessageBox::Ok;
    t.frame->onFileSave();
    QVERIFY(ReadBMP(readWholeFile(name.toStdString())).samePixels(test::makeGradient(8, 8)));
    QVERIFY(d->edited());
    t.ui.answers << QMessageBox::No;
    QVERIFY(d->close());
    QCOMPARE(t.ui.questions.size(), 2);
    QCOMPARE(t.ui.questions[1].caption, QStringLiteral("確認"));
    QCOMPARE(t.ui.questions[1].text, name + QStringLiteral("\r編集されています。保存しますか"));
    QCOMPARE(t.ui.questions[1].buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
}

void TstDocumentWindow::cancelOnCloseKeepsWindowAndButtons()
{
    EditorUnderTest t;
    t.frame->onFileNew();
    DocumentWindow* d = t.frame->activeDocument();
    runCommand(d, QStringLiteral("影付け"), test::makeFPicture(12, 12));
    QVERIFY(documentButtonsEnabled(t.frame));
    QVERIFY(t.frame->speedButton(7)->isEnabled());
    t.ui.answers << QMessageBox::Cancel;
    QVERIFY(!d->close());
    QCoreApplication::processEvents();
    QCOMPARE(t.frame->documents(), QList<DocumentWindow*>{d});
    QVERIFY(documentButtonsEnabled(t.frame));
    QVERIFY(t.frame->speedButton(7)->isEnabled());
    QVERIFY(d->mainPicture()->picture().samePixels(test::makeFPicture(12, 12)));
}

void TstDocumentWindow::yesOnCloseSavesAndCloses()
{
    EditorUnderTest t;
    t.frame->onFileNew();
    DocumentWindow* d = t.frame->activeDocument();
    const QString name = d->fileName();
    runCommand(d, QStringLiteral("影付け"), test::makeFPicture(12, 12));
    t.ui.answers << QMessageBox::Yes;
    QVERIFY(d->close());
    QVERIFY(ReadBMP(readWholeFile(name.toStdString())).samePixels(test::makeFPicture(12, 12)));
    QTRY_VERIFY(t.frame->documents().isEmpty());
    QVERIFY(!documentButtonsEnabled(t.frame));
}

void TstDocumentWindow::yesWithFailingSaveKeepsTheWindow()
{
    EditorUnderTest t;
    t.frame->onFileNew();
    DocumentWindow* d = t.frame->activeDocument();
    d->setFileName(t.path("gone/New(0).bmp"));
    runCommand(d, QStringLiteral("影付け"), test::makeFPicture(12, 12));
    t.ui.answers << QMessageBox::Yes;
    QVERIFY(!d->close());
    QCOMPARE(t.ui.errors.size(), 1);
    QCoreApplication::processEvents();
    QCOMPARE(t.frame->documents().size(), 1);
    QVERIFY(documentButtonsEnabled(t.frame));
}

void TstDocumentWindow::printWritesThePicture()
{
    EditorUnderTest t;
    QVERIFY(t.frame->openDocument(t.writePicture("f.bmp", test::makeFPicture(64, 48))));
    const QString pdf = t.path("page.pdf");
    t.frame->printer().setOutputFormat(QPrinter::PdfFormat);
    t.frame->printer().setOutputFileName(pdf);
    t.frame->speedButton(4)->click();
    QVERIFY2(t.ui.errors.isEmpty(), qPrintable(t.ui.errors.join('\n')));
    const std::string bytes = test::readFile(pdf.toStdString());
    QVERIFY(bytes.size() > 500);
    QCOMPARE(bytes.substr(0, 5), std::string("%PDF-"));
    QVERIFY(bytes.find("/Image") != std::string::npos);
}

void TstDocumentWindow::printWithoutPrinterReportsIt()
{
    EditorUnderTest t;
    QVERIFY(t.frame->openDocument(t.writePicture("f.bmp", test::makeFPicture(8, 8))));
    t.frame->printer().setOutputFormat(QPrinter::PdfFormat);
    t.frame->printer().setOutputFileName(t.path("no such folder/page.pdf"));
    t.frame->onFilePrint();
    QCOMPARE(t.ui.errors.size(), 1);
    QVERIFY(t.ui.errors[0].contains(QStringLiteral("に印刷できません")));
    // A window whose file could not be read has nothing to print.
    t.frame->createDocument();
    t.frame->onFilePrint();
    QCOMPARE(t.ui.errors.size(), 2);
    QCOMPARE(t.ui.errors[1], QStringLiteral("印刷する画像がありません"));
}

void TstDocumentWindow::scanReplacesThePictureWithoutSnapshot()
{
    // SANE's test backend, enabled by a configuration folder of this test's own.
    QTemporaryDir config;
    QFile conf(config.filePath(QStringLiteral("dll.conf")));
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.write("test\n");
    conf.close();
    qputenv("SANE_CONFIG_DIR", QFile::encodeName(config.path()));

    EditorUnderTest t;
    const Raster f = test::makeFPicture(20, 20);
    QVERIFY(t.frame->openDocument(t.writePicture("f.bmp", f)));
    DocumentWindow* d = t.frame->activeDocument();
    t.frame->menuItem("Aquair1")->trigger();
    QVERIFY2(t.ui.errors.isEmpty(), qPrintable(t.ui.errors.join('\n')));
    QVERIFY(!d->mainPicture()->picture().empty());
    QVERIFY(!d->mainPicture()->picture().samePixels(f));
    QVERIFY(d->mainPicture()->picture().samePixels(d->toolView()->picture()));
    QCOMPARE(d->mainPicture()->size(),
             QSize(d->mainPicture()->picture().width(), d->mainPicture()->picture().height()));
    QVERIFY(!d->edited());
    QVERIFY(d->undoLabel().isEmpty());
    qunsetenv("SANE_CONFIG_DIR");
}

LUMAVEX_QTEST_MAIN(TstDocumentWindow)
#include "tst_document_window.moc"
