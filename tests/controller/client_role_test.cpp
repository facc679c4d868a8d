// The client role through the controller, against a fake server that is a
// second socket layer on loopback in the same test.
#include "controller/main_controller.h"

#include "app/error_log.h"
#include "net/client_role.h"
#include "net/net_records.h"
#include "net/net_sink.h"
#include "net/net_test_support.h"
#include "net/protocol.h"
#include "net/socket_layer.h"
#include "net/unc_tables.h"
#include "net/wire_bytes.h"
#include "net/writer_part.h"
#include "queue/batch_state.h"
#include "queue/wave_probe.h"
#include "support/app_sandbox.h"
#include "support/fake_encoder.h"
#include "support/free_port.h"
#include "support/recording_view.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <algorithm>
#include <gtest/gtest.h>
#include <thread>

namespace {

using testsupport::FakeEncoder;

constexpr char SERVER_ADDRESS[] = "127.0.0.41";
constexpr char CLIENT_ADDRESS[] = "127.0.0.42";
constexpr std::uint32_t KNOWN_ENCODER = 9997;
constexpr std::uint32_t OTHER_KNOWN_ENCODER = 9998;

using nettest::PumpUntil;

struct Frame {
    std::uint32_t type;
    QByteArray payload;
    int slot = -1;
};

// The server end: listens, records every frame, sends what the test says.
class FakeServer : public CSocketNotify {
public:
    explicit FakeServer(std::uint16_t port) {
        sockets = std::make_unique<CSocketWnd>(*this);
        sockets->SetBindAddress(QString::fromLatin1(SERVER_ADDRESS));
        listenSlot = sockets->socksetlisten(port);
    }

    void sockaccepted(int slot) override {
        peer = slot;
        ++accepts;
    }
    // The connection that logged in under `name`, or -1.
    int SlotOf(const QString& name) const {
        const auto it = std::ranges::find_if(frames, [&](const Frame& frame) {
            QString said;
            return frame.type == NET_HEARTBEAT && ReadMachineName(frame.payload, said) &&
                   said == name;
        });
        return it == frames.end() ? -1 : it->slot;
    }
    void sockclosed(int slot) override {
        if (slot == peer) {
            peer = -1;
        }
    }
    void sockdispatch(const char* frame, int length, int slot) override {
        frames.push_back(Frame{ReadU32(frame + 3), QByteArray(frame + 7, length - 10), slot});
    }

    // Sends on the connection `slot`, or on the latest one when -1.
    bool Send(std::uint32_t type, const QByteArray& payload = {}, int slot = -1) {
        return netsend(sockets.get(), slot < 0 ? peer : slot, payload.constData(),
                       int(payload.size()), type);
    }
    // Frames of `type`, from the connection `slot` or from any.
    int Count(std::uint32_t type, int slot = -1) const {
        return int(std::ranges::count_if(frames, [&](const Frame& f) {
            return f.type == type && (slot < 0 || f.slot == slot);
        }));
    }
    const Frame* Last(std::uint32_t type) const {
        const auto it = std::ranges::find(frames.rbegin(), frames.rend(), type, &Frame::type);
        return it == frames.rend() ? nullptr : &*it;
    }
    bool WaitFor(std::uint32_t type, int count = 1, int slot = -1) {
        return PumpUntil([&] { return Count(type, slot) >= count; });
    }
    // Asks the can-encode question on `slot` (the log-in connection when -1)
    // and returns the answer, or -1.
    int Ask(const EncodeJob& job, int slot = -1) {
        const int before = Count(NET_CANENCODE_REPLY, slot);
        if (!Send(NET_CANENCODE, WriteEncodeJob(job), slot) ||
            !WaitFor(NET_CANENCODE_REPLY, before + 1, slot)) {
            return -1;
        }
        std::uint32_t code = 0;
        return ReadReplyCode(Last(NET_CANENCODE_REPLY)->payload, code) ? int(code) : -1;
    }
    // The text of the latest error frame.
    QString LastError() const {
        QString text;
        const Frame* frame = Last(NET_ERROR);
        return frame != nullptr && ReadErrorText(frame->payload, text) ? text : QString();
    }

