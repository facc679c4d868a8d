#include "net/socket_layer.h"

#include "app/trace.h"
#include "net/socket_errors.h"
#include "net/socket_notify.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QHostInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int READ_CHUNK = 1024;
// Reads served per notification; a peer that never pauses cannot keep the
// main thread to itself (the notifier fires again for the rest).
constexpr int READS_PER_EVENT = 64;

void HardClose(int socket) {
    const linger hard{1, 0};
    setsockopt(socket, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    ::close(socket);
}

// A silent peer is given up by the kernel, which reports it as an error on
// the next read: the slot closes like any other.
void WatchForDeadPeer(int socket) {
    const int on = 1;
    const int idle = KEEPALIVE_IDLE_S;
    const int interval = KEEPALIVE_INTERVAL_S;
    const int probes = KEEPALIVE_PROBES;
    const unsigned int unacknowledged = DEAD_PEER_MS;
    setsockopt(socket, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    setsockopt(socket, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    setsockopt(socket, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    setsockopt(socket, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
    setsockopt(socket, IPPROTO_TCP, TCP_USER_TIMEOUT, &unacknowledged, sizeof unacknowledged);
}

QString DottedAddress(std::uint32_t networkOrder) {
    char text[INET_ADDRSTRLEN] = {};
    in_addr address{};
    address.s_addr = networkOrder;
    inet_ntop(AF_INET, &address, text, sizeof text);
    return QString::fromLatin1(text);
}

} // namespace

CSocketWnd::CSocketWnd(CSocketNotify& sink, QObject* parent) : QObject(parent), sink(sink) {
    initialised = sockinitTCP();
}

CSocketWnd::~CSocketWnd() {
    sockshutdown();
}

bool CSocketWnd::sockinitTCP() {
    Trace("sockinitTCP: initializing the tcp stack\n");
    for (SocketSlot& s : slotTable) {
        s = SocketSlot();
    }
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY &&
        files.rlim_cur < rlim_t(SOCKET_SLOTS + 16)) {
        Trace("A minimum of %d sockets are needed.\n", SOCKET_SLOTS);
        return false;
    }
    return true;
}

bool CSocketWnd::SetBindAddress(const QString& dotted) {
    if (dotted.isEmpty()) {
        bindAddress = 0;
        bindText.clear();
        return true;
    }
    in_addr address{};
    if (inet_pton(AF_INET, dotted.toLatin1().constData(), &address) != 1) {
        return false;
    }
    bindAddress = address.s_addr;
    bindText = bindAddress == 0 ? QString() : dotted;
    return true;
}

void CSocketWnd::SetWaitLimits(int connectMs, int lookupMs, int sendStallMsValue) {
    connectLimitMs = connectMs;
    lookupLimitMs = lookupMs;
    sendStallMs = sendStallMsValue;
}

void CSocketWnd::SetAcceptFilter(std::function<bool(std::uint32_t)> filter) {
    acceptFilter = std::move(filter);
}

void CSocketWnd::sockfinishsend(int slot) {
    if (SlotInUse(slot)) {
        ::shutdown(slotTable[slot].socket, SHUT_WR);
    }
}

void CSocketWnd::SetAbortConnect(bool on) {
    abortConnect = on;
    Wake();
}

template <typename Done> bool CSocketWnd::WaitFor(Done done, int limitMs) {
    if (done()) {
        return true;
    }
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    bool expired = false;
    connect(&limit, &QTimer::timeout, &loop, [&] {
        expired = true;
        loop.quit();
    });
    limit.start(limitMs);
    waits.push_back(&loop);
    while (!done() && !expired) {
        loop.exec();
    }
    std::erase(waits, &loop);
    return done();
}

void CSocketWnd::Wake() {
    for (QEventLoop* loop : waits) {
        loop->quit();
    }
}

int CSocketWnd::FindSlot(int socket) const {
    for (int i = 0; i < SOCKET_SLOTS; ++i) {
        if (slotTable[i].inUse && slotTable[i].socket == socket) {
            return i;
        }
    }
    return -1;
}

int CSocketWnd::FreeSlot() const {
    for (int i = 0; i < SOCKET_SLOTS; ++i) {
        if (!slotTable[i].inUse) {
            return i;
        }
    }
    return -1;
}

int CSocketWnd::sockalloc(std::uint16_t port) {
    const int slot = FreeSlot();
    if (slot < 0) {
        return -1;
    }
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (socket < 0) {
        ReportSocketError();
        return -1;
    }
    // Only lets a port be bound again while old connections linger in the
    // kernel; two listeners on one port are still refused.
    const int on = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = bindAddress;
    local.sin_port = htons(port);
    if (::bind(socket, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        ReportSocketError();
        HardClose(socket);
        return -1;
    }
    SocketSlot& s = slotTable[slot];
    s = SocketSlot();
    s.socket = socket;
    s.port = port;
    s.inUse = true;
    return slot;
}

void CSocketWnd::WatchReads(int slot) {
    SocketSlot& s = slotTable[slot];
    if (!s.readNotifier) {
        s.readNotifier = new QSocketNotifier(s.socket, QSocketNotifier::Read, this);
        const int socket = s.socket;
        connect(s.readNotifier, &QSocketNotifier::activated, this,
                [this, socket] { OnReadable(socket); });
    }
    s.readNotifier->setEnabled(true);
}

void CSocketWnd::WatchWrites(int slot, bool on) {
    SocketSlot& s = slotTable[slot];
    if (!s.writeNotifier) {
        if (!on) {
            return;
        }
        s.writeNotifier = new QSocketNotifier(s.socket, QSocketNotifier::Write, this);
        const int socket = s.socket;
        connect(s.writeNotifier, &QSocketNotifier::activated, this,
                [this, socket] { OnWritable(socket); });
    }
    s.writeNotifier->setEnabled(on);
}

void CSocketWnd::DropNotifiers(SocketSlot& s) {
    // The notifier may be the one whose signal is being handled.
    for (QPointer<QSocketNotifier>* notifier : {&s.readNotifier, &s.writeNotifier}) {
        if (*notifier) {
            (*notifier)->setEnabled(false);
            (*notifier)->deleteLater();
            *notifier = nullptr;
        }
    }
}

int CSocketWnd::socksetlisten(std::uint16_t port) {
    Trace("socksetlisten: allocating a new socket\n");
    if (!initialised) {
        return -1;
    }
    const int slot = sockalloc(port);
    if (slot < 0) {
        return -1;
    }
    Trace("socksetlisten: activating listen socket\n");
    if (::listen(slotTable[slot].socket, 1) != 0) {
        ReportSocketError();
        sockclose(slot);
        return -1;
    }
    Trace("socksetlisten: routing accept messages to local window\n");
    slotTable[slot].listening = true;
    WatchReads(slot);
    return slot;
}

int CSocketWnd::sockconnect(const QString& host, std::uint16_t port) {
    return sockconnect(host, port, port);
}

int CSocketWnd::sockconnect(const QString& host, std::uint16_t port, std::uint16_t localPort) {
    if (!initialised) {
        return -1;
    }
    const int slot = sockalloc(localPort);
    if (slot < 0) {
        return -1;
    }
    const std::uint32_t address = sockresolve(host);
    // Address 0 would reach this very machine on Linux, never the server.
    if (address == 0 || !ConnectWait(slot, address, port)) {
        sockclose(slot);
        return -1;
    }
    return slot;
}

bool CSocketWnd::ConnectWait(int slot, std::uint32_t address, std::uint16_t port) {
    if (!slotTable[slot].inUse) {
        return false;
    }
    const int socket = slotTable[slot].socket;
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_addr.s_addr = address;
    remote.sin_port = htons(port);
    slotTable[slot].connecting = true;
    WatchForDeadPeer(socket);
    if (::connect(socket, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) == 0) {
        slotTable[slot].connecting = false;
        WatchReads(slot);
        return true;
    }
    if (errno != EINPROGRESS && errno != EWOULDBLOCK) {
        ReportSocketError();
        return false;
    }
    WatchWrites(slot, true);
    const auto settled = [this, slot, socket] {
        const SocketSlot& s = slotTable[slot];
        return abortConnect || !s.inUse || s.socket != socket || !s.connecting;
    };
    WaitFor(settled, connectLimitMs);
    const SocketSlot& s = slotTable[slot];
    return s.inUse && s.socket == socket && !s.connecting;
}

std::uint32_t CSocketWnd::sockresolve(const QString& host) {
    if (host.isEmpty()) {
        return 0;
    }
    if (host[0] >= u'0' && host[0] <= u'9') {
        return inet_addr(host.toLatin1().constData());
    }
    if (lookupId >= 0) {
        QHostInfo::abortHostLookup(lookupId);
    }
    lookupState = 0;
    lookupAddress = 0;
    lookupId = QHostInfo::lookupHost(host, this, [this](const QHostInfo& info) {
        if (info.lookupId() != lookupId) {
            return;
        }
        lookupId = -1;
        lookupState = -1;
        if (info.error() == QHostInfo::NoError) {
            for (const QHostAddress& found : info.addresses()) {
                if (found.protocol() == QAbstractSocket::IPv4Protocol) {
                    lookupAddress = htonl(found.toIPv4Address());
                    lookupState = 1;
                    break;
                }
            }
        }
        if (lookupState != 1) {
            Trace("Windows Sockets error %d: %s\n", SOCK_HOST_NOT_FOUND,
                  sockerrortext(SOCK_HOST_NOT_FOUND));
        }
        Wake();
    });
    const int id = lookupId;
    if (!WaitFor([this] { return lookupState != 0; }, lookupLimitMs)) {
        if (lookupId == id && id >= 0) {
            QHostInfo::abortHostLookup(id);
            lookupId = -1;
        }
        return 0;
    }
    return lookupState == 1 ? lookupAddress : 0;
}

QString CSocketWnd::socklocaladdr() {
    if (!initialised) {
        return QString();
    }
    if (bindAddress != 0) {
        return bindText;
    }
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) {
        return QString();
    }
    const std::uint32_t address = sockresolve(QString::fromLatin1(name));
    return address == 0 ? QString() : DottedAddress(address);
}

bool CSocketWnd::sockwaitsend(int slot, const char* bytes, int length) {
    if (!initialised || !ValidSlot(slot) || !slotTable[slot].inUse || slotTable[slot].socket < 0) {
        return false;
    }
    WaitFor([this] { return !sending; }, sendStallMs);
    return socksend(slot, bytes, length);
}

bool CSocketWnd::socksend(int slot, const char* bytes, int length) {
    if (sending || length <= 0 || !ValidSlot(slot) || !slotTable[slot].inUse) {
        return false;
    }
    sending = true;
    const int socket = slotTable[slot].socket;
    Trace("socksend: sending packet of length %d on socket %d\n", length, socket);
    const auto stillOpen = [this, slot, socket] {
        return slotTable[slot].inUse && slotTable[slot].socket == socket;
    };
    int done = 0;
    bool ok = true;
    while (done < length) {
        if (!slotTable[slot].writable) {
            WaitFor([&] { return !stillOpen() || slotTable[slot].writable; }, sendStallMs);
            if (!stillOpen() || !slotTable[slot].writable) {
                ok = false;
                break;
            }
        }
        const ssize_t sent = ::send(socket, bytes + done, std::size_t(length - done), MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EWOULDBLOCK || errno == EAGAIN) {
                slotTable[slot].writable = false;
                WatchWrites(slot, true);
                continue;
            }
            if (errno == EINTR) {
                continue;
            }
            ok = false;
            break;
        }
        done += int(sent);
    }
    sending = false;
    Wake();
    return ok;
}

void CSocketWnd::sockclose(int slot) {
    if (!ValidSlot(slot) || !slotTable[slot].inUse) {
        return;
    }
    SocketSlot& s = slotTable[slot];
    DropNotifiers(s);
    HardClose(s.socket);
    s.inUse = false;
    s.socket = -1;
    s.listening = false;
    s.connecting = false;
    s.writable = true;
    sink.sockclosed(slot);
    s.received.Clear();
    Wake();
}

void CSocketWnd::sockshutdown() {
    Trace("Shutting down sockets library\n");
    if (!initialised) {
        return;
    }
    for (int slot = 0; slot < SOCKET_SLOTS; ++slot) {
        sockclose(slot);
    }
    if (lookupId >= 0) {
        QHostInfo::abortHostLookup(lookupId);
        lookupId = -1;
    }
    initialised = false;
}

void CSocketWnd::OnReadable(int socket) {
    const int slot = FindSlot(socket);
    if (slot < 0) {
        return;
    }
    if (slotTable[slot].listening) {
        OnAccept(slot);
    } else {
        OnRead(slot);
    }
}

void CSocketWnd::OnWritable(int socket) {
    const int slot = FindSlot(socket);
    if (slot < 0) {
        return;
    }
    SocketSlot& s = slotTable[slot];
    if (s.connecting) {
        int error = 0;
        socklen_t size = sizeof error;
        if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size) != 0) {
            error = errno;
        }
        WatchWrites(slot, false);
        if (error != 0) {
            // A failed connect is left to the connect wait's limit.
            const int code = SockErrorFromErrno(error);
            Trace("Windows Sockets error %d: %s\n", code, sockerrortext(code));
            return;
        }
        s.connecting = false;
        WatchReads(slot);
    } else {
        s.writable = true;
        WatchWrites(slot, false);
    }
    Wake();
}

