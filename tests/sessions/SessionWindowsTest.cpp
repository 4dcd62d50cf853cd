// The directory's windows on their own: what each sends, refuses and keeps.
// The program is not logged in, so requests stay queued where the test can
// read them.

#include <gtest/gtest.h>

#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/AppState.h"
#include "net/Protocol.h"
#include "sessions/ManageSessionsDlg.h"
#include "sessions/SessionFieldsDlg.h"
#include "sessions/SessionPage.h"
#include "sessions/SessionsModule.h"
#include "support/TempDir.h"
#include "support/qt/ScriptedDialogs.h"
#include "tests/net/RoutingTestSupport.h"
#include "ui/ImageToggle.h"
#include "ui/SessionHeaderCtrl.h"

namespace sessions {
namespace {

namespace code = net::session;

class SessionWindows : public ::testing::Test {
  protected:
    void SetUp() override {
        app::AppState::Options options;
        options.timings = net::Timings::Fast();
        options.environment.home = home.path();
        options.environment.xdgDataHome = home.path() + "/data";
        options.environment.xdgConfigHome = home.path() + "/config";
        state = std::make_unique<app::AppState>(dialogs, options);
        routingtest::Drain(Server());
    }
    net::Connection& Server() { return state->Client().NetworkServer(); }
    SessionsModule& Module() { return *state->FindModule<SessionsModule>(); }
    // Each queued message: its code, then its integers and strings as text.
    std::vector<std::pair<int32_t, std::vector<int32_t>>> SentInts() {
        std::vector<std::pair<int32_t, std::vector<int32_t>>> out;
        for (const auto& sent : routingtest::Drain(Server())) {
            net::MessageReader r = sent.Reader();
            std::vector<int32_t> ints;
            int32_t v = 0;
            while (r.Int(-1, -1, v)) ints.push_back(v);
            out.push_back({r.Code(), ints});
        }
        return out;
    }