    int listenSlot = -1;
    int peer = -1;
    int accepts = 0;
    std::vector<Frame> frames;
    std::unique_ptr<CSocketWnd> sockets; // last: it reports into the members above as it goes
};

} // namespace

// The suite is named after the role, so it lives in a namespace of its own.
namespace clienttest {

// The share "MUSIC" of the server "SRV" is the sandbox, mounted here.
class ClientRole : public testsupport::AppSandbox {
protected:
    void SetUp() override {
        AppSandbox::SetUp();
        nettest::UseUncFiles(temp.path(), {},
                             "40 22 0:40 / " + temp.path().toUtf8() + " rw - cifs //srv/Music rw\n",
                             "client");

        port = testsupport::FreePort(QString::fromLatin1(SERVER_ADDRESS));
        server = std::make_unique<FakeServer>(port);
        ASSERT_GE(server->listenSlot, 0);
        app->settings.client = 1;
        app->settings.serverIp = QString::fromLatin1(SERVER_ADDRESS);
        controller = std::make_unique<MainController>(
            *app, view,
            MainController::Ports{fake, fake, ReadWaveFacts, nullptr, &clock, moreWorkers});
        controller->Startup(false);
        ASSERT_TRUE(
            controller->StartNetwork(NetworkSetup{QString::fromLatin1(CLIENT_ADDRESS), port}));
    }
    void TearDown() override {
        controller.reset();
        server.reset();
        SetUncTables(UncTables());
        AppSandbox::TearDown();
    }

    void LogIn() {
        controller->ClientStart();
        ASSERT_TRUE(server->WaitFor(NET_HEARTBEAT));
    }

    EncodeJob Job(const QString& name = QStringLiteral("a")) {
        return {.manufacturerId = KNOWN_ENCODER,
                .productId = 1,
                .channels = 2,
                .bytesPerSec = 16000,
                .source = "\\\\SRV\\MUSIC\\in\\" + name + ".wav",
                .destination = "\\\\SRV\\MUSIC\\out\\" + name + ".MP3",
                .size = 4410 * 4 + 44};
    }

    // Hands the job out on `slot` and waits until `worker` runs it.
    void StartOn(int slot, FakeEncoder& worker, const EncodeJob& job) {
        const std::size_t before = worker.starts.size();
        ASSERT_TRUE(server->Send(NET_ENCODE, WriteEncodeJob(job), slot));
        ASSERT_TRUE(PumpUntil([&] { return worker.starts.size() > before; }));
    }
    void StartJob(const EncodeJob& job) { StartOn(server->peer, fake, job); }
    QStringList Outputs() const { return QDir(outputDir).entryList(QDir::Files | QDir::Hidden); }

