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
    // The number with its dot is the same network.
    EXPECT_EQ(Ask(*root, "/", nullptr, "123.4567"), net::network::kInformationResponse);
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

namespace servertest {
namespace {

constexpr int32_t kActionCode = 4;
constexpr int32_t kActionSlot = 14;
constexpr int32_t kLogCode = 7;
constexpr int32_t kLogSlot = 12;

class AdminActionTest : public AdminServiceTest {
  protected:
    std::unique_ptr<TestClient> FileSignIn(const std::string& user, const std::string& password) {
        auto c = std::make_unique<TestClient>();
        EXPECT_TRUE(c->Login(server.FilePort(), "1234567", user, password));
        return c;
    }

    // Uploads an action file; returns the code of the answer (go-ahead or refusal).
    int32_t Upload(TestClient& file, int32_t action, const std::string& text) {
        net::MessageWriter w(kActionCode);
        w.Int(static_cast<int32_t>(text.size())).Int(action);
        EXPECT_TRUE(file.Send(w, Primary::Upload));
        auto go = file.Receive();
        if (!go || go->header.nDescPrimary != +Primary::Upload) return -1;
        if (go->code != net::upload::kGoAhead) return go->code;
        net::MessageWriter cw(net::upload::kChunk);
        cw.Int(kActionSlot).Raw(text.data(), static_cast<int>(text.size()));
        EXPECT_TRUE(file.Send(cw, Primary::Upload, Secondary::Response));
        return go->code;
    }

    localnet::Account& Account(const QString& name) {
        return *server.Network().GetStore().FindNetwork("1234567")->FindAccount(name);
    }

