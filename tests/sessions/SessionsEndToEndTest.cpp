// Two whole programs against the in-process local network: alice makes a
// private session, bob finds it, is refused where he has no right, and
// joins with its password; every answer comes from the server.

#include <gtest/gtest.h>

#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>

#include "app/AppState.h"
#include "server/core/ClientSession.h"
#include "sessions/ManageSessionsDlg.h"
#include "sessions/SessionFieldsDlg.h"
#include "sessions/SessionPage.h"
#include "sessions/SessionsModule.h"
#include "shell/MainDlg.h"
#include "signin/LoginDlg.h"
#include "support/TempDir.h"
#include "support/qt/LocalNetworkFixture.h"
#include "support/qt/ScriptedDialogs.h"
#include "ui/FixedButton.h"
#include "ui/ServerResponseDlg.h"
#include "ui/SessionHeaderCtrl.h"

namespace sessions {
namespace {

using testsupport::SpinUntil;

struct User {
    explicit User(const net::Endpoints& endpoints) {
        app::AppState::Options options;
        options.endpoints = endpoints;
        options.timings = net::Timings::Fast();
        options.environment.home = home.path();
        options.environment.xdgDataHome = home.path() + "/data";
        options.environment.xdgConfigHome = home.path() + "/config";
        state = std::make_unique<app::AppState>(dialogs, options);
    }
    bool LogIn(const QString& username) {
        state->Client().StartLookup("1234567");
        if (!SpinUntil([&] { return state->LoginWindow().isVisible(); })) return false;
        state->LoginWindow().UsernameField()->setText(username);
        state->LoginWindow().PasswordField()->setText(username + "pass");
        state->LoginWindow().OkButton()->click();
        return SpinUntil([&] {
            return state->MainWindow().isVisible() && Page().PageLabel()->text().contains("24");
        });
    }
    SessionsModule& Module() { return *state->FindModule<SessionsModule>(); }
    CSessionPage& Page() { return *Module().Page(); }
    CManageSessionsDlg& Manage() { return *Module().Manage(); }
    // The row of the main list named `name`; -1 when it is not there.
    int MainRow(const QString& name) {
        const auto& rows = Page().List().Model().Rows();
        for (int i = 0; i < rows.size(); ++i)
            if (rows[i].name == name) return i;
        return -1;
    }
    int ManageRow(const QString& name) {
        const auto& rows = Manage().List().Model().Rows();
        for (int i = 0; i < rows.size(); ++i)
            if (rows[i].name == name) return i;
        return -1;
    }
    QString ServerResponse() { return state->ServerResponseWindow().Text(); }

    testsupport::TempDir home;
    testsupport::ScriptedDialogs dialogs;
    std::unique_ptr<app::AppState> state;
};

class SessionsEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(network.Start());
        alice = std::make_unique<User>(network.Endpoints());
        bob = std::make_unique<User>(network.Endpoints());
        ASSERT_TRUE(alice->LogIn("alice"));
        ASSERT_TRUE(bob->LogIn("bob"));
    }
    void TearDown() override {
        alice.reset();
        bob.reset();
        network.Stop();
    }

    testsupport::LocalNetworkFixture network;
    std::unique_ptr<User> alice;
    std::unique_ptr<User> bob;
};

