// The drawing and viewing windows inside a whole program that is not
// connected: pages are served as download messages through the client's
// router, MsgNotepad responses as bytes, and what the windows send is read
// back from the file-server connection's queue.

#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QPointingDevice>
#include <QTabletEvent>
#include <QTest>

#include "app/AppHarness.h"
#include "net/RoutingTestSupport.h"
#include "ui/FixedButton.h"
#include "ui/ServerResponseDlg.h"
#include "whiteboard/NotepadDrawDlg.h"
#include "whiteboard/NotepadPainter.h"
#include "whiteboard/NotepadViewDlg.h"
#include "whiteboard/PageRequests.h"
#include "whiteboard/WhiteboardModule.h"

namespace whiteboard {
namespace {

using net::Primary;
using net::Secondary;
using testsupport::SpinUntil;

QByteArray Png(int width, int height, QColor colour) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A page request as it went out: direction, account, page, purpose field.
struct Asked {
    int32_t primary = -1;
    int32_t code = -1;
    std::string account;
    int32_t page = -1;
    int32_t size = -1;  // uploads: the file size
};

class WhiteboardWindows : public ::testing::Test {
  protected:
    void SetUp() override {
        h = std::make_unique<apptest::AppHarness>();
        h->state->Client().SetLogin("alice", "alicepass");
        module = h->state->FindModule<WhiteboardModule>();
        ASSERT_NE(module, nullptr);
        draw = module->DrawWindow();
        view = module->ViewWindow();
        Drain();
    }

    net::Client& Client() { return h->state->Client(); }
    std::vector<Asked> Drain() {
        std::vector<Asked> out;
        for (const routingtest::Sent& s : routingtest::Drain(Client().FileServer())) {
            Asked a;
            a.primary = s.header.nDescPrimary;
            auto r = s.Reader();
            a.code = r.Code();
            if (a.primary == +Primary::Download) {
                r.Str(0, 255, a.account);
                r.Int(-1, -1, a.page);
            } else if (a.primary == +Primary::Upload) {
                r.Int(-1, -1, a.size);
                r.Int(-1, -1, a.page);
            }
            out.push_back(a);
        }
        return out;
    }
    // The one page download that went out: "account/page", or what went out instead.
    std::string OneDownload() {
        const std::vector<Asked> sent = Drain();
        if (sent.size() != 1 || sent[0].primary != +Primary::Download) {
            return "<" + std::to_string(sent.size()) + " messages>";
        }
        return sent[0].account + "/" + std::to_string(sent[0].page);
    }

    void Route(net::MessageWriter& m, Primary p) {
        const net::bufHeader header =
            routingtest::Receive(Client().FileServer(), m, p, +Secondary::Response);
        Client().router().RouteMsg(Client().FileServer(), header);
    }
    void Serve(const QByteArray& bytes) {
        net::MessageWriter m(net::download::kStart);
        m.Int(3).Int(static_cast<int32_t>(bytes.size())).Raw(bytes.constData(),
                                                             static_cast<int>(bytes.size()));
        Route(m, Primary::Download);
    }
    void RefuseDownload(int32_t code = net::download::kRefused) {
        net::MessageWriter m(code);
        m.Int(3);
        Route(m, Primary::Download);
    }
    void Notepad(int32_t code, std::optional<int32_t> page = std::nullopt) {
        net::MessageWriter m(code);
        if (page) m.Int(*page);
        Route(m, Primary::Notepad);
    }

    // Opens the drawing window on a served page of that colour.
    void OpenOn(QColor colour) {
        draw->Open();
        ASSERT_TRUE(SpinUntil([&] { return draw->isVisible(); }));
        Drain();
        Serve(Png(634, 400, colour));
        ASSERT_EQ(draw->State(), ViewState::Ready);
    }

