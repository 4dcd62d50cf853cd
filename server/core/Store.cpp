#include "server/core/Store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTemporaryFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QVariant>
#include <map>

#include "server/core/Flusher.h"

namespace localnet {

namespace {

// The schema, one step per version: step i brings a database from version i
// to version i + 1. Append only; a released step never changes. Plain SQL
// that other Qt SQL drivers accept too (no AUTOINCREMENT, no COLLATE NOCASE:
// usernames are matched through a lower-case key column).
const std::vector<std::vector<const char*>>& Migrations() {
    static const std::vector<std::vector<const char*>> steps = {
        {
            "CREATE TABLE networks ("
            " number TEXT NOT NULL PRIMARY KEY,"
            " name TEXT NOT NULL,"
            " flags INTEGER NOT NULL,"
            " creation_code TEXT NOT NULL,"
            " account_limit INTEGER NOT NULL,"
            " accounts_per_identity INTEGER NOT NULL)",
            "CREATE TABLE accounts ("
            " network TEXT NOT NULL REFERENCES networks (number) ON DELETE CASCADE,"
            " username_key TEXT NOT NULL,"
            " seq BIGINT NOT NULL,"
            " username TEXT NOT NULL,"
            " full_name TEXT NOT NULL,"
            " password_salt TEXT NOT NULL,"
            " password_hash TEXT NOT NULL,"
            " admin INTEGER NOT NULL,"
            " root INTEGER NOT NULL,"
            " banned INTEGER NOT NULL,"
            " created BIGINT NOT NULL,"
            " last_login BIGINT NOT NULL,"
            " identity TEXT NOT NULL,"
            " PRIMARY KEY (network, username_key))",
            "CREATE TABLE banned_identities ("
            " network TEXT NOT NULL REFERENCES networks (number) ON DELETE CASCADE,"
            " identity TEXT NOT NULL,"
            " PRIMARY KEY (network, identity))",
        },
        {
            // Each service's own tables, counted apart (PrepareTables).
            "CREATE TABLE service_tables ("
            " owner TEXT NOT NULL PRIMARY KEY,"
            " version INTEGER NOT NULL)",
        },
    };
    return steps;
}

// The first format: networks.json in the data folder, and one accounts.json
// per network under networks/<number>/.
constexpr char kFirstFormatNetworks[] = "networks.json";
constexpr char kFirstFormatAccounts[] = "accounts.json";

QString HashPassword(const QString& salt, const QString& password) {
    return QString::fromLatin1(
        QCryptographicHash::hash((salt + password).toUtf8(), QCryptographicHash::Sha256).toHex());
}

QString UsernameKey(const QString& username) {
    return username.toLower();
}

bool AccountFromJson(const QJsonObject& o, Account& a) {
    a.username = o["username"].toString();
    a.fullName = o["fullName"].toString();
    a.passwordSalt = o["salt"].toString();
    a.passwordHash = o["passwordHash"].toString();
    a.admin = o["admin"].toBool();
    a.root = o["root"].toBool();
    a.banned = o["banned"].toBool();
    a.created = static_cast<qint64>(o["created"].toDouble(0));
    a.lastLogin = static_cast<qint64>(o["lastLogin"].toDouble(-1));
    a.identity = o["identity"].toString();
    return !a.username.isEmpty() && !a.passwordHash.isEmpty();
}

bool NetworkFromJson(const QJsonObject& o, Network& n) {
    n.number = Store::NormalizeNumber(o["number"].toString());
    n.name = o["name"].toString();
    n.flags = o["flags"].toInt(0);
    n.creationCode = o["creationCode"].toString();
    n.accountLimit = o["accountLimit"].toInt(1000);
    n.accountsPerIdentity = o["accountsPerIdentity"].toInt(5);
    for (const auto& v : o["bannedIdentities"].toArray()) n.bannedIdentities << v.toString();
    // The flags travel as 1..3 decimal digits.
    return !n.number.isEmpty() && n.flags >= 0 && n.flags <= 999;
}

bool ReadJson(const QString& path, QJsonDocument& doc, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) *error = QString("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    QJsonParseError parse{};
    doc = QJsonDocument::fromJson(file.readAll(), &parse);
    if (parse.error != QJsonParseError::NoError) {
        if (error) *error = QString("corrupt file %1: %2").arg(path, parse.errorString());
        return false;
    }
    return true;
}

// A text for a NOT NULL column: Qt binds a null QString as SQL NULL.
QVariant Text(const QString& text) {
    return text.isNull() ? QVariant(QString("")) : QVariant(text);
}

// Runs one statement that needs no bound values.
bool Run(QSqlDatabase& db, const QString& sql, QString* error = nullptr) {
    QSqlQuery q(db);
    if (q.exec(sql)) return true;
    if (error) *error = q.lastError().text();
    return false;
}

// The first value of a statement's first row, or an invalid value.
QVariant Scalar(QSqlDatabase& db, const QString& sql, QString* error) {
    QSqlQuery q(db);
    if (!q.exec(sql)) {
        if (error) *error = q.lastError().text();
        return {};
    }
    if (!q.next()) {
        if (error) *error = "no result";
        return {};
    }
    return q.value(0);
}

}  // namespace

// One transaction; rolled back unless committed. A commit that fails (a full
// disk, a read-only file) is rolled back too, so nothing half-done stays.
class Store::Transaction {
  public:
    explicit Transaction(QSqlDatabase db) : db_(std::move(db)), open_(db_.transaction()) {}
    ~Transaction() {
        if (open_) db_.rollback();
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    bool Started() const { return open_; }
    bool Commit() {
        if (!open_) return false;
        open_ = false;
        if (db_.commit()) return true;
        error_ = db_.lastError().text();
        db_.rollback();
        return false;
    }
    const QString& Error() const { return error_; }

  private:
    QSqlDatabase db_;
    bool open_;
    QString error_;
};

void Account::SetPassword(const QString& password) {
    passwordSalt = QString::number(QRandomGenerator::system()->generate64(), 16);
    passwordHash = HashPassword(passwordSalt, password);
}

bool Account::CheckPassword(const QString& password) const {
    return HashPassword(passwordSalt, password) == passwordHash;
}

Account* Network::FindAccount(const QString& username) {
    for (auto& a : accounts)
        if (a.username.compare(username, Qt::CaseInsensitive) == 0) return &a;
    return nullptr;
}

const Account* Network::FindAccount(const QString& username) const {
    return const_cast<Network*>(this)->FindAccount(username);
}

int Network::AccountsOfIdentity(const QString& identity) const {
    if (identity.isEmpty()) return 0;
    int count = 0;
    for (const auto& a : accounts) count += a.identity == identity ? 1 : 0;
    return count;
}

bool Network::IdentityBanned(const QString& identity) const {
    if (identity.isEmpty()) return false;
    if (bannedIdentities.contains(identity)) return true;
    for (const auto& a : accounts)
        if (a.banned && a.identity == identity) return true;
    return false;
}

Store::Store(QString dataDir)
    : dataDir_(QDir(dataDir).absolutePath()), flusher_(std::make_unique<Flusher>()) {
    // One connection name per store: two local networks may share a process.
    connectionName_ = QString("localnet-store-%1").arg(reinterpret_cast<quintptr>(this), 0, 16);
}

Store::~Store() {
    Close();
}

void Store::Close() {
    networks_.clear();
    if (!QSqlDatabase::contains(connectionName_)) return;
    flusher_->Flush();
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connectionName_);
}

QSqlDatabase Store::Database() const {
    return QSqlDatabase::database(connectionName_, false);
}

void Store::Note(const QString& line) const {
    if (log_) log_(line);
}

bool Store::Exec(QSqlQuery& query) {
    if (query.exec()) return true;
    lastError_ = query.lastError().text();
    return false;
}

bool Store::Begun(const Transaction& t) {
    if (t.Started()) return true;
    lastError_ = Database().lastError().text();
    return false;
}

bool Store::Commit(Transaction& t) {
    if (step_) step_("before commit");
    if (t.Commit()) {
        if (durable_) flusher_->Add(DatabasePath() + "-wal", true);
        if (step_) step_("after commit");
        return true;
    }
    lastError_ = t.Error();
    return false;
}

QString Store::NormalizeNumber(const QString& text) {
    QString digits;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c >= '0' && c <= '9') {
            digits += c;
        } else if (!(c == '.' && i == 3)) {
            return {};
        }
    }
    return digits.size() == 7 ? digits : QString();
}

