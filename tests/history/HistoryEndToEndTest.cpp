// Two whole programs against the in-process local network: bob speaks in
// the Lobby, alice walks its history to today's log and reads it; long
// downloads are cancelled or cut by a drop.

#include <gtest/gtest.h>

#include <QDate>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>

#include "app/AppHarness.h"
#include "history/HistoryModule.h"
#include "history/SessionHistoryDlg.h"
#include "net/Client.h"
#include "server/core/ClientSession.h"
#include "server/core/TransferEngine.h"
#include "server/history/HistoryService.h"
#include "sessions/ListSessionsZorvic.h"
#include "sessions/Rooms.h"
#include "sessions/SessionDlg.h"
#include "sessions/SessionPage.h"
#include "sessions/SessionsModule.h"
#include "shell/MainDlg.h"
#include "ui/FixedButton.h"
#include "ui/ServerResponseDlg.h"
#include "ui/TextViewerDlg.h"

namespace history {
namespace {

using testsupport::SpinUntil;

class HistoryEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server.Start());
        // Small pieces, little ahead of the socket: a long log takes a while.
        server.Network().Transfers().SetChunkSize(1024);
        server.Network().Transfers().SetHighWater(2048);
        alice = LogIn("alice");
        bob = LogIn("bob");
        lobby = IdOf(*alice, "Lobby");
    }
    void TearDown() override {
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
    static sessions::SessionsModule& Sessions(apptest::AppHarness& h) {
        return *h.state->FindModule<sessions::SessionsModule>();
    }
    static CSessionHistoryDlg& Window(apptest::AppHarness& h) {
        return *h.state->FindModule<HistoryModule>()->Window();
    }
    static std::string IdOf(apptest::AppHarness& h, const QString& name) {
        for (const sessions::SessionRow& r : Sessions(h).Page()->List().Model().Rows())
            if (r.name == name) return r.id.toStdString();
        return {};
    }
    sessions::CSessionDlg* Enter(apptest::AppHarness& h) {
        Sessions(h).SendJoinSession(lobby, "");
        SpinUntil([&] { return Sessions(h).RoomList()->Find(lobby) != nullptr; });
        return Sessions(h).RoomList()->Find(lobby);
    }
    static int RowOf(CSessionHistoryDlg& w, const std::string& name) {
        for (int r = 0; r < w.Model().rowCount(); ++r)
            if (w.Model().EntryAt(r)->name == name) return r;
        return -1;
    }
    static bool Shows(CSessionHistoryDlg& w, const std::string& path) {
        return SpinUntil([&] { return w.isVisible() && w.Path() == path; });
    }
    QString ServerFile(const std::string& relative) const {
        return QString::fromStdString(server.DataDir()) + "/localnet/" +
               localnet::HistoryService::HistoryFolder("1234567", QString::fromStdString(lobby)) +
               "/" + QString::fromStdString(relative);
    }
    static QByteArray Read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    // alice's window showing the folder of the demo's long day, that day selected.
    void OpenLongDay(CSessionHistoryDlg& w) {
        const std::string year = std::to_string(QDate::currentDate().year() - 1);
        ASSERT_TRUE(w.RequestHistory(lobby, "logs/" + year));
        ASSERT_TRUE(Shows(w, "logs/" + year));
        const int row = RowOf(w, year + "-09-30.txt");
        ASSERT_GE(row, 0);
        ASSERT_GE(w.Model().EntryAt(row)->size, 4 * 1024 * 1024);
        w.SelectRow(row);
    }

    testsupport::LocalNetworkFixture server;
    std::unique_ptr<apptest::AppHarness> alice, bob;
    std::string lobby;
};

