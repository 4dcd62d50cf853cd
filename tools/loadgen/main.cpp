// loadgen: simulated users against a running local network, built on the
// protocol core alone. Each user is a thread with its two server
// connections (network and file), logged in as a loadgen account (created
// on first use), that repeats a mix of what users do: presence changes,
// instant messages to other users, room chat with joins and leaves (the
// first 25 users, in the demo session demo01), network information
// requests, and document uploads and downloads. It prints per operation the count, the
// failures and the p50/p99 latency, and at the end the server's resident
// memory and open descriptors (from /proc of the pid given).
//
//   loadgen --users 50 --seconds 30 --pid $(pidof zorvic-localnet)
//
// The server must let one address create that many accounts: start it with
// --creations-per-address at least --users.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <dirent.h>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "net/MessageBuffer.h"
#include "net/Protocol.h"
#include "net/Transfers.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    std::string host = "127.0.0.1";
    int networkPort = 9257;
    int filePort = 9357;
    std::string number = "1234567";
    int users = 50;
    int seconds = 30;
    int pid = 0;
    int documentBytes = 64 * 1024;
};

// Latencies and failures of one operation, shared by all users.
class Stats {
  public:
    void Add(const std::string& op, double ms, bool ok) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto& s = ops_[op];
        if (ok)
            s.latencies.push_back(ms);
        else
            ++s.failures;
    }
    void Print() {
        std::lock_guard<std::mutex> lock(mutex_);
        std::printf("%-18s %8s %8s %10s %10s\n", "operation", "count", "failed", "p50 ms",
                    "p99 ms");
        for (auto& [name, s] : ops_) {
            auto& v = s.latencies;
            std::sort(v.begin(), v.end());
            const auto at = [&](double q) {
                return v.empty() ? 0.0 : v[std::min(v.size() - 1, static_cast<size_t>(q * v.size()))];
            };
            std::printf("%-18s %8zu %8zu %10.2f %10.2f\n", name.c_str(), v.size() + s.failures,
                        s.failures, at(0.50), at(0.99));
        }
    }

  private:
    struct Op {
        std::vector<double> latencies;
        size_t failures = 0;
    };
    std::mutex mutex_;
    std::map<std::string, Op> ops_;
};

double Millis(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

int64_t NowMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch())
        .count();
}

struct Incoming {
    net::bufHeader header;
    std::unique_ptr<net::MessageBuffer> buffer;
    int32_t code = -1;
    net::MessageReader Reader() const { return net::MessageReader(*buffer, header); }
};

// One blocking connection with a reader thread: responses are queued for the
// user's thread, notifications go to a handler on the reader thread.
class Link {
  public:
    using Notify = std::function<void(const Incoming&)>;
    ~Link() { Close(); }

