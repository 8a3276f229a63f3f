#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class QLocalServer;
class QLocalSocket;
class QThread;

namespace lumavex {

/// The folder of this user's open-request socket: $XDG_RUNTIME_DIR when it is a folder of the
/// user's that no one else may enter, otherwise lumavex-<uid> in $TMPDIR (when absolute) or
/// /tmp, created with mode 0700.
/// Empty when neither is such a folder (then no request is sent or received).
QString openRequestFolder();

/// The open-request socket: "hLumavex" in openRequestFolder(), empty when there is none.
QString openRequestSocketName();

/// The file name carried by one request, or nothing when the request is not a file name: not
/// UTF-8, empty, longer than a path may be, with control characters, or not absolute.
std::optional<QString> requestedFileName(const QByteArray& request);

/// The receiving side of open requests: a local socket on which another process, of the same
/// user only, names files to open. A request is a file name in UTF-8 ended by a NUL byte (or
/// by the end of the connection); an empty name ends a batch, and the server answers it with
/// one byte 0x06. Requests that are not file names are ignored. The socket is served on a
/// thread of its own, so requests are taken and answered while the editor is busy.
class OpenRequestServer : public QObject {
    Q_OBJECT
public:
    explicit OpenRequestServer(QObject* parent = nullptr);
    ~OpenRequestServer() override;

    /// Listens on a socket unless another instance already answers there. Returns whether it
    /// listens.
    bool listen(const QString& socketName = openRequestSocketName());
    /// The socket's full path while listening.
    QString fullServerName() const;

signals:
    /// A file was named; emitted from this object's event loop, queued from the socket's thread.
    void openRequested(const QString& fileName);

private:
    /// Runs on the socket's thread.
    void acceptConnection();

    QThread* m_thread;
    QLocalServer* m_server;  // lives on m_thread
    QString m_fullServerName;
};

/// Hands files to the instance listening on the socket, their names made absolute. Returns
/// true when that instance took them all, false when none listens or it did not answer in
/// time.
bool sendOpenRequests(const QStringList& files, const QString& socketName = openRequestSocketName(),
                      int timeoutMs = 3000);

}  // namespace lumavex
