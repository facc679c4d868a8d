#include "server_fixture.h"

#include "net/frame_cutter.h"
#include "net/net_records.h"
#include "net/protocol.h"
#include "net_test_support.h"

#include <atomic>
#include <gtest/gtest.h>
#include <random>
#include <thread>

#include <unistd.h>

namespace {

// After whatever a peer did, the server must still hand a real client a file,
// hold a bounded number of bytes per connection and leave the files alone.
class HostilePeer : public nettest::ServerTest {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        ASSERT_NE(AddWav(QStringLiteral("real.wav")), nullptr);
        app->SaveThroughput("Real", 9.0);
        before = Files();
    }

    void ExpectStillServes() {
        nettest::FakeClient& real = Client("REAL", "127.0.0.2");
        scheduler->OnEncode();
        ASSERT_TRUE(Pump([&] { return real.jobs.size() == 1; }));
        EXPECT_TRUE(real.jobs[0].source.endsWith("real.wav"));
        EXPECT_EQ(model.EntryAt(0)->machine.str(), QStringLiteral("Real"));
        EXPECT_EQ(Files(), before);
        EXPECT_LE(maxHeld, MAX_UNFRAMED_BYTES);
    }

    // Pumps while watching how much any connection holds unframed.
    bool PumpWatching(const std::function<bool()>& done, int limitMs = 5000) {
        return Pump(
            [&] {
                for (int slot = 0; slot < SOCKET_SLOTS; ++slot) {
                    maxHeld = std::max(maxHeld, sockets->HeldBytes(slot));
                }
                return done();
            },
            limitMs);
    }

    QStringList before;
    int maxHeld = 0;
};

QByteArray Frame(std::uint32_t type, const QByteArray& payload) {
    return BuildFrame(type, payload.constData(), int(payload.size()));
}

TEST_F(HostilePeer, JunkAndMalformedFramesOfEveryType) {
    // Logged in, so its frames reach the handlers, not only the frame checks.
    nettest::FakeClient& evil = Client("EVIL", "127.0.0.5");
    nettest::FakeClient anonymous("anon", "127.0.0.6");
    ASSERT_TRUE(anonymous.Connect(port, false));

    std::mt19937 random(7);
    QByteArray junk(20000, '\0');
    for (char& c : junk) {
        c = char(random() & 0xFF);
    }
    const int sizes[] = {0, 1, 3, 4, 5, 15, 16, 17, 539, 541, 2049, 3127, 3129};
    QByteArray frames;
    for (std::uint32_t type = 0; type <= 12; ++type) {
        for (const int size : sizes) {
            frames += Frame(type, QByteArray(size, 'A')); // no NUL anywhere
        }
        frames += Frame(type, QByteArray(16, '\0'));
    }
    frames += Frame(0xFFFFFFFFu, "x");
    frames += Frame(NET_HEARTBEAT, QByteArray("../..\\x", 7));
    frames += Frame(NET_CANENCODE_REPLY, QByteArray("\0\0\0\0", 4)); // nobody asked
    for (nettest::FakeClient* peer : {&evil, &anonymous}) {
        peer->SendRaw(frames);
    }
    PumpWatching([] { return false; }, 300);
    // The first name-sized payload logs the anonymous peer in; nothing renames either.
    EXPECT_EQ(server->Machines().CountMachines(), 2);
    EXPECT_GE(SlotOf("Evil"), 0);
    EXPECT_GE(SlotOf("A"), 0);
    EXPECT_EQ(model.EntryAt(0)->status, NotDone);
    // Bytes that never form a frame cost the connection, not the server.
    for (nettest::FakeClient* peer : {&evil, &anonymous}) {
        peer->SendRaw(junk);
        peer->SendRaw(junk.left(3000) + frames);
    }
    EXPECT_TRUE(PumpWatching([&] { return sockets->SlotsInUse() == 1; }, 3000));
    evil.Abort();
    anonymous.Abort();
    ASSERT_TRUE(Pump([&] { return server->Machines().CountMachines() == 0; }));
    ExpectStillServes();
}

// A start marker and then megabytes, and a peer reset in the middle of a
// frame: each costs only its own connection. A peer that never logs in is
// dropped in the end, so silent ones cannot take every slot.
TEST_F(HostilePeer, FloodsResetsAndSilenceCloseOnlyTheirConnection) {
    server->SetWaitLimits(1000, 3000);
    ASSERT_TRUE(server->ServerStart(port)); // restarts the log-in watch
    nettest::FakeClient silent("silent", "127.0.0.4");
    ASSERT_TRUE(silent.Connect(port, false));
    const int half = nettest::RawConnect(port, "127.0.0.6");
    ASSERT_GE(half, 0);
    nettest::RawSend(half,
                     Frame(NET_HEARTBEAT, WriteMachineName("half")) +
                         Frame(NET_PROGRESS, QByteArray(PROGRESS_RECORD_SIZE, '\0')).left(1500));
    ASSERT_TRUE(PumpWatching(
        [&] { return SlotOf("Half") >= 0 && sockets->HeldBytes(SlotOf("Half")) == 1500; }));
    nettest::RawReset(half);
    ASSERT_TRUE(Pump([&] { return SlotOf("Half") < 0; }));

    const int peer = nettest::RawConnect(port, "127.0.0.5");
    ASSERT_GE(peer, 0);
    std::atomic<bool> sent{false};
    std::thread flood([&] {
        QByteArray endless(FRAME_START, 3);
        endless += QByteArray(4 * 1024 * 1024, 'z');
        nettest::RawSend(peer, endless); // ends when the server closes
        sent = true;
    });
    const bool ended = PumpWatching([&] { return sent.load(); }, 10000);
    flood.join();
    ::close(peer);
    ASSERT_TRUE(ended);
    ASSERT_TRUE(PumpWatching([&] { return !silent.Connected(); }, 30000));
    ExpectStillServes();
}

} // namespace
