// Any complete message sent to the local network's servers: the first byte
// chooses the server and whether the connection has logged in, the next two
// the descriptors, the rest is the payload from the message code on. Every
// request handler is reached this way; none may crash, hang, or write
// outside the data folder, and a connection the server drops is made again.
//
// Each connection is a real one, made once (and again when the server drops
// it), but the messages go straight to the server's session as its socket
// would hand them over: framed, scrambled and parsed the same way, without
// a loopback round trip per input. The store does not wait for the disk.

#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QPointer>
#include <QTcpSocket>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "RouteInput.h"
#include "net/MessageBuffer.h"
#include "net/Protocol.h"
#include "server/core/ClientSession.h"
#include "server/core/LocalNetwork.h"

namespace {

constexpr char kRootPrefix[] = "palindor-server-fuzz-";

// Lets the server (same thread) take what is pending and answer; what it
// answered is dropped.
void Settle(QTcpSocket& socket) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    socket.readAll();
}

// One connection: the client's end, and the server's session of it.
struct Connection {
    std::unique_ptr<QTcpSocket> socket;
    QPointer<localnet::ClientSession> session;
};

struct Harness {
    Harness() {
        const auto temp = std::filesystem::temp_directory_path();
        fuzzing::RemoveStaleRoots(temp, kRootPrefix);
        root = temp / (kRootPrefix + std::to_string(::getpid()));
        std::filesystem::create_directories(root);
        static int argc = 1;
        static char name[] = "server_requests_fuzz";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QCoreApplication>(argc, argv);
        localnet::ServerOptions options;
        options.dataDir = QString::fromStdString(root.string());
        options.directoryPort = options.networkPort = options.filePort = 0;
        options.seedDemo = true;
        options.quiet = true;
        options.creationsPerAddress = 1000000;
        options.durableStore = false;
        // Messages bypass the session's reading, which is what keeps it
        // alive: the timers must not drop it between inputs.
        options.idleTimeout = options.loginDeadline = std::chrono::hours(24);
        network = std::make_unique<localnet::LocalNetwork>(options);
        QString error;
        if (!network->Start(&error)) std::abort();
    }
    ~Harness() {
        for (auto& c : connections) c.socket.reset();
        network.reset();
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }

    quint16 Port(int server) const {
        return server == 0   ? network->DirectoryPort()
               : server == 1 ? network->NetworkPort()
                             : network->FilePort();
    }

    // Hands a finished message to the session as its socket would: received
    // into a buffer of its own and parsed there.
    void Deliver(localnet::ClientSession& session, const net::MessageBuffer& message) {
        in.Reset();
        std::memcpy(in.data, message.data, static_cast<size_t>(message.remaining));
        in.done = message.remaining;
        net::bufHeader header;
        if (in.ParseHeader(header) != net::kParseComplete) __builtin_trap();
        network->Dispatch(session, header, in);
    }

    void Deliver(localnet::ClientSession& session, int32_t primary, int32_t secondary,
                 const uint8_t* payload, size_t size) {
        out.Reset();
        std::memcpy(out.data + net::kHeaderSize, payload, size);
        out.Finish(primary, secondary, static_cast<int32_t>(net::kHeaderSize + size));
        Deliver(session, out);
    }

    // A connection to the server, logged in as alice when asked; made anew
    // when the server has dropped or is closing the last one.
    localnet::ClientSession* Session(int server, bool loggedIn) {
        Connection& c = connections[static_cast<size_t>(server * 2 + (loggedIn ? 1 : 0))];
        if (c.session && !c.session->Closing() && c.socket &&
            c.socket->state() == QAbstractSocket::ConnectedState)
            return c.session;
        c.session = nullptr;
        c.socket = std::make_unique<QTcpSocket>();
        c.socket->connectToHost(QHostAddress::LocalHost, Port(server));
        if (!c.socket->waitForConnected(2000)) return nullptr;
        // The server takes the connection on its next turn of the loop.
        const QString ending = QString(":%1").arg(c.socket->localPort());
        for (int turn = 0; turn < 100 && !c.session; ++turn) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            for (localnet::ClientSession* s : network->Sessions())
                if (s->PeerText().endsWith(ending) && !s->Closing()) c.session = s;
        }
        if (!c.session) return nullptr;
        if (loggedIn && server != 0) {
            net::MessageWriter w(net::login::kLogin);
            w.Int(2).Str("1234567").Int(0).Str("alice").Str("alicepass").Str(
                "0f3c1a52-8d6e-4b7a-9c21-5e4d3b2a1f00");
            auto m = w.Finish(net::Primary::Login);
            if (!m) return nullptr;
            Deliver(*c.session, *m);
            Settle(*c.socket);
            if (!c.session || c.session->Closing()) return nullptr;
        }
        return c.session;
    }

    std::filesystem::path root;
    std::unique_ptr<QCoreApplication> app;
    std::unique_ptr<localnet::LocalNetwork> network;
    std::array<Connection, 6> connections;
    // The sending and receiving buffers, kept: fresh ones per input cost
    // more than the rest of a short request.
    net::MessageBuffer out, in;
};

Harness* harness = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    harness = new Harness;
    std::atexit([] { delete harness; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!harness) LLVMFuzzerInitialize(nullptr, nullptr);
    if (size < 3) return 0;
    const int server = data[0] % 3;
    const bool loggedIn = (data[0] & 0x80) != 0;
    const int32_t primary = data[1] % 16;
    const int32_t secondary = data[2] % 3;
    const size_t payload = std::min(size - 3, static_cast<size_t>(net::kDataSize - net::kHeaderSize));
    localnet::ClientSession* session = harness->Session(server, loggedIn);
    if (!session) return 0;
    harness->Deliver(*session, primary, secondary, data + 3, payload);
    Settle(*harness->connections[static_cast<size_t>(server * 2 + (loggedIn ? 1 : 0))].socket);
    // Nothing the server writes may land outside its data folder; the
    // folder itself must still be there.
    if (!std::filesystem::exists(harness->root)) __builtin_trap();
    return 0;
}
