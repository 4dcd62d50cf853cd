#include "net/Connection.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <thread>

#include "FakeServer.h"
#include "net/Protocol.h"
#include "support/Wait.h"

namespace {

using namespace net;
using nettest::FakeServer;
using nettest::Received;
using nettest::TestOwner;
using std::chrono::milliseconds;
using testsupport::WaitUntil;

Endpoints Local(uint16_t port) {
    Endpoints e;
    e.directoryHost = "127.0.0.1";
    e.directoryPort = port;
    e.networkPort = port;
    e.filePort = port;
    return e;
}

std::unique_ptr<MessageBuffer> Marker(int32_t value) {
    return MessageWriter(network::kInformation).Int(value).Finish(Primary::Network);
}

TEST(ConnectionTest, UnreachableDirectoryReportsConnectingOnceAndReturnsToIdle) {
    TestOwner owner;
    Connection lookup(kKindDirectory, owner, Local(nettest::ClosedPort()), Timings::Fast());
    EXPECT_EQ(lookup.LookupNumber(), "<?>");
    lookup.StartLookup("1234567");
    EXPECT_EQ(lookup.LookupNumber(), "1234567");

    ASSERT_TRUE(WaitUntil([&] { return !owner.Ends().empty() && lookup.State() == kStateIdle; }));
    lookup.Shutdown();
    ASSERT_EQ(owner.Ends().size(), 1u);
    EXPECT_EQ(owner.Ends()[0].state, kStateConnecting);
    EXPECT_FALSE(owner.Ends()[0].accountCreation);
    EXPECT_EQ(owner.FirstRequests(), 0);
}

TEST(ConnectionTest, LookupAnsweredThenClosedReportsTheAnsweredState) {
    FakeServer server;
    TestOwner owner;
    owner.onFirstRequest = [](Connection& c) {
        c.Enqueue(MessageWriter(host::kLookup).Str(c.LookupNumber()).Finish(Primary::Host));
    };
    owner.onDispatch = [](Connection& c, const bufHeader& h) {
        MessageReader reader(c.ReceiveBuffer(), h);
        if (h.nDescPrimary == +Primary::Host && reader.Code() == host::kLookupOK) {
            c.SetState(kStateLookupAnswered);
        }
    };
    Connection lookup(kKindDirectory, owner, Local(server.Port()), Timings::Fast());
    lookup.StartLookup("7654321");

    ASSERT_TRUE(server.Accept());
    Received request;
    ASSERT_TRUE(server.Read(request));
    EXPECT_EQ(lookup.State(), kStateConnected);
    EXPECT_EQ(request.header.nDescPrimary, +Primary::Host);
    EXPECT_EQ(request.header.nDescSecondary, +Secondary::Message);
    auto reader = request.Reader();
    std::string number;
    EXPECT_EQ(reader.Code(), host::kLookup);
    ASSERT_TRUE(reader.Str(1, 26, number));
    EXPECT_EQ(number, "7654321");

    MessageWriter ok(host::kLookupOK);
    ok.Str("2").Str("10.0.0.1");
    ASSERT_TRUE(server.Send(*nettest::Response(Primary::Host, ok)));
    ASSERT_TRUE(WaitUntil([&] { return lookup.State() == kStateLookupAnswered; }));
    server.CloseClient();

    ASSERT_TRUE(WaitUntil([&] { return !owner.Ends().empty() && lookup.State() == kStateIdle; }));
    EXPECT_EQ(owner.Ends()[0].state, kStateLookupAnswered);
    EXPECT_EQ(owner.Dispatched(), 1);
}

// The descriptor of this process's socket whose local port is `port`, or -1.
int OwnSocketOnPort(uint16_t port) {
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        const int fd = std::atoi(entry.path().filename().c_str());
        sockaddr_storage local{};
        socklen_t length = sizeof local;
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) continue;
        if (local.ss_family == AF_INET &&
            ntohs(reinterpret_cast<sockaddr_in*>(&local)->sin_port) == port)
            return fd;
    }
    return -1;
}

