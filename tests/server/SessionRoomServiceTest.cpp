// The room side of the session service over the raw protocol: leave, chat,
// moderators, removal and bans, info, invitations and presence events.

#include <gtest/gtest.h>

#include <QDateTime>
#include <QSqlQuery>

#include "TestClient.h"
#include "server/core/LocalNetwork.h"
#include "support/qt/LocalNetworkFixture.h"

namespace servertest {
namespace {

using net::Primary;
using net::Secondary;
namespace code = net::session;

struct Member {
    std::string name;
    int32_t admin = 0, creator = 0, moderator = 0, presence = 0;
};
struct State {
    std::string id, account;
    int32_t event = -1;
    std::vector<Member> members;
};

class SessionRoomServiceTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(server.Start()); }

    std::unique_ptr<TestClient> LogIn(const std::string& user) {
        auto c = std::make_unique<TestClient>();
        EXPECT_TRUE(c->Login(server.NetworkPort(), "1234567", user, user + "pass"));
        return c;
    }
    static bool Send(TestClient& c, net::MessageWriter& w) { return c.Send(w, Primary::Session); }
    static std::optional<Received> Next(TestClient& c) {
        for (;;) {
            auto m = c.Receive(std::chrono::seconds(5));
            if (!m || m->header.nDescPrimary == +Primary::Session) return m;
        }
    }
    static std::optional<State> NextState(TestClient& c) {
        auto m = Next(c);
        if (!m || !m->Is(Primary::Session, Secondary::Notification, code::kRoomState)) return {};
        auto f = m->Reader();
        State s;
        std::string skip;
        int32_t v = 0, count = 0;
        if (!(f.Str(6, 6, s.id) && f.Int(0, 6, s.event) && f.Str(0, 12, s.account) &&
              f.Str(1, 20, skip) && f.Str(1, 500, skip) && f.Str(1, 12, skip)))
            return {};
        for (int k = 0; k < 6; ++k)
            if (!f.Int(INT32_MIN, INT32_MAX, v)) return {};
        if (!f.Int(0, 200, count)) return {};
        for (int32_t i = 0; i < count; ++i) {
            Member m;
            if (!(f.Str(1, 12, m.name) && f.Int(0, 1, m.admin) && f.Int(0, 1, m.creator) &&
                  f.Int(0, 1, m.moderator) && f.Int(INT32_MIN, INT32_MAX, m.presence)))
                return {};
            s.members.push_back(m);
        }
        return s;
    }
    // The id of a demo session, from the first page sorted by name.
    std::string IdOf(TestClient& c, const std::string& name) {
        net::MessageWriter w(code::kListSessions);
        w.Int(0).Int(0).Int(100).Int(0).Int(0);
        EXPECT_TRUE(Send(c, w));
        auto m = Next(c);
        if (!m) return {};
        auto f = m->Reader();
        int32_t v = 0, count = 0;
        for (int k = 0; k < 5; ++k) f.Int(INT32_MIN, INT32_MAX, v);
        f.Int(0, 500, count);
        for (int32_t i = 0; i < count; ++i) {
            std::string id, n, creator;
            f.Str(6, 6, id);
            f.Str(1, 20, n);
            f.Str(1, 12, creator);
            for (int k = 0; k < 8; ++k) f.Int(INT32_MIN, INT32_MAX, v);
            if (n == name) return id;
        }
        return {};
    }
    // Joins and reads the room state the joiner gets; everyone already in
    // reads theirs too.
    void Enter(TestClient& c, const std::string& id, std::vector<TestClient*> inside = {},
               const std::string& password = {}) {
        net::MessageWriter w(code::kJoinSession);
        w.Str(id).Str(password);
        ASSERT_TRUE(Send(c, w));
        auto s = NextState(c);
        ASSERT_TRUE(s);
        ASSERT_EQ(s->event, 0);
        for (TestClient* other : inside) ASSERT_TRUE(NextState(*other));
    }
    static void Request(TestClient& c, int32_t request, const std::string& id,
                        const std::string& account, int32_t value) {
        net::MessageWriter w(request);
        w.Str(id).Str(account).Int(value);
        ASSERT_TRUE(Send(c, w));
    }
    // A request with no answer changed nothing when the info that follows
    // is the next message.
    static void ExpectNothingThenInfo(TestClient& c, const std::string& id) {
        net::MessageWriter w(code::kGetSessionInfo);
        w.Str(id);
        ASSERT_TRUE(Send(c, w));
        auto m = Next(c);
        ASSERT_TRUE(m);
        EXPECT_TRUE(m->Is(Primary::Session, Secondary::Response, code::kSessionInfo)) << m->code;
    }
    int64_t BanEnd(const std::string& id, const std::string& key) {
        QSqlQuery q(server.Network().GetStore().Database());
        q.prepare("SELECT until FROM session_bans WHERE network = '1234567' AND id = ? AND "
                  "username_key = ?");
        q.addBindValue(QString::fromStdString(id));
        q.addBindValue(QString::fromStdString(key));
        if (!q.exec() || !q.next()) return -1;
        return q.value(0).toLongLong();
    }

