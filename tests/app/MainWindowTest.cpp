#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <fstream>

#include "app/AppState.h"
#include "app/ConnectDlg.h"
#include "app/LoginDlg.h"
#include "app/MainDlg.h"
#include "app/TrayIcon.h"
#include "server/core/ClientSession.h"
#include "support/TempDir.h"
#include "support/qt/LocalNetworkFixture.h"
#include "support/qt/ScriptedDialogs.h"
#include "ui/FixedButton.h"

namespace app {
namespace {

using testsupport::SpinUntil;

// One client application against the in-process local network.
class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(network_.Start());
        AppState::Options options;
        options.endpoints = network_.Endpoints();
        options.timings = net::Timings::Fast();
        options.environment.home = home_.path();
        options.environment.xdgDataHome = home_.path() + "/data";
        options.environment.xdgConfigHome = home_.path() + "/config";
        app_ = std::make_unique<AppState>(dialogs_, options);
        main().SetClock([this] { return now_; });
        main().SetListUseTime(now_);
        main().Tray().SetAvailability([] { return true; });
    }
    void TearDown() override {
        app_.reset();
        network_.Stop();
    }

    CzorvicDlg& main() { return app_->MainWindow(); }

    bool LogIn(const QString& username, const QString& password) {
        if (!app_->LoginWindow().isVisible()) {
            app_->Client().StartLookup("1234567");
            if (!SpinUntil([&] { return app_->LoginWindow().isVisible(); })) return false;
        }
        app_->LoginWindow().UsernameField()->setText(username);
        app_->LoginWindow().PasswordField()->setText(password);
        app_->LoginWindow().OkButton()->click();
        return SpinUntil([&] { return main().isVisible(); });
    }

    // The local network ends this user's network-server connection.
    bool DropNetworkServer() {
        for (localnet::ClientSession* s : network_.Network().Sessions()) {
            if (s->Kind() == localnet::ServerKind::Network && s->LoggedIn()) {
                s->Abort(QStringLiteral("dropped by the test"));
                return true;
            }
        }
        return false;
    }

    int DropMessages() const {
        int n = 0;
        for (const auto& m : dialogs_.messages) n += m.title == "Connection Dropped";
        return n;
    }

    testsupport::LocalNetworkFixture network_;
    testsupport::TempDir home_;
    testsupport::ScriptedDialogs dialogs_;
    std::unique_ptr<AppState> app_;
    int64_t now_ = 1000;
};

TEST_F(MainWindowTest, LoginShowsTitleTrayAndControls) {
    ASSERT_TRUE(LogIn("alice", "alicepass"));
    EXPECT_EQ(main().windowTitle(), "Connected to 123.4567 - Palindor");
    EXPECT_EQ(main().size(), CzorvicDlg::kClientSize);
    EXPECT_TRUE(main().Tray().Added());
    EXPECT_EQ(main().StatusChoice()->currentText(), "Online");
    EXPECT_EQ(main().PageLabel()->text(), "Page 1 of 1; total sessions: 0");

    const std::pair<const char*, const char*> tooltips[] = {
        {"ADDCONTACT", "Add a Contact"},
        {"SEARCH", "Find a Contact"},
        {"ACCOUNTINFO", "Account Information"},
        {"MAIL", "Mailbox"},
        {"NETWORKINFO", "Network Information"},
        {"HELP", "Help"},
        {"SETTINGS", "View and Change Settings"},
        {"SESSIONS", "Manage Sessions"},
        {"DOCUMENTS", "Share Documents"},
        {"WHITEBOARD", "Access the Whiteboard for Drawing"},
        {"LEFT", "Previous Page"},
        {"RIGHT", "Next Page"},
        {"REFRESH", "Refresh"}};
    for (const auto& [caption, tip] : tooltips) {
        ui::CFixedButton* b = main().Button(caption);
        ASSERT_NE(b, nullptr) << caption;
        EXPECT_EQ(b->toolTip(), tip);
        EXPECT_TRUE(main().rect().contains(b->geometry())) << caption;
    }
    // One page of one: neither paging button can move.
    EXPECT_FALSE(main().Button("LEFT")->isEnabled());
    EXPECT_FALSE(main().Button("RIGHT")->isEnabled());
    EXPECT_TRUE(main().Button("REFRESH")->isEnabled());
}

