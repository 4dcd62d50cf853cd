// The store's database: the one-time import of a JSON data folder, start-up
// refusing a damaged or newer database, writes that fail (read-only, full)
// leaving memory and database agreeing, and a crash in the middle of writes.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <cstdio>

#include "TestClient.h"
#include "server/core/Store.h"
#include "support/TempDir.h"
#include "support/qt/LocalNetworkFixture.h"

namespace servertest {
namespace {

using namespace std::chrono_literals;
using localnet::Account;
using localnet::Network;
using localnet::Store;
using net::Primary;
using net::Secondary;
using ::testing::HasSubstr;

// ---------------------------------------------------------------------------
// The JSON format that came before the database, written the way its store
// wrote it: networks.json, and networks/<number>/accounts.json.

QJsonObject JsonAccount(const QString& username, const QString& password, bool admin, bool root,
                        bool banned, qint64 created, qint64 lastLogin, const QString& identity) {
    const QString salt = "5a17" + username;
    QJsonObject o;
    o["username"] = username;
    o["fullName"] = "Full " + username;
    o["salt"] = salt;
    o["passwordHash"] = QString::fromLatin1(
        QCryptographicHash::hash((salt + password).toUtf8(), QCryptographicHash::Sha256).toHex());
    o["admin"] = admin;
    o["root"] = root;
    o["banned"] = banned;
    o["created"] = static_cast<double>(created);
    o["lastLogin"] = static_cast<double>(lastLogin);
    o["identity"] = identity;
    return o;
}

bool WriteJson(const QString& path, const QJsonObject& root) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(QJsonDocument(root).toJson()) > 0;
}

void WriteFirstFormat(const QString& dir) {
    QJsonObject demo;
    demo["number"] = "1234567";
    demo["name"] = "Old Demo";
    demo["flags"] = 0;
    demo["creationCode"] = "";
    demo["accountLimit"] = 7;
    demo["accountsPerIdentity"] = 3;
    demo["bannedIdentities"] = QJsonArray{"evil-install"};
    QJsonObject members;
    members["number"] = "765.4321";
    members["name"] = "Old Members";
    members["flags"] = 2;
    members["creationCode"] = "welcome";
    members["accountLimit"] = 1000;
    members["accountsPerIdentity"] = 5;
    members["bannedIdentities"] = QJsonArray{};
    QJsonObject invalid;  // skipped by the old reader, and by the import
    invalid["number"] = "12";
    ASSERT_TRUE(WriteJson(dir + "/networks.json",
                          QJsonObject{{"networks", QJsonArray{demo, members, invalid}}}));
    ASSERT_TRUE(WriteJson(
        dir + "/networks/1234567/accounts.json",
        QJsonObject{
            {"accounts", QJsonArray{
                             JsonAccount("alice", "alicepass", false, false, false, 1600000000,
                                         1700000000, "id-alice"),
                             JsonAccount("root", "rootpass", true, true, false, 1600000001, -1, ""),
                             // A second alice: the old reader kept the first.
                             JsonAccount("Alice", "other", false, false, false, 1, 1, "id-x"),
                         }}}));
    ASSERT_TRUE(WriteJson(
        dir + "/networks/7654321/accounts.json",
        QJsonObject{{"accounts", QJsonArray{JsonAccount("bob", "bobpass", false, false, true,
                                                        1600000002, -1, "id-bob")}}}));
}

int32_t CreateAccount(quint16 port, const std::string& username, const std::string& identity) {
    TestClient client;
    if (!client.Connect(port)) return -1;
    auto m = CreationEnvelope("1234567", "New Person", username, "newpass", identity, "none");
    client.SendRaw(QByteArray(reinterpret_cast<const char*>(m->data), m->remaining));
    auto reply = client.Receive();
    return reply && reply->header.nDescPrimary == +Primary::Account ? reply->code : -1;
}

// Runs one statement on the store's own connection.
QVariant Sql(Store& store, const QString& statement) {
    QSqlQuery q(store.Database());
    if (!q.exec(statement)) return QVariant();
    return q.next() ? q.value(0) : QVariant(true);
}

class StoreTest : public ::testing::Test {
  protected:
    void SetUp() override { server.Options().seedDemo = false; }
    QString Data() const { return QString::fromStdString(server.DataDir()) + "/localnet"; }
    Store& GetStore() { return server.Network().GetStore(); }

