// Network administration on the network server: the network's facts and its
// log folders for whoever may see them, the refusals for the rest, and the
// log lines the server writes itself.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTimer>
#include <chrono>
#include <functional>

#include "TestClient.h"
#include "net/MsgNetwork.h"
#include "server/admin/AdminService.h"
#include "support/qt/LocalNetworkFixture.h"

namespace servertest {
namespace {

using net::Primary;
using net::Secondary;

// Runs the event loop (the server is in this thread) until `done` or the deadline.
bool SpinUntil(const std::function<bool()>& done,
               std::chrono::milliseconds deadline = std::chrono::seconds(10)) {
    QTimer tick;
    tick.start(20);
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

class AdminServiceTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(server.Start()); }

    std::unique_ptr<TestClient> SignIn(const std::string& user, const std::string& password) {
        auto c = std::make_unique<TestClient>();
        EXPECT_TRUE(c->Login(server.NetworkPort(), "1234567", user, password));
        return c;
    }

    // Sends request 3 and returns the answer's code (16 or 17; -1 for none),
    // with the decoded facts for 16.
    int32_t Ask(TestClient& c, const std::string& path, net::NetworkInformation* info = nullptr,
                const std::string& number = "1234567") {
        EXPECT_TRUE(c.Send(net::MessageWriter(net::network::kInformation).Int(-1).Str(number).Str(path),
                           Primary::Network, Secondary::Message));
        for (;;) {
            auto m = c.Receive();
            if (!m) return -1;
            if (m->header.nDescPrimary != +Primary::Network) continue;
            if (info && m->code == net::network::kInformationResponse) {
                auto f = m->Reader();
                EXPECT_EQ(net::DecodeNetworkInformation(f, *info), -1);
            }
            return m->code;
        }
    }

    // Makes a folder (and a file in it when `file` is given) under the logs.
    void Plant(const QString& folder, const QString& file = {}, const QByteArray& bytes = {}) {
        const QString base = Resolve(localnet::AdminService::LogsFolder("1234567") + "/" + folder);
        ASSERT_TRUE(QDir().mkpath(base));
        if (file.isEmpty()) return;
        QFile f(base + "/" + file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QString Resolve(const QString& relative) {
        return server.Network().GetStore().ResolvePath(relative);
    }

    static const net::FolderEntry* Find(const net::NetworkInformation& info,
                                        const std::string& name) {
        for (const auto& e : info.entries)
            if (e.name == name) return &e;
        return nullptr;
    }

    testsupport::LocalNetworkFixture server;
};

TEST_F(AdminServiceTest, RootSeesTheFactsAndEveryFolderWithSecurityOpen) {
    Plant("security", "security.log", "x\n");
    Plant("2009/09", "01.log", QByteArray(3000, 'a'));
    auto root = SignIn("root", "rootpass");
    auto bob = SignIn("bob", "bobpass");
    auto bobAgain = SignIn("bob", "bobpass");
    net::NetworkInformation info;
    ASSERT_EQ(Ask(*root, "/", &info), net::network::kInformationResponse);
    EXPECT_EQ(info.name, "Demo Network");
    EXPECT_EQ(info.accountCount,
              static_cast<int32_t>(server.Network().GetStore().FindNetwork("1234567")->accounts.size()));
    // Accounts, not connections: bob twice counts once.
    EXPECT_EQ(info.onlineCount, 2);
    EXPECT_EQ(info.path, "/");
    EXPECT_FALSE(info.serverTime.empty());
    const net::FolderEntry* security = Find(info, "security");
    ASSERT_NE(security, nullptr);
    EXPECT_EQ(security->kind, 1);
    EXPECT_EQ(security->flag, 0);
    const net::FolderEntry* year = Find(info, "2009");
    ASSERT_NE(year, nullptr);
    EXPECT_EQ(year->kind, 1);
    EXPECT_EQ(year->modified.back(), '\n');

    ASSERT_EQ(Ask(*root, "2009/09", &info), net::network::kInformationResponse);
    EXPECT_EQ(info.path, "2009/09");
    ASSERT_EQ(info.entries.size(), 1u);
    EXPECT_EQ(info.entries[0].kind, 2);
    EXPECT_EQ(info.entries[0].size, 3000);
    EXPECT_EQ(info.entries[0].name, "01.log");
    EXPECT_EQ(Ask(*root, "security", &info), net::network::kInformationResponse);
}

TEST_F(AdminServiceTest, AnAdminSeesSecurityLockedAndMayNotOpenIt) {
    Plant("security");
    Plant("2009");
    auto admin = SignIn("admin", "adminpass");
    net::NetworkInformation info;
    ASSERT_EQ(Ask(*admin, "/", &info), net::network::kInformationResponse);
    const net::FolderEntry* security = Find(info, "security");
    ASSERT_NE(security, nullptr);
    EXPECT_EQ(security->flag, 1);
    EXPECT_EQ(Ask(*admin, "security"), net::network::kIgnoredResponse);
    EXPECT_EQ(Ask(*admin, "2009"), net::network::kInformationResponse);
}

TEST_F(AdminServiceTest, PathsOutsideTheLogsAndUnknownFoldersAreRefused) {
    Plant("2009/09");
    auto root = SignIn("root", "rootpass");
    for (const std::string& path : std::vector<std::string>{"..", "2009/..", "../..", "2009\\09", "2009//09", "/2009", "2009/", "", "nothing",
          "2009/09/01", std::string(201, 'a')}) {
        EXPECT_EQ(Ask(*root, path), net::network::kIgnoredResponse) << path;
    }
    // Another network's logs are not the user's.
    EXPECT_EQ(Ask(*root, "/", nullptr, "7654321"), net::network::kIgnoredResponse);
    // Still answering after all of that.
    EXPECT_EQ(Ask(*root, "2009/09"), net::network::kInformationResponse);
}

TEST_F(AdminServiceTest, ARegularAccountGetsTheTopOnly) {
    Plant("2009");
    auto alice = SignIn("alice", "alicepass");
    net::NetworkInformation info;
    ASSERT_EQ(Ask(*alice, "/", &info), net::network::kInformationResponse);
    EXPECT_EQ(info.name, "Demo Network");
    EXPECT_EQ(Ask(*alice, "2009"), net::network::kIgnoredResponse);
}

TEST_F(AdminServiceTest, LoginsLogoutsAndFailedLoginsAreLogged) {
    {
        auto bob = SignIn("bob", "bobpass");
        TestClient wrong;
        ASSERT_TRUE(wrong.Connect(server.NetworkPort()));
        ASSERT_TRUE(wrong.SendLogin("1234567", "carol", "nope"));
        EXPECT_TRUE(wrong.WaitClosed());
        bob.reset();
    }
    auto root = SignIn("root", "rootpass");
    // The day's file holds bob's login and logout and carol's failed login;
    // the security log the failed one only.
    const QString day =
        Resolve(localnet::AdminService::DayLogPath("1234567", QDateTime::currentDateTime()));
    const QString security =
        Resolve(localnet::AdminService::LogsFolder("1234567") + "/security/security.log");
    const auto read = [](const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    };
    ASSERT_TRUE(SpinUntil([&] { return read(day).contains("logout: bob"); }));
    EXPECT_TRUE(read(day).contains("login: bob"));
    EXPECT_TRUE(read(day).contains("failed login: carol"));
    EXPECT_TRUE(read(security).contains("failed login: carol"));
    EXPECT_FALSE(read(security).contains("login: bob"));
}

}  // namespace
}  // namespace servertest
