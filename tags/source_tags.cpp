#include "tags/source_tags.h"

#include "engines/wave_reader.h"
#include "tags/id3v2_text_frames.h"
#include "tags/tag_text.h"

#include <QFile>
#include <cstring>
#include <vector>

namespace {

// Text chunks are small; an ID3 tag may hold a cover picture.
constexpr std::uint64_t MAX_INFO_BYTES = 1 << 20;
constexpr std::uint64_t MAX_ID3_BYTES = 16 << 20;

std::vector<std::uint8_t> ReadPlace(QFile& file, const ChunkPlace& place, std::uint64_t limit) {
    std::vector<std::uint8_t> bytes;
    if (place.size == 0 || place.size > limit || !file.seek(qint64(place.offset))) {
        return bytes;
    }
    bytes.resize(place.size);
    const qint64 got = file.read(reinterpret_cast<char*>(bytes.data()), qint64(bytes.size()));
    bytes.resize(got > 0 ? std::size_t(got) : 0);
    return bytes;
}

template <std::size_t Limit> bool Fill(BoundedText<Limit>& field, const QString& text) {
    if (!field.empty() || text.isEmpty()) {
        return false;
    }
    field = TagBytes(text);
    return true;
}

} // namespace

bool ReadInfoTexts(std::span<const std::uint8_t> body, ID3TagRecord& record) {
    bool taken = false;
    std::size_t pos = 0;
    while (pos + 8 <= body.size()) {
        const std::uint8_t* header = body.data() + pos;
        const std::uint32_t size = std::uint32_t(header[4]) | (std::uint32_t(header[5]) << 8) |
                                   (std::uint32_t(header[6]) << 16) |
                                   (std::uint32_t(header[7]) << 24);
        if (size > body.size() - pos - 8) {
            break;
        }
        const char* text = reinterpret_cast<const char*>(header + 8);
        const QString value = TagText(std::string_view(text, strnlen(text, size))).trimmed();
        const std::string_view id(reinterpret_cast<const char*>(header), 4);
        if (id == "INAM") {
            taken |= Fill(record.title, value);
        } else if (id == "IART") {
            taken |= Fill(record.artist, value);
        } else if (id == "IPRD") {
            taken |= Fill(record.album, value);
        } else if (id == "ICRD") {
            taken |= Fill(record.year, value);
        } else if (id == "IGNR") {
            taken |= Fill(record.genre, value);
        } else if (id == "ICMT") {
            taken |= Fill(record.comment, value);
        } else if (id == "ITRK" || id == "IPRT") {
            taken |= Fill(record.track, value);
        }
        pos += 8 + size + (size & 1);
    }
    return taken;
}

std::optional<ID3TagRecord> ReadSourceTags(const QString& wavPath) {
    WioFile wio;
    if (wioFileOpen(&wio, wavPath, RIFF_READ) != WAVE_OK) {
        return std::nullopt;
    }
    ID3TagRecord record;
    bool found = false;
    const std::vector<std::uint8_t> id3 = ReadPlace(*wio.file, wio.id3Chunk, MAX_ID3_BYTES);
    if (const auto tagged = ReadID3v2TextFrames(id3)) {
        record = *tagged;
        found = true;
    }
    const std::vector<std::uint8_t> info = ReadPlace(*wio.file, wio.infoList, MAX_INFO_BYTES);
    // The list's body starts after its form type.
    if (info.size() > 4 && ReadInfoTexts(std::span(info).subspan(4), record)) {
        found = true;
    }
    return found ? std::optional<ID3TagRecord>(record) : std::nullopt;
}
