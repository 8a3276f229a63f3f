// The "ﾌｧｲﾙ(&F)" menu: new, open, recent files, save, print, scanner, settings and exit.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QToolButton>

#include <algorithm>

#include "app/editor.h"
#include "app/main_window.h"
#include "dialogs/plugin_folders_dialog.h"
#include "dialogs/processing_parameters_dialog.h"
#include "dialogs/ui_services.h"
#include "document/document_window.h"
#include "document/error_box.h"
#include "document/picture_control.h"
#include "core/color.h"
#include "formats/picture_io.h"
#include "formats/registry.h"
#include "formats/spi_plugins.h"

namespace lumavex {

namespace {

const QString kOpenFilter = QStringLiteral(
    "すべてのﾌｧｲﾙ (*.*)|*.*|Device Independent Bitmap (*.dib)|*.dib|JPEG Image File "
    "(*.jpg,*.jpeg)|*.jpg;*.jpeg|JPEG Image File (*.jpeg)|*.jpeg|ﾋﾞｯﾄﾏｯﾌﾟ (*.bmp)|*.bmp|ｱｲｺﾝ "
    "(*.ico)|*.ico|ｴﾝﾊﾝｽ ﾒﾀﾌｧｲﾙ (*.emf)|*.emf|ﾒﾀﾌｧｲﾙ (*.wmf)|*.wmf|GIF|*.GIF");

}  // namespace

// Every format the program writes, as the format registry names it: one entry a description
// (".jpg" and ".jpeg" together), after one for all of them.
QString MainWindow::saveFilter() const
{
    QStringList all;
    QList<std::pair<QString, QStringList>> entries;
    for (const std::string& extension : savableExtensions()) {
        const PictureFormat* format = PictureFormats::instance().find(extension);
        const QString description = QString::fromStdString(format->description);
        const QString pattern = QStringLiteral("*.") + QString::fromStdString(extension);
        all << pattern;
        const auto same = std::find_if(entries.begin(), entries.end(), [&](const auto& entry) {
            return entry.first == description;
        });
        if (same != entries.end())
            same->second << pattern;
        else
            entries.append({description, {pattern}});
    }
    QStringList filter{QStringLiteral("すべての画像ﾌｧｲﾙ"), all.join(QLatin1Char(';'))};
    for (const auto& [description, patterns] : entries)
        filter << description << patterns.join(QLatin1Char(';'));
    return filter.join(QLatin1Char('|'));
}

QString MainWindow::openFilter() const
{
    QString filter = kOpenFilter;
    if (const SpiPlugins* plugins = SpiPlugins::instance())
        for (size_t i = 0; i < plugins->count(); ++i) {
            const SpiPlugin& plugin = plugins->at(i);
            if (plugin.kind() != SpiPlugin::Kind::Import)
                continue;
            for (size_t f = 0; f < plugin.filters().size(); ++f) {
                const QString patterns = QString::fromStdString(plugin.filters()[f]);
                filter += QLatin1Char('|') + QString::fromStdString(plugin.descriptions()[f]) +
                          QStringLiteral(" (") + patterns + QStringLiteral(")|") + patterns;
            }
        }
    return filter;
}

QStringList MainWindow::pluginFolders()
{
    return settings()
        ->value(QStringLiteral("Plug-in/Path"))
        .toString()
        .split(QDir::listSeparator(), Qt::SkipEmptyParts);
}

void MainWindow::setPluginFolders(const QStringList& folders)
{
    settings()->setValue(QStringLiteral("Plug-in/Path"), folders.join(QDir::listSeparator()));
}

void MainWindow::searchPlugins()
{
    SpiPlugins* plugins = SpiPlugins::instance();
    if (!plugins)
        return;
    std::vector<std::string> folders;
    for (const QString& folder : pluginFolders())
        folders.push_back(QFile::encodeName(folder).toStdString());
    for (const std::string& folder : SpiPlugins::defaultDirectories())
        folders.push_back(folder);
    plugins->search(folders);
}

void MainWindow::onPluginFolders()
{
    const QStringList before = pluginFolders();
    PluginFoldersDialog dialog(before, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QStringList after = dialog.folders();
    setPluginFolders(after);
    // The plug-ins of a folder taken off the list go at once, and their filters with them; the
    // search then loads those of the program's own folders again, should one be the same.
    if (SpiPlugins* plugins = SpiPlugins::instance())
        for (const QString& folder : before)
            if (!after.contains(folder))
                plugins->removeFolder(QFile::encodeName(folder).toStdString());
    searchPlugins();
}

void MainWindow::createFileMenu()
{
    const MenuItem items[] = {
        {"FileNewItem", "新規作成(&N)", "新しいﾌｧｲﾙを作成します", &MainWindow::onFileNew, true},
        {"FileOpenItem", "開く(&O)...", "既存のﾌｧｲﾙを開きます", &MainWindow::onFileOpen, true},
        {"FileSaveItem", "上書き保存(&S)", "現在のﾌｧｲﾙを保存します", &MainWindow::onFileSave,
         false},
        {"FileSaveAsItem", "名前をつけて保存(&A)...", "ﾌｧｲﾙを別の名前をつけて保存します",
         &MainWindow::onFileSaveAs, false},
        {"N5", "-", "", nullptr, true},
        {"N6", "ﾃﾞｰﾀｿｰｽ", "", &MainWindow::onSelectScannerSource, true},
        {"Aquair1", "Aquair-ｽｷｬﾅ", "", &MainWindow::onAcquireScan, true},
        {"N1", "-", "", nullptr, true},
        {"FilePrintItem", "印刷(&P)...", "ﾌｧｲﾙを印刷します", &MainWindow::onFilePrint, false},
        {"FilePrintSetupItem", "ﾌﾟﾘﾝﾀの設定(&R)...", "ﾌﾟﾘﾝﾀの設定を変更します",
         &MainWindow::onPrintSetup, true},
        {"N4", "-", "", nullptr, true},
        {"N2", "処理設定", "", &MainWindow::onProcessingSettings, true},
        {"PluginFoldersItem", "ﾌﾟﾗｸﾞｲﾝのﾌｫﾙﾀﾞ...", "画像ﾌﾟﾗｸﾞｲﾝを探すﾌｫﾙﾀﾞを選びます",
         &MainWindow::onPluginFolders, true},
        {"FileExitItem", "終了(&X)", "このｱﾌﾟﾘｹｰｼｮﾝを終了します", &MainWindow::onFileExit, true},
        {"Open21", "-", "", nullptr, true},
    };
    m_fileMenu = addFrameMenu(QStringLiteral("ﾌｧｲﾙ(&F)"), QStringLiteral("FileMenu"), 0, items);
    menuItem(QStringLiteral("FileNewItem"))->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    menuItem(QStringLiteral("FileOpenItem"))->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(m_fileMenu, &QMenu::aboutToShow, this, &MainWindow::onFileMenuShow);
}

QList<QAction*> MainWindow::recentFileItems() const
{
    QList<QAction*> items;
    bool afterOpen21 = false;
    for (QAction* action : m_fileMenu->actions()) {
        if (afterOpen21)
            items << action;
        else if (action->objectName() == QLatin1String("Open21"))
            afterOpen21 = true;
    }
    return items;
}

void MainWindow::addRecentFile(const QString& fileName)
{
    // The caption shows the name as it is ("&" is not a mnemonic here); the item keeps the
    // exact name to open.
    QString caption = fileName;
    caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
    QAction* item = m_fileMenu->addAction(caption);
    item->setData(fileName);
    connect(item, &QAction::triggered, this, [this, item] { onRecentFile(item); });
}

void MainWindow::onFileMenuShow()
{
    const bool any = !documents().isEmpty();
    for (const char* name : {"FileSaveItem", "FileSaveAsItem", "N6", "Aquair1"})
        menuItem(QString::fromLatin1(name))->setEnabled(any);
    // The print item follows the print button.
    menuItem(QStringLiteral("FilePrintItem"))->setEnabled(speedButton(4)->isEnabled());
}

QString MainWindow::newPictureName(int openDocuments) const
{
    const QString folder = m_picturesFolder + QLatin1Char('/');
    const int free =
        UniqueNumberedName(QFile::encodeName(folder + QStringLiteral("New.bmp")).toStdString())
            .second;
    // The count of open windows is added to the first free number; a number whose file
    // exists or that an open window already carries is passed over, so that saving a new
    // picture never overwrites another one.
    QStringList taken;
    for (const DocumentWindow* document : documents())
        taken << document->fileName();
    for (int number = free + openDocuments;; ++number) {
        const QString name = folder + QStringLiteral("New(%1).bmp").arg(number);
        if (!QFileInfo::exists(name) && !taken.contains(name))
            return name;
    }
}

void MainWindow::onFileNew()
{
    reportErrors(this, [&] {
        m_buttonPanel->setVisible(true);
        const int openDocuments = static_cast<int>(documents().size());
        const QString name = newPictureName(openDocuments);
        DocumentWindow* document = createDocument();
        const Color background =
            Editor::instance().processingParameters()->panelColor(QStringLiteral("BGColor"));
        // The brush keeps the background colour, so a picture that grows later fills with it.
        Raster picture(10, 10, background);
        picture.setBrushColor(background);
        document->mainPicture()->setPicture(std::move(picture));
        document->setFileName(name);
        document->setWindowTitle(name);
        fitDocument(document);
    });
}

void MainWindow::onFileOpen()
{
    const QString name = UiServices::current().openFileName(this, openFilter());
    if (name.isEmpty())
        return;
    if (openDocument(name))
        addRecentFile(name);
}

void MainWindow::onRecentFile(QAction* item)
{
    openDocument(item->data().toString());
}

void MainWindow::onFileSave()
{
    DocumentWindow* document = activeDocument();
    if (!document)
        return;
    if (UiServices::current().ask(this, QStringLiteral("確認"),
                                  QStringLiteral("上書き保存します。"),
                                  QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok)
        return;
    reportErrors(this,
                 [&] { document->savePicture(document->mainPicture(), document->fileName()); });
}

void MainWindow::onFileSaveAs()
{
    DocumentWindow* document = activeDocument();
    if (!document)
        return;
    const QString name = UiServices::current().saveFileName(this, saveFilter());
    if (name.isEmpty())
        return;
    // A JPEG or WebP name asks for the quality, starting from the one chosen last; WebP also
    // whether to compress losslessly.
    const std::string extension = lowerExtension(QFile::encodeName(name).toStdString());
    const bool jpeg = extension == "jpg" || extension == "jpeg";
    if (jpeg || extension == "webp") {
        const std::unique_ptr<QSettings> remembered = settings();
        const QString key =
            jpeg ? QStringLiteral("save/jpegQuality") : QStringLiteral("save/webpQuality");
        bool lossless = remembered->value(QStringLiteral("save/webpLossless"), false).toBool();
        const std::optional<int> quality = UiServices::current().askQuality(
            this, jpeg ? QStringLiteral("JPEG") : QStringLiteral("WebP"),
            remembered->value(key, 75).toInt(), jpeg ? nullptr : &lossless);
        if (!quality)
            return;
        remembered->setValue(key, *quality);
        if (!jpeg)
            remembered->setValue(QStringLiteral("save/webpLossless"), lossless);
        document->setSaveQuality(*quality, lossless);
    }
    reportErrors(this, [&] { document->savePicture(document->mainPicture(), name); });
}

void MainWindow::onFilePrint()
{
    if (DocumentWindow* document = activeDocument())
        reportErrors(this, [&] { document->printPicture(); });
}

void MainWindow::onPrintSetup()
{
    reportErrors(this, [&] { UiServices::current().printSetup(this, printer()); });
}

void MainWindow::onFileExit()
{
    close();
}

void MainWindow::onSelectScannerSource()
{
    if (DocumentWindow* document = activeDocument())
        reportErrors(this, [&] { document->selectSource(); });
}

void MainWindow::onAcquireScan()
{
    if (DocumentWindow* document = activeDocument())
        reportErrors(this, [&] { document->acquireScan(); });
}

void MainWindow::onProcessingSettings()
{
    Editor::instance().processingParameters()->showModeless();
}

}  // namespace lumavex
