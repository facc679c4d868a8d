#pragma once

#include "tags/tag_target.h"

class CEncoderApp;
struct QueueEntry;

// What the tag functions need to know of the entry's output MP3.
TagFileTarget TagTargetOf(const QueueEntry& entry, const CEncoderApp& app);

// After a successful encode: an entry without a title takes artist and title
// from its file name, then the tag goes into its output file.
bool WriteEntryTag(QueueEntry& entry, const CEncoderApp& app);
