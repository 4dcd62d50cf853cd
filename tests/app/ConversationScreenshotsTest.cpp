// The conversation pictures of the guide: alice's and bob's windows in the
// middle of a talk (stamps, two styles, a link, the offline notice) and the
// invitation prompt.

#include <gtest/gtest.h>

#include <QDir>
#include <QTest>

#include "app/AppHarness.h"
#include "contacts/ContactsModule.h"
#include "contacts/Conversations.h"
#include "contacts/InvitePromptDlg.h"
#include "shell/MainDlg.h"
#include "shell/Settings.h"
#include "support/qt/LocalNetworkFixture.h"

using apptest::AppHarness;
using testsupport::SpinUntil;

namespace {

contacts::ContactsModule& Module(AppHarness& h) {
    return *h.state->FindModule<contacts::ContactsModule>();
}

std::unique_ptr<AppHarness> LogIn(testsupport::LocalNetworkFixture& network, const QString& user) {
    auto h = std::make_unique<AppHarness>(network.Endpoints());
    h->ConfirmLogin(user, user + "pass");
    EXPECT_TRUE(SpinUntil([&] { return h->state->MainWindow().isVisible(); }));
    EXPECT_TRUE(SpinUntil([&] { return !Module(*h).Book().Contacts().empty(); }));
    return h;
}

void Style(AppHarness& h, int font, QColor colour, bool bold, bool italic) {
    shell::SettingsValues v = Module(h).SettingsInUse()->Values();
    v.fontIndex = font;
    v.red = colour.red();
    v.green = colour.green();
    v.blue = colour.blue();
    v.bold = bold;
    v.italic = italic;
    v.timestamp = true;
    Module(h).SettingsInUse()->SetValues(v);
}

void Say(contacts::CIMConversationDlg* w, const QString& text) {
    w->Input()->setPlainText(text);
    QTest::keyClick(w->Input(), Qt::Key_Return);
}

}  // namespace

TEST(ScreenshotsChild, DISABLED_Conversation) {
    const QString dir = apptest::ScreenshotDir();
    if (dir.isEmpty()) GTEST_SKIP() << "PALINDOR_SCREENSHOT_DIR is not set";
    ASSERT_TRUE(QDir().mkpath(dir));
    testsupport::LocalNetworkFixture network;
    ASSERT_TRUE(network.Start());

    auto alice = LogIn(network, "alice");
    auto bob = LogIn(network, "bob");
    Style(*alice, 2, QColor(200, 0, 0), true, false);
    Style(*bob, 6, QColor(0, 90, 160), false, true);

    contacts::CIMConversationDlg* toBob = Module(*alice).Ims()->Open("bob", true);
    Say(toBob, "Morning! The notes are at www.example.org/notes");
    ASSERT_TRUE(SpinUntil([&] { return Module(*bob).Ims()->Find("alice") != nullptr; }));
    contacts::CIMConversationDlg* toAlice = Module(*bob).Ims()->Find("alice");
    Say(toAlice, "Thanks, reading them now.");
    ASSERT_TRUE(SpinUntil([&] {
        return toBob->Conversation()->toPlainText().contains("reading them now");
    }));
    Say(toBob, "Carol wanted them too.");
    contacts::CIMConversationDlg* toCarol = Module(*alice).Ims()->Open("carol", true);
    Say(toCarol, "Are you around?");
    ASSERT_TRUE(SpinUntil([&] {
        return toCarol->Conversation()->toPlainText().contains("currently offline");
    }));
    ASSERT_TRUE(SpinUntil([&] {
        return toAlice->Conversation()->toPlainText().contains("Carol wanted");
    }));
    toBob->Input()->setPlainText("See you at ten");

    ASSERT_TRUE(apptest::SaveScreenshot(*toBob, dir, "conversation-alice.png"));
    ASSERT_TRUE(apptest::SaveScreenshot(*toAlice, dir, "conversation-bob.png"));
    ASSERT_TRUE(apptest::SaveScreenshot(*toCarol, dir, "conversation-offline.png"));

    Module(*bob).ShowInvitation("alice", "Team Alpha", "AB12CD", false, "");
    contacts::CInvitePromptDlg* prompt = Module(*bob).InvitePrompt();
    ASSERT_TRUE(SpinUntil([&] { return prompt->isVisible(); }));
    ASSERT_TRUE(apptest::SaveScreenshot(*prompt, dir, "conversation-invitation.png"));
}
