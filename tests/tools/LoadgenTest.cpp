// The load generator's users against the in-process local network: every
// operation of the mix must succeed as the real server answers it, or a
// benchmark run would report failures of the tool as the server's.

#include <QByteArray>
#include <QImage>
#include <atomic>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include <unistd.h>

#include "PagePng.h"
#include "Probes.h"
#include "Stats.h"
#include "Users.h"
#include "support/qt/LocalNetworkFixture.h"
#include "whiteboard/model/NotepadFiles.h"

namespace loadgen {
namespace {

using namespace std::chrono_literals;

TEST(LoadgenPage, IsAPagePictureThatDecodesAndDiffersBySeed) {
    const std::string a = MakePagePng(1), b = MakePagePng(2);
    EXPECT_NE(a, b);
    EXPECT_TRUE(whiteboard::IsPagePng(reinterpret_cast<const uint8_t*>(a.data()), a.size()));
    QImage image;
    ASSERT_TRUE(image.loadFromData(QByteArray(a.data(), static_cast<qsizetype>(a.size())), "PNG"));
    EXPECT_EQ(image.width(), 634);
    EXPECT_EQ(image.height(), 400);
    // Mostly white, with some ink.
    int dark = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) dark += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
    EXPECT_GT(dark, 0);
    EXPECT_LT(dark, 634 * 400 / 4);
}

TEST(LoadgenPage, ChecksumsMatchTheirStandardValues) {
    const std::string digits = "123456789";
    EXPECT_EQ(Crc32(reinterpret_cast<const uint8_t*>(digits.data()), digits.size()), 0xCBF43926u);
    const std::string word = "Wikipedia";
    EXPECT_EQ(Adler32(reinterpret_cast<const uint8_t*>(word.data()), word.size()), 0x11E60398u);
}

TEST(LoadgenStats, QuantilesByNearestRankAndFailuresCounted) {
    std::vector<double> v;
    for (int i = 1; i <= 100; ++i) v.push_back(i);
    EXPECT_EQ(Quantile(v, 0.50), 50);
    EXPECT_EQ(Quantile(v, 0.99), 99);
    EXPECT_EQ(Quantile({7}, 0.99), 7);
    EXPECT_EQ(Quantile({}, 0.5), 0);
    // 10 values: p99 is the largest, not past the end.
    EXPECT_EQ(Quantile({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 0.99), 10);

    Stats s;
    s.Add("op", 5, true);
    s.Add("op", 1, true);
    s.Fail("op");
    const auto sum = s.Summaries().at("op");
    EXPECT_EQ(sum.count, 3u);
    EXPECT_EQ(sum.failures, 1u);
    EXPECT_EQ(sum.p50, 1);
    EXPECT_EQ(s.TotalFailures(), 1u);
    // A failure's reason is listed, counted, under the table.
    s.Fail("op", "no answer");
    s.Fail("op", "no answer");
    EXPECT_NE(s.Table().find("  op failed 2 times: no answer\n"), std::string::npos) << s.Table();
    EXPECT_EQ(s.TotalFailures(), 3u);
}

TEST(LoadgenMailBook, PairsNoticesInOrderAndNeverHidesALostOne) {
    MailBook book(3);
    book.SetOnline(1, true);
    book.SetOnline(2, true);
    const uint64_t first = book.Expect(1);
    book.Expect(1);
    book.Withdraw(1, first);  // its deliver failed: no notice is owed
    double ms = -1;
    EXPECT_TRUE(book.Arrived(1, ms));
    EXPECT_GE(ms, 0);
    EXPECT_FALSE(book.Arrived(1, ms));
    EXPECT_FALSE(book.Arrived(0, ms));

    // One owed to a user that stays long after: a failure. One owed to a
    // user that left at once: in flight, not a failure.
    book.Expect(2);
    book.Expect(0);
    book.SetOnline(0, false);
    std::this_thread::sleep_for(30ms);
    Stats stats;
    size_t inFlight = 0;
    book.Settle(stats, 20ms, inFlight);
    EXPECT_EQ(stats.TotalFailures(), 1u);
    EXPECT_EQ(inFlight, 1u);
    EXPECT_EQ(stats.Summaries().at("mail notified").failures, 1u);
}

TEST(LoadgenAgainstLocalNetwork, EveryOperationOfTheMixSucceeds) {
    testsupport::LocalNetworkFixture net;
    net.Options().creationsPerAddress = 100;
    ASSERT_TRUE(net.Start());
    Options o;
    o.networkPort = net.NetworkPort();
    o.filePort = net.FilePort();
    o.users = 2;
    o.documentBytes = 9000;  // more than two chunks
    o.attachmentBytes = 5000;
    o.pollEverySeconds = 3600;
    o.answerWait = 5s;

    Stats stats;
    std::atomic<bool> stop{false};
    MailBook mail(o.users);
    PollMaster polls(o, stats, stop);
    std::atomic<bool> done{false};
    bool voted = false, votedAgain = true;
    std::thread pollThread;
    bool votedLate = false;
    std::thread work([&] {
        bool ok = CreateAccount(o, 0) && CreateAccount(o, 1) && polls.Start();
        std::unique_ptr<User> a, b;
        if (ok) {
            pollThread = std::thread([&] { polls.Run(); });
            while (polls.Current().id == 0 && !stop) std::this_thread::sleep_for(10ms);
            a = std::make_unique<User>(o, 0, stats, stop, mail, &polls);
            b = std::make_unique<User>(o, 1, stats, stop, mail, &polls);
            ok = a->LogInBoth() && b->LogInBoth();
        }
        if (ok) {
            a->Mail();
            b->Mail();
            voted = a->Ballot();
            votedAgain = a->Ballot();  // the same poll: nothing to take
            a->Whiteboard();
            a->Whiteboard();
            a->Document();
            b->NetworkInfo();
            b->Presence();
            // Notices are heard on reader threads; give them a moment.
            for (int i = 0; i < 200; ++i) {
                const auto sums = stats.Summaries();
                const auto it = sums.find("mail notified");
                if (it != sums.end() && it->second.count >= 2) break;
                std::this_thread::sleep_for(10ms);
            }
            b->Mail();  // now with a notice to clear from the inbox
            a->Leave();
        }
        if (!ok) stats.Fail("setup");
        stop = true;
        if (pollThread.joinable()) pollThread.join();
        // Users finishing their last operation after the stop still find
        // the poll: it goes only once they are all done.
        if (ok) {
            votedLate = b->Ballot();
            b->Leave();
        }
        polls.Finish();
        done = true;
    });
    // The server runs on this thread's event loop.
    EXPECT_TRUE(testsupport::SpinUntil([&] { return done.load(); }, 60s));
    work.join();
    size_t inFlight = 0;
    mail.Settle(stats, 10s, inFlight);

    const auto sums = stats.Summaries();
    for (const auto& [op, s] : sums) EXPECT_EQ(s.failures, 0u) << op;
    EXPECT_EQ(stats.TotalFailures(), 0u) << stats.Table();
    for (const char* op :
         {"login", "mail send", "mail notified", "mail clear sent", "mail clear inbox",
          "poll create", "poll take", "poll ballot", "whiteboard save", "whiteboard load",
          "document upload", "document download", "network info"})
        EXPECT_TRUE(sums.count(op)) << op << "\n" << stats.Table();
    EXPECT_EQ(sums.count("mail send") ? sums.at("mail send").count : 0u, 3u);
    EXPECT_TRUE(voted);
    EXPECT_FALSE(votedAgain);
    EXPECT_TRUE(votedLate);
    // The mail was deleted on both sides, the polls are gone, the page kept.
    EXPECT_TRUE(net.Network().Sessions().empty() ||
                testsupport::SpinUntil([&] { return net.Network().Sessions().empty(); }));
}

// The server drops a connection that completes no message for its idle
// period. A user busy only on its network connection must still hold its
// file connection, as the client does with keep-alives; and when a
// connection is lost anyway, the failure says so.
TEST(LoadgenAgainstLocalNetwork, KeepAliveHoldsAQuietConnectionAndALostOneIsNamed) {
    testsupport::LocalNetworkFixture net;
    net.Options().creationsPerAddress = 100;
    net.Options().idleTimeout = 300ms;
    ASSERT_TRUE(net.Start());
    Options kept;
    kept.networkPort = net.NetworkPort();
    kept.filePort = net.FilePort();
    kept.users = 2;
    kept.documentBytes = 5000;
    kept.answerWait = 5s;
    kept.keepAlive = 50ms;
    Options silent = kept;
    silent.keepAlive = 0ms;

    Stats keptStats, silentStats;
    std::atomic<bool> stop{false}, done{false};
    MailBook mail(2);
    bool loggedIn = false;
    std::thread work([&] {
        User a(kept, 0, keptStats, stop, mail, nullptr);
        User b(silent, 1, silentStats, stop, mail, nullptr);
        loggedIn = CreateAccount(kept, 0) && CreateAccount(kept, 1) && a.LogInBoth() &&
                   b.LogInBoth();
        if (loggedIn) {
            // Quiet for more than twice the idle period on both connections.
            std::this_thread::sleep_for(800ms);
            a.Document();
            a.NetworkInfo();
            b.Document();
            b.NetworkInfo();
            b.Whiteboard();
        }
        a.Leave();
        b.Leave();
        done = true;
    });
    EXPECT_TRUE(testsupport::SpinUntil([&] { return done.load(); }, 30s));
    work.join();
    ASSERT_TRUE(loggedIn);

    EXPECT_EQ(keptStats.TotalFailures(), 0u) << keptStats.Table();
    const auto keptSums = keptStats.Summaries();
    EXPECT_EQ(keptSums.count("document download") ? keptSums.at("document download").count : 0u,
              1u);
    // Without keep-alives both connections went, and every failure names it.
    const std::string table = silentStats.Table();
    EXPECT_EQ(silentStats.TotalFailures(), 3u) << table;
    for (const char* op : {"document upload", "network info", "whiteboard save"})
        EXPECT_NE(table.find(std::string("  ") + op +
                             " failed 1 times: connection closed by the server 0-10 s after "
                             "loadgen last sent on it\n"),
                  std::string::npos)
            << op << "\n" << table;
}

}  // namespace
}  // namespace loadgen

