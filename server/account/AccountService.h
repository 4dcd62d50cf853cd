#pragma once

// Account creation on the network server. The request arrives inside the
// envelope, on a connection that has not logged in; the connection is closed
// once the answer is out, since it has nothing more to carry.

#include <cstdint>
#include <string>

#include "server/core/Service.h"

namespace localnet {

class ClientSession;
class LocalNetwork;

// The fields of a creation request, as received.
struct AccountRequest {
    std::string number;
    std::string fullName;
    std::string username;
    std::string password;
    std::string identity;
    std::string creationCode;
};

// Usernames and passwords: letters A-Z and a-z, digits, '-' and '_', 1 to
// `maxLength` bytes.
bool ValidCredential(const std::string& text, size_t maxLength);
// Full names: UTF-8, not blank, no control characters, at most 20 characters.
bool ValidFullName(const std::string& bytes);

class AccountService : public Service {
  public:
    static constexpr size_t kMaxUsername = 11;
    static constexpr size_t kMaxPassword = 15;
    static constexpr int kMaxFullName = 20;

    explicit AccountService(LocalNetwork& network);

    // Runs the checks in order and creates the account; returns the account
    // response code.
    int32_t Create(const AccountRequest& request);

  private:
    LocalNetwork& network_;
};

}  // namespace localnet
