#pragma once

#include "queue/queue_entry.h"

#include <cstdint>
#include <functional>

class MainView;
class QueueModel;
class TickClock;
struct BatchState;

struct FileFigures;

// Writes one report's figures into the entry (its row, stats and progress area).
void FillEntryFigures(QueueEntry& entry, int percent, std::uint32_t bytesDone,
                      const FileFigures& figures);

// Turns the worker's progress reports into entry figures, the progress area,
// the batch estimate, the tray tip and the minimised title.
class ProgressDisplay {
public:
    ProgressDisplay(QueueModel& model, MainView& view, BatchState& batch, const TickClock& clock);

    // A report of this local worker (the first also runs a server's job).
    void OnEncodeProgress(int percent, std::uint32_t bytesDone, int worker = 0);
    void UpdateTotals();
    int CurrentFileNumber() const;
    void UpdateFileCounter();
    void ShowEntryProgress(const QueueEntry& entry);
    void UpdateOverallProgress();
    // Makes an active entry the one shown in the progress area.
    void SetShownEntry(QueueEntry* entry);
    // The entry of a job done for a server (it has no row here).
    QueueEntry& ServerJobEntry() { return scratch; }

    // Hands a server job's figures to the client role.
    std::function<void(const QueueEntry&)> reportServerJob;

private:
    QueueEntry* FindWorkerEntry(const QString& sourcePath) const;

    QueueModel& model;
    MainView& view;
    BatchState& batch;
    const TickClock& clock;
    QueueEntry scratch;
};