namespace loadgen {
namespace {

TEST(LoadgenProbes, ReadsAProcessUseAndSaysWhenItCannot) {
    const auto [rss, fds] = ProcessUse(static_cast<int>(::getpid()));
    EXPECT_GT(rss, 0);
    EXPECT_GE(fds, 3);
    // No such process (beyond the largest pid the kernel gives).
    EXPECT_EQ(ProcessUse(1 << 30), std::make_pair(-1L, -1L));
    EXPECT_DOUBLE_EQ(PercentChange(1000, 1100), 10.0);
    EXPECT_DOUBLE_EQ(PercentChange(1000, 900), -10.0);
    EXPECT_DOUBLE_EQ(PercentChange(-1, 900), 0.0);  // nothing to compare with
}

// Processor time is read past the process name, which may itself hold
// spaces and parentheses.
TEST(LoadgenProbes, ProcessorTimeCountsFieldsFromTheLastParenthesis) {
    const double tick = static_cast<double>(::sysconf(_SC_CLK_TCK));
    EXPECT_DOUBLE_EQ(CpuSecondsOfStat("42 (a) b (c) S 1 42 42 0 -1 4194560 10 0 0 0 " +
                                      std::to_string(static_cast<int>(3 * tick)) + " " +
                                      std::to_string(static_cast<int>(tick)) + " 0 0 20 0"),
                     4.0);
    EXPECT_EQ(CpuSecondsOfStat("42 (cut short) S 1 42"), -1);
    EXPECT_EQ(CpuSecondsOfStat("no name at all"), -1);
    EXPECT_GE(ProcessCpuSeconds(static_cast<int>(::getpid())), 0);
    EXPECT_EQ(ProcessCpuSeconds(1 << 30), -1);
}

TEST(LoadgenProbes, LoopbackPingPongMeasuresRoundTripsUntilStopped) {
    Stats stats;
    std::atomic<bool> stop{false};
    bool started = false;
    std::thread ping([&] { started = RunLoopback(stats, "rtt", 103, 1, stop); });
    for (int i = 0; i < 500 && stats.Summaries()["rtt"].count < 5; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    stop = true;
    ping.join();
    EXPECT_TRUE(started);
    const auto s = stats.Summaries().at("rtt");
    EXPECT_GE(s.count, 5u);
    EXPECT_EQ(s.failures, 0u);
    EXPECT_GT(s.p50, 0.0);
}

}  // namespace
}  // namespace loadgen
