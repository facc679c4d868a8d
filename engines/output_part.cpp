#include "engines/output_part.h"

#include "platform/remove_closed_file.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Makes the file's data (or a directory's entries) durable before we rely on it.
void SyncPath(const QByteArray& name, int flags) {
    const int fd = ::open(name.constData(), flags | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

QString PartPathOf(const QString& finalPath) {
    if (finalPath.isEmpty()) {
        return QString();
    }
    return finalPath + QLatin1String(PART_SUFFIX);
}

bool IsPartPath(const QString& path) {
    return path.endsWith(QLatin1String(PART_SUFFIX), Qt::CaseInsensitive);
}

bool CommitPart(const QString& finalPath, long* error) {
    const QString part = PartPathOf(finalPath);
    if (part.isEmpty()) {
        if (error != nullptr) {
            *error = ENOENT;
        }
        return false;
    }
    const QByteArray from = QFile::encodeName(part);
    const QByteArray to = QFile::encodeName(finalPath);
    SyncPath(from, O_RDONLY);
    if (std::rename(from.constData(), to.constData()) != 0) {
        if (error != nullptr) {
            *error = errno;
        }
        return false;
    }
    SyncPath(QFile::encodeName(QFileInfo(finalPath).absolutePath()), O_RDONLY | O_DIRECTORY);
    return true;
}

void DiscardPart(const QString& finalPath) {
    const QString part = PartPathOf(finalPath);
    if (!part.isEmpty()) {
        RemoveClosedFile(QFile::encodeName(part));
    }
}
