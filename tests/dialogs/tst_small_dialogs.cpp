// The size, rotate and colour-count dialogs: their controls, the kept aspect ratio, and what
// OK, Cancel and the close box give their callers.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "bridge/fonts.h"
#include "dialog_test_support.h"
#include "dialogs/color_count_dialog.h"
#include "dialogs/rotate_dialog.h"
#include "dialogs/size_dialog.h"
#include "core/error.h"
#include "support/qtest_main.h"

using namespace lumavex;
using lumavex::test::child;
using lumavex::test::ModalAnswer;
using lumavex::test::ScriptedUi;

namespace {

// Types a text into an edit that has the focus, replacing its text.
void retype(QLineEdit* edit, const QString& text)
{
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

}  // namespace

class TestSmallDialogs : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(lumavex::installFonts()); }

    void sizeDialogHasItsControls()
    {
        SizeDialog d;
        QCOMPARE(d.windowTitle(), QStringLiteral("ｻｲｽﾞ"));
        QCOMPARE(d.size(), QSize(232, 178));
        QCOMPARE(d.font().pixelSize(), 12);
        QCOMPARE(child<QLineEdit>(d, "Width1")->text(), QStringLiteral("0"));
        QCOMPARE(child<QLineEdit>(d, "Width1")->pos(), QPoint(21, 48));
        QCOMPARE(child<QLineEdit>(d, "Width1")->width(), 55);
        QCOMPARE(child<QLineEdit>(d, "Height1")->text(), QStringLiteral("0"));
        QCOMPARE(child<QLineEdit>(d, "Height1")->pos(), QPoint(126, 48));
        QCOMPARE(child<QLabel>(d, "Label1")->text(), QStringLiteral("Width"));
        QCOMPARE(child<QLabel>(d, "Label2")->text(), QStringLiteral("Height"));
        QCOMPARE(child<QCheckBox>(d, "rate1")->text(), QStringLiteral("縦横比率維持"));
        QVERIFY(!child<QCheckBox>(d, "rate1")->isChecked());
        QCOMPARE(child<QPushButton>(d, "Button1")->geometry(), QRect(24, 117, 75, 22));
        QCOMPARE(child<QPushButton>(d, "Button2")->geometry(), QRect(120, 117, 75, 22));
        QVERIFY(!d.accepted());
        QCOMPARE(d.aspectRatio(), 0.0);
    }

    void leavingTheWidthWithTheRatioKeptRoundsTheHeightAwayFromZero()
    {
        SizeDialog d;
        d.prepare(200, 100);
        QCOMPARE(d.aspectRatio(), 0.5);
        QString heightAfterExit;
        ModalAnswer<SizeDialog> answer([&](SizeDialog* shown) {
            child<QCheckBox>(*shown, "rate1")->setChecked(true);
            QLineEdit* width = child<QLineEdit>(*shown, "Width1");
            retype(width, QStringLiteral("301"));
            QTest::keyClick(width, Qt::Key_Tab);
            heightAfterExit = child<QLineEdit>(*shown, "Height1")->text();
            QTest::mouseClick(child<QPushButton>(*shown, "Button1"), Qt::LeftButton);
        });
        QVERIFY(d.execDialog());
        QVERIFY(answer.fired());
        QCOMPARE(heightAfterExit, QStringLiteral("151"));
        QCOMPARE(d.widthValue(), 301);
        QCOMPARE(d.heightValue(), 151);
    }

    void checkingTheRatioRecomputesAtOnceAndUncheckingKeepsBoth()
    {
        SizeDialog d;
        d.prepare(200, 100);
        child<QLineEdit>(d, "Width1")->setText(QStringLiteral("50"));
        QCOMPARE(child<QLineEdit>(d, "Height1")->text(), QStringLiteral("100"));
        QTest::mouseClick(child<QCheckBox>(d, "rate1"), Qt::LeftButton);
        QCOMPARE(child<QLineEdit>(d, "Height1")->text(), QStringLiteral("25"));
        // The height may then be edited freely; the width never follows it.
        child<QLineEdit>(d, "Height1")->setText(QStringLiteral("70"));
        QCOMPARE(child<QLineEdit>(d, "Width1")->text(), QStringLiteral("50"));
        QTest::mouseClick(child<QCheckBox>(d, "rate1"), Qt::LeftButton);
        QCOMPARE(child<QLineEdit>(d, "Width1")->text(), QStringLiteral("50"));
        QCOMPARE(child<QLineEdit>(d, "Height1")->text(), QStringLiteral("70"));
        // Without the ratio, leaving the width changes nothing.
        d.onWidthEdited();
        QCOMPARE(child<QLineEdit>(d, "Height1")->text(), QStringLiteral("70"));
    }

    void aWidthThatIsNoNumberIsReportedOnceAndTheHeightStays()
    {
        ScriptedUi ui;
        SizeDialog d;
        d.prepare(200, 100);
        bool stillOpen = false;
        ModalAnswer<SizeDialog> answer([&](SizeDialog* shown) {
            child<QCheckBox>(*shown, "rate1")->setChecked(true);
            QLineEdit* width = child<QLineEdit>(*shown, "Width1");
            retype(width, QStringLiteral("abc"));
            QTest::keyClick(width, Qt::Key_Tab);
            stillOpen = shown->isVisible();
            shown->onCancel();
        });
        QVERIFY(!d.execDialog());
        QVERIFY(answer.fired());
        QVERIFY(stillOpen);
        QCOMPARE(ui.messages, std::vector<QString>{QStringLiteral("'abc' は整数ではありません")});
        QCOMPARE(child<QLineEdit>(d, "Height1")->text(), QStringLiteral("100"));
        QVERIFY_THROWS_EXCEPTION(lumavex::Error, d.widthValue());
    }

    void sizeDialogCancelAndCloseBoxAreNotAccepted()
    {
        SizeDialog d;
        ModalAnswer<SizeDialog> ok([](SizeDialog* shown) { shown->onOk(); });
        QVERIFY(d.execDialog());
        QVERIFY(d.accepted());
        ModalAnswer<SizeDialog> close([](SizeDialog* shown) { shown->close(); });
        QVERIFY(!d.execDialog());
        QVERIFY(close.fired());
        QVERIFY(!d.accepted());
    }

    void rotateDialogKeepsItsAngleText()
    {
        RotateDialog d;
        QCOMPARE(d.windowTitle(), QStringLiteral("回転"));
        QCOMPARE(d.size(), QSize(251, 193));
        auto* angle = child<QLineEdit>(d, "Edit1");
        QCOMPARE(angle->text(), QString());
        QCOMPARE(angle->pos(), QPoint(45, 57));
        QCOMPARE(angle->width(), 121);
        QCOMPARE(child<QPushButton>(d, "Button1")->geometry(), QRect(27, 129, 75, 25));
        QCOMPARE(child<QPushButton>(d, "Button2")->geometry(), QRect(123, 129, 75, 25));
        // The initial empty angle is no integer.
        QVERIFY_THROWS_EXCEPTION(lumavex::Error, d.angleValue());

        ModalAnswer<RotateDialog> answer([](RotateDialog* shown) {
            retype(child<QLineEdit>(*shown, "Edit1"), QStringLiteral("-30"));
            QTest::keyClick(child<QLineEdit>(*shown, "Edit1"), Qt::Key_Return);
        });
        QVERIFY(d.execDialog());
        QCOMPARE(d.angleValue(), -30);
        ModalAnswer<RotateDialog> cancel([](RotateDialog* shown) { shown->onCancel(); });
        QVERIFY(!d.execDialog());
        QVERIFY(!d.accepted());
        QCOMPARE(d.angleValue(), -30);
    }

    void colourCountDialogGivesTheChosenCountOrZero()
    {
        ColorCountDialog d;
        QCOMPARE(d.windowTitle(), QStringLiteral("色変換"));
        QCOMPARE(d.size(), QSize(217, 245));
        QCOMPARE(d.colorCount(), 0);
        const std::pair<const char*, int> tops[] = {
            {"RB2", 30}, {"RB16", 57}, {"RB256", 84}, {"RB32000", 111}, {"RB64000", 141}};
        for (const auto& [name, top] : tops) {
            auto* button = child<QRadioButton>(d, name);
            QVERIFY2(button, name);
            QCOMPARE(button->pos(), QPoint(54, top));
            QVERIFY(!button->isChecked());
        }

        // First use, nothing chosen: OK leaves the count at 0.
        ModalAnswer<ColorCountDialog> none([](ColorCountDialog* shown) { shown->onOk(); });
        QCOMPARE(d.execDialog(), 0);
        QVERIFY(none.fired());

        ModalAnswer<ColorCountDialog> choose([](ColorCountDialog* shown) {
            QTest::mouseClick(child<QRadioButton>(*shown, "RB256"), Qt::LeftButton);
            QTest::mouseClick(child<QPushButton>(*shown, "Button1"), Qt::LeftButton);
        });
        QCOMPARE(d.execDialog(), 256);

        ModalAnswer<ColorCountDialog> cancel([](ColorCountDialog* shown) {
            QTest::mouseClick(child<QPushButton>(*shown, "Button2"), Qt::LeftButton);
        });
        QCOMPARE(d.execDialog(), 0);
        QVERIFY(child<QRadioButton>(d, "RB256")->isChecked());  // the choice stays

        ModalAnswer<ColorCountDialog> again([](ColorCountDialog* shown) { shown->onOk(); });
        QCOMPARE(d.execDialog(), 256);
        ModalAnswer<ColorCountDialog> close([](ColorCountDialog* shown) { shown->close(); });
        QCOMPARE(d.execDialog(), 0);
        QVERIFY(close.fired());
    }
};

LUMAVEX_QTEST_MAIN(TestSmallDialogs)
#include "tst_small_dialogs.moc"
