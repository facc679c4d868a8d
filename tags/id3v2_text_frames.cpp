#include "tags/id3v2_text_frames.h"

#include "tags/id3v2_layout.h"
#include "tags/tag_text.h"

#include <QString>
#include <QStringDecoder>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

// Tag and version 3 and 4 frame headers alike.
constexpr std::size_t HEADER_SIZE = 10;
constexpr std::uint8_t FLAG_UNSYNC = 0x80;
constexpr std::uint8_t FLAG_EXTENDED = 0x40;
// Second frame-flag byte: version 3's compression, encryption and grouping.
constexpr std::uint8_t V3_UNREADABLE = 0xE0;
// Version 4's: grouping, compression, encryption, unsynchronised, length.
constexpr std::uint8_t V4_GROUPED = 0x40;
constexpr std::uint8_t V4_UNREADABLE = 0x0C;
constexpr std::uint8_t V4_UNSYNC = 0x02;
constexpr std::uint8_t V4_LENGTH = 0x01;

using Bytes = std::vector<std::uint8_t>;

std::uint32_t SyncSafe(const std::uint8_t* p) {
    return (std::uint32_t(p[0] & 0x7F) << 21) | (std::uint32_t(p[1] & 0x7F) << 14) |
           (std::uint32_t(p[2] & 0x7F) << 7) | std::uint32_t(p[3] & 0x7F);
}

std::uint32_t BigEndian(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           std::uint32_t(p[3]);
}

// The text up to its terminator in one of the four encodings; `used` is
// how many bytes that took, terminator included.
QString DecodeText(std::uint8_t encoding, std::span<const std::uint8_t> bytes, std::size_t* used) {
    const bool wide = encoding == 1 || encoding == 2;
    std::size_t end = 0;
    while (end < bytes.size()) {
        if (!wide && bytes[end] == 0) {
            break;
        }
        if (wide && end + 1 < bytes.size() && bytes[end] == 0 && bytes[end + 1] == 0) {
            break;
        }
        end += wide ? 2 : 1;
    }
    end = std::min(end, bytes.size());
    *used = std::min(bytes.size(), end + (wide ? 2 : 1));
    const QByteArrayView text(reinterpret_cast<const char*>(bytes.data()), qsizetype(end));
    switch (encoding) {
    case 0:
        return QString::fromLatin1(text);
    case 1: // with a byte-order mark; big-endian without one
        if (end >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
            return QStringDecoder(QStringDecoder::Utf16LE).decode(text.sliced(2));
        }
        return QStringDecoder(QStringDecoder::Utf16BE)
            .decode(end >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF ? text.sliced(2) : text);
    case 2:
        return QStringDecoder(QStringDecoder::Utf16BE).decode(text);
    case 3:
        return QString::fromUtf8(text);
    default:
        return QString();
    }
}

// Calls `frame(id, contents)` for each readable frame; the number of frames
// the body holds, or -1 when it is no version 3 or 4 tag.
int WalkFrames(std::span<const std::uint8_t> tag,
               const std::function<void(const char* id, std::span<const std::uint8_t>)>& frame) {
    if (tag.size() < HEADER_SIZE || std::memcmp(tag.data(), "ID3", 3) != 0 ||
        (tag[3] != 3 && tag[3] != 4)) {
        return -1;
    }
    const int version = tag[3];
    const std::uint8_t flags = tag[5];
    std::span<const std::uint8_t> body = tag.subspan(
        HEADER_SIZE, std::min<std::size_t>(SyncSafe(tag.data() + 6), tag.size() - HEADER_SIZE));
    Bytes resynchronised;
    if ((flags & FLAG_UNSYNC) && version == 3) {
        resynchronised = Resynchronise(body);
        body = resynchronised;
    }
    if ((flags & FLAG_EXTENDED) && body.size() >= 4) {
        const std::size_t extended =
            version == 3 ? 4 + std::size_t(BigEndian(body.data())) : SyncSafe(body.data());
        body = body.subspan(std::min(extended, body.size()));
    }
    int count = 0;
    std::size_t pos = 0;
    while (pos + HEADER_SIZE <= body.size() && body[pos] != 0) {
        const std::uint8_t* header = body.data() + pos;
        const std::uint32_t size = version == 3 ? BigEndian(header + 4) : SyncSafe(header + 4);
        if (size > body.size() - pos - HEADER_SIZE) {
            break;
        }
        ++count;
        std::span<const std::uint8_t> contents = body.subspan(pos + HEADER_SIZE, size);
        pos += HEADER_SIZE + size;
        const std::uint8_t frameFlags = header[9];
        Bytes own;
        if (version == 3 && (frameFlags & V3_UNREADABLE)) {
            continue;
        }
        if (version == 4) {
            if (frameFlags & V4_UNREADABLE) {
                continue;
            }
            if (frameFlags & V4_UNSYNC) {
                own = Resynchronise(contents);
                contents = own;
            }
            contents = contents.subspan(
                std::min<std::size_t>(contents.size(), ((frameFlags & V4_GROUPED) ? 1 : 0) +
                                                           ((frameFlags & V4_LENGTH) ? 4 : 0)));
        }
        const char id[5] = {char(header[0]), char(header[1]), char(header[2]), char(header[3]), 0};
        frame(id, contents);
    }
    return count;
}

QString TextFrame(std::span<const std::uint8_t> contents, bool comment) {
    if (contents.empty()) {
        return QString();
    }
    const std::uint8_t encoding = contents[0];
    std::span<const std::uint8_t> text = contents.subspan(1);
    if (comment) {
        // Language, then a description before the text.
        text = text.subspan(std::min<std::size_t>(3, text.size()));
        std::size_t used = 0;
        DecodeText(encoding, text, &used);
        text = text.subspan(used);
    }
    std::size_t used = 0;
    return DecodeText(encoding, text, &used).trimmed();
}

// "17" is genre 17 as the record writes it; "(17)Rock" and words stay.
QString GenreText(const QString& text) {
    bool number = false;
    const int value = text.toInt(&number);
    return number && value >= 0 ? QStringLiteral("(%1)").arg(value) : text;
}

} // namespace

std::optional<ID3TagRecord> ReadID3v2TextFrames(std::span<const std::uint8_t> tag) {
    ID3TagRecord record;
    bool found = false;
    const int frames = WalkFrames(tag, [&](const char* id, std::span<const std::uint8_t> contents) {
        const std::string name(id);
        const QString text = TextFrame(contents, name == "COMM");
        if (text.isEmpty()) {
            return;
        }
        auto set = [&](auto& field) {
            if (field.empty()) {
                field = TagBytes(text);
                found = true;
            }
        };
        if (name == "TIT2") {
            set(record.title);
        } else if (name == "TPE1") {
            set(record.artist);
        } else if (name == "TALB") {
            set(record.album);
        } else if (name == "TYER" || name == "TDRC") {
            set(record.year);
        } else if (name == "TCON") {
            if (record.genre.empty()) {
                record.genre = TagBytes(GenreText(text));
                found = true;
            }
        } else if (name == "COMM") {
            set(record.comment);
        } else if (name == "TRCK") {
            set(record.track);
        }
    });
    if (frames < 0 || !found) {
        return std::nullopt;
    }
    return record;
}

int CountID3v2Frames(std::span<const std::uint8_t> tag) {
    return WalkFrames(tag, [](const char*, std::span<const std::uint8_t>) {});
}