    // The log file's bytes, or the code of the refusal.
    std::pair<int32_t, std::string> Download(TestClient& file, const std::string& path,
                                             const std::string& name) {
        net::MessageWriter w(kLogCode);
        w.Str(path).Str(name);
        EXPECT_TRUE(file.Send(w, Primary::Download));
        std::string content;
        int32_t total = -1;
        for (;;) {
            auto m = file.Receive();
            if (!m || m->header.nDescPrimary != +Primary::Download) return {-1, content};
            auto f = m->Reader();
            int32_t slot = -1;
            EXPECT_TRUE(f.Int(0, 24, slot));
            EXPECT_EQ(slot, kLogSlot);
            if (m->code != net::download::kStart && m->code != net::download::kData)
                return {m->code, {}};
            if (m->code == net::download::kStart) {
                EXPECT_TRUE(f.Int(0, -1, total));
            }
            content.append(reinterpret_cast<const char*>(f.Rest()), size_t(f.RestSize()));
            if (int32_t(content.size()) >= total) return {net::download::kStart, content};
        }
    }
};

TEST_F(AdminActionTest, RootPromotesAndDemotesWithinItsRank) {
    auto root = FileSignIn("root", "rootpass");
    ASSERT_EQ(Upload(*root, 0, "bob\ncarol\nnobody\nroot\n"), net::upload::kGoAhead);
    ASSERT_TRUE(SpinUntil([&] { return Account("carol").admin; }));
    EXPECT_TRUE(Account("bob").admin);
    EXPECT_TRUE(Account("root").root);
    ASSERT_EQ(Upload(*root, 1, "bob"), net::upload::kGoAhead);
    ASSERT_TRUE(SpinUntil([&] { return !Account("bob").admin; }));
    EXPECT_TRUE(Account("carol").admin);
}

TEST_F(AdminActionTest, AnAdminActsOnRegularAccountsOnlyAndARegularOneOnNothing) {
    auto admin = FileSignIn("admin", "adminpass");
    auto alice = FileSignIn("alice", "alicepass");
    // alice's ban of bob is skipped, and so is admin's ban of root.
    ASSERT_EQ(Upload(*alice, 4, "bob\n"), net::upload::kGoAhead);
    ASSERT_EQ(Upload(*admin, 4, "root\ncarol\n"), net::upload::kGoAhead);
    ASSERT_TRUE(SpinUntil([&] { return Account("carol").banned; }));
    EXPECT_FALSE(Account("root").banned);
    EXPECT_FALSE(Account("bob").banned);
    // The changes are in the store, not in memory only.
    ASSERT_EQ(Upload(*admin, 5, "carol\n"), net::upload::kGoAhead);
    ASSERT_TRUE(SpinUntil([&] { return !Account("carol").banned; }));
    const QString log = [&] {
        QFile f(Resolve(localnet::AdminService::LogsFolder("1234567") + "/security/security.log"));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }();
    EXPECT_TRUE(log.contains("ban by alice on bob: skipped"));
    EXPECT_TRUE(log.contains("ban by admin on root: skipped"));
    EXPECT_TRUE(log.contains("ban by admin on carol: applied"));
}

TEST_F(AdminActionTest, BanAndDisconnectCloseBothConnectionsOfTheAccount) {
    auto root = FileSignIn("root", "rootpass");
    auto bobNetwork = SignIn("bob", "bobpass");
    auto bobFile = FileSignIn("bob", "bobpass");
    ASSERT_EQ(Upload(*root, 2, "bob\n"), net::upload::kGoAhead);
    EXPECT_TRUE(bobNetwork->WaitClosed());
    EXPECT_TRUE(bobFile->WaitClosed());
    EXPECT_FALSE(Account("bob").banned);

    auto again = SignIn("bob", "bobpass");
    ASSERT_EQ(Upload(*root, 4, "bob\n"), net::upload::kGoAhead);
    EXPECT_TRUE(again->WaitClosed());
    EXPECT_TRUE(Account("bob").banned);
    TestClient refused;
    ASSERT_TRUE(refused.Connect(server.NetworkPort()));
    ASSERT_TRUE(refused.SendLogin("1234567", "bob", "bobpass"));
    EXPECT_TRUE(refused.WaitClosed());
}

TEST_F(AdminActionTest, BadActionsAndOversizedFilesAreRefused) {
    auto root = FileSignIn("root", "rootpass");
    EXPECT_NE(Upload(*root, 6, "bob\n"), net::upload::kGoAhead);
    net::MessageWriter w(kActionCode);
    w.Int(localnet::AdminService::kMaxActionFile + 1).Int(0);
    ASSERT_TRUE(root->Send(w, Primary::Upload));
    auto answer = root->Receive();
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->code, net::upload::kRefusedFileTooLarge);
}

TEST_F(AdminActionTest, LogFilesGoToAdministratorsAndSecurityToRootOnly) {
    Plant("2009/09", "01.log", "line one\n");
    Plant("security", "security.log", "secret\n");
    auto root = FileSignIn("root", "rootpass");
    auto admin = FileSignIn("admin", "adminpass");
    auto alice = FileSignIn("alice", "alicepass");
    EXPECT_EQ(Download(*root, "2009/09", "01.log"),
              std::make_pair(int32_t{net::download::kStart}, std::string("line one\n")));
    EXPECT_EQ(Download(*admin, "2009/09", "01.log").first, net::download::kStart);
    EXPECT_EQ(Download(*root, "security", "security.log").first, net::download::kStart);
    EXPECT_EQ(Download(*admin, "security", "security.log").first, net::download::kRefused);
    EXPECT_EQ(Download(*alice, "2009/09", "01.log").first, net::download::kRefused);
    for (const auto& [path, name] : std::vector<std::pair<std::string, std::string>>{
             {"2009", "../2009/09/01.log"}, {"2009/09", "02.log"}, {"2009", "09"},
             {"..", "01.log"}, {"2009/09", ".."}}) {
        EXPECT_EQ(Download(*root, path, name).first, net::download::kRefused) << path << name;
    }
}

}  // namespace
}  // namespace servertest

