#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/AppState.h"
#include "net/Protocol.h"
#include "sessions/SessionPage.h"
#include "sessions/SessionsModule.h"
#include "shell/MainDlg.h"
#include "signin/LoginDlg.h"
#include "support/TempDir.h"
#include "support/qt/LocalNetworkFixture.h"
#include "support/qt/ScriptedDialogs.h"
#include "tests/net/RoutingTestSupport.h"
#include "ui/FixedButton.h"
#include "ui/SessionHeaderCtrl.h"

namespace sessions {
namespace {

using testsupport::SpinUntil;

// The whole program against the in-process local network, with the session
// page's clock in the test's hands.
class SessionPageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(network_.Start());
        app::AppState::Options options;
        options.endpoints = network_.Endpoints();
        options.timings = net::Timings::Fast();
        options.environment.home = home_.path();
        options.environment.xdgDataHome = home_.path() + "/data";
        options.environment.xdgConfigHome = home_.path() + "/config";
        app_ = std::make_unique<app::AppState>(dialogs_, options);
        page().SetClock([this] { return now_; });
        page().SetListUseTime(now_);
    }
    void TearDown() override {
        app_.reset();
        network_.Stop();
    }

    shell::CzorvicDlg& main() { return app_->MainWindow(); }
    CSessionPage& page() { return *app_->FindModule<SessionsModule>()->Page(); }

    bool LogIn(const QString& username, const QString& password) {
        app_->Client().StartLookup("1234567");
        if (!SpinUntil([&] { return app_->LoginWindow().isVisible(); })) return false;
        app_->LoginWindow().UsernameField()->setText(username);
        app_->LoginWindow().PasswordField()->setText(password);
        app_->LoginWindow().OkButton()->click();
        return SpinUntil([&] { return main().isVisible(); });
    }

    testsupport::LocalNetworkFixture network_;
    testsupport::TempDir home_;
    testsupport::ScriptedDialogs dialogs_;
    std::unique_ptr<app::AppState> app_;
    int64_t now_ = 1000;
};

TEST_F(SessionPageTest, PagingRowSitsUnderTheListInsideTheMainWindow) {
    ASSERT_TRUE(LogIn("alice", "alicepass"));
    ASSERT_TRUE(SpinUntil(
        [&] { return page().PageLabel()->text() == "Page 1 of 2; total sessions: 24"; }));
    const std::pair<ui::CFixedButton*, const char*> buttons[] = {
        {page().PreviousButton(), "Previous Page"},
        {page().NextButton(), "Next Page"},
        {page().RefreshButton(), "Refresh"}};
    for (const auto& [button, tip] : buttons) {
        EXPECT_EQ(button->toolTip(), tip);
        const QRect inMain(button->mapTo(&main(), QPoint(0, 0)), button->size());
        EXPECT_TRUE(main().rect().contains(inMain)) << tip;
        EXPECT_GT(inMain.top(),
                  page().List().mapTo(&main(), QPoint(0, 0)).y() + page().List().height() - 1)
            << tip;
    }
    // The first of two pages: only forward.
    EXPECT_FALSE(page().PreviousButton()->isEnabled());
    EXPECT_TRUE(page().NextButton()->isEnabled());
    EXPECT_TRUE(page().RefreshButton()->isEnabled());
    EXPECT_EQ(page().List().objectName(), "1085");
}

TEST_F(SessionPageTest, AutomaticRefreshNeverBringsTheWindowForward) {
    ASSERT_TRUE(LogIn("alice", "alicepass"));
    main().hide();  // the user is working elsewhere

    now_ += 9;  // the list was used 9 s ago: no page refresh yet
    int others = 0;
    main().AddPeriodicRefresh([&] { ++others; });
    main().PeriodicRefresh();
    EXPECT_FALSE(main().SkipNextShow());
    EXPECT_EQ(others, 1);

    now_ += 1;
    main().PeriodicRefresh();
    EXPECT_TRUE(main().SkipNextShow());
    EXPECT_EQ(others, 2);
    // The refreshed page arrives and asks for the window: it stays put.
    main().ShowMainWindow();
    SpinUntil([] { return false; }, std::chrono::milliseconds(30));
    EXPECT_FALSE(main().isVisible());
    EXPECT_FALSE(main().SkipNextShow());

    // Using the list holds the refresh back again.
    page().NoteListUse();
    main().PeriodicRefresh();
    EXPECT_FALSE(main().SkipNextShow());

    // REFRESH is the user's own: its page may come forward.
    now_ += 10;
    main().PeriodicRefresh();
    ASSERT_TRUE(main().SkipNextShow());
    page().RefreshButton()->click();
    EXPECT_FALSE(main().SkipNextShow());
}

TEST_F(SessionPageTest, PageDisplayAndPaging) {
    SessionPageView view;
    view.pageIndex = 1;
    view.total = 41;
    view.rows = {{"abc123", "Lobby", "1:00:00pm", "alice", 2, false}};
    page().DisplayPage(view);
    EXPECT_EQ(page().PageLabel()->text(), "Page 2 of 3; total sessions: 41");
    EXPECT_TRUE(page().PreviousButton()->isEnabled());
    EXPECT_TRUE(page().NextButton()->isEnabled());
    EXPECT_EQ(page().List().model()->rowCount(), 1);
    view.pageIndex = 2;
    page().DisplayPage(view);
    EXPECT_FALSE(page().NextButton()->isEnabled());
}

TEST_F(SessionPageTest, PagingAndSortingAskForTheRightPage) {
    // Not logged in: the connection is idle and keeps what is queued.
    SessionPageView view;
    view.pageIndex = 1;
    view.total = 41;
    page().DisplayPage(view);
    net::Connection& server = app_->Client().NetworkServer();
    routingtest::Drain(server);

    auto asked = [&] {
        std::vector<std::vector<int32_t>> out;
        for (const auto& sent : routingtest::Drain(server)) {
            EXPECT_EQ(sent.header.nDescPrimary, +net::Primary::Session);
            net::MessageReader r = sent.Reader();
            std::vector<int32_t> fields;
            int32_t v = 0;
            while (r.Int(-1, -1, v)) fields.push_back(v);
            out.push_back(fields);
        }
        return out;
    };
    page().NextButton()->click();
    page().PreviousButton()->click();
    page().RefreshButton()->click();
    // Sort code, page, page size, selector, refresh flag.
    const std::vector<std::vector<int32_t>> paging = {
        {3, 2, 20, 0, 0}, {3, 0, 20, 0, 0}, {3, 1, 20, 0, 0}};
    EXPECT_EQ(asked(), paging);

    // The header's direction toggles on every click, whichever column.
    page().List().Header().Click(CSessionsZorvicModel::kName);
    page().List().Header().Click(CSessionsZorvicModel::kBy);
    page().List().Header().Click(CSessionsZorvicModel::kParticipants);
    const std::vector<std::vector<int32_t>> sorting = {
        {0, 1, 20, 0, 0}, {9, 1, 20, 0, 0}, {6, 1, 20, 0, 0}};
    EXPECT_EQ(asked(), sorting);
    EXPECT_EQ(page().List().SortArrowColumn(), CSessionsZorvicModel::kParticipants);
    EXPECT_TRUE(page().List().SortArrowUp());
}

}  // namespace
}  // namespace sessions
