// The main window under a real X server and window manager: what the window
// manager is told about it decides whether the task bar lists it and whether
// a minimised main window can be reached again. The test binary runs itself
// on that display; the child shows and minimises the main window and reports
// its window properties as xprop reads them.

#include <gtest/gtest.h>

#include <QApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>
#include <QWindow>
#include <iostream>

#include "app/AppHarness.h"
#include "shell/MainDlg.h"
#include "support/qt/LocalNetworkFixture.h"

using apptest::AppHarness;

namespace {

// The display to test on: the test script's own, else the session's.
QString TestDisplay() {
    const QString own = qEnvironmentVariable("PALINDOR_TEST_DISPLAY");
    return own.isEmpty() ? qEnvironmentVariable("DISPLAY") : own;
}

QString RunTool(const QString& program, const QStringList& args, const QString& display = {}) {
    QProcess p;
    if (!display.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display);
        p.setProcessEnvironment(env);
    }
    p.start(program, args);
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString Properties(WId id) {
    return RunTool(QStringLiteral("xprop"),
               {QStringLiteral("-id"), QString::number(id), QStringLiteral("_NET_WM_WINDOW_TYPE"),
                QStringLiteral("_NET_WM_STATE"), QStringLiteral("WM_TRANSIENT_FOR")});
}

// The window manager's list of managed windows (what task bars show).
QString ClientList() {
    return RunTool(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST")});
}

}  // namespace

// Not run on its own: the child process of the test below, on an X display.
TEST(WindowManagerChild, DISABLED_ShowAndMinimise) {
    AppHarness h;
    shell::CzorvicDlg& main = h.state->MainWindow();
    main.SetTrayOption([] { return false; });
    main.ShowInFrontNow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main, 5000));
    const WId id = main.winId();
    std::cout << "ID " << id << "\n";
    std::cout << "SHOWN " << Properties(id).toStdString() << "\n";
    main.showMinimized();
    // The window manager answers in its own time.
    testsupport::SpinUntil([&] { return Properties(id).contains("_NET_WM_STATE_HIDDEN"); },
                           std::chrono::seconds(5));
    std::cout << "MINIMISED " << Properties(id).toStdString() << "\n";
    std::cout << "VISIBLE " << main.isVisible() << "\n";
    std::cout << "CLIENTS " << ClientList().toStdString() << std::endl;
}

TEST(WindowManager, MinimisedMainWindowKeepsItsTaskBarEntry) {
    const QString display = TestDisplay();
    if (display.isEmpty()) {
        GTEST_SKIP() << "no X server: scripts/test provides one (PALINDOR_TEST_DISPLAY)";
    }
    if (!RunTool(QStringLiteral("xprop"),
             {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")}, display)
             .contains(QStringLiteral("window id"))) {
        GTEST_SKIP() << "no window manager runs on " << display.toStdString();
    }

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    // The X libraries keep caches until exit; they are not this program's leaks.
    env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_also_run_disabled_tests"),
                 QStringLiteral("--gtest_filter=WindowManagerChild.DISABLED_ShowAndMinimise")});
    ASSERT_TRUE(child.waitForFinished(60000));
    const QString out = QString::fromUtf8(child.readAllStandardOutput());
    ASSERT_EQ(child.exitCode(), 0) << out.toStdString()
                                   << child.readAllStandardError().right(3000).toStdString();

    QString id, shown, minimised, visible, clients;
    for (const QString& block : out.split(QStringLiteral("\n"))) {
        if (block.startsWith(QStringLiteral("ID "))) id = block.mid(3).trimmed();
        if (block.startsWith(QStringLiteral("VISIBLE "))) visible = block.mid(8).trimmed();
        if (block.startsWith(QStringLiteral("CLIENTS "))) clients = block;
    }
    const qsizetype s = out.indexOf(QStringLiteral("SHOWN "));
    const qsizetype m = out.indexOf(QStringLiteral("MINIMISED "));
    const qsizetype v = out.indexOf(QStringLiteral("VISIBLE "));
    ASSERT_TRUE(s >= 0 && m > s && v > m) << out.toStdString();
    shown = out.mid(s, m - s);
    minimised = out.mid(m, v - m);

    // A normal window, transient for nothing, on the task bar.
    EXPECT_TRUE(shown.contains(QStringLiteral("_NET_WM_WINDOW_TYPE_NORMAL"))) << shown.toStdString();
    EXPECT_FALSE(shown.contains(QStringLiteral("_NET_WM_WINDOW_TYPE_DIALOG")));
    EXPECT_TRUE(shown.contains(QStringLiteral("WM_TRANSIENT_FOR:  not found")))
        << shown.toStdString();
    EXPECT_FALSE(shown.contains(QStringLiteral("_NET_WM_STATE_SKIP_TASKBAR")));
    // Minimised, it stays a managed window with a task-bar entry.
    EXPECT_TRUE(minimised.contains(QStringLiteral("_NET_WM_STATE_HIDDEN")))
        << minimised.toStdString();
    EXPECT_FALSE(minimised.contains(QStringLiteral("_NET_WM_STATE_SKIP_TASKBAR")));
    EXPECT_EQ(visible, "1");
    const QString hex = QStringLiteral("0x%1").arg(id.toULongLong(), 0, 16);
    EXPECT_TRUE(clients.contains(hex)) << clients.toStdString() << " lacks " << hex.toStdString();
}
