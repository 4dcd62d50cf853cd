#pragma once

// Account creation on the network server. The request arrives inside the
// envelope, on a connection that has not logged in; the connection is closed
// once the answer is out, since it has nothing more to carry.

#include <QString>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
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

// Account creations per peer address within a sliding window. The client
// names its own installation identity, so only the address it comes from
// holds a flood of creations back.
class CreationRateLimit {
  public:
    using Clock = std::chrono::steady_clock;
    CreationRateLimit(int perWindow, std::chrono::seconds window)
        : perWindow_(perWindow), window_(window) {}
    // Whether one more creation from the address is allowed now.
    bool Allows(const QString& address, Clock::time_point now);
    void Record(const QString& address, Clock::time_point now);
    // Addresses with creations still in the window (bounded by pruning).
    size_t Tracked() const { return recent_.size(); }

  private:
    void Prune(Clock::time_point now);

    int perWindow_;
    std::chrono::seconds window_;
    std::map<QString, std::deque<Clock::time_point>> recent_;
    Clock::time_point lastPrune_{};
};

class AccountService : public Service {
  public:
    static constexpr size_t kMaxUsername = 11;
    static constexpr size_t kMaxPassword = 15;
    static constexpr int kMaxFullName = 20;

    explicit AccountService(LocalNetwork& network);

    // Runs the checks in order and creates the account; returns the account
    // response code. `address`: the peer's, for the per-address rate.
    int32_t Create(const AccountRequest& request, const QString& address = QString());

  private:
    LocalNetwork& network_;
    CreationRateLimit rate_;
};

}  // namespace localnet