QString Store::ResolvePath(const QString& relative) const {
    if (relative.isEmpty() || relative.startsWith('/') || relative.contains('\\') ||
        relative.contains(QChar(0)))
        return {};
    for (const auto& part : relative.split('/'))
        if (part == "..") return {};
    const QString full = QDir::cleanPath(dataDir_ + "/" + relative);
    if (!full.startsWith(dataDir_ + "/")) return {};
    return full;
}

bool MakeFolder(const QString& folder) {
    return QFileInfo(folder).isDir() || QDir().mkpath(folder);
}

bool Store::WriteFile(const QString& relative, const QByteArray& bytes) const {
    const QString path = ResolvePath(relative);
    if (path.isEmpty()) return false;
    if (!MakeFolder(QFileInfo(path).absolutePath())) return false;
    // Written beside its final name and renamed over it, so that a reader (or
    // a crash) sees the old file or the new one, never a mix. The flusher,
    // not this thread, waits for the disk.
    QTemporaryFile file(path + ".XXXXXX");
    if (!file.open()) return false;
    if (file.write(bytes) != bytes.size() || !file.flush()) return false;
    if (step_) step_("file written");
    file.close();
    ReleaseLater(path);
    if (std::rename(QFile::encodeName(file.fileName()).constData(),
                    QFile::encodeName(path).constData()) != 0)
        return false;
    file.setAutoRemove(false);
    FlushLater(path);
    if (step_) step_("file in place");
    return true;
}

