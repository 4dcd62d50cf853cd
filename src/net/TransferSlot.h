#pragma once

// One of the 25 file-transfer slots of a connection. Each slot number is
// reserved for one purpose in one direction; both sides name a transfer by it.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

namespace net {

class Connection;

class TransferSlot {
public:
    enum OpenMode : int32_t { kFree = 0, kReading = 1, kWriting = 2 };

    uint32_t purpose = 0;
    int32_t number = 0;
    // Checked by the network thread on every pass; the go-ahead handler sets
    // it on the user-interface thread.
    std::atomic<bool> sending{false};
    int32_t uploadSent = 0;
    int32_t downloadReceived = 0;
    int32_t uploadTotal = 0;
    int32_t downloadTotal = 0;
    int32_t openMode = kFree;
    std::FILE* file = nullptr;
    // A download's start message has arrived; data before it is not written.
    bool started = false;
    // A download is written to `partialPath` beside `finalPath` and renamed
    // over it once complete, so that a transfer cut short never leaves a
    // partial file under the name its reader opens.
    std::string finalPath;
    std::string partialPath;
    // The stream buffer of a download's file; kept for the slot's life, and
    // never released while a file uses it. (An upload reads through the
    // small default one, so that a file cut short after the request is
    // noticed at its next chunk rather than sent from a stale buffer.)
    static constexpr size_t kFileBufferSize = 64 * 1024;
    std::unique_ptr<char[]> fileBuffer;
    // The last progress reported, so that progress calls are rationed.
    int lastPercent = -1;
    std::chrono::steady_clock::time_point lastProgress{};

    // Held around every change of the slot and every use of its file: a
    // progress window's Cancel runs on the user-interface thread while the
    // network thread may be reading the next chunk from the same file.
    std::unique_lock<std::mutex> Lock() { return std::unique_lock<std::mutex>(mutex_); }

    TransferSlot() = default;
    // A slot opened while its connection had no run is closed by nobody else.
    ~TransferSlot() { Close(); }
    TransferSlot(const TransferSlot&) = delete;
    TransferSlot& operator=(const TransferSlot&) = delete;

    bool Busy() const { return openMode != kFree; }
    // Closes the file and clears counters, totals, mode and the sending flag;
    // purpose and number stay. A download's partial file is removed. Harmless
    // on a free slot. The caller holds Lock().
    void Close();
    // A complete download: closes its file and moves it to its final name,
    // then clears the slot as Close does. The caller holds Lock().
    void CloseCompleted();
    // Whether a progress call is due at `percent`: at most one for each whole
    // percent, or one every `interval` while the percent stands still.
    bool ProgressDue(int percent, std::chrono::milliseconds interval);

private:
    std::mutex mutex_;
};

}  // namespace net
