// The whiteboard pages of the local network through the raw protocol: the
// demo pages, uploads with their refusals (page number, size limit, a file
// that is not a page-sized PNG), replacement by rename, and downloads of
// stored, unstored and unknown accounts' pages.

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>

#include "TestClient.h"
#include "server/core/Store.h"
#include "server/whiteboard/WhiteboardService.h"
#include "support/qt/LocalNetworkFixture.h"

namespace servertest {
namespace {

using localnet::WhiteboardService;
using net::Primary;
using net::Secondary;

constexpr int32_t kPageRequest = 1;

QByteArray Png(int width, int height, QColor colour) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

struct Outcome {
    int32_t code = -1;  // the upload's last answer: go-ahead, or a refusal's code
    std::string details;
};

class WhiteboardServiceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        server.Options().seedDemo = true;
        server.Options().notepadMaxPageBytes = 64 * 1024;
        ASSERT_TRUE(server.Start());
        ASSERT_TRUE(alice.Login(server.FilePort(), "1234567", "alice", "alicepass"));
        ASSERT_TRUE(bob.Login(server.FilePort(), "1234567", "bob", "bobpass"));
    }

    WhiteboardService& Service() {
        for (const auto& s : server.Network().AllServices()) {
            if (auto* w = dynamic_cast<WhiteboardService*>(s.get())) return *w;
        }
        std::abort();
    }
    QString PagePath(const QString& owner, int page) {
        return server.Network().GetStore().ResolvePath(
            WhiteboardService::PageFile("1234567", owner, page));
    }
    static QByteArray Read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    Outcome Answer(TestClient& c) {
        auto m = c.Receive();
        Outcome o;
        if (!m) return o;
        o.code = m->code;
        auto f = m->Reader();
        if (o.code == net::upload::kGoAhead) {
            int32_t slot = -1;
            EXPECT_TRUE(f.Int(0, 24, slot));
            EXPECT_EQ(slot, 2);
        } else {
            EXPECT_TRUE(f.Str(1, 512, o.details));
        }
        return o;
    }
    Outcome Request(TestClient& c, int32_t size, int32_t page) {
        net::MessageWriter w(kPageRequest);
        w.Int(size).Int(page);
        EXPECT_TRUE(c.Send(w, Primary::Upload));
        return Answer(c);
    }
    void Chunks(TestClient& c, const QByteArray& content) {
        for (qsizetype at = 0; at < content.size(); at += 4096) {
            const QByteArray chunk = content.mid(at, 4096);
            net::MessageWriter cw(net::upload::kChunk);
            cw.Int(2).Raw(chunk.constData(), static_cast<int>(chunk.size()));
            ASSERT_TRUE(c.Send(cw, Primary::Upload, Secondary::Response));
        }
    }
    // A whole upload; true once the page file holds it.
    bool Upload(TestClient& c, const QString& owner, int page, const QByteArray& png) {
        if (Request(c, static_cast<int32_t>(png.size()), page).code != net::upload::kGoAhead) {
            return false;
        }
        Chunks(c, png);
        return testsupport::SpinUntil([&] { return Read(PagePath(owner, page)) == png; });
    }

    // A whole download, or "<refused N>".
    QByteArray Download(TestClient& c, const std::string& account, int32_t page) {
        net::MessageWriter w(kPageRequest);
        w.Str(account).Int(page).Int(0);
        EXPECT_TRUE(c.Send(w, Primary::Download));
        QByteArray content;
        int32_t total = -1;
        while (total < 0 || content.size() < total) {
            auto m = c.Receive();
            if (!m) return "<nothing>";
            auto f = m->Reader();
            int32_t slot = -1;
            EXPECT_TRUE(f.Int(0, 24, slot));
            EXPECT_EQ(slot, 3);
            if (m->code == net::download::kRefused || m->code == net::download::kAccountNotFound) {
                EXPECT_TRUE(f.AtEnd()) << "slot 3's refusals carry nothing more";
                return "<refused " + QByteArray::number(m->code) + ">";
            }
            if (m->code == net::download::kStart) {
                EXPECT_TRUE(f.Int(0, -1, total));
            }
            content.append(reinterpret_cast<const char*>(f.Rest()), f.RestSize());
        }
        return content;
    }

    testsupport::LocalNetworkFixture server;
    TestClient alice;
    TestClient bob;
};

TEST_F(WhiteboardServiceTest, DemoPagesAreSeeded) {
    for (const auto& [owner, page] : {std::pair{"alice", 1}, {"alice", 2}, {"bob", 1}}) {
        const QByteArray png = Download(bob, owner, page);
        const QImage image = QImage::fromData(png, "PNG");
        EXPECT_EQ(image.size(), QSize(634, 400)) << owner << page;
        EXPECT_TRUE(Service().Page("1234567", owner, page).has_value());
    }
    EXPECT_EQ(Download(bob, "alice", 3), "<refused 3>");
    EXPECT_EQ(Download(alice, "bob", 2), "<refused 3>");
    // A restart seeds nothing over what users changed.
    const QByteArray mine = Png(634, 400, Qt::yellow);
    ASSERT_TRUE(Upload(alice, "alice", 1, mine));
    ASSERT_TRUE(server.Restart());
    TestClient again;
    ASSERT_TRUE(again.Login(server.FilePort(), "1234567", "bob", "bobpass"));
    EXPECT_EQ(Download(again, "ALICE", 1), mine) << "account names match in any case";
}

