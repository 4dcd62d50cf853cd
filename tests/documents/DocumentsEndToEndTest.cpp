// Two whole programs against the in-process local network: alice shares her
// documents, bob retrieves them.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>

#include "app/AppHarness.h"
#include "contacts/ContactsModule.h"
#include "documents/DocumentsModule.h"
#include "documents/DocumentsSmallDlgs.h"
#include "documents/RetrieveDocumentsDlg.h"
#include "documents/ShareDocumentsDlg.h"
#include "server/core/Store.h"
#include "server/core/TransferEngine.h"
#include "sessions/Rooms.h"
#include "sessions/SessionDlg.h"
#include "sessions/SessionsModule.h"
#include "shell/MainDlg.h"
#include "support/qt/LocalNetworkFixture.h"
#include "ui/FixedButton.h"
#include "ui/ServerResponseDlg.h"

namespace documents {
namespace {

using testsupport::SpinUntil;

QByteArray Pattern(int size) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xff);
    return bytes;
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

class DocumentsEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        network.Options().documentsMaxFileBytes = 4 * 1024 * 1024;
        network.Options().documentsMaxFiles = 7;
        ASSERT_TRUE(network.Start());
        alice = std::make_unique<apptest::AppHarness>(network.Endpoints());
        bob = std::make_unique<apptest::AppHarness>(network.Endpoints());
        LogIn(*alice, "alice", "alicepass");
        LogIn(*bob, "bob", "bobpass");
        share = alice->state->FindModule<DocumentsModule>()->ShareWindow();
        retrieve = bob->state->FindModule<DocumentsModule>()->RetrieveWindow();
        ASSERT_NE(share, nullptr);
        ASSERT_NE(retrieve, nullptr);
    }
    void TearDown() override {
        alice.reset();
        bob.reset();
        network.Stop();
    }

    static void LogIn(apptest::AppHarness& h, const QString& user, const QString& password) {
        h.ConfirmLogin(user, password);
        ASSERT_TRUE(SpinUntil([&] { return h.state->MainWindow().isVisible(); }));
    }

    static QStringList Names(const CDocumentsBrowserDlg& w) {
        QStringList out;
        for (const CDocumentEntry& e : w.Model().Entries()) out << QString::fromStdString(e.name);
        return out;
    }
    static int Row(const CDocumentsBrowserDlg& w, const QString& name) {
        return static_cast<int>(Names(w).indexOf(name));
    }
    static void DoubleClick(CDocumentsBrowserDlg& w, const QString& name) {
        const int row = Row(w, name);
        ASSERT_GE(row, 0) << name.toStdString();
        emit w.List()->doubleClicked(w.Model().index(row, 0));
    }
    static bool Red(const CDocumentsBrowserDlg& w, const QString& name) {
        const QVariant v = w.Model().index(Row(w, name), 0).data(Qt::ForegroundRole);
        return v.isValid() && v.value<QBrush>().color() == QColor(255, 0, 0);
    }
    static bool Shows(const CDocumentsBrowserDlg& w, const QString& label, const QString& name = {}) {
        return w.isVisible() && w.PathText()->text() == label &&
               (name.isEmpty() || Names(w).contains(name));
    }
    static void Trigger(QMenu* menu, const QString& text) {
        ASSERT_NE(menu, nullptr);
        for (QAction* a : menu->actions()) {
            if (a->text() == text) {
                a->trigger();
                return;
            }
        }
        FAIL() << "no menu item " << text.toStdString();
    }
    bool Said(apptest::AppHarness& h, const QString& text) {
        return h.dialogs.Texts().contains(text);
    }
    QString Response(apptest::AppHarness& h) {
        return h.state->ServerResponseWindow().isVisible() ? h.state->ServerResponseWindow().Text()
                                                           : QString();
    }
    QString Local(apptest::AppHarness& h, const QString& name) {
        return QString::fromStdString(h.home.path()) + "/" + name;
    }
    QStringList ServerFiles() {
        QStringList out;
        QDir dir(network.Network().GetStore().DataDir() + "/networks/1234567/documents");
        std::function<void(const QDir&)> walk = [&](const QDir& d) {
            for (const QFileInfo& i : d.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
                if (i.isDir()) {
                    walk(QDir(i.filePath()));
                } else {
                    out << i.fileName();
                }
            }
        };
        walk(dir);
        out.sort();
        return out;
    }
    void OpenOwn() {
        alice->state->MainWindow().ToolButton(shell::Tool::Documents)->click();
        ASSERT_TRUE(SpinUntil([&] { return Shows(*share, "/", "Projects"); }));
    }
    void Upload(const QString& local) {
        share->UploadButton()->click();
        ASSERT_TRUE(SpinUntil([&] { return share->UploadWindow().isVisible(); }));
        alice->dialogs.fileNames.push_back(local);
        share->UploadWindow().BrowseButton()->click();
        share->UploadWindow().OkButton()->click();
    }

    testsupport::LocalNetworkFixture network;
    std::unique_ptr<apptest::AppHarness> alice;
    std::unique_ptr<apptest::AppHarness> bob;
    CShareDocumentsDlg* share = nullptr;
    CRetrieveDocumentsDlg* retrieve = nullptr;
};