TEST_F(SessionsEndToEnd, PrivateSessionFromCreationToJoining) {
    // Alice opens Manage Sessions: "updating..." until its page comes.
    alice->state->MainWindow().ToolButton(shell::Tool::Sessions)->click();
    CManageSessionsDlg& manage = alice->Manage();
    EXPECT_EQ(manage.PageLabel()->text(), "updating...");
    ASSERT_TRUE(SpinUntil(
        [&] { return manage.isVisible() && manage.PageLabel()->text() == "Page 1 of 2"; }));
    EXPECT_EQ(manage.List().Model().Rows().size(), 12);
    EXPECT_FALSE(manage.ModifyButton()->isEnabled());

    // Create Session... asks the server first; it lets her.
    manage.CreateButton()->click();
    CCreateSessionDlg& create = *alice->Module().Create();
    ASSERT_TRUE(SpinUntil([&] { return create.isVisible(); }));
    create.NameField()->setText("Alice Private");
    create.MaximumField()->setText("5");
    create.DescriptionField()->setPlainText("Only with the password");
    create.SetPrivate(true);
    create.PasswordField()->setText("secret");
    create.ConfirmField()->setText("secret");
    create.OkButton()->click();
    EXPECT_FALSE(create.isVisible());
    // Created: both of her lists come back with it.
    ASSERT_TRUE(SpinUntil([&] {
        return alice->Page().PageLabel()->text() == "Page 1 of 2; total sessions: 25" &&
               alice->ManageRow("Alice Private") == 0;
    }));
    EXPECT_EQ(alice->MainRow("Alice Private"), 0);
    EXPECT_TRUE(alice->dialogs.Texts().isEmpty());

    // Bob sees it after REFRESH.
    EXPECT_EQ(bob->MainRow("Alice Private"), -1);
    bob->Page().RefreshButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return bob->MainRow("Alice Private") == 0; }));

    // He may not modify it: refused locally, nothing asked of the server.
    bob->state->MainWindow().ToolButton(shell::Tool::Sessions)->click();
    ASSERT_TRUE(SpinUntil([&] { return bob->ManageRow("Alice Private") == 0; }));
    CListSessions& list = bob->Manage().List();
    list.selectionModel()->select(list.model()->index(0, 0),
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    ASSERT_TRUE(bob->Manage().ModifyButton()->isEnabled());
    bob->Manage().ModifyButton()->click();
    EXPECT_EQ(bob->dialogs.Last().title, "Error");
    EXPECT_EQ(bob->dialogs.Last().text,
              "You must either be an administrator or the creator of the session to modify it");
    SpinUntil([] { return false; }, std::chrono::milliseconds(50));
    EXPECT_FALSE(bob->Module().ModifyWindow()->isVisible());

    // A double-click on the main list joins; the server wants a password.
    CListSessionsZorvic& main = bob->Page().List();
    emit main.doubleClicked(main.model()->index(bob->MainRow("Alice Private"), 0));
    CPasswordRequiredDlg& password = *bob->Module().PasswordWindow();
    ASSERT_TRUE(SpinUntil([&] { return password.isVisible(); }));
    password.PasswordField()->setText("wrong");
    password.OkButton()->click();
    EXPECT_TRUE(password.PasswordField()->text().isEmpty());
    ASSERT_TRUE(
        SpinUntil([&] { return bob->ServerResponse().contains("Incorrect session password"); }));

    emit main.doubleClicked(main.model()->index(bob->MainRow("Alice Private"), 0));
    ASSERT_TRUE(SpinUntil([&] { return password.isVisible(); }));
    password.PasswordField()->setText("secret");
    password.OkButton()->click();

    // Alice's next page shows him there, on light blue.
    ASSERT_TRUE(SpinUntil([&] {
        alice->Page().RefreshButton()->click();
        SpinUntil([] { return false; }, std::chrono::milliseconds(20));
        const int row = alice->MainRow("Alice Private");
        return row >= 0 && alice->Page().List().Model().Rows()[row].participants == 1;
    }));
    const QAbstractItemModel* m = alice->Page().List().model();
    const QModelIndex cell = m->index(alice->MainRow("Alice Private"), 3);
    EXPECT_EQ(cell.data().toString(), "1");
    EXPECT_EQ(cell.data(Qt::BackgroundRole).value<QColor>(), QColor(215, 229, 253));
}

