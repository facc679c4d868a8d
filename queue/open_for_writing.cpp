#include "queue/open_for_writing.h"

#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <string>

namespace {

inline constexpr int WRITE_ACCESS_MASK = 03; // O_WRONLY or O_RDWR

// The "flags:" line of /proc/<pid>/fdinfo/<fd>, an octal number.
bool OpenedForWriting(const QString& fdInfoPath) {
    QFile info(fdInfoPath);
    if (!info.open(QIODevice::ReadOnly)) {
        return false;
    }
    // /proc files report a size of 0, so read to the end rather than test atEnd.
    const QList<QByteArray> lines = info.readAll().split('\n');
    for (const QByteArray& line : lines) {
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
    namespace fs = std::filesystem;
    QSet<QString> open;
    const QString canonicalDir = QFileInfo(directory).canonicalFilePath();
    if (canonicalDir.isEmpty()) {
        return open;
    }
    const std::string prefix = (canonicalDir + u'/').toStdString();
    std::error_code error;
    for (fs::directory_iterator process("/proc", error), end; !error && process != end;
         process.increment(error)) {
        const std::string pid = process->path().filename().string();
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::error_code fdError;
        for (fs::directory_iterator fd(process->path() / "fd", fdError); !fdError && fd != end;
             fd.increment(fdError)) {
            std::error_code linkError;
            const std::string target = fs::read_symlink(fd->path(), linkError).string();
            if (linkError || target.compare(0, prefix.size(), prefix) != 0) {
                continue;
            }
            const fs::path info = process->path() / "fdinfo" / fd->path().filename();
            if (OpenedForWriting(QString::fromStdString(info.string()))) {
                open.insert(QString::fromStdString(target));
            }
        }
    }
    return open;
}
