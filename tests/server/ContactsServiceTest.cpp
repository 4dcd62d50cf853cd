// The contacts service: lists in stored spelling sorted without regard to
// case, the add/remove/mute answers, presence pushed to those who list an
// account, the account list made on the spot, and the demo seed that never
// undoes a user's change.

#include <gtest/gtest.h>

#include <QSqlQuery>
#include <optional>
#include <string>
#include <vector>

#include "TestClient.h"
#include "server/core/LocalNetwork.h"
#include "support/qt/LocalNetworkFixture.h"

namespace servertest {
namespace {

using net::Primary;
using net::Secondary;
namespace contact = net::contact;

struct Entry {
    std::string username;
    std::string mute;
    int32_t status = -1;
    bool operator==(const Entry&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Entry& e) {
    return os << "{" << e.username << "," << e.mute << "," << e.status << "}";
}

class ContactsServiceTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(server.Start()); }

    std::unique_ptr<TestClient> LogIn(const std::string& user, const std::string& password) {
        auto c = std::make_unique<TestClient>();
        EXPECT_TRUE(c->Login(server.NetworkPort(), "1234567", user, password)) << user;
        return c;
    }

    static void Request(TestClient& c, int32_t code, const std::string& name = {},
                        std::optional<int32_t> flag = {}) {
        net::MessageWriter w(code);
        if (code != contact::kListRequest && code != contact::kSetStatus) w.Str(name);
        if (flag) w.Int(*flag);
        ASSERT_TRUE(c.Send(w, Primary::Contact));
    }

    // The next contact list response, skipping presence notifications.
    static std::optional<std::vector<Entry>> NextList(TestClient& c) {
        for (;;) {
            auto m = c.Receive();
            if (!m) return std::nullopt;
            if (m->header.nDescSecondary == +Secondary::Notification) continue;
            if (!m->Is(Primary::Contact, Secondary::Response, contact::kContactList))
                return std::nullopt;
            auto f = m->Reader();
            int32_t count = -1;
            if (!f.Int(0, 999, count)) return std::nullopt;
            std::vector<Entry> out;
            for (int i = 0; i < count; ++i) {
                Entry e;
                if (!f.Str(1, 12, e.username) || !f.Str(1, 20, e.mute) || !f.Int(0, 2, e.status))
                    return std::nullopt;
                out.push_back(e);
            }
            EXPECT_TRUE(f.AtEnd());
            return out;
        }
    }

    static std::optional<std::vector<Entry>> List(TestClient& c) {
        Request(c, contact::kListRequest);
        return NextList(c);
    }

    // The next presence notification as (status, username).
    static std::optional<std::pair<int32_t, std::string>> NextPresence(TestClient& c) {
        auto m = c.Receive();
        if (!m || !m->Is(Primary::Contact, Secondary::Notification, contact::kStatusChanged))
            return std::nullopt;
        auto f = m->Reader();
        std::pair<int32_t, std::string> out;
        if (!f.Int(0, 2, out.first) || !f.Str(1, 12, out.second)) return std::nullopt;
        return out;
    }

    static bool UnknownUser(TestClient& c) {
        auto m = c.Receive();
        return m && m->Is(Primary::Contact, Secondary::Response, contact::kUnknownUser);
    }

    localnet::Network& Demo() { return *server.Network().GetStore().FindNetwork("1234567"); }

