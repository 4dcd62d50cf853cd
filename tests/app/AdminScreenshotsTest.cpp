// The screenshots of the administration windows, taken from the program
// against an in-process local network: the network information at the top
// and in a month folder, a day's log in the text viewer, and the account
// administration with a selection. Hidden screenshot mode only.

#include <gtest/gtest.h>

#include <QDate>
#include <QDir>

#include "admin/AdminModule.h"
#include "admin/ManageAccountsDlg.h"
#include "admin/NetworkInformationDlg.h"
#include "app/AppHarness.h"
#include "shell/MainDlg.h"
#include "support/qt/LocalNetworkFixture.h"
#include "ui/FixedButton.h"
#include "ui/TextViewerDlg.h"

using apptest::AppHarness;
using testsupport::SpinUntil;

namespace {

int RowNamed(const admin::CNetworkInformationDlg& info, const std::string& name) {
    const auto& entries = info.Information().entries;
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].name == name) return static_cast<int>(i);
    return -1;
}

}  // namespace

TEST(ScreenshotsChild, DISABLED_Admin) {
    const QString dir = apptest::ScreenshotDir();
    if (dir.isEmpty()) GTEST_SKIP() << "PALINDOR_SCREENSHOT_DIR is not set";
    ASSERT_TRUE(QDir().mkpath(dir));
    testsupport::LocalNetworkFixture network;
    ASSERT_TRUE(network.Start());
    AppHarness bob(network.Endpoints());
    bob.state->Start();
    bob.ConfirmLogin("bob", "bobpass");
    ASSERT_TRUE(SpinUntil([&] { return bob.state->MainWindow().isVisible(); }));
    AppHarness h(network.Endpoints());
    h.state->Start();
    h.ConfirmLogin("root", "rootpass");
    shell::CzorvicDlg& main = h.state->MainWindow();
    ASSERT_TRUE(SpinUntil([&] { return main.isVisible(); }));
    auto& module = *h.state->FindModule<admin::AdminModule>();
    admin::CNetworkInformationDlg& info = *module.Information();

    main.ToolButton(shell::Tool::NetworkInfo)->click();
    ASSERT_TRUE(SpinUntil([&] { return info.isVisible(); }));
    ASSERT_TRUE(apptest::SaveScreenshot(info, dir, "admin-network-info.png"));

    const QDate today = QDate::currentDate().addDays(-3);  // the demo's busy day
    const std::string year = QString::number(today.year()).toStdString();
    const std::string month = QString::asprintf("%02d", today.month()).toStdString();
    info.EntryActivated(RowNamed(info, year));
    ASSERT_TRUE(SpinUntil([&] { return info.Path() == year; }));
    info.EntryActivated(RowNamed(info, month));
    ASSERT_TRUE(SpinUntil([&] { return info.Path() == year + "/" + month; }));
    ASSERT_TRUE(apptest::SaveScreenshot(info, dir, "admin-network-info-month.png"));

    info.EntryActivated(RowNamed(info, QString::asprintf("%02d.log", today.day()).toStdString()));
    ASSERT_TRUE(SpinUntil(
        [&] { return module.LogViewer() != nullptr && module.LogViewer()->isVisible(); }));
    ASSERT_TRUE(apptest::SaveScreenshot(*module.LogViewer(), dir, "admin-log-viewer.png"));
    module.LogViewer()->close();

    admin::CManageAccountsDlg& accounts = *module.Accounts();
    info.ManageButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return accounts.isVisible(); }));
    std::vector<int> rows;
    for (int r = 0; r < accounts.Records().rowCount(); ++r) {
        const std::string& name = accounts.Records().RecordAt(r)->username;
        if (name == "bob" || name == "erin") rows.push_back(r);
    }
    accounts.SelectRows(rows);
    ASSERT_TRUE(apptest::SaveScreenshot(accounts, dir, "admin-manage-accounts.png"));
}
