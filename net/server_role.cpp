#include "net/server_role.h"

#include "app/encoder_app.h"
#include "app/error_log.h"
#include "app/messages.h"
#include "app/strings.h"
#include "app/trace.h"
#include "engines/output_part.h"
#include "net/allow_list.h"
#include "net/done_check.h"
#include "net/net_records.h"
#include "net/net_sink.h"
#include "net/socket_layer.h"
#include "net/writer_part.h"
#include "queue/batch_state.h"
#include "queue/encode_scheduler.h"
#include "queue/main_view.h"
#include "queue/progress_display.h"
#include "queue/queue_model.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>

#include <QTimer>
#include <cerrno>
#include <cstdio>

namespace {

inline constexpr unsigned IDS_MACHINES_N = 33026;
inline constexpr unsigned IDS_MACHINES_1 = 33027;
inline constexpr unsigned IDS_LOGGED_IN = 33028;
inline constexpr unsigned IDS_NOT_LOGGED_IN = 33029;
inline constexpr unsigned IDS_NO_MACHINES = 33030;

const QByteArray NO_PAYLOAD;

} // namespace

ServerRole::ServerRole(const ServerRoleParts& parts, QObject* parent)
    : QObject(parent), model(parts.model), view(parts.view), batch(parts.batch),
      progress(parts.progress), app(parts.app), loginTimer(std::make_unique<QTimer>()) {
    connect(&model, &QueueModel::EntryFreed, this, [this](QueueEntry* entry) {
        if (walking) {
            freedDuringPass.insert(entry);
        }
    });
    connect(loginTimer.get(), &QTimer::timeout, this, &ServerRole::DropSilentPeers);
}

ServerRole::~ServerRole() = default;

void ServerRole::Attach(EncodeScheduler& schedulerValue, CSocketWnd* socketsValue) {
    scheduler = &schedulerValue;
    sockets = socketsValue;
}

void ServerRole::SetWaitLimits(int answerMs, int loginMs, int lateMs) {
    answerWaitMs = answerMs;
    loginWaitMs = loginMs;
    lateAnswerMs = lateMs;
}

bool ServerRole::ServerStart(std::uint16_t port) {
    if (sockets == nullptr || !sockets->Initialised()) {
        return false;
    }
    sockets->SetAcceptFilter([this](std::uint32_t address) { return AdmitPeer(address); });
    if (listenSlot < 0) {
        listenSlot = sockets->socksetlisten(port);
    }
    SetErrorRelay(false, nullptr);
    loginTimer->start(std::max(loginWaitMs / 4, 10));
    if (listenSlot < 0) {
        Trace("ServerStart: cannot listen on port %d\n", int(port));
        return false;
    }
    return true;
}

bool ServerRole::Serves(int slot) const {
    return MachineTable::ValidIndex(slot) && accepted[std::size_t(slot)];
}

bool ServerRole::HandleEvent(QEvent* event) {
    const int type = static_cast<int>(event->type());
    // Questions and jobs are for a client.
    if (type < MSG_NET_ACCEPTED || type > MSG_NET_ERROR || type == MSG_NET_CANENCODE ||
        type == MSG_NET_ENCODE) {
        return false;
    }
    auto* plain = dynamic_cast<PlainEvent*>(event);
    auto* framed = dynamic_cast<PayloadEvent<QByteArray>*>(event);
    if (plain == nullptr && framed == nullptr) {
        return false;
    }
    const int slot = int(plain != nullptr ? plain->WParam() : framed->WParam());
    // Only the connections our listener accepted are ours; the rest (a
    // client's own server connection) belong to the client role.
    const bool ours = type == MSG_NET_ACCEPTED || Serves(slot) ||
                      (type == MSG_NET_CLOSED && slot == listenSlot && slot >= 0);
    if (!ours) {
        return false;
    }
    std::unique_ptr<QByteArray> payload;
    if (framed != nullptr) {
        payload = framed->TakePayload();
    }
    if (refused[std::size_t(slot)] && type != MSG_NET_CLOSED) {
        return true; // nothing more is taken from a refused machine
    }
    const QByteArray& bytes = payload ? *payload : NO_PAYLOAD;
    switch (type) {
    case MSG_NET_ACCEPTED:
        onconnectionestablished(slot);
        return true;
    case MSG_NET_CLOSED:
        onconnectshutdown(slot);
        return true;
    case MSG_NET_HEARTBEAT:
        onheartbeat(slot, bytes);
        return true;
    case MSG_NET_CANENCODE_REPLY:
        oncanencodereply(slot, bytes);
        return true;
    case MSG_NET_DONE:
        onfiledone(slot);
        return true;
    case MSG_NET_FAILED:
        onfilefailed(slot);
        return true;
    case MSG_NET_ERROR:
        onreceiveerrormsg(slot, bytes);
        return true;
    case MSG_NET_PROGRESS:
        onprogressmsg(slot, bytes);
        return true;
    case MSG_NET_CANCEL:
        oncancelmsg(slot);
        return true;
    case MSG_NET_PAUSE:
        onpausemsg(slot);
        return true;
    case MSG_NET_RESUME:
        onresumemsg(slot);
        return true;
    default:
        return false;
    }
}

