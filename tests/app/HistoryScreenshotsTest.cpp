// The Session History screenshots for the guide: the window at the top of
// the Lobby's tree, inside a year, during a download, and the text viewer
// with a day's log. Not a test of its own; run with PALINDOR_SCREENSHOT_DIR
// and the disabled tests included.

#include <gtest/gtest.h>

#include <QDate>
#include <QDir>
#include <QLabel>
#include <QPushButton>

#include "app/AppHarness.h"
#include "history/HistoryModule.h"
#include "history/SessionHistoryDlg.h"
#include "server/core/TransferEngine.h"
#include "sessions/ListSessionsZorvic.h"
#include "sessions/Rooms.h"
#include "sessions/SessionDlg.h"
#include "sessions/SessionPage.h"
#include "sessions/SessionsModule.h"
#include "shell/MainDlg.h"
#include "support/qt/LocalNetworkFixture.h"
#include "ui/FixedButton.h"
#include "ui/TextViewerDlg.h"

using testsupport::SpinUntil;

namespace {

int RowOf(history::CSessionHistoryDlg& w, const std::string& name) {
    for (int r = 0; r < w.Model().rowCount(); ++r)
        if (w.Model().EntryAt(r)->name == name) return r;
    return -1;
}

std::string LobbyOf(apptest::AppHarness& h) {
    auto* sessions = h.state->FindModule<sessions::SessionsModule>();
    for (const sessions::SessionRow& r : sessions->Page()->List().Model().Rows())
        if (r.name == "Lobby") return r.id.toStdString();
    return {};
}

}  // namespace

TEST(ScreenshotsChild, DISABLED_History) {
    const QString dir = apptest::ScreenshotDir();
    if (dir.isEmpty()) GTEST_SKIP() << "PALINDOR_SCREENSHOT_DIR is not set";
    ASSERT_TRUE(QDir().mkpath(dir));
    testsupport::LocalNetworkFixture network;
    ASSERT_TRUE(network.Start());
    // Small pieces, so that the long day's download can be caught running.
    network.Network().Transfers().SetChunkSize(512);
    network.Network().Transfers().SetHighWater(1024);
    apptest::AppHarness alice(network.Endpoints());
    apptest::AppHarness bob(network.Endpoints());
    alice.ConfirmLogin("alice", "alicepass");
    bob.ConfirmLogin("bob", "bobpass");
    ASSERT_TRUE(SpinUntil([&] {
        return alice.state->MainWindow().isVisible() && bob.state->MainWindow().isVisible() &&
               !LobbyOf(alice).empty() && !LobbyOf(bob).empty();
    }));
    const std::string lobby = LobbyOf(alice);
    auto* bobs = bob.state->FindModule<sessions::SessionsModule>();
    auto* alices = alice.state->FindModule<sessions::SessionsModule>();
    bobs->SendJoinSession(lobby, "");
    alices->SendJoinSession(lobby, "");
    ASSERT_TRUE(SpinUntil([&] {
        return bobs->RoomList()->Find(lobby) && alices->RoomList()->Find(lobby);
    }));
    sessions::CSessionDlg* atBob = bobs->RoomList()->Find(lobby);
    atBob->Input()->setPlainText("Morning, alice! The notes from yesterday are in the log.");
    atBob->SendButton()->click();
    sessions::CSessionDlg* atAlice = alices->RoomList()->Find(lobby);
    ASSERT_TRUE(SpinUntil(
        [&] { return atAlice->TranscriptView()->toPlainText().contains("notes from yesterday"); }));

    history::CSessionHistoryDlg& w = *alice.state->FindModule<history::HistoryModule>()->Window();
    atAlice->Button("HISTORY")->click();
    ASSERT_TRUE(SpinUntil([&] { return w.isVisible() && w.Path() == "/"; }));
    w.SelectRow(RowOf(w, "logs"));
    ASSERT_TRUE(apptest::SaveScreenshot(w, dir, "history-root.png"));

    const std::string year = std::to_string(QDate::currentDate().year() - 1);
    w.RowActivated(RowOf(w, "logs"));
    ASSERT_TRUE(SpinUntil([&] { return w.Path() == "logs"; }));
    w.RowActivated(RowOf(w, year));
    ASSERT_TRUE(SpinUntil([&] { return w.Path() == "logs/" + year; }));
    w.SelectRow(RowOf(w, year + "-05-23.txt"));
    ASSERT_TRUE(apptest::SaveScreenshot(w, dir, "history-year.png"));

    // The day's log in the viewer.
    w.ViewButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return w.Viewer() && w.Viewer()->isVisible(); }));
    ASSERT_TRUE(apptest::SaveScreenshot(*w.Viewer(), dir, "history-viewer.png"));
    w.Viewer()->close();

    // The long day, caught on its way.
    w.SelectRow(RowOf(w, year + "-09-30.txt"));
    w.ViewButton()->click();
    ASSERT_TRUE(SpinUntil([&] {
        return w.Downloading() && w.Percent()->text().size() >= 3;  // 10% or more
    }, std::chrono::seconds(60)));
    ASSERT_TRUE(w.grab().save(QDir(dir).filePath("history-download.png")));
    w.ViewButton()->click();  // Cancel
    EXPECT_FALSE(w.Downloading());
}
