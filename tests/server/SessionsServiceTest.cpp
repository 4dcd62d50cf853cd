// The session directory of the local network: what each request answers,
// and why, over the raw protocol.

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QSqlQuery>
#include <map>

#include "TestClient.h"
#include "server/sessions/SessionTable.h"
#include "server/sessions/SessionsService.h"
#include "support/qt/LocalNetworkFixture.h"

namespace servertest {
namespace {

using net::Primary;
using net::Secondary;
namespace code = net::session;

struct Row {
    std::string id, name, creator;
    int32_t participants = 0, isPrivate = 0;
};
struct Page {
    int32_t sortCode = -1, selector = -1, index = -1, size = -1, total = -1;
    std::vector<Row> rows;
};
struct Member {
    std::string name;
    int32_t admin = 0, creator = 0, moderator = 0, presence = 0;
};
struct RoomState {
    std::string id, account, name, creator;
    int32_t event = -1;
    std::vector<Member> members;
};

class SessionsServiceTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(server.Start()); }

    std::unique_ptr<TestClient> LogIn(const std::string& user,
                                      const std::string& number = "1234567") {
        auto c = std::make_unique<TestClient>();
        EXPECT_TRUE(c->Login(server.NetworkPort(), number, user, user + "pass"));
        return c;
    }
    static bool Send(TestClient& c, net::MessageWriter& w) { return c.Send(w, Primary::Session); }

    // The next Session message; other families' are skipped.
    static std::optional<Received> Next(TestClient& c) {
        for (;;) {
            auto m = c.Receive(std::chrono::seconds(5));
            if (!m || m->header.nDescPrimary == +Primary::Session) return m;
        }
    }
    static int32_t NextCode(TestClient& c, std::string* explanation = nullptr) {
        auto m = Next(c);
        if (!m) return -1;
        if (explanation) {
            auto f = m->Reader();
            f.Str(1, 512, *explanation);
        }
        return m->code;
    }

    static Page List(TestClient& c, int32_t sort, int32_t index, int32_t size,
                     int32_t selector = 0) {
        net::MessageWriter w(code::kListSessions);
        w.Int(sort).Int(index).Int(size).Int(selector).Int(0);
        EXPECT_TRUE(Send(c, w));
        auto m = Next(c);
        Page p;
        if (!m || !m->Is(Primary::Session, Secondary::Response, code::kListPage)) {
            ADD_FAILURE() << "no list page";
            return p;
        }
        auto f = m->Reader();
        int32_t count = 0, v = 0;
        EXPECT_TRUE(f.Int(0, 9, p.sortCode) && f.Int(0, 1, p.selector) && f.Int(0, 999, p.index) &&
                    f.Int(1, 500, p.size) && f.Int(0, 10000, p.total) && f.Int(0, 500, count));
        for (int32_t i = 0; i < count; ++i) {
            Row r;
            EXPECT_TRUE(f.Str(6, 6, r.id) && f.Str(1, 20, r.name) && f.Str(1, 12, r.creator));
            for (int k = 0; k < 6; ++k) EXPECT_TRUE(f.Int(0, 5000, v));
            EXPECT_TRUE(f.Int(0, 1000, r.participants) && f.Int(0, 1, r.isPrivate));
            p.rows.push_back(r);
        }
        EXPECT_TRUE(f.AtEnd());
        return p;
    }
    std::string IdOf(TestClient& c, const std::string& name) {
        for (const Row& r : List(c, 0, 0, 100).rows)
            if (r.name == name) return r.id;
        return {};
    }
    static bool Join(TestClient& c, const std::string& id, const std::string& password) {
        net::MessageWriter w(code::kJoinSession);
        w.Str(id).Str(password);
        return Send(c, w);
    }
    static std::optional<RoomState> NextRoomState(TestClient& c) {
        auto m = Next(c);
        if (!m || !m->Is(Primary::Session, Secondary::Notification, code::kRoomState)) return {};
        auto f = m->Reader();
        RoomState s;
        std::string description;
        int32_t v = 0, count = 0;
        if (!(f.Str(6, 6, s.id) && f.Int(0, 6, s.event) && f.Str(0, 12, s.account) &&
              f.Str(1, 20, s.name) && f.Str(1, 500, description) && f.Str(1, 12, s.creator)))
            return {};
        for (int k = 0; k < 6; ++k)
            if (!f.Int(-1, -1, v)) return {};
        if (!f.Int(0, 200, count)) return {};
        for (int32_t i = 0; i < count; ++i) {
            Member m;
            if (!(f.Str(1, 12, m.name) && f.Int(0, 1, m.admin) && f.Int(0, 1, m.creator) &&
                  f.Int(0, 1, m.moderator) && f.Int(-1, -1, m.presence)))
                return {};
            s.members.push_back(m);
        }
        if (!f.AtEnd()) return {};
        return s;
    }
    static net::MessageWriter Create(const std::string& name, const std::string& password = {},
                                     int32_t isPrivate = 0, int32_t maximum = 20) {
        net::MessageWriter w(code::kCreateSession);
        w.Str(name).Str("About " + name).Str(password).Int(isPrivate).Int(maximum);
        return w;
    }
    bool Sql(const QString& statement) {
        return server.Network().GetStore().Write(
            [&](QSqlDatabase& db) { return QSqlQuery(db).exec(statement); });
    }

