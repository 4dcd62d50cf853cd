// The whiteboard's screenshots for the guide: alice's drawing window ready
// with strokes, loading, saving and highlighted under a dragged page, and
// bob's viewing window on alice's page. Not a test of its own; run with
// PALINDOR_SCREENSHOT_DIR and --gtest_also_run_disabled_tests.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QTest>
#include <cmath>

#include "app/AppHarness.h"
#include "net/RoutingTestSupport.h"
#include "shell/MainDlg.h"
#include "support/qt/LocalNetworkFixture.h"
#include "whiteboard/NotepadDrawDlg.h"
#include "whiteboard/NotepadViewDlg.h"
#include "whiteboard/WhiteboardModule.h"

using testsupport::SpinUntil;

namespace {

void Stroke(QWidget* w, const std::vector<QPoint>& points) {
    QTest::mousePress(w, Qt::LeftButton, {}, points.front());
    for (const QPoint& at : points) {
        QMouseEvent move(QEvent::MouseMove, at, w->mapToGlobal(at), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(w, &move);
    }
    QTest::mouseRelease(w, Qt::LeftButton, {}, points.back());
}

}  // namespace

TEST(ScreenshotsChild, DISABLED_Whiteboard) {
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
    auto* draw = alice.state->FindModule<whiteboard::WhiteboardModule>()->DrawWindow();
    draw->Open();
    ASSERT_TRUE(SpinUntil(
        [&] { return draw->isVisible() && draw->State() == whiteboard::ViewState::Ready; }));
    // A circled note and an underline over alice's demo page.
    std::vector<QPoint> ring;
    for (int i = 0; i <= 40; ++i) {
        const double a = i * 6.2832 / 40;
        ring.push_back(QPoint(470 + static_cast<int>(62 * std::cos(a)),
                              170 + static_cast<int>(34 * std::sin(a))));
    }
    Stroke(draw, ring);
    Stroke(draw, {QPoint(80, 240), QPoint(160, 236), QPoint(240, 242), QPoint(320, 238)});
    Stroke(draw, {QPoint(420, 300), QPoint(470, 330), QPoint(520, 300), QPoint(570, 330)});
    draw->SetTool(whiteboard::Tool::Eraser);
    Stroke(draw, {QPoint(150, 312), QPoint(230, 312)});
    draw->SetTool(whiteboard::Tool::Pen);
    EXPECT_TRUE(apptest::SaveScreenshot(*draw, dir, "whiteboard-draw.png"));
    draw->SetHighlight(true);
    EXPECT_TRUE(apptest::SaveScreenshot(*draw, dir, "whiteboard-draw-highlighted.png"));
    draw->SetHighlight(false);

    auto* view = bob.state->FindModule<whiteboard::WhiteboardModule>()->ViewWindow();
    view->OpenView("alice", 2);
    ASSERT_TRUE(SpinUntil([&] { return view->isVisible() && view->Ready(); }));
    EXPECT_TRUE(apptest::SaveScreenshot(*view, dir, "whiteboard-view.png"));

    // Loading and saving hold only while no answer has come: a program that
    // is not connected shows them.
    apptest::AppHarness offline;
    offline.state->Client().SetLogin("carol", "carolpass");
    auto* waiting = offline.state->FindModule<whiteboard::WhiteboardModule>()->DrawWindow();
    waiting->Open();
    ASSERT_TRUE(SpinUntil([&] { return waiting->isVisible(); }));
    EXPECT_TRUE(apptest::SaveScreenshot(*waiting, dir, "whiteboard-loading.png"));
    net::MessageWriter none(net::download::kRefused);
    none.Int(3);
    const net::bufHeader header = routingtest::Receive(offline.state->Client().FileServer(), none,
                                                       net::Primary::Download,
                                                       +net::Secondary::Response);
    offline.state->Client().router().RouteMsg(offline.state->Client().FileServer(), header);
    Stroke(waiting, {QPoint(100, 100), QPoint(300, 160)});
    waiting->Save();
    EXPECT_EQ(waiting->State(), whiteboard::ViewState::Saving);
    EXPECT_TRUE(apptest::SaveScreenshot(*waiting, dir, "whiteboard-saving.png"));
}
