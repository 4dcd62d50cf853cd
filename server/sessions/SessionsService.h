#pragma once

// The session directory of the local network: sessions kept in the
// database (their own tables) with a folder each under the network's
// folder, the per-network rules (administrators only, most sessions), and
// who is in each session right now. Answers create, list, get for
// modification, modify, delete and join; a connection that ends leaves
// every session it was in. (Not to be confused with ClientSession, which is
// one connection.)

#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <random>

#include "server/core/Service.h"
#include "server/sessions/SessionTable.h"

namespace net {
class MessageReader;
}

namespace localnet {

class ClientSession;
class LocalNetwork;
struct Network;

class SessionsService : public QObject, public Service {
    Q_OBJECT
  public:
    // Until a network says otherwise.
    static constexpr int32_t kDefaultMaxSessions = 100;

    explicit SessionsService(LocalNetwork& network);

    bool Open(QString* error) override;
    bool SeedDemo() override;

    // A session of a network by its id; null when there is none.
    const StoredSession* FindById(const QString& number, const QString& id);
    // A session of a network by its name, any case; null when there is none.
    const StoredSession* FindByName(const QString& number, const QString& name);

    // The folder of one session, relative to the data folder.
    static QString SessionFolder(const QString& number, const QString& id);

  signals:
    // What the rooms relay, for those who keep a session's log: a chat line
    // as it went out (its text as the sender wrote it), and a room event
    // (joined, left, away, online, participant, moderator; never a mere
    // refresh) with the account it concerns.
    void ChatRelayed(const QString& number, const QString& id, const QString& account,
                     const QByteArray& text);
    void EventRelayed(const QString& number, const QString& id, int event,
                      const QString& account);
    // A session was deleted, its folder with it.
    void SessionDeleted(const QString& number, const QString& id);

  private:
    struct NetworkRules {
        bool adminOnly = false;
        int32_t maxSessions = kDefaultMaxSessions;
        bool stored = false;
    };

    void OnCreate(ClientSession& session, net::MessageReader& f);
    void OnModify(ClientSession& session, net::MessageReader& f);
    void OnDelete(ClientSession& session, net::MessageReader& f);
    void OnList(ClientSession& session, net::MessageReader& f);
    void OnAskToCreate(ClientSession& session);
    void OnGetForModify(ClientSession& session, net::MessageReader& f);
    void OnJoin(ClientSession& session, net::MessageReader& f);
    void OnConnectionEnded(ClientSession* session);
    // The room: leave, chat, moderators, removal and bans, info, invitations.
    void OnLeave(ClientSession& session, net::MessageReader& f);
    void OnChat(ClientSession& session, net::MessageReader& f);
    void OnSetModerator(ClientSession& session, net::MessageReader& f);
    void OnRemove(ClientSession& session, net::MessageReader& f);
    void OnInfo(ClientSession& session, net::MessageReader& f);
    void OnInvite(ClientSession& session, net::MessageReader& f);
    void OnPresenceChanged(const QString& number, const QString& username, int status);

    SessionTable& TableOf(const QString& number) { return tables_[number]; }
    NetworkRules RulesOf(const QString& number) const;
    bool IsAdministrator(const ClientSession& session) const;
    // The session a request names, when the asker may change it; else
    // answers "unable to find" and returns null.
    StoredSession* Changeable(ClientSession& session, const QString& id, const char* what);
    QString NewId(const SessionTable& table);

    bool Insert(const QString& number, const StoredSession& s);
    void SendError(ClientSession& session, int32_t code, const QString& explanation);
    void SendRoomState(const QString& number, const StoredSession& s, int32_t event,
                       const QString& account);
    int32_t PresenceOf(const QString& number, const QString& username) const;
    // The session a room request names, when the asker is in it; null
    // otherwise (nothing is answered).
    StoredSession* RoomOf(ClientSession& session, const std::string& id);
    // The participant of that account name (any case), or null.
    static ClientSession* ParticipantNamed(const StoredSession& s, const QString& username);
    // 3 administrator, 2 session creator, 1 moderator, 0 participant.
    int RankOf(const QString& number, const StoredSession& s, const QString& username) const;
    // The name the store keeps for a logged-in account.
    QString StoredName(const ClientSession& session) const;

    LocalNetwork& network_;
    std::map<QString, SessionTable> tables_;
    std::map<QString, NetworkRules> rules_;
    // number + '/' + lower-case account -> its presence.
    std::map<QString, int> presence_;
    std::mt19937 random_;
    std::function<qint64()> now_;

  public:
    // What time it is for bans (tests move it on).
    void SetClock(std::function<qint64()> now) { now_ = std::move(now); }
};

}  // namespace localnet
