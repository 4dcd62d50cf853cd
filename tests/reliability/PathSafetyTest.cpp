// Names a server sends reach local paths in a few places: the save name
// proposed for a document or an attachment, the folder of a contact's
// whiteboard pages, and the transfer files under the data folder. Whatever a
// server sends, none of them may lead outside the data folder.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "documents/DocumentNames.h"
#include "mailbox/ComposeFormats.h"
#include "net/DataDirectory.h"
#include "net/Transfers.h"
#include "support/TempDir.h"

namespace {

std::vector<std::string> HostileNames() {
    return {
        "..",
        ".",
        "...",
        "../../../../etc/passwd",
        "/etc/passwd",
        "//server/share",
        "a/../../b",
        "..\\..\\windows\\win.ini",
        "C:\\Windows\\x",
        std::string("a\0/../../b", 10),
        std::string("\0", 1),
        std::string(5000, 'a'),
        std::string(300, '.') + "/x",
        "name\n../../x",
        "\xc0\xae\xc0\xae/\xc0\xae\xc0\xae/x",  // over-long encodings of '.'
        "~/.bashrc",
        "$HOME/x",
        "../palindor-escaped",
        "a/../../palindor-escaped",
        "",
    };
}

// A file name that, put in a folder, names a file in that folder.
void ExpectPlainName(const std::string& name, size_t max, const std::string& from) {
    SCOPED_TRACE(testing::PrintToString(from));
    EXPECT_LE(name.size(), max);
    EXPECT_EQ(name.find('/'), std::string::npos);
    EXPECT_EQ(name.find('\\'), std::string::npos);
    EXPECT_EQ(name.find('\0'), std::string::npos);
    EXPECT_NE(name, ".");
    EXPECT_NE(name, "..");
    if (!name.empty()) {
        EXPECT_TRUE(net::IsSafePathName(name));
    }
}

// Whether `path` lies in `folder` once both are made canonical.
bool Inside(const std::string& folder, const std::string& path) {
    const auto f = std::filesystem::weakly_canonical(folder).string() + "/";
    const auto p = std::filesystem::weakly_canonical(path).string();
    return p.compare(0, f.size(), f) == 0;
}

TEST(PathSafety, ProposedSaveNamesArePlainNames) {
    for (const std::string& name : HostileNames()) {
        // The listing bounds a remote name (50 bytes) before it gets here.
        ExpectPlainName(documents::ProposedSaveName(name),
                        std::min(name.size() + 8, documents::kMaxSaveNameBytes), name);
        ExpectPlainName(mailbox::AttachmentNameFromPath(name), 49, name);
    }
    // An ordinary name comes through as it is.
    EXPECT_EQ(documents::ProposedSaveName("report.txt"), "report.txt");
    EXPECT_EQ(mailbox::AttachmentNameFromPath("dir/report.txt"), "report.txt");
}

// Whether every multi-byte sequence in `s` is whole.
bool WholeUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

TEST(PathSafety, ProposedSaveNamesFitAFileSystemKeepingTheirExtension) {
    using documents::ProposedSaveName;
    const std::string fits = std::string(251, 'a') + ".txt";
    EXPECT_EQ(ProposedSaveName(fits), fits);
    EXPECT_EQ(ProposedSaveName("b" + fits), "b" + fits.substr(0, 250) + ".txt");
    // Two-, three- and four-byte characters: cut between them, never inside.
    for (const std::string ch : {"\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80"}) {
        std::string stem;
        while (stem.size() < 400) stem += ch;
        const std::string name = ProposedSaveName(stem + ".pdf");
        SCOPED_TRACE(testing::PrintToString(ch));
        EXPECT_LE(name.size(), documents::kMaxSaveNameBytes);
        EXPECT_GT(name.size(), documents::kMaxSaveNameBytes - ch.size());
        EXPECT_TRUE(name.ends_with(".pdf")) << name;
        EXPECT_TRUE(WholeUtf8(name));
    }
    // An "extension" as long as a name cannot be kept whole; the name is cut.
    const std::string longTail = "x." + std::string(400, 'e');
    EXPECT_EQ(ProposedSaveName(longTail), longTail.substr(0, documents::kMaxSaveNameBytes));
}

TEST(PathSafety, WhiteboardFoldersOfServerNamedAccountsStayInside) {
    testsupport::TempDir dir;
    for (const std::string& name : HostileNames()) {
        SCOPED_TRACE(testing::PrintToString(name));
        const std::string page = net::RemoteNotepadPageName(name, 1);
        if (page.empty()) continue;
        EXPECT_EQ(page.rfind("files/remote/accounts/", 0), 0u) << page;
        const std::string folder = page.substr(0, page.rfind('/'));
        if (!net::CreateTransferDirectories(dir.path(), folder)) continue;
        EXPECT_TRUE(Inside(dir.path(), net::DataPath(dir.path(), page))) << page;
    }
    EXPECT_FALSE(net::RemoteNotepadPageName("bob", 1).empty());
}

TEST(PathSafety, TransferFilesNamedByServersStayInside) {
    testsupport::TempDir dir;
    for (const std::string& name : HostileNames()) {
        SCOPED_TRACE(testing::PrintToString(name));
        for (const std::string& relative :
             {"files/remote/" + name, name, "files/" + name + "/x", name + "/x"}) {
            const std::string path = net::PrepareTransferFile(dir.path(), relative);
            if (path.empty()) continue;
            EXPECT_TRUE(Inside(dir.path(), path)) << relative << " -> " << path;
        }
    }
    // Nothing was made outside: the folder's parent holds only what it held.
    const auto parent = std::filesystem::path(dir.path()).parent_path();
    EXPECT_FALSE(std::filesystem::exists(parent / "palindor-escaped"));
    EXPECT_FALSE(std::filesystem::exists(parent.parent_path() / "palindor-escaped"));
    EXPECT_FALSE(net::PrepareTransferFile(dir.path(), "files/remote/ok/file").empty());
}

}  // namespace