TEST_F(MainWindowTest, DropShowsItsMessageOnceAndASecondLoginAddsNoSecondTrayIcon) {
    ASSERT_TRUE(LogIn("bob", "bobpass"));
    ASSERT_TRUE(DropNetworkServer());
    ASSERT_TRUE(SpinUntil([&] { return app_->LoginWindow().isVisible(); }));
    // Give the file-server connection's end time to arrive as well.
    SpinUntil([&] { return app_->Client().Drops() >= 2; }, std::chrono::seconds(2));
    EXPECT_FALSE(main().isVisible());
    ASSERT_EQ(DropMessages(), 1);
    const auto it = std::find_if(dialogs_.messages.begin(), dialogs_.messages.end(),
                                 [](const auto& m) { return m.title == "Connection Dropped"; });
    EXPECT_EQ(it->text, "No longer connected to 1234567");
    EXPECT_EQ(it->icon, ui::MsgIcon::Error);
    EXPECT_EQ(it->parent, &main());
    // The tray icon is still there, but it cannot bring the window back
    // over the login window.
    main().Tray().Activate(QSystemTrayIcon::Trigger);
    SpinUntil([] { return false; }, std::chrono::milliseconds(30));
    EXPECT_FALSE(main().isVisible());

    // The tray icon stays through the drop and is not added again.
    ASSERT_TRUE(LogIn("bob", "bobpass"));
    EXPECT_EQ(main().Tray().findChildren<QSystemTrayIcon*>().size(), 1);
    EXPECT_TRUE(main().Tray().Added());
    EXPECT_EQ(DropMessages(), 1);
}

TEST_F(MainWindowTest, StatusChangesFollowEverywhere) {
    ASSERT_TRUE(LogIn("carol", "carolpass"));
    main().StatusChoice()->setCurrentIndex(1);
    emit main().StatusChoice()->activated(1);
    EXPECT_EQ(main().Status(), kStatusAway);
    EXPECT_EQ(main().Tray().Picture(), TrayPicture::Away);
    EXPECT_EQ(main().Tray().StatusAction()->text(), "I am online");

    main().Tray().StatusAction()->trigger();  // "I am online"
    EXPECT_EQ(main().Status(), kStatusOnline);
    EXPECT_EQ(main().StatusChoice()->currentText(), "Online");

    main().SetStatusWithoutSending(kStatusAway);
    EXPECT_EQ(main().StatusChoice()->currentText(), "Away");
    EXPECT_EQ(main().Tray().Picture(), TrayPicture::Away);
}

TEST_F(MainWindowTest, AutomaticRefreshNeverBringsTheWindowForward) {
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
    main().NoteListUse();
    main().PeriodicRefresh();
    EXPECT_FALSE(main().SkipNextShow());

    // REFRESH is the user's own: its page may come forward.
    now_ += 10;
    main().PeriodicRefresh();
    ASSERT_TRUE(main().SkipNextShow());
    main().Button("REFRESH")->click();
    EXPECT_FALSE(main().SkipNextShow());
}