    testsupport::RecordingView view;
    FakeEncoder fake;
    std::vector<EncodePort*> moreWorkers;
    testsupport::ManualClock clock;
    std::uint16_t port = 0;
    std::unique_ptr<FakeServer> server;
    std::unique_ptr<MainController> controller;
};

TEST_F(ClientRole, LogsInOnceAndAnswersInTheOrderOfTheChecks) {
    LogIn();
    EXPECT_EQ(server->SlotOf(controller->Batch().ownName), server->peer);
    EXPECT_EQ(view.Label(ID_MACHINES_LABEL), QStringLiteral("Logged into server"));
    controller->Client()->ClientTick();
    PumpUntil([] { return false; }, 100);
    EXPECT_EQ(std::pair(server->Count(NET_HEARTBEAT), server->accepts), std::pair(1, 1));

    MakeWav(QStringLiteral("a.wav"));
    EncodeJob job = Job();
    // A missing codec is answered before the (missing) source is looked at.
    job.manufacturerId = 4242;
    job.source = "\\\\SRV\\MUSIC\\in\\missing.wav";
    EXPECT_EQ(server->Ask(job), int(CANENCODE_NOCODEC));
    job.manufacturerId = KNOWN_ENCODER;
    EXPECT_EQ(server->Ask(job), int(CANENCODE_NOREAD));
    // A share not mounted here: the same answer, and this machine's own log
    // says why (once, however often it is asked).
    job.source = "\\\\SRV\\TAPES\\a.wav";
    EXPECT_EQ(server->Ask(job), int(CANENCODE_NOREAD));
    EXPECT_EQ(server->Ask(job), int(CANENCODE_NOREAD));
    EXPECT_EQ(ErrorLog().count("no share TAPES of the server is mounted here"), 1)
        << qPrintable(ErrorLog());
    EXPECT_EQ(server->Count(NET_ERROR), 0);
    job.source = Job().source;
    job.destination = "\\\\SRV\\MUSIC\\nowhere\\a.MP3";
    EXPECT_EQ(server->Ask(job), int(CANENCODE_NOWRITE));
    EXPECT_EQ(server->Ask(Job()), int(CANENCODE_OK));
    EXPECT_EQ(Outputs(), QStringList());
    // A user's own file of the probe's name is left as it is.
    QFile own(outputDir + "/lkj.lkj");
    ASSERT_TRUE(nettest::WriteText(own.fileName(), "keep me"));
    EXPECT_EQ(server->Ask(Job()), int(CANENCODE_OK));
    ASSERT_TRUE(own.open(QIODevice::ReadOnly));
    EXPECT_EQ(own.readAll(), QByteArray("keep me"));
    EXPECT_EQ(Outputs(), QStringList{"lkj.lkj"});

    // Encoding its own queue, the client is busy for the server.
    MakeWav(QStringLiteral("own.wav"));
    ASSERT_EQ(controller->AddFiles({sourceDir + "/own.wav"}), 1);
    controller->OnEncode();
    ASSERT_EQ(fake.starts.size(), 1u);
    EXPECT_EQ(server->Ask(Job()), int(CANENCODE_BUSY));
}

// A job through local paths, paused from either end; the server's encoder is
// adopted. Then a cancelled job and a failed one.
TEST_F(ClientRole, EncodesPausesCancelsAndFailsJobsAndAdoptsTheServersEncoder) {
    LogIn();
    MakeWav(QStringLiteral("a.wav"));
    fake.knownManufacturers.push_back(OTHER_KNOWN_ENCODER);
    EncodeJob job = Job();
    job.manufacturerId = OTHER_KNOWN_ENCODER;
    job.productId = 7;
    job.bytesPerSec = 24000;
    StartJob(job);
    EXPECT_EQ(fake.starts.back().source, sourceDir + "/a.wav");
    // Written under this machine's own partial name, which the server renames.
    const QString part = WriterPartPath(outputDir + "/a.MP3", controller->Batch().ownName);
    EXPECT_EQ(fake.starts.back().output, part);
    EXPECT_EQ(controller->Batch().serverJobState, int(Encoding));
    EXPECT_EQ(view.Label(ID_COUNTER_LABEL), QStringLiteral("Encoding File for Server:"));
    EXPECT_EQ(view.Label(ID_SOURCE_DIR_LABEL), QStringLiteral("\\\\SRV\\MUSIC\\in"));
    EXPECT_EQ(
        std::tuple(view.Enabled(ID_ENCODE), view.Enabled(ID_ADD_FILES), view.Enabled(ID_PAUSE)),
        std::tuple(false, false, true));
    // A second job while one runs is not started.
    ASSERT_TRUE(server->Send(NET_ENCODE, WriteEncodeJob(Job("b"))));
    EXPECT_EQ(server->Ask(Job()), int(CANENCODE_BUSY));
    EXPECT_EQ(fake.starts.size(), 1u);

    clock.now += 500;
    fake.Progress(40, job.size * 4 / 10);
    ASSERT_TRUE(server->WaitFor(NET_PROGRESS));
    QueueEntry reported;
    ASSERT_TRUE(ReadProgressRecord(server->Last(NET_PROGRESS)->payload, reported));
    EXPECT_EQ(reported.percent, 40);
    EXPECT_GT(reported.rate, 0.0);

    ASSERT_TRUE(server->Send(NET_PAUSE));
    ASSERT_TRUE(PumpUntil([&] { return fake.pauses == 1; }));
    EXPECT_EQ(controller->Batch().serverJobState, int(Paused));
    // Both messages toggle: a second pause resumes.
    ASSERT_TRUE(server->Send(NET_PAUSE));
    ASSERT_TRUE(PumpUntil([&] { return fake.resumes == 1; }));
    EXPECT_EQ(controller->Batch().serverJobState, int(Encoding));
    // The local Pause button tells the server.
    controller->OnPause();
    ASSERT_TRUE(server->WaitFor(NET_PAUSE));
    EXPECT_EQ(controller->Batch().serverJobState, int(Paused));
    controller->OnPause();
    ASSERT_TRUE(server->WaitFor(NET_RESUME));

    fake.Finish(true);
    ASSERT_TRUE(server->WaitFor(NET_DONE));
    EXPECT_EQ(std::tuple(controller->Batch().serverJobState, controller->Batch().localState,
                         view.Enabled(ID_ADD_FILES), view.Enabled(ID_PAUSE),
                         view.Label(ID_SOURCE_DIR_LABEL)),
              std::tuple(int(Idle), int(Idle), true, false, sourceDir));
    EXPECT_EQ(std::tuple(app->settings.manufacturerId, app->settings.productId,
                         app->settings.bytesPerSec),
              std::tuple(OTHER_KNOWN_ENCODER, 7u, 24000u));
    EXPECT_EQ(view.Label(ID_CODEC_LABEL), QStringLiteral("Codec: 192 kBit/s with LAME Encoder"));
    EXPECT_EQ(server->Count(NET_FAILED) + server->Count(NET_CANCEL), 0);
    EXPECT_EQ(Outputs(), QStringList{QFileInfo(part).fileName()});

    // The server cancels a paused job: resumed first, so the worker sees it.
    StartJob(Job());
    ASSERT_TRUE(server->Send(NET_PAUSE));
    ASSERT_TRUE(PumpUntil([&] { return fake.pauses == 3; }));
    fake.finishOnCancel = true;
    ASSERT_TRUE(server->Send(NET_CANCEL));
    ASSERT_TRUE(server->WaitFor(NET_CANCEL));
    EXPECT_EQ(std::pair(fake.resumes, controller->Batch().serverJobState), std::pair(3, int(Idle)));
    EXPECT_EQ(server->Count(NET_DONE) + server->Count(NET_FAILED), 1) << "only the first is done";

    // A failed job is reported as failed and leaves no partial file behind.
    QFile::remove(part);
    StartJob(Job());
    fake.finishOnCancel = false;
    fake.Finish(false);
    ASSERT_TRUE(server->WaitFor(NET_FAILED));
    EXPECT_EQ(Outputs(), QStringList());
}

TEST_F(ClientRole, ErrorsGoToTheServerWhileLoggedInAndToTheLogOtherwise) {
    LogIn();
    ASSERT_TRUE(AddError(QStringLiteral("Error encoding a.wav")));
    ASSERT_TRUE(server->WaitFor(NET_ERROR));
    EXPECT_EQ(server->LastError(), QStringLiteral("Error encoding a.wav"));
    EXPECT_EQ(ErrorLog(), QString());

    // A job that cannot be started here is reported, so the server is not
    // left waiting for it.
    EncodeJob job = Job();
    job.manufacturerId = 4242;
    ASSERT_TRUE(server->Send(NET_ENCODE, WriteEncodeJob(job)));
    ASSERT_TRUE(server->WaitFor(NET_ERROR, 2));
    EXPECT_TRUE(server->LastError().startsWith("Failed to encode file"))
        << qPrintable(server->LastError());
    job = Job("unmapped");
    job.source = "\\\\ELSEWHERE\\MUSIC\\in\\a.wav";
    ASSERT_TRUE(server->Send(NET_ENCODE, WriteEncodeJob(job)));
    ASSERT_TRUE(server->WaitFor(NET_ERROR, 3));
    EXPECT_TRUE(fake.starts.empty());

    // The server tells why it ends the connection (a refused name), as the real
    // one does, during a job: the why is kept here, not sent back, and the job
    // stops. Then relaying ends, the log gets the next record.
    MakeWav(QStringLiteral("a.wav"));
    StartJob(Job());
    fake.finishOnCancel = true;
    QStringList notices;
    controller->Client()->notice = [&](const QString& text) { notices << text; };
    const QString why = "Another machine named Client is logged in to the server Srv.";
    ASSERT_TRUE(server->Send(NET_ERROR, WriteErrorText(why)));
    server->sockets->sockfinishsend(server->peer);
    ASSERT_TRUE(PumpUntil([&] { return controller->Client()->ServerSlot() == -1; }));
    ASSERT_TRUE(PumpUntil([&] { return controller->Batch().serverJobState == Idle; }));
    EXPECT_TRUE(fake.cancelled);
    EXPECT_EQ(server->Count(NET_DONE) + server->Count(NET_CANCEL), 0);
    const QString said = QStringLiteral("The server %1 says: %2").arg(SERVER_ADDRESS, why);
    EXPECT_EQ(notices, QStringList{said});
    EXPECT_TRUE(ErrorLog().contains(said)) << qPrintable(ErrorLog());
    EXPECT_EQ(server->Count(NET_ERROR), 3) << "not sent back";
    EXPECT_EQ(view.Label(ID_MACHINES_LABEL), QStringLiteral("Not logged into server"));
    ASSERT_TRUE(AddError(QStringLiteral("after the server left")));
    EXPECT_TRUE(ErrorLog().contains("after the server left"));
    // The next tick connects and logs in again.
    controller->Client()->ClientTick();
    ASSERT_TRUE(server->WaitFor(NET_HEARTBEAT, 2));
    EXPECT_EQ(server->accepts, 2);
}

TEST_F(ClientRole, ATickDuringAPendingConnectOpensNoSecondConnection) {
    server.reset(); // nobody listens: the connect waits for its limit
    controller->Sockets()->SetWaitLimits(600, 600, 600);
    int slotsDuringWait = -1;
    bool nestedSawPending = false;
    bool nestedDidSomething = true;
    // The tick comes from inside the connect's wait, once the connect is underway.
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (!controller->Client()->IsConnecting()) {
            return;
        }
        tick.stop();
        nestedSawPending = true;
        const qsizetype labelsBefore = view.labelLog.size();
        controller->Client()->ClientTick();
        slotsDuringWait = controller->Sockets()->SlotsInUse();
        nestedDidSomething = view.labelLog.size() != labelsBefore;
    });
    tick.start(1);
    controller->ClientStart();
    EXPECT_TRUE(nestedSawPending);
    EXPECT_FALSE(nestedDidSomething);
    EXPECT_EQ(slotsDuringWait, 1);
    EXPECT_EQ(controller->Client()->ServerSlot(), -1);
    EXPECT_EQ(controller->Sockets()->SlotsInUse(), 0);
    EXPECT_EQ(view.Label(ID_MACHINES_LABEL), QStringLiteral("Not logged into server"));
}

