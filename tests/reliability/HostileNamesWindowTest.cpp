// Names a server hands out, taken through the windows a user works in: an
// attachment's name in the message window, log names in the session
// history, account names in the whiteboard windows, and poll owners in the
// Polling Center. Whatever the names, every file the program writes lies in
// its data folder or at the path the user chose, and the user sees a saved
// file or the refusal the network gives.

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTest>

#include "app/AppHarness.h"
#include "contacts/ContactList.h"
#include "contacts/ContactsModule.h"
#include "history/HistoryListing.h"
#include "history/HistoryModule.h"
#include "history/SessionHistoryDlg.h"
#include "mailbox/ListMessage.h"
#include "mailbox/MailboxDlg.h"
#include "mailbox/MailboxMessageDlg.h"
#include "mailbox/MailboxModule.h"
#include "net/Client.h"
#include "net/Protocol.h"
#include "net/RoutingTestSupport.h"
#include "polls/ListPolls.h"
#include "polls/PollingCenterDlg.h"
#include "polls/PollsModule.h"
#include "polls/model/PollFiles.h"
#include "server/mailbox/MailboxService.h"
#include "sessions/ListSessionsZorvic.h"
#include "sessions/Rooms.h"
#include "sessions/SessionDlg.h"
#include "sessions/SessionPage.h"
#include "sessions/SessionsModule.h"
#include "shell/MainDlg.h"
#include "support/TempDir.h"
#include "support/qt/LocalNetworkFixture.h"
#include "ui/FixedButton.h"
#include "ui/ServerResponseDlg.h"
#include "ui/TextViewerDlg.h"
#include "whiteboard/NotepadDrawDlg.h"
#include "whiteboard/NotepadViewDlg.h"
#include "whiteboard/WhiteboardModule.h"

using testsupport::SpinUntil;

namespace {

// What every name below would make, were it followed as a path.
constexpr char kMarker[] = "zz-escaped";

// Names built to leave a folder: its parent, climbs of every depth from the
// data folder's files up past the user's home, absolute paths, a NUL that a
// C string would stop at, and one far longer than a file name.
std::vector<std::string> HostileNames() {
    std::vector<std::string> names = {".."};
    for (int up : {2, 4, 5, 6, 12}) {
        std::string climb;
        for (int i = 0; i < up; ++i) climb += "../";
        names.push_back(climb + (up == 12 ? "tmp/" : "") + kMarker);
    }
    names.push_back(std::string("/tmp/") + kMarker);
    names.push_back(std::string("a\0/../../", 9) + kMarker);
    names.push_back(std::string(5000, 'n') + ".txt");
    return names;
}

QSet<QString> FilesUnder(const QString& folder) {
    QSet<QString> found;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) found << it.next();
    return found;
}

// The user's home, looked at before and after: every file that appeared
// lies in the data folder or is one the user chose, nothing named by the
// server appeared beside the home or in the temporary folder, and the decoys
// laid where a climb out of the data folder would land (the home, and the
// folder above the data folder) are untouched: a file made there and taken
// away again still shows.
class HomeScan {
  public:
    HomeScan(const std::string& home, const std::string& dataDir)
        : home_(QString::fromStdString(home)),
          data_(QDir(QString::fromStdString(dataDir)).canonicalPath() + "/") {
        for (QString folder = QFileInfo(QString::fromStdString(dataDir)).absolutePath();
             folder.startsWith(home_); folder = QFileInfo(folder).absolutePath()) {
            QFile decoy(folder + "/" + kMarker);
            if (decoy.open(QIODevice::WriteOnly)) decoy.write(kDecoy);
            decoys_ << decoy.fileName();
        }
        before_ = FilesUnder(home_);
        beside_ = Marked(QFileInfo(home_).absolutePath());
    }

    QString Strays(const QStringList& chosen = {}) const {
        QStringList out;
        for (const QString& f : FilesUnder(home_)) {
            if (before_.contains(f) || chosen.contains(f)) continue;
            if (!QFileInfo(f).canonicalFilePath().startsWith(data_)) out << f;
        }
        for (const QString& d : decoys_) {
            QFile decoy(d);
            if (!decoy.open(QIODevice::ReadOnly) || decoy.readAll() != kDecoy) out << d;
        }
        const QStringList beside = Marked(QFileInfo(home_).absolutePath());
        for (const QString& f : beside)
            if (!beside_.contains(f)) out << f;
        if (QFileInfo::exists(QStringLiteral("/tmp/") + kMarker)) out << "/tmp/" + QString(kMarker);
        out.sort();
        return out.join(' ');
    }
    int Decoys() const { return int(decoys_.size()); }

