// The document's effect and image commands: the picture they work on, their undo snapshot and
// label, their dialogs, and what a bad parameter leaves behind. The pixels come from the core,
// whose own tests check them.
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include "bridge/qimage_bridge.h"
#include "dialogs/color_adjust_dialog.h"
#include "dialogs/color_count_dialog.h"
#include "dialogs/processing_parameters_dialog.h"
#include "dialogs/rotate_dialog.h"
#include "dialogs/size_dialog.h"
#include "dialogs/text_dialog.h"
#include "mask/mask_editor_window.h"
#include "document/document_window.h"
#include "document/picture_control.h"
#include "support/editor_test_support.h"
#include "support/qtest_main.h"
#include "../dialogs/dialog_test_support.h"

using namespace lumavex;
using lumavex::test::child;
using lumavex::test::EditorUnderTest;
using lumavex::test::ModalAnswer;

namespace {

DocumentWindow* openPicture(EditorUnderTest& t, const Raster& picture)
{
    if (!t.frame->openDocument(t.writePicture("picture.bmp", picture)))
        return nullptr;
    return t.frame->activeDocument();
}

bool samePixels(const Raster& a, const Raster& b)
{
    if (a.width() != b.width() || a.height() != b.height())
        return false;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                return false;
    return true;
}

// Pastes a picture so that it floats over the document, then opens the pop-up over it.
void floatOver(DocumentWindow* d, const Raster& picture)
{
    QGuiApplication::clipboard()->setImage(imageFromRaster(picture));
    d->onPaste();
    d->onPopupMenu(d->floatingPicture());
}

void answerSize(SizeDialog* shown, const char* width, const char* height)
{
    child<QLineEdit>(*shown, "Width1")->setText(QString::fromLatin1(width));
    child<QLineEdit>(*shown, "Height1")->setText(QString::fromLatin1(height));
    shown->onOk();
}

}  // namespace

class TstCommands : public QObject {
    Q_OBJECT
private slots:
    void popupAddShadowGrowsTheTarget();
    void ctrlSConfirmsOnTheAddShadowPage();
    void singleEntryOnTheFloatingPictureTakesNoSnapshot();
    void sharedLabelsUndoToThePictureBefore();
    void resampleScalesAndReSizeCuts();
    void badParameterLeavesThePicture();
    void dialogCommandsStopWhenCancelled();
    void countAndCommandsThatCannotRun();
    void maskAndTextGiveTheirPictureBack();
    void previewCommandsApplyOnlyWhenConfirmed();
    void longCommandLeavesTheEventLoopRunning();
};

void TstCommands::popupAddShadowGrowsTheTarget()
{
    EditorUnderTest t;
    DocumentWindow* d = openPicture(t, test::makeGradient(100, 80));
    QVERIFY(d);
    d->menuItem("PopAddShadow")->trigger();
    QCOMPARE(d->mainPicture()->picture().width(), 110);
    QCOMPARE(d->mainPicture()->picture().height(), 90);
    QCOMPARE(d->mainPicture()->size(), QSize(110, 90));
    QCOMPARE(d->undoLabel(), QStringLiteral("影付け"));
    QVERIFY(d->edited());
    QCOMPARE(d->undoPicture()->picture().width(), 100);
}

void TstCommands::ctrlSConfirmsOnTheAddShadowPage()
{
    EditorUnderTest t;
    DocumentWindow* d = openPicture(t, test::makeGradient(100, 80));
    QVERIFY(d);
    t.frame->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(t.frame));
    // Cancelled: nothing happens, not even the snapshot, and nothing is saved.
    int page = -1;
    ModalAnswer<ProcessingParametersDialog> cancel([&](ProcessingParametersDialog* shown) {
        page = shown->currentPage();
        shown->onCancel();
    });
    QTest::keyClick(d->mainPicture(), Qt::Key_S, Qt::ControlModifier);
    QVERIFY(cancel.fired());
    QCOMPARE(page, int(ProcessingParametersDialog::AddShadowPage));
    QCOMPARE(d->mainPicture()->picture().width(), 100);
    QVERIFY(d->undoLabel().isEmpty());
    QVERIFY(!d->edited());

    ModalAnswer<ProcessingParametersDialog> ok([](ProcessingParametersDialog* shown) {
        shown->setEditText(QStringLiteral("AddShadowWidth"), QStringLiteral("4"));
        shown->onOk();
    });
    d->menuItem("mmAddShadow")->trigger();
    QVERIFY(ok.fired());
    QCOMPARE(d->mainPicture()->picture().width(), 104);
    QCOMPARE(d->undoLabel(), QStringLiteral("影付け"));
}

