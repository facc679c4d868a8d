#pragma once

#include "net/protocol.h"
#include "queue/admission.h"
#include "queue/batch_state.h"
#include "queue/machine_port.h"
#include "queue/queue_model.h"

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <vector>

class CEncoderApp;
class CNetSink;
class CSocketWnd;
class ClientRole;
class CodecPort;
class EncodePort;
class EncodeScheduler;
class MainView;
class ProgressDisplay;
class ServerRole;
class TickClock;
class WatchFolder;

inline constexpr int WATCH_TIMER_MS = 30000;
inline constexpr int REPEAT_DELAY_MS = 500;
inline constexpr int REPEAT_PERIOD_MS = 100;
inline constexpr int CAPTION_TIMER_MS = 1000;

// Where the network binds: every socket's local address ("" any) and the
// server's port.
struct NetworkSetup {
    QString bindAddress;
    std::uint16_t port = NET_PORT;
};

// The window's logic without the window: wires the queue, the scheduler, the
// progress display and the watch folder, owns the timers and receives the
// worker's events.
class MainController : public QObject {
    Q_OBJECT

public:
    struct Ports {
        EncodePort& encoder;
        CodecPort& codec;
        WaveProbe probe;
        MachinePort* machines = nullptr;  // none: no other machines
        const TickClock* clock = nullptr; // none: the system clock
        // Local workers beyond `encoder`, each taking a file of its own.
        std::vector<EncodePort*> moreWorkers = {};
    };

    MainController(CEncoderApp& app, MainView& view, const Ports& ports, QObject* parent = nullptr);
    ~MainController() override;

    // Window creation without widgets: start-up scan, rows, labels, codec,
    // own name and rate, timers. Without the watch folder there is no scan
    // and no watch timer (a run on given files only).
    void Startup(bool watchSourceFolder = true);
    // Starts the socket layer, then the role the settings ask for: a client
    // one second later, otherwise a server listening at once. False without
    // a network (or, for a server, without its port).
    bool StartNetwork(const NetworkSetup& setup = NetworkSetup());
    void ClientStart();
    bool ServerStart();
    CSocketWnd* Sockets() { return sockets.get(); }
    ClientRole* Client() { return client.get(); }
    // Lane 0 (Client()) and a further lane for each further worker.
    std::vector<ClientRole*> ClientRoles();

    // Commands of the window.
    void OnEncode();
    void OnPause();
    void OnCancel();
    // Add Files and dropped files; returns the number admitted now. A long
    // list is admitted in steps, the rest on later turns of the event loop.
    int AddFiles(const QStringList& paths);
    void OnRemove();
    void OnClearAll();
    void OnResetStatus(bool allRows);
    bool OnUp();
    bool OnDown();
    void OnHeaderClicked(int column);
    // The focused row or the selection changed.
    void OnRowStateChanged();
    // After the Options dialog closed, with the values it started from.
    void AfterOptions(const QString& oldSourceDirectory, std::uint32_t oldPriority);
    void AfterErrorsDialog();
    // Quit: cancels a running encode and waits for it, then emits QuitRequested.
    void Quit();
    // The watch timer's work (also callable directly).
    void OnWatchTimer();

    QueueModel& Model() { return model; }
    BatchState& Batch() { return batch; }
    EncodeScheduler& Scheduler() { return *scheduler; }
    ProgressDisplay& Progress() { return *progress; }
    WatchFolder& Watch() { return *watch; }
    ServerRole& Server() { return *server; }
    AdmissionContext Admission();
    QTimer& WatchTimer() { return watchTimer; }

signals:
    void QuitRequested();

protected:
    bool event(QEvent* event) override;

private:
    void StartRepeat(QTimer& first, QTimer& repeat, bool (MainController::*move)());
    void StopRepeat(QTimer& first, QTimer& repeat);
    void RowsAdded();
    int AdmitStep(const std::shared_ptr<const QStringList>& paths, qsizetype from, int remembered);
    // The window's scan of the source folder: the next step of one under way,
    // else a new one.
    void ScanSourceFolder();
    void WriteDirectoryLabels();
    void WriteCodecLabel();
    void OnNetEvent(QEvent* event);
    // The client role whose server connection this slot is (lane 0 by default).
    ClientRole& ClientForSlot(int slot);
    // A local worker's progress or completion; false for any other event.
    bool HandleWorkerEvent(QEvent* event, int worker);
    void ShutdownNetwork();

    CEncoderApp& app;
    MainView& view;
    EncodePort& encoder;
    CodecPort& codec;
    WaveProbe probe;
    MachinePort noMachines;
    MachinePort& machines;
    std::unique_ptr<TickClock> ownClock;
    const TickClock& clock;

    QueueModel model;
    BatchState batch;
    std::unique_ptr<ProgressDisplay> progress;
    std::unique_ptr<EncodeScheduler> scheduler;
    std::unique_ptr<WatchFolder> watch;
    std::unique_ptr<ServerRole> server;
    std::unique_ptr<CNetSink> netSink; // outlives the sockets, which report their closing
    std::unique_ptr<CSocketWnd> sockets;
    std::unique_ptr<ClientRole> client; // sends through the sockets
    std::vector<std::unique_ptr<ClientRole>> lanes;
    QTimer clientStartTimer; // 4
    std::uint16_t netPort = NET_PORT;
    QString reportedMissingEncoder; // said once per stored choice

    QTimer watchTimer;   // 1
    QTimer upDelay;      // 5
    QTimer upRepeat;     // 6
    QTimer downDelay;    // 7
    QTimer downRepeat;   // 8
    QTimer captionTimer; // 10
};
