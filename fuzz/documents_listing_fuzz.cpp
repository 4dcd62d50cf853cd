// The document store family's decoder on arbitrary bytes: the input is one
// response's fields after its 36-byte header (code first). Nothing may
// crash or read past the message; every entry that is taken keeps to its
// ranges, and the texts made from it are bounded.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "documents/MsgDocumentStore.h"
#include "documents/api/DirectoryListing.h"
#include "net/MessageBuffer.h"
#include "net/Protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > static_cast<size_t>(net::kMaxMessageLength - net::kHeaderSize)) return 0;
    net::MessageBuffer buffer;
    std::memcpy(buffer.data + net::kHeaderSize, data, size);
    net::bufHeader header{};
    header.nDescPrimary = +net::Primary::DocumentStore;
    header.nDescSecondary = +net::Secondary::Response;
    header.nMsgLength = static_cast<int32_t>(net::kHeaderSize + size);
    const documents::DocumentStoreEvent e = documents::DecodeDocumentStore(buffer, header);
    if (e.kind == documents::DocumentStoreEvent::Kind::Listing) {
        const auto& v = e.view;
        if (v.owner.empty() || v.owner.size() > 32 || v.path.empty() || v.path.size() > 120 ||
            (v.target != 0 && v.target != 1) || (v.locked != 0 && v.locked != 1))
            std::abort();
        for (const auto& entry : v.entries) {
            if (entry.type < 0 || entry.type > 2 || entry.name.empty() ||
                entry.name.size() > 50 || entry.modified.size() > 99 ||
                (entry.locked != 0 && entry.locked != 1) || entry.sizeText.size() > 32)
                std::abort();
        }
        if (documents::SummaryText(v.entries).size() > 64) std::abort();
    } else if (e.kind == documents::DocumentStoreEvent::Kind::Refused) {
        if (e.reason.empty() || e.reason.size() > 512 || documents::RefusalText(e.code) == nullptr)
            std::abort();
    }
    return 0;
}
