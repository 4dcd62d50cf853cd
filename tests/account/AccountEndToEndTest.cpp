// The account window, its changes and the connection history against the
// in-process local network, as the user sees them.

#include <gtest/gtest.h>

#include <QDate>

#include "account/AccountChangeDlgs.h"
#include "account/AccountInfoDlg.h"
#include "account/AccountModule.h"
#include "account/SettingsDlg.h"
#include "server/core/ClientSession.h"
#include "shell/Settings.h"
#include "app/AppHarness.h"
#include "shell/MainDlg.h"
#include "signin/AuthenticatingDlg.h"
#include "signin/LoginDlg.h"
#include "support/qt/LocalNetworkFixture.h"
#include "ui/FixedButton.h"
#include "ui/ServerResponseDlg.h"
#include "ui/TextViewerDlg.h"

namespace account {
namespace {

using apptest::AppHarness;
using testsupport::SpinUntil;

class AccountEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(network.Start()); }

    std::unique_ptr<AppHarness> Client() {
        auto h = std::make_unique<AppHarness>(network.Endpoints());
        h->state->Start();
        return h;
    }
    static AccountModule& Module(AppHarness& h) {
        return *h.state->FindModule<AccountModule>();
    }
    // Logs in; false when the main window did not come.
    static bool LogIn(AppHarness& h, const QString& user, const QString& password) {
        h.ConfirmLogin(user, password);
        return SpinUntil([&] { return h.state->MainWindow().isVisible(); });
    }
    // A login the server refuses.
    static bool Refused(AppHarness& h, const QString& user, const QString& password) {
        h.ConfirmLogin(user, password);
        signin::CAuthenticatingDlg& auth = h.state->AuthenticatingWindow();
        const bool refused = SpinUntil([&] {
            return !auth.InProgress() && auth.Picture() == signin::CAuthenticatingDlg::kRefused;
        });
        auth.Button()->click();
        return refused && SpinUntil([&] { return h.state->LoginWindow().isVisible(); });
    }
    // Asks for the account information and waits for line `line` to read `text`.
    static bool Shows(AppHarness& h, int line, const QString& text) {
        CAccountInfoDlg& info = *Module(h).InfoWindow();
        h.state->MainWindow().ToolButton(shell::Tool::AccountInfo)->click();
        return SpinUntil([&] { return info.isVisible() && info.LineText(line) == text; });
    }

    testsupport::LocalNetworkFixture network;
};

TEST_F(AccountEndToEnd, SeededLinesNameChangesAndTheHistoryViewer) {
    auto h = Client();
    ASSERT_TRUE(LogIn(*h, "alice", "alicepass"));
    ASSERT_TRUE(Shows(*h, 1, "Alice Archer"));
    CAccountInfoDlg& info = *Module(*h).InfoWindow();
    EXPECT_EQ(info.LineText(2), "alice");
    EXPECT_EQ(info.LineText(3), "*******");
    EXPECT_TRUE(info.LineText(4).endsWith(QString::number(QDate::currentDate().year())));
    EXPECT_EQ(info.LineText(5), "4");
    EXPECT_EQ(info.LineText(6), "0");

    // A new name shows after the server's answer and the request again.
    CAccountChangeFullNameDlg& name = *Module(*h).ChangeNameWindow();
    info.ChangeNameButton()->click();
    name.NameField()->setText("Alice Baker");
    name.OkButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return info.LineText(1) == "Alice Baker"; }));

    // Twenty three-byte characters pass the window and not the server.
    info.ChangeNameButton()->click();
    name.NameField()->setText(QString(20, QChar(0x20AC)));
    name.OkButton()->click();
    ui::CServerResponseDlg& response = h->state->ServerResponseWindow();
    ASSERT_TRUE(SpinUntil([&] { return response.isVisible(); }));
    EXPECT_TRUE(response.Text().contains("Unable to change full name on the account"));
    EXPECT_EQ(info.LineText(1), "Alice Baker");

    // The history viewer opens on the downloaded file with her sign-in.
    info.HistoryButton()->click();
    ASSERT_TRUE(SpinUntil([&] {
        return Module(*h).HistoryViewer() != nullptr && Module(*h).HistoryViewer()->isVisible();
    }));
    ui::CTextViewerDlg& viewer = *Module(*h).HistoryViewer();
    EXPECT_EQ(viewer.windowTitle(), "Text Viewer");
    EXPECT_EQ(viewer.Text().count("signed in from 127.0.0.1"), 4);
    EXPECT_TRUE(viewer.Path().endsWith("files/remote/connhistory/connhistory"));

    // The name survives a restart of the server.
    h.reset();
    ASSERT_TRUE(network.Restart());
    EXPECT_EQ(network.Network().GetStore().FindNetwork("1234567")->FindAccount("alice")->fullName,
              "Alice Baker");
}

