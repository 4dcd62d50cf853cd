// transfer-bench: a 64 MiB upload and download through the client's own
// connection engine and an in-process local network on loopback, beside raw
// loopback TCP moving the same bytes at the same message sizes in the same
// run. Rates are wall-clock: bytes over the time from the request to the
// last byte stored at the receiving end.

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QObject>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "net/Client.h"
#include "net/Transfers.h"
#include "server/core/LocalNetwork.h"
#include "server/core/TransferEngine.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int64_t kFileSize = 64 << 20;
constexpr int32_t kUploadCode = 8;    // slot 21
constexpr int32_t kDownloadCode = 9;  // slot 15
constexpr int kUploadSlot = 21;
constexpr int kDownloadSlot = 15;
constexpr int kDownloadWrite = 32767;     // one whole download message
constexpr int kUploadWrite = 4096 + 44;   // one chunk with its framing
constexpr char kStoredName[] = "bench/upload.bin";

double MBps(int64_t bytes, Clock::duration d) {
    return static_cast<double>(bytes) / 1e6 / std::chrono::duration<double>(d).count();
}

// ---- Raw loopback -----------------------------------------------------------

// Moves `total` bytes from one loopback socket to another in writes of
// `writeSize`, the reader taking whatever has arrived; returns MB/s.
double RawLoopback(int writeSize, int64_t total) {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(listener, 1) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        return 0;
    }
    const int writer = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::connect(writer, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return 0;
    const int reader = ::accept(listener, nullptr, nullptr);
    const int one = 1;
    ::setsockopt(writer, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);

    const auto start = Clock::now();
    std::thread sender([&] {
        std::vector<char> block(static_cast<size_t>(writeSize), 'x');
        int64_t sent = 0;
        while (sent < total) {
            const size_t want = static_cast<size_t>(std::min<int64_t>(writeSize, total - sent));
            size_t off = 0;
            while (off < want) {
                const ssize_t n = ::send(writer, block.data() + off, want - off, MSG_NOSIGNAL);
                if (n <= 0) return;
                off += static_cast<size_t>(n);
            }
            sent += static_cast<int64_t>(want);
        }
    });
    std::vector<char> buffer(256 * 1024);
    int64_t got = 0;
    while (got < total) {
        const ssize_t n = ::recv(reader, buffer.data(), buffer.size(), 0);
        if (n <= 0) break;
        got += n;
    }
    const auto elapsed = Clock::now() - start;
    sender.join();
    ::close(writer);
    ::close(reader);
    ::close(listener);
    return got == total ? MBps(total, elapsed) : 0;
}

// ---- The local network on its own thread -------------------------------------

class ServerThread {
public:
    explicit ServerThread(const std::string& dataDir) {
        thread_.reset(QThread::create([this, dataDir] { Main(dataDir); }));
        thread_->start();
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [this] { return started_; });
    }
    ~ServerThread() {
        if (loop_) QMetaObject::invokeMethod(loop_, "quit", Qt::QueuedConnection);
        thread_->wait();
    }
    bool Ok() const { return ok_; }
    uint16_t NetworkPort() const { return networkPort_; }
    uint16_t FilePort() const { return filePort_; }
    // Set when the server has stored an upload whole.
    std::atomic<int> uploadsStored{0};

private:
    void Main(const std::string& dataDir) {
        localnet::ServerOptions options;
        options.dataDir = QString::fromStdString(dataDir);
        options.host = "127.0.0.1";
        options.listenAddress = QHostAddress::LocalHost;
        options.directoryPort = 0;
        options.networkPort = 0;
        options.filePort = 0;
        options.seedDemo = true;
        options.quiet = true;
        localnet::LocalNetwork network(options);
        QString error;
        const bool ok = network.Start(&error);
        if (ok) {
            auto& engine = network.Transfers();
            engine.RegisterUpload(kUploadCode, [this](localnet::ClientSession&, int32_t,
                                                      net::MessageReader&) {
                return localnet::UploadDecision::Accept(
                    kStoredName, [this](localnet::ClientSession&, bool stored, const QString&) {
                        if (stored) ++uploadsStored;
                    });
            });
            engine.RegisterDownload(kDownloadCode, [](localnet::ClientSession&,
                                                      net::MessageReader& fields) {
                std::string name;
                if (!fields.Str(1, 100, name)) return localnet::DownloadDecision::Refuse();
                return localnet::DownloadDecision::ServeFile(QString::fromStdString(name));
            });
        }
        QEventLoop loop;
        {
            std::lock_guard lock(mutex_);
            ok_ = ok;
            networkPort_ = network.NetworkPort();
            filePort_ = network.FilePort();
            loop_ = &loop;
            started_ = true;
        }
        ready_.notify_all();
        if (ok) loop.exec();
        network.Stop();
    }

    std::unique_ptr<QThread> thread_;
    std::mutex mutex_;
    std::condition_variable ready_;
    bool started_ = false;
    bool ok_ = false;
    uint16_t networkPort_ = 0;
    uint16_t filePort_ = 0;
    QEventLoop* loop_ = nullptr;
};