void Store::FlushLater(const QString& absolutePath) const {
    if (durable_) flusher_->Add(absolutePath);
}

void Store::ReleaseLater(const QString& absolutePath) const {
    if (!durable_ || absolutePath.isEmpty()) return;
    const int fd = ::open(QFile::encodeName(absolutePath).constData(),
                          O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return;
    }
    flusher_->Release(fd);
}

bool Store::RemoveFile(const QString& absolutePath) const {
    if (absolutePath.isEmpty()) return true;
    ReleaseLater(absolutePath);
    return ::unlink(QFile::encodeName(absolutePath).constData()) == 0 || errno == ENOENT;
}

void Store::FlushNow() const {
    flusher_->Flush();
}

bool Store::Load(QString* error) {
    Close();
    if (!QDir().mkpath(dataDir_)) {
        if (error) *error = "cannot create the data folder " + dataDir_;
        return false;
    }
    if (!Open(error)) {
        Close();
        return false;
    }
    if (!ReadAll(error)) {
        Close();
        return false;
    }
    return true;
}

bool Store::Open(QString* error) {
    const QString path = DatabasePath();
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", connectionName_);
    if (!db.isValid()) {
        if (error) *error = "the SQLite driver of Qt SQL (QSQLITE) is not installed";
        return false;
    }
    // SQLite: wait briefly for a lock held by another reader of the file (a
    // backup, an inspection) instead of failing the request at once.
    QString options = "QSQLITE_BUSY_TIMEOUT=2000";
    const bool folderWritable = ::access(QFile::encodeName(dataDir_).constData(), W_OK) == 0;
    const bool exists = QFileInfo::exists(path);
    if (!folderWritable && !exists) {
        if (error)
            *error =
                QString("cannot create the database %1: the data folder is read-only").arg(path);
        return false;
    }
    // In a read-only folder SQLite cannot make the files its log needs; with
    // no log left behind the file is complete, and we serve it as it is:
    // every change is refused, as a read-only database refuses it.
    readOnly_ = !folderWritable && !QFileInfo::exists(path + "-wal");
    if (readOnly_) {
        db.setDatabaseName(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded) + "?immutable=1");
        options += ";QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI";
        Note(QString("the data folder %1 is read-only: changes will be refused").arg(dataDir_));
    } else {
        db.setDatabaseName(path);
    }
    db.setConnectOptions(options);
    if (!db.open()) {
        if (error)
            *error = QString("cannot open the database %1: %2").arg(path, db.lastError().text());
        return false;
    }

    // The SQLite-specific part of opening: the schema version lives in the
    // file header (user_version), the file's own check finds damage, and
    // write-ahead logging lets a crash lose at most the transaction under way.
    const QString corrupt =
        "the database %1 is corrupt or not a database (%2); move it away to "
        "start afresh, or put back a backup";
    QString why;
    const QVariant versionValue = Scalar(db, "PRAGMA user_version", &why);
    bool isNumber = false;
    const int version = versionValue.toInt(&isNumber);
    if (!versionValue.isValid() || !isNumber || version < 0) {
        if (error) *error = corrupt.arg(path, why.isEmpty() ? "no schema version" : why);
        return false;
    }
    if (version > kSchemaVersion) {
        if (error)
            *error = QString(
                         "the database %1 has schema version %2, newer than this "
                         "zorvic-localnet knows (%3); run a newer zorvic-localnet")
                         .arg(path)
                         .arg(version)
                         .arg(kSchemaVersion);
        return false;
    }
    const QVariant check = Scalar(db, "PRAGMA quick_check", &why);
    if (!check.isValid() || check.toString() != "ok") {
        if (error) *error = corrupt.arg(path, check.isValid() ? check.toString() : why);
        return false;
    }
    if (!Run(db, "PRAGMA foreign_keys = ON", &why)) {
        if (error) *error = QString("cannot turn on foreign keys in %1: %2").arg(path, why);
        return false;
    }
    if (readOnly_) {
        if (version < kSchemaVersion) {
            if (error)
                *error = QString(
                             "the database %1 needs schema version %2, but its folder is "
                             "read-only")
                             .arg(path)
                             .arg(kSchemaVersion);
            return false;
        }
        return true;
    }
    const QVariant mode = Scalar(db, "PRAGMA journal_mode = WAL", &why);
    if (mode.toString().compare("wal", Qt::CaseInsensitive) != 0) {
        if (error)
            *error = QString("cannot switch the database %1 to write-ahead logging: %2")
                         .arg(path, mode.isValid() ? mode.toString() : why);
        return false;
    }
    // A commit is whole once its log is written: a crash of the process
    // cannot lose it, and the flusher takes the log to the disk a moment
    // later instead of this thread waiting for it at every commit. A store
    // that need not last (a fuzzer's) never waits for the disk at all.
    if (!Run(db, durable_ ? "PRAGMA synchronous = NORMAL" : "PRAGMA synchronous = OFF", &why)) {
        if (error) *error = QString("cannot set the commit mode of %1: %2").arg(path, why);
        return false;
    }

    const bool firstFormat = QFileInfo::exists(dataDir_ + "/" + kFirstFormatNetworks);
    if (version < kSchemaVersion && !Migrate(version, error)) return false;
    if (firstFormat) {
        if (version > 0)
            Note(QString("%1 is left over from an earlier import; it is not imported again")
                     .arg(kFirstFormatNetworks));
        KeepFirstFormatAsBackup();
    }
    return true;
}

