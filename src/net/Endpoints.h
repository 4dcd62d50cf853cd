#pragma once

// Where the three servers are reached. The ports are the protocol's; tests and
// the local network server use others.

#include <netinet/in.h>

#include <cstdint>
#include <functional>
#include <string>

#ifndef PALINDOR_DIRECTORY_HOST
#define PALINDOR_DIRECTORY_HOST "localhost"
#endif

namespace net {

inline constexpr uint16_t kDirectoryPort = 7000;
inline constexpr uint16_t kNetworkPort = 9257;
inline constexpr uint16_t kFilePort = 9357;

struct Endpoints {
    std::string directoryHost = PALINDOR_DIRECTORY_HOST;
    uint16_t directoryPort = kDirectoryPort;
    uint16_t networkPort = kNetworkPort;
    uint16_t filePort = kFilePort;
    // Resolves a host name to the IPv4 address to connect to, port included;
    // may block for as long as it likes (the connection gives up on it
    // without waiting). Empty: the system's resolver. Tests put a resolver
    // here that blocks, or one that hands back an address that never answers.
    std::function<bool(const std::string& host, uint16_t port, sockaddr_in& out)> resolve;
};

}  // namespace net
