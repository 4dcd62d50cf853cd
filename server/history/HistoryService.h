#pragma once

// The logs of the sessions. Every chat line and room event that the rooms
// relay is appended, one line each, to the day's file of its session,
// logs/<yyyy>/<yyyy-mm-dd>.txt under the session's history tree (which goes
// with the session's folder when the session is deleted). The participants,
// the creator and administrators browse the tree folder by folder (get
// history, answered by a listing) and download its files on their slot;
// folders recorded as locked are listed but neither opened nor read.

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "net/MessageBuffer.h"
#include "server/core/Service.h"
#include "server/core/TransferEngine.h"

namespace localnet {

class ClientSession;
class LocalNetwork;
class SessionsService;
struct StoredSession;

class HistoryService : public QObject, public Service {
    Q_OBJECT
  public:
    // The longest folder path a request may name, in bytes.
    static constexpr int kMaxPath = 200;
    // The longest entry name a listing may carry, in bytes.
    static constexpr int kMaxName = 50;

    explicit HistoryService(LocalNetwork& network);

    bool Open(QString* error) override;
    bool SeedDemo() override;

    // The history tree of a session, relative to the data folder.
    static QString HistoryFolder(const QString& number, const QString& id);
    // The day's log of a session, relative to its history tree.
    static QString LogName(const QDate& day);
    // The lines as logged, each with its line end: "[14:03:11] bob: hello",
    // "[14:03:20] carol has joined the session". Line breaks and other
    // control characters of a text become blanks, so one line stays one.
    static QByteArray ChatLine(const QTime& at, const QString& account, const QByteArray& text);
    static QByteArray EventLine(const QTime& at, const QString& account, int event);
    // "/" or plain names joined by "/": no empty part, ".", "..", backslash
    // or control character, at most kMaxPath bytes.
    static bool ValidPath(const std::string& path);
    static bool ValidName(const std::string& name);

    // Appends a line to the session's log of the day `at` falls on.
    bool Append(const QString& number, const QString& id, const QDateTime& at,
                const QByteArray& line);
    // Records a folder of the tree ("archive", "logs/2025") as locked.
    bool LockFolder(const QString& number, const QString& id, const QString& path);
    bool IsLocked(const QString& number, const QString& id, const QString& path) const;

    // The listing (response 16) of a folder that passed the checks; as many
    // entries as one message holds, folders first, each kind by name.
    std::unique_ptr<net::MessageBuffer> Listing(const QString& number, const QString& id,
                                                const std::string& path) const;

    // What time it is for the logs (tests fix it).
    void SetClock(std::function<QDateTime()> now) { now_ = std::move(now); }

  private:
    SessionsService* Sessions() const;
    void OnGetHistory(ClientSession& session, net::MessageReader& f);
    DownloadDecision OnDownload(ClientSession& session, net::MessageReader& f);
    // The session when `session`'s account may read its history; else null
    // and the reason.
    const StoredSession* Readable(const ClientSession& session, const QString& id,
                                  QString& why) const;
    // The absolute folder of `path` in the tree when it exists, is not
    // locked (nor anything above it) and stays inside the tree; else empty
    // and the reason.
    QString FolderOf(const QString& number, const QString& id, const std::string& path,
                     QString& why) const;
    void SendRefusal(ClientSession& session, const QString& explanation);
    void OnChat(const QString& number, const QString& id, const QString& account,
                const QByteArray& text);
    void OnEvent(const QString& number, const QString& id, int event, const QString& account);
    void OnSessionDeleted(const QString& number, const QString& id);
    bool SeedLobby(const QString& number, const QString& id);

    LocalNetwork& network_;
    // number + '/' + session id -> its locked folders.
    std::map<QString, std::set<QString>> locks_;
    std::function<QDateTime()> now_;
    bool listening_ = false;
};

}  // namespace localnet
