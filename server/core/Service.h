#pragma once

// What a subsystem adds to the local network: an object that registers its
// handlers with the router and the transfer engine when it is made, and
// lives as long as the network. Every service is named once, in the list of
// server/Services.cpp.

#include <memory>
#include <vector>

namespace localnet {

class LocalNetwork;

class Service {
  public:
    virtual ~Service() = default;
};

// The one list of services (server/Services.cpp).
std::vector<std::unique_ptr<Service>> MakeServices(LocalNetwork& network);

}  // namespace localnet