    bool Open(const std::string& host, int port, Notify notify) {
        notify_ = std::move(notify);
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        if (fd_ < 0) return false;
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(port));
        if (::inet_pton(AF_INET, host.c_str(), &a.sin_addr) != 1) return false;
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return false;
        const int on = 1;
        ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        reader_ = std::thread([this] { Read(); });
        return true;
    }
    void Close() {
        if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
        if (reader_.joinable()) reader_.join();
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    bool Send(net::MessageWriter& w, net::Primary p, net::Secondary s = net::Secondary::Message) {
        auto m = w.Finish(p, s);
        if (!m) return false;
        std::lock_guard<std::mutex> lock(sendMutex_);
        const char* at = reinterpret_cast<const char*>(m->data);
        size_t left = static_cast<size_t>(m->remaining);
        while (left > 0) {
            const ssize_t n = ::send(fd_, at, left, MSG_NOSIGNAL);
            if (n <= 0) return false;
            at += n;
            left -= static_cast<size_t>(n);
        }
        return true;
    }
    // The next response (secondary 2) of the family, skipping others.
    std::optional<Incoming> Wait(net::Primary primary, std::chrono::milliseconds deadline) {
        std::unique_lock<std::mutex> lock(mutex_);
        const auto until = Clock::now() + deadline;
        for (;;) {
            for (auto it = responses_.begin(); it != responses_.end(); ++it) {
                if (it->header.nDescPrimary == +primary) {
                    Incoming m = std::move(*it);
                    responses_.erase(it);
                    return m;
                }
            }
            if (closed_ || cv_.wait_until(lock, until) == std::cv_status::timeout) {
                if (closed_ || Clock::now() >= until) return std::nullopt;
            }
        }
    }
    void Drop(net::Primary primary) {
        std::lock_guard<std::mutex> lock(mutex_);
        responses_.erase(std::remove_if(responses_.begin(), responses_.end(),
                                        [&](const Incoming& m) {
                                            return m.header.nDescPrimary == +primary;
                                        }),
                         responses_.end());
    }

  private:
    bool ReadAll(uint8_t* into, int n) {
        while (n > 0) {
            const ssize_t got = ::recv(fd_, into, static_cast<size_t>(n), 0);
            if (got <= 0) return false;
            into += got;
            n -= static_cast<int>(got);
        }
        return true;
    }
    void Read() {
        for (;;) {
            auto b = std::make_unique<net::MessageBuffer>();
            if (!ReadAll(b->data, net::kHeaderSize)) break;
            b->done = net::kHeaderSize;
            net::bufHeader h;
            int status = b->ParseHeader(h);
            if (status == net::kParseMore) {
                if (!ReadAll(b->data + net::kHeaderSize, h.nMsgLength - net::kHeaderSize)) break;
                b->done = h.nMsgLength;
                status = b->ParseHeader(h);
            }
            if (status != net::kParseComplete) break;
            Incoming m;
            m.header = h;
            m.buffer = std::move(b);
            m.code = m.Reader().Code();
            if (h.nDescSecondary == +net::Secondary::Notification) {
                if (notify_) notify_(m);
                continue;
            }
            std::lock_guard<std::mutex> lock(mutex_);
            responses_.push_back(std::move(m));
            // A user that never waits for some answers must not grow without bound.
            if (responses_.size() > 256) responses_.pop_front();
            cv_.notify_all();
        }
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        cv_.notify_all();
    }

    int fd_ = -1;
    std::thread reader_;
    Notify notify_;
    std::mutex sendMutex_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<Incoming> responses_;
    bool closed_ = false;
};

std::string UserName(int i) {
    return "lg" + std::to_string(i);
}

std::string Identity(int i) {
    char text[40];
    std::snprintf(text, sizeof text, "10adf00d-0000-4000-8000-%012d", i);
    return text;
}

bool CreateAccount(const Options& o, int i) {
    Link link;
    if (!link.Open(o.host, o.networkPort, {})) return false;
    net::MessageWriter w(net::zorvic::kEnvelope);
    w.Int(0).Int(0).Int(0).Int(+net::Primary::Account).Int(+net::Secondary::Message);
    w.Int(net::account::kCreate).Str(o.number).Str("Load " + std::to_string(i)).Str(UserName(i));
    w.Str(UserName(i) + "pw").Str(Identity(i)).Str("none");
    if (!link.Send(w, net::Primary::Zorvic)) return false;
    auto m = link.Wait(net::Primary::Account, std::chrono::seconds(10));
    return m && (m->code == net::account::kCreated || m->code == net::account::kUsernameTaken);
}

bool LogIn(Link& link, const Options& o, int i) {
    net::MessageWriter w(net::login::kLogin);
    w.Int(2).Str(o.number).Int(0).Str(UserName(i)).Str(UserName(i) + "pw").Str(Identity(i));
    if (!link.Send(w, net::Primary::Login)) return false;
    auto m = link.Wait(net::Primary::Login, std::chrono::seconds(10));
    return m && m->code == net::login::kLoginOK;
}

class User {
  public:
    User(const Options& o, int index, Stats& stats, std::atomic<bool>& stop)
        : o_(o), index_(index), stats_(stats), stop_(stop), random_(index * 7919 + 1) {}

