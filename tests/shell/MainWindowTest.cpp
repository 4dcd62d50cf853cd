#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>
#include <QWindow>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <fstream>

#include "app/AppState.h"
#include "sessions/SessionPage.h"
#include "sessions/SessionsModule.h"
#include "ui/SessionHeaderCtrl.h"
#include "signin/ConnectDlg.h"
#include "signin/LoginDlg.h"
#include "shell/MainDlg.h"
#include "shell/TrayIcon.h"
#include "server/core/ClientSession.h"
#include "support/TempDir.h"
#include "support/qt/LocalNetworkFixture.h"
#include "support/qt/ScriptedDialogs.h"
#include "ui/FilterEdit.h"
#include "ui/FixedButton.h"

namespace shell {
namespace {

using testsupport::SpinUntil;

// One client application against the in-process local network.
class MainWindowTest : public ::testing::Test {
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
        main().Tray().SetAvailability([] { return true; });
    }
    void TearDown() override {
        app_.reset();
        network_.Stop();
    }

    CzorvicDlg& main() { return app_->MainWindow(); }
    sessions::CSessionPage& page() { return *app_->FindModule<sessions::SessionsModule>()->Page(); }

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
    std::unique_ptr<app::AppState> app_;
    int64_t now_ = 1000;
};

TEST_F(MainWindowTest, LoginShowsTitleTrayAndControls) {
    ASSERT_TRUE(LogIn("alice", "alicepass"));
    EXPECT_EQ(main().windowTitle(), "Connected to 123.4567 - Palindor");
    EXPECT_EQ(main().size(), CzorvicDlg::kClientSize);
    EXPECT_TRUE(main().Tray().Added());
    EXPECT_EQ(main().StatusChoice()->currentText(), "Online");
    EXPECT_TRUE(SpinUntil(
        [&] { return page().PageLabel()->text() == "Page 1 of 2; total sessions: 24"; }));

    const std::pair<Tool, const char*> tooltips[] = {
        {Tool::AddContact, "Add a Contact"},
        {Tool::Search, "Find a Contact"},
        {Tool::AccountInfo, "Account Information"},
        {Tool::Mail, "Mailbox"},
        {Tool::NetworkInfo, "Network Information"},
        {Tool::Help, "Help"},
        {Tool::Settings, "View and Change Settings"},
        {Tool::Sessions, "Manage Sessions"},
        {Tool::Documents, "Share Documents"},
        {Tool::Whiteboard, "Access the Whiteboard for Drawing"}};
    for (const auto& [tool, tip] : tooltips) {
        ui::CFixedButton* b = main().ToolButton(tool);
        ASSERT_NE(b, nullptr) << tip;
        EXPECT_EQ(b->toolTip(), tip);
        EXPECT_TRUE(main().rect().contains(b->geometry())) << tip;
        // Only the shell's own tools and those of modules present work.
        EXPECT_EQ(b->isEnabled(), tool == Tool::Help || tool == Tool::NetworkInfo ||
                                      tool == Tool::AccountInfo || tool == Tool::Settings ||
                                      tool == Tool::AddContact || tool == Tool::Search ||
                                      tool == Tool::Sessions || tool == Tool::Mail ||
                                      tool == Tool::Documents || tool == Tool::Whiteboard)
            << tip;
    }
    // The modules' lists sit in the main window's panes.
    EXPECT_TRUE(main().rect().contains(main().Pane(MainPane::Sessions)->geometry()));
    EXPECT_TRUE(main().rect().contains(main().Pane(MainPane::Contacts)->geometry()));
    EXPECT_EQ(page().List().window(), &main());
    EXPECT_EQ(main().Pane(MainPane::Sessions)->focusProxy(), &page().List());
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
    // The file is read when the settings window opens.
    main().ToolButton(Tool::Settings)->click();
    main().setWindowState(Qt::WindowMinimized);
    EXPECT_TRUE(main().HiddenInTray());
    EXPECT_FALSE(main().isVisible());
}

TEST_F(MainWindowTest, HelpOpensTheGuideOnlyWhenItIsThere) {
    main().SetGuidePath(QString::fromStdString(home_.path() + "/guide.pdf"));
    main().ToolButton(Tool::Help)->click();
    EXPECT_TRUE(dialogs_.urls.isEmpty());
    EXPECT_TRUE(dialogs_.messages.isEmpty());
    std::ofstream(home_.path() + "/guide.pdf") << "%PDF-1.4\n";
    main().ToolButton(Tool::Help)->click();
    ASSERT_EQ(dialogs_.urls.size(), 1);
    EXPECT_EQ(dialogs_.urls[0], QUrl::fromLocalFile(main().GuidePath()));
}

TEST_F(MainWindowTest, AutomaticRefreshRunsTheModulesOnlyWhileLoggedIn) {
    int ticks = 0;
    main().AddPeriodicRefresh([&] { ++ticks; });
    main().PeriodicRefresh();
    EXPECT_EQ(ticks, 0);
    ASSERT_TRUE(LogIn("alice", "alicepass"));
    main().PeriodicRefresh();
    EXPECT_EQ(ticks, 1);
    // A status change while logged in goes to the module that sends it.
    std::vector<int32_t> sent;
    main().SetStatusSender([&](int32_t s) { sent.push_back(s); });
    main().SetStatus(kStatusAway);
    EXPECT_EQ(sent, std::vector<int32_t>{kStatusAway});
}

TEST_F(MainWindowTest, ExitRemovesTheTrayIconAndEndsTheProgram) {
    ASSERT_TRUE(LogIn("alice", "alicepass"));
    int quits = 0;
    QObject::connect(app_.get(), &app::AppState::quitRequested, [&] { ++quits; });
    ASSERT_NE(main().Tray().Icon(), nullptr);
    main().Tray().ExitAction()->trigger();
    EXPECT_EQ(quits, 1);
    EXPECT_FALSE(main().Tray().Icon()->isVisible());
    EXPECT_FALSE(main().isVisible());
}

TEST_F(MainWindowTest, IsATopLevelWindowOfItsOwn) {
    ASSERT_TRUE(LogIn("alice", "alicepass"));
    // A normal window: no dialog type, no parent, not transient for the
    // hidden network selection window, so the task bar keeps an entry.
    EXPECT_EQ(main().windowType(), Qt::Window);
    EXPECT_EQ(main().parentWidget(), nullptr);
    ASSERT_NE(main().windowHandle(), nullptr);
    EXPECT_EQ(main().windowHandle()->transientParent(), nullptr);
    EXPECT_TRUE(main().windowFlags() & Qt::WindowMinimizeButtonHint);
    // With the tray option off, a minimised window stays a shown window.
    main().SetTrayOption([] { return false; });
    main().setWindowState(Qt::WindowMinimized);
    EXPECT_TRUE(main().isVisible());
    EXPECT_TRUE(main().isMinimized());
    main().setWindowState(Qt::WindowNoState);
}

TEST_F(MainWindowTest, EscapeDoesNotEndTheProgram) {
    ASSERT_TRUE(LogIn("alice", "alicepass"));
    int quits = 0;
    QObject::connect(app_.get(), &app::AppState::quitRequested, [&] { ++quits; });
    QApplication::setActiveWindow(&main());
    for (QWidget* target : {static_cast<QWidget*>(&main()), static_cast<QWidget*>(&page().List()),
                            static_cast<QWidget*>(main().StatusChoice())}) {
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Escape);
    }
    EXPECT_EQ(quits, 0);
    EXPECT_TRUE(main().isVisible());
    // The close box still ends it.
    main().close();
    EXPECT_EQ(quits, 1);
}