bool ServerRole::AnyLoggedIn() const {
    return machines.CountMachines() > 0;
}

int ServerRole::FindClient(const QString& name) const {
    if (name.isEmpty() || name.compare(batch.ownName, Qt::CaseInsensitive) == 0) {
        return -1;
    }
    return machines.FindMachineByName(name);
}

QString ServerRole::ClientName(int index) const {
    return MachineTable::ValidIndex(index) ? machines.At(index).name.str() : QString();
}

QString ServerRole::MachineNameOf(int index) const {
    return index == LOCAL_MACHINE ? batch.ownName : ClientName(index);
}

void ServerRole::SendToMachine(int index, std::uint32_t type) {
    netsend(sockets, index, nullptr, 0, type);
}

void ServerRole::SendClientState(int index, int state) {
    if (Serves(index)) {
        SendToMachine(index, state == Paused ? NET_PAUSE : NET_RESUME);
    }
}

void ServerRole::StopClient(int index) {
    if (!Serves(index)) {
        return;
    }
    machines.At(index).enabled = false;
    machines.At(index).rate = 0.0;
    SendToMachine(index, NET_CANCEL);
    if (machinesChanged) {
        machinesChanged();
    }
}

bool ServerRole::HoldsActiveFile(const QString& name) const {
    if (name.isEmpty()) {
        return false;
    }
    for (int row = 0; row < model.RowCount(); ++row) {
        const QueueEntry* entry = model.EntryAt(row);
        if (IsActiveStatus(entry->status) &&
            entry->machine.str().compare(name, Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
}

int ServerRole::ActiveFileRow(int slot) const {
    const QString name = ClientName(slot);
    if (!Serves(slot) || name.isEmpty()) {
        return -1;
    }
    for (int row = 0; row < model.RowCount(); ++row) {
        const QueueEntry* entry = model.EntryAt(row);
        if (IsActiveStatus(entry->status) &&
            entry->machine.str().compare(name, Qt::CaseInsensitive) == 0) {
            return row;
        }
    }
    return -1;
}

void ServerRole::onconnectionestablished(int slot) {
    Trace("onconnectionestablished: established a connection on index %d\n", slot);
    if (!MachineTable::ValidIndex(slot)) {
        return;
    }
    accepted[std::size_t(slot)] = true;
    refused[std::size_t(slot)] = false;
    acceptedAt[std::size_t(slot)] = QDateTime::currentMSecsSinceEpoch();
    owedSince[std::size_t(slot)] = 0;
    machines.Connected(slot);
    UpdateNetStatus();
}

void ServerRole::onconnectshutdown(int slot) {
    if (!MachineTable::ValidIndex(slot)) {
        return;
    }
    Trace("onconnectshutdown: machine %s just dropped from index %d\n",
          qPrintable(ClientName(slot)), slot);
    if (slot == listenSlot) {
        listenSlot = -1;
        return;
    }
    if (!Serves(slot)) {
        return;
    }
    if (slot == askedSlot && answerWait != nullptr) {
        answerWait->quit();
    }
    machines.At(slot).enabled = false;
    const bool heldFile = ActiveFileRow(slot) >= 0;
    ResetMachineFile(slot, NotDone);
    machines.Dropped(slot);
    accepted[std::size_t(slot)] = false;
    refused[std::size_t(slot)] = false;
    owedSince[std::size_t(slot)] = 0;
    UpdateNetStatus();
    if (batch.IsBusy()) {
        // The file goes out again; with no other machine free this one takes
        // it, even when it had run out of files earlier in the batch, but not
        // when the user took it out of the batch.
        if (heldFile && !batch.localMarkCleared) {
            batch.allowLocalStart = true;
        }
        scheduler->StartNextFile(-1);
    }
    CheckBatchEnd();
}

bool ServerRole::AdmitPeer(std::uint32_t address) {
    const QString setting = app.settings.allowedMachines;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    AllowList parsed;
    if (!setting.trimmed().isEmpty() && !AllowList::Parse(setting, parsed) &&
        refusals.Due(QStringLiteral("setting"), now)) {
        scheduler->ReportError(QStringLiteral("The setting \"Allowed Machines\" (%1) is not a list "
                                              "of addresses and subnets; only this machine may "
                                              "log in.")
                                   .arg(setting));
    }
    if (AllowList::ForSetting(setting).Allows(address)) {
        return true;
    }
    const QString peer = QHostAddress(address).toString();
    Trace("onconnectionestablished: refused a connection from %s, not an allowed machine\n",
          qPrintable(peer));
    if (refusals.Due(peer, now)) {
        scheduler->ReportError(QStringLiteral("A connection from %1 was refused: that address is "
                                              "not among the machines allowed to log in (%2).")
                                   .arg(peer, setting.trimmed().isEmpty()
                                                  ? QStringLiteral("this machine's own subnets")
                                                  : setting));
    }
    return false;
}

void ServerRole::Refuse(int slot, const QString& name, const QString& why,
                        const QString& toMachine) {
    Trace("onheartbeat: refused machine %s on index %d: %s\n", qPrintable(name), slot,
          qPrintable(why));
    if (refusals.Due(name.toCaseFolded(), QDateTime::currentMSecsSinceEpoch())) {
        scheduler->ReportError(
            QStringLiteral("A machine that logged in as %1 was refused: %2.").arg(name, why));
    }
    // The machine learns why; the connection ends once that has gone out.
    const QByteArray text = WriteErrorText(toMachine);
    refused[std::size_t(slot)] = true;
    if (netsend(sockets, slot, text.constData(), int(text.size()), NET_ERROR)) {
        sockets->sockfinishsend(slot);
    }
}

void ServerRole::onheartbeat(int slot, const QByteArray& payload) {
    if (!Serves(slot)) {
        return;
    }
    QString name;
    if (!ReadMachineName(payload, name)) {
        Trace("onheartbeat: unreadable machine name on index %d\n", slot);
        return;
    }
    MachineEntry& machine = machines.At(slot);
    if (!machine.name.isEmpty()) {
        // One log-in per connection: a new name would orphan the file the old
        // name holds.
        if (machine.name.str().compare(name, Qt::CaseInsensitive) != 0) {
            Trace("onheartbeat: index %d is %s already, ignored %s\n", slot,
                  qPrintable(machine.name.str()), qPrintable(name));
        }
        return;
    }
    const QString advice = QStringLiteral(" Give each machine a host name of its own.");
    if (name.compare(batch.ownName, Qt::CaseInsensitive) == 0) {
        Refuse(slot, name, QStringLiteral("that is the name of this computer"),
               QStringLiteral("%1 is the name of the server itself, so this machine was refused.")
                       .arg(name) +
                   advice);
        return;
    }
    const MachineTable::LogIn result = machines.LogInMachine(
        slot, name, [this](const QString& n) { return app.LoadThroughput(n); });
    if (result == MachineTable::LogIn::NameTaken) {
        Refuse(slot, name, QStringLiteral("another machine of that name is logged in"),
               QStringLiteral("Another machine named %1 is logged in to the server %2, so this one "
                              "was refused.")
                       .arg(name, batch.ownName) +
                   advice);
        return;
    }
    if (result != MachineTable::LogIn::LoggedIn) {
        return;
    }
    Trace("onheartbeat: machine %s logged into index %d\n", qPrintable(name), slot);
    UpdateNetStatus();
    if (batch.IsBusy()) {
        scheduler->StartNextFile(-1);
    }
}

void ServerRole::oncanencodereply(int slot, const QByteArray& payload) {
    std::uint32_t code = 0;
    if (!Serves(slot) || !ReadReplyCode(payload, code)) {
        return;
    }
    // Answers come in the order of the questions: an owed one is the first.
    std::int64_t& owed = owedSince[std::size_t(slot)];
    if (owed != 0) {
        owed = 0;
        Trace("oncanencodereply: dropped a late answer from index %d\n", slot);
        return;
    }
    if (slot != askedSlot || canEncodeReply != -1) {
        Trace("oncanencodereply: dropped an answer nobody asked index %d for\n", slot);
        return;
    }
    // Codes beyond the table are refusals like any unknown code.
    canEncodeReply = code > CANENCODE_NOWRITE ? int(CANENCODE_NOWRITE) + 1 : int(code);
    if (answerWait != nullptr) {
        answerWait->quit();
    }
}

void ServerRole::onfiledone(int slot) {
    const int row = ActiveFileRow(slot);
    if (row < 0) {
        Trace("onfiledone: index %d holds no file\n", slot);
        return;
    }
    QueueEntry* entry = model.EntryAt(row);
    const QString name = ClientName(slot);
    const QString output = entry->outputPath.str();
    // Only the output of the machine that holds the file is taken; a machine
    // given up on earlier may still be writing one of its own beside it.
    const QString written = WriterPartPath(output, name);
    const bool ownPart = QFileInfo::exists(written);
    // The client's word alone must not cost the source ("Delete When Done").
    if (!OutputLooksComplete(ownPart ? written : output, entry->durationSeconds)) {
        scheduler->ReportError(QStringLiteral("%1 reported file %2 as encoded, but its output file "
                                              "%3 is missing or too short; the file failed on %1.")
                                   .arg(name, entry->path.str(), ownPart ? written : output),
                               name);
        FailMachineFile(slot);
        return;
    }
    // From the machine's part to this machine's own, which AfterEncode tags
    // and renames into place like a file encoded here.
    if (ownPart && std::rename(QFile::encodeName(written).constData(),
                               QFile::encodeName(PartPathOf(output)).constData()) != 0) {
        const int error = errno;
        scheduler->ReportError(QStringLiteral("Error %1 - Couldn't rename the finished file %2 to "
                                              "%3.")
                                   .arg(error)
                                   .arg(written, PartPathOf(output)),
                               name);
        FailMachineFile(slot);
        return;
    }
    // AfterEncode may free the entry.
    const QString path = entry->path.str();
    // Without a part of its own the machine wrote the final name itself.
    scheduler->AfterEncode(path, !ownPart);
    scheduler->UpdatePauseButton(false);
    if (batch.IsBusy()) {
        scheduler->StartNextFile(slot);
    }
    CheckBatchEnd();
}

void ServerRole::FailMachineFile(int slot) {
    ResetMachineFile(slot, Error);
    if (batch.IsBusy()) {
        scheduler->StartNextFile(slot);
    }
    CheckBatchEnd();
}

void ServerRole::onfilefailed(int slot) {
    if (Serves(slot)) {
        FailMachineFile(slot);
    }
}

void ServerRole::onreceiveerrormsg(int slot, const QByteArray& payload) {
    QString text;
    if (!Serves(slot) || !ReadErrorText(payload, text)) {
        return;
    }
    Trace("onreceiveerrormsg: got an error from a client (%s)\n", qPrintable(text));
    const QString name = ClientName(slot);
    if (name.isEmpty()) {
        // Only a logged-in machine may write into this machine's error log.
        return;
    }
    scheduler->ReportError(text, name);
    FailMachineFile(slot);
}

void ServerRole::onprogressmsg(int slot, const QByteArray& payload) {
    const int row = ActiveFileRow(slot);
    if (row < 0) {
        return;
    }
    QueueEntry* entry = model.EntryAt(row);
    if (!ReadProgressRecord(payload, *entry)) {
        Trace("onprogressmsg: unusable progress record from index %d\n", slot);
        return;
    }
    if (view.IsStatsOpenFor(entry)) {
        view.RefreshStats();
    }
    model.UpdateRow(row);
    progress.ShowEntryProgress(*entry);
    if (!batch.LocalEncoding()) {
        progress.UpdateOverallProgress();
    }
}

void ServerRole::oncancelmsg(int slot) {
    if (!Serves(slot)) {
        return;
    }
    machines.At(slot).enabled = false;
    machines.At(slot).rate = 0.0;
    ResetMachineFile(slot, NotDone);
    CheckBatchEnd();
    if (machinesChanged) {
        machinesChanged();
    }
}

void ServerRole::onpausemsg(int slot) {
    const int row = ActiveFileRow(slot);
    if (row >= 0) {
        model.EntryAt(row)->status = Paused;
        model.UpdateRow(row);
    }
}

void ServerRole::onresumemsg(int slot) {
    const int row = ActiveFileRow(slot);
    if (row >= 0) {
        model.EntryAt(row)->status = Encoding;
        model.UpdateRow(row);
    }
}

void ServerRole::ResetMachineFile(int index, int status) {
    const int row = ActiveFileRow(index);
    if (row < 0) {
        return;
    }
    QueueEntry* entry = model.EntryAt(row);
    const QString name = ClientName(index);
    const QString noMachine;
    model.FindEntryByPath(entry->path, status, &noMachine);
    if (status == Error) {
        RecordFailure(*entry, name);
    }
    if (!entry->outputPath.isEmpty()) {
        QFile::remove(entry->outputPath);
        DiscardPart(entry->outputPath);
        QFile::remove(WriterPartPath(entry->outputPath, name));
    }
    scheduler->UpdatePauseButton(false);
    progress.UpdateFileCounter();
    if (status == Error && scheduler->fileFinished) {
        scheduler->fileFinished(*entry, FileOutcome::Failed);
    }
}

void ServerRole::CheckBatchEnd() {
    if (walking) {
        deferredBatchCheck = true;
        return;
    }
    for (int row = 0; row < model.RowCount(); ++row) {
        const QueueEntry* entry = model.EntryAt(row);
        if (!entry->machine.isEmpty() && IsActiveStatus(entry->status)) {
            return;
        }
    }
    if (!batch.IsBusy() || batch.serverJobState != Idle) {
        return;
    }
    scheduler->ResetFileDisplay();
    scheduler->FinishBatch();
}

void ServerRole::UpdateNetStatus() {
    QString text;
    if (app.settings.client != 0) {
        text =
            ResString(loggedIntoServer && loggedIntoServer() ? IDS_LOGGED_IN : IDS_NOT_LOGGED_IN);
    } else {
        const int count = machines.CountMachines();
        if (count == 0) {
            text = ResString(IDS_NO_MACHINES);
        } else if (count == 1) {
            text = ResString(IDS_MACHINES_1);
        } else {
            text = ResString(IDS_MACHINES_N).replace(QStringLiteral("%d"), QString::number(count));
        }
    }
    view.SetLabel(ID_MACHINES_LABEL, text);
    if (machinesChanged) {
        machinesChanged();
    }
}

void ServerRole::DropSilentPeers() {
    const std::int64_t now = QDateTime::currentMSecsSinceEpoch();
    for (int slot = 0; slot < MACHINE_SLOTS; ++slot) {
        const std::size_t i = std::size_t(slot);
        if (accepted[i] && machines.At(slot).name.isEmpty() && now - acceptedAt[i] >= loginWaitMs) {
            Trace("DropSilentPeers: index %d did not log in\n", slot);
            // Forgotten at once: the slot may hold a new connection before
            // its close is handled.
            accepted[i] = false;
            machines.Dropped(slot);
            sockets->sockclose(slot);
        }
    }
}
