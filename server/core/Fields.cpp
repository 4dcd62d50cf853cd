#include "server/core/Fields.h"

#include <algorithm>

namespace localnet {

bool ValidIdentity(std::string_view identity) {
    if (identity.size() < static_cast<size_t>(kMinIdentity) ||
        identity.size() > static_cast<size_t>(kMaxIdentity))
        return false;
    return !std::all_of(identity.begin(), identity.end(), [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
    });
}

}  // namespace localnet
