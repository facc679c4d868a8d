#include "queue/error_list.h"

#include <QFile>

namespace {

inline constexpr qint64 LINE_BUFFER = 1024;

} // namespace

QStringList LoadErrors(const QString& logPath) {
    QStringList lines;
    QFile file(logPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return lines;
    }
    while (!file.atEnd()) {
        // readLine stops after LINE_BUFFER - 1 bytes, like a fixed buffer.
        QByteArray piece = file.readLine(LINE_BUFFER);
        if (piece.isEmpty() && file.error() != QFileDevice::NoError) {
            break;
        }
        // Zeros are what a crash can leave at the end of a file, never text.
        piece.replace('\0', QByteArray());
        while (!piece.isEmpty() && (piece.endsWith('\n') || piece.endsWith('\r'))) {
            piece.chop(1);
        }
        if (!piece.isEmpty()) {
            lines.append(QString::fromUtf8(piece));
        }
    }
    return lines;
}

bool OnClearErrors(const QString& logPath) {
    QFile::remove(logPath);
    return !QFile::exists(logPath);
}
