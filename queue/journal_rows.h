#pragma once

#include "queue/queue_entry.h"

#include <cstddef>
#include <memory>
#include <sqlite3.h>

// The queue journal's table: one row per queue row, ordered by `position`.
// Figures of a running encode are left out; what a restart needs is kept.
extern const char* const JOURNAL_SCHEMA_SQL;
// Marks our databases (the application id of the file header).
inline constexpr int JOURNAL_APPLICATION_ID = 0x43516A31;
inline constexpr int JOURNAL_SCHEMA_VERSION = 1;

// INSERT OR REPLACE of one row: binds parameters 1 to 19.
extern const char* const JOURNAL_WRITE_SQL;
// The same for a row already written (its index entry stays put).
extern const char* const JOURNAL_UPDATE_SQL;
void BindEntryRow(sqlite3_stmt* statement, const QueueEntry& entry, qint64 id, qint64 position);

// SELECT of every row in order; columns as JOURNAL_WRITE_SQL's parameters.
extern const char* const JOURNAL_READ_SQL;
// The entry of the current row, or null when a value is out of range or
// does not fit its field (a cut value would name another file).
std::unique_ptr<QueueEntry> ReadEntryRow(sqlite3_stmt* statement);

// Changes whenever anything the journal keeps of the entry changes.
std::size_t JournalFingerprint(const QueueEntry& entry);
