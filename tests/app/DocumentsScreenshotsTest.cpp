// The document browsers' screenshots for the guide: alice's own store at
// its root, in a folder and with an upload running; bob retrieving it, the
// locked folder in red; and each small window. Not a test of its own;
// scripts/screenshots runs it with PALINDOR_SCREENSHOT_DIR.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "app/AppHarness.h"
#include "documents/DocumentsModule.h"
#include "documents/DocumentsSmallDlgs.h"
#include "documents/RetrieveDocumentsDlg.h"
#include "documents/ShareDocumentsDlg.h"
#include "shell/MainDlg.h"
#include "support/qt/LocalNetworkFixture.h"
#include "ui/FixedButton.h"

using testsupport::SpinUntil;

namespace {

int RowOf(const documents::CDocumentsBrowserDlg& w, const std::string& name) {
    const auto& entries = w.Model().Entries();
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].name == name) return static_cast<int>(i);
    }
    return -1;
}

bool Shows(const documents::CDocumentsBrowserDlg& w, const QString& label,
           const std::string& name) {
    return w.isVisible() && w.PathText()->text() == label && RowOf(w, name) >= 0;
}

}  // namespace

TEST(ScreenshotsChild, DISABLED_Documents) {
    const QString dir = apptest::ScreenshotDir();
    if (dir.isEmpty()) GTEST_SKIP() << "PALINDOR_SCREENSHOT_DIR is not set";
    ASSERT_TRUE(QDir().mkpath(dir));
    testsupport::LocalNetworkFixture network;
    ASSERT_TRUE(network.Start());
    apptest::AppHarness alice(network.Endpoints());
    apptest::AppHarness bob(network.Endpoints());
    alice.ConfirmLogin("alice", "alicepass");
    bob.ConfirmLogin("bob", "bobpass");
    ASSERT_TRUE(SpinUntil([&] {
        return alice.state->MainWindow().isVisible() && bob.state->MainWindow().isVisible();
    }));
    auto* share = alice.state->FindModule<documents::DocumentsModule>()->ShareWindow();
    auto* bobs = bob.state->FindModule<documents::DocumentsModule>();
    auto* retrieve = bobs->RetrieveWindow();

    alice.state->MainWindow().ToolButton(shell::Tool::Documents)->click();
    ASSERT_TRUE(SpinUntil([&] { return Shows(*share, "/", "Projects"); }));
    share->List()->SelectRow(RowOf(*share, "welcome.txt"));
    ASSERT_TRUE(apptest::SaveScreenshot(*share, dir, "documents-share-root.png"));

    emit share->List()->doubleClicked(share->Model().index(RowOf(*share, "Projects"), 0));
    ASSERT_TRUE(SpinUntil([&] { return Shows(*share, "/Projects", "plan.txt"); }));
    ASSERT_TRUE(apptest::SaveScreenshot(*share, dir, "documents-share-folder.png"));

    // An upload running: a file large enough to be caught on its way.
    const QString local = QString::fromStdString(alice.home.path()) + "/Quarterly report.pdf";
    {
        QFile f(local);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(24 * 1024 * 1024, 'r'));
    }
    share->UploadButton()->click();
    alice.dialogs.fileNames.push_back(local);
    share->UploadWindow().BrowseButton()->click();
    ASSERT_TRUE(apptest::SaveScreenshot(share->UploadWindow(), dir, "documents-upload-file.png"));
    share->UploadWindow().OkButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return share->Progress()->value() >= 8; }));
    share->repaint();
    ASSERT_TRUE(share->grab().save(QDir(dir).filePath("documents-share-uploading.png")));
    share->UploadButton()->click();

    share->BackButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return Shows(*share, "/", "Projects"); }));
    share->NewFolderButton()->click();
    share->NewFolderWindow().Field()->setText("Invoices");
    ASSERT_TRUE(apptest::SaveScreenshot(share->NewFolderWindow(), dir,
                                        "documents-new-folder.png"));
    share->NewFolderWindow().hide();
    share->LockRow(RowOf(*share, "Projects"));
    share->LockWindow().Field()->setText("secret");
    ASSERT_TRUE(apptest::SaveScreenshot(share->LockWindow(), dir, "documents-lock-folder.png"));
    share->LockWindow().hide();
    share->RenameRow(RowOf(*share, "Projects"));
    share->RenameFolderWindow().Field()->setText("Projects-2026");
    ASSERT_TRUE(apptest::SaveScreenshot(share->RenameFolderWindow(), dir,
                                        "documents-rename-folder.png"));
    share->RenameFolderWindow().hide();
    share->RenameRow(RowOf(*share, "welcome.txt"));
    ASSERT_TRUE(apptest::SaveScreenshot(share->RenameFileWindow(), dir,
                                        "documents-rename-file.png"));
    share->RenameFileWindow().hide();
    share->MoveRow(RowOf(*share, "welcome.txt"));
    share->MoveWindow().Destinations()->setCurrentIndex(1);
    ASSERT_TRUE(apptest::SaveScreenshot(share->MoveWindow(), dir, "documents-move-file.png"));
    share->MoveWindow().hide();
    share->hide();

    // Bob's side.
    bobs->PromptWindow()->Open();
    bobs->PromptWindow()->Field()->setText("alice");
    ASSERT_TRUE(apptest::SaveScreenshot(*bobs->PromptWindow(), dir, "documents-retrieve-prompt.png"));
    bobs->PromptWindow()->OkButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return Shows(*retrieve, "/", "Private"); }));
    retrieve->List()->SelectRow(RowOf(*retrieve, "welcome.txt"));
    ASSERT_TRUE(apptest::SaveScreenshot(*retrieve, dir, "documents-retrieve-root.png"));
    emit retrieve->List()->doubleClicked(retrieve->Model().index(RowOf(*retrieve, "Private"), 0));
    ASSERT_TRUE(SpinUntil([&] { return retrieve->LockedWindow().isVisible(); }));
    retrieve->LockedWindow().Field()->setText("secret");
    ASSERT_TRUE(apptest::SaveScreenshot(retrieve->LockedWindow(), dir,
                                        "documents-view-locked.png"));
    retrieve->LockedWindow().OkButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return Shows(*retrieve, "/Private", "diary.txt"); }));
    retrieve->List()->SelectRow(0);
    ASSERT_TRUE(apptest::SaveScreenshot(*retrieve, dir, "documents-retrieve-locked-folder.png"));
    retrieve->BackButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return Shows(*retrieve, "/", "Projects"); }));
    emit retrieve->List()->doubleClicked(retrieve->Model().index(RowOf(*retrieve, "Projects"), 0));
    ASSERT_TRUE(SpinUntil([&] { return Shows(*retrieve, "/Projects", "prototype.bin"); }));
    retrieve->List()->SelectRow(RowOf(*retrieve, "prototype.bin"));
    ASSERT_TRUE(apptest::SaveScreenshot(*retrieve, dir, "documents-retrieve-folder.png"));
}
