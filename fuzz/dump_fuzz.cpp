// Feeds arbitrary bytes to zorvic-dump's decoder, in pieces whose sizes the
// input chooses, and formats every message with its fields: any capture must
// give lines or a reason, never a crash or a hang.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Dump.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    zdump::StreamDecoder decoder;
    size_t total = 0;
    const auto onMessage = [&](const zdump::Message& m) {
        total += zdump::FormatLine(m).size();
        for (const std::string& line : zdump::DescribeFields(m.header.nDescPrimary, m.header.nDescSecondary, m.payload))
            total += line.size();
    };
    size_t at = 0;
    while (at < size) {
        const size_t n = std::min<size_t>(size - at, 1 + bytes[at] % 97);
        if (!decoder.Feed(bytes + at, n, onMessage)) break;
        at += n;
    }
    if (decoder.InsideMessage()) total += decoder.TruncationText().size();

    // The payload of a message is also what a field decoder sees on its own,
    // whatever header it came with.
    if (size >= 2) {
        const std::vector<uint8_t> payload(bytes + 2, bytes + size);
        for (const std::string& line : zdump::DescribeFields(bytes[0] % 16, bytes[1] % 3, payload)) total += line.size();
    }
    std::vector<uint8_t> out;
    std::string error;
    zdump::ParseHex(std::string_view(reinterpret_cast<const char*>(bytes), size), out, error);
    (void)total;
    return 0;
}
