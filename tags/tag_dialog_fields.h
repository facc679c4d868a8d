#pragma once

#include "tags/genres.h"
#include "tags/id3_tag_record.h"

#include <QString>

// What the tag dialog's controls show, apart from the widgets themselves.
struct TagDialogFields {
    QString title;
    QString artist;
    QString album;
    QString year;
    QString comment;
    int genre = NO_GENRE; // the selected genre number
};

inline constexpr int YEAR_SHOWN_FROM = 1900;
inline constexpr int YEAR_SHOWN_TO = 2039;

// The year text when its value lies from 1900 to 2039, otherwise "".
QString YearForDisplay(std::string_view year);

// The controls' contents for a record.
TagDialogFields ShowTagFields(const ID3TagRecord& record);

// The record the confirmed controls give: texts cut to their fields (127
// bytes of UTF-8, 4 for the year; no check of the year), the genre as "(n)"
// or "" for none.
ID3TagRecord RecordFromDialog(const TagDialogFields& fields);