    testsupport::LocalNetworkFixture server;
};

TEST_F(SessionRoomServiceTest, ChatReachesEveryoneTheSenderIncludedAndBadLinesAreDropped) {
    auto bob = LogIn("bob");
    auto carol = LogIn("carol");
    auto alice = LogIn("alice");
    const std::string lobby = IdOf(*bob, "Lobby");
    Enter(*bob, lobby);
    Enter(*carol, lobby, {bob.get()});

    const auto chat = [&](TestClient& c, int32_t font, const std::string& text) {
        net::MessageWriter w(code::kSendChatLine);
        w.Str(lobby).Int(font).Int(10).Int(20).Int(30).Int(1).Int(0).Int(1).Int(1).Str(text);
        ASSERT_TRUE(Send(c, w));
    };
    chat(*carol, 100, "font out of range");     // dropped
    chat(*carol, 1, std::string(601, 'x'));    // too long for a client: dropped
    chat(*alice, 1, "not in the session");     // dropped
    chat(*carol, 9, "<b>hello</b>");
    for (TestClient* c : {bob.get(), carol.get()}) {
        auto m = Next(*c);
        ASSERT_TRUE(m && m->Is(Primary::Session, Secondary::Notification, code::kChatLine));
        auto f = m->Reader();
        std::string id, sender, text;
        int32_t font = 0, r = 0, g = 0, b = 0, bold = 0, italic = 0, underline = 0, kind = 0;
        ASSERT_TRUE(f.Str(6, 6, id) && f.Str(1, 12, sender) && f.Int(0, 99, font) &&
                    f.Int(0, 255, r) && f.Int(0, 255, g) && f.Int(0, 255, b) &&
                    f.Int(0, 1, bold) && f.Int(0, 1, italic) && f.Int(0, 1, underline) &&
                    f.Int(0, 2, kind) && f.Str(1, 600, text));
        EXPECT_EQ(sender, "carol");
        EXPECT_EQ(font, 9);
        EXPECT_EQ(std::tie(r, g, b, bold, italic, underline), std::make_tuple(10, 20, 30, 1, 0, 1));
        EXPECT_EQ(text, "<b>hello</b>");
    }
}

TEST_F(SessionRoomServiceTest, RankMatrixDecidesModeratorChangesAndTheyAreStored) {
    auto admin = LogIn("admin");  // creator of the Lobby and an administrator
    auto bob = LogIn("bob");      // the Lobby's moderator
    auto carol = LogIn("carol");
    auto alice = LogIn("alice");
    const std::string lobby = IdOf(*bob, "Lobby");
    Enter(*admin, lobby);
    Enter(*bob, lobby, {admin.get()});
    Enter(*carol, lobby, {admin.get(), bob.get()});
    Enter(*alice, lobby, {admin.get(), bob.get(), carol.get()});

    // A plain participant touches nobody, not even another participant.
    Request(*carol, code::kSetModerator, lobby, "alice", 1);
    ExpectNothingThenInfo(*carol, lobby);
    Request(*carol, code::kRemoveParticipant, lobby, "alice", 0);
    ExpectNothingThenInfo(*alice, lobby);
    // A moderator cannot touch the creator or an administrator.
    Request(*bob, code::kSetModerator, lobby, "admin", 0);
    Request(*bob, code::kRemoveParticipant, lobby, "admin", 0);
    ExpectNothingThenInfo(*admin, lobby);

    // A moderator promotes a participant: everyone hears event 6.
    Request(*bob, code::kSetModerator, lobby, "carol", 1);
    for (TestClient* c : {admin.get(), bob.get(), carol.get(), alice.get()}) {
        auto s = NextState(*c);
        ASSERT_TRUE(s);
        EXPECT_EQ(s->event, 6);
        EXPECT_EQ(s->account, "carol");
        ASSERT_EQ(s->members.size(), 4u);
        EXPECT_EQ(s->members[2].moderator, 1);
        EXPECT_EQ(s->members[0].admin, 1);
        EXPECT_EQ(s->members[0].creator, 1);
    }
    // ... and one moderator revokes another: event 5.
    Request(*carol, code::kSetModerator, lobby, "bob", 0);
    auto revoked = NextState(*alice);
    ASSERT_TRUE(revoked);
    EXPECT_EQ(revoked->event, 5);
    EXPECT_EQ(revoked->members[1].moderator, 0);

    QSqlQuery q(server.Network().GetStore().Database());
    ASSERT_TRUE(q.exec("SELECT username FROM session_moderators WHERE id = '" +
                       QString::fromStdString(lobby) + "'"));
    QStringList stored;
    while (q.next()) stored << q.value(0).toString();
    EXPECT_EQ(stored, QStringList{"carol"});
}

