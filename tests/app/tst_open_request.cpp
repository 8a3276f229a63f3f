// Open requests: the per-user socket, what the server accepts, and `lumavex FILE` handing its
// files to a running editor.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "app/open_request.h"
#include "document/document_window.h"
#include "document/picture_control.h"
#include "formats/picture_io.h"
#include "support/editor_test_support.h"
#include "support/test_pictures.h"
#include "version.h"
#include "support/qtest_main.h"

using namespace lumavex;

namespace {

// A folder of its own for the sockets, as $XDG_RUNTIME_DIR would be. The program as a whole runs
// in a private environment (LUMAVEX_QTEST_MAIN), so the fallback folder in $TMPDIR is the
// test's own too.
struct RuntimeDir {
    test::TempDir dir;
    QString path = QString::fromStdString(dir.path().string());
    RuntimeDir()
    {
        ::chmod(dir.path().c_str(), 0700);
        qputenv("XDG_RUNTIME_DIR", path.toLocal8Bit());
    }
    QString socket() const { return path + QStringLiteral("/hLumavex"); }
};

mode_t modeOf(const QString& path)
{
    struct stat info {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info.st_mode;
}

// Starts the editor on the offscreen platform, with its sockets in the runtime folder.
void startEditor(QProcess& editor, const RuntimeDir& runtime, const QStringList& arguments)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    editor.setProcessEnvironment(env);
    editor.start(QStringLiteral(LUMAVEX_PROGRAM), arguments);
}

// Writes to a server in this process without blocking it, waits for the answer byte if asked,
// and closes the connection once everything was written (or the server dropped it).
QByteArray exchange(const QString& socketName, const QByteArray& data, bool waitForAnswer)
{
    QLocalSocket socket;
    socket.connectToServer(socketName);
    if (!socket.waitForConnected(1000))
        return "no connection";
    socket.write(data);
    socket.flush();
    QByteArray answer;
    if (waitForAnswer) {
        if (!QTest::qWaitFor([&] { return socket.bytesAvailable() > 0; }, 3000))
            return "no answer";
        answer = socket.readAll();
    }
    socket.disconnectFromServer();
    if (!QTest::qWaitFor([&] { return socket.state() == QLocalSocket::UnconnectedState; }, 10000))
        return "not closed";
    return answer;
}

// The bytes of a literal, embedded NULs included, without its terminating one.
template <size_t N>
QByteArray bytes(const char (&literal)[N])
{
    return QByteArray(literal, N - 1);
}

}  // namespace

class TstOpenRequest : public QObject {
    Q_OBJECT
private slots:
    void socketLivesInAPrivateFolder();
    void requestsMustBeAbsoluteFileNames();
    void serverAcceptsNamesAndAnswersTheBatch();
    void junkIsIgnored();
    void onlyOneServerListens();
    void leftoverSocketIsReplaced();
    void secondProcessHandsFilesToTheServer();
    void aBusyEditorStillTakesTheRequest();
    void runningEditorTakesFilesFromASecondStart();
    void commandLineOptions();
};

void TstOpenRequest::socketLivesInAPrivateFolder()
{
    RuntimeDir runtime;
    QCOMPARE(openRequestFolder(), runtime.path);
    QCOMPARE(openRequestSocketName(), runtime.socket());

    const QString fallback =
        qEnvironmentVariable("TMPDIR") + QStringLiteral("/lumavex-%1").arg(::geteuid());
    // The environment's own, not the user's.
    QVERIFY(fallback != QStringLiteral("/tmp/lumavex-%1").arg(::geteuid()));
    // A runtime folder that others may enter is not used.
    ::chmod(runtime.dir.path().c_str(), 0755);
    QCOMPARE(openRequestFolder(), fallback);
    QCOMPARE(modeOf(fallback) & 0777, mode_t(0700));
    QVERIFY(S_ISDIR(modeOf(fallback)));
    // Nor a link, nor a relative name, nor none.
    const QString link = runtime.path + QStringLiteral("/link");
    QDir().mkdir(runtime.path + QStringLiteral("/real"));
    ::chmod(QFile::encodeName(runtime.path + "/real").constData(), 0700);
    QFile::link(runtime.path + QStringLiteral("/real"), link);
    qputenv("XDG_RUNTIME_DIR", link.toLocal8Bit());
    QCOMPARE(openRequestFolder(), fallback);
    qputenv("XDG_RUNTIME_DIR", "relative/folder");
    QCOMPARE(openRequestFolder(), fallback);
    qunsetenv("XDG_RUNTIME_DIR");
    QCOMPARE(openRequestFolder(), fallback);
    // A fallback folder that others may enter is refused altogether.
    ::chmod(QFile::encodeName(fallback).constData(), 0777);
    QCOMPARE(openRequestFolder(), QString());
    QCOMPARE(openRequestSocketName(), QString());
    QVERIFY(!sendOpenRequests({QStringLiteral("/x.bmp")}));
    ::chmod(QFile::encodeName(fallback).constData(), 0700);
    QCOMPARE(openRequestFolder(), fallback);
}

