#pragma once

// A scripted peer for the connection engine's tests: a listening socket on
// 127.0.0.1 (an ephemeral port) driven step by step by the test's own thread,
// speaking the message codec. Every wait has a deadline, so a broken engine
// fails a test instead of hanging it.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "net/Connection.h"
#include "net/MessageBuffer.h"

namespace nettest {

using std::chrono::milliseconds;
inline constexpr milliseconds kDeadline{5000};

// One complete message as the peer received it (header decoded, payload
// unscrambled).
struct Received {
    net::bufHeader header;
    std::unique_ptr<net::MessageBuffer> buffer;

    net::MessageReader Reader() const { return net::MessageReader(*buffer, header); }
    int32_t Code() const { return Reader().Code(); }
};

class FakeServer {
public:
    FakeServer();
    ~FakeServer();
    FakeServer(const FakeServer&) = delete;
    FakeServer& operator=(const FakeServer&) = delete;

    uint16_t Port() const { return port_; }

    // Accepts the next client (the previous one, if any, is closed).
    bool Accept(milliseconds deadline = kDeadline);
    // Reads one message from the client.
    bool Read(Received& out, milliseconds deadline = kDeadline);
    // Reads messages until one with the given primary descriptor arrives
    // (keep-alives and the like are skipped).
    bool ReadPrimary(net::Primary primary, Received& out, milliseconds deadline = kDeadline);
    // True when nothing at all arrives within `window`.
    bool Silent(milliseconds window);
    // Sends the finished buffer's wire bytes; several at once go out as one write.
    bool Send(const net::MessageBuffer& message);
    bool SendRaw(const std::string& bytes);
    // Waits until the client has closed its end.
    bool WaitClientClosed(milliseconds deadline = kDeadline);
    void CloseClient();
    // Stops reading from the client, so that its sends eventually block.
    int ClientFd() const { return client_; }

private:
    bool ReadExactly(uint8_t* into, int n, milliseconds deadline);

    int listen_ = -1;
    int client_ = -1;
    uint16_t port_ = 0;
};

// The wire bytes of a finished message.
std::string WireBytes(const net::MessageBuffer& message);

// A server response with the given fields, finished with secondary 2.
std::unique_ptr<net::MessageBuffer> Response(net::Primary primary, net::MessageWriter& writer);

// A port on 127.0.0.1 that refuses connections.
uint16_t ClosedPort();

// Records what a connection asks of its owner. Callbacks are set before the
// connection starts.
class TestOwner : public net::ConnectionOwner {
public:
    struct End {
        int32_t state;
        bool accountCreation;
    };

    std::function<void(net::Connection&)> onFirstRequest;
    std::function<void(net::Connection&, const net::bufHeader&)> onDispatch;

    void QueueFirstRequest(net::Connection& connection) override;
    void Dispatch(net::Connection& connection, const net::bufHeader& header) override;
    void Disconnected(net::Connection& connection, int32_t endState, bool accountCreation) override;
    void TransferReadFailed(net::Connection& connection, int slot) override;

    std::vector<End> Ends() const;
    std::vector<int> ReadFailures() const;
    int Dispatched() const;
    int FirstRequests() const;

private:
    mutable std::mutex mutex_;
    std::vector<End> ends_;
    std::vector<int> readFailures_;
    int dispatched_ = 0;
    int firstRequests_ = 0;
};

// The first request the test owner queues by default: primary 1, code 1,
// carrying the connection's kind.
std::unique_ptr<net::MessageBuffer> FirstRequest(int32_t kind);

}  // namespace nettest
