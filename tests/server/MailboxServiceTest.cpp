// The mailbox service of the local network: the seeded mailboxes, folder
// requests, the two list downloads, operation uploads and delivery, through
// the raw protocol as a client sends it.

#include <gtest/gtest.h>

#include <QFileInfo>

#include "TestClient.h"
#include "server/mailbox/MailboxService.h"
#include "support/qt/LocalNetworkFixture.h"

namespace servertest {
namespace {

using localnet::MailboxService;
using net::Primary;
using net::Secondary;

constexpr int32_t kFolderSlot = 15;
constexpr int32_t kMessageSlot = 16;
constexpr int32_t kOperationSlot = 21;

class MailboxServiceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        server.Options().seedDemo = true;
        ASSERT_TRUE(server.Start());
        ASSERT_TRUE(alice.Login(server.FilePort(), "1234567", "alice", "alicepass"));
    }

    MailboxService& Service() {
        for (const auto& s : server.Network().AllServices()) {
            if (auto* m = dynamic_cast<MailboxService*>(s.get())) return *m;
        }
        ADD_FAILURE() << "no mailbox service";
        std::abort();
    }

    // A whole download on `slot`, or nullopt when refused.
    std::optional<std::string> Collect(TestClient& c, int32_t expectedSlot) {
        std::string content;
        int32_t total = -1;
        for (int count = 0; total < 0 || static_cast<int32_t>(content.size()) < total; ++count) {
            auto m = c.Receive();
            if (!m || m->header.nDescPrimary != +Primary::Download) {
                ADD_FAILURE() << "no download";
                return std::nullopt;
            }
            auto f = m->Reader();
            int32_t slot = -1;
            EXPECT_TRUE(f.Int(0, 24, slot));
            EXPECT_EQ(slot, expectedSlot);
            if (m->code == net::download::kRefused) return std::nullopt;
            if (count == 0) {
                EXPECT_TRUE(f.Int(0, -1, total));
            }
            content.append(reinterpret_cast<const char*>(f.Rest()),
                           static_cast<size_t>(f.RestSize()));
        }
        return content;
    }

    std::string Folders(TestClient& c) {
        net::MessageWriter w(net::mailbox::kFolderListDownload);
        w.Int(0);
        EXPECT_TRUE(c.Send(w, Primary::Download));
        return Collect(c, kFolderSlot).value_or("<refused>");
    }

    std::optional<std::string> Messages(TestClient& c, int32_t root, const std::string& key) {
        net::MessageWriter w(net::mailbox::kMessageListDownload);
        w.Int(0).Int(root).Str(key);
        EXPECT_TRUE(c.Send(w, Primary::Download));
        return Collect(c, kMessageSlot);
    }

    // Sends a mailbox request and returns the response's code and text.
    std::pair<int32_t, std::string> Ask(TestClient& c, net::MessageWriter& w) {
        EXPECT_TRUE(c.Send(w, Primary::Mailbox));
        auto m = c.Receive();
        if (!m) return {-1, {}};
        EXPECT_EQ(m->header.nDescPrimary, +Primary::Mailbox);
        EXPECT_EQ(m->header.nDescSecondary, +Secondary::Response);
        std::string text;
        auto f = m->Reader();
        if (!f.AtEnd()) f.Str(1, 512, text);
        return {m->code, text};
    }
    std::pair<int32_t, std::string> Create(TestClient& c, int32_t root, const std::string& name) {
        net::MessageWriter w(net::mailbox::kCreateFolder);
        w.Int(root).Str(name);
        return Ask(c, w);
    }
    std::pair<int32_t, std::string> Delete(TestClient& c, int32_t root, const std::string& key) {
        net::MessageWriter w(net::mailbox::kDeleteFolder);
        w.Int(root).Str(key);
        return Ask(c, w);
    }
    int32_t Unread(TestClient& c) {
        net::MessageWriter w(net::mailbox::kUnreadRequest);
        EXPECT_TRUE(c.Send(w, Primary::Mailbox));
        auto m = c.Receive();
        int32_t count = -1;
        if (m && m->Is(Primary::Mailbox, Secondary::Response, net::mailbox::kUnreadMail)) {
            auto f = m->Reader();
            f.Int(-1, -1, count);
        }
        return count;
    }

