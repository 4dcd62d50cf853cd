#include "history/HistoryListing.h"

#include <cstdio>

#include "net/Protocol.h"

namespace history {

int DecodeHistoryListing(net::MessageReader& reader, CHistoryListing& out) {
    if (!reader.Str(1, kMaxPath, out.path)) return 0;
    if (!reader.Str(kIdLength, kIdLength, out.sessionId)) return 1;
    out.entries.clear();
    return documents::DecodeEntries(reader, out.entries) ? -1 : 2;
}

std::string ChildPath(const std::string& current, const std::string& name) {
    std::string path;
    if (current == kTop) {
        path = name;
    } else {
        char text[kMaxPath * 2 + 2];
        std::snprintf(text, sizeof text, "%s/%s", current.c_str(), name.c_str());
        path = text;
        // A name with a NUL or a path beyond the buffer would be cut short.
        if (path.size() != current.size() + 1 + name.size()) return {};
    }
    if (path.empty() || path.size() > static_cast<size_t>(kMaxPath)) return {};
    return path;
}

std::string ParentPath(const std::string& current) {
    const size_t n = current.size();
    for (size_t p = n; p-- > 0;) {
        if (current[p] != '/') continue;
        if (p == 0 || p == n - 1 || current[p - 1] == '/' || current[p + 1] == '/') continue;
        return current.substr(0, p);
    }
    return kTop;
}

std::unique_ptr<net::MessageBuffer> BuildGetHistory(const std::string& sessionId,
                                                    const std::string& path) {
    net::MessageWriter w(net::session::kGetHistory);
    w.Str(sessionId).Str(path);
    return w.Finish(net::Primary::Session);
}

}  // namespace history
