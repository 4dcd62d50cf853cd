// Files dropped on Share Documents: each goes through the upload window's
// checks and arrives in the folder shown, one after the other; folders and
// addresses that are not local files are refused; closing the window,
// Cancel and a dropped connection end what still waits.

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>

#include "app/AppHarness.h"
#include "documents/DocumentsModule.h"
#include "documents/ShareDocumentsDlg.h"
#include "server/core/Store.h"
#include "server/core/TransferEngine.h"
#include "shell/MainDlg.h"
#include "support/qt/LocalNetworkFixture.h"
#include "ui/FixedButton.h"

namespace documents {
namespace {

using testsupport::SpinUntil;

QByteArray Pattern(int size, int seed) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + seed) & 0xff);
    return bytes;
}

class DocumentsDrop : public ::testing::Test {
  protected:
    void SetUp() override {
        network.Options().documentsMaxFileBytes = 4 * 1024 * 1024;
        ASSERT_TRUE(network.Start());
        alice = std::make_unique<apptest::AppHarness>(network.Endpoints());
        alice->ConfirmLogin("alice", "alicepass");
        ASSERT_TRUE(SpinUntil([&] { return alice->state->MainWindow().isVisible(); }));
        share = alice->state->FindModule<DocumentsModule>()->ShareWindow();
        ASSERT_NE(share, nullptr);
    }
    void TearDown() override {
        alice.reset();
        network.Stop();
    }

    void OpenOwn() {
        alice->state->MainWindow().ToolButton(shell::Tool::Documents)->click();
        ASSERT_TRUE(SpinUntil([&] { return share->isVisible() && share->PathText()->text() == "/"; }));
    }
    QString Local(const QString& name, const QByteArray& bytes) {
        const QString path = QString::fromStdString(alice->home.path()) + "/" + name;
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        return path;
    }
    QString LocalFolder(const QString& name) {
        const QString path = QString::fromStdString(alice->home.path()) + "/" + name;
        EXPECT_TRUE(QDir().mkpath(path));
        return path;
    }
    // The drag enters, moves and drops as the desktop delivers it; returns
    // whether the window took the drag when it entered.
    bool Drop(const QList<QUrl>& urls, QWidget* over = nullptr) {
        QMimeData data;
        data.setUrls(urls);
        const QPoint at(200, 200);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        // Entering over a control: the application hands the drag up to the
        // window when the control does not take it.
        QApplication::sendEvent(over != nullptr ? over : share, &enter);
        if (!enter.isAccepted()) return false;
        QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(share, &move);
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(share, &drop);
        return drop.isAccepted();
    }
    static QUrl File(const QString& path) { return QUrl::fromLocalFile(path); }
    // The stored documents by name, with their bytes.
    std::map<QString, QByteArray> Stored() {
        std::map<QString, QByteArray> out;
        std::function<void(const QDir&)> walk = [&](const QDir& d) {
            for (const QFileInfo& i :
                 d.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
                if (i.isDir()) {
                    walk(QDir(i.filePath()));
                } else {
                    QFile f(i.filePath());
                    if (f.open(QIODevice::ReadOnly)) out[i.fileName()] = f.readAll();
                }
            }
        };
        walk(QDir(network.Network().GetStore().DataDir() + "/networks/1234567/documents"));
        return out;
    }
    int Said(const QString& text) { return int(alice->dialogs.Texts().count(text)); }
    bool Listed(const QString& name) {
        for (const CDocumentEntry& e : share->Model().Entries())
            if (QString::fromStdString(e.name) == name) return true;
        return false;
    }

    testsupport::LocalNetworkFixture network;
    std::unique_ptr<apptest::AppHarness> alice;
    CShareDocumentsDlg* share = nullptr;
};