    // A mouse stroke through window points.
    void MouseStroke(std::initializer_list<QPoint> points) {
        auto it = points.begin();
        QTest::mousePress(draw, Qt::LeftButton, {}, *it);
        for (++it; it != points.end(); ++it) {
            QMouseEvent move(QEvent::MouseMove, *it, draw->mapToGlobal(*it), Qt::NoButton,
                             Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(draw, &move);
        }
        QTest::mouseRelease(draw, Qt::LeftButton, {}, *(points.end() - 1));
    }

    void Tablet(QEvent::Type type, const QPointingDevice& device, QPoint at, Qt::MouseButton button,
                Qt::MouseButtons buttons) {
        QTabletEvent e(type, &device, QPointF(at), QPointF(draw->mapToGlobal(at)), 0.5, 0, 0, 0, 0,
                       0, Qt::NoModifier, button, buttons);
        QApplication::sendEvent(draw, &e);
    }

    QString LocalFile(const std::string& name) {
        return QString::fromStdString(Client().DataPath(name));
    }

    std::unique_ptr<apptest::AppHarness> h;
    WhiteboardModule* module = nullptr;
    CNotepadDrawDlg* draw = nullptr;
    CNotepadViewDlg* view = nullptr;
};

TEST_F(WhiteboardWindows, OpenWithoutLastAccessedShowsPageOne) {
    EXPECT_EQ(draw->windowTitle(), "Notepad - Draw");
    draw->Open();
    EXPECT_EQ(OneDownload(), "alice/1");
    EXPECT_EQ(draw->State(), ViewState::Loading);
    Serve(Png(634, 400, Qt::red));
    EXPECT_EQ(draw->windowTitle(), "Whiteboard - Draw - Page 1");
    EXPECT_EQ(draw->State(), ViewState::Ready);
    EXPECT_EQ(draw->Background().pixelColor(5, 5), QColor(Qt::red));
    EXPECT_TRUE(QFile::exists(LocalFile("files/remote/accounts/alice/notepad/page1.png")));
}

TEST_F(WhiteboardWindows, LastAccessedIsReadAndWrittenAndOutOfRangeMeansPageOne) {
    ASSERT_TRUE(net::CreateTransferDirectories(Client().DataDirectory(), kLocalNotepadFolder));
    const QString file = LocalFile(kLastAccessedName);
    const auto write = [&](const QByteArray& text) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    };
    write("3");
    draw->Open();
    EXPECT_EQ(OneDownload(), "alice/3");
    write("9");
    draw->Open();
    EXPECT_EQ(OneDownload(), "<0 messages>") << "the slot is still busy with page 3";
    Serve(Png(634, 400, Qt::white));
    EXPECT_EQ(OneDownload(), "alice/1");
    Serve(Png(634, 400, Qt::white));
    EXPECT_EQ(draw->Page(), 1);

