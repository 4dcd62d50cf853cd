#include "documents/MsgDocumentStore.h"

#include "net/Connection.h"
#include "net/Protocol.h"

namespace documents {

namespace ds = net::documentstore;

DocumentStoreEvent DecodeDocumentStore(const net::MessageBuffer& buffer,
                                       const net::bufHeader& header) {
    DocumentStoreEvent e;
    if (header.nDescSecondary != +net::Secondary::Response) return e;
    net::MessageReader reader(buffer, header);
    if (!reader.HasCode()) return e;
    const int32_t code = reader.Code();
    if (code == ds::kListing) {
        CDirectoryView& v = e.view;
        if (!reader.Int(0, 1, v.target) || !reader.Str(1, kMaxOwner, v.owner) ||
            !reader.Str(1, kMaxPath, v.path) || !reader.Int(0, 1, v.locked)) {
            return {};
        }
        DecodeEntries(reader, v.entries);
        e.kind = DocumentStoreEvent::Kind::Listing;
        e.code = code;
        return e;
    }
    if (RefusalText(code) == nullptr) return e;
    if (!reader.Str(1, kMaxReason, e.reason)) return {};
    e.kind = DocumentStoreEvent::Kind::Refused;
    e.code = code;
    return e;
}

const char* RefusalText(int32_t code) {
    switch (code) {
        case ds::kCreateRefused:
            return "Unable to create directory";
        case ds::kLockRefused:
            return "Unable to lock directory";
        case ds::kUnlockRefused:
            return "Unable to unlock directory";
        case ds::kViewRefused:
            return "Unable to view directory";
        case ds::kRenameFolderRefused:
            return "Unable to rename directory";
        case ds::kDeleteFolderRefused:
            return "Unable to delete directory";
        case ds::kMoveRefused:
            return "Unable to move file";
        case ds::kRenameFileRefused:
            return "Unable to rename file";
        case ds::kDeleteFileRefused:
            return "Unable to delete file";
        default:
            return nullptr;
    }
}

namespace {

net::MessageWriter Folder(const std::string& owner, const std::string& name, int32_t op) {
    net::MessageWriter w(ds::kFolderRequest);
    w.Str(owner).Str(name).Int(op);
    return w;
}

net::MessageWriter File(const std::string& owner, const std::string& path, int32_t op,
                        const std::string& name) {
    net::MessageWriter w(ds::kFileRequest);
    w.Str(owner).Str(path).Int(op).Str(name);
    return w;
}

bool Send(net::Connection& c, net::MessageWriter& w) {
    return c.Send(w, net::Primary::DocumentStore);
}

}  // namespace

bool SendCreateFolder(net::Connection& c, const std::string& owner, const std::string& name) {
    auto w = Folder(owner, name, ds::kCreateFolder);
    return Send(c, w);
}

bool SendLockFolder(net::Connection& c, const std::string& owner, const std::string& name,
                    const std::string& password) {
    auto w = Folder(owner, name, ds::kLockFolder);
    w.Str(password);
    return Send(c, w);
}

bool SendUnlockFolder(net::Connection& c, const std::string& owner, const std::string& name) {
    auto w = Folder(owner, name, ds::kUnlockFolder);
    return Send(c, w);
}

bool SendViewFolder(net::Connection& c, const std::string& owner, const std::string& path,
                    int32_t target, bool refresh, const std::optional<std::string>& password) {
    auto w = Folder(owner, path, ds::kViewFolder);
    w.Int(target).Int(refresh ? 1 : 0);
    if (password && !password->empty()) w.Str(*password);
    return Send(c, w);
}

bool SendRenameFolder(net::Connection& c, const std::string& owner, const std::string& name,
                      const std::string& newName) {
    auto w = Folder(owner, name, ds::kRenameFolder);
    w.Str(newName);
    return Send(c, w);
}

bool SendDeleteFolder(net::Connection& c, const std::string& owner, const std::string& name) {
    auto w = Folder(owner, name, ds::kDeleteFolder);
    return Send(c, w);
}

bool SendMoveFile(net::Connection& c, const std::string& owner, const std::string& path,
                  const std::string& name, const std::string& destination) {
    auto w = File(owner, path, ds::kMoveFile, name);
    w.Str(destination);
    return Send(c, w);
}

bool SendRenameFile(net::Connection& c, const std::string& owner, const std::string& path,
                    const std::string& name, const std::string& newName) {
    auto w = File(owner, path, ds::kRenameFile, name);
    w.Str(newName);
    return Send(c, w);
}

bool SendDeleteFile(net::Connection& c, const std::string& owner, const std::string& path,
                    const std::string& name) {
    auto w = File(owner, path, ds::kDeleteFile, name);
    return Send(c, w);
}

}  // namespace documents
