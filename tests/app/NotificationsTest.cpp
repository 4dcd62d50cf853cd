// Desktop notifications between two whole programs (alice and bob) through
// the in-process local network: an instant message, a session invitation,
// new mail and a room line naming the user each notify bob when the window
// concerned is behind, not when it is in front or his message alerts are
// off, and the notification's action brings that window up.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QTextEdit>

#include "app/AppHarness.h"
#include "contacts/Conversations.h"
#include "contacts/ContactsModule.h"
#include "contacts/InvitePromptDlg.h"
#include "mailbox/MailboxDlg.h"
#include "mailbox/MailboxModule.h"
#include "mailbox/MailboxSmallDlgs.h"
#include "server/core/LocalNetwork.h"
#include "server/mailbox/MailboxService.h"
#include "sessions/ListSessionsZorvic.h"
#include "sessions/Rooms.h"
#include "sessions/SessionPage.h"
#include "sessions/SessionsModule.h"
#include "shell/MainDlg.h"
#include "shell/Settings.h"
#include "ui/FixedButton.h"

namespace {

using shell::NotificationKind;
using testsupport::SpinUntil;

class Notifications : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server.Start());
        alice = LogIn("alice");
        bob = LogIn("bob");
    }
    void TearDown() override {
        bob.reset();
        alice.reset();
    }

    std::unique_ptr<apptest::AppHarness> LogIn(const QString& user) {
        auto h = std::make_unique<apptest::AppHarness>(server.Endpoints());
        h->ConfirmLogin(user, user + "pass");
        EXPECT_TRUE(SpinUntil([&] {
            return h->state->MainWindow().isVisible() && !IdOf(*h, "Lobby").empty() &&
                   !Contacts(*h).Book().Contacts().empty();
        })) << user.toStdString();
        return h;
    }

    static contacts::ContactsModule& Contacts(apptest::AppHarness& h) {
        return *h.state->FindModule<contacts::ContactsModule>();
    }
    static sessions::Rooms& Rooms(apptest::AppHarness& h) {
        return *h.state->FindModule<sessions::SessionsModule>()->RoomList();
    }
    static mailbox::CMailboxDlg& Mailbox(apptest::AppHarness& h) {
        return *h.state->FindModule<mailbox::MailboxModule>()->Window();
    }
    static std::string IdOf(apptest::AppHarness& h, const QString& name) {
        auto* page = h.state->FindModule<sessions::SessionsModule>()->Page();
        for (const sessions::SessionRow& r : page->List().Model().Rows())
            if (r.name == name) return r.id.toStdString();
        return {};
    }
    static void SetMessageAlerts(apptest::AppHarness& h, bool on) {
        shell::SettingsValues v = Contacts(h).SettingsInUse()->Values();
        v.alertMessages = on;
        Contacts(h).SettingsInUse()->SetValues(v);
    }
    // Makes `w` the window the user is looking at.
    static bool Activate(QWidget* w) {
        if (!w->isVisible()) w->show();
        w->raise();
        w->activateWindow();
        QApplication::setActiveWindow(w);
        return SpinUntil([&] { return QApplication::activeWindow() == w; });
    }
    static bool InFront(QWidget* w) {
        return SpinUntil([&] { return w->isVisible() && QApplication::activeWindow() == w; });
    }
    // Lets whatever is still on its way arrive (bob's contact list after a
    // status change travels behind everything sent before it).
    void Settle(apptest::AppHarness& from, apptest::AppHarness& to, int32_t status) {
        Contacts(from).SendStatus(status);
        ASSERT_TRUE(SpinUntil([&] {
            const auto c = Contacts(to).FindContact(from.state->Client().Username());
            return c && c->status == status;
        }));
    }

    static void Type(contacts::CIMConversationDlg* w, const QString& text) {
        w->Input()->setPlainText(text);
        QTest::keyClick(w->Input(), Qt::Key_Return);
    }
    sessions::CSessionDlg* Enter(apptest::AppHarness& h, const std::string& id) {
        h.state->FindModule<sessions::SessionsModule>()->SendJoinSession(id, "");
        SpinUntil([&] { return Rooms(h).Find(id) != nullptr && Rooms(h).Find(id)->isVisible(); });
        return Rooms(h).Find(id);
    }
    static void Say(sessions::CSessionDlg* room, const QString& text) {
        room->Input()->setPlainText(text);
        room->SendButton()->click();
    }
    static bool Heard(apptest::AppHarness& h, const std::string& id, const QString& line) {
        return SpinUntil([&] {
            sessions::CSessionDlg* room = Rooms(h).Find(id);
            return room && room->TranscriptView()->toPlainText().contains(line);
        });
    }
    localnet::MailboxService& MailService() {
        for (const auto& s : server.Network().AllServices())
            if (auto* m = dynamic_cast<localnet::MailboxService*>(s.get())) return *m;
        std::abort();
    }
    bool MailToBob(const QString& subject) {
        localnet::MailboxService::Delivery d;
        d.number = "1234567";
        d.sender = "alice";
        d.recipients = {"bob"};
        d.subject = subject;
        d.body = "See the attached plan.";
        return MailService().Deliver(d);
    }

    testsupport::LocalNetworkFixture server;
    std::unique_ptr<apptest::AppHarness> alice, bob;
};

