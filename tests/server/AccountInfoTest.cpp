// The account's own requests on the file server: its information, the
// changes of full name and password, its connection history, and the
// sign-in record the network server keeps for it.

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QTimeZone>

#include "TestClient.h"
#include "server/account/AccountInfoService.h"
#include "server/account/SignInHistory.h"
#include "support/qt/LocalNetworkFixture.h"

namespace servertest {
namespace {

using net::Primary;
using net::Secondary;

constexpr int32_t kHistoryCode = 6;
constexpr int32_t kHistorySlot = 11;

struct Info {
    std::string line4, fullName, username, password, line6Text;
    int32_t line5 = -1, line6Count = -1;
};

class AccountInfoTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(server.Start()); }

    // Both connections of a sign-in, as the client opens them.
    struct SignedIn {
        std::unique_ptr<TestClient> network = std::make_unique<TestClient>();
        std::unique_ptr<TestClient> file = std::make_unique<TestClient>();
    };
    SignedIn SignIn(const std::string& user, const std::string& password) {
        SignedIn s;
        EXPECT_TRUE(s.network->Login(server.NetworkPort(), "1234567", user, password));
        EXPECT_TRUE(s.file->Login(server.FilePort(), "1234567", user, password));
        return s;
    }
    // A login on the network server with a wrong password, refused.
    void MistypedLogin(const std::string& user) {
        TestClient c;
        ASSERT_TRUE(c.Connect(server.NetworkPort()));
        ASSERT_TRUE(c.SendLogin("1234567", user, "wrong-password"));
        EXPECT_TRUE(c.WaitClosed());
    }

    std::optional<Info> Ask(TestClient& file) {
        net::MessageWriter w(net::account::kInformationRequest);
        EXPECT_TRUE(file.Send(w, Primary::Account));
        auto m = file.Receive();
        if (!m || !m->Is(Primary::Account, Secondary::Response, net::account::kInformation))
            return std::nullopt;
        Info i;
        auto f = m->Reader();
        if (!f.Str(1, 50, i.line4) || !f.Str(1, 50, i.fullName) || !f.Str(1, 12, i.username) ||
            !f.Str(1, 20, i.password) || !f.Int(0, -1, i.line5) || !f.Int(0, -1, i.line6Count) ||
            !f.Str(1, 50, i.line6Text))
            return std::nullopt;
        return i;
    }

    // Sends a change request and returns the answer's code and reason.
    std::pair<int32_t, std::string> Change(TestClient& file, int32_t code,
                                           const std::string& value) {
        net::MessageWriter w(code);
        w.Str(value);
        EXPECT_TRUE(file.Send(w, Primary::Account));
        auto m = file.Receive();
        if (!m || m->header.nDescPrimary != +Primary::Account) return {-1, {}};
        std::string reason;
        auto f = m->Reader();
        f.Str(1, 512, reason);
        return {m->code, reason};
    }

    // The connection history of `whose`: its bytes, or the refusal's code.
    std::pair<int32_t, std::string> History(TestClient& file, const std::string& whose) {
        net::MessageWriter w(kHistoryCode);
        w.Str(whose);
        EXPECT_TRUE(file.Send(w, Primary::Download));
        std::string content;
        int32_t total = -1;
        for (;;) {
            auto m = file.Receive();
            if (!m || m->header.nDescPrimary != +Primary::Download) return {-1, content};
            auto f = m->Reader();
            int32_t slot = -1;
            EXPECT_TRUE(f.Int(0, 24, slot));
            EXPECT_EQ(slot, kHistorySlot);
            if (m->code != net::download::kStart && m->code != net::download::kData)
                return {m->code, {}};
            if (m->code == net::download::kStart) {
                EXPECT_TRUE(f.Int(0, -1, total));
            }
            content.append(reinterpret_cast<const char*>(f.Rest()), size_t(f.RestSize()));
            if (int32_t(content.size()) >= total) return {net::download::kStart, content};
        }
    }

    testsupport::LocalNetworkFixture server;
};

