// The client's transfer engine against the in-process local network: a real
// net::Client (its three connections and threads) looks up the demo network,
// logs in, and moves files through the document slots, which a handler that
// only these tests register serves from the server's data folder.
//
// The server runs on this thread's event loop, so the client's network threads
// reach "the user-interface thread" through a queue that this thread drains
// while it spins the loop; nothing here ever blocks the loop.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "net/Client.h"
#include "net/ClientListener.h"
#include "net/Protocol.h"
#include "net/Transfers.h"
#include "net/UiDispatcher.h"
#include "server/core/ClientSession.h"
#include "server/core/TransferEngine.h"
#include "support/TempDir.h"
#include "support/qt/LocalNetworkFixture.h"

namespace servertest {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using localnet::DownloadDecision;
using localnet::UploadDecision;

constexpr int kDocumentUploadSlot = net::transferslot::ForUpload(0);
constexpr int kDocumentDownloadSlot = net::transferslot::kDocumentDownloadSlot;
constexpr int32_t kDocumentRequestCode = 0;  // upload code 0 and download code 0
const char kFolder[] = "shared";

// ---------------------------------------------------------------------------
// The user-interface thread, as far as the client can tell.

// Work from the client's network threads waits in a queue until the test's
// thread runs it. Dispatch blocks its caller until the work has run; Post does
// not. Once closed, pending and later work is dropped and blocked callers are
// released, so that the client's threads can be joined.
class QueuedUiDispatcher : public net::UiDispatcher {
  public:
    void Dispatch(std::function<void()> work) override {
        auto ran = std::make_shared<bool>(false);
        if (!Push(std::move(work), ran)) return;
        std::unique_lock lock(mutex_);
        ranOne_.wait(lock, [&] { return *ran || closed_; });
    }

    void Post(std::function<void()> work) override { Push(std::move(work), nullptr); }

    // Test thread: runs everything queued, in arrival order.
    void RunPending() {
        {
            std::lock_guard lock(mutex_);
            wakeScheduled_ = false;
        }
        for (;;) {
            Task task;
            {
                std::lock_guard lock(mutex_);
                if (queue_.empty()) return;
                task = std::move(queue_.front());
                queue_.pop_front();
            }
            task.work();
            if (task.ran) {
                std::lock_guard lock(mutex_);
                *task.ran = true;
            }
            ranOne_.notify_all();
        }
    }

    void Close() {
        {
            std::lock_guard lock(mutex_);
            closed_ = true;
            queue_.clear();
        }
        ranOne_.notify_all();
    }

  private:
    struct Task {
        std::function<void()> work;
        std::shared_ptr<bool> ran;  // set under mutex_ once a Dispatch's work has run
    };

    bool Push(std::function<void()> work, std::shared_ptr<bool> ran) {
        bool wake = false;
        {
            std::lock_guard lock(mutex_);
            if (closed_) return false;
            queue_.push_back(Task{std::move(work), std::move(ran)});
            wake = !wakeScheduled_;
            wakeScheduled_ = true;
        }
        // Ends the test thread's wait for events at once.
        if (wake)
            QMetaObject::invokeMethod(
                &waker_, [this] { RunPending(); }, Qt::QueuedConnection);
        return true;
    }

