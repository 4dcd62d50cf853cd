// Account creation through the envelope on the network server: every
// response by its real cause, and the account's life afterwards.

#include <gtest/gtest.h>
#include <QSqlQuery>

#include "TestClient.h"
#include "support/qt/LocalNetworkFixture.h"

namespace servertest {
namespace {

using net::Primary;
using net::Secondary;
namespace account = net::account;

class AccountTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(server.Start()); }

    struct Form {
        std::string number = "1234567";
        std::string fullName = "Dora Diaz";
        std::string username = "dora";
        std::string password = "dorapass";
        std::string identity = "6a1b9c3e-0000-4000-8000-00000000d0a1";
        std::string code = "none";
    };

    // Sends one creation request on a fresh connection; -1 when no account
    // response came. The server closes the connection after its answer.
    int32_t Create(const Form& form) {
        TestClient client;
        if (!client.Connect(server.NetworkPort())) return -1;
        auto message = CreationEnvelope(form.number, form.fullName, form.username, form.password,
                                        form.identity, form.code);
        client.SendRaw(
            QByteArray(reinterpret_cast<const char*>(message->data), message->remaining));
        auto reply = client.Receive();
        if (!reply || reply->header.nDescPrimary != +Primary::Account ||
            reply->header.nDescSecondary != +Secondary::Response)
            return -1;
        EXPECT_TRUE(client.WaitClosed()) << "answered creation connection left open";
        return reply->code;
    }

    localnet::Network& NetworkOf(const QString& number) {
        return *server.Network().GetStore().FindNetwork(number);
    }

    testsupport::LocalNetworkFixture server;
};

TEST_F(AccountTest, CreatedAccountLogsInAtOnceWithoutRights) {
    Form form;
    ASSERT_EQ(Create(form), account::kCreated);
    TestClient client;
    ASSERT_TRUE(client.Connect(server.NetworkPort()));
    client.SendLogin("1234567", "dora", "dorapass");
    auto reply = client.Receive();
    ASSERT_TRUE(reply);
    ASSERT_TRUE(reply->Is(Primary::Login, Secondary::Response, net::login::kLoginOK));
    auto f = reply->Reader();
    int32_t admin = -1, root = -1;
    ASSERT_TRUE(f.Int(0, 1, admin) && f.Int(0, 1, root));
    EXPECT_EQ(admin, 0);
    EXPECT_EQ(root, 0);
    const auto* created = NetworkOf("1234567").FindAccount("dora");
    ASSERT_TRUE(created);
    EXPECT_EQ(created->fullName, "Dora Diaz");
    EXPECT_GT(created->created, 0);
}

TEST_F(AccountTest, EachResponseHasItsCause) {
    auto with = [](auto change) {
        Form f;
        change(f);
        return f;
    };
    EXPECT_EQ(Create(with([](Form& f) { f.number = "7777777"; })), account::kUnsupportedNetwork);
    EXPECT_EQ(Create(with([](Form& f) {
                  f.number = "7654321";
                  f.code = "wrong";
              })),
              account::kWrongCreationCode);
    EXPECT_EQ(Create(with([](Form& f) {
                  f.number = "7654321";
                  f.code = "none";
              })),
              account::kWrongCreationCode);
    EXPECT_EQ(Create(with([](Form& f) { f.username = "Alice"; })), account::kUsernameTaken);
    EXPECT_EQ(Create(with([](Form& f) { f.fullName = std::string("\xff\xfe", 2); })),
              account::kUndecodable);
    EXPECT_EQ(Create(with([](Form& f) { f.fullName = std::string(21, 'x'); })),
              account::kUndecodable);
    for (std::string bad : {"", "twelve_chars", "dora doe", "d\xc3\xb6ra", "../x"})
        EXPECT_EQ(Create(with([&](Form& f) { f.username = bad; })), account::kImproperUsername)
            << bad;
    for (std::string bad : {"", "sixteen_chars_xx", "pass word", "pa$$"})
        EXPECT_EQ(Create(with([&](Form& f) { f.password = bad; })), account::kImproperPassword)
            << bad;

    // The limits of the client's own checks are accepted.
    EXPECT_EQ(Create(with([](Form& f) {
                  f.username = "eleven_char";
                  f.password = "fifteen-chars-x";
                  f.fullName = std::string(20, 'y');
              })),
              account::kCreated);
    // The code is checked only where the network asks for one.
    EXPECT_EQ(Create(with([](Form& f) {
                  f.number = "7654321";
                  f.code = "welcome";
              })),
              account::kCreated);
    EXPECT_EQ(Create(with([](Form& f) {
                  f.username = "fiona";
                  f.code = "anything";
              })),
              account::kCreated);
}

