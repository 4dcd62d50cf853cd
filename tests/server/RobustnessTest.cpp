// Bad input on the wire ends only the sender's connection; messages the
// server does not serve are ignored.

#include <gtest/gtest.h>

#include "TestClient.h"
#include "support/qt/LocalNetworkFixture.h"

namespace servertest {
namespace {

using net::Primary;
using net::Secondary;

class RobustnessTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server.Start());
        ASSERT_TRUE(bystander.Login(server.NetworkPort(), "1234567", "bob", "bobpass"));
    }

    // The bystander's connection still works.
    void ExpectBystanderServed() {
        ASSERT_TRUE(bystander.Connected());
        TestClient check;
        EXPECT_TRUE(check.Login(server.NetworkPort(), "1234567", "carol", "carolpass"));
    }

    testsupport::LocalNetworkFixture server;
    TestClient bystander;
};

TEST_F(RobustnessTest, GarbageDropsOnlyItsSender) {
    struct Case {
        const char* what;
        QByteArray bytes;
    };
    std::vector<Case> cases;
    cases.push_back({"wrong token", QByteArray("GET / HTTP/1.1\r\n\r\n")});
    for (int32_t primary : {1025, -1}) {
        net::MessageWriter w(0);
        auto m = w.Finish(primary, +Secondary::Message);
        cases.push_back({"primary out of range",
                         QByteArray(reinterpret_cast<const char*>(m->data), m->remaining)});
    }
    {
        net::MessageWriter w(0);
        auto m = w.Finish(+Primary::Control, 5000);
        cases.push_back({"secondary out of range",
                         QByteArray(reinterpret_cast<const char*>(m->data), m->remaining)});
    }
    {
        // A header announcing more than the largest message.
        auto m = std::make_unique<net::MessageBuffer>();
        m->Finish(+Primary::Login, +Secondary::Message, 40000);
        cases.push_back(
            {"length out of range", QByteArray(reinterpret_cast<const char*>(m->data), 36)});
    }
    for (auto& c : cases) {
        for (quint16 port : {server.DirectoryPort(), server.NetworkPort(), server.FilePort()}) {
            TestClient attacker;
            ASSERT_TRUE(attacker.Connect(port));
            attacker.SendRaw(c.bytes);
            EXPECT_TRUE(attacker.WaitClosed()) << c.what << " on port " << port;
        }
    }
    ExpectBystanderServed();
}

TEST_F(RobustnessTest, UnservedAndUndecodableMessagesAreIgnored) {
    TestClient client;
    ASSERT_TRUE(client.Login(server.NetworkPort(), "1234567", "alice", "alicepass"));
    // A family nobody serves, an unknown code, a header-only message, a
    // login on the directory server and a truncated cancel.
    net::MessageWriter unknownFamily(1);
    client.Send(unknownFamily, static_cast<Primary>(7));
    net::MessageWriter unknownCode(77);
    client.Send(unknownCode, Primary::Contact);
    auto headerOnly = std::make_unique<net::MessageBuffer>();
    headerOnly->Finish(+Primary::Control, +Secondary::Message, 36);
    client.SendRaw(QByteArray(reinterpret_cast<const char*>(headerOnly->data), 36));
    net::MessageWriter cancel(net::control::kCancelTransfer);
    client.Send(cancel, Primary::Control);
    EXPECT_FALSE(client.Receive(std::chrono::milliseconds(200)));
    EXPECT_TRUE(client.Connected());

    // A second login on the same connection changes nothing.
    client.SendLogin("1234567", "root", "rootpass");
    EXPECT_FALSE(client.Receive(std::chrono::milliseconds(100)));

    TestClient directory;
    ASSERT_TRUE(directory.Connect(server.DirectoryPort()));
    directory.SendLogin("1234567", "alice", "alicepass");
    EXPECT_FALSE(directory.Receive(std::chrono::milliseconds(100)));
    ExpectBystanderServed();
}

TEST_F(RobustnessTest, MessagesArriveInAnyPieces) {
    // Two lookups' worth of bytes: one byte at a time, then the next request
    // glued to the end of the previous one.
    TestClient client;
    ASSERT_TRUE(client.Connect(server.NetworkPort()));
    net::MessageWriter w(net::login::kLogin);
    w.Int(2).Str("1234567").Int(0).Str("alice").Str("alicepass").Str("id");
    auto login = w.Finish(Primary::Login);
    const QByteArray bytes(reinterpret_cast<const char*>(login->data), login->remaining);
    net::MessageWriter k(net::control::kKeepAlive);
    auto keepAlive = k.Finish(Primary::Control);
    for (int i = 0; i < bytes.size(); ++i) {
        client.SendRaw(bytes.mid(i, 1));
        testsupport::SpinUntil([] { return false; }, std::chrono::milliseconds(1));
    }
    auto reply = client.Receive();
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->Is(Primary::Login, Secondary::Response, net::login::kLoginOK));
    client.SendRaw(
        QByteArray(reinterpret_cast<const char*>(keepAlive->data), keepAlive->remaining) +
        QByteArray(reinterpret_cast<const char*>(keepAlive->data), keepAlive->remaining));
    EXPECT_FALSE(client.Receive(std::chrono::milliseconds(100)));
    EXPECT_TRUE(client.Connected());
}

}  // namespace
}  // namespace servertest
