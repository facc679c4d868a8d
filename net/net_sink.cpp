#include "net/net_sink.h"

#include "app/messages.h"
#include "app/trace.h"
#include "net/protocol.h"
#include "net/socket_layer.h"

void CNetSink::sockaccepted(int slot) {
    if (receiver) {
        PostEvent<PlainEvent>(receiver.data(), MSG_NET_ACCEPTED, slot);
    }
}

void CNetSink::sockclosed(int slot) {
    if (receiver) {
        PostEvent<PlainEvent>(receiver.data(), MSG_NET_CLOSED, slot);
    }
}

void CNetSink::sockdispatch(const char* frame, int length, int slot) {
    DispatchFrame(frame, length, slot,
                  [this](int event, int target, std::unique_ptr<QByteArray> payload) {
                      if (receiver) {
                          PostEvent<PayloadEvent<QByteArray>>(receiver.data(), event, target,
                                                              std::move(payload));
                      }
                  });
}

bool netsend(CSocketWnd* sockets, int slot, const char* payload, int length, std::uint32_t type) {
    if (!sockets || length < 0) {
        return false;
    }
    Trace("netsend: sending header %ld on socket %d data len = %d\n", long(type), slot, length);
    const QByteArray frame = BuildFrame(type, payload, length);
    const bool ok = sockets->sockwaitsend(slot, frame.constData(), int(frame.size()));
    if (!ok && slot != -1) {
        sockets->sockclose(slot);
    }
    return ok;
}