TEST(ConnectionTest, RequestsGoOutWithoutWaitingForAnAcknowledgement) {
    // Small requests after a bulk send must not wait for a delayed
    // acknowledgement: the client's socket has Nagle's rule off.
    FakeServer server;
    TestOwner owner;
    Connection lookup(kKindDirectory, owner, Local(server.Port()), Timings::Fast());
    lookup.StartLookup("7654321");
    ASSERT_TRUE(server.Accept());
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    ASSERT_EQ(::getpeername(server.ClientFd(), reinterpret_cast<sockaddr*>(&peer), &length), 0);
    const int fd = OwnSocketOnPort(ntohs(peer.sin_port));
    ASSERT_GE(fd, 0) << "the client's socket was not found";
    int on = 0;
    length = sizeof on;
    ASSERT_EQ(::getsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, &length), 0);
    EXPECT_NE(on, 0);
}

TEST(ConnectionTest, NewLookupSendsNothingLeftFromAnEarlierOne) {
    FakeServer server;
    TestOwner owner;
    owner.onFirstRequest = [](Connection& c) {
        c.Enqueue(MessageWriter(host::kLookup).Str(c.LookupNumber()).Finish(Primary::Host));
    };
    Connection lookup(kKindDirectory, owner, Local(server.Port()), Timings::Fast());
    // An earlier attempt's lookup that never went out, and one cut off after
    // its first bytes: neither may reach the directory server now.
    lookup.Enqueue(MessageWriter(host::kLookup).Str("1111111").Finish(Primary::Host));
    auto partial = MessageWriter(host::kLookup).Str("2222222").Finish(Primary::Host);
    partial->done = 10;
    partial->remaining -= 10;
    lookup.Enqueue(std::move(partial));

    lookup.StartLookup("7654321");
    ASSERT_TRUE(server.Accept());
    Received request;
    ASSERT_TRUE(server.Read(request));
    auto reader = request.Reader();
    std::string number;
    EXPECT_EQ(reader.Code(), host::kLookup);
    ASSERT_TRUE(reader.Str(1, 26, number));
    EXPECT_EQ(number, "7654321");
    EXPECT_TRUE(server.Silent(milliseconds(50)));
}

TEST(ConnectionTest, KeepAlivesOnlyWhileLoggedIn) {
    FakeServer server;
    TestOwner owner;
    Timings timings = Timings::Fast();
    timings.keepAliveInterval = milliseconds(15);
    Connection conn(kKindNetwork, owner, Local(server.Port()), timings);
    conn.StartServer("127.0.0.1");
    ASSERT_TRUE(server.Accept());
    Received first;
    ASSERT_TRUE(server.Read(first));
    EXPECT_EQ(first.header.nDescPrimary, +Primary::Login);

    // Connected but not logged in: many keep-alive periods pass in silence.
    EXPECT_EQ(conn.State(), kStateConnected);
    EXPECT_TRUE(server.Silent(milliseconds(150)));

    conn.SetState(kStateLoggedIn);
    for (int i = 0; i < 2; ++i) {
        Received keepAlive;
        ASSERT_TRUE(server.Read(keepAlive));
        EXPECT_EQ(keepAlive.header.nDescPrimary, +Primary::Control);
        EXPECT_EQ(keepAlive.header.nDescSecondary, +Secondary::Message);
        EXPECT_EQ(keepAlive.header.nMsgLength, 40);
        EXPECT_EQ(keepAlive.Code(), control::kKeepAlive);
    }
}

