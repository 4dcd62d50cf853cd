// The mailbox's screenshots for the guide: alice's seeded mailbox on her
// Inbox and on a Sessions folder, and its three companion windows. Not a
// test of its own; scripts/screenshots runs it with PALINDOR_SCREENSHOT_DIR.

#include <gtest/gtest.h>

#include <QDir>
#include <QLineEdit>
#include <QListWidget>

#include "app/AppHarness.h"
#include "mailbox/ListMessage.h"
#include "mailbox/MailboxDlg.h"
#include "mailbox/MailboxModule.h"
#include "mailbox/MailboxSmallDlgs.h"
#include "mailbox/TreeFolders.h"
#include "shell/MainDlg.h"
#include "support/qt/LocalNetworkFixture.h"
#include "ui/FixedButton.h"

using testsupport::SpinUntil;

TEST(ScreenshotsChild, DISABLED_Mailbox) {
    const QString dir = apptest::ScreenshotDir();
    if (dir.isEmpty()) GTEST_SKIP() << "PALINDOR_SCREENSHOT_DIR is not set";
    ASSERT_TRUE(QDir().mkpath(dir));
    testsupport::LocalNetworkFixture network;
    ASSERT_TRUE(network.Start());
    apptest::AppHarness h(network.Endpoints());
    h.ConfirmLogin("alice", "alicepass");
    ASSERT_TRUE(SpinUntil([&] { return h.state->MainWindow().isVisible(); }));
    auto* w = h.state->FindModule<mailbox::MailboxModule>()->Window();
    ui::CFixedButton* mail = h.state->MainWindow().ToolButton(shell::Tool::Mail);
    ASSERT_TRUE(SpinUntil([&] { return mail->Caption() == "MAILACTIVE"; }));

    mail->click();
    ASSERT_TRUE(SpinUntil([&] { return w->isVisible() && w->List()->model()->rowCount() == 3; }));
    w->List()->selectionModel()->select(w->List()->model()->index(1, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    emit w->List()->SelectionTouched();
    ASSERT_TRUE(apptest::SaveScreenshot(*w, dir, "mailbox-inbox.png"));

    w->Tree()->setCurrentItem(w->Tree()->FolderItem(2, "demo01"));
    w->ChooseFolder(2, "demo01");
    ASSERT_TRUE(SpinUntil([&] { return w->List()->model()->rowCount() == 1; }));
    w->List()->selectionModel()->select(w->List()->model()->index(0, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    emit w->List()->SelectionTouched();
    ASSERT_TRUE(apptest::SaveScreenshot(*w, dir, "mailbox-sessions.png"));

    w->NewFolder();
    auto& create = w->FolderCreateWindow();
    ASSERT_TRUE(SpinUntil([&] { return create.isVisible(); }));
    create.NameField()->setText("Receipts");
    ASSERT_TRUE(apptest::SaveScreenshot(create, dir, "mailbox-new-folder.png"));
    create.hide();

    w->ChooseFolder(0, "Primary");
    ASSERT_TRUE(SpinUntil([&] { return w->List()->model()->rowCount() == 3; }));
    w->List()->selectionModel()->select(w->List()->model()->index(0, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    w->MoveToFolder();
    auto& select = w->SelectFolderWindow();
    ASSERT_TRUE(SpinUntil([&] { return select.isVisible(); }));
    ASSERT_TRUE(apptest::SaveScreenshot(select, dir, "mailbox-select-folder.png"));
    select.hide();

    w->NewMail();
    ASSERT_TRUE(SpinUntil([&] { return w->AlertWindow().isVisible(); }));
    ASSERT_TRUE(apptest::SaveScreenshot(w->AlertWindow(), dir, "mailbox-alert.png"));
}
