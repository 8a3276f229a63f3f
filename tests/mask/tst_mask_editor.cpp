// The FL mask editor window: zoom, the marquee snapped to whole tiles, the FL command on the
// marked tiles, and the picture handed back when the window closes.
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "mask/fl_mask.h"
#include "mask/mask_editor_window.h"
#include "support/fake_ui.h"
#include "support/qtest_main.h"
#include "support/test_pictures.h"

using namespace lumavex;

namespace {

void mouse(QWidget* control, QEvent::Type type, QPoint at)
{
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
    QMouseEvent event(type, QPointF(at), QPointF(control->mapToGlobal(at)),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(control, &event);
}

void drag(QWidget* control, QPoint from, QPoint to)
{
    mouse(control, QEvent::MouseButtonPress, from);
    mouse(control, QEvent::MouseMove, to);
    mouse(control, QEvent::MouseButtonRelease, to);
}

// The picture with the FL mask applied to a region given in picture pixels.
Raster masked(Raster picture, const Rect& region)
{
    ApplyFLMaskToRegion(picture, region);
    return picture;
}

}  // namespace

class TstMaskEditor : public QObject {
    Q_OBJECT
private slots:
    void zoomTwoSnapsTheMarqueeAndMasksItsTiles();
    void formBoundsServeBeforeTheFirstDrag();
    void editPictureHandsThePictureBackOnClose();
};

void TstMaskEditor::zoomTwoSnapsTheMarqueeAndMasksItsTiles()
{
    test::FakeUi ui;
    MaskEditorWindow editor;
    QCOMPARE(editor.objectName(), QStringLiteral("TFEditImage2"));
    QCOMPARE(editor.windowTitle(), QStringLiteral("FEditImage2"));
    QCOMPARE(editor.button(3)->text(), QStringLiteral("FL"));
    const Raster picture = test::makeGradient(64, 56);
    editor.setPicture(picture);
    editor.show();
    QCOMPARE(editor.pictureView()->size(), QSize(64, 56));
    QVERIFY(!editor.button(2)->isEnabled());
    editor.onZoomOut();
    QCOMPARE(editor.zoomFactor(), 1);

    editor.button(1)->click();
    QCOMPARE(editor.zoomFactor(), 2);
    QCOMPARE(editor.pictureView()->size(), QSize(128, 112));
    // Display pixels 37..100 at zoom 2 snap to the 16-pixel steps 32..96: picture pixels 16..48.
    drag(editor.pictureView(), {37, 35}, {100, 99});
    QVERIFY(editor.marquee()->isVisible());
    QCOMPARE(editor.selection(), (ShapeBounds{16, 16, 32, 32}));
    QCOMPARE(editor.marquee()->geometry(), QRect(32, 32, 64, 64));
    editor.button(3)->click();
    QVERIFY(editor.picture().samePixels(masked(picture, {16, 16, 48, 48})));
    QVERIFY(editor.message().contains(QStringLiteral("(16, 16)-(48, 48)")));
    // A second FL gives the tiles back.
    editor.onFLMask();
    QVERIFY(editor.picture().samePixels(picture));

    // The marquee keeps to whole tiles inside the picture, so that no tile is lost beyond the
    // edge; dragged up and left, it keeps its corners.
    drag(editor.pictureView(), {100, 100}, {-40, 500});
    QCOMPARE(editor.selection(), (ShapeBounds{48, 48, -48, 8}));
    drag(editor.pictureView(), {100, 100}, {-40, -40});
    QCOMPARE(editor.selection(), (ShapeBounds{48, 48, -48, -48}));
    editor.onFLMask();
    QVERIFY(editor.picture().samePixels(masked(picture, {0, 0, 48, 48})));

    // Zooming keeps the marquee on the same tiles; an empty marquee masks nothing.
    editor.onZoomIn();
    QCOMPARE(editor.marquee()->geometry(), QRect(0, 0, 144, 144));
    mouse(editor.pictureView(), QEvent::MouseButtonPress, {30, 30});
    mouse(editor.pictureView(), QEvent::MouseButtonRelease, {30, 30});
    const Raster before = editor.picture();
    editor.onFLMask();
    QVERIFY(editor.picture().samePixels(before));
    QCOMPARE(editor.message(), QStringLiteral("範囲が選択されていません"));
}

void TstMaskEditor::formBoundsServeBeforeTheFirstDrag()
{
    test::FakeUi ui;
    MaskEditorWindow editor;
    const Raster picture = test::makeNoise(600, 320, 5);
    editor.setPicture(picture);
    QVERIFY(editor.marquee()->isHidden());
    QCOMPARE(editor.selection(), (ShapeBounds{476, 207, 89, 79}));
    editor.onZoomIn();
    editor.onFLMask();
    // 11 x 9 tiles; the last column and the bottom 7 rows of the region turn white.
    const Raster& result = editor.picture();
    QVERIFY(result.samePixels(masked(picture, {476, 207, 565, 286})));
    QCOMPARE(result.pixel(564, 220), kWhite);
    QCOMPARE(result.pixel(500, 285), kWhite);
    QCOMPARE(result.pixel(500, 279), kWhite);
}

void TstMaskEditor::editPictureHandsThePictureBackOnClose()
{
    test::FakeUi ui;
    MaskEditorWindow editor;
    const Raster picture = test::makeFPicture(48, 40);

    // Closed untouched, the picture comes back as it was.
    QTimer::singleShot(0, &editor, [&] { editor.reject(); });
    QVERIFY(editor.editPicture(picture).samePixels(picture));

    // The zoom factor lasts between showings, and the picture opens at it.
    editor.onZoomIn();
    bool modal = false;
    QSize shown;
    QTimer::singleShot(0, &editor, [&] {
        modal = editor.isModal() && editor.isVisible();
        shown = editor.pictureView()->size();
        drag(editor.pictureView(), {0, 0}, {64, 48});
        editor.button(3)->click();
        editor.close();
    });
    QVERIFY(editor.editPicture(picture).samePixels(masked(picture, {0, 0, 32, 24})));
    QVERIFY(modal);
    QCOMPARE(shown, QSize(96, 80));
    QCOMPARE(editor.zoomFactor(), 2);
    QVERIFY(ui.errors.isEmpty());
}

LUMAVEX_QTEST_MAIN(TstMaskEditor)
#include "tst_mask_editor.moc"