TEST_F(Notifications, AnInstantMessageNotifiesOnlyWhileItsWindowIsBehindAndAlertsAreOn) {
    auto& notes = bob->notifier;
    contacts::CIMConversationDlg* toBob = Contacts(*alice).Ims()->Open("bob", true);
    ASSERT_TRUE(Activate(&alice->state->MainWindow()));
    // The first message opens bob's window; it was not in front when it came.
    const QString longText = "Lunch?\r\n" + QString(120, u'z');
    Type(toBob, longText);
    ASSERT_TRUE(SpinUntil([&] { return notes.Count(NotificationKind::InstantMessage) == 1; }));
    const auto* note = notes.Last(NotificationKind::InstantMessage);
    EXPECT_EQ(note->title, "Message from alice");
    EXPECT_EQ(note->body, "Lunch?\n" + QString(93, u'z') + "...") << "the first 100 characters";
    contacts::CIMConversationDlg* atBob = Contacts(*bob).Ims()->Find("alice");
    ASSERT_NE(atBob, nullptr);

    // In front: nothing.
    ASSERT_TRUE(Activate(atBob));
    Type(toBob, "are you there");
    ASSERT_TRUE(SpinUntil([&] { return atBob->Conversation()->toPlainText().contains("are you"); }));
    EXPECT_EQ(notes.Count(NotificationKind::InstantMessage), 1u);

    // Behind, with the message alerts off: nothing either.
    atBob->hide();
    SetMessageAlerts(*bob, false);
    Type(toBob, "hello?");
    ASSERT_TRUE(SpinUntil([&] { return atBob->Conversation()->toPlainText().contains("hello?"); }));
    EXPECT_EQ(notes.Count(NotificationKind::InstantMessage), 1u);

    // Back on, hidden: notified, and the action brings the window up.
    atBob->hide();
    SetMessageAlerts(*bob, true);
    Type(toBob, "ping");
    ASSERT_TRUE(SpinUntil([&] { return notes.Count(NotificationKind::InstantMessage) == 2; }));
    EXPECT_EQ(notes.Last(NotificationKind::InstantMessage)->body, "ping");
    atBob->hide();
    ASSERT_TRUE(Activate(&bob->state->MainWindow()));
    notes.Last(NotificationKind::InstantMessage)->open();
    EXPECT_TRUE(InFront(atBob));
}

TEST_F(Notifications, AnInvitationNotifiesUnlessThePromptIsInFrontOrAlertsAreOff) {
    auto& notes = bob->notifier;
    const std::string planning = IdOf(*alice, "Release Planning");
    sessions::CSessionDlg* room = Enter(*alice, planning);
    ASSERT_NE(room, nullptr);
    auto invite = [&] {
        room->Button("INVITE")->click();
        Rooms(*alice).InviteWindow()->Invitee()->setText("bob");
        Rooms(*alice).InviteWindow()->accept();
    };
    contacts::CInvitePromptDlg* prompt = Contacts(*bob).InvitePrompt();

    ASSERT_TRUE(Activate(&bob->state->MainWindow()));
    invite();
    ASSERT_TRUE(SpinUntil([&] { return notes.Count(NotificationKind::Invitation) == 1; }));
    EXPECT_EQ(notes.Last(NotificationKind::Invitation)->title, "Session invitation");
    EXPECT_EQ(notes.Last(NotificationKind::Invitation)->body,
              "alice has invited you to join Release Planning");
    ASSERT_TRUE(SpinUntil([&] { return prompt->isVisible(); })) << "the prompt comes as before";

    // The prompt in front: a second invitation only refills it.
    ASSERT_TRUE(Activate(prompt));
    invite();
    Settle(*alice, *bob, 2);
    EXPECT_EQ(notes.Count(NotificationKind::Invitation), 1u);

    // Alerts off: nothing.
    prompt->DeclineButton()->click();
    SetMessageAlerts(*bob, false);
    invite();
    Settle(*alice, *bob, 1);
    EXPECT_EQ(notes.Count(NotificationKind::Invitation), 1u);

    // The action brings a declined prompt back, with the latest invitation.
    prompt->DeclineButton()->click();
    ASSERT_FALSE(prompt->isVisible());
    notes.Last(NotificationKind::Invitation)->open();
    EXPECT_TRUE(SpinUntil([&] { return prompt->isVisible() && !prompt->ShowPending(); }));
    EXPECT_EQ(prompt->InviterLine()->text(), "alice has invited you to join the following session:");
}

