#include "queue/wave_completeness.h"

#include <QFile>
#include <QtEndian>
#include <cstring>

namespace {

// More chunks than any real file has; the walk stops there.
inline constexpr int MAX_CHUNKS = 1024;

} // namespace

bool LooksWholeWave(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return true;
    }
    const qint64 size = file.size();
    char header[12] = {};
    const qint64 got = file.read(header, sizeof header);
    if (got < 4) {
        // Empty, or the first bytes of "RIFF": the writer has barely begun.
        return got > 0 && std::memcmp(header, "RIFF", std::size_t(got)) != 0;
    }
    if (std::memcmp(header, "RIFF", 4) != 0) {
        return true;
    }
    if (got < 12) {
        return false;
    }
    if (std::memcmp(header + 8, "WAVE", 4) != 0) {
        return true;
    }
    qint64 offset = 12;
    for (int chunk = 0; chunk < MAX_CHUNKS; ++chunk) {
        char chunkHeader[8];
        if (!file.seek(offset) || file.read(chunkHeader, 8) != 8) {
            // No data chunk yet.
            return false;
        }
        const qint64 length = qFromLittleEndian<quint32>(chunkHeader + 4);
        if (std::memcmp(chunkHeader, "data", 4) == 0) {
            return offset + 8 + length <= size;
        }
        offset += 8 + length + (length & 1);
        if (offset > size) {
            return false;
        }
    }
    return true;
}
