// The editor and its image plug-ins: the folders the user chooses, the open dialog's list, and
// a picture opened through the sample plug-in.
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <filesystem>

#include "dialogs/dialog_test_support.h"
#include "dialogs/plugin_folders_dialog.h"
#include "document/document_window.h"
#include "document/picture_control.h"
#include "formats/spi_plugins.h"
#include "support/editor_test_support.h"
#include "support/qtest_main.h"

using namespace lumavex;

class TstPlugins : public QObject {
    Q_OBJECT
private slots:
    void aChosenFolderLoadsItsPluginsAndTheEditorOpensTheirPictures();
    void lumavexFxReadsTheFoldersAsTheEditorWritesThem();
};

void TstPlugins::lumavexFxReadsTheFoldersAsTheEditorWritesThem()
{
    const test::FirstRun firstRun;
    QCOMPARE(QString::fromStdString(SpiPlugins::settingsFileName()),
             MainWindow::settings()->fileName());
    const QStringList folders = {QStringLiteral("/tmp/a b"), QStringLiteral("/tmp/x,y;z=\\\"q"),
                                 QStringLiteral("/tmp/日本語 "), QStringLiteral("/tmp/\ttab")};
    MainWindow::setPluginFolders(folders);
    QStringList read;
    for (const std::string& folder : SpiPlugins::userDirectories())
        read << QString::fromStdString(folder);
    QCOMPARE(read, folders);
}

void TstPlugins::aChosenFolderLoadsItsPluginsAndTheEditorOpensTheirPictures()
{
    SpiPlugins plugins;
    test::EditorUnderTest t;
    const QString folder = t.path(QStringLiteral("plug-ins"));
    std::filesystem::create_directory(folder.toStdString());
    std::filesystem::copy_file(SAMPLE_PLUGIN, folder.toStdString() + "/netpbm.spi");
    const QString picture = t.path(QStringLiteral("two.ppm"));
    test::writeFile(picture.toStdString(), std::string("P6 2 1 255\n\x01\x02\x03\xfa\xfb\xfc", 17));

    // Before: no plug-in, and the picture is not read.
    QVERIFY(!t.frame->openDocument(picture));
    QCOMPARE(t.ui.errors.size(), 1);

    // The folder is added twice and kept once; OK stores it and loads its plug-in.
    t.ui.folderNames << folder << folder + QStringLiteral("/");
    test::ModalAnswer<PluginFoldersDialog> add([](PluginFoldersDialog* d) {
        test::child<QPushButton>(*d, "AddButton")->click();
        test::child<QPushButton>(*d, "AddButton")->click();
        QCOMPARE(d->folderList()->count(), 1);
        test::child<QPushButton>(*d, "Button1")->click();
    });
    t.frame->onPluginFolders();
    QVERIFY(add.fired());
    QCOMPARE(MainWindow::pluginFolders(), QStringList{folder});
    QCOMPARE(plugins.count(), 1u);

    // Removing it and cancelling changes nothing.
    test::ModalAnswer<PluginFoldersDialog> cancel([](PluginFoldersDialog* d) {
        d->folderList()->setCurrentRow(0);
        test::child<QPushButton>(*d, "RemoveButton")->click();
        QCOMPARE(d->folderList()->count(), 0);
        QVERIFY(!test::child<QPushButton>(*d, "RemoveButton")->isEnabled());
        test::child<QPushButton>(*d, "Button2")->click();
    });
    t.frame->onPluginFolders();
    QVERIFY(cancel.fired());
    QCOMPARE(MainWindow::pluginFolders(), QStringList{folder});

    t.ui.openNames << picture;
    t.frame->onFileOpen();
    QVERIFY(t.ui.filters.last().endsWith(QStringLiteral(
        "|GIF|*.GIF|Netpbm pictures (*.ppm;*.pgm;*.pbm;*.pnm)|*.ppm;*.pgm;*.pbm;*.pnm")));
    QCOMPARE(t.ui.errors.size(), 1);
    DocumentWindow* document = t.frame->activeDocument();
    QCOMPARE(document->fileName(), picture);
    const Raster& opened = document->mainPicture()->picture();
    QCOMPARE(opened.width(), 2);
    QCOMPARE(opened.pixel(0, 0), makeColor(1, 2, 3));
    QCOMPARE(opened.pixel(1, 0), makeColor(250, 251, 252));
    QVERIFY(!plugins.onProgress);

    // Taken off the list, the folder's plug-in goes, and its filter with it.
    test::ModalAnswer<PluginFoldersDialog> remove([](PluginFoldersDialog* d) {
        d->folderList()->setCurrentRow(0);
        test::child<QPushButton>(*d, "RemoveButton")->click();
        test::child<QPushButton>(*d, "Button1")->click();
    });
    t.frame->onPluginFolders();
    QVERIFY(remove.fired());
    QVERIFY(MainWindow::pluginFolders().isEmpty());
    QCOMPARE(plugins.count(), 0u);
    QVERIFY(!t.frame->openFilter().contains(QStringLiteral("Netpbm")));
    QVERIFY(!t.frame->openDocument(picture));
}

LUMAVEX_QTEST_MAIN(TstPlugins)
#include "tst_plugins.moc"
