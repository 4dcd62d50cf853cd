#pragma once

// The contact family's requests (primary 11, network-server connection).

#include <cstdint>
#include <memory>

#include "net/MessageBuffer.h"

namespace net {
class Connection;
}

namespace contacts {

// "send me my contact list" (no fields), once after every login.
bool SendContactListRequest(net::Connection& connection);
// "set my status" with 1 online or 2 away (anything else is sent as online).
std::unique_ptr<net::MessageBuffer> BuildStatusMessage(int32_t status);
bool SendStatus(net::Connection& connection, int32_t status);

}  // namespace contacts
