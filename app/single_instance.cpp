#include "app/single_instance.h"

#include "app/trace.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>

namespace {

constexpr int CONNECT_TIMEOUT_MS = 1000;
const QByteArray ACTIVATE_REQUEST = "activate\n";

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

bool SingleInstance::AskRunningInstance() {
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(CONNECT_TIMEOUT_MS)) {
        return false;
    }
    socket.write(ACTIVATE_REQUEST);
    socket.waitForBytesWritten(CONNECT_TIMEOUT_MS);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::ActivateExistingInstance() {
    // The lock makes "nobody answers, so I listen" one step, so two starts at
    // the same moment cannot both become the first instance.
    QLockFile lock(socketPath + QStringLiteral(".lock"));
    lock.setStaleLockTime(5000);
    lock.tryLock(5000);

    if (AskRunningInstance()) {
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
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->readAll().contains(ACTIVATE_REQUEST.trimmed())) {
                emit ActivationRequested();
            }
        });
    }
}
