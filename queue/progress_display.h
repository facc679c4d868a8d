#pragma once

#include "queue/queue_entry.h"

#include <cstdint>
#include <functional>

class MainView;
class QueueModel;
class TickClock;
struct BatchState;

// Turns the worker's progress reports into entry figures, the progress area,
// the batch estimate, the tray tip and the minimised title.
class ProgressDisplay {
public:
    ProgressDisplay(QueueModel& model, MainView& view, BatchState& batch, const TickClock& clock);

    void OnEncodeProgress(int percent, std::uint32_t bytesDone);
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
    QueueEntry* FindLocalEntry() const;

    QueueModel& model;
    MainView& view;
    BatchState& batch;
    const TickClock& clock;
    QueueEntry scratch;
};
