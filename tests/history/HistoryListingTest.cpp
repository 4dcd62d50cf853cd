// The history listing as it comes off the wire, the paths the window asks
// for, and what the window shows of a listing (no server needed).

#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "app/AppHarness.h"
#include "history/HistoryListing.h"
#include "history/HistoryModule.h"
#include "history/SessionHistoryDlg.h"
#include "net/Protocol.h"
#include "ui/FixedButton.h"

namespace history {
namespace {

// A response 16 as the server would send it; `tail` is written raw after
// the entries (a broken entry).
struct Wire {
    explicit Wire(const std::string& path, const std::string& id = "ABCDEF") : w(16) {
        w.Str(path).Str(id);
    }
    Wire& Entry(int32_t type, int32_t size, int32_t locked, const std::string& name,
                const std::string& modified = "Tue Mar  4 09:15:02 2025\n") {
        w.Int(type).Int(size).Int(locked).Str(name).Str(modified);
        return *this;
    }
    int Decode(CHistoryListing& out) {
        if (!message) {
            message = w.Finish(net::Primary::Session, net::Secondary::Response);
            if (!message) {
                ADD_FAILURE() << "the listing does not fit";
                return -2;
            }
            // As the receiving side holds it: every byte arrived.
            message->done = message->remaining;
            EXPECT_EQ(message->ParseHeader(header), net::kParseComplete);
        }
        net::MessageReader reader(*message, header);
        EXPECT_EQ(reader.Code(), net::session::kHistoryReady);
        return DecodeHistoryListing(reader, out);
    }
    net::MessageWriter w;
    std::unique_ptr<net::MessageBuffer> message;
    net::bufHeader header;
};

TEST(HistoryListingTest, ListingDecodesAndABadEntryKeepsTheOnesBefore) {
    CHistoryListing l;
    ASSERT_EQ(Wire("logs").Entry(1, 2048, 0, "2008").Entry(2, 1023, 0, "notes.txt").Decode(l), -1);
    EXPECT_EQ(l.path, "logs");
    EXPECT_EQ(l.sessionId, "ABCDEF");
    ASSERT_EQ(l.entries.size(), 2u);
    EXPECT_EQ(l.entries[0].type, documents::kEntryFolder);
    EXPECT_EQ(l.entries[0].sizeText, "2.00 KB");
    EXPECT_EQ(l.entries[1].sizeText, "1023 B");
    EXPECT_EQ(l.entries[1].modified, "Tue Mar  4 09:15:02 2025");  // its line end shown off

    // Type 3, then a name of 51 bytes, each end the list where they stand.
    CHistoryListing cut;
    EXPECT_EQ(Wire("/").Entry(2, 1, 0, "a.txt").Entry(3, 1, 0, "b.txt").Entry(2, 1, 0, "c").Decode(cut),
              2);
    EXPECT_EQ(cut.entries.size(), 1u);
    CHistoryListing longName;
    EXPECT_EQ(Wire("/").Entry(1, 0, 0, "logs").Entry(2, 1, 0, std::string(51, 'x')).Decode(longName),
              2);
    ASSERT_EQ(longName.entries.size(), 1u);
    EXPECT_EQ(longName.entries[0].name, "logs");
    // An entry cut off by the end of the message ends the list too.
    CHistoryListing truncated;
    Wire partial("/");
    partial.Entry(2, 5, 0, "a.txt");
    partial.w.Int(2).Int(5);
    EXPECT_EQ(partial.Decode(truncated), 2);
    EXPECT_EQ(truncated.entries.size(), 1u);

    // A header out of range: nothing to show.
    CHistoryListing bad;
    EXPECT_EQ(Wire(std::string(201, 'a')).Decode(bad), 0);
    EXPECT_EQ(Wire("").Decode(bad), 0);
    EXPECT_EQ(Wire("/", "ABCDE").Decode(bad), 1);
    EXPECT_EQ(Wire("/", "ABCDEFG").Decode(bad), 1);
    CHistoryListing empty;
    EXPECT_EQ(Wire(std::string(200, 'a')).Decode(empty), -1);
    EXPECT_TRUE(empty.entries.empty());
}

TEST(HistoryListingTest, PathsBelowAndAbove) {
    EXPECT_EQ(ParentPath("logs/2008"), "logs");
    EXPECT_EQ(ParentPath("logs"), "/");
    EXPECT_EQ(ParentPath("a/b/c"), "a/b");
    // Slashes at either end, or doubled, are no place to cut.
    EXPECT_EQ(ParentPath("/logs"), "/");
    EXPECT_EQ(ParentPath("logs/"), "/");
    EXPECT_EQ(ParentPath("a//b"), "/");
    EXPECT_EQ(ParentPath("a/b//c"), "a");
    EXPECT_EQ(ParentPath("a/b/"), "a");

    EXPECT_EQ(ChildPath("/", "logs"), "logs");
    EXPECT_EQ(ChildPath("logs", "2008"), "logs/2008");
    const std::string deep(195, 'a');
    EXPECT_EQ(ChildPath(deep, "bcd"), deep + "/bcd");    // 199 bytes
    EXPECT_EQ(ChildPath(deep, "bcde"), deep + "/bcde");  // 200
    EXPECT_EQ(ChildPath(deep, "bcdef"), "");             // 201: not asked for
    EXPECT_EQ(ChildPath("logs", std::string("a\0b", 3)), "");

    auto m = BuildGetHistory("ABCDEF", "logs/2008");
    ASSERT_TRUE(m);
    net::bufHeader h;
    m->done = m->remaining;
    ASSERT_EQ(m->ParseHeader(h), net::kParseComplete);
    EXPECT_EQ(h.nDescPrimary, +net::Primary::Session);
    EXPECT_EQ(h.nDescSecondary, +net::Secondary::Message);
    net::MessageReader r(*m, h);
    std::string id, path;
    EXPECT_EQ(r.Code(), 11);
    EXPECT_TRUE(r.Str(6, 6, id) && r.Str(1, 200, path) && r.AtEnd());
    EXPECT_EQ(path, "logs/2008");
}

class HistoryWindowTest : public ::testing::Test {
  protected:
    CSessionHistoryDlg& Window() {
        return *harness.state->FindModule<HistoryModule>()->Window();
    }
    void Show(Wire& wire) {
        CHistoryListing l;
        wire.Decode(l);
        Window().ShowListing(l);
    }
    apptest::AppHarness harness;
};

TEST_F(HistoryWindowTest, ListingFillsTheWindowAndTheButtonsFollow) {
    CSessionHistoryDlg& w = Window();
    EXPECT_EQ(w.windowTitle(), "Session History");
    Wire top("/");
    top.Entry(2, 1023, 0, "2030-05-06.txt");
    Show(top);
    EXPECT_EQ(w.Summary()->text(), "1 item; 1023 B");
    EXPECT_EQ(w.PathText()->text(), "/");
    EXPECT_FALSE(w.BackButton()->isEnabled());
    EXPECT_FALSE(w.ViewButton()->isEnabled());
    EXPECT_EQ(w.ViewButton()->text(), "View File");
    EXPECT_TRUE(w.ShowPending() || w.isVisible());
    w.SelectRow(0);
    EXPECT_TRUE(w.ViewButton()->isEnabled());

    Wire logs("logs/2008", "XYZ123");
    logs.Entry(1, 0, 0, "old").Entry(1, 0, 1, "closed").Entry(2, 1024, 0, "a.txt");
    Show(logs);
    EXPECT_EQ(w.SessionId(), "XYZ123");
    EXPECT_EQ(w.PathText()->text(), "/logs/2008");
    EXPECT_EQ(w.Summary()->text(), "3 items; 1.00 KB");
    EXPECT_TRUE(w.BackButton()->isEnabled());
    EXPECT_FALSE(w.ViewButton()->isEnabled());  // the new listing selects nothing
    w.SelectRow(0);
    EXPECT_FALSE(w.ViewButton()->isEnabled());  // a folder is not viewed
    // The locked folder is drawn in red, the others not.
    EXPECT_TRUE(w.Model().data(w.Model().index(1, 0), Qt::ForegroundRole).isValid());
    EXPECT_FALSE(w.Model().data(w.Model().index(0, 0), Qt::ForegroundRole).isValid());

    // Sizes are summed in 64 bits: three files near 2 GiB each.
    Wire big("logs");
    for (const char* name : {"a", "b", "c"}) big.Entry(2, 2147483647, 0, name);
    Show(big);
    EXPECT_EQ(w.Summary()->text(), "3 items; 6144.00 MB");
    Wire none("/");
    Show(none);
    EXPECT_EQ(w.Summary()->text(), "0 items; 0 B");
}

TEST_F(HistoryWindowTest, TheDownloadDisplayFollowsItsSlotAndADropResetsIt) {
    CSessionHistoryDlg& w = Window();
    Wire day("logs/2030");
    day.Entry(2, 5000, 0, "2030-05-06.txt");
    Show(day);
    w.DownloadStarted();
    EXPECT_EQ(w.ViewButton()->text(), "Cancel");
    EXPECT_TRUE(w.ViewButton()->isEnabled());  // nothing selected, yet it cancels
    EXPECT_EQ(w.Percent()->text(), "0%");
    w.DownloadProgress(37);
    EXPECT_EQ(w.Progress()->value(), 37);
    EXPECT_EQ(w.Percent()->text(), "37%");
    // A listing while it runs keeps "Cancel" available.
    Show(day);
    EXPECT_TRUE(w.ViewButton()->isEnabled());

    w.ConnectionDropped();
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.Downloading());
    EXPECT_EQ(w.ViewButton()->text(), "View File");
    EXPECT_EQ(w.Progress()->value(), 0);
    EXPECT_TRUE(w.Percent()->text().isEmpty());
    EXPECT_FALSE(w.ViewButton()->isEnabled());
    // Progress of a transfer that no longer runs shows nothing.
    w.DownloadProgress(50);
    EXPECT_TRUE(w.Percent()->text().isEmpty());
}

}  // namespace
}  // namespace history
