// The session logs over the raw protocol: what the rooms relay lands in the
// day's file, get history lists the tree folder by folder to those who may
// read it, slot 5 serves its files, and nothing outside the tree is read.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "TestClient.h"
#include "documents/api/DirectoryListing.h"
#include "server/core/LocalNetwork.h"
#include "server/core/TransferEngine.h"
#include "server/history/HistoryService.h"
#include "server/sessions/SessionsService.h"
#include "support/qt/LocalNetworkFixture.h"

namespace servertest {
namespace {

using localnet::HistoryService;
using net::Primary;
using net::Secondary;
namespace code = net::session;

struct History {
    int32_t code = -1;
    std::string path, id, explanation;
    std::vector<documents::CDocumentEntry> entries;
    bool complete = false;
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& e : entries) names.push_back(e.name);
        return names;
    }
};

class HistoryServiceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server.Start());
        service = Find<HistoryService>();
        sessions = Find<localnet::SessionsService>();
        ASSERT_TRUE(service && sessions);
        service->SetClock([] { return QDateTime(QDate(2030, 5, 6), QTime(14, 3, 11)); });
        lobby = sessions->FindByName("1234567", "Lobby")->id.toStdString();
    }
    template <class T>
    T* Find() {
        for (const auto& s : server.Network().AllServices())
            if (auto* found = dynamic_cast<T*>(s.get())) return found;
        return nullptr;
    }
    std::unique_ptr<TestClient> LogIn(const std::string& user, bool fileServer = false) {
        auto c = std::make_unique<TestClient>();
        EXPECT_TRUE(c->Login(fileServer ? server.FilePort() : server.NetworkPort(), "1234567",
                             user, user + "pass"));
        return c;
    }
    static std::optional<Received> NextSession(TestClient& c) {
        for (;;) {
            auto m = c.Receive(std::chrono::seconds(5));
            if (!m || m->header.nDescPrimary == +Primary::Session) return m;
        }
    }
    // Joins and waits for the joiner's own room state.
    void Join(TestClient& c, const std::string& id) {
        net::MessageWriter w(code::kJoinSession);
        w.Str(id).Str("");
        ASSERT_TRUE(c.Send(w, Primary::Session));
        auto m = NextSession(c);
        ASSERT_TRUE(m && m->Is(Primary::Session, Secondary::Notification, code::kRoomState));
    }
    void Say(TestClient& c, const std::string& id, const std::string& text) {
        net::MessageWriter w(code::kSendChatLine);
        w.Str(id).Int(0).Int(0).Int(0).Int(0).Int(0).Int(0).Int(0).Int(1).Str(text);
        ASSERT_TRUE(c.Send(w, Primary::Session));
        auto m = NextSession(c);  // the line comes back to its sender
        ASSERT_TRUE(m && m->Is(Primary::Session, Secondary::Notification, code::kChatLine));
    }
    History Ask(TestClient& c, const std::string& id, const std::string& path) {
        net::MessageWriter w(code::kGetHistory);
        w.Str(id).Str(path);
        EXPECT_TRUE(c.Send(w, Primary::Session));
        History h;
        auto m = NextSession(c);
        if (!m || m->header.nDescSecondary != +Secondary::Response) return h;
        h.code = m->code;
        auto f = m->Reader();
        if (h.code == code::kNotFound) {
            f.Str(1, 512, h.explanation);
        } else if (h.code == code::kHistoryReady) {
            EXPECT_TRUE(f.Str(1, 200, h.path) && f.Str(6, 6, h.id));
            h.complete = documents::DecodeEntries(f, h.entries);
        }
        return h;
    }
    // Slot 5: the whole file, or "<refused>".
    std::string Download(TestClient& c, const std::string& id, const std::string& path,
                         const std::string& name) {
        net::MessageWriter w(2);
        w.Str(id).Str(path).Str(name);
        EXPECT_TRUE(c.Send(w, Primary::Download));
        std::string content;
        int32_t total = -1;
        while (total < 0 || static_cast<int32_t>(content.size()) < total) {
            auto m = c.Receive();
            if (!m) return "<nothing>";
            auto f = m->Reader();
            int32_t slot = -1;
            EXPECT_TRUE(f.Int(0, 24, slot));
            EXPECT_EQ(slot, 5);
            if (m->code == net::download::kRefused) {
                EXPECT_TRUE(f.AtEnd());  // slot 5's refusal carries no text
                return "<refused>";
            }
            if (total < 0) {
                EXPECT_TRUE(f.Int(0, -1, total));
            }
            content.append(reinterpret_cast<const char*>(f.Rest()), size_t(f.RestSize()));
        }
        return content;
    }
    QString Tree(const std::string& id) const {
        return QString::fromStdString(server.DataDir()) + "/localnet/" +
               HistoryService::HistoryFolder("1234567", QString::fromStdString(id));
    }
    static QByteArray Read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    testsupport::LocalNetworkFixture server;
    HistoryService* service = nullptr;
    localnet::SessionsService* sessions = nullptr;
    std::string lobby;
};

