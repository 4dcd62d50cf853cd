// What keeps a hostile or broken peer cheap: caps on connections, a pause
// instead of a busy loop when descriptors run out, the whole-message idle
// rule, and the deadline and byte budget before a login.

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "TestClient.h"
#include "server/core/ClientSession.h"
#include "server/core/Listener.h"
#include "support/qt/LocalNetworkFixture.h"

namespace servertest {
namespace {

using namespace std::chrono_literals;
using localnet::ServerKind;
using net::Primary;
using net::Secondary;
using testsupport::SpinUntil;

QByteArray Bytes(const std::unique_ptr<net::MessageBuffer>& m) {
    return QByteArray(reinterpret_cast<const char*>(m->data), m->remaining);
}

QByteArray KeepAlive() {
    net::MessageWriter w(net::control::kKeepAlive);
    return Bytes(w.Finish(Primary::Control));
}

// A message of about `size` bytes of a family the server does not serve.
QByteArray Filler(int size) {
    net::MessageWriter w(1);
    const std::string pad(static_cast<size_t>(size - 48), 'x');
    w.Str(pad);
    return Bytes(w.Finish(static_cast<Primary>(7)));
}

void Pause(std::chrono::milliseconds time) {
    SpinUntil([] { return false; }, time);
}

class ConnectionLimitsTest : public ::testing::Test {
  protected:
    size_t SessionCount() { return server.Network().Sessions().size(); }

    testsupport::LocalNetworkFixture server;
};

TEST_F(ConnectionLimitsTest, ConnectionsPastTheCapsAreClosedAtOnce) {
    server.Options().maxConnections = 3;
    server.Options().maxPerAddress = 2;
    ASSERT_TRUE(server.Start());
    const QHostAddress other("127.0.0.2");

    auto a = std::make_unique<TestClient>();
    TestClient b;
    ASSERT_TRUE(a->Connect(server.NetworkPort()));
    ASSERT_TRUE(b.Connect(server.FilePort()));
    ASSERT_TRUE(SpinUntil([&] { return SessionCount() == 2; }));
    {
        SCOPED_TRACE("a third from the same address");
        TestClient c;
        ASSERT_TRUE(c.Connect(server.NetworkPort()));
        EXPECT_TRUE(c.WaitClosed(2s));
    }
    TestClient d;
    ASSERT_TRUE(d.Connect(server.DirectoryPort(), other));
    ASSERT_TRUE(SpinUntil([&] { return SessionCount() == 3; }));
    {
        SCOPED_TRACE("a fourth in all, from a fresh address");
        TestClient e;
        ASSERT_TRUE(e.Connect(server.NetworkPort(), QHostAddress("127.0.0.3")));
        EXPECT_TRUE(e.WaitClosed(2s));
    }
    EXPECT_EQ(server.Network().RefusedConnections(), 2u);
    EXPECT_EQ(SessionCount(), 3u);

    // A connection that ends makes room again, and the ones let in work.
    a.reset();
    ASSERT_TRUE(SpinUntil([&] { return SessionCount() == 2; }));
    TestClient f;
    EXPECT_TRUE(f.Login(server.NetworkPort(), "1234567", "alice", "alicepass"));
    EXPECT_TRUE(b.Connected());
    EXPECT_TRUE(d.Connected());
}

TEST_F(ConnectionLimitsTest, EveryConnectionSendsWithoutDelay) {
    ASSERT_TRUE(server.Start());
    TestClient clients[3];
    const quint16 ports[3] = {server.DirectoryPort(), server.NetworkPort(), server.FilePort()};
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(clients[i].Connect(ports[i]));
    ASSERT_TRUE(SpinUntil([&] { return SessionCount() == 3; }));
    for (localnet::ClientSession* s : server.Network().Sessions()) {
        int on = 0;
        socklen_t length = sizeof on;
        ASSERT_EQ(getsockopt(static_cast<int>(s->SocketDescriptor()), IPPROTO_TCP, TCP_NODELAY, &on,
                             &length),
                  0);
        EXPECT_NE(on, 0) << localnet::ServerName(s->Kind());
    }
}

}  // namespace
}  // namespace servertest

// Running this process out of descriptors for real cannot be tested under the
// sanitizers: their type check of a virtual call opens a pipe whenever its small
// cache misses, and fails the run when no descriptor is left for it. So this
// binary stands in for accept4: while `acceptFails` holds an errno, every accept
// fails with it and leaves the connection waiting in the backlog, as the kernel
// does when the process is out of descriptors.
namespace {
std::atomic<int> acceptFails{0};
}

extern "C" int accept4(int fd, sockaddr* address, socklen_t* length, int flags) {
    using Accept = int (*)(int, sockaddr*, socklen_t*, int);
    static const auto next = reinterpret_cast<Accept>(dlsym(RTLD_NEXT, "accept4"));
    if (const int error = acceptFails.load()) {
        errno = error;
        return -1;
    }
    return next(fd, address, length, flags);
}

