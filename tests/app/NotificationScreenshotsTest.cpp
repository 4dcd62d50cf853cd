// The notification picture of the guide: bob's desktop (a private X server
// with a panel whose tray holds the program's icon) as alice's message
// arrives and the desktop is told. The whole screen is grabbed, so this runs
// only where a tray is: scripts/screenshots starts one.

#include <gtest/gtest.h>

#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTest>

#include "app/AppHarness.h"
#include "contacts/ContactsModule.h"
#include "contacts/Conversations.h"
#include "shell/MainDlg.h"
#include "shell/TrayIcon.h"
#include "support/qt/LocalNetworkFixture.h"

using apptest::AppHarness;
using testsupport::SpinUntil;

namespace {

contacts::ContactsModule& Module(AppHarness& h) {
    return *h.state->FindModule<contacts::ContactsModule>();
}

std::unique_ptr<AppHarness> LogIn(testsupport::LocalNetworkFixture& network, const QString& user,
                                  void (*adjust)(app::AppState::Options&)) {
    auto h = std::make_unique<AppHarness>(network.Endpoints(), adjust);
    h->ConfirmLogin(user, user + "pass");
    EXPECT_TRUE(SpinUntil([&] { return h->state->MainWindow().isVisible(); }));
    EXPECT_TRUE(SpinUntil([&] { return !Module(*h).Book().Contacts().empty(); }));
    return h;
}

bool SaveScreen(const QString& path) {
    testsupport::SpinUntil([] { return false; }, std::chrono::milliseconds(1200));
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr && screen->grabWindow(0).save(path);
}

}  // namespace

TEST(ScreenshotsChild, DISABLED_Notification) {
    const QString dir = apptest::ScreenshotDir();
    if (dir.isEmpty()) GTEST_SKIP() << "PALINDOR_SCREENSHOT_DIR is not set";
    if (QGuiApplication::platformName() != QStringLiteral("xcb") ||
        !QSystemTrayIcon::isSystemTrayAvailable())
        GTEST_SKIP() << "the notification needs a desktop with a tray";
    ASSERT_TRUE(QDir().mkpath(dir));
    testsupport::LocalNetworkFixture network;
    ASSERT_TRUE(network.Start());

    // alice's program stays out of the picture; bob's speaks through the tray.
    auto alice = LogIn(network, "alice", nullptr);
    alice->state->MainWindow().hide();
    alice->state->MainWindow().Tray().Remove();
    auto bob = LogIn(network, "bob", [](app::AppState::Options& o) { o.notifier = nullptr; });
    ASSERT_TRUE(SpinUntil([&] {
        QSystemTrayIcon* icon = bob->state->MainWindow().Tray().Icon();
        return icon != nullptr && icon->isVisible() && icon->geometry().isValid();
    }));

    contacts::CIMConversationDlg* toBob = Module(*alice).Ims()->Open("bob", false);
    toBob->Input()->setPlainText(
        "Are you coming to the release review at three? Carol has the new figures.");
    QTest::keyClick(toBob->Input(), Qt::Key_Return);
    toBob->hide();
    ASSERT_TRUE(SpinUntil([&] { return Module(*bob).Ims()->Find("alice") != nullptr; }));
    EXPECT_TRUE(SaveScreen(QDir(dir).filePath("notification-message.png")));
}
