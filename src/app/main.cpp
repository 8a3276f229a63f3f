// The editor starts here: `lumavex [FILE...]`. When an instance already runs for this user,
// the files are handed to it and this process ends.
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include <cstdio>

#include "app/editor.h"
#include "app/glyphs.h"
#include "app/main_window.h"
#include "version.h"
#include "app/open_request.h"
#include "bridge/fonts.h"
#include "dialogs/form_support.h"
#include "formats/spi_plugins.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumavex"));
    QApplication::setApplicationVersion(QStringLiteral(LUMAVEX_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("lumavex"));

    // Qt has taken its own options out of argv; the rest are files, named absolutely so that
    // titles and saves do not depend on the folder the editor was started in.
    QStringList files;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QFile::decodeName(argv[i]);
        if (options && argument.startsWith(QLatin1Char('-'))) {
            if (argument == QLatin1String("--")) {
                options = false;
            } else if (argument == QLatin1String("-h") || argument == QLatin1String("--help")) {
                std::fputs(
                    "使い方: lumavex [FILE...]\n"
                    "画像ファイルをそれぞれの文書ウィンドウで開きます。Lumavex がすでに"
                    "動いているときは、そちらで開きます。\n",
                    stdout);
                return 0;
            } else if (argument == QLatin1String("--version")) {
                std::fputs("Lumavex " LUMAVEX_VERSION "\n", stdout);
                return 0;
            } else {
                std::fprintf(stderr, "lumavex: 不明なオプションです: %s\n", argv[i]);
                return 2;
            }
            continue;
        }
        files << QFileInfo(argument).absoluteFilePath();
    }

    const QString socket = lumavex::openRequestSocketName();
    if (!files.isEmpty() && lumavex::sendOpenRequests(files, socket))
        return 0;

    // Qt's own texts (message box buttons, the window menus of documents) in Japanese, like the
    // rest of the program, whatever the system's language.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Japanese), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    lumavex::installFonts();
    QApplication::setFont(lumavex::formFont());
    QApplication::setWindowIcon(lumavex::programIcon());

    // Image plug-ins from the user's folders, the program's and the system plug-in folder add
    // their formats before the first document opens.
    lumavex::SpiPlugins plugins;
    lumavex::MainWindow::searchPlugins();
    lumavex::Editor editor;
    lumavex::MainWindow* frame = editor.mainWindow();
    // The run ends when the frame closes, even while a modeless dialog is still open.
    QApplication::setQuitOnLastWindowClosed(false);
    QObject::connect(frame, &lumavex::MainWindow::closed, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);

    editor.listenForOpenRequests(socket);

    frame->show();
    QTimer::singleShot(0, frame, [frame, files] {
        for (const QString& file : files)
            frame->openDocument(file);
    });
    return app.exec();
}