TEST(ConnectionTest, LargeMessageIsAssembledAndTheNextOneIsNotReadEarly) {
    FakeServer server;
    TestOwner owner;
    std::mutex mutex;
    std::vector<std::string> payloads;
    std::vector<bool> exact;
    owner.onDispatch = [&](Connection& c, const bufHeader& h) {
        MessageBuffer& rb = c.ReceiveBuffer();
        std::lock_guard lock(mutex);
        exact.push_back(rb.done == h.nMsgLength);
        payloads.emplace_back(reinterpret_cast<const char*>(rb.data + kHeaderSize),
                              static_cast<size_t>(h.nMsgLength - kHeaderSize));
    };
    Connection conn(kKindNetwork, owner, Local(server.Port()), Timings::Fast());
    conn.StartServer("127.0.0.1");
    ASSERT_TRUE(server.Accept());
    Received first;
    ASSERT_TRUE(server.Read(first));

    std::string big(20000, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + 3);
    MessageWriter a(network::kInformationResponse);
    a.Raw(big.data(), static_cast<int>(big.size()));
    MessageWriter b(network::kIgnoredResponse);
    const std::string bytesA = nettest::WireBytes(*nettest::Response(Primary::Network, a));
    const std::string bytesB = nettest::WireBytes(*nettest::Response(Primary::Network, b));
    // A header split inside the token, then the rest of the first message
    // together with the whole second one in one write.
    ASSERT_TRUE(server.SendRaw(bytesA.substr(0, 5)));
    ASSERT_TRUE(server.SendRaw(bytesA.substr(5, 30)));
    ASSERT_TRUE(server.SendRaw(bytesA.substr(35) + bytesB));

    ASSERT_TRUE(WaitUntil([&] { return owner.Dispatched() == 2; }));
    std::lock_guard lock(mutex);
    ASSERT_EQ(payloads.size(), 2u);
    EXPECT_EQ(exact, (std::vector<bool>{true, true}));
    EXPECT_EQ(payloads[0].size(), 4 + big.size());
    EXPECT_EQ(payloads[0].substr(4), big);
    EXPECT_EQ(payloads[1].size(), 4u);
}

TEST(ConnectionTest, BadStreamEndsTheConnection) {
    FakeServer server;
    TestOwner owner;
    Connection conn(kKindFile, owner, Local(server.Port()), Timings::Fast());
    conn.StartServer("127.0.0.1");
    ASSERT_TRUE(server.Accept());
    Received first;
    ASSERT_TRUE(server.Read(first));
    ASSERT_TRUE(server.SendRaw("X"));
    ASSERT_TRUE(WaitUntil([&] { return !owner.Ends().empty() && conn.State() == kStateIdle; }));
    EXPECT_EQ(owner.Ends()[0].state, kStateConnected);
    EXPECT_EQ(owner.Dispatched(), 0);
    EXPECT_TRUE(server.WaitClientClosed());
}

TEST(ConnectionTest, StartingAgainDiscardsQueuedMessages) {
    FakeServer server;
    TestOwner owner;
    Connection conn(kKindNetwork, owner, Local(server.Port()), Timings::Fast());
    conn.Enqueue(Marker(1));
    conn.Enqueue(Marker(2));
    EXPECT_EQ(conn.Queue().Size(), 2u);

    conn.StartServer("127.0.0.1");
    conn.Enqueue(Marker(3));  // queued after the start: it goes out
    ASSERT_TRUE(server.Accept());
    std::vector<int32_t> primaries, markers;
    for (int i = 0; i < 2; ++i) {
        Received r;
        ASSERT_TRUE(server.Read(r));
        primaries.push_back(r.header.nDescPrimary);
        auto reader = r.Reader();
        int32_t value = 0;
        if (r.header.nDescPrimary == +Primary::Network && reader.Int(-1, -1, value)) {
            markers.push_back(value);
        }
    }
    EXPECT_EQ(markers, std::vector<int32_t>{3});
    EXPECT_EQ(std::count(primaries.begin(), primaries.end(), +Primary::Login), 1);
    EXPECT_TRUE(server.Silent(milliseconds(50)));
}

// The network thread has no periodic wake-up: everything it must act on
// wakes it.
TEST(ConnectionTest, QueuedMessagesAndStopsWakeTheThread) {
    FakeServer server;
    TestOwner owner;
    Connection conn(kKindNetwork, owner, Local(server.Port()), Timings::Fast());
    conn.StartServer("127.0.0.1");
    ASSERT_TRUE(server.Accept());
    Received first, marker;
    ASSERT_TRUE(server.Read(first));

    conn.Enqueue(Marker(42));
    ASSERT_TRUE(server.Read(marker));
    EXPECT_EQ(marker.header.nDescPrimary, +Primary::Network);

    conn.RequestStop();
    ASSERT_TRUE(WaitUntil([&] { return !owner.Ends().empty(); }));
    EXPECT_EQ(owner.Ends()[0].state, kStateConnected);
    EXPECT_TRUE(WaitUntil([&] { return conn.State() == kStateIdle; }));
}