TEST_F(AccountTest, LimitsAndBansRefuseCreation) {
    localnet::Network& demo = NetworkOf("1234567");
    demo.accountsPerIdentity = 2;
    Form form;
    form.username = "one";
    ASSERT_EQ(Create(form), account::kCreated);
    form.username = "two";
    ASSERT_EQ(Create(form), account::kCreated);
    form.username = "three";
    EXPECT_EQ(Create(form), account::kIdentityLimit);

    // A banned account bans the identity it was created from.
    demo.FindAccount("one")->banned = true;
    EXPECT_EQ(Create(form), account::kBannedFromNetwork);
    form.identity = "another-installation";
    demo.bannedIdentities << "another-installation";
    EXPECT_EQ(Create(form), account::kBannedFromNetwork);

    form.identity = "a-third-installation";
    demo.accountLimit = static_cast<int>(demo.accounts.size());
    EXPECT_EQ(Create(form), account::kNetworkFull);
    demo.accountLimit += 1;
    EXPECT_EQ(Create(form), account::kCreated);
}

TEST_F(AccountTest, FailedWriteIsReportedAndLeavesNoAccount) {
    // The database refuses every change, as a read-only one does.
    auto& store = server.Network().GetStore();
    ASSERT_TRUE(QSqlQuery(store.Database()).exec("PRAGMA query_only = ON"));
    Form form;
    EXPECT_EQ(Create(form), account::kCreateFailed);
    EXPECT_EQ(NetworkOf("1234567").FindAccount("dora"), nullptr);
    // Once writable again the same request goes through.
    ASSERT_TRUE(QSqlQuery(store.Database()).exec("PRAGMA query_only = OFF"));
    EXPECT_EQ(Create(form), account::kCreated);
}

TEST_F(AccountTest, EnvelopeAroundAnythingElseIsIgnored) {
    TestClient client;
    ASSERT_TRUE(client.Connect(server.NetworkPort()));
    net::MessageWriter w(net::zorvic::kEnvelope);
    w.Int(0).Int(0).Int(0).Int(+Primary::Contact).Int(+Secondary::Message).Int(2);
    ASSERT_TRUE(client.Send(w, Primary::Zorvic));
    // Truncated creation request: answered as undecodable.
    net::MessageWriter cut(net::zorvic::kEnvelope);
    cut.Int(0).Int(0).Int(0).Int(+Primary::Account).Int(+Secondary::Message).Int(account::kCreate);
    cut.Str("1234567").Str("Dora");
    ASSERT_TRUE(client.Send(cut, Primary::Zorvic));
    auto reply = client.Receive();
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->Is(Primary::Account, Secondary::Response, account::kUndecodable));
    // The foreign envelope got no answer; the creation's answer ends the connection.
    EXPECT_FALSE(client.Receive(std::chrono::milliseconds(100)));
    EXPECT_TRUE(client.WaitClosed());
}

TEST_F(AccountTest, AccountsSurviveARestart) {
    Form form;
    ASSERT_EQ(Create(form), account::kCreated);
    ASSERT_TRUE(server.Restart());
    TestClient client;
    EXPECT_TRUE(client.Login(server.NetworkPort(), "1234567", "dora", "dorapass"));
    TestClient lookup;
    ASSERT_TRUE(lookup.Connect(server.DirectoryPort()));
    net::MessageWriter w(net::host::kLookup);
    w.Str("7654321");
    lookup.Send(w, Primary::Host);
    auto reply = lookup.Receive();
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->Is(Primary::Host, Secondary::Response, net::host::kLookupOK));
    // The seed does not come back over what changed since.
    EXPECT_EQ(server.Network().GetStore().FindNetwork("1234567")->accounts.size(), 8u);
}

}  // namespace
}  // namespace servertest