TEST_F(MainWindowTest, AboutMenuOnlyOnTheHeadingBandAndTheBackground) {
    ASSERT_TRUE(LogIn("alice", "alicepass"));
    int menus = 0;
    main().SetMenuRunner([&](QMenu& menu, const QPoint&) {
        ++menus;
        EXPECT_EQ(menu.actions().value(0)->text(), "&About Palindor...");
        return static_cast<QAction*>(nullptr);
    });
    auto rightClick = [&](QWidget* w, QPoint at) {
        QContextMenuEvent e(QContextMenuEvent::Mouse, at, w->mapToGlobal(at));
        QApplication::sendEvent(w, &e);
    };
    // The heading band and the bare background open it.
    rightClick(&main(), QPoint(200, 10));
    EXPECT_EQ(menus, 1);
    const QRect sessions = main().Pane(MainPane::Sessions)->geometry();
    const QRect contacts = main().Pane(MainPane::Contacts)->geometry();
    const QPoint between((sessions.right() + contacts.left()) / 2, sessions.center().y());
    EXPECT_TRUE(main().AboutMenuAt(between));
    rightClick(&main(), between);
    EXPECT_EQ(menus, 2);

    // Rows and controls do not: they will carry menus of their own.
    QWidget* rows = page().List().viewport();
    rightClick(rows, QPoint(20, 20));
    auto* contactList = main().Pane(MainPane::Contacts)->findChild<QAbstractScrollArea*>();
    ASSERT_NE(contactList, nullptr);
    rightClick(contactList->viewport(), QPoint(20, 40));
    rightClick(main().ToolButton(Tool::Help), QPoint(5, 5));
    rightClick(main().StatusChoice(), QPoint(5, 5));
    EXPECT_EQ(menus, 2);
    EXPECT_FALSE(main().AboutMenuAt(main().ToolButton(Tool::Help)->geometry().center()));
    EXPECT_FALSE(main().AboutMenuAt(contacts.center()));
}

