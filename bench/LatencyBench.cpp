// Latency of one small message: from Enqueue on the client's connection to
// the peer having read it whole (a 40-byte keep-alive), median over many,
// beside the round trip of 40 bytes over raw loopback TCP in the same run.

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "FakeServer.h"
#include "net/Connection.h"
#include "net/MsgControl.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRounds = 2000;

double MedianMicros(std::vector<Clock::duration>& samples) {
    std::sort(samples.begin(), samples.end());
    return std::chrono::duration<double, std::micro>(samples[samples.size() / 2]).count();
}

// 40 bytes there and back between two loopback sockets, an echo thread on
// the far side.
double RawRoundTrip() {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(listener, 1);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
    const int near = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::connect(near, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return -1;
    const int far = ::accept(listener, nullptr, nullptr);
    const int one = 1;
    ::setsockopt(near, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    ::setsockopt(far, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    auto readAll = [](int fd, char* p, size_t n) {
        while (n > 0) {
            const ssize_t r = ::recv(fd, p, n, 0);
            if (r <= 0) return false;
            p += r;
            n -= static_cast<size_t>(r);
        }
        return true;
    };
    std::thread echo([&] {
        char b[40];
        while (readAll(far, b, sizeof b)) {
            if (::send(far, b, sizeof b, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof b)) break;
        }
    });
    std::vector<Clock::duration> samples;
    char b[40] = {};
    for (int i = 0; i < kRounds; ++i) {
        const auto t0 = Clock::now();
        if (::send(near, b, sizeof b, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof b)) break;
        if (!readAll(near, b, sizeof b)) break;
        samples.push_back(Clock::now() - t0);
    }
    ::shutdown(near, SHUT_RDWR);
    echo.join();
    ::close(near);
    ::close(far);
    ::close(listener);
    return samples.empty() ? -1 : MedianMicros(samples);
}

}  // namespace

int main() {
    nettest::FakeServer server;
    nettest::TestOwner owner;
    net::Endpoints endpoints;
    endpoints.networkPort = server.Port();
    net::Timings timings;
    timings.keepAliveInterval = std::chrono::hours(1);  // only ours go out
    net::Connection conn(net::kKindNetwork, owner, endpoints, timings);
    conn.StartServer("127.0.0.1");
    nettest::Received received;
    if (!server.Accept() || !server.Read(received)) {
        std::fprintf(stderr, "cannot connect\n");
        return 1;
    }
    std::vector<Clock::duration> samples;
    samples.reserve(kRounds);
    for (int i = 0; i < kRounds; ++i) {
        const auto t0 = Clock::now();
        if (!net::SendKeepAlive(conn) || !server.Read(received)) {
            std::fprintf(stderr, "message lost\n");
            return 1;
        }
        samples.push_back(Clock::now() - t0);
        if (received.header.nMsgLength != 40) {
            std::fprintf(stderr, "unexpected message of %d bytes\n", received.header.nMsgLength);
            return 1;
        }
    }
    conn.Shutdown();
    const double engine = MedianMicros(samples);
    const double raw = RawRoundTrip();
    std::printf("enqueue to peer, 40-byte message: median %.1f us (%d messages)\n", engine, kRounds);
    std::printf("raw loopback round trip, 40 bytes: median %.1f us\n", raw);
    return 0;
}
