#include "server/documents/DocumentsService.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <ctime>
#include <optional>

#include "net/Protocol.h"
#include "server/core/ClientSession.h"
#include "server/core/ListingWriter.h"
#include "server/core/LocalNetwork.h"
#include "server/core/Placements.h"
#include "server/core/Router.h"
#include "server/core/Store.h"
#include "server/core/TransferEngine.h"

namespace localnet {

namespace ds = net::documentstore;

namespace {

constexpr int kMaxNameBytes = 50;
constexpr int kMaxPasswordCharacters = 15;
constexpr int kMaxReason = 512;
constexpr int kMaxOwnerBytes = 32;
constexpr char kRoot[] = "/";

constexpr char kNotYours[] = "You can only change your own documents";
constexpr char kNoFolder[] = "The folder does not exist";
constexpr char kNoFile[] = "The file does not exist";
constexpr char kBadName[] =
    "The name must be 1 to 50 letters, digits, '.', '~', '-' or '_', starting with a letter or "
    "digit";

const std::vector<std::vector<QString>>& TableSteps() {
    static const std::vector<std::vector<QString>> steps = {
        {
            // A folder of an account's store; its lock as a salted hash.
            "CREATE TABLE documents_folders ("
            " network TEXT NOT NULL, owner TEXT NOT NULL, name TEXT NOT NULL,"
            " locked INTEGER NOT NULL, salt TEXT NOT NULL, hash TEXT NOT NULL,"
            " modified BIGINT NOT NULL,"
            " PRIMARY KEY (network, owner, name))",
            // A file; folder is empty for the root.
            "CREATE TABLE documents_files ("
            " network TEXT NOT NULL, owner TEXT NOT NULL, folder TEXT NOT NULL,"
            " name TEXT NOT NULL, size BIGINT NOT NULL, modified BIGINT NOT NULL,"
            " PRIMARY KEY (network, owner, folder, name))",
        },
    };
    return steps;
}

bool Run(QSqlDatabase& db, const QString& sql, const QVariantList& values) {
    QSqlQuery q(db);
    if (!q.prepare(sql)) return false;
    for (const QVariant& v : values) q.addBindValue(v);
    return q.exec();
}

// Bound texts must never be null: the columns are NOT NULL.
QString NotNull(const QString& s) {
    return s.isNull() ? QString("") : s;
}

// A name as one level of a path: itself when plainly safe, else spelled out.
QString PathName(const QString& lower) {
    bool plain = !lower.isEmpty();
    for (const QChar c : lower) {
        const ushort u = c.unicode();
        if (!((u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '_' || u == '-')) {
            plain = false;
            break;
        }
    }
    return plain ? lower : "x" + QString::fromLatin1(lower.toUtf8().toHex());
}

QString FolderKey(const QString& path) {
    return path == kRoot || path.isNull() ? QString("") : path;
}

QString Text(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string Cut(const std::string& text, size_t max) {
    if (text.size() <= max) return text;
    size_t n = max;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    return text.substr(0, n);
}

QByteArray HashOf(const QByteArray& salt, const QString& password) {
    return QCryptographicHash::hash(salt + password.toUtf8(), QCryptographicHash::Sha256).toHex();
}

qint64 Now() {
    return QDateTime::currentSecsSinceEpoch();
}

bool Same(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

}  // namespace

int DocumentsService::DocStore::FileCount() const {
    size_t n = files.size();
    for (const auto& [name, folder] : folders) n += folder.files.size();
    return static_cast<int>(n);
}

qint64 DocumentsService::DocStore::UsedBytes() const {
    qint64 n = 0;
    for (const auto& [name, f] : files) n += f.size;
    for (const auto& [name, folder] : folders) {
        for (const auto& [fname, f] : folder.files) n += f.size;
    }
    return n;
}

DocumentsService::DocumentsService(LocalNetwork& network) : network_(network) {
    const ServerOptions& o = network.Options();
    limits_.maxFileBytes = o.documentsMaxFileBytes;
    limits_.maxFiles = o.documentsMaxFiles;
    limits_.maxSpaceBytes = o.documentsMaxSpaceBytes;
    RegisterHandlers();
}

bool DocumentsService::ValidName(const QString& name) {
    const QByteArray bytes = name.toUtf8();
    if (bytes.isEmpty() || bytes.size() > kMaxNameBytes) return false;
    for (const char c : bytes) {
        const bool alnum = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (!alnum && c != '.' && c != '~' && c != '-' && c != '_') return false;
    }
    const char first = bytes[0];
    return (first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z') ||
           (first >= '0' && first <= '9');
}

std::string DocumentsService::ModifiedText(qint64 seconds) {
    return ListingModifiedText(seconds);
}

QString DocumentsService::FilePath(const QString& number, const QString& owner,
                                   const QString& path, const QString& name) {
    const QString base =
        Store::NetworkFolder(number) + "/documents/" + PathName(owner.toLower());
    return path == kRoot ? base + "/root/" + name : base + "/folders/" + path + "/" + name;
}

bool DocumentsService::Open(QString* error) {
    if (!network_.GetStore().PrepareTables("documents", TableSteps(), error)) return false;
    // Uploads a crash caught between their row and their rename are finished
    // (or swept) before any row is believed.
    if (!placements::Recover(network_.GetStore(), error)) return false;
    return Load(error);
}

bool DocumentsService::Load(QString* error) {
    stores_.clear();
    QSqlDatabase db = network_.GetStore().Database();
    QSqlQuery folders(db);
    if (!folders.exec("SELECT network, owner, name, locked, salt, hash, modified"
                      " FROM documents_folders")) {
        if (error) *error = "cannot read the document folders: " + folders.lastError().text();
        return false;
    }
    while (folders.next()) {
        Folder f;
        f.name = folders.value(2).toString();
        f.locked = folders.value(3).toInt() != 0;
        f.salt = folders.value(4).toString().toLatin1();
        f.hash = folders.value(5).toString().toLatin1();
        f.modified = folders.value(6).toLongLong();
        if (!ValidName(f.name)) continue;
        stores_[folders.value(0).toString()][folders.value(1).toString()].folders[f.name] = f;
    }
    QSqlQuery files(db);
    if (!files.exec("SELECT network, owner, folder, name, size, modified FROM documents_files")) {
        if (error) *error = "cannot read the documents: " + files.lastError().text();
        return false;
    }
    while (files.next()) {
        File f;
        f.name = files.value(3).toString();
        f.size = files.value(4).toLongLong();
        f.modified = files.value(5).toLongLong();
        if (!ValidName(f.name)) continue;
        DocStore& store = stores_[files.value(0).toString()][files.value(1).toString()];
        const QString folder = files.value(2).toString();
        if (folder.isEmpty()) {
            store.files[f.name] = f;
        } else {
            auto it = store.folders.find(folder);
            if (it != store.folders.end()) it->second.files[f.name] = f;
        }
    }
    return true;
}

const DocumentsService::DocStore* DocumentsService::StoreOf(const QString& number,
                                                            const QString& owner) const {
    const auto net = stores_.find(number);
    if (net == stores_.end()) return nullptr;
    const auto it = net->second.find(owner.toLower());
    return it == net->second.end() ? nullptr : &it->second;
}

DocumentsService::DocStore& DocumentsService::Writable(const QString& number,
                                                       const QString& owner) {
    return stores_[number][owner.toLower()];
}

const DocumentsService::Folder* DocumentsService::FindFolder(const QString& number,
                                                             const QString& owner,
                                                             const QString& name) const {
    const DocStore* store = StoreOf(number, owner);
    if (store == nullptr) return nullptr;
    const auto it = store->folders.find(name);
    return it == store->folders.end() ? nullptr : &it->second;
}

std::map<QString, DocumentsService::File>* DocumentsService::FilesOf(DocStore& store,
                                                                     const QString& path) {
    if (path == kRoot) return &store.files;
    const auto it = store.folders.find(path);
    return it == store.folders.end() ? nullptr : &it->second.files;
}

QString DocumentsService::AccountName(const QString& number, const QString& owner) const {
    Network* net = network_.GetStore().FindNetwork(number);
    if (net == nullptr) return {};
    const Account* account = net->FindAccount(owner);
    return account == nullptr ? QString() : account->username;
}

bool DocumentsService::SaveFolder(const QString& number, const QString& owner,
                                  const Folder& folder) {
    return network_.GetStore().Write([&](QSqlDatabase& db) {
        return Run(db, "DELETE FROM documents_folders WHERE network = ? AND owner = ? AND name = ?",
                   {number, owner.toLower(), folder.name}) &&
               Run(db,
                   "INSERT INTO documents_folders (network, owner, name, locked, salt, hash,"
                   " modified) VALUES (?, ?, ?, ?, ?, ?, ?)",
                   {number, owner.toLower(), folder.name, folder.locked ? 1 : 0,
                    NotNull(QString::fromLatin1(folder.salt)),
                    NotNull(QString::fromLatin1(folder.hash)), folder.modified});
    });
}

namespace {
// The row of one file, put in place of any row of the same name.
bool PutFileRow(QSqlDatabase& db, const QString& number, const QString& owner,
                const QString& folder, const QString& name, qint64 size, qint64 modified) {
    return Run(db,
               "DELETE FROM documents_files WHERE network = ? AND owner = ? AND folder = ?"
               " AND name = ?",
               {number, owner.toLower(), folder, name}) &&
           Run(db,
               "INSERT INTO documents_files (network, owner, folder, name, size, modified)"
               " VALUES (?, ?, ?, ?, ?, ?)",
               {number, owner.toLower(), folder, name, size, modified});
}
}  // namespace

bool DocumentsService::SaveFile(const QString& number, const QString& owner,
                                const QString& folder, const File& file) {
    return network_.GetStore().Write([&](QSqlDatabase& db) {
        return PutFileRow(db, number, owner, folder, file.name, file.size, file.modified);
    });
}

// ---- Folder operations --------------------------------------------------------------

DocumentsService::Answer DocumentsService::CreateFolder(const QString& number, const QString& who,
                                                        const QString& owner,
                                                        const QString& name) {
    if (!Same(who, owner)) return Answer::No(kNotYours);
    if (!ValidName(name) || name.toUtf8().size() >= kMaxNameBytes) return Answer::No(kBadName);
    DocStore& store = Writable(number, owner);
    if (store.folders.count(name) != 0) return Answer::No("A folder with that name already exists");
    Folder folder;
    folder.name = name;
    folder.modified = Now();
    if (!SaveFolder(number, owner, folder)) return Answer::No("The folder could not be stored");
    store.folders[name] = folder;
    return Answer::Ok();
}

DocumentsService::Answer DocumentsService::LockFolder(const QString& number, const QString& who,
                                                      const QString& owner, const QString& name,
                                                      const QString& password) {
    if (!Same(who, owner)) return Answer::No(kNotYours);
    const Folder* found = FindFolder(number, owner, name);
    if (found == nullptr) return Answer::No(kNoFolder);
    if (found->locked) return Answer::No("The folder is already locked");
    if (password.isEmpty() || password.size() > kMaxPasswordCharacters)
        return Answer::No("The password must be 1 to 15 characters");
    Folder folder = *found;
    folder.locked = true;
    QByteArray salt(16, '\0');
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(salt.data()), 4);
    folder.salt = salt.toHex();
    folder.hash = HashOf(folder.salt, password);
    if (!SaveFolder(number, owner, folder)) return Answer::No("The lock could not be stored");
    Writable(number, owner).folders[name] = folder;
    return Answer::Ok();
}

DocumentsService::Answer DocumentsService::UnlockFolder(const QString& number,
                                                        const QString& who, const QString& owner,
                                                        const QString& name) {
    if (!Same(who, owner)) return Answer::No(kNotYours);
    const Folder* found = FindFolder(number, owner, name);
    if (found == nullptr) return Answer::No(kNoFolder);
    if (!found->locked) return Answer::No("The folder is not locked");
    Folder folder = *found;
    folder.locked = false;
    folder.salt.clear();
    folder.hash.clear();
    if (!SaveFolder(number, owner, folder)) return Answer::No("The lock could not be removed");
    Writable(number, owner).folders[name] = folder;
    return Answer::Ok();
}

DocumentsService::Answer DocumentsService::RenameFolder(const QString& number,
                                                        const QString& who, const QString& owner,
                                                        const QString& name,
                                                        const QString& newName) {
    if (!Same(who, owner)) return Answer::No(kNotYours);
    const Folder* found = FindFolder(number, owner, name);
    if (found == nullptr) return Answer::No(kNoFolder);
    if (!ValidName(newName) || newName.toUtf8().size() >= kMaxNameBytes)
        return Answer::No(kBadName);
    DocStore& store = Writable(number, owner);
    if (store.folders.count(newName) != 0)
        return Answer::No("A folder with that name already exists");
    Folder folder = *found;
    folder.name = newName;
    folder.modified = Now();
    Store& db = network_.GetStore();
    const QString from = db.ResolvePath(FilePath(number, owner, name, "x")).section('/', 0, -2);
    const QString to = db.ResolvePath(FilePath(number, owner, newName, "x")).section('/', 0, -2);
    if (from.isEmpty() || to.isEmpty()) return Answer::No(kBadName);
    const bool ok = db.Write([&](QSqlDatabase& sql) {
        if (!Run(sql,
                 "UPDATE documents_folders SET name = ?, modified = ? WHERE network = ? AND"
                 " owner = ? AND name = ?",
                 {newName, folder.modified, number, owner.toLower(), name}) ||
            !Run(sql,
                 "UPDATE documents_files SET folder = ? WHERE network = ? AND owner = ? AND"
                 " folder = ?",
                 {newName, number, owner.toLower(), name}))
            return false;
        // The files move with the index, or neither does.
        return !QFileInfo::exists(from) || QDir().rename(from, to);
    });
    if (!ok) return Answer::No("The folder could not be renamed");
    store.folders.erase(name);
    store.folders[newName] = folder;
    return Answer::Ok();
}

DocumentsService::Answer DocumentsService::DeleteFolder(const QString& number,
                                                        const QString& who, const QString& owner,
                                                        const QString& name) {
    if (!Same(who, owner)) return Answer::No(kNotYours);
    if (FindFolder(number, owner, name) == nullptr) return Answer::No(kNoFolder);
    Store& db = network_.GetStore();
    const bool ok = db.Write([&](QSqlDatabase& sql) {
        return Run(sql, "DELETE FROM documents_files WHERE network = ? AND owner = ? AND folder = ?",
                   {number, owner.toLower(), name}) &&
               Run(sql, "DELETE FROM documents_folders WHERE network = ? AND owner = ? AND name = ?",
                   {number, owner.toLower(), name});
    });
    if (!ok) return Answer::No("The folder could not be deleted");
    Writable(number, owner).folders.erase(name);
    const QString dir = db.ResolvePath(FilePath(number, owner, name, "x")).section('/', 0, -2);
    if (!dir.isEmpty()) QDir(dir).removeRecursively();
    return Answer::Ok();
}

DocumentsService::Answer DocumentsService::CanView(const QString& number, const QString& who,
                                                   const QString& owner, const QString& path,
                                                   const QString& password) const {
    if (AccountName(number, owner).isEmpty()) return Answer::No("No account of that name exists");
    if (path == kRoot) return Answer::Ok();
    const Folder* folder = FindFolder(number, owner, path);
    if (folder == nullptr) return Answer::No(kNoFolder);
    if (folder->locked && !Same(who, owner)) {
        if (password.isEmpty()) return Answer::No("The folder is locked; a password is needed");
        if (HashOf(folder->salt, password) != folder->hash)
            return Answer::No("The password for the locked folder is not correct");
    }
    return Answer::Ok();
}

// ---- File operations ----------------------------------------------------------------

DocumentsService::Answer DocumentsService::MoveFile(const QString& number, const QString& who,
                                                    const QString& owner, const QString& path,
                                                    const QString& name,
                                                    const QString& destination) {
    if (!Same(who, owner)) return Answer::No(kNotYours);
    DocStore& store = Writable(number, owner);
    std::map<QString, File>* from = FilesOf(store, path);
    if (from == nullptr) return Answer::No(kNoFolder);
    const auto file = from->find(name);
    if (file == from->end()) return Answer::No(kNoFile);
    std::map<QString, File>* to = FilesOf(store, destination);
    if (to == nullptr) return Answer::No("The destination folder does not exist");
    if (to == from) return Answer::No("The file is already in that folder");
    if (to->count(name) != 0)
        return Answer::No("A file with that name already exists in the destination folder");
    Store& db = network_.GetStore();
    const QString src = db.ResolvePath(FilePath(number, owner, path, name));
    const QString dst = db.ResolvePath(FilePath(number, owner, destination, name));
    if (src.isEmpty() || dst.isEmpty()) return Answer::No(kBadName);
    const bool ok = db.Write([&](QSqlDatabase& sql) {
        if (!Run(sql,
                 "UPDATE documents_files SET folder = ? WHERE network = ? AND owner = ? AND"
                 " folder = ? AND name = ?",
                 {FolderKey(destination), number, owner.toLower(), FolderKey(path), name}))
            return false;
        return QDir().mkpath(QFileInfo(dst).absolutePath()) && QFile::rename(src, dst);
    });
    if (!ok) return Answer::No("The file could not be moved");
    (*to)[name] = file->second;
    from->erase(file);
    return Answer::Ok();
}

DocumentsService::Answer DocumentsService::RenameFile(const QString& number, const QString& who,
                                                      const QString& owner, const QString& path,
                                                      const QString& name,
                                                      const QString& newName) {
    if (!Same(who, owner)) return Answer::No(kNotYours);
    DocStore& store = Writable(number, owner);
    std::map<QString, File>* files = FilesOf(store, path);
    if (files == nullptr) return Answer::No(kNoFolder);
    const auto file = files->find(name);
    if (file == files->end()) return Answer::No(kNoFile);
    if (!ValidName(newName) || newName.toUtf8().size() >= kMaxNameBytes)
        return Answer::No(kBadName);
    if (files->count(newName) != 0) return Answer::No("A file with that name already exists");
    Store& db = network_.GetStore();
    const QString src = db.ResolvePath(FilePath(number, owner, path, name));
    const QString dst = db.ResolvePath(FilePath(number, owner, path, newName));
    if (src.isEmpty() || dst.isEmpty()) return Answer::No(kBadName);
    const bool ok = db.Write([&](QSqlDatabase& sql) {
        return Run(sql,
                   "UPDATE documents_files SET name = ? WHERE network = ? AND owner = ? AND"
                   " folder = ? AND name = ?",
                   {newName, number, owner.toLower(), FolderKey(path), name}) &&
               QFile::rename(src, dst);
    });
    if (!ok) return Answer::No("The file could not be renamed");
    File renamed = file->second;
    renamed.name = newName;
    files->erase(file);
    (*files)[newName] = renamed;
    return Answer::Ok();
}

DocumentsService::Answer DocumentsService::DeleteFile(const QString& number, const QString& who,
                                                      const QString& owner, const QString& path,
                                                      const QString& name) {
    if (!Same(who, owner)) return Answer::No(kNotYours);
    DocStore& store = Writable(number, owner);
    std::map<QString, File>* files = FilesOf(store, path);
    if (files == nullptr) return Answer::No(kNoFolder);
    if (files->count(name) == 0) return Answer::No(kNoFile);
    Store& db = network_.GetStore();
    const bool ok = db.Write([&](QSqlDatabase& sql) {
        return Run(sql,
                   "DELETE FROM documents_files WHERE network = ? AND owner = ? AND folder = ?"
                   " AND name = ?",
                   {number, owner.toLower(), FolderKey(path), name});
    });
    if (!ok) return Answer::No("The file could not be deleted");
    files->erase(name);
    const QString full = db.ResolvePath(FilePath(number, owner, path, name));
    if (!full.isEmpty()) QFile::remove(full);
    return Answer::Ok();
}

bool DocumentsService::PutFile(const QString& number, const QString& owner, const QString& path,
                               const QString& name, const QByteArray& bytes) {
    if (!ValidName(name)) return false;
    DocStore& store = Writable(number, owner);
    std::map<QString, File>* files = FilesOf(store, path);
    if (files == nullptr) return false;
    if (!network_.GetStore().WriteFile(FilePath(number, owner, path, name), bytes)) return false;
    File file{name, bytes.size(), Now()};
    if (!SaveFile(number, owner, FolderKey(path), file)) return false;
    (*files)[name] = file;
    return true;
}

// ---- Listings -------------------------------------------------------------------------

std::unique_ptr<net::MessageBuffer> DocumentsService::Listing(const QString& number,
                                                              const QString& owner,
                                                              const QString& path,
                                                              int32_t target) const {
    const std::string shownOwner = Cut(AccountName(number, owner).toStdString(), kMaxOwnerBytes);
    const DocStore empty;
    const DocStore* store = StoreOf(number, owner);
    if (store == nullptr) store = &empty;
    const Folder* folder = nullptr;
    if (path != kRoot) {
        const auto it = store->folders.find(path);
        if (it != store->folders.end()) folder = &it->second;
    }
    net::MessageWriter w(ds::kListing);
    w.Int(target).Str(shownOwner.empty() ? "?" : shownOwner).Str(path.toStdString());
    w.Int(folder != nullptr && folder->locked ? 1 : 0);
    const auto add = [&](int32_t type, qint64 size, bool locked, const QString& name,
                         qint64 modified) {
        // An entry that would not fit ends the listing: the message stays whole.
        return AppendListingEntry(w, type, size, locked, name.toStdString(),
                                  ModifiedText(modified));
    };
    if (path == kRoot) {
        bool room = true;
        for (const auto& [name, f] : store->folders) {
            qint64 size = 0;
            for (const auto& [fn, file] : f.files) size += file.size;
            if (!(room = add(1, size, f.locked, name, f.modified))) break;
        }
        for (const auto& [name, f] : store->files) {
            if (!room || !(room = add(2, f.size, false, name, f.modified))) break;
        }
    } else if (folder != nullptr) {
        for (const auto& [name, f] : folder->files) {
            if (!add(2, f.size, false, name, f.modified)) break;
        }
    }
    return w.Finish(net::Primary::DocumentStore, net::Secondary::Response);
}

void DocumentsService::SendAnswer(ClientSession& s, int32_t refusalCode, const Answer& answer,
                                  const QString& owner, const QString& listPath) {
    if (!answer.ok) {
        net::MessageWriter w(refusalCode);
        w.Str(Cut(answer.reason.empty() ? std::string("Refused") : answer.reason, kMaxReason));
        s.Send(w, net::Primary::DocumentStore);
        return;
    }
    s.Send(Listing(s.NetworkNumber(), owner, listPath, ds::kTargetShare));
}

// ---- The file server's requests ------------------------------------------------------

void DocumentsService::HandleFolderRequest(ClientSession& s, net::MessageReader& f) {
    std::string owner, name;
    int32_t op = 0;
    if (!f.Str(1, kMaxOwnerBytes, owner) || !f.Str(0, 255, name) || !f.Int(-1, -1, op)) {
        network_.Log(s.PeerText() + " document folder request could not be read");
        return;
    }
    const QString number = s.NetworkNumber();
    const QString who = s.Username();
    const QString o = Text(owner);
    const QString n = Text(name);
    switch (op) {
        case ds::kCreateFolder:
            SendAnswer(s, ds::kCreateRefused, CreateFolder(number, who, o, n), o, kRoot);
            return;
        case ds::kLockFolder: {
            std::string password;
            Answer a = f.Str(0, 255, password) ? LockFolder(number, who, o, n, Text(password))
                                               : Answer::No("The request could not be read");
            SendAnswer(s, ds::kLockRefused, a, o, kRoot);
            return;
        }
        case ds::kUnlockFolder:
            SendAnswer(s, ds::kUnlockRefused, UnlockFolder(number, who, o, n), o, kRoot);
            return;
        case ds::kViewFolder: {
            int32_t target = 0, refresh = 0;
            std::string password;
            if (!f.Int(0, 1, target) || !f.Int(-1, -1, refresh) ||
                (!f.AtEnd() && !f.Str(0, 255, password))) {
                SendAnswer(s, ds::kViewRefused, Answer::No("The request could not be read"), o,
                           kRoot);
                return;
            }
            const Answer a = CanView(number, who, o, n, Text(password));
            if (!a.ok) {
                SendAnswer(s, ds::kViewRefused, a, o, kRoot);
                return;
            }
            s.Send(Listing(number, o, n, target));
            return;
        }
        case ds::kRenameFolder: {
            std::string newName;
            Answer a = f.Str(0, 255, newName) ? RenameFolder(number, who, o, n, Text(newName))
                                              : Answer::No("The request could not be read");
            SendAnswer(s, ds::kRenameFolderRefused, a, o, kRoot);
            return;
        }
        case ds::kDeleteFolder:
            SendAnswer(s, ds::kDeleteFolderRefused, DeleteFolder(number, who, o, n), o, kRoot);
            return;
        default:
            network_.Log(s.PeerText() + " unknown document folder operation " +
                         QString::number(op));
            return;
    }
}

void DocumentsService::HandleFileRequest(ClientSession& s, net::MessageReader& f) {
    std::string owner, path, name;
    int32_t op = 0;
    if (!f.Str(1, kMaxOwnerBytes, owner) || !f.Str(0, 255, path) || !f.Int(-1, -1, op) ||
        !f.Str(0, 255, name)) {
        network_.Log(s.PeerText() + " document file request could not be read");
        return;
    }
    const QString number = s.NetworkNumber();
    const QString who = s.Username();
    const QString o = Text(owner);
    const QString p = Text(path);
    const QString n = Text(name);
    std::string other;
    switch (op) {
        case ds::kMoveFile: {
            Answer a = f.Str(0, 255, other) ? MoveFile(number, who, o, p, n, Text(other))
                                            : Answer::No("The request could not be read");
            SendAnswer(s, ds::kMoveRefused, a, o, p);
            return;
        }
        case ds::kRenameFile: {
            Answer a = f.Str(0, 255, other) ? RenameFile(number, who, o, p, n, Text(other))
                                            : Answer::No("The request could not be read");
            SendAnswer(s, ds::kRenameFileRefused, a, o, p);
            return;
        }
        case ds::kDeleteFile:
            SendAnswer(s, ds::kDeleteFileRefused, DeleteFile(number, who, o, p, n), o, p);
            return;
        default:
            network_.Log(s.PeerText() + " unknown document file operation " + QString::number(op));
            return;
    }
}

void DocumentsService::RegisterHandlers() {
    Router& router = network_.GetRouter();
    router.Register(ServerKind::File, net::Primary::DocumentStore, ds::kFolderRequest,
                    [this](ClientSession& s, const net::bufHeader&, net::MessageReader& f) {
                        HandleFolderRequest(s, f);
                    });
    router.Register(ServerKind::File, net::Primary::DocumentStore, ds::kFileRequest,
                    [this](ClientSession& s, const net::bufHeader&, net::MessageReader& f) {
                        HandleFileRequest(s, f);
                    });

    TransferEngine& transfers = network_.Transfers();
    transfers.RegisterUpload(
        ds::kDocumentUpload, [this](ClientSession& s, int32_t size, net::MessageReader& f) {
            std::string path, name;
            if (!f.Str(0, 255, path) || !f.Str(0, 255, name)) {
                return UploadDecision::Refuse(net::upload::kRefusedInvalidFilename,
                                              "The request could not be read");
            }
            const QString number = s.NetworkNumber();
            const QString owner = s.Username();
            const QString p = Text(path);
            const QString n = Text(name);
            DocStore& store = Writable(number, owner);
            std::map<QString, File>* files = FilesOf(store, p);
            if (files == nullptr)
                return UploadDecision::Refuse(net::upload::kRefusedInvalidDirectory, kNoFolder);
            if (!ValidName(n))
                return UploadDecision::Refuse(net::upload::kRefusedInvalidFilename, kBadName);
            if (size > limits_.maxFileBytes) {
                return UploadDecision::Refuse(
                    net::upload::kRefusedFileTooLarge,
                    "A document may be at most " +
                        std::to_string(limits_.maxFileBytes) + " bytes");
            }
            const auto same = files->find(n);
            const qint64 replaced = same == files->end() ? 0 : same->second.size;
            if (same == files->end() && store.FileCount() >= limits_.maxFiles) {
                return UploadDecision::Refuse(
                    net::upload::kRefusedFilesQuota,
                    "An account may keep at most " + std::to_string(limits_.maxFiles) +
                        " documents");
            }
            if (store.UsedBytes() - replaced + size > limits_.maxSpaceBytes) {
                return UploadDecision::Refuse(
                    net::upload::kRefusedNoSpace,
                    "An account may keep at most " + std::to_string(limits_.maxSpaceBytes) +
                        " bytes of documents");
            }
            // The bytes are gathered aside; the row commits first, noting the
            // rename it owes, and only then does the file take its name. A
            // crash anywhere leaves the document as it was or as uploaded.
            const QString staging = placements::StagingName();
            UploadDecision d = UploadDecision::Gather(
                staging, [this, number, owner, p, n, staging](ClientSession&, bool stored,
                                                              const QString& gathered) {
                    if (!stored) return;
                    Store& db = network_.GetStore();
                    DocStore& st = Writable(number, owner);
                    std::map<QString, File>* into = FilesOf(st, p);
                    // The folder went while the file was on its way.
                    if (into == nullptr) {
                        QFile::remove(gathered);
                        return;
                    }
                    const File file{n, QFileInfo(gathered).size(), Now()};
                    const QString folder = FolderKey(p);
                    std::optional<File> before;
                    if (const auto it = into->find(n); it != into->end()) before = it->second;
                    const bool placed = placements::CommitAndPlace(
                        db, staging, FilePath(number, owner, p, n),
                        [&](QSqlDatabase& sql) {
                            return PutFileRow(sql, number, owner, folder, n, file.size,
                                              file.modified);
                        },
                        [&](QSqlDatabase& sql) {
                            if (before)
                                return PutFileRow(sql, number, owner, folder, n, before->size,
                                                  before->modified);
                            return Run(sql,
                                       "DELETE FROM documents_files WHERE network = ? AND"
                                       " owner = ? AND folder = ? AND name = ?",
                                       {number, owner.toLower(), folder, n});
                        });
                    if (!placed) {
                        network_.Log("documents: an upload of " + n + " could not be stored: " +
                                     db.LastError());
                        return;
                    }
                    (*into)[n] = file;
                    if (p != kRoot) st.folders[p].modified = file.modified;
                });
            d.refuseCode = net::upload::kRefusedNoSpace;
            d.details = "The document could not be stored";
            return d;
        });
    transfers.RegisterDownload(
        ds::kDocumentDownload, [this](ClientSession& s, net::MessageReader& f) {
            std::string owner, path, name, password;
            if (!f.Str(0, 255, owner) || !f.Str(0, 255, path) || !f.Str(0, 255, name) ||
                (!f.AtEnd() && !f.Str(0, 255, password))) {
                return DownloadDecision::Refuse("The request could not be read");
            }
            const QString number = s.NetworkNumber();
            const QString o = Text(owner);
            const QString p = Text(path);
            const QString n = Text(name);
            if (AccountName(number, o).isEmpty()) return DownloadDecision::AccountNotFound();
            const Answer a = CanView(number, s.Username(), o, p, Text(password));
            if (!a.ok) return DownloadDecision::Refuse(a.reason);
            const DocStore* store = StoreOf(number, o);
            const std::map<QString, File>* files = nullptr;
            if (store != nullptr) {
                if (p == kRoot) {
                    files = &store->files;
                } else if (const auto it = store->folders.find(p); it != store->folders.end()) {
                    files = &it->second.files;
                }
            }
            if (files == nullptr || files->count(n) == 0) return DownloadDecision::Refuse(kNoFile);
            return DownloadDecision::ServeFile(FilePath(number, o, p, n));
        });
}

// ---- Demo ------------------------------------------------------------------------------

bool DocumentsService::SeedDemo() {
    for (const auto& netPtr : network_.GetStore().Networks()) {
        const QString number = netPtr->number;
        if (AccountName(number, "alice").isEmpty() || AccountName(number, "bob").isEmpty())
            continue;
        // Only stores nobody has had yet: a restart keeps what users did.
        if (StoreOf(number, "alice") != nullptr || StoreOf(number, "bob") != nullptr) continue;
        bool ok = PutFile(number, "alice", kRoot, "welcome.txt",
                          "Welcome to my shared documents.\n"
                          "Projects holds what we are working on; Private is locked.\n");
        ok = ok && CreateFolder(number, "alice", "alice", "Projects").ok;
        ok = ok && PutFile(number, "alice", "Projects", "plan.txt",
                           "1. Sketch the layout\n2. Build it\n3. Show it\n");
        ok = ok && CreateFolder(number, "alice", "alice", "Private").ok;
        ok = ok && PutFile(number, "alice", "Private", "diary.txt", "Dear diary,\n");
        ok = ok && LockFolder(number, "alice", "alice", "Private", "secret").ok;
        ok = ok && PutFile(number, "bob", kRoot, "notes.txt", "Things to remember.\n");
        if (!ok) return false;
        // The large demo file is a nicety: a data folder on a small disk
        // still starts, without it.
        QByteArray big;
        big.reserve(1536 * 1024);
        quint32 x = 2463534242u;
        while (big.size() < 1536 * 1024) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            big.append(static_cast<char>(x & 0xff));
        }
        if (!PutFile(number, "alice", "Projects", "prototype.bin", big)) {
            network_.Log("demo document prototype.bin left out: it could not be stored");
        }
    }
    return true;
}

}  // namespace localnet
