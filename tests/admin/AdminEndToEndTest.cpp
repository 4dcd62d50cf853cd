// Network administration between whole programs and the in-process local
// network: root browses the logs and reads one, disconnects and bans bob and
// lifts the ban; an admin's delete spares root; a regular user is refused.

#include <gtest/gtest.h>

#include <QDateTime>

#include "admin/AdminModule.h"
#include "admin/ManageAccountsDlg.h"
#include "admin/NetworkInformationDlg.h"
#include "app/AppHarness.h"
#include "shell/MainDlg.h"
#include "signin/AuthenticatingDlg.h"
#include "support/qt/LocalNetworkFixture.h"
#include "ui/FixedButton.h"

namespace admin {
namespace {

using testsupport::SpinUntil;

class AdminEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(server.Start()); }

    std::unique_ptr<apptest::AppHarness> LogIn(const QString& user, const QString& password) {
        auto h = std::make_unique<apptest::AppHarness>(server.Endpoints());
        h->ConfirmLogin(user, password);
        EXPECT_TRUE(SpinUntil([&] { return h->state->MainWindow().isVisible(); }))
            << user.toStdString();
        return h;
    }
    static AdminModule& Module(apptest::AppHarness& h) { return *h.state->FindModule<AdminModule>(); }
    static CNetworkInformationDlg& Info(apptest::AppHarness& h) { return *Module(h).Information(); }
    static CManageAccountsDlg& Accounts(apptest::AppHarness& h) { return *Module(h).Accounts(); }

    // Opens the network information window from the main window's tool.
    static void OpenInformation(apptest::AppHarness& h) {
        h.state->MainWindow().ToolButton(shell::Tool::NetworkInfo)->click();
        ASSERT_TRUE(SpinUntil([&] { return Info(h).isVisible(); }));
    }
    // Double-clicks the entry and waits for the folder it opens.
    static void Open(apptest::AppHarness& h, const std::string& name, const std::string& path) {
        const auto& entries = Info(h).Information().entries;
        int row = -1;
        for (size_t i = 0; i < entries.size(); ++i)
            if (entries[i].name == name) row = static_cast<int>(i);
        ASSERT_GE(row, 0) << name;
        Info(h).EntryActivated(row);
        ASSERT_TRUE(SpinUntil([&] { return Info(h).Path() == path; })) << path;
    }
    static const contacts::AccountRecord* Record(apptest::AppHarness& h, const std::string& name) {
        auto& records = Accounts(h).Records();
        for (int r = 0; r < records.rowCount(); ++r)
            if (records.RecordAt(r)->username == name) return records.RecordAt(r);
        return nullptr;
    }
    static int RowOf(apptest::AppHarness& h, const std::string& name) {
        auto& records = Accounts(h).Records();
        for (int r = 0; r < records.rowCount(); ++r)
            if (records.RecordAt(r)->username == name) return r;
        return -1;
    }
    static void OpenAccounts(apptest::AppHarness& h) {
        Info(h).ManageButton()->click();
        ASSERT_TRUE(SpinUntil([&] { return Accounts(h).isVisible(); }));
    }

    testsupport::LocalNetworkFixture server;
};

TEST_F(AdminEndToEnd, RootBrowsesToTodaysLogAndReadsBobsLogin) {
    auto bob = LogIn("bob", "bobpass");
    auto root = LogIn("root", "rootpass");
    OpenInformation(*root);
    CNetworkInformationDlg& info = Info(*root);
    EXPECT_EQ(info.FieldText(0), "123.4567");
    EXPECT_EQ(info.FieldText(1), "Demo Network");
    EXPECT_EQ(info.FieldText(2), "7; 2 currently online");
    EXPECT_FALSE(info.FieldText(3).isEmpty());
    EXPECT_EQ(info.PathLabelText(), "/");

    const QDate today = QDate::currentDate();
    const std::string year = QString::number(today.year()).toStdString();
    const std::string month = QString::asprintf("%02d", today.month()).toStdString();
    Open(*root, year, year);
    Open(*root, month, year + "/" + month);
    EXPECT_EQ(info.PathLabelText().toStdString(), "/" + year + "/" + month);
    Info(*root).EntryActivated([&] {
        const auto& entries = info.Information().entries;
        for (size_t i = 0; i < entries.size(); ++i)
            if (entries[i].name == QString::asprintf("%02d.log", today.day()).toStdString())
                return static_cast<int>(i);
        return -1;
    }());
    ASSERT_TRUE(SpinUntil([&] { return Module(*root).LogViewer() != nullptr; }));
    EXPECT_TRUE(Module(*root).LogViewer()->Text().contains("login: bob from"));
    EXPECT_FALSE(info.Downloading());

    info.BackButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return info.Path() == year; }));
    info.BackButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return info.Path() == "/"; }));
    EXPECT_FALSE(info.BackButton()->isEnabled());
}

