#pragma once

// Takes the waits for the disk off the server's one thread. The database
// commits without waiting for its log to reach the disk, and files are put in
// place without waiting either; both are then in the system's cache, which a
// crash of the process does not lose. This thread pushes them to the disk a
// moment later, files and their folders before the database's log in each
// round, so that a power cut costs at most that moment. The server's thread
// thus no longer waits for a slow disk at every change: a message relayed
// between two users does not queue behind somebody's upload.

#include <QString>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace localnet {

class Flusher {
  public:
    // `delay`: how long a change may wait, so that the changes of a busy
    // moment share one round.
    explicit Flusher(std::chrono::milliseconds delay = std::chrono::milliseconds(200));
    ~Flusher();  // flushes what is pending, then stops
    Flusher(const Flusher&) = delete;
    Flusher& operator=(const Flusher&) = delete;

    // A file (or a folder, whose entries a rename changed) to push to the
    // disk. The database's log is named with `log` = true and goes last.
    void Add(const QString& absolutePath, bool log = false);
    // The descriptor of a file the server's thread is about to replace or
    // remove, closed here after the next round. The system frees a file's
    // blocks when its last name and descriptor go, and on some file systems
    // (one without a journal that discards freed blocks, say) that waits for
    // the disk; held here, the freeing happens on this thread. Past
    // `kMaxReleases` pending, the descriptor is closed at once.
    void Release(int fd);
    static constexpr size_t kMaxReleases = 256;
    // Returns once everything added so far is on the disk (and every
    // released descriptor closed).
    void Flush();
    // Rounds done so far, and paths that could not be pushed (gone, or a
    // failing disk); for tests and the log.
    uint64_t Rounds() const;
    uint64_t Failures() const;

  private:
    void Run();
    bool SyncOne(const std::string& path, bool folder);

    const std::chrono::milliseconds delay_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::set<std::string> files_;
    std::set<std::string> folders_;
    std::set<std::string> logs_;
    std::vector<int> releases_;
    uint64_t added_ = 0;    // additions so far
    uint64_t flushed_ = 0;  // additions on the disk
    uint64_t rounds_ = 0;
    uint64_t failures_ = 0;
    int waiting_ = 0;  // callers of Flush() waiting
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace localnet
