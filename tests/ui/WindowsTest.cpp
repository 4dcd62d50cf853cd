#include <gtest/gtest.h>

#include <algorithm>

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTextEdit>

#include "support/TempDir.h"
#include "support/Wait.h"
#include "support/qt/ScriptedDialogs.h"
#include "ui/DialogLayout.h"
#include "ui/FixedButton.h"
#include "ui/PictureEx.h"
#include "ui/ServerResponseDlg.h"
#include "ui/SkinnedDlg.h"
#include "ui/TextConvert.h"
#include "ui/TextViewerDlg.h"

namespace {

using testsupport::ScriptedDialogs;

bool SpinUntil(const std::function<bool()>& done) {
    return testsupport::WaitUntil([&] {
        QApplication::processEvents();
        return done();
    });
}

class Windows : public ::testing::Test {
  protected:
    // The pictures a sign-in window would register, as any window's would be.
    Windows() {
        skin.RegisterBackground("IDB_BKGNDLOGIN", QSize(336, 213), "Sign in");
        skin.RegisterButton("NEXT", QSize(88, 30), "Next");
        skin.RegisterButton("RIGHT", QSize(26, 26));
    }
    ui::Skin skin{1.0};
    ScriptedDialogs dialogs;
    net::Timings timings = net::Timings::Fast();
};

TEST(DialogLayout, ArithmeticOfTheFixedDensity) {
    EXPECT_EQ(ui::DialogFontHeight(8), -11);
    EXPECT_EQ(ui::DialogFontHeight(9), -12);
    EXPECT_EQ(ui::DialogFontHeight(10), -13);
    EXPECT_EQ(ui::DialogFontHeight(12), -16);
    EXPECT_EQ(ui::AverageCharWidth(260), 5);  // (10 + 1) / 2
    EXPECT_EQ(ui::AverageCharWidth(285), 5);  // 285 / 26 is 10: the remainder is dropped first
    EXPECT_EQ(ui::AverageCharWidth(286), 6);  // (11 + 1) / 2
    EXPECT_EQ(ui::AverageCharWidth(312), 6);  // (12 + 1) / 2
    const ui::DialogUnits units{13, 6};
    EXPECT_EQ(ui::DluToPixels(QRect(7, 7, 50, 14), units), QRect(11, 11, 75, 23));
    EXPECT_EQ(ui::DluToPixels(QSize(186, 101), units), QSize(279, 164));
    const QFont font = ui::MakeDialogFont({});
    EXPECT_EQ(font.pixelSize(), 11);
    EXPECT_EQ(font.family(), QStringLiteral("Tahoma"));
}

TEST_F(Windows, UnknownBackgroundIsReportedAndTheWindowStillOpens) {
    ui::CSkinnedDlg dlg(skin, dialogs, timings);
    dlg.SetClientSize(QSize(200, 100));
    EXPECT_FALSE(dlg.SetBackground("IDB_BKGNDNOWHERE"));
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.Last().title, "Error");
    EXPECT_EQ(dialogs.Last().text, "Failed to load bitmap resource, IDB_BKGNDNOWHERE");
    EXPECT_FALSE(dlg.HasBackground());
    dlg.ShowInFrontNow();
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(dlg.size(), QSize(200, 100));
    EXPECT_FALSE(dlg.grab().isNull());
}

TEST_F(Windows, BackgroundFixesTheSizeAndOkHides) {
    ui::CSkinnedDlg dlg(skin, dialogs, timings);
    EXPECT_TRUE(dlg.SetBackground("IDB_BKGNDLOGIN"));
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(dlg.size(), QSize(336, 213));
    EXPECT_EQ(dlg.minimumSize(), dlg.maximumSize());
    dlg.ShowInFrontNow();
    dlg.accept();
    EXPECT_FALSE(dlg.isVisible());
    dlg.ShowInFrontNow();
    dlg.reject();
    EXPECT_FALSE(dlg.isVisible());
    // The painted window shows the picture at its origin.
    const QImage shot = dlg.grab().toImage();
    EXPECT_EQ(shot.pixel(5, 5), skin.Bitmap("IDB_BKGNDLOGIN").toImage().pixel(5, 5));
}

