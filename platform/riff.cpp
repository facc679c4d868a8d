#include "platform/riff.h"

#include <QFileDevice>
#include <QIODevice>
#include <array>
#include <limits>

namespace {

// Where a chunk can be written: the 32-bit sizes of a RIFF file.
constexpr qint64 MAX_OFFSET = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint32_t FOURCC_DS64 = MakeFourCC('d', 's', '6', '4');
// riff size, data size, sample count, table length
constexpr qint64 DS64_FIXED_BYTES = 28;

std::uint32_t GetU32(const unsigned char* bytes) {
    return std::uint32_t(bytes[0]) | (std::uint32_t(bytes[1]) << 8) |
           (std::uint32_t(bytes[2]) << 16) | (std::uint32_t(bytes[3]) << 24);
}

std::uint64_t GetU64(const unsigned char* bytes) {
    return std::uint64_t(GetU32(bytes)) | (std::uint64_t(GetU32(bytes + 4)) << 32);
}

bool IsForm(std::uint32_t id) {
    return id == FOURCC_RIFF || id == FOURCC_RF64 || id == FOURCC_BW64;
}

void PutU32(unsigned char* bytes, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

bool Matches(const RiffChunk& found, const RiffChunk& wanted, unsigned flags) {
    if (flags & RIFF_FINDCHUNK) {
        return found.id == wanted.id;
    }
    if (flags & RIFF_FINDRIFF) {
        return IsForm(found.id) && found.formType == wanted.formType;
    }
    if (flags & RIFF_FINDLIST) {
        return found.id == FOURCC_LIST && found.formType == wanted.formType;
    }
    return true;
}

} // namespace

RiffFile::~RiffFile() {
    Close();
}

int RiffFile::Open(QIODevice* target, unsigned flags) {
    Close();
    if (target == nullptr || !target->isOpen() || target->isSequential()) {
        return RIFF_ERR_CANNOTOPEN;
    }
    const unsigned access = flags & 0x3u;
    const bool needRead = access == RIFF_READ || access == RIFF_READWRITE;
    const bool needWrite = access == RIFF_WRITE || access == RIFF_READWRITE;
    if (access == 0x3u || (needRead && !target->isReadable()) ||
        (needWrite && !target->isWritable())) {
        return RIFF_ERR_CANNOTOPEN;
    }
    device = target;
    openFlags = flags;
    ds64 = Ds64{};
    return RIFF_OK;
}

int RiffFile::Close() {
    if (device == nullptr) {
        return RIFF_OK;
    }
    const int result = Flush();
    device = nullptr;
    openFlags = 0;
    return result;
}

int RiffFile::Flush() {
    if (device == nullptr || !device->isWritable()) {
        return RIFF_OK;
    }
    if (auto* file = qobject_cast<QFileDevice*>(device); file != nullptr && !file->flush()) {
        return RIFF_ERR_CANNOTWRITE;
    }
    return RIFF_OK;
}

qint64 RiffFile::Read(void* buffer, qint64 count) {
    if (device == nullptr || !device->isReadable() || count < 0 || (buffer == nullptr && count)) {
        return -1;
    }
    if (count == 0) {
        return 0;
    }
    return device->read(static_cast<char*>(buffer), count);
}

qint64 RiffFile::Write(const void* buffer, qint64 count) {
    if (device == nullptr || !device->isWritable() || count < 0 || (buffer == nullptr && count)) {
        return -1;
    }
    if (count == 0) {
        return 0;
    }
    return device->write(static_cast<const char*>(buffer), count);
}

qint64 RiffFile::Seek(qint64 offset, RiffSeek origin) {
    if (device == nullptr) {
        return -1;
    }
    qint64 base = 0;
    if (origin == RiffSeek::Current) {
        base = device->pos();
    } else if (origin == RiffSeek::End) {
        base = device->size();
    }
    if ((offset > 0 && base > std::numeric_limits<qint64>::max() - offset) || base + offset < 0) {
        return -1;
    }
    const qint64 target = base + offset;
    return device->seek(target) ? target : -1;
}

qint64 RiffFile::Position() const {
    return device != nullptr ? device->pos() : -1;
}

bool RiffFile::ReadExact(void* buffer, qint64 count) {
    return Read(buffer, count) == count;
}

bool RiffFile::WriteU32At(qint64 offset, std::uint32_t value) {
    std::array<unsigned char, 4> bytes{};
    PutU32(bytes.data(), value);
    return device->seek(offset) && Write(bytes.data(), 4) == 4;
}

int RiffFile::Descend(RiffChunk& chunk, const RiffChunk* parent, unsigned flags) {
    if (device == nullptr || !device->isReadable()) {
        return RIFF_ERR_CANNOTREAD;
    }
    const qint64 limit = parent != nullptr ? parent->End() : std::numeric_limits<qint64>::max();
    for (;;) {
        const qint64 start = device->pos();
        if (start + 8 > limit) {
            return RIFF_ERR_CHUNKNOTFOUND;
        }
        std::array<unsigned char, 8> header{};
        if (!ReadExact(header.data(), 8)) {
            return RIFF_ERR_CHUNKNOTFOUND;
        }
        RiffChunk found;
        found.id = GetU32(header.data());
        found.size = GetU32(header.data() + 4);
        found.dataOffset = static_cast<std::uint64_t>(start + 8);
        if (IsForm(found.id) || found.id == FOURCC_LIST) {
            std::array<unsigned char, 4> type{};
            if (!ReadExact(type.data(), 4)) {
                return RIFF_ERR_CHUNKNOTFOUND;
            }
            found.formType = GetU32(type.data());
        }
        if (found.id == FOURCC_RF64 || found.id == FOURCC_BW64) {
            ReadDs64(found);
        } else if (found.id == FOURCC_DATA && found.size == RIFF_SIZE_IN_DS64 && ds64.present) {
            found.size = ds64.dataSize;
        }
        if (Matches(found, chunk, flags)) {
            chunk = found;
            return RIFF_OK;
        }
        // Nothing can follow a chunk that already reaches past the file.
        const qint64 next = found.PaddedEnd();
        if (next > device->size()) {
            return RIFF_ERR_CHUNKNOTFOUND;
        }
        if (!device->seek(next)) {
            return RIFF_ERR_CANNOTSEEK;
        }
    }
}

// The `ds64` chunk must come first in the form. Without one the form keeps
// its 32-bit size, and a `data` chunk that defers to it stays unknown.
void RiffFile::ReadDs64(RiffChunk& form) {
    ds64 = Ds64{};
    const qint64 formData = device->pos();
    std::array<unsigned char, 8 + DS64_FIXED_BYTES> bytes{};
    if (ReadExact(bytes.data(), qint64(bytes.size())) && GetU32(bytes.data()) == FOURCC_DS64 &&
        GetU32(bytes.data() + 4) >= DS64_FIXED_BYTES) {
        ds64.riffSize = GetU64(bytes.data() + 8);
        ds64.dataSize = GetU64(bytes.data() + 16);
        ds64.sampleCount = GetU64(bytes.data() + 24);
        ds64.present = true;
        if (form.size == RIFF_SIZE_IN_DS64) {
            form.size = ds64.riffSize;
        }
    }
    device->seek(formData);
}

int RiffFile::Ascend(RiffChunk& chunk) {
    if (device == nullptr) {
        return RIFF_ERR_CANNOTSEEK;
    }
    if (!chunk.dirty) {
        qint64 target = chunk.PaddedEnd();
        // A truncated chunk: its end is the end of the file.
        if (!device->isWritable() && target > device->size()) {
            target = device->size();
        }
        return device->seek(target) ? RIFF_OK : RIFF_ERR_CANNOTSEEK;
    }
    const qint64 end = device->pos();
    if (end < qint64(chunk.dataOffset)) {
        return RIFF_ERR_CANNOTSEEK;
    }
    if (end - qint64(chunk.dataOffset) > MAX_OFFSET) {
        return RIFF_ERR_CANNOTEXPAND;
    }
    const auto size = static_cast<std::uint32_t>(end - qint64(chunk.dataOffset));
    if (size != chunk.size) {
        if (!WriteU32At(qint64(chunk.dataOffset) - 4, size) || !device->seek(end)) {
            return RIFF_ERR_CANNOTWRITE;
        }
    }
    if (size & 1u) {
        const char pad = 0;
        if (Write(&pad, 1) != 1) {
            return RIFF_ERR_CANNOTWRITE;
        }
    }
    chunk.size = size;
    chunk.dirty = false;
    return RIFF_OK;
}

int RiffFile::CreateChunk(RiffChunk& chunk, unsigned flags) {
    if (device == nullptr || !device->isWritable()) {
        return RIFF_ERR_CANNOTWRITE;
    }
    const qint64 start = device->pos();
    if (start + 8 > MAX_OFFSET) {
        return RIFF_ERR_CANNOTEXPAND;
    }
    if (flags & RIFF_CREATERIFF) {
        chunk.id = FOURCC_RIFF;
    } else if (flags & RIFF_CREATELIST) {
        chunk.id = FOURCC_LIST;
    }
    if (chunk.size > MAX_OFFSET) {
        return RIFF_ERR_CANNOTEXPAND;
    }
    std::array<unsigned char, 12> header{};
    PutU32(header.data(), chunk.id);
    PutU32(header.data() + 4, static_cast<std::uint32_t>(chunk.size));
    PutU32(header.data() + 8, chunk.formType);
    const qint64 length = (chunk.id == FOURCC_RIFF || chunk.id == FOURCC_LIST) ? 12 : 8;
    if (Write(header.data(), length) != length) {
        return RIFF_ERR_CANNOTWRITE;
    }
    chunk.dataOffset = static_cast<std::uint32_t>(start + 8);
    chunk.dirty = true;
    return RIFF_OK;
}
