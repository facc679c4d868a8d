#pragma once

#include "engines/wave_format.h"
#include "platform/riff.h"

#include <QFile>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

class QIODevice;

// Result codes of wioFileOpen, wioFileClose and GetWaveProperties.
inline constexpr unsigned WAVE_OK = 0;
inline constexpr unsigned WAVE_ERR_NO_FORMAT = 1;   // no `fmt ` chunk
inline constexpr unsigned WAVE_ERR_NULL_RECORD = 4; // null record passed
// Cannot be opened, no WAVE form, a short `fmt ` chunk, or one larger than
// any format record can be (MAX_FORMAT_CHUNK_BYTES).
inline constexpr unsigned WAVE_ERR_CANNOT_OPEN = 6;
inline constexpr unsigned WAVE_ERR_NO_MEMORY = 7;
// A chunk runs past the RIFF form, the `data` chunk runs past the end of the
// file, a compressed format has no `fact` chunk, or a PCM format has a block
// alignment of 0.
inline constexpr unsigned WAVE_ERR_CORRUPT = 8;
inline constexpr unsigned WAVE_ERR_NOT_PCM = 10; // parsed, but the tag is not PCM

// The largest format record there can be: 18 bytes plus a 16-bit extra count.
// A larger `fmt ` chunk is refused before anything is allocated for it.
inline constexpr std::uint32_t MAX_FORMAT_CHUNK_BYTES = 18 + 0xFFFF;
// The smallest format block held, so that cbSize can always be read.
inline constexpr std::uint32_t MIN_FORMAT_BLOCK_BYTES = 18;
inline constexpr std::uint64_t SAMPLE_FRAMES_UNKNOWN = ~std::uint64_t(0);

// Facts about one WAV file. Everything is zero (and `format` empty) after a
// failure, except with WAVE_ERR_NOT_PCM, where all fields are filled. Sizes
// are 64-bit: an RF64 file holds more than 4 GB of samples.
struct WaveProperties {
    std::uint64_t dataBytes = 0;    // size of the first non-empty `data` chunk
    std::uint64_t sampleFrames = 0; // from `fact`, else dataBytes / block alignment
    std::uint64_t dataOffset = 0;   // file offset of the first sample byte
    std::uint32_t formatBytes = 0;  // 16 for PCM, else 18 + cbSize
    double durationSeconds = 0.0;   // dataBytes / average bytes per second
    std::uint32_t hours = 0;
    std::uint32_t minutes = 0;
    std::uint32_t seconds = 0;
    QString durationText; // "hh:mm:ss", or "mm:ss" under an hour; empty at byte rate 0
    // formatBytes long. An uncompressed format that gives no average byte
    // rate gets rate x block alignment here, so its playing time is known.
    WaveFormatCopy format;
};

// Where a chunk lies in the file; size 0 when the file has none.
struct ChunkPlace {
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
};

// One open wave file. Closed (and reset) by wioFileClose or when destroyed.
struct WioFile {
    WioFile() = default;
    ~WioFile();
    WioFile(const WioFile&) = delete;
    WioFile& operator=(const WioFile&) = delete;

    unsigned openFlags = 0;
    RiffFile riff;
    std::unique_ptr<QFile> file;  // null when not open
    std::uint64_t dataOffset = 0; // first byte of the `data` chunk's contents
    std::uint64_t dataSize = 0;
    std::uint64_t sampleFrames = SAMPLE_FRAMES_UNKNOWN;
    bool hasFact = false; // a `fact` chunk gave sampleFrames
    // The source's own tags: the first LIST of type INFO and the first ID3v2
    // tag in an `id3 ` (or `ID3 `) chunk.
    ChunkPlace infoList;
    ChunkPlace id3Chunk;
    // The `fmt ` chunk, at least MIN_FORMAT_BLOCK_BYTES, zero-filled past the
    // chunk's own bytes; empty when none was read.
    std::vector<std::uint8_t> format;
};

// Opens and parses a WAV file with the given RIFF open flags. On success the
// record stays open for the caller to close; on failure it is closed already.
unsigned wioFileOpen(WioFile* wio, const QString& fileName, unsigned openFlags);
// WAVE_ERR_NULL_RECORD for null, else closes the file and resets the record.
unsigned wioFileClose(WioFile* wio);

// WAVE_OK when the file is a usable PCM wave file.
unsigned GetWaveProperties(const QString& fileName, WaveProperties* properties);

// Looks for the bytes "data" in the first 1024 bytes read from the device's
// current position (a freshly opened QFile: the start of the file). When
// found, stores the offset just past the chunk's size field, seeks the device
// there (from the start of the file) and returns 1; otherwise returns 0. The
// chunk's size is not read: take it from WaveProperties::dataBytes.
int FindDataChunk(QIODevice& file, unsigned* offset);
