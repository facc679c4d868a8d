#pragma once

class CEncoderApp;
struct QueueEntry;

// After a successful encode: an entry without a title takes artist and title
// from its file name, then the tag goes into its output file.
bool WriteEntryTag(QueueEntry& entry, const CEncoderApp& app);