    // Uploads an operation file in chunks; the go-ahead is awaited.
    void UploadOperation(TestClient& c, const std::string& file) {
        net::MessageWriter w(net::mailbox::kOperationUpload);
        w.Int(static_cast<int32_t>(file.size()));
        ASSERT_TRUE(c.Send(w, Primary::Upload));
        auto go = c.Receive();
        ASSERT_TRUE(go && go->Is(Primary::Upload, Secondary::Response, net::upload::kGoAhead));
        for (size_t at = 0; at < file.size(); at += 4096) {
            const std::string chunk = file.substr(at, 4096);
            net::MessageWriter cw(net::upload::kChunk);
            cw.Int(kOperationSlot).Raw(chunk.data(), static_cast<int>(chunk.size()));
            ASSERT_TRUE(c.Send(cw, Primary::Upload, Secondary::Response));
        }
    }

    // The message-list line of `subject` in a list, or empty.
    static std::string LineOf(const std::string& list, const std::string& subject) {
        size_t start = 0;
        while (start < list.size()) {
            const size_t end = list.find('\n', start);
            const std::string line = list.substr(start, end - start);
            if (line.size() >= subject.size() &&
                line.compare(line.size() - subject.size(), subject.size(), subject) == 0)
                return line;
            start = end == std::string::npos ? list.size() : end + 1;
        }
        return {};
    }

    testsupport::LocalNetworkFixture server;
    TestClient alice;
};

TEST_F(MailboxServiceTest, SeededMailboxOfAlice) {
    EXPECT_EQ(Folders(alice),
              "MAILBOX_ROOTDIR_INBOX\nPrimary 2 Primary\nProjects 0 Projects\n"
              "MAILBOX_ROOTDIR_OUTBOX\nSent 0 Sent\n"
              "MAILBOX_ROOTDIR_SESSIONS\ndemo01 0 Team Alpha\n");
    EXPECT_EQ(Unread(alice), 2);

    const auto primary = Messages(alice, 0, "Primary");
    ASSERT_TRUE(primary);
    const std::string figures = LineOf(*primary, "Quarterly figures");
    ASSERT_FALSE(figures.empty()) << *primary;
    // From bob, unread, with an attachment.
    EXPECT_NE(figures.find(" 1 bob "), std::string::npos) << figures;
    EXPECT_EQ(figures.find(" 999999 "), std::string::npos) << figures;
    const std::string lunch = LineOf(*primary, "Lunch on Friday?");
    EXPECT_NE(lunch.find(" 999999 0 carol "), std::string::npos) << lunch;
    EXPECT_NE(LineOf(*primary, "Welcome back").find(" 999999 1 carol "), std::string::npos);

    const auto sent = Messages(alice, 1, "Sent");
    ASSERT_TRUE(sent);
    EXPECT_NE(LineOf(*sent, "Meeting notes").find(" alice "), std::string::npos) << *sent;
    const auto session = Messages(alice, 2, "demo01");
    ASSERT_TRUE(session);
    EXPECT_FALSE(LineOf(*session, "Agenda for the next meeting").empty());

    // Bob holds the matching copies: his Sent has the figures, his Primary
    // alice's notes, unread.
    TestClient bob;
    ASSERT_TRUE(bob.Login(server.FilePort(), "1234567", "bob", "bobpass"));
    EXPECT_FALSE(LineOf(Messages(bob, 1, "Sent").value_or(""), "Quarterly figures").empty());
    EXPECT_NE(LineOf(Messages(bob, 0, "Primary").value_or(""), "Meeting notes").find(" 1 alice "),
              std::string::npos);
}