TEST_F(Windows, ShowInFrontWaitsCentresAndCanBeCancelled) {
    ui::CSkinnedDlg dlg(skin, dialogs, timings);
    dlg.SetBackground("IDB_BKGNDACCOUNTCHANGEFULLNAME");
    int shown = 0;
    QObject::connect(&dlg, &ui::CSkinnedDlg::shownInFront, [&] { ++shown; });
    dlg.ShowInFront();
    EXPECT_FALSE(dlg.isVisible());  // not before the delay
    EXPECT_TRUE(dlg.ShowPending());
    ASSERT_TRUE(SpinUntil([&] { return dlg.isVisible(); }));
    EXPECT_EQ(shown, 1);
    const QRect screen = dlg.ScreenRect();
    EXPECT_EQ(dlg.pos(), ui::CSkinnedDlg::CentredTopLeft(screen, dlg.OuterSize()));
    dlg.hide();
    dlg.ShowInFront();
    dlg.hide();  // cancelled before the delay passed
    EXPECT_FALSE(dlg.ShowPending());
    EXPECT_EQ(ui::CSkinnedDlg::CentredTopLeft(QRect(0, 0, 1024, 768), QSize(288, 136)),
              QPoint(368, 316));
}

TEST_F(Windows, LogicalSizeDoesNotDependOnTheDeviceRatio) {
    ui::Skin dense(1.5);
    ui::CSkinnedDlg a(skin, dialogs, timings);
    ui::CSkinnedDlg b(dense, dialogs, timings);
    a.SetBackground("IDB_SERVERRESPONSE");
    b.SetBackground("IDB_SERVERRESPONSE");
    EXPECT_EQ(a.size(), b.size());
    EXPECT_EQ(a.Units().charHeight, b.Units().charHeight);
    EXPECT_EQ(a.Units().avgCharWidth, b.Units().avgCharWidth);
    EXPECT_EQ(a.font().pixelSize(), 11);
}

