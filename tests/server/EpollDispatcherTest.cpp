// The server's event loop. The whole of this test program runs on it (see
// its main), so every service test is also a test of the loop; these check
// the loop's own promises where a service test would not notice a slip.

#include "server/core/EpollDispatcher.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <memory>
#include <vector>

namespace localnet {
namespace {

TEST(EpollDispatcher, IsTheLoopOfThisProgram) {
    EXPECT_NE(qobject_cast<EpollDispatcher*>(QAbstractEventDispatcher::instance()), nullptr);
}

// Timers: in order of their intervals, repeating ones again and again, a
// stopped one never, a zero one without starving the others, and a timer
// deleted by its own handler or by another timer's handler harmlessly.
TEST(EpollDispatcher, TimersFireInOrderRepeatAndStop) {
    std::vector<int> order;
    QEventLoop loop;
    QTimer::singleShot(30, [&] { order.push_back(30); });
    QTimer::singleShot(10, [&] { order.push_back(10); });
    QTimer::singleShot(20, [&] { order.push_back(20); });
    QTimer stopped;
    stopped.setInterval(5);
    QObject::connect(&stopped, &QTimer::timeout, [&] { order.push_back(-1); });
    stopped.start();
    stopped.stop();
    int repeats = 0;
    QTimer repeating;
    repeating.setInterval(2);
    QObject::connect(&repeating, &QTimer::timeout, [&] {
        if (++repeats == 5) repeating.stop();
    });
    repeating.start();
    int zeros = 0;
    QTimer zero;
    zero.setInterval(0);
    QObject::connect(&zero, &QTimer::timeout, [&] { ++zeros; });
    zero.start();
    auto* selfDeleting = new QTimer;
    selfDeleting->setInterval(1);
    QObject::connect(selfDeleting, &QTimer::timeout, [selfDeleting] { delete selfDeleting; });
    selfDeleting->start();
    auto* victim = new QTimer;
    victim->setInterval(3);
    victim->start();
    QTimer::singleShot(3, [&] { delete victim; });
    QTimer::singleShot(60, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(order, (std::vector<int>{10, 20, 30}));
    EXPECT_EQ(repeats, 5);
    EXPECT_GT(zeros, 10);
    EXPECT_EQ(QAbstractEventDispatcher::instance()->registeredTimers(&stopped).size(), 0);
    EXPECT_EQ(QAbstractEventDispatcher::instance()->registeredTimers(&zero).size(), 1);
}

// Qt hands a stopped timer's number to the next timer started. Two timers
// due in the same turn: the first stops the second and starts a new one,
// which gets the second's number and must still wait its own interval.
TEST(EpollDispatcher, ATimerGivenAStoppedTimersNumberWaitsItsInterval) {
    QTimer first, second, fresh;
    for (QTimer* t : {&first, &second, &fresh}) t->setSingleShot(true);
    first.setInterval(5);
    second.setInterval(5);
    fresh.setInterval(500);
    int stoppedId = -1, freshId = -1;
    bool freshFired = false;
    QObject::connect(&first, &QTimer::timeout, [&] {
        stoppedId = second.timerId();
        second.stop();
        fresh.start();
        freshId = fresh.timerId();
    });
    QObject::connect(&fresh, &QTimer::timeout, [&] { freshFired = true; });
    first.start();
    second.start();
    QThread::msleep(10);  // both due before the loop turns
    QEventLoop loop;
    QTimer::singleShot(50, &loop, &QEventLoop::quit);
    loop.exec();
    ASSERT_NE(stoppedId, -1);
    EXPECT_EQ(freshId, stoppedId);
    EXPECT_FALSE(freshFired);
    EXPECT_TRUE(fresh.isActive());
}

// Many wake-ups in a row from another thread, a few in flight at a time:
// none is lost, so the loop never sleeps on an event posted to it.
TEST(EpollDispatcher, NoWakeUpFromAnotherThreadIsLost) {
    constexpr int kPosts = 20000;
    std::atomic<int> handled{0};
    std::atomic<bool> giveUp{false};
    QObject target;
    QEventLoop loop;
    std::unique_ptr<QThread> poster(QThread::create([&] {
        for (int i = 0; i < kPosts && !giveUp.load(); ++i) {
            QMetaObject::invokeMethod(
                &target,
                [&] {
                    if (handled.fetch_add(1) + 1 == kPosts) loop.quit();
                },
                Qt::QueuedConnection);
            // A few in flight at a time, so that posts land at every point
            // of the loop's turn, the moment it wakes included.
            while (i - handled.load() > 2 && !giveUp.load()) QThread::yieldCurrentThread();
        }
    }));
    QTimer::singleShot(10000, &loop, [&] {
        giveUp.store(true);
        loop.quit();
    });
    poster->start();
    loop.exec();
    giveUp.store(true);
    poster->wait();
    EXPECT_EQ(handled.load(), kPosts);
}

TEST(EpollDispatcher, RemainingTimeCountsDown) {
    QTimer t;
    t.setSingleShot(true);
    t.start(500);
    const int left = t.remainingTime();
    EXPECT_GT(left, 400);
    EXPECT_LE(left, 500);
    t.stop();
    EXPECT_EQ(t.remainingTime(), -1);
}

// Events posted from another thread wake a loop that waits with no timer
// at all, and deferred deletes run once control is back in the loop.
TEST(EpollDispatcher, PostsFromOtherThreadsWakeTheLoop) {
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    std::unique_ptr<QThread> poster(QThread::create([&loop] {
        QThread::msleep(20);
        QMetaObject::invokeMethod(&loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    }));
    poster->start();
    loop.exec();
    poster->wait();
    EXPECT_GE(clock.elapsed(), 15);
    EXPECT_LT(clock.elapsed(), 5000);

    auto* doomed = new QObject;
    bool destroyed = false;
    QObject::connect(doomed, &QObject::destroyed, [&] { destroyed = true; });
    doomed->deleteLater();
    EXPECT_FALSE(destroyed);
    QEventLoop again;
    QTimer::singleShot(5, &again, &QEventLoop::quit);
    again.exec();
    EXPECT_TRUE(destroyed);
}

// Sockets: a connection accepted, a megabyte each way (the write notifier
// goes on and off as the socket fills and drains), and the peer's close
// seen; a descriptor number closed and reused is watched again.
TEST(EpollDispatcher, SocketsCarryBulkBothWaysAndSeeTheirEnd) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    const QByteArray payload(1 << 20, 'z');
    for (int round = 0; round < 2; ++round) {
        QTcpSocket client;
        QTcpSocket* accepted = nullptr;
        QByteArray atServer, atClient;
        bool serverSawEnd = false;
        QEventLoop loop;
        QObject::connect(&server, &QTcpServer::newConnection, &loop, [&] {
            accepted = server.nextPendingConnection();
            QObject::connect(accepted, &QTcpSocket::readyRead, &loop, [&] {
                atServer += accepted->readAll();
                if (atServer.size() == payload.size()) accepted->write(payload);
            });
            QObject::connect(accepted, &QTcpSocket::disconnected, &loop, [&] {
                serverSawEnd = true;
                loop.quit();
            });
        });
        QObject::connect(&client, &QTcpSocket::readyRead, &loop, [&] {
            atClient += client.readAll();
            if (atClient.size() == payload.size()) client.disconnectFromHost();
        });
        QObject::connect(&client, &QTcpSocket::connected, &loop, [&] { client.write(payload); });
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        client.connectToHost(QHostAddress::LocalHost, server.serverPort());
        loop.exec();
        EXPECT_EQ(atServer.size(), payload.size());
        EXPECT_EQ(atClient.size(), payload.size());
        EXPECT_TRUE(serverSawEnd);
        server.disconnect();
        delete accepted;
    }
}

// A notifier that is disabled is not woken, even though its descriptor
// stays readable; enabled again, it is.
TEST(EpollDispatcher, DisabledNotifiersStayQuiet) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ASSERT_EQ(::write(fds[1], "x", 1), 1);
    QSocketNotifier notifier(fds[0], QSocketNotifier::Read);
    int woken = 0;
    QObject::connect(&notifier, &QSocketNotifier::activated, [&] { ++woken; });
    notifier.setEnabled(false);
    QEventLoop loop;
    QTimer::singleShot(20, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(woken, 0);
    notifier.setEnabled(true);
    QTimer::singleShot(20, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_GT(woken, 0);
    notifier.setEnabled(false);
    ::close(fds[0]);
    ::close(fds[1]);
}

}  // namespace
}  // namespace localnet
