#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Text of at most `Limit` single-byte (Latin-1) characters. Assigning longer
// text cuts it, and text stops at an embedded NUL, as in the fixed buffers
// the record is stored in on disk and on the wire.
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
        text.assign(value.substr(0, Limit));
    }

    std::string text;
};

inline constexpr std::size_t TAG_TEXT_FIELD_SIZE = 128;
inline constexpr std::size_t TAG_YEAR_FIELD_SIZE = 5;
inline constexpr std::size_t TAG_TEXT_LENGTH = TAG_TEXT_FIELD_SIZE - 1;
inline constexpr std::size_t TAG_YEAR_LENGTH = TAG_YEAR_FIELD_SIZE - 1;
inline constexpr std::size_t TAG_RECORD_SIZE = 5 * TAG_TEXT_FIELD_SIZE + TAG_YEAR_FIELD_SIZE;

// The six song facts of one queued file. An empty title means that no tag was
// entered. The genre is "(n)" for ID3v1 genre n, or free text read from a file.
struct ID3TagRecord {
    BoundedText<TAG_TEXT_LENGTH> title;
    BoundedText<TAG_TEXT_LENGTH> artist;
    BoundedText<TAG_TEXT_LENGTH> album;
    BoundedText<TAG_YEAR_LENGTH> year;
    BoundedText<TAG_TEXT_LENGTH> genre;
    BoundedText<TAG_TEXT_LENGTH> comment;

    bool operator==(const ID3TagRecord&) const = default;
};

// The record byte for byte as stored in a queue entry: title, artist, album
// (128 each), year (5), genre, comment (128 each), each NUL-terminated and
// zero-filled.
using ID3TagRecordBytes = std::array<std::uint8_t, TAG_RECORD_SIZE>;
ID3TagRecordBytes SerializeTagRecord(const ID3TagRecord& record);
// Reads each field up to its NUL or its last byte, whatever the bytes hold.
ID3TagRecord ParseTagRecord(const std::uint8_t* bytes);
