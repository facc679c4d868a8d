#include "net/server_role.h"

#include "app/encoder_app.h"
#include "app/strings.h"
#include "app/trace.h"
#include "engines/catalogue.h"
#include "net/net_records.h"
#include "net/net_sink.h"
#include "net/unc.h"
#include "queue/batch_state.h"
#include "queue/encode_scheduler.h"
#include "queue/progress_display.h"
#include "queue/queue_model.h"

#include <QDateTime>
#include <QEventLoop>
#include <QTimer>

namespace {

inline constexpr unsigned IDS_SHARE_DRIVE = 33032;
inline constexpr unsigned IDS_NO_RESPONSE = 33033;
inline constexpr unsigned IDS_NO_CODEC = 33035;
inline constexpr unsigned IDS_NO_READ = 33036;
inline constexpr unsigned IDS_NO_WRITE = 33037;

bool CanGoToAnotherMachine(const QString& path, const QString& out, const EncodeJob& job) {
    if (IsUncPath(job.source) && IsUncPath(job.destination)) {
        return true;
    }
    return job.source.compare(path, Qt::CaseInsensitive) != 0 &&
           job.destination.compare(out, Qt::CaseInsensitive) != 0;
}

} // namespace

bool ServerRole::DistributeFiles(int machineIndex) {
    if (walking) {
        // Run when the current pass ends, so no answer is taken twice and no
        // machine is offered two files.
        deferredPass = true;
        return true;
    }
    walking = true;
    RunPass(machineIndex);
    while (deferredPass || deferredBatchCheck) {
        const bool pass = deferredPass;
        const bool check = deferredBatchCheck;
        deferredPass = false;
        deferredBatchCheck = false;
        if (pass && batch.IsBusy()) {
            progress.UpdateTotals();
            RunPass(-1);
        }
        if (check) {
            walking = false;
            CheckBatchEnd();
            walking = true;
        }
    }
    walking = false;
    freedDuringPass.clear();
    return true;
}

bool ServerRole::Eligible(const QueueEntry* entry) const {
    return !freedDuringPass.contains(entry) && (entry->status == NotDone || entry->status == Error);
}

void ServerRole::RunPass(int machineIndex) {
    if (!AnyLoggedIn()) {
        scheduler->FillLocalWorkers();
        return;
    }
    std::vector<int> order;
    if (machineIndex == -1) {
        order = machines.BuildMachineOrder(batch.ownName, batch.localRate);
    }
    const int k = int(order.size());

    EncodeJob job;
    job.manufacturerId = app.settings.manufacturerId;
    job.productId = app.settings.productId;
    job.channels = app.settings.channels;
    job.bytesPerSec = app.settings.bytesPerSec;
    job.jointStereo = app.settings.manufacturerId == LAME_DRIVER_ID &&
                      app.settings.stereoMode == STEREO_MODE_JOINT;

    int pos = 0;
    bool wrapped = false;
    bool shareWarned = false;

    // Rows may be removed or reordered while an answer is awaited; the pass
    // goes over the entries as they stood at its start.
    std::vector<QueueEntry*> entries;
    for (int row = 0; row < model.RowCount(); ++row) {
        entries.push_back(model.EntryAt(row));
    }
    freedDuringPass.clear();

    for (QueueEntry* entry : entries) {
        if (!Eligible(entry)) {
            continue;
        }
        const QString path = entry->path.str();
        const QString out = scheduler->MakeOutputPath(path);
        job.source = getuncfilename(path);
        job.destination = getuncfilename(out);
        if (!CanGoToAnotherMachine(path, out, job)) {
            if (!shareWarned) {
                shareWarned = true;
                scheduler->ReportError(ResString(IDS_SHARE_DRIVE));
            }
            continue;
        }
        job.size = entry->size;

        if (machineIndex != -1) {
            if (entry->status == Error && HasFailedOn(*entry, ClientName(machineIndex))) {
                continue;
            }
            // One machine is offered only the first file it may have.
            OfferFileToMachine(machineIndex, entry, job, out);
            return;
        }

        int j = pos;
        for (; j < k; ++j) {
            const int machine = order[std::size_t(j)];
            if (entry->status == Error && HasFailedOn(*entry, MachineNameOf(machine))) {
                continue;
            }
            if (machine == LOCAL_MACHINE) {
                if (scheduler->StartLocal()) {
                    break;
                }
            } else if (OfferFileToMachine(machine, entry, job, out)) {
                break;
            }
            if (!batch.IsBusy() || !Eligible(entry)) {
                break;
            }
        }
        if (!batch.IsBusy()) {
            // A failed local start ended the batch.
            return;
        }
        pos = j + 1;
        if (pos < k) {
            continue;
        }
        if (Eligible(entry) && entry->status == Error && !wrapped) {
            wrapped = true;
            pos = 0;
            continue;
        }
        break;
    }
    // Local workers still free take what the other machines left.
    scheduler->FillLocalWorkers();
}

