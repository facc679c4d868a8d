#pragma once

#include "net/socket_notify.h"

#include <QObject>
#include <QPointer>
#include <cstdint>

class CSocketWnd;

// Turns the socket layer's notifications into events posted to the
// controller; it never sends, so a handler cannot re-enter a read.
class CNetSink : public CSocketNotify {
public:
    explicit CNetSink(QObject* receiver) : receiver(receiver) {}

    void sockaccepted(int slot) override;
    void sockclosed(int slot) override;
    void sockdispatch(const char* frame, int length, int slot) override;

private:
    QPointer<QObject> receiver;
};

// Sends one frame; a failed send gives the connection up (closing it, which
// announces MSG_NET_CLOSED). Slot -1 fails without closing anything.
bool netsend(CSocketWnd* sockets, int slot, const char* payload, int length, std::uint32_t type);
