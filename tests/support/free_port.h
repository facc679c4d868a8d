#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace testsupport {

// A port nobody listens on just now at this loopback address, for a program
// under test to serve on, so that runs in parallel never meet on one port.
quint16 FreePort(const QString& address = QStringLiteral("127.0.0.1"));

// The options that make a headless run serve on 127.0.0.1 at a free port.
QStringList LoopbackServingOptions();

} // namespace testsupport
