#pragma once

#include "fake_client.h"
#include "net/net_sink.h"
#include "net/server_role.h"
#include "net/socket_layer.h"
#include "net_test_support.h"
#include "queue/batch_state.h"
#include "queue/encode_scheduler.h"
#include "queue/progress_display.h"
#include "queue/queue_model.h"
#include "support/app_sandbox.h"
#include "support/fake_encoder.h"
#include "support/recording_view.h"

#include <QObject>
#include <QStringList>
#include <memory>
#include <vector>

namespace nettest {

// Hands the network events to the server role, as the controller does.
class Forwarder : public QObject {
public:
    bool event(QEvent* event) override {
        if (role != nullptr && role->HandleEvent(event)) {
            return true;
        }
        return QObject::event(event);
    }
    ServerRole* role = nullptr;
};

// A server "Mypc" (local rate 4.0) on 127.0.0.1 whose folders are exported
// as \\SRV\MUSIC, with a fake worker for its own files; clients are fake
// peers on other loopback addresses.
class ServerTest : public testsupport::AppSandbox {
protected:
    void SetUp() override;
    void TearDown() override;

    QueueEntry* AddWav(const QString& name, std::uint32_t frames = 44100,
                       const QString& directory = {});
    // A client logged in under `name` (the server capitalises it).
    FakeClient& Client(const QString& name, const char* from, int answer = 0);
    // The same, with its throughput stored before it logs in.
    FakeClient& Rated(const QString& name, const char* from, double rate, int answer = 0);
    int SlotOf(const QString& name) const { return server->Machines().FindMachineByName(name); }
    // Every file below the temporary folder except the error log.
    QStringList Files() const;
    bool Pump(const std::function<bool()>& done, int limitMs = 30000) {
        return PumpUntil(done, limitMs);
    }
    // Serves events for a while (to see that nothing more happens).
    void Settle(int ms = 150) {
        PumpUntil([] { return false; }, ms);
    }

    testsupport::RecordingView view;
    QueueModel model;
    BatchState batch;
    testsupport::ManualClock clock;
    testsupport::FakeEncoder fake;
    Forwarder receiver;
    std::unique_ptr<CNetSink> sink;
    std::unique_ptr<CSocketWnd> sockets;
    std::unique_ptr<ProgressDisplay> progress;
    std::unique_ptr<ServerRole> server;
    std::unique_ptr<EncodeScheduler> scheduler;
    std::vector<std::unique_ptr<FakeClient>> clients;
    std::uint16_t port = 0;
    QStringList handedOut; // "file:machine"
    QStringList outcomes;
};

} // namespace nettest
