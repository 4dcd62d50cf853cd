// The mailbox's list files, records, folder-name rules, date text and order,
// and the window state's rules, without any window.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "mailbox/MailboxFormats.h"
#include "mailbox/MailboxState.h"

namespace mailbox {
namespace {

// Runs the test body in a given time zone and puts the old one back.
class TimeZone {
  public:
    explicit TimeZone(const char* tz) {
        if (const char* old = std::getenv("TZ")) {
            old_ = old;
            had_ = true;
        }
        setenv("TZ", tz, 1);
        tzset();
    }
    ~TimeZone() {
        if (had_) {
            setenv("TZ", old_.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

  private:
    std::string old_;
    bool had_ = false;
};

std::vector<std::string> Names(const std::vector<CMailboxFolder>& folders) {
    std::vector<std::string> out;
    for (const auto& f : folders) out.push_back(f.DisplayText());
    return out;
}

TEST(FolderList, TheFourLineList) {
    const FolderList list = ParseFolderList(
        "MAILBOX_ROOTDIR_INBOX\nPrimary 2 Primary\nMAILBOX_ROOTDIR_OUTBOX\nSent 0 Sent\n");
    ASSERT_EQ(list.roots[kRootInbox].size(), 1u);
    EXPECT_EQ(list.roots[kRootInbox][0].DisplayText(), "Primary (2)");
    EXPECT_EQ(list.roots[kRootInbox][0].UnreadText(), "2");
    EXPECT_EQ(list.roots[kRootInbox][0].Key(), "Primary");
    EXPECT_EQ(list.roots[kRootInbox][0].RootType(), kRootInbox);
    ASSERT_EQ(list.roots[kRootOutbox].size(), 1u);
    EXPECT_EQ(list.roots[kRootOutbox][0].DisplayText(), "Sent");
    EXPECT_TRUE(list.roots[kRootSessions].empty());
    EXPECT_EQ(list.unreadTotal, 2);
}

TEST(FolderList, LinesBeforeAMarkerAreInboxNamesRunToTheEndAndBlankLinesAreNoFolders) {
    const FolderList list = ParseFolderList(
        "Primary 0 Primary\n\nWork 1 Work\nMAILBOX_ROOTDIR_SESSIONS\nab12cd 3 Team Alpha Room\n"
        "MAILBOX_ROOTDIR_OUTBOX\nSent 0 Sent");
    EXPECT_EQ(Names(list.roots[kRootInbox]), (std::vector<std::string>{"Primary", "Work (1)"}));
    EXPECT_EQ(Names(list.roots[kRootSessions]),
              (std::vector<std::string>{"Team Alpha Room (3)"}));
    EXPECT_EQ(list.roots[kRootSessions][0].Key(), "ab12cd");
    EXPECT_EQ(Names(list.roots[kRootOutbox]), (std::vector<std::string>{"Sent"}));
    EXPECT_EQ(list.unreadTotal, 4);
}

TEST(FolderList, AnOverlongLineIsCutAndItsRestIsNoFolder) {
    // 254 characters of one folder line, then more on the same line that
    // would look like a folder of its own if it were read as a line.
    std::string line = "Long 1 " + std::string(247, 'n');
    ASSERT_EQ(line.size(), 254u);
    const FolderList list =
        ParseFolderList(line + "Evil 9 Evil\nMAILBOX_ROOTDIR_OUTBOX" + std::string(300, 'x') +
                        "\nSent 0 Sent\n");
    ASSERT_EQ(list.roots[kRootInbox].size(), 3u) << "a cut marker line is a folder, not a marker";
    EXPECT_EQ(list.roots[kRootInbox][0].Key(), "Long");
    EXPECT_EQ(list.roots[kRootInbox][0].Name(), std::string(31, 'n'));
    EXPECT_EQ(list.unreadTotal, 1) << "the rest of the line is skipped";
    EXPECT_EQ(list.roots[kRootInbox][1].Key(), "MAILBOX_ROOTDIR_OUTBOXxxxxxxxxx");
    EXPECT_EQ(list.roots[kRootInbox][2].Key(), "Sent");
    EXPECT_TRUE(list.roots[kRootOutbox].empty());
}

TEST(FolderList, CountsBelowZeroAndTextsCutAtCharacters) {
    const FolderList list = ParseFolderList("Neg -4 Negative\nK abc " + std::string(30, 'a') +
                                            "\xC3\xA9\xC3\xA9\n");
    EXPECT_EQ(list.roots[kRootInbox][0].Unread(), 0);
    EXPECT_EQ(list.roots[kRootInbox][0].DisplayText(), "Negative");
    EXPECT_EQ(list.unreadTotal, 0);
    // 30 + 2 bytes would split the second character: it is left out whole.
    EXPECT_EQ(list.roots[kRootInbox][1].Name(), std::string(30, 'a'));
    CMailboxFolder f("k", 1, "n", kRootInbox);
    f.SetUnread(f.Unread() - 5);
    EXPECT_EQ(f.Unread(), 0);
    EXPECT_EQ(f.DisplayText(), "n");
}

TEST(FolderList, StrayContinuationBytesAreCutWhereTheyFallNotToNothing) {
    const std::string stray = "a" + std::string(100, '\x84');
    EXPECT_EQ(CutText(stray, 31), stray.substr(0, 31));
    EXPECT_EQ(CutText("abc\xE2\x82\xAC", 5), "abc") << "a whole character or none of it";
    EXPECT_EQ(CutText("abc\xE2\x82\xAC", 6), "abc\xE2\x82\xAC");
    CMailboxMessage m;
    ASSERT_TRUE(ParseMessageLine("1 999999 1 " + stray + " 0 s", m));
    EXPECT_EQ(m.sender.size(), kMaxSender) << "a sender that was there is never cut to nothing";
}

TEST(NewFolder, NameRulesInOrder) {
    EXPECT_EQ(CheckNewFolder(0, "Work_2"), "");
    EXPECT_EQ(CheckNewFolder(1, "a-b_C9"), "");
    EXPECT_EQ(CheckNewFolder(0, "ABCDEFGHIJKLMNOP"), "") << "16 characters";
    EXPECT_EQ(CheckNewFolder(0, "my folder"),
              "Folder name may contain only letters, numbers, and '_' '-'");
    EXPECT_EQ(CheckNewFolder(0, "Work.old"),
              "Folder name may contain only letters, numbers, and '_' '-'");
    EXPECT_EQ(CheckNewFolder(0, "ABCDEFGHIJKLMNOPQ"),
              "Folder name is too long; it may be at most 16 characters in length");
    EXPECT_EQ(CheckNewFolder(0, ""), "Please type a folder name");
    EXPECT_EQ(CheckNewFolder(-1, "Work"), "Please select either Inbox or Outbox from the folder type");
    EXPECT_EQ(CheckNewFolder(-1, ""), "Please select either Inbox or Outbox from the folder type");
    // Length counts characters, not bytes: the character rule speaks then.
    EXPECT_EQ(CheckNewFolder(0, "\xC3\xA9t\xC3\xA9"),
              "Folder name may contain only letters, numbers, and '_' '-'");
}

TEST(MessageList, LinesFieldsAndThePaperClip) {
    std::vector<CMailboxMessage> out;
    ASSERT_EQ(ParseMessageList("12 999999 1 alice 1700000000 Hello there, world\n"
                               "\n"
                               "13 4 0 bob -5 \n"
                               "14 0 0 carol 7",
                               out),
              MessageListResult::Read);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].number, 12);
    EXPECT_EQ(out[0].attachment, kNoAttachment);
    EXPECT_FALSE(out[0].HasAttachment());
    EXPECT_TRUE(out[0].IsUnread());
    EXPECT_EQ(out[0].sender, "alice");
    EXPECT_EQ(out[0].fromText, "alice");
    EXPECT_EQ(out[0].subject, "Hello there, world");
    EXPECT_EQ(out[0].sentTime, 1700000000);
    EXPECT_TRUE(out[1].HasAttachment());
    EXPECT_FALSE(out[1].IsUnread());
    EXPECT_EQ(out[1].sentTime, -5);
    EXPECT_EQ(out[1].subject, "");
    EXPECT_TRUE(out[2].HasAttachment()) << "attachment number 0 is an attachment";
    EXPECT_EQ(out[2].subject, "") << "a missing subject reads as empty";
}

TEST(MessageList, OnlyWholeNumbersAndASenderMakeAMessage) {
    for (const std::string bad :
         {"12x 999999 1 alice 0 s", "12 999999 1  0 s", "12 999999 yes alice 0 s",
          "12 999999 1 alice noon s", "2147483648 999999 1 alice 0 s", "12 999999 1 alice",
          "12  999999 1 alice 0 s", "Subject only"}) {
        CMailboxMessage m;
        EXPECT_FALSE(ParseMessageLine(bad, m)) << bad;
    }
    CMailboxMessage m;
    EXPECT_TRUE(ParseMessageLine("-2147483648 +5 1 alice 0 s", m));
    EXPECT_EQ(m.number, -2147483647 - 1);
    EXPECT_EQ(m.attachment, 5);
}

TEST(MessageList, ACorruptLineKeepsTheRowsBeforeIt) {
    std::vector<CMailboxMessage> out;
    EXPECT_EQ(ParseMessageList("1 999999 1 alice 0 first\n2 999999 1 bob 0 second\n"
                               "garbage here\n3 999999 1 carol 0 third\n",
                               out),
              MessageListResult::Corrupt);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[1].subject, "second");
}

TEST(MessageList, AnOverlongLineIsCutAndItsRestIsNoMessage) {
    const std::string head = "7 999999 1 alice 0 ";
    const std::string subject(511 - head.size(), 's');
    std::vector<CMailboxMessage> out;
    EXPECT_EQ(ParseMessageList(head + subject + "8 999999 1 mallory 0 injected\n"
                                                "9 999999 0 bob 0 next\n",
                               out),
              MessageListResult::Read);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].subject, std::string(kMaxSubject, 's'));
    EXPECT_EQ(out[1].sender, "bob");
}