TEST_F(Windows, DoubleClickOnFixedButtonGivesTwoCommands) {
    QWidget parent;
    ui::CFixedButton button(skin, "RIGHT", &parent);
    EXPECT_EQ(button.size(), skin.SizeOf("RIGHTU"));
    int clicks = 0;
    QObject::connect(&button, &QAbstractButton::clicked, [&] { ++clicks; });
    parent.show();
    auto send = [&](QEvent::Type type, Qt::MouseButtons held) {
        QMouseEvent e(type, QPointF(5, 5), QPointF(button.mapToGlobal(QPoint(5, 5))),
                      Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(&button, &e);
    };
    send(QEvent::MouseButtonPress, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, Qt::NoButton);
    EXPECT_EQ(clicks, 1);
    send(QEvent::MouseButtonDblClick, Qt::LeftButton);
    EXPECT_TRUE(button.isDown());  // the pressed look
    send(QEvent::MouseButtonRelease, Qt::NoButton);
    EXPECT_EQ(clicks, 2);
    EXPECT_FALSE(button.isDown());
    send(QEvent::MouseButtonRelease, Qt::NoButton);  // no mark left behind
    EXPECT_EQ(clicks, 2);
    EXPECT_TRUE(button.SetCaption("MAILACTIVE"));
    EXPECT_FALSE(button.SetCaption("NOSUCHCAPTION"));
}

TEST_F(Windows, FixedButtonPaintsTheLookOfItsState) {
    ui::CFixedButton button(skin, "NEXT");
    // A point inside the pill, away from its text and rounded ends.
    const QPoint probe(14, 8);
    auto shows = [&](const char* name) {
        return button.grab().toImage().pixel(probe) == skin.Bitmap(name).toImage().pixel(probe);
    };
    EXPECT_TRUE(shows("NEXTU"));
    EXPECT_FALSE(shows("NEXTD"));
    button.setDown(true);
    EXPECT_TRUE(shows("NEXTD"));
    button.setDown(false);
    button.setEnabled(false);
    EXPECT_TRUE(shows("NEXTX"));
}

TEST_F(Windows, TextViewerReadsLongLinesWholeAndKeepsCharactersIntact) {
    testsupport::TempDir dir;
    const QString path = QString::fromStdString(dir.path() + "/log.txt");
    // One 5000-byte line whose pieces split a three-byte character, then a
    // short CRLF line.
    std::string line = "a";
    for (int i = 0; i < 1666; ++i) line += "\xE2\x82\xAC";  // the euro sign
    line += "z";
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(line.c_str());
        f.write("\nsecond line\r\nthird");
    }
    std::vector<std::string> pieces;
    ASSERT_TRUE(ui::ReadTextPieces(path, pieces));
    ASSERT_EQ(pieces.size(), 5u);
    EXPECT_EQ(pieces[0].size(), 2046u);
    EXPECT_EQ(pieces[1].size(), 2046u);
    EXPECT_EQ(pieces[2].size(), line.size() + 1 - 4092);

    auto* viewer = ui::CTextViewerDlg::Open(skin, dialogs, timings, nullptr, path);
    QPointer<ui::CTextViewerDlg> guard(viewer);
    EXPECT_TRUE(dialogs.messages.isEmpty());
    const QString expected =
        QString::fromUtf8(line.c_str()) + QStringLiteral("\nsecond line\nthird");
    EXPECT_EQ(viewer->Text(), expected);
    EXPECT_FALSE(viewer->Text().contains(QChar(0xFFFD)));
    EXPECT_EQ(viewer->TextBox()->textCursor().position(), expected.size());  // caret at the end
    EXPECT_EQ(viewer->windowTitle(), "Text Viewer");
    ASSERT_TRUE(SpinUntil([&] { return viewer->isVisible(); }));
    viewer->reject();
    ASSERT_TRUE(SpinUntil([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return guard.isNull();
    }));
}

TEST_F(Windows, TextViewerOnAMissingFileSaysSoAndOpensEmpty) {
    testsupport::TempDir dir;
    const QString path = QString::fromStdString(dir.path() + "/absent.txt");
    auto* viewer = ui::CTextViewerDlg::Open(skin, dialogs, timings, nullptr, path);
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.Last().title, "Error");
    EXPECT_EQ(dialogs.Last().text, QStringLiteral("Unable to open '%1' for reading").arg(path));
    EXPECT_EQ(dialogs.Last().icon, ui::MsgIcon::Error);
    EXPECT_TRUE(viewer->Text().isEmpty());
    EXPECT_TRUE(SpinUntil([&] { return viewer->isVisible(); }));
    delete viewer;
}

