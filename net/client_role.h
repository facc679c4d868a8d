#pragma once

#include "net/once_an_hour.h"
#include "queue/queue_entry.h"
#include "queue/queue_status.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>

class CEncoderApp;
class CSocketWnd;
class CodecPort;
class EncodePort;
class EncodeScheduler;
class MainView;
class ProgressDisplay;
class TickClock;
struct BatchState;
struct EncodeJob;
struct UncMapping;
enum class FileOutcome;

inline constexpr int CLIENT_TICK_MS = 15000;       // timer 3
inline constexpr int CLIENT_START_DELAY_MS = 1000; // timer 4

// What the client role works with, all owned elsewhere.
struct ClientRoleParts {
    CEncoderApp& app;
    MainView& view;
    BatchState& batch;
    EncodeScheduler& scheduler;
    ProgressDisplay& progress;
    EncodePort& encoder; // the worker this role's jobs run on
    CodecPort& codec;
    const TickClock& clock;
};

// The name a client's extra lane logs in under: "<name>#<lane + 1>", the
// name cut so that the whole stays within a machine name's 15 characters.
QString LaneName(const QString& ownName, int lane);

// This machine as a client of an encoding server: keeps one connection to
// "Server IP", logs in, answers can-encode questions, encodes the jobs it is
// given through its own worker and reports back. While logged in it is also
// the receiver of relayed error records, which it forwards as NET_ERROR.
//
// A client with several workers has one role per worker. The first (lane 0)
// is the one above and drives the window. Each further lane logs in under
// LaneName, takes one job at a time on its own worker and reports it, its
// errors included, on its own connection, so the server sees it as a machine
// of its own; it leaves the window to lane 0.
class ClientRole : public QObject, private ClientRoleParts {
    Q_OBJECT

public:
    using Parts = ClientRoleParts;

    // `sockets` may be null: a program without a network.
    ClientRole(const Parts& parts, CSocketWnd* sockets, std::uint16_t port = 5150, int lane = 0);
    ~ClientRole() override;

    // Connection.
    void ClientStart();
    void ClientTick();
    bool sendheartbeat();
    // Leaves the client role (this machine starts serving): the connection
    // closes, relaying ends, no more ticks.
    void ClientStop();
    // A slot was closed; true when it was the server connection.
    bool OnConnectionClosed(int slot);
    int ServerSlot() const { return serverSlot; }
    bool IsConnecting() const { return connecting; }
    int Lane() const { return lane; }
    QString LoginName() const;
    // The figures of the running (or last) job.
    const QueueEntry& JobEntry() const;
    // Quit: a lane's running job is cancelled (lane 0's goes with the workers).
    void CancelLaneJob();
    // The window's Pause for a lane: holds (or releases) its job and tells the
    // server, unless the job is in that state already.
    void SetLanePaused(bool paused);
    // The client's half of the status text.
    void UpdateNetStatus();

    // Messages from the server.
    void oncanencode(int slot, std::unique_ptr<QByteArray> payload);
    void onencodejob(int slot, std::unique_ptr<QByteArray> payload);
    // A sentence from the server (why it refused this machine's log-in): to
    // this machine's own error log and `notice`.
    void onservermessage(int slot, std::unique_ptr<QByteArray> payload);
    // NET_PAUSE, NET_RESUME and NET_CANCEL while a job runs; false when no
    // job runs (the server branch then handles the message).
    bool OnJobMessage(int type, int slot);

    // Scheduler, progress and commands during a job.
    void SendProgressToServer(const QueueEntry& record);
    void FinishServerJob(bool outcome);
    void OnPause();
    void OnCancel();
    bool SendJobState(int slot, int state);

    // The relayed error text goes to the server.
    void onsenderrormsg(const QString& text);

    // Steps 2 and 3 of becoming a client belong to the server role.
    std::function<void()> leaveServerRole;
    // A job was started (local source path) or has ended.
    std::function<void(const QString& source)> jobStarted;
    std::function<void(const QString& source, FileOutcome outcome)> jobEnded;
    // Something the user of this machine should know, also written to its
    // own error log (at most once an hour each).
    std::function<void(const QString& text)> notice;

    QTimer& TickTimer() { return tickTimer; }

protected:
    bool event(QEvent* event) override;

private:
    void BeginServerJob(const EncodeJob& job, const QString& source, const QString& destination);
    void EndServerJob();
    void RefuseJob(const QString& path);
    // A server's path that does not map here: the trace, and once an hour
    // this machine's own error log.
    void ReportUnmapped(const QString& uncPath, const UncMapping& mapping);
    void NoteLocally(const QString& text);
    void CancelJob();
    bool Send(std::uint32_t type, const QByteArray& payload = QByteArray());
    bool FromServer(int slot) const { return slot >= 0 && slot == serverSlot; }
    // A lane's own job, beside lane 0's scheduler-driven one.
    int JobState() const;
    // This role cannot take a job now (it has one, or the queue's batch runs).
    bool BusyForJobs() const;
    void LaneEncodeJob(const EncodeJob& job, const QString& source, const QString& destination,
                       int driver, int format);
    void LaneJobMessage(int type);
    void OnLaneProgress(int percent, std::uint32_t bytesDone);
    void OnLaneDone(bool outcome);
    void LaneTogglePause();
    // A lane's job state, kept with its worker in the batch.
    int& LaneJobState();
    int LaneJobState() const;

    CSocketWnd* sockets;
    std::uint16_t port;
    int serverSlot = -1;
    bool loginDue = true;
    bool connecting = false;
    bool started = false;
    QString jobSource; // local path of the running job
    QTimer tickTimer;  // 3
    int lane = 0;
    int errorRoute = 0; // the errors of this role's jobs, to its own server connection
    OnceAnHour notices;
    QueueEntry laneEntry;
};