  private:
    static constexpr char kDecoy[] = "a decoy: nothing may write here";
    static QStringList Marked(const QString& folder) {
        return QDir(folder).entryList({QStringLiteral("*") + kMarker + "*"},
                                      QDir::AllEntries | QDir::Hidden | QDir::System);
    }
    QString home_;
    QString data_;
    QStringList decoys_;
    QSet<QString> before_;
    QStringList beside_;
};

// A plain file name: put in a folder, it names a file in that folder.
void ExpectPlainName(const QString& name) {
    SCOPED_TRACE(name.toStdString());
    EXPECT_FALSE(name.isEmpty());
    EXPECT_FALSE(name.contains('/') || name.contains('\\') || name.contains(QChar(0)));
    EXPECT_NE(name, ".");
    EXPECT_NE(name, "..");
    EXPECT_LE(name.toUtf8().size(), 255);
}

class HostileNamesWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        network.Options().seedDemo = true;
        ASSERT_TRUE(network.Start());
    }
    std::unique_ptr<apptest::AppHarness> LogIn(const QString& user) {
        auto h = std::make_unique<apptest::AppHarness>(network.Endpoints());
        h->ConfirmLogin(user, user + "pass");
        EXPECT_TRUE(SpinUntil([&] { return h->state->MainWindow().isVisible(); }));
        return h;
    }
    static HomeScan Scan(apptest::AppHarness& h) {
        HomeScan scan(h.home.path(), h.state->Client().DataDirectory());
        EXPECT_EQ(scan.Decoys(), 2);  // the home, and the folder holding the data folder
        return scan;
    }
    static QString ResponseText(apptest::AppHarness& h) {
        auto& w = h.state->ServerResponseWindow();
        return w.isVisible() ? w.Text() : QString();
    }
    static bool SlotFree(apptest::AppHarness& h, int number) {
        return SpinUntil([&] {
            auto& slot = h.state->Client().FileServer().Slot(number);
            auto lock = slot.Lock();
            return !slot.Busy();
        });
    }
    localnet::MailboxService& Mailbox() {
        for (const auto& s : network.Network().AllServices())
            if (auto* m = dynamic_cast<localnet::MailboxService*>(s.get())) return *m;
        ADD_FAILURE() << "no mailbox service";
        std::abort();
    }
    // Enters the room of a session of the demo and returns its id.
    static std::string EnterRoom(apptest::AppHarness& h, const QString& name) {
        auto& rooms = *h.state->FindModule<sessions::SessionsModule>();
        std::string id;
        EXPECT_TRUE(SpinUntil([&] {
            for (const sessions::SessionRow& r : rooms.Page()->List().Model().Rows())
                if (r.name == name) id = r.id.toStdString();
            return !id.empty();
        }));
        rooms.SendJoinSession(id, "");
        EXPECT_TRUE(SpinUntil([&] {
            auto* room = rooms.RoomList()->Find(id);
            return room && !room->Participants().empty();
        }));
        return id;
    }

    testsupport::LocalNetworkFixture network;
};

