#include "tags/tag_dialog_fields.h"

#include "tags/genres.h"

#include <cstdlib>

namespace {

QString FromLatin1(std::string_view text) {
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

std::string ToLatin1(const QString& text, std::size_t limit) {
    const QByteArray bytes = text.left(qsizetype(limit)).toLatin1();
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

// The value as the C library's atoi reads it: white space, a sign, digits.
long YearValue(std::string_view year) {
    const std::string text(year);
    return std::strtol(text.c_str(), nullptr, 10);
}

} // namespace

QString YearForDisplay(std::string_view year) {
    const long value = YearValue(year);
    return value >= YEAR_SHOWN_FROM && value <= YEAR_SHOWN_TO ? FromLatin1(year) : QString();
}

TagDialogFields ShowTagFields(const ID3TagRecord& record) {
    TagDialogFields fields;
    fields.genre = GenreSelectionForText(record.genre);
    fields.year = YearForDisplay(record.year);
    fields.title = FromLatin1(record.title);
    fields.artist = FromLatin1(record.artist);
    fields.album = FromLatin1(record.album);
    fields.comment = FromLatin1(record.comment);
    return fields;
}

ID3TagRecord RecordFromDialog(const TagDialogFields& fields) {
    ID3TagRecord record;
    record.title = ToLatin1(fields.title, TAG_TEXT_LENGTH);
    record.artist = ToLatin1(fields.artist, TAG_TEXT_LENGTH);
    record.album = ToLatin1(fields.album, TAG_TEXT_LENGTH);
    record.year = ToLatin1(fields.year, TAG_YEAR_LENGTH);
    record.genre = GenreTextForSelection(fields.genre);
    record.comment = ToLatin1(fields.comment, TAG_TEXT_LENGTH);
    return record;
}