TEST_F(HistoryEndToEnd, AliceReadsWhatBobSaidInTheLobbyToday) {
    sessions::CSessionDlg* atBob = Enter(*bob);
    sessions::CSessionDlg* atAlice = Enter(*alice);
    ASSERT_TRUE(atBob && atAlice);
    atBob->Input()->setPlainText("hello from bob");
    atBob->SendButton()->click();
    ASSERT_TRUE(SpinUntil(
        [&] { return atAlice->TranscriptView()->toPlainText().contains("bob: hello from bob"); }));

    ui::CFixedButton* history = atAlice->Button("HISTORY");
    ASSERT_TRUE(history && history->isEnabled());
    history->click();
    CSessionHistoryDlg& w = Window(*alice);
    ASSERT_TRUE(Shows(w, "/"));
    EXPECT_EQ(w.SessionId(), lobby);
    EXPECT_FALSE(w.BackButton()->isEnabled());
    EXPECT_FALSE(w.ViewButton()->isEnabled());
    EXPECT_EQ(w.PathText()->text(), "/");
    const int archive = RowOf(w, "archive");
    ASSERT_GE(archive, 0);
    EXPECT_EQ(w.Model().EntryAt(archive)->locked, 1);

    // The locked folder asks for nothing: the next listing is the one asked
    // for after it, and no refusal came.
    w.RowActivated(archive);
    w.RowActivated(RowOf(w, "logs"));
    ASSERT_TRUE(Shows(w, "logs"));
    EXPECT_FALSE(alice->state->ServerResponseWindow().isVisible());
    EXPECT_EQ(w.PathText()->text(), "/logs");
    EXPECT_TRUE(w.BackButton()->isEnabled());

    const QDate today = QDate::currentDate();
    const std::string year = today.toString("yyyy").toStdString();
    w.RowActivated(RowOf(w, year));
    ASSERT_TRUE(Shows(w, "logs/" + year));
    // BACK climbs one folder at a time.
    w.BackButton()->click();
    ASSERT_TRUE(Shows(w, "logs"));
    w.BackButton()->click();
    ASSERT_TRUE(Shows(w, "/"));
    EXPECT_FALSE(w.BackButton()->isEnabled());
    w.RowActivated(RowOf(w, "logs"));
    ASSERT_TRUE(Shows(w, "logs"));
    w.RowActivated(RowOf(w, year));
    ASSERT_TRUE(Shows(w, "logs/" + year));

    const std::string name = today.toString("yyyy-MM-dd").toStdString() + ".txt";
    const int row = RowOf(w, name);
    ASSERT_GE(row, 0);
    w.SelectRow(row);
    ASSERT_TRUE(w.ViewButton()->isEnabled());
    w.ViewButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return w.Viewer() != nullptr && w.Viewer()->isVisible(); }));
    EXPECT_TRUE(w.Viewer()->Text().contains("] bob: hello from bob"));
    EXPECT_TRUE(w.Viewer()->Text().contains("] alice has joined the session"));
    EXPECT_EQ(w.ViewButton()->text(), "View File");
    EXPECT_FALSE(w.Downloading());
    EXPECT_EQ(Read(QString::fromStdString(w.LocalFile())),
              Read(ServerFile("logs/" + year + "/" + name)));
    EXPECT_EQ(w.LocalFile(), alice->DataFile("files/remote/sessionhistory/sessionhistory"));

    // The viewer's menu saves the log as downloaded, under the log's name.
    const QString saved = QString::fromStdString(alice->home.file("saved log.txt"));
    alice->dialogs.fileNames.push_back(saved);
    std::unique_ptr<QMenu> menu(w.Viewer()->ContextMenu({}));
    QAction* save = nullptr;
    for (QAction* a : menu->actions())
        if (a->text() == "Save as Text...") save = a;
    ASSERT_NE(save, nullptr);
    save->trigger();
    EXPECT_EQ(alice->dialogs.files.back().path, QString::fromStdString(name));
    EXPECT_EQ(Read(saved), Read(ServerFile("logs/" + year + "/" + name)));
}

