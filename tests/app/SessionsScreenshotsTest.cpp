// The session directory's pictures for the guide: the main window's page,
// Manage Sessions while it waits and with a page, Create Session, Modify
// Session and Password Required. Part of the hidden screenshot mode
// (scripts/screenshots), which runs every ScreenshotsChild case.

#include <gtest/gtest.h>

#include <QDir>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/AppHarness.h"
#include "sessions/ManageSessionsDlg.h"
#include "sessions/SessionFieldsDlg.h"
#include "sessions/SessionPage.h"
#include "sessions/SessionsModule.h"
#include "shell/MainDlg.h"
#include "signin/LoginDlg.h"
#include "support/qt/LocalNetworkFixture.h"
#include "ui/FixedButton.h"

using apptest::AppHarness;
using testsupport::SpinUntil;

TEST(ScreenshotsChild, DISABLED_Sessions) {
    const QString dir = apptest::ScreenshotDir();
    if (dir.isEmpty()) GTEST_SKIP() << "PALINDOR_SCREENSHOT_DIR is not set";
    ASSERT_TRUE(QDir().mkpath(dir));
    testsupport::LocalNetworkFixture network;
    ASSERT_TRUE(network.Start());

    // Someone in the Lobby, so that the page shows an occupied row.
    AppHarness carol(network.Endpoints());
    AppHarness h(network.Endpoints());
    const auto logIn = [](AppHarness& a, const QString& user) {
        a.state->Client().StartLookup("1234567");
        if (!SpinUntil([&] { return a.state->LoginWindow().isVisible(); })) return false;
        a.state->LoginWindow().UsernameField()->setText(user);
        a.state->LoginWindow().PasswordField()->setText(user + "pass");
        a.state->LoginWindow().OkButton()->click();
        return SpinUntil([&] { return a.state->MainWindow().isVisible(); });
    };
    ASSERT_TRUE(logIn(carol, "carol"));
    ASSERT_TRUE(logIn(h, "alice"));
    auto& module = *h.state->FindModule<sessions::SessionsModule>();
    auto& carolModule = *carol.state->FindModule<sessions::SessionsModule>();
    ASSERT_TRUE(SpinUntil([&] { return carolModule.Page()->List().Model().Rows().size() == 20; }));
    const QString lobby = carolModule.Page()->List().Model().Rows()[0].id;
    carolModule.SendJoinSession(lobby.toStdString(), {});
    SpinUntil([] { return false; }, std::chrono::milliseconds(300));

    shell::CzorvicDlg& main = h.state->MainWindow();
    module.Page()->RefreshButton()->click();
    ASSERT_TRUE(SpinUntil([&] {
        const auto& rows = module.Page()->List().Model().Rows();
        return !rows.isEmpty() && rows[0].participants == 1;
    }));
    ASSERT_TRUE(apptest::SaveScreenshot(main, dir, "sessions-main.png"));

    sessions::CManageSessionsDlg& manage = *module.Manage();
    manage.BringUp();
    ASSERT_TRUE(SpinUntil([&] { return manage.isVisible(); }));
    ASSERT_TRUE(apptest::SaveScreenshot(manage, dir, "sessions-manage-updating.png"));
    main.ToolButton(shell::Tool::Sessions)->click();
    ASSERT_TRUE(SpinUntil([&] { return manage.PageLabel()->text() == "Page 1 of 2"; }));
    manage.List().selectionModel()->select(
        manage.List().model()->index(2, 0),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    ASSERT_TRUE(apptest::SaveScreenshot(manage, dir, "sessions-manage.png"));

    manage.CreateButton()->click();
    sessions::CCreateSessionDlg& create = *module.Create();
    ASSERT_TRUE(SpinUntil([&] { return create.isVisible(); }));
    create.NameField()->setText("Weekly Sync");
    create.MaximumField()->setText("25");
    create.DescriptionField()->setPlainText("Status round every Monday at nine.");
    create.SetPrivate(true);
    create.PasswordField()->setText("monday");
    create.ConfirmField()->setText("monday");
    ASSERT_TRUE(apptest::SaveScreenshot(create, dir, "sessions-create.png"));
    create.hide();

    manage.Modify();
    sessions::CModifySessionDlg& modify = *module.ModifyWindow();
    ASSERT_TRUE(SpinUntil([&] { return modify.isVisible(); }));
    ASSERT_TRUE(apptest::SaveScreenshot(modify, dir, "sessions-modify.png"));
    modify.hide();

    sessions::CPasswordRequiredDlg& password = *module.PasswordWindow();
    password.Open("abc123");
    ASSERT_TRUE(SpinUntil([&] { return password.isVisible(); }));
    password.PasswordField()->setText("xpass");
    ASSERT_TRUE(apptest::SaveScreenshot(password, dir, "sessions-password.png"));
    h.state->Shutdown();
    carol.state->Shutdown();
}