    // Close keeps the page: "%i", no line end.
    draw->FetchPage(4);
    Serve(Png(634, 400, Qt::white));
    draw->Close();
    EXPECT_FALSE(draw->isVisible());
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "4");
}

TEST_F(WhiteboardWindows, TheCornerTurnsPagesButNotPastTheEnds) {
    OpenOn(Qt::white);
    // Previous on page 1: nothing.
    QTest::mouseClick(draw, Qt::LeftButton, {}, QPoint(620, 385));
    EXPECT_EQ(OneDownload(), "<0 messages>");
    // Next, four times, to page 5.
    for (int page = 2; page <= 5; ++page) {
        QTest::mouseClick(draw, Qt::LeftButton, {}, QPoint(640, 405));
        EXPECT_EQ(draw->State(), ViewState::Loading);
        EXPECT_EQ(OneDownload(), "alice/" + std::to_string(page));
        Serve(Png(634, 400, Qt::white));
    }
    QTest::mouseClick(draw, Qt::LeftButton, {}, QPoint(640, 405));
    EXPECT_EQ(OneDownload(), "<0 messages>") << "no page after 5";
    // Exactly on the diagonal: back.
    QTest::mouseClick(draw, Qt::LeftButton, {}, QPoint(631, 396));
    EXPECT_EQ(OneDownload(), "alice/4");
    EXPECT_EQ(draw->Page(), 4);
}

TEST_F(WhiteboardWindows, MouseInputWhileLoadingIsIgnored) {
    draw->Open();
    ASSERT_TRUE(SpinUntil([&] { return draw->isVisible(); }));
    Drain();
    MouseStroke({QPoint(100, 100), QPoint(200, 150), QPoint(250, 200)});
    QTest::mouseClick(draw, Qt::LeftButton, {}, QPoint(640, 405));
    EXPECT_TRUE(draw->Items().Items().empty());
    EXPECT_EQ(OneDownload(), "<0 messages>") << "no page turn while loading";
}

TEST_F(WhiteboardWindows, UndoAndRedoByKeys) {
    OpenOn(Qt::white);
    MouseStroke({QPoint(100, 100), QPoint(150, 100)});
    MouseStroke({QPoint(100, 150), QPoint(150, 150)});
    MouseStroke({QPoint(100, 200), QPoint(150, 200)});
    ASSERT_EQ(draw->Items().Items().size(), 3u);
    EXPECT_EQ(draw->Items().Items()[2].segments.front().from, (PagePoint{88, 189}));
    QTest::keyClick(draw, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(draw->Items().Items().size(), 2u);
    QTest::keyClick(draw, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(draw->Items().Items().size(), 3u);
    QTest::keyClick(draw, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(draw->Items().Items().size(), 3u);
}

TEST_F(WhiteboardWindows, ClearThenRevertShowsTheStoredPage) {
    OpenOn(Qt::red);
    MouseStroke({QPoint(100, 100), QPoint(200, 100)});
    draw->ClearButton()->click();
    EXPECT_TRUE(draw->Background().isNull());
    EXPECT_TRUE(draw->Items().Items().empty());
    EXPECT_EQ(OneDownload(), "<0 messages>") << "Clear sends nothing";
    draw->RevertButton()->click();
    EXPECT_EQ(draw->State(), ViewState::Loading);
    EXPECT_EQ(OneDownload(), "alice/1");
    Serve(Png(634, 400, Qt::red));
    EXPECT_EQ(draw->PageShown().pixelColor(300, 300), QColor(Qt::red));
}

TEST_F(WhiteboardWindows, ClearThenSaveStoresABlankPage) {
    OpenOn(Qt::red);
    draw->ClearButton()->click();
    draw->SaveButton()->click();
    EXPECT_EQ(draw->State(), ViewState::Saving);
    const std::vector<Asked> sent = Drain();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].primary, +Primary::Upload);
    EXPECT_EQ(sent[0].code, 1);
    EXPECT_EQ(sent[0].page, 1);
    const QString file = LocalFile("files/local/account/notepad/page1.png");
    EXPECT_EQ(sent[0].size, QFileInfo(file).size());
    const QImage saved(file);
    ASSERT_EQ(saved.size(), QSize(634, 400));
    for (const QPoint p : {QPoint(0, 0), QPoint(300, 200), QPoint(620, 390)}) {
        EXPECT_EQ(saved.pixelColor(p), QColor(255, 255, 255)) << p.x() << "," << p.y();
    }
}

TEST_F(WhiteboardWindows, TheSavedPageHoldsTheDrawingWhereTheCornerAndBorderAreShown) {
    OpenOn(Qt::white);
    // Along page row 395, through the corner, to the right edge.
    MouseStroke({QPoint(20, 406), QPoint(645, 406)});
    // Down page column 0, on the left border.
    MouseStroke({QPoint(12, 50), QPoint(12, 300)});
    const QImage shown = draw->PageShown();
    EXPECT_EQ(shown.pixelColor(620, 395), QColor(197, 197, 197)) << "the window shows the corner";
    EXPECT_EQ(shown.pixelColor(625, 375), QColor(98, 98, 98));
    EXPECT_EQ(shown.pixelColor(0, 200), QColor(216, 216, 216)) << "and the border";

    draw->Save();
    const QImage saved(LocalFile("files/local/account/notepad/page1.png"));
    ASSERT_EQ(saved.size(), QSize(634, 400));
    EXPECT_EQ(saved.pixelColor(620, 395), QColor(0, 0, 0));
    EXPECT_EQ(saved.pixelColor(633, 395), QColor(0, 0, 0));
    EXPECT_EQ(saved.pixelColor(0, 200), QColor(0, 0, 0));
    EXPECT_EQ(saved.pixelColor(625, 375), QColor(255, 255, 255));
    EXPECT_EQ(saved.pixelColor(300, 0), QColor(255, 255, 255));
}

TEST_F(WhiteboardWindows, SaveWorksOnlyWhenReady) {
    draw->Open();
    Drain();
    const QString file = LocalFile("files/local/account/notepad/page1.png");
    draw->Save();
    EXPECT_EQ(Drain().size(), 0u) << "nothing is stored while loading";
    EXPECT_FALSE(QFile::exists(file));

    Serve(Png(634, 400, Qt::green));
    draw->Save();
    ASSERT_EQ(Drain().size(), 1u);
    const QByteArray first = [&] {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    MouseStroke({QPoint(100, 100), QPoint(300, 300)});  // ignored: saving
    draw->Save();
    EXPECT_EQ(Drain().size(), 0u) << "the file being sent is not written again";
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), first);
}

TEST_F(WhiteboardWindows, ARefusedUploadReturnsToTheSamePageWithTheDrawingKept) {
    draw->Open();
    Drain();
    Serve(Png(634, 400, Qt::white));
    draw->FetchPage(3);
    Serve(Png(634, 400, Qt::white));
    Drain();
    MouseStroke({QPoint(100, 100), QPoint(200, 100)});
    draw->Save();
    Drain();
    net::MessageWriter refusal(net::upload::kRefusedNotepadTooLarge);
    refusal.Str("A whiteboard page may be at most 100 bytes");
    Route(refusal, Primary::Upload);
    EXPECT_EQ(draw->State(), ViewState::Ready);
    EXPECT_EQ(draw->Page(), 3);
    EXPECT_EQ(draw->Items().Items().size(), 1u);
    EXPECT_TRUE(h->state->ServerResponseWindow().Text().contains(
        "The size of the notepad page is too large"));

    // Again, with details that do not decode: still back to ready.
    draw->Save();
    EXPECT_EQ(draw->State(), ViewState::Saving);
    net::MessageWriter bare(net::upload::kRefusedNotepadTooLarge);
    Route(bare, Primary::Upload);
    EXPECT_EQ(draw->State(), ViewState::Ready);
    EXPECT_EQ(draw->Page(), 3);
}

TEST_F(WhiteboardWindows, NotepadResponses) {
    draw->Open();
    Drain();
    Serve(Png(634, 400, Qt::white));
    draw->FetchPage(2);
    Serve(Png(634, 400, Qt::white));
    Drain();
    Notepad(2, 6);
    EXPECT_EQ(OneDownload(), "<0 messages>");
    Notepad(2, 0);
    EXPECT_EQ(OneDownload(), "<0 messages>");
    EXPECT_EQ(draw->Page(), 2);
    Notepad(2, 4);
    EXPECT_EQ(OneDownload(), "alice/4");
    EXPECT_EQ(draw->State(), ViewState::Ready) << "no change of state";
    Serve(Png(634, 400, Qt::white));
    EXPECT_EQ(draw->Page(), 4);
    Notepad(0);
    EXPECT_EQ(draw->Page(), 1);
    EXPECT_EQ(draw->State(), ViewState::Ready);
    Notepad(5);
    EXPECT_EQ(Client().router().FamilyLog(Primary::Notepad).Text(),
              "MsgNotepad.HandleResponse(1): Unknown response '5' received from server");
}

TEST_F(WhiteboardWindows, TabletPenEraserAndBarrelButtons) {
    OpenOn(Qt::white);
    const QPointingDevice pen("pen", 1, QInputDevice::DeviceType::Stylus,
                              QPointingDevice::PointerType::Pen, QInputDevice::Capability::Position,
                              1, 3);
    const QPointingDevice eraser("eraser", 2, QInputDevice::DeviceType::Stylus,
                                 QPointingDevice::PointerType::Eraser,
                                 QInputDevice::Capability::Position, 1, 3);
    // An inverted pen erases.
    Tablet(QEvent::TabletPress, eraser, {100, 100}, Qt::LeftButton, Qt::LeftButton);
    Tablet(QEvent::TabletMove, eraser, {150, 120}, Qt::NoButton, Qt::LeftButton);
    Tablet(QEvent::TabletRelease, eraser, {150, 120}, Qt::LeftButton, Qt::NoButton);
    ASSERT_EQ(draw->Items().Items().size(), 1u);
    EXPECT_EQ(draw->Items().Items()[0].kind, Tool::Eraser);
    EXPECT_EQ(draw->Items().Items()[0].segments,
              (std::vector<Segment>{{{88, 89}, {138, 109}}}));
    EXPECT_EQ(draw->CurrentTool(), Tool::Eraser);
    EXPECT_TRUE(draw->EraserButton()->isDown());
    EXPECT_FALSE(draw->PencilButton()->isDown());

    Tablet(QEvent::TabletPress, pen, {200, 200}, Qt::LeftButton, Qt::LeftButton);
    Tablet(QEvent::TabletMove, pen, {260, 200}, Qt::NoButton, Qt::LeftButton);
    Tablet(QEvent::TabletRelease, pen, {260, 200}, Qt::LeftButton, Qt::NoButton);
    ASSERT_EQ(draw->Items().Items().size(), 2u);
    EXPECT_EQ(draw->Items().Items()[1].kind, Tool::Pen);
    EXPECT_TRUE(draw->PencilButton()->isDown());
    EXPECT_EQ(draw->PageShown().pixelColor(230, 189), QColor(0, 0, 0));

    // The second barrel button undoes, the first redoes.
    Tablet(QEvent::TabletRelease, pen, {300, 300}, Qt::RightButton, Qt::NoButton);
    EXPECT_EQ(draw->Items().Items().size(), 1u);
    EXPECT_EQ(draw->PageShown().pixelColor(230, 189), QColor(255, 255, 255));
    Tablet(QEvent::TabletRelease, pen, {300, 300}, Qt::MiddleButton, Qt::NoButton);
    EXPECT_EQ(draw->Items().Items().size(), 2u);
}

TEST_F(WhiteboardWindows, PicturesThatDoNotDecodeGiveNoBackground) {
    draw->Open();
    Drain();
    Serve(Png(4097, 8, Qt::red));
    EXPECT_EQ(draw->State(), ViewState::Ready);
    EXPECT_TRUE(draw->Background().isNull()) << "over the 4096-pixel limit";
    draw->Revert();
    Serve(QByteArray("this is no picture"));
    EXPECT_EQ(draw->State(), ViewState::Ready);
    EXPECT_TRUE(draw->Background().isNull());
    draw->Revert();
    RefuseDownload();
    EXPECT_EQ(draw->State(), ViewState::Ready) << "a page never stored shows blank";
    EXPECT_TRUE(draw->Background().isNull());
    draw->Revert();
    Serve(Png(4096, 10, Qt::red));
    EXPECT_FALSE(draw->Background().isNull()) << "the limit itself decodes";
}

TEST_F(WhiteboardWindows, TheViewerWaitsForTheSharedSlotAndRefreshesOnTheTick) {
    draw->Open();
    EXPECT_EQ(OneDownload(), "alice/1");
    EXPECT_TRUE(view->OpenView("bob", 1));
    EXPECT_EQ(OneDownload(), "<0 messages>") << "slot 3 is busy";
    Serve(Png(634, 400, Qt::white));
    EXPECT_EQ(draw->State(), ViewState::Ready);
    EXPECT_EQ(OneDownload(), "bob/1") << "the kept request goes when the slot frees";
    EXPECT_FALSE(view->isVisible());
    Serve(Png(634, 400, Qt::blue));
    EXPECT_EQ(view->windowTitle(), "Whiteboard - View [bob] Page 1");
    EXPECT_TRUE(SpinUntil([&] { return view->isVisible(); }));
    EXPECT_EQ(view->PageShown().pixelColor(100, 100), QColor(Qt::blue));

    view->Tick();
    EXPECT_EQ(OneDownload(), "bob/1");
    view->Tick();
    EXPECT_EQ(OneDownload(), "<0 messages>") << "one refresh at a time";
    Serve(Png(634, 400, Qt::green));
    EXPECT_EQ(view->PageShown().pixelColor(100, 100), QColor(Qt::green));

    // Turning the viewer's pages.
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(640, 405));
    EXPECT_EQ(OneDownload(), "bob/2");
    RefuseDownload();
    EXPECT_EQ(view->windowTitle(), "Whiteboard - View [bob] Page 2");
    EXPECT_EQ(view->PageShown().pixelColor(100, 100), QColor(Qt::white));
}

