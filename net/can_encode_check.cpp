#include "net/can_encode_check.h"

#include "app/trace.h"
#include "net/net_records.h"
#include "net/protocol.h"
#include "net/unc.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>

namespace {

bool CanCreateIn(const QString& directory) {
    QFile probe(directory + QStringLiteral("/lkj.lkj"));
    if (probe.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        probe.close();
        probe.remove();
        return true;
    }
    if (!probe.exists()) {
        return false;
    }
    QTemporaryFile own(directory + QStringLiteral("/lkj.XXXXXX"));
    return own.open(); // removed with `own`
}

} // namespace

std::uint32_t CheckCanEncode(const EncodeJob& job, bool busy, const CodecLookup& hasCodec) {
    if (busy) {
        return CANENCODE_BUSY;
    }
    if (!hasCodec || !hasCodec(job)) {
        return CANENCODE_NOCODEC;
    }
    const QString source = getlocalfilename(job.source);
    QFile wave(source);
    if (source.isEmpty() || !wave.open(QIODevice::ReadOnly | QIODevice::ExistingOnly)) {
        Trace("oncanencode: couldn't open the wave file with CreateFile. error = %ld file = %s\n",
              long(errno), job.source.toUtf8().constData());
        return CANENCODE_NOREAD;
    }
    wave.close();
    const QString destination = getlocalfilename(job.destination);
    const QString directory = QFileInfo(destination).absolutePath();
    if (destination.isEmpty() || !CanCreateIn(directory)) {
        Trace("oncanencode: couldn't open the file with CreateFile. error = %ld file = %s\n",
              long(errno), (directory + QStringLiteral("/lkj.lkj")).toUtf8().constData());
        return CANENCODE_NOWRITE;
    }
    return CANENCODE_OK;
}