TEST(HistoryLinesTest, LinesAreStampedAndStayOneLine) {
    const QTime t(14, 3, 11);
    EXPECT_EQ(HistoryService::ChatLine(t, "bob", "hello"), QByteArray("[14:03:11] bob: hello\n"));
    EXPECT_EQ(HistoryService::ChatLine(QTime(9, 5, 0), "bob", "one\r\ntwo\nthree\rfour\tfive"),
              QByteArray("[09:05:00] bob: one two three four five\n"));
    EXPECT_EQ(HistoryService::EventLine(QTime(14, 3, 20), "carol", code::kEventJoined),
              QByteArray("[14:03:20] carol has joined the session\n"));
    EXPECT_EQ(HistoryService::EventLine(t, "carol", code::kEventLeft),
              QByteArray("[14:03:11] carol has left the session\n"));
    EXPECT_EQ(HistoryService::EventLine(t, "carol", code::kEventAway),
              QByteArray("[14:03:11] carol is away\n"));
    EXPECT_EQ(HistoryService::EventLine(t, "carol", code::kEventOnline),
              QByteArray("[14:03:11] carol is online\n"));
    EXPECT_EQ(HistoryService::EventLine(t, "carol", code::kEventParticipant),
              QByteArray("[14:03:11] carol is now a participant\n"));
    EXPECT_EQ(HistoryService::EventLine(t, "carol", code::kEventModerator),
              QByteArray("[14:03:11] carol is now a moderator\n"));
    EXPECT_TRUE(HistoryService::EventLine(t, "carol", code::kEventRefresh).isEmpty());
    // Bytes that are not UTF-8 are written as UTF-8 all the same.
    const QByteArray bad = HistoryService::ChatLine(t, "bob", QByteArray("a\xff" "b"));
    EXPECT_EQ(QString::fromUtf8(bad).toUtf8(), bad);
    EXPECT_EQ(HistoryService::LogName(QDate(2008, 2, 3)), "logs/2008/2008-02-03.txt");
}

TEST(HistoryLinesTest, OnlyPlainNamesMakeAPath) {
    for (const char* good : {"/", "logs", "logs/2008", "archive", "a.b-c_d~e"})
        EXPECT_TRUE(HistoryService::ValidPath(good)) << good;
    for (const char* bad : {"", "/logs", "logs/", "logs//2008", "logs/..", "..", "logs/../..",
                            ".", "logs/./2008", "logs\\2008", "a\tb", "//"})
        EXPECT_FALSE(HistoryService::ValidPath(bad)) << bad;
    const std::string longest = std::string(50, 'a') + "/" + std::string(50, 'b') + "/" +
                                std::string(50, 'c') + "/" + std::string(47, 'd');
    ASSERT_EQ(longest.size(), 200u);
    EXPECT_TRUE(HistoryService::ValidPath(longest));
    EXPECT_FALSE(HistoryService::ValidPath(longest + "d"));
    EXPECT_FALSE(HistoryService::ValidName(std::string(51, 'a')));
    EXPECT_FALSE(HistoryService::ValidName("a\xff"));
}

