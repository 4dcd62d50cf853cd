#pragma once

// The transfer family: file uploads (primary 2) and downloads (primary 3) on
// the file-server connection, each through the transfer slot reserved for its
// purpose, and the local file tree the transferred files live in.
//
// Threads. Requests, the go-ahead (with the first chunk), download data,
// refusals and cancels run on the user-interface thread; every later upload
// chunk is read and queued by the network thread. Hooks always run on the
// user-interface thread: those raised by the network thread (upload progress
// and completion) are posted through the UiDispatcher given to TransferHooks.

#include <array>
#include <cstdint>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "net/Connection.h"
#include "net/MessageBuffer.h"

namespace net {

class UiDispatcher;

inline constexpr int kChunkSize = 4096;

inline constexpr char kFailedToReadText[] = "Failed to read data from file";

enum class MessageIcon { None, Information, Warning, Error };

// What the transfer family shows the user.
class TransferListener {
public:
    virtual ~TransferListener() = default;
    // A message box; an empty title and MessageIcon::None ask for the plain box.
    virtual void ShowMessage(const std::string& title, const std::string& text,
                             MessageIcon icon) = 0;
    // The Server Response window.
    virtual void ShowServerResponse(const std::string& response, const std::string& details) = 0;
};

// What a using subsystem does with its slot. Every member may stay empty.
struct SlotHooks {
    // Upload go-ahead, before the first chunk goes; `value` is the integer
    // that the go-ahead of slot 6 carries (0 for every other slot).
    std::function<void(int32_t value)> goAhead;
    // A download's start message arrived on the open slot, before its bytes
    // are counted: the progress or the completion they make follows at once.
    std::function<void(uint32_t purpose)> started;
    // Bytes done of the total, whenever a chunk or a piece of data moved and
    // the transfer is not complete; `percent` is cut to a whole number.
    std::function<void(int percent, int32_t done, int32_t total)> progress;
    // The transfer is complete and the slot closed.
    std::function<void(uint32_t purpose)> completed;
    // A refusal closed the slot (after any built-in text was shown): the
    // upload refusal code, or download::kRefused / download::kAccountNotFound.
    std::function<void(uint32_t purpose, int32_t code)> refused;
    // Slot 8: the server's clock carried by the download start.
    std::function<void(std::time_t serverClock)> serverClock;
    // Slot 6: the server stored a poll change that carried no file.
    std::function<void()> pollStored;
};

// The per-slot registrations, owned by whoever owns the connections and given
// to the file-server connection (Connection::SetTransferHooks).
class TransferHooks {
public:
    void SetListener(TransferListener* listener);
    TransferListener* Listener() const;
    // Where hooks raised on a network thread are posted; without one they run
    // at once on that thread (tests).
    void SetUiDispatcher(UiDispatcher* ui);

    void Register(int slot, SlotHooks hooks);
    void Unregister(int slot);
    SlotHooks Get(int slot) const;

    // Runs `work` on the user-interface thread from a network thread.
    void Post(std::function<void()> work) const;

private:
    mutable std::mutex mutex_;
    std::array<SlotHooks, kSlotCount> hooks_;
    TransferListener* listener_ = nullptr;
    UiDispatcher* ui_ = nullptr;
};

// A request field after the code (and, for uploads, after the file size).
using TransferField = std::variant<int32_t, std::string>;
using TransferFields = std::vector<TransferField>;

// The request code of a slot, or -1 when the slot carries no such transfer.
int32_t UploadRequestCode(int slot);
int32_t DownloadRequestCode(int slot);

// Bytes done of a total, in whole percent (cut, not rounded).
int ProgressPercent(int64_t done, int64_t total);

// Opens the local file for reading and queues the upload request: the code,
// the file size, then `fields`. Fails with nothing sent when the slot is no
// upload slot or is busy, the file cannot be opened or is too large, or the
// request does not fit.
// `announcedSize`, when 0 or more, is the size the request names instead of
// the file's (a poll change without questions names 1 and sends no chunk).
bool StartUpload(Connection& connection, int slot, const std::string& localPath,
                 const TransferFields& fields, int32_t announcedSize = -1);
// Creates (truncates) the local file, sets the purpose value and queues the
// download request: the code, then `fields`. Fails with nothing sent when the
// slot is no download slot or is busy, the file cannot be created, or the
// request does not fit.
bool StartDownload(Connection& connection, int slot, const std::string& localPath, uint32_t purpose,
                   const TransferFields& fields);

// Network thread: the next chunk of a sending slot. False when the file could
// not be read; the slot is then closed and the connection is to end.
bool SendNextChunk(Connection& connection, int slot);

// Handlers of primary 2 and 3 responses (user-interface thread, during the
// dispatch of the message in the connection's receive buffer).
void HandleUploadResponse(Connection& connection, const bufHeader& header);
void HandleDownloadResponse(Connection& connection, const bufHeader& header);

// Network thread, for each complete message of a connection with transfer
// hooks, before it is handed to the user-interface thread: a data message of
// a running download is written to its file right there, and only its
// progress and completion are posted to the user-interface thread (in order
// with everything else that goes there). False when the message is not one
// it takes; it is then routed as usual.
bool TakeDownloadData(Connection& connection, const bufHeader& header);

// A progress window's Cancel: closes the slot and queues cancel-transfer.
bool CancelTransfer(Connection& connection, int slot);

// ---- Local file tree -------------------------------------------------------

// A name that may become one level of a local path: not empty, not "." or
// "..", and without '/', '\\' or NUL.
bool IsSafePathName(std::string_view name);

// Creates each level of `relativeDir` ("files/remote/listfolder") under the
// data directory in turn; levels that exist are fine. False when a level is
// not a safe name or cannot be created.
bool CreateTransferDirectories(const std::string& dataDir, std::string_view relativeDir);

// Creates the directories above `relativeFile` and returns its full path, or
// an empty text when that cannot be done.
std::string PrepareTransferFile(const std::string& dataDir, std::string_view relativeFile);

// "files/remote/accounts/%s/notepad/page%i.png" for another account's
// whiteboard page; empty when the account name is not a safe name.
std::string RemoteNotepadPageName(std::string_view account, int page);

}  // namespace net