    QObject waker_;  // lives on the test thread
    std::mutex mutex_;
    std::condition_variable ranOne_;
    std::deque<Task> queue_;
    bool wakeScheduled_ = false;
    bool closed_ = false;
};

// Runs the event loop (the server, and the client's queued work) until `done`
// or the deadline; sleeps in the event loop rather than spinning.
bool SpinUntil(const std::function<bool()>& done, std::chrono::milliseconds deadline = 20s) {
    QTimer tick;  // bounds each wait, so the deadline is noticed
    tick.start(20);
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// ---------------------------------------------------------------------------
// What the client shows, and what a slot reports.

class RecordingListener : public net::ClientListener {
  public:
    void ShowMessage(net::MessagePhase, const std::string& title, const std::string& text,
                     net::MessageIcon) override {
        events.push_back("message|" + title + "|" + text);
    }
    void ShowServerResponse(const std::string& response, const std::string& details) override {
        events.push_back("response|" + response + "|" + details);
    }
    void LookupAnswered(const std::string& number) override {
        events.push_back("lookup answered " + number);
    }
    void LookupRefused() override { events.push_back("lookup refused"); }
    void LoginCouldNotConnect() override { events.push_back("login could not connect"); }
    void LoginCancelled() override { events.push_back("login cancelled"); }
    void LoginEnded(net::LoginEnd how) override {
        events.push_back("login ended " + std::to_string(static_cast<int>(how)));
    }
    void CreationCouldNotConnect() override { events.push_back("creation could not connect"); }
    void CreationCancelled() override { events.push_back("creation cancelled"); }
    void LoginCompleted() override { events.push_back("login completed"); }
    void ConnectionDropped() override { events.push_back("dropped"); }
    void NetworkInformationReceived(const net::NetworkInformation&) override {}

    bool Saw(const std::string& event) const {
        for (const auto& e : events)
            if (e == event) return true;
        return false;
    }

    std::vector<std::string> events;  // test thread only
};

struct TransferEvent {
    enum Kind { GoAhead, Progress, Completed, Refused };
    Kind kind;
    int percent = 0;
    int32_t done = 0;
    int32_t total = 0;
};

class SlotRecorder {
  public:
    net::SlotHooks Hooks() {
        net::SlotHooks h;
        h.goAhead = [this](int32_t) { events.push_back({TransferEvent::GoAhead}); };
        h.progress = [this](int percent, int32_t done, int32_t total) {
            events.push_back({TransferEvent::Progress, percent, done, total});
            if (onProgress) onProgress();
        };
        h.completed = [this](uint32_t) { events.push_back({TransferEvent::Completed}); };
        h.refused = [this](uint32_t, int32_t) { events.push_back({TransferEvent::Refused}); };
        return h;
    }
    int Count(TransferEvent::Kind kind) const {
        int n = 0;
        for (const auto& e : events) n += e.kind == kind ? 1 : 0;
        return n;
    }
    bool Ended() const {
        return Count(TransferEvent::Completed) + Count(TransferEvent::Refused) > 0;
    }

    std::vector<TransferEvent> events;  // test thread only
    std::function<void()> onProgress;
};

// Progress only moves forward and stays below the total, and the completion
// is the last thing reported. `step` is the exact advance between progress
// values when the transfer moves in fixed pieces (0: any split).
void ExpectOrderlyProgress(const std::vector<TransferEvent>& events, int32_t total, int32_t step) {
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().kind, TransferEvent::Completed);
    int32_t lastDone = 0;
    int lastPercent = 0;
    int progress = 0;
    for (size_t i = 0; i + 1 < events.size(); ++i) {
        const TransferEvent& e = events[i];
        if (e.kind == TransferEvent::GoAhead && i == 0) continue;
        ASSERT_EQ(e.kind, TransferEvent::Progress) << "event " << i;
        ASSERT_EQ(e.total, total) << "event " << i;
        ASSERT_GT(e.done, lastDone) << "event " << i;
        if (step > 0) {
            ASSERT_EQ(e.done - lastDone, step) << "event " << i;
        }
        ASSERT_LT(e.done, total) << "event " << i;
        ASSERT_GE(e.percent, lastPercent) << "event " << i;
        ASSERT_LT(e.percent, 100) << "event " << i;
        lastDone = e.done;
        lastPercent = e.percent;
        ++progress;
    }
    if (step > 0) {
        // Every piece but the last was reported.
        EXPECT_EQ(progress, (total - 1) / step);
    }
}

// ---------------------------------------------------------------------------
// Files

// FNV-1a 64 and the byte count of a whole file.
struct Fingerprint {
    uint64_t hash = 14695981039346656037ull;
    uint64_t size = 0;

    void Add(const unsigned char* bytes, size_t n) {
        for (size_t i = 0; i < n; ++i) {
            hash ^= bytes[i];
            hash *= 1099511628211ull;
        }
        size += n;
    }
    bool operator==(const Fingerprint&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Fingerprint& f) {
    return os << f.size << " bytes, fnv " << std::hex << f.hash << std::dec;
}

std::optional<Fingerprint> FingerprintOf(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return std::nullopt;
    std::vector<unsigned char> block(1 << 20);
    Fingerprint f;
    size_t n = 0;
    while ((n = std::fread(block.data(), 1, block.size(), file)) > 0) f.Add(block.data(), n);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) return std::nullopt;
    return f;
}

// Writes `size` pseudo-random bytes and returns their fingerprint.
Fingerprint WriteRandomFile(const std::string& path, size_t size, uint64_t seed) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    EXPECT_NE(file, nullptr) << path;
    Fingerprint f;
    if (!file) return f;
    std::vector<unsigned char> block(1 << 20);
    uint64_t state = seed;
    for (size_t left = size; left > 0;) {
        const size_t n = std::min(left, block.size());
        for (size_t i = 0; i < n; i += 8) {
            // splitmix64
            uint64_t z = (state += 0x9E3779B97F4A7C15ull);
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
            z ^= z >> 31;
            for (size_t b = 0; b < 8 && i + b < n; ++b)
                block[i + b] = static_cast<unsigned char>(z >> (8 * b));
        }
        EXPECT_EQ(std::fwrite(block.data(), 1, n, file), n);
        f.Add(block.data(), n);
        left -= n;
    }
    EXPECT_EQ(std::fclose(file), 0);
    return f;
}

