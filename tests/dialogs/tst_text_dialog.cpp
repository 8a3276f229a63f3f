// The text output dialog: placing the text by clicking and dragging, the sample caption, the
// font and colour dialogs, and what the commands read from it.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "bridge/fonts.h"
#include "dialog_test_support.h"
#include "dialogs/text_dialog.h"
#include "core/error.h"
#include "support/qtest_main.h"

using namespace lumavex;
using lumavex::test::child;
using lumavex::test::ModalAnswer;
using lumavex::test::ScriptedUi;

namespace {

QString text(TextDialog& d, const char* edit)
{
    return child<QLineEdit>(d, edit)->text();
}

void sendMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButtons buttons,
               Qt::MouseButton button = Qt::LeftButton)
{
    QMouseEvent event(type, QPointF(at), widget->mapToGlobal(QPointF(at)), button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

QImage picture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

}  // namespace

class TestTextDialog : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(lumavex::installFonts()); }

    void startsWithItsControlsAndValues()
    {
        TextDialog d;
        QCOMPARE(d.windowTitle(), QStringLiteral("テキスト出力"));
        QCOMPARE(d.size(), QSize(414, 474));
        QCOMPARE(text(d, "Edit1"), QStringLiteral("10"));
        QCOMPARE(text(d, "Edit2"), QStringLiteral("10"));
        QCOMPARE(child<QLineEdit>(d, "Edit1")->geometry().topLeft(), QPoint(44, 45));
        QCOMPARE(child<QPushButton>(d, "BitBtn1")->text(), QStringLiteral("F"));
        QCOMPARE(child<QPushButton>(d, "BitBtn1")->geometry(), QRect(180, 45, 41, 22));
        QCOMPARE(child<QPushButton>(d, "Button1")->text(), QStringLiteral("OK"));
        QCOMPARE(child<QPushButton>(d, "Button2")->text(), QStringLiteral("CANCEL"));
        QCOMPARE(child<QPlainTextEdit>(d, "Memo1")->toPlainText(), QStringLiteral("Memo1"));
        QCOMPARE(child<QPlainTextEdit>(d, "Memo1")->geometry(), QRect(44, 87, 341, 67));
        QCOMPARE(child<QCheckBox>(d, "ck_bevel")->text(), QStringLiteral("ﾍﾞﾍﾞﾙｵﾌﾟｼｮﾝ"));
        QCOMPARE(text(d, "E_bevel1"), QString());
        QCOMPARE(text(d, "E_Bevel2"), QString());
        QCOMPARE(child<QCheckBox>(d, "Ck_outLine")->text(), QStringLiteral("OutLine"));
        QCOMPARE(child<QWidget>(d, "Panel1")->height(), 208);
        QCOMPARE(child<QWidget>(d, "Image1")->toolTip(),
                 QStringLiteral("マウスクリックで出力位置指定"));
        QVERIFY(!d.accepted());
        QVERIFY(!d.bevel());
        QVERIFY(!d.outline());
        QCOMPARE(d.textColor(), lumavex::kBlack);
    }

    void theSampleShowsNothingUntilTheMemoIsEdited()
    {
        TextDialog d;
        QCOMPARE(d.sampleCaption(), QString());
        QCOMPARE(d.lines(), QStringList{QStringLiteral("Memo1")});
        child<QPlainTextEdit>(d, "Memo1")->setPlainText(QStringLiteral("一\n二\nthree"));
        QCOMPARE(d.sampleCaption(), QStringLiteral("一\r二\rthree"));
        QCOMPARE(d.lines(), (QStringList{QStringLiteral("一"), QStringLiteral("二"),
                                         QStringLiteral("three")}));
        // A final line break adds no line; an empty memo has none.
        child<QPlainTextEdit>(d, "Memo1")->setPlainText(QStringLiteral("a\n"));
        QCOMPARE(d.lines(), QStringList{QStringLiteral("a")});
        child<QPlainTextEdit>(d, "Memo1")->clear();
        QCOMPARE(d.lines(), QStringList{});
    }

    void clickingThePreviewPlacesTheText()
    {
        TextDialog d;
        d.setPreviewPicture(picture(80, 60));
        sendMouse(child<QWidget>(d, "Image1"), QEvent::MouseButtonPress, {37, 5}, Qt::LeftButton);
        sendMouse(child<QWidget>(d, "Image1"), QEvent::MouseButtonRelease, {37, 5}, Qt::NoButton);
        QCOMPARE(text(d, "Edit1"), QStringLiteral("37"));
        QCOMPARE(text(d, "Edit2"), QStringLiteral("5"));
        QCOMPARE(d.samplePosition(), QPoint(37, 5));
        QCOMPARE(d.positionX(), 37);
        QCOMPARE(d.positionY(), 5);
        // Any button places it.
        sendMouse(child<QWidget>(d, "Image1"), QEvent::MouseButtonRelease, {3, 40}, Qt::NoButton,
                  Qt::RightButton);
        QCOMPARE(d.samplePosition(), QPoint(3, 40));
    }

    void draggingTheSampleMovesTheTextOrigin()
    {
        TextDialog d;
        d.setPreviewPicture(picture(80, 60));
        child<QPlainTextEdit>(d, "Memo1")->setPlainText(QStringLiteral("Text"));
        QWidget* sample = child<QWidget>(d, "TextLabel1");
        sendMouse(child<QWidget>(d, "Image1"), QEvent::MouseButtonRelease, {10, 10}, Qt::NoButton);
        sendMouse(sample, QEvent::MouseButtonPress, {2, 2}, Qt::LeftButton);
        sendMouse(sample, QEvent::MouseMove, {14, 5}, Qt::LeftButton, Qt::NoButton);
        sendMouse(sample, QEvent::MouseButtonRelease, {14, 5}, Qt::NoButton);
        QCOMPARE(text(d, "Edit1"), QStringLiteral("22"));
        QCOMPARE(text(d, "Edit2"), QStringLiteral("13"));
        QCOMPARE(d.samplePosition(), QPoint(22, 13));
        // After the release the sample stays where it is.
        sendMouse(sample, QEvent::MouseMove, {30, 30}, Qt::NoButton, Qt::NoButton);
        QCOMPARE(d.samplePosition(), QPoint(22, 13));
    }

    void hoveringTheSampleRewritesTypedPositions()
    {
        TextDialog d;
        d.setPreviewPicture(picture(80, 60));
        child<QPlainTextEdit>(d, "Memo1")->setPlainText(QStringLiteral("Text"));
        // The sample starts at (24, 24) of the preview area, the picture at (8, 9).
        child<QLineEdit>(d, "Edit1")->setText(QStringLiteral("70"));
        child<QLineEdit>(d, "Edit2")->setText(QStringLiteral("50"));
        sendMouse(child<QWidget>(d, "TextLabel1"), QEvent::MouseMove, {1, 1}, Qt::NoButton,
                  Qt::NoButton);
        QCOMPARE(text(d, "Edit1"), QStringLiteral("16"));
        QCOMPARE(text(d, "Edit2"), QStringLiteral("15"));
    }

    void theFontDialogNeverChangesTheColour()
    {
        ScriptedUi ui;
        TextDialog d;
        ui.colorAnswers = {QColor(200, 10, 20)};
        child<QPushButton>(d, "BitBtn2")->click();
        QCOMPARE(d.textColor(), makeColor(200, 10, 20));

        QFont big(QStringLiteral("ＭＳ Ｐ明朝"));
        big.setPixelSize(30);
        big.setBold(true);
        ui.fontAnswers = {big};
        child<QPushButton>(d, "BitBtn1")->click();
        QCOMPARE(d.textFont().family(), QStringLiteral("ＭＳ Ｐ明朝"));
        QCOMPARE(d.textColor(), makeColor(200, 10, 20));
        const lumavex::Font raster = d.rasterFont();
        QCOMPARE(raster.family, std::string("ＭＳ Ｐ明朝"));
        QCOMPARE(raster.pixelSize, 30);
        QVERIFY(raster.bold);
        QCOMPARE(raster.color, makeColor(200, 10, 20));

        // Cancelled: font and colour stay; the dialog opened with its own last choice.
        ui.fontAnswers = {std::nullopt};
        child<QPushButton>(d, "BitBtn1")->click();
        QCOMPARE(d.textFont().pixelSize(), 30);
        QCOMPARE(d.textColor(), makeColor(200, 10, 20));
        QCOMPARE(ui.fontRequests.size(), size_t{2});
        QCOMPARE(ui.fontRequests[0].family(), QStringLiteral("ＭＳ Ｐゴシック"));
        QCOMPARE(ui.fontRequests[1].pixelSize(), 30);
    }

    void theColourDialogOpensWithItsLastChoice()
    {
        ScriptedUi ui;
        TextDialog d;
        ui.colorAnswers = {QColor(1, 2, 3), std::nullopt};
        child<QPushButton>(d, "BitBtn2")->click();
        child<QPushButton>(d, "BitBtn2")->click();
        QCOMPARE(ui.colorRequests.size(), size_t{2});
        QCOMPARE(ui.colorRequests[0], QColor(Qt::black));
        QCOMPARE(ui.colorRequests[1], QColor(1, 2, 3));
        QCOMPARE(d.textColor(), makeColor(1, 2, 3));
    }

    void showingFillsEmptyBevelCountsAndSetsTheCommandsCaption()
    {
        TextDialog d;
        QString caption;
        bool bevelEnabled = true;
        QString bevel1, bevel2;
        ModalAnswer<TextDialog> answer([&](TextDialog* shown) {
            caption = shown->windowTitle();
            bevelEnabled = child<QCheckBox>(*shown, "ck_bevel")->isEnabled();
            bevel1 = text(*shown, "E_bevel1");
            bevel2 = text(*shown, "E_Bevel2");
            QTest::mouseClick(child<QPushButton>(*shown, "Button1"), Qt::LeftButton);
        });
        QVERIFY(d.execFor(QStringLiteral("TextTexture"), false, picture(20, 10)));
        QVERIFY(answer.fired());
        QCOMPARE(caption, QStringLiteral("TextTexture"));
        QVERIFY(!bevelEnabled);
        QCOMPARE(bevel1, QStringLiteral("0"));
        QCOMPARE(bevel2, QStringLiteral("0"));
        QCOMPARE(d.bevelTopLeft(), 0);
        QVERIFY(d.accepted());

        ModalAnswer<TextDialog> cancel([](TextDialog* shown) {
            child<QLineEdit>(*shown, "E_bevel1")->setText(QStringLiteral("x"));
            QTest::mouseClick(child<QPushButton>(*shown, "Button2"), Qt::LeftButton);
        });
        QVERIFY(!d.execFor(QStringLiteral("TextOut"), true, picture(20, 10)));
        QVERIFY(!d.accepted());
        QCOMPARE(d.windowTitle(), QStringLiteral("TextOut"));
        // Cancel restores nothing; the bad count shows when a command reads it.
        QVERIFY_THROWS_EXCEPTION(lumavex::Error, d.bevelTopLeft());

        ModalAnswer<TextDialog> close([](TextDialog* shown) { shown->close(); });
        QVERIFY(!d.execFor(QStringLiteral("TextOut"), true, picture(20, 10)));
        QVERIFY(close.fired());
        QVERIFY(!d.accepted());
    }
};

LUMAVEX_QTEST_MAIN(TestTextDialog)
#include "tst_text_dialog.moc"
