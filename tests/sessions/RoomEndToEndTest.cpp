// Three whole programs in the session rooms of the in-process local
// network: lines, bans, moderators, invitations, away, info, mutes and a
// drop, every answer from the server.

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTextBlock>
#include <QTextDocument>

#include "app/AppHarness.h"
#include "contacts/ContactsModule.h"
#include "contacts/InvitePromptDlg.h"
#include "server/core/ClientSession.h"
#include "sessions/ListSessionsZorvic.h"
#include "sessions/Rooms.h"
#include "sessions/SessionPage.h"
#include "sessions/SessionsModule.h"
#include "shell/MainDlg.h"
#include "ui/FixedButton.h"
#include "ui/ImageToggle.h"
#include "ui/ServerResponseDlg.h"

namespace sessions {
namespace {

using testsupport::SpinUntil;

class RoomEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server.Start());
        alice = LogIn("alice");
        bob = LogIn("bob");
        carol = LogIn("carol");
    }
    void TearDown() override {
        carol.reset();
        bob.reset();
        alice.reset();
    }

    std::unique_ptr<apptest::AppHarness> LogIn(const QString& user) {
        auto h = std::make_unique<apptest::AppHarness>(server.Endpoints());
        h->ConfirmLogin(user, user + "pass");
        EXPECT_TRUE(SpinUntil([&] {
            return h->state->MainWindow().isVisible() && !IdOf(*h, "Lobby").empty();
        })) << user.toStdString();
        return h;
    }
    static SessionsModule& Module(apptest::AppHarness& h) {
        return *h.state->FindModule<SessionsModule>();
    }
    static Rooms& List(apptest::AppHarness& h) { return *Module(h).RoomList(); }
    static std::string IdOf(apptest::AppHarness& h, const QString& name) {
        for (const SessionRow& r : Module(h).Page()->List().Model().Rows())
            if (r.name == name) return r.id.toStdString();
        return {};
    }
    CSessionDlg* Enter(apptest::AppHarness& h, const std::string& id) {
        Module(h).SendJoinSession(id, "");
        SpinUntil([&] { return List(h).Find(id) != nullptr; });
        return List(h).Find(id);
    }
    static QString Text(apptest::AppHarness& h, const std::string& id) {
        CSessionDlg* room = List(h).Find(id);
        return room ? room->TranscriptView()->toPlainText() : QString();
    }
    static bool Has(apptest::AppHarness& h, const std::string& id, const QString& line) {
        return SpinUntil([&] { return Text(h, id).contains(line); });
    }
    static int Count(apptest::AppHarness& h, const std::string& id) {
        CSessionDlg* room = List(h).Find(id);
        return room ? static_cast<int>(room->Participants().size()) : -1;
    }
    static void Say(CSessionDlg* room, const QString& text) {
        room->Input()->setPlainText(text);
        room->SendButton()->click();
    }
    static int Row(CSessionDlg* room, const std::string& name) {
        for (size_t i = 0; i < room->Participants().size(); ++i)
            if (room->Participants()[i].name == name) return static_cast<int>(i);
        return -1;
    }
    static QAction* Item(apptest::AppHarness& h, CSessionDlg* room, const std::string& target,
                         const QString& text) {
        if (!List(h).MenuFor(room, Row(room, target))) return nullptr;
        return List(h).MenuItem(text);
    }

    testsupport::LocalNetworkFixture server;
    std::unique_ptr<apptest::AppHarness> alice, bob, carol;
};

