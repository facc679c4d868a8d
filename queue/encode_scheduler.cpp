#include "queue/encode_scheduler.h"

#include "app/encoder_app.h"
#include "app/error_log.h"
#include "app/output_path.h"
#include "app/strings.h"
#include "app/trace.h"
#include "engines/output_part.h"
#include "queue/batch_state.h"
#include "queue/encode_port.h"
#include "queue/machine_port.h"
#include "queue/main_view.h"
#include "queue/progress_display.h"
#include "queue/progress_math.h"
#include "queue/queue_commands.h"
#include "queue/queue_model.h"
#include "queue/tick_clock.h"

#include <QFile>
#include <sys/stat.h>

namespace {

inline constexpr unsigned IDS_TRAY_ENCODING = 33008;
inline constexpr unsigned IDS_TRAY_PAUSED = 33009;
inline constexpr unsigned IDS_TRAY_STARTED = 33018;
inline constexpr unsigned IDS_LOW_DISK = 33039;
inline constexpr unsigned IDS_ENCODING_FILE = 33172;

QString OutputKey(const QString& outputPath) {
    return outputPath.toCaseFolded();
}

// Both names lead to one file (a file system that ignores letter case).
bool SameFile(const QString& first, const QString& second) {
    struct stat a {};
    struct stat b {};
    return ::stat(QFile::encodeName(first).constData(), &a) == 0 &&
           ::stat(QFile::encodeName(second).constData(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

} // namespace

EncodeScheduler::EncodeScheduler(const Parts& parts)
    : EncodeSchedulerParts(parts), freeSpace(GetFreeDiskSpace) {
    workers.push_back(Worker{&encoder, receiver});
    batch.workers.resize(1);
    // What StartLocal may take, kept per row so it need not walk the queue.
    model.SetWaitingTest([this](const QueueEntry& entry) {
        return entry.status == NotDone ||
               (entry.status == Error && !HasFailedOn(entry, batch.ownName));
    });
}

void EncodeScheduler::AddWorker(EncodePort& port, QObject* workerReceiver) {
    workers.push_back(Worker{&port, workerReceiver});
    batch.workers.resize(workers.size());
}

int EncodeScheduler::FreeWorker() const {
    for (std::size_t i = 0; i < workers.size(); ++i) {
        if (!batch.workers[i].encoding) {
            return int(i);
        }
    }
    return -1;
}

QString EncodeScheduler::MakeOutputPath(const QString& sourcePath) const {
    return ::MakeOutputPath(sourcePath, app.settings, app.programDirectory);
}

bool EncodeScheduler::CheckDiskSpace() const {
    return ::CheckDiskSpace(model, app.settings.bytesPerSec, app.OutputDirectory(), freeSpace);
}

void EncodeScheduler::OnEncode() {
    if (batch.IsBusy()) {
        view.EnableButton(ID_ENCODE, false);
        return;
    }
    // The question's own loop goes on running timers: Auto-Encode must neither
    // stack a second question nor start the batch over once it runs.
    if (askingDiskSpace) {
        return;
    }
    if (!CheckDiskSpace()) {
        askingDiskSpace = true;
        const bool go = view.AskOkCancel(ResString(IDS_LOW_DISK), ResString(IDS_APP_TITLE));
        askingDiskSpace = false;
        if (!go || batch.IsBusy()) {
            return;
        }
    }
    batch.timeText = FormatBatchTime(0, 0);
    view.SetTrayTip(ResString(IDS_TRAY_STARTED));
    SetLocalState(Encoding);
    view.SetLabel(ID_REMAINING_LABEL, batch.timeText);
    view.SetLabel(ID_RATIO_LABEL, QStringLiteral("1:1"));
    batch.removedCount = 0;
    batch.removedBytes = 0;
    batch.allowLocalStart = true;
    batch.localMarkCleared = false;
    StartNextFile(-1);
}

void EncodeScheduler::StartNextFile(int machineIndex) {
    progress.UpdateTotals();
    if (machines.AnyLoggedIn() && machines.DistributeFiles(machineIndex)) {
        return;
    }
    FillLocalWorkers();
}

void EncodeScheduler::FillLocalWorkers() {
    while (StartLocal()) {
    }
}

QString EncodeScheduler::OutputOwner(const QString& outputPath, const QString& sourcePath) const {
    const auto claimed = claimedOutputs.find(OutputKey(outputPath));
    if (claimed != claimedOutputs.end() &&
        claimed->second.compare(sourcePath, Qt::CaseInsensitive) != 0) {
        return claimed->second;
    }
    return QString();
}

QString EncodeScheduler::QueuedSourceAt(const QString& outputPath, const QString& ownSource) const {
    const QueueEntry* queued = model.FindEntry(outputPath);
    if (queued == nullptr) {
        return QString();
    }
    const QString source = queued->path.str();
    if (source.compare(ownSource, Qt::CaseInsensitive) == 0) {
        return QString();
    }
    return source == outputPath || SameFile(source, outputPath) ? source : QString();
}

void EncodeScheduler::ReportSourceInTheWay(const QueueEntry& entry, const QString& source) {
    ReportError(QStringLiteral("File %1 was not encoded because its output file would replace "
                               "the queued file %2.")
                    .arg(entry.path.str(), source));
}

void EncodeScheduler::ClaimOutput(const QString& outputPath, const QString& sourcePath) {
    claimedOutputs[OutputKey(outputPath)] = sourcePath;
}

bool EncodeScheduler::StartLocal() {
    const int worker = FreeWorker();
    if (worker < 0 || !batch.allowLocalStart) {
        return false;
    }
    int driverIndex = 0;
    int formatIndex = 0;
    codec.ResolveIndices(app.settings.manufacturerId, app.settings.productId, app.settings.channels,
                         app.settings.bytesPerSec, &driverIndex, &formatIndex);
    view.SetLabel(ID_FILE_TIME_LABEL, QStringLiteral("00:00"));

    for (int row = model.NextWaitingRow(); row >= 0; row = model.NextWaitingRow(row + 1)) {
        QueueEntry* entry = model.EntryAt(row);
        if (!model.IsWaiting(*entry)) {
            // Changed since its row was last refreshed.
            model.Refresh(entry);
            continue;
        }
        const QString outputPath = MakeOutputPath(entry->path);
        entry->outputPath = outputPath;
        entry->status = Encoding;
        entry->machine = batch.ownName;
        model.UpdateRow(row);
        ClearRunFigures(*entry);
        model.ClearSelection();
        model.SelectAndFocus(row);
        progress.SetShownEntry(entry);
        UpdateButtons();

        // Another file of the same name already went to this output, or the
        // output would land on a file still waiting in the queue.
        const QString owner = OutputOwner(outputPath, entry->path);
        const QString inTheWay = QueuedSourceAt(outputPath, entry->path);
        if (owner.isEmpty() && inTheWay.isEmpty() &&
            BeginFileEncode(*entry, outputPath, entry->size, driverIndex, formatIndex, worker)) {
            claimedOutputs[OutputKey(outputPath)] = entry->path;
            batch.workers[std::size_t(worker)].encoding = true;
            if (batch.localState == Paused) {
                // The file before ended just as Pause came: this one is held
                // too, so one Resume releases every worker together.
                HoldWorker(worker, true);
                entry->status = Paused;
                model.UpdateRow(row);
                view.SetTrayTip(ResString(IDS_TRAY_PAUSED));
            }
            progress.UpdateFileCounter();
            UpdatePauseButton(false);
            if (fileStarted) {
                fileStarted(*entry);
            }
            return true;
        }
        if (!owner.isEmpty()) {
            ReportError(QStringLiteral("File %1 was not encoded because its output file %2 "
                                       "already holds the encoded file %3.")
                            .arg(entry->path.str(), outputPath, owner));
        } else if (!inTheWay.isEmpty()) {
            ReportSourceInTheWay(*entry, inTheWay);
        } else {
            DiscardPart(outputPath);
        }
        entry->status = Error;
        entry->machine.clear();
        // Not retried here in this batch, so the same error is not logged again.
        RecordFailure(*entry, batch.ownName);
        ResetFileDisplay(worker);
        model.UpdateRow(row);
        progress.UpdateTotals();
        if (fileFinished) {
            fileFinished(*entry, FileOutcome::Failed);
        }
    }
    if (batch.LocalEncoding()) {
        // Nothing left to start; the last local worker to end closes the batch.
        for (int row : model.ActiveRows()) {
            QueueEntry* entry = model.EntryAt(row);
            if (IsActiveStatus(entry->status) && entry->machine.str() == batch.ownName) {
                progress.SetShownEntry(entry);
                break;
            }
        }
        return false;
    }
    FinishBatch();
    return false;
}

bool EncodeScheduler::BeginFileEncode(QueueEntry& entry, const QString& outputPath,
                                      std::uint32_t size, int driverIndex, int formatIndex,
                                      int worker) {
    LocalWorkerState& state = batch.workers[std::size_t(worker)];
    state.Start(entry.path.str(), size, clock.Now());
    const Worker& slot = workers[std::size_t(worker)];
    // The engine writes beside the final name; the rename comes after success.
    if (!slot.port->StartEncode(slot.receiver, static_cast<int>(app.settings.priority), entry.path,
                                PartPathOf(outputPath), driverIndex, formatIndex,
                                &state.audioSeconds)) {
        ReportError(QStringLiteral("Failed to encode file %1").arg(entry.path.str()));
        return false;
    }
    return true;
}

void EncodeScheduler::OnEncodeDone(bool outcome, const QString& path, int worker) {
    if (worker < 0 || worker >= WorkerCount()) {
        return;
    }
    ResetFileDisplay(worker);
    view.SetTitle(ResString(IDS_APP_TITLE));
    if (worker == 0 && batch.serverJobState != Idle) {
        outcome = SettleJobOutput(progress.ServerJobEntry().outputPath.str(), outcome,
                                  encoder.IsEncodeCancelled());
        if (serverJobDone) {
            serverJobDone(outcome);
        }
        return;
    }
    const QString noMachine;
    if (workers[std::size_t(worker)].port->IsEncodeCancelled()) {
        const int row = model.FindEntryByPath(path, NotDone, &noMachine);
        if (QueueEntry* entry = model.EntryAt(row)) {
            DiscardPart(entry->outputPath);
            claimedOutputs.erase(OutputKey(entry->outputPath));
            if (fileFinished) {
                fileFinished(*entry, FileOutcome::Cancelled);
            }
        }
        FinishBatch();
        if (!batch.AnythingRunning()) {
            batch.quitPending = false;
        }
        return;
    }
    if (!outcome) {
        const int row = model.FindEntryByPath(path, Error, &noMachine);
        if (QueueEntry* entry = model.EntryAt(row)) {
            RecordFailure(*entry, batch.ownName);
            DiscardPart(entry->outputPath);
            claimedOutputs.erase(OutputKey(entry->outputPath));
            ReportError(QStringLiteral("Error encoding %1").arg(entry->path.str()));
            if (fileFinished) {
                fileFinished(*entry, FileOutcome::Failed);
            }
        }
        StartNextFile(-1);
        return;
    }
    AfterEncode(path);
    StartNextFile(-1);
}

bool EncodeScheduler::SettleJobOutput(const QString& output, bool outcome, bool cancelled) {
    // A job for a server stays under its partial name: the server renames
    // the output of the machine it gave the file to, and no other.
    if (outcome && !cancelled) {
        return true;
    }
    DiscardPart(output);
    return false;
}

void EncodeScheduler::AfterEncode(const QString& path, bool outputInPlace) {
    const int row = model.FindEntryByPath(path, Completed);
    QueueEntry* entry = model.EntryAt(row);
    if (entry == nullptr) {
        return;
    }
    if (view.IsStatsOpenFor(entry)) {
        entry->percent = 100;
        view.RefreshStats();
    }
    // The tag goes into the unfinished file, so the final name only ever
    // holds a tagged, whole output.
    const PathText finalPath = entry->outputPath;
    if (writeTag) {
        if (!outputInPlace) {
            entry->outputPath = PartPathOf(finalPath.str());
        }
        writeTag(*entry);
        entry->outputPath = finalPath;
    }
    // A file queued since the encode began may sit where the output goes.
    const QString inTheWay = outputInPlace ? QString() : QueuedSourceAt(finalPath.str(), path);
    if (long error = 0;
        !outputInPlace && (!inTheWay.isEmpty() || !CommitPart(finalPath.str(), &error))) {
        DiscardPart(finalPath.str());
        claimedOutputs.erase(OutputKey(finalPath.str()));
        entry->status = Error;
        entry->machine.clear();
        RecordFailure(*entry, batch.ownName);
        model.UpdateRow(row);
        if (!inTheWay.isEmpty()) {
            ReportSourceInTheWay(*entry, inTheWay);
        } else {
            ReportError(QStringLiteral("Error %1 - Couldn't rename the finished file %2 to %3.")
                            .arg(error)
                            .arg(PartPathOf(finalPath.str()), finalPath.str()));
        }
        if (fileFinished) {
            fileFinished(*entry, FileOutcome::Failed);
        }
        return;
    }
    if (queueSaved) {
        queueSaved();
    }
    // Only a source whose output is in place under its final name goes.
    if (app.settings.deleteWhenDone != 0) {
        QFile::remove(path);
    }
    // A file too short to report progress has no measured rate to keep.
    if (entry->rate > 0.0) {
        app.SaveThroughput(entry->machine, entry->rate);
    }
    if (fileFinished) {
        fileFinished(*entry, FileOutcome::Completed);
    }
    if (app.settings.removeFromQueue != 0) {
        ++batch.removedCount;
        batch.removedBytes += entry->size;
        RemoveEntry(model, view, row, true, [this] { AfterQueueEdit(); });
    } else {
        entry->machine.clear();
        model.UpdateRow(row);
    }
}

void EncodeScheduler::FinishBatch() {
    for (int row : model.ActiveRows()) {
        QueueEntry* entry = model.EntryAt(row);
        if (!entry->machine.isEmpty() && IsActiveStatus(entry->status)) {
            progress.SetShownEntry(entry);
            UpdatePauseButton(false);
            progress.UpdateFileCounter();
            batch.allowLocalStart = false;
            return;
        }
    }
    view.SetLabel(ID_REMAINING_LABEL, QString());
    view.SetLabel(ID_RATIO_LABEL, QString());
    view.SetLabel(ID_FILE_TIME_LABEL, QString());
    view.SetLabel(ID_COUNTER_LABEL, ResString(IDS_ENCODING_FILE));
    SetLocalState(Idle);
    if (batchEnded) {
        batchEnded();
    }
}

void EncodeScheduler::ResetFileDisplay(int worker) {
    batch.workers[std::size_t(worker)].encoding = false;
    view.SetProgress(0);
    view.SetLabel(ID_CURRENT_FILE_LABEL, QString());
    view.SetLabel(ID_FILE_TIME_LABEL, QString());
    view.SetTrayTip(ResString(IDS_TRAY_TIP));
}

void EncodeScheduler::SetLocalState(int state) {
    batch.localState = state;
    if (!batch.IsBusy()) {
        view.EnableButton(ID_ENCODE, true);
        view.SetLabel(ID_COUNTER_LABEL, ResString(IDS_ENCODING_FILE));
        view.SetLabel(ID_CURRENT_FILE_LABEL, QString());
    } else {
        view.EnableButton(ID_ENCODE, false);
    }
    UpdatePauseButton(false);
}

void EncodeScheduler::UpdateButtons() {
    const bool any = model.Count() > 0;
    view.EnableButton(ID_ENCODE, !batch.IsBusy() && any);
    view.EnableButton(ID_REMOVE, any);
    const bool movable = model.CountSelected() < 2 && any;
    view.EnableButton(ID_UP, movable);
    view.EnableButton(ID_DOWN, movable);
}

EncodeScheduler::SelectionActivity EncodeScheduler::GetSelectionActivity() const {
    SelectionActivity activity;
    for (int row : model.SelectedRows()) {
        const int status = model.EntryAt(row)->status;
        activity.paused = activity.paused || status == Paused;
        activity.encoding = activity.encoding || status == Encoding;
    }
    return activity;
}

EncodeScheduler::PauseActivity EncodeScheduler::CurrentActivity() const {
    PauseActivity activity;
    if (batch.serverJobState != Idle) {
        activity.encoding = true;
        activity.paused = batch.serverJobState == Paused;
    } else if (batch.LaneJobs() > 0) {
        activity.encoding = true;
        activity.paused = batch.LaneJobsPaused();
    } else {
        activity = GetSelectionActivity();
    }
    return activity;
}

void EncodeScheduler::UpdatePauseButton(bool force) {
    const PauseActivity activity = CurrentActivity();
    if (!activity.encoding && !activity.paused) {
        if (!force && !view.IsButtonEnabled(ID_PAUSE)) {
            return;
        }
        view.EnableButton(ID_PAUSE, false);
        view.EnableButton(ID_CANCEL, false);
        view.ShowPauseAsResume(false);
        return;
    }
    if (force || !view.IsButtonEnabled(ID_PAUSE)) {
        view.EnableButton(ID_PAUSE, true);
        view.EnableButton(ID_CANCEL, true);
    }
    view.ShowPauseAsResume(activity.paused);
}

void EncodeScheduler::HoldWorker(int worker, bool hold) {
    LocalWorkerState& state = batch.workers[std::size_t(worker)];
    EncodePort& port = *workers[std::size_t(worker)].port;
    const std::uint32_t now = clock.Now();
    if (hold) {
        state.pauseStartTicks = now;
        port.PauseEncode();
        return;
    }
    if (state.pauseStartTicks != 0) {
        state.pausedMillis += now - state.pauseStartTicks;
        state.pauseStartTicks = 0;
    }
    port.ResumeEncode();
}

void EncodeScheduler::TogglePause(int& state) {
    ToggleHeld(state, WorkerCount());
}

void EncodeScheduler::ToggleServerJobPause() {
    // The job runs on the first worker alone; the others may hold jobs of a
    // client's other lanes, which this must not touch.
    ToggleHeld(batch.serverJobState, 1);
}

void EncodeScheduler::ToggleHeld(int& state, int count) {
    const bool hold = state != Paused;
    state = hold ? Paused : Encoding;
    for (int i = 0; i < count; ++i) {
        HoldWorker(i, hold);
    }
    if (hold) {
        view.SetTrayTip(ResString(IDS_TRAY_PAUSED));
    } else {
        view.SetTrayTip(ResString(IDS_TRAY_ENCODING).replace(QStringLiteral("%s"), batch.timeText));
    }
    UpdatePauseButton(true);
}

void EncodeScheduler::OnPause() {
    if (batch.serverJobState != Idle) {
        Trace("onpausebtn: pausing the local machine, while encoding for server\n");
        ToggleServerJobPause();
        return;
    }
    const SelectionActivity activity = GetSelectionActivity();
    bool localToggled = false;
    for (int row : model.SelectedRows()) {
        QueueEntry* entry = model.EntryAt(row);
        if (!IsActiveStatus(entry->status) || (activity.paused && entry->status != Paused)) {
            continue;
        }
        const int client = machines.FindClient(entry->machine);
        if (client >= 0) {
            entry->status = entry->status == Paused ? Encoding : Paused;
            machines.SendClientState(client, entry->status);
            model.UpdateRow(row);
        } else if (!localToggled) {
            // The local workers pause and resume together.
            localToggled = true;
            TogglePause(batch.localState);
            SetLocalEntriesState();
        }
    }
    UpdatePauseButton(true);
}

void EncodeScheduler::SetLocalEntriesState() {
    for (int row : model.ActiveRows()) {
        QueueEntry* entry = model.EntryAt(row);
        if (IsActiveStatus(entry->status) && entry->machine.str() == batch.ownName) {
            entry->status = batch.localState;
            model.UpdateRow(row);
        }
    }
}

void EncodeScheduler::OnCancel() {
    if (batch.serverJobState != Idle) {
        if (batch.serverJobState == Paused) {
            ToggleServerJobPause();
        }
        encoder.CancelEncode();
        return;
    }
    bool localCancelled = false;
    for (int row : model.SelectedRows()) {
        QueueEntry* entry = model.EntryAt(row);
        const int client = machines.FindClient(entry->machine);
        if (client >= 0) {
            machines.StopClient(client);
        } else if (IsActiveStatus(entry->status) && !localCancelled) {
            localCancelled = true;
            // A suspended worker cannot see the cancel flag.
            if (entry->status == Paused || batch.localState == Paused) {
                TogglePause(batch.localState);
                SetLocalEntriesState();
            }
            CancelAllWorkers(false);
        }
    }
}

void EncodeScheduler::CancelAllWorkers(bool resume) {
    for (const Worker& worker : workers) {
        worker.port->CancelEncode();
        if (resume) {
            worker.port->ResumeEncode();
        }
    }
}

void EncodeScheduler::SetWorkerPriority(int level) {
    for (const Worker& worker : workers) {
        worker.port->SetEncodePriority(level);
    }
}

void EncodeScheduler::ReportError(const QString& message, const QString& machine) {
    AddError(message, machine);
    UpdateErrorsButton();
    if (errorReported) {
        errorReported(message);
    }
}

void EncodeScheduler::UpdateErrorsButton() {
    view.EnableButton(ID_ERRORS, HasErrors());
}

void EncodeScheduler::AfterQueueEdit() {
    if (batch.IsBusy()) {
        progress.UpdateTotals();
        TakeNewFiles();
        progress.UpdateFileCounter();
    }
    UpdateButtons();
}

void EncodeScheduler::TakeNewFiles() {
    // One worker takes a new file when its own ends, as ever; idle workers
    // beside running ones need not wait for that. Only while a local file
    // runs, so that finding nothing can never end the batch from here.
    if (workers.size() > 1 && batch.localState == Encoding && batch.serverJobState == Idle &&
        batch.allowLocalStart && batch.LocalEncoding() && FreeWorker() >= 0) {
        FillLocalWorkers();
    }
}