bool Store::Migrate(int from, QString* error) {
    QSqlDatabase db = Database();
    const auto& steps = Migrations();
    const auto fail = [&](const QString& why) {
        if (error)
            *error = QString("cannot bring the database %1 to schema version %2: %3")
                         .arg(DatabasePath())
                         .arg(kSchemaVersion)
                         .arg(why);
        return false;
    };
    // A new database gets every step, and the import of a first-format
    // folder, in one transaction: a crash on the way leaves version 0 and the
    // JSON files where they were, and the next start does it all again.
    const int firstStepAlone = from == 0 ? kSchemaVersion : from + 1;
    for (int v = from; v < kSchemaVersion;) {
        Transaction t(db);
        if (!t.Started()) return fail(db.lastError().text());
        const int until = v == from ? firstStepAlone : v + 1;
        QString why;
        for (; v < until; ++v)
            for (const char* sql : steps[static_cast<size_t>(v)])
                if (!Run(db, sql, &why)) return fail(why);
        int networks = 0, accounts = 0;
        const bool import = from == 0 && QFileInfo::exists(dataDir_ + "/" + kFirstFormatNetworks);
        if (import && !ImportFirstFormat(&networks, &accounts, error)) return false;
        if (!Run(db, QString("PRAGMA user_version = %1").arg(v), &why)) return fail(why);
        if (!t.Commit()) return fail(db.lastError().text());
        if (import)
            Note(QString("imported %1 networks and %2 accounts of the JSON format; its files "
                         "are kept in %3")
                     .arg(networks)
                     .arg(accounts)
                     .arg(kBackupFolder));
    }
    return true;
}