// A client with two workers: lane 0 as above and a second lane of its own.
class ClientLanes : public ClientRole {
protected:
    ClientLanes() { moreWorkers = {&second}; }
    void SetUp() override {
        ClientRole::SetUp();
        controller->ClientStart();
        ASSERT_TRUE(server->WaitFor(NET_HEARTBEAT, 2));
        const QString own = controller->Batch().ownName;
        first = server->SlotOf(own);
        lane = server->SlotOf(LaneName(own, 1));
        ASSERT_GE(first, 0);
        ASSERT_GE(lane, 0) << "no login as " << LaneName(own, 1).toStdString();
    }

    // a.wav on lane 0, then b.wav waiting to go to the second lane.
    void StartFirst() {
        MakeWav(QStringLiteral("a.wav"));
        MakeWav(QStringLiteral("b.wav"));
        StartOn(first, fake, Job("a"));
    }
    // Reports `text` from a worker's own thread, as a failing encode does.
    static void AddErrorOn(int route, const char* text) {
        std::thread([route, text] {
            const ErrorRouteScope scope(route);
            AddError(QString::fromLatin1(text));
        }).join();
    }
    // b.wav on the second lane, with part of its output written.
    void StartPartialLaneJob() {
        MakeWav(QStringLiteral("b.wav"));
        StartOn(lane, second, Job("b"));
        second.WritePartialOutput();
        ASSERT_TRUE(QFile::exists(LanePart()));
    }
    // The second lane's own partial output of b.wav.
    QString LanePart() const {
        return WriterPartPath(outputDir + "/b.MP3", LaneName(controller->Batch().ownName, 1));
    }