TEST(ConnectionTest, CancelAndStopGiveTheirStatesToDisconnectHandling) {
    FakeServer server;
    TestOwner owner;
    Connection conn(kKindNetwork, owner, Local(server.Port()), Timings::Fast());
    conn.SetAccountCreation(true);
    conn.StartServer("127.0.0.1");
    ASSERT_TRUE(server.Accept());
    Received first;
    ASSERT_TRUE(server.Read(first));
    conn.Cancel();
    ASSERT_TRUE(WaitUntil([&] { return owner.Ends().size() == 1 && conn.State() == kStateIdle; }));
    EXPECT_EQ(owner.Ends()[0].state, kStateCancelled);
    EXPECT_TRUE(owner.Ends()[0].accountCreation);  // the test owner never clears it
    EXPECT_TRUE(server.WaitClientClosed());

    conn.SetAccountCreation(false);
    conn.StartServer("127.0.0.1");
    ASSERT_TRUE(server.Accept());
    ASSERT_TRUE(server.Read(first));
    conn.Stop();
    ASSERT_TRUE(WaitUntil([&] { return owner.Ends().size() == 2 && conn.State() == kStateIdle; }));
    EXPECT_EQ(owner.Ends()[1].state, kStateStopped);

    // A Cancel on an idle connection only records it.
    conn.Cancel();
    EXPECT_EQ(conn.State(), kStateCancelled);
}

TEST(ConnectionTest, StopEndsAFlushThatWaitsForAPeerThatDoesNotRead) {
    FakeServer server;
    TestOwner owner;
    Connection conn(kKindNetwork, owner, Local(server.Port()), Timings::Fast());
    conn.StartServer("127.0.0.1");
    ASSERT_TRUE(server.Accept());
    Received first;
    ASSERT_TRUE(server.Read(first));

    // Far more than the socket buffers hold; the server reads none of it.
    const std::string filler(30000, 'x');
    for (int i = 0; i < 300; ++i) {
        conn.Enqueue(MessageWriter(network::kInformation).Str(filler).Finish(Primary::Network));
    }
    // Senders are not held up by the stalled flush.
    EXPECT_TRUE(WaitUntil([&] { return conn.Queue().Size() < 300; }));
    conn.Enqueue(Marker(1));
    std::this_thread::sleep_for(milliseconds(50));
    conn.Stop();
    ASSERT_TRUE(WaitUntil([&] { return !owner.Ends().empty(); }));
    EXPECT_EQ(owner.Ends()[0].state, kStateStopped);
}

TEST(ConnectionTest, StartWhileTheOldThreadWaitsInDispatchDoesNotDeadlock) {
    FakeServer server;
    TestOwner owner;
    std::mutex mutex;
    std::condition_variable cv;
    bool inDispatch = false;
    bool release = false;
    owner.onDispatch = [&](Connection&, const bufHeader&) {
        std::unique_lock lock(mutex);
        inDispatch = true;
        cv.notify_all();
        cv.wait(lock, [&] { return release; });
    };
    Connection conn(kKindNetwork, owner, Local(server.Port()), Timings::Fast());
    conn.StartServer("127.0.0.1");
    ASSERT_TRUE(server.Accept());
    Received first;
    ASSERT_TRUE(server.Read(first));
    MessageWriter msg(network::kIgnoredResponse);
    ASSERT_TRUE(server.Send(*nettest::Response(Primary::Network, msg)));
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(cv.wait_for(lock, nettest::kDeadline, [&] { return inDispatch; }));
    }

    // This thread plays the user-interface thread that the old one waits for.
    conn.RequestStop();
    auto started = std::async(std::launch::async, [&] { conn.StartServer("127.0.0.1"); });
    const bool returned = started.wait_for(nettest::kDeadline) == std::future_status::ready;
    {
        std::lock_guard lock(mutex);
        release = true;
    }
    cv.notify_all();
    ASSERT_TRUE(returned);

    // The new run connects once the old one has ended; the old one is not
    // reported, since its end belongs to a start that has been replaced.
    ASSERT_TRUE(server.Accept());
    ASSERT_TRUE(server.Read(first));
    EXPECT_EQ(first.header.nDescPrimary, +Primary::Login);
    EXPECT_EQ(conn.State(), kStateConnected);
    EXPECT_TRUE(owner.Ends().empty());
    EXPECT_EQ(owner.FirstRequests(), 2);
}