TEST_F(DocumentsEndToEnd, AliceSharesAndBobRetrieves) {
    OpenOwn();
    EXPECT_EQ(Names(*share), (QStringList{"Private", "Projects", "welcome.txt"}));
    EXPECT_FALSE(share->BackButton()->isEnabled());
    EXPECT_TRUE(share->NewFolderButton()->isEnabled());
    EXPECT_TRUE(Red(*share, "Private"));
    EXPECT_FALSE(Red(*share, "Projects"));

    // Into Projects, and a file up from a name that needs mending.
    DoubleClick(*share, "Projects");
    ASSERT_TRUE(SpinUntil([&] { return Shows(*share, "/Projects"); }));
    EXPECT_TRUE(share->BackButton()->isEnabled());
    EXPECT_FALSE(share->NewFolderButton()->isEnabled());
    const QByteArray content = Pattern(150000);
    const QString local = Local(*alice, "-draft copy.txt");
    ASSERT_TRUE(WriteFile(local, content));
    share->UploadButton()->click();
    alice->dialogs.fileNames.push_back(local);
    share->UploadWindow().BrowseButton()->click();
    EXPECT_EQ(share->UploadWindow().RemoteField()->text(), "x-draftcopy.txt");
    share->UploadWindow().OkButton()->click();
    EXPECT_FALSE(share->UploadWindow().isVisible());
    ASSERT_TRUE(SpinUntil([&] { return Said(*alice, "Upload Complete"); }));
    EXPECT_EQ(share->UploadButton()->text(), "Upload File");
    ASSERT_TRUE(SpinUntil([&] { return Names(*share).contains("x-draftcopy.txt"); }));

    // A new folder at the root, locked.
    share->BackButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return Shows(*share, "/"); }));
    share->NewFolderButton()->click();
    share->NewFolderWindow().Field()->setText("Shared");
    share->NewFolderWindow().OkButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return Names(*share).contains("Shared"); }));
    Trigger(share->MenuFor(Row(*share, "Shared")), "Lock");
    ASSERT_TRUE(SpinUntil([&] { return share->LockWindow().isVisible(); }));
    share->LockWindow().Field()->setText("pw1");
    share->LockWindow().OkButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return Red(*share, "Shared"); }));
    EXPECT_EQ(share->MenuFor(Row(*share, "Shared"))->actions().front()->text(), "Unlock");

    // Bob comes from the main window's prompt.
    auto* documents = bob->state->FindModule<DocumentsModule>();
    QAction* item = nullptr;
    bob->state->MainWindow().SetMenuRunner([&](QMenu& menu, const QPoint&) {
        for (QAction* a : menu.actions()) {
            if (a->text() == "Retrieve Documents...") item = a;
        }
        return item;
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 10), QPoint(10, 10));
    QApplication::sendEvent(&bob->state->MainWindow(), &event);
    ASSERT_NE(item, nullptr);
    ASSERT_TRUE(SpinUntil([&] { return documents->PromptWindow()->isVisible(); }));
    EXPECT_EQ(documents->PromptWindow()->Prompt()->text(),
              "Type the username of the person whose documents you would like to retrieve:");
    documents->PromptWindow()->Field()->setText("alice");
    documents->PromptWindow()->OkButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return Shows(*retrieve, "/", "Shared"); }));
    EXPECT_EQ(retrieve->windowTitle(), "Retrieve Documents - [alice]");
    EXPECT_TRUE(Red(*retrieve, "Shared"));
    EXPECT_FALSE(retrieve->BackButton()->isEnabled());

    // The wrong password, then the right one.
    DoubleClick(*retrieve, "Shared");
    ASSERT_TRUE(SpinUntil([&] { return retrieve->LockedWindow().isVisible(); }));
    retrieve->LockedWindow().Field()->setText("wrong");
    retrieve->LockedWindow().OkButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return Response(*bob).contains("Unable to view directory"); }));
    bob->state->ServerResponseWindow().hide();
    DoubleClick(*retrieve, "Shared");
    retrieve->LockedWindow().Field()->setText("pw1");
    retrieve->LockedWindow().OkButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return Shows(*retrieve, "/Shared"); }));
    EXPECT_EQ(retrieve->Summary()->text(), "0 items; 0 B");
    EXPECT_EQ(retrieve->StoredPassword().value_or(""), "pw1");

    // The uploaded file comes down byte for byte.
    retrieve->BackButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return Shows(*retrieve, "/"); }));
    DoubleClick(*retrieve, "Projects");
    ASSERT_TRUE(SpinUntil([&] { return Shows(*retrieve, "/Projects", "x-draftcopy.txt"); }));
    EXPECT_FALSE(retrieve->DownloadButton()->isEnabled());
    retrieve->List()->SelectRow(Row(*retrieve, "x-draftcopy.txt"));
    EXPECT_TRUE(retrieve->DownloadButton()->isEnabled());
    const QString saved = Local(*bob, "saved.txt");
    bob->dialogs.fileNames.push_back(saved);
    retrieve->DownloadButton()->click();
    EXPECT_EQ(bob->dialogs.files.back().path, "x-draftcopy.txt");
    ASSERT_TRUE(SpinUntil([&] { return Said(*bob, "Download Complete"); }));
    EXPECT_EQ(ReadFile(saved), content);
    EXPECT_EQ(retrieve->DownloadButton()->text(), "Download File");

    // Alice deletes it; bob's window drops it on a later tick.
    DoubleClick(*share, "Projects");
    ASSERT_TRUE(SpinUntil([&] { return Shows(*share, "/Projects", "x-draftcopy.txt"); }));
    share->List()->SelectRow(Row(*share, "x-draftcopy.txt"));
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QApplication::sendEvent(share->List(), &del);
    EXPECT_EQ(alice->dialogs.Last().title, "Caution");
    EXPECT_EQ(alice->dialogs.Last().text,
              "Warning! Are you sure you wish to delete the selected item?");
    ASSERT_TRUE(SpinUntil([&] { return !Names(*share).contains("x-draftcopy.txt"); }));
    retrieve->SetQuietTime(std::chrono::milliseconds(0));
    ASSERT_TRUE(SpinUntil([&] { return !Names(*retrieve).contains("x-draftcopy.txt"); }));
    EXPECT_TRUE(Shows(*retrieve, "/Projects"));
}

