#pragma once

// The polls of the local network, per session: an index in the service's
// own tables (schedule in the server's clock, votes, flags, version, the
// voters of the current version) and, under the network's folder, each
// poll's masked file and its ballots file. The poll and ballot layouts are
// the client's own code, so both sides agree on every byte.

#include <QObject>
#include <QString>
#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "server/core/Service.h"

namespace net {
class MessageReader;
}

namespace localnet {

class ClientSession;
class LocalNetwork;
class SessionsService;

class PollsService : public Service {
  public:
    static constexpr int32_t kMaxPollId = 9999;
    // A session holds at most this many polls (the Polling Center asks the
    // user to delete one past 90).
    static constexpr int kMaxPollsPerSession = 91;
    static constexpr int32_t kMaxPollFile = 10485760;

    struct Poll {
        int32_t id = 0;
        QString owner;  // as the account is named
        int32_t status = 0;  // 0 in transfer, 1 available, 2 suspended
        int32_t version = 1;
        qint64 start = 0;  // seconds since 1970
        qint64 end = 0;
        int32_t votes = 0;
        int32_t maxVotes = 0;
        int32_t othersMayView = 0;
        int32_t recurring = 0;
        int32_t intervalHours = 1;
        int32_t questionCount = 0;
        std::set<QString> voters;  // lower case, this version's
    };

    explicit PollsService(LocalNetwork& network);
    ~PollsService() override;

    bool Open(QString* error) override;
    bool SeedDemo() override;

    // The clock the service reads (tests move it).
    void SetClock(std::function<std::time_t()> clock) { clock_ = std::move(clock); }

    const Poll* Find(const QString& number, const QString& session, int32_t id) const;
    std::vector<const Poll*> PollsOf(const QString& number, const QString& session) const;

    // Relative paths of a poll's files.
    static QString PollFolder(const QString& number, const QString& session);
    static QString PollFile(const QString& number, const QString& session, int32_t id);
    static QString BallotsFile(const QString& number, const QString& session, int32_t id);
    static QString ResultsFile(const QString& number, const QString& session, int32_t id);
    // Largest ballot upload: every answer of the longest poll at its bound.
    static constexpr int32_t kMaxBallotFile = 4 + 12 + 4 + 9999 * (4 + 4 + 4 + 3000);

    // The poll list text of a session: a line per poll, times in the
    // server's clock.
    QByteArray ListText(const QString& number, const QString& session) const;

  private:
    using Polls = std::map<int32_t, Poll>;
    struct Key {
        QString number;
        QString session;
        bool operator<(const Key& o) const {
            return number != o.number ? number < o.number : session < o.session;
        }
    };

    void RegisterHandlers();
    SessionsService* Sessions();
    bool SessionExists(const QString& number, const QString& session);
    bool IsAdministrator(const QString& number, const QString& username);
    bool IsCreator(const QString& number, const QString& session, const QString& username);
    bool IsModerator(const QString& number, const QString& session, const QString& username);

    bool Save(const QString& number, const QString& session, const Poll& poll);
    bool Remove(const QString& number, const QString& session, int32_t id);
    bool SaveVoters(const QString& number, const QString& session, const Poll& poll);
    // The poll's row and its voters in one transaction.
    bool SaveWithVoters(const QString& number, const QString& session, const Poll& poll);
    // Every poll of a deleted session: rows, files and memory.
    void RemoveSession(const QString& number, const QString& session);

    // Why a poll may not be taken or a ballot stored now: a response 3 code,
    // 0 when it may. `poll` is null when it does not exist.
    int32_t TakeRefusal(const Poll* poll, const QString& voter) const;
    // Why its results may not be seen: a response 5 code, 0 when they may.
    int32_t ResultsRefusal(const Poll* poll) const;
    // Whether the poll is within a window of its schedule now.
    bool InWindow(const Poll& poll) const;
    // The poll named by a request (owner and id), or null.
    const Poll* Named(const QString& number, const QString& session, const std::string& owner,
                     int32_t id) const;
    // Builds the results file for `requester`; a response 6 code on failure.
    int32_t BuildResults(const QString& number, const QString& session, const Poll& poll,
                         const QString& requester, QString& relativePath);
    void StoreBallot(ClientSession& s, const QString& number, const QString& session, int32_t id,
                     int32_t version, const QString& path);

    void OnConfirm(ClientSession& s, net::MessageReader& f);
    void OnOperate(ClientSession& s, net::MessageReader& f);

    LocalNetwork& network_;
    std::map<Key, Polls> polls_;
    std::function<std::time_t()> clock_;
    QMetaObject::Connection sessionDeleted_;
};

}  // namespace localnet