    testsupport::LocalNetworkFixture server;
};

TEST_F(SessionsServiceTest, DemoPagesAreSortedClampedAndEchoed) {
    auto alice = LogIn("alice");
    Page first = List(*alice, 3, 0, 20);
    EXPECT_EQ(first.total, 24);
    EXPECT_EQ(first.rows.size(), 20u);
    EXPECT_EQ(first.rows.front().name, "Lobby");  // the newest
    EXPECT_EQ(List(*alice, 3, 1, 20).rows.size(), 4u);
    // An index past the end answers the last page, and says so.
    Page past = List(*alice, 3, 99, 20);
    EXPECT_EQ(past.index, 1);
    EXPECT_EQ(past.rows.size(), 4u);
    // Sizes: at least 1, at most what one message holds, echoed.
    EXPECT_EQ(List(*alice, 3, 0, 0).size, 1);
    EXPECT_EQ(List(*alice, 3, 0, 5000).size, localnet::RowsPerMessage());
    EXPECT_LT(localnet::RowsPerMessage(), 500);
    // The selector comes back as sent.
    EXPECT_EQ(List(*alice, 3, 0, 12, 1).selector, 1);

    // By name, either way; by type, the private ones last ascending.
    Page byName = List(*alice, 0, 0, 30);
    Page byNameDown = List(*alice, 1, 0, 30);
    ASSERT_EQ(byName.rows.size(), 24u);
    for (size_t i = 1; i < byName.rows.size(); ++i) {
        EXPECT_LE(QString::fromStdString(byName.rows[i - 1].name).toLower(),
                  QString::fromStdString(byName.rows[i].name).toLower());
        EXPECT_EQ(byName.rows[i].name, byNameDown.rows[23 - i].name);
    }
    Page byType = List(*alice, 4, 0, 30);
    EXPECT_EQ(byType.rows.back().isPrivate, 1);
    EXPECT_EQ(byType.rows.front().isPrivate, 0);
    // Ties in type go by id.
    for (size_t i = 1; i < byType.rows.size(); ++i) {
        if (byType.rows[i - 1].isPrivate == byType.rows[i].isPrivate) {
            EXPECT_LT(byType.rows[i - 1].id, byType.rows[i].id);
        }
    }
}

TEST_F(SessionsServiceTest, CreateAnswersInOrderAdminOnlyNameTakenLimitCreated) {
    {
        SCOPED_TRACE("a network where only administrators create");
        auto alice = LogIn("alice", "7654321");
        net::MessageWriter ask(code::kAskToCreate);
        ASSERT_TRUE(Send(*alice, ask));
        auto answer = Next(*alice);
        ASSERT_TRUE(answer &&
                    answer->Is(Primary::Session, Secondary::Response, code::kCreateAnswer));
        int32_t flag = -1;
        auto f = answer->Reader();
        ASSERT_TRUE(f.Int(0, 1, flag));
        EXPECT_EQ(flag, 1);
        auto w = Create("Members");
        ASSERT_TRUE(Send(*alice, w));
        std::string why;
        EXPECT_EQ(NextCode(*alice, &why), code::kAdminOnly);
        EXPECT_FALSE(why.empty());
        auto admin = LogIn("admin", "7654321");
        auto again = Create("Members");
        ASSERT_TRUE(Send(*admin, again));
        EXPECT_EQ(NextCode(*admin), code::kCreated);
    }
    auto alice = LogIn("alice");
    auto taken = Create("lOBBY");  // any case
    ASSERT_TRUE(Send(*alice, taken));
    EXPECT_EQ(NextCode(*alice), code::kNameTaken);

    // A name of 11 accented letters is 22 bytes: ignored, not stored.
    auto accented = Create(
        "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9");
    ASSERT_TRUE(Send(*alice, accented));
    // A private session without a password is ignored too.
    auto noPassword = Create("Locked", "", 1);
    ASSERT_TRUE(Send(*alice, noPassword));
    // The next answer is the list's: nothing came back for either.
    EXPECT_EQ(List(*alice, 3, 0, 30).total, 24);

    auto fresh = Create("Alice's Room", "secret", 1, 5);
    ASSERT_TRUE(Send(*alice, fresh));
    EXPECT_EQ(NextCode(*alice), code::kCreated);
    Page page = List(*alice, 3, 0, 30);
    EXPECT_EQ(page.total, 25);
    EXPECT_EQ(page.rows.front().name, "Alice's Room");
    EXPECT_EQ(page.rows.front().creator, "alice");
    EXPECT_EQ(page.rows.front().isPrivate, 1);
    const std::string id = page.rows.front().id;
    EXPECT_EQ(id.size(), 6u);
    EXPECT_TRUE(
        QDir(server.Network().GetStore().DataDir() + "/" +
             localnet::SessionsService::SessionFolder("1234567", QString::fromStdString(id)))
            .exists());

    // The limit, once the network has one; and the session outlives a restart.
    ASSERT_TRUE(Sql("UPDATE session_networks SET max_sessions = 25 WHERE network = '1234567'"));
    alice.reset();
    ASSERT_TRUE(server.Restart());
    alice = LogIn("alice");
    auto over = Create("One Too Many");
    ASSERT_TRUE(Send(*alice, over));
    EXPECT_EQ(NextCode(*alice), code::kSessionLimit);
    EXPECT_EQ(IdOf(*alice, "Alice's Room"), id);
}

