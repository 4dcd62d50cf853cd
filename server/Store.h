#pragma once

// The server's persistent state: the networks and their accounts, kept as
// JSON files in the data folder. Every file is replaced by write-then-rename,
// so a crash mid-write leaves either the old or the new file, never a torn
// one. Later subsystems keep their own files here too, reached through
// ResolvePath so that nothing lands outside the data folder.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace localnet {

struct Account {
    QString username;  // stored as created; looked up case-insensitively
    QString fullName;
    QString passwordSalt;
    QString passwordHash;  // hex SHA-256 of salt + password
    bool admin = false;
    bool root = false;
    bool banned = false;
    qint64 created = 0;     // seconds since 1970, UTC
    qint64 lastLogin = -1;  // seconds since 1970, UTC; -1 = never
    QString identity;       // the installation identity it was created from

    void SetPassword(const QString& password);
    bool CheckPassword(const QString& password) const;
};

struct Network {
    // The flag bit that tells the client to ask for an account creation code.
    static constexpr int kFlagCreationCode = 2;

    QString number;  // seven digits, no dot
    QString name;
    int flags = 0;  // 0..999, sent as decimal text
    QString creationCode;
    int accountLimit = 1000;
    int accountsPerIdentity = 5;
    QStringList bannedIdentities;
    std::vector<Account> accounts;

    bool RequiresCreationCode() const { return (flags & kFlagCreationCode) != 0; }
    Account* FindAccount(const QString& username);
    const Account* FindAccount(const QString& username) const;
    int AccountsOfIdentity(const QString& identity) const;
    // A banned account created from the identity, or an identity banned outright.
    bool IdentityBanned(const QString& identity) const;
};

class Store {
  public:
    explicit Store(QString dataDir);

    // Creates the data folder if needed and reads the networks. Fails (with a
    // reason) on an unreadable or corrupt file rather than starting empty and
    // overwriting it later.
    bool Load(QString* error);

    const QString& DataDir() const { return dataDir_; }

    // The absolute path of a name relative to the data folder, or an empty
    // text when the name is absolute, empty, or would climb out of the folder.
    QString ResolvePath(const QString& relative) const;
    // Atomic whole-file write under the data folder; creates parent folders.
    bool WriteFile(const QString& relative, const QByteArray& bytes) const;

    // Accepts "1234567" and "123.4567"; empty when not a zorvic number.
    static QString NormalizeNumber(const QString& text);

    Network* FindNetwork(const QString& number);
    const std::vector<std::unique_ptr<Network>>& Networks() const { return networks_; }

    // Each persists at once; on failure the in-memory state is left as it was.
    bool AddNetwork(Network network);
    bool AddAccount(Network& network, Account account);
    // Persists the accounts of a network after a caller changed them.
    bool SaveAccounts(const Network& network);
    bool SaveNetworks();

    // The folder of one network's own files, relative to the data folder.
    static QString NetworkFolder(const QString& number) { return "networks/" + number; }

  private:
    bool LoadAccounts(Network& network, QString* error);

    QString dataDir_;
    std::vector<std::unique_ptr<Network>> networks_;
};

}  // namespace localnet
