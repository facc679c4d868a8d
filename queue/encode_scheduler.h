#pragma once

#include "queue/disk_space.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

class CEncoderApp;
class CodecPort;
class EncodePort;
class MachinePort;
class MainView;
class ProgressDisplay;
class QObject;
class QueueModel;
class TickClock;
struct BatchState;
struct QueueEntry;

// How one file of the batch ended, for whoever reports it (headless mode).
enum class FileOutcome { Completed, Failed, Cancelled };

// What the scheduler works with, all owned elsewhere.
struct EncodeSchedulerParts {
    QueueModel& model;
    MainView& view;
    BatchState& batch;
    ProgressDisplay& progress;
    CEncoderApp& app;
    EncodePort& encoder;
    CodecPort& codec;
    MachinePort& machines;
    const TickClock& clock;
    QObject* receiver; // gets the worker's events
};

// Turns the queue into a batch: starts files on the local workers (one file
// each), handles their completion and the after-encode actions, pause and
// cancel. Pause and cancel of a local file act on every local worker.
class EncodeScheduler : private EncodeSchedulerParts {
public:
    using Parts = EncodeSchedulerParts;

    explicit EncodeScheduler(const Parts& parts);

    // Another local worker: the port it encodes through and the object that
    // gets its events. Call before the first batch.
    void AddWorker(EncodePort& port, QObject* workerReceiver);
    int WorkerCount() const { return int(workers.size()); }
    EncodePort& WorkerPort(int worker) const { return *workers[std::size_t(worker)].port; }
    // A job for a server has ended: its partial output stays for the server
    // when it succeeded (and was not cancelled), else it is removed. The
    // final outcome.
    bool SettleJobOutput(const QString& output, bool outcome, bool cancelled);

    void OnEncode();
    bool CheckDiskSpace() const;
    void StartNextFile(int machineIndex);
    // Starts the next file on a free local worker; false when none started.
    bool StartLocal();
    // Starts files until every local worker has one or none is left.
    void FillLocalWorkers();
    bool BeginFileEncode(QueueEntry& entry, const QString& outputPath, std::uint32_t size,
                         int driverIndex, int formatIndex, int worker = 0);
    void OnEncodeDone(bool outcome, const QString& path, int worker = 0);
    // `outputInPlace`: another machine already renamed the output to its final name.
    void AfterEncode(const QString& path, bool outputInPlace = false);
    void FinishBatch();
    void ResetFileDisplay(int worker = 0);
    void SetLocalState(int state);
    void UpdateButtons();
    void UpdatePauseButton(bool force);
    // What Pause and Cancel act on: the job for a server, a client's further
    // lanes, or else the selected rows.
    struct PauseActivity {
        bool paused = false;
        bool encoding = false;
    };
    PauseActivity CurrentActivity() const;
    // Holds (or releases) one worker, keeping its paused time apart.
    void HoldWorker(int worker, bool hold);
    // The local state: every worker together.
    void TogglePause(int& state);
    // The job for a server: the first worker only.
    void ToggleServerJobPause();
    void OnPause();
    void OnCancel();
    // Quit: cancels every local worker and lets a paused one go on to see it.
    void CancelAllWorkers(bool resume);
    void SetWorkerPriority(int level);
    void ReportError(const QString& message, const QString& machine = QString());
    void UpdateErrorsButton();
    // After rows were added, removed or reset: batch figures when busy, new
    // files onto idle local workers, buttons.
    void AfterQueueEdit();

    QString MakeOutputPath(const QString& sourcePath) const;
    // The source that another entry's encode already wrote this output for.
    QString OutputOwner(const QString& outputPath, const QString& sourcePath) const;
    // A queued source other than `ownSource` that this output would replace:
    // the same path as the file system compares it (letter case counts only
    // where the file system tells names apart by it). Empty when none.
    QString QueuedSourceAt(const QString& outputPath, const QString& ownSource) const;
    // The output is being written for this source (here or on another machine).
    void ClaimOutput(const QString& outputPath, const QString& sourcePath);

    // Writes the entry's tag into its output (after a success).
    std::function<void(QueueEntry&)> writeTag;
    FreeSpaceQuery freeSpace;
    std::function<void(const QueueEntry&, FileOutcome)> fileFinished;
    // A file has started on this machine's worker.
    std::function<void(const QueueEntry&)> fileStarted;
    // A sentence went to the error log through ReportError.
    std::function<void(const QString& message)> errorReported;
    // The batch has ended: nothing runs here or on any other machine.
    std::function<void()> batchEnded;
    // The finished output is in place: the queue's state must reach the disk
    // before the source may be deleted.
    std::function<void()> queueSaved;
    // A file this machine encoded for a server has ended.
    std::function<void(bool outcome)> serverJobDone;

private:
    struct Worker {
        EncodePort* port;
        QObject* receiver;
    };
    using SelectionActivity = PauseActivity;
    SelectionActivity GetSelectionActivity() const;
    void ReportSourceInTheWay(const QueueEntry& entry, const QString& source);
    QString MachineNameOf(int machineIndex) const;
    int FreeWorker() const;
    void ToggleHeld(int& state, int count);
    void TakeNewFiles();
    // Every active local entry takes the local state (after a pause toggle).
    void SetLocalEntriesState();

    std::vector<Worker> workers;
    bool askingDiskSpace = false;

    // Outputs started in this run, by output path, with the source they hold.
    std::map<QString, QString> claimedOutputs;
};