void TstOpenRequest::requestsMustBeAbsoluteFileNames()
{
    QCOMPARE(requestedFileName("/home/u/写真/a.bmp"), std::optional<QString>("/home/u/写真/a.bmp"));
    QCOMPARE(requestedFileName("/home/u/./x/../a.bmp"), std::optional<QString>("/home/u/a.bmp"));
    QCOMPARE(requestedFileName(QByteArray("/") + QByteArray(4095, 'a')).value().size(), 4096);
    for (const QByteArray& junk :
         {QByteArray(), QByteArray("a.bmp"), QByteArray("../a.bmp"), QByteArray("/a\nb.bmp"),
          QByteArray("/a\x7f.bmp"), QByteArray("/\xff\xfe\xfd"), QByteArray("/\xe5\x86"),
          QByteArray("/") + QByteArray(4096, 'a')})
        QVERIFY2(!requestedFileName(junk), junk.constData());
}

void TstOpenRequest::serverAcceptsNamesAndAnswersTheBatch()
{
    RuntimeDir runtime;
    OpenRequestServer server;
    QVERIFY(server.listen());
    QCOMPARE(server.fullServerName(), runtime.socket());
    QCOMPARE(modeOf(runtime.socket()) & 077, mode_t(0));
    QSignalSpy spy(&server, &OpenRequestServer::openRequested);

    const QByteArray answer = exchange(runtime.socket(), bytes("/a/one.bmp\0/a/two.bmp\0\0"), true);
    QCOMPARE(answer, QByteArray(1, '\x06'));
    QTRY_COMPARE(spy.count(), 2);
    QCOMPARE(spy[0][0].toString(), QStringLiteral("/a/one.bmp"));
    QCOMPARE(spy[1][0].toString(), QStringLiteral("/a/two.bmp"));

    // A plain name, ended by the end of the connection.
    exchange(runtime.socket(), "/a/three.bmp", false);
    QTRY_COMPARE(spy.count(), 3);
    QCOMPARE(spy[2][0].toString(), QStringLiteral("/a/three.bmp"));
}

void TstOpenRequest::junkIsIgnored()
{
    RuntimeDir runtime;
    OpenRequestServer server;
    QVERIFY(server.listen());
    QSignalSpy spy(&server, &OpenRequestServer::openRequested);
    QByteArray junk;
    for (int i = 0; i < 3000; ++i)
        junk += static_cast<char>((i * 7919) % 256);
    const QByteArray overlong = QByteArray("/") + QByteArray(20000, 'x');
    exchange(runtime.socket(), junk, false);
    exchange(runtime.socket(), overlong, false);
    exchange(runtime.socket(), overlong + '\0' + "/after/overlong.bmp" + '\0', false);
    exchange(runtime.socket(), bytes("relative.bmp\0/\xff\xfe\0\0"), true);
    // More than a batch may hold: the connection is dropped.
    QCOMPARE(exchange(runtime.socket(), QByteArray(2 << 20, '/'), false), QByteArray());
    // The server still serves; once it answered, the one sound name among the junk has come
    // through, and nothing else.
    QCOMPARE(exchange(runtime.socket(), bytes("/ok.bmp\0\0"), true), QByteArray("\x06"));
    QTRY_COMPARE(spy.count(), 2);
    QCOMPARE((QSet<QString>{spy[0][0].toString(), spy[1][0].toString()}),
             (QSet<QString>{QStringLiteral("/after/overlong.bmp"), QStringLiteral("/ok.bmp")}));
}

void TstOpenRequest::onlyOneServerListens()
{
    RuntimeDir runtime;
    OpenRequestServer first;
    QVERIFY(first.listen());
    OpenRequestServer second;
    QVERIFY(!second.listen());
    QVERIFY(!second.listen(QString()));
    QSignalSpy spy(&first, &OpenRequestServer::openRequested);
    exchange(runtime.socket(), bytes("/x.bmp\0\0"), true);
    QTRY_COMPARE(spy.count(), 1);
}