TEST_F(DocumentsEndToEnd, ALockedFolderGoneMeanwhileIsSaidOnceAndTheWindowGoesBackToTheRoot) {
    documents::DocumentsApi* api = bob->state->Services().Find<documents::DocumentsApi>();
    ASSERT_NE(api, nullptr);
    ASSERT_TRUE(api->RetrieveDocuments("alice"));
    ASSERT_TRUE(SpinUntil([&] { return Shows(*retrieve, "/", "Private"); }));
    DoubleClick(*retrieve, "Private");
    retrieve->LockedWindow().Field()->setText("secret");
    retrieve->LockedWindow().OkButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return Shows(*retrieve, "/Private", "diary.txt"); }));
    EXPECT_TRUE(Red(*retrieve, "diary.txt"));

    // The refreshes take the stored password along.
    retrieve->SetQuietTime(std::chrono::milliseconds(0));
    SpinUntil([] { return false; }, std::chrono::milliseconds(700));
    EXPECT_TRUE(Shows(*retrieve, "/Private", "diary.txt"));
    EXPECT_FALSE(bob->state->ServerResponseWindow().isVisible());

    OpenOwn();
    Trigger(share->MenuFor(Row(*share, "Private")), "Delete");
    ASSERT_TRUE(SpinUntil([&] { return !Names(*share).contains("Private"); }));
    ASSERT_TRUE(SpinUntil([&] { return Response(*bob).contains("Unable to view directory"); }));
    ASSERT_TRUE(SpinUntil([&] { return Shows(*retrieve, "/", "Projects"); }));
    bob->state->ServerResponseWindow().hide();
    // Later ticks read "/" quietly and say nothing more.
    SpinUntil([] { return false; }, std::chrono::milliseconds(700));
    EXPECT_FALSE(bob->state->ServerResponseWindow().isVisible());
    EXPECT_TRUE(Shows(*retrieve, "/", "Projects"));
    EXPECT_FALSE(retrieve->StoredPassword().has_value());
}

