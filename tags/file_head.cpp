#include "tags/file_head.h"

#include "app/trace.h"

#include <QFile>
#include <QSaveFile>

namespace {

constexpr qint64 COPY_CHUNK = 256 * 1024;

bool WriteInPlace(const QString& path, const std::string& head) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly | QIODevice::Unbuffered)) {
        return false;
    }
    return file.write(head.data(), qint64(head.size())) == qint64(head.size());
}

bool WriteBeside(const QString& path, std::uint64_t oldHeadSize, const std::string& head) {
    QFile source(path);
    if (!source.open(QIODevice::ReadOnly) || !source.seek(qint64(oldHeadSize))) {
        return false;
    }
    QSaveFile target(path);
    if (!target.open(QIODevice::WriteOnly)) {
        return false;
    }
    if (target.write(head.data(), qint64(head.size())) != qint64(head.size())) {
        target.cancelWriting();
        return false;
    }
    QByteArray chunk;
    while (!source.atEnd()) {
        chunk = source.read(COPY_CHUNK);
        if (chunk.isEmpty() || target.write(chunk) != chunk.size()) {
            target.cancelWriting();
            return false;
        }
    }
    if (target.size() != qint64(head.size()) + source.size() - qint64(oldHeadSize)) {
        target.cancelWriting();
        return false;
    }
    return target.commit();
}

} // namespace

std::vector<std::uint8_t> ReadFileHead(const QString& path, std::uint64_t count) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray bytes = file.read(qint64(std::min<std::uint64_t>(count, file.size())));
    return {bytes.begin(), bytes.end()};
}

bool ReplaceFileHead(const QString& path, std::uint64_t oldHeadSize, const std::string& newHead) {
    const bool done = newHead.size() == oldHeadSize ? WriteInPlace(path, newHead)
                                                    : WriteBeside(path, oldHeadSize, newHead);
    if (!done) {
        Trace("WriteTagToFile: couldn't rewrite the head of %s\n", qPrintable(path));
    }
    return done;
}