// (The attachment's name.) The network keeps each hostile name as alice
// gave it and hands it out (cut to the length its answer carries); bob's
// save dialog is offered a plain name, and the attachment goes only to the
// file bob chose.
TEST_F(HostileNamesWindow, AnAttachmentIsSavedOnlyWhereTheUserChose) {
    // Only the save dialog's proposal comes of these names: the climbs of
    // middling depth add nothing here.
    std::vector<std::string> names;
    for (const std::string& name : HostileNames())
        if (name.rfind("../../../", 0) != 0 || name.size() > 40) names.push_back(name);
    names.push_back("..\\..\\" + std::string(kMarker) + ".txt");
    const QByteArray bytes("the attachment's own bytes\n");
    for (size_t i = 0; i < names.size(); ++i) {
        localnet::MailboxService::Delivery d;
        d.number = "1234567";
        d.sender = "alice";
        d.recipients = {"bob"};
        d.subject = QStringLiteral("Hostile %1").arg(i);
        d.body = "See the attachment.";
        d.hasAttachment = true;
        d.attachmentName = QString::fromUtf8(names[i].data(), qsizetype(names[i].size()));
        d.attachment = bytes;
        QString error;
        ASSERT_TRUE(Mailbox().Deliver(d, nullptr, &error)) << error.toStdString();
    }
    auto bob = LogIn("bob");
    const HomeScan scan = Scan(*bob);
    auto& mail = *bob->state->FindModule<mailbox::MailboxModule>();
    mailbox::CMailboxDlg& box = *mail.Window();
    mailbox::CMailboxMessageDlg& reader = *mail.Reader();
    const auto rowOf = [&](size_t i) {
        for (int r = 0; r < box.List()->model()->rowCount(); ++r)
            if (box.List()->model()->index(r, 1).data().toString() ==
                QStringLiteral("Hostile %1").arg(i))
                return r;
        return -1;
    };
    bob->state->MainWindow().ToolButton(shell::Tool::Mail)->click();
    ASSERT_TRUE(SpinUntil([&] { return box.isVisible() && rowOf(names.size() - 1) >= 0; }));
    const auto open = [&](size_t i) {
        reader.hide();
        box.OpenMessage(rowOf(i));
        return SpinUntil([&] {
            return reader.isVisible() &&
                   reader.SubjectField()->text() == QStringLiteral("Hostile %1").arg(i);
        });
    };

    for (size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(open(i));
        // The field shows the server's name; saving is offered.
        EXPECT_FALSE(reader.AttachmentField()->text().isEmpty());
        ASSERT_TRUE(reader.DownloadButton()->isEnabled());
        const int asked = int(bob->dialogs.files.size());
        reader.DownloadButton()->click();  // the save dialog is cancelled
        ASSERT_EQ(int(bob->dialogs.files.size()), asked + 1);
        ExpectPlainName(bob->dialogs.files.back().path);
        EXPECT_FALSE(reader.Downloading());
    }
    EXPECT_EQ(scan.Strays().toStdString(), "");

    // Saved under the climbing name: the bytes go to the chosen file and
    // nowhere else.
    testsupport::TempDir chosen;
    const QString target = QString::fromStdString(chosen.path()) + "/mine.bin";
    ASSERT_TRUE(open(1));
    bob->dialogs.fileNames.push_back(target);
    reader.DownloadButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return !reader.Downloading(); }));
    QFile saved(target);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), bytes);
    EXPECT_EQ(FilesUnder(QString::fromStdString(chosen.path())), QSet<QString>{target});
    EXPECT_EQ(scan.Strays().toStdString(), "");
    EXPECT_TRUE(SlotFree(*bob, mailbox::CMailboxMessageDlg::kTransferSlotAttachment));
}

// The message window against a scripted server that sends what the local
// network never would: attachment names longer than the answer may carry,
// with a NUL, or climbing out of folders.
class HostileMailServer : public ::testing::Test {
  protected:
    void SetUp() override {
        h = std::make_unique<apptest::AppHarness>();
        auto* module = h->state->FindModule<mailbox::MailboxModule>();
        box = module->Window();
        reader = module->Reader();
        box->OpenMailbox();
        Serve(15, "MAILBOX_ROOTDIR_INBOX\nPrimary 2 Primary\n");
        Serve(16, "13 4 1 alice 1700000100 Figures\n");
        Drain();
    }
    net::Client& Client() { return h->state->Client(); }
    void Route(net::MessageWriter& m, net::Primary p) {
        const net::bufHeader header =
            routingtest::Receive(Client().FileServer(), m, p, +net::Secondary::Response);
        Client().router().RouteMsg(Client().FileServer(), header);
    }
    void Serve(int32_t slot, const std::string& bytes) {
        net::MessageWriter m(net::download::kStart);
        m.Int(slot).Int(int32_t(bytes.size())).Raw(bytes.data(), int(bytes.size()));
        Route(m, net::Primary::Download);
    }
    void AttachmentName(const std::string& name) {
        net::MessageWriter m(9);
        m.Str(name);
        Route(m, net::Primary::Mailbox);
    }
    // The requests queued since the last look, as "primary/code".
    std::vector<std::string> Drain() {
        std::vector<std::string> out;
        for (const auto& sent : routingtest::Drain(Client().FileServer()))
            out.push_back(std::to_string(sent.header.nDescPrimary) + "/" +
                          std::to_string(sent.Reader().Code()));
        return out;
    }
    // Opens the one message and answers its name request with `name`.
    void Open(const std::string& name) {
        box->OpenMessage(0);
        ASSERT_EQ(Drain(), std::vector<std::string>{"14/4"});
        AttachmentName(name);
    }
    // The rest of an opening: the recipient list and the body.
    bool Finish() {
        if (Drain() != std::vector<std::string>{"3/12"}) return false;
        Serve(22, "0 bob bob\n");
        if (Drain() != std::vector<std::string>{"3/13"}) return false;
        Serve(23, "Attached.");
        return SpinUntil([&] { return reader->isVisible(); });
    }

