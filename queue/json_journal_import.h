#pragma once

#include "queue/queue_entry.h"

#include <QByteArray>
#include <memory>
#include <optional>
#include <vector>

// The queue journal as earlier versions wrote it (JSON text), read once when
// it is moved into the database.

// The entries in row order, or nothing when the text is not a whole, valid
// journal (cut short, foreign, or with a value out of range). Entries that
// were being encoded or paused come back as not done.
std::optional<std::vector<std::unique_ptr<QueueEntry>>> ParseJsonJournal(const QByteArray& text);
