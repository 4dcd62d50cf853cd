// "Export as PNG..." and "Export as PDF..." in the whiteboard windows'
// context menus: the bytes written, when they are offered, and that the
// right button leaves a stroke being drawn alone.

#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QContextMenuEvent>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QTest>

#include "app/AppHarness.h"
#include "net/RoutingTestSupport.h"
#include "whiteboard/NotepadDrawDlg.h"
#include "whiteboard/NotepadPainter.h"
#include "whiteboard/NotepadViewDlg.h"
#include "whiteboard/WhiteboardModule.h"

namespace whiteboard {
namespace {

using net::Primary;
using net::Secondary;
using testsupport::SpinUntil;

QByteArray Png(QColor colour) {
    QImage image(kPageWidth, kPageHeight, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

class PageExport : public ::testing::Test {
  protected:
    void SetUp() override {
        h = std::make_unique<apptest::AppHarness>();
        h->state->Client().SetLogin("alice", "alicepass");
        auto* module = h->state->FindModule<WhiteboardModule>();
        ASSERT_NE(module, nullptr);
        draw = module->DrawWindow();
        view = module->ViewWindow();
        routingtest::Drain(h->state->Client().FileServer());
    }

    // The page download the windows wait for, as the file server sends it.
    void Serve(const QByteArray& bytes) {
        routingtest::Drain(h->state->Client().FileServer());
        net::MessageWriter m(net::download::kStart);
        m.Int(3).Int(static_cast<int32_t>(bytes.size())).Raw(bytes.constData(),
                                                             static_cast<int>(bytes.size()));
        net::Client& client = h->state->Client();
        const net::bufHeader header = routingtest::Receive(client.FileServer(), m,
                                                           Primary::Download, +Secondary::Response);
        client.router().RouteMsg(client.FileServer(), header);
    }

    // A right click at a window point; returns whether the menu came up.
    bool RightClick(QWidget* w, QPoint at, QMenu* menu) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, w->mapToGlobal(at));
        QApplication::sendEvent(w, &event);
        const bool shown = menu->isVisible();
        menu->hide();
        return shown;
    }

    QString Target(const char* name) { return QString::fromStdString(out.file(name)); }
    static QByteArray Read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    std::unique_ptr<apptest::AppHarness> h;
    CNotepadDrawDlg* draw = nullptr;
    CNotepadViewDlg* view = nullptr;
    testsupport::TempDir out;
};

// The numbers of a PDF's page objects and the media box of each.
struct PdfPages {
    int count = 0;
    QStringList boxes;
};
PdfPages Pages(const QByteArray& pdf) {
    PdfPages pages;
    const QString text = QString::fromLatin1(pdf);
    QRegularExpression page(QStringLiteral("/Type\\s*/Page(?![a-zA-Z])"));
    for (auto it = page.globalMatch(text); it.hasNext(); it.next()) ++pages.count;
    QRegularExpression box(QStringLiteral("/MediaBox\\s*\\[([^\\]]*)\\]"));
    for (auto it = box.globalMatch(text); it.hasNext();) {
        // Numbers as values: "634" and "634.000000" are the same size.
        QStringList numbers;
        for (const QString& n : it.next().captured(1).simplified().split(' '))
            numbers << QString::number(n.toDouble());
        pages.boxes << numbers.join(' ');
    }
    return pages;
}

TEST_F(PageExport, TheDrawingWindowExportsItsDrawingOnTheBackground) {
    draw->Open();
    ASSERT_TRUE(SpinUntil([&] { return draw->isVisible(); }));
    // Nothing to export while the page loads.
    EXPECT_TRUE(RightClick(draw, QPoint(100, 100), draw->ContextMenu()));
    EXPECT_FALSE(draw->ExportPngAction()->isEnabled());
    EXPECT_FALSE(draw->ExportPdfAction()->isEnabled());
    EXPECT_FALSE(draw->ExportPng());
    EXPECT_TRUE(h->dialogs.files.isEmpty());

    Serve(Png(Qt::red));
    ASSERT_EQ(draw->State(), ViewState::Ready);
    QTest::mousePress(draw, Qt::LeftButton, {}, QPoint(100, 100));
    QMouseEvent move(QEvent::MouseMove, QPoint(200, 100), draw->mapToGlobal(QPoint(200, 100)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(draw, &move);
    QTest::mouseRelease(draw, Qt::LeftButton, {}, QPoint(200, 100));

    ASSERT_TRUE(RightClick(draw, QPoint(300, 200), draw->ContextMenu()));
    ASSERT_EQ(draw->ContextMenu()->actions().size(), 2);
    EXPECT_EQ(draw->ExportPngAction()->text(), "Export as PNG...");
    EXPECT_EQ(draw->ExportPdfAction()->text(), "Export as PDF...");
    ASSERT_TRUE(draw->ExportPngAction()->isEnabled());
    h->dialogs.fileNames.push_back(Target("page.png"));
    draw->ExportPngAction()->trigger();
    ASSERT_EQ(h->dialogs.files.size(), 1);
    EXPECT_EQ(h->dialogs.files[0].path, "whiteboard-page-1.png");
    EXPECT_TRUE(h->dialogs.messages.isEmpty());

    const QByteArray bytes = Read(Target("page.png"));
    ASSERT_TRUE(bytes.startsWith("\x89PNG\r\n\x1a\n"));
    const QImage png = QImage::fromData(bytes, "PNG");
    ASSERT_EQ(png.size(), QSize(kPageWidth, kPageHeight));
    // The stroke from page point (88, 89) to (188, 89) in the pen's colour,
    // the background elsewhere, and neither corner nor border.
    EXPECT_EQ(png.pixelColor(138, 89), PenColour());
    EXPECT_EQ(png.pixelColor(138, 120), QColor(Qt::red));
    EXPECT_EQ(png.pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(png.pixelColor(kPageWidth - 1, kPageHeight - 1), QColor(Qt::red));
    EXPECT_EQ(png.pixelColor(kPageWidth - 8, kPageHeight - 8), QColor(Qt::red));

    h->dialogs.fileNames.push_back(Target("page.pdf"));
    draw->ExportPdfAction()->trigger();
    EXPECT_TRUE(h->dialogs.messages.isEmpty());
    EXPECT_EQ(h->dialogs.files.back().path, "whiteboard-page-1.pdf");
    const QByteArray pdf = Read(Target("page.pdf"));
    ASSERT_TRUE(pdf.startsWith("%PDF-"));
    const PdfPages pages = Pages(pdf);
    EXPECT_EQ(pages.count, 1);
    EXPECT_EQ(pages.boxes, QStringList{"0 0 634 400"});
    EXPECT_TRUE(pdf.trimmed().endsWith("%%EOF"));
}

TEST_F(PageExport, TheRightButtonLeavesAStrokeAlone) {
    draw->Open();
    Serve(Png(Qt::white));
    ASSERT_EQ(draw->State(), ViewState::Ready);
    QTest::mousePress(draw, Qt::LeftButton, {}, QPoint(100, 100));
    QMouseEvent move(QEvent::MouseMove, QPoint(150, 100), draw->mapToGlobal(QPoint(150, 100)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(draw, &move);
    // The right button goes down and up mid-stroke: no menu, no end of stroke.
    QMouseEvent press(QEvent::MouseButtonPress, QPoint(150, 100), draw->mapToGlobal(QPoint(150, 100)),
                      Qt::RightButton, Qt::LeftButton | Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(draw, &press);
    EXPECT_FALSE(RightClick(draw, QPoint(150, 100), draw->ContextMenu()));
    QMouseEvent release(QEvent::MouseButtonRelease, QPoint(150, 100),
                        draw->mapToGlobal(QPoint(150, 100)), Qt::RightButton, Qt::LeftButton,
                        Qt::NoModifier);
    QApplication::sendEvent(draw, &release);
    QMouseEvent more(QEvent::MouseMove, QPoint(200, 100), draw->mapToGlobal(QPoint(200, 100)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(draw, &more);
    QTest::mouseRelease(draw, Qt::LeftButton, {}, QPoint(200, 100));
    ASSERT_EQ(draw->Items().Items().size(), 1u);
    EXPECT_EQ(draw->Items().Items()[0].segments.size(), 2u);
    // After the stroke the menu comes up again.
    EXPECT_TRUE(RightClick(draw, QPoint(150, 100), draw->ContextMenu()));
}

TEST_F(PageExport, TheViewingWindowExportsThePageItShows) {
    EXPECT_TRUE(view->OpenView("bob", 2));
    EXPECT_FALSE(view->ExportPng()) << "nothing shown yet";
    Serve(Png(Qt::blue));
    ASSERT_TRUE(SpinUntil([&] { return view->isVisible(); }));
    ASSERT_TRUE(RightClick(view, QPoint(200, 200), view->ContextMenu()));
    ASSERT_TRUE(view->ExportPdfAction()->isEnabled());

    h->dialogs.fileNames.push_back(Target("bob.png"));
    view->ExportPngAction()->trigger();
    EXPECT_EQ(h->dialogs.files.back().path, "whiteboard-page-2.png");
    const QImage png = QImage::fromData(Read(Target("bob.png")), "PNG");
    ASSERT_EQ(png.size(), QSize(kPageWidth, kPageHeight));
    EXPECT_EQ(png.pixelColor(0, 0), QColor(Qt::blue));
    EXPECT_EQ(png.pixelColor(kPageWidth - 8, kPageHeight - 8), QColor(Qt::blue));

    h->dialogs.fileNames.push_back(Target("bob.pdf"));
    view->ExportPdfAction()->trigger();
    const PdfPages pages = Pages(Read(Target("bob.pdf")));
    EXPECT_EQ(pages.count, 1);
    EXPECT_EQ(pages.boxes, QStringList{"0 0 634 400"});

    // A file that cannot be written is said, naming it.
    h->dialogs.fileNames.push_back(Target("no/such/folder.png"));
    view->ExportPngAction()->trigger();
    ASSERT_EQ(h->dialogs.messages.size(), 1);
    EXPECT_EQ(h->dialogs.Last().title, "Export");
    EXPECT_TRUE(h->dialogs.Last().text.startsWith("Could not write \"folder.png\""));
}

}  // namespace
}  // namespace whiteboard
