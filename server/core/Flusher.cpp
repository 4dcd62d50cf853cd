#include "server/core/Flusher.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>

namespace localnet {

Flusher::Flusher(std::chrono::milliseconds delay) : delay_(delay), thread_([this] { Run(); }) {}

Flusher::~Flusher() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void Flusher::Add(const QString& absolutePath, bool log) {
    const std::string path = QFile::encodeName(absolutePath).toStdString();
    const std::string folder = QFile::encodeName(QFileInfo(absolutePath).absolutePath()).toStdString();
    {
        std::lock_guard lock(mutex_);
        (log ? logs_ : files_).insert(path);
        // A new file (or a renamed one) is only found again after a power cut
        // once the folder that names it is on the disk too.
        if (!log) folders_.insert(folder);
        ++added_;
    }
    wake_.notify_all();
}

void Flusher::Release(int fd) {
    if (fd < 0) return;
    {
        std::lock_guard lock(mutex_);
        if (releases_.size() < kMaxReleases) {
            releases_.push_back(fd);
            ++added_;
            fd = -1;
        }
    }
    if (fd >= 0)
        ::close(fd);
    else
        wake_.notify_all();
}

void Flusher::Flush() {
    std::unique_lock lock(mutex_);
    const uint64_t target = added_;
    ++waiting_;
    wake_.notify_all();
    done_.wait(lock, [&] { return flushed_ >= target; });
    --waiting_;
}

uint64_t Flusher::Rounds() const {
    std::lock_guard lock(mutex_);
    return rounds_;
}

uint64_t Flusher::Failures() const {
    std::lock_guard lock(mutex_);
    return failures_;
}

bool Flusher::SyncOne(const std::string& path, bool folder) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | (folder ? O_DIRECTORY : 0));
    // A file removed since it was written has nothing left to keep.
    if (fd < 0) return errno == ENOENT;
    const bool ok = (folder ? ::fsync(fd) : ::fdatasync(fd)) == 0;
    ::close(fd);
    return ok;
}

void Flusher::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stopping_ || added_ > flushed_; });
        if (added_ == flushed_ && stopping_) return;
        // Gather what a busy moment adds, unless someone waits or we stop.
        wake_.wait_for(lock, delay_, [&] { return stopping_ || waiting_ > 0; });
        const uint64_t target = added_;
        std::set<std::string> files, folders, logs;
        std::vector<int> releases;
        files.swap(files_);
        folders.swap(folders_);
        logs.swap(logs_);
        releases.swap(releases_);
        lock.unlock();
        uint64_t failed = 0;
        // Files and their folders first: a row that names a file must not
        // reach the disk before the file does.
        for (const std::string& f : files) failed += SyncOne(f, false) ? 0 : 1;
        for (const std::string& f : folders) failed += SyncOne(f, true) ? 0 : 1;
        for (const std::string& f : logs) failed += SyncOne(f, false) ? 0 : 1;
        // The replaced and removed files' blocks are freed here, once what
        // took their place is on the disk.
        for (const int fd : releases) ::close(fd);
        lock.lock();
        failures_ += failed;
        ++rounds_;
        flushed_ = target;
        done_.notify_all();
    }
}

}  // namespace localnet