void TstCommands::singleEntryOnTheFloatingPictureTakesNoSnapshot()
{
    EditorUnderTest t;
    const Raster main = test::makeGradient(120, 90);
    DocumentWindow* d = openPicture(t, main);
    QVERIFY(d);
    const Raster pasted = test::makeNoise(60, 40, 7);
    floatOver(d, pasted);

    ModalAnswer<ProcessingParametersDialog> ok(
        [](ProcessingParametersDialog* shown) { shown->onOk(); });
    d->menuItem("FlameBlur")->trigger();
    QVERIFY(ok.fired());
    QVERIFY(!samePixels(d->floatingPicture()->picture(), pasted));
    // The edge fades to white.
    QCOMPARE(d->floatingPicture()->picture().pixel(0, 0), kWhite);
    QVERIFY(samePixels(d->mainPicture()->picture(), main));
    QVERIFY(d->undoLabel().isEmpty());

    // The floating picture grows with its shadow; the main picture stays.
    d->menuItem("PopAddShadow")->trigger();
    QCOMPARE(d->floatingPicture()->picture().width(), 70);
    QCOMPARE(d->floatingPicture()->size(), QSize(70, 50));
    QCOMPARE(d->mainPicture()->picture().width(), 120);

    // Its drop shadow comes from its own shapes: the main picture is left as it is.
    d->menuItem("PopDropBlurShadow1")->trigger();
    QVERIFY(samePixels(d->mainPicture()->picture(), main));
    QVERIFY(d->undoLabel().isEmpty());

    // Image commands always work on the main picture.
    d->menuItem("HFlip1")->trigger();
    QCOMPARE(d->undoLabel(), QStringLiteral("左右反転"));
    QCOMPARE(d->mainPicture()->picture().pixel(0, 0), main.pixel(119, 0));
}

void TstCommands::sharedLabelsUndoToThePictureBefore()
{
    EditorUnderTest t;
    const Raster original = test::makeNoise(40, 30, 3);
    DocumentWindow* d = openPicture(t, original);
    QVERIFY(d);
    for (const char* item : {"VFlip1", "Negative1", "N11", "Rotate1"}) {
        ModalAnswer<RotateDialog> angle([](RotateDialog* shown) {
            child<QLineEdit>(*shown, "Edit1")->setText(QStringLiteral("30"));
            shown->onOk();
        });
        d->menuItem(item)->trigger();
        QCOMPARE(d->undoLabel(), QStringLiteral("上下反転"));
        QVERIFY2(!samePixels(d->mainPicture()->picture(), original), item);
        d->onUndo();
        QVERIFY2(samePixels(d->mainPicture()->picture(), original), item);
    }
}

void TstCommands::resampleScalesAndReSizeCuts()
{
    EditorUnderTest t;
    const Raster original = test::makeNoise(200, 100, 5);
    DocumentWindow* d = openPicture(t, original);
    QVERIFY(d);
    std::vector<Raster> results;
    for (const char* item : {"Resample1", "ReSize1"}) {
        QString shownWidth;
        ModalAnswer<SizeDialog> size([&](SizeDialog* shown) {
            shownWidth = child<QLineEdit>(*shown, "Width1")->text();
            answerSize(shown, "100", "50");
        });
        d->menuItem(item)->trigger();
        QVERIFY(size.fired());
        QCOMPARE(shownWidth, QStringLiteral("200"));
        QCOMPARE(d->undoLabel(), QStringLiteral("ReSample"));
        QCOMPARE(d->mainPicture()->picture().width(), 100);
        QCOMPARE(d->mainPicture()->picture().height(), 50);
        results.push_back(d->mainPicture()->picture());
        d->onUndo();
    }
    // ReSize keeps the top-left quarter as it was; Resample scaled the whole picture.
    Raster quarter(100, 50);
    quarter.copyRect(quarter.bounds(), original, {0, 0, 100, 50});
    QVERIFY(!samePixels(results[0], quarter));
    QVERIFY(samePixels(results[1], quarter));
}