TEST_F(SessionsEndToEnd, CreatorModifiesAndDeletesWithBothListsRefreshed) {
    alice->state->MainWindow().ToolButton(shell::Tool::Sessions)->click();
    CManageSessionsDlg& manage = alice->Manage();
    ASSERT_TRUE(SpinUntil([&] { return manage.PageLabel()->text() == "Page 1 of 2"; }));
    // Sort by name: "Accessibility" (alice's) comes first.
    manage.List().Header().Click(0);
    ASSERT_TRUE(SpinUntil([&] { return alice->ManageRow("Accessibility") == 0; }));
    EXPECT_EQ(manage.SortCode(), 0);
    CListSessions& list = manage.List();
    list.selectionModel()->select(list.model()->index(0, 0),
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    manage.ModifyButton()->click();
    CModifySessionDlg& modify = *alice->Module().ModifyWindow();
    ASSERT_TRUE(SpinUntil([&] { return modify.isVisible(); }));
    EXPECT_EQ(modify.DescriptionField()->toPlainText(), "Making every screen usable by all.");
    EXPECT_FALSE(modify.PasswordField()->isEnabled());
    modify.DescriptionField()->setPlainText("Changed");
    QSignalSpy redrawn(&list.Model(), &QAbstractItemModel::modelReset);
    modify.OkButton()->click();
    // Modified: Manage Sessions asks again, and Modify is off until a new selection.
    ASSERT_TRUE(SpinUntil([&] { return !manage.ModifyButton()->isEnabled(); }));
    ASSERT_TRUE(SpinUntil([&] { return redrawn.count() > 0; }));
    EXPECT_FALSE(manage.ModifyButton()->isEnabled());

    list.selectionModel()->select(list.model()->index(0, 0),
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    alice->dialogs.answers.push_back(ui::MsgAnswer::Yes);
    manage.DeleteButton()->click();
    EXPECT_EQ(alice->dialogs.Last().text, "Are you sure you wish to delete the selected session?");
    EXPECT_EQ(alice->dialogs.Last().title, "Warning");
    ASSERT_TRUE(SpinUntil([&] {
        return alice->ManageRow("Accessibility") == -1 &&
               alice->Page().PageLabel()->text() == "Page 1 of 2; total sessions: 23";
    }));
}

TEST_F(SessionsEndToEnd, ADropHidesTheDirectoryWindowsAndLeavesTheSessions) {
    // Bob is in the Lobby with alice watching; then bob's connection drops.
    const int lobby = alice->MainRow("Lobby");
    ASSERT_GE(lobby, 0);
    const std::string id = alice->Page().List().Model().Rows()[lobby].id.toStdString();
    const auto lobbyCount = [&](int expected) {
        return SpinUntil([&] {
            alice->Page().RefreshButton()->click();
            SpinUntil([] { return false; }, std::chrono::milliseconds(20));
            const int row = alice->MainRow("Lobby");
            return row >= 0 && alice->Page().List().Model().Rows()[row].participants == expected;
        });
    };
    ASSERT_TRUE(bob->Module().SendJoinSession(id, {}));
    ASSERT_TRUE(lobbyCount(1));
    bob->state->MainWindow().ToolButton(shell::Tool::Sessions)->click();
    bob->Module().PasswordWindow()->Open("abc123");
    ASSERT_TRUE(SpinUntil(
        [&] { return bob->Manage().isVisible() && bob->Module().PasswordWindow()->isVisible(); }));
    bool dropped = false;
    for (localnet::ClientSession* s : network.Network().Sessions()) {
        if (s->Kind() == localnet::ServerKind::Network && s->Username() == "bob") {
            s->Abort(QStringLiteral("dropped by the test"));
            dropped = true;
        }
    }
    ASSERT_TRUE(dropped);
    ASSERT_TRUE(SpinUntil([&] {
        return !bob->Manage().isVisible() && !bob->Module().PasswordWindow()->isVisible();
    }));
    // The server took him out of the Lobby.
    EXPECT_TRUE(lobbyCount(0));
}

}  // namespace
}  // namespace sessions
