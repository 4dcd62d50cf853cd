// The document stores of the local network through the raw protocol: the
// demo stores, views with and without a folder's password, the owner-only
// changes with each refusal's cause, uploads with their limits, cancels and
// replacements, and downloads.

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include "TestClient.h"
#include "server/documents/DocumentsService.h"
#include "support/qt/LocalNetworkFixture.h"

namespace servertest {
namespace {

using localnet::DocumentsService;
using net::Primary;
using net::Secondary;
namespace ds = net::documentstore;

struct Entry {
    int32_t type = 0, size = 0, locked = 0;
    std::string name, modified;
};
struct Listing {
    int32_t code = -1;  // 7, or the refusal's code
    std::string reason;
    int32_t target = -1, locked = -1;
    std::string owner, path;
    std::vector<Entry> entries;
    std::vector<std::string> Names() const {
        std::vector<std::string> out;
        for (const Entry& e : entries) out.push_back(e.name);
        return out;
    }
};

class DocumentsServiceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        server.Options().seedDemo = true;
        server.Options().documentsMaxFiles = 8;
        server.Options().documentsMaxFileBytes = 2 * 1024 * 1024;
        server.Options().documentsMaxSpaceBytes = 3 * 1024 * 1024;
        ASSERT_TRUE(server.Start());
        ASSERT_TRUE(alice.Login(server.FilePort(), "1234567", "alice", "alicepass"));
        ASSERT_TRUE(bob.Login(server.FilePort(), "1234567", "bob", "bobpass"));
    }

    DocumentsService& Service() {
        for (const auto& s : server.Network().AllServices()) {
            if (auto* d = dynamic_cast<DocumentsService*>(s.get())) return *d;
        }
        std::abort();
    }

    Listing Answer(TestClient& c) {
        Listing l;
        auto m = c.Receive();
        if (!m) return l;
        EXPECT_EQ(m->header.nDescPrimary, +Primary::DocumentStore);
        EXPECT_EQ(m->header.nDescSecondary, +Secondary::Response);
        l.code = m->code;
        auto f = m->Reader();
        if (l.code != ds::kListing) {
            EXPECT_TRUE(f.Str(1, 512, l.reason));
            return l;
        }
        EXPECT_TRUE(f.Int(0, 1, l.target) && f.Str(1, 32, l.owner) && f.Str(1, 120, l.path) &&
                    f.Int(0, 1, l.locked));
        while (!f.AtEnd()) {
            Entry e;
            EXPECT_TRUE(f.Int(0, 2, e.type) && f.Int(-1, -1, e.size) && f.Int(0, 1, e.locked) &&
                        f.Str(1, 50, e.name) && f.Str(1, 100, e.modified));
            l.entries.push_back(e);
        }
        return l;
    }

    Listing View(TestClient& c, const std::string& owner, const std::string& path,
                 std::optional<std::string> password = std::nullopt, int32_t target = 0) {
        net::MessageWriter w(ds::kFolderRequest);
        w.Str(owner).Str(path).Int(ds::kViewFolder).Int(target).Int(0);
        if (password) w.Str(*password);
        EXPECT_TRUE(c.Send(w, Primary::DocumentStore));
        return Answer(c);
    }
    Listing Folder(TestClient& c, const std::string& owner, const std::string& name, int32_t op,
                   std::optional<std::string> extra = std::nullopt) {
        net::MessageWriter w(ds::kFolderRequest);
        w.Str(owner).Str(name).Int(op);
        if (extra) w.Str(*extra);
        EXPECT_TRUE(c.Send(w, Primary::DocumentStore));
        return Answer(c);
    }
    Listing File(TestClient& c, const std::string& owner, const std::string& path, int32_t op,
                 const std::string& name, std::optional<std::string> extra = std::nullopt) {
        net::MessageWriter w(ds::kFileRequest);
        w.Str(owner).Str(path).Int(op).Str(name);
        if (extra) w.Str(*extra);
        EXPECT_TRUE(c.Send(w, Primary::DocumentStore));
        return Answer(c);
    }

