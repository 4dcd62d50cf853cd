#pragma once

// The envelope family (primary 8). The client wraps a finished message of
// another family in it (account creation travels this way); a server never
// sends one, so every incoming envelope is logged as unknown by the router.

#include <cstdint>
#include <memory>
#include <string>

#include "net/MessageBuffer.h"

namespace net {

class Connection;

// Growth of a message wrapped in the envelope: code 0 and five integers.
inline constexpr int kEnvelopeOverhead = 24;

// Wraps a finished message of length L (as MessageWriter::Finish returns it):
// removes its payload scrambling, moves its payload 36..L-1 to 60..L+23, writes
// the envelope code and 0, 0, 0, the inner primary and secondary at 36..59, and
// finishes it again as primary 8, length L+24, with a new key. Returns nullptr
// (nothing is to be sent) when the inner message is not a finished message or
// the result would exceed the message limit.
std::unique_ptr<MessageBuffer> Envelope(std::unique_ptr<MessageBuffer> inner, int32_t innerPrimary,
                                        int32_t innerSecondary);

// The account creation record filled from the account creation form.
struct AccountCreationRecord {
    std::string number;
    std::string fullName;
    std::string username;
    std::string password;
    std::string code;  // "none" when the network asks for no creation code
};

// The account creation request (account family, code 0) in the envelope.
std::unique_ptr<MessageBuffer> BuildAccountCreation(const AccountCreationRecord& record,
                                                    const std::string& identity);
bool SendAccountCreation(Connection& connection, const AccountCreationRecord& record,
                         const std::string& identity);

}  // namespace net