TEST_F(MailboxServiceTest, SeedIsNotRepeatedAndChangesSurviveARestart) {
    ASSERT_EQ(Create(alice, 0, "Keep").first, net::mailbox::kFolderCreated);
    ASSERT_TRUE(server.Restart());
    TestClient again;
    ASSERT_TRUE(again.Login(server.FilePort(), "1234567", "alice", "alicepass"));
    const std::string folders = Folders(again);
    EXPECT_NE(folders.find("Keep 0 Keep\n"), std::string::npos) << folders;
    EXPECT_NE(folders.find("Primary 2 Primary\n"), std::string::npos) << folders;
    const auto primary = Messages(again, 0, "Primary");
    ASSERT_TRUE(primary);
    EXPECT_EQ(std::count(primary->begin(), primary->end(), '\n'), 3) << "seeded once only";
}

TEST_F(MailboxServiceTest, CreatingFoldersFollowsTheNameRules) {
    EXPECT_EQ(Create(alice, 0, "Work_2").first, net::mailbox::kFolderCreated);
    EXPECT_EQ(Create(alice, 1, "Work_2").first, net::mailbox::kFolderCreated)
        << "unique per root only";
    const auto again = Create(alice, 0, "work_2");
    EXPECT_EQ(again.first, net::mailbox::kCreateFolderRefused);
    EXPECT_EQ(again.second, "A folder named 'work_2' already exists");
    EXPECT_EQ(Create(alice, 0, "my folder").second,
              "Folder name may contain only letters, numbers, and '_' '-'");
    EXPECT_EQ(Create(alice, 0, "Work.old").first, net::mailbox::kCreateFolderRefused);
    EXPECT_EQ(Create(alice, 0, "ABCDEFGHIJKLMNOPQ").second,
              "Folder name is too long; it may be at most 16 characters in length");
    EXPECT_EQ(Create(alice, 0, "").second, "Please type a folder name");
    EXPECT_EQ(Create(alice, 2, "Mine").second,
              "Please select either Inbox or Outbox from the folder type");
    const std::string folders = Folders(alice);
    EXPECT_NE(folders.find("Projects 0 Projects\nWork_2 0 Work_2\nMAILBOX_ROOTDIR_OUTBOX\nSent 0 "
                           "Sent\nWork_2 0 Work_2\n"),
              std::string::npos)
        << folders;

    // At most 50 a root: Primary, Projects and Work_2 are three.
    for (int i = 0; i < 47; ++i) {
        ASSERT_EQ(Create(alice, 0, "F" + std::to_string(i)).first, net::mailbox::kFolderCreated);
    }
    EXPECT_EQ(Create(alice, 0, "OneTooMany").first, net::mailbox::kCreateFolderRefused);
    EXPECT_EQ(Create(alice, 1, "StillRoom").first, net::mailbox::kFolderCreated);
}

TEST_F(MailboxServiceTest, DeletingFolders) {
    EXPECT_EQ(Delete(alice, 0, "Primary").first, net::mailbox::kDeleteFolderRefused);
    EXPECT_EQ(Delete(alice, 1, "sent").first, net::mailbox::kDeleteFolderRefused);
    EXPECT_EQ(Delete(alice, 0, "Nowhere").first, net::mailbox::kDeleteFolderRefused);
    // An Inbox folder goes with its entries; the messages stay with bob.
    const auto projects = Messages(alice, 0, "Projects");
    ASSERT_TRUE(projects && !projects->empty());
    const int32_t kickoff = std::stoi(*projects);
    EXPECT_EQ(Delete(alice, 0, "Projects").first, net::mailbox::kFolderDeleted);
    EXPECT_FALSE(Messages(alice, 0, "Projects")) << "an unknown folder's list is refused";
    EXPECT_NE(Service().FindMessage("1234567", "bob", kickoff), nullptr);

    // An Outbox folder takes its originals with it, files and all.
    ASSERT_EQ(Create(alice, 1, "Old").first, net::mailbox::kFolderCreated);
    MailboxService::Delivery d;
    d.number = "1234567";
    d.sender = "alice";
    d.recipients = {"bob"};
    d.subject = "Going away";
    d.body = "body";
    d.hasAttachment = true;
    d.attachmentName = "a.txt";
    d.attachment = "attached";
    int32_t n = 0;
    ASSERT_TRUE(Service().Deliver(d, &n));
    UploadOperation(alice, "0\n1\nSent\nOld\n" + QString("%1 %1 0 alice\n")
                                                     .arg(n, 6, 10, QChar('0'))
                                                     .toStdString());
    const auto old = Messages(alice, 1, "Old");
    ASSERT_TRUE(old);
    EXPECT_FALSE(LineOf(*old, "Going away").empty());
    const QString body = QString::fromStdString(server.DataDir()) + "/localnet/" +
                         MailboxService::BodyPath("1234567", "alice", n);
    EXPECT_TRUE(QFileInfo::exists(body));
    EXPECT_EQ(Delete(alice, 1, "Old").first, net::mailbox::kFolderDeleted);
    EXPECT_EQ(Service().FindMessage("1234567", "alice", n), nullptr);
    EXPECT_FALSE(QFileInfo::exists(body));
    // Bob's entry stays; only the message behind it is gone.
    TestClient bob;
    ASSERT_TRUE(bob.Login(server.FilePort(), "1234567", "bob", "bobpass"));
    EXPECT_FALSE(LineOf(Messages(bob, 0, "Primary").value_or(""), "Going away").empty());
}