TEST_F(RoomEndToEnd, ThreeInTheLobbyTalkAndBobBansCarol) {
    const std::string lobby = IdOf(*alice, "Lobby");
    CSessionDlg* atAlice = Enter(*alice, lobby);
    CSessionDlg* atBob = Enter(*bob, lobby);
    CSessionDlg* atCarol = Enter(*carol, lobby);
    ASSERT_TRUE(atAlice && atBob && atCarol);
    ASSERT_TRUE(SpinUntil([&] { return Count(*alice, lobby) == 3; }));
    EXPECT_TRUE(Text(*alice, lobby).contains("] Say hello: everyone is welcome here.\n\n"));

    Say(atBob, "hello <b>everyone</b>");
    EXPECT_TRUE(atBob->Input()->toPlainText().isEmpty());
    for (auto* h : {alice.get(), bob.get(), carol.get()})
        EXPECT_TRUE(Has(*h, lobby, "bob: hello <b>everyone</b>"));
    // bob's own line came once, from the server.
    EXPECT_EQ(Text(*bob, lobby).count("bob: hello"), 1);

    // Info.
    atAlice->Button("INFO")->click();
    CSessionInfoDlg* info = List(*alice).InfoWindow();
    ASSERT_TRUE(SpinUntil([&] { return info->isVisible(); }));
    EXPECT_EQ(info->Value(1)->text(), "Lobby");
    EXPECT_EQ(info->Value(5)->text(), "3 out of a maximum of 200");
    EXPECT_EQ(info->Value(6)->text(), "No");

    // bob, the Lobby's moderator, bans carol for five minutes.
    QAction* remove = Item(*bob, atBob, "carol", "Remove from Session");
    ASSERT_TRUE(remove && remove->isEnabled());
    remove->trigger();
    CRemoveParticipantDlg* window = List(*bob).RemoveWindow();
    window->Ban()->setChecked(true);
    window->Minutes()->setText("5");
    window->accept();
    ASSERT_TRUE(SpinUntil([&] { return List(*carol).Find(lobby) == nullptr; }));
    EXPECT_TRUE(Has(*alice, lobby, "carol has left the session"));
    EXPECT_TRUE(Has(*bob, lobby, "carol has left the session"));
    EXPECT_EQ(Count(*alice, lobby), 2);
    Module(*carol).SendJoinSession(lobby, "");
    ASSERT_TRUE(SpinUntil([&] { return carol->state->ServerResponseWindow().isVisible(); }));
    EXPECT_TRUE(carol->state->ServerResponseWindow().Text().contains("banned"));
    EXPECT_EQ(List(*carol).Find(lobby), nullptr);

    // bob goes away with his COFFEE button: alice reads it in italics.
    atBob->Button("COFFEE")->click();
    EXPECT_EQ(bob->state->MainWindow().Status(), 2);
    ASSERT_TRUE(Has(*alice, lobby, "bob is away"));
    QTextDocument* doc = atAlice->TranscriptView()->document();
    bool italic = false;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().text().contains("is away"))
                italic = it.fragment().charFormat().fontItalic();
    EXPECT_TRUE(italic);

    // alice mutes bob: his next line does not reach her, the others read it.
    QAction* mute = Item(*alice, atAlice, "bob", "Mute");
    ASSERT_TRUE(mute);
    mute->trigger();
    Say(atBob, "after the mute");
    EXPECT_TRUE(Has(*bob, lobby, "bob: after the mute"));
    Say(atBob, "second");
    EXPECT_TRUE(Has(*bob, lobby, "bob: second"));
    EXPECT_FALSE(Text(*alice, lobby).contains("after the mute"));
    const auto& model = atAlice->List()->Model();
    EXPECT_TRUE(model.data(model.index(Row(atAlice, "bob")), Qt::ToolTipRole)
                    .toString()
                    .endsWith("currently ignored"));

    // A drop closes every room without a word and empties the list.
    for (localnet::ClientSession* s : server.Network().Sessions())
        if (s->Kind() == localnet::ServerKind::Network && s->Username() == "alice")
            s->Abort(QStringLiteral("dropped by the test"));
    ASSERT_TRUE(SpinUntil([&] { return List(*alice).Count() == 0; }));
    EXPECT_TRUE(Has(*bob, lobby, "alice has left the session"));
}

TEST_F(RoomEndToEnd, PromotionInvitationsAndAnOfflineInvitee) {
    // In her own session alice promotes and revokes bob.
    const std::string planning = IdOf(*alice, "Release Planning");
    CSessionDlg* atAlice = Enter(*alice, planning);
    ASSERT_TRUE(atAlice && Enter(*bob, planning));
    ASSERT_TRUE(SpinUntil([&] { return Count(*alice, planning) == 2; }));
    QAction* promote = Item(*alice, atAlice, "bob", "Promote to Moderator");
    ASSERT_TRUE(promote && promote->isEnabled());
    promote->trigger();
    EXPECT_TRUE(Has(*bob, planning, "bob is now a moderator"));
    ASSERT_TRUE(SpinUntil([&] { return atAlice->Participants()[1].moderator; }));
    QAction* revoke = Item(*alice, atAlice, "bob", "Revoke Moderator Status");
    ASSERT_TRUE(revoke && revoke->isEnabled());
    revoke->trigger();
    EXPECT_TRUE(Has(*bob, planning, "bob is now a participant"));

    // bob invites carol into his private session, the password included.
    const std::string projectX = IdOf(*bob, "Project X");
    CSessionDlg* atBob = Enter(*bob, projectX);
    ASSERT_TRUE(atBob);
    atBob->Button("INVITE")->click();
    CSessionInviteDlg* invite = List(*bob).InviteWindow();
    invite->Invitee()->setText("carol");
    invite->accept();
    auto* prompt = carol->state->FindModule<contacts::ContactsModule>()->InvitePrompt();
    ASSERT_TRUE(SpinUntil([&] { return prompt->isVisible(); }));
    EXPECT_EQ(prompt->InviterLine()->text(), "bob has invited you to join the following session:");
    prompt->AcceptButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return List(*carol).Find(projectX) != nullptr; }));
    EXPECT_TRUE(Has(*bob, projectX, "carol has joined the session"));

    // An invitee who is not online.
    atBob->Button("INVITE")->click();
    invite->Invitee()->setText("dave");
    invite->accept();
    ASSERT_TRUE(SpinUntil([&] { return bob->state->ServerResponseWindow().isVisible(); }));
    EXPECT_TRUE(bob->state->ServerResponseWindow().Text().contains("dave is not online"));
}

}  // namespace
}  // namespace sessions
