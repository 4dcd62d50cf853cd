#include "server/core/TransferEngine.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cstdio>
#include <algorithm>
#include <limits>

#include "server/core/ClientSession.h"
#include "server/core/LocalNetwork.h"

namespace localnet {

namespace {
constexpr int32_t kMaxSlot = 24;
constexpr char kDefaultDetails[] = "The request was refused";

// Refusal texts travel as 1..512 bytes.
std::string Details(const std::string& text) {
    return text.empty() ? std::string(kDefaultDetails) : text.substr(0, 512);
}
}  // namespace

UploadDecision UploadDecision::Accept(QString relativePath, UploadDone done) {
    UploadDecision d;
    d.kind = Kind::Accept;
    d.path = std::move(relativePath);
    d.done = std::move(done);
    return d;
}

UploadDecision UploadDecision::Gather(QString stagingPath, UploadDone done) {
    UploadDecision d = Accept(std::move(stagingPath), std::move(done));
    d.gather = true;
    return d;
}

UploadDecision UploadDecision::Refuse(int32_t code, std::string details) {
    UploadDecision d;
    d.kind = Kind::Refuse;
    d.refuseCode = code;
    d.details = std::move(details);
    return d;
}

DownloadDecision DownloadDecision::ServeFile(QString relativePath) {
    DownloadDecision d;
    d.kind = Kind::ServeFile;
    d.path = std::move(relativePath);
    return d;
}

DownloadDecision DownloadDecision::ServeBytes(QByteArray bytes) {
    DownloadDecision d;
    d.kind = Kind::ServeBytes;
    d.bytes = std::move(bytes);
    return d;
}

DownloadDecision DownloadDecision::Refuse(std::string details) {
    DownloadDecision d;
    d.kind = Kind::Refuse;
    d.details = std::move(details);
    return d;
}

DownloadDecision DownloadDecision::AccountNotFound() {
    DownloadDecision d;
    d.kind = Kind::AccountNotFound;
    return d;
}

TransferEngine::TransferEngine(LocalNetwork& network) : network_(network) {
    Router& router = network_.GetRouter();
    router.Register(
        ServerKind::File, net::Primary::Upload, net::upload::kChunk,
        [this](ClientSession& s, const net::bufHeader&, net::MessageReader& f) {
            HandleChunk(s, f);
        },
        Access::LoggedIn, net::Secondary::Response);
    router.Register(ServerKind::File, net::Primary::Control, net::control::kCancelTransfer,
                    [this](ClientSession& s, const net::bufHeader&, net::MessageReader& f) {
                        HandleCancel(s, f);
                    });
}

TransferEngine::~TransferEngine() = default;

void DiscardUpload::operator()(QFileDevice* file) const {
    const QString name = file->fileName();
    delete file;
    if (remove) QFile::remove(name);
}

void TransferEngine::RegisterUpload(int32_t requestCode, UploadHandler handler) {
    if (net::transferslot::ForUpload(requestCode) < 0) return;
    uploadHandlers_[requestCode] = std::move(handler);
    network_.GetRouter().Register(
        ServerKind::File, net::Primary::Upload, requestCode,
        [this, requestCode](ClientSession& s, const net::bufHeader&, net::MessageReader& f) {
            HandleUploadRequest(s, requestCode, f);
        });
}

void TransferEngine::RegisterDownload(int32_t requestCode, DownloadHandler handler) {
    if (net::transferslot::ForDownload(requestCode) < 0) return;
    downloadHandlers_[requestCode] = std::move(handler);
    network_.GetRouter().Register(
        ServerKind::File, net::Primary::Download, requestCode,
        [this, requestCode](ClientSession& s, const net::bufHeader&, net::MessageReader& f) {
            HandleDownloadRequest(s, requestCode, f);
        });
}

void TransferEngine::SetChunkSize(int bytes) {
    chunkSize_ = std::clamp(bytes, 1, kMaxChunk);
}

int TransferEngine::ActiveUploads() const {
    int n = 0;
    for (const auto& [session, state] : sessions_) n += static_cast<int>(state.uploads.size());
    return n;
}

int TransferEngine::ActiveDownloads() const {
    int n = 0;
    for (const auto& [session, state] : sessions_) n += static_cast<int>(state.downloads.size());
    return n;
}

TransferEngine::PerSession& TransferEngine::StateOf(ClientSession& session) {
    auto it = sessions_.find(&session);
    if (it != sessions_.end()) return it->second;
    // Whatever is still open when the connection ends is dropped; a partial
    // upload leaves no file behind.
    connect(&session, &ClientSession::Closed, this, [this, s = &session] {
        auto it = sessions_.find(s);
        if (it == sessions_.end()) return;
        // Uploads cut off by the connection's end are over too: their
        // services hear it (a half-made poll goes, an old one comes back).
        std::vector<UploadDone> dones;
        for (auto& [slot, upload] : it->second.uploads)
            if (upload.done) dones.push_back(std::move(upload.done));
        sessions_.erase(it);
        for (UploadDone& done : dones) done(*s, false, {});
    });
    connect(&session, &ClientSession::Drained, this, [this, s = &session] { Pump(*s); });
    return sessions_[&session];
}

void TransferEngine::DropSlot(ClientSession& session, PerSession& state, int32_t slot) {
    state.downloads.erase(slot);
    auto up = state.uploads.find(slot);
    if (up == state.uploads.end()) return;
    // A cancelled or replaced upload is over, unstored; its file is discarded.
    UploadDone done = std::move(up->second.done);
    state.uploads.erase(up);
    if (done) done(session, false, {});
}

void TransferEngine::SendUploadRefusal(ClientSession& session, int32_t code,
                                       const std::string& details) {
    net::MessageWriter w(code);
    w.Str(Details(details));
    session.Send(w, net::Primary::Upload);
}

void TransferEngine::SendDownloadRefusal(ClientSession& session, int32_t slot,
                                         const std::string& details) {
    net::MessageWriter w(net::download::kRefused);
    w.Int(slot);
    if (slot == net::transferslot::kDocumentDownloadSlot) w.Str(Details(details));
    session.Send(w, net::Primary::Download);
}

void TransferEngine::HandleUploadRequest(ClientSession& session, int32_t code,
                                         net::MessageReader& fields) {
    const int32_t slot = net::transferslot::ForUpload(code);
    int32_t size = 0;
    if (!fields.Int(0, -1, size)) {
        network_.Log(session.PeerText() + " upload request without a valid size ignored");
        return;
    }
    PerSession& state = StateOf(session);
    DropSlot(session, state, slot);
    UploadDecision decision = uploadHandlers_[code](session, size, fields);
    if (decision.kind == UploadDecision::Kind::Ignore) return;
    if (decision.kind == UploadDecision::Kind::Refuse) {
        SendUploadRefusal(session, decision.refuseCode.value_or(net::upload::kRefusedNoSpace),
                          decision.details);
        return;
    }
    const QString path = network_.GetStore().ResolvePath(decision.path);
    // A gathered upload is written where its service said; any other is
    // written beside its final name and renamed over it once whole, so that
    // the old file stays served until then. Either goes if never finished.
    std::unique_ptr<QFileDevice, DiscardUpload> file(nullptr, DiscardUpload{true});
    if (decision.gather) {
        file.reset(new QFile(path));
    } else {
        auto* side = new QTemporaryFile(path + ".XXXXXX");
        side->setAutoRemove(false);
        file.reset(side);
    }
    if (decision.gather) network_.GetStore().ReleaseLater(path);
    if (path.isEmpty() || !MakeFolder(QFileInfo(path).absolutePath()) ||
        !file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        network_.Log(session.PeerText() + " cannot store an upload at " + decision.path);
        if (decision.refuseCode) SendUploadRefusal(session, *decision.refuseCode, decision.details);
        return;
    }
    Upload& upload = state.uploads[slot];
    upload.total = size;
    upload.file = std::move(file);
    upload.gathered = decision.gather;
    upload.finalPath = path;
    upload.done = std::move(decision.done);
    net::MessageWriter w(net::upload::kGoAhead);
    w.Int(slot);
    // The poll slot's go-ahead always carries its integer: the client drops
    // one without it.
    if (decision.extra)
        w.Int(*decision.extra);
    else if (slot == net::transferslot::kPollUploadSlot)
        w.Int(0);
    session.Send(w, net::Primary::Upload);
}

void TransferEngine::HandleChunk(ClientSession& session, net::MessageReader& fields) {
    int32_t slot = 0;
    if (!fields.Int(0, kMaxSlot, slot)) return;
    auto it = sessions_.find(&session);
    if (it == sessions_.end()) return;
    PerSession& state = it->second;
    auto up = state.uploads.find(slot);
    if (up == state.uploads.end()) return;  // cancelled, or never asked for
    Upload& upload = up->second;
    const int n = fields.RestSize();
    if (n <= 0) return;
    bool failed = upload.received + n > upload.total;
    if (failed) {
        network_.Log(session.PeerText() + " upload ran past its announced size; discarded");
    } else if (upload.file->write(reinterpret_cast<const char*>(fields.Rest()), n) != n) {
        network_.Log(session.PeerText() + " upload write failed: " + upload.file->errorString());
        failed = true;
    }
    upload.received += failed ? 0 : n;
    const bool complete = !failed && upload.received == upload.total;
    if (!failed && !complete) return;
    bool stored = false;
    QString path;
    if (complete && upload.gathered) {
        path = upload.file->fileName();
        upload.file->close();
        stored = upload.file->error() == QFileDevice::NoError;
        // From here on the service places the file or removes it.
        upload.file.get_deleter().remove = !stored;
        if (!stored) network_.Log(session.PeerText() + " upload could not be stored at " + path);
    } else if (complete) {
        path = upload.finalPath;
        const QString side = upload.file->fileName();
        upload.file->close();
        stored = upload.file->error() == QFileDevice::NoError;
        if (stored) {
            network_.GetStore().ReleaseLater(path);
            stored = std::rename(QFile::encodeName(side).constData(),
                                 QFile::encodeName(path).constData()) == 0;
        }
        if (stored) {
            upload.file.get_deleter().remove = false;
            network_.GetStore().FlushLater(path);
        } else {
            network_.Log(session.PeerText() + " upload could not be stored at " + path);
        }
    }
    UploadDone done = std::move(upload.done);
    state.uploads.erase(up);
    if (done) done(session, stored, path);
}

void TransferEngine::HandleDownloadRequest(ClientSession& session, int32_t code,
                                           net::MessageReader& fields) {
    const int32_t slot = net::transferslot::ForDownload(code);
    PerSession& state = StateOf(session);
    DropSlot(session, state, slot);
    DownloadDecision decision = downloadHandlers_[code](session, fields);
    std::unique_ptr<QIODevice> source;
    qint64 total = 0;
    switch (decision.kind) {
        case DownloadDecision::Kind::Ignore:
            return;
        case DownloadDecision::Kind::Refuse:
            SendDownloadRefusal(session, slot, decision.details);
            return;
        case DownloadDecision::Kind::AccountNotFound: {
            net::MessageWriter w(net::download::kAccountNotFound);
            w.Int(slot);
            session.Send(w, net::Primary::Download);
            return;
        }
        case DownloadDecision::Kind::ServeBytes: {
            auto buffer = std::make_unique<QBuffer>();
            buffer->setData(decision.bytes);
            buffer->open(QIODevice::ReadOnly);
            total = decision.bytes.size();
            source = std::move(buffer);
            break;
        }
        case DownloadDecision::Kind::ServeFile: {
            const QString path = network_.GetStore().ResolvePath(decision.path);
            auto file = std::make_unique<QFile>(path);
            if (path.isEmpty() || !QFileInfo(path).isFile() || !file->open(QIODevice::ReadOnly)) {
                SendDownloadRefusal(session, slot, "File not found");
                return;
            }
            total = file->size();
            source = std::move(file);
            break;
        }
    }
    // The size travels as a signed 32-bit integer.
    if (total > std::numeric_limits<int32_t>::max()) {
        SendDownloadRefusal(session, slot, "File too large");
        return;
    }
    Download& download = state.downloads[slot];
    download.total = total;
    download.source = std::move(source);
    Pump(session);
}

void TransferEngine::HandleCancel(ClientSession& session, net::MessageReader& fields) {
    int32_t slot = 0;
    if (!fields.Int(0, kMaxSlot, slot)) return;
    auto it = sessions_.find(&session);
    if (it != sessions_.end()) DropSlot(session, it->second, slot);
}

bool TransferEngine::SendPiece(ClientSession& session, int32_t slot, Download& download) {
    const bool start = !download.started;
    net::MessageWriter w(start ? net::download::kStart : net::download::kData);
    w.Int(slot);
    if (start) {
        w.Int(static_cast<int32_t>(download.total));
        if (slot == net::transferslot::kPollListSlot) {
            // The poll list keeps the server's clock as its time reference.
            const QDateTime now = QDateTime::currentDateTime();
            const QDate d = now.date();
            const QTime t = now.time();
            w.Int(d.year() - 1900).Int(d.month() - 1).Int(d.day());
            w.Int(t.hour()).Int(t.minute()).Int(t.second()).Int(now.isDaylightTime() ? 1 : 0);
        }
    }
    const qint64 room = net::kMaxMessageLength - w.length();
    const qint64 want =
        std::min({room, static_cast<qint64>(chunkSize_), download.total - download.sent});
    scratch_.resize(static_cast<size_t>(std::max<qint64>(want, 0)));
    if (want > 0 && download.source->read(scratch_.data(), want) != want) return false;
    w.Raw(scratch_.data(), static_cast<int>(want));
    download.started = true;
    download.sent += want;
    session.Send(w, net::Primary::Download);
    return true;
}

void TransferEngine::Pump(ClientSession& session) {
    auto it = sessions_.find(&session);
    if (it == sessions_.end()) return;
    PerSession& state = it->second;
    while (!state.downloads.empty() && !session.Closing() && session.PendingOutput() < highWater_) {
        // Take the slots in turn so that one large download does not hold up
        // the others of the same client.
        auto next = state.downloads.upper_bound(state.lastServed);
        if (next == state.downloads.end()) next = state.downloads.begin();
        state.lastServed = next->first;
        Download& download = next->second;
        if (!SendPiece(session, next->first, download)) {
            if (!download.started) {
                SendDownloadRefusal(session, next->first, "File could not be read");
                state.downloads.erase(next);
                continue;
            }
            // The client already counts on the announced size; only a drop
            // frees its slot now.
            session.Abort("a file being downloaded could not be read");
            return;
        }
        if (download.sent >= download.total) state.downloads.erase(next);
    }
}

}  // namespace localnet
