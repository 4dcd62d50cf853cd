#pragma once

// File transfers on the file server. A service registers one handler per
// upload or download request code; the engine does the exchange around it:
// the go-ahead and the chunks of an upload (stored by write-then-rename, so a
// partial upload never replaces anything), and the start and data messages
// of a download, streamed from disk as the socket drains so that no file is
// held in memory and many clients progress at once.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "net/MessageBuffer.h"

class QFileDevice;
class QIODevice;

namespace localnet {

class ClientSession;
class LocalNetwork;

// Called once an upload has ended: stored is true when every announced byte
// arrived and the file is in place at `path` (absolute); false (and no path)
// when it failed, was cancelled, was replaced by a new request on its slot, or
// its connection ended. For a gathered upload, `path` is the gathered file,
// which is then the service's to place or remove.
using UploadDone = std::function<void(ClientSession&, bool stored, const QString& path)>;

struct UploadDecision {
    enum class Kind { Accept, Refuse, Ignore };
    Kind kind = Kind::Ignore;
    QString path;                  // Accept: relative to the data folder
    // Accept: write straight to `path` and leave the file there for the
    // service (removed by the engine on failure) instead of renaming it over
    // `path` itself; for services that commit a row with the file.
    bool gather = false;
    std::optional<int32_t> extra;  // Accept: the integer after the slot (poll uploads; 0 if unset)
    UploadDone done;               // Accept
    // Refuse: the refusal's code and details; Accept: what to send instead of
    // the go-ahead when the file cannot be created (nothing when unset).
    std::optional<int32_t> refuseCode;
    std::string details;

    static UploadDecision Accept(QString relativePath, UploadDone done = {});
    static UploadDecision Gather(QString stagingPath, UploadDone done);
    static UploadDecision Refuse(int32_t code, std::string details);
    static UploadDecision Ignore() { return {}; }
};

struct DownloadDecision {
    enum class Kind { ServeFile, ServeBytes, Refuse, AccountNotFound, Ignore };
    Kind kind = Kind::Ignore;
    QString path;         // ServeFile: relative to the data folder
    QByteArray bytes;     // ServeBytes: content generated on the spot
    std::string details;  // Refuse: sent with the refusals that carry a text

    static DownloadDecision ServeFile(QString relativePath);
    static DownloadDecision ServeBytes(QByteArray bytes);
    static DownloadDecision Refuse(std::string details = {});
    static DownloadDecision AccountNotFound();
    static DownloadDecision Ignore() { return {}; }
};

// Handlers read the request's fields after the code (an upload's leading file
// size is read by the engine and passed in).
using UploadHandler =
    std::function<UploadDecision(ClientSession&, int32_t size, net::MessageReader& fields)>;
using DownloadHandler = std::function<DownloadDecision(ClientSession&, net::MessageReader& fields)>;

// Deletes an upload's file object, and its file unless that was put in place
// or handed over to its service.
struct DiscardUpload {
    bool remove;
    void operator()(QFileDevice* file) const;
};

class TransferEngine : public QObject {
    Q_OBJECT
  public:
    // Bytes of file per download message when nothing smaller is set: as many
    // as a data message can carry.
    static constexpr int kMaxChunk = net::kMaxMessageLength - net::kFirstField - 4;

    explicit TransferEngine(LocalNetwork& network);
    ~TransferEngine() override;

    void RegisterUpload(int32_t requestCode, UploadHandler handler);
    void RegisterDownload(int32_t requestCode, DownloadHandler handler);

    // Caps the file bytes per download message (tests use small pieces).
    void SetChunkSize(int bytes);
    // How far ahead of the socket a session's downloads may run.
    void SetHighWater(qint64 bytes) { highWater_ = bytes; }

    int ActiveUploads() const;
    int ActiveDownloads() const;

  private:
    struct Upload {
        qint64 total = 0;
        qint64 received = 0;
        std::unique_ptr<QFileDevice, DiscardUpload> file{nullptr, DiscardUpload{false}};
        bool gathered = false;
        QString finalPath;  // where a whole upload that is not gathered goes
        UploadDone done;
    };
    struct Download {
        qint64 total = 0;
        qint64 sent = 0;
        bool started = false;
        std::unique_ptr<QIODevice> source;
    };
    struct PerSession {
        std::map<int32_t, Upload> uploads;      // by slot
        std::map<int32_t, Download> downloads;  // by slot
        int32_t lastServed = -1;                // round robin among slots
    };

    PerSession& StateOf(ClientSession& session);
    void HandleUploadRequest(ClientSession& session, int32_t code, net::MessageReader& fields);
    void HandleChunk(ClientSession& session, net::MessageReader& fields);
    void HandleDownloadRequest(ClientSession& session, int32_t code, net::MessageReader& fields);
    void HandleCancel(ClientSession& session, net::MessageReader& fields);
    void SendUploadRefusal(ClientSession& session, int32_t code, const std::string& details);
    void SendDownloadRefusal(ClientSession& session, int32_t slot, const std::string& details);
    // Ends a slot's transfer; an upload's service hears it was not stored.
    void DropSlot(ClientSession& session, PerSession& state, int32_t slot);
    void Pump(ClientSession& session);
    // Sends the next message of one download; false when the file failed.
    bool SendPiece(ClientSession& session, int32_t slot, Download& download);

    LocalNetwork& network_;
    std::map<int32_t, UploadHandler> uploadHandlers_;
    std::map<int32_t, DownloadHandler> downloadHandlers_;
    std::unordered_map<ClientSession*, PerSession> sessions_;
    int chunkSize_ = kMaxChunk;
    qint64 highWater_ = 256 * 1024;
    std::vector<char> scratch_;
};

}  // namespace localnet
