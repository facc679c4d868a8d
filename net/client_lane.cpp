// A client's further lanes: each takes one job at a time on its own worker,
// beside lane 0's job and without the window.
#include "net/client_role.h"

#include "app/encoder_app.h"
#include "app/error_log.h"
#include "app/trace.h"
#include "engines/output_part.h"
#include "net/net_records.h"
#include "net/protocol.h"
#include "net/writer_part.h"
#include "queue/batch_state.h"
#include "queue/encode_port.h"
#include "queue/encode_scheduler.h"
#include "queue/progress_display.h"
#include "queue/progress_math.h"
#include "queue/tick_clock.h"

int& ClientRole::LaneJobState() {
    return batch.workers[std::size_t(lane)].laneJob;
}

int ClientRole::LaneJobState() const {
    return batch.workers[std::size_t(lane)].laneJob;
}

void ClientRole::LaneEncodeJob(const EncodeJob& job, const QString& source,
                               const QString& destination, int driver, int format) {
    laneEntry = QueueEntry();
    SetEntryPath(laneEntry, source);
    laneEntry.size = job.size;
    laneEntry.outputPath = WriterOutputBase(destination, LoginName());
    LocalWorkerState& state = batch.workers[std::size_t(lane)];
    state.Start(source, job.size, clock.Now());
    if (!encoder.StartEncode(this, static_cast<int>(app.settings.priority), source,
                             PartPathOf(laneEntry.outputPath.str()), driver, format,
                             &state.audioSeconds)) {
        RefuseJob(job.source);
        return;
    }
    LaneJobState() = Encoding;
    jobSource = source;
    // The queue's batch waits while any lane works.
    scheduler.UpdateButtons();
    scheduler.UpdatePauseButton(true);
    Trace("onencodejob: lane %d encoding %s into %s for the server\n", lane, qPrintable(source),
          qPrintable(destination));
    if (jobStarted) {
        jobStarted(source);
    }
}

void ClientRole::OnLaneProgress(int percent, std::uint32_t bytesDone) {
    if (LaneJobState() == Idle) {
        return;
    }
    const LocalWorkerState& state = batch.workers[std::size_t(lane)];
    const std::uint32_t elapsed = state.ElapsedMillis(clock.Now());
    if (elapsed == 0) {
        return;
    }
    FillEntryFigures(laneEntry, percent, bytesDone,
                     ComputeFileFigures(elapsed, bytesDone, state.fileBytes, state.audioSeconds));
    // A record that cannot be sent whole is left out; the next one follows.
    if (const QByteArray record = WriteProgressRecord(laneEntry); !record.isEmpty()) {
        Send(NET_PROGRESS, record);
    }
}

void ClientRole::OnLaneDone(bool outcome) {
    if (LaneJobState() == Idle) {
        return;
    }
    const ErrorRouteScope route(errorRoute);
    const bool cancelled = encoder.IsEncodeCancelled();
    outcome = scheduler.SettleJobOutput(laneEntry.outputPath.str(), outcome, cancelled);
    FileOutcome result = outcome ? FileOutcome::Completed : FileOutcome::Failed;
    if (cancelled) {
        result = FileOutcome::Cancelled;
        Send(NET_CANCEL);
    } else {
        Send(outcome ? NET_DONE : NET_FAILED);
    }
    LaneJobState() = Idle;
    if (!batch.AnythingRunning()) {
        batch.quitPending = false;
    }
    scheduler.UpdateButtons();
    scheduler.UpdatePauseButton(true);
    const QString source = jobSource;
    jobSource.clear();
    if (jobEnded) {
        jobEnded(source, result);
    }
}

void ClientRole::LaneTogglePause() {
    const bool hold = LaneJobState() != Paused;
    LaneJobState() = hold ? Paused : Encoding;
    scheduler.HoldWorker(lane, hold);
}

void ClientRole::SetLanePaused(bool paused) {
    const int state = LaneJobState();
    if (lane == 0 || state == Idle || (state == Paused) == paused) {
        return;
    }
    LaneTogglePause();
    if (serverSlot >= 0) {
        SendJobState(serverSlot, LaneJobState());
    }
    scheduler.UpdatePauseButton(true);
}

void ClientRole::LaneJobMessage(int type) {
    switch (type) {
    case MSG_NET_PAUSE:
    case MSG_NET_RESUME:
        // Both toggle, as for lane 0.
        LaneTogglePause();
        scheduler.UpdatePauseButton(true);
        break;
    case MSG_NET_CANCEL:
        CancelLaneJob();
        break;
    default:
        break;
    }
}

void ClientRole::CancelLaneJob() {
    if (lane == 0 || LaneJobState() == Idle) {
        return;
    }
    // A paused worker cannot see the cancel flag.
    if (LaneJobState() == Paused) {
        LaneTogglePause();
    }
    encoder.CancelEncode();
}
