// The screenshots of the guide and the README, taken from the program: an
// in-process local network and the whole client, driven as a user would,
// each window grabbed when it shows what the picture is meant to show.
// Not a test of its own; scripts/screenshots runs it with
// PALINDOR_SCREENSHOT_DIR set.

#include <gtest/gtest.h>

#include <QDir>
#include <QPushButton>

#include "app/AppHarness.h"
#include "sessions/SessionPage.h"
#include "sessions/SessionsModule.h"
#include "shell/MainDlg.h"
#include "signin/AuthenticatingDlg.h"
#include "signin/ConnectDlg.h"
#include "signin/CreateAccountDlg.h"
#include "signin/CreatingAccountDlg.h"
#include "signin/LoginDlg.h"
#include "signin/SignIn.h"
#include "support/qt/LocalNetworkFixture.h"
#include "ui/FixedButton.h"

using apptest::AppHarness;
using testsupport::SpinUntil;

namespace {

// The login and creation pauses are long here, so that the in-progress look
// can be caught; the pictures then end them by hand.
void SlowStart(app::AppState::Options& options) {
    options.timings.loginDelay = std::chrono::milliseconds(600000);
}

bool LookUp(AppHarness& h, const QString& number) {
    signin::CConnectDlg& connect = h.state->ConnectWindow();
    connect.NumberField()->setEditText(number);
    connect.NextButton()->click();
    return SpinUntil([&] { return h.state->LoginWindow().isVisible(); });
}

}  // namespace

TEST(ScreenshotsChild, DISABLED_Take) {
    const QString dir = apptest::ScreenshotDir();
    if (dir.isEmpty()) GTEST_SKIP() << "PALINDOR_SCREENSHOT_DIR is not set";
    ASSERT_TRUE(QDir().mkpath(dir));
    testsupport::LocalNetworkFixture network;
    ASSERT_TRUE(network.Start());

    {
        AppHarness h(network.Endpoints(), SlowStart);
        h.state->Start();
        signin::CConnectDlg& connect = h.state->ConnectWindow();
        ASSERT_TRUE(SpinUntil([&] { return connect.isVisible(); }));
        connect.NumberField()->setEditText(QStringLiteral("123.4567"));
        ASSERT_TRUE(apptest::SaveScreenshot(connect, dir, "connect.png"));

        ASSERT_TRUE(LookUp(h, QStringLiteral("123.4567")));
        signin::CLoginDlg& login = h.state->LoginWindow();
        login.UsernameField()->setText(QStringLiteral("alice"));
        login.PasswordField()->setText(QStringLiteral("alicepass"));
        ASSERT_TRUE(apptest::SaveScreenshot(login, dir, "login.png"));

        login.OkButton()->click();
        signin::CAuthenticatingDlg& auth = h.state->AuthenticatingWindow();
        ASSERT_TRUE(SpinUntil([&] { return auth.isVisible(); }));
        ASSERT_TRUE(apptest::SaveScreenshot(auth, dir, "authenticating.png"));

        h.state->SignIn().LoginTimer().start(0);
        shell::CzorvicDlg& main = h.state->MainWindow();
        ASSERT_TRUE(SpinUntil([&] { return main.isVisible(); }));
        // The first page of sessions and the contacts have come in.
        SpinUntil([] { return false; }, std::chrono::milliseconds(500));
        ASSERT_TRUE(apptest::SaveScreenshot(main, dir, "main-window.png"));
        h.state->Shutdown();
    }
    {
        AppHarness h(network.Endpoints(), SlowStart);
        h.state->Start();
        ASSERT_TRUE(LookUp(h, QStringLiteral("1234567")));
        h.state->LoginWindow().CreateAccountButton()->click();
        signin::CCreateAccountDlg& form = h.state->CreateAccountWindow();
        ASSERT_TRUE(SpinUntil([&] { return form.isVisible(); }));
        form.FullNameField()->setText(QStringLiteral("Dana Dale"));
        form.UsernameField()->setText(QStringLiteral("dana"));
        form.PasswordField()->setText(QStringLiteral("danapass"));
        form.PasswordAgainField()->setText(QStringLiteral("danapass"));
        ASSERT_TRUE(apptest::SaveScreenshot(form, dir, "create-account.png"));

        form.OkButton()->click();
        signin::CCreatingAccountDlg& creating = h.state->CreatingAccountWindow();
        ASSERT_TRUE(SpinUntil([&] { return creating.isVisible(); }));
        h.state->SignIn().CreationTimer().start(0);
        ASSERT_TRUE(SpinUntil([&] { return !creating.InProgress(); }));
        ASSERT_TRUE(creating.Succeeded());
        ASSERT_TRUE(apptest::SaveScreenshot(creating, dir, "creating-account.png"));
        h.state->Shutdown();
    }
}
