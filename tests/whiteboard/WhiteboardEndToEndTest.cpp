// Two whole programs against the in-process local network: alice draws on
// her pages with the mouse and saves them; bob views them, sees her changes
// on the next tick, and drags one into his own drawing window and saves it.

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>

#include "app/AppHarness.h"
#include "contacts/ContactsModule.h"
#include "server/whiteboard/WhiteboardService.h"
#include "shell/MainDlg.h"
#include "support/qt/LocalNetworkFixture.h"
#include "ui/FixedButton.h"
#include "ui/ServerResponseDlg.h"
#include "whiteboard/NotepadDrawDlg.h"
#include "whiteboard/NotepadViewDlg.h"
#include "whiteboard/WhiteboardModule.h"

namespace whiteboard {
namespace {

using testsupport::SpinUntil;

class WhiteboardEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(network.Start());
        alice = std::make_unique<apptest::AppHarness>(network.Endpoints());
        bob = std::make_unique<apptest::AppHarness>(network.Endpoints());
        LogIn(*alice, "alice", "alicepass");
        LogIn(*bob, "bob", "bobpass");
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
    static WhiteboardModule& Module(apptest::AppHarness& h) {
        return *h.state->FindModule<WhiteboardModule>();
    }
    static CNotepadDrawDlg& Draw(apptest::AppHarness& h) { return *Module(h).DrawWindow(); }
    static CNotepadViewDlg& View(apptest::AppHarness& h) { return *Module(h).ViewWindow(); }