namespace servertest {
namespace {

TEST_F(AdminServiceTest, TheDemoHasDaveBannedErinAdminAndWeeksOfLogs) {
    localnet::Network* net = server.Network().GetStore().FindNetwork("1234567");
    ASSERT_NE(net->FindAccount("dave"), nullptr);
    EXPECT_TRUE(net->FindAccount("dave")->banned);
    EXPECT_EQ(net->FindAccount("dave")->lastLogin, -1);
    ASSERT_NE(net->FindAccount("erin"), nullptr);
    EXPECT_TRUE(net->FindAccount("erin")->admin);
    ASSERT_NE(server.Network().GetStore().FindNetwork("7654321")->FindAccount("erin"), nullptr);

    TestClient dave;
    ASSERT_TRUE(dave.Connect(server.NetworkPort()));
    ASSERT_TRUE(dave.SendLogin("1234567", "dave", "davepass"));
    EXPECT_TRUE(dave.WaitClosed());

    auto erin = SignIn("erin", "erinpass");
    net::NetworkInformation top;
    ASSERT_EQ(Ask(*erin, "/", &top), net::network::kInformationResponse);
    int years = 0;
    for (const auto& e : top.entries) years += e.kind == 1 && e.name != "security";
    ASSERT_GE(years, 1);
    ASSERT_NE(Find(top, "security"), nullptr);
    // Two month folders at least over the years, and one day of a few hundred KB.
    int months = 0;
    int32_t largest = 0;
    for (const auto& year : top.entries) {
        if (year.name == "security") continue;
        net::NetworkInformation inYear;
        ASSERT_EQ(Ask(*erin, year.name, &inYear), net::network::kInformationResponse);
        for (const auto& month : inYear.entries) {
            ++months;
            net::NetworkInformation days;
            ASSERT_EQ(Ask(*erin, year.name + "/" + month.name, &days),
                      net::network::kInformationResponse);
            for (const auto& day : days.entries) largest = std::max(largest, day.size);
        }
    }
    EXPECT_GE(months, 2);
    EXPECT_GT(largest, 200 * 1024);
}

}  // namespace
}  // namespace servertest

#include "server/account/AccountService.h"
#include "server/mailbox/MailboxService.h"