void TstCommands::badParameterLeavesThePicture()
{
    EditorUnderTest t;
    const Raster original = test::makeGradient(50, 40);
    DocumentWindow* d = openPicture(t, original);
    QVERIFY(d);
    ProcessingParametersDialog* p = t.editor.processingParameters();

    // Read before the snapshot: nothing at all changes.
    p->setEditText(QStringLiteral("AddShadowWidth"), QStringLiteral("abc"));
    d->menuItem("PopAddShadow")->trigger();
    QCOMPARE(t.ui.errors, QStringList({QStringLiteral("'abc' は整数ではありません")}));
    QVERIFY(samePixels(d->mainPicture()->picture(), original));
    QVERIFY(!d->edited());

    // Read after it: the snapshot stays, the picture is unchanged.
    p->setEditText(QStringLiteral("AddShadowSWidth"), QString());
    d->menuItem("AddShadowsoft1")->trigger();
    QCOMPARE(t.ui.errors.last(), QStringLiteral("'' は整数ではありません"));
    QCOMPARE(d->undoLabel(), QStringLiteral("影付け"));
    QVERIFY(samePixels(d->mainPicture()->picture(), original));

    ModalAnswer<SizeDialog> size([](SizeDialog* shown) { answerSize(shown, "1O0", "50"); });
    d->menuItem("Resample1")->trigger();
    QCOMPARE(t.ui.errors.last(), QStringLiteral("'1O0' は整数ではありません"));
    QCOMPARE(d->undoLabel(), QStringLiteral("ReSample"));
    QVERIFY(samePixels(d->mainPicture()->picture(), original));

    // A rotation angle that is no integer shows no error box.
    const qsizetype errors = t.ui.errors.size();
    ModalAnswer<RotateDialog> angle([](RotateDialog* shown) {
        child<QLineEdit>(*shown, "Edit1")->setText(QStringLiteral("3.5"));
        shown->onOk();
    });
    d->menuItem("Rotate1")->trigger();
    QVERIFY(angle.fired());
    QCOMPARE(t.ui.errors.size(), errors);
    QVERIFY(samePixels(d->mainPicture()->picture(), original));
}

void TstCommands::dialogCommandsStopWhenCancelled()
{
    EditorUnderTest t;
    const Raster original = test::makeGradient(60, 40);
    DocumentWindow* d = openPicture(t, original);
    QVERIFY(d);
    QString caption;
    bool bevelEnabled = true;
    ModalAnswer<TextDialog> text([&](TextDialog* shown) {
        caption = shown->windowTitle();
        bevelEnabled = child<QWidget>(*shown, "ck_bevel")->isEnabled();
        shown->onCancel();
    });
    d->menuItem("TextTexture1")->trigger();
    QVERIFY(text.fired());
    QCOMPARE(caption, QStringLiteral("TextTexture"));
    QVERIFY(!bevelEnabled);
    // The snapshot was taken before the dialog: the document counts as edited.
    QCOMPARE(d->undoLabel(), QStringLiteral("テキスト"));
    QVERIFY(d->edited());
    QVERIFY(samePixels(d->mainPicture()->picture(), original));

    ModalAnswer<ColorCountDialog> colors([](ColorCountDialog* shown) { shown->onCancel(); });
    d->menuItem("Convert1")->trigger();
    QVERIFY(colors.fired());
    QCOMPARE(d->undoLabel(), QStringLiteral("増減色"));
    QVERIFY(samePixels(d->mainPicture()->picture(), original));
}

void TstCommands::countAndCommandsThatCannotRun()
{
    EditorUnderTest t;
    Raster two(30, 20);
    two.setBrushColor(kWhite);
    two.fillRect(two.bounds());
    two.setBrushColor(kBlack);
    two.fillRect({0, 0, 10, 10});
    DocumentWindow* d = openPicture(t, two);
    QVERIFY(d);
    d->menuItem("NumColors1")->trigger();
    QCOMPARE(t.ui.messages, QStringList({QStringLiteral("ColorCount=2")}));
    QVERIFY(!d->edited());

    // Merge without a pasted picture says why, before any snapshot.
    d->menuItem("PopMerge1")->trigger();
    QVERIFY(!t.frame->statusLine()->currentMessage().isEmpty());
    QVERIFY(!d->edited());
    t.frame->statusLine()->clearMessage();
    d->menuItem("Mixpaste1")->trigger();
    QVERIFY(!t.frame->statusLine()->currentMessage().isEmpty());
    QVERIFY(t.ui.errors.isEmpty());
}

void TstCommands::maskAndTextGiveTheirPictureBack()
{
    EditorUnderTest t;
    // Large enough to hold the editor's first marquee.
    const Raster original = test::makeNoise(640, 320, 9);
    DocumentWindow* d = openPicture(t, original);
    QVERIFY(d);
    Raster masked;
    ModalAnswer<MaskEditorWindow> mask([&](MaskEditorWindow* shown) {
        shown->onFLMask();
        masked = shown->picture();
        shown->close();
    });
    d->menuItem("Mask3")->trigger();
    QVERIFY(mask.fired());
    QCOMPARE(d->undoLabel(), QStringLiteral("Mask"));
    QVERIFY(!samePixels(masked, original));
    QVERIFY(samePixels(d->mainPicture()->picture(), masked));

    ModalAnswer<TextDialog> text([](TextDialog* shown) {
        QCOMPARE(shown->windowTitle(), QStringLiteral("TextOut"));
        shown->onOk();
    });
    d->menuItem("PopTextOut1")->trigger();
    QVERIFY(text.fired());
    QCOMPARE(d->undoLabel(), QStringLiteral("テキスト"));
    QVERIFY(!samePixels(d->mainPicture()->picture(), masked));
}