    // The upload's first answer: the go-ahead (code 5) or a refusal's code.
    int32_t StartUpload(TestClient& c, int32_t size, const std::string& path,
                        const std::string& name) {
        net::MessageWriter w(ds::kDocumentUpload);
        w.Int(size).Str(path).Str(name);
        EXPECT_TRUE(c.Send(w, Primary::Upload));
        auto m = c.Receive();
        return m ? m->code : -1;
    }
    void Chunks(TestClient& c, const std::string& content) {
        for (size_t at = 0; at < content.size(); at += 4096) {
            const std::string chunk = content.substr(at, 4096);
            net::MessageWriter cw(net::upload::kChunk);
            cw.Int(0).Raw(chunk.data(), static_cast<int>(chunk.size()));
            ASSERT_TRUE(c.Send(cw, Primary::Upload, Secondary::Response));
        }
    }
    bool Upload(TestClient& c, const std::string& path, const std::string& name,
                const std::string& content) {
        if (StartUpload(c, static_cast<int32_t>(content.size()), path, name) !=
            net::upload::kGoAhead)
            return false;
        Chunks(c, content);
        // The file is in the index once the last chunk was taken.
        return testsupport::SpinUntil([&] { return Size(path, name) == int64_t(content.size()); });
    }
    int64_t Size(const std::string& path, const std::string& name) {
        const auto* store = Service().StoreOf("1234567", "alice");
        if (store == nullptr) return -1;
        const std::map<QString, DocumentsService::File>* files = &store->files;
        if (path != "/") {
            const auto folder = store->folders.find(QString::fromStdString(path));
            if (folder == store->folders.end()) return -1;
            files = &folder->second.files;
        }
        const auto it = files->find(QString::fromStdString(name));
        return it == files->end() ? -1 : it->second.size;
    }

    // A whole download, or the refusal's code (as a negative number) and details.
    std::pair<std::string, std::string> Download(TestClient& c, const std::string& owner,
                                                 const std::string& path, const std::string& name,
                                                 std::optional<std::string> password) {
        net::MessageWriter w(ds::kDocumentDownload);
        w.Str(owner).Str(path).Str(name);
        if (password) w.Str(*password);
        EXPECT_TRUE(c.Send(w, Primary::Download));
        std::string content;
        int32_t total = -1;
        while (total < 0 || static_cast<int32_t>(content.size()) < total) {
            auto m = c.Receive();
            if (!m) return {"<nothing>", ""};
            auto f = m->Reader();
            int32_t slot = -1;
            EXPECT_TRUE(f.Int(0, 24, slot));
            EXPECT_EQ(slot, 1);
            if (m->code == net::download::kRefused) {
                std::string details;
                EXPECT_TRUE(f.Str(1, 512, details));
                return {"<refused>", details};
            }
            if (m->code == net::download::kAccountNotFound) return {"<no account>", ""};
            if (total < 0) {
                EXPECT_TRUE(f.Int(0, -1, total));
            }
            content.append(reinterpret_cast<const char*>(f.Rest()), size_t(f.RestSize()));
        }
        return {content, ""};
    }

    // Every file under alice's part of the data folder.
    QStringList FilesOnDisk() {
        QStringList out;
        QDirIterator it(QString::fromStdString(server.DataDir()) + "/networks/1234567/documents",
                        QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) out << it.next().section("/documents/", 1);
        out.sort();
        return out;
    }

    testsupport::LocalNetworkFixture server;
    TestClient alice;
    TestClient bob;
};

TEST_F(DocumentsServiceTest, TheDemoStoresAreListedFoldersFirstWithSizesAndLocks) {
    const Listing root = View(bob, "alice", "/");
    ASSERT_EQ(root.code, ds::kListing);
    EXPECT_EQ(root.target, 0);
    EXPECT_EQ(root.owner, "alice");
    EXPECT_EQ(root.path, "/");
    EXPECT_EQ(root.locked, 0);
    EXPECT_EQ(root.Names(), (std::vector<std::string>{"Private", "Projects", "welcome.txt"}));
    EXPECT_EQ(root.entries[0].type, 1);
    EXPECT_EQ(root.entries[0].locked, 1);
    EXPECT_EQ(root.entries[1].locked, 0);
    // A folder's size is the sum of its files.
    EXPECT_GT(root.entries[1].size, 1500000);
    EXPECT_EQ(root.entries[2].type, 2);
    // "Tue Mar  4 09:15:02 2025\n"
    const std::string& m = root.entries[2].modified;
    ASSERT_EQ(m.size(), 25u);
    EXPECT_EQ(m.back(), '\n');
    EXPECT_EQ(m[3], ' ');
    EXPECT_EQ(m[13], ':');

    const Listing projects = View(bob, "alice", "Projects");
    EXPECT_EQ(projects.Names(), (std::vector<std::string>{"plan.txt", "prototype.bin"}));
    EXPECT_EQ(View(alice, "bob", "/").Names(), (std::vector<std::string>{"notes.txt"}));
    // The owner's name as it was created, whatever the request's case.
    EXPECT_EQ(View(bob, "ALICE", "/").owner, "alice");
}