    testsupport::LocalNetworkFixture server;
};

TEST_F(StoreTest, JsonFolderIsImportedOnceAndKeptAsBackup) {
    WriteFirstFormat(Data());
    ASSERT_TRUE(server.Start());

    Network* demo = GetStore().FindNetwork("1234567");
    Network* members = GetStore().FindNetwork("7654321");
    ASSERT_TRUE(demo && members);
    EXPECT_EQ(GetStore().Networks().size(), 2u);
    EXPECT_EQ(demo->name, "Old Demo");
    EXPECT_EQ(demo->accountLimit, 7);
    EXPECT_EQ(demo->accountsPerIdentity, 3);
    EXPECT_EQ(demo->bannedIdentities, QStringList{"evil-install"});
    EXPECT_EQ(members->flags, 2);
    EXPECT_EQ(members->creationCode, "welcome");
    ASSERT_EQ(demo->accounts.size(), 2u);
    const Account& alice = demo->accounts[0];
    EXPECT_EQ(alice.username, "alice");
    EXPECT_EQ(alice.fullName, "Full alice");
    EXPECT_EQ(alice.created, 1600000000);
    EXPECT_EQ(alice.lastLogin, 1700000000);
    EXPECT_EQ(alice.identity, "id-alice");
    EXPECT_TRUE(alice.CheckPassword("alicepass"));

    // The imported passwords and rights work over the wire.
    TestClient root;
    ASSERT_TRUE(root.Connect(server.NetworkPort()));
    root.SendLogin("1234567", "root", "rootpass");
    auto ok = root.Receive();
    ASSERT_TRUE(ok);
    ASSERT_TRUE(ok->Is(Primary::Login, Secondary::Response, net::login::kLoginOK));
    int32_t admin = -1, isRoot = -1;
    auto f = ok->Reader();
    ASSERT_TRUE(f.Int(0, 1, admin) && f.Int(0, 1, isRoot));
    EXPECT_EQ(admin + isRoot, 2);
    TestClient bob;
    ASSERT_TRUE(bob.Connect(server.NetworkPort()));
    bob.SendLogin("7654321", "bob", "bobpass");
    auto refused = bob.Receive();
    ASSERT_TRUE(refused);
    EXPECT_TRUE(
        refused->Is(Primary::Control, Secondary::Notification, net::control::kNotifyDisconnect));

    // The JSON files moved aside, whole.
    EXPECT_FALSE(QFile::exists(Data() + "/networks.json"));
    EXPECT_FALSE(QFile::exists(Data() + "/networks/1234567/accounts.json"));
    EXPECT_TRUE(QFile::exists(Data() + "/json-backup/networks.json"));
    EXPECT_TRUE(QFile::exists(Data() + "/json-backup/networks/1234567/accounts.json"));
    EXPECT_TRUE(QFile::exists(Data() + "/json-backup/networks/7654321/accounts.json"));

    // A later start reads the database only, even with the old file put back.
    ASSERT_EQ(CreateAccount(server.NetworkPort(), "dora", "id-dora"), net::account::kCreated);
    ASSERT_TRUE(QFile::copy(Data() + "/json-backup/networks.json", Data() + "/networks.json"));
    ASSERT_TRUE(server.Restart());
    demo = GetStore().FindNetwork("1234567");
    ASSERT_TRUE(demo);
    EXPECT_EQ(demo->name, "Old Demo");
    EXPECT_EQ(demo->accounts.size(), 3u);
    EXPECT_TRUE(demo->FindAccount("dora"));
    EXPECT_FALSE(QFile::exists(Data() + "/networks.json"));
    EXPECT_TRUE(QFile::exists(Data() + "/json-backup/networks.json.1"));
    TestClient dora;
    EXPECT_TRUE(dora.Login(server.NetworkPort(), "1234567", "dora", "newpass"));
}

TEST(StoreStartTest, CorruptJsonFolderStopsStartUpUntilMended) {
    testsupport::TempDir dir;
    const QString data = QString::fromStdString(dir.path());
    WriteFirstFormat(data);
    const QString accounts = data + "/networks/7654321/accounts.json";
    QFile::remove(accounts);
    ASSERT_TRUE(testsupport::WriteFile(accounts.toStdString(), "{\"accounts\": [ {"));
    {
        Store store(data);
        QString error;
        EXPECT_FALSE(store.Load(&error));
        EXPECT_THAT(error.toStdString(), HasSubstr("corrupt file"));
        EXPECT_THAT(error.toStdString(), HasSubstr("accounts.json"));
    }
    // Nothing was half-imported or moved: mended, the next start imports all.
    EXPECT_TRUE(QFile::exists(data + "/networks.json"));
    WriteFirstFormat(data);
    Store store(data);
    QString error;
    ASSERT_TRUE(store.Load(&error)) << error.toStdString();
    ASSERT_TRUE(store.FindNetwork("7654321"));
    EXPECT_EQ(store.FindNetwork("7654321")->accounts.size(), 1u);
    EXPECT_EQ(store.FindNetwork("1234567")->accounts.size(), 2u);
}

TEST(StoreStartTest, TwoStoresInOneProcessKeepToTheirOwnDatabases) {
    testsupport::TempDir one, two;
    Store first(QString::fromStdString(one.path()));
    Store second(QString::fromStdString(two.path()));
    QString error;
    ASSERT_TRUE(first.Load(&error) && second.Load(&error)) << error.toStdString();
    Network n;
    n.number = "1234567";
    ASSERT_TRUE(first.AddNetwork(n));
    n.number = "7654321";
    ASSERT_TRUE(second.AddNetwork(n));
    EXPECT_EQ(Sql(first, "SELECT number FROM networks").toString(), "1234567");
    EXPECT_EQ(Sql(second, "SELECT number FROM networks").toString(), "7654321");
    first.Close();
    EXPECT_EQ(Sql(second, "SELECT COUNT(*) FROM networks").toInt(), 1);
}

TEST(StoreStartTest, CommitsGoToTheDiskByTheFlusherUnlessToldNotTo) {
    testsupport::TempDir durable, fast;
    Store kept(QString::fromStdString(durable.path()));
    Store quick(QString::fromStdString(fast.path()));
    quick.SetDurable(false);
    QString error;
    ASSERT_TRUE(kept.Load(&error) && quick.Load(&error)) << error.toStdString();
    EXPECT_EQ(Sql(kept, "PRAGMA synchronous").toInt(), 1) << "NORMAL: the flusher syncs the log";
    EXPECT_EQ(Sql(quick, "PRAGMA synchronous").toInt(), 0);
}

TEST(StoreStartTest, DamagedOrNewerDatabaseStopsStartUp) {
    testsupport::TempDir dir;
    const QString data = QString::fromStdString(dir.path());
    const std::string file = dir.file(Store::kDatabaseFile);
    QString error;
    {
        SCOPED_TRACE("not a database at all");
        const std::string garbage(8192, 'g');
        ASSERT_TRUE(testsupport::WriteFile(file, garbage));
        Store store(data);
        EXPECT_FALSE(store.Load(&error));
        EXPECT_THAT(error.toStdString(), HasSubstr("corrupt or not a database"));
        EXPECT_EQ(testsupport::ReadFile(file), garbage) << "the file is left alone";
        QFile::remove(QString::fromStdString(file));
    }
    {
        SCOPED_TRACE("a database of a later schema");
        {
            Store store(data);
            ASSERT_TRUE(store.Load(&error));
            ASSERT_TRUE(Sql(store, "PRAGMA user_version = 7").isValid());
        }
        Store store(data);
        EXPECT_FALSE(store.Load(&error));
        EXPECT_THAT(error.toStdString(), HasSubstr("schema version 7, newer than"));
        QFile::remove(QString::fromStdString(file));
    }
    {
        SCOPED_TRACE("damaged pages");
        {
            Store store(data);
            ASSERT_TRUE(store.Load(&error));
            Network n;
            n.number = "1234567";
            for (int i = 0; i < 300; ++i) {
                Account a;
                a.username = QString("user%1").arg(i);
                a.fullName = QString(40, 'n');
                a.SetPassword("pw");
                n.accounts.push_back(a);
            }
            ASSERT_TRUE(store.AddNetwork(n));
        }
        // Closing the last connection folded the log into the file.
        std::string bytes = testsupport::ReadFile(file);
        ASSERT_GT(bytes.size(), 4u * 4096);
        for (size_t i = 2 * 4096; i < 4 * 4096; ++i) bytes[i] = static_cast<char>(0x5a);
        ASSERT_TRUE(testsupport::WriteFile(file, bytes));
        Store store(data);
        EXPECT_FALSE(store.Load(&error));
        EXPECT_THAT(error.toStdString(), HasSubstr("corrupt"));
    }
}

TEST(StoreStartTest, ServiceTablesGrowStepByStepAndWritesAreWholeOrNothing) {
    testsupport::TempDir dir;
    const QString data = QString::fromStdString(dir.path());
    const std::vector<std::vector<QString>> first = {
        {"CREATE TABLE notes (id INTEGER PRIMARY KEY, text TEXT NOT NULL)"}};
    std::vector<std::vector<QString>> second = first;
    second.push_back({"ALTER TABLE notes ADD COLUMN pinned INTEGER NOT NULL DEFAULT 0"});
    QString error;
    {
        Store store(data);
        ASSERT_TRUE(store.Load(&error)) << error.toStdString();
        ASSERT_TRUE(store.PrepareTables("notes", first, &error)) << error.toStdString();
        // Again at the same version: nothing runs (a second CREATE would fail).
        ASSERT_TRUE(store.PrepareTables("notes", first, &error)) << error.toStdString();
        EXPECT_TRUE(store.Write([](QSqlDatabase& db) {
            return QSqlQuery(db).exec("INSERT INTO notes (id, text) VALUES (1, 'kept')");
        }));
        // A write whose work fails leaves nothing behind.
        EXPECT_FALSE(store.Write([](QSqlDatabase& db) {
            QSqlQuery(db).exec("INSERT INTO notes (id, text) VALUES (2, 'rolled back')");
            return false;
        }));
        EXPECT_EQ(Sql(store, "SELECT COUNT(*) FROM notes").toInt(), 1);
    }
    {
        SCOPED_TRACE("a later build adds a step; another owner counts apart");
        Store store(data);
        ASSERT_TRUE(store.Load(&error)) << error.toStdString();
        ASSERT_TRUE(store.PrepareTables("notes", second, &error)) << error.toStdString();
        EXPECT_EQ(Sql(store, "SELECT pinned FROM notes WHERE id = 1").toInt(), 0);
        ASSERT_TRUE(store.PrepareTables("other", {{"CREATE TABLE other (x INTEGER)"}}, &error));
        EXPECT_EQ(Sql(store, "SELECT version FROM service_tables WHERE owner = 'notes'").toInt(), 2);
        EXPECT_EQ(Sql(store, "SELECT version FROM service_tables WHERE owner = 'other'").toInt(), 1);
    }
    {
        SCOPED_TRACE("an older build meets tables newer than it knows");
        Store store(data);
        ASSERT_TRUE(store.Load(&error)) << error.toStdString();
        EXPECT_FALSE(store.PrepareTables("notes", first, &error));
        EXPECT_THAT(error.toStdString(), HasSubstr("version 2, newer than"));
    }
}

TEST_F(StoreTest, RefusedWritesLeaveMemoryAndDatabaseAgreeing) {
    server.Options().seedDemo = true;
    ASSERT_TRUE(server.Start());
    Store& store = GetStore();
    Network& demo = *store.FindNetwork("1234567");
    const auto storedLastLogin = [&](const QString& username) {
        return Sql(store, "SELECT last_login FROM accounts WHERE username_key = '" + username +
                              "' AND network = '1234567'")
            .toLongLong();
    };
    const auto storedAccounts = [&] {
        return Sql(store, "SELECT COUNT(*) FROM accounts WHERE network = '1234567'").toInt();
    };
    {
        SCOPED_TRACE("read-only database");
        ASSERT_TRUE(Sql(store, "PRAGMA query_only = ON").isValid());
        EXPECT_EQ(CreateAccount(server.NetworkPort(), "dora", "id-dora"),
                  net::account::kCreateFailed);
        EXPECT_FALSE(demo.FindAccount("dora"));
        // The login stands; only its time is not kept, in memory either.
        TestClient alice;
        EXPECT_TRUE(alice.Login(server.NetworkPort(), "1234567", "alice", "alicepass"));
        EXPECT_EQ(demo.FindAccount("alice")->lastLogin, -1);
        EXPECT_FALSE(store.UpdateNetwork(demo, [](Network& n) { n.name = "Renamed"; }));
        EXPECT_EQ(demo.name, "Demo Network");
        ASSERT_TRUE(Sql(store, "PRAGMA query_only = OFF").isValid());
        EXPECT_EQ(storedLastLogin("alice"), -1);
    }
    {
        SCOPED_TRACE("full database");
        const int pages = Sql(store, "PRAGMA page_count").toInt();
        ASSERT_TRUE(Sql(store, QString("PRAGMA max_page_count = %1").arg(pages + 1)).isValid());
        int created = 0;
        int32_t code = net::account::kCreated;
        for (int i = 0; i < 400 && code == net::account::kCreated; ++i) {
            code = CreateAccount(server.NetworkPort(), "user" + std::to_string(i),
                                 "install-" + std::to_string(i));
            created += code == net::account::kCreated ? 1 : 0;
        }
        EXPECT_EQ(code, net::account::kCreateFailed) << "never filled up";
        EXPECT_EQ(static_cast<int>(demo.accounts.size()), storedAccounts());
        // The next request is answered as ever.
        TestClient bob;
        EXPECT_TRUE(bob.Login(server.NetworkPort(), "1234567", "bob", "bobpass"));
        ASSERT_TRUE(Sql(store, "PRAGMA max_page_count = 1000000").isValid());
        EXPECT_EQ(CreateAccount(server.NetworkPort(), "later", "install-later"),
                  net::account::kCreated);
        EXPECT_EQ(static_cast<int>(demo.accounts.size()), storedAccounts());
        EXPECT_GT(created, 0);
    }
    // A restart reads exactly what memory held.
    const size_t inMemory = demo.accounts.size();
    ASSERT_TRUE(server.Restart());
    EXPECT_EQ(GetStore().FindNetwork("1234567")->accounts.size(), inMemory);
    EXPECT_EQ(GetStore().FindNetwork("1234567")->name, "Demo Network");
}

// A small file system of its own, so that the disk really fills up. Needs
// the right to mount; skipped where that is not given.
class TinyDisk {
  public:
    explicit TinyDisk(const QString& path) : path_(path) {
        QDir().mkpath(path_);
        mounted_ = ::mount("tmpfs", path_.toLocal8Bit().constData(), "tmpfs", 0, "size=2m") == 0;
    }
    ~TinyDisk() {
        if (mounted_) ::umount2(path_.toLocal8Bit().constData(), MNT_DETACH);
    }
    bool Mounted() const { return mounted_; }
    bool Remount(bool readOnly) const {
        return ::mount(nullptr, path_.toLocal8Bit().constData(), nullptr,
                       MS_REMOUNT | (readOnly ? MS_RDONLY : 0), "size=2m") == 0;
    }
    // Writes until the disk is full; returns the filler's path.
    QString Fill() const {
        const QString filler = path_ + "/filler";
        QFile file(filler);
        if (!file.open(QIODevice::WriteOnly)) return filler;
        const QByteArray block(4096, 'f');
        while (file.write(block) == block.size() && file.flush()) {
        }
        return filler;
    }

