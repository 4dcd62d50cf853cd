#include "server/core/Flusher.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <chrono>
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

}  // namespace
}  // namespace localnet
