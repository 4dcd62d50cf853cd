#pragma once

// The server's persistent state: the networks and their accounts, kept in
// one SQLite database in the data folder (Qt SQL) and mirrored in memory for
// lookups. Every change is one transaction, and memory changes only after
// the database has committed, so a failed write leaves both as they were.
// Large bodies (documents, whiteboard pages, logs, attachments) are files in
// the data folder, reached through ResolvePath so that nothing lands outside.
//
// Services see only this class: nothing they call depends on SQLite, so a
// shared database through another Qt SQL driver stays a matter of this file.

#include <QByteArray>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

namespace localnet {

class Flusher;

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

// Makes `folder` and its parents. One that is there already is only looked
// at: mkdir on it would still lock its parent folder, which may be waiting
// for the disk.
bool MakeFolder(const QString& folder);

class Store {
  public:
    // The schema this build writes; a database of a later version is refused.
    static constexpr int kSchemaVersion = 2;
    static constexpr char kDatabaseFile[] = "localnet.db";
    // Where the files of the first (JSON) format go once they are imported.
    static constexpr char kBackupFolder[] = "json-backup";

    explicit Store(QString dataDir);
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    // Where the store reports what it did on its own (imports, leftovers).
    void SetLog(std::function<void(const QString&)> log) { log_ = std::move(log); }
    // Called at each durable step ("file written", "file in place", "before
    // commit", "after commit"); fault injection crashes the process there.
    void SetStepHook(std::function<void(const char*)> hook) { step_ = std::move(hook); }
    // False only where nothing need outlast a power cut (the request
    // fuzzer): nothing is then taken to the disk on purpose. Set before Load.
    void SetDurable(bool durable) { durable_ = durable; }

    // Creates the data folder and the database if needed, brings the schema
    // up to date, imports a data folder of the first format once, and reads
    // the networks. Fails (with a reason) on a corrupt database or one of a
    // newer schema rather than starting empty and overwriting it later.
    bool Load(QString* error);
    // Closes the database; the memory copy is dropped.
    void Close();

    const QString& DataDir() const { return dataDir_; }
    QString DatabasePath() const { return dataDir_ + "/" + kDatabaseFile; }
    // The open connection, for diagnostics and tests.
    QSqlDatabase Database() const;

    // The absolute path of a name relative to the data folder, or an empty
    // text when the name is absolute, empty, or would climb out of the folder.
    QString ResolvePath(const QString& relative) const;
    // Atomic whole-file write under the data folder; creates parent folders.
    bool WriteFile(const QString& relative, const QByteArray& bytes) const;
    // A file put in place under the data folder by other means (a rename):
    // it reaches the disk with the next round of the store's flusher.
    void FlushLater(const QString& absolutePath) const;
    // To be called just before a file under the data folder is replaced by a
    // rename or truncated: the flusher's thread, not this one, then frees the
    // old content's blocks (see Flusher::Release). A path with no file is
    // left alone.
    void ReleaseLater(const QString& absolutePath) const;
    // Removes a file under the data folder (an absolute path; an empty one
    // does nothing), its blocks freed on the flusher's thread. False when it
    // was there and could not be removed.
    bool RemoveFile(const QString& absolutePath) const;
    // Returns once every change and file so far is on the disk.
    void FlushNow() const;

    // Accepts "1234567" and "123.4567"; empty when not a zorvic number.
    static QString NormalizeNumber(const QString& text);

    Network* FindNetwork(const QString& number);
    const std::vector<std::unique_ptr<Network>>& Networks() const { return networks_; }

    // Each is one transaction; on failure memory is left as it was.
    bool AddNetwork(Network network);
    bool AddAccount(Network& network, Account account);
    // Applies `change` to a copy of the account, stores the copy, and only
    // then takes it over. False (nothing changed) when the account is unknown,
    // the new username is taken, or the write fails.
    bool UpdateAccount(Network& network, const QString& username,
                       const std::function<void(Account&)>& change);
    // Removes the account; false (nothing changed) when it is unknown or the
    // write fails. Services drop their own state of it on
    // LocalNetwork::AccountRemoved.
    bool RemoveAccount(Network& network, const QString& username);
    // The same for a network's own fields and banned identities (its number
    // and accounts are not changed this way).
    bool UpdateNetwork(Network& network, const std::function<void(Network&)>& change);

    // A service's own tables: `steps[i]` brings them from version i to
    // i + 1, as with the store's own schema (append only; a released step
    // never changes). Versions are counted per owner, so services add tables
    // without touching each other's. Fails on tables newer than `steps`.
    bool PrepareTables(const QString& owner, const std::vector<std::vector<QString>>& steps,
                       QString* error);
    // Runs `work` in one transaction: committed when it returns true, rolled
    // back otherwise. False when refused (read-only data folder), rolled back
    // or not committed; LastError() then tells why. A service changes its
    // memory copy only after this returned true.
    bool Write(const std::function<bool(QSqlDatabase&)>& work);
    const QString& LastError() const { return lastError_; }

    // The folder of one network's own files, relative to the data folder.
    static QString NetworkFolder(const QString& number) { return "networks/" + number; }

  private:
    class Transaction;

    bool Open(QString* error);
    bool Migrate(int from, QString* error);
    bool ImportFirstFormat(int* networks, int* accounts, QString* error);
    void KeepFirstFormatAsBackup();
    bool ReadAll(QString* error);
    bool InsertNetwork(const Network& network);
    bool InsertAccount(const QString& number, const Account& account);
    bool WriteBannedIdentities(const Network& network);
    void Note(const QString& line) const;
    // Run a statement or end a transaction, keeping the error text.
    bool Exec(QSqlQuery& query);
    bool Begun(const Transaction& t);
    bool Commit(Transaction& t);

    QString dataDir_;
    QString connectionName_;
    std::vector<std::unique_ptr<Network>> networks_;
    std::function<void(const QString&)> log_;
    std::function<void(const char*)> step_;
    QString lastError_;
    bool readOnly_ = false;
    bool durable_ = true;
    // Commits and file writes return once the system has them; this thread
    // takes them on to the disk (see Flusher.h).
    std::unique_ptr<Flusher> flusher_;
};

}  // namespace localnet