bool ServerRole::OfferFileToMachine(int index, QueueEntry* entry, const EncodeJob& job,
                                    const QString& out) {
    if (!MachineTable::ValidIndex(index) || !Serves(index)) {
        return false;
    }
    const MachineEntry& machine = machines.At(index);
    if (!machine.enabled || machine.name.isEmpty()) {
        return false;
    }
    const QString name = machine.name.str();
    if (HoldsActiveFile(name)) {
        return false;
    }
    if (!scheduler->OutputOwner(out, entry->path.str()).isEmpty() ||
        !scheduler->QueuedSourceAt(out, entry->path.str()).isEmpty()) {
        // Left to this machine's own start, which reports it: a client of an
        // older kind would write over the queued file before anyone could check.
        return false;
    }
    if (!MayAsk(index) || !AskCanEncode(index, job)) {
        return false;
    }
    // The wait ran other handlers: the file or the machine may have changed.
    if (!Eligible(entry) || ClientName(index) != name || !machines.At(index).enabled ||
        HoldsActiveFile(name)) {
        Trace("OfferFileToMachine: %s or its file changed during the answer wait\n",
              qPrintable(name));
        return false;
    }
    entry->outputPath = out;
    SendJob(index, job, *entry);
    return true;
}

bool ServerRole::MayAsk(int index) {
    std::int64_t& owed = owedSince[std::size_t(index)];
    if (owed == 0) {
        return true;
    }
    if (QDateTime::currentMSecsSinceEpoch() - owed < lateAnswerMs) {
        Trace("OfferFileToMachine: index %d still owes an answer\n", index);
        return false;
    }
    // Given up: a reply that never came (a lost frame, a peer that skipped
    // it) must not keep the machine out for good.
    Trace("OfferFileToMachine: gave up waiting for index %d's late answer\n", index);
    owed = 0;
    return true;
}

bool ServerRole::AskCanEncode(int index, const EncodeJob& job) {
    canEncodeReply = -1;
    const QByteArray payload = WriteEncodeJob(job);
    if (payload.isEmpty()) {
        Trace("AskCanEncode: the job cannot be written as a record\n");
        return false;
    }
    askedSlot = index;
    const std::int64_t askedAt = QDateTime::currentMSecsSinceEpoch();
    if (!netsend(sockets, index, payload.constData(), int(payload.size()), NET_CANENCODE)) {
        askedSlot = -1;
        return false;
    }
    if (canEncodeReply == -1 && Serves(index)) {
        QEventLoop loop;
        QTimer limit;
        limit.setSingleShot(true);
        connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
        limit.start(answerWaitMs);
        answerWait = &loop;
        // One run only: an application that quits ends every loop at once.
        loop.exec();
        answerWait = nullptr;
    }
    askedSlot = -1;
    const int answer = canEncodeReply;
    if (answer == -1) {
        if (Serves(index)) {
            owedSince[std::size_t(index)] = askedAt;
        }
        Trace("AskCanEncode: no answer from index %d\n", index);
        return false;
    }
    ReportAnswer(index, std::uint32_t(answer));
    return answer == int(CANENCODE_OK);
}

void ServerRole::ReportAnswer(int index, std::uint32_t answer) {
    unsigned id = 0;
    switch (answer) {
    case CANENCODE_NORESPONSE:
        id = IDS_NO_RESPONSE;
        break;
    case CANENCODE_NOCODEC:
        id = IDS_NO_CODEC;
        break;
    case CANENCODE_NOREAD:
        id = IDS_NO_READ;
        break;
    case CANENCODE_NOWRITE:
        id = IDS_NO_WRITE;
        break;
    default:
        return;
    }
    scheduler->ReportError(ResString(id).replace(QStringLiteral("%s"), ClientName(index)));
}

bool ServerRole::SendJob(int index, const EncodeJob& job, QueueEntry& entry) {
    const QString name = ClientName(index);
    const QByteArray payload = WriteEncodeJob(job);
    if (!netsend(sockets, index, payload.constData(), int(payload.size()), NET_ENCODE)) {
        return false;
    }
    if (ClientName(index) != name || freedDuringPass.contains(&entry)) {
        // Gone while the send waited: the file stays as it was.
        return false;
    }
    scheduler->ClaimOutput(entry.outputPath.str(), entry.path.str());
    const int row = model.FindEntryByPath(entry.path.str(), Encoding, &name);
    if (row >= 0) {
        model.ClearSelection();
        model.SelectAndFocus(row);
    }
    scheduler->UpdatePauseButton(false);
    progress.UpdateFileCounter();
    Trace("SendJob: %s went to %s\n", qPrintable(entry.path.str()), qPrintable(name));
    if (fileHandedOut) {
        fileHandedOut(entry, name);
    }
    return true;
}
