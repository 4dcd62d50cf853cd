// Host lookup on the directory server, and logins on the network and file
// servers.

#include <gtest/gtest.h>

#include "TestClient.h"
#include "server/core/Fields.h"
#include "support/qt/LocalNetworkFixture.h"

namespace servertest {
namespace {

using net::Primary;
using net::Secondary;

class LoginTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(server.Start()); }

    // Expects the disconnect notification with `reason`, then the close.
    void ExpectRefusal(TestClient& client, int32_t reason) {
        auto note = client.Receive();
        ASSERT_TRUE(note);
        ASSERT_TRUE(
            note->Is(Primary::Control, Secondary::Notification, net::control::kNotifyDisconnect));
        auto f = note->Reader();
        int32_t primary = -1, secondary = -1, code = -1;
        std::string text;
        ASSERT_TRUE(f.Int(-1, -1, primary) && f.Int(-1, -1, secondary) && f.Int(-1, -1, code));
        ASSERT_TRUE(f.Str(1, 512, text));
        EXPECT_EQ(primary, +Primary::Login);
        EXPECT_EQ(secondary, +Secondary::Message);
        EXPECT_EQ(code, reason);
        EXPECT_TRUE(client.WaitClosed());
    }

    localnet::Account& Demo(const QString& username) {
        return *server.Network().GetStore().FindNetwork("1234567")->FindAccount(username);
    }

    testsupport::LocalNetworkFixture server;
};

TEST_F(LoginTest, LookupAnswersKnownNumbersWithFlagsAndHostThenCloses) {
    struct Case {
        std::string number;
        std::string flags;
    } cases[] = {{"1234567", "0"}, {"7654321", "2"}, {"123.4567", "0"}};
    for (const auto& c : cases) {
        TestClient client;
        ASSERT_TRUE(client.Connect(server.DirectoryPort()));
        net::MessageWriter w(net::host::kLookup);
        w.Str(c.number);
        ASSERT_TRUE(client.Send(w, Primary::Host));
        auto reply = client.Receive();
        ASSERT_TRUE(reply) << c.number;
        ASSERT_TRUE(reply->Is(Primary::Host, Secondary::Response, net::host::kLookupOK));
        auto f = reply->Reader();
        std::string flags, host;
        ASSERT_TRUE(f.Str(1, 3, flags) && f.Str(1, 255, host));
        EXPECT_EQ(flags, c.flags);
        EXPECT_EQ(host, "127.0.0.1");
        EXPECT_TRUE(client.WaitClosed());
    }
}

TEST_F(LoginTest, LookupRefusesUnknownAndMalformedNumbersThenCloses) {
    for (std::string number : {"7777777", "12345678", "12a4567", "../1234567"}) {
        TestClient client;
        ASSERT_TRUE(client.Connect(server.DirectoryPort()));
        net::MessageWriter w(net::host::kLookup);
        w.Str(number);
        ASSERT_TRUE(client.Send(w, Primary::Host));
        auto reply = client.Receive();
        ASSERT_TRUE(reply) << number;
        EXPECT_TRUE(reply->Is(Primary::Host, Secondary::Response, net::host::kLookupRefused));
        EXPECT_TRUE(client.WaitClosed());
    }
}

TEST_F(LoginTest, LoginOkCarriesRightsOnTheNetworkServer) {
    struct Case {
        std::string user, password;
        int32_t admin, root;
    } cases[] = {
        {"root", "rootpass", 1, 1}, {"admin", "adminpass", 1, 0}, {"alice", "alicepass", 0, 0}};
    for (const auto& c : cases) {
        TestClient client;
        ASSERT_TRUE(client.Connect(server.NetworkPort()));
        ASSERT_TRUE(client.SendLogin("1234567", c.user, c.password));
        auto reply = client.Receive();
        ASSERT_TRUE(reply) << c.user;
        ASSERT_TRUE(reply->Is(Primary::Login, Secondary::Response, net::login::kLoginOK));
        auto f = reply->Reader();
        int32_t admin = -1, root = -1;
        ASSERT_TRUE(f.Int(0, 1, admin) && f.Int(0, 1, root));
        EXPECT_EQ(admin, c.admin) << c.user;
        EXPECT_EQ(root, c.root) << c.user;
    }
    EXPECT_GT(Demo("alice").lastLogin, 0);

    // The file server takes the same login, and usernames match case-insensitively.
    TestClient file;
    EXPECT_TRUE(file.Login(server.FilePort(), "1234567", "Bob", "bobpass"));
    EXPECT_TRUE(file.Connected());
}