void CSocketWnd::OnAccept(int listenSlot) {
    sockaddr_in peer{};
    socklen_t peerSize = sizeof peer;
    const int socket = ::accept4(slotTable[listenSlot].socket, reinterpret_cast<sockaddr*>(&peer),
                                 &peerSize, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (socket < 0) {
        if (errno != EWOULDBLOCK && errno != EAGAIN && errno != EINTR) {
            ReportSocketError();
        }
        return;
    }
    if (acceptFilter && !acceptFilter(ntohl(peer.sin_addr.s_addr))) {
        HardClose(socket);
        return;
    }
    const int slot = FreeSlot();
    if (slot < 0) {
        HardClose(socket);
        return;
    }
    WatchForDeadPeer(socket);
    SocketSlot& s = slotTable[slot];
    s = SocketSlot();
    s.socket = socket;
    s.inUse = true;
    s.port = slotTable[listenSlot].port;
    sink.sockaccepted(slot);
    if (slotTable[slot].inUse && slotTable[slot].socket == socket) {
        WatchReads(slot);
    }
}

void CSocketWnd::OnRead(int slot) {
    const int socket = slotTable[slot].socket;
    char buffer[READ_CHUNK];
    for (int reads = 0; reads < READS_PER_EVENT; ++reads) {
        const ssize_t n = ::recv(socket, buffer, sizeof buffer, 0);
        if (n > 0) {
            sockreceive(slot, buffer, int(n));
            if (!slotTable[slot].inUse || slotTable[slot].socket != socket) {
                return;
            }
            continue;
        }
        if (n == 0) {
            sockclose(slot);
            return;
        }
        if (errno == EWOULDBLOCK || errno == EAGAIN) {
            return;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != ECONNRESET) {
            ReportSocketError();
        }
        // A reset, or a socket that can no longer be read, is a close.
        sockclose(slot);
        return;
    }
}

void CSocketWnd::sockreceive(int slot, const char* bytes, int length) {
    Trace("sockreceive: processing data for socket %d of length %d\n",
          ValidSlot(slot) ? slotTable[slot].socket : -1, length);
    if (!ValidSlot(slot)) {
        return;
    }
    const int socket = slotTable[slot].socket;
    std::vector<QByteArray> frames;
    const bool withinLimit = slotTable[slot].received.Feed(bytes, length, frames);
    for (const QByteArray& frame : frames) {
        sink.sockdispatch(frame.constData(), int(frame.size()), slot);
        if (!slotTable[slot].inUse || slotTable[slot].socket != socket) {
            return;
        }
    }
    if (!withinLimit) {
        Trace("sockreceive: socket %d holds %d bytes without a frame, closing it\n", socket,
              slotTable[slot].received.Held());
        sockclose(slot);
    }
}

bool CSocketWnd::SlotInUse(int slot) const {
    return ValidSlot(slot) && slotTable[slot].inUse;
}

int CSocketWnd::SlotsInUse() const {
    int count = 0;
    for (const SocketSlot& s : slotTable) {
        count += s.inUse ? 1 : 0;
    }
    return count;
}

std::uint16_t CSocketWnd::SlotPort(int slot) const {
    return SlotInUse(slot) ? slotTable[slot].port : 0;
}

int CSocketWnd::HeldBytes(int slot) const {
    return SlotInUse(slot) ? slotTable[slot].received.Held() : 0;
}