TEST_F(DocumentsServiceTest, ViewRefusals) {
    EXPECT_EQ(View(bob, "nobody", "/").code, ds::kViewRefused);
    EXPECT_EQ(View(bob, "alice", "Missing").code, ds::kViewRefused);
    // A locked folder: someone else needs its password; an empty one is none.
    const Listing none = View(bob, "alice", "Private");
    EXPECT_EQ(none.code, ds::kViewRefused);
    EXPECT_FALSE(none.reason.empty());
    EXPECT_EQ(View(bob, "alice", "Private", "").code, ds::kViewRefused);
    EXPECT_EQ(View(bob, "alice", "Private", "wrong").code, ds::kViewRefused);
    const Listing right = View(bob, "alice", "Private", "secret");
    ASSERT_EQ(right.code, ds::kListing);
    EXPECT_EQ(right.locked, 1);
    EXPECT_EQ(right.Names(), (std::vector<std::string>{"diary.txt"}));
    // The owner needs none.
    EXPECT_EQ(View(alice, "alice", "Private", std::nullopt, 1).code, ds::kListing);
    EXPECT_EQ(View(alice, "alice", "Private", std::nullopt, 1).target, 1);
}

TEST_F(DocumentsServiceTest, FolderChangesAreTheOwnersWithEachCause) {
    // Someone else's store: the operation's own refusal.
    const Listing foreign = Folder(bob, "alice", "Mine", ds::kCreateFolder);
    EXPECT_EQ(foreign.code, ds::kCreateRefused);
    EXPECT_EQ(foreign.reason, "You can only change your own documents");
    EXPECT_EQ(Folder(bob, "alice", "Projects", ds::kDeleteFolder).code, ds::kDeleteFolderRefused);

    const Listing created = Folder(alice, "alice", "Drafts", ds::kCreateFolder);
    ASSERT_EQ(created.code, ds::kListing);
    EXPECT_EQ(created.target, 1);
    EXPECT_EQ(created.path, "/");
    EXPECT_EQ(created.Names(),
              (std::vector<std::string>{"Drafts", "Private", "Projects", "welcome.txt"}));
    EXPECT_EQ(Folder(alice, "alice", "Drafts", ds::kCreateFolder).code, ds::kCreateRefused);
    EXPECT_EQ(Folder(alice, "alice", "_bad", ds::kCreateFolder).code, ds::kCreateRefused);
    EXPECT_EQ(Folder(alice, "alice", "../up", ds::kCreateFolder).code, ds::kCreateRefused);
    EXPECT_EQ(Folder(alice, "alice", std::string(50, 'a'), ds::kCreateFolder).code,
              ds::kCreateRefused);

    EXPECT_EQ(Folder(alice, "alice", "Drafts", ds::kLockFolder, "").code, ds::kLockRefused);
    EXPECT_EQ(Folder(alice, "alice", "Drafts", ds::kLockFolder, std::string(16, 'p')).code,
              ds::kLockRefused);
    EXPECT_EQ(Folder(alice, "alice", "Missing", ds::kLockFolder, "pw").code, ds::kLockRefused);
    EXPECT_EQ(Folder(alice, "alice", "Drafts", ds::kUnlockFolder).code, ds::kUnlockRefused);
    const Listing locked = Folder(alice, "alice", "Drafts", ds::kLockFolder, "pw");
    ASSERT_EQ(locked.code, ds::kListing);
    EXPECT_EQ(locked.entries[0].locked, 1);
    EXPECT_EQ(Folder(alice, "alice", "Drafts", ds::kLockFolder, "pw").code, ds::kLockRefused);
    EXPECT_EQ(View(bob, "alice", "Drafts", "pw").code, ds::kListing);
    EXPECT_EQ(Folder(alice, "alice", "Drafts", ds::kUnlockFolder).code, ds::kListing);
    EXPECT_EQ(View(bob, "alice", "Drafts").code, ds::kListing);

    EXPECT_EQ(Folder(alice, "alice", "Drafts", ds::kRenameFolder, "Projects").code,
              ds::kRenameFolderRefused);
    EXPECT_EQ(Folder(alice, "alice", "Drafts", ds::kRenameFolder, "a b").code,
              ds::kRenameFolderRefused);
    EXPECT_EQ(Folder(alice, "alice", "Nowhere", ds::kRenameFolder, "Else").code,
              ds::kRenameFolderRefused);
    // Renaming a folder takes its files along.
    ASSERT_EQ(Folder(alice, "alice", "Projects", ds::kRenameFolder, "Work").code, ds::kListing);
    EXPECT_EQ(View(bob, "alice", "Work").Names(),
              (std::vector<std::string>{"plan.txt", "prototype.bin"}));
    EXPECT_EQ(Download(bob, "alice", "Work", "plan.txt", std::nullopt).first.substr(0, 3), "1. ");

    EXPECT_EQ(Folder(alice, "alice", "Nowhere", ds::kDeleteFolder).code, ds::kDeleteFolderRefused);
    ASSERT_EQ(Folder(alice, "alice", "Work", ds::kDeleteFolder).code, ds::kListing);
    EXPECT_FALSE(FilesOnDisk().join(",").contains("prototype.bin"));

    // Everything survives a restart.
    ASSERT_TRUE(server.Restart());
    TestClient again;
    ASSERT_TRUE(again.Login(server.FilePort(), "1234567", "bob", "bobpass"));
    EXPECT_EQ(View(again, "alice", "/").Names(),
              (std::vector<std::string>{"Drafts", "Private", "welcome.txt"}));
    EXPECT_EQ(View(again, "alice", "Private").code, ds::kViewRefused);
    EXPECT_EQ(View(again, "alice", "Private", "secret").code, ds::kListing);
}

