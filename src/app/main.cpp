// The editor starts here: `lumavex [FILE...]`. When an instance already runs for this user,
// the files are handed to it and this process ends.
#include <QApplication>
#include <QFile>
#include <QTimer>

#include "app/editor.h"
#include "app/glyphs.h"
#include "app/main_form.h"
#include "app/open_request.h"
#include "bridge/fonts.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumavex"));
    QApplication::setApplicationVersion(QStringLiteral("0.07"));
    QApplication::setDesktopFileName(QStringLiteral("lumavex"));

    // Qt has taken its own options out of argv; the rest are files.
    QStringList files;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QFile::decodeName(argv[i]);
        if (options && argument == QLatin1String("--")) {
            options = false;
            continue;
        }
        files << argument;
    }

    const QString socket = lumavex::openRequestSocketName();
    if (!files.isEmpty() && lumavex::sendOpenRequests(files, socket))
        return 0;

    lumavex::installFonts();
    QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
    font.setPixelSize(12);
    QApplication::setFont(font);
    QApplication::setWindowIcon(lumavex::programIcon());

    lumavex::Editor editor;
    lumavex::TMainForm* frame = editor.mainForm();
    // The run ends when the frame closes, even while a modeless dialog is still open.
    QApplication::setQuitOnLastWindowClosed(false);
    QObject::connect(frame, &lumavex::TMainForm::closed, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);

    lumavex::OpenRequestServer server;
    QObject::connect(&server, &lumavex::OpenRequestServer::openRequested, frame,
                     &lumavex::TMainForm::openRequested);
    server.listen(socket);

    frame->show();
    QTimer::singleShot(0, frame, [frame, files] {
        for (const QString& file : files)
            frame->openDocument(file);
    });
    return app.exec();
}