TEST_F(SessionRoomServiceTest, RemovalTellsTheTargetTheOthersAndStoresTheBanWithItsEnd) {
    auto bob = LogIn("bob");
    auto carol = LogIn("carol");
    auto alice = LogIn("alice");
    const std::string lobby = IdOf(*bob, "Lobby");
    Enter(*bob, lobby);
    Enter(*carol, lobby, {bob.get()});
    Enter(*alice, lobby, {bob.get(), carol.get()});

    Request(*bob, code::kRemoveParticipant, lobby, "carol", 10000);  // out of range: nothing
    ExpectNothingThenInfo(*carol, lobby);

    const qint64 before = QDateTime::currentSecsSinceEpoch();
    Request(*bob, code::kRemoveParticipant, lobby, "carol", 5);
    auto closed = Next(*carol);
    ASSERT_TRUE(closed && closed->Is(Primary::Session, Secondary::Notification, code::kClosedAlt));
    auto f = closed->Reader();
    int32_t minutes = 0;
    std::string id;
    ASSERT_TRUE(f.Int(INT32_MIN, INT32_MAX, minutes) && f.Str(6, 6, id));
    EXPECT_EQ(minutes, 5);
    EXPECT_EQ(id, lobby);
    for (TestClient* c : {bob.get(), alice.get()}) {
        auto s = NextState(*c);
        ASSERT_TRUE(s);
        EXPECT_EQ(s->event, 1);
        EXPECT_EQ(s->account, "carol");
        EXPECT_EQ(s->members.size(), 2u);
    }
    const int64_t end = BanEnd(lobby, "carol");
    EXPECT_GE(end, before + 300);
    EXPECT_LE(end, QDateTime::currentSecsSinceEpoch() + 300);
    net::MessageWriter join(code::kJoinSession);
    join.Str(lobby).Str("");
    ASSERT_TRUE(Send(*carol, join));
    auto refused = Next(*carol);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->code, code::kBanned);

    // Remove only: notification 1 with 0 minutes, and no ban.
    Request(*bob, code::kRemoveParticipant, lobby, "alice", 0);
    auto removed = Next(*alice);
    ASSERT_TRUE(removed && removed->Is(Primary::Session, Secondary::Notification, code::kClosed));
    EXPECT_EQ(BanEnd(lobby, "alice"), -1);
    auto left = NextState(*bob);
    ASSERT_TRUE(left);
    EXPECT_EQ(left->account, "alice");
}

