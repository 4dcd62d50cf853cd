#pragma once

// Instant messages on the network server: a message from a logged-in
// network-server connection goes on to every logged-in network-server
// connection of its recipient, with the sender's stored username. Nothing is
// kept; mutes are the receiving client's business.

#include "net/MessageBuffer.h"
#include "server/core/Service.h"

namespace localnet {

class ClientSession;
class LocalNetwork;

class InstantMessageService : public Service {
  public:
    explicit InstantMessageService(LocalNetwork& network);

  private:
    void Relay(ClientSession& from, net::MessageReader& fields);

    LocalNetwork& network_;
};

}  // namespace localnet
