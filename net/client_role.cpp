#include "net/client_role.h"

#include "app/encoder_app.h"
#include "app/error_log.h"
#include "app/messages.h"
#include "app/strings.h"
#include "app/trace.h"
#include "net/net_records.h"
#include "net/net_sink.h"
#include "net/protocol.h"
#include "net/socket_layer.h"
#include "queue/batch_state.h"
#include "queue/main_view.h"
#include "queue/worker_report.h"

namespace {

inline constexpr unsigned IDS_LOGGED_IN = 33028;
inline constexpr unsigned IDS_NOT_LOGGED_IN = 33029;

} // namespace

QString LaneName(const QString& ownName, int lane) {
    const QString suffix = QStringLiteral("#%1").arg(lane + 1);
    return ownName.left(MACHINE_NAME_LENGTH - suffix.size()) + suffix;
}

ClientRole::ClientRole(const Parts& parts, CSocketWnd* sockets, std::uint16_t port, int lane)
    : ClientRoleParts(parts), sockets(sockets), port(port), lane(lane),
      errorRoute(OpenErrorRoute(this)) {
    tickTimer.setInterval(CLIENT_TICK_MS);
    connect(&tickTimer, &QTimer::timeout, this, &ClientRole::ClientTick);
}

ClientRole::~ClientRole() {
    // Nothing may be relayed to a receiver that is gone.
    CloseErrorRoute(errorRoute);
    if (started && lane == 0) {
        SetErrorRelay(false, nullptr);
    }
}

QString ClientRole::LoginName() const {
    return lane == 0 ? batch.ownName : LaneName(batch.ownName, lane);
}

void ClientRole::ClientStart() {
    if (sockets == nullptr) {
        return;
    }
    if (leaveServerRole) {
        leaveServerRole();
    }
    started = true;
    ClientTick();
    tickTimer.start();
}

void ClientRole::ClientStop() {
    tickTimer.stop();
    started = false;
    SetErrorRouteOn(errorRoute, false);
    if (lane == 0) {
        SetErrorRelay(false, nullptr);
    } else {
        // Without its connection the server hands the file out again; a
        // second writer of the same output must not meet this one.
        CancelLaneJob();
    }
    if (sockets != nullptr && serverSlot >= 0) {
        const int slot = serverSlot;
        serverSlot = -1;
        sockets->sockclose(slot);
    }
}

void ClientRole::ClientTick() {
    if (sockets == nullptr || app.settings.serverIp.isEmpty() || !started) {
        return;
    }
    // The connect waits up to 20 s while events run, so a later tick can
    // arrive inside it; that tick must not open a second connection.
    if (connecting) {
        return;
    }
    if (serverSlot == -1) {
        connecting = true;
        // One local port can hold one connection to the server; the lanes
        // beyond the first take any free one.
        const int slot = lane == 0 ? sockets->sockconnect(app.settings.serverIp, port)
                                   : sockets->sockconnect(app.settings.serverIp, port, 0);
        connecting = false;
        // The role may have been left, or the connection lost, during the wait.
        if (slot >= 0 && (!started || !sockets->SlotInUse(slot))) {
            sockets->sockclose(slot);
            UpdateNetStatus();
            return;
        }
        serverSlot = slot;
        loginDue = true;
        if (serverSlot == -1) {
            UpdateNetStatus();
            return;
        }
    }
    if (loginDue) {
        loginDue = false;
        if (!sendheartbeat()) {
            if (serverSlot >= 0) {
                sockets->sockclose(serverSlot);
            }
            serverSlot = -1;
            UpdateNetStatus();
            return;
        }
        // Each connection carries the errors of its own jobs.
        SetErrorRouteOn(errorRoute, true);
        if (lane == 0) {
            SetErrorRelay(true, this);
        }
    }
    UpdateNetStatus();
}

bool ClientRole::sendheartbeat() {
    if (sockets == nullptr || serverSlot < 0) {
        return false;
    }
    Trace("sendheartbeat: sendhearbeat\n");
    const QByteArray name = WriteMachineName(LoginName());
    const bool ok = !name.isEmpty() &&
                    netsend(sockets, serverSlot, name.constData(), int(name.size()), NET_HEARTBEAT);
    if (!ok) {
        serverSlot = -1;
    }
    return ok;
}

bool ClientRole::OnConnectionClosed(int slot) {
    if (!FromServer(slot)) {
        return false;
    }
    serverSlot = -1;
    SetErrorRouteOn(errorRoute, false);
    if (lane == 0) {
        SetErrorRelay(false, nullptr);
    }
    // The server has given this job's file back to its queue and may hand it
    // to another machine, which would write the same output: stop at once.
    if (lane > 0 && LaneJobState() != Idle) {
        Trace("onconnectshutdown: lane %d lost the server during a job, cancelling it\n", lane);
        CancelLaneJob();
    } else if (lane == 0 && batch.serverJobState != Idle) {
        Trace("onconnectshutdown: lost the server during a job, cancelling it\n");
        CancelJob();
    }
    UpdateNetStatus();
    return true;
}

void ClientRole::UpdateNetStatus() {
    if (lane > 0) {
        return; // the window shows lane 0's connection
    }
    view.SetLabel(ID_MACHINES_LABEL,
                  ResString(serverSlot != -1 ? IDS_LOGGED_IN : IDS_NOT_LOGGED_IN));
}

bool ClientRole::Send(std::uint32_t type, const QByteArray& payload) {
    if (sockets == nullptr || serverSlot < 0) {
        return false;
    }
    return netsend(sockets, serverSlot, payload.isEmpty() ? nullptr : payload.constData(),
                   int(payload.size()), type);
}

void ClientRole::onsenderrormsg(const QString& text) {
    if (sockets == nullptr || serverSlot < 0) {
        return; // relaying without a connection drops the record
    }
    Trace("onsenderrormsg: sending error to server\n");
    // A failed send closes the slot; MSG_NET_CLOSED then ends the connection.
    Send(NET_ERROR, WriteErrorText(text));
}

bool ClientRole::event(QEvent* event) {
    const int type = static_cast<int>(event->type());
    // A lane's own worker reports here.
    if (WorkerReport report; lane > 0 && ReadWorkerReport(event, report)) {
        if (report.done) {
            OnLaneDone(report.outcome);
        } else {
            OnLaneProgress(report.percent, report.bytesDone);
        }
        return true;
    }
    if (type != MSG_ERROR_RELAY) {
        return QObject::event(event);
    }
    if (auto* relay = dynamic_cast<PayloadEvent<QString>*>(event)) {
        if (std::unique_ptr<QString> text = relay->TakePayload()) {
            onsenderrormsg(*text);
        }
    }
    return true;
}
