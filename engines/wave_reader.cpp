#include "engines/wave_reader.h"

#include "app/trace.h"
#include "platform/riff_open.h"

#include <algorithm>
#include <array>
#include <new>

namespace {

constexpr std::uint32_t FOURCC_INFO = FourCC("INFO");
constexpr std::uint32_t FOURCC_ID3_LOWER = FourCC("id3 ");
constexpr std::uint32_t FOURCC_ID3_UPPER = FourCC("ID3 ");
constexpr std::size_t BLOCK_ALIGN_OFFSET = 12;

unsigned Fail(WioFile* wio, unsigned code) {
    wioFileClose(wio);
    return code;
}

void ReadFact(WioFile* wio, const RiffChunk& chunk) {
    // A fact chunk too short for its count is no count at all; reading 4
    // bytes would take them from the next chunk.
    if (wio->hasFact || chunk.size < 4) {
        return;
    }
    std::array<std::uint8_t, 4> bytes{};
    if (wio->riff.Read(bytes.data(), 4) == 4) {
        wio->sampleFrames = WaveFormatCopy::U32At({bytes.begin(), bytes.end()}, 0);
        // A 64-bit file keeps a count that does not fit in its `ds64` chunk.
        if (wio->sampleFrames == RIFF_SIZE_IN_DS64 && wio->riff.Ds64SampleCount() != 0) {
            wio->sampleFrames = wio->riff.Ds64SampleCount();
        }
        wio->hasFact = true;
    }
}

void NoteTagChunk(WioFile* wio, const RiffChunk& chunk) {
    ChunkPlace* place = nullptr;
    if (chunk.id == FOURCC_LIST && chunk.formType == FOURCC_INFO) {
        place = &wio->infoList;
    } else if (chunk.id == FOURCC_ID3_LOWER || chunk.id == FOURCC_ID3_UPPER) {
        place = &wio->id3Chunk;
    }
    if (place != nullptr && place->size == 0) {
        *place = ChunkPlace{chunk.dataOffset, chunk.size};
    }
}

unsigned ReadFormat(WioFile* wio, const RiffChunk& chunk) {
    if (chunk.size > MAX_FORMAT_CHUNK_BYTES) {
        Trace("wioFileOpen:: the FMT chunk is too large (%llu bytes)\n",
              static_cast<unsigned long long>(chunk.size));
        return WAVE_ERR_CANNOT_OPEN;
    }
    try {
        wio->format.assign(std::max<std::uint64_t>(chunk.size, MIN_FORMAT_BLOCK_BYTES), 0);
    } catch (const std::bad_alloc&) {
        return WAVE_ERR_NO_MEMORY;
    }
    if (wio->riff.Read(wio->format.data(), chunk.size) != qint64(chunk.size)) {
        Trace("wioFileOpen:: error reading the FMT chunk\n");
        return WAVE_ERR_CANNOT_OPEN;
    }
    return WAVE_OK;
}

} // namespace

WioFile::~WioFile() {
    wioFileClose(this);
}

unsigned wioFileClose(WioFile* wio) {
    if (wio == nullptr) {
        return WAVE_ERR_NULL_RECORD;
    }
    // The RIFF layer lets go of the file first; the file is closed after it.
    wio->riff.Close();
    wio->file.reset();
    wio->format.clear();
    wio->format.shrink_to_fit();
    wio->openFlags = 0;
    wio->dataOffset = 0;
    wio->dataSize = 0;
    wio->sampleFrames = 0;
    wio->hasFact = false;
    wio->infoList = ChunkPlace{};
    wio->id3Chunk = ChunkPlace{};
    return WAVE_OK;
}

unsigned wioFileOpen(WioFile* wio, const QString& fileName, unsigned openFlags) {
    if (wio == nullptr) {
        return WAVE_ERR_NULL_RECORD;
    }
    wioFileClose(wio);
    wio->openFlags = openFlags;
    const QByteArray name = fileName.toLocal8Bit();

    auto file = std::make_unique<QFile>();
    if (const long error = OpenForSequentialRead(*file, fileName); error != 0) {
        Trace("wioFileOpen: couldn't open the file with CreateFile. error = %ld file = %s\n", error,
              name.constData());
        return Fail(wio, WAVE_ERR_CANNOT_OPEN);
    }
    wio->file = std::move(file);
    if (const int error = wio->riff.Open(wio->file.get(), openFlags); error != RIFF_OK) {
        Trace("wioFileOpen: couldn't open the file with mmioOpen. error = %d file = %s\n", error,
              name.constData());
        return Fail(wio, WAVE_ERR_CANNOT_OPEN);
    }

    RiffChunk form;
    form.formType = FOURCC_WAVE;
    if (wio->riff.Descend(form, nullptr, RIFF_FINDRIFF) != RIFF_OK) {
        Trace("wioFileOpen:: couldn't find the WAVE chunk\n");
        return Fail(wio, WAVE_ERR_CANNOT_OPEN);
    }

    wio->sampleFrames = SAMPLE_FRAMES_UNKNOWN;
    const qint64 fileSize = wio->file->size();
    RiffChunk chunk;
    while (wio->riff.Descend(chunk, &form) == RIFF_OK) {
        if (chunk.End() > form.End()) {
            Trace("wioFileOpen:: the RIFF file is corrupt\n");
            return Fail(wio, WAVE_ERR_CORRUPT);
        }
        if (chunk.id == FOURCC_FACT) {
            ReadFact(wio, chunk);
        } else if (chunk.id == FOURCC_DATA && wio->dataSize == 0 && chunk.size != 0) {
            // Sample data that is not there would be promised to the engines.
            if (chunk.End() > fileSize) {
                Trace("wioFileOpen:: the RIFF file is corrupt\n");
                return Fail(wio, WAVE_ERR_CORRUPT);
            }
            wio->dataSize = chunk.size;
            wio->dataOffset = chunk.dataOffset;
        } else if (chunk.id == FOURCC_FMT && wio->format.empty()) {
            if (const unsigned error = ReadFormat(wio, chunk); error != WAVE_OK) {
                return Fail(wio, error);
            }
        } else {
            NoteTagChunk(wio, chunk);
        }
        if (wio->riff.Ascend(chunk) != RIFF_OK) {
            break;
        }
    }

    if (wio->format.empty()) {
        return Fail(wio, WAVE_ERR_NO_FORMAT);
    }
    const bool uncompressed = WaveFormatCopy::IsUncompressed(wio->format);
    const std::uint16_t blockAlign = WaveFormatCopy::U16At(wio->format, BLOCK_ALIGN_OFFSET);
    // Samples with no block alignment cannot be read frame by frame, fact or not.
    if (uncompressed && blockAlign == 0) {
        Trace("wioFileOpen:: the block alignment is 0\n");
        return Fail(wio, WAVE_ERR_CORRUPT);
    }
    if (wio->hasFact) {
        return WAVE_OK;
    }
    if (!uncompressed) {
        return Fail(wio, WAVE_ERR_CORRUPT);
    }
    wio->sampleFrames = wio->dataSize / blockAlign;
    return WAVE_OK;
}