TEST_F(HistoryEndToEnd, CancelLeavesNoViewerAndFreesTheSlotOnBothSides) {
    ASSERT_TRUE(Enter(*alice));
    CSessionHistoryDlg& w = Window(*alice);
    OpenLongDay(w);
    w.ViewButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return w.Downloading(); }));
    EXPECT_EQ(w.ViewButton()->text(), "Cancel");
    EXPECT_EQ(server.Network().Transfers().ActiveDownloads(), 1);
    w.ViewButton()->click();
    EXPECT_FALSE(w.Downloading());
    EXPECT_EQ(w.ViewButton()->text(), "View File");
    EXPECT_TRUE(w.Percent()->text().isEmpty());
    EXPECT_EQ(w.Progress()->value(), 0);
    EXPECT_FALSE(alice->state->Client().FileServer().Slot(kHistorySlot).Busy());
    // The server heard it: its side of the slot is free long before the
    // five megabytes could have gone.
    ASSERT_TRUE(SpinUntil([&] { return server.Network().Transfers().ActiveDownloads() == 0; }));
    SpinUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_EQ(w.Viewer(), nullptr);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(w.LocalFile())));

    // The slot takes the next download, which runs to the end.
    const std::string year = std::to_string(QDate::currentDate().year() - 1);
    w.SelectRow(RowOf(w, year + "-05-23.txt"));
    w.ViewButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return w.Viewer() != nullptr; }));
    EXPECT_TRUE(w.Viewer()->Text().contains("has joined the session"));
    EXPECT_EQ(Read(QString::fromStdString(w.LocalFile())),
              Read(ServerFile("logs/" + year + "/" + year + "-05-23.txt")));
}

TEST_F(HistoryEndToEnd, AServerFileNameNeverBecomesALocalPathAndARefusalChangesNothing) {
    ASSERT_TRUE(Enter(*alice));
    CSessionHistoryDlg& w = Window(*alice);
    CHistoryListing crafted;
    crafted.path = "logs";
    crafted.sessionId = lobby;
    documents::CDocumentEntry e;
    e.name = "../../../escape.txt";
    e.type = documents::kEntryFile;
    e.size = 10;
    e.sizeText = "10 B";
    crafted.entries.push_back(e);
    w.ShowListing(crafted);
    w.SelectRow(0);
    const QString before = w.Summary()->text();
    w.ViewButton()->click();
    EXPECT_TRUE(alice->state->Client().FileServer().Slot(kHistorySlot).Busy());  // asked
    // The server refuses a name that is no plain file name; the slot is free
    // again and the window is as it was.
    ASSERT_TRUE(SpinUntil([&] {
        return !alice->state->Client().FileServer().Slot(kHistorySlot).Busy();
    }));
    EXPECT_FALSE(w.Downloading());
    EXPECT_EQ(w.ViewButton()->text(), "View File");
    EXPECT_TRUE(w.ViewButton()->isEnabled());
    EXPECT_EQ(w.Summary()->text(), before);
    EXPECT_EQ(w.Path(), "logs");
    EXPECT_EQ(w.Viewer(), nullptr);
    // Nothing of that name was made anywhere in alice's home.
    QDirIterator it(QString::fromStdString(alice->home.path()), QDir::Files | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) EXPECT_FALSE(it.next().endsWith("escape.txt")) << it.filePath().toStdString();
    EXPECT_FALSE(QFile::exists(QString::fromStdString(alice->home.path()) + "/escape.txt"));
}

TEST_F(HistoryEndToEnd, ADropMidDownloadHidesAndResetsTheWindow) {
    ASSERT_TRUE(Enter(*alice));
    CSessionHistoryDlg& w = Window(*alice);
    OpenLongDay(w);
    w.ViewButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return w.Downloading(); }));
    for (localnet::ClientSession* s : server.Network().Sessions())
        if (s->Kind() == localnet::ServerKind::File && s->Username() == "alice")
            s->Abort(QStringLiteral("dropped by the test"));
    ASSERT_TRUE(SpinUntil([&] { return !w.isVisible() && !w.Downloading(); }));
    EXPECT_EQ(w.ViewButton()->text(), "View File");
    EXPECT_EQ(w.Progress()->value(), 0);
    EXPECT_TRUE(w.Percent()->text().isEmpty());
    EXPECT_EQ(w.Viewer(), nullptr);
}

}  // namespace
}  // namespace history