TEST_F(MainWindowTest, ADropEndsTheTrayBlinkAndTheTrayState) {
    ASSERT_TRUE(LogIn("bob", "bobpass"));
    main().SetTrayOption([] { return true; });
    main().setWindowState(Qt::WindowMinimized);
    ASSERT_TRUE(main().HiddenInTray());
    main().StartTrayBlink();
    ASSERT_TRUE(SpinUntil([&] { return main().Tray().Picture() == TrayPicture::Alert; }));

    ASSERT_TRUE(DropNetworkServer());
    ASSERT_TRUE(SpinUntil([&] { return app_->LoginWindow().isVisible(); }));
    EXPECT_FALSE(main().HiddenInTray());
    EXPECT_FALSE(main().Tray().Blinking());
    EXPECT_EQ(main().Tray().Picture(), TrayPicture::Online);
    // Still still after a while: nothing restarts it.
    SpinUntil([] { return false; }, std::chrono::milliseconds(40));
    EXPECT_EQ(main().Tray().Picture(), TrayPicture::Online);
}

TEST_F(MainWindowTest, ASecondLoginStartsTheSessionListAfresh) {
    ASSERT_TRUE(LogIn("carol", "carolpass"));
    // The user sorts by name.
    page().List().Header().Click(sessions::CSessionsZorvicModel::kName);
    ASSERT_EQ(page().SortCode(), 0);
    ASSERT_EQ(page().List().SortArrowColumn(), sessions::CSessionsZorvicModel::kName);
    ASSERT_TRUE(SpinUntil([&] { return page().List().SortArrowColumn() == 0; }));

    ASSERT_TRUE(DropNetworkServer());
    ASSERT_TRUE(SpinUntil([&] { return app_->LoginWindow().isVisible(); }));
    ASSERT_TRUE(LogIn("carol", "carolpass"));
    EXPECT_EQ(page().SortCode(), sessions::kInitialSortCode);
    EXPECT_EQ(page().PageIndex(), 0);
    EXPECT_EQ(page().List().SortArrowColumn(), sessions::CSessionsZorvicModel::kCreated);
    EXPECT_FALSE(page().List().SortArrowUp());
    // The page that comes back is the one asked for: sort 3, newest first.
    ASSERT_TRUE(SpinUntil([&] { return !page().List().Model().Rows().isEmpty(); }));
    EXPECT_EQ(page().SortCode(), sessions::kInitialSortCode);
    EXPECT_EQ(page().List().Model().Rows().front().name, "Lobby");
    // The header's next click sorts ascending again.
    page().List().Header().Click(sessions::CSessionsZorvicModel::kName);
    EXPECT_EQ(page().SortCode(), 0);
}

TEST_F(MainWindowTest, TabGoesThroughTheWindowInReadingOrder) {
    ASSERT_TRUE(LogIn("alice", "alicepass"));
    // The first of the demo's two pages: "next" works, "previous" does not.
    ASSERT_TRUE(SpinUntil([&] { return page().NextButton()->isEnabled(); }));
    QApplication::setActiveWindow(&main());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main(), 2000));
    auto* contacts = main().Pane(MainPane::Contacts)->findChild<QAbstractScrollArea*>();
    ASSERT_NE(contacts, nullptr);
    auto* contactsFilter = main().Pane(MainPane::Contacts)->findChild<ui::CFilterEdit*>();
    ASSERT_NE(contactsFilter, nullptr);
    // Disabled tools and paging buttons are passed over.
    const std::vector<QWidget*> expected{main().ToolButton(Tool::AddContact),
                                         main().ToolButton(Tool::Search),
                                         main().ToolButton(Tool::AccountInfo),
                                         main().ToolButton(Tool::Mail),
                                         main().ToolButton(Tool::Sessions),
                                         main().ToolButton(Tool::Documents),
                                         main().ToolButton(Tool::Whiteboard),
                                         main().ToolButton(Tool::NetworkInfo),
                                         main().ToolButton(Tool::Settings),
                                         main().ToolButton(Tool::Help),
                                         main().StatusChoice(),
                                         &page().List(),
                                         page().NextButton(),
                                         page().Filter(),
                                         page().RefreshButton(),
                                         contacts,
                                         contactsFilter,
                                         main().AboutLink()};
    main().AboutLink()->setFocus(Qt::TabFocusReason);
    std::vector<QWidget*> visited;
    for (size_t i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.push_back(QApplication::focusWidget());
    }
    EXPECT_EQ(visited, expected);
    // Every tool says what it does to assistive tools.
    EXPECT_EQ(main().ToolButton(Tool::Help)->accessibleName(), "Help");
    // Enter on the focused link asks for the About box.
    int activations = 0;
    QObject::connect(main().AboutLink(), &QLabel::linkActivated, main().AboutLink(),
                     [&] { ++activations; });
    QObject::disconnect(main().AboutLink(), &QLabel::linkActivated, &main(), nullptr);
    main().AboutLink()->setFocus();
    QTest::keyClick(main().AboutLink(), Qt::Key_Return);
    EXPECT_EQ(activations, 1);
}

}  // namespace
}  // namespace shell