void TstOpenRequest::leftoverSocketIsReplaced()
{
    RuntimeDir runtime;
    // The socket file of an editor that ended without removing it.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(runtime.socket());
    std::memcpy(address.sun_path, path.constData(), path.size());
    QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    QVERIFY(QFileInfo::exists(runtime.socket()));
    OpenRequestServer server;
    QVERIFY(server.listen());
}

void TstOpenRequest::secondProcessHandsFilesToTheServer()
{
    RuntimeDir runtime;
    OpenRequestServer server;
    QVERIFY(server.listen());
    QSignalSpy spy(&server, &OpenRequestServer::openRequested);
    QProcess editor;
    editor.setWorkingDirectory(runtime.path);
    startEditor(editor, runtime, {QStringLiteral("relative.bmp"), QStringLiteral("/abs/写真.jpg")});
    QVERIFY(editor.waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(editor.state(), QProcess::NotRunning, 10000);
    QCOMPARE(editor.exitStatus(), QProcess::NormalExit);
    QCOMPARE(editor.exitCode(), 0);
    QTRY_COMPARE(spy.count(), 2);
    QCOMPARE(spy[0][0].toString(), runtime.path + QStringLiteral("/relative.bmp"));
    QCOMPARE(spy[1][0].toString(), QStringLiteral("/abs/写真.jpg"));
}

void TstOpenRequest::aBusyEditorStillTakesTheRequest()
{
    RuntimeDir runtime;
    OpenRequestServer server;
    QVERIFY(server.listen());
    QSignalSpy spy(&server, &OpenRequestServer::openRequested);
    // This thread runs no events while it sends and waits, as a busy editor would not.
    QVERIFY(sendOpenRequests({QStringLiteral("/busy/a.bmp"), QStringLiteral("/busy/b.bmp")},
                             runtime.socket(), 2000));
    QCOMPARE(spy.count(), 0);  // the names wait for the event loop
    QTRY_COMPARE(spy.count(), 2);
    QCOMPARE(spy[0][0].toString(), QStringLiteral("/busy/a.bmp"));
    QCOMPARE(spy[1][0].toString(), QStringLiteral("/busy/b.bmp"));
}

void TstOpenRequest::runningEditorTakesFilesFromASecondStart()
{
    RuntimeDir runtime;
    // The running editor is this process's, listening as the program does.
    test::EditorUnderTest running;
    QVERIFY(running.editor.listenForOpenRequests(runtime.socket()));
    const Raster f = test::makeFPicture(8, 8);
    const QString picture = running.writePicture(QStringLiteral("f.bmp"), f);

    // Junk does not bring it down.
    exchange(runtime.socket(), QByteArray(5000, '\xff') + bytes("\0") + "rel\0", false);

    QProcess second;
    startEditor(second, runtime, {picture});
    QVERIFY(second.waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 10000);
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);

    // The file opened in the running editor, in a document of its own.
    QTRY_COMPARE(running.frame->documents().size(), 1);
    DocumentWindow* document = running.frame->documents().first();
    QCOMPARE(document->windowTitle(), picture);
    QCOMPARE(document->fileName(), picture);
    QVERIFY(document->mainPicture()->picture().samePixels(f));
    QVERIFY(running.ui.errors.isEmpty());
    QVERIFY(running.frame->isVisible());
}

void TstOpenRequest::commandLineOptions()
{
    RuntimeDir runtime;
    const auto run = [&](const QStringList& arguments) {
        QProcess editor;
        startEditor(editor, runtime, arguments);
        editor.waitForFinished(10000);
        return std::make_pair(editor.exitCode(), QString::fromUtf8(editor.readAllStandardOutput() +
                                                                   editor.readAllStandardError()));
    };
    const auto [versionStatus, version] = run({QStringLiteral("--version")});
    QCOMPARE(versionStatus, 0);
    QCOMPARE(version, QStringLiteral("Lumavex " LUMAVEX_VERSION "\n"));
    const auto [helpStatus, help] = run({QStringLiteral("--help")});
    QCOMPARE(helpStatus, 0);
    QVERIFY(help.startsWith(QStringLiteral("使い方: lumavex [FILE...]")));
    const auto [badStatus, bad] = run({QStringLiteral("--bogus")});
    QCOMPARE(badStatus, 2);
    QCOMPARE(bad, QStringLiteral("lumavex: 不明なオプションです: --bogus\n"));
    // Nothing listened on the socket meanwhile.
    QVERIFY(!QFileInfo::exists(runtime.socket()));
}

LUMAVEX_QTEST_MAIN(TstOpenRequest)
#include "tst_open_request.moc"
