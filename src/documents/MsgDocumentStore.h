#pragma once

// The remote file system family (primary 4): the folder and file requests,
// and the responses decoded into plain values before a window acts on them.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "documents/api/DirectoryListing.h"
#include "net/MessageBuffer.h"

namespace net {
class Connection;
}

namespace documents {

// Before the first listing the owner is not known.
inline constexpr char kUnknownOwner[] = "<?>";
inline constexpr int32_t kMaxOwner = 32;
inline constexpr int32_t kMaxPath = 120;
inline constexpr int32_t kMaxReason = 512;

// What a window shows: one per window.
struct CDirectoryView {
    std::string owner = kUnknownOwner;
    std::string path = "/";
    int32_t locked = 0;
    int32_t target = 0;  // 1 Share Documents, 0 Retrieve Documents
    std::vector<CDocumentEntry> entries;

    bool AtRoot() const { return path == "/"; }
};

struct DocumentStoreEvent {
    enum class Kind { None, Listing, Refused };
    Kind kind = Kind::None;
    int32_t code = -1;   // the response code
    std::string reason;  // Refused: the server's reason
    CDirectoryView view;  // Listing
};

// Decodes the response in `buffer`. A listing whose header fails is dropped
// (Kind::None); an entry that fails ends its list. Unknown codes and
// refusals without a reason that decodes are ignored.
DocumentStoreEvent DecodeDocumentStore(const net::MessageBuffer& buffer,
                                       const net::bufHeader& header);

// The Server Response window's text of a refusal code; null for other codes.
const char* RefusalText(int32_t code);

// Requests on the file-server connection; false when nothing was queued.
bool SendCreateFolder(net::Connection& c, const std::string& owner, const std::string& name);
bool SendLockFolder(net::Connection& c, const std::string& owner, const std::string& name,
                    const std::string& password);
bool SendUnlockFolder(net::Connection& c, const std::string& owner, const std::string& name);
// The password goes only when one is given.
bool SendViewFolder(net::Connection& c, const std::string& owner, const std::string& path,
                    int32_t target, bool refresh, const std::optional<std::string>& password);
bool SendRenameFolder(net::Connection& c, const std::string& owner, const std::string& name,
                      const std::string& newName);
bool SendDeleteFolder(net::Connection& c, const std::string& owner, const std::string& name);
bool SendMoveFile(net::Connection& c, const std::string& owner, const std::string& path,
                  const std::string& name, const std::string& destination);
bool SendRenameFile(net::Connection& c, const std::string& owner, const std::string& path,
                    const std::string& name, const std::string& newName);
bool SendDeleteFile(net::Connection& c, const std::string& owner, const std::string& path,
                    const std::string& name);

}  // namespace documents