    std::unique_ptr<apptest::AppHarness> h;
    mailbox::CMailboxDlg* box = nullptr;
    mailbox::CMailboxMessageDlg* reader = nullptr;
};

// An answer too long to be a name is no name: nothing opens from it, and
// the next opening of the message is not mistaken for the one it ended.
TEST_F(HostileMailServer, AnUnreadableAttachmentNameLeavesLaterOpeningsWhole) {
    Open(std::string(5000, 'n') + ".txt");
    EXPECT_EQ(Drain(), std::vector<std::string>{});
    EXPECT_FALSE(reader->isVisible());

    Open("../../../../" + std::string(kMarker) + "\n");
    ASSERT_TRUE(Finish());
    EXPECT_EQ(reader->AttachmentField()->text(), "../../../../" + QString(kMarker));
    reader->DownloadButton()->click();  // the save dialog is cancelled
    ASSERT_FALSE(h->dialogs.files.isEmpty());
    ExpectPlainName(h->dialogs.files.back().path);

    // A NUL in the name: the save dialog is still offered a plain name.
    reader->hide();
    Open(std::string("a\0/../../", 9) + kMarker + "\n");
    ASSERT_TRUE(Finish());
    reader->DownloadButton()->click();
    ExpectPlainName(h->dialogs.files.back().path);
    EXPECT_FALSE(reader->Downloading());
}

// A history listing as it comes off the wire.
struct HistoryWire {
    HistoryWire(const std::string& path, const std::string& id) : w(16) { w.Str(path).Str(id); }
    HistoryWire& File(const std::string& name) {
        w.Int(documents::kEntryFile).Int(10).Int(0).Str(name).Str("Tue Mar  4 09:15:02 2025\n");
        return *this;
    }
    bool Decode(history::CHistoryListing& out) {
        message = w.Finish(net::Primary::Session, net::Secondary::Response);
        if (!message) return false;
        message->done = message->remaining;
        if (message->ParseHeader(header) != net::kParseComplete) return false;
        net::MessageReader reader(*message, header);
        history::DecodeHistoryListing(reader, out);
        return true;
    }
    net::MessageWriter w;
    std::unique_ptr<net::MessageBuffer> message;
    net::bufHeader header;
};

