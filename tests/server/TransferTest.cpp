// The transfer engine on the file server, driven through a handler that only
// these tests register: uploads on the message-list code store under a test
// name, downloads on the folder-list code serve it back.

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <random>

#include "TestClient.h"
#include "server/core/TransferEngine.h"
#include "support/qt/LocalNetworkFixture.h"

namespace servertest {
namespace {

using localnet::DownloadDecision;
using localnet::UploadDecision;
using net::Primary;
using net::Secondary;

constexpr int32_t kUploadCode = 8;    // slot 21
constexpr int32_t kDownloadCode = 9;  // slot 15
constexpr int32_t kUploadSlot = 21;
constexpr int32_t kDownloadSlot = 15;

std::string RandomBytes(size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (auto& c : s) c = static_cast<char>(gen());
    return s;
}

class TransferTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server.Start());
        auto& engine = server.Network().Transfers();
        engine.RegisterUpload(kUploadCode, [this](localnet::ClientSession&, int32_t size,
                                                  net::MessageReader&) {
            announced = size;
            return UploadDecision::Accept(
                "test/upload.bin", [this](localnet::ClientSession&, bool ok, const QString& path) {
                    ++completions;
                    stored = ok;
                    storedPath = path;
                });
        });
        engine.RegisterDownload(
            kDownloadCode, [this](localnet::ClientSession&, net::MessageReader& f) {
                std::string name;
                if (!f.Str(1, 100, name)) return DownloadDecision::Refuse();
                if (name == "missing") return DownloadDecision::Refuse();
                if (name == "nobody") return DownloadDecision::AccountNotFound();
                if (name == "empty") return DownloadDecision::ServeBytes({});
                return DownloadDecision::ServeFile(QString::fromStdString(name));
            });
        ASSERT_TRUE(client.Login(server.FilePort(), "1234567", "alice", "alicepass"));
    }

    QString Path(const QString& relative) {
        return QString::fromStdString(server.DataDir()) + "/localnet/" + relative;
    }

    // Sends the upload request and expects the go-ahead for its slot.
    void StartUpload(TestClient& c, int32_t size) {
        net::MessageWriter w(kUploadCode);
        w.Int(size);
        ASSERT_TRUE(c.Send(w, Primary::Upload));
        auto reply = c.Receive();
        ASSERT_TRUE(reply);
        ASSERT_TRUE(reply->Is(Primary::Upload, Secondary::Response, net::upload::kGoAhead));
        auto f = reply->Reader();
        int32_t slot = -1;
        ASSERT_TRUE(f.Int(0, -1, slot));
        EXPECT_EQ(slot, kUploadSlot);
        EXPECT_TRUE(f.AtEnd());
    }

    void SendChunk(TestClient& c, int32_t slot, std::string_view bytes) {
        net::MessageWriter w(net::upload::kChunk);
        w.Int(slot).Raw(bytes.data(), static_cast<int>(bytes.size()));
        ASSERT_TRUE(c.Send(w, Primary::Upload, Secondary::Response));
    }

    void Upload(TestClient& c, const std::string& content) {
        StartUpload(c, static_cast<int32_t>(content.size()));
        for (size_t at = 0; at < content.size(); at += 4096)
            SendChunk(c, kUploadSlot, std::string_view(content).substr(at, 4096));
    }

    void RequestDownload(TestClient& c, const std::string& name) {
        net::MessageWriter w(kDownloadCode);
        w.Str(name);
        ASSERT_TRUE(c.Send(w, Primary::Download));
    }

    // Collects a whole download; `messages` counts start and data messages.
    std::string Download(TestClient& c, const std::string& name, int* messages = nullptr) {
        RequestDownload(c, name);
        return Collect(c, messages);
    }

    std::string Collect(TestClient& c, int* messages = nullptr) {
        std::string content;
        int32_t total = -1;
        int count = 0;
        while (total < 0 || static_cast<int32_t>(content.size()) < total) {
            auto m = c.Receive();
            if (!m || m->header.nDescPrimary != +Primary::Download) {
                ADD_FAILURE() << "download stalled at " << content.size();
                break;
            }
            auto f = m->Reader();
            int32_t slot = -1;
            EXPECT_TRUE(f.Int(0, 24, slot));
            EXPECT_EQ(slot, kDownloadSlot);
            if (count++ == 0) {
                EXPECT_EQ(m->code, net::download::kStart);
                EXPECT_TRUE(f.Int(0, -1, total));
            } else {
                EXPECT_EQ(m->code, net::download::kData);
            }
            EXPECT_LE(m->header.nMsgLength, net::kMaxMessageLength);
            content.append(reinterpret_cast<const char*>(f.Rest()),
                           static_cast<size_t>(f.RestSize()));
        }
        if (messages) *messages = count;
        return content;
    }

    testsupport::LocalNetworkFixture server;
    TestClient client;
    int32_t announced = -1;
    int completions = 0;
    bool stored = false;
    QString storedPath;
};