namespace servertest {
namespace {

template <class T>
T* ServiceOf(localnet::LocalNetwork& network) {
    for (const auto& s : network.AllServices())
        if (auto* found = dynamic_cast<T*>(s.get())) return found;
    return nullptr;
}

QString ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

TEST_F(AdminActionTest, AnAdminsDeleteSkipsRootAndRemovesBobWithHisMailbox) {
    auto* mailbox = ServiceOf<localnet::MailboxService>(server.Network());
    ASSERT_NE(mailbox, nullptr);
    localnet::MailboxService::Delivery d;
    d.number = "1234567";
    d.sender = "alice";
    d.recipients = {"bob"};
    d.subject = "hello";
    d.body = "hi";
    ASSERT_TRUE(mailbox->Deliver(d));
    ASSERT_NE(mailbox->MailboxOf("1234567", "bob"), nullptr);

    auto admin = FileSignIn("admin", "adminpass");
    auto bob = SignIn("bob", "bobpass");
    ASSERT_EQ(Upload(*admin, 3, "root\nbob\n"), net::upload::kGoAhead);
    EXPECT_TRUE(bob->WaitClosed());
    localnet::Network* net = server.Network().GetStore().FindNetwork("1234567");
    ASSERT_TRUE(SpinUntil([&] { return net->FindAccount("bob") == nullptr; }));
    EXPECT_NE(net->FindAccount("root"), nullptr);
    EXPECT_EQ(mailbox->MailboxOf("1234567", "bob"), nullptr);
    // What alice sent stays hers.
    EXPECT_NE(mailbox->MailboxOf("1234567", "alice"), nullptr);

    const QString security =
        ReadAll(Resolve(localnet::AdminService::LogsFolder("1234567") + "/security/security.log"));
    EXPECT_TRUE(security.contains("delete by admin on root: skipped"));
    EXPECT_TRUE(security.contains("delete by admin on bob: applied"));
    const QString day =
        ReadAll(Resolve(localnet::AdminService::DayLogPath("1234567", QDateTime::currentDateTime())));
    EXPECT_TRUE(day.contains("delivery: alice to 1 recipient(s)"));

    // Gone from the database too: a restart does not bring him back.
    server.Network().Stop();
    localnet::Store reread(server.Network().GetStore().DataDir());
    QString error;
    ASSERT_TRUE(reread.Load(&error)) << error.toStdString();
    EXPECT_EQ(reread.FindNetwork("1234567")->FindAccount("bob"), nullptr);
    EXPECT_NE(reread.FindNetwork("1234567")->FindAccount("root"), nullptr);
}

TEST_F(AdminActionTest, AListAskedRightAfterADisconnectShowsTheAccountOffline) {
    auto root = FileSignIn("root", "rootpass");
    auto bob = SignIn("bob", "bobpass");
    ASSERT_EQ(Upload(*root, 2, "bob\n"), net::upload::kGoAhead);
    // The client asks for the list as soon as its last chunk is out.
    net::MessageWriter w(8);
    w.Int(0);
    ASSERT_TRUE(root->Send(w, Primary::Download));
    std::string list;
    int32_t total = -1;
    while (total < 0 || static_cast<int32_t>(list.size()) < total) {
        auto m = root->Receive();
        ASSERT_TRUE(m);
        if (m->header.nDescPrimary != +Primary::Download) continue;
        auto f = m->Reader();
        int32_t slot = -1;
        ASSERT_TRUE(f.Int(0, 24, slot));
        ASSERT_EQ(slot, 13);
        if (m->code == net::download::kStart) {
            ASSERT_TRUE(f.Int(0, -1, total));
        }
        list.append(reinterpret_cast<const char*>(f.Rest()), size_t(f.RestSize()));
    }
    const size_t at = list.find("\nbob;") != std::string::npos ? list.find("\nbob;") + 1
                                                                 : list.find("bob;");
    ASSERT_NE(at, std::string::npos);
    const std::string line = list.substr(at, list.find('\n', at) - at);
    // username; full name; created; last login; online; ...
    size_t field = at;
    for (int i = 0; i < 4; ++i) field = list.find(';', field) + 1;
    while (list[field] == ' ') ++field;
    EXPECT_EQ(list[field], '0') << line;
    EXPECT_TRUE(bob->WaitClosed());
}

TEST_F(AdminServiceTest, CreationsAreLoggedAndTheDemoLogsWaitForTheFirstLook) {
    // Nothing of the demo's weeks is written by the start itself.
    const QString logs = Resolve(localnet::AdminService::LogsFolder("1234567"));
    const QString lastMonth = Resolve(localnet::AdminService::DayLogPath(
        "1234567", QDateTime::currentDateTime().addDays(-40)));
    EXPECT_FALSE(QFileInfo::exists(lastMonth));

    auto* accounts = ServiceOf<localnet::AccountService>(server.Network());
    ASSERT_NE(accounts, nullptr);
    localnet::AccountRequest request;
    request.number = "1234567";
    request.fullName = "Gus Green";
    request.username = "gus";
    request.password = "guspass";
    request.identity = "0123456789abcdef0123456789abcdef";
    request.creationCode = "none";
    ASSERT_EQ(accounts->Create(request), net::account::kCreated);
    EXPECT_TRUE(ReadAll(Resolve(localnet::AdminService::DayLogPath(
                            "1234567", QDateTime::currentDateTime())))
                    .contains("creation: gus"));

    auto root = SignIn("root", "rootpass");
    net::NetworkInformation top;
    ASSERT_EQ(Ask(*root, "/", &top), net::network::kInformationResponse);
    EXPECT_TRUE(QFileInfo::exists(lastMonth));
    // The network's own lines of today stay, after the demo's.
    const QString security = ReadAll(logs + "/security/security.log");
    EXPECT_TRUE(security.startsWith(
        QDateTime::currentDateTime().addDays(-localnet::AdminService::kDemoLogDays).toString("yyyy-MM-dd")));
    EXPECT_TRUE(ReadAll(Resolve(localnet::AdminService::DayLogPath(
                            "1234567", QDateTime::currentDateTime())))
                    .contains("creation: gus"));
}

}  // namespace
}  // namespace servertest