TEST_F(DocumentsServiceTest, FileChangesAnswerWithTheCurrentFolder) {
    EXPECT_EQ(File(bob, "alice", "/", ds::kDeleteFile, "welcome.txt").code, ds::kDeleteFileRefused);
    EXPECT_EQ(File(alice, "alice", "/", ds::kMoveFile, "welcome.txt", "Nowhere").code,
              ds::kMoveRefused);
    EXPECT_EQ(File(alice, "alice", "/", ds::kMoveFile, "missing.txt", "Projects").code,
              ds::kMoveRefused);
    EXPECT_EQ(File(alice, "alice", "/", ds::kMoveFile, "welcome.txt", "/").code, ds::kMoveRefused);
    const Listing moved = File(alice, "alice", "/", ds::kMoveFile, "welcome.txt", "Projects");
    ASSERT_EQ(moved.code, ds::kListing);
    EXPECT_EQ(moved.path, "/");
    EXPECT_EQ(moved.Names(), (std::vector<std::string>{"Private", "Projects"}));
    EXPECT_EQ(View(bob, "alice", "Projects").Names(),
              (std::vector<std::string>{"plan.txt", "prototype.bin", "welcome.txt"}));

    EXPECT_EQ(File(alice, "alice", "Projects", ds::kRenameFile, "plan.txt", "welcome.txt").code,
              ds::kRenameFileRefused);
    EXPECT_EQ(File(alice, "alice", "Projects", ds::kRenameFile, "plan.txt", "-x").code,
              ds::kRenameFileRefused);
    const Listing renamed =
        File(alice, "alice", "Projects", ds::kRenameFile, "plan.txt", "plan-v2.txt");
    ASSERT_EQ(renamed.code, ds::kListing);
    EXPECT_EQ(renamed.path, "Projects");
    EXPECT_EQ(renamed.Names(),
              (std::vector<std::string>{"plan-v2.txt", "prototype.bin", "welcome.txt"}));
    EXPECT_EQ(Download(bob, "alice", "Projects", "plan-v2.txt", std::nullopt).first.substr(0, 3),
              "1. ");

    EXPECT_EQ(File(alice, "alice", "Projects", ds::kDeleteFile, "missing").code,
              ds::kDeleteFileRefused);
    const Listing deleted = File(alice, "alice", "Projects", ds::kDeleteFile, "prototype.bin");
    ASSERT_EQ(deleted.code, ds::kListing);
    EXPECT_EQ(deleted.Names(), (std::vector<std::string>{"plan-v2.txt", "welcome.txt"}));
    EXPECT_FALSE(FilesOnDisk().join(",").contains("prototype.bin"));
}

