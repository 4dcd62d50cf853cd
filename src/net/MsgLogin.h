#pragma once

// The login family (primary 1): the login request each server connection
// sends when it connects, and the server's login OK response.

#include <cstdint>
#include <memory>
#include <string>

#include "net/MessageBuffer.h"

namespace net {

class Client;
class Connection;
class LogLine;

struct LoginFields {
    std::string number;
    std::string username;
    std::string password;
    std::string identity;
};

// Code 1: integer 2, number, integer 0, username, password, identity.
std::unique_ptr<MessageBuffer> BuildLogin(const LoginFields& fields);
bool SendLogin(Connection& connection, const LoginFields& fields);

struct LoginRights {
    int32_t administrator = 0;
    int32_t root = 0;
};

// Decodes the rights of a login OK response; false when either flag fails.
bool DecodeLoginRights(MessageReader& reader, LoginRights& out);

class MsgLogin {
  public:
    explicit MsgLogin(Client& client) : client_(client) {}
    void HandleMsg(Connection& connection, const bufHeader& header, LogLine& log);

  private:
    Client& client_;
};

}  // namespace net