// Whether this process still holds a descriptor on `path`.
bool HeldOpen(const std::string& path) {
    std::error_code ec;
    const fs::path wanted = fs::weakly_canonical(path, ec);
    for (const auto& entry : fs::directory_iterator("/proc/self/fd", ec)) {
        std::error_code linkError;
        const fs::path target = fs::read_symlink(entry.path(), linkError);
        if (!linkError && (target == wanted || target.string() == wanted.string() + " (deleted)"))
            return true;
    }
    return false;
}

// ---------------------------------------------------------------------------
// The fixture: the local network with the test's document handlers, and one
// signed-in client.

class ClientRoundTrip : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server.Start());
        RegisterDocumentHandlers();

        net::Client::Options options;
        options.endpoints = server.Endpoints();
        options.timings = net::Timings::Fast();
        options.environment.home = home.path();
        client = std::make_unique<net::Client>(ui, listener, options);
        client->Transfers().Register(kDocumentUploadSlot, up.Hooks());
        client->Transfers().Register(kDocumentDownloadSlot, down.Hooks());
        SignIn();
    }

    void TearDown() override {
        // Release any network thread waiting for this thread before joining it.
        ui.Close();
        client.reset();
        server.Stop();
    }

    void RegisterDocumentHandlers() {
        auto& engine = server.Network().Transfers();
        engine.RegisterUpload(kDocumentRequestCode, [this](localnet::ClientSession& s, int32_t size,
                                                           net::MessageReader& f) {
            std::string folder, name;
            if (!f.Str(1, 255, folder) || !f.Str(1, 255, name) || !f.AtEnd())
                return UploadDecision::Refuse(net::upload::kRefusedInvalidFilename, "fields");
            uploadsAsked.push_back(s.Username().toStdString() + " " + std::to_string(size) + " " +
                                   folder + "/" + name);
            return UploadDecision::Accept(
                StoredName(folder, name),
                [this](localnet::ClientSession&, bool ok, const QString& path) {
                    storedOk = ok;
                    storedPath = path.toStdString();
                    ++uploadsStored;
                });
        });
        engine.RegisterDownload(
            kDocumentRequestCode, [this](localnet::ClientSession&, net::MessageReader& f) {
                std::string owner, folder, name;
                if (!f.Str(1, 31, owner) || !f.Str(1, 255, folder) || !f.Str(1, 255, name))
                    return DownloadDecision::Refuse("fields");
                downloadsAsked.push_back(owner + " " + folder + "/" + name);
                return DownloadDecision::ServeFile(StoredName(folder, name));
            });
    }

    static QString StoredName(const std::string& folder, const std::string& name) {
        return QString::fromStdString("documents/" + folder + "/" + name);
    }
    std::string StoredPath(const std::string& name) const {
        return server.DataDir() + "/localnet/documents/" + kFolder + "/" + name;
    }

    void SignIn() {
        client->SetLogin("alice", "alicepass");
        client->StartLookup("1234567");
        ASSERT_TRUE(SpinUntil([&] { return listener.Saw("lookup answered 1234567"); })) << Events();
        client->BeginLogin();
        client->StartLoginConnections();
        ASSERT_TRUE(SpinUntil([&] { return listener.Saw("login completed"); })) << Events();
        EXPECT_EQ(client->FileServer().State(), net::kStateLoggedIn);
        listener.events.clear();
    }

    bool Upload(const std::string& localPath, const std::string& remoteName) {
        return net::StartUpload(client->FileServer(), kDocumentUploadSlot, localPath,
                                {std::string(kFolder), remoteName});
    }
    bool Download(const std::string& remoteName, const std::string& localPath) {
        return net::StartDownload(client->FileServer(), kDocumentDownloadSlot, localPath, 0,
                                  {std::string("alice"), std::string(kFolder), remoteName});
    }

    // The busy slots of a connection, read under each slot's lock.
    std::vector<int> BusySlots(net::Connection& connection) {
        std::vector<int> busy;
        for (int n = 0; n < net::kSlotCount; ++n) {
            net::TransferSlot& slot = connection.Slot(n);
            auto lock = slot.Lock();
            if (slot.Busy() || slot.sending || slot.file) busy.push_back(n);
        }
        return busy;
    }

    std::string Events() const {
        std::string all;
        for (const auto& e : listener.events) all += "\n  " + e;
        return all;
    }

    // Downloads a stored file and ends the connection from the server's side
    // at the first progress report; every slot must come back free.
    void DropMidDownload(const std::function<void()>& drop);

    testsupport::LocalNetworkFixture server;
    testsupport::TempDir home;   // the client's HOME: data directory and key store
    testsupport::TempDir files;  // the user's own files
    RecordingListener listener;
    SlotRecorder up;
    SlotRecorder down;
    QueuedUiDispatcher ui;
    std::unique_ptr<net::Client> client;

    std::vector<std::string> uploadsAsked;
    std::vector<std::string> downloadsAsked;
    int uploadsStored = 0;
    bool storedOk = false;
    std::string storedPath;
};