namespace servertest {
namespace {

// Sets the error every accept fails with, for one scope.
class FailingAccepts {
  public:
    explicit FailingAccepts(int error) { acceptFails = error; }
    ~FailingAccepts() { acceptFails = 0; }
    FailingAccepts(const FailingAccepts&) = delete;
    FailingAccepts& operator=(const FailingAccepts&) = delete;
};

TEST_F(ConnectionLimitsTest, RunningOutOfDescriptorsPausesAcceptingUntilOneIsFree) {
    server.Options().acceptBackoff = 50ms;
    server.Options().idleTimeout = 60s;
    ASSERT_TRUE(server.Start());
    const quint16 port = server.NetworkPort();
    const localnet::Listener& listener = *server.Network().ListenerOf(ServerKind::Network);

    std::vector<std::unique_ptr<TestClient>> clients;
    for (const int error : {EMFILE, ENFILE, ENOBUFS, ENOMEM}) {
        SCOPED_TRACE(strerror(error));
        clients.push_back(std::make_unique<TestClient>());
        ASSERT_TRUE(clients.back()->Connect(port));
        ASSERT_TRUE(SpinUntil([&] { return SessionCount() == clients.size(); }));
        const quint64 pauses = listener.Pauses();
        {
            FailingAccepts failing(error);
            // The kernel completes the handshake; the server cannot take it.
            clients.push_back(std::make_unique<TestClient>());
            ASSERT_TRUE(clients.back()->Connect(port));
            ASSERT_TRUE(SpinUntil([&] { return listener.Paused(); }, 5s));
            EXPECT_EQ(listener.Pauses(), pauses + 1);
            EXPECT_EQ(listener.ErrorText().toStdString(), strerror(error));

            // Waiting costs a retry per back-off (50 ms), not a busy loop,
            // and takes no connection.
            const quint64 attempts = listener.AcceptAttempts();
            Pause(500ms);
            const quint64 retries = listener.AcceptAttempts() - attempts;
            EXPECT_GE(retries, 1u);
            EXPECT_LT(retries, 40u);
            EXPECT_EQ(SessionCount(), clients.size() - 1);
        }
        // Accepts work again: the client that waited in the backlog gets its
        // session at the next retry, and a login succeeds.
        ASSERT_TRUE(SpinUntil(
            [&] { return !listener.Paused() && SessionCount() == clients.size(); }, 5s))
            << "sessions " << SessionCount() << " for " << clients.size() << " clients";
        TestClient late;
        EXPECT_TRUE(late.Login(port, "1234567", "alice", "alicepass"));
    }
}

TEST_F(ConnectionLimitsTest, OnlyWholeMessagesKeepAConnectionAlive) {
    server.Options().idleTimeout = 300ms;
    ASSERT_TRUE(server.Start());
    const QByteArray keepAlive = KeepAlive();
    {
        SCOPED_TRACE("one byte at a time, slower than a message per idle period");
        TestClient drip;
        ASSERT_TRUE(drip.Login(server.NetworkPort(), "1234567", "alice", "alicepass"));
        int sent = 0;
        SpinUntil([&] {
            drip.SendRaw(keepAlive.mid(sent++ % keepAlive.size(), 1));
            Pause(40ms);
            return !drip.Connected();
        });
        EXPECT_FALSE(drip.Connected());
        EXPECT_LT(sent, keepAlive.size()) << "dropped only after a whole message";
    }
    {
        SCOPED_TRACE("half a message, then nothing");
        TestClient half;
        ASSERT_TRUE(half.Login(server.NetworkPort(), "1234567", "bob", "bobpass"));
        half.SendRaw(keepAlive.left(20));
        EXPECT_TRUE(half.WaitClosed(3s));
    }
    {
        SCOPED_TRACE("whole messages, well inside the period");
        TestClient steady;
        ASSERT_TRUE(steady.Login(server.FilePort(), "1234567", "carol", "carolpass"));
        for (int i = 0; i < 12; ++i) {
            steady.SendRaw(keepAlive);
            Pause(50ms);
        }
        EXPECT_TRUE(steady.Connected());
    }
}

TEST_F(ConnectionLimitsTest, ALoginIsDueBeforeADeadlineAndAByteBudget) {
    server.Options().loginDeadline = 300ms;
    server.Options().preLoginByteBudget = 2500;
    ASSERT_TRUE(server.Start());
    const QByteArray keepAlive = KeepAlive();
    {
        SCOPED_TRACE("keep-alives without a login");
        TestClient lingering;
        ASSERT_TRUE(lingering.Connect(server.NetworkPort()));
        int sent = 0;
        SpinUntil([&] {
            lingering.SendRaw(keepAlive);
            ++sent;
            Pause(30ms);
            return !lingering.Connected();
        });
        EXPECT_FALSE(lingering.Connected());
        EXPECT_LT(sent * keepAlive.size(), 2500) << "the deadline, not the budget, ended it";
    }
    {
        SCOPED_TRACE("after a login, neither applies");
        TestClient member;
        ASSERT_TRUE(member.Login(server.NetworkPort(), "1234567", "alice", "alicepass"));
        for (int i = 0; i < 8; ++i) {
            member.SendRaw(Filler(1000));
            Pause(50ms);
        }
        EXPECT_TRUE(member.Connected());
    }
    // With time to spare, the budget alone cuts a flood short.
    server.Stop();
    server.Options().loginDeadline = 60s;
    ASSERT_TRUE(server.Start());
    {
        SCOPED_TRACE("a flood without a login");
        TestClient flood;
        ASSERT_TRUE(flood.Connect(server.FilePort()));
        for (int i = 0; i < 3; ++i) flood.SendRaw(Filler(1000));
        EXPECT_TRUE(flood.WaitClosed(5s));
        TestClient modest;
        ASSERT_TRUE(modest.Connect(server.FilePort()));
        for (int i = 0; i < 2; ++i) modest.SendRaw(Filler(1000));
        EXPECT_FALSE(modest.WaitClosed(200ms)) << "within the budget";
        ASSERT_TRUE(modest.SendLogin("1234567", "bob", "bobpass"));
        auto reply = modest.Receive();
        ASSERT_TRUE(reply);
        EXPECT_TRUE(reply->Is(Primary::Login, Secondary::Response, net::login::kLoginOK));
    }
}

}  // namespace
}  // namespace servertest
