#pragma once

// Helpers for the program's binary local files: 4-byte little-endian
// integers and length-prefixed texts, read and written through stdio.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace net {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

inline bool ReadU32(std::FILE* f, uint32_t& out) {
    unsigned char b[4];
    if (std::fread(b, 1, 4, f) != 4) return false;
    out = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    return true;
}

inline void PutU32(std::string& out, uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(char((v >> shift) & 0xff));
}

}  // namespace net
