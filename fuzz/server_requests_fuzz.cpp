// Any complete message sent to the local network's servers: the first byte
// chooses the server and whether the connection has logged in, the next two
// the descriptors, the rest is the payload from the message code on. Every
// request handler is reached this way; none may crash, hang, or write
// outside the data folder, and a connection the server drops is made again.

#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
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
#include "server/core/LocalNetwork.h"

namespace {

constexpr char kRootPrefix[] = "palindor-server-fuzz-";

// Sends a finished message on a socket of this process.
bool Write(QTcpSocket& socket, net::MessageBuffer& message) {
    return socket.write(reinterpret_cast<const char*>(message.data), message.remaining) ==
           message.remaining;
}

// Lets the server (same thread) take what was written and answer.
void Settle(QTcpSocket& socket) {
    socket.flush();
    for (int i = 0; i < 4; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        socket.readAll();
    }
}

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
        network = std::make_unique<localnet::LocalNetwork>(options);
        QString error;
        if (!network->Start(&error)) std::abort();
    }
    ~Harness() {
        for (auto& s : sockets) s.reset();
        network.reset();
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }

    quint16 Port(int server) const {
        return server == 0   ? network->DirectoryPort()
               : server == 1 ? network->NetworkPort()
                             : network->FilePort();
    }

    // A connection to the server, logged in as alice when asked; made anew
    // when the server has dropped the last one.
    QTcpSocket* Connection(int server, bool loggedIn) {
        auto& slot = sockets[static_cast<size_t>(server * 2 + (loggedIn ? 1 : 0))];
        if (slot && slot->state() == QAbstractSocket::ConnectedState) return slot.get();
        slot = std::make_unique<QTcpSocket>();
        slot->connectToHost(QHostAddress::LocalHost, Port(server));
        if (!slot->waitForConnected(2000)) return nullptr;
        if (loggedIn && server != 0) {
            net::MessageWriter w(net::login::kLogin);
            w.Int(2).Str("1234567").Int(0).Str("alice").Str("alicepass").Str(
                "0f3c1a52-8d6e-4b7a-9c21-5e4d3b2a1f00");
            auto m = w.Finish(net::Primary::Login);
            if (!m || !Write(*slot, *m)) return nullptr;
            Settle(*slot);
        }
        return slot.get();
    }

    std::filesystem::path root;
    std::unique_ptr<QCoreApplication> app;
    std::unique_ptr<localnet::LocalNetwork> network;
    std::array<std::unique_ptr<QTcpSocket>, 6> sockets;
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
    QTcpSocket* socket = harness->Connection(server, loggedIn);
    if (!socket) return 0;
    auto message = std::make_unique<net::MessageBuffer>();
    std::memcpy(message->data + net::kHeaderSize, data + 3, payload);
    message->Finish(primary, secondary, static_cast<int32_t>(net::kHeaderSize + payload));
    Write(*socket, *message);
    Settle(*socket);
    // Nothing the server writes may land outside its data folder; the
    // folder itself must still be there.
    if (!std::filesystem::exists(harness->root)) __builtin_trap();
    return 0;
}
