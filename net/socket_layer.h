#pragma once

#include "net/frame_cutter.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

class CSocketNotify;
class QEventLoop;
class QSocketNotifier;

inline constexpr int SOCKET_SLOTS = 64;
inline constexpr int CONNECT_WAIT_MS = 20000;
inline constexpr int LOOKUP_WAIT_MS = 30000;
inline constexpr int SEND_STALL_MS = 5000;
// A peer that loses power or its cable sends nothing, not even a close. Each
// connection is probed after this much silence, a few times, and given up
// when no probe is answered; unacknowledged data is given up after
// DEAD_PEER_MS. Either way the close is noticed within about 30 seconds.
inline constexpr int KEEPALIVE_IDLE_S = 15;
inline constexpr int KEEPALIVE_INTERVAL_S = 5;
inline constexpr int KEEPALIVE_PROBES = 3;
inline constexpr int DEAD_PEER_MS = 30000;

// TCP connections without threads: a table of 64 slots, non-blocking sockets
// watched by socket notifiers on the main thread. Waits (connect, look-up, a
// stalled send) run a local event loop, so timers, other sockets and posted
// events keep being served meanwhile. A slot index names a connection.
class CSocketWnd : public QObject {
    Q_OBJECT

public:
    // The sink must outlive the layer: shutting down announces every closed slot.
    explicit CSocketWnd(CSocketNotify& sink, QObject* parent = nullptr);
    ~CSocketWnd() override;

    // The local address every socket binds to ("" or "0.0.0.0": any); lets
    // several instances share one host on 127.0.0.x.
    bool SetBindAddress(const QString& dotted);
    QString BindAddress() const { return bindText; }
    // Shorter waits for tests; the defaults are the program's limits.
    void SetWaitLimits(int connectMs, int lookupMs, int sendStallMs);
    // Asked for every incoming connection before it takes a slot, with the
    // peer's IPv4 address in host byte order; one it refuses is closed at
    // once, and nothing of it is read or reported.
    void SetAcceptFilter(std::function<bool(std::uint32_t address)> filter);

    bool Initialised() const { return initialised; }

    int socksetlisten(std::uint16_t port);
    int sockconnect(const QString& host, std::uint16_t port);
    // The same from another local port (0: any free one), for a second
    // connection to the same server.
    int sockconnect(const QString& host, std::uint16_t port, std::uint16_t localPort);
    // IPv4 address in network byte order, or 0.
    std::uint32_t sockresolve(const QString& host);
    bool sockwaitsend(int slot, const char* bytes, int length);
    // Ends the sending side (what was sent still arrives); the slot stays
    // until the peer closes or it is closed.
    void sockfinishsend(int slot);
    bool socksend(int slot, const char* bytes, int length);
    void sockclose(int slot);
    QString socklocaladdr();
    void sockshutdown();

    // Set when the program quits: a pending connect wait ends at once.
    void SetAbortConnect(bool on);
    bool AbortConnect() const { return abortConnect; }

    bool SlotInUse(int slot) const;
    int SlotsInUse() const;
    std::uint16_t SlotPort(int slot) const;
    // Bytes a slot holds that do not form a frame yet.
    int HeldBytes(int slot) const;

private:
    struct SocketSlot {
        bool inUse = false;
        int socket = -1;
        std::uint16_t port = 0;
        bool listening = false;
        bool connecting = false; // connect started, not yet established
        bool writable = true;
        QPointer<QSocketNotifier> readNotifier;
        QPointer<QSocketNotifier> writeNotifier;
        FrameCutter received;
    };

    bool sockinitTCP();
    int sockalloc(std::uint16_t port);
    bool ConnectWait(int slot, std::uint32_t address, std::uint16_t port);
    void WatchReads(int slot);
    void WatchWrites(int slot, bool on);
    void DropNotifiers(SocketSlot& s);
    void OnReadable(int socket);
    void OnWritable(int socket);
    void OnAccept(int slot);
    void OnRead(int slot);
    void sockreceive(int slot, const char* bytes, int length);
    int FindSlot(int socket) const;
    int FreeSlot() const;
    bool ValidSlot(int slot) const { return slot >= 0 && slot < SOCKET_SLOTS; }

    // Runs local event loops until `done` holds or `limitMs` passes.
    template <typename Done> bool WaitFor(Done done, int limitMs);
    void Wake();

    CSocketNotify& sink;
    bool initialised = false;
    bool sending = false;
    bool abortConnect = false;
    int lookupState = 0;
    int lookupId = -1;
    std::uint32_t lookupAddress = 0;
    std::uint32_t bindAddress = 0; // network byte order; 0 is any
    QString bindText;
    int connectLimitMs = CONNECT_WAIT_MS;
    int lookupLimitMs = LOOKUP_WAIT_MS;
    int sendStallMs = SEND_STALL_MS;
    std::array<SocketSlot, SOCKET_SLOTS> slotTable;
    std::function<bool(std::uint32_t)> acceptFilter;
    std::vector<QEventLoop*> waits;
};
