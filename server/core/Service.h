#pragma once

// What a subsystem adds to the local network: an object that registers its
// handlers with the router and the transfer engine when it is made, and
// lives as long as the network. Every service is named once, in the list of
// server/Services.cpp.

#include <QString>
#include <memory>
#include <vector>

namespace localnet {

class LocalNetwork;

class Service {
  public:
    virtual ~Service() = default;

    // Called at each start once the store is loaded: the service brings its
    // own tables up to date (Store::PrepareTables) and reads its state.
    // False stops the start with `error` said.
    virtual bool Open(QString* error) {
        (void)error;
        return true;
    }
    // Called after the demo networks and accounts are in place when the demo
    // seed is asked for: adds the service's own demo data where there is none
    // yet, so that a restart never undoes what users changed.
    virtual bool SeedDemo() { return true; }
};

// The one list of services (server/Services.cpp).
std::vector<std::unique_ptr<Service>> MakeServices(LocalNetwork& network);

}  // namespace localnet