TEST(DateText, EpochFiveHoursWestAndTheTwelveHourClock) {
    TimeZone est("EST5");
    EXPECT_EQ(DateText(0), "7:00 PM 12/31/1969");
    EXPECT_EQ(DateText(5 * 3600), "12:00 AM 1/01/1970");
    EXPECT_EQ(DateText(17 * 3600 + 5 * 60), "12:05 PM 1/01/1970");
    EXPECT_EQ(DateText(16 * 3600 + 59 * 60), "11:59 AM 1/01/1970");
    TimeZone utc("UTC0");
    EXPECT_EQ(DateText(1700000000), "10:13 PM 11/14/2023");
}

TEST(OperationFile, TwoMessagesMarkedRead) {
    CMailboxMessage a;
    a.number = 12;
    a.attachment = kNoAttachment;
    a.unread = 1;
    a.sender = "alice";
    CMailboxMessage b;
    b.number = 1234567;
    b.attachment = 4;
    b.unread = 0;
    b.sender = "bob";
    EXPECT_EQ(OperationFileText(kOpMarkRead, kRootInbox, "Primary", "", {&a, &b}),
              "1\n0\nPrimary\n000012 999999 1 alice\n1234567 000004 0 bob\n");
    EXPECT_EQ(OperationFileText(kOpMove, kRootOutbox, "Sent", "Archive", {&a}),
              "0\n1\nSent\nArchive\n000012 999999 1 alice\n");
    EXPECT_EQ(OperationFileText(kOpDelete, kRootSessions, "ab12cd", "Ignored", {}),
              "3\n2\nab12cd\n");
}

