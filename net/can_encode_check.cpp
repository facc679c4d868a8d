#include "net/can_encode_check.h"

#include "app/trace.h"
#include "net/net_records.h"
#include "net/protocol.h"
#include "net/unc.h"
#include "platform/remove_closed_file.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// 0 when the file opens for reading, else the system's error number.
int OpenForReadingError(const QString& path) {
    // Non-blocking, so a named pipe in the share cannot hold the answer up.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    struct stat info {};
    const int error = ::fstat(fd, &info) != 0 ? errno : (S_ISREG(info.st_mode) ? 0 : EISDIR);
    ::close(fd);
    return error;
}

// 0 when a new file can be made in the directory, else the error number.
int CreateInError(const QString& directory) {
    const QByteArray probe = QFile::encodeName(directory + QStringLiteral("/lkj.lkj"));
    const int fd = ::open(probe.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0) {
        ::close(fd);
        if (const int error = RemoveClosedFile(probe); error != 0) {
            Trace("oncanencode: could not remove %s, error = %d\n", probe.constData(), error);
        }
        return 0;
    }
    const int error = errno;
    if (error != EEXIST) {
        return error;
    }
    // Someone's own file of that name stays; a private probe is used instead.
    QTemporaryFile own(directory + QStringLiteral("/lkj.XXXXXX"));
    return own.open() ? 0 : EACCES; // removed with `own`
}

} // namespace

std::uint32_t CheckCanEncode(const EncodeJob& job, const CodecLookup& hasCodec,
                             const QString& serverAddress, UncMapping* unmapped) {
    if (!hasCodec || !hasCodec(job)) {
        return CANENCODE_NOCODEC;
    }
    const UncMapping source = MapUncPath(job.source, serverAddress);
    const int readError =
        source.problem != UncProblem::None ? ENOENT : OpenForReadingError(source.localPath);
    if (readError != 0) {
        Trace("oncanencode: couldn't open the wave file with CreateFile. error = %ld file = %s\n",
              long(readError), job.source.toUtf8().constData());
        if (unmapped != nullptr && source.problem != UncProblem::None) {
            *unmapped = source;
        }
        return CANENCODE_NOREAD;
    }
    const UncMapping destination = MapUncPath(job.destination, serverAddress);
    const QString directory = QFileInfo(destination.localPath).absolutePath();
    const int writeError =
        destination.problem != UncProblem::None ? ENOENT : CreateInError(directory);
    if (writeError != 0) {
        Trace("oncanencode: couldn't open the file with CreateFile. error = %ld file = %s\n",
              long(writeError), (directory + QStringLiteral("/lkj.lkj")).toUtf8().constData());
        if (unmapped != nullptr && destination.problem != UncProblem::None) {
            *unmapped = destination;
        }
        return CANENCODE_NOWRITE;
    }
    return CANENCODE_OK;
}
