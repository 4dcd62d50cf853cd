#include "server/core/ListingWriter.h"

#include <algorithm>
#include <ctime>

namespace localnet {

std::string ListingModifiedText(qint64 seconds) {
    const time_t t = static_cast<time_t>(seconds);
    char text[64] = {};
    std::tm local{};
    if (localtime_r(&t, &local) == nullptr || asctime_r(&local, text) == nullptr) {
        return "?\n";
    }
    return text;
}

bool AppendListingEntry(net::MessageWriter& w, int32_t type, qint64 size, bool locked,
                        const std::string& name, const std::string& modified) {
    if (w.length() + 12 + 8 + static_cast<int>(name.size() + modified.size()) >
        net::kMaxMessageLength)
        return false;
    w.Int(type).Int(static_cast<int32_t>(std::clamp<qint64>(size, 0, 0x7fffffff)));
    w.Int(locked ? 1 : 0).Str(name).Str(modified);
    return true;
}

}  // namespace localnet