TEST_F(AccountInfoTest, SeededAccountAnswersWithItsCreationNameAndSignIns) {
    auto alice = SignIn("alice", "alicepass");
    auto info = Ask(*alice.file);
    ASSERT_TRUE(info);
    const qint64 created =
        server.Network().GetStore().FindNetwork("1234567")->FindAccount("alice")->created;
    EXPECT_EQ(info->line4, localnet::CreationDateText(created).toStdString());
    EXPECT_EQ(info->fullName, "Alice Archer");
    EXPECT_EQ(info->username, "alice");
    EXPECT_EQ(info->password, "alicepass");
    EXPECT_EQ(info->line5, 4);  // three seeded sign-ins and this one
    EXPECT_EQ(info->line6Count, 0);
    EXPECT_EQ(info->line6Text, "none");

    // The network connection's end is a sign-out in the history.
    alice.network.reset();
    ASSERT_TRUE(testsupport::SpinUntil([&] {
        QFile f(server.Network().GetStore().ResolvePath(
            localnet::AccountInfoService::HistoryPath("1234567", "alice")));
        return f.open(QIODevice::ReadOnly) && f.readAll().count("signed out after") == 4;
    }));
}

TEST_F(AccountInfoTest, WrongPasswordsBeforeASignInAreCountedOnceThenCleared) {
    MistypedLogin("alice");
    MistypedLogin("ALICE");  // the account is found whatever the case
    {
        auto alice = SignIn("alice", "alicepass");
        auto info = Ask(*alice.file);
        ASSERT_TRUE(info);
        EXPECT_EQ(info->line6Count, 2);
        EXPECT_EQ(info->line6Text.rfind("last from 127.0.0.1 on ", 0), 0u) << info->line6Text;
        EXPECT_EQ(info->line6Text.substr(info->line6Text.size() - 4), " UTC");
        auto [code, history] = History(*alice.file, "alice");
        EXPECT_EQ(code, net::download::kStart);
        EXPECT_NE(history.find("UTC  failed sign-in from 127.0.0.1\n"), std::string::npos);
        EXPECT_NE(history.find("UTC  signed in from 127.0.0.1\n"), std::string::npos);
    }
    // A wrong password on the file server alone is no network sign-in attempt.
    TestClient c;
    ASSERT_TRUE(c.Connect(server.FilePort()));
    ASSERT_TRUE(c.SendLogin("1234567", "alice", "wrong"));
    EXPECT_TRUE(c.WaitClosed());
    auto again = SignIn("alice", "alicepass");
    auto info = Ask(*again.file);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->line5, 5);
    EXPECT_EQ(info->line6Count, 0);
    EXPECT_EQ(info->line6Text, "none");
    // The counts outlive a restart.
    again = {};
    ASSERT_TRUE(server.Restart());
    auto later = SignIn("alice", "alicepass");
    info = Ask(*later.file);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->line5, 6);
}

TEST_F(AccountInfoTest, FullNameChangesFollowTheCreationRuleWithinFiftyBytes) {
    auto bob = SignIn("bob", "bobpass");
    std::string threeByte;
    for (int i = 0; i < 20; ++i) threeByte += "\xE2\x82\xAC";  // twenty euro signs: 60 bytes
    const std::string refused[] = {threeByte, "Bob; admin", "", "   ",
                                   std::string(21, 'b'), "Bob\x01"};
    for (const std::string& name : refused) {
        auto [code, reason] = Change(*bob.file, net::account::kChangeFullName, name);
        EXPECT_EQ(code, net::account::kFullNameRefused) << name;
        EXPECT_NE(reason.find("20 characters"), std::string::npos) << reason;
    }
    // Sixteen two-byte characters: 32 bytes, within every limit.
    std::string accented;
    for (int i = 0; i < 16; ++i) accented += "\xC3\xA9";
    for (const std::string& name : {std::string("Robert Baker"), accented}) {
        auto [code, reason] = Change(*bob.file, net::account::kChangeFullName, name);
        EXPECT_EQ(code, net::account::kFullNameChanged) << reason;
        auto info = Ask(*bob.file);
        ASSERT_TRUE(info);
        EXPECT_EQ(info->fullName, name);
    }
}

TEST_F(AccountInfoTest, PasswordChangeReachesEveryConnectionOfTheAccountAndTheNextLogin) {
    auto first = SignIn("carol", "carolpass");
    auto second = SignIn("carol", "carolpass");
    for (const std::string& bad : {std::string(16, 'p'), std::string("pass word"), std::string()}) {
        auto [code, reason] = Change(*first.file, net::account::kChangePassword, bad);
        EXPECT_EQ(code, net::account::kPasswordRefused) << bad;
        EXPECT_NE(reason.find("1 to 15 characters"), std::string::npos) << reason;
    }
    auto [code, reason] = Change(*first.file, net::account::kChangePassword, "new-Pass_15");
    ASSERT_EQ(code, net::account::kPasswordChanged) << reason;
    for (TestClient* file : {first.file.get(), second.file.get()}) {
        auto info = Ask(*file);
        ASSERT_TRUE(info);
        EXPECT_EQ(info->password, "new-Pass_15");
    }
    TestClient old;
    ASSERT_TRUE(old.Connect(server.NetworkPort()));
    ASSERT_TRUE(old.SendLogin("1234567", "carol", "carolpass"));
    EXPECT_TRUE(old.WaitClosed());
    TestClient fresh;
    EXPECT_TRUE(fresh.Login(server.FilePort(), "1234567", "carol", "new-Pass_15"));
}