// ---- The client side, on this (the user-interface) thread ---------------------

class MainThreadDispatcher : public net::UiDispatcher {
public:
    void Dispatch(std::function<void()> work) override {
        QMetaObject::invokeMethod(&target_, std::move(work), Qt::BlockingQueuedConnection);
    }
    void Post(std::function<void()> work) override {
        QMetaObject::invokeMethod(&target_, std::move(work), Qt::QueuedConnection);
    }

private:
    QObject target_;
};

class Listener : public net::ClientListener {
public:
    bool loggedIn = false;
    bool failed = false;
    void ShowMessage(net::MessagePhase, const std::string&, const std::string& text,
                     net::MessageIcon) override {
        std::fprintf(stderr, "message: %s\n", text.c_str());
    }
    void ShowServerResponse(const std::string& response, const std::string& details) override {
        std::fprintf(stderr, "server response: %s (%s)\n", response.c_str(), details.c_str());
    }
    void LookupAnswered(const std::string&) override {}
    void LookupRefused() override {}
    void LoginCouldNotConnect() override { failed = true; }
    void LoginCancelled() override { failed = true; }
    void LoginEnded(net::LoginEnd) override { failed = true; }
    void CreationCouldNotConnect() override {}
    void CreationCancelled() override {}
    void LoginCompleted() override { loggedIn = true; }
    void ConnectionDropped() override { failed = true; }
    void NetworkInformationReceived(const net::NetworkInformation&) override {}
};

