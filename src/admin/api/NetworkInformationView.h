#pragma once

// Where the network's answer to an information request goes: the network
// information window of the administration module. The application state
// hands each decoded answer here; when the module is absent, nowhere.

#include "net/MsgNetwork.h"

namespace admin {

class NetworkInformationView {
  public:
    virtual ~NetworkInformationView() = default;
    // Fills the window from the answer and brings it up.
    virtual void NetworkInformationReceived(const net::NetworkInformation& info) = 0;
};

}  // namespace admin
