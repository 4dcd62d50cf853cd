#include "FakeServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace nettest {

using Clock = std::chrono::steady_clock;

namespace {

int MillisLeft(Clock::time_point end) {
    const auto left = std::chrono::duration_cast<milliseconds>(end - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

bool WaitReadable(int fd, Clock::time_point end) {
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        const int rc = ::poll(&p, 1, MillisLeft(end));
        if (rc > 0) return true;
        if (rc == 0) return false;
        if (errno != EINTR) return false;
    }
}

}  // namespace

FakeServer::FakeServer() {
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    ::bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(listen_, 16);
    socklen_t len = sizeof addr;
    ::getsockname(listen_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
}

FakeServer::~FakeServer() {
    CloseClient();
    if (listen_ >= 0) ::close(listen_);
}

bool FakeServer::Accept(milliseconds deadline) {
    CloseClient();
    if (!WaitReadable(listen_, Clock::now() + deadline)) return false;
    client_ = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client_ < 0) return false;
    const int one = 1;
    ::setsockopt(client_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return true;
}

bool FakeServer::ReadExactly(uint8_t* into, int n, milliseconds deadline) {
    const auto end = Clock::now() + deadline;
    int got = 0;
    while (got < n) {
        if (!WaitReadable(client_, end)) return false;
        const ssize_t r = ::recv(client_, into + got, static_cast<size_t>(n - got), 0);
        if (r <= 0) return false;
        got += static_cast<int>(r);
    }
    return true;
}

bool FakeServer::Read(Received& out, milliseconds deadline) {
    auto buffer = std::make_unique<net::MessageBuffer>();
    if (!ReadExactly(buffer->data, net::kHeaderSize, deadline)) return false;
    buffer->done = net::kHeaderSize;
    net::bufHeader header;
    int status = buffer->ParseHeader(header);
    if (status == net::kParseMore) {
        const int rest = header.nMsgLength - net::kHeaderSize;
        if (!ReadExactly(buffer->data + net::kHeaderSize, rest, deadline)) return false;
        buffer->done = header.nMsgLength;
        status = buffer->ParseHeader(header);
    }
    if (status != net::kParseComplete) return false;
    out.header = header;
    out.buffer = std::move(buffer);
    return true;
}

bool FakeServer::ReadPrimary(net::Primary primary, Received& out, milliseconds deadline) {
    const auto end = Clock::now() + deadline;
    while (Read(out, milliseconds(MillisLeft(end)))) {
        if (out.header.nDescPrimary == +primary) return true;
    }
    return false;
}

bool FakeServer::Silent(milliseconds window) {
    return !WaitReadable(client_, Clock::now() + window);
}

bool FakeServer::Send(const net::MessageBuffer& message) {
    return SendRaw(WireBytes(message));
}

bool FakeServer::SendRaw(const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(client_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

bool FakeServer::WaitClientClosed(milliseconds deadline) {
    const auto end = Clock::now() + deadline;
    uint8_t scratch[4096];
    for (;;) {
        if (!WaitReadable(client_, end)) return false;
        const ssize_t r = ::recv(client_, scratch, sizeof scratch, 0);
        if (r == 0) return true;
        if (r < 0 && errno != EINTR) return errno == ECONNRESET;
    }
}

void FakeServer::CloseClient() {
    if (client_ >= 0) ::close(client_);
    client_ = -1;
}

std::string WireBytes(const net::MessageBuffer& message) {
    const int length = message.remaining > 0 ? message.remaining : 0;
    return std::string(reinterpret_cast<const char*>(message.data), static_cast<size_t>(length));
}

std::unique_ptr<net::MessageBuffer> Response(net::Primary primary, net::MessageWriter& writer) {
    return writer.Finish(primary, net::Secondary::Response);
}

uint16_t ClosedPort() {
    FakeServer server;
    return server.Port();  // closed when the server goes
}

std::unique_ptr<net::MessageBuffer> FirstRequest(int32_t kind) {
    return net::MessageWriter(net::login::kLogin).Int(kind).Finish(net::Primary::Login);
}

void TestOwner::QueueFirstRequest(net::Connection& connection) {
    {
        std::lock_guard lock(mutex_);
        ++firstRequests_;
    }
    if (onFirstRequest) {
        onFirstRequest(connection);
    } else {
        connection.Enqueue(FirstRequest(connection.Kind()));
    }
}

void TestOwner::Dispatch(net::Connection& connection, const net::bufHeader& header) {
    if (onDispatch) onDispatch(connection, header);
    std::lock_guard lock(mutex_);
    ++dispatched_;
}

void TestOwner::Disconnected(net::Connection&, int32_t endState, bool accountCreation) {
    std::lock_guard lock(mutex_);
    ends_.push_back({endState, accountCreation});
}

void TestOwner::TransferReadFailed(net::Connection&, int slot) {
    std::lock_guard lock(mutex_);
    readFailures_.push_back(slot);
}

std::vector<TestOwner::End> TestOwner::Ends() const {
    std::lock_guard lock(mutex_);
    return ends_;
}

std::vector<int> TestOwner::ReadFailures() const {
    std::lock_guard lock(mutex_);
    return readFailures_;
}

int TestOwner::Dispatched() const {
    std::lock_guard lock(mutex_);
    return dispatched_;
}

int TestOwner::FirstRequests() const {
    std::lock_guard lock(mutex_);
    return firstRequests_;
}

}  // namespace nettest
