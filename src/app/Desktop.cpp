#include "app/Desktop.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QWidget>

#include "app/AppState.h"
#include "shell/MainDlg.h"

namespace app {
namespace {

constexpr char kGuide[] = "guide.pdf";

void Raise(QWidget* window) {
    if (window->isMinimized()) window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->raise();
    window->activateWindow();
    QApplication::alert(window);
}

}  // namespace

void SetApplicationIdentity() {
    QApplication::setApplicationName(QStringLiteral("Palindor"));
    QApplication::setApplicationVersion(QStringLiteral(PALINDOR_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Palindor"));
    QApplication::setOrganizationDomain(QStringLiteral("palindor.example"));
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopFileName));
    // The installed theme icon when there is one; the bitmaps built into the
    // program otherwise (a build tree, an unusual prefix).
    QIcon builtIn;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        builtIn.addFile(QStringLiteral(":/icons/%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(QIcon::fromTheme(QString::fromLatin1(kDesktopFileName), builtIn));
}

QString FindGuide(const QString& programFolder) {
    const QDir folder(programFolder);
    const QString candidates[] = {
        folder.filePath(QString::fromLatin1(kGuide)),
        QDir::cleanPath(folder.filePath(QStringLiteral(PALINDOR_DOCDIR_FROM_BINDIR "/") + kGuide)),
        QDir(QStringLiteral(PALINDOR_DOCDIR)).filePath(QString::fromLatin1(kGuide)),
    };
    for (const QString& path : candidates) {
        if (QFileInfo(path).isFile()) return path;
    }
    return candidates[0];
}

void BringForward(AppState& state) {
    shell::CzorvicDlg& main = state.MainWindow();
    // Hidden while signed in means in the tray. Restoring does nothing unless
    // signed in, so it never covers the sign-in windows; a main window already
    // up is only raised below, where the user left it.
    if (!main.isVisible() || main.isMinimized()) main.RestoreFromTray();
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible()) Raise(window);
    }
}

}  // namespace app