TEST_F(WhiteboardServiceTest, UploadReplacesThePageWhole) {
    const QByteArray red = Png(634, 400, Qt::red);
    ASSERT_TRUE(Upload(alice, "alice", 4, red));
    EXPECT_EQ(Download(bob, "alice", 4), red);
    EXPECT_EQ(Service().Page("1234567", "alice", 4)->size, red.size());
    const QByteArray blue = Png(634, 400, Qt::blue);
    ASSERT_TRUE(Upload(alice, "alice", 4, blue));
    EXPECT_EQ(Download(bob, "alice", 4), blue);
    // Nothing is left beside the page.
    const QStringList files = QFileInfo(PagePath("alice", 4)).dir().entryList(QDir::Files);
    EXPECT_EQ(files.filter("incoming").size(), 0) << files.join(",").toStdString();
}

TEST_F(WhiteboardServiceTest, RefusalsCarryTheirReason) {
    for (int32_t page : {0, 6, -1}) {
        const Outcome o = Request(alice, 100, page);
        EXPECT_EQ(o.code, net::upload::kRefusedNotepadTooLarge) << page;
        EXPECT_EQ(o.details, "The page number must be 1 to 5");
    }
    const Outcome big = Request(alice, 64 * 1024 + 1, 1);
    EXPECT_EQ(big.code, net::upload::kRefusedNotepadTooLarge);
    EXPECT_EQ(big.details, "A whiteboard page may be at most 65536 bytes");
    EXPECT_EQ(Request(alice, 64 * 1024, 1).code, net::upload::kGoAhead) << "the limit itself is fine";
    EXPECT_EQ(Request(alice, 10, 1).code, net::upload::kRefusedNotepadTooLarge)
        << "too small to be a picture";

    // A request without its page number.
    net::MessageWriter w(kPageRequest);
    w.Int(100);
    ASSERT_TRUE(alice.Send(w, Primary::Upload));
    EXPECT_EQ(Answer(alice).code, net::upload::kRefusedNotepadTooLarge);
}

TEST_F(WhiteboardServiceTest, AFileThatIsNoPageIsDiscardedAndTheOldPageStays) {
    const QByteArray before = Read(PagePath("alice", 1));
    ASSERT_FALSE(before.isEmpty());
    for (const QByteArray& wrong : {Png(300, 200, Qt::green), QByteArray(4000, 'x')}) {
        ASSERT_EQ(Request(alice, static_cast<int32_t>(wrong.size()), 1).code,
                  net::upload::kGoAhead);
        Chunks(alice, wrong);
        const Outcome o = Answer(alice);
        EXPECT_EQ(o.code, net::upload::kRefusedNotepadTooLarge);
        EXPECT_EQ(o.details, "The page is not a 634 x 400 PNG picture");
        EXPECT_EQ(Read(PagePath("alice", 1)), before);
    }
    EXPECT_EQ(Download(bob, "alice", 1), before);
}

TEST_F(WhiteboardServiceTest, DownloadsOfUnknownAccountsAndBadPages) {
    EXPECT_EQ(Download(bob, "nobody", 1), "<refused 4>");
    EXPECT_EQ(Download(bob, "../alice", 1), "<refused 4>");
    EXPECT_EQ(Download(bob, "alice", 0), "<refused 3>");
    EXPECT_EQ(Download(bob, "alice", 6), "<refused 3>");
}

TEST_F(WhiteboardServiceTest, ACutOffUploadLeavesThePage) {
    const QByteArray before = Read(PagePath("bob", 1));
    const QByteArray next = Png(634, 400, Qt::cyan);
    ASSERT_EQ(Request(bob, static_cast<int32_t>(next.size()), 1).code, net::upload::kGoAhead);
    Chunks(bob, next.left(100));
    // Cancelled half way.
    net::MessageWriter cancel(net::control::kCancelTransfer);
    cancel.Int(2);
    ASSERT_TRUE(bob.Send(cancel, Primary::Control));
    EXPECT_EQ(Download(bob, "bob", 1), before);
}

TEST_F(WhiteboardServiceTest, ARemovedAccountTakesItsPages) {
    const QString page = PagePath("bob", 1);
    ASSERT_TRUE(QFile::exists(page));
    emit server.Network().AccountRemoved("1234567", "bob");
    EXPECT_FALSE(QFile::exists(page));
    EXPECT_FALSE(Service().Page("1234567", "bob", 1).has_value());
}

}  // namespace
}  // namespace servertest
