#include "controller/main_controller.h"

#include "app/encoder_app.h"
#include "app/messages.h"
#include "app/strings.h"
#include "app/trace.h"
#include "controller/worker_relay.h"
#include "net/client_role.h"
#include "net/net_sink.h"
#include "net/protocol.h"
#include "net/server_role.h"
#include "net/socket_layer.h"
#include "queue/encode_port.h"
#include "queue/encode_scheduler.h"
#include "queue/machine_name.h"
#include "queue/main_view.h"
#include "queue/progress_display.h"
#include "queue/queue_commands.h"
#include "queue/tick_clock.h"
#include "queue/watch_folder.h"
#include "queue/worker_report.h"

#include <QEventLoop>
#include <QString>

namespace {

inline constexpr unsigned IDS_UNKNOWN_MACHINE = 33025;
// Quit gives a cancelled worker this long to report before it gives up.
inline constexpr int QUIT_WAIT_LIMIT_MS = 60000;
inline constexpr int QUIT_POLL_MS = 10;
// Files admitted per turn of the event loop from a long Add Files or drop.
inline constexpr qsizetype ADMISSION_STEP = 250;

} // namespace

MainController::MainController(CEncoderApp& app, MainView& view, const Ports& ports,
                               QObject* parent)
    : QObject(parent), app(app), view(view), encoder(ports.encoder), codec(ports.codec),
      probe(ports.probe), machines(ports.machines != nullptr ? *ports.machines : noMachines),
      ownClock(ports.clock == nullptr ? std::make_unique<SystemTickClock>() : nullptr),
      clock(ports.clock != nullptr ? *ports.clock : *ownClock) {
    progress = std::make_unique<ProgressDisplay>(model, view, batch, clock);
    server = std::make_unique<ServerRole>(ServerRoleParts{model, view, batch, *progress, app});
    MachinePort& machinePort = ports.machines != nullptr ? machines : *server;
    scheduler = std::make_unique<EncodeScheduler>(EncodeScheduler::Parts{
        model, view, batch, *progress, app, encoder, codec, machinePort, clock, this});
    for (EncodePort* worker : ports.moreWorkers) {
        const int index = scheduler->WorkerCount();
        auto* relay = new WorkerRelay(
            [this, index](QEvent* event) { return HandleWorkerEvent(event, index); }, this);
        scheduler->AddWorker(*worker, relay);
    }
    server->Attach(*scheduler, nullptr);
    watch = std::make_unique<WatchFolder>(model);
    watch->afterRowsAdded = [this] { scheduler->AfterQueueEdit(); };
    connect(&model, &QueueModel::EntryFreed, this, [this](QueueEntry* entry) {
        if (batch.shownEntry == entry) {
            batch.shownEntry = nullptr;
        }
    });

    watchTimer.setInterval(WATCH_TIMER_MS);
    connect(&watchTimer, &QTimer::timeout, this, &MainController::OnWatchTimer);
    captionTimer.setInterval(CAPTION_TIMER_MS);
    connect(&captionTimer, &QTimer::timeout, this, [this] { this->view.RedrawCaptionLine(); });

    for (QTimer* delay : {&upDelay, &downDelay}) {
        delay->setSingleShot(true);
        delay->setInterval(REPEAT_DELAY_MS);
    }
    for (QTimer* repeat : {&upRepeat, &downRepeat}) {
        repeat->setInterval(REPEAT_PERIOD_MS);
    }
    connect(&upDelay, &QTimer::timeout, this, [this] {
        upRepeat.start();
        if (!OnUp()) {
            upRepeat.stop();
        }
    });
    connect(&upRepeat, &QTimer::timeout, this, [this] {
        if (!OnUp()) {
            upRepeat.stop();
        }
    });
    connect(&downDelay, &QTimer::timeout, this, [this] {
        downRepeat.start();
        if (!OnDown()) {
            downRepeat.stop();
        }
    });
    connect(&downRepeat, &QTimer::timeout, this, [this] {
        if (!OnDown()) {
            downRepeat.stop();
        }
    });
}

MainController::~MainController() {
    // The scheduler's hooks may point into objects that go first.
    scheduler->fileFinished = nullptr;
    scheduler->fileStarted = nullptr;
    scheduler->errorReported = nullptr;
    scheduler->batchEnded = nullptr;
    scheduler->serverJobDone = nullptr;
    progress->reportServerJob = nullptr;
    server->fileHandedOut = nullptr;
    server->machinesChanged = nullptr;
    server->loggedIntoServer = nullptr;
    ShutdownNetwork();
    lanes.clear();
    client.reset();
    sockets.reset();
}

AdmissionContext MainController::Admission() {
    AdmissionContext context;
    context.probe = probe;
    context.outputPathOf = [this](const QString& path) { return scheduler->MakeOutputPath(path); };
    context.reportError = [this](const QString& message) { scheduler->ReportError(message); };
    return context;
}