    testsupport::LocalNetworkFixture server;
};

TEST_F(ContactsServiceTest, SeededListIsSortedWithMuteTextsAndPresence) {
    auto alice = LogIn("alice", "alicepass");
    auto list = List(*alice);
    ASSERT_TRUE(list);
    EXPECT_EQ(*list, (std::vector<Entry>{{"admin", "1", 0}, {"bob", "0", 0}, {"carol", "0", 0}}));

    // Names of either case sort together.
    Request(*alice, contact::kAddContact, "ROOT");
    list = NextList(*alice);
    ASSERT_TRUE(list);
    ASSERT_EQ(list->size(), 4u);
    EXPECT_EQ((*list)[3].username, "root") << "kept in the spelling it was created with";

    // A name too long for the client's list (an account of an older data
    // folder) is left out rather than ending the client's reading there.
    localnet::Account longName;
    longName.username = "thirteenchars";
    longName.fullName = "Long Name";
    longName.SetPassword("longpass");
    ASSERT_TRUE(server.Network().GetStore().AddAccount(Demo(), longName));
    Request(*alice, contact::kAddContact, "thirteenchars");
    list = NextList(*alice);
    ASSERT_TRUE(list) << "the list still decodes";
    EXPECT_EQ(list->size(), 4u);
}

TEST_F(ContactsServiceTest, AddRemoveAndMuteAnswers) {
    auto alice = LogIn("alice", "alicepass");
    Request(*alice, contact::kAddContact, "nobody");
    EXPECT_TRUE(UnknownUser(*alice));
    // Already a contact, in another case: the unchanged list.
    Request(*alice, contact::kAddContact, "CAROL");
    auto list = NextList(*alice);
    ASSERT_TRUE(list);
    EXPECT_EQ(list->size(), 3u);

    Request(*alice, contact::kRemoveContact, "nobody");
    EXPECT_TRUE(UnknownUser(*alice));
    Request(*alice, contact::kRemoveContact, "Bob");
    list = NextList(*alice);
    ASSERT_TRUE(list);
    EXPECT_EQ(*list, (std::vector<Entry>{{"admin", "1", 0}, {"carol", "0", 0}}));

    Request(*alice, contact::kMute, "nobody", 1);
    EXPECT_TRUE(UnknownUser(*alice));
    Request(*alice, contact::kMute, "admin", 0);
    Request(*alice, contact::kMute, "CAROL", 1);
    list = NextList(*alice);
    ASSERT_TRUE(list);
    EXPECT_EQ((*list)[0], (Entry{"admin", "0", 0}));
    list = NextList(*alice);
    ASSERT_TRUE(list);
    EXPECT_EQ(*list, (std::vector<Entry>{{"admin", "0", 0}, {"carol", "1", 0}}));

    // Muting someone who is not a contact is kept for when they become one.
    Request(*alice, contact::kMute, "root", 1);
    ASSERT_TRUE(NextList(*alice));
    Request(*alice, contact::kAddContact, "root");
    list = NextList(*alice);
    ASSERT_TRUE(list);
    EXPECT_EQ(list->back(), (Entry{"root", "1", 0}));

    // Everything survives a restart, and the seed does not come back.
    alice.reset();
    ASSERT_TRUE(server.Restart());
    alice = LogIn("alice", "alicepass");
    list = List(*alice);
    ASSERT_TRUE(list);
    EXPECT_EQ(*list, (std::vector<Entry>{{"admin", "0", 0}, {"carol", "1", 0}, {"root", "1", 0}}));
}

TEST_F(ContactsServiceTest, AFullListTakesNoMore) {
    // Root's list filled up to the limit behind the service's back, then read
    // at the next start.
    ASSERT_TRUE(server.Network().GetStore().Write([](QSqlDatabase& db) {
        QSqlQuery q(db);
        for (int i = 1; i < 999; ++i) {
            q.prepare(
                "INSERT INTO contact_entries (network, owner_key, position, contact) "
                "VALUES ('1234567', 'root', ?, ?)");
            q.addBindValue(i);
            q.addBindValue(QString("gone%1").arg(i));
            if (!q.exec()) return false;
        }
        return true;
    }));
    ASSERT_TRUE(server.Restart());
    auto root = LogIn("root", "rootpass");
    Request(*root, contact::kAddContact, "alice");
    auto list = NextList(*root);
    ASSERT_TRUE(list);
    EXPECT_EQ(*list, (std::vector<Entry>{{"admin", "0", 0}}));
    Request(*root, contact::kRemoveContact, "gone5");
    ASSERT_TRUE(NextList(*root));
    Request(*root, contact::kAddContact, "alice");
    list = NextList(*root);
    ASSERT_TRUE(list);
    EXPECT_EQ(*list, (std::vector<Entry>{{"admin", "0", 0}, {"alice", "0", 0}}));
}

TEST_F(ContactsServiceTest, AnEmptiedListStaysEmptyThroughSeededRestarts) {
    auto root = LogIn("root", "rootpass");
    Request(*root, contact::kRemoveContact, "admin");
    auto list = NextList(*root);
    ASSERT_TRUE(list);
    EXPECT_TRUE(list->empty());
    root.reset();
    ASSERT_TRUE(server.Restart());
    root = LogIn("root", "rootpass");
    list = List(*root);
    ASSERT_TRUE(list);
    EXPECT_TRUE(list->empty());
}

TEST_F(ContactsServiceTest, PresenceReachesThoseWhoListTheAccount) {
    std::vector<std::pair<QString, int>> presence;
    QObject guard;  // ends the connection with this test
    QObject::connect(&server.Network(), &localnet::LocalNetwork::PresenceChanged, &guard,
                     [&](const QString& number, const QString& user, int status) {
                         EXPECT_EQ(number, "1234567");
                         presence.emplace_back(user, status);
                     });
    auto alice = LogIn("alice", "alicepass");
    // Root lists only admin: it hears nothing of bob.
    auto root = LogIn("root", "rootpass");
    ASSERT_TRUE(List(*alice));
    ASSERT_TRUE(List(*root));

    auto bob = LogIn("bob", "bobpass");
    EXPECT_EQ(NextPresence(*alice), (std::pair<int32_t, std::string>{1, "bob"}));
    auto list = List(*alice);
    ASSERT_TRUE(list);
    EXPECT_EQ((*list)[1], (Entry{"bob", "0", 1}));

    Request(*bob, contact::kSetStatus, {}, 2);
    EXPECT_EQ(NextPresence(*alice), (std::pair<int32_t, std::string>{2, "bob"}));
    // The same status again, or one that cannot be chosen, changes nothing.
    Request(*bob, contact::kSetStatus, {}, 2);
    Request(*bob, contact::kSetStatus, {}, 7);
    ASSERT_TRUE(List(*bob));  // bob's requests are through
    list = List(*alice);
    ASSERT_TRUE(list);
    EXPECT_EQ((*list)[1], (Entry{"bob", "0", 2}));

    // A second connection of bob: a sign-in is online again; the end of one
    // of the two connections is no change.
    auto bob2 = LogIn("bob", "bobpass");
    EXPECT_EQ(NextPresence(*alice), (std::pair<int32_t, std::string>{1, "bob"}));
    bob2.reset();
    ASSERT_TRUE(List(*bob));
    list = List(*alice);
    ASSERT_TRUE(list);
    EXPECT_EQ((*list)[1], (Entry{"bob", "0", 1}));

    bob.reset();
    EXPECT_EQ(NextPresence(*alice), (std::pair<int32_t, std::string>{0, "bob"}));
    // Root's next message is its own list: no notification came before it.
    auto rootList = List(*root);
    ASSERT_TRUE(rootList);
    EXPECT_EQ(*rootList, (std::vector<Entry>{{"admin", "0", 0}}));

    ASSERT_GE(presence.size(), 5u);
    EXPECT_EQ(presence.back(), (std::pair<QString, int>{"bob", 0}));
}

TEST_F(ContactsServiceTest, AccountListIsMadeOnTheSpot) {
    ASSERT_TRUE(server.Network().GetStore().UpdateAccount(
        Demo(), "carol", [](localnet::Account& a) { a.fullName = "Carol;\r\nCooper"; }));
    auto alice = LogIn("alice", "alicepass");
    TestClient file;
    ASSERT_TRUE(file.Login(server.FilePort(), "1234567", "alice", "alicepass"));
    net::MessageWriter w(8);
    w.Int(0);
    ASSERT_TRUE(file.Send(w, Primary::Download));

    std::string content;
    int32_t total = -1;
    while (total < 0 || static_cast<int32_t>(content.size()) < total) {
        auto m = file.Receive();
        ASSERT_TRUE(m && m->header.nDescPrimary == +Primary::Download);
        auto f = m->Reader();
        int32_t slot = -1;
        ASSERT_TRUE(f.Int(0, 24, slot));
        EXPECT_EQ(slot, 13);
        if (total < 0) {
            ASSERT_TRUE(f.Int(0, -1, total));
        }
        content.append(reinterpret_cast<const char*>(f.Rest()), static_cast<size_t>(f.RestSize()));
    }
    const auto& accounts = Demo().accounts;
    const auto created = [&](int i) { return std::to_string(accounts[i].created); };
    // Creation order; alice is online and has just logged in; the others never did.
    const std::string expected = "root;Root;" + created(0) + ";-1;0;0;0;\n" +
                                 "admin;Administrator;" + created(1) + ";-1;0;0;1;\n";
    ASSERT_EQ(content.substr(0, expected.size()), expected);
    const std::string rest = content.substr(expected.size());
    EXPECT_TRUE(rest.rfind("alice;Alice Archer;" + created(2) + ";0;1;0;2;\n", 0) == 0 ||
                rest.rfind("alice;Alice Archer;" + created(2) + ";1;1;0;2;\n", 0) == 0)
        << rest;
    EXPECT_NE(rest.find("bob;Bob Baker;" + created(3) + ";-1;0;0;2;\n"), std::string::npos);
    EXPECT_NE(rest.find("carol;Carol,  Cooper;" + created(4) + ";-1;0;0;2;\n"), std::string::npos)
        << rest;
}

}  // namespace
}  // namespace servertest
