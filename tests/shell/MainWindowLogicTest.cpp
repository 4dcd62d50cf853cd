#include <gtest/gtest.h>

#include <QHeaderView>
#include <QMenu>
#include <QSystemTrayIcon>
#include <fstream>

#include "shell/MainWindowLogic.h"
#include "shell/Settings.h"
#include "shell/MainDlg.h"
#include "shell/TrayIcon.h"
#include "support/TempDir.h"
#include "ui/Skin.h"

namespace shell {
namespace {

TEST(MainWindowLogic, TitleCarriesTheDottedNumber) {
    EXPECT_EQ(MainWindowTitle("1234567"), "Connected to 123.4567 - Palindor");
    EXPECT_EQ(MainWindowTitle("7654321"), "Connected to 765.4321 - Palindor");
    // Nothing to split: shown as it is rather than with a dangling dot.
    EXPECT_EQ(MainWindowTitle("123"), "Connected to 123 - Palindor");
}

TEST(MainWindowLogic, ModulesRefreshOnlyWhileBothConnectionsAreLoggedIn) {
    EXPECT_FALSE(PeriodicRefreshDue(false, true));
    EXPECT_FALSE(PeriodicRefreshDue(true, false));
    EXPECT_TRUE(PeriodicRefreshDue(true, true));
}

TEST(MainWindowLogic, StatusChoiceAndTrayMenuOfferTheOtherStatus) {
    EXPECT_EQ(StatusChoiceIndex(kStatusOnline), 0);
    EXPECT_EQ(StatusChoiceIndex(kStatusAway), 1);
    EXPECT_EQ(StatusFromChoiceIndex(1), kStatusAway);
    EXPECT_EQ(StatusFromChoiceIndex(0), kStatusOnline);
    EXPECT_EQ(TrayStatusItemText(kStatusOnline), "I am away");
    EXPECT_EQ(TrayStatusItemTarget(kStatusOnline), kStatusAway);
    EXPECT_EQ(TrayStatusItemText(kStatusAway), "I am online");
    EXPECT_EQ(TrayStatusItemTarget(kStatusAway), kStatusOnline);
}

TEST(MainWindowLogic, BlinkAlternatesWhileHiddenAndStopsOnceBack) {
    TrayBlink blink;
    blink.Start();
    TrayBlink::Tick t = blink.OnTick(true, kStatusAway);
    EXPECT_EQ(t.picture, TrayPicture::Alert);
    EXPECT_TRUE(t.keepRunning);
    t = blink.OnTick(true, kStatusAway);
    EXPECT_EQ(t.picture, TrayPicture::Away);
    t = blink.OnTick(true, kStatusAway);
    EXPECT_EQ(t.picture, TrayPicture::Alert);
    // The window came back while the alert picture was up.
    t = blink.OnTick(false, kStatusAway);
    EXPECT_EQ(t.picture, TrayPicture::Away);
    EXPECT_FALSE(t.keepRunning);
    EXPECT_FALSE(blink.Running());
    EXPECT_FALSE(blink.Flag());
    // A later blink starts again with the alert picture.
    blink.Start();
    EXPECT_EQ(blink.OnTick(true, kStatusOnline).picture, TrayPicture::Alert);
}

TEST(MainWindowLogic, TrayOptionComesFromTheSettingsRead) {
    // The main window asks the settings in memory; they change when the
    // file is read (at start-up and when the settings window opens).
    testsupport::TempDir dir;
    const std::string path = dir.path() + "/settings.dat";
    Settings settings(path);
    EXPECT_FALSE(settings.Read());  // no file: the default, off
    EXPECT_FALSE(settings.TrayOption());
    auto write = [&](size_t size, char tray) {
        std::string bytes(size, '\0');
        bytes[19] = 12;  // a valid size, so that only the tray byte matters
        if (size > 26) bytes[26] = tray;
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    };
    write(27, 1);
    EXPECT_FALSE(settings.TrayOption());  // not read yet
    EXPECT_TRUE(settings.Read());
    EXPECT_TRUE(settings.TrayOption());
    write(28, 0);  // not a settings file: the value read before stays
    EXPECT_FALSE(settings.Read());
    EXPECT_TRUE(settings.TrayOption());
    write(27, 0);
    EXPECT_TRUE(settings.Read());
    EXPECT_FALSE(settings.TrayOption());
}

TEST(MainWindowTray, AddedOnceMenuFollowsStatusAndLeftClickShows) {
    ui::Skin skin(1.0);
    CzorvicDlg::RegisterPictures(skin);
    CTrayIcon tray(skin, net::Timings::Fast());
    EXPECT_TRUE(tray.Add(kStatusAway));
    EXPECT_FALSE(tray.Add(kStatusOnline));
    EXPECT_EQ(tray.findChildren<QSystemTrayIcon*>().size(), 1);
    ASSERT_NE(tray.Icon(), nullptr);
    EXPECT_EQ(tray.Icon()->toolTip(), "Palindor");
    EXPECT_EQ(tray.Picture(), TrayPicture::Away);
    EXPECT_EQ(tray.StatusAction()->text(), "I am online");

    const QList<QAction*> items = tray.Menu()->actions();
    ASSERT_EQ(items.size(), 3);
    EXPECT_TRUE(items[1]->isSeparator());
    EXPECT_EQ(items[2]->text(), "Exit");

    std::vector<int32_t> chosen;
    QObject::connect(&tray, &CTrayIcon::StatusChosen, [&](int32_t s) { chosen.push_back(s); });
    tray.StatusAction()->trigger();
    EXPECT_EQ(chosen, std::vector<int32_t>{kStatusOnline});
    tray.SetStatus(kStatusOnline);
    EXPECT_EQ(tray.StatusAction()->text(), "I am away");
    EXPECT_EQ(tray.Picture(), TrayPicture::Online);

    int shown = 0;
    QObject::connect(&tray, &CTrayIcon::ShowRequested, [&] { ++shown; });
    tray.Activate(QSystemTrayIcon::Context);
    EXPECT_EQ(shown, 0);
    tray.Activate(QSystemTrayIcon::Trigger);
    EXPECT_EQ(shown, 1);

    int exits = 0;
    QObject::connect(&tray, &CTrayIcon::ExitChosen, [&] { ++exits; });
    tray.ExitAction()->trigger();
    EXPECT_EQ(exits, 1);
}

TEST(MainWindowTray, BlinkStopsAsSoonAsTheWindowIsBack) {
    ui::Skin skin(1.0);
    CzorvicDlg::RegisterPictures(skin);
    CTrayIcon tray(skin, net::Timings::Fast());
    tray.Add(kStatusOnline);
    bool hidden = true;
    tray.SetHiddenInTrayQuery([&] { return hidden; });
    tray.StartBlink();
    EXPECT_TRUE(tray.Blinking());
    tray.BlinkTick();
    EXPECT_EQ(tray.Picture(), TrayPicture::Alert);
    tray.BlinkTick();
    EXPECT_EQ(tray.Picture(), TrayPicture::Online);
    tray.BlinkTick();
    hidden = false;
    tray.BlinkTick();
    EXPECT_EQ(tray.Picture(), TrayPicture::Online);
    EXPECT_FALSE(tray.Blinking());
}

}  // namespace
}  // namespace shell