TEST_F(DocumentsEndToEnd, QuotaRefusalsAndAnUnreadableFile) {
    OpenOwn();
    // Over the per-file limit.
    const QString big = Local(*alice, "big.bin");
    ASSERT_TRUE(WriteFile(big, Pattern(4 * 1024 * 1024 + 1)));
    Upload(big);
    ASSERT_TRUE(SpinUntil([&] {
        return Response(*alice).contains("File size exceeds the maximum allowed for your account");
    }));
    EXPECT_EQ(share->UploadButton()->text(), "Upload File");
    alice->state->ServerResponseWindow().hide();
    // Four files are there; three more reach the limit of seven.
    for (const char* name : {"one.txt", "two.txt", "three.txt"}) {
        const QString path = Local(*alice, name);
        ASSERT_TRUE(WriteFile(path, "x"));
        alice->dialogs.Clear();
        Upload(path);
        ASSERT_TRUE(SpinUntil([&] { return Said(*alice, "Upload Complete"); })) << name;
    }
    const QString four = Local(*alice, "four.txt");
    ASSERT_TRUE(WriteFile(four, "x"));
    Upload(four);
    ASSERT_TRUE(SpinUntil(
        [&] { return Response(*alice).contains("Maximum files quota has been reached"); }));
    alice->state->ServerResponseWindow().hide();

    // A file that cannot be read is said at once, and nothing is sent.
    alice->dialogs.Clear();
    share->UploadButton()->click();
    share->UploadWindow().LocalField()->setText(Local(*alice, "no-such-file"));
    share->UploadWindow().RemoteField()->setText("nothing.txt");
    share->UploadWindow().OkButton()->click();
    EXPECT_EQ(alice->dialogs.Last().text, "Failed to read data from file");
    EXPECT_TRUE(SpinUntil([&] { return share->UploadWindow().isVisible(); }));
    // The name checks come first.
    share->UploadWindow().RemoteField()->setText("_x");
    share->UploadWindow().OkButton()->click();
    EXPECT_EQ(alice->dialogs.Last().title, "Error");
    EXPECT_EQ(alice->dialogs.Last().text,
              "The remote file name must start with an alphanumeric character (letters and "
              "numbers)");
}