// (Log names and folder paths.) A listing full of hostile names, decoded as
// the module decodes it: each chosen log is asked for and lands, if at all,
// in the one local file; the network refuses them and the window stays as it
// was. Were a log served under such a name, its viewer offers a plain name
// to save it under.
TEST_F(HostileNamesWindow, HistoryLogsLandOnlyInTheirOneLocalFile) {
    auto alice = LogIn("alice");
    const std::string lobby = EnterRoom(*alice, "Lobby");
    history::CSessionHistoryDlg& w = *alice->state->FindModule<history::HistoryModule>()->Window();
    const HomeScan scan = Scan(*alice);

    const std::vector<std::string> names = HostileNames();
    for (const std::string& path : {std::string("logs"), std::string("../../") + kMarker}) {
        SCOPED_TRACE(path);
        HistoryWire wire(path, lobby);
        for (const std::string& name : names) wire.File(name);
        history::CHistoryListing listing;
        ASSERT_TRUE(wire.Decode(listing));
        // The over-long name is no entry: the list ends before it.
        ASSERT_EQ(listing.entries.size(), names.size() - 1);
        w.ShowListing(listing);
        for (int row = 0; row < w.Model().rowCount(); ++row) {
            SCOPED_TRACE(row);
            w.SelectRow(row);
            ASSERT_TRUE(w.ViewButton()->isEnabled());
            w.ViewButton()->click();
            ASSERT_TRUE(SlotFree(*alice, history::kHistorySlot));
            EXPECT_FALSE(w.Downloading());
            EXPECT_EQ(w.ViewButton()->text(), "View File");
            EXPECT_EQ(w.Viewer(), nullptr);
        }
    }
    EXPECT_EQ(scan.Strays().toStdString(), "");

    // As if each had been served: the viewer opens on the local file and
    // offers a plain name for "Save as Text...".
    QFile local(QString::fromStdString(w.LocalFile()));
    ASSERT_TRUE(local.open(QIODevice::WriteOnly));
    local.write("[09:15:02] bob: hello\n");
    local.close();
    for (int row = 0; row < w.Model().rowCount(); ++row) {
        SCOPED_TRACE(row);
        w.SelectRow(row);
        w.ViewButton()->click();
        ASSERT_TRUE(SlotFree(*alice, history::kHistorySlot));
        w.DownloadCompleted();
        ASSERT_NE(w.Viewer(), nullptr);
        const int asked = int(alice->dialogs.files.size());
        EXPECT_FALSE(w.Viewer()->SaveAs());  // the save dialog is cancelled
        ASSERT_EQ(int(alice->dialogs.files.size()), asked + 1);
        const QString proposal = alice->dialogs.files.back().path;
        ExpectPlainName(proposal);
        EXPECT_TRUE(proposal.endsWith(".txt"));
        w.Viewer()->close();
    }
    EXPECT_EQ(scan.Strays().toStdString(), "");
}

// (Account names.) "View Whiteboard" on an account the network named: a
// name that cannot be a folder asks for nothing and makes nothing; a name
// that can gets its page folder inside the data folder and the network's
// answer for an unknown account. Dragging the viewed page into the drawing
// window follows the same rule.
TEST_F(HostileNamesWindow, WhiteboardPagesStayInTheDataFolder) {
    auto bob = LogIn("bob");
    auto& board = *bob->state->FindModule<whiteboard::WhiteboardModule>();
    auto& contacts = *bob->state->FindModule<contacts::ContactsModule>();
    whiteboard::CNotepadViewDlg& view = *board.ViewWindow();
    const HomeScan scan = Scan(*bob);

    std::vector<std::string> names = HostileNames();
    names.push_back(std::string(300, '.'));
    // Each name a contact, as a contact list from the network would make it.
    std::vector<contacts::Contact> book;
    for (const std::string& name : names) book.push_back({name, "0", 1});
    contacts.ContactListArrived(book);
    for (const std::string& name : names) {
        SCOPED_TRACE(testing::PrintToString(name));
        contacts.RunCommand(contacts::ContactsModule::kViewWhiteboard, name);
        EXPECT_FALSE(view.OpenView(name, 1));
        EXPECT_FALSE(board.DrawWindow()->FetchFrom(name, 1));
        EXPECT_TRUE(SlotFree(*bob, 3));
        EXPECT_FALSE(view.isVisible());
    }
    EXPECT_EQ(ResponseText(*bob).toStdString(), "");
    EXPECT_EQ(scan.Strays().toStdString(), "");

    // Dots alone but no "..": a folder like any other, and the network says
    // it knows no such account.
    ASSERT_TRUE(view.OpenView("...", 1));
    ASSERT_TRUE(SpinUntil([&] { return !ResponseText(*bob).isEmpty(); }));
    EXPECT_TRUE(
        ResponseText(*bob).contains("An account with the specified username could not be found"));
    EXPECT_TRUE(SlotFree(*bob, 3));
    EXPECT_EQ(scan.Strays().toStdString(), "");
    EXPECT_TRUE(
        QFileInfo(QString::fromStdString(bob->DataFile("files/remote/accounts/.../notepad")))
            .isDir());
}