TEST_F(AccountEndToEnd, NewPasswordAtTheNextLoginAndTheServersReason) {
    auto h = Client();
    ASSERT_TRUE(LogIn(*h, "carol", "carolpass"));
    ASSERT_TRUE(Shows(*h, 2, "carol"));
    CAccountInfoDlg& info = *Module(*h).InfoWindow();
    CAccountChangePasswordDlg& pw = *Module(*h).ChangePasswordWindow();
    auto change = [&](const QString& old, const QString& fresh) {
        info.ChangePasswordButton()->click();
        pw.OldField()->setText(old);
        pw.NewField()->setText(fresh);
        pw.AgainField()->setText(fresh);
        pw.OkButton()->click();
    };
    // Sixteen characters pass the window; the server says why not.
    change("carolpass", QString(16, 'x'));
    ui::CServerResponseDlg& response = h->state->ServerResponseWindow();
    ASSERT_TRUE(SpinUntil([&] { return response.isVisible(); }));
    EXPECT_TRUE(response.Text().contains("Unable to change account password"));
    EXPECT_TRUE(response.Text().contains("1 to 15 characters"));

    change("carolpass", "carol-2");
    ASSERT_TRUE(SpinUntil([&] { return info.Info().password == "carol-2"; }));
    // The old password is now the one the answer delivered.
    change("carolpass", "carol-3");
    EXPECT_EQ(h->dialogs.Last().text, "Old password is incorrect");
    pw.hide();

    auto other = Client();
    ASSERT_TRUE(Refused(*other, "carol", "carolpass"));
    ASSERT_TRUE(LogIn(*other, "carol", "carol-2"));
}

TEST_F(AccountEndToEnd, AMistypedLoginBeforeHersIsTheSixthLine) {
    auto h = Client();
    ASSERT_TRUE(Refused(*h, "alice", "alicepas"));
    ASSERT_TRUE(LogIn(*h, "alice", "alicepass"));
    CAccountInfoDlg& info = *Module(*h).InfoWindow();
    h->state->MainWindow().ToolButton(shell::Tool::AccountInfo)->click();
    ASSERT_TRUE(SpinUntil([&] { return info.isVisible(); }));
    EXPECT_TRUE(info.LineText(6).startsWith("1 (last from 127.0.0.1 on ")) << info.LineText(6).toStdString();
    EXPECT_TRUE(info.LineText(6).endsWith(" UTC)"));
    EXPECT_EQ(info.LineText(5), "4");
}

TEST_F(AccountEndToEnd, ADropHidesTheWindowsAndSavesTheSettingsFirst) {
    auto h = Client();
    ASSERT_TRUE(LogIn(*h, "bob", "bobpass"));
    ASSERT_TRUE(Shows(*h, 2, "bob"));
    AccountModule& m = Module(*h);
    m.InfoWindow()->ChangeNameButton()->click();
    h->state->MainWindow().ToolButton(shell::Tool::Settings)->click();
    ASSERT_TRUE(SpinUntil([&] {
        return m.ChangeNameWindow()->isVisible() && m.SettingsWindow()->isVisible();
    }));
    m.SettingsWindow()->SizeField()->setText("20");
    for (localnet::ClientSession* s : network.Network().Sessions())
        if (s->Kind() == localnet::ServerKind::Network && s->LoggedIn()) s->Abort("test drop");
    ASSERT_TRUE(SpinUntil([&] { return h->state->LoginWindow().isVisible(); }));
    EXPECT_FALSE(m.InfoWindow()->isVisible());
    EXPECT_FALSE(m.ChangeNameWindow()->isVisible());
    EXPECT_FALSE(m.SettingsWindow()->isVisible());
    shell::Settings saved(h->DataFile("settings.dat"));
    ASSERT_TRUE(saved.Read());
    EXPECT_EQ(saved.Values().size, 20);
}

}  // namespace
}  // namespace account
