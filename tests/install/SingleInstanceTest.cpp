// One client per data directory: the lock, the socket, and the request that
// brings the running client forward.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QSysInfo>
#include <cstring>

#include "app/SingleInstance.h"
#include "support/TempDir.h"
#include "support/qt/LocalNetworkFixture.h"

namespace {

using app::SingleInstance;
using Outcome = SingleInstance::Outcome;
using namespace std::chrono_literals;

struct SingleInstanceTest : ::testing::Test {
    SingleInstanceTest() {
        QDir().mkpath(Data("one"));
        QDir().mkpath(Data("two"));
    }
    QString Data(const char* name) const {
        return QString::fromStdString(tmp.path()) + "/data/" + name;
    }
    SingleInstance::Options Quick() const {
        SingleInstance::Options options;
        options.runtimeFolder = QString::fromStdString(tmp.path()) + "/run";
        options.answerWait = 200ms;
        return options;
    }
    // Counts the forward requests an instance receives.
    static std::shared_ptr<int> Count(SingleInstance& instance) {
        auto count = std::make_shared<int>(0);
        QObject::connect(&instance, &SingleInstance::activationRequested, [count] { ++*count; });
        return count;
    }

    testsupport::TempDir tmp;
};

TEST_F(SingleInstanceTest, SecondStartWithTheSameDirectoryForwardsToTheFirst) {
    SingleInstance first(Data("one"), Quick());
    ASSERT_EQ(first.Claim(), Outcome::Primary);
    EXPECT_TRUE(first.Error().isEmpty()) << first.Error().toStdString();
    auto requests = Count(first);

    SingleInstance second(Data("one"), Quick());
    EXPECT_EQ(second.Claim(), Outcome::Forwarded);
    EXPECT_TRUE(testsupport::SpinUntil([&] { return *requests == 1; }));

    // Another spelling of the same folder is the same client.
    QFile::link(Data("one"), Data("alias"));
    SingleInstance third(Data("alias") + "/.", Quick());
    EXPECT_EQ(third.SocketPath(), first.SocketPath());
    EXPECT_EQ(third.Claim(), Outcome::Forwarded);
    EXPECT_TRUE(testsupport::SpinUntil([&] { return *requests == 2; }));

    // A profile of its own is a client of its own.
    SingleInstance other(Data("two"), Quick());
    EXPECT_NE(other.SocketPath(), first.SocketPath());
    EXPECT_EQ(other.Claim(), Outcome::Primary);
}

TEST_F(SingleInstanceTest, TheDirectoryIsFreeAgainWhenTheClientEnds) {
    QString socketPath;
    {
        SingleInstance first(Data("one"), Quick());
        ASSERT_EQ(first.Claim(), Outcome::Primary);
        socketPath = first.SocketPath();
    }
    EXPECT_FALSE(QFile::exists(socketPath));
    SingleInstance next(Data("one"), Quick());
    EXPECT_EQ(next.Claim(), Outcome::Primary);
}

TEST_F(SingleInstanceTest, LeftoversOfACrashedClientAreTakenOver) {
    SingleInstance probe(Data("one"), Quick());
    const QByteArray path = QFile::encodeName(probe.SocketPath());
    // A socket file nobody listens on, as a killed client leaves it.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd);
    // And a lock whose holder is gone.
    QProcess gone;
    gone.start(QStringLiteral("true"), {});
    ASSERT_TRUE(gone.waitForStarted());
    const qint64 deadPid = gone.processId();
    ASSERT_TRUE(gone.waitForFinished());
    QFile lock(probe.LockPath());
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write(QByteArray::number(deadPid) + "\npalindor\n" + QSysInfo::machineHostName().toUtf8() +
               "\n");
    lock.close();

    SingleInstance first(Data("one"), Quick());
    ASSERT_EQ(first.Claim(), Outcome::Primary);
    EXPECT_TRUE(first.Error().isEmpty()) << first.Error().toStdString();
    auto requests = Count(first);
    SingleInstance second(Data("one"), Quick());
    EXPECT_EQ(second.Claim(), Outcome::Forwarded);
    EXPECT_TRUE(testsupport::SpinUntil([&] { return *requests == 1; }));
}

TEST_F(SingleInstanceTest, AHolderThatDoesNotAnswerIsReportedNotJoined) {
    SingleInstance probe(Data("one"), Quick());
    QLockFile held(probe.LockPath());
    ASSERT_TRUE(held.tryLock(0));
    SingleInstance late(Data("one"), Quick());
    EXPECT_EQ(late.Claim(), Outcome::Failed);
    EXPECT_TRUE(late.Error().contains(probe.LockPath())) << late.Error().toStdString();
}

TEST_F(SingleInstanceTest, OnlyTheActivationRequestBringsTheClientForward) {
    SingleInstance first(Data("one"), Quick());
    ASSERT_EQ(first.Claim(), Outcome::Primary);
    auto requests = Count(first);

    QLocalSocket chatter;
    chatter.connectToServer(first.SocketPath());
    ASSERT_TRUE(chatter.waitForConnected(1000));
    chatter.write("open everything\n");
    chatter.flush();
    QLocalSocket flood;
    flood.connectToServer(first.SocketPath());
    ASSERT_TRUE(flood.waitForConnected(1000));
    flood.write(QByteArray(4096, 'a'));
    flood.flush();
    // The server drops both; neither counts as a request.
    EXPECT_TRUE(testsupport::SpinUntil([&] {
        return chatter.state() == QLocalSocket::UnconnectedState &&
               flood.state() == QLocalSocket::UnconnectedState;
    }));
    EXPECT_EQ(*requests, 0);

    SingleInstance second(Data("one"), Quick());
    EXPECT_EQ(second.Claim(), Outcome::Forwarded);
    EXPECT_TRUE(testsupport::SpinUntil([&] { return *requests == 1; }));
}

}  // namespace
