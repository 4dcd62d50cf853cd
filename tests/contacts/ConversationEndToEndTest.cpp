// Instant messages between two whole programs through the in-process local
// network: format and stamp at the receiver, the reply in the same window,
// the offline notice, a mute that stops the next message, and a drop.

#include <gtest/gtest.h>

#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

#include "app/AppHarness.h"
#include "contacts/ContactsModule.h"
#include "contacts/Conversations.h"
#include "server/core/ClientSession.h"
#include "server/core/LocalNetwork.h"
#include "shell/MainDlg.h"
#include "shell/Settings.h"
#include "support/qt/LocalNetworkFixture.h"

namespace contacts {
namespace {

using testsupport::SpinUntil;

class ConversationEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(server.Start()); }

    std::unique_ptr<apptest::AppHarness> LogIn(const QString& user) {
        auto h = std::make_unique<apptest::AppHarness>(server.Endpoints());
        h->ConfirmLogin(user, user + "pass");
        EXPECT_TRUE(SpinUntil([&] { return h->state->MainWindow().isVisible(); }))
            << user.toStdString();
        EXPECT_TRUE(SpinUntil([&] { return !Module(*h).Book().Contacts().empty(); }));
        return h;
    }

    static ContactsModule& Module(apptest::AppHarness& h) {
        return *h.state->FindModule<ContactsModule>();
    }
    static CIMConversationDlg* Window(apptest::AppHarness& h, const std::string& name) {
        return Module(h).Ims()->Find(name);
    }
    static QString Text(CIMConversationDlg* w) {
        return w ? w->Conversation()->toPlainText() : QString();
    }
    static void Type(CIMConversationDlg* w, const QString& text) {
        w->Input()->setPlainText(text);
        QTest::keyClick(w->Input(), Qt::Key_Return);
    }

    testsupport::LocalNetworkFixture server;
};

TEST_F(ConversationEndToEnd, AliceAndBobTalkCarolIsOfflineAndAMuteStopsAlice) {
    auto alice = LogIn("alice");
    auto bob = LogIn("bob");
    shell::SettingsValues style = Module(*alice).SettingsInUse()->Values();
    style.fontIndex = 2;
    style.red = 255;
    style.green = style.blue = 0;
    style.bold = true;
    Module(*alice).SettingsInUse()->SetValues(style);
    shell::SettingsValues bobs = Module(*bob).SettingsInUse()->Values();
    bobs.size = 19;
    bobs.timestamp = true;
    Module(*bob).SettingsInUse()->SetValues(bobs);

    CIMConversationDlg* toBob = Module(*alice).Ims()->Open("bob", true);
    Type(toBob, "hello bob");
    ASSERT_TRUE(SpinUntil([&] { return Window(*bob, "alice") != nullptr; }));
    CIMConversationDlg* atBob = Window(*bob, "alice");
    EXPECT_EQ(atBob->windowTitle(), "IM Conversation - [alice]");
    ASSERT_TRUE(SpinUntil([&] { return atBob->isVisible(); }));
    EXPECT_TRUE(Text(atBob).startsWith("["));
    EXPECT_TRUE(Text(atBob).contains("] alice: hello bob"));
    QTextCursor c = atBob->Conversation()->document()->find("hello bob");
    ASSERT_FALSE(c.isNull());
    c.setPosition(c.selectionStart() + 1);
    EXPECT_EQ(c.charFormat().font().family(), "Courier New");
    EXPECT_EQ(c.charFormat().foreground().color(), QColor(255, 0, 0));
    EXPECT_TRUE(c.charFormat().font().bold());
    EXPECT_EQ(c.charFormat().font().pixelSize(), 19) << "at bob's size";

    Type(atBob, "hi alice");
    ASSERT_TRUE(SpinUntil([&] { return Text(toBob).contains("bob: hi alice"); }));
    EXPECT_EQ(Window(*alice, "bob"), toBob) << "the reply lands in the same window";

    CIMConversationDlg* toCarol = Module(*alice).Ims()->Open("carol", true);
    Type(toCarol, "are you there");
    ASSERT_TRUE(SpinUntil([&] { return Text(toCarol).contains("carol is currently offline"); }));

    // Bob mutes alice; her next message opens nothing at his end. Her status
    // change after it reaches bob on the same connection, so by then the
    // message was handled.
    Module(*bob).SetMuted("alice", true);
    atBob->hide();
    const QString before = Text(atBob);
    Type(toBob, "ignored");
    Module(*alice).SendStatus(2);
    ASSERT_TRUE(SpinUntil([&] {
        const auto a = Module(*bob).FindContact("alice");
        return a && a->status == 2;
    }));
    EXPECT_EQ(Text(atBob), before);
    EXPECT_FALSE(atBob->isVisible());
}

TEST_F(ConversationEndToEnd, ADropHidesTheWindowsAndKeepsTheirText) {
    auto alice = LogIn("alice");
    auto bob = LogIn("bob");
    CIMConversationDlg* toBob = Module(*alice).Ims()->Open("bob", true);
    Type(toBob, "before the drop");
    ASSERT_TRUE(SpinUntil([&] { return toBob->isVisible(); }));
    for (localnet::ClientSession* s : server.Network().Sessions())
        if (s->Kind() == localnet::ServerKind::Network && s->Username() == "alice")
            s->Abort(QStringLiteral("dropped by the test"));
    ASSERT_TRUE(SpinUntil([&] { return !toBob->isVisible(); }));
    EXPECT_TRUE(Text(toBob).contains("before the drop"));

    // The same user again finds the window as it was; another account
    // finds it empty.
    ASSERT_TRUE(SpinUntil([&] { return alice->state->LoginWindow().isVisible(); }));
    alice->ConfirmLogin("alice", "alicepass");
    ASSERT_TRUE(SpinUntil([&] { return alice->state->MainWindow().isVisible(); }));
    EXPECT_TRUE(Text(toBob).contains("before the drop"));
    for (localnet::ClientSession* s : server.Network().Sessions())
        if (s->Kind() == localnet::ServerKind::Network && s->Username() == "alice")
            s->Abort(QStringLiteral("dropped by the test"));
    ASSERT_TRUE(SpinUntil([&] { return alice->state->LoginWindow().isVisible(); }));
    alice->ConfirmLogin("carol", "carolpass");
    ASSERT_TRUE(SpinUntil([&] { return alice->state->MainWindow().isVisible(); }));
    ASSERT_TRUE(SpinUntil([&] { return Text(toBob).isEmpty(); }));
}

}  // namespace
}  // namespace contacts