TEST_F(AccountInfoTest, HistoryIsForTheAccountItselfOrAnAdministrator) {
    auto alice = SignIn("alice", "alicepass");
    EXPECT_EQ(History(*alice.file, "bob").first, net::download::kRefused);
    EXPECT_EQ(History(*alice.file, "nobody").first, net::download::kAccountNotFound);
    auto own = History(*alice.file, "ALICE");
    EXPECT_EQ(own.first, net::download::kStart);
    EXPECT_NE(own.second.find("signed in from 127.0.0.1"), std::string::npos);

    auto admin = SignIn("admin", "adminpass");
    auto theirs = History(*admin.file, "alice");
    EXPECT_EQ(theirs.first, net::download::kStart);
    EXPECT_EQ(theirs.second, own.second);
    // Information is only for logged-in file-server connections.
    TestClient stranger;
    ASSERT_TRUE(stranger.Connect(server.FilePort()));
    net::MessageWriter w(net::account::kInformationRequest);
    ASSERT_TRUE(stranger.Send(w, Primary::Account));
    EXPECT_FALSE(stranger.Receive(std::chrono::milliseconds(200)));
}

TEST_F(AccountInfoTest, AnAccountWithoutARecordStartsFromNothing) {
    // As an account of a data folder from before the record was kept.
    TestClient creator;
    ASSERT_TRUE(creator.Connect(server.NetworkPort()));
    auto message = CreationEnvelope("1234567", "Gus Gray", "Gus", "guspass",
                                    "0f3c1a52-8d6e-4b7a-9c21-5e4d3b2a1f00", "none");
    ASSERT_TRUE(
        creator.SendRaw(QByteArray(reinterpret_cast<const char*>(message->data), message->remaining)));
    auto reply = creator.Receive();
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->code, net::account::kCreated);
    // Before any sign-in the history is empty, not missing.
    auto admin = SignIn("admin", "adminpass");
    auto none = History(*admin.file, "gus");
    EXPECT_EQ(none.first, net::download::kStart);
    EXPECT_TRUE(none.second.empty());

    auto gus = SignIn("gus", "guspass");
    auto info = Ask(*gus.file);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->username, "Gus");
    EXPECT_EQ(info->line5, 1);
    EXPECT_EQ(info->line6Count, 0);
    EXPECT_EQ(info->line6Text, "none");
}

TEST(SignInHistory, TextsOfTheRecord) {
    const qint64 when =
        QDateTime(QDate(2026, 12, 8), QTime(21, 30, 5), QTimeZone::utc()).toSecsSinceEpoch();
    EXPECT_EQ(localnet::CreationDateText(when), "8 December 2026");
    EXPECT_EQ(localnet::HistoryLine(when, localnet::SignedInText("127.0.0.1")),
              "2026-12-08 21:30:05 UTC  signed in from 127.0.0.1");
    EXPECT_EQ(localnet::SignedOutText(12 * 60 + 31), "signed out after 0:12:31");
    EXPECT_EQ(localnet::SignedOutText(26 * 3600 + 5), "signed out after 26:00:05");
    EXPECT_EQ(localnet::LastFailureText("127.0.0.1", when),
              "last from 127.0.0.1 on 2026-12-08 21:30 UTC");
    const std::string longest =
        localnet::LastFailureText("fd00:1234:5678:9abc:def0:1234:5678:9abc", when);
    EXPECT_EQ(longest.size(), 50u);
    // A cut never splits a character.
    EXPECT_EQ(localnet::CutUtf8(QString::fromUtf8("ab\xE2\x82\xAC"), 4), "ab");
}

TEST(SignInHistory, KeepsTheLastThousandLines) {
    QByteArray history;
    for (int i = 0; i < localnet::kHistoryLines + 5; ++i)
        history = localnet::AppendHistory(history, QString::number(i));
    EXPECT_EQ(history.count('\n'), localnet::kHistoryLines);
    EXPECT_TRUE(history.startsWith("5\n"));
    EXPECT_TRUE(history.endsWith("1004\n"));
    // A history whose last line lost its end still gets whole lines.
    EXPECT_EQ(localnet::AppendHistory("a", "b"), "a\nb\n");
}

}  // namespace
}  // namespace servertest
