#pragma once

#include "tags/id3_tag_record.h"
#include "tags/tag_target.h"

// Fills `record` from the tags of the target's output MP3 (its ID3v2 tag, or
// its ID3v1 trailer for frames the ID3v2 tag lacks). False, with `record`
// untouched, when the file is busy, missing, not readable and writable, holds
// no tag or holds a damaged one.
bool ReadTagFromFile(const TagFileTarget& target, ID3TagRecord& record);

// Writes the record into the target's output MP3: an ID3v2.3 tag at its head
// (rewritten only when it changes), then the ID3v1 trailer. False when the
// file is busy, missing, not readable and writable, does not start with MPEG
// audio after any tag, has a damaged tag, or the ID3v2 tag could not be
// written; the audio is never changed. A tag the library cannot rewrite whole
// (version 2.4, or one of whose frames it read none) leaves the file
// untouched, with a sentence in the error log.
bool WriteTagToFile(const TagFileTarget& target, const ID3TagRecord& record);