    localnet::WhiteboardService& Service() {
        for (const auto& s : network.Network().AllServices()) {
            if (auto* w = dynamic_cast<localnet::WhiteboardService*>(s.get())) return *w;
        }
        std::abort();
    }
    QImage ServerPage(const QString& owner, int page) {
        return QImage(network.Network().GetStore().ResolvePath(
            localnet::WhiteboardService::PageFile("1234567", owner, page)));
    }
    static void Stroke(QWidget* w, QPoint from, QPoint to) {
        QTest::mousePress(w, Qt::LeftButton, {}, from);
        for (int i = 1; i <= 10; ++i) {
            const QPoint at = from + (to - from) * i / 10;
            QMouseEvent move(QEvent::MouseMove, at, w->mapToGlobal(at), Qt::NoButton,
                             Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(w, &move);
        }
        QTest::mouseRelease(w, Qt::LeftButton, {}, to);
    }
    static bool Ready(CNotepadDrawDlg& d) { return d.State() == ViewState::Ready; }
    static bool Black(const QImage& image, QPoint p) {
        return !image.isNull() && image.pixelColor(p) == QColor(0, 0, 0);
    }

    testsupport::LocalNetworkFixture network;
    std::unique_ptr<apptest::AppHarness> alice;
    std::unique_ptr<apptest::AppHarness> bob;
};

TEST_F(WhiteboardEndToEnd, AliceDrawsBobViewsAndCopies) {
    CNotepadDrawDlg& ad = Draw(*alice);
    alice->state->MainWindow().ToolButton(shell::Tool::Whiteboard)->click();
    ASSERT_TRUE(SpinUntil([&] { return ad.isVisible() && Ready(ad); }));
    EXPECT_EQ(ad.windowTitle(), "Whiteboard - Draw - Page 1");
    EXPECT_FALSE(ad.Background().isNull()) << "alice's demo page";
    QTest::mouseClick(&ad, Qt::LeftButton, {}, QPoint(640, 405));
    ASSERT_TRUE(SpinUntil([&] { return Ready(ad) && ad.Page() == 2; }));
    EXPECT_EQ(ad.windowTitle(), "Whiteboard - Draw - Page 2");

    // A stroke across the empty lower middle of page 2, then Save.
    Stroke(&ad, QPoint(150, 380), QPoint(450, 380));
    ad.SaveButton()->click();
    EXPECT_EQ(ad.State(), ViewState::Saving);
    ASSERT_TRUE(SpinUntil([&] { return Ready(ad); }));
    ASSERT_TRUE(SpinUntil([&] { return Black(ServerPage("alice", 2), QPoint(288, 369)); }));

    // Bob: "View Whiteboard" on alice in his contact menu, then page 2.
    CNotepadViewDlg& bv = View(*bob);
    bob->state->FindModule<contacts::ContactsModule>()->RunCommand(
        contacts::ContactsModule::kViewWhiteboard, "alice");
    ASSERT_TRUE(SpinUntil([&] { return bv.isVisible() && bv.Ready(); }));
    EXPECT_EQ(bv.windowTitle(), "Whiteboard - View [alice] Page 1");
    QTest::mouseClick(&bv, Qt::LeftButton, {}, QPoint(640, 405));
    ASSERT_TRUE(SpinUntil([&] { return bv.Ready() && bv.Page() == 2; }));
    EXPECT_EQ(bv.windowTitle(), "Whiteboard - View [alice] Page 2");
    EXPECT_TRUE(Black(bv.PageShown(), QPoint(288, 369)));
    EXPECT_FALSE(Black(bv.PageShown(), QPoint(288, 289)));

    // Alice draws again and saves; bob's viewer shows it after a tick.
    Stroke(&ad, QPoint(150, 300), QPoint(450, 300));
    ad.Save();
    ASSERT_TRUE(SpinUntil([&] { return Ready(ad); }));
    ASSERT_TRUE(SpinUntil([&] { return Black(bv.PageShown(), QPoint(288, 289)); }));

    // Bob drags alice's page into his own drawing window (his page 1) and saves.
    CNotepadDrawDlg& bd = Draw(*bob);
    bob->state->MainWindow().ToolButton(shell::Tool::Whiteboard)->click();
    ASSERT_TRUE(SpinUntil([&] { return bd.isVisible() && Ready(bd); }));
    ASSERT_EQ(bd.Page(), 1);
    bv.move(bd.frameGeometry().right() + 40, bd.frameGeometry().top());
    const QPoint into = bd.frameGeometry().center();
    const auto send = [&](QEvent::Type type, QPoint global, Qt::MouseButton button,
                          Qt::MouseButtons buttons) {
        QMouseEvent e(type, QPointF(200, 200), QPointF(global), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(&bv, &e);
    };
    send(QEvent::MouseButtonPress, bv.mapToGlobal(QPoint(200, 200)), Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, into, Qt::NoButton, Qt::LeftButton);
    EXPECT_TRUE(bd.Highlighted());
    send(QEvent::MouseButtonRelease, into, Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(bd.Highlighted());
    ASSERT_TRUE(SpinUntil([&] { return Black(bd.PageShown(), QPoint(288, 289)); }));
    EXPECT_EQ(bd.Page(), 1);
    bd.Save();
    ASSERT_TRUE(SpinUntil([&] { return Ready(bd) && Black(ServerPage("bob", 1), QPoint(288, 289)); }));
    const QImage hers = ServerPage("alice", 2);
    const QImage his = ServerPage("bob", 1);
    EXPECT_EQ(his.convertToFormat(QImage::Format_RGB32), hers.convertToFormat(QImage::Format_RGB32));
}

TEST_F(WhiteboardEndToEnd, AnUploadOverTheLimitReturnsToReady) {
    Service().SetMaxPageBytes(100);
    CNotepadDrawDlg& ad = Draw(*alice);
    ad.Open();
    ASSERT_TRUE(SpinUntil([&] { return Ready(ad); }));
    Stroke(&ad, QPoint(100, 381), QPoint(300, 381));
    const QImage before = ServerPage("alice", 1);
    ad.Save();
    ASSERT_TRUE(SpinUntil([&] { return Ready(ad); }));
    EXPECT_EQ(ad.Page(), 1);
    EXPECT_EQ(ad.Items().Items().size(), 1u) << "the drawing is kept";
    ASSERT_TRUE(SpinUntil([&] { return alice->state->ServerResponseWindow().isVisible(); }));
    EXPECT_TRUE(alice->state->ServerResponseWindow().Text().contains(
        "The size of the notepad page is too large"));
    EXPECT_EQ(ServerPage("alice", 1), before);
    // And the next save goes: the slot was freed.
    Service().SetMaxPageBytes(1024 * 1024);
    ad.Save();
    ASSERT_TRUE(SpinUntil([&] { return Ready(ad) && Black(ServerPage("alice", 1), QPoint(150, 370)); }));
}

TEST_F(WhiteboardEndToEnd, AnUnknownAccountIsSaid) {
    CNotepadViewDlg& bv = View(*bob);
    ASSERT_TRUE(bv.OpenView("nobody", 1));
    ASSERT_TRUE(SpinUntil([&] { return bob->state->ServerResponseWindow().isVisible(); }));
    EXPECT_TRUE(bob->state->ServerResponseWindow().Text().contains(
        "An account with the specified username could not be found"));
    EXPECT_FALSE(bv.isVisible());
    // The shared slot is free again.
    ASSERT_TRUE(bv.OpenView("alice", 1));
    ASSERT_TRUE(SpinUntil([&] { return bv.isVisible() && bv.Ready(); }));
}

}  // namespace
}  // namespace whiteboard
