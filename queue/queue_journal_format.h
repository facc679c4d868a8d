#pragma once

#include "queue/queue_entry.h"

#include <QByteArray>
#include <memory>
#include <optional>
#include <vector>

class QueueModel;

// The queue as the journal keeps it: every row in display order with what a
// restart needs (paths, status, failures, tag, playing time). Figures of a
// running encode are left out.
QByteArray SerializeQueue(const QueueModel& model);

// The entries of a journal, or nothing when the text is not a whole, valid
// journal (cut short, foreign, or with a value out of range). Entries that
// were being encoded or paused come back as not done.
std::optional<std::vector<std::unique_ptr<QueueEntry>>> ParseQueueJournal(const QByteArray& text);
