#pragma once

// The account's own side once logged in, on the file server: its
// information (requests 3 and answer 11), changing its full name (4) and
// password (5), and its connection history (download code 6). It keeps the
// sign-in record of every account: the history file of sign-ins, sign-outs
// and wrong passwords on the network server, and the counts in its own
// table. The password each connection logged in with is kept in memory only,
// since the store holds hashes.

#include <QObject>
#include <QString>
#include <map>
#include <string>
#include <unordered_map>

#include "server/core/Service.h"

namespace localnet {

class ClientSession;
class LocalNetwork;
struct Account;

class AccountInfoService : public QObject, public Service {
  public:
    // Full names changed here are also limited to what answer 11 carries,
    // and may not hold the account list's field separator.
    static constexpr int kMaxFullNameBytes = 50;

    // One account's counts.
    struct Record {
        int signIns = 0;
        // Wrong passwords since the last sign-in, and the last of them.
        int failedPending = 0;
        QString pendingAddress;
        qint64 pendingTime = 0;
        // What the last sign-in found pending: answer 11's sixth line.
        int failedShown = 0;
        QString shownAddress;
        qint64 shownTime = 0;
    };

    explicit AccountInfoService(LocalNetwork& network);

    bool Open(QString* error) override;
    bool SeedDemo() override;

    // The record of an account; a default one when it has none yet.
    Record RecordOf(const QString& number, const QString& username) const;
    // The history file of an account, relative to the data folder.
    static QString HistoryPath(const QString& number, const QString& username);

    // The reason a new full name is refused, or empty when it is accepted.
    static std::string FullNameProblem(const std::string& name);
    // The same for a new password.
    static std::string PasswordProblem(const std::string& password);

  private:
    struct Live {
        QString number;
        QString username;
        QString password;
        qint64 signedInAt = 0;
    };

    void OnLoginChecked(ClientSession* session, const QString& number, const QString& username,
                        const QString& password, bool accepted);
    void OnLoggedIn(ClientSession* session);
    void OnEnded(ClientSession* session);

    void SendInformation(ClientSession& session);
    void ChangeFullName(ClientSession& session, const std::string& name);
    void ChangePassword(ClientSession& session, const std::string& password);

    bool StoreRecord(const QString& number, const QString& username, const Record& record);
    void AppendHistory(const QString& number, const QString& username, qint64 when,
                       const QString& what);
    static QString Key(const QString& number, const QString& username);

    LocalNetwork& network_;
    std::map<QString, Record> records_;
    std::unordered_map<ClientSession*, Live> live_;
};

}  // namespace localnet