TEST_F(SessionRoomServiceTest, InfoAndInvitationsAreForParticipants) {
    auto bob = LogIn("bob");
    auto carol = LogIn("carol");
    auto carolAgain = LogIn("carol");
    const std::string projectX = IdOf(*bob, "Project X");
    net::MessageWriter info(code::kGetSessionInfo);
    info.Str(projectX);
    ASSERT_TRUE(Send(*bob, info));
    auto notIn = Next(*bob);
    ASSERT_TRUE(notIn);
    EXPECT_EQ(notIn->code, code::kNotFound);

    Enter(*bob, projectX);
    net::MessageWriter again(code::kGetSessionInfo);
    again.Str(projectX);
    ASSERT_TRUE(Send(*bob, again));
    auto m = Next(*bob);
    ASSERT_TRUE(m && m->Is(Primary::Session, Secondary::Response, code::kSessionInfo));
    auto f = m->Reader();
    std::string id, name, description, creator, created;
    int32_t maximum = 0, current = 0, isPrivate = 0;
    ASSERT_TRUE(f.Str(6, 6, id) && f.Str(1, 20, name) && f.Str(1, 500, description) &&
                f.Str(1, 12, creator) && f.Str(1, 100, created) && f.Int(1, 200, maximum) &&
                f.Int(1, 200, current) && f.Int(0, 1, isPrivate) && f.AtEnd());
    EXPECT_EQ(name, "Project X");
    EXPECT_EQ(creator, "bob");
    EXPECT_EQ(std::tie(maximum, current, isPrivate), std::make_tuple(12, 1, 1));

    // An invitation with the password reaches every connection of the invitee.
    Request(*bob, code::kInvite, projectX, "carol", 1);
    for (TestClient* c : {carol.get(), carolAgain.get()}) {
        auto inv = Next(*c);
        ASSERT_TRUE(inv && inv->Is(Primary::Session, Secondary::Notification, code::kInvitation));
        auto g = inv->Reader();
        std::string inviter, sid, sname, password;
        int32_t unused = -1, included = -1;
        ASSERT_TRUE(g.Str(1, 12, inviter) && g.Str(6, 6, sid) && g.Str(1, 20, sname) &&
                    g.Int(0, 1, unused) && g.Int(0, 1, included) && g.Str(1, 20, password) &&
                    g.AtEnd());
        EXPECT_EQ(inviter, "bob");
        EXPECT_EQ(sid, projectX);
        EXPECT_EQ(unused, 0);
        EXPECT_EQ(included, 1);
        EXPECT_EQ(password, "xpass");
    }
    // Without the flag, no password.
    Request(*bob, code::kInvite, projectX, "CAROL", 0);
    auto plain = Next(*carol);
    ASSERT_TRUE(plain);
    auto g = plain->Reader();
    std::string skip;
    int32_t included = -1, unused = 0;
    ASSERT_TRUE(g.Str(1, 12, skip) && g.Str(6, 6, skip) && g.Str(1, 20, skip) &&
                g.Int(0, 1, unused) && g.Int(0, 1, included));
    EXPECT_EQ(included, 0);
    EXPECT_TRUE(g.AtEnd());

    Request(*bob, code::kInvite, projectX, "dave", 1);
    std::string explanation;
    auto offline = Next(*bob);
    ASSERT_TRUE(offline);
    EXPECT_EQ(offline->code, code::kNotOnline);
    auto e = offline->Reader();
    ASSERT_TRUE(e.Str(1, 512, explanation));
    EXPECT_EQ(explanation, "dave is not online at the moment");

    // From outside the session: "unable to find".
    Request(*carol, code::kInvite, projectX, "bob", 0);
    auto outside = Next(*carol);
    ASSERT_TRUE(outside);
    EXPECT_EQ(outside->code, code::kNotFound);
}

TEST_F(SessionRoomServiceTest, LeavingAndStatusChangesAreToldInTheRoom) {
    auto bob = LogIn("bob");
    auto alice = LogIn("alice");
    const std::string lobby = IdOf(*bob, "Lobby");
    Enter(*bob, lobby);
    Enter(*alice, lobby, {bob.get()});

    emit server.Network().PresenceChanged("1234567", "BOB", 2);
    auto away = NextState(*alice);
    ASSERT_TRUE(away);
    EXPECT_EQ(away->event, 2);
    EXPECT_EQ(away->account, "bob");
    EXPECT_EQ(away->members[0].presence, 2);
    ASSERT_TRUE(NextState(*bob));
    emit server.Network().PresenceChanged("1234567", "bob", 1);
    auto back = NextState(*alice);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->event, 3);
    ASSERT_TRUE(NextState(*bob));

    net::MessageWriter leave(code::kLeaveSession);
    leave.Str(lobby);
    ASSERT_TRUE(Send(*bob, leave));
    auto left = NextState(*alice);
    ASSERT_TRUE(left);
    EXPECT_EQ(left->event, 1);
    EXPECT_EQ(left->account, "bob");
    ASSERT_EQ(left->members.size(), 1u);
}

}  // namespace
}  // namespace servertest