TEST_F(ClientRoundTrip, LargeFileUploadsAndDownloadsBackIdentical) {
    // 64 MiB and a few bytes, so that the last chunk is a short one.
    constexpr int32_t kSize = (64 << 20) + 777;
    const std::string source = files.file("big.bin");
    const Fingerprint sent = WriteRandomFile(source, kSize, 0x5eed);

    ASSERT_TRUE(Upload(source, "big.bin"));
    // A second request on the busy slot is not sent.
    EXPECT_FALSE(Upload(source, "other.bin"));
    ASSERT_TRUE(SpinUntil([&] { return up.Ended() && uploadsStored == 1; }, 300s))
        << "upload events " << up.events.size() << Events();
    EXPECT_EQ(uploadsAsked,
              std::vector<std::string>{"alice " + std::to_string(kSize) + " shared/big.bin"});
    ASSERT_TRUE(storedOk);
    EXPECT_EQ(fs::path(storedPath), fs::path(StoredPath("big.bin")));
    EXPECT_EQ(FingerprintOf(storedPath), sent);
    EXPECT_FALSE(HeldOpen(source));

    const std::string target = files.file("back.bin");
    ASSERT_TRUE(Download("big.bin", target));
    // Data goes to a name of its own until the download is complete.
    EXPECT_TRUE(HeldOpen(target + ".partial"));
    EXPECT_FALSE(fs::exists(target));
    ASSERT_TRUE(SpinUntil([&] { return down.Ended(); }, 300s))
        << "download events " << down.events.size() << Events();
    EXPECT_EQ(downloadsAsked, std::vector<std::string>{"alice shared/big.bin"});
    EXPECT_FALSE(HeldOpen(target));
    EXPECT_EQ(FingerprintOf(target), sent);

    // Upload: the go-ahead, progress in order, then the completion.
    // Download: the same order. Progress is rationed to whole percents (or a
    // pause), not one call per piece.
    ASSERT_EQ(up.events.front().kind, TransferEvent::GoAhead);
    ExpectOrderlyProgress(up.events, kSize, 0);
    ExpectOrderlyProgress(down.events, kSize, 0);
    EXPECT_LE(up.Count(TransferEvent::Progress), 200);
    EXPECT_LE(down.Count(TransferEvent::Progress), 200);
    // A 64 MiB transfer reports its last progress just short of the end.
    ASSERT_GE(down.events.size(), 2u);
    EXPECT_EQ(up.events[up.events.size() - 2].percent, 99);
    EXPECT_EQ(down.events[down.events.size() - 2].percent, 99);

    EXPECT_TRUE(BusySlots(client->FileServer()).empty());
    EXPECT_EQ(server.Network().Transfers().ActiveUploads(), 0);
    EXPECT_EQ(server.Network().Transfers().ActiveDownloads(), 0);
    EXPECT_EQ(client->FileServer().State(), net::kStateLoggedIn);
    EXPECT_TRUE(listener.events.empty()) << Events();
}

