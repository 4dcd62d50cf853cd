// loadgen: simulated users against a running local network, built on the
// protocol core alone. Each user is a thread with its two server
// connections (network and file), logged in as a loadgen account (created
// on first use), that repeats a mix of what users do: presence changes,
// instant messages, room chat with joins and leaves (the first 25 users, in
// the demo session demo01), network information requests, document uploads
// and downloads, mail with an attachment to another user, poll ballots and
// whiteboard saves. It prints per operation the count, the failures and the
// p50/p99 latency, a raw loopback ping-pong measured in the same run, and
// the server's resident memory and open descriptors (from /proc of --pid).
//
//   loadgen --users 50 --seconds 30 --pid $(pidof zorvic-localnet)
//   loadgen --idle-connections 10000 --pid $(pidof zorvic-localnet)
//
// The server must let one address create that many accounts and hold
// their connections: see docs/performance.md for its options.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Probes.h"
#include "Users.h"

namespace {

using namespace loadgen;

bool Arg(int& i, int argc, char** argv, const char* name, std::string& out) {
    if (std::strcmp(argv[i], name) != 0 || i + 1 >= argc) return false;
    out = argv[++i];
    return true;
}

// The size of an instant message as users send it, for the raw ping-pong.
int InstantMessageBytes() {
    net::MessageWriter w(net::contact::kInstantMessage);
    w.Str(UserName(123)).Int(0).Int(0).Int(0).Int(0).Int(0).Int(0).Int(0).Int(1);
    w.Str("t=1700000000000000");
    auto m = w.Finish(net::Primary::Contact);
    return m ? m->remaining : 64;
}

void Usage() {
    std::fprintf(stderr,
                 "usage: loadgen [--host ADDR] [--ports NET,FILE] [--number N] [--users N]\n"
                 "               [--seconds S] [--pid PID] [--document-bytes B]\n"
                 "               [--attachment-bytes B] [--poll-owner NAME:PASSWORD]\n"
                 "               [--poll-session ID] [--poll-every S] [--pause MIN,MAX]\n"
                 "               [--keep-alive MS (10000; 0: none)]\n"
                 "       loadgen --idle-connections N --pid PID [--idle-hold S] [--ports NET,FILE]\n");
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    int idleConnections = 0, idleHold = 5;
    for (int i = 1; i < argc; ++i) {
        std::string v;
        if (Arg(i, argc, argv, "--host", o.host)) continue;
        if (Arg(i, argc, argv, "--number", o.number)) continue;
        if (Arg(i, argc, argv, "--poll-session", o.pollSession)) continue;
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
        } else if (Arg(i, argc, argv, "--attachment-bytes", v)) {
            o.attachmentBytes = std::atoi(v.c_str());
        } else if (Arg(i, argc, argv, "--pause", v)) {
            if (std::sscanf(v.c_str(), "%d,%d", &o.pauseMin, &o.pauseMax) != 2) {
                Usage();
                return 2;
            }
        } else if (Arg(i, argc, argv, "--keep-alive", v)) {
            o.keepAlive = std::chrono::milliseconds(std::atoi(v.c_str()));
        } else if (Arg(i, argc, argv, "--poll-every", v)) {
            o.pollEverySeconds = std::atoi(v.c_str());
        } else if (Arg(i, argc, argv, "--poll-owner", v)) {
            const size_t colon = v.find(':');
            if (colon == std::string::npos) {
                Usage();
                return 2;
            }
            o.pollOwner = v.substr(0, colon);
            o.pollPassword = v.substr(colon + 1);
        } else if (Arg(i, argc, argv, "--idle-connections", v)) {
            idleConnections = std::atoi(v.c_str());
        } else if (Arg(i, argc, argv, "--idle-hold", v)) {
            idleHold = std::atoi(v.c_str());
        } else {
            Usage();
            return 2;
        }
    }
    if (idleConnections > 0) {
        if (o.pid <= 0 || idleHold < 0) {
            std::fprintf(stderr, "loadgen: --idle-connections needs --pid\n");
            return 2;
        }
        return IdleConnections(o.host, o.networkPort, idleConnections, idleHold, 10, o.pid) ? 0
                                                                                            : 1;
    }
    if (o.users < 1 || o.seconds < 1 || o.documentBytes < 1 || o.documentBytes > (1 << 24) ||
        o.attachmentBytes < 1 || o.attachmentBytes > (1 << 20) || o.pollEverySeconds < 1 ||
        o.pollEverySeconds > 50 || o.pauseMin < 0 || o.pauseMax < o.pauseMin) {
        // The poll owner's connection is silent between polls, and the server
        // drops one silent for a minute.
        std::fprintf(stderr,
                     "loadgen: --users, --seconds and the byte counts must be positive "
                     "(documents at most 16 MiB, attachments at most 1 MiB), --poll-every 1 to "
                     "50 seconds, --pause MIN,MAX milliseconds with MIN <= MAX\n");
        return 2;
    }
    long baseFds = -1;
    if (o.pid > 0) {
        const auto [rss, fds] = ProcessUse(o.pid);
        baseFds = fds;
        std::printf("server before: %ld KiB resident, %ld descriptors\n", rss, fds);
    }
    for (int i = 0; i < o.users; ++i)
        if (!CreateAccount(o, i)) {
            std::fprintf(stderr, "loadgen: cannot create or find account %s\n",
                         UserName(i).c_str());
            return 1;
        }
    Stats stats;
    std::atomic<bool> stop{false};
    MailBook mail(o.users);
    PollMaster polls(o, stats, stop);
    if (!polls.Start()) {
        std::fprintf(stderr, "loadgen: %s cannot log in to open polls in %s\n",
                     o.pollOwner.c_str(), o.pollSession.c_str());
        return 1;
    }
    std::thread pollThread([&] { polls.Run(); });
    const int pingBytes = InstantMessageBytes();
    std::thread loopback([&] {
        if (!RunLoopback(stats, "raw loopback rtt", pingBytes, 50, stop))
            stats.Fail("raw loopback rtt");
    });
    const double cpuBefore = o.pid > 0 ? ProcessCpuSeconds(o.pid) : -1;
    const auto runStart = std::chrono::steady_clock::now();
    std::vector<std::unique_ptr<User>> users;
    std::vector<std::thread> threads;
    for (int i = 0; i < o.users; ++i) {
        users.push_back(std::make_unique<User>(o, i, stats, stop, mail, &polls));
        threads.emplace_back([u = users.back().get()] { u->Run(); });
    }
    long peakRss = -1, earlyRss = -1, peakFds = -1;
    const int early = std::max(1, o.seconds / 5);
    for (int s = 1; s <= o.seconds; ++s) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        if (o.pid <= 0) continue;
        const auto [rss, fds] = ProcessUse(o.pid);
        peakRss = std::max(peakRss, rss);
        peakFds = std::max(peakFds, fds);
        if (s == early) {
            earlyRss = rss;
            std::printf("server at %d s (20%% of the run): %ld KiB resident, %ld descriptors\n", s,
                        rss, fds);
            std::fflush(stdout);
        }
    }
    if (o.pid > 0) {
        const auto [rss, fds] = ProcessUse(o.pid);
        std::printf("server at %d s (end of the run): %ld KiB resident (peak %ld), %ld "
                    "descriptors (peak %ld)\n",
                    o.seconds, rss, peakRss, fds, peakFds);
        std::printf("memory from 20%% to the end of the run: %+.1f%%\n",
                    PercentChange(earlyRss, rss));
        const double cpuAfter = ProcessCpuSeconds(o.pid);
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - runStart).count();
        if (cpuBefore >= 0 && cpuAfter >= 0 && wall > 0)
            std::printf("server processor time during the run: %.1f s (%.0f%% of one core)\n",
                        cpuAfter - cpuBefore, 100.0 * (cpuAfter - cpuBefore) / wall);
    }
    stop = true;
    for (auto& t : threads) t.join();
    pollThread.join();
    polls.Finish();
    loopback.join();
    size_t inFlight = 0;
    mail.Settle(stats, std::chrono::seconds(10), inFlight);
    std::printf("%s", stats.Table().c_str());
    const auto summary = stats.Summaries();
    const auto p99 = [&](const char* op) {
        const auto it = summary.find(op);
        return it == summary.end() ? 0.0 : it->second.p99;
    };
    std::printf("relayed p99: im %.2f ms, room %.2f ms; raw loopback round trip (%d bytes each "
                "way) p99 %.2f ms\n",
                p99("im relayed"), p99("room relayed"), pingBytes, p99("raw loopback rtt"));
    std::printf("mail notices still in flight when their recipient left: %zu\n", inFlight);
    const size_t failures = stats.TotalFailures();
    std::printf("failed operations: %zu\n", failures);
    if (o.pid > 0) {
        // Closed connections take a moment to be noticed and released.
        std::pair<long, long> use;
        for (int i = 0; i < 100; ++i) {
            use = ProcessUse(o.pid);
            if (use.second <= baseFds) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        std::printf("server after the users left: %ld KiB resident, %ld descriptors (%ld "
                    "before)\n",
                    use.first, use.second, baseFds);
    }
    return failures == 0 ? 0 : 1;
}
