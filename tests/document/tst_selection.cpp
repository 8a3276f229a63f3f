// The document window's mouse and clipboard: the marquee, cut, copy and paste, the floating
// picture, the flood fill, and the view zoom that the mouse is mapped through.
#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

#include "bridge/qimage_bridge.h"
#include "dialogs/processing_parameters_dialog.h"
#include "document/document_window.h"
#include "document/picture_control.h"
#include "formats/bmp.h"
#include "formats/stream.h"
#include "support/editor_test_support.h"
#include "support/qtest_main.h"

using namespace lumavex;
using lumavex::test::EditorUnderTest;

namespace {

const Color kGreen = makeColor(0, 160, 60);

// A mouse event straight to a control, at a point of the control.
void mouse(QWidget* control, QEvent::Type type, QPoint at, Qt::MouseButton button = Qt::LeftButton)
{
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent event(type, QPointF(at), QPointF(control->mapToGlobal(at)),
                      type == QEvent::MouseMove ? Qt::NoButton : button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(control, &event);
}

void drag(QWidget* control, QPoint from, QPoint to, Qt::MouseButton button = Qt::LeftButton)
{
    mouse(control, QEvent::MouseButtonPress, from, button);
    mouse(control, QEvent::MouseMove, to, button);
    mouse(control, QEvent::MouseButtonRelease, to, button);
}

Raster part(const Raster& picture, const Rect& area)
{
    Raster cut(area.width(), area.height());
    cut.copyRect(cut.bounds(), picture, area);
    return cut;
}

DocumentWindow* openPicture(EditorUnderTest& t, const Raster& picture)
{
    if (!t.frame->openDocument(t.writePicture("picture.bmp", picture)))
        return nullptr;
    return t.frame->activeDocument();
}

Raster clipboardPicture()
{
    return rasterFromImage(QGuiApplication::clipboard()->image());
}

}  // namespace

class TstSelection : public QObject {
    Q_OBJECT
private slots:
    void marqueeSelectsAsDraggedAndCopies();
    void emptyMarqueeCopiesNothing();
    void cutFillsWhiteAndUndoRestores();
    void fixedPastedPictureGrowsTheMainPicture();
    void rightClickHidesTheFloatingPicture();
    void fillAtTheReleaseEndsTheMarqueeDrag();
    void pasteWithoutPictureIsAnError();
    void zoomNeverChangesThePicture();
};

void TstSelection::marqueeSelectsAsDraggedAndCopies()
{
    EditorUnderTest t;
    const Raster picture = test::makeGradient(100, 80);
    DocumentWindow* d = openPicture(t, picture);
    QVERIFY(d);
    QVERIFY(d->marquee()->isHidden());

    drag(d->mainPicture(), {10, 10}, {60, 40});
    QVERIFY(d->marquee()->isVisible());
    QCOMPARE(d->selectionRect(), (Rect{10, 10, 60, 40}));
    // The press sampled the colour under the pointer.
    QCOMPARE(t.editor.processingParameters()->panelColor("DropBaseColor"), picture.pixel(10, 10));
    d->menuItem("Copy1")->trigger();
    const QImage copied = QGuiApplication::clipboard()->image();
    QCOMPARE(copied.size(), QSize(50, 30));
    QCOMPARE(copied.depth(), 24);
    QVERIFY(clipboardPicture().samePixels(part(picture, {10, 10, 60, 40})));
    // Copy takes a snapshot too, and so marks the picture edited.
    QCOMPARE(d->undoLabel(), QStringLiteral("コピー"));
    QVERIFY(d->edited());

    // Dragged up and to the left, the rectangle keeps its corners; Copy takes the same area.
    drag(d->mainPicture(), {60, 40}, {10, 10});
    QCOMPARE(d->selectionRect(), (Rect{60, 40, 10, 10}));
    QGuiApplication::clipboard()->clear();
    t.frame->speedButton(9)->click();
    QVERIFY(clipboardPicture().samePixels(part(picture, {10, 10, 60, 40})));

    // Beyond the picture's edge the marquee goes on; Copy takes the part that is picture.
    drag(d->mainPicture(), {90, 70}, {130, 100});
    QCOMPARE(d->selectionRect(), (Rect{90, 70, 130, 100}));
    d->onCopy();
    QVERIFY(clipboardPicture().samePixels(part(picture, {90, 70, 100, 80})));

    // Select all covers the picture.
    d->menuItem("N12")->trigger();
    QCOMPARE(d->selectionRect(), (Rect{0, 0, 100, 80}));
    d->onCopy();
    QVERIFY(clipboardPicture().samePixels(picture));
}

void TstSelection::emptyMarqueeCopiesNothing()
{
    EditorUnderTest t;
    DocumentWindow* d = openPicture(t, test::makeFPicture(64, 48));
    QVERIFY(d);
    QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
    d->onCopy();
    QCOMPARE(t.frame->statusLine()->currentMessage(), QStringLiteral("範囲が選択されていません"));

    // A click without a drag leaves an empty marquee: nothing is copied or cut, and no
    // snapshot is taken.
    mouse(d->mainPicture(), QEvent::MouseButtonPress, {20, 20});
    mouse(d->mainPicture(), QEvent::MouseButtonRelease, {20, 20});
    QVERIFY(d->marquee()->isVisible());
    QCOMPARE(d->selectionRect(), (Rect{20, 20, 20, 20}));
    d->onCopy();
    QCOMPARE(t.frame->statusLine()->currentMessage(),
             QStringLiteral("選択範囲が空なので、コピーするものがありません"));
    d->onCut();
    QCOMPARE(t.frame->statusLine()->currentMessage(),
             QStringLiteral("選択範囲が空なので、切り取るものがありません"));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("kept"));
    QVERIFY(d->undoLabel().isEmpty());
    QVERIFY(!d->edited());