TEST_F(DocumentsDrop, DroppedFilesUploadOneAfterTheOtherIntoTheFolderShown) {
    OpenOwn();
    emit share->List()->doubleClicked(share->Model().index(
        [&] {
            int row = 0;
            for (const CDocumentEntry& e : share->Model().Entries()) {
                if (e.name == "Projects") return row;
                ++row;
            }
            return -1;
        }(),
        0));
    ASSERT_TRUE(SpinUntil([&] { return share->PathText()->text() == "/Projects"; }));
    const QByteArray first = Pattern(300000, 1);
    const QByteArray second = Pattern(1000, 2);
    const QString a = Local("-my notes.txt", first);
    const QString b = Local("b.bin", second);
    const QByteArray third = Pattern(5000, 3);
    const QString c = Local("c.dat", third);
    const QString folder = LocalFolder("photos");
    alice->dialogs.Clear();

    ASSERT_TRUE(
        Drop({File(a), File(folder), File(b), QUrl("https://example.org/x.txt"), File(c)}));
    // The folder and the web address are left out, named in one box.
    ASSERT_GE(alice->dialogs.messages.size(), 1);
    EXPECT_EQ(alice->dialogs.messages[0].title, "Error");
    EXPECT_EQ(alice->dialogs.messages[0].text,
              "Only files can be uploaded; left out: photos, https://example.org/x.txt");
    ASSERT_TRUE(SpinUntil([&] { return Said("Upload Complete") == 3; }));
    ASSERT_TRUE(SpinUntil([&] { return Listed("x-mynotes.txt") && Listed("b.bin") && Listed("c.dat"); }));
    EXPECT_EQ(share->PathText()->text(), "/Projects");
    std::map<QString, QByteArray> stored;
    // The listing can come before the stored file is in place.
    SpinUntil([&] {
        stored = Stored();
        return stored.count("x-mynotes.txt") && stored.count("b.bin") && stored.count("c.dat");
    });
    ASSERT_TRUE(stored.count("x-mynotes.txt"));
    ASSERT_TRUE(stored.count("b.bin"));
    EXPECT_EQ(stored.at("x-mynotes.txt"), first);
    EXPECT_EQ(stored.at("b.bin"), second);
    ASSERT_TRUE(stored.count("c.dat"));
    EXPECT_EQ(stored.at("c.dat"), third);
    EXPECT_EQ(share->QueuedUploads(), 0);
    EXPECT_EQ(share->UploadButton()->text(), "Upload File");
}

TEST_F(DocumentsDrop, EachFileHasTheUploadWindowsChecks) {
    // Nothing is taken before the own store is shown.
    EXPECT_FALSE(Drop({File(Local("early.txt", "x"))}));
    OpenOwn();
    alice->dialogs.Clear();
    const QString longName = QString(51, 'n');
    const QString tooLong = Local(longName, "x");
    const QString fine = Local("fine.txt", "fine");
    ASSERT_TRUE(Drop({File(tooLong), File(fine)}));
    ASSERT_GE(alice->dialogs.messages.size(), 1);
    EXPECT_EQ(alice->dialogs.messages[0].text, longName + ": Remote filename is too long");
    ASSERT_TRUE(SpinUntil([&] { return Listed("fine.txt"); }));
    // Over the list, which is most of the window, the window takes it too.
    ASSERT_TRUE(Drop({File(Local("listed.txt", "y"))}, share->List()->viewport()));
    ASSERT_TRUE(SpinUntil([&] { return Listed("listed.txt"); }));
    EXPECT_FALSE(Stored().count(longName));
    // Only a folder: said, nothing queued.
    alice->dialogs.Clear();
    ASSERT_TRUE(Drop({File(LocalFolder("just a folder"))}));
    EXPECT_EQ(alice->dialogs.Last().text, "Only files can be uploaded; left out: just a folder");
    EXPECT_EQ(share->QueuedUploads(), 0);
}

TEST_F(DocumentsDrop, CancelClosingAndADroppedConnectionEndTheQueue) {
    OpenOwn();
    const QByteArray big = Pattern(4 * 1024 * 1024, 3);
    const QString one = Local("one.bin", big);
    const QString two = Local("two.bin", big);
    const QString three = Local("three.bin", big);

    // Cancel stops the running upload and the files still waiting.
    ASSERT_TRUE(Drop({File(one), File(two)}));
    ASSERT_TRUE(SpinUntil([&] { return share->Uploading(); }));
    EXPECT_EQ(share->QueuedUploads(), 1);
    share->UploadButton()->click();
    EXPECT_EQ(share->QueuedUploads(), 0);
    ASSERT_TRUE(SpinUntil([&] { return network.Network().Transfers().ActiveUploads() == 0; }));
    SpinUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_FALSE(share->Uploading());
    EXPECT_FALSE(Stored().count("one.bin"));
    EXPECT_FALSE(Stored().count("two.bin"));

    // Closing the window: the file under way finishes, the rest stays home.
    alice->dialogs.Clear();
    ASSERT_TRUE(Drop({File(two), File(three)}));
    ASSERT_EQ(share->QueuedUploads(), 1);
    share->close();
    EXPECT_EQ(share->QueuedUploads(), 0);
    ASSERT_TRUE(SpinUntil([&] { return Said("Upload Complete") == 1; }));
    SpinUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_TRUE(Stored().count("two.bin"));
    EXPECT_FALSE(Stored().count("three.bin"));

    // A dropped connection.
    OpenOwn();
    ASSERT_TRUE(Drop({File(one), File(three)}));
    ASSERT_EQ(share->QueuedUploads(), 1);
    network.Stop();
    ASSERT_TRUE(SpinUntil([&] { return !share->isVisible(); }));
    EXPECT_EQ(share->QueuedUploads(), 0);
    EXPECT_FALSE(share->Uploading());
}

}  // namespace
}  // namespace documents
