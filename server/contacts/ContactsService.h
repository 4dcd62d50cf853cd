#pragma once

// Contacts and presence on the network server. Each account keeps a list of
// contacts and a list of muted names (both in the spelling the accounts were
// created with) in the service's own tables; presence is worked out from the
// logged-in network-server connections: an account is online while at least
// one is, with the status it last set (online again at every sign-in). Every
// presence change is pushed to the logged-in connections of the accounts that
// list it. The account list download is made here too, on the spot.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <map>
#include <utility>

#include "server/core/Service.h"

namespace localnet {

class ClientSession;
class LocalNetwork;
struct Network;

class ContactsService : public Service {
  public:
    // The longest list the client takes.
    static constexpr int kMaxContacts = 999;

    explicit ContactsService(LocalNetwork& network);

    bool Open(QString* error) override;
    bool SeedDemo() override;

    // What the tables hold for one account: names in stored spelling, in the
    // order they were added.
    struct Lists {
        QStringList contacts;
        QStringList muted;
    };
    // The account's lists (empty for an unknown account).
    Lists ListsOf(const QString& number, const QString& username) const;
    // 0 offline, else the status the account last set.
    int StatusOf(const QString& number, const QString& username) const;

    // The account list file of a network, one line per account in creation
    // order, with `now` as the time the last logins are counted from.
    QByteArray AccountListFile(const Network& network, qint64 now) const;

  private:
    using Key = std::pair<QString, QString>;  // network number, lower-case username
    struct Presence {
        int connections = 0;
        int status = 1;
    };

    static Key KeyOf(const QString& number, const QString& username);

    void HandleAdd(ClientSession& session, const QString& name);
    void HandleRemove(ClientSession& session, const QString& name);
    void HandleMute(ClientSession& session, const QString& name, bool mute);
    void SendList(ClientSession& session);
    void SendUnknownUser(ClientSession& session);

    void OnLoggedIn(ClientSession* session);
    void OnConnectionEnded(ClientSession* session);
    void SetStatus(const QString& number, const QString& username, int status);
    // Tells every logged-in network-server connection whose account lists
    // `username` that its status is now `status`.
    void Push(const QString& number, const QString& username, int status);

    // Stores a changed pair of lists; memory follows only when stored.
    bool Save(const Key& owner, const Lists& lists);

    LocalNetwork& network_;
    std::map<Key, Lists> lists_;
    std::map<Key, Presence> presence_;
    std::map<Key, bool> seeded_;
};

}  // namespace localnet
