#include "server/core/Flusher.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "server/core/Store.h"
#include "support/TempDir.h"

namespace localnet {
namespace {

using namespace std::chrono_literals;

QString MakeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) return {};
    return path;
}

// Flush() waits for a round that covers everything added before it, and
// neither it nor the end of the flusher waits out the gathering delay.
TEST(Flusher, FlushAndStopDoNotWaitOutTheDelay) {
    testsupport::TempDir dir;
    const QString root = QString::fromStdString(dir.path());
    const auto started = std::chrono::steady_clock::now();
    {
        Flusher flusher(std::chrono::hours(1));
        flusher.Add(MakeFile(root + "/a", "one"));
        flusher.Add(MakeFile(root + "/b", "two"));
        flusher.Flush();
        EXPECT_EQ(flusher.Rounds(), 1u);
        EXPECT_EQ(flusher.Failures(), 0u);
        flusher.Flush();  // nothing new: no round needed
        EXPECT_EQ(flusher.Rounds(), 1u);
        flusher.Add(MakeFile(root + "/c", "three"));
    }  // pending work is done on the way out
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10min);
}

// A file gone before its round is not a failure; one that cannot be opened
// for another reason is.
TEST(Flusher, GoneFilesAreNoFailureButUnreadableOnesAre) {
    testsupport::TempDir dir;
    const QString root = QString::fromStdString(dir.path());
    Flusher flusher(1ms);
    const QString gone = MakeFile(root + "/gone", "x");
    flusher.Add(gone);
    QFile::remove(gone);
    flusher.Add(root + "/never-there", true);
    flusher.Flush();
    EXPECT_EQ(flusher.Failures(), 0u);
    // A name that runs through a plain file cannot be opened: ENOTDIR.
    flusher.Add(MakeFile(root + "/plain", "x") + "/inside");
    flusher.Flush();
    EXPECT_EQ(flusher.Failures(), 2u);  // the name, and its "folder"
}

// Many threads adding while others wait: every Flush() returns, and rounds
// gather what comes in together.
TEST(Flusher, AddsFromSeveralThreadsAllReachARound) {
    testsupport::TempDir dir;
    const QString root = QString::fromStdString(dir.path());
    Flusher flusher(2ms);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i) {
                flusher.Add(MakeFile(QString("%1/%2-%3").arg(root).arg(t).arg(i), "x"));
                if (i % 10 == 0) flusher.Flush();
            }
        });
    for (auto& t : threads) t.join();
    flusher.Flush();
    EXPECT_EQ(flusher.Failures(), 0u);
    EXPECT_GE(flusher.Rounds(), 1u);
    EXPECT_LT(flusher.Rounds(), 200u);
}

// The store's whole-file write: the new bytes under the final name, the old
// ones until then, and no side file left behind either way.
TEST(Flusher, StoreFileWritesReplaceWholeAndLeaveNoSideFiles) {
    testsupport::TempDir dir;
    Store store(QString::fromStdString(dir.path()));
    QString error;
    ASSERT_TRUE(store.Load(&error)) << error.toStdString();
    ASSERT_TRUE(store.WriteFile("networks/1234567/x/body", "first"));
    std::vector<QString> seen;
    store.SetStepHook([&](const char* step) {
        if (std::string(step) == "file written") {
            QFile f(store.ResolvePath("networks/1234567/x/body"));
            if (f.open(QIODevice::ReadOnly)) seen.push_back(QString::fromUtf8(f.readAll()));
        }
    });
    ASSERT_TRUE(store.WriteFile("networks/1234567/x/body", "second, longer"));
    store.SetStepHook({});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], "first");  // still the old file while the new one is written
    QFile f(store.ResolvePath("networks/1234567/x/body"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "second, longer");
    EXPECT_EQ(QDir(store.ResolvePath("networks/1234567/x")).entryList(QDir::Files | QDir::Hidden),
              QStringList{"body"});
    EXPECT_FALSE(store.WriteFile("../outside", "x"));
    store.FlushNow();
}

std::string LinkOf(int fd) {
    char target[512];
    const ssize_t n = ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), target,
                                 sizeof target - 1);
    return n < 0 ? std::string() : std::string(target, size_t(n));
}

int OpenDescriptors() {
    return int(QDir("/proc/self/fd").entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size());
}

// A released descriptor keeps its file until the round after it, then goes;
// past the cap of pending ones it is closed at once, so that a burst of
// replacements cannot run the server out of descriptors.
TEST(Flusher, ReleasedDescriptorsCloseAfterTheRoundOrAtOnceWhenTooMany) {
    testsupport::TempDir dir;
    const QString root = QString::fromStdString(dir.path());
    Flusher flusher(std::chrono::hours(1));
    const int held = ::open(QFile::encodeName(MakeFile(root + "/old", "old")).constData(), O_RDONLY);
    ASSERT_GE(held, 0);
    ASSERT_TRUE(QFile::remove(root + "/old"));
    const std::string removed = LinkOf(held);
    ASSERT_NE(removed.find("(deleted)"), std::string::npos);
    flusher.Release(held);
    flusher.Release(-1);  // nothing to hold: ignored
    EXPECT_EQ(LinkOf(held), removed);  // still open: the delay has not passed
    flusher.Flush();
    EXPECT_NE(LinkOf(held), removed);
    EXPECT_EQ(flusher.Rounds(), 1u);

    const QString many = MakeFile(root + "/many", "x");
    std::vector<int> fds;
    for (size_t i = 0; i <= Flusher::kMaxReleases; ++i) {
        fds.push_back(::open(QFile::encodeName(many).constData(), O_RDONLY));
        ASSERT_GE(fds.back(), 0);
    }
    const int before = OpenDescriptors();
    for (const int fd : fds) flusher.Release(fd);
    EXPECT_EQ(OpenDescriptors(), before - 1);  // the one past the cap
    flusher.Flush();
    EXPECT_EQ(OpenDescriptors(), before - int(fds.size()));
}

// Replacing and removing files through the store holds no descriptor once the
// store has flushed, and removing a file that is not there is no failure.
TEST(Flusher, StoreReplacementsAndRemovalsLeaveNoDescriptorBehind) {
    testsupport::TempDir dir;
    Store store(QString::fromStdString(dir.path()));
    QString error;
    ASSERT_TRUE(store.Load(&error)) << error.toStdString();
    ASSERT_TRUE(store.WriteFile("networks/1234567/x/body", "first"));
    store.FlushNow();
    const int baseline = OpenDescriptors();
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(store.WriteFile("networks/1234567/x/body", QByteArray::number(i)));
    const QString body = store.ResolvePath("networks/1234567/x/body");
    EXPECT_TRUE(store.RemoveFile(body));
    EXPECT_FALSE(QFileInfo::exists(body));
    EXPECT_TRUE(store.RemoveFile(body));  // already gone
    EXPECT_TRUE(store.RemoveFile(QString()));
    // A folder is not a file: it stays, and no descriptor is held for it.
    EXPECT_FALSE(store.RemoveFile(store.ResolvePath("networks/1234567/x")));
    store.FlushNow();
    EXPECT_EQ(OpenDescriptors(), baseline);
}

}  // namespace
}  // namespace localnet
