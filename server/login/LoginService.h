#pragma once

// Logins on the network and file servers, and the keep-alive.

#include "server/core/Service.h"

namespace localnet {

class ClientSession;
class LocalNetwork;
class LoginRequest;

class LoginService : public Service {
  public:
    explicit LoginService(LocalNetwork& network);

  private:
    void Login(ClientSession& session, LoginRequest& request);

    LocalNetwork& network_;
};

}  // namespace localnet