TEST_F(Notifications, NewMailNotifiesUnlessTheMailboxIsInFrontOrAlertsAreOff) {
    auto& notes = bob->notifier;
    mailbox::CMailboxDlg& box = Mailbox(*bob);
    ASSERT_TRUE(MailToBob("Plans"));
    ASSERT_TRUE(SpinUntil([&] { return box.AlertWindow().isVisible(); }));
    ASSERT_EQ(notes.Count(NotificationKind::NewMail), 1u);
    EXPECT_EQ(notes.Last(NotificationKind::NewMail)->title, "New mail");
    EXPECT_EQ(notes.Last(NotificationKind::NewMail)->body, "You have new mail.");

    // The action is "Go to Mailbox": the alert goes, the mailbox comes.
    notes.Last(NotificationKind::NewMail)->open();
    EXPECT_FALSE(box.AlertWindow().isVisible());
    ASSERT_TRUE(InFront(&box));

    // The mailbox in front: the alert as always, no notification.
    box.AlertWindow().hide();
    ASSERT_TRUE(MailToBob("More plans"));
    ASSERT_TRUE(SpinUntil([&] { return box.AlertWindow().isVisible(); }));
    EXPECT_EQ(notes.Count(NotificationKind::NewMail), 1u);

    // Alerts off, the mailbox hidden: the alert, no notification.
    box.AlertWindow().hide();
    box.hide();
    SetMessageAlerts(*bob, false);
    ASSERT_TRUE(MailToBob("Even more plans"));
    ASSERT_TRUE(SpinUntil([&] { return box.AlertWindow().isVisible(); }));
    EXPECT_EQ(notes.Count(NotificationKind::NewMail), 1u);
}

TEST_F(Notifications, ARoomLineNotifiesOnlyWhenItNamesTheUserAndTheRoomIsBehind) {
    auto& notes = bob->notifier;
    const std::string lobby = IdOf(*alice, "Lobby");
    sessions::CSessionDlg* atAlice = Enter(*alice, lobby);
    sessions::CSessionDlg* atBob = Enter(*bob, lobby);
    ASSERT_TRUE(atAlice && atBob);
    ASSERT_TRUE(Activate(atAlice));

    Say(atAlice, "the build is green");
    Say(atAlice, "snobbish remarks aside");
    Say(atAlice, "BOB, can you look at\r\nthe <b>release</b> notes? " + QString(100, u'x'));
    ASSERT_TRUE(Heard(*bob, lobby, "the <b>release</b> notes"));
    ASSERT_EQ(notes.Count(NotificationKind::RoomMention), 1u) << "only the line naming bob";
    const auto* note = notes.Last(NotificationKind::RoomMention);
    EXPECT_EQ(note->title, "alice in Lobby");
    EXPECT_FALSE(note->body.contains(u'\n'));
    EXPECT_TRUE(note->body.startsWith(QString::fromUtf8(
        "BOB, can you look at the \xE2\x80\xB9" "b\xE2\x80\xBArelease")));
    EXPECT_EQ(note->body.size(), 103) << "100 characters and the dots";

    // bob's own line naming himself: nothing.
    Say(atBob, "bob is here");
    ASSERT_TRUE(Heard(*alice, lobby, "bob: bob is here"));
    ASSERT_TRUE(Heard(*bob, lobby, "bob: bob is here"));
    EXPECT_EQ(notes.Count(NotificationKind::RoomMention), 1u);

    // In front: nothing.
    ASSERT_TRUE(Activate(atBob));
    Say(atAlice, "thanks bob");
    ASSERT_TRUE(Heard(*bob, lobby, "alice: thanks bob"));
    EXPECT_EQ(notes.Count(NotificationKind::RoomMention), 1u);

    // Behind with alerts off: nothing.
    ASSERT_TRUE(Activate(atAlice));
    SetMessageAlerts(*bob, false);
    Say(atAlice, "bob?");
    ASSERT_TRUE(Heard(*bob, lobby, "alice: bob?"));
    EXPECT_EQ(notes.Count(NotificationKind::RoomMention), 1u);

    // The action brings the room up, minimised or not.
    atBob->showMinimized();
    notes.Last(NotificationKind::RoomMention)->open();
    EXPECT_TRUE(InFront(atBob));
    EXPECT_FALSE(atBob->isMinimized());

    // Once the room is closed the action does nothing.
    Rooms(*bob).Close(atBob);
    ASSERT_EQ(Rooms(*bob).Find(lobby), nullptr);
    notes.Last(NotificationKind::RoomMention)->open();
    EXPECT_EQ(Rooms(*bob).Find(lobby), nullptr);
}

}  // namespace