TEST_F(TransferTest, UploadInChunksThenDownloadBackIdentical) {
    const std::string content = RandomBytes(3 * 1024 * 1024 + 1234, 1);
    Upload(client, content);
    ASSERT_TRUE(testsupport::SpinUntil([&] { return completions == 1; }));
    EXPECT_TRUE(stored);
    EXPECT_EQ(announced, static_cast<int32_t>(content.size()));
    EXPECT_EQ(QFileInfo(storedPath).canonicalFilePath(),
              QFileInfo(Path("test/upload.bin")).canonicalFilePath());
    EXPECT_TRUE(testsupport::ReadFile(Path("test/upload.bin").toStdString()) == content);

    int messages = 0;
    EXPECT_TRUE(Download(client, "test/upload.bin", &messages) == content);
    // Each message carries as much as fits.
    EXPECT_EQ(messages, static_cast<int>((content.size() + localnet::TransferEngine::kMaxChunk) /
                                         localnet::TransferEngine::kMaxChunk));
    EXPECT_EQ(server.Network().Transfers().ActiveDownloads(), 0);
}

TEST_F(TransferTest, DownloadSplitsAtAnySizeAndEndsOnTheStartWhenItFits) {
    ASSERT_TRUE(testsupport::WriteFile(Path("small.bin").toStdString(), "0123456789"));
    int messages = 0;
    EXPECT_EQ(Download(client, "small.bin", &messages), "0123456789");
    EXPECT_EQ(messages, 1);

    server.Network().Transfers().SetChunkSize(3);
    EXPECT_EQ(Download(client, "small.bin", &messages), "0123456789");
    EXPECT_EQ(messages, 4);

    EXPECT_EQ(Download(client, "empty", &messages), "");
    EXPECT_EQ(messages, 1);
}

TEST_F(TransferTest, RefusalsNameTheSlot) {
    for (std::string name :
         {"missing", "no/such/file", "../../etc/passwd", "/etc/passwd", "test"}) {
        ASSERT_TRUE(QDir().mkpath(Path("test")));
        RequestDownload(client, name);
        auto m = client.Receive();
        ASSERT_TRUE(m) << name;
        EXPECT_TRUE(m->Is(Primary::Download, Secondary::Response, net::download::kRefused)) << name;
        auto f = m->Reader();
        int32_t slot = -1;
        EXPECT_TRUE(f.Int(0, 24, slot) && slot == kDownloadSlot);
        EXPECT_TRUE(f.AtEnd()) << "only the document slot's refusal carries a text";
    }
    RequestDownload(client, "nobody");
    auto m = client.Receive();
    ASSERT_TRUE(m);
    EXPECT_TRUE(m->Is(Primary::Download, Secondary::Response, net::download::kAccountNotFound));

    // The document slot's refusal carries its details.
    server.Network().Transfers().RegisterDownload(
        0, [](localnet::ClientSession&, net::MessageReader&) {
            return DownloadDecision::Refuse("Document is locked");
        });
    net::MessageWriter w(0);
    w.Str("alice").Str("/").Str("a.txt");
    client.Send(w, Primary::Download);
    m = client.Receive();
    ASSERT_TRUE(m);
    auto f = m->Reader();
    int32_t slot = -1;
    std::string details;
    EXPECT_TRUE(f.Int(0, 24, slot) && f.Str(1, 512, details));
    EXPECT_EQ(slot, 1);
    EXPECT_EQ(details, "Document is locked");

    // An upload refusal carries the handler's code and details.
    server.Network().Transfers().RegisterUpload(
        1, [](localnet::ClientSession&, int32_t, net::MessageReader&) {
            return UploadDecision::Refuse(net::upload::kRefusedNotepadTooLarge, "Page too large");
        });
    net::MessageWriter up(1);
    up.Int(999999).Int(0);
    client.Send(up, Primary::Upload);
    m = client.Receive();
    ASSERT_TRUE(m);
    EXPECT_TRUE(m->Is(Primary::Upload, Secondary::Response, net::upload::kRefusedNotepadTooLarge));
    auto refusal = m->Reader();
    EXPECT_TRUE(refusal.Str(1, 512, details));
    EXPECT_EQ(details, "Page too large");
}