bool Store::PrepareTables(const QString& owner, const std::vector<std::vector<QString>>& steps,
                          QString* error) {
    QSqlDatabase db = Database();
    QString why;
    const auto fail = [&](const QString& reason) {
        if (error)
            *error = QString("cannot bring the tables of %1 in the database %2 up to date: %3")
                         .arg(owner, DatabasePath(), reason);
        return false;
    };
    QSqlQuery read(db);
    read.prepare("SELECT version FROM service_tables WHERE owner = ?");
    read.addBindValue(owner);
    if (!read.exec()) return fail(read.lastError().text());
    const int version = read.next() ? read.value(0).toInt() : 0;
    read.finish();
    const int latest = static_cast<int>(steps.size());
    if (version > latest)
        return fail(QString("they are at version %1, newer than this zorvic-localnet knows (%2)")
                        .arg(version)
                        .arg(latest));
    if (version == latest) return true;
    if (readOnly_) return fail("the data folder is read-only");
    // Each step is one transaction, recorded with its tables.
    for (int v = version; v < latest; ++v) {
        Transaction t(db);
        if (!t.Started()) return fail(db.lastError().text());
        for (const QString& sql : steps[static_cast<size_t>(v)])
            if (!Run(db, sql, &why)) return fail(why);
        QSqlQuery record(db);
        record.prepare(
            "INSERT INTO service_tables (owner, version) VALUES (?, ?) "
            "ON CONFLICT (owner) DO UPDATE SET version = excluded.version");
        record.addBindValue(owner);
        record.addBindValue(v + 1);
        if (!record.exec()) return fail(record.lastError().text());
        if (!t.Commit()) return fail(t.Error());
    }
    return true;
}

bool Store::Write(const std::function<bool(QSqlDatabase&)>& work) {
    if (readOnly_) {
        lastError_ = "the data folder is read-only";
        return false;
    }
    QSqlDatabase db = Database();
    Transaction t(db);
    if (!Begun(t)) return false;
    if (!work(db)) {
        if (lastError_.isEmpty()) lastError_ = db.lastError().text();
        return false;
    }
    return Commit(t);
}

bool Store::ImportFirstFormat(int* networks, int* accounts, QString* error) {
    QJsonDocument doc;
    if (!ReadJson(dataDir_ + "/" + kFirstFormatNetworks, doc, error)) return false;
    QStringList seen;
    for (const auto& v : doc.object()["networks"].toArray()) {
        Network network;
        // Entries the first format skipped on reading stay skipped.
        if (!NetworkFromJson(v.toObject(), network) || seen.contains(network.number)) continue;
        const QString path =
            ResolvePath(NetworkFolder(network.number) + "/" + kFirstFormatAccounts);
        if (QFileInfo::exists(path)) {
            QJsonDocument accountsDoc;
            if (!ReadJson(path, accountsDoc, error)) return false;
            for (const auto& a : accountsDoc.object()["accounts"].toArray()) {
                Account account;
                if (AccountFromJson(a.toObject(), account) &&
                    !network.FindAccount(account.username))
                    network.accounts.push_back(std::move(account));
            }
        }
        if (!InsertNetwork(network)) {
            if (error)
                *error = QString("cannot import network %1 into %2: %3")
                             .arg(network.number, DatabasePath(), lastError_);
            return false;
        }
        seen << network.number;
        *networks += 1;
        *accounts += static_cast<int>(network.accounts.size());
    }
    return true;
}