    void Run() {
        const auto t0 = Clock::now();
        const bool in =
            network_.Open(o_.host, o_.networkPort,
                          [this](const Incoming& m) { OnNotification(m); }) &&
            file_.Open(o_.host, o_.filePort, {}) && LogIn(network_, o_, index_) &&
            LogIn(file_, o_, index_);
        stats_.Add("login", Millis(Clock::now() - t0), in);
        if (!in) return;
        while (!stop_) {
            switch (std::uniform_int_distribution<int>(0, 9)(random_)) {
                case 0:
                case 1:
                    Presence();
                    break;
                case 2:
                case 3:
                case 4:
                    InstantMessage();
                    break;
                case 5:
                    Room();
                    break;
                case 6:
                    NetworkInfo();
                    break;
                default:
                    Document();
                    break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(
                std::uniform_int_distribution<int>(20, 200)(random_)));
        }
        network_.Close();
        file_.Close();
    }

  private:
    void OnNotification(const Incoming& m) {
        if (m.header.nDescPrimary == +net::Primary::Session) {
            OnRoom(m);
            return;
        }
        if (m.header.nDescPrimary != +net::Primary::Contact ||
            m.code != net::contact::kIncomingMessage)
            return;
        auto f = m.Reader();
        std::string sender, text;
        int32_t v = 0;
        bool ok = f.Str(1, 64, sender);
        for (int i = 0; ok && i < 8; ++i) ok = f.Int(-1, -1, v);
        ok = ok && f.Str(0, 4096, text);
        if (!ok || text.rfind("t=", 0) != 0) return;
        const int64_t sent = std::strtoll(text.c_str() + 2, nullptr, 10);
        stats_.Add("im relayed", (NowMicros() - sent) / 1000.0, true);
    }

    // The room's own notifications: our join, and everyone's chat lines.
    void OnRoom(const Incoming& m) {
        auto f = m.Reader();
        std::string id, account, text;
        int32_t v = 0;
        if (m.code == net::session::kRoomState) {
            int32_t event = -1;
            if (f.Str(1, 20, id) && f.Int(-1, -1, event) && f.Str(0, 64, account) &&
                event == net::session::kEventJoined && account == UserName(index_)) {
                std::lock_guard<std::mutex> lock(roomMutex_);
                joined_ = true;
                roomCv_.notify_all();
            }
            return;
        }
        if (m.code != net::session::kChatLine) return;
        bool ok = f.Str(1, 20, id) && f.Str(1, 64, account);
        for (int i = 0; ok && i < 8; ++i) ok = f.Int(-1, -1, v);
        ok = ok && f.Str(0, 4096, text);
        if (!ok || account == UserName(index_) || text.rfind("t=", 0) != 0) return;
        const int64_t sent = std::strtoll(text.c_str() + 2, nullptr, 10);
        stats_.Add("room relayed", (NowMicros() - sent) / 1000.0, true);
    }

    // Joins demo01, says one line, leaves. Its 30 seats hold the first 25 users.
    void Room() {
        if (index_ >= 25) return;
        const auto t0 = Clock::now();
        {
            std::lock_guard<std::mutex> lock(roomMutex_);
            joined_ = false;
        }
        net::MessageWriter join(net::session::kJoinSession);
        join.Str("demo01").Str("");
        bool ok = network_.Send(join, net::Primary::Session);
        if (ok) {
            std::unique_lock<std::mutex> lock(roomMutex_);
            ok = roomCv_.wait_for(lock, std::chrono::seconds(10), [this] { return joined_; });
        }
        network_.Drop(net::Primary::Session);
        stats_.Add("room join", Millis(Clock::now() - t0), ok);
        if (!ok) return;
        net::MessageWriter line(net::session::kSendChatLine);
        line.Str("demo01").Int(0).Int(0).Int(0).Int(0).Int(0).Int(0).Int(0).Int(1);
        line.Str("t=" + std::to_string(NowMicros()));
        stats_.Add("room chat sent", 0.0, network_.Send(line, net::Primary::Session));
        std::this_thread::sleep_for(std::chrono::milliseconds(
            std::uniform_int_distribution<int>(50, 500)(random_)));
        const auto t1 = Clock::now();
        net::MessageWriter leave(net::session::kLeaveSession);
        leave.Str("demo01");
        stats_.Add("room leave", Millis(Clock::now() - t1),
                   network_.Send(leave, net::Primary::Session));
    }

