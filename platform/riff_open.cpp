#include "platform/riff_open.h"

#include <QFile>
#include <QString>
#include <cerrno>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

long OpenForSequentialRead(QFile& file, const QString& path) {
    file.close();
#ifdef Q_OS_UNIX
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty()) {
        return ENOENT;
    }
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return errno;
    }
    struct stat info {};
    long error = 0;
    if (::fstat(fd, &info) != 0) {
        error = errno;
    } else if (S_ISDIR(info.st_mode)) {
        error = EISDIR;
    } else if (!S_ISREG(info.st_mode)) {
        error = EINVAL;
    }
    if (error == 0) {
        // Regular files ignore O_NONBLOCK; clear it anyway so reads behave plainly.
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
        if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
            error = EIO;
        }
    }
    if (error != 0) {
        ::close(fd);
    }
    return error;
#else
    file.setFileName(path);
    return file.open(QIODevice::ReadOnly) ? 0 : static_cast<long>(file.error());
#endif
}
