// Wake-ups of a logged-in client that has nothing to do: every thread of the
// process is counted (voluntary and involuntary context switches, from
// /proc/self/task/*/status) over 20 seconds, the measuring thread's own sleep
// aside. The keep-alive period is set beyond the measurement, so keep-alives
// (one message every 10 s per connection, by design) are excluded.
// Usage: idle-bench [seconds]

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>

#include "FakeServer.h"
#include "net/Client.h"
#include "net/Protocol.h"

namespace {

// Context switches of each thread of this process, by thread id.
std::map<long, long> SwitchesByThread() {
    std::map<long, long> out;
    DIR* dir = ::opendir("/proc/self/task");
    if (!dir) return out;
    while (dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        std::ifstream status(std::string("/proc/self/task/") + entry->d_name + "/status");
        std::string line;
        long total = 0;
        while (std::getline(status, line)) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0 ||
                line.rfind("nonvoluntary_ctxt_switches:", 0) == 0) {
                total += std::atol(line.c_str() + line.find(':') + 1);
            }
        }
        out[std::atol(entry->d_name)] = total;
    }
    ::closedir(dir);
    return out;
}

class QuietListener : public net::ClientListener {
public:
    std::atomic<bool> loggedIn{false};
    std::atomic<bool> ended{false};
    void ShowMessage(net::MessagePhase, const std::string&, const std::string& text,
                     net::MessageIcon) override {
        std::fprintf(stderr, "message: %s\n", text.c_str());
    }
    void ShowServerResponse(const std::string&, const std::string&) override {}
    void LookupAnswered(const std::string&) override {}
    void LookupRefused() override {}
    void LoginCouldNotConnect() override { ended = true; }
    void LoginCancelled() override { ended = true; }
    void LoginEnded(net::LoginEnd) override { ended = true; }
    void CreationCouldNotConnect() override {}
    void CreationCancelled() override {}
    void LoginCompleted() override { loggedIn = true; }
    void ConnectionDropped() override { ended = true; }
    void NetworkInformationReceived(const net::NetworkInformation&) override {}
};

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    char home[] = "/tmp/palindor-idle-XXXXXX";
    if (!::mkdtemp(home)) return 1;
    // Declared before the client, so removed after it has stopped writing.
    struct RemovedAtExit {
        std::string path;
        ~RemovedAtExit() {
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
        }
    } removed{home};

    nettest::FakeServer networkServer, fileServer;
    net::InlineUiDispatcher ui;
    QuietListener listener;
    net::Client::Options options;
    options.endpoints.networkPort = networkServer.Port();
    options.endpoints.filePort = fileServer.Port();
    options.timings.keepAliveInterval = std::chrono::hours(1);
    options.environment.home = home;
    options.environment.xdgDataHome = std::string(home) + "/data";
    options.environment.xdgConfigHome = std::string(home) + "/config";
    net::Client client(ui, listener, options);
    client.SetNumber("1234567");
    client.SetNetwork("127.0.0.1", 0);
    client.SetLogin("idle", "pw");
    client.BeginLogin();
    client.StartLoginConnections();
    nettest::Received login;
    for (nettest::FakeServer* s : {&networkServer, &fileServer}) {
        if (!s->Accept() || !s->ReadPrimary(net::Primary::Login, login)) {
            std::fprintf(stderr, "no login arrived\n");
            return 1;
        }
        net::MessageWriter ok(net::login::kLoginOK);
        s->Send(*nettest::Response(net::Primary::Login, ok));
    }
    for (int i = 0; i < 500 && !listener.loggedIn; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!listener.loggedIn) {
        std::fprintf(stderr, "login did not complete\n");
        return 1;
    }
    // Let the opening requests go out and everything settle.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    const long self = static_cast<long>(::getpid());
    auto before = SwitchesByThread();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    auto after = SwitchesByThread();
    long total = 0;
    int threads = 0;
    for (const auto& [tid, count] : after) {
        if (tid == self) continue;  // the measuring thread, asleep
        ++threads;
        total += count - (before.count(tid) ? before[tid] : 0);
    }
    const bool intact = !listener.ended && client.NetworkServer().State() == net::kStateLoggedIn &&
                        client.FileServer().State() == net::kStateLoggedIn;
    client.Shutdown();
    std::printf("idle logged-in client, %d s, %d other threads: %ld wake-ups = %.2f per second "
                "(keep-alive excluded)%s\n",
                seconds, threads, total, static_cast<double>(total) / seconds,
                intact ? "" : " [connections did not stay logged in]");
    return intact ? 0 : 1;
}