std::vector<CMailboxMessage> Rows(std::initializer_list<std::pair<const char*, int32_t>> rows) {
    std::vector<CMailboxMessage> out;
    int n = 0;
    for (const auto& [from, time] : rows) {
        CMailboxMessage m;
        m.fromText = m.sender = from;
        m.subjectText = m.subject = from;
        m.sentTime = time;
        m.number = n++;
        out.push_back(m);
    }
    return out;
}
std::vector<int32_t> Numbers(const std::vector<CMailboxMessage>& rows) {
    std::vector<int32_t> out;
    for (const auto& m : rows) out.push_back(m.number);
    return out;
}

TEST(Sort, CaseInsensitivePrefixFirstAndStable) {
    EXPECT_LT(CompareText("alice", "Bob"), 0);
    EXPECT_EQ(CompareText("ALICE", "alice"), 0);
    EXPECT_LT(CompareText("Al", "alice"), 0);
    EXPECT_GT(CompareText("alice", "Al"), 0);
    EXPECT_LT(CompareText("", "a"), 0);

    auto rows = Rows({{"bob", 3}, {"Alice", 1}, {"alice", 2}, {"Al", 5}, {"BOB", 4}});
    SortMessages(rows, kSortFrom, 0);
    EXPECT_EQ(Numbers(rows), (std::vector<int32_t>{3, 1, 2, 0, 4}));
    // Descending keeps equal rows in the order they had.
    SortMessages(rows, kSortFrom, 1);
    EXPECT_EQ(Numbers(rows), (std::vector<int32_t>{0, 4, 1, 2, 3}));
    SortMessages(rows, kSortSubject, 0);
    EXPECT_EQ(Numbers(rows), (std::vector<int32_t>{3, 1, 2, 0, 4}));
}