TEST_F(ClientRoundTrip, EmptyFileFailsToReadAndTheConnectionStays) {
    const std::string empty = files.file("empty.bin");
    ASSERT_TRUE(testsupport::WriteFile(empty, ""));
    ASSERT_TRUE(Upload(empty, "empty.bin"));
    ASSERT_TRUE(SpinUntil([&] { return !listener.events.empty(); })) << Events();
    EXPECT_EQ(listener.events, std::vector<std::string>{"message||Failed to read data from file"});
    EXPECT_EQ(up.Count(TransferEvent::Completed), 0);
    EXPECT_EQ(up.Count(TransferEvent::Progress), 0);
    EXPECT_TRUE(BusySlots(client->FileServer()).empty());
    EXPECT_FALSE(HeldOpen(empty));

    // The slot and the connection are still usable: 10 000 bytes go as 4096,
    // 4096 and 1808 and complete after the third chunk.
    up.events.clear();
    const std::string small = files.file("small.bin");
    const Fingerprint sent = WriteRandomFile(small, 10000, 7);
    ASSERT_TRUE(Upload(small, "small.bin"));
    // Open until the go-ahead, which only this thread can handle.
    EXPECT_TRUE(HeldOpen(small));
    // The empty file's upload, never sent, is reported unstored when this
    // one takes its slot.
    ASSERT_TRUE(SpinUntil([&] { return up.Ended() && uploadsStored == 2 && storedOk; }))
        << Events();
    ExpectOrderlyProgress(up.events, 10000, net::kChunkSize);
    EXPECT_EQ(up.Count(TransferEvent::Progress), 2);
    EXPECT_EQ(FingerprintOf(StoredPath("small.bin")), sent);
    EXPECT_EQ(client->FileServer().State(), net::kStateLoggedIn);
    EXPECT_EQ(listener.events.size(), 1u) << Events();
}

void ClientRoundTrip::DropMidDownload(const std::function<void()>& drop) {
    constexpr int32_t kSize = 2 << 20;
    const std::string source = files.file("stored.bin");
    WriteRandomFile(source, kSize, 11);
    ASSERT_TRUE(Upload(source, "stored.bin"));
    ASSERT_TRUE(SpinUntil([&] { return up.Ended() && uploadsStored == 1; })) << Events();

    // Small pieces, so that the drop lands well before the end.
    server.Network().Transfers().SetChunkSize(4096);
    bool dropped = false;
    down.onProgress = [&] {
        if (dropped) return;
        dropped = true;
        drop();
    };
    const std::string target = files.file("partial.bin");
    ASSERT_TRUE(Download("stored.bin", target));
    ASSERT_TRUE(SpinUntil([&] { return listener.Saw("dropped"); })) << Events();
    EXPECT_TRUE(dropped);
    EXPECT_EQ(down.Count(TransferEvent::Completed), 0);
    EXPECT_EQ(listener.events,
              (std::vector<std::string>{"message|Connection Dropped|No longer connected to 1234567",
                                        "dropped"}));

    // Both connections end (either may notice first); the second end is not
    // shown again. Then every slot is free and no file is left open.
    ASSERT_TRUE(SpinUntil([&] {
        return client->FileServer().State() == net::kStateIdle &&
               client->NetworkServer().State() == net::kStateIdle;
    }));
    EXPECT_EQ(client->Drops(), 2);
    EXPECT_TRUE(BusySlots(client->FileServer()).empty());
    EXPECT_TRUE(BusySlots(client->NetworkServer()).empty());
    EXPECT_FALSE(HeldOpen(target));
    EXPECT_FALSE(HeldOpen(source));
    // Nothing of the cut download is left, under either name.
    EXPECT_FALSE(HeldOpen(target + ".partial"));
    EXPECT_FALSE(fs::exists(target));
    EXPECT_FALSE(fs::exists(target + ".partial"));

    ui.RunPending();  // what the ends posted before going idle
    EXPECT_EQ(listener.events.size(), 2u) << Events();
}

TEST_F(ClientRoundTrip, SessionAbortedMidDownloadFreesEverySlot) {
    DropMidDownload([&] {
        for (localnet::ClientSession* s : server.Network().Sessions()) {
            if (s->Kind() == localnet::ServerKind::File && s->LoggedIn()) {
                s->Abort("test drops the file connection");
                return;
            }
        }
        ADD_FAILURE() << "no file-server session";
    });
}

TEST_F(ClientRoundTrip, ServerStoppedMidDownloadFreesEverySlot) {
    DropMidDownload([&] { server.Network().Stop(); });
}

}  // namespace
}  // namespace servertest