TEST_F(DocumentsEndToEnd, CancelledTransfersLeaveNothingBehind) {
    OpenOwn();
    const QStringList before = ServerFiles();
    ASSERT_TRUE(before.contains("welcome.txt")) << "the walk must see the stored documents";
    const QString local = Local(*alice, "large.bin");
    ASSERT_TRUE(WriteFile(local, Pattern(4 * 1024 * 1024)));
    Upload(local);
    ASSERT_TRUE(SpinUntil([&] { return share->Uploading(); }));
    EXPECT_EQ(share->UploadButton()->text(), "Cancel");
    share->UploadButton()->click();
    EXPECT_EQ(share->UploadButton()->text(), "Upload File");
    ASSERT_TRUE(SpinUntil([&] { return network.Network().Transfers().ActiveUploads() == 0; }));
    SpinUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_EQ(ServerFiles(), before);
    EXPECT_FALSE(Said(*alice, "Upload Complete"));

    // A download cancelled at once leaves no file, partial or whole.
    documents::DocumentsApi* api = bob->state->Services().Find<documents::DocumentsApi>();
    ASSERT_NE(api, nullptr);
    ASSERT_TRUE(api->RetrieveDocuments("alice"));
    ASSERT_TRUE(SpinUntil([&] { return Shows(*retrieve, "/", "Projects"); }));
    DoubleClick(*retrieve, "Projects");
    ASSERT_TRUE(SpinUntil([&] { return Shows(*retrieve, "/Projects", "prototype.bin"); }));
    retrieve->List()->SelectRow(Row(*retrieve, "prototype.bin"));
    const QString saved = Local(*bob, "proto.bin");
    bob->dialogs.fileNames.push_back(saved);
    retrieve->DownloadButton()->click();
    EXPECT_EQ(retrieve->DownloadButton()->text(), "Cancel");
    EXPECT_TRUE(retrieve->DownloadButton()->isEnabled());
    retrieve->DownloadButton()->click();
    EXPECT_EQ(retrieve->DownloadButton()->text(), "Download File");
    SpinUntil([] { return false; }, std::chrono::milliseconds(300));
    EXPECT_EQ(QDir(QString::fromStdString(bob->home.path())).entryList({"proto*"}, QDir::Files),
              QStringList());
    EXPECT_FALSE(Said(*bob, "Download Complete"));

    // A refused download leaves the file the user chose to replace alone.
    const QString keep = Local(*bob, "keep.txt");
    ASSERT_TRUE(WriteFile(keep, "precious"));
    retrieve->List()->SelectRow(Row(*retrieve, "plan.txt"));
    OpenOwn();
    DoubleClick(*share, "Projects");
    ASSERT_TRUE(SpinUntil([&] { return Shows(*share, "/Projects", "plan.txt"); }));
    share->DeleteRow(Row(*share, "plan.txt"));
    ASSERT_TRUE(SpinUntil([&] { return !Names(*share).contains("plan.txt"); }));
    bob->dialogs.fileNames.push_back(keep);
    retrieve->DownloadButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return Response(*bob).contains("Unable to retrieve document"); }));
    EXPECT_EQ(ReadFile(keep), "precious");
    EXPECT_EQ(retrieve->DownloadButton()->text(), "Download File");
}

TEST_F(DocumentsEndToEnd, TheContactMenuOpensTheContactsStore) {
    auto* contacts = bob->state->FindModule<contacts::ContactsModule>();
    ASSERT_NE(contacts, nullptr);
    ASSERT_TRUE(SpinUntil([&] { return contacts->FindContact("alice").has_value(); }));
    contacts->RunCommand(contacts::ContactsModule::kRetrieveDocuments, "alice");
    ASSERT_TRUE(SpinUntil([&] { return Shows(*retrieve, "/", "welcome.txt"); }));
    EXPECT_EQ(retrieve->windowTitle(), "Retrieve Documents - [alice]");
}

TEST_F(DocumentsEndToEnd, TheRoomsParticipantMenuOpensThatParticipantsStore) {
    // alice and bob in alice's "Team Alpha"; bob asks for alice's store from her row.
    for (auto* h : {alice.get(), bob.get()})
        h->state->FindModule<sessions::SessionsModule>()->SendJoinSession("demo01", "");
    sessions::Rooms& rooms = *bob->state->FindModule<sessions::SessionsModule>()->RoomList();
    sessions::CSessionDlg* room = nullptr;
    ASSERT_TRUE(SpinUntil([&] {
        room = rooms.Find("demo01");
        return room && room->Participants().size() == 2;
    }));
    int aliceRow = -1;
    for (size_t i = 0; i < room->Participants().size(); ++i)
        if (room->Participants()[i].name == "alice") aliceRow = static_cast<int>(i);
    ASSERT_GE(aliceRow, 0);
    ASSERT_NE(rooms.MenuFor(room, aliceRow), nullptr);
    QAction* item = rooms.MenuItem("Retrieve Documents");
    ASSERT_NE(item, nullptr);
    ASSERT_TRUE(item->isEnabled());
    item->trigger();
    ASSERT_TRUE(SpinUntil([&] { return Shows(*retrieve, "/", "welcome.txt"); }));
    EXPECT_EQ(retrieve->windowTitle(), "Retrieve Documents - [alice]");
}

TEST_F(DocumentsEndToEnd, ADropHidesEveryDocumentWindow) {
    OpenOwn();
    share->NewFolderButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return share->NewFolderWindow().isVisible(); }));
    network.Stop();
    ASSERT_TRUE(SpinUntil([&] { return !share->isVisible(); }));
    EXPECT_FALSE(share->NewFolderWindow().isVisible());
    EXPECT_EQ(share->View().owner, "<?>");
}

}  // namespace
}  // namespace documents
