// The client role's jobs: answering the server's questions, encoding what it
// hands out, reporting progress and the outcome.
#include "net/client_role.h"

#include "app/encoder_app.h"
#include "app/error_log.h"
#include "app/strings.h"
#include "app/trace.h"
#include "engines/catalogue.h"
#include "net/can_encode_check.h"
#include "net/net_records.h"
#include "net/net_sink.h"
#include "net/protocol.h"
#include "net/unc.h"
#include "net/writer_part.h"
#include "queue/batch_state.h"
#include "queue/encode_port.h"
#include "queue/encode_scheduler.h"
#include "queue/main_view.h"
#include "queue/progress_display.h"
#include "queue/progress_math.h"
#include "queue/queue_entry.h"

#include <QDateTime>
#include <array>

namespace {

inline constexpr int ID_FILE_LIST = 1161;
inline constexpr unsigned IDS_TRAY_STARTED = 33018;
inline constexpr unsigned IDS_BATCH_TIME = 33022;
inline constexpr unsigned IDS_ENCODING_FOR_SERVER = 33173;

// The controls a server job locks, so the local queue cannot be edited or started.
constexpr std::array<int, 8> LOCKED_CONTROLS = {ID_FILE_LIST, ID_ENCODE, ID_ADD_FILES, ID_CLEAR_ALL,
                                                ID_REMOVE,    ID_UP,     ID_DOWN,      ID_NETWORK};

// Network paths separate with backslashes.
QString DirectoryPart(const QString& path) {
    const qsizetype cut = path.lastIndexOf(u'\\');
    return cut < 0 ? QString() : path.left(cut);
}

} // namespace

void ClientRole::oncanencode(int slot, std::unique_ptr<QByteArray> payload) {
    if (!FromServer(slot)) {
        return;
    }
    std::uint32_t code = CANENCODE_OK;
    if (BusyForJobs()) {
        code = CANENCODE_BUSY;
    } else {
        if (!payload) {
            return;
        }
        EncodeJob job;
        if (!ReadEncodeJob(*payload, job)) {
            Trace("oncanencode: unreadable job record of %d bytes\n", int(payload->size()));
            return;
        }
        UncMapping unmapped;
        code = CheckCanEncode(
            job,
            [this](const EncodeJob& asked) {
                int driver = 0;
                int format = 0;
                return codec.FindCodec(asked.manufacturerId, asked.productId, asked.channels,
                                       asked.bytesPerSec, &driver, &format);
            },
            app.settings.serverIp, &unmapped);
        if (unmapped.problem != UncProblem::None) {
            ReportUnmapped(code == CANENCODE_NOREAD ? job.source : job.destination, unmapped);
        }
    }
    Send(NET_CANENCODE_REPLY, WriteReplyCode(code));
}

void ClientRole::onencodejob(int slot, std::unique_ptr<QByteArray> payload) {
    if (!FromServer(slot)) {
        return;
    }
    // A refusal and everything the job's worker reports go on this connection.
    const ErrorRouteScope route(errorRoute);
    if (JobState() != Idle) {
        Trace("onencodejob: a job is already running, the new one is ignored\n");
        return;
    }
    if (!payload) {
        return;
    }
    EncodeJob job;
    if (!ReadEncodeJob(*payload, job)) {
        RefuseJob(QStringLiteral("(unreadable job)"));
        return;
    }
    // The server would otherwise wait for this file for ever: every job not
    // taken is reported, and the relay tells the server.
    if (BusyForJobs()) {
        RefuseJob(job.source);
        return;
    }
    int driver = 0;
    int format = 0;
    if (!codec.FindCodec(job.manufacturerId, job.productId, job.channels, job.bytesPerSec, &driver,
                         &format)) {
        RefuseJob(job.source);
        return;
    }
    // The server's stereo mode, as its choice of format, is the one encoded.
    if (job.manufacturerId == LAME_DRIVER_ID) {
        app.settings.stereoMode = job.jointStereo ? STEREO_MODE_JOINT : STEREO_MODE_STEREO;
    }
    // Nothing is opened under a path that does not map into a share here.
    const UncMapping sourceMapping = MapUncPath(job.source, app.settings.serverIp);
    const UncMapping destinationMapping = MapUncPath(job.destination, app.settings.serverIp);
    const QString source = sourceMapping.localPath;
    const QString destination = destinationMapping.localPath;
    if (source.isEmpty() || destination.isEmpty()) {
        Trace("onencodejob: no local path for %s or %s\n", qPrintable(job.source),
              qPrintable(job.destination));
        ReportUnmapped(source.isEmpty() ? job.source : job.destination,
                       source.isEmpty() ? sourceMapping : destinationMapping);
        RefuseJob(job.source);
        return;
    }
    if (lane > 0) {
        LaneEncodeJob(job, source, destination, driver, format);
        return;
    }
    // The worker writes this machine's own partial output, which stays for
    // the server to take.
    const QString written = WriterOutputBase(destination, LoginName());
    QueueEntry& entry = progress.ServerJobEntry();
    entry = QueueEntry();
    SetEntryPath(entry, source);
    entry.size = job.size;
    entry.outputPath = written;
    if (scheduler.BeginFileEncode(entry, written, job.size, driver, format)) {
        BeginServerJob(job, source, destination);
    }
}