TEST_F(TransferTest, PollUploadGoAheadAlwaysCarriesItsInteger) {
    // Upload code 2 is the poll slot, 6: its go-ahead is 48 bytes, with the
    // handler's integer or 0 when the handler sets none.
    std::optional<int32_t> extra;
    server.Network().Transfers().RegisterUpload(
        2, [&](localnet::ClientSession&, int32_t, net::MessageReader&) {
            auto d = UploadDecision::Accept("test/poll.bin");
            d.extra = extra;
            return d;
        });
    for (std::optional<int32_t> value : {std::optional<int32_t>(), std::optional<int32_t>(4321)}) {
        extra = value;
        net::MessageWriter w(2);
        w.Int(10);
        ASSERT_TRUE(client.Send(w, Primary::Upload));
        auto m = client.Receive();
        ASSERT_TRUE(m);
        ASSERT_TRUE(m->Is(Primary::Upload, Secondary::Response, net::upload::kGoAhead));
        EXPECT_EQ(m->header.nMsgLength, 48);
        auto f = m->Reader();
        int32_t slot = -1, kept = -1;
        ASSERT_TRUE(f.Int(0, 24, slot) && f.Int(0, 9999, kept));
        EXPECT_EQ(slot, net::transferslot::kPollUploadSlot);
        EXPECT_EQ(kept, value.value_or(0));
    }
}

TEST_F(TransferTest, PollListStartCarriesTheServerClock) {
    server.Network().Transfers().RegisterDownload(
        3, [](localnet::ClientSession&, net::MessageReader&) {
            return DownloadDecision::ServeBytes("poll list");
        });
    net::MessageWriter w(3);
    w.Str("ABCDEF").Int(0);
    client.Send(w, Primary::Download);
    auto m = client.Receive();
    ASSERT_TRUE(m);
    auto f = m->Reader();
    int32_t slot, total, year, month, day, hour, minute, second, dst;
    ASSERT_TRUE(f.Int(0, 24, slot) && f.Int(0, -1, total));
    ASSERT_TRUE(f.Int(100, 300, year) && f.Int(0, 11, month) && f.Int(1, 31, day) &&
                f.Int(0, 23, hour) && f.Int(0, 59, minute) && f.Int(0, 60, second) &&
                f.Int(0, 1, dst));
    EXPECT_EQ(slot, 8);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(f.Rest()), f.RestSize()), "poll list");
}

TEST_F(TransferTest, CancelStopsARunningDownload) {
    const std::string content = RandomBytes(2 * 1024 * 1024, 2);
    ASSERT_TRUE(testsupport::WriteFile(Path("big.bin").toStdString(), content));
    auto& engine = server.Network().Transfers();
    engine.SetChunkSize(1000);
    engine.SetHighWater(1);  // one piece per write, so the cancel lands mid-stream
    RequestDownload(client, "big.bin");
    auto first = client.Receive();
    ASSERT_TRUE(first);
    ASSERT_EQ(first->code, net::download::kStart);
    net::MessageWriter cancel(net::control::kCancelTransfer);
    cancel.Int(kDownloadSlot);
    client.Send(cancel, Primary::Control);
    ASSERT_TRUE(testsupport::SpinUntil([&] { return engine.ActiveDownloads() == 0; }));
    size_t received = 0;
    while (auto m = client.Receive(std::chrono::milliseconds(200)))
        received += m->Reader().RestSize();
    EXPECT_LT(received, content.size());
    EXPECT_TRUE(client.Connected());
}