void Store::KeepFirstFormatAsBackup() {
    // Moved, not deleted: the JSON files stay readable beside the database.
    QStringList files{kFirstFormatNetworks};
    QDirIterator it(dataDir_ + "/networks", {kFirstFormatAccounts}, QDir::Files,
                    QDirIterator::Subdirectories);
    const QDir data(dataDir_);
    while (it.hasNext()) files << data.relativeFilePath(it.next());
    for (const QString& relative : files) {
        const QString from = dataDir_ + "/" + relative;
        if (!QFileInfo(from).isFile()) continue;
        QString to = dataDir_ + "/" + kBackupFolder + "/" + relative;
        for (int n = 1; QFileInfo::exists(to); ++n)
            to = dataDir_ + "/" + kBackupFolder + "/" + relative + "." + QString::number(n);
        if (!QDir().mkpath(QFileInfo(to).absolutePath()) || !QFile::rename(from, to))
            Note(QString("cannot move %1 into %2; it will not be imported again")
                     .arg(relative, kBackupFolder));
    }
}

bool Store::ReadAll(QString* error) {
    QSqlDatabase db = Database();
    const auto fail = [&](const QString& why) {
        networks_.clear();
        if (error) *error = QString("cannot read the database %1: %2").arg(DatabasePath(), why);
        return false;
    };
    std::map<QString, Network*> byNumber;
    {
        QSqlQuery q(db);
        if (!q.exec("SELECT number, name, flags, creation_code, account_limit, "
                    "accounts_per_identity FROM networks ORDER BY number"))
            return fail(q.lastError().text());
        while (q.next()) {
            auto n = std::make_unique<Network>();
            n->number = q.value(0).toString();
            n->name = q.value(1).toString();
            n->flags = q.value(2).toInt();
            n->creationCode = q.value(3).toString();
            n->accountLimit = q.value(4).toInt();
            n->accountsPerIdentity = q.value(5).toInt();
            if (NormalizeNumber(n->number) != n->number || n->flags < 0 || n->flags > 999)
                return fail("a network row is invalid: " + n->number);
            byNumber[n->number] = n.get();
            networks_.push_back(std::move(n));
        }
    }
    {
        QSqlQuery q(db);
        if (!q.exec("SELECT network, username, full_name, password_salt, password_hash, admin, "
                    "root, banned, created, last_login, identity FROM accounts "
                    "ORDER BY network, seq"))
            return fail(q.lastError().text());
        while (q.next()) {
            const auto owner = byNumber.find(q.value(0).toString());
            if (owner == byNumber.end()) return fail("an account belongs to no network");
            Account a;
            a.username = q.value(1).toString();
            a.fullName = q.value(2).toString();
            a.passwordSalt = q.value(3).toString();
            a.passwordHash = q.value(4).toString();
            a.admin = q.value(5).toInt() != 0;
            a.root = q.value(6).toInt() != 0;
            a.banned = q.value(7).toInt() != 0;
            a.created = q.value(8).toLongLong();
            a.lastLogin = q.value(9).toLongLong();
            a.identity = q.value(10).toString();
            if (a.username.isEmpty() || a.passwordHash.isEmpty())
                return fail("an account row is invalid in network " + owner->first);
            owner->second->accounts.push_back(std::move(a));
        }
    }
    {
        QSqlQuery q(db);
        if (!q.exec("SELECT network, identity FROM banned_identities ORDER BY network, identity"))
            return fail(q.lastError().text());
        while (q.next()) {
            const auto owner = byNumber.find(q.value(0).toString());
            if (owner != byNumber.end()) owner->second->bannedIdentities << q.value(1).toString();
        }
    }
    return true;
}

