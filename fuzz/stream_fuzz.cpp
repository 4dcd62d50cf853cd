// Feeds arbitrary bytes to the receive path exactly as a network thread does:
// at most the rest of the current header or message per read, ParseHeader
// after each, fields read from every complete message.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "net/MessageBuffer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    net::MessageBuffer buf;
    size_t at = 0;
    while (at < size) {
        const int want = buf.done < net::kHeaderSize ? net::kHeaderSize - buf.done : buf.remaining;
        if (want <= 0) return 0;
        // Vary the read size with the input so partial reads are covered too.
        size_t n = std::min<size_t>(static_cast<size_t>(want), size - at);
        n = std::min<size_t>(n, 1 + bytes[at] % 64 + (bytes[at] & 0x80 ? 4096 : 0));
        std::memcpy(buf.data + buf.done, bytes + at, n);
        at += n;
        buf.done += static_cast<int32_t>(n);
        net::bufHeader header;
        const int status = buf.ParseHeader(header);
        if (status == net::kParseBad) return 0;
        if (status == net::kParseMore) {
            if (header.nMsgLength > 0 && buf.done >= net::kHeaderSize) buf.remaining = header.nMsgLength - buf.done;
            continue;
        }
        net::MessageReader reader(buf, header);
        int32_t value;
        std::string text;
        while (!reader.AtEnd()) {
            if (!reader.Int(-1, -1, value)) break;
            if (!reader.Str(0, 512, text)) break;
        }
        buf.Reset();
    }
    return 0;
}
