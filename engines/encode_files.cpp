#include "engines/encode_files.h"

#include <QFile>
#include <QString>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

long CreateDestination(QFile& file, const QString& path) {
    file.close();
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty()) {
        return ENOENT;
    }
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        return errno;
    }
    if (!file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        const long error = errno != 0 ? errno : EIO;
        ::close(fd);
        return error;
    }
    return 0;
}

long LastSystemError() {
    return errno;
}