TEST(Sort, DateComparesTimesAsNumbers) {
    auto rows = Rows({{"a", 100}, {"b", -100}, {"c", 2000000000}, {"d", 100}});
    SortMessages(rows, kSortDate, 0);
    EXPECT_EQ(Numbers(rows), (std::vector<int32_t>{1, 0, 3, 2}));
    SortMessages(rows, kSortDate, 1);
    EXPECT_EQ(Numbers(rows), (std::vector<int32_t>{2, 0, 3, 1}));
}

TEST(State, StartStateAndAMissingCurrentFolder) {
    MailboxState s;
    EXPECT_EQ(s.CurrentRoot(), kRootInbox);
    EXPECT_EQ(s.CurrentKey(), "Primary");
    EXPECT_EQ(s.SortColumn(), kSortDate);
    EXPECT_EQ(s.SortDirection(), 1);

    ASSERT_TRUE(s.ChooseFolder(kRootOutbox, "Old"));
    EXPECT_TRUE(s.KeepTree());
    EXPECT_FALSE(s.ChooseFolder(kRootOutbox, "Old")) << "already current";
    s.TakeFolderList(ParseFolderList("Primary 0 Primary\nWork 0 Work\nMAILBOX_ROOTDIR_OUTBOX\n"));
    EXPECT_EQ(s.CurrentRoot(), kRootInbox);
    EXPECT_EQ(s.CurrentKey(), "Primary");

    s.ChooseFolder(kRootSessions, "gone01");
    s.TakeFolderList(ParseFolderList("Work 0 Work\nOther 0 Other\n"));
    EXPECT_EQ(s.CurrentKey(), "Work") << "without Primary the first Inbox folder";

    // A folder that is there stays current.
    s.ChooseFolder(kRootInbox, "Other");
    s.TakeFolderList(ParseFolderList("Primary 0 Primary\nOther 0 Other\n"));
    EXPECT_EQ(s.CurrentKey(), "Other");

    s.Reset();
    EXPECT_EQ(s.CurrentKey(), "Primary");
    EXPECT_FALSE(s.KeepTree());
    EXPECT_TRUE(s.Folders().roots[kRootInbox].empty());
}

TEST(State, ButtonsFollowTheSelectionAndTheSessionsRoot) {
    MailboxState s;
    ButtonStates b = s.Buttons(0);
    EXPECT_FALSE(b.markRead || b.markUnread || b.deleteMessages || b.moveToFolder);
    b = s.Buttons(2);
    EXPECT_TRUE(b.markRead && b.markUnread && b.deleteMessages && b.moveToFolder);
    s.TakeFolderList(ParseFolderList("MAILBOX_ROOTDIR_SESSIONS\nab12cd 1 Team\n"));
    s.ChooseFolder(kRootSessions, "ab12cd");
    b = s.Buttons(1);
    EXPECT_TRUE(b.markRead && b.markUnread && b.deleteMessages);
    EXPECT_FALSE(b.moveToFolder);
}

TEST(State, OpeningAnUnreadMessageLowersTheCountNeverBelowZero) {
    MailboxState s;
    s.TakeFolderList(ParseFolderList("Primary 1 Primary\nWork 3 Work\n"));
    std::vector<CMailboxMessage> messages;
    ASSERT_EQ(ParseMessageList("1 999999 1 a 0 x\n2 999999 1 b 0 y\n3 999999 0 c 0 z\n", messages),
              MessageListResult::Read);
    s.SetMessages(messages);
    EXPECT_TRUE(s.MessageOpened(0));
    EXPECT_EQ(s.CurrentFolder()->Unread(), 0);
    EXPECT_EQ(s.CurrentFolder()->DisplayText(), "Primary");
    EXPECT_FALSE(s.MessageOpened(0)) << "already read";
    EXPECT_TRUE(s.MessageOpened(1)) << "the list said more than the folder";
    EXPECT_EQ(s.CurrentFolder()->Unread(), 0);
    EXPECT_FALSE(s.MessageOpened(2));
    EXPECT_FALSE(s.MessageOpened(3));
    EXPECT_EQ(s.UnreadSum(), 3);
}

}  // namespace
}  // namespace mailbox
