// The Polling Center pictures of the guide: alice's session with the demo
// polls (one of them selected), then with all of them deleted.

#include <gtest/gtest.h>

#include <QDir>
#include <QPushButton>

#include "app/AppHarness.h"
#include "polls/PollingCenterDlg.h"
#include "polls/PollsModule.h"
#include "shell/MainDlg.h"
#include "support/qt/LocalNetworkFixture.h"

using apptest::AppHarness;
using testsupport::SpinUntil;

TEST(ScreenshotsChild, DISABLED_PollingCenter) {
    const QString dir = apptest::ScreenshotDir();
    if (dir.isEmpty()) GTEST_SKIP() << "PALINDOR_SCREENSHOT_DIR is not set";
    ASSERT_TRUE(QDir().mkpath(dir));
    testsupport::LocalNetworkFixture network;
    ASSERT_TRUE(network.Start());
    AppHarness alice(network.Endpoints());
    alice.ConfirmLogin("alice", "alicepass");
    ASSERT_TRUE(SpinUntil([&] { return alice.state->MainWindow().isVisible(); }));
    polls::CPollingCenterDlg* center = alice.state->FindModule<polls::PollsModule>()->Center();

    center->Open("demo01");
    ASSERT_TRUE(SpinUntil([&] { return center->isVisible() && center->List()->RowCount() == 4; }));
    center->List()->SelectRows({0});
    EXPECT_TRUE(apptest::SaveScreenshot(*center, dir, "polls-center.png"));

    // Every poll deleted: the empty list.
    center->List()->selectAll();
    alice.dialogs.answers.push_back(ui::MsgAnswer::Yes);
    center->ButtonAt(polls::CPollingCenterDlg::kDelete)->click();
    ASSERT_TRUE(SpinUntil([&] { return center->List()->RowCount() == 0; }));
    EXPECT_TRUE(apptest::SaveScreenshot(*center, dir, "polls-center-empty.png"));
}