    FakeEncoder second;
    int first = -1;
    int lane = -1;
};

TEST(LaneName, StaysWithinAMachineNameAndIsTheLanesNumberAfterAHash) {
    EXPECT_EQ(LaneName(QStringLiteral("Nodeone"), 1), QStringLiteral("Nodeone#2"));
    EXPECT_EQ(LaneName(QStringLiteral("Averyverylongpc"), 11), QStringLiteral("Averyverylon#12"));
    EXPECT_LE(LaneName(QString(15, u'x'), 63).size(), 15);
}

TEST_F(ClientLanes, EachLaneRunsItsOwnJobAndAnswersOnItsOwnConnection) {
    StartFirst();
    // Lane 0's job does not keep the other lane from taking one.
    EXPECT_EQ(server->Ask(Job("b"), lane), int(CANENCODE_OK));
    StartOn(lane, second, Job("b"));
    EXPECT_EQ(second.starts.back().output, LanePart());
    EXPECT_NE(LanePart(), fake.starts.back().output);
    EXPECT_EQ(std::tuple(controller->Batch().LaneJobs(), view.Enabled(ID_ENCODE)),
              std::tuple(1, false));

    // The server pauses the lane's file: only its worker is held.
    // Cancelled while paused, it is resumed first so that it sees the cancel.
    second.WritePartialOutput();
    ASSERT_TRUE(server->Send(NET_PAUSE, {}, lane));
    ASSERT_TRUE(PumpUntil([&] { return second.pauses == 1; }));
    EXPECT_EQ(fake.pauses, 0);
    second.finishOnCancel = true;
    ASSERT_TRUE(server->Send(NET_CANCEL, {}, lane));
    ASSERT_TRUE(server->WaitFor(NET_CANCEL, 1, lane));
    EXPECT_EQ(second.resumes, 1);
    EXPECT_FALSE(QFile::exists(LanePart()));

    StartOn(lane, second, Job("b"));
    clock.now += 500;
    second.Progress(50, Job().size / 2);
    ASSERT_TRUE(server->WaitFor(NET_PROGRESS, 1, lane));
    EXPECT_EQ(server->Count(NET_PROGRESS, first), 0);

    second.Finish(true);
    ASSERT_TRUE(server->WaitFor(NET_DONE, 1, lane));
    EXPECT_EQ(Outputs(), QStringList{QFileInfo(LanePart()).fileName()}) << "left for the server";
    EXPECT_EQ(controller->Batch().LaneJobs(), 0);
    // Losing the lane's connection stops its job, and only that one.
    StartPartialLaneJob();
    server->sockets->sockclose(lane);
    ASSERT_TRUE(PumpUntil([&] { return controller->Batch().LaneJobs() == 0; }));
    EXPECT_EQ(Outputs(), QStringList());
    EXPECT_EQ(controller->Batch().serverJobState, int(Encoding)) << "lane 0's job runs on";

    fake.Finish(true);
    ASSERT_TRUE(server->WaitFor(NET_DONE, 1, first));
    EXPECT_EQ(std::pair(controller->Batch().IsBusy(), view.Enabled(ID_ENCODE)),
              std::pair(false, true));
}

