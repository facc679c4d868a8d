#pragma once

#include "net/machine_table.h"
#include "net/once_an_hour.h"
#include "net/protocol.h"
#include "queue/machine_port.h"

#include <QByteArray>
#include <QObject>
#include <QSet>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class CEncoderApp;
class CSocketWnd;
class EncodeScheduler;
class MainView;
class ProgressDisplay;
class QEvent;
class QEventLoop;
class QTimer;
class QueueModel;
struct BatchState;
struct EncodeJob;
struct QueueEntry;

inline constexpr int CANENCODE_WAIT_MS = 5000;
// A machine that has not answered a question is asked no other for this
// long, unless the late answer comes first: answers carry no question, so
// only one may be open per connection. Then the question is given up.
inline constexpr int LATE_ANSWER_LIMIT_MS = 30000;
// A connection that has not logged in by then is not one of our clients.
inline constexpr int LOGIN_WAIT_MS = 30000;

struct ServerRoleParts {
    QueueModel& model;
    MainView& view;
    BatchState& batch;
    ProgressDisplay& progress;
    CEncoderApp& app;
};

// The server side of a shared queue: the table of logged-in clients, the
// hand-out of queue files to them (fastest machine first, this one included)
// and the handling of their reports. Runs on the main thread; the answer wait
// of a hand-out runs other events meanwhile, so a pass asked for inside it is
// run after the current pass instead of inside it.
class ServerRole : public QObject, public MachinePort {
    Q_OBJECT

public:
    explicit ServerRole(const ServerRoleParts& parts, QObject* parent = nullptr);
    ~ServerRole() override;

    // The scheduler and sockets exist after the role; both must outlive it.
    void Attach(EncodeScheduler& scheduler, CSocketWnd* sockets);
    // Listens for clients; false when the port cannot be had.
    bool ServerStart(std::uint16_t port = NET_PORT);
    // A network event for the server: true when it was one (its payload is
    // taken either way).
    bool HandleEvent(QEvent* event);

    // MachinePort.
    bool AnyLoggedIn() const override;
    bool DistributeFiles(int machineIndex) override;
    int FindClient(const QString& name) const override;
    QString ClientName(int index) const override;
    void SendClientState(int index, int state) override;
    void StopClient(int index) override;

    void onconnectionestablished(int slot);
    void onconnectshutdown(int slot);
    void onheartbeat(int slot, const QByteArray& payload);
    void oncanencodereply(int slot, const QByteArray& payload);
    void onfiledone(int slot);
    void onfilefailed(int slot);
    void onreceiveerrormsg(int slot, const QByteArray& payload);
    void onprogressmsg(int slot, const QByteArray& payload);
    void oncancelmsg(int slot);
    void onpausemsg(int slot);
    void onresumemsg(int slot);

    void UpdateNetStatus();
    void ResetMachineFile(int index, int status);
    // Ends the batch when no machine holds an active file.
    void CheckBatchEnd();

    MachineTable& Machines() { return machines; }
    const MachineTable& Machines() const { return machines; }
    int ListenSlot() const { return listenSlot; }
    // Shorter waits for tests.
    void SetWaitLimits(int answerMs, int loginMs, int lateAnswerMs = LATE_ANSWER_LIMIT_MS);

    // A file went to a client.
    std::function<void(const QueueEntry& entry, const QString& machine)> fileHandedOut;
    // The machines table changed (the Network dialog refreshes its list).
    std::function<void()> machinesChanged;
    // For the status text of a client: whether it is logged into its server.
    std::function<bool()> loggedIntoServer;

private:
    bool Serves(int slot) const;
    // The first row whose active entry the slot's machine holds, or -1.
    int ActiveFileRow(int slot) const;
    bool HoldsActiveFile(const QString& name) const;
    QString MachineNameOf(int index) const;
    void RunPass(int machineIndex);
    bool Eligible(const QueueEntry* entry) const;
    bool OfferFileToMachine(int index, QueueEntry* entry, const EncodeJob& job, const QString& out);
    bool AskCanEncode(int index, const EncodeJob& job);
    // False while the machine owes the answer to an earlier question.
    bool MayAsk(int index);
    bool SendJob(int index, const EncodeJob& job, QueueEntry& entry);
    void ReportAnswer(int index, std::uint32_t answer);
    // The slot's file failed there: Error, recorded, output removed.
    void FailMachineFile(int slot);
    // Tells the machine why, then ends the connection.
    void Refuse(int slot, const QString& name, const QString& why, const QString& toMachine);
    // The accept filter: only the machines of "Allowed Machines" come in.
    bool AdmitPeer(std::uint32_t address);
    void DropSilentPeers();
    void SendToMachine(int index, std::uint32_t type);

    QueueModel& model;
    MainView& view;
    BatchState& batch;
    ProgressDisplay& progress;
    CEncoderApp& app;
    EncodeScheduler* scheduler = nullptr;
    CSocketWnd* sockets = nullptr;

    MachineTable machines;
    int listenSlot = -1;
    int canEncodeReply = -1;
    int askedSlot = -1;
    QEventLoop* answerWait = nullptr;
    int answerWaitMs = CANENCODE_WAIT_MS;
    int loginWaitMs = LOGIN_WAIT_MS;
    int lateAnswerMs = LATE_ANSWER_LIMIT_MS;

    // Per slot: accepted by our listener, when, and when the question still
    // owed an answer was asked (0: none; its late answer is dropped).
    std::array<bool, MACHINE_SLOTS> accepted{};
    std::array<std::int64_t, MACHINE_SLOTS> acceptedAt{};
    std::array<std::int64_t, MACHINE_SLOTS> owedSince{};
    std::array<bool, MACHINE_SLOTS> refused{}; // told why; waiting for the peer to go
    std::unique_ptr<QTimer> loginTimer;
    OnceAnHour refusals;

    bool walking = false;
    bool deferredPass = false;
    bool deferredBatchCheck = false;
    // Entries freed while a pass waits for an answer.
    QSet<const QueueEntry*> freedDuringPass;
};
