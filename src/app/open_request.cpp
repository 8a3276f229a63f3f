#include "open_request.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStringDecoder>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <memory>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumavex {

namespace {

constexpr qsizetype kMaxNameBytes = 4096;        // PATH_MAX
constexpr qint64 kMaxConnectionBytes = 1 << 20;  // one batch of requests
constexpr int kMaxConnections = 16;
constexpr int kConnectionTimeoutMs = 10000;
constexpr char kAnswer = '\x06';

// A folder that only this user can enter: a real folder (not a link), owned by the user,
// without group or other permissions.
bool privateFolder(const QByteArray& path)
{
    struct stat info {};
    return ::lstat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::geteuid() && (info.st_mode & 077) == 0;
}

// Whether the other end of a connection runs as this user. The folder already keeps others
// out; this holds even if it were opened.
bool sameUser(const QLocalSocket* socket)
{
#ifdef SO_PEERCRED
    struct ucred peer {};
    socklen_t length = sizeof peer;
    const int fd = static_cast<int>(socket->socketDescriptor());
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 &&
           peer.uid == ::geteuid();
#else
    Q_UNUSED(socket);
    return true;
#endif
}

}  // namespace

QString openRequestFolder()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (runtime.startsWith('/') && privateFolder(runtime))
        return QFile::decodeName(runtime);
    QByteArray temporary = qgetenv("TMPDIR");
    while (temporary.size() > 1 && temporary.endsWith('/'))
        temporary.chop(1);
    if (!temporary.startsWith('/'))
        temporary = "/tmp";
    const QByteArray fallback = temporary + "/lumavex-" + QByteArray::number(::geteuid());
    if (::mkdir(fallback.constData(), 0700) != 0 && errno != EEXIST)
        return {};
    return privateFolder(fallback) ? QFile::decodeName(fallback) : QString();
}

QString openRequestSocketName()
{
    const QString folder = openRequestFolder();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/hLumavex");
}

std::optional<QString> requestedFileName(const QByteArray& request)
{
    if (request.isEmpty() || request.size() > kMaxNameBytes)
        return std::nullopt;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString name = utf8(request);
    if (utf8.hasError())
        return std::nullopt;
    for (const QChar c : name)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return std::nullopt;
    if (!name.startsWith(QLatin1Char('/')))
        return std::nullopt;
    return QDir::cleanPath(name);
}

OpenRequestServer::OpenRequestServer(QObject* parent)
    : QObject(parent), m_thread(new QThread(this)), m_server(new QLocalServer)
{
    // The socket and its connections live on a thread of their own, so a request is taken and
    // answered at once even while the editor is busy; the names reach it queued.
    m_thread->setObjectName(QStringLiteral("open requests"));
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    m_server->setMaxPendingConnections(kMaxConnections);
    m_server->moveToThread(m_thread);
    connect(m_server, &QLocalServer::newConnection, m_server, [this] { acceptConnection(); });
    m_thread->start();
}

OpenRequestServer::~OpenRequestServer()
{
    QLocalServer* server = m_server;
    QMetaObject::invokeMethod(
        server, [server] { delete server; }, Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
}

bool OpenRequestServer::listen(const QString& socketName)
{
    if (socketName.isEmpty())
        return false;
    {
        QLocalSocket probe;
        probe.connectToServer(socketName);
        if (probe.waitForConnected(500))
            return false;
    }
    // Nobody answers: what is left there is the socket of an instance that ended.
    QLocalServer::removeServer(socketName);
    bool listening = false;
    QMetaObject::invokeMethod(
        m_server,
        [this, &socketName, &listening] {
            listening = m_server->listen(socketName);
            m_fullServerName = m_server->fullServerName();
        },
        Qt::BlockingQueuedConnection);
    return listening;
}

QString OpenRequestServer::fullServerName() const
{
    return m_fullServerName;
}

void OpenRequestServer::acceptConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        const int open = static_cast<int>(m_server->findChildren<QLocalSocket*>().size());
        if (!sameUser(socket) || open > kMaxConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        struct Reader {
            QByteArray pending;
            qint64 total = 0;
            bool skipping = false;  // inside a name that is already too long
        };
        auto reader = std::make_shared<Reader>();
        auto take = [this](const QByteArray& request) {
            if (const std::optional<QString> name = requestedFileName(request))
                QMetaObject::invokeMethod(
                    this, [this, file = *name] { emit openRequested(file); }, Qt::QueuedConnection);
        };
        // Drops the connection and whatever part of a name it left unfinished.
        auto drop = [socket, reader] {
            reader->pending.clear();
            reader->skipping = true;
            socket->abort();
        };
        auto read = [socket, reader, take, drop] {
            const QByteArray data = socket->readAll();
            reader->total += data.size();
            if (reader->total > kMaxConnectionBytes) {
                drop();
                return;
            }
            qsizetype start = 0;
            for (qsizetype end; (end = data.indexOf('\0', start)) >= 0; start = end + 1) {
                const QByteArray piece = data.mid(start, end - start);
                if (!reader->skipping && reader->pending.isEmpty() && piece.isEmpty()) {
                    socket->write(&kAnswer, 1);
                    socket->flush();
                } else if (!reader->skipping) {
                    take(reader->pending + piece);
                }
                reader->pending.clear();
                reader->skipping = false;
            }
            if (!reader->skipping) {
                reader->pending += data.mid(start);
                if (reader->pending.size() > kMaxNameBytes) {
                    reader->pending.clear();
                    reader->skipping = true;
                }
            }
        };
        connect(socket, &QLocalSocket::readyRead, socket, read);
        connect(socket, &QLocalSocket::disconnected, socket, [socket, reader, take, read] {
            if (socket->bytesAvailable() > 0)
                read();
            // A name that the end of the connection closes.
            if (!reader->skipping && !reader->pending.isEmpty())
                take(reader->pending);
            reader->pending.clear();
            reader->skipping = true;
            socket->deleteLater();
        });
        QTimer::singleShot(kConnectionTimeoutMs, socket, drop);
        if (socket->bytesAvailable() > 0)
            read();
    }
}

bool sendOpenRequests(const QStringList& files, const QString& socketName, int timeoutMs)
{
    if (socketName.isEmpty() || files.isEmpty())
        return false;
    QLocalSocket socket;
    socket.connectToServer(socketName);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    QByteArray batch;
    for (const QString& file : files)
        batch += QFileInfo(file).absoluteFilePath().toUtf8() + '\0';
    batch += '\0';
    socket.write(batch);
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(timeoutMs))
            return false;
    while (socket.bytesAvailable() == 0)
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
    return socket.read(1) == QByteArray(1, kAnswer);
}

}  // namespace lumavex
