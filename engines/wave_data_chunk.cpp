#include "engines/wave_reader.h"

#include <QIODevice>
#include <array>
#include <cstring>

namespace {
constexpr qint64 SEARCH_BYTES = 1024;
}

int FindDataChunk(QIODevice& file, unsigned* offset) {
    if (offset == nullptr || !file.isReadable()) {
        return 0;
    }
    std::array<char, SEARCH_BYTES> buffer{};
    const qint64 count = file.read(buffer.data(), SEARCH_BYTES);
    if (count <= 4) {
        return 0;
    }
    for (qint64 i = 0; i < count - 4; ++i) {
        if (std::memcmp(buffer.data() + i, "data", 4) == 0) {
            const auto found = static_cast<unsigned>(i + 8);
            if (!file.seek(found)) {
                return 0;
            }
            *offset = found;
            return 1;
        }
    }
    return 0;
}
