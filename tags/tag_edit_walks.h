#pragma once

#include "tags/id3_tag_record.h"

#include <QString>
#include <cstddef>
#include <functional>
#include <span>

// Shown instead of the tag dialog when no file is selected.
inline constexpr const char* NO_SELECTION_TEXT =
    "You need to a select a file or a group of files first.";

// One selected file, in display order: its record (edited in place) and its
// name without directory and extension.
struct TagEditTarget {
    ID3TagRecord* tag = nullptr;
    QString name;
};

// The record the tag dialog opens with. Walks the targets in order:
// `readTag(i)` refreshes target i's record from its MP3 and tells whether it
// could; the first target read, or else with a title, gives the record. With
// none, a blank record with the artist and title split from the first name.
ID3TagRecord ChooseDialogRecord(std::span<const TagEditTarget> targets,
                                const std::function<bool(std::size_t)>& readTag);

// Gives every target the confirmed record, then calls `writeTag(i)`. With
// several targets each keeps its own title (split from its name when it has
// none), since one title rarely fits several songs.
void ApplyDialogRecord(std::span<const TagEditTarget> targets, const ID3TagRecord& confirmed,
                       const std::function<void(std::size_t)>& writeTag);

// Before a finished encode is tagged: a record without a title takes artist
// and title from the file's name (the artist even when one was entered).
void FillEmptyTitleFromName(ID3TagRecord& record, const QString& name);
