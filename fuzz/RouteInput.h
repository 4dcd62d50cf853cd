#pragma once

// The shared step of the routing fuzzers: one input becomes one complete
// message on one of a client's connections, routed as if it had arrived.
// The first three bytes choose the connection and the descriptors; the rest
// is the payload from the message code on.

#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <string>

#include "net/Client.h"
#include "net/Families.h"

namespace fuzzing {

// The client's data and configuration live in a folder of the fuzzing
// process, removed when the run ends. A run that crashed cannot clean up, so
// each run first removes the folders of runs whose process is gone.
inline void RemoveStaleRoots(const std::filesystem::path& temp, const std::string& prefix) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(temp, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) != 0) continue;
        const std::string pid = name.substr(prefix.size());
        if (pid.empty() || pid.size() > 9 || pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        if (::kill(static_cast<pid_t>(std::stol(pid)), 0) == 0 || errno != ESRCH) continue;
        std::filesystem::remove_all(entry.path(), ec);
    }
}

// Returns false (nothing routed) for an input too short to choose.
inline bool RouteInput(net::Client& client, const uint8_t* bytes, size_t size) {
    if (size < 3) return false;
    net::Connection& connection = client.ConnectionOfKind(bytes[0] % 3);
    net::bufHeader header;
    // The second byte picks a family of the list, or (past the list) a
    // primary that no family uses.
    constexpr int32_t kOutside[] = {7, net::kPrimaryCount, -1};
    constexpr size_t kFamilyCount = std::size(net::kFamilies);
    const size_t pick = bytes[1] % (kFamilyCount + std::size(kOutside));
    header.nDescPrimary =
        pick < kFamilyCount ? +net::kFamilies[pick].primary : kOutside[pick - kFamilyCount];
    header.nDescSecondary = bytes[2] % 3;
    const size_t payload = std::min<size_t>(size - 3, net::kMaxMessageLength - net::kHeaderSize);
    header.nMsgLength = static_cast<int32_t>(net::kHeaderSize + payload);

    net::MessageBuffer& buffer = connection.ReceiveBuffer();
    std::memcpy(buffer.data + net::kHeaderSize, bytes + 3, payload);
    buffer.SetReadEnd(header.nMsgLength);
    client.router().RouteMsg(connection, header);
    buffer.Reset();
    return true;
}

// No network thread runs in a fuzzer: drops what the handlers queued in reply.
inline void DropReplies(net::Client& client) {
    for (int kind = 0; kind < 3; ++kind) client.ConnectionOfKind(kind).Queue().Clear();
}

}  // namespace fuzzing
