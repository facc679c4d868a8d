#include "queue/open_for_writing.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

inline constexpr int WRITE_ACCESS_MASK = 03; // O_WRONLY or O_RDWR

// The "flags:" line of /proc/<pid>/fdinfo/<fd>, an octal number.
bool OpenedForWriting(const QString& fdInfoPath) {
    QFile info(fdInfoPath);
    if (!info.open(QIODevice::ReadOnly)) {
        return false;
    }
    while (!info.atEnd()) {
        const QByteArray line = info.readLine(256);
        if (line.startsWith("flags:")) {
            bool ok = false;
            const int flags = line.mid(6).trimmed().toInt(&ok, 8);
            return ok && (flags & WRITE_ACCESS_MASK) != 0;
        }
    }
    return false;
}

} // namespace

QSet<QString> FilesOpenForWriting(const QString& directory) {
    QSet<QString> open;
    const QString canonicalDir = QFileInfo(directory).canonicalFilePath();
    if (canonicalDir.isEmpty()) {
        return open;
    }
    const QString prefix = canonicalDir + u'/';
    const QDir proc(QStringLiteral("/proc"));
    const QStringList pids = proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& pid : pids) {
        bool numeric = false;
        pid.toInt(&numeric);
        if (!numeric) {
            continue;
        }
        const QString fdDir = QStringLiteral("/proc/%1/fd").arg(pid);
        const QStringList fds = QDir(fdDir).entryList(QDir::Files | QDir::System);
        for (const QString& fd : fds) {
            const QString target = QFile::symLinkTarget(fdDir + u'/' + fd);
            if (!target.startsWith(prefix)) {
                continue;
            }
            if (OpenedForWriting(QStringLiteral("/proc/%1/fdinfo/%2").arg(pid, fd))) {
                open.insert(target);
            }
        }
    }
    return open;
}
