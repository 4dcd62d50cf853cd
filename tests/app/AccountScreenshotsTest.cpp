// The screenshots of the account and settings windows, taken from the
// program against an in-process local network. They belong to the hidden
// screenshot mode: scripts/screenshots runs it with PALINDOR_SCREENSHOT_DIR set.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QTest>

#include "account/AccountChangeDlgs.h"
#include "account/AccountInfoDlg.h"
#include "account/AccountModule.h"
#include "account/SettingsDlg.h"
#include "app/AppHarness.h"
#include "shell/MainDlg.h"
#include "signin/AuthenticatingDlg.h"
#include "support/qt/LocalNetworkFixture.h"
#include "ui/FixedButton.h"
#include "ui/ImageToggle.h"
#include "ui/TextViewerDlg.h"

using apptest::AppHarness;
using testsupport::SpinUntil;

TEST(ScreenshotsChild, DISABLED_Account) {
    const QString dir = apptest::ScreenshotDir();
    if (dir.isEmpty()) GTEST_SKIP() << "PALINDOR_SCREENSHOT_DIR is not set";
    ASSERT_TRUE(QDir().mkpath(dir));
    testsupport::LocalNetworkFixture network;
    ASSERT_TRUE(network.Start());
    AppHarness h(network.Endpoints());
    h.state->Start();
    // A mistyped password first, so that the sixth line has something to say.
    h.ConfirmLogin("alice", "alicepas");
    signin::CAuthenticatingDlg& auth = h.state->AuthenticatingWindow();
    ASSERT_TRUE(SpinUntil([&] {
        return !auth.InProgress() && auth.Picture() == signin::CAuthenticatingDlg::kRefused;
    }));
    auth.Button()->click();
    h.ConfirmLogin("alice", "alicepass");
    shell::CzorvicDlg& main = h.state->MainWindow();
    ASSERT_TRUE(SpinUntil([&] { return main.isVisible(); }));
    auto& module = *h.state->FindModule<account::AccountModule>();

    account::CAccountInfoDlg& info = *module.InfoWindow();
    main.ToolButton(shell::Tool::AccountInfo)->click();
    ASSERT_TRUE(SpinUntil([&] { return info.isVisible(); }));
    ASSERT_TRUE(apptest::SaveScreenshot(info, dir, "account-info.png"));

    account::CAccountChangeFullNameDlg& name = *module.ChangeNameWindow();
    info.ChangeNameButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return name.isVisible(); }));
    ASSERT_TRUE(apptest::SaveScreenshot(name, dir, "account-change-name.png"));
    name.hide();

    account::CAccountChangePasswordDlg& password = *module.ChangePasswordWindow();
    info.ChangePasswordButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return password.isVisible(); }));
    password.OldField()->setText("alicepass");
    password.NewField()->setText("new-pass");
    ASSERT_TRUE(apptest::SaveScreenshot(password, dir, "account-change-password.png"));
    password.hide();

    info.HistoryButton()->click();
    ASSERT_TRUE(SpinUntil(
        [&] { return module.HistoryViewer() != nullptr && module.HistoryViewer()->isVisible(); }));
    ASSERT_TRUE(apptest::SaveScreenshot(*module.HistoryViewer(), dir, "account-history.png"));
    module.HistoryViewer()->close();
    info.hide();

    account::CSettingsDlg& settings = *module.SettingsWindow();
    main.ToolButton(shell::Tool::Settings)->click();
    ASSERT_TRUE(SpinUntil([&] { return settings.isVisible(); }));
    ASSERT_TRUE(apptest::SaveScreenshot(settings, dir, "settings-default.png"));
    // A second style: another face, bold and italic, a colour, tray on.
    settings.FontList()->setCurrentIndex(2);
    settings.SizeField()->setText("16");
    settings.StyleToggle(0)->SetValue(true);
    settings.StyleToggle(1)->SetValue(true);
    settings.OptionBox(2)->SetValue(true);
    settings.OptionBox(3)->SetValue(true);
    h.dialogs.colours.push_back(QColor(0x1F, 0x6F, 0xB2));
    QTest::mouseClick(&settings, Qt::LeftButton, {}, account::CSettingsDlg::kSwatch.center());
    ASSERT_TRUE(apptest::SaveScreenshot(settings, dir, "settings-styled.png"));
    settings.reject();
}