TEST_F(HistoryServiceTest, RelayedLinesAreLoggedAndListedFolderByFolder) {
    auto bob = LogIn("bob");
    auto carol = LogIn("carol");
    Join(*bob, lobby);
    Join(*carol, lobby);
    ASSERT_TRUE(NextSession(*bob));  // carol's join, as bob sees it
    Say(*bob, lobby, "hello\r\nthere");
    ASSERT_TRUE(NextSession(*carol));

    const QString day = Tree(lobby) + "/logs/2030/2030-05-06.txt";
    EXPECT_EQ(Read(day),
              "[14:03:11] bob has joined the session\n"
              "[14:03:11] carol has joined the session\n"
              "[14:03:11] bob: hello there\n");

    const History top = Ask(*carol, lobby, "/");
    ASSERT_EQ(top.code, code::kHistoryReady) << top.explanation;
    EXPECT_EQ(top.path, "/");
    EXPECT_EQ(top.id, lobby);
    EXPECT_TRUE(top.complete);
    ASSERT_EQ(top.Names(), (std::vector<std::string>{"archive", "logs"}));
    EXPECT_EQ(top.entries[0].type, documents::kEntryFolder);
    EXPECT_EQ(top.entries[0].locked, 1);  // the demo's locked folder
    EXPECT_EQ(top.entries[1].locked, 0);
    EXPECT_GT(top.entries[1].size, 4 * 1024 * 1024);  // the demo's long day counts in

    const History logs = Ask(*carol, lobby, "logs");
    ASSERT_EQ(logs.code, code::kHistoryReady);
    EXPECT_EQ(logs.path, "logs");
    const int year = QDate::currentDate().year();
    EXPECT_EQ(logs.Names(), (std::vector<std::string>{std::to_string(year - 2),
                                                      std::to_string(year - 1), "2030"}));
    const History days = Ask(*carol, lobby, "logs/2030");
    ASSERT_EQ(days.Names(), std::vector<std::string>{"2030-05-06.txt"});
    EXPECT_EQ(days.entries[0].type, documents::kEntryFile);
    EXPECT_EQ(days.entries[0].size, QFileInfo(day).size());

    // Several days of the demo, one of them long enough to watch.
    const History last = Ask(*carol, lobby, "logs/" + std::to_string(year - 1));
    EXPECT_GE(last.entries.size(), 3u);
    int32_t largest = 0;
    for (const auto& e : last.entries) largest = std::max(largest, e.size);
    EXPECT_GE(largest, 4 * 1024 * 1024);
    const QByteArray longDay =
        Read(Tree(lobby) + QString("/logs/%1/%1-09-30.txt").arg(year - 1));
    EXPECT_EQ(longDay.size(), largest);
    EXPECT_TRUE(longDay.startsWith("[00:00:00] ")) << longDay.left(40).toStdString();
    EXPECT_TRUE(longDay.contains("\n[13:07:59] "));
    EXPECT_EQ(longDay.count('\n'), 86400);
    EXPECT_TRUE(longDay.mid(longDay.lastIndexOf('\n', -2) + 1).startsWith("[23:59:59] "));

    // The file, byte for byte, on slot 5 of the file server.
    auto carolFiles = LogIn("carol", true);
    EXPECT_EQ(Download(*carolFiles, lobby, "logs/2030", "2030-05-06.txt"),
              Read(day).toStdString());
}

TEST_F(HistoryServiceTest, OnlyParticipantsCreatorsAndAdministratorsReadAndOnlyInsideTheTree) {
    auto bob = LogIn("bob");
    Join(*bob, lobby);
    auto alice = LogIn("alice");  // not in the Lobby, not its creator
    History refused = Ask(*alice, lobby, "/");
    EXPECT_EQ(refused.code, code::kNotFound);
    EXPECT_NE(refused.explanation.find("Lobby"), std::string::npos) << refused.explanation;
    EXPECT_EQ(Ask(*alice, "ZZZZZZ", "/").code, code::kNotFound);
    auto admin = LogIn("admin");  // creator and administrator, not in it
    EXPECT_EQ(Ask(*admin, lobby, "/").code, code::kHistoryReady);

    // A file outside the tree, and ways to name it.
    const QString outside = QString::fromStdString(server.DataDir()) + "/secret.txt";
    {
        QFile f(outside);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("secret");
    }
    const QString year = Tree(lobby) + "/logs/" + QString::number(QDate::currentDate().year() - 1);
    ASSERT_TRUE(QFile::link(outside, year + "/leak.txt"));
    ASSERT_TRUE(QFile::link(QString::fromStdString(server.DataDir()), Tree(lobby) + "/logs/up"));
    for (const std::string& bad :
         {std::string("logs/../.."), std::string(".."), std::string("logs/.."),
          std::string("/logs"), std::string("logs//x"), std::string("logs\\.."),
          std::string("archive"), std::string("archive/x"), std::string("nowhere"),
          std::string("logs/up"), std::string(""), std::string(201, 'a')}) {
        const History h = Ask(*bob, lobby, bad);
        EXPECT_EQ(h.code, code::kNotFound) << bad;
        EXPECT_FALSE(h.explanation.empty()) << bad;
    }
    // A link in a listed folder is not listed.
    const History listed =
        Ask(*bob, lobby, "logs/" + std::to_string(QDate::currentDate().year() - 1));
    for (const auto& name : listed.Names()) EXPECT_NE(name, "leak.txt");

    auto bobFiles = LogIn("bob", true);
    const std::string y = "logs/" + std::to_string(QDate::currentDate().year() - 1);
    EXPECT_EQ(Download(*bobFiles, lobby, y, "leak.txt"), "<refused>");
    EXPECT_EQ(Download(*bobFiles, lobby, "logs/up", "secret.txt"), "<refused>");
    EXPECT_EQ(Download(*bobFiles, lobby, "logs/../..", "secret.txt"), "<refused>");
    EXPECT_EQ(Download(*bobFiles, lobby, y, ".."), "<refused>");
    EXPECT_EQ(Download(*bobFiles, lobby, "archive", "2019-06-01.txt"), "<refused>");
    EXPECT_EQ(Download(*bobFiles, lobby, "logs", std::to_string(QDate::currentDate().year() - 1)),
              "<refused>");  // a folder is no file
    auto aliceFiles = LogIn("alice", true);
    EXPECT_EQ(Download(*aliceFiles, lobby, y, "leak.txt"), "<refused>");
    const History days = Ask(*bob, lobby, y);
    ASSERT_FALSE(days.entries.empty());
    EXPECT_EQ(Download(*aliceFiles, lobby, y, days.entries[0].name), "<refused>");
    EXPECT_NE(Download(*bobFiles, lobby, y, days.entries[0].name), "<refused>");
}