void TstCommands::previewCommandsApplyOnlyWhenConfirmed()
{
    EditorUnderTest t;
    const Raster original = test::makeNoise(60, 40, 4);
    DocumentWindow* d = openPicture(t, original);
    QVERIFY(d);
    int pages = 0;
    ModalAnswer<ColorAdjustDialog> cancel([&](ColorAdjustDialog* shown) {
        pages = shown->findChild<QTabWidget*>(QStringLiteral("Pages"))->count();
        shown->reject();
    });
    d->menuItem("PopColorAjast")->trigger();
    QVERIFY(cancel.fired());
    QCOMPARE(pages, 5);
    QCOMPARE(d->undoLabel(), QStringLiteral("色補正"));
    QVERIFY(samePixels(d->mainPicture()->picture(), original));

    ModalAnswer<ColorAdjustDialog> ok([&](ColorAdjustDialog* shown) {
        pages = shown->findChild<QTabWidget*>(QStringLiteral("Pages"))->count();
        shown->findChild<QSpinBox*>(QStringLiteral("Bias"))->setValue(60);
        shown->accept();
    });
    d->menuItem("N14")->trigger();
    QVERIFY(ok.fired());
    QCOMPARE(pages, 1);
    QCOMPARE(d->undoLabel(), QStringLiteral("効果"));
    QVERIFY(!samePixels(d->mainPicture()->picture(), original));
}

void TstCommands::longCommandLeavesTheEventLoopRunning()
{
    EditorUnderTest t;
    const Raster original = test::makeGradient(4000, 3000);
    DocumentWindow* d = t.frame->createDocument();
    d->mainPicture()->setPicture(original);
    ProcessingParametersDialog* p = t.editor.processingParameters();
    p->setEditText(QStringLiteral("CircleBlurWidth"), QStringLiteral("1500"));
    Raster expected = original;
    Raster scratch;
    CommandPictures pictures{expected, expected, scratch};
    runCommand(CommandId::CircleBlur,
               EdgeBlurSettings{p->integerValue(QStringLiteral("CircleBlurWidth")),
                                p->panelColor(QStringLiteral("CircleBlurColor"))},
               pictures);

    // While the blur runs, timers fire, the picture can repaint and the marks show; a close
    // asked meanwhile waits for the command, then asks about the edited picture.
    int ticks = 0;
    QStringList marks;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, d, [&] {
        ++ticks;
        d->mainPicture()->repaint();
        const QString text = d->statusBar()->panelText(0);
        if (!text.isEmpty() && (marks.isEmpty() || marks.last() != text))
            marks << text;
    });
    ticker.start(1);
    bool closed = true;
    QTimer::singleShot(0, d, [&] { closed = d->close(); });
    d->execute(CommandId::CircleBlur);
    ticker.stop();
    QVERIFY(!closed);
    QVERIFY(ticks > 0);
    QVERIFY(!marks.isEmpty() && marks.first().startsWith(QStringLiteral("■")));
    QVERIFY(d->statusBar()->panelText(0).isEmpty());
    QVERIFY(!QGuiApplication::overrideCursor());
    QVERIFY(d->mainPicture()->picture().samePixels(expected));
    QVERIFY(t.ui.questions.isEmpty());

    t.ui.answers << QMessageBox::Cancel;
    QTRY_COMPARE(t.ui.questions.size(), 1);
    QCOMPARE(t.frame->documents(), QList<DocumentWindow*>{d});
    QVERIFY(d->mainPicture()->picture().samePixels(expected));
    d->onUndo();
    QVERIFY(d->mainPicture()->picture().samePixels(original));

    // A failure on the worker thread is reported as on this one, leaving the picture.
    ModalAnswer<SizeDialog> size([](SizeDialog* shown) { answerSize(shown, "90000", "90000"); });
    d->execute(CommandId::Resample);
    QVERIFY(size.fired());
    QCOMPARE(t.ui.errors.size(), 1);
    QVERIFY(t.ui.errors[0].startsWith(QStringLiteral("画像が大きすぎます")));
    QVERIFY(d->mainPicture()->picture().samePixels(original));

    // The frame's close waits for the command as well, before asking about any document.
    DocumentWindow* other = t.frame->createDocument();
    other->mainPicture()->setPicture(test::makeGradient(8, 8));
    other->execute(CommandId::Negative);
    QTimer::singleShot(0, t.frame, [&] { closed = t.frame->close(); });
    d->execute(CommandId::Negative);
    QVERIFY(!closed);
    QCOMPARE(t.ui.questions.size(), 1);
    t.ui.answers << QMessageBox::No << QMessageBox::Cancel;
    QTRY_COMPARE(t.ui.questions.size(), 3);
    QVERIFY(t.frame->isVisible());
}

LUMAVEX_QTEST_MAIN(TstCommands)
#include "tst_commands.moc"