TEST_F(WhiteboardWindows, NamesThatCannotBeLocalPathsAreNotAskedFor) {
    for (const char* bad : {"../alice", "a/b", "..", ""}) {
        EXPECT_FALSE(view->OpenView(bad, 1)) << bad;
    }
    EXPECT_EQ(OneDownload(), "<0 messages>");
}

TEST_F(WhiteboardWindows, DraggingAViewedPageIntoTheDrawingWindow) {
    OpenOn(Qt::white);
    draw->FetchPage(3);
    Serve(Png(634, 400, Qt::white));
    view->OpenView("bob", 2);
    Drain();
    Serve(Png(634, 400, Qt::blue));
    ASSERT_TRUE(SpinUntil([&] { return view->isVisible(); }));
    view->move(draw->frameGeometry().right() + 50, draw->frameGeometry().top());

    const QRect d = draw->frameGeometry();
    const auto send = [&](QEvent::Type type, QPoint global, Qt::MouseButton button,
                          Qt::MouseButtons buttons) {
        QMouseEvent e(type, QPointF(100, 100), QPointF(global), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(view, &e);
    };
    send(QEvent::MouseButtonPress, view->mapToGlobal(QPoint(100, 100)), Qt::LeftButton,
         Qt::LeftButton);
    EXPECT_TRUE(view->Dragging());
    send(QEvent::MouseMove, d.topLeft() + QPoint(18, 37), Qt::NoButton, Qt::LeftButton);
    EXPECT_TRUE(draw->Highlighted());
    EXPECT_EQ(draw->PageShown().pixelColor(2, 200), QColor(0, 153, 255));
    send(QEvent::MouseMove, d.topLeft() + QPoint(17, 37), Qt::NoButton, Qt::LeftButton);
    EXPECT_FALSE(draw->Highlighted()) << "the left edge of the area";
    send(QEvent::MouseMove, QPoint(d.right() + 1 - 18, d.bottom() + 1 - 61), Qt::NoButton,
         Qt::LeftButton);
    EXPECT_FALSE(draw->Highlighted()) << "the right and bottom edges lie outside";
    send(QEvent::MouseMove, QPoint(d.right() - 18, d.bottom() - 61), Qt::NoButton, Qt::LeftButton);
    EXPECT_TRUE(draw->Highlighted());
    send(QEvent::MouseButtonRelease, QPoint(d.right() - 18, d.bottom() - 61), Qt::LeftButton,
         Qt::NoButton);
    EXPECT_FALSE(draw->Highlighted());
    EXPECT_EQ(OneDownload(), "bob/2");
    Serve(Png(634, 400, Qt::blue));
    EXPECT_EQ(draw->Page(), 3) << "the own page number stays";
    EXPECT_EQ(draw->Background().pixelColor(50, 50), QColor(Qt::blue))
        << "the viewed account's file, not the own page's";
    draw->Save();
    const std::vector<Asked> sent = Drain();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].page, 3);
    EXPECT_EQ(QImage(LocalFile("files/local/account/notepad/page3.png")).pixelColor(50, 50),
              QColor(Qt::blue));

    // A release outside the area fetches nothing.
    send(QEvent::MouseButtonPress, view->mapToGlobal(QPoint(100, 100)), Qt::LeftButton,
         Qt::LeftButton);
    send(QEvent::MouseButtonRelease, d.topLeft() - QPoint(5, 5), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(OneDownload(), "<0 messages>");
}

TEST_F(WhiteboardWindows, PencilAndEraserButtons) {
    OpenOn(Qt::white);
    EXPECT_EQ(draw->PencilButton()->toolTip(), "Pen");
    EXPECT_EQ(draw->EraserButton()->toolTip(), "Eraser");
    EXPECT_EQ(draw->ClearButton()->toolTip(), "Clears the whiteboard");
    EXPECT_EQ(draw->RevertButton()->toolTip(), "Reverts back to the saved whiteboard");
    EXPECT_EQ(draw->SaveButton()->toolTip(), "Saves the whiteboard");
    EXPECT_TRUE(draw->PencilButton()->isDown());
    QTest::mouseClick(draw->EraserButton(), Qt::LeftButton);
    EXPECT_EQ(draw->CurrentTool(), Tool::Eraser);
    EXPECT_TRUE(SpinUntil([&] { return draw->EraserButton()->isDown(); },
                          std::chrono::milliseconds(500)));
    EXPECT_FALSE(draw->PencilButton()->isDown());
    MouseStroke({QPoint(100, 100), QPoint(200, 100)});
    EXPECT_EQ(draw->Items().Items()[0].kind, Tool::Eraser);
}

}  // namespace
}  // namespace whiteboard