    // A press inside a marquee empties it without starting another.
    d->onSelectAll();
    mouse(d->mainPicture(), QEvent::MouseButtonPress, {30, 30});
    mouse(d->mainPicture(), QEvent::MouseMove, {50, 40});
    QCOMPARE(d->selectionRect(), (Rect{0, 0, 0, 0}));
}

void TstSelection::cutFillsWhiteAndUndoRestores()
{
    EditorUnderTest t;
    const Raster picture = test::makeFPicture(80, 60);
    DocumentWindow* d = openPicture(t, picture);
    QVERIFY(d);
    drag(d->mainPicture(), {5, 8}, {45, 38});
    t.frame->speedButton(8)->click();
    QVERIFY(clipboardPicture().samePixels(part(picture, {5, 8, 45, 38})));
    QCOMPARE(d->undoLabel(), QStringLiteral("切り取り"));
    Raster expected = picture;
    expected.fillRect({5, 8, 45, 38});
    QVERIFY(d->mainPicture()->picture().samePixels(expected));
    QCOMPARE(d->mainPicture()->picture().brushColor(), kWhite);

    t.frame->undo();
    QVERIFY(d->mainPicture()->picture().samePixels(picture));
}

void TstSelection::fixedPastedPictureGrowsTheMainPicture()
{
    EditorUnderTest t;
    Raster main(200, 200, test::kTestBlue);
    main.setBrushColor(kGreen);
    DocumentWindow* d = t.frame->createDocument();
    d->mainPicture()->setPicture(main);
    const Raster pasted = test::makeFPicture(100, 50);
    QGuiApplication::clipboard()->setImage(imageFromRaster(pasted));

    d->menuItem("Paste1")->trigger();
    PictureControl* floating = d->floatingPicture();
    QVERIFY(floating->isVisible());
    QCOMPARE(floating->size(), QSize(100, 50));
    QCOMPARE(d->floatingPosition(), QPoint(0, 0));
    QVERIFY(floating->picture().samePixels(pasted));
    drag(floating, {10, 10}, {260, 10});
    QCOMPARE(d->floatingPosition(), QPoint(250, 0));
    QVERIFY(d->undoLabel().isEmpty());

    mouse(floating, QEvent::MouseButtonDblClick, {260 - 250, 10});
    QVERIFY(floating->isHidden());
    const Raster& grown = d->mainPicture()->picture();
    QCOMPARE(grown.width(), 350);
    QCOMPARE(grown.height(), 200);
    QCOMPARE(d->mainPicture()->size(), QSize(350, 200));
    QVERIFY(part(grown, {0, 0, 200, 200}).samePixels(main));
    QVERIFY(part(grown, {250, 0, 350, 50}).samePixels(pasted));
    QVERIFY(part(grown, {200, 0, 250, 200}).samePixels(Raster(50, 200, kGreen)));
    QVERIFY(part(grown, {250, 50, 350, 200}).samePixels(Raster(100, 150, kGreen)));
    // Fixing takes no snapshot, but the changed picture is not closed without a question.
    QVERIFY(d->undoLabel().isEmpty());
    QVERIFY(d->edited());

    // Paste puts the picture at the top-left corner of the visible part of the view.
    d->scrollArea()->resize(120, 120);
    d->scrollArea()->horizontalScrollBar()->setValue(70);
    d->scrollArea()->verticalScrollBar()->setValue(40);
    d->onPaste();
    QCOMPARE(d->floatingPosition(), QPoint(70, 40));
}