TEST_F(MailboxServiceTest, OperationsApplyOnTheLastChunkBeforeTheNextRequest) {
    const auto primary = Messages(alice, 0, "Primary");
    ASSERT_TRUE(primary);
    const std::string figures = LineOf(*primary, "Quarterly figures");
    const std::string welcome = LineOf(*primary, "Welcome back");
    const int32_t figuresNumber = std::stoi(figures);
    const int32_t welcomeNumber = std::stoi(welcome);
    const std::string file = "1\n0\nPrimary\n" +
                             QString("%1 000000 1 bob\n%2 999999 1 carol\n999 999999 1 nobody\n")
                                 .arg(figuresNumber, 6, 10, QChar('0'))
                                 .arg(welcomeNumber, 6, 10, QChar('0'))
                                 .toStdString();
    UploadOperation(alice, file);
    // The very next request already sees the change.
    EXPECT_EQ(Unread(alice), 0);

    // Marked unread again; moved to another Inbox folder; a move across
    // roots and one to the folder itself do nothing.
    UploadOperation(alice, "2\n0\nPrimary\n" + figures.substr(0, figures.find(" bob ") + 4) + "\n");
    EXPECT_EQ(Unread(alice), 1);
    UploadOperation(alice, "0\n0\nPrimary\nSent\n" +
                               QString("%1 0 0 bob\n").arg(figuresNumber).toStdString());
    UploadOperation(alice, "0\n0\nPrimary\nProjects\n" +
                               QString("%1 0 0 bob\n").arg(figuresNumber).toStdString());
    EXPECT_EQ(Folders(alice).substr(0, 62),
              std::string("MAILBOX_ROOTDIR_INBOX\nPrimary 0 Primary\nProjects 1 Projects\nMA"));

    // Deleting in the Inbox removes the entry only; bob's mailbox and
    // message stay as they were.
    UploadOperation(alice, "3\n0\nProjects\n" +
                               QString("%1 0 1 bob\n").arg(figuresNumber).toStdString());
    EXPECT_EQ(Messages(alice, 0, "Projects").value_or("x").find("Quarterly"), std::string::npos);
    EXPECT_NE(Service().FindMessage("1234567", "bob", figuresNumber), nullptr);
    TestClient bob;
    ASSERT_TRUE(bob.Login(server.FilePort(), "1234567", "bob", "bobpass"));
    EXPECT_FALSE(LineOf(Messages(bob, 1, "Sent").value_or(""), "Quarterly figures").empty());

    // Deleting in the Outbox deletes the message itself.
    const auto sent = Messages(alice, 1, "Sent");
    ASSERT_TRUE(sent);
    const int32_t notes = std::stoi(LineOf(*sent, "Meeting notes"));
    UploadOperation(alice, "3\n1\nSent\n" + QString("%1 999999 0 alice\n").arg(notes).toStdString());
    EXPECT_EQ(Unread(alice), 0);
    EXPECT_EQ(Service().FindMessage("1234567", "alice", notes), nullptr);
}

