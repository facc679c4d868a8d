#include "tags/id3v2_layout.h"

#include <cstring>
#include <vector>

namespace {

constexpr std::uint8_t FLAG_UNSYNC = 0x80;
constexpr std::uint8_t FLAG_V22_COMPRESSION = 0x40;
constexpr std::uint8_t FLAG_EXTENDED = 0x40;
constexpr std::uint8_t FLAG_V24_FOOTER = 0x10;
// Header flags not defined by versions 2, 3 and 4.
constexpr std::uint8_t UNDEFINED_FLAGS[] = {0x3F, 0x1F, 0x0F};

std::uint32_t SyncSafe(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 21) | (std::uint32_t(p[1]) << 14) | (std::uint32_t(p[2]) << 7) |
           std::uint32_t(p[3]);
}

std::uint32_t BigEndian(const std::uint8_t* p, std::size_t count) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        value = (value << 8) | p[i];
    }
    return value;
}

bool IsHeader(std::span<const std::uint8_t> head) {
    return head.size() >= ID3V2_HEADER_SIZE && head[0] == 'I' && head[1] == 'D' && head[2] == '3' &&
           head[3] != 0xFF && head[4] != 0xFF && head[6] < 0x80 && head[7] < 0x80 &&
           head[8] < 0x80 && head[9] < 0x80;
}

bool IsFrameIdChar(std::uint8_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Text in two-byte encodings comes in whole characters; the library reads
// past its buffer on an odd byte count. Unknown encodings are refused too.
bool TextIsWhole(const std::uint8_t* frame, std::size_t headerSize, std::uint32_t size,
                 int version) {
    const bool comment =
        version == 2 ? std::memcmp(frame, "COM", 3) == 0 : std::memcmp(frame, "COMM", 4) == 0;
    if (frame[0] != 'T' && !comment) {
        return true;
    }
    const std::uint8_t encoding = frame[headerSize];
    const std::uint32_t fixed = comment ? 4 : 1; // encoding byte, language
    if (encoding > 3 || size < fixed) {
        return false;
    }
    return (encoding != 1 && encoding != 2) || (size - fixed) % 2 == 0;
}

// Walks the frames; every frame must lie inside the body, have a proper id and
// no compression or encryption (whose stated sizes the library would trust
// when inflating). The rest of the body after the frames must be padding.
bool FramesAreSound(std::span<const std::uint8_t> body, int version) {
    const std::size_t idSize = version == 2 ? 3 : 4;
    const std::size_t headerSize = version == 2 ? 6 : 10;
    std::size_t pos = 0;
    while (pos < body.size() && body[pos] != 0) {
        if (body.size() - pos < headerSize) {
            return false;
        }
        const std::uint8_t* frame = body.data() + pos;
        for (std::size_t i = 0; i < idSize; ++i) {
            if (!IsFrameIdChar(frame[i])) {
                return false;
            }
        }
        std::uint32_t size = 0;
        if (version == 2) {
            size = BigEndian(frame + 3, 3);
        } else if (version == 3) {
            size = BigEndian(frame + 4, 4);
            // Compressed, encrypted or grouped: the library reads such a frame
            // with other sizes than this walk does.
            if (frame[9] != 0) {
                return false;
            }
        } else {
            if ((frame[4] | frame[5] | frame[6] | frame[7]) & 0x80) {
                return false;
            }
            size = SyncSafe(frame + 4);
            if (frame[9] != 0) { // grouped, compressed, encrypted, unsynchronised, length-prefixed
                return false;
            }
        }
        if (size == 0 || size > body.size() - pos - headerSize ||
            !TextIsWhole(frame, headerSize, size, version)) {
            return false;
        }
        pos += headerSize + size;
    }
    for (; pos < body.size(); ++pos) {
        if (body[pos] != 0) {
            return false;
        }
    }
    return true;
}

} // namespace

// Undoes the tag-wide unsynchronisation of versions 2 and 3, after which the
// frame sizes of those versions hold.
std::vector<std::uint8_t> Resynchronise(std::span<const std::uint8_t> body) {
    std::vector<std::uint8_t> out;
    out.reserve(body.size());
    for (std::size_t i = 0; i < body.size(); ++i) {
        out.push_back(body[i]);
        if (body[i] == 0xFF && i + 1 < body.size() && body[i + 1] == 0x00) {
            ++i;
        }
    }
    return out;
}

std::uint64_t DeclaredTagSize(std::span<const std::uint8_t> head) {
    if (!IsHeader(head)) {
        return 0;
    }
    std::uint64_t size = ID3V2_HEADER_SIZE + SyncSafe(head.data() + 6);
    if (head[3] == 4 && (head[5] & FLAG_V24_FOOTER)) {
        size += ID3V2_HEADER_SIZE;
    }
    return size;
}

HeadLayout InspectHead(std::span<const std::uint8_t> head, std::uint64_t fileSize) {
    if (head.size() < 3 || head[0] != 'I' || head[1] != 'D' || head[2] != '3') {
        return {HeadKind::NoTag, 0};
    }
    const HeadLayout damaged{HeadKind::Damaged, 0};
    const std::uint64_t tagSize = DeclaredTagSize(head);
    if (tagSize == 0 || tagSize > fileSize || tagSize > head.size()) {
        return damaged;
    }
    const int version = head[3];
    const std::uint8_t flags = head[5];
    if (version < 2 || version > 4) {
        return damaged;
    }
    if (version == 2 && (flags & FLAG_V22_COMPRESSION)) {
        return damaged;
    }
    // Flags the version does not define make the library read the tag
    // differently from this walk (a frame it then inflates can crash it).
    if ((flags & UNDEFINED_FLAGS[version - 2]) != 0) {
        return damaged;
    }
    std::span<const std::uint8_t> body = head.subspan(ID3V2_HEADER_SIZE, SyncSafe(head.data() + 6));
    std::vector<std::uint8_t> resynchronised;
    if ((flags & FLAG_UNSYNC) && version < 4) {
        resynchronised = Resynchronise(body);
        body = resynchronised;
    }
    if (version >= 3 && (flags & FLAG_EXTENDED)) {
        if (body.size() < 4) {
            return damaged;
        }
        // Version 3 does not count the size field itself; version 4 does.
        const std::uint64_t extended =
            version == 3 ? 4 + std::uint64_t(BigEndian(body.data(), 4)) : SyncSafe(body.data());
        if (extended < 6 || extended > body.size()) {
            return damaged;
        }
        // The library reads only the standard sizes (6 bytes, 10 with a CRC)
        // and walks the frames from elsewhere for any other: left alone.
        if (version == 4 || (extended != 10 && extended != 14) ||
            ((body[4] & 0x80) != 0) != (extended == 14)) {
            return damaged;
        }
        body = body.subspan(extended);
    }
    if (!FramesAreSound(body, version)) {
        return damaged;
    }
    // The library goes on into a second tag right behind the first, which
    // this walk never saw.
    const std::span<const std::uint8_t> after = head.subspan(tagSize);
    if (after.size() >= 3 && after[0] == 'I' && after[1] == 'D' && after[2] == '3') {
        return damaged;
    }
    return {HeadKind::Tag, tagSize, version};
}

bool StartsWithFrameSync(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 2 && bytes[0] == 0xFF && (bytes[1] & 0xE0) == 0xE0;
}