TEST_F(TransferTest, CancelledOrOverlongUploadsLeaveNoFile) {
    const std::string content = RandomBytes(10000, 3);
    StartUpload(client, static_cast<int32_t>(content.size()));
    SendChunk(client, kUploadSlot, std::string_view(content).substr(0, 4096));
    net::MessageWriter cancel(net::control::kCancelTransfer);
    cancel.Int(kUploadSlot);
    client.Send(cancel, Primary::Control);
    auto& engine = server.Network().Transfers();
    ASSERT_TRUE(testsupport::SpinUntil([&] { return engine.ActiveUploads() == 0; }));
    // The service hears the upload is over, unstored.
    ASSERT_TRUE(testsupport::SpinUntil([&] { return completions == 1; }));
    EXPECT_FALSE(stored);
    // The rest of the chunks find no upload.
    SendChunk(client, kUploadSlot, std::string_view(content).substr(4096));
    testsupport::SpinUntil([] { return false; }, std::chrono::milliseconds(50));
    EXPECT_FALSE(QFile::exists(Path("test/upload.bin")));

    StartUpload(client, 100);
    SendChunk(client, kUploadSlot, std::string(101, 'x'));
    ASSERT_TRUE(testsupport::SpinUntil([&] { return completions == 2; }));
    EXPECT_FALSE(stored);
    EXPECT_FALSE(QFile::exists(Path("test/upload.bin")));
    EXPECT_EQ(QDir(Path("test")).entryList(QDir::Files).size(), 0) << "no temporary file stays";

    // A dropped connection discards its partial upload too, and says so.
    {
        TestClient leaving;
        ASSERT_TRUE(leaving.Login(server.FilePort(), "1234567", "bob", "bobpass"));
        StartUpload(leaving, 5000);
        SendChunk(leaving, kUploadSlot, std::string(4096, 'y'));
        ASSERT_TRUE(testsupport::SpinUntil([&] { return engine.ActiveUploads() == 1; }));
    }
    ASSERT_TRUE(testsupport::SpinUntil([&] { return engine.ActiveUploads() == 0; }));
    ASSERT_TRUE(testsupport::SpinUntil([&] { return completions == 3; }));
    EXPECT_FALSE(stored);
    EXPECT_EQ(QDir(Path("test")).entryList(QDir::Files).size(), 0);
}

TEST_F(TransferTest, TransfersNeedALoginAndPathsStayInTheDataFolder) {
    TestClient stranger;
    ASSERT_TRUE(stranger.Connect(server.FilePort()));
    RequestDownload(stranger, "test/upload.bin");
    EXPECT_FALSE(stranger.Receive(std::chrono::milliseconds(200)));

    auto& store = server.Network().GetStore();
    EXPECT_TRUE(store.ResolvePath("../x").isEmpty());
    EXPECT_TRUE(store.ResolvePath("a/../../x").isEmpty());
    EXPECT_TRUE(store.ResolvePath("/etc/passwd").isEmpty());
    EXPECT_TRUE(store.ResolvePath("").isEmpty());
    EXPECT_FALSE(store.ResolvePath("a/b.bin").isEmpty());

    // A handler that names a path outside gets its refusal sent, and nothing is written.
    server.Network().Transfers().RegisterUpload(
        5, [](localnet::ClientSession&, int32_t, net::MessageReader&) {
            auto d = UploadDecision::Accept("../outside.bin");
            d.refuseCode = net::upload::kRefusedNoSpace;
            d.details = "Cannot store the file";
            return d;
        });
    net::MessageWriter w(5);
    w.Int(10);
    client.Send(w, Primary::Upload);
    auto m = client.Receive();
    ASSERT_TRUE(m);
    EXPECT_TRUE(m->Is(Primary::Upload, Secondary::Response, net::upload::kRefusedNoSpace));
    EXPECT_FALSE(QFile::exists(Path("../outside.bin")));
}

TEST_F(TransferTest, SeveralClientsDownloadAtOnce) {
    const std::string content = RandomBytes(1024 * 1024, 4);
    ASSERT_TRUE(testsupport::WriteFile(Path("shared.bin").toStdString(), content));
    TestClient others[3];
    for (auto& c : others) ASSERT_TRUE(c.Login(server.FilePort(), "1234567", "bob", "bobpass"));
    server.Network().Transfers().SetHighWater(64 * 1024);
    for (auto& c : others) RequestDownload(c, "shared.bin");
    EXPECT_TRUE(Download(client, "shared.bin") == content);
    for (auto& c : others) EXPECT_TRUE(Collect(c) == content);
}

}  // namespace
}  // namespace servertest