void TstSelection::rightClickHidesTheFloatingPicture()
{
    EditorUnderTest t;
    DocumentWindow* d = openPicture(t, test::makeFPicture(120, 90));
    QVERIFY(d);
    QGuiApplication::clipboard()->setImage(imageFromRaster(test::makeGradient(30, 20)));
    d->onPaste();
    mouse(d->floatingPicture(), QEvent::MouseButtonPress, {5, 5}, Qt::RightButton);
    mouse(d->floatingPicture(), QEvent::MouseButtonRelease, {5, 5}, Qt::RightButton);
    QVERIFY(d->floatingPicture()->isHidden());
    // It keeps its picture and cannot be fixed until it is pasted again.
    d->fixFloatingPicture();
    QVERIFY(d->mainPicture()->picture().samePixels(test::makeFPicture(120, 90)));
    QVERIFY(d->floatingPicture()->picture().samePixels(test::makeGradient(30, 20)));

    // The right click that opens the pop-up menu over it hides it as well, and the menu's
    // commands then work on it.
    d->onPaste();
    const QPoint at(5, 5);
    QContextMenuEvent menu(QContextMenuEvent::Mouse, at, d->floatingPicture()->mapToGlobal(at));
    QCoreApplication::sendEvent(d->floatingPicture(), &menu);
    QVERIFY(d->popupMenu()->isVisible());
    QVERIFY(d->floatingPicture()->isHidden());
    QCOMPARE(d->targetPicture(), d->floatingPicture());
    d->popupMenu()->close();
}

void TstSelection::fillAtTheReleaseEndsTheMarqueeDrag()
{
    EditorUnderTest t;
    Raster picture(80, 40, kWhite);
    picture.setBrushColor(test::kTestRed);
    picture.fillRect({40, 0, 80, 40});
    DocumentWindow* d = openPicture(t, picture);
    QVERIFY(d);
    // Cancelling the colour dialog leaves fill mode off.
    d->menuItem("Fill1")->trigger();
    QVERIFY(!d->fillMode());

    t.ui.colors << QColor(0, 0, 255);
    d->menuItem("Fill1")->trigger();
    QVERIFY(d->fillMode());
    QCOMPARE(d->mainPicture()->cursor().shape(), Qt::PointingHandCursor);
    drag(d->mainPicture(), {10, 10}, {60, 30});
    QCOMPARE(d->selectionRect(), (Rect{10, 10, 60, 30}));
    Raster expected = picture;
    expected.setBrushColor(test::kTestBlue);
    expected.fillRect({40, 0, 80, 40});
    QVERIFY(d->mainPicture()->picture().samePixels(expected));
    QCOMPARE(d->undoLabel(), QStringLiteral("FloodFill"));
    QVERIFY(!d->fillMode());

    // One fill only: the next release fills nothing.
    drag(d->mainPicture(), {10, 10}, {20, 20});
    QVERIFY(d->mainPicture()->picture().samePixels(expected));
    t.frame->undo();
    QVERIFY(d->mainPicture()->picture().samePixels(picture));
}

