// Scanning when SANE knows no scanner at all: the user is told, nothing is delivered.
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include "bridge/fonts.h"
#include "dialog_test_support.h"
#include "document/scanner.h"
#include "support/qtest_main.h"

using lumavex::test::ScriptedUi;

class TestScannerNoDevice : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(lumavex::installFonts());
        // A configuration that loads no backend.
        QVERIFY(lumavex::test::useSaneBackends(m_config, QByteArray()));
    }

    void selectionAndAcquisitionSayThereIsNoScanner()
    {
        ScriptedUi ui;
        QWidget parent;
        QVERIFY(lumavex::listScanners().empty());
        QVERIFY(!lumavex::selectScannerSource(&parent));
        QCOMPARE(lumavex::selectedScannerSource(), std::string());
        QVERIFY(!lumavex::acquireScan(&parent));
        QCOMPARE(ui.messages.size(), size_t{2});
        QCOMPARE(ui.messages[0], QStringLiteral("スキャナが見つかりません。"));
        QCOMPARE(ui.messages[1], QStringLiteral("スキャナが見つかりません。"));
    }

private:
    QTemporaryDir m_config;
};

LUMAVEX_QTEST_MAIN(TestScannerNoDevice)
#include "tst_scanner_no_device.moc"
