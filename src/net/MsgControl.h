#pragma once

// The control family (primary 0): keep-alive and cancel-transfer messages, and
// the server's disconnect notification.

#include <cstdint>
#include <string>

#include "net/MessageBuffer.h"

namespace net {

class Client;
class Connection;
class LogLine;

// Keep-alive: code 0, no fields (40 bytes in all). Returns whether it was queued.
bool SendKeepAlive(Connection& connection);
// Cancel transfer: code 1 with the slot number 0..24.
bool SendCancelTransfer(Connection& connection, int32_t slot);

// The fields of a disconnect notification.
struct DisconnectNotice {
    int32_t primary = 0;  // of the message the server answers
    int32_t secondary = 0;
    int32_t responseCode = 0;
    std::string response;  // empty when its count is outside 1..512
};

// Decodes the fields after the code. Returns -1 on success, or the step (0..2)
// of the integer that could not be read.
int DecodeDisconnectNotice(MessageReader& reader, DisconnectNotice& out);

class MsgControl {
  public:
    explicit MsgControl(Client& client) : client_(client) {}
    void HandleMsg(Connection& connection, const bufHeader& header, LogLine& log);

  private:
    void HandleNotificationDisconnect(MessageReader& reader, LogLine& log);
    Client& client_;
};

}  // namespace net
