#pragma once

// Where the three servers are reached. The ports are the protocol's; tests and
// the local network server use others.

#include <cstdint>
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
};

}  // namespace net
