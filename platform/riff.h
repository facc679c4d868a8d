#pragma once

#include "platform/fourcc.h"

#include <QtGlobal>
#include <cstdint>
#include <limits>

class QIODevice;

// RIFF chunk I/O over a device that the caller has already opened (usually a
// QFile). The device is never owned: closing a RiffFile flushes it and lets go
// of it, the caller closes the file. Chunks are written with the format's
// 32-bit sizes; reading also understands the 64-bit forms (RF64 and BW64),
// whose `ds64` chunk holds the sizes that do not fit. Arithmetic on offsets
// and sizes is done in 64 bits so hostile sizes cannot wrap around.

constexpr std::uint32_t FourCC(const char (&text)[5]) {
    return MakeFourCC(text[0], text[1], text[2], text[3]);
}

inline constexpr std::uint32_t FOURCC_RIFF = FourCC("RIFF");
inline constexpr std::uint32_t FOURCC_LIST = FourCC("LIST");
// The chunks of a WAVE form.
inline constexpr std::uint32_t FOURCC_WAVE = FourCC("WAVE");
inline constexpr std::uint32_t FOURCC_FMT = FourCC("fmt ");
inline constexpr std::uint32_t FOURCC_FACT = FourCC("fact");
inline constexpr std::uint32_t FOURCC_DATA = FourCC("data");
inline constexpr std::uint32_t FOURCC_RF64 = FourCC("RF64");
inline constexpr std::uint32_t FOURCC_BW64 = FourCC("BW64");
// The 32-bit size of a chunk whose real size is in the `ds64` chunk.
inline constexpr std::uint32_t RIFF_SIZE_IN_DS64 = 0xFFFFFFFF;

// Result codes (0 is success). The numbers match the Windows multimedia I/O
// error codes, so messages that show them read the same on both platforms.
inline constexpr int RIFF_OK = 0;
inline constexpr int RIFF_ERR_CANNOTOPEN = 257;
inline constexpr int RIFF_ERR_OUTOFMEMORY = 258;
inline constexpr int RIFF_ERR_CANNOTREAD = 259;
inline constexpr int RIFF_ERR_CANNOTWRITE = 260;
inline constexpr int RIFF_ERR_CANNOTSEEK = 262;
inline constexpr int RIFF_ERR_CANNOTEXPAND = 264;
inline constexpr int RIFF_ERR_CHUNKNOTFOUND = 265;

// Open flags. The access mode must be one the device was opened with.
// RIFF_ALLOCBUF, RIFF_DENYWRITE and RIFF_EXCLUSIVE are accepted for callers
// written against the Windows layer: QFile already buffers, and Linux has no
// share modes.
inline constexpr unsigned RIFF_READ = 0x0000;
inline constexpr unsigned RIFF_WRITE = 0x0001;
inline constexpr unsigned RIFF_READWRITE = 0x0002;
inline constexpr unsigned RIFF_EXCLUSIVE = 0x0010;
inline constexpr unsigned RIFF_DENYWRITE = 0x0020;
inline constexpr unsigned RIFF_ALLOCBUF = 0x00010000;

// Descend flags: without one, Descend enters the next chunk whatever its id.
inline constexpr unsigned RIFF_FINDCHUNK = 0x0010; // by chunk.id
inline constexpr unsigned RIFF_FINDRIFF = 0x0020;  // a RIFF, RF64 or BW64 form of chunk.formType
inline constexpr unsigned RIFF_FINDLIST = 0x0040;  // a LIST of chunk.formType

// CreateChunk flags.
inline constexpr unsigned RIFF_CREATERIFF = 0x0020;
inline constexpr unsigned RIFF_CREATELIST = 0x0040;

enum class RiffSeek { Set, Current, End };

// One chunk. For RIFF and LIST chunks `dataOffset` is the offset of the form
// type, so the first sub-chunk starts at dataOffset + 4 and the form ends at
// dataOffset + size. In a 64-bit form, sizes given in its `ds64` chunk are
// already filled in.
struct RiffChunk {
    std::uint32_t id = 0;
    std::uint64_t size = 0;
    std::uint32_t formType = 0;
    std::uint64_t dataOffset = 0;
    bool dirty = false; // created here: the size is written on Ascend

    // Saturates: a hostile 64-bit size lies beyond any file, never before it.
    qint64 End() const {
        constexpr auto MAX = std::uint64_t(std::numeric_limits<qint64>::max());
        return dataOffset > MAX || size > MAX - dataOffset ? qint64(MAX)
                                                           : qint64(dataOffset + size);
    }
    // The end including the pad byte of an odd-sized chunk.
    qint64 PaddedEnd() const {
        const qint64 end = End();
        return end == std::numeric_limits<qint64>::max() ? end : end + qint64(size & 1u);
    }
};

class RiffFile {
public:
    RiffFile() = default;
    ~RiffFile();
    RiffFile(const RiffFile&) = delete;
    RiffFile& operator=(const RiffFile&) = delete;

    // Attaches to an open device. Fails with RIFF_ERR_CANNOTOPEN when the
    // device is missing, closed, sequential or lacks the requested access.
    int Open(QIODevice* device, unsigned flags);
    bool IsOpen() const { return device != nullptr; }
    unsigned Flags() const { return openFlags; }
    // Flushes written data and lets go of the device without closing it.
    // A failed flush (a full disk) gives RIFF_ERR_CANNOTWRITE.
    int Close();
    int Flush();

    // Bytes transferred, 0 at the end of the file, -1 on failure.
    qint64 Read(void* buffer, qint64 count);
    qint64 Write(const void* buffer, qint64 count);
    // The new position, or -1.
    qint64 Seek(qint64 offset, RiffSeek origin);
    qint64 Position() const;

    // Enters a chunk at the current position (searching forward when a find
    // flag is given) and leaves the position at its data (after the form type
    // for RIFF and LIST). With a parent the search stays inside it.
    // RIFF_ERR_CHUNKNOTFOUND when the end of the parent or file is reached.
    // Entering a 64-bit form reads its `ds64` chunk, whose sizes then stand
    // for the form's and its `data` chunk's 32-bit ones.
    int Descend(RiffChunk& chunk, const RiffChunk* parent = nullptr, unsigned flags = 0);
    // The sample count of the last 64-bit form entered (for a `fact` chunk
    // that defers to it); 0 when there is none.
    std::uint64_t Ds64SampleCount() const { return ds64.sampleCount; }
    // Moves past the end of the chunk (and its pad byte). A chunk made by
    // CreateChunk first gets its real size written (measured from the current
    // position) and, when odd, one pad byte.
    int Ascend(RiffChunk& chunk);
    // Writes a chunk header at the current position with chunk.id and
    // chunk.size (and chunk.formType for forms).
    int CreateChunk(RiffChunk& chunk, unsigned flags = 0);

private:
    struct Ds64 {
        std::uint64_t riffSize = 0;
        std::uint64_t dataSize = 0;
        std::uint64_t sampleCount = 0;
        bool present = false;
    };

    bool ReadExact(void* buffer, qint64 count);
    bool WriteU32At(qint64 offset, std::uint32_t value);
    void ReadDs64(RiffChunk& form);

    QIODevice* device = nullptr;
    unsigned openFlags = 0;
    Ds64 ds64;
};