  private:
    QString path_;
    bool mounted_ = false;
};

TEST_F(StoreTest, FullDiskRefusesTheChangeAndTheServerGoesOn) {
    TinyDisk disk(QString::fromStdString(server.DataDir()) + "/disk");
    if (!disk.Mounted()) GTEST_SKIP() << "cannot mount a small file system here";
    server.Options().dataDir = QString::fromStdString(server.DataDir()) + "/disk/localnet";
    server.Options().seedDemo = true;
    ASSERT_TRUE(server.Start());
    const QString filler = disk.Fill();
    EXPECT_EQ(CreateAccount(server.NetworkPort(), "dora", "id-dora"), net::account::kCreateFailed);
    Network& demo = *GetStore().FindNetwork("1234567");
    EXPECT_FALSE(demo.FindAccount("dora"));
    TestClient bob;
    EXPECT_TRUE(bob.Login(server.NetworkPort(), "1234567", "bob", "bobpass"));
    ASSERT_TRUE(QFile::remove(filler));
    EXPECT_EQ(CreateAccount(server.NetworkPort(), "dora", "id-dora"), net::account::kCreated);
    ASSERT_TRUE(server.Restart());
    EXPECT_TRUE(GetStore().FindNetwork("1234567")->FindAccount("dora"));
    server.Stop();
}

TEST_F(StoreTest, ReadOnlyFolderServesLoginsAndRefusesChanges) {
    TinyDisk disk(QString::fromStdString(server.DataDir()) + "/disk");
    if (!disk.Mounted()) GTEST_SKIP() << "cannot mount a small file system here";
    server.Options().dataDir = QString::fromStdString(server.DataDir()) + "/disk/localnet";
    server.Options().seedDemo = true;
    ASSERT_TRUE(server.Start());
    server.Stop();
    ASSERT_TRUE(disk.Remount(true));
    server.Options().seedDemo = false;
    ASSERT_TRUE(server.Start());
    TestClient alice;
    EXPECT_TRUE(alice.Login(server.NetworkPort(), "1234567", "alice", "alicepass"));
    EXPECT_EQ(CreateAccount(server.NetworkPort(), "dora", "id-dora"), net::account::kCreateFailed);
    EXPECT_FALSE(GetStore().FindNetwork("1234567")->FindAccount("dora"));
    TestClient bob;
    EXPECT_TRUE(bob.Login(server.FilePort(), "1234567", "bob", "bobpass"));
    server.Stop();
    ASSERT_TRUE(disk.Remount(false));
}

// ---------------------------------------------------------------------------
// A crash between writes: a child process (this test program again) writes
// accounts one transaction at a time until it is killed.

constexpr char kCrashDirVariable[] = "LOCALNET_STORE_CRASH_DIR";

Account CrashAccount(int i) {
    Account a;
    a.username = QString("user%1").arg(i);
    a.fullName = QString("User Number %1").arg(i);
    a.SetPassword(QString("pass%1").arg(i));
    a.identity = QString("install-%1").arg(i);
    a.created = 1000 + i;
    return a;
}

TEST(StoreCrashChild, WritesUntilKilled) {
    const QString dir = qEnvironmentVariable(kCrashDirVariable);
    if (dir.isEmpty()) GTEST_SKIP() << "runs only as the child of the crash test";
    Store store(dir);
    QString error;
    ASSERT_TRUE(store.Load(&error)) << error.toStdString();
    Network n;
    n.number = "1234567";
    n.name = "Crash";
    ASSERT_TRUE(store.AddNetwork(n));
    Network& network = *store.FindNetwork("1234567");
    for (int i = 0;; ++i) {
        ASSERT_TRUE(store.AddAccount(network, CrashAccount(i)));
        ASSERT_TRUE(store.UpdateAccount(network, QString("user%1").arg(i),
                                        [i](Account& a) { a.lastLogin = 5000 + i; }));
        std::printf("wrote %d\n", i);
        std::fflush(stdout);
    }
}

TEST(StoreCrash, KilledMidWritesLeavesEveryRecordWhole) {
    testsupport::TempDir dir;
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kCrashDirVariable, QString::fromStdString(dir.path()));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::SeparateChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=StoreCrashChild.WritesUntilKilled"});
    ASSERT_TRUE(child.waitForStarted());
    int reported = -1;
    QByteArray out;
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (reported < 60 && child.state() == QProcess::Running &&
           std::chrono::steady_clock::now() < deadline) {
        child.waitForReadyRead(200);
        out += child.readAllStandardOutput();
        for (const QByteArray& line : out.split('\n'))
            if (line.startsWith("wrote ")) reported = std::max(reported, line.mid(6).toInt());
    }
    child.kill();  // SIGKILL: no clean-up of any kind
    child.waitForFinished();
    ASSERT_GE(reported, 60) << out.toStdString() << child.readAllStandardError().toStdString();