TEST_F(DocumentsServiceTest, UploadsWithTheirLimits) {
    EXPECT_EQ(StartUpload(alice, 10, "Nowhere", "a.txt"), net::upload::kRefusedInvalidDirectory);
    EXPECT_EQ(StartUpload(alice, 10, "/", "_a.txt"), net::upload::kRefusedInvalidFilename);
    EXPECT_EQ(StartUpload(alice, 10, "/", "../a.txt"), net::upload::kRefusedInvalidFilename);
    EXPECT_EQ(StartUpload(alice, 2 * 1024 * 1024 + 1, "/", "big.bin"),
              net::upload::kRefusedFileTooLarge);
    // 1.5 MiB are used; another 1.6 MiB would pass the 3 MiB.
    EXPECT_EQ(StartUpload(alice, 1677722, "/", "more.bin"), net::upload::kRefusedNoSpace);

    ASSERT_TRUE(Upload(alice, "Projects", "notes.md", "first version"));
    EXPECT_EQ(Download(bob, "alice", "Projects", "notes.md", std::nullopt).first, "first version");
    // A file of the same name is replaced, and counts once.
    ASSERT_TRUE(Upload(alice, "Projects", "notes.md", "second, longer version"));
    EXPECT_EQ(Download(bob, "alice", "Projects", "notes.md", std::nullopt).first,
              "second, longer version");
    // Five files now; three more reach the limit of eight.
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) ASSERT_TRUE(Upload(alice, "/", name, "x"));
    EXPECT_EQ(StartUpload(alice, 1, "/", "d.txt"), net::upload::kRefusedFilesQuota);
    // Replacing one is still allowed at the limit.
    EXPECT_TRUE(Upload(alice, "/", "a.txt", "xy"));
    // Someone else's upload goes to their own store.
    ASSERT_TRUE(StartUpload(bob, 2, "/", "bobs.txt") == net::upload::kGoAhead);
    Chunks(bob, "hi");
    ASSERT_TRUE(testsupport::SpinUntil([&] {
        const auto* s = Service().StoreOf("1234567", "bob");
        return s != nullptr && s->files.count("bobs.txt") == 1;
    }));
}

TEST_F(DocumentsServiceTest, ACancelledUploadLeavesNothingAndTheOldFileStays) {
    const QStringList before = FilesOnDisk();
    const std::string big(20000, 'z');
    ASSERT_EQ(StartUpload(alice, int32_t(big.size()), "/", "welcome.txt"), net::upload::kGoAhead);
    Chunks(alice, big.substr(0, 8192));
    net::MessageWriter cancel(net::control::kCancelTransfer);
    cancel.Int(0);
    ASSERT_TRUE(alice.Send(cancel, Primary::Control));
    // Whatever comes after the cancel is not written anywhere.
    Chunks(alice, big.substr(8192));
    View(alice, "alice", "/");  // a round trip: everything before it was handled
    EXPECT_EQ(FilesOnDisk(), before);
    EXPECT_EQ(Download(bob, "alice", "/", "welcome.txt", std::nullopt).first.substr(0, 7),
              "Welcome");
}

TEST_F(DocumentsServiceTest, Downloads) {
    EXPECT_EQ(Download(bob, "nobody", "/", "x", std::nullopt).first, "<no account>");
    auto missing = Download(bob, "alice", "/", "missing.txt", std::nullopt);
    EXPECT_EQ(missing.first, "<refused>");
    EXPECT_FALSE(missing.second.empty());
    EXPECT_EQ(Download(bob, "alice", "Private", "diary.txt", std::nullopt).first, "<refused>");
    EXPECT_EQ(Download(bob, "alice", "Private", "diary.txt", "").first, "<refused>");
    EXPECT_EQ(Download(bob, "alice", "Private", "diary.txt", "nope").first, "<refused>");
    EXPECT_EQ(Download(bob, "alice", "Private", "diary.txt", "secret").first, "Dear diary,\n");
    EXPECT_EQ(Download(alice, "alice", "Private", "diary.txt", "").first, "Dear diary,\n");
    const std::string big = Download(bob, "alice", "Projects", "prototype.bin", "").first;
    EXPECT_EQ(big.size(), 1536u * 1024u);
}

TEST_F(DocumentsServiceTest, TheLargestListingStillFitsOneMessage) {
    DocumentsService::Limits roomy;
    roomy.maxFiles = 1000;
    Service().SetLimits(roomy);
    for (int i = 0; i < 400; ++i) {
        ASSERT_TRUE(Service().PutFile("1234567", "bob", "/",
                                      QString("%1").arg(i, 3, 10, QChar('0')) +
                                          QString(47, 'n'),
                                      "x"));
    }
    // A fresh connection: the others sat idle while the store filled.
    TestClient carol;
    ASSERT_TRUE(carol.Login(server.FilePort(), "1234567", "carol", "carolpass"));
    const Listing l = View(carol, "bob", "/");
    ASSERT_EQ(l.code, ds::kListing);
    EXPECT_GT(l.entries.size(), 250u);
    EXPECT_LT(l.entries.size(), 401u);
}

}  // namespace
}  // namespace servertest
