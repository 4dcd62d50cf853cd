// Where the program finds what is installed with it, its profile folder, and
// bringing a running client forward.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>

#include "app/AppHarness.h"
#include "app/Desktop.h"
#include "net/DataDirectory.h"
#include "shell/MainDlg.h"
#include "signin/ConnectDlg.h"
#include "support/TempDir.h"

namespace {

void Touch(const QString& path) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

TEST(FindGuide, BesideTheProgramThenTheInstalledDocumentationFolder) {
    testsupport::TempDir tmp;
    const QString root = QString::fromStdString(tmp.path());
    const QString bin = root + "/prefix/bin";
    QDir().mkpath(bin);
    // Nothing anywhere: the beside path, which the main window treats as missing.
    EXPECT_EQ(app::FindGuide(bin), bin + "/guide.pdf");

    // An installed tree, wherever its prefix went.
    const QString installed =
        QDir::cleanPath(bin + "/" + PALINDOR_DOCDIR_FROM_BINDIR + "/guide.pdf");
    Touch(installed);
    EXPECT_TRUE(installed.startsWith(root + "/prefix/share/")) << installed.toStdString();
    EXPECT_EQ(app::FindGuide(bin), installed);

    // A build tree: the guide made beside the program wins.
    Touch(bin + "/guide.pdf");
    EXPECT_EQ(app::FindGuide(bin), bin + "/guide.pdf");
}

TEST(Profile, AChosenFolderIsTheDataDirectoryItself) {
    testsupport::TempDir tmp;
    net::Environment env;
    env.home = tmp.path();
    env.dataDirectory = tmp.path() + "/profiles/bob";
    EXPECT_EQ(net::InitDataDirectory(env), env.dataDirectory);
    EXPECT_TRUE(QFileInfo(QString::fromStdString(env.dataDirectory)).isDir());
    // The usual place is left alone.
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(tmp.path() + "/.local/share/Palindor")));

    // Only an absolute folder replaces the usual one.
    env.dataDirectory = "relative/bob";
    EXPECT_EQ(net::InitDataDirectory(env), tmp.path() + "/.local/share/Palindor");
}

TEST(BringForward, RaisesTheShownWindowButNeverTheMainWindowBeforeSignIn) {
    apptest::AppHarness alice;
    alice.state->Start();
    auto& connect = alice.state->ConnectWindow();
    ASSERT_TRUE(testsupport::SpinUntil([&] { return connect.isVisible(); }));
    connect.setWindowState(connect.windowState() | Qt::WindowMinimized);
    ASSERT_TRUE(connect.isMinimized());

    app::BringForward(*alice.state);
    testsupport::SpinUntil([] { return false; }, std::chrono::milliseconds(50));
    EXPECT_TRUE(connect.isVisible());
    EXPECT_FALSE(connect.isMinimized());
    EXPECT_FALSE(alice.state->MainWindow().isVisible());
    EXPECT_FALSE(alice.state->MainWindow().ShowPending());
}

TEST(ApplicationIdentity, NameVersionAndDesktopEntry) {
    app::SetApplicationIdentity();
    EXPECT_EQ(QApplication::applicationName(), "Palindor");
    EXPECT_EQ(QApplication::applicationVersion(), PALINDOR_VERSION);
    EXPECT_EQ(QGuiApplication::desktopFileName(), "example.palindor.Palindor");
    EXPECT_FALSE(QApplication::organizationName().isEmpty());
}

}  // namespace
