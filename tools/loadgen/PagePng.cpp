#include "PagePng.h"

#include <algorithm>
#include <array>

namespace loadgen {

namespace {

constexpr uint32_t kWidth = 634;
constexpr uint32_t kHeight = 400;
constexpr uint32_t kRowBytes = (kWidth + 7) / 8;

void PutU32(std::string& out, uint32_t v) {
    out += static_cast<char>(v >> 24);
    out += static_cast<char>(v >> 16);
    out += static_cast<char>(v >> 8);
    out += static_cast<char>(v);
}

void Chunk(std::string& out, const char type[4], const std::string& data) {
    PutU32(out, static_cast<uint32_t>(data.size()));
    std::string body(type, 4);
    body += data;
    out += body;
    PutU32(out, Crc32(reinterpret_cast<const uint8_t*>(body.data()), body.size()));
}

}  // namespace

uint32_t Crc32(const uint8_t* bytes, size_t n, uint32_t crc) {
    static const auto table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (size_t i = 0; i < n; ++i) crc = table[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

uint32_t Adler32(const uint8_t* bytes, size_t n) {
    uint32_t a = 1, b = 0;
    for (size_t i = 0; i < n; ++i) {
        a = (a + bytes[i]) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

std::string MakePagePng(uint32_t seed) {
    // White page (bit 1) with a few dark strokes placed by the seed.
    std::string raw;
    raw.reserve(kHeight * (kRowBytes + 1));
    for (uint32_t y = 0; y < kHeight; ++y) {
        raw += '\0';  // filter: none
        for (uint32_t xb = 0; xb < kRowBytes; ++xb) {
            uint8_t byte = 0xFF;
            for (int bit = 0; bit < 8; ++bit) {
                const uint32_t x = xb * 8 + static_cast<uint32_t>(bit);
                const bool ink = x < kWidth && ((x + y + seed) % 97 == 0 ||
                                                (y == (seed * 7) % kHeight) ||
                                                (x == (seed * 13) % kWidth));
                if (ink) byte = static_cast<uint8_t>(byte & ~(0x80u >> bit));
            }
            raw += static_cast<char>(byte);
        }
    }
    // zlib stream of stored blocks (at most 65535 bytes each).
    std::string z = "\x78\x01";
    for (size_t at = 0; at < raw.size() || at == 0;) {
        const size_t n = std::min<size_t>(65535, raw.size() - at);
        const bool last = at + n >= raw.size();
        z += static_cast<char>(last ? 1 : 0);
        z += static_cast<char>(n & 0xFF);
        z += static_cast<char>(n >> 8);
        z += static_cast<char>(~n & 0xFF);
        z += static_cast<char>((~n >> 8) & 0xFF);
        z.append(raw, at, n);
        at += n;
        if (last) break;
    }
    PutU32(z, Adler32(reinterpret_cast<const uint8_t*>(raw.data()), raw.size()));

    std::string png = "\x89PNG\r\n\x1a\n";
    std::string header;
    PutU32(header, kWidth);
    PutU32(header, kHeight);
    header += '\x01';  // bit depth
    header += '\x00';  // greyscale
    header += '\x00';  // deflate
    header += '\x00';  // adaptive filtering
    header += '\x00';  // not interlaced
    Chunk(png, "IHDR", header);
    Chunk(png, "IDAT", z);
    Chunk(png, "IEND", "");
    return png;
}

}  // namespace loadgen