void MainController::Startup(bool watchSourceFolder) {
    if (watchSourceFolder) {
        watch->CheckForNewFiles(app.SourceDirectory(), false, Admission());
    }
    model.Fill();
    if (model.RowCount() > 0) {
        model.SelectAndFocus(0);
    }

    scheduler->SetLocalState(Idle);
    scheduler->UpdateButtons();
    WriteCodecLabel();
    view.SetLabel(ID_CURRENT_FILE_LABEL, QString());
    view.SetLabel(ID_FILE_TIME_LABEL, QString());
    view.SetLabel(ID_REMAINING_LABEL, QString());
    view.SetLabel(ID_RATIO_LABEL, QString());
    view.SetLabel(ID_SOURCE_DIR_LABEL, app.SourceDirectory());
    view.SetLabel(ID_OUTPUT_DIR_LABEL, app.OutputDirectory());
    view.EnableButton(ID_PAUSE, false);
    view.EnableButton(ID_CANCEL, false);
    view.SetTrayTip(ResString(IDS_TRAY_TIP));
    scheduler->UpdateErrorsButton();

    const QString name = CapitalizeName(ComputerName());
    batch.ownName = name.isEmpty() ? ResString(IDS_UNKNOWN_MACHINE) : name;
    batch.localRate = app.LoadThroughput(batch.ownName);

    if (watchSourceFolder) {
        watchTimer.start();
    }
    captionTimer.start();
}

void MainController::WriteCodecLabel() {
    EncoderSettings& settings = app.settings;
    QString text = codec.DescribeCodec(&settings.manufacturerId, &settings.productId,
                                       &settings.channels, &settings.bytesPerSec);
    const QString standIn = codec.StandInFor(settings.manufacturerId, settings.productId);
    if (!standIn.isEmpty()) {
        text += QStringLiteral(" (the saved encoder is missing)");
        const QString stored =
            QStringLiteral("%1/%2").arg(settings.manufacturerId).arg(settings.productId);
        if (reportedMissingEncoder != stored) {
            reportedMissingEncoder = stored;
            scheduler->ReportError(
                QStringLiteral("The saved encoder (manufacturer %1, product %2) is not available; "
                               "files are encoded with %3 instead.")
                    .arg(settings.manufacturerId)
                    .arg(settings.productId)
                    .arg(standIn));
        }
    }
    view.SetLabel(ID_CODEC_LABEL, text);
}

void MainController::WriteDirectoryLabels() {
    view.SetLabel(ID_SOURCE_DIR_LABEL, app.settings.fromDir);
    view.SetLabel(ID_OUTPUT_DIR_LABEL, app.settings.toDir);
}

void MainController::OnEncode() {
    scheduler->OnEncode();
}

void MainController::OnPause() {
    if ((batch.serverJobState != Idle || batch.LaneJobs() > 0) && client) {
        // Every job for the server is held or released together; the first
        // worker's state leads when it has one.
        const bool pause =
            batch.serverJobState != Idle ? batch.serverJobState != Paused : !batch.LaneJobsPaused();
        if (batch.serverJobState != Idle) {
            client->OnPause();
        }
        for (const auto& lane : lanes) {
            lane->SetLanePaused(pause);
        }
        return;
    }
    scheduler->OnPause();
}

void MainController::OnCancel() {
    if ((batch.serverJobState != Idle || batch.LaneJobs() > 0) && client) {
        if (batch.serverJobState != Idle) {
            client->OnCancel();
        }
        for (const auto& lane : lanes) {
            lane->CancelLaneJob();
        }
        return;
    }
    scheduler->OnCancel();
}

int MainController::AddFiles(const QStringList& paths) {
    const int remembered = std::max(model.FirstSelected(), 0);
    auto list = std::make_shared<const QStringList>(paths);
    return AdmitStep(list, 0, remembered);
}

int MainController::AdmitStep(const std::shared_ptr<const QStringList>& paths, qsizetype from,
                              int remembered) {
    const qsizetype to = std::min(paths->size(), from + ADMISSION_STEP);
    std::vector<QueueEntry*> admitted;
    const AdmissionContext context = Admission();
    for (qsizetype i = from; i < to; ++i) {
        if (QueueEntry* entry = AddNewFile(model, paths->at(i), context)) {
            admitted.push_back(entry);
        }
    }
    model.AddRows(model.RowCount(), admitted);
    if (!admitted.empty() && model.RowCount() > 0) {
        model.ClearSelection();
        model.SelectAndFocus(remembered);
        RowsAdded();
    }
    if (to < paths->size()) {
        // A long list goes in steps: the window keeps drawing, the rows and
        // counts move, and the rest follows on the next turns.
        QTimer::singleShot(0, this,
                           [this, paths, to, remembered] { AdmitStep(paths, to, remembered); });
    }
    return int(admitted.size());
}

void MainController::RowsAdded() {
    scheduler->AfterQueueEdit();
}

void MainController::OnRemove() {
    RemoveSelected(model, view, [this] { scheduler->AfterQueueEdit(); });
}

void MainController::OnClearAll() {
    ClearAll(model, [this] { scheduler->AfterQueueEdit(); });
}

void MainController::OnResetStatus(bool allRows) {
    ResetStatus(model, allRows, [this] { scheduler->AfterQueueEdit(); });
}