    Store store(QString::fromStdString(dir.path()));
    QString error;
    ASSERT_TRUE(store.Load(&error)) << error.toStdString();
    EXPECT_EQ(Sql(store, "PRAGMA integrity_check").toString(), "ok");
    EXPECT_EQ(Sql(store, "SELECT COUNT(*) FROM pragma_foreign_key_check").toInt(), 0)
        << "no dangling rows";
    const Network* network = store.FindNetwork("1234567");
    ASSERT_TRUE(network);
    ASSERT_GE(network->accounts.size(), static_cast<size_t>(reported + 1));
    for (size_t i = 0; i < network->accounts.size(); ++i) {
        const Account& a = network->accounts[i];
        const int n = static_cast<int>(i);
        SCOPED_TRACE(a.username.toStdString());
        EXPECT_EQ(a.username, QString("user%1").arg(n));
        EXPECT_EQ(a.fullName, QString("User Number %1").arg(n));
        EXPECT_TRUE(a.CheckPassword(QString("pass%1").arg(n)));
        EXPECT_EQ(a.identity, QString("install-%1").arg(n));
        EXPECT_EQ(a.created, 1000 + n);
        // Only the very last may have been killed between its two writes.
        if (i + 1 < network->accounts.size()) {
            EXPECT_EQ(a.lastLogin, 5000 + n);
        }
    }
}

}  // namespace
}  // namespace servertest