bool ClientRole::BusyForJobs() const {
    if (lane == 0) {
        return batch.IsBusyBesidesLanes();
    }
    // Lane 0's job does not hold the other lanes; the queue's batch does.
    const bool queueRuns = batch.serverJobState == Idle &&
                           (batch.localState == Encoding || batch.localState == Paused);
    return LaneJobState() != Idle || queueRuns;
}

int ClientRole::JobState() const {
    return lane == 0 ? batch.serverJobState : LaneJobState();
}

const QueueEntry& ClientRole::JobEntry() const {
    return lane == 0 ? progress.ServerJobEntry() : laneEntry;
}

void ClientRole::RefuseJob(const QString& path) {
    scheduler.ReportError(QStringLiteral("Failed to encode file %1").arg(path));
}

void ClientRole::ReportUnmapped(const QString& uncPath, const UncMapping& mapping) {
    NoteLocally(DescribeUncProblem(uncPath, mapping, app.settings.serverIp));
}

void ClientRole::NoteLocally(const QString& text) {
    Trace("%s: %s\n", lane == 0 ? "client" : "client lane", qPrintable(text));
    if (!notices.Due(text, QDateTime::currentMSecsSinceEpoch())) {
        return;
    }
    {
        // This machine's user needs it, not the server's.
        const ErrorRouteScope local(ERROR_ROUTE_LOG_FILE);
        AddError(text);
    }
    if (notice) {
        notice(text);
    }
}

void ClientRole::onservermessage(int slot, std::unique_ptr<QByteArray> payload) {
    QString text;
    if (!FromServer(slot) || !payload || !ReadErrorText(*payload, text)) {
        return;
    }
    NoteLocally(QStringLiteral("The server %1 says: %2").arg(app.settings.serverIp, text));
}

void ClientRole::BeginServerJob(const EncodeJob& job, const QString& source,
                                const QString& destination) {
    batch.serverJobState = Encoding;
    jobSource = source;
    for (int id : LOCKED_CONTROLS) {
        view.EnableButton(id, false);
    }
    view.EnableButton(ID_PAUSE, true);
    view.EnableButton(ID_CANCEL, true);

    // The server's choice stays after the job and is saved with the settings.
    EncoderSettings& settings = app.settings;
    settings.manufacturerId = job.manufacturerId;
    settings.productId = job.productId;
    settings.channels = job.channels;
    settings.bytesPerSec = job.bytesPerSec;
    std::uint32_t manufacturer = job.manufacturerId;
    std::uint32_t product = job.productId;
    std::uint32_t channels = job.channels;
    std::uint32_t bytesPerSec = job.bytesPerSec;
    view.SetLabel(ID_CODEC_LABEL,
                  codec.DescribeCodec(&manufacturer, &product, &channels, &bytesPerSec));

    view.SetLabel(ID_FILE_TIME_LABEL, QStringLiteral("00:00:00"));
    view.SetLabel(ID_SOURCE_DIR_LABEL, DirectoryPart(job.source));
    view.SetLabel(ID_OUTPUT_DIR_LABEL, DirectoryPart(job.destination));
    view.SetLabel(ID_CURRENT_FILE_LABEL, FileTitle(source));

    batch.removedBytes = 0;
    batch.removedCount = 0;
    batch.finishedBytes = 0;
    batch.localState = Encoding;
    batch.totalBytes = job.size;

    view.SetLabel(ID_COUNTER_LABEL, ResString(IDS_ENCODING_FOR_SERVER));
    view.SetProgress(0);
    batch.timeText = QString::asprintf(FindResString(IDS_BATCH_TIME), 0, 0, 0, 0);
    view.SetLabel(ID_REMAINING_LABEL, batch.timeText);
    view.SetTrayTip(ResString(IDS_TRAY_STARTED));
    view.SetLabel(ID_RATIO_LABEL, QStringLiteral("1:1"));
    Trace("onencodejob: encoding %s into %s for the server\n", qPrintable(source),
          qPrintable(destination));
    if (jobStarted) {
        jobStarted(source);
    }
}