TEST_F(HistoryServiceTest, AListingHoldsWhatOneMessageCanCarry) {
    const QString folder = Tree(lobby) + "/logs/1999";
    ASSERT_TRUE(QDir().mkpath(folder));
    for (int i = 0; i < 500; ++i) {
        QFile f(folder + QString::asprintf("/%04d-a-rather-long-name-for-one-log-file.txt", i));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    // Logged in only now: an idle connection is not kept waiting for long.
    auto admin = LogIn("admin");
    const History h = Ask(*admin, lobby, "logs/1999");
    ASSERT_EQ(h.code, code::kHistoryReady);
    EXPECT_TRUE(h.complete);
    EXPECT_GT(h.entries.size(), 300u);
    EXPECT_LT(h.entries.size(), 500u);
    EXPECT_EQ(h.entries.front().name, "0000-a-rather-long-name-for-one-log-file.txt");
}

TEST_F(HistoryServiceTest, ADeletedSessionTakesItsTreeAndLocks) {
    auto bob = LogIn("bob");
    net::MessageWriter create(code::kCreateSession);
    create.Str("Scratch").Str("for a while").Str("").Int(0).Int(10);
    ASSERT_TRUE(bob->Send(create, Primary::Session));
    ASSERT_TRUE(NextSession(*bob));
    const std::string id = sessions->FindByName("1234567", "Scratch")->id.toStdString();
    Join(*bob, id);
    Say(*bob, id, "note to self");
    ASSERT_TRUE(QFileInfo::exists(Tree(id) + "/logs/2030/2030-05-06.txt"));
    ASSERT_TRUE(service->LockFolder("1234567", QString::fromStdString(id), "logs"));
    EXPECT_EQ(Ask(*bob, id, "logs").code, code::kNotFound);

    net::MessageWriter del(code::kDeleteSession);
    del.Str(id);
    ASSERT_TRUE(bob->Send(del, Primary::Session));
    for (;;) {
        auto m = NextSession(*bob);
        ASSERT_TRUE(m);
        if (m->header.nDescSecondary == +Secondary::Response) {
            ASSERT_EQ(m->code, code::kDeleted);
            break;
        }
    }
    EXPECT_FALSE(QFileInfo::exists(Tree(id)));
    EXPECT_FALSE(service->IsLocked("1234567", QString::fromStdString(id), "logs"));
    EXPECT_EQ(Ask(*bob, id, "/").code, code::kNotFound);

    // The lock survives a restart, and so does the demo tree (seeded once).
    ASSERT_TRUE(server.Restart());
    service = Find<HistoryService>();
    EXPECT_TRUE(service->IsLocked("1234567", QString::fromStdString(lobby), "archive"));
}

}  // namespace
}  // namespace servertest