    void Presence() {
        const auto t0 = Clock::now();
        net::MessageWriter w(net::contact::kSetStatus);
        w.Int(status_ = status_ == 1 ? 2 : 1);
        stats_.Add("presence", Millis(Clock::now() - t0), network_.Send(w, net::Primary::Contact));
    }

    void InstantMessage() {
        if (o_.users < 2) return;
        int to = std::uniform_int_distribution<int>(0, o_.users - 2)(random_);
        if (to >= index_) ++to;
        net::MessageWriter w(net::contact::kInstantMessage);
        w.Str(UserName(to)).Int(0).Int(0).Int(0).Int(0).Int(0).Int(0).Int(0).Int(1);
        w.Str("t=" + std::to_string(NowMicros()));
        const auto t0 = Clock::now();
        stats_.Add("im sent", Millis(Clock::now() - t0), network_.Send(w, net::Primary::Contact));
        // A recipient that went away answers "offline": counted, not waited for.
        network_.Drop(net::Primary::Contact);
    }

    void NetworkInfo() {
        const auto t0 = Clock::now();
        net::MessageWriter w(net::network::kInformation);
        w.Int(-1).Str(o_.number).Str("/");
        bool ok = network_.Send(w, net::Primary::Network);
        if (ok) {
            auto m = network_.Wait(net::Primary::Network, std::chrono::seconds(10));
            ok = m && m->code == net::network::kInformationResponse;
        }
        stats_.Add("network info", Millis(Clock::now() - t0), ok);
    }

    void Document() {
        std::string content(static_cast<size_t>(o_.documentBytes), '\0');
        for (size_t i = 0; i < content.size(); ++i)
            content[i] = static_cast<char>(i * 31 + index_);
        const std::string name = "load" + std::to_string(documents_++ % 4) + ".bin";
        auto t0 = Clock::now();
        bool ok = false;
        {
            net::MessageWriter w(net::UploadRequestCode(0));
            w.Int(static_cast<int32_t>(content.size())).Str("/").Str(name);
            if (file_.Send(w, net::Primary::Upload)) {
                auto go = file_.Wait(net::Primary::Upload, std::chrono::seconds(10));
                ok = go && go->code == net::upload::kGoAhead;
                for (size_t at = 0; ok && at < content.size(); at += net::kChunkSize) {
                    const std::string chunk = content.substr(at, net::kChunkSize);
                    net::MessageWriter c(net::upload::kChunk);
                    c.Int(0).Raw(chunk.data(), static_cast<int>(chunk.size()));
                    ok = file_.Send(c, net::Primary::Upload, net::Secondary::Response);
                }
            }
        }
        stats_.Add("document upload", Millis(Clock::now() - t0), ok);
        if (!ok) return;
        t0 = Clock::now();
        net::MessageWriter w(net::DownloadRequestCode(1));
        w.Str(UserName(index_)).Str("/").Str(name).Str("");
        std::string got;
        int32_t total = -1;
        ok = file_.Send(w, net::Primary::Download);
        while (ok && (total < 0 || static_cast<int32_t>(got.size()) < total)) {
            auto m = file_.Wait(net::Primary::Download, std::chrono::seconds(10));
            if (!m || (m->code != net::download::kStart && m->code != net::download::kData)) {
                ok = false;
                break;
            }
            auto f = m->Reader();
            int32_t slot = 0;
            f.Int(0, 24, slot);
            if (m->code == net::download::kStart) f.Int(0, -1, total);
            got.append(reinterpret_cast<const char*>(f.Rest()), static_cast<size_t>(f.RestSize()));
        }
        stats_.Add("document download", Millis(Clock::now() - t0), ok && got == content);
    }