void ClientRole::EndServerJob() {
    batch.serverJobState = Idle;
    for (int id : LOCKED_CONTROLS) {
        view.EnableButton(id, true);
    }
    view.EnableButton(ID_PAUSE, false);
    view.EnableButton(ID_CANCEL, false);
    view.SetLabel(ID_SOURCE_DIR_LABEL, app.settings.fromDir);
    view.SetLabel(ID_OUTPUT_DIR_LABEL, app.settings.toDir);
    batch.removedBytes = 0;
    batch.removedCount = 0;
    batch.totalBytes = 0;
    batch.finishedBytes = 0;
    scheduler.FinishBatch();
}

void ClientRole::SendProgressToServer(const QueueEntry& record) {
    if (batch.serverJobState == Idle || serverSlot == -1) {
        return;
    }
    if (const QByteArray figures = WriteProgressRecord(record); !figures.isEmpty()) {
        Send(NET_PROGRESS, figures);
    }
}

void ClientRole::FinishServerJob(bool outcome) {
    FileOutcome result = outcome ? FileOutcome::Completed : FileOutcome::Failed;
    if (encoder.IsEncodeCancelled()) {
        result = FileOutcome::Cancelled;
        Send(NET_CANCEL);
        batch.quitPending = false;
    } else {
        Send(outcome ? NET_DONE : NET_FAILED);
    }
    const QString source = jobSource;
    jobSource.clear();
    EndServerJob();
    if (jobEnded) {
        jobEnded(source, result);
    }
}

bool ClientRole::SendJobState(int slot, int state) {
    if (state == Paused) {
        return netsend(sockets, slot, nullptr, 0, NET_PAUSE);
    }
    if (state == Encoding) {
        return netsend(sockets, slot, nullptr, 0, NET_RESUME);
    }
    return false;
}

void ClientRole::OnPause() {
    Trace("onpausebtn: pausing the local machine, while encoding for server\n");
    scheduler.ToggleServerJobPause();
    if (serverSlot >= 0) {
        Trace("onpausebtn: telling server machine we are pausing\n");
        SendJobState(serverSlot, batch.serverJobState);
    }
}

void ClientRole::OnCancel() {
    CancelJob();
}

void ClientRole::CancelJob() {
    // A paused worker cannot see the cancel flag.
    if (batch.serverJobState == Paused) {
        scheduler.ToggleServerJobPause();
    }
    encoder.CancelEncode();
}

bool ClientRole::OnJobMessage(int type, int slot) {
    if (JobState() == Idle) {
        return false;
    }
    if (!FromServer(slot)) {
        return true;
    }
    if (lane > 0) {
        LaneJobMessage(type);
        return true;
    }
    switch (type) {
    case MSG_NET_PAUSE:
    case MSG_NET_RESUME:
        // Both toggle: the server's view of the state is not compared with ours.
        scheduler.ToggleServerJobPause();
        return true;
    case MSG_NET_CANCEL:
        CancelJob();
        return true;
    default:
        return false;
    }
}