TEST_F(AdminEndToEnd, RootDisconnectsBansAndForgivesBob) {
    auto bob = LogIn("bob", "bobpass");
    auto root = LogIn("root", "rootpass");
    OpenInformation(*root);
    OpenAccounts(*root);
    ASSERT_NE(Record(*root, "bob"), nullptr);
    EXPECT_EQ(Record(*root, "bob")->online, 1);

    Accounts(*root).SelectRows({RowOf(*root, "bob")});
    Accounts(*root).Button(kDisconnect)->click();
    ASSERT_TRUE(SpinUntil([&] { return bob->state->LoginWindow().isVisible(); }));
    EXPECT_EQ(bob->dialogs.Last().text, "No longer connected to 1234567");
    // The list is read again once the action is in.
    ASSERT_TRUE(SpinUntil([&] { return Record(*root, "bob") && Record(*root, "bob")->online == 0; }));

    Accounts(*root).SelectRows({RowOf(*root, "bob")});
    Accounts(*root).Button(kBan)->click();
    ASSERT_TRUE(SpinUntil([&] { return Record(*root, "bob") && Record(*root, "bob")->banned == 1; }));
    bob->ConfirmLogin("bob", "bobpass");
    signin::CAuthenticatingDlg& auth = bob->state->AuthenticatingWindow();
    ASSERT_TRUE(SpinUntil([&] {
        return auth.isVisible() && !auth.InProgress();
    }));
    EXPECT_FALSE(bob->state->MainWindow().isVisible());

    Accounts(*root).SelectRows({RowOf(*root, "bob")});
    ASSERT_TRUE(Accounts(*root).Button(kUndoBan)->isEnabled());
    Accounts(*root).Button(kUndoBan)->click();
    ASSERT_TRUE(SpinUntil([&] { return Record(*root, "bob") && Record(*root, "bob")->banned == 0; }));
    bob = LogIn("bob", "bobpass");
    EXPECT_TRUE(bob->state->MainWindow().isVisible());
}

TEST_F(AdminEndToEnd, AnAdminsDeleteOfRootAndBobDeletesBobOnly) {
    auto admin = LogIn("admin", "adminpass");
    OpenInformation(*admin);
    OpenAccounts(*admin);
    Accounts(*admin).SelectRows({RowOf(*admin, "root"), RowOf(*admin, "bob")});
    ASSERT_TRUE(Accounts(*admin).Button(kDelete)->isEnabled());
    Accounts(*admin).Button(kDelete)->click();
    ASSERT_TRUE(SpinUntil([&] { return Record(*admin, "bob") == nullptr; }));
    EXPECT_NE(Record(*admin, "root"), nullptr);
    EXPECT_EQ(Accounts(*admin).Records().rowCount(), 6);
}

TEST_F(AdminEndToEnd, AliceSeesTheTopButMayNeitherOpenLogsNorManageAccounts) {
    auto alice = LogIn("alice", "alicepass");
    OpenInformation(*alice);
    CNetworkInformationDlg& info = Info(*alice);
    ASSERT_FALSE(info.Information().entries.empty());
    info.EntryActivated(0);
    EXPECT_EQ(alice->dialogs.Last().text, "You must be an administrator to view the nework logs");
    info.ManageButton()->click();
    EXPECT_EQ(alice->dialogs.Last().text, "You must be an administrator in order to manage accounts");
    EXPECT_FALSE(Accounts(*alice).isVisible());

    // A drop hides the window with every other window of the signed-in state.
    server.Stop();
    ASSERT_TRUE(SpinUntil([&] { return alice->state->LoginWindow().isVisible(); }));
    EXPECT_FALSE(info.isVisible());
}

}  // namespace
}  // namespace admin
