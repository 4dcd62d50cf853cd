#pragma once

// The history listing of a session and the paths the history window walks:
// the decoding of the listing response, the folder paths asked for below
// and above the one shown, and the request that asks for a folder. Plain
// C++ on the protocol core; the entries are those of every folder listing
// (documents/api/DirectoryListing.h).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "documents/api/DirectoryListing.h"
#include "net/MessageBuffer.h"

namespace history {

// The transfer that brings a log file: its slot, its download request code
// (fields: session id, folder path, file name) and the one local file it
// always lands in, whatever the server calls it.
inline constexpr int kHistorySlot = 5;
inline constexpr int32_t kHistoryDownloadCode = 2;
inline constexpr char kLocalFolder[] = "files/remote/sessionhistory";
inline constexpr char kLocalFile[] = "files/remote/sessionhistory/sessionhistory";

inline constexpr char kTop[] = "/";
inline constexpr int32_t kMaxPath = 200;
inline constexpr int32_t kIdLength = 6;

struct CHistoryListing {
    std::string path;
    std::string sessionId;
    std::vector<documents::CDocumentEntry> entries;
};

// Decodes the fields of the listing after its code. Returns -1 when the
// whole message was read; 0 (path) or 1 (session id) when the header failed
// and nothing is to be shown; 2 when an entry failed, the entries before it
// kept.
int DecodeHistoryListing(net::MessageReader& reader, CHistoryListing& out);

// The folder below: its name at the top, "%s/%s" further down. Empty when
// that path would be longer than a request may carry.
std::string ChildPath(const std::string& current, const std::string& name);
// The folder above: the path cut at its last "/" (one that is neither the
// first nor the last character and has no "/" beside it), or the top.
std::string ParentPath(const std::string& current);

// Get history: the session id and the folder path.
std::unique_ptr<net::MessageBuffer> BuildGetHistory(const std::string& sessionId,
                                                    const std::string& path);

}  // namespace history
