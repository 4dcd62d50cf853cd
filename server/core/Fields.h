#pragma once

// Field rules that more than one service applies, so that they cannot drift
// apart: the login and the account creation take the same identities.

#include <cstdint>
#include <string_view>

namespace localnet {

// The installation identity: what the client keeps is at most 254 bytes.
inline constexpr int32_t kMinIdentity = 1;
inline constexpr int32_t kMaxIdentity = 254;

// 1..254 bytes, and not blank: an identity of spaces names no installation,
// and would let every such client share one per-identity account limit.
bool ValidIdentity(std::string_view identity);

}  // namespace localnet
