#pragma once

// The shared step of the routing fuzzers: one input becomes one complete
// message on one of a client's connections, routed as if it had arrived.
// The first three bytes choose the connection and the descriptors; the rest
// is the payload from the message code on.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "net/Client.h"
#include "net/Families.h"

namespace fuzzing {

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
