// A hostile listing reaching the Retrieve Documents window: whatever names
// it carries, the save chooser is offered a plain file name that fits a
// file system, and a download goes only where the user chose.

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QPushButton>

#include "app/AppHarness.h"
#include "documents/DocumentsModule.h"
#include "documents/RetrieveDocumentsDlg.h"
#include "net/Transfers.h"
#include "shell/MainDlg.h"
#include "support/TempDir.h"
#include "support/qt/LocalNetworkFixture.h"

using testsupport::SpinUntil;

namespace {

// Every file under `folder`, relative to it.
QStringList FilesUnder(const QString& folder) {
    QStringList found;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) found << QDir(folder).relativeFilePath(it.next());
    found.sort();
    return found;
}

TEST(SaveNameWindow, HostileDocumentNamesNeverSteerTheSavedFile) {
    testsupport::LocalNetworkFixture network;
    network.Options().seedDemo = true;
    ASSERT_TRUE(network.Start());
    apptest::AppHarness h(network.Endpoints());
    h.ConfirmLogin("bob", "bobpass");
    ASSERT_TRUE(SpinUntil([&] { return h.state->MainWindow().isVisible(); }));
    auto* retrieve = h.state->FindModule<documents::DocumentsModule>()->RetrieveWindow();
    ASSERT_NE(retrieve, nullptr);

    const std::vector<std::string> hostile = {
        "../../../../tmp/palindor-escaped",
        "/etc/passwd",
        "..",
        std::string("a\0/../../b", 10),
        "..\\..\\x.txt",
        std::string(5000, 'n') + ".txt",
        std::string(400, '.') + "/x",
    };
    documents::CDirectoryView view;
    view.owner = "alice";
    for (const std::string& name : hostile) {
        documents::CDocumentEntry e;
        e.name = name;
        e.size = 10;
        e.sizeText = "10 B";
        view.entries.push_back(e);
    }
    retrieve->ShowListing(view);
    ASSERT_EQ(retrieve->Model().rowCount(), static_cast<int>(hostile.size()));

    const QString home = QString::fromStdString(h.home.path());
    const QStringList before = FilesUnder(home);
    // New files under the user's folders named after what the server sent.
    const auto strays = [&] {
        QStringList found;
        for (const QString& f : FilesUnder(home))
            if (!before.contains(f) && (f.contains("escaped") || f.contains("passwd") ||
                                        f.contains("nnnn") || f.endsWith("/b") || f.endsWith("x.txt")))
                found << f;
        return found.join(' ').toStdString();
    };
    QStringList proposals;
    for (int row = 0; row < static_cast<int>(hostile.size()); ++row) {
        SCOPED_TRACE(row);
        retrieve->List()->SelectRow(row);
        ASSERT_TRUE(retrieve->DownloadButton()->isEnabled());
        retrieve->DownloadButton()->click();  // the chooser is cancelled
        ASSERT_FALSE(h.dialogs.files.isEmpty());
        const QString proposal = h.dialogs.files.back().path;
        proposals << proposal;
        EXPECT_FALSE(proposal.isEmpty());
        EXPECT_FALSE(proposal.contains('/') || proposal.contains('\\') ||
                     proposal.contains(QChar(0)));
        EXPECT_NE(proposal, ".");
        EXPECT_NE(proposal, "..");
        EXPECT_LE(proposal.toUtf8().size(), 255);
        EXPECT_FALSE(retrieve->Downloading());
    }
    // The very long name is cut to fit, keeping its extension.
    EXPECT_TRUE(proposals.contains(QString(251, 'n') + ".txt")) << proposals.join(' ').toStdString();
    EXPECT_EQ(strays(), "");

    // Chosen by the user, the file goes there and nowhere else; the server
    // knows no such document and says so.
    testsupport::TempDir chosen;
    const QString target = QString::fromStdString(chosen.path()) + "/mine.txt";
    h.dialogs.fileNames.push_back(target);
    retrieve->List()->SelectRow(0);
    retrieve->DownloadButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return !retrieve->Downloading(); }));
    auto& slot = h.state->Client().FileServer().Slot(documents::CRetrieveDocumentsDlg::kDownloadSlot);
    EXPECT_TRUE(SpinUntil([&] {
        auto lock = slot.Lock();
        return !slot.Busy();
    }));
    EXPECT_EQ(FilesUnder(QString::fromStdString(chosen.path())).join(' ').toStdString(),
              std::string(QFile::exists(target) ? "mine.txt" : ""));
    EXPECT_EQ(strays(), "");
    EXPECT_FALSE(QFile::exists("/tmp/palindor-escaped"));
}

}  // namespace