TEST(ConnectionTest, ManyStartAndStopCyclesStayConsistent) {
    // The server never accepts: connects succeed until its backlog is full
    // and then hang, which Stop and the next start must end as well.
    FakeServer server;
    TestOwner owner;
    Connection conn(kKindFile, owner, Local(server.Port()), Timings::Fast());
    for (int i = 0; i < 60; ++i) {
        conn.StartServer("127.0.0.1");
        switch (i % 4) {
            case 0:
                conn.Stop();
                break;
            case 1:
                conn.Cancel();
                break;
            case 2:
                conn.RequestStop();
                break;
            default:
                break;  // replaced by the next start while running
        }
        conn.Enqueue(Marker(i));
    }
    conn.Stop();
    ASSERT_TRUE(WaitUntil([&] { return conn.State() == kStateIdle; }));
    for (const auto& end : owner.Ends()) {
        EXPECT_TRUE(end.state == kStateStopped || end.state == kStateCancelled ||
                    end.state == kStateConnected || end.state == kStateConnecting)
            << end.state;
    }

    for (int i = 0; i < 20; ++i) {
        Connection other(i % 2 ? kKindNetwork : kKindDirectory, owner, Local(server.Port()),
                         Timings::Fast());
        if (i % 2) {
            other.StartServer("127.0.0.1");
        } else {
            other.StartLookup("1");
        }
    }
}

}  // namespace

namespace {

// A listening socket that never accepts, with its queue filled: the kernel
// then drops every further connection request, as a host that silently drops
// packets would, so a connect to it neither succeeds nor fails for minutes.
class Blackhole {
public:
    Blackhole() {
        listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            ::listen(listen_, 0) != 0 ||
            ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
            return;
        }
        port_ = ntohs(a.sin_port);
        // Connect until one attempt hangs: that one proves the queue full.
        for (int i = 0; i < 8 && !full_; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            fillers_.push_back(fd);
            if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) continue;
            pollfd p{fd, POLLOUT, 0};
            if (errno == EINPROGRESS && ::poll(&p, 1, 300) == 0) full_ = true;
        }
    }
    ~Blackhole() {
        for (int fd : fillers_) ::close(fd);
        if (listen_ >= 0) ::close(listen_);
    }
    bool Ready() const { return full_; }
    uint16_t Port() const { return port_; }

private:
    int listen_ = -1;
    uint16_t port_ = 0;
    bool full_ = false;
    std::vector<int> fillers_;
};

// A resolver that blocks until released, then answers with `port` on the
// loopback address. Shared with the resolver's thread, which may outlive the
// connection that started it.
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool open = false;
    int calls = 0;
    uint16_t port = 0;

    void Release() {
        {
            std::lock_guard lock(mutex);
            open = true;
        }
        changed.notify_all();
    }
    int Calls() {
        std::lock_guard lock(mutex);
        return calls;
    }
    static void Install(Endpoints& e, const std::shared_ptr<Gate>& gate) {
        e.resolve = [gate](const std::string&, uint16_t, sockaddr_in& out) {
            std::unique_lock lock(gate->mutex);
            ++gate->calls;
            gate->changed.notify_all();
            gate->changed.wait(lock, [&] { return gate->open; });
            out = {};
            out.sin_family = AF_INET;
            out.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            out.sin_port = htons(gate->port);
            return true;
        };
    }
};