TEST_F(MailboxServiceTest, BadOperationFilesChangeNothing) {
    const std::string before = Folders(alice);
    for (const std::string& file :
         {std::string("9\n0\nPrimary\n"), std::string("1\n7\nPrimary\n000001 0 1 bob\n"),
          std::string("1\n0\nNowhere\n000001 0 1 bob\n"), std::string("garbage"),
          std::string("1\n0\nPrimary\nnot a line\n\n\n")}) {
        UploadOperation(alice, file);
        EXPECT_EQ(Folders(alice), before) << file;
    }
    // Too large to be a list of messages: refused before any byte moves.
    net::MessageWriter w(net::mailbox::kOperationUpload);
    w.Int(4 * 1024 * 1024 + 1);
    ASSERT_TRUE(alice.Send(w, Primary::Upload));
    auto m = alice.Receive();
    ASSERT_TRUE(m);
    EXPECT_TRUE(m->Is(Primary::Upload, Secondary::Response, net::upload::kRefusedFileTooLarge));
}

TEST_F(MailboxServiceTest, DeliveryTellsOnlineRecipientsOnTheirNetworkConnection) {
    TestClient bobNetwork;
    ASSERT_TRUE(bobNetwork.Login(server.NetworkPort(), "1234567", "bob", "bobpass"));
    TestClient carolFile;
    ASSERT_TRUE(carolFile.Login(server.FilePort(), "1234567", "carol", "carolpass"));

    MailboxService::Delivery bad;
    bad.number = "1234567";
    bad.sender = "alice";
    bad.recipients = {"bob", "nosuchuser"};
    bad.subject = "Never";
    QString why;
    EXPECT_FALSE(Service().Deliver(bad, nullptr, &why));
    EXPECT_EQ(why, "Recipient 'nosuchuser' does not exist");

    MailboxService::Delivery d;
    d.number = "1234567";
    d.sender = "alice";
    d.recipients = {"Bob", "carol", "bob"};
    d.subject = "Two\nlines";
    d.body = "hello";
    int32_t n = 0;
    ASSERT_TRUE(Service().Deliver(d, &n));

    auto note = bobNetwork.Receive();
    ASSERT_TRUE(note);
    EXPECT_TRUE(note->Is(Primary::Mailbox, Secondary::Notification, net::mailbox::kNewMail));
    EXPECT_FALSE(carolFile.Receive(std::chrono::milliseconds(100)))
        << "the file-server connection is not told";

    TestClient bob;
    ASSERT_TRUE(bob.Login(server.FilePort(), "1234567", "bob", "bobpass"));
    const std::string primary = Messages(bob, 0, "Primary").value_or("");
    const std::string line = LineOf(primary, "Two lines");
    EXPECT_EQ(line.substr(0, line.find(" alice ")),
              QString("%1 999999 1").arg(n).toStdString())
        << "one entry however often named, on one line";
    EXPECT_EQ(primary.find("Two lines", primary.find("Two lines") + 1), std::string::npos);
    EXPECT_NE(LineOf(Messages(alice, 1, "Sent").value_or(""), "Two lines").find(" 0 alice "),
              std::string::npos);
}

TEST_F(MailboxServiceTest, SessionMailGoesToTheSessionFolderOfEachMember) {
    MailboxService::Delivery d;
    d.number = "1234567";
    d.sender = "carol";
    d.sessions.push_back({"ses042", "Book Club", {"alice", "carol", "ghost"}});
    d.subject = "Next book";
    ASSERT_TRUE(Service().Deliver(d));
    const std::string folders = Folders(alice);
    EXPECT_NE(folders.find("MAILBOX_ROOTDIR_SESSIONS\ndemo01 0 Team Alpha\nses042 1 Book Club\n"),
              std::string::npos)
        << folders;
    EXPECT_FALSE(LineOf(Messages(alice, 2, "ses042").value_or(""), "Next book").empty());
    // Moving is not for session folders.
    UploadOperation(alice, "0\n2\nses042\ndemo01\n000001 999999 1 carol\n");
    EXPECT_NE(Folders(alice).find("ses042 1 Book Club"), std::string::npos);
}

}  // namespace
}  // namespace servertest

