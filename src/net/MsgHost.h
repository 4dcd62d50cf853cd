#pragma once

// The host lookup family (primary 9) on the directory-server connection: the
// request with the zorvic number, and the answer with the network's host.

#include <cstdint>
#include <string>

#include "net/MessageBuffer.h"

namespace net {

class Client;
class Connection;
class LogLine;

struct HostLookupResult {
    std::string flagsText;  // 1..3 characters, decimal
    std::string host;       // 1..255
    int32_t flags = 0;      // the flags text's leading decimal digits
};

// Decodes the fields of the lookup OK response. Returns -1 on success, 0 when
// the flags text fails, 1 when the host address fails.
int DecodeHostLookup(MessageReader& reader, HostLookupResult& out);

// Request 2 with the zorvic number.
bool SendHostLookup(Connection& connection, const std::string& number);

class MsgHost {
  public:
    explicit MsgHost(Client& client) : client_(client) {}
    void HandleMsg(Connection& connection, const bufHeader& header, LogLine& log);

  private:
    Client& client_;
};

}  // namespace net