// Waits for `done` on this thread's event loop, asleep between events. (The
// timed processEvents overload returns at once when nothing is pending, which
// would make this thread spin and take a core from the two it measures.) The
// timer only bounds how late a condition set by another thread is seen.
bool SpinUntil(const std::function<bool()>& done, std::chrono::seconds limit) {
    const auto end = Clock::now() + limit;
    QTimer tick;
    tick.start(5);
    while (!done()) {
        if (Clock::now() > end) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid()) return 1;
    const std::string root = dir.path().toStdString();

    ServerThread server(root + "/localnet");
    if (!server.Ok()) {
        std::fprintf(stderr, "the local network did not start\n");
        return 1;
    }

    MainThreadDispatcher ui;
    Listener listener;
    net::Client::Options options;
    options.endpoints.directoryHost = "127.0.0.1";
    options.endpoints.networkPort = server.NetworkPort();
    options.endpoints.filePort = server.FilePort();
    options.environment.home = root;
    options.environment.xdgDataHome = root + "/data";
    options.environment.xdgConfigHome = root + "/config";
    net::Client client(ui, listener, options);
    client.SetNumber("1234567");
    client.SetNetwork("127.0.0.1", 0);
    client.SetLogin("alice", "alicepass");
    client.BeginLogin();
    client.StartLoginConnections();
    if (!SpinUntil([&] { return listener.loggedIn || listener.failed; }, std::chrono::seconds(10)) ||
        !listener.loggedIn) {
        std::fprintf(stderr, "login failed\n");
        return 1;
    }

    // The file to upload: random bytes, so that nothing along the way can
    // take a shortcut.
    const std::string source = root + "/upload.bin";
    {
        std::ofstream out(source, std::ios::binary);
        std::mt19937_64 gen(7);
        std::vector<uint64_t> block(1 << 16);
        for (int64_t done = 0; done < kFileSize; done += static_cast<int64_t>(block.size() * 8)) {
            for (auto& v : block) v = gen();
            out.write(reinterpret_cast<const char*>(block.data()),
                      static_cast<std::streamsize>(block.size() * 8));
        }
    }

    net::Connection& file = client.FileServer();
    bool uploadCompleted = false;
    bool downloadCompleted = false;
    int progressCalls = 0;
    net::SlotHooks uploadHooks;
    uploadHooks.progress = [&](int, int32_t, int32_t) { ++progressCalls; };
    uploadHooks.completed = [&](uint32_t) { uploadCompleted = true; };
    client.Transfers().Register(kUploadSlot, uploadHooks);
    net::SlotHooks downloadHooks;
    downloadHooks.progress = [&](int, int32_t, int32_t) { ++progressCalls; };
    downloadHooks.completed = [&](uint32_t) { downloadCompleted = true; };
    client.Transfers().Register(kDownloadSlot, downloadHooks);

    // Best of a few rounds, each raw measurement taken right beside the
    // engine's, so that a busy machine weighs on both alike.
    constexpr int kRounds = 3;
    double rawUpload = 0, upload = 0, rawDownload = 0, download = 0;
    int uploadProgress = 0, downloadProgress = 0;
    const std::string target = net::PrepareTransferFile(client.DataDirectory(),
                                                        "files/remote/bench/download.bin");
    for (int round = 0; round < kRounds; ++round) {
        // Upload: from the request to the server holding the whole file.
        rawUpload = std::max(rawUpload, RawLoopback(kUploadWrite, kFileSize));
        progressCalls = 0;
        uploadCompleted = false;
        const int stored = server.uploadsStored.load();
        auto start = Clock::now();
        if (!net::StartUpload(file, kUploadSlot, source, {})) {
            std::fprintf(stderr, "upload did not start\n");
            return 1;
        }
        if (!SpinUntil([&] { return server.uploadsStored.load() == stored + 1 && uploadCompleted; },
                       std::chrono::seconds(120))) {
            std::fprintf(stderr, "upload did not complete\n");
            return 1;
        }
        upload = std::max(upload, MBps(kFileSize, Clock::now() - start));
        uploadProgress = progressCalls;

        // Download: from the request to the file complete under its name.
        rawDownload = std::max(rawDownload, RawLoopback(kDownloadWrite, kFileSize));
        progressCalls = 0;
        downloadCompleted = false;
        start = Clock::now();
        if (target.empty() ||
            !net::StartDownload(file, kDownloadSlot, target, 0, {std::string(kStoredName)})) {
            std::fprintf(stderr, "download did not start\n");
            return 1;
        }
        if (!SpinUntil([&] { return downloadCompleted; }, std::chrono::seconds(120))) {
            std::fprintf(stderr, "download did not complete\n");
            return 1;
        }
        download = std::max(download, MBps(kFileSize, Clock::now() - start));
        downloadProgress = progressCalls;
    }

    std::ifstream a(source, std::ios::binary), b(target, std::ios::binary);
    bool same = true;
    std::vector<char> blockA(1 << 20), blockB(1 << 20);
    while (same && a && b) {
        a.read(blockA.data(), static_cast<std::streamsize>(blockA.size()));
        b.read(blockB.data(), static_cast<std::streamsize>(blockB.size()));
        same = a.gcount() == b.gcount() &&
               std::equal(blockA.begin(), blockA.begin() + a.gcount(), blockB.begin());
    }
    client.Shutdown();

    std::printf("file: %lld bytes, round trip %s; best of %d rounds\n",
                static_cast<long long>(kFileSize), same ? "identical" : "DIFFERS", kRounds);
    std::printf("raw loopback, %d-byte writes: %.0f MB/s\n", kDownloadWrite, rawDownload);
    std::printf("raw loopback, %d-byte writes: %.0f MB/s\n", kUploadWrite, rawUpload);
    std::printf("progress calls: upload %d, download %d\n", uploadProgress, downloadProgress);
    std::printf("download: %.0f MB/s = %.0f%% of loopback\n", download,
                rawDownload > 0 ? 100.0 * download / rawDownload : 0.0);
    std::printf("upload: %.0f MB/s = %.0f%% of loopback\n", upload,
                rawUpload > 0 ? 100.0 * upload / rawUpload : 0.0);
    return same ? 0 : 1;
}
