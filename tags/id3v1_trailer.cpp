#include "tags/id3v1_trailer.h"

#include "app/trace.h"
#include "tags/tag_text.h"

#include <QFile>
#include <algorithm>
#include <limits>

namespace {

constexpr std::size_t ID3V1_TEXT_LENGTH = 29;
// Version 1.1 keeps a track number in the comment field's last byte.
constexpr std::size_t ID3V11_COMMENT_LENGTH = 28;
constexpr std::size_t TRACK_BYTE = 126;
constexpr std::size_t GENRE_BYTE = 127;
constexpr std::uint8_t NO_GENRE_BYTE = 255;

void PutText(ID3v1Block& block, std::size_t offset, std::string_view text, std::size_t limit) {
    text = text.substr(0, limit);
    std::copy(text.begin(), text.end(), block.begin() + offset);
}

void PutLatin1(ID3v1Block& block, std::size_t offset, std::string_view text, std::size_t limit) {
    PutText(block, offset, Latin1Fallback(TagText(text)), limit);
}

// "7" or "7/12" gives 7; 0 when there is no number from 1 to 255.
int TrackNumber(std::string_view track) {
    int number = 0;
    for (std::size_t i = 0; i < track.size() && track[i] >= '0' && track[i] <= '9'; ++i) {
        number = number * 10 + (track[i] - '0');
        if (number > 255) {
            return 0;
        }
    }
    return number;
}

} // namespace

std::optional<std::uint32_t> GenreNumberInParentheses(std::string_view genre) {
    if (genre.empty() || genre.front() != '(') {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (std::size_t i = 1; i < genre.size() && genre[i] >= '0' && genre[i] <= '9'; ++i) {
        value = std::min<std::uint64_t>(value * 10 + std::uint64_t(genre[i] - '0'),
                                        std::numeric_limits<std::uint32_t>::max());
    }
    return static_cast<std::uint32_t>(value);
}

ID3v1Block BuildID3v1Block(const ID3TagRecord& record) {
    ID3v1Block block{};
    block[0] = 'T';
    block[1] = 'A';
    block[2] = 'G';
    PutLatin1(block, 3, record.title, ID3V1_TEXT_LENGTH);
    PutLatin1(block, 33, record.artist, ID3V1_TEXT_LENGTH);
    PutLatin1(block, 63, record.album, ID3V1_TEXT_LENGTH);
    PutText(block, 93, record.year, TAG_YEAR_LENGTH);
    const int track = TrackNumber(record.track);
    PutLatin1(block, 97, record.comment, track > 0 ? ID3V11_COMMENT_LENGTH : ID3V1_TEXT_LENGTH);
    if (track > 0) {
        block[TRACK_BYTE] = static_cast<std::uint8_t>(track);
    }
    // Genre 0 is "Blues": a file with no genre, or one named in words, says
    // "none" rather than that.
    const auto number = GenreNumberInParentheses(record.genre);
    block[GENRE_BYTE] = number ? static_cast<std::uint8_t>(*number & 0xFF) : NO_GENRE_BYTE;
    return block;
}

bool WriteID3v1Tag(const QString& mp3Path, const ID3TagRecord& record) {
    if (mp3Path.isEmpty() || !QFile::exists(mp3Path)) {
        return false;
    }
    const ID3v1Block block = BuildID3v1Block(record);
    QFile file(mp3Path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly | QIODevice::Unbuffered)) {
        Trace("WriteID3v1Tag: can't open %s\n", qPrintable(mp3Path));
        return false;
    }
    const qint64 size = file.size();
    qint64 offset = size;
    if (size >= qint64(ID3V1_SIZE)) {
        char last[3] = {};
        if (!file.seek(size - qint64(ID3V1_SIZE)) || file.read(last, 3) != 3) {
            Trace("WriteID3v1Tag: can't read the end of %s\n", qPrintable(mp3Path));
            return false;
        }
        if (last[0] == 'T' && last[1] == 'A' && last[2] == 'G') {
            offset = size - qint64(ID3V1_SIZE);
        }
    }
    const bool written =
        file.seek(offset) &&
        file.write(reinterpret_cast<const char*>(block.data()), ID3V1_SIZE) == qint64(ID3V1_SIZE);
    if (!written) {
        // A half-appended trailer would read as audio; take it back off.
        if (offset == size) {
            file.resize(size);
        }
        Trace("WriteID3v1Tag: can't write the trailer of %s\n", qPrintable(mp3Path));
        return false;
    }
    return true;
}
