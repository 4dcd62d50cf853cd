#pragma once

// The directory server: tells a client where the network of a zorvic number
// lives, then closes the connection (the client waits for that close).

#include "server/core/Service.h"

namespace localnet {

class LocalNetwork;

class DirectoryService : public Service {
  public:
    explicit DirectoryService(LocalNetwork& network);

  private:
    LocalNetwork& network_;
};

}  // namespace localnet