    const Options& o_;
    int index_;
    Stats& stats_;
    std::atomic<bool>& stop_;
    std::mt19937 random_;
    Link network_;
    Link file_;
    int status_ = 1;
    int documents_ = 0;
    std::mutex roomMutex_;
    std::condition_variable roomCv_;
    bool joined_ = false;
};

// Resident memory in KiB and open descriptors of a process; -1 when unknown.
std::pair<long, long> ProcessUse(int pid) {
    long rss = -1, fds = -1;
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) rss = std::strtol(line.c_str() + 6, nullptr, 10);
    if (DIR* d = ::opendir(("/proc/" + std::to_string(pid) + "/fd").c_str())) {
        fds = 0;
        while (dirent* e = ::readdir(d))
            if (e->d_name[0] != '.') ++fds;
        ::closedir(d);
    }
    return {rss, fds};
}

bool Arg(int& i, int argc, char** argv, const char* name, std::string& out) {
    if (std::strcmp(argv[i], name) != 0 || i + 1 >= argc) return false;
    out = argv[++i];
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string v;
        if (Arg(i, argc, argv, "--host", o.host)) continue;
        if (Arg(i, argc, argv, "--number", o.number)) continue;
        if (Arg(i, argc, argv, "--ports", v)) {
            if (std::sscanf(v.c_str(), "%d,%d", &o.networkPort, &o.filePort) != 2) return 2;
        } else if (Arg(i, argc, argv, "--users", v)) {
            o.users = std::atoi(v.c_str());
        } else if (Arg(i, argc, argv, "--seconds", v)) {
            o.seconds = std::atoi(v.c_str());
        } else if (Arg(i, argc, argv, "--pid", v)) {
            o.pid = std::atoi(v.c_str());
        } else if (Arg(i, argc, argv, "--document-bytes", v)) {
            o.documentBytes = std::atoi(v.c_str());
        } else {
            std::fprintf(stderr,
                         "usage: loadgen [--host ADDR] [--ports NET,FILE] [--number N] "
                         "[--users N] [--seconds S] [--pid PID] [--document-bytes B]\n");
            return 2;
        }
    }
    if (o.users < 1 || o.seconds < 1 || o.documentBytes < 1 || o.documentBytes > (1 << 24)) {
        std::fprintf(stderr, "loadgen: --users, --seconds and --document-bytes must be positive\n");
        return 2;
    }
    if (o.pid > 0) {
        const auto [rss, fds] = ProcessUse(o.pid);
        std::printf("server before: %ld KiB resident, %ld descriptors\n", rss, fds);
    }
    for (int i = 0; i < o.users; ++i)
        if (!CreateAccount(o, i)) {
            std::fprintf(stderr, "loadgen: cannot create or find account %s\n", UserName(i).c_str());
            return 1;
        }
    Stats stats;
    std::atomic<bool> stop{false};
    std::vector<std::unique_ptr<User>> users;
    std::vector<std::thread> threads;
    for (int i = 0; i < o.users; ++i) {
        users.push_back(std::make_unique<User>(o, i, stats, stop));
        threads.emplace_back([u = users.back().get()] { u->Run(); });
    }
    long peakRss = -1;
    for (int s = 0; s < o.seconds; ++s) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        if (o.pid > 0) peakRss = std::max(peakRss, ProcessUse(o.pid).first);
    }
    if (o.pid > 0) {
        const auto [rss, fds] = ProcessUse(o.pid);
        std::printf("server under load: %ld KiB resident (peak %ld), %ld descriptors\n", rss,
                    peakRss, fds);
    }
    stop = true;
    for (auto& t : threads) t.join();
    stats.Print();
    if (o.pid > 0) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        const auto [rss, fds] = ProcessUse(o.pid);
        std::printf("server after: %ld KiB resident, %ld descriptors\n", rss, fds);
    }
    return 0;
}