namespace servertest {
namespace {

class MailReadingTest : public MailboxServiceTest {
  protected:
    std::optional<std::string> Download(TestClient& c, net::MessageWriter& w, int32_t slot) {
        EXPECT_TRUE(c.Send(w, Primary::Download));
        return Collect(c, slot);
    }
    std::optional<std::string> Recipients(TestClient& c, int32_t root, const std::string& key,
                                          const std::string& sender, int32_t n, int32_t att) {
        net::MessageWriter w(net::mailbox::kRecipientsDownload);
        w.Int(root).Str(key).Str(sender).Int(n).Int(att).Int(0);
        return Download(c, w, 22);
    }
    std::optional<std::string> Part(TestClient& c, int32_t code, int32_t slot,
                                    const std::string& sender, int32_t n, int32_t att) {
        net::MessageWriter w(code);
        w.Str(sender).Int(n).Int(att).Int(0);
        return Download(c, w, slot);
    }
    std::pair<int32_t, std::string> Name(TestClient& c, const std::string& sender, int32_t n,
                                         int32_t att) {
        net::MessageWriter w(net::mailbox::kAttachmentName);
        w.Int(0).Str("Primary").Str(sender).Int(n).Int(att);
        return Ask(c, w);
    }
};

// Uploads `file` under `code` on `slot`; false when the go-ahead did not come.
bool UploadWhole(TestClient& c, net::MessageWriter& request, int32_t slot, const std::string& file) {
    if (!c.Send(request, Primary::Upload)) return false;
    auto go = c.Receive();
    if (!go || !go->Is(Primary::Upload, Secondary::Response, net::upload::kGoAhead)) return false;
    for (size_t at = 0; at < file.size(); at += 4096) {
        const std::string chunk = file.substr(at, 4096);
        net::MessageWriter cw(net::upload::kChunk);
        cw.Int(slot).Raw(chunk.data(), static_cast<int>(chunk.size()));
        if (!c.Send(cw, Primary::Upload, Secondary::Response)) return false;
    }
    return true;
}

TEST_F(MailReadingTest, SendingChecksRecipientsThenDeliversWithAReport) {
    TestClient aliceNet;
    ASSERT_TRUE(aliceNet.Login(server.NetworkPort(), "1234567", "alice", "alicepass"));
    const auto list = [&](const std::string& file) {
        net::MessageWriter w(net::mailbox::kRecipientsUpload);
        w.Int(static_cast<int32_t>(file.size()));
        EXPECT_TRUE(UploadWhole(alice, w, 17, file));
        return aliceNet.Receive();
    };
    auto refused = list("0 bob\n0 nobody\n1 No Such Session\n");
    ASSERT_TRUE(refused);
    EXPECT_TRUE(refused->Is(Primary::Mailbox, Secondary::Response, net::mailbox::kRecipientsRefused));
    std::string why;
    auto rf = refused->Reader();
    EXPECT_TRUE(rf.Str(1, 512, why));
    EXPECT_EQ(why, "Unknown recipients: nobody, (No Such Session)");

    // Deliver without a complete send is ignored.
    net::MessageWriter early(net::mailbox::kDeliver);
    ASSERT_TRUE(aliceNet.Send(early, Primary::Mailbox));
    EXPECT_FALSE(aliceNet.Receive(std::chrono::milliseconds(100)));

    auto ok = list("0 BOB\n1 team alpha\n");
    ASSERT_TRUE(ok);
    EXPECT_TRUE(ok->Is(Primary::Mailbox, Secondary::Response, net::mailbox::kGoAhead));

    const auto body = [&](const std::string& subject, const std::string& text) {
        net::MessageWriter w(net::mailbox::kBodyUpload);
        w.Int(static_cast<int32_t>(text.size())).Str(subject);
        return UploadWhole(alice, w, 19, text);
    };
    EXPECT_FALSE(body(std::string(101, 's'), "text")) << "a subject of 101 characters is refused";
    ASSERT_TRUE(body(std::string(100, 's'), "the text"));
    auto stored = alice.Receive();
    ASSERT_TRUE(stored);
    EXPECT_TRUE(stored->Is(Primary::Mailbox, Secondary::Response, net::mailbox::kGoAhead))
        << "the body's go-ahead comes on the file-server connection";

    net::MessageWriter deliver(net::mailbox::kDeliver);
    ASSERT_TRUE(aliceNet.Send(deliver, Primary::Mailbox));
    std::optional<Received> sent;
    while ((sent = aliceNet.Receive()) && sent->header.nDescSecondary != +Secondary::Response) {
    }
    ASSERT_TRUE(sent);
    EXPECT_TRUE(sent->Is(Primary::Mailbox, Secondary::Response, net::mailbox::kSentWithReport));
    int32_t self = -1;
    auto sf = sent->Reader();
    EXPECT_TRUE(sf.Int(0, 1, self));
    EXPECT_EQ(self, 1) << "alice created Team Alpha, so she is reached too";

    net::MessageWriter report(net::mailbox::kReportDownload);
    report.Int(0);
    const std::string text = Download(alice, report, 20).value_or("<refused>");
    EXPECT_EQ(text.substr(0, 4), "bob\n");
    EXPECT_NE(text.find("(Team Alpha): alice"), std::string::npos) << text;

    TestClient bob;
    ASSERT_TRUE(bob.Login(server.FilePort(), "1234567", "bob", "bobpass"));
    EXPECT_FALSE(LineOf(Messages(bob, 0, "Primary").value_or(""), std::string(100, 's')).empty());
}

TEST_F(MailReadingTest, AttachmentsAreLimitedInSizeAndInNumberKept) {
    TestClient aliceNet;
    ASSERT_TRUE(aliceNet.Login(server.NetworkPort(), "1234567", "alice", "alicepass"));
    net::MessageWriter listRequest(net::mailbox::kRecipientsUpload);
    const std::string list = "0 bob\n";
    listRequest.Int(static_cast<int32_t>(list.size()));
    ASSERT_TRUE(UploadWhole(alice, listRequest, 17, list));
    auto go = aliceNet.Receive();
    ASSERT_TRUE(go && go->Is(Primary::Mailbox, Secondary::Response, net::mailbox::kGoAhead));

    const auto refusal = [&](int32_t size) {
        net::MessageWriter w(net::mailbox::kAttachmentUpload);
        w.Int(size).Str("big.bin");
        EXPECT_TRUE(alice.Send(w, Primary::Upload));
        auto m = alice.Receive();
        return m ? m->code : -1;
    };
    EXPECT_EQ(refusal(10485761), net::upload::kRefusedAttachmentSpace);

    net::MessageWriter attach(net::mailbox::kAttachmentUpload);
    attach.Int(14).Str("../../.bashrc");
    ASSERT_TRUE(UploadWhole(alice, attach, 18, std::string("attached\0bytes", 14)));
    net::MessageWriter body(net::mailbox::kBodyUpload);
    body.Int(4).Str("With a file");
    ASSERT_TRUE(UploadWhole(alice, body, 19, "text"));
    auto stored = alice.Receive();
    ASSERT_TRUE(stored && stored->Is(Primary::Mailbox, Secondary::Response, net::mailbox::kGoAhead));
    net::MessageWriter deliver(net::mailbox::kDeliver);
    ASSERT_TRUE(aliceNet.Send(deliver, Primary::Mailbox));
    auto sent = aliceNet.Receive();
    ASSERT_TRUE(sent && sent->Is(Primary::Mailbox, Secondary::Response, net::mailbox::kSent));

    const std::string line = LineOf(Messages(alice, 1, "Sent").value_or(""), "With a file");
    const int32_t n = std::stoi(line);
    const MailboxService::Message* m = Service().FindMessage("1234567", "alice", n);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->attachmentName, "../../.bashrc") << "the name is kept as data, never as a path";
    TestClient bob;
    ASSERT_TRUE(bob.Login(server.FilePort(), "1234567", "bob", "bobpass"));
    EXPECT_EQ(Part(bob, net::mailbox::kAttachmentDownload, 24, "alice", n, n).value_or(""),
              std::string("attached\0bytes", 14));