TEST_F(SessionsServiceTest, JoinAnswersFromTheirCausesAndEveryoneHearsTheRoomState) {
    auto bob = LogIn("bob");
    auto carol = LogIn("carol");
    const std::string projectX = IdOf(*carol, "Project X");
    ASSERT_FALSE(projectX.empty());

    ASSERT_TRUE(Join(*carol, projectX, ""));
    auto asked = Next(*carol);
    ASSERT_TRUE(asked && asked->Is(Primary::Session, Secondary::Response, code::kPasswordRequired));
    std::string askedId;
    auto f = asked->Reader();
    ASSERT_TRUE(f.Str(6, 6, askedId));
    EXPECT_EQ(askedId, projectX);
    ASSERT_TRUE(Join(*carol, projectX, "wrong"));
    EXPECT_EQ(NextCode(*carol), code::kWrongPassword);
    ASSERT_TRUE(Join(*carol, "nosuch", "xpass"));
    EXPECT_EQ(NextCode(*carol), code::kNotFound);

    // The creator needs no password.
    ASSERT_TRUE(Join(*bob, projectX, ""));
    auto bobIn = NextRoomState(*bob);
    ASSERT_TRUE(bobIn);
    EXPECT_EQ(bobIn->event, 0);
    EXPECT_EQ(bobIn->account, "bob");
    EXPECT_EQ(bobIn->name, "Project X");
    ASSERT_EQ(bobIn->members.size(), 1u);
    EXPECT_EQ(bobIn->members[0].creator, 1);
    EXPECT_EQ(bobIn->members[0].presence, 1);

    ASSERT_TRUE(Join(*carol, projectX, "xpass"));
    auto toCarol = NextRoomState(*carol);
    auto toBob = NextRoomState(*bob);
    ASSERT_TRUE(toCarol && toBob);
    EXPECT_EQ(toCarol->account, "carol");
    EXPECT_EQ(toBob->account, "carol");
    ASSERT_EQ(toBob->members.size(), 2u);
    EXPECT_EQ(toBob->members[1].name, "carol");
    EXPECT_EQ(toBob->members[1].creator, 0);
    ASSERT_TRUE(Join(*carol, projectX, "xpass"));
    EXPECT_EQ(NextCode(*carol), code::kAlreadyIn);

    Page page = List(*carol, 0, 0, 30);
    for (const Row& r : page.rows)
        if (r.id == projectX) {
            EXPECT_EQ(r.participants, 2);
        }

    // A closed connection leaves: the others hear it.
    carol.reset();
    auto left = NextRoomState(*bob);
    ASSERT_TRUE(left);
    EXPECT_EQ(left->event, 1);
    EXPECT_EQ(left->account, "carol");
    EXPECT_EQ(left->members.size(), 1u);
}

