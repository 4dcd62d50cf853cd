#include "net/Transfers.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>

#include "net/DataDirectory.h"
#include "net/MsgControl.h"
#include "net/Protocol.h"
#include "net/UiDispatcher.h"

namespace net {

// ---------------------------------------------------------------------------
// Registrations

void TransferHooks::SetListener(TransferListener* listener) {
    std::lock_guard lock(mutex_);
    listener_ = listener;
}

TransferListener* TransferHooks::Listener() const {
    std::lock_guard lock(mutex_);
    return listener_;
}

void TransferHooks::SetUiDispatcher(UiDispatcher* ui) {
    std::lock_guard lock(mutex_);
    ui_ = ui;
}

void TransferHooks::Register(int slot, SlotHooks hooks) {
    if (slot < 0 || slot >= kSlotCount) return;
    std::lock_guard lock(mutex_);
    hooks_[static_cast<size_t>(slot)] = std::move(hooks);
}

void TransferHooks::Unregister(int slot) {
    Register(slot, SlotHooks{});
}

SlotHooks TransferHooks::Get(int slot) const {
    if (slot < 0 || slot >= kSlotCount) return {};
    std::lock_guard lock(mutex_);
    return hooks_[static_cast<size_t>(slot)];
}

void TransferHooks::Post(std::function<void()> work) const {
    UiDispatcher* ui = nullptr;
    {
        std::lock_guard lock(mutex_);
        ui = ui_;
    }
    if (ui) {
        ui->Post(std::move(work));
    } else {
        work();
    }
}

// ---------------------------------------------------------------------------
// The slot table

namespace {

bool ValidSlot(int slot) {
    return slot >= 0 && slot < kSlotCount;
}

template <size_t N>
int32_t CodeOf(const int32_t (&slots)[N], int slot) {
    for (size_t code = 0; code < N; ++code) {
        if (slots[code] == slot) return static_cast<int32_t>(code);
    }
    return -1;
}

SlotHooks HooksOf(Connection& connection, int slot) {
    TransferHooks* hooks = connection.Hooks();
    return hooks ? hooks->Get(slot) : SlotHooks{};
}

TransferListener* ListenerOf(Connection& connection) {
    TransferHooks* hooks = connection.Hooks();
    return hooks ? hooks->Listener() : nullptr;
}

void ShowMessage(Connection& connection, const char* title, const char* text, MessageIcon icon) {
    if (TransferListener* listener = ListenerOf(connection))
        listener->ShowMessage(title, text, icon);
}

void ShowServerResponse(Connection& connection, const char* response, const std::string& details) {
    if (TransferListener* listener = ListenerOf(connection)) {
        listener->ShowServerResponse(response, details);
    }
}

bool AddFields(MessageWriter& writer, const TransferFields& fields) {
    for (const TransferField& field : fields) {
        if (const auto* value = std::get_if<int32_t>(&field)) {
            writer.Int(*value);
        } else {
            writer.Str(std::get<std::string>(field));
        }
    }
    return writer.ok();
}

// Size of an open file, leaving it positioned at its start; -1 on failure.
long FileSize(std::FILE* file) {
    if (!file || std::fseek(file, 0, SEEK_END) != 0) return -1;
    const long size = std::ftell(file);
    if (std::fseek(file, 0, SEEK_SET) != 0) return -1;
    return size;
}

// What an upload refusal closes and shows.
struct UploadRefusal {
    int32_t code;
    int slot;
    const char* text;
};

constexpr UploadRefusal kUploadRefusals[] = {
    {upload::kRefusedInvalidDirectory, 0, "Invalid directory"},
    {upload::kRefusedInvalidFilename, 0, "Invalid filename"},
    {upload::kRefusedFileTooLarge, 0, "File size exceeds the maximum allowed for your account"},
    {upload::kRefusedFilesQuota, 0, "Maximum files quota has been reached"},
    {upload::kRefusedNoSpace, 0,
     "Not enough file space available; consider deleting files to free up space"},
    {upload::kRefusedNotepadTooLarge, 2, "The size of the notepad page is too large"},
    {upload::kRefusedPollDirectoryFull, 6, "Too many files in poll directory"},
    {upload::kRefusedPollTooLarge, 6, "Poll file is too large"},
    // clang-format off
    {upload::kRefusedTooManyAttachments, 18, "Too many attachments; go to the outbox folder and delete a message that has an attachment"},
    {upload::kRefusedAttachmentSpace, 18, "Not enough space in attachment directory; go to the outbox folder and delete a message that has an attachment"},
    // clang-format on
};

constexpr int kDocumentDownloadSlot = 1;
constexpr int kConnectionHistorySlot = 11;
constexpr int kAttachmentDownloadSlot = 24;
constexpr int kPollUploadSlot = 6;

// Progress calls are rationed to one for each whole percent, or one this
// often while the percent stands still: a fast transfer of a large file would
// otherwise flood the user-interface thread with thousands of them.
constexpr std::chrono::milliseconds kProgressInterval{50};

// Where a download is written until it is complete.
constexpr char kPartialSuffix[] = ".partial";

enum class Chunk { Failed, Sent, Completed, Idle };

struct ChunkOutcome {
    Chunk result = Chunk::Idle;
    uint32_t purpose = 0;
    int32_t done = 0;
    int32_t total = 0;
    bool progressDue = false;  // for Chunk::Sent
};

// Records how far a transfer has come; one that has reached its total closes
// its slot (a download moving its file to the final name) and completes.
void Advance(TransferSlot& slot, int32_t done, int32_t total, ChunkOutcome& out) {
    out.done = done;
    out.total = total;
    if (done < total) {
        out.result = Chunk::Sent;
        out.progressDue = slot.ProgressDue(ProgressPercent(done, total), kProgressInterval);
    } else {
        if (slot.openMode == TransferSlot::kWriting) {
            slot.CloseCompleted();
        } else {
            slot.Close();
        }
        out.result = Chunk::Completed;
    }
}

// Reads and queues one chunk of a sending slot. Never reads beyond the size
// announced in the request, and a file that has shrunk since then ends the
// upload instead of sending a short or stale chunk.
ChunkOutcome SendChunk(Connection& connection, int slotNumber) {
    TransferSlot& slot = connection.Slot(slotNumber);
    auto lock = slot.Lock();
    ChunkOutcome out;
    if (!slot.sending) return out;
    out.purpose = slot.purpose;
    const int32_t left = slot.uploadTotal - slot.uploadSent;
    const int want = std::min(kChunkSize, left);
    uint8_t bytes[kChunkSize];
    size_t got = 0;
    if (slot.openMode == TransferSlot::kReading && slot.file && want > 0) {
        got = std::fread(bytes, 1, static_cast<size_t>(want), slot.file);
    }
    if (want <= 0 || got != static_cast<size_t>(want)) {
        slot.Close();
        out.result = Chunk::Failed;
        return out;
    }
    auto message = MessageWriter(upload::kChunk)
                       .Int(slotNumber)
                       .Raw(bytes, static_cast<int>(got))
                       .Finish(Primary::Upload, Secondary::Response);
    if (!message) {
        slot.Close();
        out.result = Chunk::Failed;
        return out;
    }
    // No wake-up: the network thread flushes after its chunks, and the
    // go-ahead handler wakes it itself.
    connection.Queue().Append(std::move(message));
    slot.uploadSent += static_cast<int32_t>(got);
    Advance(slot, slot.uploadSent, slot.uploadTotal, out);
    return out;
}

// Writes download bytes, never beyond the announced total. Returns the count
// stored.
int32_t WriteDownload(TransferSlot& slot, const uint8_t* bytes, int size) {
    const int64_t room = std::max<int64_t>(0, int64_t{slot.downloadTotal} - slot.downloadReceived);
    const auto n = static_cast<size_t>(std::min<int64_t>(size, room));
    if (n == 0 || !slot.file) return 0;
    return static_cast<int32_t>(std::fwrite(bytes, 1, n, slot.file));
}

}  // namespace

int32_t UploadRequestCode(int slot) {
    return CodeOf(transferslot::kUploadSlots, slot);
}

int32_t DownloadRequestCode(int slot) {
    return CodeOf(transferslot::kDownloadSlots, slot);
}

int ProgressPercent(int64_t done, int64_t total) {
    if (total <= 0) return 100;
    return static_cast<int>(done * 100 / total);
}

// ---------------------------------------------------------------------------
// Requests

bool StartUpload(Connection& connection, int slotNumber, const std::string& localPath,
                 const TransferFields& fields, int32_t announcedSize) {
    const int32_t code = UploadRequestCode(slotNumber);
    if (code < 0) return false;
    TransferSlot& slot = connection.Slot(slotNumber);
    auto lock = slot.Lock();
    if (slot.Busy()) return false;
    std::FILE* file = std::fopen(localPath.c_str(), "rb");
    if (!file) return false;
    const long size = FileSize(file);
    // The request announces the size as a 32-bit integer.
    if (size < 0 || size > INT32_MAX) {
        std::fclose(file);
        return false;
    }
    slot.file = file;
    slot.openMode = TransferSlot::kReading;
    slot.uploadTotal = static_cast<int32_t>(size);
    slot.uploadSent = 0;

    MessageWriter writer(code);
    writer.Int(announcedSize >= 0 ? announcedSize : slot.uploadTotal);
    auto message = AddFields(writer, fields) ? writer.Finish(Primary::Upload) : nullptr;
    if (!message) {
        slot.Close();
        return false;
    }
    connection.Enqueue(std::move(message));
    return true;
}

bool StartDownload(Connection& connection, int slotNumber, const std::string& localPath,
                   uint32_t purpose, const TransferFields& fields) {
    const int32_t code = DownloadRequestCode(slotNumber);
    if (code < 0) return false;
    MessageWriter writer(code);
    if (!AddFields(writer, fields)) return false;

    TransferSlot& slot = connection.Slot(slotNumber);
    auto lock = slot.Lock();
    if (slot.Busy() || localPath.empty()) return false;
    const std::string partial = localPath + kPartialSuffix;
    std::FILE* file = std::fopen(partial.c_str(), "wb");
    if (!file) return false;
    // Whole messages of data go into the file; a buffer of two saves a
    // system call per message.
    if (!slot.fileBuffer) slot.fileBuffer = std::make_unique<char[]>(TransferSlot::kFileBufferSize);
    std::setvbuf(file, slot.fileBuffer.get(), _IOFBF, TransferSlot::kFileBufferSize);
    slot.file = file;
    slot.finalPath = localPath;
    slot.partialPath = partial;
    slot.openMode = TransferSlot::kWriting;
    slot.downloadReceived = 0;
    slot.downloadTotal = 0;
    slot.purpose = purpose;
    auto message = writer.Finish(Primary::Download);
    if (!message) {
        slot.Close();
        return false;
    }
    connection.Enqueue(std::move(message));
    return true;
}

bool CancelTransfer(Connection& connection, int slotNumber) {
    if (!ValidSlot(slotNumber)) return false;
    {
        TransferSlot& slot = connection.Slot(slotNumber);
        auto lock = slot.Lock();
        slot.Close();
    }
    return SendCancelTransfer(connection, slotNumber);
}

// ---------------------------------------------------------------------------
// Upload chunks

bool SendNextChunk(Connection& connection, int slotNumber) {
    if (!ValidSlot(slotNumber)) return true;
    const ChunkOutcome out = SendChunk(connection, slotNumber);
    if (out.result == Chunk::Failed) return false;
    TransferHooks* hooks = connection.Hooks();
    if (!hooks) return true;
    const SlotHooks slotHooks = hooks->Get(slotNumber);
    if (out.result == Chunk::Sent && out.progressDue && slotHooks.progress) {
        hooks->Post([fn = slotHooks.progress, out] {
            fn(ProgressPercent(out.done, out.total), out.done, out.total);
        });
    } else if (out.result == Chunk::Completed && slotHooks.completed) {
        hooks->Post([fn = slotHooks.completed, purpose = out.purpose] { fn(purpose); });
    }
    return true;
}

// ---------------------------------------------------------------------------
// Handlers

namespace {

bool IsUploadSlot(int slot) {
    return UploadRequestCode(slot) >= 0;
}

void HandleGoAhead(Connection& connection, MessageReader& reader) {
    int32_t slotNumber = 0;
    if (!reader.Int(0, -1, slotNumber)) return;
    int32_t value = 0;
    if (slotNumber == kPollUploadSlot && !reader.Int(0, 9999, value)) return;
    if (!IsUploadSlot(slotNumber)) return;
    TransferSlot& slot = connection.Slot(slotNumber);
    {
        // A go-ahead for an upload that was never requested (or has ended)
        // would only end in a read failure.
        auto lock = slot.Lock();
        if (slot.openMode != TransferSlot::kReading) return;
    }
    const SlotHooks hooks = HooksOf(connection, slotNumber);
    if (hooks.goAhead) hooks.goAhead(value);
    slot.sending = true;

    const ChunkOutcome out = SendChunk(connection, slotNumber);
    // The first chunk is queued, and the network thread takes the rest.
    connection.Wake();
    switch (out.result) {
        case Chunk::Failed:
            ShowMessage(connection, "", kFailedToReadText, MessageIcon::None);
            break;
        case Chunk::Sent:
            if (hooks.progress && out.progressDue)
                hooks.progress(ProgressPercent(out.done, out.total), out.done, out.total);
            break;
        case Chunk::Completed:
            if (hooks.completed) hooks.completed(out.purpose);
            break;
        case Chunk::Idle:
            break;
    }
}

void HandleUploadRefusal(Connection& connection, MessageReader& reader,
                         const UploadRefusal& refusal) {
    uint32_t purpose = 0;
    {
        TransferSlot& slot = connection.Slot(refusal.slot);
        auto lock = slot.Lock();
        purpose = slot.purpose;
        slot.Close();
    }
    // A refusal whose details do not decode shows nothing, but the slot's
    // owner still hears that its upload is over (or it waits for good).
    std::string details;
    if (reader.Str(1, 512, details)) ShowServerResponse(connection, refusal.text, details);
    const SlotHooks hooks = HooksOf(connection, refusal.slot);
    if (hooks.refused) hooks.refused(purpose, refusal.code);
}

// Closes a refused download's slot and returns its purpose value. The local
// file is left empty, as a request that gets no data leaves it: the readers
// of some slots (a whiteboard page) open it on a refusal. Not a document's:
// its file is one the user chose, perhaps to replace, and a refusal must not
// wipe it.
uint32_t CloseRefusedSlot(Connection& connection, int slotNumber) {
    TransferSlot& slot = connection.Slot(slotNumber);
    auto lock = slot.Lock();
    const uint32_t purpose = slot.purpose;
    const bool userFile = slotNumber == kDocumentDownloadSlot;
    const std::string finalPath =
        slot.openMode == TransferSlot::kWriting && !userFile ? slot.finalPath : "";
    slot.Close();
    if (!finalPath.empty()) {
        if (std::FILE* empty = std::fopen(finalPath.c_str(), "wb")) std::fclose(empty);
    }
    return purpose;
}

void HandleDownloadRefused(Connection& connection, MessageReader& reader) {
    int32_t slotNumber = 0;
    if (!reader.Int(0, kSlotCount - 1, slotNumber)) return;
    const uint32_t purpose = CloseRefusedSlot(connection, slotNumber);
    switch (slotNumber) {
        case kDocumentDownloadSlot: {
            std::string details;
            if (reader.Str(1, 512, details)) {
                ShowServerResponse(connection, "Unable to retrieve document", details);
            }
            break;
        }
        case kConnectionHistorySlot:
            ShowMessage(connection, "Error",
                        "Connection history is not currently available for viewing",
                        MessageIcon::Information);
            break;
        case kAttachmentDownloadSlot:
            ShowServerResponse(connection, "Attachment deleted by sender",
                               "File containing the attachment could not be found");
            break;
        default:
            break;
    }
    const SlotHooks hooks = HooksOf(connection, slotNumber);
    if (hooks.refused) hooks.refused(purpose, download::kRefused);
}

void HandleAccountNotFound(Connection& connection, MessageReader& reader) {
    int32_t slotNumber = 0;
    if (!reader.Int(0, kSlotCount - 1, slotNumber)) return;
    const uint32_t purpose = CloseRefusedSlot(connection, slotNumber);
    ShowServerResponse(connection, "An account with the specified username could not be found",
                       "Unable to locate the containing folder for the specified username");
    const SlotHooks hooks = HooksOf(connection, slotNumber);
    if (hooks.refused) hooks.refused(purpose, download::kAccountNotFound);
}

void HandleDownloadBytes(Connection& connection, MessageReader& reader, bool start) {
    int32_t slotNumber = 0;
    if (!reader.Int(0, kSlotCount - 1, slotNumber)) return;
    int32_t total = 0;
    if (start && !reader.Int(-1, -1, total)) return;
    bool haveClock = false;
    std::time_t clock = 0;
    if (start && slotNumber == transferslot::kPollListSlot) {
        int32_t v[7];
        for (int32_t& value : v) {
            if (!reader.Int(-1, -1, value)) return;
        }
        std::tm tm{};
        tm.tm_year = v[0];
        tm.tm_mon = v[1];
        tm.tm_mday = v[2];
        tm.tm_hour = v[3];
        tm.tm_min = v[4];
        tm.tm_sec = v[5];
        tm.tm_isdst = v[6];
        clock = std::mktime(&tm);
        haveClock = true;
    }

    TransferSlot& slot = connection.Slot(slotNumber);
    ChunkOutcome out;
    {
        auto lock = slot.Lock();
        if (slot.openMode != TransferSlot::kWriting || !slot.file) return;
        if (start) {
            // A repeated start begins the file again rather than appending,
            // and its count starts from nothing: the room left for its bytes
            // must not be measured against the earlier start's.
            if (slot.started) {
                std::rewind(slot.file);
                [[maybe_unused]] int rc = ::ftruncate(::fileno(slot.file), 0);
            }
            slot.started = true;
            slot.downloadTotal = total;
            slot.downloadReceived = 0;
            slot.lastPercent = -1;
            slot.downloadReceived = WriteDownload(slot, reader.Rest(), reader.RestSize());
        } else {
            if (!slot.started) return;
            slot.downloadReceived += WriteDownload(slot, reader.Rest(), reader.RestSize());
        }
        out.purpose = slot.purpose;
        Advance(slot, slot.downloadReceived, slot.downloadTotal, out);
    }
    const SlotHooks hooks = HooksOf(connection, slotNumber);
    if (haveClock && hooks.serverClock) hooks.serverClock(clock);
    if (start && hooks.started) hooks.started(out.purpose);
    if (out.result == Chunk::Sent) {
        if (hooks.progress && out.progressDue)
            hooks.progress(ProgressPercent(out.done, out.total), out.done, out.total);
    } else if (hooks.completed) {
        hooks.completed(out.purpose);
    }
}

}  // namespace

bool TakeDownloadData(Connection& connection, const bufHeader& header) {
    TransferHooks* hooks = connection.Hooks();
    if (!hooks || header.nDescPrimary != +Primary::Download ||
        header.nDescSecondary != +Secondary::Response) {
        return false;
    }
    MessageReader reader(connection.ReceiveBuffer(), header);
    if (!reader.HasCode() || reader.Code() != download::kData) return false;
    int32_t slotNumber = 0;
    if (!reader.Int(0, kSlotCount - 1, slotNumber)) return false;
    TransferSlot& slot = connection.Slot(slotNumber);
    ChunkOutcome out;
    {
        // The same lock as a Cancel's: the file is never closed under a write.
        auto lock = slot.Lock();
        if (slot.openMode != TransferSlot::kWriting || !slot.file || !slot.started) return false;
        slot.downloadReceived += WriteDownload(slot, reader.Rest(), reader.RestSize());
        out.purpose = slot.purpose;
        Advance(slot, slot.downloadReceived, slot.downloadTotal, out);
    }
    const SlotHooks slotHooks = hooks->Get(slotNumber);
    if (out.result == Chunk::Sent) {
        if (out.progressDue && slotHooks.progress) {
            hooks->Post([fn = slotHooks.progress, out] {
                fn(ProgressPercent(out.done, out.total), out.done, out.total);
            });
        }
    } else if (slotHooks.completed) {
        hooks->Post([fn = slotHooks.completed, purpose = out.purpose] { fn(purpose); });
    }
    return true;
}

void HandleUploadResponse(Connection& connection, const bufHeader& header) {
    MessageReader reader(connection.ReceiveBuffer(), header);
    if (!reader.HasCode()) return;
    const int32_t code = reader.Code();
    if (code == upload::kGoAhead) {
        HandleGoAhead(connection, reader);
        return;
    }
    if (code == upload::kPollStored) {
        // The answer to a schedule-only poll change, which sent no file:
        // the poll slot is freed here, or every later poll upload would find
        // it busy.
        {
            TransferSlot& slot = connection.Slot(transferslot::kPollUploadSlot);
            auto lock = slot.Lock();
            slot.Close();
        }
        const SlotHooks hooks = HooksOf(connection, transferslot::kPollUploadSlot);
        if (hooks.pollStored) hooks.pollStored();
        return;
    }
    for (const UploadRefusal& refusal : kUploadRefusals) {
        if (refusal.code == code) {
            HandleUploadRefusal(connection, reader, refusal);
            return;
        }
    }
}

void HandleDownloadResponse(Connection& connection, const bufHeader& header) {
    MessageReader reader(connection.ReceiveBuffer(), header);
    if (!reader.HasCode()) return;
    switch (reader.Code()) {
        case download::kStart:
            HandleDownloadBytes(connection, reader, true);
            break;
        case download::kData:
            HandleDownloadBytes(connection, reader, false);
            break;
        case download::kRefused:
            HandleDownloadRefused(connection, reader);
            break;
        case download::kAccountNotFound:
            HandleAccountNotFound(connection, reader);
            break;
        default:
            break;
    }
}

// ---------------------------------------------------------------------------
// Local file tree

bool IsSafePathName(std::string_view name) {
    if (name.empty() || name == "." || name == "..") return false;
    return name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

bool CreateTransferDirectories(const std::string& dataDir, std::string_view relativeDir) {
    if (dataDir.empty()) return false;
    std::string prefix;
    size_t start = 0;
    while (start <= relativeDir.size()) {
        const size_t end = std::min(relativeDir.find('/', start), relativeDir.size());
        const std::string_view level = relativeDir.substr(start, end - start);
        if (!IsSafePathName(level)) return false;
        if (!prefix.empty()) prefix += '/';
        prefix.append(level);
        const std::string path = DataPath(dataDir, prefix);
        if (path.empty()) return false;
        if (::mkdir(path.c_str(), 0700) != 0) {
            struct stat st {};
            if (errno != EEXIST || ::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
                return false;
            }
        }
        start = end + 1;
    }
    return true;
}

std::string PrepareTransferFile(const std::string& dataDir, std::string_view relativeFile) {
    const size_t slash = relativeFile.rfind('/');
    const std::string_view name =
        slash == std::string_view::npos ? relativeFile : relativeFile.substr(slash + 1);
    if (!IsSafePathName(name)) return {};
    if (slash != std::string_view::npos &&
        !CreateTransferDirectories(dataDir, relativeFile.substr(0, slash))) {
        return {};
    }
    return DataPath(dataDir, relativeFile);
}

std::string RemoteNotepadPageName(std::string_view account, int page) {
    if (!IsSafePathName(account)) return {};
    static constexpr char kFormat[] = "files/remote/accounts/%s/notepad/page%i.png";
    const std::string name(account);
    const int n = std::snprintf(nullptr, 0, kFormat, name.c_str(), page);
    if (n <= 0) return {};
    std::string out(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(out.data(), out.size(), kFormat, name.c_str(), page);
    out.resize(static_cast<size_t>(n));
    return out;
}

}  // namespace net
