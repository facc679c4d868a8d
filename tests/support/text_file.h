#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace testsupport {

// Writes `bytes` as the whole file; false when it cannot be written.
inline bool WriteText(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// The whole file; empty when it cannot be read.
inline QByteArray ReadText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace testsupport
