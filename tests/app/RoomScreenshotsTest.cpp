// The session room pictures of the guide: the Lobby with styled lines,
// events and every look of a participant, its participant menu, and the
// Invite, Remove Participant and Session Info windows.

#include <gtest/gtest.h>

#include <QDir>
#include <QMenu>

#include "app/AppHarness.h"
#include "contacts/ContactsModule.h"
#include "sessions/ListSessionsZorvic.h"
#include "sessions/Rooms.h"
#include "sessions/SessionPage.h"
#include "sessions/SessionsModule.h"
#include "shell/MainDlg.h"
#include "shell/Settings.h"
#include "support/qt/LocalNetworkFixture.h"
#include "ui/FixedButton.h"

using apptest::AppHarness;
using testsupport::SpinUntil;

namespace {

sessions::SessionsModule& Module(AppHarness& h) {
    return *h.state->FindModule<sessions::SessionsModule>();
}

std::string LobbyId(AppHarness& h) {
    for (const sessions::SessionRow& r : Module(h).Page()->List().Model().Rows())
        if (r.name == "Lobby") return r.id.toStdString();
    return {};
}

std::unique_ptr<AppHarness> LogIn(testsupport::LocalNetworkFixture& network, const QString& user) {
    auto h = std::make_unique<AppHarness>(network.Endpoints());
    h->ConfirmLogin(user, user + "pass");
    EXPECT_TRUE(SpinUntil([&] { return h->state->MainWindow().isVisible() && !LobbyId(*h).empty(); }));
    return h;
}

void Style(AppHarness& h, int font, QColor colour, bool bold, bool italic) {
    shell::Settings* settings = h.state->FindModule<contacts::ContactsModule>()->SettingsInUse();
    shell::SettingsValues v = settings->Values();
    v.fontIndex = font;
    v.red = colour.red();
    v.green = colour.green();
    v.blue = colour.blue();
    v.bold = bold;
    v.italic = italic;
    v.timestamp = true;
    settings->SetValues(v);
}

sessions::CSessionDlg* Enter(AppHarness& h, const std::string& id) {
    Module(h).SendJoinSession(id, "");
    SpinUntil([&] { return Module(h).RoomList()->Find(id) != nullptr; });
    return Module(h).RoomList()->Find(id);
}

void Say(AppHarness& h, const std::string& id, const QString& text) {
    sessions::CSessionDlg* room = Module(h).RoomList()->Find(id);
    room->Input()->setPlainText(text);
    room->SendButton()->click();
}

}  // namespace

TEST(ScreenshotsChild, DISABLED_Room) {
    const QString dir = apptest::ScreenshotDir();
    if (dir.isEmpty()) GTEST_SKIP() << "PALINDOR_SCREENSHOT_DIR is not set";
    ASSERT_TRUE(QDir().mkpath(dir));
    testsupport::LocalNetworkFixture network;
    ASSERT_TRUE(network.Start());

    auto alice = LogIn(network, "alice");
    auto bob = LogIn(network, "bob");
    auto carol = LogIn(network, "carol");
    auto admin = LogIn(network, "admin");
    const std::string lobby = LobbyId(*alice);
    Style(*alice, 5, QColor(0, 0, 0), false, false);
    Style(*bob, 2, QColor(0, 90, 160), true, false);
    Style(*carol, 6, QColor(160, 40, 120), false, true);
    Style(*admin, 3, QColor(20, 120, 40), false, false);

    sessions::CSessionDlg* room = Enter(*alice, lobby);
    ASSERT_NE(room, nullptr);
    Enter(*bob, lobby);
    Enter(*carol, lobby);
    Enter(*admin, lobby);
    Say(*bob, lobby, "Morning all! The agenda is at www.example.org/agenda");
    ASSERT_TRUE(SpinUntil([&] { return room->TranscriptView()->toPlainText().contains("agenda"); }));
    Say(*carol, lobby, "Thanks bob, reading it now.");
    ASSERT_TRUE(SpinUntil([&] { return room->TranscriptView()->toPlainText().contains("reading"); }));
    Say(*alice, lobby, "I'll bring the <numbers> from last week.");
    ASSERT_TRUE(SpinUntil([&] { return room->TranscriptView()->toPlainText().contains("numbers"); }));
    carol->state->MainWindow().SetStatus(2);
    ASSERT_TRUE(SpinUntil([&] { return room->TranscriptView()->toPlainText().contains("carol is away"); }));
    ASSERT_TRUE(SpinUntil([&] { return room->Participants().size() == 4; }));
    alice->state->FindModule<contacts::ContactsModule>()->SetMuted("admin", true);
    room->show();
    room->raise();
    EXPECT_TRUE(apptest::SaveScreenshot(*room, dir, "room-lobby.png"));

    sessions::Rooms& rooms = *Module(*alice).RoomList();
    // bob, a moderator, opens the menu on carol.
    sessions::Rooms& bobRooms = *Module(*bob).RoomList();
    sessions::CSessionDlg* bobRoom = bobRooms.Find(lobby);
    int carolRow = 0;
    for (size_t i = 0; i < bobRoom->Participants().size(); ++i)
        if (bobRoom->Participants()[i].name == "carol") carolRow = static_cast<int>(i);
    QMenu* menu = bobRooms.MenuFor(bobRoom, carolRow);
    ASSERT_NE(menu, nullptr);
    menu->popup(QPoint(100, 100));
    EXPECT_TRUE(apptest::SaveScreenshot(*menu, dir, "room-menu.png"));
    menu->hide();

    rooms.InviteWindow()->Open(lobby);
    rooms.InviteWindow()->Invitee()->setText("dave");
    ASSERT_TRUE(SpinUntil([&] { return rooms.InviteWindow()->isVisible(); }));
    EXPECT_TRUE(apptest::SaveScreenshot(*rooms.InviteWindow(), dir, "room-invite.png"));
    rooms.InviteWindow()->hide();

    bobRooms.RemoveWindow()->Open(lobby, "carol");
    bobRooms.RemoveWindow()->Ban()->setChecked(true);
    bobRooms.RemoveWindow()->Minutes()->setText("5");
    ASSERT_TRUE(SpinUntil([&] { return bobRooms.RemoveWindow()->isVisible(); }));
    EXPECT_TRUE(apptest::SaveScreenshot(*bobRooms.RemoveWindow(), dir, "room-remove.png"));
    bobRooms.RemoveWindow()->hide();

    room->Button("INFO")->click();
    ASSERT_TRUE(SpinUntil([&] { return rooms.InfoWindow()->isVisible(); }));
    EXPECT_TRUE(apptest::SaveScreenshot(*rooms.InfoWindow(), dir, "room-info.png"));
}
