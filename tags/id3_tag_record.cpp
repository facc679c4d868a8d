#include "tags/id3_tag_record.h"

#include <algorithm>
#include <cstring>

namespace {

template <std::size_t Limit> void PutField(std::uint8_t*& out, const BoundedText<Limit>& text) {
    std::copy(text.str().begin(), text.str().end(), out);
    out += Limit + 1;
}

std::string_view GetField(const std::uint8_t*& in, std::size_t fieldSize) {
    const char* start = reinterpret_cast<const char*>(in);
    in += fieldSize;
    // The last byte is the terminator's place: a field that fills it is cut.
    return std::string_view(start, strnlen(start, fieldSize - 1));
}

} // namespace

ID3TagRecordBytes SerializeTagRecord(const ID3TagRecord& record) {
    ID3TagRecordBytes bytes{};
    std::uint8_t* out = bytes.data();
    PutField(out, record.title);
    PutField(out, record.artist);
    PutField(out, record.album);
    PutField(out, record.year);
    PutField(out, record.genre);
    PutField(out, record.comment);
    return bytes;
}

ID3TagRecord ParseTagRecord(const std::uint8_t* bytes) {
    ID3TagRecord record;
    record.title = GetField(bytes, TAG_TEXT_FIELD_SIZE);
    record.artist = GetField(bytes, TAG_TEXT_FIELD_SIZE);
    record.album = GetField(bytes, TAG_TEXT_FIELD_SIZE);
    record.year = GetField(bytes, TAG_YEAR_FIELD_SIZE);
    record.genre = GetField(bytes, TAG_TEXT_FIELD_SIZE);
    record.comment = GetField(bytes, TAG_TEXT_FIELD_SIZE);
    return record;
}
