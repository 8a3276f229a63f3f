// The processing-parameters dialog: its controls and initial values, the list and its pages,
// the shared colour dialog, OK / Cancel / close, and reading values at use time.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include "bridge/fonts.h"
#include "dialog_test_support.h"
#include "dialogs/processing_parameters_dialog.h"
#include "core/error.h"
#include "support/qtest_main.h"

using namespace lumavex;
using lumavex::test::ModalAnswer;
using lumavex::test::ScriptedUi;

namespace {

constexpr Color kGrey = 0x00808080;

QListWidget* list(ProcessingParametersDialog& d)
{
    return d.findChild<QListWidget*>(QStringLiteral("ListBox1"));
}
QTabWidget* pages(ProcessingParametersDialog& d)
{
    return d.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
}
QPushButton* button(ProcessingParametersDialog& d, const char* name)
{
    return d.findChild<QPushButton*>(QString::fromLatin1(name));
}
QToolButton* colorButton(ProcessingParametersDialog& d, const char* name)
{
    return d.findChild<QToolButton*>(QString::fromLatin1(name));
}
QLineEdit* edit(ProcessingParametersDialog& d, const char* name)
{
    return d.findChild<QLineEdit*>(QString::fromLatin1(name));
}

const char* const kPanels[] = {"BGColor",        "AddShadowColor",  "AddShadowSColor",
                               "FlameBlurColor", "CircleBlurColor", "EllipseBlurColor",
                               "DropBlurColor",  "DropBaseColor"};

}  // namespace