// A hostile name asked for while another account's page is shown changes
// nothing of what is shown: the page still turns, still refreshes and can
// still be dragged into the drawing window.
TEST_F(HostileNamesWindow, AHostileNameLeavesTheViewedWhiteboardAsItWas) {
    auto bob = LogIn("bob");
    auto& board = *bob->state->FindModule<whiteboard::WhiteboardModule>();
    whiteboard::CNotepadViewDlg& view = *board.ViewWindow();
    ASSERT_TRUE(view.OpenView("alice", 1));
    ASSERT_TRUE(SpinUntil([&] { return view.isVisible() && view.Ready(); }));
    ASSERT_TRUE(SlotFree(*bob, 3));

    for (const std::string& name : HostileNames()) {
        SCOPED_TRACE(testing::PrintToString(name));
        EXPECT_FALSE(view.OpenView(name, 1));
        EXPECT_EQ(view.Account(), "alice");
        EXPECT_EQ(view.Page(), 1);
    }
    // The page corner turns alice's pages on.
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(640, 405));
    ASSERT_TRUE(SpinUntil([&] { return view.Ready() && view.Page() == 2; }));
    EXPECT_EQ(view.windowTitle(), "Whiteboard - View [alice] Page 2");
    EXPECT_EQ(ResponseText(*bob).toStdString(), "");
}

// (Poll owners and ids.) A poll list naming hostile owners: taking a poll
// and viewing its results only ever fill the fixed files of the poll
// folder, and the network's refusal is shown.
TEST_F(HostileNamesWindow, PollFilesStayInTheDataFolder) {
    auto bob = LogIn("bob");
    EnterRoom(*bob, "Team Alpha");
    auto* room = bob->state->FindModule<sessions::SessionsModule>()->RoomList()->Find("demo01");
    ASSERT_NE(room, nullptr);
    polls::CPollingCenterDlg& center = *bob->state->FindModule<polls::PollsModule>()->Center();
    // No automatic refresh replaces the list the test puts in its place.
    center.SetQuietPeriod(3600 * 1000);
    room->Button("POLL")->click();
    ASSERT_TRUE(SpinUntil([&] { return center.isVisible() && center.List()->RowCount() > 0; }));
    ASSERT_TRUE(SlotFree(*bob, net::poll::kPollListSlot));
    const HomeScan scan = Scan(*bob);

    // The network's own list with every owner replaced by a hostile one
    // (an owner is at most 31 bytes, the longest name cut to that).
    const std::string listPath = bob->DataFile(polls::kPollListFile);
    const auto text = polls::ReadWholeFile(listPath, 1u << 20);
    ASSERT_TRUE(text.has_value());
    const polls::PollListRead read = polls::ParsePollList(*text);
    ASSERT_FALSE(read.entries.empty());
    std::string hostile;
    const std::vector<std::string> owners = HostileNames();
    for (size_t i = 0; i < owners.size(); ++i) {
        if (owners[i].find('\0') != std::string::npos) continue;  // a line holds no NUL
        for (polls::CPollEntry e : read.entries) {
            e.owner = owners[i].substr(0, polls::CPollEntry::kMaxOwner);
            e.pollId = e.pollId + int32_t(100 * i);
            hostile += polls::FormatPollListLine(e);
        }
    }
    ASSERT_TRUE(polls::WriteWholeFile(listPath, hostile));
    center.ListArrived();
    ASSERT_GT(center.List()->RowCount(), 0);

    int asked = 0;
    for (int row = 0; row < center.List()->RowCount(); ++row) {
        SCOPED_TRACE(row);
        for (auto button :
             {polls::CPollingCenterDlg::kTake, polls::CPollingCenterDlg::kViewResults}) {
            center.List()->SelectRows({row});
            if (!center.ButtonAt(button)->isEnabled()) continue;
            bob->state->ServerResponseWindow().hide();
            center.ButtonAt(button)->click();
            ++asked;
            // The network knows no poll of such an owner and says so.
            ASSERT_TRUE(SpinUntil([&] {
                return ResponseText(*bob).contains("The requested poll does not currently exist");
            }));
            EXPECT_TRUE(SlotFree(*bob, net::poll::kPollFileSlot));
            EXPECT_TRUE(SlotFree(*bob, net::poll::kResultsSlot));
        }
    }
    EXPECT_GT(asked, 0);
    EXPECT_EQ(scan.Strays().toStdString(), "");
}

}  // namespace
