#pragma once

// The sessions of one network as the sessions service keeps them in memory:
// the stored fields, who is in each session right now, and the pages of the
// directory in any of its ten orders. No connections and no database here,
// so that the paging rules can be checked (and measured) on their own.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "net/MessageBuffer.h"

namespace localnet {

class ClientSession;

// Wire limits of the session fields, in bytes.
inline constexpr int32_t kSessionIdLength = 6;
inline constexpr int32_t kMaxSessionName = 20;
inline constexpr int32_t kMaxDescription = 500;
inline constexpr int32_t kMaxSessionPassword = 20;
inline constexpr int32_t kMaxAccountName = 12;
inline constexpr int32_t kMaxParticipants = 200;
// The longest chat line a client takes, in bytes, and the longest ban.
inline constexpr int32_t kMaxChatText = 600;
inline constexpr int32_t kMaxBanMinutes = 9999;
// What a list page may say: the total, the page size and the page index.
inline constexpr int32_t kMaxListedSessions = 10000;
inline constexpr int32_t kMaxPageSize = 500;
inline constexpr int32_t kMaxPageIndex = 999;

struct StoredSession {
    QString id;
    QString name;
    QString description;
    QString password;  // private sessions only
    bool isPrivate = false;
    int32_t maxParticipants = 1;
    QString creator;
    qint64 created = 0;  // seconds since 1970, UTC
    QStringList moderators;
    // Lower-case account name -> end of the ban, seconds since 1970, UTC.
    std::map<QString, qint64> bans;

    // Live: the connections in the session, in the order they joined.
    std::vector<ClientSession*> participants;

    // Sort keys kept with the fields.
    QString nameKey;     // lower case
    QString creatorKey;  // lower case
    std::string idBytes;
    std::string nameBytes;
    std::string creatorBytes;
    std::string nameUtf8;
    std::string creatorUtf8;
    void Keys();
};

// One row of a page, with the creation time in the server's local time.
struct ListedSession {
    const StoredSession* session = nullptr;
    int32_t year = 0;   // minus 1900
    int32_t month = 0;  // minus 1
    int32_t day = 1;
    int32_t hour = 0;
    int32_t minute = 0;
    int32_t second = 0;
};

// The page that answers a list request, its numbers as echoed.
struct ListPage {
    int32_t sortCode = 0;
    int32_t pageIndex = 0;
    int32_t pageSize = 1;
    int32_t total = 0;
    std::vector<const StoredSession*> rows;
};

// The most rows one message can carry whatever their texts: after the code
// and six integers, each row takes at most 4+6 + 4+20 + 4+12 + 8 integers.
int32_t RowsPerMessage();

class SessionTable {
  public:
    // Sorted order is cached per sort code and dropped by every change.
    SessionTable() = default;

    StoredSession* Find(const QString& id);
    const StoredSession* Find(const QString& id) const;
    StoredSession* FindByName(const QString& name);  // any case
    int32_t Count() const { return static_cast<int32_t>(sessions_.size()); }
    const std::map<QString, std::unique_ptr<StoredSession>>& All() const { return sessions_; }

    StoredSession& Add(StoredSession session);
    void Remove(const QString& id);
    // Something that an order depends on changed (a join, a leave).
    void Changed() { orders_.clear(); }

    // The page for a request: the size clamped to 1..500 and to one
    // message's worth, the index to the pages there are (and to what the
    // page index field can say); ties in any order go by id.
    ListPage Page(int32_t sortCode, int32_t pageIndex, int32_t pageSize);

  private:
    const std::vector<const StoredSession*>& Order(int32_t sortCode);

    std::map<QString, std::unique_ptr<StoredSession>> sessions_;
    std::map<int32_t, std::vector<const StoredSession*>> orders_;
};

// Response 3 for `page`, the list selector echoed; the times in the
// server's local time.
std::unique_ptr<net::MessageBuffer> BuildListPageMessage(const ListPage& page, int32_t selector);

// Sort code 2k ascending, 2k + 1 descending, by key k: name, creation time,
// type, participants, creator. Ties by id, ascending.
bool SessionBefore(int32_t sortCode, const StoredSession& a, const StoredSession& b);

}  // namespace localnet
