#include "support/free_port.h"

#include <QHostAddress>
#include <QTcpServer>

namespace testsupport {

quint16 FreePort(const QString& address) {
    QTcpServer probe;
    return probe.listen(QHostAddress(address), 0) ? probe.serverPort() : quint16(0);
}

QStringList LoopbackServingOptions() {
    return {QStringLiteral("--bind"), QStringLiteral("127.0.0.1"), QStringLiteral("--port"),
            QString::number(FreePort())};
}

} // namespace testsupport
