#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Text of at most `Limit` bytes: UTF-8 (records written before it was may hold
// Latin-1 bytes; TagText reads both). Assigning longer text cuts it, never
// inside a character, and text stops at an embedded NUL, as in the fixed
// buffers the record is stored in on disk and on the wire.
template <std::size_t Limit> class BoundedText {
public:
    static constexpr std::size_t LIMIT = Limit;

    BoundedText() = default;
    BoundedText(std::string_view text) { Assign(text); }
    BoundedText(const char* text) { Assign(text == nullptr ? std::string_view() : text); }
    BoundedText& operator=(std::string_view text) {
        Assign(text);
        return *this;
    }
    BoundedText& operator=(const char* text) {
        Assign(text == nullptr ? std::string_view() : text);
        return *this;
    }

    const std::string& str() const { return text; }
    const char* c_str() const { return text.c_str(); }
    std::size_t size() const { return text.size(); }
    bool empty() const { return text.empty(); }
    operator std::string_view() const { return text; }
    bool operator==(const BoundedText&) const = default;

private:
    void Assign(std::string_view value) {
        value = value.substr(0, value.find('\0'));
        std::size_t cut = std::min(value.size(), Limit);
        if (cut < value.size()) {
            // Back to the lead byte of a character that the limit would split.
            std::size_t lead = cut;
            while (lead > 0 && (static_cast<unsigned char>(value[lead]) & 0xC0) == 0x80) {
                --lead;
            }
            if (lead < cut && (static_cast<unsigned char>(value[lead]) & 0xC0) == 0xC0) {
                cut = lead;
            }
        }
        text.assign(value.substr(0, cut));
    }

    std::string text;
};

inline constexpr std::size_t TAG_TEXT_FIELD_SIZE = 128;
inline constexpr std::size_t TAG_YEAR_FIELD_SIZE = 5;
inline constexpr std::size_t TAG_TEXT_LENGTH = TAG_TEXT_FIELD_SIZE - 1;
inline constexpr std::size_t TAG_YEAR_LENGTH = TAG_YEAR_FIELD_SIZE - 1;
inline constexpr std::size_t TAG_RECORD_SIZE = 5 * TAG_TEXT_FIELD_SIZE + TAG_YEAR_FIELD_SIZE;

inline constexpr std::size_t TAG_TRACK_LENGTH = 7; // "123/456"

// The six song facts of one queued file. An empty title means that no tag was
// entered. The genre is "(n)" for ID3v1 genre n, or free text read from a file.
// The track number comes only from a source's own tags; it is not part of
// the stored 645-byte record.
struct ID3TagRecord {
    BoundedText<TAG_TEXT_LENGTH> title;
    BoundedText<TAG_TEXT_LENGTH> artist;
    BoundedText<TAG_TEXT_LENGTH> album;
    BoundedText<TAG_YEAR_LENGTH> year;
    BoundedText<TAG_TEXT_LENGTH> genre;
    BoundedText<TAG_TEXT_LENGTH> comment;
    BoundedText<TAG_TRACK_LENGTH> track;

    bool operator==(const ID3TagRecord&) const = default;
};

// The record byte for byte as stored in a queue entry: title, artist, album
// (128 each), year (5), genre, comment (128 each), each NUL-terminated and
// zero-filled.
using ID3TagRecordBytes = std::array<std::uint8_t, TAG_RECORD_SIZE>;
ID3TagRecordBytes SerializeTagRecord(const ID3TagRecord& record);
// Reads each field up to its NUL or its last byte, whatever the bytes hold.
ID3TagRecord ParseTagRecord(const std::uint8_t* bytes);