TEST_F(SessionsServiceTest, FullAndBannedSessionsTurnJoinersAway) {
    auto admin = LogIn("admin");
    auto small = Create("Two Seats", "", 0, 1);
    ASSERT_TRUE(Send(*admin, small));
    ASSERT_EQ(NextCode(*admin), code::kCreated);
    const std::string id = IdOf(*admin, "Two Seats");
    const std::string lobby = IdOf(*admin, "Lobby");
    ASSERT_TRUE(Join(*admin, id, ""));
    ASSERT_TRUE(NextRoomState(*admin));
    auto alice = LogIn("alice");
    ASSERT_TRUE(Join(*alice, id, ""));
    EXPECT_EQ(NextCode(*alice), code::kSessionFull);

    // A ban holds until it ends.
    ASSERT_TRUE(Sql(QString("INSERT INTO session_bans (network, id, username_key, until) VALUES "
                            "('1234567', '%1', 'alice', %2), ('1234567', '%1', 'bob', 1)")
                        .arg(QString::fromStdString(lobby))
                        .arg(QDateTime::currentSecsSinceEpoch() + 3600)));
    alice.reset();
    admin.reset();
    ASSERT_TRUE(server.Restart());
    alice = LogIn("alice");
    ASSERT_TRUE(Join(*alice, lobby, ""));
    EXPECT_EQ(NextCode(*alice), code::kBanned);
    auto bob = LogIn("bob");
    ASSERT_TRUE(Join(*bob, lobby, ""));
    EXPECT_TRUE(NextRoomState(*bob));  // that ban is over
}

TEST_F(SessionsServiceTest, OnlyCreatorOrAdministratorModifiesOrDeletes) {
    auto carol = LogIn("carol");
    auto bob = LogIn("bob");
    auto alice = LogIn("alice");
    const std::string projectX = IdOf(*bob, "Project X");
    net::MessageWriter get(code::kGetSessionForModify);
    get.Str(projectX);
    ASSERT_TRUE(Send(*carol, get));
    EXPECT_EQ(NextCode(*carol), code::kNotFound);

    net::MessageWriter getBob(code::kGetSessionForModify);
    getBob.Str(projectX);
    ASSERT_TRUE(Send(*bob, getBob));
    auto data = Next(*bob);
    ASSERT_TRUE(data && data->Is(Primary::Session, Secondary::Response, code::kForModify));
    auto f = data->Reader();
    std::string id, description, password;
    int32_t maximum = 0, isPrivate = 0;
    ASSERT_TRUE(f.Str(6, 6, id) && f.Str(1, 500, description) && f.Int(1, 200, maximum) &&
                f.Int(0, 1, isPrivate) && f.Str(0, 20, password));
    EXPECT_EQ(id, projectX);
    EXPECT_EQ(isPrivate, 1);
    EXPECT_EQ(password, "xpass");

    net::MessageWriter modify(code::kModifySession);
    modify.Str(projectX).Str("Open to all now").Str("ignored").Int(0).Int(50);
    ASSERT_TRUE(Send(*bob, modify));
    EXPECT_EQ(NextCode(*bob), code::kModified);
    ASSERT_TRUE(Join(*alice, projectX, ""));  // open now: no password asked
    ASSERT_TRUE(NextRoomState(*alice));

    net::MessageWriter del(code::kDeleteSession);
    del.Str(projectX);
    ASSERT_TRUE(Send(*carol, del));
    EXPECT_EQ(NextCode(*carol), code::kNotFound);

    const QString folder =
        server.Network().GetStore().DataDir() + "/" +
        localnet::SessionsService::SessionFolder("1234567", QString::fromStdString(projectX));
    ASSERT_TRUE(QDir(folder).exists());
    auto admin = LogIn("admin");
    net::MessageWriter delAdmin(code::kDeleteSession);
    delAdmin.Str(projectX);
    ASSERT_TRUE(Send(*admin, delAdmin));
    EXPECT_EQ(NextCode(*admin), code::kDeleted);
    EXPECT_FALSE(QDir(folder).exists());
    // Whoever was in it is told it is closed.
    auto closed = Next(*alice);
    ASSERT_TRUE(closed && closed->Is(Primary::Session, Secondary::Notification, code::kClosed));
    auto c = closed->Reader();
    int32_t skipped = 0;
    std::string closedId;
    ASSERT_TRUE(c.Int(-1, -1, skipped) && c.Str(6, 6, closedId));
    EXPECT_EQ(closedId, projectX);
    EXPECT_EQ(List(*admin, 3, 0, 30).total, 23);

    // A restart with the demo seed does not bring it back.
    alice.reset();
    bob.reset();
    carol.reset();
    admin.reset();
    ASSERT_TRUE(server.Restart());
    auto again = LogIn("alice");
    EXPECT_EQ(List(*again, 3, 0, 30).total, 23);
    EXPECT_TRUE(IdOf(*again, "Project X").empty());
}

}  // namespace
}  // namespace servertest
