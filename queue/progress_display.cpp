#include "queue/progress_display.h"

#include "app/strings.h"
#include "app/trace.h"
#include "queue/batch_state.h"
#include "queue/main_view.h"
#include "queue/progress_math.h"
#include "queue/queue_model.h"
#include "queue/tick_clock.h"

#include <algorithm>

namespace {

inline constexpr unsigned IDS_TRAY_ENCODING = 33008;
inline constexpr unsigned IDS_FILE_COUNTER = 33023;
inline constexpr unsigned IDS_MINIMISED_TITLE = 33024;
inline constexpr unsigned IDS_ENCODING_FILE = 33172;

} // namespace

void FillEntryFigures(QueueEntry& entry, int percent, std::uint32_t bytesDone,
                      const FileFigures& figures) {
    if (figures.rate == 0.0) {
        entry.percent = 0;
        return;
    }
    const TimeSplit split = SplitSeconds(figures.remainingSeconds);
    entry.remainingSeconds = figures.remainingSeconds;
    entry.remainingHours = split.hours;
    entry.remainingMinutes = split.minutes;
    entry.remainingSecs = split.seconds;
    entry.remainingText = FormatTimeText(figures.remainingSeconds);
    entry.percent = percent;
    entry.rate = figures.rate;
    entry.ratio = figures.ratio;
    entry.bytesDone = bytesDone;
    if (figures.hasRatio) {
        entry.ratioText = FormatRatio(figures.ratio);
    }
    entry.elapsedSeconds = figures.elapsedSeconds;
    entry.elapsedText = FormatTimeText(figures.elapsedSeconds);
    entry.totalSeconds = figures.totalSeconds;
    entry.totalText = FormatTimeText(figures.totalSeconds);
}

ProgressDisplay::ProgressDisplay(QueueModel& model, MainView& view, BatchState& batch,
                                 const TickClock& clock)
    : model(model), view(view), batch(batch), clock(clock) {}

QueueEntry* ProgressDisplay::FindWorkerEntry(const QString& sourcePath) const {
    QueueEntry* entry = model.FindEntry(sourcePath);
    if (entry != nullptr && IsActiveStatus(entry->status) &&
        entry->machine.str() == batch.ownName && model.RowOf(entry) >= 0) {
        return entry;
    }
    return nullptr;
}

void ProgressDisplay::OnEncodeProgress(int percent, std::uint32_t bytesDone, int worker) {
    if (worker < 0 || std::size_t(worker) >= batch.workers.size()) {
        return;
    }
    const LocalWorkerState& state = batch.workers[std::size_t(worker)];
    const std::uint32_t elapsed = state.ElapsedMillis(clock.Now());
    if (elapsed == 0) {
        return;
    }
    QueueEntry* entry = batch.serverJobState == Idle ? FindWorkerEntry(state.sourcePath) : &scratch;
    const FileFigures figures =
        ComputeFileFigures(elapsed, bytesDone, state.fileBytes, state.audioSeconds);
    if (figures.rate != 0.0) {
        batch.localRate = figures.rate;
    }
    if (entry == nullptr) {
        return;
    }
    FillEntryFigures(*entry, percent, bytesDone, figures);
    ShowEntryProgress(*entry);

    if (batch.serverJobState != Idle) {
        view.SetLabel(ID_RATIO_LABEL, entry->ratioText);
        view.SetLabel(ID_REMAINING_LABEL, entry->remainingText);
        if (reportServerJob) {
            reportServerJob(*entry);
        }
        return;
    }
    if (view.IsStatsOpenFor(entry)) {
        view.RefreshStats();
    }
    model.UpdateRow(model.RowOf(entry));
    UpdateOverallProgress();
}

void ProgressDisplay::ShowEntryProgress(const QueueEntry& entry) {
    const bool ownWork = batch.serverJobState == Idle;
    if (ownWork && &entry != batch.shownEntry) {
        return;
    }
    view.SetProgress(std::max(entry.percent, 0));
    if (ownWork) {
        view.SetLabel(ID_CURRENT_FILE_LABEL, FileTitle(entry.path));
    }
    if (!entry.ratioText.isEmpty()) {
        view.SetLabel(ID_FILE_TIME_LABEL, QStringLiteral("%1 (%2)").arg(entry.remainingText.str(),
                                                                        entry.ratioText.str()));
    } else {
        view.SetLabel(ID_FILE_TIME_LABEL, QStringLiteral("00:00"));
    }
}

void ProgressDisplay::SetShownEntry(QueueEntry* entry) {
    batch.shownEntry = entry;
    if (entry != nullptr) {
        ShowEntryProgress(*entry);
    }
}

void ProgressDisplay::UpdateTotals() {
    batch.totalBytes = batch.removedBytes + model.TotalBytes();
    batch.finishedBytes =
        batch.removedBytes + model.BytesWithStatus(Completed) + model.BytesWithStatus(Error);
}

int ProgressDisplay::CurrentFileNumber() const {
    return batch.removedCount + model.CountWithStatus(Encoding) + model.CountWithStatus(Completed) +
           model.CountWithStatus(Paused) + model.CountWithStatus(Error);
}

void ProgressDisplay::UpdateFileCounter() {
    if (batch.IsBusy() && model.Count() > 0) {
        view.SetLabel(ID_COUNTER_LABEL,
                      QString::asprintf(FindResString(IDS_FILE_COUNTER), CurrentFileNumber(),
                                        model.Count() + batch.removedCount));
    } else {
        view.SetLabel(ID_COUNTER_LABEL, ResString(IDS_ENCODING_FILE));
    }
}

void ProgressDisplay::UpdateOverallProgress() {
    std::uint64_t inProgress = 0;
    double sumRate = 0.0;
    std::uint32_t maxRemaining = 0;
    for (int row : model.ActiveRows()) {
        const QueueEntry* entry = model.EntryAt(row);
        inProgress += entry->bytesDone;
        sumRate += entry->rate;
        maxRemaining = std::max(maxRemaining, entry->remainingSeconds);
    }
    Trace("onprogress: total throughput = %lu bytes/sec in progress = %lu total bytes encoded = "
          "%lu\n",
          static_cast<unsigned long>(sumRate), static_cast<unsigned long>(inProgress),
          static_cast<unsigned long>(batch.finishedBytes + inProgress));
    const BatchFigures figures = ComputeBatchFigures(batch.totalBytes, batch.finishedBytes,
                                                     inProgress, sumRate, maxRemaining);
    if (!figures.hasRate) {
        return;
    }
    batch.timeText = FormatBatchTime(figures.remainingSeconds, figures.percent);
    view.SetLabel(ID_REMAINING_LABEL, batch.timeText);
    if (figures.hasRatio) {
        view.SetLabel(ID_RATIO_LABEL, FormatRatio(figures.ratio));
    }
    view.SetTrayTip(ResString(IDS_TRAY_ENCODING).replace(QStringLiteral("%s"), batch.timeText));
    if (view.IsMinimised()) {
        view.SetTitle(QString::asprintf(FindResString(IDS_MINIMISED_TITLE), figures.percent));
    }
}