TEST_F(Windows, ServerResponseTextAndPlacement) {
    EXPECT_EQ(ui::ServerResponseText("Unable to retrieve document", "No such folder"),
              "---- Response ----\r\n\r\nUnable to retrieve document\r\n\r\n"
              "---- Details ----\r\n\r\nNo such folder\r\n");
    // Texts carrying format characters are shown as they are.
    EXPECT_EQ(ui::ServerResponseText("100% %s", "%1"),
              "---- Response ----\r\n\r\n100% %s\r\n\r\n---- Details ----\r\n\r\n%1\r\n");
    const QRect screen(0, 0, 1024, 768);
    EXPECT_EQ(ui::ServerResponsePlacement(screen, QSize(296, 188), 0, 0), QPoint(324, 250));
    EXPECT_EQ(ui::ServerResponsePlacement(screen, QSize(296, 188), 79, 79), QPoint(403, 329));

    ui::CServerResponseDlg dlg(skin, dialogs, timings);
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(dlg.size(), QSize(296, 188));
    EXPECT_EQ(dlg.windowTitle(), "Server Response");
    for (int i = 0; i < 8; ++i) {
        dlg.ShowServerResponse("Poll not found", QStringLiteral("details %1").arg(i));
        ASSERT_TRUE(SpinUntil([&] { return dlg.isVisible(); }));
        // Before its first show a window's frame is not known yet, so the
        // first placement may centre the bare window instead of the framed one.
        const QPoint framed = ui::ServerResponsePlacement(dlg.ScreenRect(), dlg.OuterSize(), 0, 0);
        const QPoint bare = ui::ServerResponsePlacement(dlg.ScreenRect(), dlg.size(), 0, 0);
        EXPECT_GE(dlg.x(), std::min(framed.x(), bare.x()));
        EXPECT_LE(dlg.x(), std::max(framed.x(), bare.x()) + 79);
        EXPECT_GE(dlg.y(), std::min(framed.y(), bare.y()));
        EXPECT_LE(dlg.y(), std::max(framed.y(), bare.y()) + 79);
        EXPECT_EQ(dlg.TextBox()->textCursor().position(), 0);
        EXPECT_TRUE(dlg.TextBox()->toPlainText().contains(QStringLiteral("details %1").arg(i)));
        dlg.OkButton()->click();
        EXPECT_FALSE(dlg.isVisible());
    }
}

TEST_F(Windows, PictureExPlaysFramesWithTheirDelays) {
    QVector<ui::AnimationFrame> frames;
    for (int i = 0; i < 3; ++i) {
        QPixmap p(20, 10);
        p.fill(QColor::fromHsv(i * 100, 200, 200));
        frames.push_back({p, i == 1 ? 0 : 5});  // a zero delay must not spin
    }
    ui::CPictureEx picture;
    EXPECT_FALSE(picture.Load(QVector<ui::AnimationFrame>{}));
    ASSERT_TRUE(picture.Load(frames));
    EXPECT_EQ(picture.size(), QSize(20, 10));
    QVector<int> seen;
    QObject::connect(&picture, &ui::CPictureEx::frameChanged, [&](int i) { seen.push_back(i); });
    picture.Start();
    ASSERT_TRUE(SpinUntil([&] { return seen.size() >= 5; }));
    picture.Stop();
    EXPECT_EQ(seen.mid(0, 5), (QVector<int>{0, 1, 2, 0, 1}));
    EXPECT_FALSE(picture.IsPlaying());
    ASSERT_TRUE(picture.Load(skin, "GIF_AUTHENTICATING"));
    EXPECT_EQ(picture.FrameCount(), skin.Animation("GIF_AUTHENTICATING").size());
}

TEST(TextConvert, RefusesResultsOverTheLimitAndLeavesTheTarget) {
    QString target = QStringLiteral("before");
    EXPECT_TRUE(ui::Utf8ToText(std::string(32767, 'x'), target));
    EXPECT_EQ(target.size(), 32767);
    target = QStringLiteral("before");
    EXPECT_FALSE(ui::Utf8ToText(std::string(32768, 'x'), target));
    EXPECT_EQ(target, "before");
    // The limit counts UTF-16 units, not bytes: 16384 three-byte characters fit.
    std::string wide;
    for (int i = 0; i < 16384; ++i) wide += "\xE2\x82\xAC";
    EXPECT_TRUE(ui::Utf8ToText(wide, target));
    EXPECT_EQ(target.size(), 16384);
    EXPECT_EQ(ui::TextToUtf8(QStringLiteral("Gr\u00FC\u00DFe")),
              "Gr\xC3\xBC\xC3\x9F"
              "e");
    EXPECT_TRUE(ui::Utf8ToText(std::string_view(), target));
    EXPECT_TRUE(target.isEmpty());
}

}  // namespace