TEST_F(LoginTest, RefusedLoginsGetTheirDisconnectReasonAndAreClosed) {
    {
        SCOPED_TRACE("wrong password");
        TestClient client;
        ASSERT_TRUE(client.Connect(server.NetworkPort()));
        client.SendLogin("1234567", "alice", "wrong");
        ExpectRefusal(client, net::disconnect::kRefused);
    }
    {
        SCOPED_TRACE("unknown account, on the file server");
        TestClient client;
        ASSERT_TRUE(client.Connect(server.FilePort()));
        client.SendLogin("1234567", "nobody", "alicepass");
        ExpectRefusal(client, net::disconnect::kRefused);
    }
    {
        SCOPED_TRACE("unknown network");
        TestClient client;
        ASSERT_TRUE(client.Connect(server.NetworkPort()));
        client.SendLogin("7777777", "alice", "alicepass");
        ExpectRefusal(client, net::disconnect::kRefused);
    }
    {
        SCOPED_TRACE("old client");
        TestClient client;
        ASSERT_TRUE(client.Connect(server.NetworkPort()));
        client.SendLogin("1234567", "alice", "alicepass", 1);
        ExpectRefusal(client, net::disconnect::kUpdateRequired);
    }
    {
        SCOPED_TRACE("banned, with the right password");
        Demo("carol").banned = true;
        TestClient client;
        ASSERT_TRUE(client.Connect(server.NetworkPort()));
        client.SendLogin("1234567", "carol", "carolpass");
        ExpectRefusal(client, net::disconnect::kBanned);
    }
    {
        SCOPED_TRACE("banned, with a wrong password: nothing is revealed");
        TestClient client;
        ASSERT_TRUE(client.Connect(server.NetworkPort()));
        client.SendLogin("1234567", "carol", "guess");
        ExpectRefusal(client, net::disconnect::kRefused);
    }
}

TEST_F(LoginTest, MinimumClientVersionIsAnOption) {
    server.Stop();
    server.Options().minClientVersion = 3;
    ASSERT_TRUE(server.Start());
    TestClient old;
    ASSERT_TRUE(old.Connect(server.NetworkPort()));
    old.SendLogin("1234567", "alice", "alicepass", 2);
    ExpectRefusal(old, net::disconnect::kUpdateRequired);
    TestClient current;
    ASSERT_TRUE(current.Connect(server.NetworkPort()));
    current.SendLogin("1234567", "alice", "alicepass", 3);
    auto reply = current.Receive();
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->Is(Primary::Login, Secondary::Response, net::login::kLoginOK));
}

TEST_F(LoginTest, SilentClientsAreDroppedButKeepAlivesKeepThemIn) {
    server.Stop();
    server.Options().idleTimeout = std::chrono::milliseconds(300);
    ASSERT_TRUE(server.Start());
    TestClient talker, silent;
    ASSERT_TRUE(talker.Login(server.NetworkPort(), "1234567", "alice", "alicepass"));
    ASSERT_TRUE(silent.Login(server.NetworkPort(), "1234567", "bob", "bobpass"));
    EXPECT_TRUE(testsupport::SpinUntil([&] {
        net::MessageWriter keepAlive(net::control::kKeepAlive);
        talker.Send(keepAlive, Primary::Control);
        testsupport::SpinUntil([] { return false; }, std::chrono::milliseconds(50));
        return !silent.Connected();
    }));
    EXPECT_TRUE(talker.Connected());
}

TEST_F(LoginTest, LoginAndCreationTakeTheSameIdentities) {
    // Whatever one of the two refuses, the other refuses too: 1..254 bytes,
    // not blank.
    struct Case {
        std::string identity;
        bool accepted;
    } cases[] = {
        {"", false},
        {"   ", false},
        {"\t\r\n", false},
        {"x", true},
        {" padded ", true},
        {std::string(localnet::kMaxIdentity, 'a'), true},
        {std::string(localnet::kMaxIdentity + 1, 'a'), false},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE("identity of " + std::to_string(c.identity.size()) + " bytes");
        TestClient login;
        ASSERT_TRUE(login.Connect(server.NetworkPort()));
        login.SendLogin("1234567", "alice", "alicepass", 2, c.identity);
        if (c.accepted) {
            auto reply = login.Receive();
            ASSERT_TRUE(reply);
            EXPECT_TRUE(reply->Is(Primary::Login, Secondary::Response, net::login::kLoginOK));
        } else {
            ExpectRefusal(login, net::disconnect::kRefused);
        }

        TestClient create;
        ASSERT_TRUE(create.Connect(server.NetworkPort()));
        const std::string username = "ident" + std::to_string(n++);
        auto m = CreationEnvelope("1234567", "Ida Ident", username, "pass", c.identity, "none");
        create.SendRaw(QByteArray(reinterpret_cast<const char*>(m->data), m->remaining));
        auto reply = create.Receive();
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->code, c.accepted ? net::account::kCreated : net::account::kUndecodable);
    }
}

}  // namespace
}  // namespace servertest
