#include "headless/progress.h"

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

std::vector<ProgressSample> SampleProgress(const QueueModel& model, const BatchState& batch,
                                           const ProgressDisplay& progress) {
    std::vector<const QueueEntry*> running;
    std::uint64_t inProgress = 0;
    double sumRate = 0.0;
    std::uint32_t maxRemaining = 0;
    for (int row : model.ActiveRows()) {
        const QueueEntry* entry = model.EntryAt(row);
        if (entry->machine.str() == batch.ownName) {
            running.push_back(entry);
        }
        inProgress += entry->bytesDone;
        sumRate += entry->rate;
        maxRemaining = std::max(maxRemaining, entry->remainingSeconds);
    }
    std::vector<ProgressSample> samples;
    if (batch.serverJobState != Idle) {
        return samples;
    }
    const BatchFigures figures = ComputeBatchFigures(batch.totalBytes, batch.finishedBytes,
                                                     inProgress, sumRate, maxRemaining);
    // What every sample shares: the batch.
    ProgressSample shared;
    shared.running = int(running.size());
    shared.batchPercent = figures.percent;
    shared.fileNumber = progress.CurrentFileNumber();
    shared.fileCount = model.Count() + batch.removedCount;
    shared.remainingSeconds = figures.hasRate ? figures.remainingSeconds : 0;
    shared.remainingText = figures.hasRate ? BatchTimeText(figures.remainingSeconds) : QString();
    for (const QueueEntry* entry : running) {
        ProgressSample& sample = samples.emplace_back(shared);
        sample.path = entry->path.str();
        sample.percent = std::clamp(entry->percent, 0, 100);
        sample.elapsedSeconds = entry->elapsedSeconds;
        sample.elapsedText = entry->elapsedText.str();
        sample.fileRemainingSeconds = entry->remainingSeconds;
        sample.ratio = entry->ratioText.isEmpty() ? 0.0 : entry->ratio;
        sample.ratioText = entry->ratioText.str();
    }
    return samples;
}