class TestProcessingParameters : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(lumavex::installFonts()); }

    void formHasItsCaptionSizeAndFont()
    {
        ProcessingParametersDialog d;
        QCOMPARE(d.objectName(), QStringLiteral("TFGPropa1"));
        QCOMPARE(d.windowTitle(), QStringLiteral("処理パラメータ"));
        QCOMPARE(d.size(), QSize(539, 381));
        QCOMPARE(d.font().family(), QStringLiteral("ＭＳ Ｐゴシック"));
        QCOMPARE(d.font().pixelSize(), 12);
        QVERIFY(!d.accepted());
        QCOMPARE(list(d)->geometry(), QRect(12, 51, 160, 244));
        QCOMPARE(pages(d)->geometry(), QRect(183, 30, 301, 268));
        QCOMPARE(button(d, "BitBtn1")->text(), QStringLiteral("OK"));
        QCOMPARE(button(d, "BitBtn1")->geometry(), QRect(273, 318, 75, 25));
        QCOMPARE(button(d, "BitBtn2")->text(), QStringLiteral("Cancel"));
        QCOMPARE(button(d, "BitBtn2")->geometry(), QRect(408, 318, 75, 25));
        auto* label4 = d.findChild<QLabel*>(QStringLiteral("Label4"));
        QVERIFY(label4);
        QCOMPARE(label4->text(), QStringLiteral("処理選択"));
        QCOMPARE(label4->pos(), QPoint(16, 33));
    }

    void listEntryIShowsPageIWithItsCaption_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("listText");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("sheet");
        const char* rows[][3] = {
            {"基本設定", "基本設定", "TabSheet5"},
            {"AddShadow-影付け", "影付け", "TabSheet3"},
            {"AddShadowSoft-影付けSoft", "影付SOFT", "TabSheet6"},
            {"FlameBlur-輪郭ぼかし", "輪郭ぼかし", "TabSheet1"},
            {"CircleBlur-円ぼかし", "円ぼかし", "TabSheet7"},
            {"EllipseBlur-楕円ぼかし", "楕円ぼかし", "TabSheet8"},
            {"Panel-パネル", "パネル", "TabSheet2"},
            {"Marge-合成", "合成", "TabSheet13"},
            {"DropBlurShadow", "DropBlurShadow", "TabSheet10"},
            {"TextOut-テキスト", "テキスト", "TabSheet4"},
            {"Blower-ぼかし", "ぼかし", "TabSheet9"},
            {"TextTexture-文字切り抜き", "文字切抜き", "TabSheet11"},
            {"MixPaste", "MixPaste", "TabSheet12"},
        };
        for (int i = 0; i < 13; ++i)
            QTest::addRow("%d", i)
                << i << QString::fromUtf8(rows[i][0]) << QString::fromUtf8(rows[i][1])
                << QString::fromUtf8(rows[i][2]);
    }
    void listEntryIShowsPageIWithItsCaption()
    {
        QFETCH(int, index);
        QFETCH(QString, listText);
        QFETCH(QString, caption);
        QFETCH(QString, sheet);
        ProcessingParametersDialog d;
        QCOMPARE(list(d)->count(), 13);
        QCOMPARE(pages(d)->count(), 13);
        QCOMPARE(list(d)->item(index)->text(), listText);
        QCOMPARE(pages(d)->tabText(index), caption);
        QCOMPARE(pages(d)->widget(index)->objectName(), sheet);
        list(d)->setCurrentRow(index);
        QCOMPARE(d.currentPage(), index);
    }

    void controlsStartWithTheirInitialValues()
    {
        ProcessingParametersDialog d;
        const std::pair<const char*, const char*> edits[] = {
            {"AddShadowWidth", "10"},  {"AddShadowSWidth", "10"},  {"FlameBlurWidth", "30"},
            {"CircleBlurWidth", "30"}, {"EllipseBlurWidth", "30"}, {"PanelWidth", "10"},
            {"PanelLevel1", "0"},      {"PanelLevel2", "0"},       {"MargeRate", "50"},
            {"DropBlurX", "3"},        {"DropBlurY", "3"},
        };
        for (const auto& [name, text] : edits) {
            QLineEdit* e = edit(d, name);
            QVERIFY2(e, name);
            QCOMPARE(e->text(), QString::fromLatin1(text));
            QCOMPARE(e->size(), QSize(25, 20));
            QCOMPARE(d.integerValue(QString::fromLatin1(name)), QString::fromLatin1(text).toInt());
        }
        const std::pair<const char*, Color> colours[] = {
            {"BGColor", lumavex::kWhite},
            {"AddShadowColor", lumavex::kBlack},
            {"AddShadowSColor", lumavex::kBlack},
            {"FlameBlurColor", lumavex::kWhite},
            {"CircleBlurColor", lumavex::kWhite},
            {"EllipseBlurColor", lumavex::kWhite},
            {"DropBlurColor", kGrey},
            {"DropBaseColor", kGrey},
        };
        for (const auto& [name, colour] : colours)
            QCOMPARE(d.panelColor(QString::fromLatin1(name)), colour);
        QVERIFY(d.isChecked(QStringLiteral("MargeStretch")));
        QVERIFY(!d.isChecked(QStringLiteral("MargeRisize")));
        QVERIFY(!d.isChecked(QStringLiteral("CheckBox1")));
        QVERIFY(!d.isChecked(QStringLiteral("DropBase")));
    }

    void labelsAndUnitsStandBesideTheirControls()
    {
        ProcessingParametersDialog d;
        // The texts of one page, in reading order.
        auto texts = [&](int page) {
            QStringList result;
            for (QLabel* label : pages(d)->widget(page)->findChildren<QLabel*>())
                if (!label->isHidden() && label->parentWidget() == pages(d)->widget(page))
                    result << label->text();
            return result;
        };
        QCOMPARE(texts(0), QStringList{QStringLiteral("背景色")});
        QCOMPARE(texts(1), (QStringList{QStringLiteral("影の幅"), QStringLiteral("Pixcel"),
                                        QStringLiteral("色")}));
        QCOMPARE(texts(6),
                 (QStringList{QStringLiteral("影の幅"), QStringLiteral("Pixcel"),
                              QStringLiteral("左、上明度レベル"), QStringLiteral("Pixcel"),
                              QStringLiteral("右、下 暗度レベル"), QStringLiteral("Pixcel")}));
        QCOMPARE(texts(7), (QStringList{QStringLiteral("比率"), QStringLiteral("％")}));
        QCOMPARE(texts(8), (QStringList{QStringLiteral("影のずれ（X）"), QStringLiteral("Pixcel"),
                                        QStringLiteral("影のずれ（Ｙ）"), QStringLiteral("Pixcel"),
                                        QStringLiteral("色")}));
        QCOMPARE(d.findChild<QWidget*>(QStringLiteral("BGColor"))->size(), QSize(73, 41));
        QCOMPARE(d.findChild<QWidget*>(QStringLiteral("AddShadowColor"))->size(), QSize(33, 19));
        for (const char* name : {"SpeedButton1", "SpeedButton2", "SpeedButton3", "SpeedButton4",
                                 "SpeedButton5", "SpeedButton6", "SpeedButton7", "SpeedButton8"}) {
            QVERIFY2(colorButton(d, name), name);
            QCOMPARE(colorButton(d, name)->size(), QSize(25, 25));
        }
    }

    void hiddenControlsStayHidden()
    {
        ProcessingParametersDialog d;
        d.showModeless();
        for (int page = 0; page < 13; ++page) {
            pages(d)->setCurrentIndex(page);
            for (const char* name : {"CheckBox1", "MargeStretch", "MargeRisize", "Panel2",
                                     "DropBase", "DropBaseColor", "SpeedButton8"})
                QVERIFY2(!d.findChild<QWidget*>(QString::fromLatin1(name))->isVisible(), name);
        }
        auto* group = d.findChild<QGroupBox*>(QStringLiteral("Panel2"));
        QCOMPARE(group->title(), QStringLiteral("ｵﾌﾟｼｮﾝ"));
        QCOMPARE(group->geometry(), QRect(15, 132, 274, 94));
        QCOMPARE(d.findChild<QCheckBox*>(QStringLiteral("CheckBox1"))->text(),
                 QStringLiteral("Black"));
        d.hide();
    }

    void pagesNineToTwelveOnlySayThereIsNothingToSet()
    {
        ProcessingParametersDialog d;
        for (int page = 9; page <= 12; ++page) {
            QWidget* sheet = pages(d)->widget(page);
            const QList<QWidget*> children = sheet->findChildren<QWidget*>();
            QCOMPARE(children.size(), 1);
            auto* label = qobject_cast<QLabel*>(children.front());
            QVERIFY(label);
            QCOMPARE(label->text(), QStringLiteral("処理パラメータの設定はありません"));
            QCOMPARE(label->pos(), QPoint(21, 27));
        }
    }

    void everyShowSelectsEntryZero()
    {
        ProcessingParametersDialog d;
        list(d)->setCurrentRow(5);
        QCOMPARE(d.currentPage(), 5);
        d.showModeless();
        QCOMPARE(d.currentListIndex(), 0);
        QCOMPARE(d.currentPage(), 0);
        QVERIFY(!d.isModal());
        list(d)->setCurrentRow(7);
        QTest::mouseClick(button(d, "BitBtn2"), Qt::LeftButton);
        QVERIFY(!d.isVisible());
        d.showModeless();
        QCOMPARE(d.currentListIndex(), 0);
        QCOMPARE(d.currentPage(), 0);
        d.hide();
    }

    void selectingATabLeavesTheListAlone()
    {
        ProcessingParametersDialog d;
        d.showModeless();
        list(d)->setCurrentRow(2);
        pages(d)->setCurrentIndex(6);
        QCOMPARE(d.currentListIndex(), 2);
        QCOMPARE(d.currentPage(), 6);
        // Entering the list again shows the page of its entry.
        QFocusEvent focusIn(QEvent::FocusIn, Qt::TabFocusReason);
        QApplication::sendEvent(list(d), &focusIn);
        QCOMPARE(d.currentPage(), 2);
        d.hide();
    }

    void execOnPageShowsThatPageAndReturnsAccepted()
    {
        ProcessingParametersDialog d;
        int pageSeen = -1;
        int entrySeen = -1;
        bool modal = false;
        ModalAnswer<ProcessingParametersDialog> answer([&](ProcessingParametersDialog* shown) {
            // The list receiving the focus must not take the page back to entry 0.
            QFocusEvent focusIn(QEvent::FocusIn, Qt::TabFocusReason);
            QApplication::sendEvent(list(*shown), &focusIn);
            pageSeen = shown->currentPage();
            entrySeen = shown->currentListIndex();
            modal = shown->isModal();
            QTest::mouseClick(button(*shown, "BitBtn1"), Qt::LeftButton);
        });
        QVERIFY(d.execOnPage(ProcessingParametersDialog::DropBlurShadowPage));
        QVERIFY(answer.fired());
        QVERIFY(d.accepted());
        QCOMPARE(pageSeen, 8);
        QCOMPARE(entrySeen, 8);
        QVERIFY(modal);
        // A plain show afterwards opens on entry 0 again.
        d.showModeless();
        QCOMPARE(d.currentListIndex(), 0);
        d.hide();
    }

    void cancelAfterEditingAWidthKeepsTheWidth()
    {
        ProcessingParametersDialog d;
        ModalAnswer<ProcessingParametersDialog> answer([&](ProcessingParametersDialog* shown) {
            QLineEdit* width = edit(*shown, "AddShadowWidth");
            width->selectAll();
            QTest::keyClicks(width, QStringLiteral("25"));
            QTest::mouseClick(button(*shown, "BitBtn2"), Qt::LeftButton);
        });
        QVERIFY(!d.execOnPage(ProcessingParametersDialog::AddShadowPage));
        QVERIFY(answer.fired());
        QVERIFY(!d.accepted());
        QCOMPARE(d.integerValue(QStringLiteral("AddShadowWidth")), 25);
        QCOMPARE(d.editText(QStringLiteral("AddShadowWidth")), QStringLiteral("25"));
    }

    void closeBoxAndEscapeCountAsCancel()
    {
        ProcessingParametersDialog d;
        ModalAnswer<ProcessingParametersDialog> ok(
            [](ProcessingParametersDialog* shown) { shown->onOk(); });
        QVERIFY(d.execOnPage(1));
        QVERIFY(d.accepted());

        ModalAnswer<ProcessingParametersDialog> close(
            [](ProcessingParametersDialog* shown) { shown->close(); });
        QVERIFY(!d.execOnPage(1));
        QVERIFY(close.fired());
        QVERIFY(!d.accepted());

        ModalAnswer<ProcessingParametersDialog> ok2(
            [](ProcessingParametersDialog* shown) { shown->onOk(); });
        QVERIFY(d.execOnPage(2));
        ModalAnswer<ProcessingParametersDialog> escape(
            [](ProcessingParametersDialog* shown) { QTest::keyClick(shown, Qt::Key_Escape); });
        QVERIFY(!d.execOnPage(2));
        QVERIFY(escape.fired());
        QVERIFY(!d.accepted());
    }

    void returnInAnEditConfirms()
    {
        ProcessingParametersDialog d;
        ModalAnswer<ProcessingParametersDialog> answer([](ProcessingParametersDialog* shown) {
            QLineEdit* rate = edit(*shown, "MargeRate");
            rate->setFocus();
            QTest::keyClick(rate, Qt::Key_Return);
        });
        QVERIFY(d.execOnPage(ProcessingParametersDialog::MargePage));
        QVERIFY(answer.fired());
    }

    void execOnPageOverAModelessShowBecomesModal()
    {
        ProcessingParametersDialog d;
        d.showModeless();
        QVERIFY(d.isVisible());
        bool modal = false;
        int pageSeen = -1;
        ModalAnswer<ProcessingParametersDialog> answer([&](ProcessingParametersDialog* shown) {
            modal = shown->isModal();
            pageSeen = shown->currentPage();
            shown->onCancel();
        });
        QVERIFY(!d.execOnPage(ProcessingParametersDialog::PanelPage));
        QVERIFY(answer.fired());
        QVERIFY(modal);
        QCOMPARE(pageSeen, 6);
        QVERIFY(!d.isVisible());
    }

    void aPageOutsideTheListOpensTheBasicPage()
    {
        ProcessingParametersDialog d;
        int pageSeen = -1;
        ModalAnswer<ProcessingParametersDialog> answer([&](ProcessingParametersDialog* shown) {
            pageSeen = shown->currentPage();
            shown->onCancel();
        });
        QVERIFY(!d.execOnPage(13));
        QCOMPARE(pageSeen, 0);
    }

    void colourDialogFromTheBasicPageChangesOnlyBGColor()
    {
        ScriptedUi ui;
        ProcessingParametersDialog d;
        d.showModeless();
        std::vector<Color> before;
        for (const char* name : kPanels)
            before.push_back(d.panelColor(QString::fromLatin1(name)));

        ui.colorAnswers = {QColor(10, 20, 30)};
        QTest::mouseClick(colorButton(d, "SpeedButton2"), Qt::LeftButton);
        QCOMPARE(ui.colorRequests.size(), size_t{1});
        QCOMPARE(ui.colorRequests[0], QColor(0, 0, 0));  // black at first
        QCOMPARE(d.panelColor(QStringLiteral("BGColor")), makeColor(10, 20, 30));
        for (size_t i = 1; i < std::size(kPanels); ++i)
            QCOMPARE(d.panelColor(QString::fromLatin1(kPanels[i])), before[i]);

        // Dismissing the colour dialog changes nothing, not even its remembered colour.
        ui.colorAnswers = {std::nullopt};
        QTest::mouseClick(colorButton(d, "SpeedButton2"), Qt::LeftButton);
        QCOMPARE(d.panelColor(QStringLiteral("BGColor")), makeColor(10, 20, 30));
        QCOMPARE(d.lastChosenColor(), makeColor(10, 20, 30));
        d.hide();
    }

    void colourDialogOpensWithTheLastChoiceNotThePanelColour()
    {
        ScriptedUi ui;
        ProcessingParametersDialog d;
        ui.colorAnswers = {QColor(200, 100, 50), std::nullopt, QColor(1, 2, 3)};
        colorButton(d, "SpeedButton1")->click();  // AddShadowColor
        colorButton(d, "SpeedButton3")->click();  // FlameBlurColor: dismissed
        colorButton(d, "SpeedButton7")->click();  // DropBlurColor
        QCOMPARE(ui.colorRequests.size(), size_t{3});
        QCOMPARE(ui.colorRequests[0], QColor(0, 0, 0));
        QCOMPARE(ui.colorRequests[1], QColor(200, 100, 50));
        QCOMPARE(ui.colorRequests[2], QColor(200, 100, 50));
        QCOMPARE(d.panelColor(QStringLiteral("AddShadowColor")), makeColor(200, 100, 50));
        QCOMPARE(d.panelColor(QStringLiteral("FlameBlurColor")), lumavex::kWhite);
        QCOMPARE(d.panelColor(QStringLiteral("DropBlurColor")), makeColor(1, 2, 3));
    }

    void eachColourButtonSetsItsOwnPanel()
    {
        ScriptedUi ui;
        ProcessingParametersDialog d;
        const std::pair<const char*, const char*> buttons[] = {
            {"SpeedButton2", "BGColor"},         {"SpeedButton1", "AddShadowColor"},
            {"SpeedButton4", "AddShadowSColor"}, {"SpeedButton3", "FlameBlurColor"},
            {"SpeedButton5", "CircleBlurColor"}, {"SpeedButton6", "EllipseBlurColor"},
            {"SpeedButton7", "DropBlurColor"},   {"SpeedButton8", "DropBaseColor"},
        };
        int n = 0;
        for (const auto& [buttonName, panelName] : buttons) {
            ++n;
            ui.colorAnswers = {QColor(n, 2 * n, 3 * n)};
            colorButton(d, buttonName)->click();
            QCOMPARE(d.panelColor(QString::fromLatin1(panelName)), makeColor(n, 2 * n, 3 * n));
        }
    }

    void aWidthThatIsNoNumberIsReportedWithItsText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("letters") << QStringLiteral("abc");
        QTest::newRow("empty") << QString();
        QTest::newRow("fraction") << QStringLiteral("1.5");
        QTest::newRow("too large") << QStringLiteral("99999999999");
        QTest::newRow("full-width digits") << QStringLiteral("１０");
    }
    void aWidthThatIsNoNumberIsReportedWithItsText()
    {
        QFETCH(QString, text);
        ProcessingParametersDialog d;
        QLineEdit* width = edit(d, "FlameBlurWidth");
        width->clear();
        // Typed where the keyboard has the characters, pasted in otherwise.
        if (text.toLatin1() == text.toUtf8())
            QTest::keyClicks(width, text);
        else
            width->insert(text);
        try {
            d.integerValue(QStringLiteral("FlameBlurWidth"));
            QFAIL("no conversion error");
        } catch (const lumavex::Error& e) {
            QCOMPARE(e.kind(), lumavex::ErrorKind::Conversion);
            QCOMPARE(QString::fromStdString(e.what()),
                     QLatin1Char('\'') + text + QStringLiteral("' は整数ではありません"));
        }
        // The text stays as typed, and the next good text is read at once.
        QCOMPARE(d.editText(QStringLiteral("FlameBlurWidth")), text);
        d.setEditText(QStringLiteral("FlameBlurWidth"), QStringLiteral(" -7 "));
        QCOMPARE(d.integerValue(QStringLiteral("FlameBlurWidth")), -7);
    }

    void unknownNamesAreRefused()
    {
        ProcessingParametersDialog d;
        QVERIFY_THROWS_EXCEPTION(lumavex::Error, d.panelColor(QStringLiteral("AddShadowWidth")));
        QVERIFY_THROWS_EXCEPTION(lumavex::Error, d.integerValue(QStringLiteral("BGColor")));
        QVERIFY_THROWS_EXCEPTION(lumavex::Error, d.isChecked(QStringLiteral("BitBtn1")));
        QVERIFY_THROWS_EXCEPTION(lumavex::Error, d.setPanelColor(QStringLiteral("Nope"), 0));
    }

    void setPanelColorIsReadBack()
    {
        ProcessingParametersDialog d;
        d.setPanelColor(QStringLiteral("DropBaseColor"), makeColor(9, 8, 7));
        QCOMPARE(d.panelColor(QStringLiteral("DropBaseColor")), makeColor(9, 8, 7));
        // The panel shows it.
        auto* panel = d.findChild<QWidget*>(QStringLiteral("DropBaseColor"));
        QCOMPARE(panel->palette().color(QPalette::Window), QColor(9, 8, 7));
    }
};

LUMAVEX_QTEST_MAIN(TestProcessingParameters)
#include "tst_processing_parameters.moc"
