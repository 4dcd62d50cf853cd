#include "Probes.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace loadgen {

namespace {

using Clock = std::chrono::steady_clock;

bool SendAll(int fd, const char* at, size_t n) {
    while (n > 0) {
        const ssize_t sent = ::send(fd, at, n, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        at += sent;
        n -= static_cast<size_t>(sent);
    }
    return true;
}

bool ReceiveAll(int fd, char* into, size_t n) {
    while (n > 0) {
        const ssize_t got = ::recv(fd, into, n, 0);
        if (got <= 0) return false;
        into += got;
        n -= static_cast<size_t>(got);
    }
    return true;
}

int Connect(const std::string& host, int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    if (::inet_pton(AF_INET, host.c_str(), &a.sin_addr) != 1 ||
        ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void NoDelay(int fd) {
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

}  // namespace

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

double CpuSecondsOfStat(const std::string& statLine) {
    // The name in parentheses may hold spaces and parentheses of its own:
    // the fields are counted from the last ')'. utime and stime are the
    // 14th and 15th fields, the 12th and 13th after the name.
    const size_t close = statLine.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream rest(statLine.substr(close + 1));
    std::string field;
    unsigned long long user = 0, system = 0;
    for (int i = 1; i <= 13 && rest >> field; ++i) {
        if (i == 12) user = std::strtoull(field.c_str(), nullptr, 10);
        if (i == 13) {
            system = std::strtoull(field.c_str(), nullptr, 10);
            const long tick = ::sysconf(_SC_CLK_TCK);
            return tick > 0 ? static_cast<double>(user + system) / static_cast<double>(tick) : -1;
        }
    }
    return -1;
}

double ProcessCpuSeconds(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return -1;
    return CpuSecondsOfStat(line);
}

double PercentChange(long from, long to) {
    if (from <= 0) return 0;
    return 100.0 * static_cast<double>(to - from) / static_cast<double>(from);
}

bool RunLoopback(Stats& stats, const std::string& op, int bytes, int everyMs,
                 std::atomic<bool>& stop) {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener < 0) return false;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(listener, 1) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
        ::close(listener);
        return false;
    }
    const int client = Connect("127.0.0.1", ntohs(a.sin_port));
    const int server = client < 0 ? -1 : ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    ::close(listener);
    if (server < 0) {
        if (client >= 0) ::close(client);
        return false;
    }
    NoDelay(client);
    NoDelay(server);
    const size_t n = static_cast<size_t>(bytes);
    // The echoing end, like a relay that hands each message straight on.
    std::thread echo([server, n] {
        std::vector<char> buffer(n);
        while (ReceiveAll(server, buffer.data(), n) && SendAll(server, buffer.data(), n)) {
        }
    });
    std::vector<char> out(n, 'x'), in(n);
    while (!stop) {
        const auto t0 = Clock::now();
        const bool ok = SendAll(client, out.data(), n) && ReceiveAll(client, in.data(), n);
        stats.Add(op, std::chrono::duration<double, std::milli>(Clock::now() - t0).count(), ok);
        if (!ok) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(everyMs));
    }
    ::shutdown(client, SHUT_RDWR);
    echo.join();
    ::close(client);
    ::close(server);
    return true;
}

bool IdleConnections(const std::string& host, int port, int count, int holdSeconds,
                     int afterSeconds, int pid) {
    const auto print = [pid](const char* when) {
        const auto [rss, fds] = ProcessUse(pid);
        std::printf("server %s: %ld KiB resident, %ld descriptors\n", when, rss, fds);
        std::fflush(stdout);
        return std::make_pair(rss, fds);
    };
    const auto [baseRss, baseFds] = print("idle");
    std::vector<int> fds;
    fds.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const int fd = Connect(host, port);
        if (fd < 0) break;
        fds.push_back(fd);
    }
    std::printf("opened %zu of %d idle connections\n", fds.size(), count);
    // The server accepts at its own pace: wait until it holds them all.
    const auto until = Clock::now() + std::chrono::seconds(30);
    while (Clock::now() < until &&
           ProcessUse(pid).second < baseFds + static_cast<long>(fds.size()))
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::this_thread::sleep_for(std::chrono::seconds(holdSeconds));
    char when[64];
    std::snprintf(when, sizeof when, "with %zu idle connections", fds.size());
    print(when);
    for (int fd : fds) ::close(fd);
    for (int s = 1; s <= afterSeconds; ++s) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        std::snprintf(when, sizeof when, "%d s after they closed", s);
        print(when);
    }
    (void)baseRss;
    return static_cast<int>(fds.size()) == count;
}

}  // namespace loadgen