TEST_F(MainWindowTest, MinimiseGoesToTheTrayOnlyWithTheOptionOn) {
    ASSERT_TRUE(LogIn("alice", "alicepass"));
    bool trayOption = false;
    main().SetTrayOption([&] { return trayOption; });

    main().setWindowState(Qt::WindowMinimized);
    EXPECT_TRUE(main().isVisible());
    EXPECT_FALSE(main().HiddenInTray());
    main().setWindowState(Qt::WindowNoState);

    trayOption = true;
    main().setWindowState(Qt::WindowMinimized);
    EXPECT_FALSE(main().isVisible());
    EXPECT_TRUE(main().HiddenInTray());

    // A message arrives meanwhile: the tray blinks until the window is back.
    main().StartTrayBlink();
    ASSERT_TRUE(SpinUntil([&] { return main().Tray().Picture() == TrayPicture::Alert; }));

    // Even with an automatic refresh pending, the user's click brings it back.
    main().SetSkipNextShow(true);
    main().Tray().Activate(QSystemTrayIcon::Trigger);
    ASSERT_TRUE(SpinUntil([&] { return main().isVisible(); }));
    EXPECT_FALSE(main().HiddenInTray());
    EXPECT_FALSE(main().isMinimized());
    ASSERT_TRUE(SpinUntil([&] { return !main().Tray().Blinking(); }));
    EXPECT_EQ(main().Tray().Picture(), TrayPicture::Online);

    // Where no tray exists, the window minimises normally instead.
    main().Tray().SetAvailability([] { return false; });
    main().setWindowState(Qt::WindowMinimized);
    EXPECT_TRUE(main().isVisible());
    EXPECT_FALSE(main().HiddenInTray());
}

TEST_F(MainWindowTest, TrayOptionIsReadFromTheSettingsFile) {
    ASSERT_TRUE(LogIn("alice", "alicepass"));
    std::string settings(27, '\0');
    settings[26] = 1;
    std::ofstream(app_->Client().DataPath("settings.dat"), std::ios::binary) << settings;
    main().setWindowState(Qt::WindowMinimized);
    EXPECT_TRUE(main().HiddenInTray());
    EXPECT_FALSE(main().isVisible());
}

TEST_F(MainWindowTest, HelpOpensTheGuideOnlyWhenItIsThere) {
    main().SetGuidePath(QString::fromStdString(home_.path() + "/guide.pdf"));
    main().Button("HELP")->click();
    EXPECT_TRUE(dialogs_.urls.isEmpty());
    EXPECT_TRUE(dialogs_.messages.isEmpty());
    std::ofstream(home_.path() + "/guide.pdf") << "%PDF-1.4\n";
    main().Button("HELP")->click();
    ASSERT_EQ(dialogs_.urls.size(), 1);
    EXPECT_EQ(dialogs_.urls[0], QUrl::fromLocalFile(main().GuidePath()));
}

TEST_F(MainWindowTest, SessionPageDisplayAndPaging) {
    SessionPageView page;
    page.pageIndex = 1;
    page.total = 41;
    page.rows = {{"abc123", "Lobby", "1:00:00pm", "alice", 2, false}};
    main().DisplaySessionPage(page);
    EXPECT_EQ(main().PageLabel()->text(), "Page 2 of 3; total sessions: 41");
    EXPECT_TRUE(main().Button("LEFT")->isEnabled());
    EXPECT_TRUE(main().Button("RIGHT")->isEnabled());
    EXPECT_EQ(main().SessionsList().model()->rowCount(), 1);
    page.pageIndex = 2;
    main().DisplaySessionPage(page);
    EXPECT_FALSE(main().Button("RIGHT")->isEnabled());
}

TEST_F(MainWindowTest, ExitRemovesTheTrayIconAndEndsTheProgram) {
    ASSERT_TRUE(LogIn("alice", "alicepass"));
    int quits = 0;
    QObject::connect(app_.get(), &AppState::quitRequested, [&] { ++quits; });
    ASSERT_NE(main().Tray().Icon(), nullptr);
    main().Tray().ExitAction()->trigger();
    EXPECT_EQ(quits, 1);
    EXPECT_FALSE(main().Tray().Icon()->isVisible());
    EXPECT_FALSE(main().isVisible());
}

}  // namespace
}  // namespace app