    testsupport::TempDir home;
    testsupport::ScriptedDialogs dialogs;
    std::unique_ptr<app::AppState> state;
};

TEST_F(SessionWindows, ManageSessionsHeaderCodesAndItsOwnToggle) {
    CManageSessionsDlg& manage = *Module().Manage();
    EXPECT_EQ(manage.List().SortArrowColumn(), CSessionsZorvicModel::kCreated);
    EXPECT_FALSE(manage.List().SortArrowUp());
    manage.List().Header().Click(0);
    manage.List().Header().Click(0);
    manage.List().Header().Click(1);
    manage.List().Header().Click(2);  // "Type" sorts here
    // Sort code, page, 12 a page, selector 1, no refresh.
    const std::vector<std::pair<int32_t, std::vector<int32_t>>> expected = {
        {code::kListSessions, {0, 0, 12, 1, 0}},
        {code::kListSessions, {1, 0, 12, 1, 0}},
        {code::kListSessions, {2, 0, 12, 1, 0}},
        {code::kListSessions, {5, 0, 12, 1, 0}}};
    EXPECT_EQ(SentInts(), expected);
    // The main window's list keeps a toggle of its own: its first click ascends.
    Module().Page()->List().Header().Click(0);
    const auto main = SentInts();
    ASSERT_EQ(main.size(), 1u);
    EXPECT_EQ(main[0].second, (std::vector<int32_t>{0, 0, 20, 0, 0}));
}

TEST_F(SessionWindows, ModifyAndDeleteNeedASelectionAndTheRightsBeforeAnythingIsSent) {
    CManageSessionsDlg& manage = *Module().Manage();
    SessionPageView view;
    view.total = 2;
    view.pageSize = 12;
    view.rows = {{"abc123", "Mine", "1:00:00pm", "Alice", 0, false},
                 {"def456", "Theirs", "3/7/2008", "bob", 0, true}};
    manage.DisplayPage(view);
    EXPECT_EQ(manage.PageLabel()->text(), "Page 1 of 1");
    EXPECT_FALSE(manage.ModifyButton()->isEnabled());
    state->Client().SetLogin("alice", "alicepass");
    CListSessions& list = manage.List();
    list.selectionModel()->select(list.model()->index(0, 0),
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    EXPECT_TRUE(manage.ModifyButton()->isEnabled());
    // "Alice" is not "alice": refused here.
    manage.Modify();
    EXPECT_EQ(dialogs.Last().text,
              "You must either be an administrator or the creator of the session to modify it");
    dialogs.answers.push_back(ui::MsgAnswer::No);
    manage.Delete();
    EXPECT_EQ(dialogs.Last().text, "Are you sure you wish to delete the selected session?");
    dialogs.answers.push_back(ui::MsgAnswer::Yes);
    manage.Delete();
    EXPECT_EQ(dialogs.Last().text,
              "You must either be an administrator or the creator of the session to delete it");
    EXPECT_TRUE(SentInts().empty());

    // An administrator may; each request switches both buttons off again.
    state->Client().SetRights(1, 0);
    manage.Modify();
    auto sent = routingtest::Drain(Server());
    ASSERT_EQ(sent.size(), 1u);
    net::MessageReader r = sent[0].Reader();
    std::string id;
    EXPECT_EQ(r.Code(), code::kGetSessionForModify);
    ASSERT_TRUE(r.Str(6, 6, id));
    EXPECT_EQ(id, "abc123");
    manage.RequestCurrentPage(0);
    EXPECT_FALSE(manage.ModifyButton()->isEnabled());
    EXPECT_FALSE(manage.DeleteButton()->isEnabled());
}

TEST_F(SessionWindows, CreateChecksTheNumberFirstAndKeepsItsFields) {
    CCreateSessionDlg& create = *Module().Create();
    EXPECT_FALSE(create.PasswordField()->isEnabled());
    create.NameField()->setText("Lobby 2");
    create.DescriptionField()->setPlainText("Hello");
    create.MaximumField()->setText("201");
    EXPECT_FALSE(create.Confirm());
    EXPECT_EQ(dialogs.Last().text, "Please enter an integer between 1 and 200.");
    create.MaximumField()->setText("200");
    create.PrivateBox()->SetValue(true);
    create.SetPrivate(true);
    EXPECT_TRUE(create.PasswordField()->isEnabled());
    EXPECT_FALSE(create.Confirm());
    EXPECT_EQ(dialogs.Last().text, "A password is required for a private session");
    EXPECT_EQ(create.NameField()->text(), "Lobby 2");  // kept for the next try
    create.PasswordField()->setText(QString(19, 'p'));
    create.ConfirmField()->setText(QString(19, 'p'));
    EXPECT_TRUE(create.Confirm());
    EXPECT_FALSE(create.isVisible());
    auto sent = routingtest::Drain(Server());
    ASSERT_EQ(sent.size(), 1u);
    net::MessageReader r = sent[0].Reader();
    std::string name, description, password;
    int32_t isPrivate = 0, maximum = 0;
    EXPECT_EQ(r.Code(), code::kCreateSession);
    ASSERT_TRUE(r.Str(1, 20, name) && r.Str(1, 500, description) && r.Str(0, 20, password) &&
                r.Int(0, 1, isPrivate) && r.Int(1, 200, maximum));
    EXPECT_EQ(password, std::string(19, 'p'));
    EXPECT_EQ(isPrivate, 1);
    EXPECT_EQ(maximum, 200);
}

TEST_F(SessionWindows, ModifyShowsATwentyCharacterPasswordWholeAndRefusesIt) {
    CModifySessionDlg& modify = *Module().ModifyWindow();
    SessionForModify data;
    data.id = "abc123";
    data.description = "About";
    data.maxParticipants = 9;
    data.isPrivate = 1;
    data.password = std::string(20, 'w');
    modify.Fill(data);
    EXPECT_EQ(modify.PasswordField()->text().size(), 20);
    EXPECT_TRUE(modify.PasswordField()->isEnabled());
    EXPECT_FALSE(modify.Confirm());
    EXPECT_EQ(dialogs.Last().text, "Passwords must not be more than 19 characters in length");
    EXPECT_TRUE(SentInts().empty());
}

TEST_F(SessionWindows, PasswordRequiredJoinsWithTheTypedPasswordAndClearsIt) {
    CPasswordRequiredDlg& window = *Module().PasswordWindow();
    window.Open("abc123");
    EXPECT_FALSE(window.Confirm());
    EXPECT_EQ(dialogs.Last().text, "Please type a password");
    window.PasswordField()->setText(QString(20, 'x'));
    EXPECT_TRUE(window.Confirm());
    EXPECT_TRUE(window.PasswordField()->text().isEmpty());
    auto sent = routingtest::Drain(Server());
    ASSERT_EQ(sent.size(), 1u);
    net::MessageReader r = sent[0].Reader();
    std::string id, password;
    EXPECT_EQ(r.Code(), code::kJoinSession);
    ASSERT_TRUE(r.Str(6, 6, id) && r.Str(0, 20, password));
    EXPECT_EQ(id, "abc123");
    EXPECT_EQ(password, std::string(20, 'x'));
}

}  // namespace
}  // namespace sessions
