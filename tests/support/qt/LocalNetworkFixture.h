#pragma once

// The local zorvic network, in process, on free ports of 127.0.0.1, with a
// temporary data folder and the demo networks. For server tests and for
// client end-to-end tests; it knows nothing of the client.

#include <QtGlobal>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "net/Endpoints.h"
#include "server/core/LocalNetwork.h"
#include "support/TempDir.h"

namespace testsupport {

// Runs the event loop until `done` returns true or the deadline passes.
// Tests that talk to the in-process server must wait this way: a plain sleep
// would also stop the server.
bool SpinUntil(const std::function<bool()>& done,
               std::chrono::milliseconds deadline = std::chrono::seconds(10));

class LocalNetworkFixture {
  public:
    LocalNetworkFixture();
    ~LocalNetworkFixture();
    LocalNetworkFixture(const LocalNetworkFixture&) = delete;
    LocalNetworkFixture& operator=(const LocalNetworkFixture&) = delete;

    // Options used by the next Start; adjust before starting.
    localnet::ServerOptions& Options() { return options_; }

    bool Start();
    void Stop();
    // Stops and starts again on the same data folder (the ports change).
    bool Restart();

    localnet::LocalNetwork& Network() { return *network_; }
    bool Running() const { return network_ != nullptr; }
    quint16 DirectoryPort() const;
    quint16 NetworkPort() const;
    quint16 FilePort() const;
    // Where a client finds this network.
    net::Endpoints Endpoints() const;
    const std::string& DataDir() const { return dir_.path(); }

  private:
    TempDir dir_;
    localnet::ServerOptions options_;
    std::unique_ptr<localnet::LocalNetwork> network_;
};

}  // namespace testsupport
