#include "app/trace.h"
#include "net/net_records.h"
#include "net/net_sink.h"
#include "net/protocol.h"
#include "net/socket_errors.h"
#include "net/socket_layer.h"
#include "net_test_support.h"

#include <QTimer>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace nettest;

namespace {

// A server layer on 127.0.0.1 and a client layer on 127.0.0.2, as two
// machines would be.
class SocketLayer : public testing::Test {
protected:
    void SetUp() override {
        port = FreePort();
        ASSERT_TRUE(server.SetBindAddress("127.0.0.1"));
        ASSERT_TRUE(client.SetBindAddress("127.0.0.2"));
        ASSERT_TRUE(server.Initialised());
    }

    std::uint16_t port = 0;
    RecordingSink serverSink;
    RecordingSink clientSink;
    CSocketWnd server{serverSink};
    CSocketWnd client{clientSink};
};

} // namespace

TEST_F(SocketLayer, ListenAcceptSendAndClose) {
    const int listenSlot = server.socksetlisten(port);
    ASSERT_GE(listenSlot, 0);
    const int slot = client.sockconnect("127.0.0.1", port);
    ASSERT_GE(slot, 0);
    EXPECT_EQ(client.SlotPort(slot), port); // bound to the port it connects to
    ASSERT_TRUE(PumpUntil([&] { return serverSink.accepted.size() == 1; }));
    const int accepted = serverSink.accepted[0];
    EXPECT_NE(accepted, listenSlot);
    EXPECT_EQ(server.SlotPort(accepted), port);

    const QByteArray name = WriteMachineName("Bigpc");
    ASSERT_TRUE(netsend(&client, slot, name.constData(), int(name.size()), NET_HEARTBEAT));
    // More than the socket buffers hold: the send has to wait for the reader.
    const QByteArray big = BuildFrame(NET_PAUSE, nullptr, 0).repeated(40000);
    ASSERT_TRUE(client.sockwaitsend(slot, big.constData(), int(big.size())));
    ASSERT_TRUE(PumpUntil([&] { return serverSink.frames.size() == 40001; }));
    EXPECT_EQ(serverSink.frames[0], BuildFrame(NET_HEARTBEAT, name.constData(), int(name.size())));
    EXPECT_EQ(serverSink.frameSlots[0], accepted);

    EXPECT_FALSE(client.sockwaitsend(slot, "x", 0)); // zero bytes: nothing sent
    EXPECT_FALSE(netsend(&client, -1, nullptr, 0, NET_DONE));
    EXPECT_TRUE(clientSink.closed.empty());

    server.sockclose(accepted);
    EXPECT_EQ(serverSink.closed, std::vector<int>{accepted});
    ASSERT_TRUE(PumpUntil([&] { return !clientSink.closed.empty(); }));
    EXPECT_FALSE(client.SlotInUse(slot));
    EXPECT_FALSE(netsend(&client, slot, nullptr, 0, NET_DONE));
}

TEST_F(SocketLayer, SixtyFifthConnectionIsAcceptedAndClosed) {
    ASSERT_GE(server.socksetlisten(port), 0);
    std::vector<int> peers;
    for (int i = 0; i < SOCKET_SLOTS - 1; ++i) {
        const int peer = RawConnect(port);
        ASSERT_GE(peer, 0) << i;
        peers.push_back(peer);
        ASSERT_TRUE(PumpUntil([&] { return int(serverSink.accepted.size()) == i + 1; })) << i;
    }
    EXPECT_EQ(server.SlotsInUse(), SOCKET_SLOTS);
    const int extra = RawConnect(port);
    ASSERT_GE(extra, 0);
    char byte = 0;
    EXPECT_TRUE(PumpUntil([&] { // closed at once by the server
        const ssize_t n = ::recv(extra, &byte, 1, MSG_DONTWAIT);
        return n == 0 || (n < 0 && errno != EAGAIN);
    }));
    ::close(extra);
    EXPECT_EQ(int(serverSink.accepted.size()), SOCKET_SLOTS - 1);
    EXPECT_EQ(server.sockconnect("127.0.0.1", port), -1); // no slot left

    // Freed slots are taken again, lowest first.
    RawReset(peers[4]);
    ASSERT_TRUE(PumpUntil([&] { return serverSink.closed.size() == 1; }));
    const int freed = serverSink.closed[0];
    const int again = RawConnect(port);
    ASSERT_TRUE(PumpUntil([&] { return int(serverSink.accepted.size()) == SOCKET_SLOTS; }));
    EXPECT_EQ(serverSink.accepted.back(), freed);
    ::close(again);
    for (const int peer : peers) {
        ::close(peer);
    }
}

TEST_F(SocketLayer, RefusedConnectEndsAtTheLimit) {
    client.SetWaitLimits(300, 1000, 1000);
    EXPECT_EQ(client.sockconnect("127.0.0.1", port), -1);
    EXPECT_EQ(client.SlotsInUse(), 0);
    EXPECT_EQ(clientSink.closed.size(), 1u); // the connect's own slot
}

TEST_F(SocketLayer, AbortConnectEndsTheWaitAtOnce) {
    // A listener whose queue is full drops further handshakes: connects hang.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    std::vector<int> fillers;
    for (int i = 0; i < 3; ++i) {
        const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
        fillers.push_back(s);
    }
    // With a limit past the test's own timeout, only the abort can end the wait.
    client.SetWaitLimits(24 * 3600 * 1000, LOOKUP_WAIT_MS, SEND_STALL_MS);
    QTimer::singleShot(200, &client, [&] { client.SetAbortConnect(true); });
    EXPECT_EQ(client.sockconnect("127.0.0.1", port), -1);
    EXPECT_EQ(client.SlotsInUse(), 0);
    for (const int s : fillers) {
        ::close(s);
    }
    ::close(listener);
}

TEST(SocketLayerText, ErrorTableAndResolve) {
    EXPECT_STREQ(sockerrortext(10061), "Connection refused");
    EXPECT_STREQ(sockerrortext(10047), "TCP/IP is not installed on this machine.");
    EXPECT_STREQ(sockerrortext(11004), "No data record available");
    EXPECT_STREQ(sockerrortext(10000), "Unknown");
    EXPECT_EQ(SockErrorFromErrno(ECONNREFUSED), 10061);

    RecordingSink sink;
    CSocketWnd layer(sink);
    EXPECT_EQ(layer.sockresolve("127.0.0.3"), htonl(0x7F000003));
    // Starts with a digit: converted, never looked up, even when not an address.
    EXPECT_EQ(layer.sockresolve("1nvalid.example"), INADDR_NONE);
    EXPECT_EQ(layer.sockresolve(""), 0u);
    ASSERT_TRUE(layer.SetBindAddress("127.0.0.4"));
    EXPECT_EQ(layer.socklocaladdr(), QStringLiteral("127.0.0.4"));
    EXPECT_FALSE(layer.SetBindAddress("not an address"));
    layer.sockshutdown();
    EXPECT_FALSE(layer.Initialised());
    EXPECT_EQ(layer.socksetlisten(FreePort()), -1);
    EXPECT_TRUE(layer.socklocaladdr().isEmpty());
}
