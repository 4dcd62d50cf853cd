// The history listing's decoder on arbitrary bytes: the input is one
// response's fields after its 36-byte header (code first). Nothing may
// crash or read past the message; what is taken keeps to its ranges, and
// the paths the window would ask for next stay within a request's limit.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "documents/api/DirectoryListing.h"
#include "history/HistoryListing.h"
#include "net/MessageBuffer.h"
#include "net/Protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > static_cast<size_t>(net::kMaxMessageLength - net::kHeaderSize)) return 0;
    net::MessageBuffer buffer;
    std::memcpy(buffer.data + net::kHeaderSize, data, size);
    net::bufHeader header{};
    header.nDescPrimary = +net::Primary::Session;
    header.nDescSecondary = +net::Secondary::Response;
    header.nMsgLength = static_cast<int32_t>(net::kHeaderSize + size);
    net::MessageReader reader(buffer, header);
    if (!reader.HasCode() || reader.Code() != net::session::kHistoryReady) return 0;
    history::CHistoryListing l;
    const int step = history::DecodeHistoryListing(reader, l);
    if (step < -1 || step > 2) std::abort();
    if (step == 0 || step == 1) return 0;
    if (l.path.empty() || l.path.size() > 200 || l.sessionId.size() != 6) std::abort();
    for (const auto& e : l.entries) {
        if (e.type < 0 || e.type > 2 || e.name.empty() || e.name.size() > 50 ||
            (e.locked != 0 && e.locked != 1))
            std::abort();
        if (history::ChildPath(l.path, e.name).size() > 200) std::abort();
    }
    const std::string up = history::ParentPath(l.path);
    // Up is the top or a shorter start of the path shown.
    if (up != "/" && (up.empty() || up.size() >= l.path.size() ||
                      l.path.compare(0, up.size(), up) != 0))
        std::abort();
    if (documents::SummaryText(l.entries).size() > 64) std::abort();
    return 0;
}