TEST(ConnectionTest, HungResolverNeverHoldsCancelStopOrShutdown) {
    FakeServer server;
    TestOwner owner;
    auto gate = std::make_shared<Gate>();
    gate->port = server.Port();
    Endpoints e = Local(server.Port());
    Gate::Install(e, gate);
    auto conn = std::make_unique<Connection>(kKindNetwork, owner, e, Timings::Fast());

    conn->StartServer("dns.invalid");
    ASSERT_TRUE(WaitUntil([&] { return gate->Calls() == 1; }));
    conn->Cancel();
    ASSERT_TRUE(WaitUntil([&] { return !owner.Ends().empty(); }));
    EXPECT_EQ(owner.Ends()[0].state, kStateCancelled);

    // A restart while the resolver hangs, then the end of the connection.
    conn->StartServer("dns.invalid");
    ASSERT_TRUE(WaitUntil([&] { return gate->Calls() == 2; }));
    conn->StartServer("dns.invalid");
    ASSERT_TRUE(WaitUntil([&] { return gate->Calls() == 3; }));
    conn->Shutdown();
    conn.reset();

    // The late answers are dropped: nobody connects.
    gate->Release();
    EXPECT_FALSE(server.Accept(milliseconds(200)));
    EXPECT_EQ(owner.Ends().size(), 1u);
}

TEST(ConnectionTest, ConnectTimeLimitEndsAnAttemptThatGetsNoAnswer) {
    Blackhole hole;
    if (!hole.Ready()) GTEST_SKIP() << "this kernel answers connects beyond a full queue";
    TestOwner owner;
    Timings timings = Timings::Fast();
    timings.connectTimeout = milliseconds(150);
    Connection conn(kKindFile, owner, Local(hole.Port()), timings);
    conn.StartServer("127.0.0.1");
    ASSERT_TRUE(WaitUntil([&] { return !owner.Ends().empty(); }, milliseconds(5000)));
    EXPECT_EQ(owner.Ends()[0].state, kStateConnecting);
    EXPECT_TRUE(WaitUntil([&] { return conn.State() == kStateIdle; }));
    EXPECT_EQ(owner.FirstRequests(), 0);

    // The limit covers the resolution too.
    auto gate = std::make_shared<Gate>();
    Endpoints e = Local(hole.Port());
    Gate::Install(e, gate);
    TestOwner other;
    Connection resolving(kKindNetwork, other, e, timings);
    resolving.StartServer("dns.invalid");
    ASSERT_TRUE(WaitUntil([&] { return !other.Ends().empty(); }, milliseconds(5000)));
    EXPECT_EQ(other.Ends()[0].state, kStateConnecting);
    gate->Release();
}

TEST(ConnectionTest, MessagesReadTogetherAreHandledInOrderUntilAStop) {
    FakeServer server;
    TestOwner owner;
    std::mutex mutex;
    std::vector<int32_t> seen;
    owner.onDispatch = [&](Connection& c, const bufHeader& h) {
        MessageReader r(c.ReceiveBuffer(), h);
        int32_t value = -1;
        r.Int(-1, -1, value);
        std::lock_guard lock(mutex);
        seen.push_back(value);
        if (value == 50) c.RequestStop();  // a handler ends the connection
    };
    Connection conn(kKindNetwork, owner, Local(server.Port()), Timings::Fast());
    conn.StartServer("127.0.0.1");
    ASSERT_TRUE(server.Accept());
    Received first;
    ASSERT_TRUE(server.Read(first));

    // A hundred messages of varied sizes in one write.
    std::string stream;
    for (int32_t i = 0; i < 100; ++i) {
        MessageWriter w(network::kInformationResponse);
        w.Int(i);
        const std::string filler(static_cast<size_t>((i * 977) % 9000), static_cast<char>(i));
        w.Raw(filler.data(), static_cast<int>(filler.size()));
        stream += nettest::WireBytes(*nettest::Response(Primary::Network, w));
    }
    ASSERT_TRUE(server.SendRaw(stream));
    ASSERT_TRUE(WaitUntil([&] { return !owner.Ends().empty(); }));
    std::lock_guard lock(mutex);
    std::vector<int32_t> expected(51);
    for (int32_t i = 0; i <= 50; ++i) expected[static_cast<size_t>(i)] = i;
    EXPECT_EQ(seen, expected);
}

}  // namespace
