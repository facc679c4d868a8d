// The controller's network: the socket layer, the roles, and the messages
// of the protocol handed to whichever role they belong to.
#include "controller/main_controller.h"

#include "app/encoder_app.h"
#include "app/messages.h"
#include "app/trace.h"
#include "net/client_role.h"
#include "net/net_sink.h"
#include "net/protocol.h"
#include "net/server_role.h"
#include "net/socket_layer.h"
#include "queue/encode_scheduler.h"
#include "queue/progress_display.h"

bool MainController::StartNetwork(const NetworkSetup& setup) {
    if (!sockets) {
        netSink = std::make_unique<CNetSink>(this);
        sockets = std::make_unique<CSocketWnd>(*netSink);
        server->Attach(*scheduler, sockets.get());
        client = std::make_unique<ClientRole>(
            ClientRole::Parts{app, view, batch, *scheduler, *progress, encoder, codec, clock},
            sockets.get(), setup.port);
        for (int lane = 1; lane < scheduler->WorkerCount(); ++lane) {
            lanes.push_back(std::make_unique<ClientRole>(
                ClientRole::Parts{app, view, batch, *scheduler, *progress,
                                  scheduler->WorkerPort(lane), codec, clock},
                sockets.get(), setup.port, lane));
        }
        client->leaveServerRole = [this] {
            server->Machines().Clear();
            if (server->ListenSlot() >= 0) {
                sockets->sockclose(server->ListenSlot());
            }
        };
        server->loggedIntoServer = [this] { return client->ServerSlot() != -1; };
        scheduler->serverJobDone = [this](bool outcome) { client->FinishServerJob(outcome); };
        progress->reportServerJob = [this](const QueueEntry& entry) {
            client->SendProgressToServer(entry);
        };
        clientStartTimer.setSingleShot(true);
        clientStartTimer.setInterval(CLIENT_START_DELAY_MS);
        connect(&clientStartTimer, &QTimer::timeout, this, &MainController::ClientStart);
    }
    netPort = setup.port;
    if (!sockets->SetBindAddress(setup.bindAddress)) {
        Trace("StartNetwork: bad bind address %s\n", qPrintable(setup.bindAddress));
        return false;
    }
    if (!sockets->Initialised()) {
        return false;
    }
    if (app.settings.client != 0) {
        clientStartTimer.start();
        return true;
    }
    return ServerStart();
}

void MainController::ClientStart() {
    if (client && sockets->Initialised()) {
        client->ClientStart();
        for (const auto& lane : lanes) {
            lane->ClientStart();
        }
    }
}

std::vector<ClientRole*> MainController::ClientRoles() {
    std::vector<ClientRole*> roles;
    if (client) {
        roles.push_back(client.get());
    }
    for (const auto& lane : lanes) {
        roles.push_back(lane.get());
    }
    return roles;
}

ClientRole& MainController::ClientForSlot(int slot) {
    for (const auto& lane : lanes) {
        if (slot >= 0 && lane->ServerSlot() == slot) {
            return *lane;
        }
    }
    return *client;
}

bool MainController::ServerStart() {
    if (!sockets || !sockets->Initialised()) {
        return false;
    }
    clientStartTimer.stop();
    for (ClientRole* role : ClientRoles()) {
        role->ClientStop();
    }
    return server->ServerStart(netPort);
}

void MainController::ShutdownNetwork() {
    clientStartTimer.stop();
    for (ClientRole* role : ClientRoles()) {
        role->ClientStop();
    }
    if (sockets) {
        sockets->sockshutdown();
    }
}

void MainController::OnNetEvent(QEvent* event) {
    const int type = static_cast<int>(event->type());
    int slot = -1;
    std::unique_ptr<QByteArray> payload;
    if (auto* plain = dynamic_cast<PlainEvent*>(event)) {
        slot = static_cast<int>(plain->WParam());
    } else if (auto* frame = dynamic_cast<PayloadEvent<QByteArray>*>(event)) {
        slot = static_cast<int>(frame->WParam());
        payload = frame->TakePayload();
    }
    if (!client) {
        return;
    }
    // Everything the server role did not take: this machine's own server connection.
    ClientRole& role = ClientForSlot(slot);
    switch (type) {
    case MSG_NET_CLOSED:
        role.OnConnectionClosed(slot);
        break;
    case MSG_NET_CANENCODE:
        role.oncanencode(slot, std::move(payload));
        break;
    case MSG_NET_ENCODE:
        role.onencodejob(slot, std::move(payload));
        break;
    case MSG_NET_ERROR:
        role.onservermessage(slot, std::move(payload));
        break;
    case MSG_NET_PAUSE:
    case MSG_NET_RESUME:
    case MSG_NET_CANCEL:
        role.OnJobMessage(type, slot);
        break;
    default:
        break;
    }
}
