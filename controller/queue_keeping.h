#pragma once

#include <QString>
#include <functional>
#include <memory>

class MainController;
class QueueJournal;
struct QueueEntry;

// Keeps the controller's queue in the journal at `path`, creating its folder:
// restores what the journal holds (rows at the end, each entry `keep` lets
// through), and saves it whenever a finished output is in place. An entry
// restored as Completed whose output has gone comes back as Not Done. Call
// before the controller's start-up scan, so that the journal's order wins.
std::unique_ptr<QueueJournal> KeepQueueInJournal(MainController& controller, const QString& path,
                                                 const std::function<bool(QueueEntry&)>& keep = {});
