// Scanning through SANE against its "test" backend, enabled by a configuration folder of the
// test's own (no system file is read or changed).
#include <QDir>
#include <QElapsedTimer>
#include <QListWidget>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include "bridge/fonts.h"
#include "dialog_test_support.h"
#include "document/scanner.h"
#include "core/error.h"
#include "support/qtest_main.h"

using lumavex::makeColor;
using lumavex::Raster;
using lumavex::ScannerSourceDialog;
using lumavex::ScanSettings;
using lumavex::test::ModalAnswer;
using lumavex::test::ScriptedUi;
using lumavex::test::useSaneBackends;

namespace {

// The backend's colour pattern at 75 dpi, as its own front end scans it, with more options.
ScanSettings colorPattern(std::initializer_list<std::pair<std::string, std::string>> more = {})
{
    ScanSettings settings{75, {{"test-picture", "Color pattern"}}};
    settings.options.insert(settings.options.end(), more);
    return settings;
}

// A scan that the backend ends with a status of its choice, while its reader thread waits
// before each write (a safe point to be stopped at).
ScanSettings endedByTheBackendWith(const char* status)
{
    return ScanSettings{
        300,
        {{"read-delay", "yes"}, {"read-delay-duration", "20000"}, {"read-return-value", status}}};
}

bool allPixels(const Raster& picture, lumavex::Color colour)
{
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (picture.pixel(x, y) != colour)
                return false;
    return true;
}

}  // namespace

