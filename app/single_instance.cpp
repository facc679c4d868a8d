#include "app/single_instance.h"

#include "app/trace.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <memory>

namespace {

constexpr int CONNECT_TIMEOUT_MS = 1000;
// A request is "activate" and a "file <percent-encoded path>" line per file;
// anything larger than this is no later start of ours.
constexpr qsizetype MAX_REQUEST_BYTES = 4 * 1024 * 1024;
const QByteArray ACTIVATE_LINE = "activate";
const QByteArray FILE_PREFIX = "file ";

QString DefaultSocketPath() {
    QString directory = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (directory.isEmpty()) {
        directory = QDir::tempPath();
    }
    return QDir(directory).filePath(QStringLiteral("corvane-encoder.sock"));
}

} // namespace

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : QObject(parent), socketPath(socketPath.isEmpty() ? DefaultSocketPath() : socketPath) {}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::AskRunningInstance(const QStringList& files) {
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(CONNECT_TIMEOUT_MS)) {
        return false;
    }
    QByteArray request = ACTIVATE_LINE + '\n';
    for (const QString& file : files) {
        request += FILE_PREFIX + file.toUtf8().toPercentEncoding() + '\n';
    }
    socket.write(request);
    while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(CONNECT_TIMEOUT_MS)) {
    }
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) {
        socket.waitForDisconnected(CONNECT_TIMEOUT_MS);
    }
    return true;
}

bool SingleInstance::ActivateExistingInstance(const QStringList& files) {
    // The lock makes "nobody answers, so I listen" one step, so two starts at
    // the same moment cannot both become the first instance.
    QLockFile lock(socketPath + QStringLiteral(".lock"));
    lock.setStaleLockTime(5000);
    lock.tryLock(5000);

    if (AskRunningInstance(files)) {
        Trace("ActivateExistingInstance: another instance runs\n");
        return false;
    }
    server = std::make_unique<QLocalServer>();
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(socketPath)) {
        // Nobody answered, so a socket file left here belongs to an instance
        // that was killed; it may be removed.
        QLocalServer::removeServer(socketPath);
        if (!server->listen(socketPath)) {
            Trace("ActivateExistingInstance: cannot listen on %s\n", qPrintable(socketPath));
            server.reset();
            return true;
        }
    }
    connect(server.get(), &QLocalServer::newConnection, this, &SingleInstance::OnNewConnection);
    return true;
}

void SingleInstance::OnNewConnection() {
    while (QLocalSocket* socket = server->nextPendingConnection()) {
        // The request is whole when the other start hangs up.
        auto request = std::make_shared<QByteArray>();
        auto take = [socket, request] {
            request->append(socket->readAll());
            if (request->size() > MAX_REQUEST_BYTES) {
                request->clear();
                socket->abort();
            }
        };
        connect(socket, &QLocalSocket::readyRead, this, take);
        connect(socket, &QLocalSocket::disconnected, this, [this, socket, request, take] {
            take();
            socket->deleteLater();
            HandleRequest(*request);
        });
    }
}

void SingleInstance::HandleRequest(const QByteArray& request) {
    const QList<QByteArray> lines = request.split('\n');
    if (lines.isEmpty() || lines.front() != ACTIVATE_LINE) {
        return;
    }
    QStringList files;
    for (const QByteArray& line : lines) {
        if (line.startsWith(FILE_PREFIX)) {
            files.append(
                QString::fromUtf8(QByteArray::fromPercentEncoding(line.mid(FILE_PREFIX.size()))));
        }
    }
    Trace("ActivateExistingInstance: another start asks to come forward with %d files\n",
          int(files.size()));
    emit ActivationRequested(files);
}