void TstSelection::pasteWithoutPictureIsAnError()
{
    EditorUnderTest t;
    DocumentWindow* d = openPicture(t, test::makeFPicture(20, 20));
    QVERIFY(d);
    QGuiApplication::clipboard()->setText(QStringLiteral("no picture"));
    QVERIFY(!d->menuItem("Paste1")->isEnabled());
    // The frame's paste button is always enabled: it reports the missing picture.
    QVERIFY(t.frame->speedButton(10)->isEnabled());
    t.frame->speedButton(10)->click();
    QCOMPARE(t.ui.errors, QStringList{QStringLiteral("クリップボードに画像がありません")});
    QVERIFY(d->floatingPicture()->isHidden());
    QVERIFY(d->floatingPicture()->picture().empty());

    // The item follows the clipboard, so that Ctrl+V works as soon as there is a picture.
    QGuiApplication::clipboard()->setImage(imageFromRaster(test::makeGradient(4, 4)));
    QVERIFY(d->menuItem("Paste1")->isEnabled());
}

void TstSelection::zoomNeverChangesThePicture()
{
    EditorUnderTest t;
    const Raster picture = test::makeGradient(100, 80);
    DocumentWindow* d = openPicture(t, picture);
    QVERIFY(d);
    d->menuItem("ZoomIn")->trigger();
    d->menuItem("ZoomIn")->trigger();
    QCOMPARE(d->mainPicture()->size(), QSize(200, 160));
    QCOMPARE(d->statusBar()->panelText(2), QStringLiteral("200%"));

    // The mouse works in picture pixels.
    drag(d->mainPicture(), {21, 21}, {121, 81});
    QCOMPARE(d->selectionRect(), (Rect{10, 10, 60, 40}));
    QCOMPARE(d->marquee()->geometry(), QRect(20, 20, 100, 60));
    d->onCopy();
    QCOMPARE(QGuiApplication::clipboard()->image().size(), QSize(50, 30));
    QGuiApplication::clipboard()->setImage(imageFromRaster(test::makeFPicture(10, 10)));
    d->onPaste();
    drag(d->floatingPicture(), {0, 0}, {40, 20});
    QCOMPARE(d->floatingPosition(), QPoint(20, 10));
    QCOMPARE(d->floatingPicture()->pos(), QPoint(40, 20));

    // Ctrl + wheel zooms around the pointer.
    QWheelEvent wheel(QPointF(10, 10),
                      QPointF(d->scrollArea()->viewport()->mapToGlobal(QPoint(10, 10))), QPoint(),
                      QPoint(0, 120), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(d->scrollArea()->viewport(), &wheel);
    QCOMPARE(d->viewZoom(), 3.0);
    d->menuItem("ZoomActual")->trigger();
    QCOMPARE(d->viewZoom(), 1.0);
    QCOMPARE(d->floatingPicture()->pos(), QPoint(20, 10));

    // The picture and its saves never see the zoom.
    QVERIFY(d->mainPicture()->picture().samePixels(picture));
    d->savePicture(d->mainPicture(), t.path("zoomed.bmp"));
    QVERIFY(ReadBMP(readWholeFile(t.path("zoomed.bmp").toStdString())).samePixels(picture));
}

LUMAVEX_QTEST_MAIN(TstSelection)
#include "tst_selection.moc"