bool Store::InsertNetwork(const Network& n) {
    QSqlQuery q(Database());
    q.prepare(
        "INSERT INTO networks (number, name, flags, creation_code, account_limit, "
        "accounts_per_identity) VALUES (?, ?, ?, ?, ?, ?)");
    q.addBindValue(Text(n.number));
    q.addBindValue(Text(n.name));
    q.addBindValue(n.flags);
    q.addBindValue(Text(n.creationCode));
    q.addBindValue(n.accountLimit);
    q.addBindValue(n.accountsPerIdentity);
    if (!Exec(q)) return false;
    for (const Account& a : n.accounts)
        if (!InsertAccount(n.number, a)) return false;
    return WriteBannedIdentities(n);
}

bool Store::InsertAccount(const QString& number, const Account& a) {
    QSqlDatabase db = Database();
    qlonglong seq = 0;
    {
        QSqlQuery next(db);
        next.prepare("SELECT COALESCE(MAX(seq), -1) + 1 FROM accounts WHERE network = ?");
        next.addBindValue(Text(number));
        if (!Exec(next) || !next.next()) return false;
        seq = next.value(0).toLongLong();
    }
    QSqlQuery q(db);
    q.prepare(
        "INSERT INTO accounts (network, username_key, seq, username, full_name, "
        "password_salt, password_hash, admin, root, banned, created, last_login, identity) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    q.addBindValue(Text(number));
    q.addBindValue(Text(UsernameKey(a.username)));
    q.addBindValue(seq);
    q.addBindValue(Text(a.username));
    q.addBindValue(Text(a.fullName));
    q.addBindValue(Text(a.passwordSalt));
    q.addBindValue(Text(a.passwordHash));
    q.addBindValue(a.admin ? 1 : 0);
    q.addBindValue(a.root ? 1 : 0);
    q.addBindValue(a.banned ? 1 : 0);
    q.addBindValue(static_cast<qlonglong>(a.created));
    q.addBindValue(static_cast<qlonglong>(a.lastLogin));
    q.addBindValue(Text(a.identity));
    return Exec(q);
}

bool Store::WriteBannedIdentities(const Network& n) {
    QSqlDatabase db = Database();
    QSqlQuery clear(db);
    clear.prepare("DELETE FROM banned_identities WHERE network = ?");
    clear.addBindValue(Text(n.number));
    if (!Exec(clear)) return false;
    QStringList written;
    for (const QString& identity : n.bannedIdentities) {
        if (written.contains(identity)) continue;
        QSqlQuery q(db);
        q.prepare("INSERT INTO banned_identities (network, identity) VALUES (?, ?)");
        q.addBindValue(Text(n.number));
        q.addBindValue(Text(identity));
        if (!Exec(q)) return false;
        written << identity;
    }
    return true;
}

Network* Store::FindNetwork(const QString& number) {
    const QString normal = NormalizeNumber(number);
    if (normal.isEmpty()) return nullptr;
    for (auto& n : networks_)
        if (n->number == normal) return n.get();
    return nullptr;
}

bool Store::AddNetwork(Network network) {
    network.number = NormalizeNumber(network.number);
    if (network.number.isEmpty() || FindNetwork(network.number)) return false;
    Transaction t(Database());
    if (!Begun(t) || !InsertNetwork(network) || !Commit(t)) {
        Note("cannot store network " + network.number + ": " + lastError_);
        return false;
    }
    networks_.push_back(std::make_unique<Network>(std::move(network)));
    return true;
}

bool Store::AddAccount(Network& network, Account account) {
    if (network.FindAccount(account.username)) return false;
    Transaction t(Database());
    if (!Begun(t) || !InsertAccount(network.number, account) || !Commit(t)) {
        Note("cannot store account " + account.username + ": " + lastError_);
        return false;
    }
    network.accounts.push_back(std::move(account));
    return true;
}

bool Store::UpdateAccount(Network& network, const QString& username,
                          const std::function<void(Account&)>& change) {
    Account* current = network.FindAccount(username);
    if (!current) return false;
    Account changed = *current;
    change(changed);
    if (changed.username.isEmpty()) return false;
    const Account* other = network.FindAccount(changed.username);
    if (other && other != current) return false;
    Transaction t(Database());
    if (!Begun(t)) {
        Note("cannot store account " + current->username + ": " + lastError_);
        return false;
    }
    QSqlQuery q(Database());
    q.prepare(
        "UPDATE accounts SET username_key = ?, username = ?, full_name = ?, "
        "password_salt = ?, password_hash = ?, admin = ?, root = ?, banned = ?, "
        "created = ?, last_login = ?, identity = ? WHERE network = ? AND username_key = ?");
    q.addBindValue(Text(UsernameKey(changed.username)));
    q.addBindValue(Text(changed.username));
    q.addBindValue(Text(changed.fullName));
    q.addBindValue(Text(changed.passwordSalt));
    q.addBindValue(Text(changed.passwordHash));
    q.addBindValue(changed.admin ? 1 : 0);
    q.addBindValue(changed.root ? 1 : 0);
    q.addBindValue(changed.banned ? 1 : 0);
    q.addBindValue(static_cast<qlonglong>(changed.created));
    q.addBindValue(static_cast<qlonglong>(changed.lastLogin));
    q.addBindValue(Text(changed.identity));
    q.addBindValue(Text(network.number));
    q.addBindValue(Text(UsernameKey(current->username)));
    if (!Exec(q) || q.numRowsAffected() != 1 || !Commit(t)) {
        Note("cannot store account " + current->username + ": " + lastError_);
        return false;
    }
    *current = std::move(changed);
    return true;
}

bool Store::RemoveAccount(Network& network, const QString& username) {
    Account* current = network.FindAccount(username);
    if (!current) return false;
    Transaction t(Database());
    if (!Begun(t)) {
        Note("cannot remove account " + current->username + ": " + lastError_);
        return false;
    }
    QSqlQuery q(Database());
    q.prepare("DELETE FROM accounts WHERE network = ? AND username_key = ?");
    q.addBindValue(Text(network.number));
    q.addBindValue(Text(UsernameKey(current->username)));
    if (!Exec(q) || q.numRowsAffected() != 1 || !Commit(t)) {
        Note("cannot remove account " + current->username + ": " + lastError_);
        return false;
    }
    network.accounts.erase(network.accounts.begin() + (current - network.accounts.data()));
    return true;
}

bool Store::UpdateNetwork(Network& network, const std::function<void(Network&)>& change) {
    Network changed;
    changed.number = network.number;
    changed.name = network.name;
    changed.flags = network.flags;
    changed.creationCode = network.creationCode;
    changed.accountLimit = network.accountLimit;
    changed.accountsPerIdentity = network.accountsPerIdentity;
    changed.bannedIdentities = network.bannedIdentities;
    change(changed);
    if (changed.flags < 0 || changed.flags > 999) return false;
    Transaction t(Database());
    if (!Begun(t)) {
        Note("cannot store network " + network.number + ": " + lastError_);
        return false;
    }
    QSqlQuery q(Database());
    q.prepare(
        "UPDATE networks SET name = ?, flags = ?, creation_code = ?, account_limit = ?, "
        "accounts_per_identity = ? WHERE number = ?");
    q.addBindValue(Text(changed.name));
    q.addBindValue(changed.flags);
    q.addBindValue(Text(changed.creationCode));
    q.addBindValue(changed.accountLimit);
    q.addBindValue(changed.accountsPerIdentity);
    q.addBindValue(Text(network.number));
    if (!Exec(q) || q.numRowsAffected() != 1 || !WriteBannedIdentities(changed) || !Commit(t)) {
        Note("cannot store network " + network.number + ": " + lastError_);
        return false;
    }
    network.name = changed.name;
    network.flags = changed.flags;
    network.creationCode = changed.creationCode;
    network.accountLimit = changed.accountLimit;
    network.accountsPerIdentity = changed.accountsPerIdentity;
    network.bannedIdentities = changed.bannedIdentities;
    return true;
}

}  // namespace localnet