TEST_F(ClientLanes, ALanesErrorsTravelOnItsOwnConnection) {
    StartFirst();
    // A start that fails at once, while lane 0 is busy with its own file.
    second.refuseStart = true;
    ASSERT_TRUE(server->Send(NET_ENCODE, WriteEncodeJob(Job("b")), lane));
    ASSERT_TRUE(server->WaitFor(NET_ERROR, 1, lane));
    EXPECT_TRUE(server->LastError().startsWith("Failed to encode file"))
        << qPrintable(server->LastError());

    // What the lane's worker reports from its own thread goes the same way.
    second.refuseStart = false;
    StartOn(lane, second, Job("b"));
    AddErrorOn(second.starts.back().errorRoute, "Error - Invalid Wav file (b.wav).");
    ASSERT_TRUE(server->WaitFor(NET_ERROR, 2, lane));
    EXPECT_EQ(server->Count(NET_ERROR, first), 0);
    // Lane 0's errors stay on lane 0's connection.
    AddErrorOn(fake.starts.back().errorRoute, "Error - Couldn't read from source file (a.wav).");
    ASSERT_TRUE(server->WaitFor(NET_ERROR, 1, first));
    EXPECT_EQ(server->Count(NET_ERROR, lane), 2);
}

TEST_F(ClientLanes, TheWindowsPauseCancelAndQuitActOnEveryJob) {
    MakeWav(QStringLiteral("a.wav"));
    MakeWav(QStringLiteral("b.wav"));
    StartOn(lane, second, Job("b"));
    // A lane's job alone enables the buttons.
    EXPECT_EQ(std::pair(view.Enabled(ID_PAUSE), view.Enabled(ID_CANCEL)), std::pair(true, true));
    StartOn(first, fake, Job("a"));

    controller->OnPause();
    EXPECT_EQ(std::tuple(fake.pauses, second.pauses, view.pauseShowsResume),
              std::tuple(1, 1, true));
    ASSERT_TRUE(server->WaitFor(NET_PAUSE, 1, first) && server->WaitFor(NET_PAUSE, 1, lane));
    controller->OnPause();
    EXPECT_EQ(std::pair(fake.resumes, second.resumes), std::pair(1, 1));
    ASSERT_TRUE(server->WaitFor(NET_RESUME, 1, lane));

    // The server holds the lane alone; the window's Pause then holds the rest
    // and leaves the held one as it is.
    ASSERT_TRUE(server->Send(NET_PAUSE, {}, lane));
    ASSERT_TRUE(PumpUntil([&] { return second.pauses == 2; }));
    controller->OnPause();
    EXPECT_EQ(std::pair(fake.pauses, second.pauses), std::pair(2, 2));

    fake.finishOnCancel = true;
    second.finishOnCancel = true;
    controller->OnCancel();
    ASSERT_TRUE(server->WaitFor(NET_CANCEL, 1, first) && server->WaitFor(NET_CANCEL, 1, lane));
    EXPECT_EQ(std::pair(controller->Batch().IsBusy(), view.Enabled(ID_PAUSE)),
              std::pair(false, false));

    // Quit with both paused: each worker is woken to see the cancel. The
    // connections are then reset, so the server learns of the end through the
    // drop; no job is reported as done or failed.
    StartOn(first, fake, Job("a"));
    StartPartialLaneJob();
    const int paused = server->Count(NET_PAUSE);
    controller->OnPause();
    ASSERT_TRUE(server->WaitFor(NET_PAUSE, paused + 2));
    fake.resumes = second.resumes = 0;
    bool quit = false;
    QObject::connect(controller.get(), &MainController::QuitRequested, [&quit] { quit = true; });
    controller->Quit();
    EXPECT_EQ(std::pair(quit, controller->Batch().quitPending), std::pair(true, false));
    for (FakeEncoder* worker : {&fake, &second}) {
        EXPECT_GE(worker->resumes, 1); // a second resume is harmless
        EXPECT_TRUE(worker->cancelled);
        EXPECT_FALSE(worker->running);
    }
    EXPECT_EQ(std::pair(controller->Batch().serverJobState, controller->Batch().LaneJobs()),
              std::pair(int(Idle), 0));
    EXPECT_EQ(Outputs(), QStringList());
    ASSERT_TRUE(PumpUntil([&] { return server->peer == -1; }));
    EXPECT_EQ(server->Count(NET_DONE) + server->Count(NET_FAILED), 0);
}

} // namespace clienttest