class TestScanner : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(lumavex::installFonts());
        QVERIFY(useSaneBackends(m_config, "test\n"));
    }

    void listsTheTestScanners()
    {
        const auto devices = lumavex::listScanners();
        QCOMPARE(devices.size(), size_t{2});
        QCOMPARE(devices[0].name, std::string("test:0"));
        QCOMPARE(devices[1].name, std::string("test:1"));
        QVERIFY(!devices[0].description.empty());
    }

    void colourPatternArrivesPixelForPixel()
    {
        const auto picture = lumavex::scanFromDevice("test:0", colorPattern(), nullptr);
        QVERIFY(picture);
        QCOMPARE(picture->width(), 236);
        QCOMPARE(picture->height(), 295);
        // Pure red, green and blue places of the pattern: swapped channels show here.
        QCOMPARE(picture->pixel(1, 6), makeColor(255, 0, 0));
        QCOMPARE(picture->pixel(166, 16), makeColor(0, 222, 0));
        QCOMPARE(picture->pixel(131, 26), makeColor(0, 0, 229));
        QCOMPARE(picture->pixel(0, 0), makeColor(85, 85, 85));
    }

    void threePassesAndSmallReadsGiveTheSamePicture_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("value");
        QTest::newRow("three passes") << "three-pass"
                                      << "yes";
        QTest::newRow("three passes, blue first") << "three-pass-order"
                                                  << "BGR";
        QTest::newRow("small reads") << "read-limit-size"
                                     << "7";
    }
    void threePassesAndSmallReadsGiveTheSamePicture()
    {
        QFETCH(QString, option);
        QFETCH(QString, value);
        const auto reference = lumavex::scanFromDevice("test:0", colorPattern(), nullptr);
        ScanSettings settings = colorPattern();
        if (option == QLatin1String("three-pass-order"))
            settings.options.emplace_back("three-pass", "yes");
        if (option == QLatin1String("read-limit-size"))
            settings.options.emplace_back("read-limit", "yes");
        settings.options.emplace_back(option.toStdString(), value.toStdString());
        const auto picture = lumavex::scanFromDevice("test:0", settings, nullptr);
        QVERIFY(reference && picture);
        QVERIFY(picture->samePixels(*reference));
    }

    void sixteenBitSamplesKeepTheirHighByte()
    {
        const auto picture =
            lumavex::scanFromDevice("test:0", colorPattern({{"depth", "16"}}), nullptr);
        QVERIFY(picture);
        QCOMPARE(picture->width(), 236);
        QCOMPARE(picture->height(), 295);
        // The backend sends 0x5555 and 0xE7FF here; the low byte must not leak in.
        QCOMPARE(picture->pixel(0, 0), makeColor(85, 85, 85));
        QCOMPARE(picture->pixel(235, 259), makeColor(231, 0, 0));
    }

    void greyAndLineArtBecomeColourPictures()
    {
        const auto grey = lumavex::scanFromDevice(
            "test:0", ScanSettings{75, {{"mode", "Gray"}, {"test-picture", "Color pattern"}}},
            nullptr);
        QVERIFY(grey);
        QCOMPARE(grey->width(), 236);
        for (int y = 0; y < grey->height(); y += 7) {
            const uint8_t* row = grey->row(y);
            for (int x = 0; x < grey->width(); ++x)
                QVERIFY(row[3 * x] == row[3 * x + 1] && row[3 * x + 1] == row[3 * x + 2]);
        }
        // One bit a pixel: a set bit is black.
        const auto black = lumavex::scanFromDevice(
            "test:0", ScanSettings{75, {{"mode", "Gray"}, {"depth", "1"}}}, nullptr);
        QVERIFY(black);
        QCOMPARE(black->width(), 236);
        QVERIFY(allPixels(*black, lumavex::kBlack));
        const auto white = lumavex::scanFromDevice(
            "test:0",
            ScanSettings{75, {{"mode", "Gray"}, {"depth", "1"}, {"test-picture", "Solid white"}}},
            nullptr);
        QVERIFY(white);
        QVERIFY(allPixels(*white, lumavex::kWhite));
    }

    void theResolutionIsSetAndKeptInsideTheDevicesRange()
    {
        // 80 x 100 mm at 150 dpi.
        const auto picture = lumavex::scanFromDevice("test:0", ScanSettings{}, nullptr);
        QVERIFY(picture);
        QCOMPARE(picture->width(), 472);
        QCOMPARE(picture->height(), 590);
        // 0 dpi is below the device's range of 1 .. 1200: it scans at 1 dpi.
        const auto tiny = lumavex::scanFromDevice("test:0", ScanSettings{0, {}}, nullptr);
        QVERIFY(tiny);
        QCOMPARE(tiny->width(), 3);
        QCOMPARE(tiny->height(), 3);
    }

    void deviceErrorsAreReportedWithTheDevice()
    {
        try {
            lumavex::scanFromDevice("nosuch:0", ScanSettings{}, nullptr);
            QFAIL("no error");
        } catch (const lumavex::Error& e) {
            QVERIFY2(QString::fromUtf8(e.what()).startsWith(
                         QStringLiteral("スキャナ 'nosuch:0' を開けません")),
                     e.what());
        }
        try {
            lumavex::scanFromDevice("test:0", endedByTheBackendWith("SANE_STATUS_IO_ERROR"),
                                    nullptr);
            QFAIL("no error");
        } catch (const lumavex::Error& e) {
            QCOMPARE(e.kind(), lumavex::ErrorKind::File);
            QVERIFY2(QString::fromUtf8(e.what()).contains(QStringLiteral("'test:0'")), e.what());
        }
        QVERIFY_THROWS_EXCEPTION(
            lumavex::Error,
            lumavex::scanFromDevice("test:0", ScanSettings{75, {{"depth", "deep"}}}, nullptr));
    }

    void aScanCancelledByTheDeviceDeliversNothing()
    {
        const auto picture = lumavex::scanFromDevice(
            "test:0", endedByTheBackendWith("SANE_STATUS_CANCELLED"), nullptr);
        QVERIFY(!picture);
    }

    void theUserCanCancelALongScan()
    {
        // About eight seconds of scanning: the reader waits 0.2 s before each of its writes.
        const ScanSettings slow{
            300,
            {{"read-delay", "yes"}, {"read-delay-duration", "200000"}, {"test-picture", "Grid"}}};
        QWidget parent;
        QString label;
        ModalAnswer<QProgressDialog> cancel([&](QProgressDialog* progress) {
            label = progress->labelText();
            progress->cancel();
        });
        QElapsedTimer clock;
        clock.start();
        const auto picture = lumavex::scanFromDevice("test:0", slow, &parent);
        QVERIFY(cancel.fired());
        QVERIFY(!picture);
        QCOMPARE(label, QStringLiteral("スキャンしています..."));
        QVERIFY2(clock.elapsed() < 6000, qPrintable(QString::number(clock.elapsed())));
    }

    void sourceSelectionRemembersTheChoice()
    {
        ScriptedUi ui;
        QWidget parent;
        lumavex::setSelectedScannerSource("");
        int rows = 0;
        ModalAnswer<ScannerSourceDialog> choose([&](ScannerSourceDialog* dialog) {
            auto* list = dialog->findChild<QListWidget*>(QStringLiteral("SourceList"));
            rows = list->count();
            list->setCurrentRow(1);
            dialog->accept();
        });
        QVERIFY(lumavex::selectScannerSource(&parent));
        QVERIFY(choose.fired());
        QCOMPARE(rows, 2);
        QCOMPARE(lumavex::selectedScannerSource(), std::string("test:1"));

        // Cancel keeps the earlier choice; the list opens on it.
        int currentRow = -1;
        ModalAnswer<ScannerSourceDialog> cancel([&](ScannerSourceDialog* dialog) {
            auto* list = dialog->findChild<QListWidget*>(QStringLiteral("SourceList"));
            currentRow = list->currentRow();
            list->setCurrentRow(0);
            dialog->reject();
        });
        QVERIFY(!lumavex::selectScannerSource(&parent));
        QVERIFY(cancel.fired());
        QCOMPARE(currentRow, 1);
        QCOMPARE(lumavex::selectedScannerSource(), std::string("test:1"));
        QVERIFY(ui.messages.empty());
    }

    void acquireScansFromTheChosenSourceOrTheFirstOne()
    {
        ScriptedUi ui;
        QWidget parent;
        lumavex::setSelectedScannerSource("test:1");
        const auto chosen = lumavex::acquireScan(&parent);
        QVERIFY(chosen);
        QCOMPARE(chosen->width(), 472);
        QCOMPARE(chosen->height(), 590);
        QVERIFY(allPixels(*chosen, lumavex::kBlack));  // the backend's default picture

        lumavex::setSelectedScannerSource("");
        QVERIFY(lumavex::acquireScan(&parent));

        // A remembered scanner that has gone away is an error, not a silent nothing.
        lumavex::setSelectedScannerSource("test:7");
        QVERIFY_THROWS_EXCEPTION(lumavex::Error, lumavex::acquireScan(&parent));
        lumavex::setSelectedScannerSource("");
        QVERIFY(ui.messages.empty());
    }

    // Last: without a known length the reader thread cannot be let finish before it is
    // stopped, which may leave the allocator locked for later scans in this process.
    void aScanOfUnknownLengthTakesTheLinesThatArrive()
    {
        const auto picture =
            lumavex::scanFromDevice("test:0", colorPattern({{"hand-scanner", "yes"}}), nullptr);
        QVERIFY(picture);
        QCOMPARE(picture->width(), 324);
        QCOMPARE(picture->height(), 501);
    }

private:
    QTemporaryDir m_config;
};

LUMAVEX_QTEST_MAIN(TestScanner)
#include "tst_scanner.moc"
