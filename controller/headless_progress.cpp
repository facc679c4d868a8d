#include "controller/headless_progress.h"

#include "queue/batch_state.h"
#include "queue/progress_display.h"
#include "queue/progress_math.h"
#include "queue/queue_model.h"

#include <algorithm>

namespace {

// The window always shows the batch's remaining time with its hours.
QString BatchTimeText(std::uint32_t seconds) {
    const TimeSplit split = SplitSeconds(seconds);
    return QString::asprintf("%02u:%02u:%02u", split.hours, split.minutes, split.seconds);
}

} // namespace

bool SampleProgress(const QueueModel& model, const BatchState& batch,
                    const ProgressDisplay& progress, ProgressSample* sample) {
    const QueueEntry* running = nullptr;
    std::uint64_t inProgress = 0;
    double sumRate = 0.0;
    std::uint32_t maxRemaining = 0;
    for (int row = 0; row < model.RowCount(); ++row) {
        const QueueEntry* entry = model.EntryAt(row);
        if (!IsActiveStatus(entry->status)) {
            continue;
        }
        if (running == nullptr && entry->machine.str() == batch.ownName) {
            running = entry;
        }
        inProgress += entry->bytesDone;
        sumRate += entry->rate;
        maxRemaining = std::max(maxRemaining, entry->remainingSeconds);
    }
    if (running == nullptr || batch.serverJobState != Idle) {
        return false;
    }
    const BatchFigures figures = ComputeBatchFigures(batch.totalBytes, batch.finishedBytes,
                                                     inProgress, sumRate, maxRemaining);
    sample->path = running->path.str();
    sample->percent = std::clamp(running->percent, 0, 100);
    sample->batchPercent = figures.percent;
    sample->fileNumber = progress.CurrentFileNumber();
    sample->fileCount = model.Count() + batch.removedCount;
    sample->elapsedSeconds = running->elapsedSeconds;
    sample->elapsedText = running->elapsedText.str();
    sample->fileRemainingSeconds = running->remainingSeconds;
    sample->remainingSeconds = figures.hasRate ? figures.remainingSeconds : 0;
    sample->remainingText = figures.hasRate ? BatchTimeText(figures.remainingSeconds) : QString();
    sample->ratio = running->ratioText.isEmpty() ? 0.0 : running->ratio;
    sample->ratioText = running->ratioText.str();
    return true;
}