bool MainController::OnUp() {
    return MoveUp(model, view, view.FirstVisibleRow());
}

bool MainController::OnDown() {
    return MoveDown(model, view, view.LastVisibleRow());
}

void MainController::OnHeaderClicked(int column) {
    SortByColumn(model, column);
}

void MainController::OnRowStateChanged() {
    scheduler->UpdatePauseButton(false);
    QueueEntry* focused = model.EntryAt(model.FocusRow());
    if (focused != nullptr && IsActiveStatus(focused->status) && focused != batch.shownEntry) {
        progress->SetShownEntry(focused);
    }
    scheduler->UpdateButtons();
}

void MainController::AfterOptions(const QString& oldSourceDirectory, std::uint32_t oldPriority) {
    if (app.SourceDirectory() != oldSourceDirectory) {
        watch->ResetSeenFiles(true);
        ScanSourceFolder();
    }
    if (batch.serverJobState == Idle) {
        WriteCodecLabel();
        WriteDirectoryLabels();
    }
    if (app.settings.priority != oldPriority && batch.IsBusy()) {
        scheduler->SetWorkerPriority(static_cast<int>(app.settings.priority));
    }
}

void MainController::AfterErrorsDialog() {
    scheduler->UpdateErrorsButton();
}

void MainController::OnWatchTimer() {
    if (!watch->MoreToCheck()) {
        ScanSourceFolder();
    }
}

void MainController::ScanSourceFolder() {
    if (watch->MoreToCheck()) {
        watch->ContinueCheck(Admission(), int(ADMISSION_STEP));
    } else {
        watch->CheckForNewFiles(app.SourceDirectory(), true, Admission(), int(ADMISSION_STEP));
    }
    if (model.CountNotDone() >= 1 && app.settings.autoEncode != 0 && !batch.IsBusy()) {
        scheduler->OnEncode();
    }
    if (watch->MoreToCheck()) {
        // A folder of thousands fills in steps, the window drawing between them.
        QTimer::singleShot(0, this, [this] { ScanSourceFolder(); });
    }
}

void MainController::Quit() {
    view.EnableButton(ID_QUIT, false);
    watchTimer.stop();
    if (sockets) {
        sockets->SetAbortConnect(true);
    }
    if (batch.AnythingRunning()) {
        batch.quitPending = true;
        for (const auto& lane : lanes) {
            lane->CancelLaneJob();
        }
        scheduler->CancelAllWorkers(batch.serverJobState == Paused || batch.localState == Paused);
        QEventLoop loop;
        QTimer poll;
        QTimer limit;
        connect(&poll, &QTimer::timeout, &loop, [this, &loop] {
            if (!batch.quitPending) {
                loop.quit();
            }
        });
        connect(&limit, &QTimer::timeout, &loop, [&loop] {
            Trace("OnQuit: the cancelled encode did not end in time\n");
            loop.quit();
        });
        poll.start(QUIT_POLL_MS);
        limit.setSingleShot(true);
        limit.start(QUIT_WAIT_LIMIT_MS);
        if (batch.quitPending) {
            loop.exec();
        }
    }
    ShutdownNetwork();
    emit QuitRequested();
    view.EnableButton(ID_QUIT, true);
}

bool MainController::HandleWorkerEvent(QEvent* event, int worker) {
    WorkerReport report;
    if (!ReadWorkerReport(event, report)) {
        return false;
    }
    if (report.done) {
        scheduler->OnEncodeDone(report.outcome, report.path, worker);
    } else {
        progress->OnEncodeProgress(report.percent, report.bytesDone, worker);
    }
    return true;
}

void MainController::StartRepeat(QTimer& first, QTimer& repeat, bool (MainController::*move)()) {
    repeat.stop();
    if ((this->*move)()) {
        first.start();
    }
}

void MainController::StopRepeat(QTimer& first, QTimer& repeat) {
    first.stop();
    repeat.stop();
}

bool MainController::event(QEvent* event) {
    const int type = static_cast<int>(event->type());
    if (type >= MSG_NET_ACCEPTED && type <= MSG_NET_ERROR) {
        // What the server role does not take belongs to the client role.
        if (!server->HandleEvent(event)) {
            OnNetEvent(event);
        }
        return true;
    }
    if (HandleWorkerEvent(event, 0)) {
        return true;
    }
    switch (type) {
    case MSG_ERROR_RELAY:
        // Only a client logged into a server relays; until then the text is dropped.
        if (auto* relay = dynamic_cast<PayloadEvent<QString>*>(event)) {
            relay->TakePayload();
        }
        return true;
    case MSG_UP_PRESSED:
        StartRepeat(upDelay, upRepeat, &MainController::OnUp);
        return true;
    case MSG_UP_RELEASED:
        StopRepeat(upDelay, upRepeat);
        return true;
    case MSG_DOWN_PRESSED:
        StartRepeat(downDelay, downRepeat, &MainController::OnDown);
        return true;
    case MSG_DOWN_RELEASED:
        StopRepeat(downDelay, downRepeat);
        return true;
    default:
        return QObject::event(event);
    }
}
