// The plain rules of the document windows: size and summary texts, the name
// checks and their order, the proposed names, the move destinations, and
// the listing decoder with its bad headers and bad entries.

#include <gtest/gtest.h>

#include <cstring>

#include "documents/DocumentNames.h"
#include "documents/MsgDocumentStore.h"
#include "documents/api/DirectoryListing.h"
#include "net/Protocol.h"

namespace documents {
namespace {

namespace ds = net::documentstore;

std::vector<CDocumentEntry> Entries(std::initializer_list<std::pair<int32_t, int32_t>> typeSize) {
    std::vector<CDocumentEntry> out;
    int i = 0;
    for (const auto& [type, size] : typeSize) {
        CDocumentEntry e;
        e.type = type;
        e.size = size;
        e.name = "e" + std::to_string(i++);
        out.push_back(e);
    }
    return out;
}

TEST(DocumentTexts, SizesAtTheThresholds) {
    EXPECT_EQ(SizeText(0), "0 B");
    EXPECT_EQ(SizeText(1023), "1023 B");
    EXPECT_EQ(SizeText(1024), "1.00 KB");
    EXPECT_EQ(SizeText(1048575), "1024.00 KB");
    EXPECT_EQ(SizeText(1048576), "1.00 MB");
    EXPECT_EQ(SizeText(1572864), "1.50 MB");
}

TEST(DocumentTexts, SummaryCountsItemsAndSumsSizes) {
    EXPECT_EQ(SummaryText({}), "0 items; 0 B");
    EXPECT_EQ(SummaryText(Entries({{2, 1023}})), "1 item; 1023 B");
    EXPECT_EQ(SummaryText(Entries({{2, 1000}, {2, 24}})), "2 items; 1.00 KB");
    EXPECT_EQ(SummaryText(Entries({{1, 1048000}, {2, 576}})), "2 items; 1.00 MB");
    // Sizes that pass the 32-bit range together are still summed.
    EXPECT_EQ(SummaryText(Entries({{2, 2147483647}, {2, 2147483647}})), "2 items; 4096.00 MB");
}

TEST(DocumentTexts, PathLabelAndModified) {
    EXPECT_EQ(PathLabel("/"), "/");
    EXPECT_EQ(PathLabel("Projects"), "/Projects");
    EXPECT_EQ(ModifiedShown("Tue Mar  4 09:15:02 2025\n"), "Tue Mar  4 09:15:02 2025");
    EXPECT_EQ(ModifiedShown("x"), "");
}

TEST(DocumentNames, NameLengthsAtTheLimits) {
    const std::string n49(49, 'a');
    const std::string n50(50, 'a');
    EXPECT_EQ(CheckName(NameWindow::NewFolder, n49, {}), "");
    EXPECT_EQ(CheckName(NameWindow::NewFolder, n50, {}), "Name is too long");
    // Upload names count characters and allow 50.
    EXPECT_EQ(CheckUpload("/tmp/f", n50), "");
    EXPECT_EQ(CheckUpload("/tmp/f", n50 + "a"), "Remote filename is too long");
}

TEST(DocumentNames, FirstCharacterAndAllowedCharacters) {
    EXPECT_EQ(CheckName(NameWindow::NewFolder, "_x", {}),
              "The remote folder name must start with an alphanumeric character (letters and "
              "numbers)");
    EXPECT_EQ(CheckName(NameWindow::RenameFile, "-x.txt", {}),
              "The remote file name must start with an alphanumeric character (letters and "
              "numbers)");
    EXPECT_EQ(CheckName(NameWindow::NewFolder, "a.1", {}), "");
    EXPECT_EQ(CheckName(NameWindow::RenameFolder, "a b", {}),
              "Invalid character in folder name; only letters, numbers, and the characters '.' "
              "'~' '-' and '_' are allowed");
    EXPECT_EQ(CheckName(NameWindow::RenameFile, "a/b", {}),
              "Invalid character in filename; only letters, numbers, and the characters '.' '~' "
              "'-' and '_' are allowed");
    // Non-ASCII letters are outside the set.
    EXPECT_NE(CheckName(NameWindow::NewFolder, "caf\xc3\xa9", {}), "");
}

TEST(DocumentNames, NameWindowsCheckInTheirOrder) {
    std::vector<CDocumentEntry> entries = Entries({{1, 0}, {2, 0}});
    entries[0].name = "_odd";  // a folder the server holds under a name we would refuse
    entries[1].name = "report.txt";
    // A same-named entry of the same type comes before every other check.
    EXPECT_EQ(CheckName(NameWindow::NewFolder, "_odd", entries),
              "A folder with that name already exists");
    EXPECT_EQ(CheckName(NameWindow::RenameFile, "report.txt", entries),
              "A file with that name already exists");
    // Another type's name is no clash.
    EXPECT_EQ(CheckName(NameWindow::NewFolder, "report.txt", entries), "");
    // Empty: each window's own words.
    EXPECT_EQ(CheckName(NameWindow::NewFolder, "", entries), "Please specify a name for the new folder");
    EXPECT_EQ(CheckName(NameWindow::RenameFolder, "", entries), "Please specify a new folder name");
    EXPECT_EQ(CheckName(NameWindow::RenameFile, "", entries), "Please specify a new filename");
    // Too long before a bad character, a bad character before the first one.
    EXPECT_EQ(CheckName(NameWindow::NewFolder, "_" + std::string(49, ' '), entries),
              "Name is too long");
    EXPECT_EQ(CheckName(NameWindow::NewFolder, "_ x", entries).rfind("Invalid character", 0), 0u);
}

TEST(DocumentNames, UploadChecksInTheirOrder) {
    EXPECT_EQ(CheckUpload("", ""), "Please specify a file to upload");
    EXPECT_EQ(CheckUpload("/a", ""), "Please specify a remote filename");
    EXPECT_EQ(CheckUpload("/a", "_" + std::string(50, ' ')), "Remote filename is too long");
    // The first character is checked before the rest.
    EXPECT_EQ(CheckUpload("/a", "_a b"),
              "The remote file name must start with an alphanumeric character (letters and "
              "numbers)");
    EXPECT_EQ(CheckUpload("/a", "a b"),
              "Invalid character in remote filename; can only have letters, numbers, '.' '~' "
              "'_' and '-'");
}

TEST(DocumentNames, ProposedNames) {
    EXPECT_EQ(ProposedRemoteName("/home/me/-draft copy.txt"), "x-draftcopy.txt");
    EXPECT_EQ(ProposedRemoteName("report.pdf"), "report.pdf");
    EXPECT_EQ(ProposedRemoteName("/x/ ()"), "x");
    // The save chooser never gets a path from the server.
    EXPECT_EQ(ProposedSaveName("plan.txt"), "plan.txt");
    EXPECT_EQ(ProposedSaveName("../../.bashrc"), "bashrc");
    EXPECT_EQ(ProposedSaveName("a\\b/c.txt"), "c.txt");
    EXPECT_EQ(ProposedSaveName(".."), "document");
}

TEST(DocumentNames, PasswordsAndMoveDestinations) {
    EXPECT_EQ(CheckPassword(0), "Please type a password");
    EXPECT_EQ(CheckPassword(15), "");
    EXPECT_EQ(CheckPassword(16), "Password must not be more than 15 characters in length");
    std::vector<CDocumentEntry> root = Entries({{1, 0}, {2, 0}, {1, 0}, {0, 0}});
    root[0].name = "Projects";
    root[2].name = "Private";
    EXPECT_EQ(MoveDestinations("/", root), (std::vector<std::string>{"Projects", "Private"}));
    EXPECT_EQ(MoveDestinations("Projects", root), (std::vector<std::string>{"/"}));
}

// ---- The listing decoder ------------------------------------------------------------

struct Decoded {
    net::MessageBuffer buffer;
    net::bufHeader header;
};

DocumentStoreEvent Decode(net::MessageWriter& w, net::Secondary secondary = net::Secondary::Response) {
    auto message = w.Finish(net::Primary::DocumentStore, secondary);
    EXPECT_NE(message, nullptr);
    if (!message) return {};
    auto d = std::make_unique<Decoded>();
    std::memcpy(d->buffer.data, message->data, static_cast<size_t>(message->remaining));
    d->buffer.done = message->remaining;
    EXPECT_EQ(d->buffer.ParseHeader(d->header), net::kParseComplete);
    return DecodeDocumentStore(d->buffer, d->header);
}

net::MessageWriter Header(int32_t target, const std::string& owner, const std::string& path,
                          int32_t locked) {
    net::MessageWriter w(ds::kListing);
    w.Int(target).Str(owner).Str(path).Int(locked);
    return w;
}

TEST(DocumentListing, DecodesHeaderAndEntriesInMessageOrder) {
    auto w = Header(0, "alice", "Projects", 1);
    w.Int(2).Int(1572864).Int(0).Str("prototype.bin").Str("Tue Mar  4 09:15:02 2025\n");
    w.Int(1).Int(10).Int(1).Str("a").Str("Mon Jan  1 00:00:00 2024\n");
    const DocumentStoreEvent e = Decode(w);
    ASSERT_EQ(e.kind, DocumentStoreEvent::Kind::Listing);
    EXPECT_EQ(e.view.target, 0);
    EXPECT_EQ(e.view.owner, "alice");
    EXPECT_EQ(e.view.path, "Projects");
    EXPECT_EQ(e.view.locked, 1);
    ASSERT_EQ(e.view.entries.size(), 2u);
    EXPECT_EQ(e.view.entries[0].name, "prototype.bin");
    EXPECT_EQ(e.view.entries[0].sizeText, "1.50 MB");
    EXPECT_EQ(e.view.entries[0].modified, "Tue Mar  4 09:15:02 2025");
    EXPECT_EQ(e.view.entries[1].type, 1);
    EXPECT_EQ(e.view.entries[1].locked, 1);
}

TEST(DocumentListing, ABadHeaderFieldDropsTheMessage) {
    auto target = Header(2, "alice", "/", 0);
    EXPECT_EQ(Decode(target).kind, DocumentStoreEvent::Kind::None);
    auto owner = Header(0, std::string(33, 'o'), "/", 0);
    EXPECT_EQ(Decode(owner).kind, DocumentStoreEvent::Kind::None);
    auto emptyOwner = Header(0, "", "/", 0);
    EXPECT_EQ(Decode(emptyOwner).kind, DocumentStoreEvent::Kind::None);
    auto path = Header(0, "alice", std::string(121, 'p'), 0);
    EXPECT_EQ(Decode(path).kind, DocumentStoreEvent::Kind::None);
    auto locked = Header(0, "alice", "/", 2);
    EXPECT_EQ(Decode(locked).kind, DocumentStoreEvent::Kind::None);
    net::MessageWriter cut(ds::kListing);
    cut.Int(0).Str("alice").Str("/");
    EXPECT_EQ(Decode(cut).kind, DocumentStoreEvent::Kind::None);
    // The longest owner and path are taken.
    auto longest = Header(1, std::string(32, 'o'), std::string(120, 'p'), 0);
    EXPECT_EQ(Decode(longest).kind, DocumentStoreEvent::Kind::Listing);
}

TEST(DocumentListing, ABadEntryEndsTheListThere) {
    const auto withBad = [](auto addBad) {
        auto w = Header(1, "alice", "/", 0);
        w.Int(2).Int(5).Int(0).Str("kept.txt").Str("t\n");
        addBad(w);
        w.Int(2).Int(5).Int(0).Str("after.txt").Str("t\n");
        const DocumentStoreEvent e = Decode(w);
        EXPECT_EQ(e.kind, DocumentStoreEvent::Kind::Listing);
        return e.view.entries.size();
    };
    EXPECT_EQ(withBad([](net::MessageWriter& w) { w.Int(3).Int(1).Int(0).Str("x").Str("t"); }), 1u);
    EXPECT_EQ(withBad([](net::MessageWriter& w) { w.Int(2).Int(1).Int(2).Str("x").Str("t"); }), 1u);
    EXPECT_EQ(withBad([](net::MessageWriter& w) { w.Int(2).Int(1).Int(0).Str("").Str("t"); }), 1u);
    EXPECT_EQ(withBad([](net::MessageWriter& w) {
                  w.Int(2).Int(1).Int(0).Str(std::string(51, 'n')).Str("t");
              }),
              1u);
    EXPECT_EQ(withBad([](net::MessageWriter& w) {
                  w.Int(2).Int(1).Int(0).Str("x").Str(std::string(101, 'm'));
              }),
              1u);
    // Type 0 is taken as it is.
    EXPECT_EQ(withBad([](net::MessageWriter& w) { w.Int(0).Int(1).Int(0).Str("x").Str("t"); }), 3u);
    // An entry cut off by the end of the message.
    auto w = Header(1, "alice", "/", 0);
    w.Int(2).Int(5).Int(0).Str("kept.txt").Str("t\n").Int(2).Int(5);
    EXPECT_EQ(Decode(w).view.entries.size(), 1u);
}

TEST(DocumentListing, RefusalsCarryTheirReasonAndOtherCodesAreIgnored) {
    const std::pair<int32_t, const char*> refusals[] = {
        {0, "Unable to create directory"}, {2, "Unable to lock directory"},
        {4, "Unable to unlock directory"}, {6, "Unable to view directory"},
        {8, "Unable to rename directory"}, {10, "Unable to delete directory"},
        {50, "Unable to move file"},       {52, "Unable to rename file"},
        {54, "Unable to delete file"},
    };
    for (const auto& [code, text] : refusals) {
        net::MessageWriter w(code);
        w.Str("because");
        const DocumentStoreEvent e = Decode(w);
        EXPECT_EQ(e.kind, DocumentStoreEvent::Kind::Refused) << code;
        EXPECT_EQ(e.reason, "because");
        EXPECT_STREQ(RefusalText(code), text);
    }
    for (const int32_t code : {1, 3, 5, 9, 51, 99}) {
        net::MessageWriter w(code);
        w.Str("because");
        EXPECT_EQ(Decode(w).kind, DocumentStoreEvent::Kind::None) << code;
    }
    net::MessageWriter noReason(6);
    noReason.Str("");
    EXPECT_EQ(Decode(noReason).kind, DocumentStoreEvent::Kind::None);
    net::MessageWriter tooLong(6);
    tooLong.Str(std::string(513, 'r'));
    EXPECT_EQ(Decode(tooLong).kind, DocumentStoreEvent::Kind::None);
    // Only responses are the family's.
    auto asMessage = Header(1, "alice", "/", 0);
    EXPECT_EQ(Decode(asMessage, net::Secondary::Message).kind, DocumentStoreEvent::Kind::None);
}

}  // namespace
}  // namespace documents