    // Nineteen more fill the twenty a sender may keep.
    for (int i = 0; i < 19; ++i) {
        MailboxService::Delivery d;
        d.number = "1234567";
        d.sender = "alice";
        d.recipients = {"bob"};
        d.subject = "more";
        d.body = "b";
        d.hasAttachment = true;
        d.attachmentName = "a";
        d.attachment = "a";
        ASSERT_TRUE(Service().Deliver(d));
    }
    EXPECT_EQ(refusal(10), net::upload::kRefusedTooManyAttachments);
}

TEST_F(MailReadingTest, HoldersReadListBodyAndAttachmentUntilTheSenderDeletesIt) {
    MailboxService::Delivery d;
    d.number = "1234567";
    d.sender = "alice";
    d.recipients = {"bob"};
    d.sessions.push_back({"abc123", "Team Alpha", {"bob", "carol"}});
    d.subject = "Plans";
    d.body = "the body";
    d.hasAttachment = true;
    d.attachmentName = "plan.txt";
    d.attachment = "attached bytes";
    int32_t n = 0;
    ASSERT_TRUE(Service().Deliver(d, &n));

    TestClient bob;
    ASSERT_TRUE(bob.Login(server.FilePort(), "1234567", "bob", "bobpass"));
    EXPECT_EQ(Name(bob, "alice", n, n), std::make_pair(int32_t(net::mailbox::kAttachmentNameAnswer),
                                                       std::string("plan.txt\n")));
    EXPECT_EQ(Name(bob, "alice", n, MailboxService::kNoAttachment).first, net::mailbox::kMessageGone);

    EXPECT_NE(LineOf(Messages(bob, 0, "Primary").value_or(""), "Plans").find(" 1 alice "),
              std::string::npos)
        << "unread before it is opened";
    EXPECT_EQ(Recipients(bob, 0, "Primary", "alice", n, n).value_or("<refused>"),
              "0 bob bob\n1 abc123 Team Alpha\n");
    EXPECT_NE(LineOf(Messages(bob, 0, "Primary").value_or(""), "Plans").find(" 0 alice "),
              std::string::npos)
        << "downloading the list marks it read in the folder named";
    EXPECT_NE(LineOf(Messages(bob, 2, "abc123").value_or(""), "Plans").find(" 1 alice "),
              std::string::npos)
        << "the session folder's entry stays unread";

    EXPECT_EQ(Part(bob, net::mailbox::kBodyDownload, 23, "alice", n, n).value_or(""), "the body");
    EXPECT_EQ(Part(bob, net::mailbox::kAttachmentDownload, 24, "alice", n, n).value_or(""),
              "attached bytes");
    EXPECT_EQ(Part(alice, net::mailbox::kBodyDownload, 23, "alice", n, n).value_or(""), "the body")
        << "the sender reads its own message";

    // Someone holding no entry of it is refused.
    TestClient carolless;
    ASSERT_TRUE(carolless.Login(server.FilePort(), "1234567", "carol", "carolpass"));
    EXPECT_TRUE(Part(carolless, net::mailbox::kBodyDownload, 23, "alice", n, n))
        << "carol holds it through the session";
    EXPECT_FALSE(Part(carolless, net::mailbox::kBodyDownload, 23, "bob", 1, 0));

    // The sender deletes the original from its Outbox.
    UploadOperation(alice, "3\n1\nSent\n" + QString("%1 %1 0 alice\n")
                                                .arg(n, 6, 10, QChar('0'))
                                                .toStdString());
    EXPECT_FALSE(Recipients(bob, 0, "Primary", "alice", n, n));
    EXPECT_FALSE(Part(bob, net::mailbox::kBodyDownload, 23, "alice", n, n));
    EXPECT_FALSE(Part(bob, net::mailbox::kAttachmentDownload, 24, "alice", n, n));
    EXPECT_EQ(Name(bob, "alice", n, n).first, net::mailbox::kMessageGone);
}

}  // namespace
}  // namespace servertest
