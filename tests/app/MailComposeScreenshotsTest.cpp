// Screenshots of writing and reading mail for the guide: the composer empty
// (and its recipient type question), as a reply and locked during a send,
// the reader on a message with an attachment, and the two progress windows.
// Not a test of its own; scripts/screenshots runs it with
// PALINDOR_SCREENSHOT_DIR.

#include <gtest/gtest.h>

#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/AppHarness.h"
#include "mailbox/AttachmentProgressDlgs.h"
#include "mailbox/ListMessage.h"
#include "mailbox/MailboxDlg.h"
#include "mailbox/MailboxMessageDlg.h"
#include "mailbox/MailboxModule.h"
#include "mailbox/MailboxWriteMsgDlg.h"
#include "shell/MainDlg.h"
#include "support/qt/LocalNetworkFixture.h"
#include "ui/FixedButton.h"

using testsupport::SpinUntil;

TEST(ScreenshotsChild, DISABLED_MailCompose) {
    const QString dir = apptest::ScreenshotDir();
    if (dir.isEmpty()) GTEST_SKIP() << "PALINDOR_SCREENSHOT_DIR is not set";
    ASSERT_TRUE(QDir().mkpath(dir));
    testsupport::LocalNetworkFixture network;
    // The lock stays on long enough to be photographed.
    ASSERT_TRUE(network.Start());
    apptest::AppHarness h(network.Endpoints(), [](app::AppState::Options& o) {
        o.timings.mailSendLock = std::chrono::milliseconds(60000);
    });
    h.ConfirmLogin("alice", "alicepass");
    ASSERT_TRUE(SpinUntil([&] { return h.state->MainWindow().isVisible(); }));
    auto& module = *h.state->FindModule<mailbox::MailboxModule>();
    mailbox::CMailboxDlg& box = *module.Window();
    mailbox::CMailboxWriteMsgDlg& composer = *module.Composer();
    mailbox::CMailboxMessageDlg& reader = *module.Reader();

    h.state->MainWindow().ToolButton(shell::Tool::Mail)->click();
    ASSERT_TRUE(SpinUntil([&] { return box.isVisible() && box.List()->model()->rowCount() > 0; }));

    box.Button("NEWMESSAGE")->click();
    ASSERT_TRUE(SpinUntil([&] { return composer.isVisible(); }));
    ASSERT_TRUE(apptest::SaveScreenshot(composer, dir, "mailcompose-new.png"));
    composer.AddRecipientButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return composer.SelectRecipientWindow().isVisible(); }));
    ASSERT_TRUE(apptest::SaveScreenshot(composer.SelectRecipientWindow(), dir,
                                        "mailcompose-select-recipient.png"));
    composer.SelectRecipientWindow().hide();

    // The reader, on the message that carries an attachment.
    int row = -1;
    for (int r = 0; r < box.List()->model()->rowCount(); ++r) {
        const mailbox::CMailboxMessage* m = box.List()->Model().At(r);
        if (m != nullptr && m->HasAttachment()) row = r;
    }
    ASSERT_GE(row, 0);
    box.OpenMessage(row);
    ASSERT_TRUE(SpinUntil([&] { return reader.isVisible(); }));
    ASSERT_TRUE(apptest::SaveScreenshot(reader, dir, "mailcompose-reader.png"));

    reader.ReplyButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return composer.isVisible(); }));
    composer.BodyField()->setPlainText(
        "Thanks, the figures look right to me.\n\nShall we go through them on Friday?");
    ASSERT_TRUE(apptest::SaveScreenshot(composer, dir, "mailcompose-reply.png"));

    composer.SendButton()->click();
    ASSERT_TRUE(composer.Locked());
    ASSERT_TRUE(apptest::SaveScreenshot(composer, dir, "mailcompose-locked.png"));
    h.dialogs.answers.push_back(ui::MsgAnswer::Yes);
    composer.CancelMessage();
    reader.hide();
    box.hide();

    mailbox::CProgressAttachmentDlg& up = composer.ProgressWindow();
    up.Reset();
    up.SetPercent(42);
    up.ShowInFrontNow();
    ASSERT_TRUE(apptest::SaveScreenshot(up, dir, "mailcompose-uploading.png"));
    up.hide();

    mailbox::CDownloadingAttachmentDlg& down = reader.DownloadWindow();
    down.Reset();
    down.SetPercent(73);
    down.SetOnHidden({});
    down.ShowInFrontNow();
    ASSERT_TRUE(apptest::SaveScreenshot(down, dir, "mailcompose-downloading.png"));
    down.hide();
}
