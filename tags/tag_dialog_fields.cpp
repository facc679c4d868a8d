#include "tags/tag_dialog_fields.h"

#include "tags/genres.h"
#include "tags/tag_text.h"

#include <cstdlib>

namespace {

// The field cuts the bytes at its limit, never inside a character.
std::string FieldText(const QString& text, std::size_t limit) {
    return TagBytes(text.left(qsizetype(limit)));
}

// The value as the C library's atoi reads it: white space, a sign, digits.
long YearValue(std::string_view year) {
    const std::string text(year);
    return std::strtol(text.c_str(), nullptr, 10);
}

} // namespace

QString YearForDisplay(std::string_view year) {
    const long value = YearValue(year);
    return value >= YEAR_SHOWN_FROM && value <= YEAR_SHOWN_TO ? TagText(year) : QString();
}

TagDialogFields ShowTagFields(const ID3TagRecord& record) {
    TagDialogFields fields;
    fields.genre = GenreSelectionForText(record.genre);
    fields.year = YearForDisplay(record.year);
    fields.title = TagText(record.title);
    fields.artist = TagText(record.artist);
    fields.album = TagText(record.album);
    fields.comment = TagText(record.comment);
    return fields;
}

ID3TagRecord RecordFromDialog(const TagDialogFields& fields) {
    ID3TagRecord record;
    record.title = FieldText(fields.title, TAG_TEXT_LENGTH);
    record.artist = FieldText(fields.artist, TAG_TEXT_LENGTH);
    record.album = FieldText(fields.album, TAG_TEXT_LENGTH);
    record.year = FieldText(fields.year, TAG_YEAR_LENGTH);
    record.genre = GenreTextForSelection(fields.genre);
    record.comment = FieldText(fields.comment, TAG_TEXT_LENGTH);
    return record;
}
