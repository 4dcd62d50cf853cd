// Screenshots of the long lists narrowed by their filter fields: the main
// window's contacts and sessions, "Find a Contact", the mailbox's messages
// and the documents list. scripts/screenshots runs every ScreenshotsChild
// case with PALINDOR_SCREENSHOT_DIR set.

#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>

#include "app/AppHarness.h"
#include "contacts/ContactsModule.h"
#include "contacts/FindContactDlg.h"
#include "contacts/ListContacts.h"
#include "documents/DocumentsModule.h"
#include "documents/ShareDocumentsDlg.h"
#include "mailbox/ListMessage.h"
#include "mailbox/MailboxDlg.h"
#include "mailbox/MailboxModule.h"
#include "sessions/SessionPage.h"
#include "sessions/SessionsModule.h"
#include "shell/MainDlg.h"
#include "support/qt/LocalNetworkFixture.h"
#include "ui/FilterEdit.h"
#include "ui/FixedButton.h"

using apptest::AppHarness;
using testsupport::SpinUntil;

namespace {

std::unique_ptr<AppHarness> LogIn(testsupport::LocalNetworkFixture& network, const QString& user) {
    auto h = std::make_unique<AppHarness>(network.Endpoints());
    h->ConfirmLogin(user, user + "pass");
    EXPECT_TRUE(SpinUntil([&] { return h->state->MainWindow().isVisible(); }));
    return h;
}

int ShownRows(ui::CFilterEdit& filter) {
    return filter.ShownRows();
}

}  // namespace

TEST(ScreenshotsChild, DISABLED_Filters) {
    const QString dir = apptest::ScreenshotDir();
    if (dir.isEmpty()) GTEST_SKIP() << "PALINDOR_SCREENSHOT_DIR is not set";
    ASSERT_TRUE(QDir().mkpath(dir));
    testsupport::LocalNetworkFixture network;
    ASSERT_TRUE(network.Start());
    auto alice = LogIn(network, "alice");
    auto bob = LogIn(network, "bob");
    auto carol = LogIn(network, "carol");
    shell::CzorvicDlg& main = alice->state->MainWindow();
    auto& contacts = *alice->state->FindModule<contacts::ContactsModule>();
    sessions::CSessionPage& page = *alice->state->FindModule<sessions::SessionsModule>()->Page();
    ASSERT_TRUE(SpinUntil([&] {
        return contacts.List()->model()->rowCount() >= 3 && page.List().model()->rowCount() >= 3;
    }));

    // The contact list: names with an "o".
    contacts.Filter()->setText("o");
    ASSERT_GE(ShownRows(*contacts.Filter()), 1);
    main.raise();
    main.activateWindow();
    ASSERT_TRUE(apptest::SaveScreenshot(main, dir, "filter-contacts.png"));
    contacts.Filter()->clear();

    // The session directory's page: the guilds.
    page.Filter()->setText("guild");
    ASSERT_GE(ShownRows(*page.Filter()), 1);
    ASSERT_TRUE(apptest::SaveScreenshot(main, dir, "filter-sessions.png"));
    page.Filter()->clear();

    // Find a Contact: the accounts whose texts hold "er".
    main.ToolButton(shell::Tool::Search)->click();
    contacts::CFindContactDlg& find = *contacts.FindWindow();
    ASSERT_TRUE(SpinUntil([&] { return find.isVisible(); }));
    find.Filter()->setText("er");
    ASSERT_GE(ShownRows(*find.Filter()), 1);
    ASSERT_TRUE(apptest::SaveScreenshot(find, dir, "filter-finder.png"));
    find.hide();

    // The mailbox: bob's messages.
    auto* mailbox = alice->state->FindModule<mailbox::MailboxModule>()->Window();
    ui::CFixedButton* mail = main.ToolButton(shell::Tool::Mail);
    ASSERT_TRUE(SpinUntil([&] { return mail->Caption() == "MAILACTIVE"; }));
    mail->click();
    ASSERT_TRUE(SpinUntil([&] { return mailbox->isVisible() && mailbox->List()->model()->rowCount() >= 2; }));
    mailbox->Filter()->setText("bob");
    ASSERT_GE(ShownRows(*mailbox->Filter()), 1);
    ASSERT_TRUE(apptest::SaveScreenshot(*mailbox, dir, "filter-mailbox.png"));
    mailbox->hide();

    // The documents: the text files of alice's store.
    auto* share = alice->state->FindModule<documents::DocumentsModule>()->ShareWindow();
    main.ToolButton(shell::Tool::Documents)->click();
    ASSERT_TRUE(SpinUntil([&] { return share->isVisible() && share->Model().rowCount() >= 3; }));
    share->Filter()->setText("pr");
    ASSERT_GE(ShownRows(*share->Filter()), 1);
    ASSERT_TRUE(apptest::SaveScreenshot(*share, dir, "filter-documents.png"));
}
