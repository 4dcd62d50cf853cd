#include "server/mailbox/MailboxService.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <limits>

#include "net/Protocol.h"
#include "server/core/ClientSession.h"
#include "server/core/LocalNetwork.h"
#include "server/core/TransferEngine.h"
#include "server/sessions/SessionTable.h"
#include "server/sessions/SessionsService.h"

namespace localnet {

namespace {

constexpr int kInbox = 0;
constexpr int kOutbox = 1;
constexpr int kSessions = 2;
constexpr char kPrimary[] = "Primary";
constexpr char kSent[] = "Sent";
constexpr const char* kMarkers[] = {"MAILBOX_ROOTDIR_INBOX", "MAILBOX_ROOTDIR_OUTBOX",
                                    "MAILBOX_ROOTDIR_SESSIONS"};
// What the client reads of a key, a name, a sender and a subject.
constexpr int kMaxKeyBytes = 31;
constexpr int kMaxDetails = 512;

const std::vector<std::vector<QString>>& TableSteps() {
    static const std::vector<std::vector<QString>> steps = {
        {
            "CREATE TABLE mailbox_folders ("
            " network TEXT NOT NULL, owner TEXT NOT NULL, root INTEGER NOT NULL,"
            " key_lower TEXT NOT NULL, folder_key TEXT NOT NULL, name TEXT NOT NULL,"
            " position INTEGER NOT NULL,"
            " PRIMARY KEY (network, owner, root, key_lower))",
            "CREATE TABLE mailbox_entries ("
            " network TEXT NOT NULL, owner TEXT NOT NULL, root INTEGER NOT NULL,"
            " key_lower TEXT NOT NULL, sender TEXT NOT NULL, number INTEGER NOT NULL,"
            " sender_name TEXT NOT NULL, attachment INTEGER NOT NULL, unread INTEGER NOT NULL,"
            " sent_time BIGINT NOT NULL, subject TEXT NOT NULL, position BIGINT NOT NULL,"
            " PRIMARY KEY (network, owner, root, key_lower, sender, number))",
            "CREATE TABLE mailbox_messages ("
            " network TEXT NOT NULL, sender TEXT NOT NULL, number INTEGER NOT NULL,"
            " sender_name TEXT NOT NULL, subject TEXT NOT NULL, sent_time BIGINT NOT NULL,"
            " attachment INTEGER NOT NULL, attachment_name TEXT NOT NULL,"
            " recipients TEXT NOT NULL,"
            " PRIMARY KEY (network, sender, number))",
            // Numbers are never given twice, so a recipient's entry of a
            // deleted message can never name a later one.
            "CREATE TABLE mailbox_counters ("
            " network TEXT NOT NULL, sender TEXT NOT NULL, next_number INTEGER NOT NULL,"
            " PRIMARY KEY (network, sender))",
        },
    };
    return steps;
}

// Bound values must never be null: the columns are NOT NULL.
QString NotNull(const QString& s) {
    return s.isNull() ? QString("") : s;
}

bool Exec(QSqlQuery& q) {
    return q.exec();
}

// A name as one level of a path: itself when plainly safe, else spelled out.
QString PathName(const QString& lower) {
    bool plain = !lower.isEmpty();
    for (QChar c : lower) {
        const ushort u = c.unicode();
        if (!((u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '_' || u == '-')) {
            plain = false;
            break;
        }
    }
    return plain ? lower : "x" + QString::fromLatin1(lower.toUtf8().toHex());
}

// The client reads a line at a time: nothing that would end or split one.
QString OneLine(const QString& text) {
    QString out = text;
    for (QChar& c : out) {
        if (c == '\n' || c == '\r' || c == '\t' || c.category() == QChar::Other_Control) c = ' ';
    }
    return out;
}

// A text cut to the client's bytes, at a character boundary.
QByteArray CutUtf8(const QString& text, int maxBytes) {
    QByteArray bytes = text.toUtf8();
    if (bytes.size() <= maxBytes) return bytes;
    // Back to the lead byte of a cut character (text from QString is UTF-8).
    int n = maxBytes;
    while (n > 0 && maxBytes - n < 3 && (static_cast<unsigned char>(bytes[n]) & 0xC0) == 0x80) --n;
    return bytes.left(n);
}

bool WholeInt(const QByteArray& text, int32_t& out) {
    bool ok = false;
    const qlonglong v = text.toLongLong(&ok, 10);
    if (!ok || text.isEmpty() || text.startsWith(' ') || v < std::numeric_limits<int32_t>::min() ||
        v > std::numeric_limits<int32_t>::max())
        return false;
    out = static_cast<int32_t>(v);
    return true;
}

bool IsDefault(int root, const QString& key) {
    return (root == kInbox && key.compare(kPrimary, Qt::CaseInsensitive) == 0) ||
           (root == kOutbox && key.compare(kSent, Qt::CaseInsensitive) == 0);
}

}  // namespace

QString CheckMailboxFolderName(int32_t root, const QString& name) {
    if (root != kInbox && root != kOutbox) {
        return "Please select either Inbox or Outbox from the folder type";
    }
    if (name.isEmpty()) return "Please type a folder name";
    if (name.size() > MailboxService::kMaxFolderName) {
        return "Folder name is too long; it may be at most 16 characters in length";
    }
    for (QChar c : name) {
        const ushort u = c.unicode();
        const bool ok = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') ||
                        u == '_' || u == '-';
        if (!ok) return "Folder name may contain only letters, numbers, and '_' '-'";
    }
    return {};
}

int64_t MailboxService::Box::Unread() const {
    int64_t sum = 0;
    for (const auto& root : roots) {
        for (const Folder& f : root) {
            for (const Entry& e : f.entries) sum += e.unread != 0 ? 1 : 0;
        }
    }
    return sum;
}

MailboxService::Folder* MailboxService::Box::Find(int root, const QString& key) {
    if (root < 0 || root >= kRootCount) return nullptr;
    for (Folder& f : roots[static_cast<size_t>(root)]) {
        if (f.key.compare(key, Qt::CaseInsensitive) == 0) return &f;
    }
    return nullptr;
}

const MailboxService::Folder* MailboxService::Box::Find(int root, const QString& key) const {
    return const_cast<Box*>(this)->Find(root, key);
}

MailboxService::MailboxService(LocalNetwork& network) : network_(network) {
    RegisterHandlers();
    QObject::connect(&network_, &LocalNetwork::AccountRemoved, &network_,
                     [this](const QString& number, const QString& username) {
                         RemoveMailbox(number, username);
                     });
}

bool MailboxService::RemoveMailbox(const QString& number, const QString& owner) {
    // The folders and entries go; what the account sent stays with those who
    // received it. A later account of the same name starts with a new box.
    const QString key = owner.toLower();
    const bool ok = network_.GetStore().Write([&](QSqlDatabase& db) {
        for (const char* table : {"mailbox_folders", "mailbox_entries"}) {
            QSqlQuery clear(db);
            clear.prepare(QString("DELETE FROM %1 WHERE network = ? AND owner = ?").arg(table));
            clear.addBindValue(number);
            clear.addBindValue(key);
            if (!Exec(clear)) return false;
        }
        return true;
    });
    if (ok) nets_[number].boxes.erase(key);
    return ok;
}

QString MailboxService::BodyPath(const QString& number, const QString& sender, int32_t n) {
    return Store::NetworkFolder(number) + "/mailbox/" + PathName(sender.toLower()) + "/" +
           QString::number(n) + ".body";
}

QString MailboxService::AttachmentPath(const QString& number, const QString& sender, int32_t n) {
    return Store::NetworkFolder(number) + "/mailbox/" + PathName(sender.toLower()) + "/" +
           QString::number(n) + ".attachment";
}

bool MailboxService::Open(QString* error) {
    if (!network_.GetStore().PrepareTables("mailbox", TableSteps(), error)) return false;
    return Load(error);
}

bool MailboxService::Load(QString* error) {
    nets_.clear();
    QSqlDatabase db = network_.GetStore().Database();
    const auto fail = [&](const QSqlQuery& q) {
        if (error) *error = "cannot read the mailboxes: " + q.lastError().text();
        return false;
    };
    QSqlQuery folders(db);
    if (!folders.exec("SELECT network, owner, root, folder_key, name FROM mailbox_folders"
                      " ORDER BY network, owner, root, position"))
        return fail(folders);
    while (folders.next()) {
        const int root = folders.value(2).toInt();
        if (root < 0 || root >= kRootCount) continue;
        Box& box = nets_[folders.value(0).toString()].boxes[folders.value(1).toString()];
        box.roots[static_cast<size_t>(root)].push_back(
            {folders.value(3).toString(), folders.value(4).toString(), {}});
    }
    QSqlQuery entries(db);
    if (!entries.exec("SELECT network, owner, root, key_lower, sender, number, sender_name,"
                      " attachment, unread, sent_time, subject, position FROM mailbox_entries"
                      " ORDER BY position"))
        return fail(entries);
    while (entries.next()) {
        auto net = nets_.find(entries.value(0).toString());
        if (net == nets_.end()) continue;
        auto box = net->second.boxes.find(entries.value(1).toString());
        if (box == net->second.boxes.end()) continue;
        Folder* folder = box->second.Find(entries.value(2).toInt(), entries.value(3).toString());
        if (folder == nullptr) continue;
        Entry e;
        e.sender = entries.value(4).toString();
        e.number = entries.value(5).toInt();
        e.senderName = entries.value(6).toString();
        e.attachment = entries.value(7).toInt();
        e.unread = entries.value(8).toInt();
        e.sentTime = entries.value(9).toLongLong();
        e.subject = entries.value(10).toString();
        e.position = entries.value(11).toLongLong();
        nextPosition_ = std::max(nextPosition_, e.position + 1);
        folder->entries.push_back(std::move(e));
    }
    QSqlQuery messages(db);
    if (!messages.exec("SELECT network, sender, number, sender_name, subject, sent_time,"
                       " attachment, attachment_name, recipients FROM mailbox_messages"))
        return fail(messages);
    while (messages.next()) {
        Message m;
        m.senderName = messages.value(3).toString();
        m.subject = messages.value(4).toString();
        m.sentTime = messages.value(5).toLongLong();
        m.attachment = messages.value(6).toInt();
        m.attachmentName = messages.value(7).toString();
        m.recipients = messages.value(8).toString();
        nets_[messages.value(0).toString()]
            .messages[{messages.value(1).toString(), messages.value(2).toInt()}] = m;
    }
    QSqlQuery counters(db);
    if (!counters.exec("SELECT network, sender, next_number FROM mailbox_counters"))
        return fail(counters);
    while (counters.next()) {
        nets_[counters.value(0).toString()].nextNumber[counters.value(1).toString()] =
            counters.value(2).toInt();
    }
    return true;
}

bool MailboxService::AccountExists(const QString& number, const QString& name) const {
    Network* n = network_.GetStore().FindNetwork(number);
    return n != nullptr && n->FindAccount(name) != nullptr;
}

MailboxService::Box MailboxService::WithDefaults(const QString& number, const QString& owner) const {
    Box box;
    const auto net = nets_.find(number);
    if (net != nets_.end()) {
        const auto it = net->second.boxes.find(owner.toLower());
        if (it != net->second.boxes.end()) box = it->second;
    }
    if (box.Find(kInbox, kPrimary) == nullptr) {
        box.roots[kInbox].insert(box.roots[kInbox].begin(), Folder{kPrimary, kPrimary, {}});
    }
    if (box.Find(kOutbox, kSent) == nullptr) {
        box.roots[kOutbox].insert(box.roots[kOutbox].begin(), Folder{kSent, kSent, {}});
    }
    return box;
}

bool MailboxService::Commit(const QString& number, const std::map<QString, Box>& boxes,
                            const std::vector<std::pair<std::pair<QString, int32_t>, Message>>& added,
                            const std::vector<std::pair<QString, int32_t>>& removed,
                            const std::map<QString, int32_t>& counters) {
    const bool ok = network_.GetStore().Write([&](QSqlDatabase& db) {
        for (const auto& [owner, box] : boxes) {
            for (const char* table : {"mailbox_folders", "mailbox_entries"}) {
                QSqlQuery clear(db);
                clear.prepare(QString("DELETE FROM %1 WHERE network = ? AND owner = ?").arg(table));
                clear.addBindValue(number);
                clear.addBindValue(owner);
                if (!Exec(clear)) return false;
            }
            for (int root = 0; root < kRootCount; ++root) {
                int position = 0;
                for (const Folder& f : box.roots[static_cast<size_t>(root)]) {
                    QSqlQuery q(db);
                    q.prepare("INSERT INTO mailbox_folders (network, owner, root, key_lower,"
                              " folder_key, name, position) VALUES (?, ?, ?, ?, ?, ?, ?)");
                    q.addBindValue(number);
                    q.addBindValue(owner);
                    q.addBindValue(root);
                    q.addBindValue(NotNull(f.key.toLower()));
                    q.addBindValue(NotNull(f.key));
                    q.addBindValue(NotNull(f.name));
                    q.addBindValue(position++);
                    if (!Exec(q)) return false;
                    for (const Entry& e : f.entries) {
                        QSqlQuery qe(db);
                        qe.prepare(
                            "INSERT INTO mailbox_entries (network, owner, root, key_lower, sender,"
                            " number, sender_name, attachment, unread, sent_time, subject,"
                            " position) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
                        qe.addBindValue(number);
                        qe.addBindValue(owner);
                        qe.addBindValue(root);
                        qe.addBindValue(NotNull(f.key.toLower()));
                        qe.addBindValue(NotNull(e.sender));
                        qe.addBindValue(e.number);
                        qe.addBindValue(NotNull(e.senderName));
                        qe.addBindValue(e.attachment);
                        qe.addBindValue(e.unread);
                        qe.addBindValue(e.sentTime);
                        qe.addBindValue(NotNull(e.subject));
                        qe.addBindValue(e.position);
                        if (!Exec(qe)) return false;
                    }
                }
            }
        }
        for (const auto& [key, m] : added) {
            QSqlQuery q(db);
            q.prepare("INSERT INTO mailbox_messages (network, sender, number, sender_name,"
                      " subject, sent_time, attachment, attachment_name, recipients)"
                      " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
            q.addBindValue(number);
            q.addBindValue(key.first);
            q.addBindValue(key.second);
            q.addBindValue(NotNull(m.senderName));
            q.addBindValue(NotNull(m.subject));
            q.addBindValue(m.sentTime);
            q.addBindValue(m.attachment);
            q.addBindValue(NotNull(m.attachmentName));
            q.addBindValue(NotNull(m.recipients));
            if (!Exec(q)) return false;
        }
        for (const auto& key : removed) {
            QSqlQuery q(db);
            q.prepare("DELETE FROM mailbox_messages WHERE network = ? AND sender = ? AND number = ?");
            q.addBindValue(number);
            q.addBindValue(key.first);
            q.addBindValue(key.second);
            if (!Exec(q)) return false;
        }
        for (const auto& [sender, next] : counters) {
            QSqlQuery clear(db);
            clear.prepare("DELETE FROM mailbox_counters WHERE network = ? AND sender = ?");
            clear.addBindValue(number);
            clear.addBindValue(sender);
            if (!Exec(clear)) return false;
            QSqlQuery q(db);
            q.prepare("INSERT INTO mailbox_counters (network, sender, next_number) VALUES (?, ?, ?)");
            q.addBindValue(number);
            q.addBindValue(sender);
            q.addBindValue(next);
            if (!Exec(q)) return false;
        }
        return true;
    });
    if (!ok) {
        network_.Log("mailbox change not stored: " + network_.GetStore().LastError());
        return false;
    }
    NetState& net = nets_[number];
    for (const auto& [owner, box] : boxes) net.boxes[owner] = box;
    for (const auto& [key, m] : added) net.messages[key] = m;
    for (const auto& key : removed) net.messages.erase(key);
    for (const auto& [sender, next] : counters) net.nextNumber[sender] = next;
    return true;
}

bool MailboxService::Deliver(const Delivery& d, int32_t* numberOut, QString* error) {
    const auto refuse = [error](const QString& why) {
        if (error) *error = why;
        return false;
    };
    Network* net = network_.GetStore().FindNetwork(d.number);
    if (net == nullptr) return refuse("Unknown network");
    const QString number = net->number;
    const Account* sender = net->FindAccount(d.sender);
    if (sender == nullptr) return refuse("Unknown sender");
    const QString from = sender->username.toLower();

    QStringList individuals;
    QStringList recipientLines;
    for (const QString& r : d.recipients) {
        const Account* a = net->FindAccount(r);
        if (a == nullptr) return refuse(QString("Recipient '%1' does not exist").arg(r));
        recipientLines << "0 " + a->username + " " + a->username;
        if (!individuals.contains(a->username.toLower())) individuals << a->username.toLower();
    }
    for (const auto& s : d.sessions) {
        recipientLines << "1 " + PathName(OneLine(s.id)) + " " + OneLine(s.name);
    }

    NetState& state = nets_[number];
    int32_t n = 1;
    if (const auto it = state.nextNumber.find(from); it != state.nextNumber.end()) n = it->second;
    if (n == kNoAttachment) ++n;
    if (n <= 0) return refuse("No message numbers left");

    Message m;
    m.senderName = sender->username;
    m.subject = OneLine(d.subject);
    m.sentTime = d.sentTime != 0 ? d.sentTime : QDateTime::currentSecsSinceEpoch();
    m.attachment = d.hasAttachment ? n : kNoAttachment;
    m.attachmentName = d.hasAttachment ? d.attachmentName : QString();
    m.recipients = recipientLines.join('\n');

    Store& store = network_.GetStore();
    if (!store.WriteFile(BodyPath(number, from, n), d.body) ||
        (d.hasAttachment && !store.WriteFile(AttachmentPath(number, from, n), d.attachment))) {
        store.RemoveFile(store.ResolvePath(BodyPath(number, from, n)));
        return refuse("The message could not be stored");
    }

    std::map<QString, Box> boxes;
    const auto boxOf = [&](const QString& owner) -> Box& {
        auto it = boxes.find(owner);
        if (it == boxes.end()) it = boxes.emplace(owner, WithDefaults(number, owner)).first;
        return it->second;
    };
    Entry e;
    e.sender = from;
    e.senderName = sender->username;
    e.number = n;
    e.attachment = m.attachment;
    e.sentTime = m.sentTime;
    e.subject = m.subject;
    e.unread = 0;
    e.position = nextPosition_++;
    boxOf(from).Find(kOutbox, kSent)->entries.push_back(e);
    QStringList told;
    e.unread = 1;
    for (const QString& owner : individuals) {
        e.position = nextPosition_++;
        boxOf(owner).Find(kInbox, kPrimary)->entries.push_back(e);
        told << owner;
    }
    for (const auto& s : d.sessions) {
        const QString id = OneLine(s.id);
        QStringList seen;
        for (const QString& member : s.members) {
            const Account* a = net->FindAccount(member);
            if (a == nullptr || seen.contains(a->username.toLower())) continue;
            const QString owner = a->username.toLower();
            seen << owner;
            Box& box = boxOf(owner);
            Folder* folder = box.Find(kSessions, id);
            if (folder == nullptr) {
                box.roots[kSessions].push_back(Folder{id, OneLine(s.name), {}});
                folder = &box.roots[kSessions].back();
            }
            e.position = nextPosition_++;
            folder->entries.push_back(e);
            if (!told.contains(owner)) told << owner;
        }
    }
    const std::map<QString, int32_t> counters = {{from, n + 1}};
    if (!Commit(number, boxes, {{{from, n}, m}}, {}, counters)) {
        store.RemoveFile(store.ResolvePath(BodyPath(number, from, n)));
        store.RemoveFile(store.ResolvePath(AttachmentPath(number, from, n)));
        return refuse("The message could not be stored");
    }
    if (numberOut) *numberOut = n;
    PushNewMail(number, told);
    emit network_.MailDelivered(number, from, static_cast<int>(told.size()));
    return true;
}

void MailboxService::PushNewMail(const QString& number, const QStringList& owners) {
    for (ClientSession* s : network_.Sessions()) {
        if (s->Kind() != ServerKind::Network || !s->LoggedIn() || s->NetworkNumber() != number ||
            !owners.contains(s->Username().toLower()))
            continue;
        net::MessageWriter w(net::mailbox::kNewMail);
        s->Send(w, net::Primary::Mailbox, net::Secondary::Notification);
    }
}

QString MailboxService::CreateFolder(const QString& number, const QString& owner, int32_t root,
                                     const QString& name) {
    const QString why = CheckMailboxFolderName(root, name);
    if (!why.isEmpty()) return why;
    Box box = WithDefaults(number, owner);
    auto& folders = box.roots[static_cast<size_t>(root)];
    if (box.Find(root, name) != nullptr) return QString("A folder named '%1' already exists").arg(name);
    if (static_cast<int>(folders.size()) >= kMaxFoldersPerRoot) {
        return QString("A mailbox may hold at most %1 folders in its %2")
            .arg(kMaxFoldersPerRoot)
            .arg(root == kInbox ? "Inbox" : "Outbox");
    }
    folders.push_back(Folder{name, name, {}});
    if (!Commit(number, {{owner.toLower(), box}}, {}, {}, {})) return "The folder could not be stored";
    return {};
}

QString MailboxService::DeleteFolder(const QString& number, const QString& owner, int32_t root,
                                     const QString& key) {
    Box box = WithDefaults(number, owner);
    const Folder* folder = box.Find(root, key);
    if (folder == nullptr) return QString("No folder '%1' exists").arg(key);
    if (IsDefault(root, key)) return QString("The folder '%1' cannot be deleted").arg(folder->key);
    std::vector<std::pair<QString, int32_t>> removed;
    const QString me = owner.toLower();
    if (root == kOutbox) {
        // Outbox entries are the originals: they go with their folder.
        for (const Entry& e : folder->entries) {
            if (e.sender == me) removed.push_back({e.sender, e.number});
        }
    }
    auto& folders = box.roots[static_cast<size_t>(root)];
    folders.erase(folders.begin() + (folder - folders.data()));
    if (!Commit(number, {{me, box}}, {}, removed, {})) return "The folder could not be deleted";
    Store& store = network_.GetStore();
    for (const auto& [sender, n] : removed) {
        store.RemoveFile(store.ResolvePath(BodyPath(number, sender, n)));
        store.RemoveFile(store.ResolvePath(AttachmentPath(number, sender, n)));
    }
    return {};
}

bool MailboxService::ApplyOperation(const QString& number, const QString& owner,
                                    const QByteArray& file) {
    const QList<QByteArray> lines = file.split('\n');
    if (lines.size() < 3) return false;
    int32_t op = -1, root = -1;
    if (!WholeInt(lines[0], op) || !WholeInt(lines[1], root)) return false;
    if (op < 0 || op > 3 || root < 0 || root >= kRootCount) return false;
    const QString key = QString::fromUtf8(lines[2]);
    int first = 3;
    QString destination;
    if (op == 0) {
        if (lines.size() < 4) return false;
        destination = QString::fromUtf8(lines[3]);
        first = 4;
    }
    const QString me = owner.toLower();
    Box box = WithDefaults(number, owner);
    Folder* folder = box.Find(root, key);
    if (folder == nullptr) return true;  // nothing of it is here
    Folder* target = nullptr;
    if (op == 0) {
        // Moves stay within one Inbox or one Outbox.
        if (root == kSessions) return true;
        target = box.Find(root, destination);
        if (target == nullptr || target == folder) return true;
    }
    std::vector<std::pair<QString, int32_t>> removed;
    bool changed = false;
    for (int i = first; i < lines.size(); ++i) {
        const QList<QByteArray> f = lines[i].split(' ');
        int32_t n = 0;
        if (f.size() < 4 || !WholeInt(f[0], n)) continue;
        const QString sender = QString::fromUtf8(f[3]).toLower();
        auto it = std::find_if(folder->entries.begin(), folder->entries.end(),
                               [&](const Entry& e) { return e.sender == sender && e.number == n; });
        if (it == folder->entries.end()) continue;  // unknown here: skipped
        changed = true;
        switch (op) {
            case 0: {
                const bool there = std::any_of(
                    target->entries.begin(), target->entries.end(),
                    [&](const Entry& e) { return e.sender == sender && e.number == n; });
                if (!there) target->entries.push_back(*it);
                folder->entries.erase(it);
                break;
            }
            case 1:
                it->unread = 0;
                break;
            case 2:
                it->unread = 1;
                break;
            default:
                if (root == kOutbox && it->sender == me) removed.push_back({it->sender, it->number});
                folder->entries.erase(it);
                break;
        }
    }
    if (!changed) return true;
    if (!Commit(number, {{me, box}}, {}, removed, {})) return false;
    Store& store = network_.GetStore();
    for (const auto& [sender, n] : removed) {
        store.RemoveFile(store.ResolvePath(BodyPath(number, sender, n)));
        store.RemoveFile(store.ResolvePath(AttachmentPath(number, sender, n)));
    }
    return true;
}

QByteArray MailboxService::FolderList(const QString& number, const QString& owner) {
    const Box box = WithDefaults(number, owner);
    QByteArray out;
    for (int root = 0; root < kRootCount; ++root) {
        out += kMarkers[root];
        out += '\n';
        for (const Folder& f : box.roots[static_cast<size_t>(root)]) {
            int unread = 0;
            for (const Entry& e : f.entries) unread += e.unread != 0 ? 1 : 0;
            out += CutUtf8(f.key, kMaxKeyBytes) + ' ' + QByteArray::number(unread) + ' ' +
                   CutUtf8(OneLine(f.name), kMaxKeyBytes) + '\n';
        }
    }
    return out;
}

bool MailboxService::MessageList(const QString& number, const QString& owner, int32_t root,
                                 const QString& key, QByteArray& out) {
    const Box box = WithDefaults(number, owner);
    const Folder* folder = box.Find(root, key);
    if (folder == nullptr) return false;
    out.clear();
    for (const Entry& e : folder->entries) {
        const qint64 t = std::clamp<qint64>(e.sentTime, std::numeric_limits<int32_t>::min(),
                                            std::numeric_limits<int32_t>::max());
        out += QByteArray::number(e.number) + ' ' + QByteArray::number(e.attachment) + ' ' +
               QByteArray::number(e.unread != 0 ? 1 : 0) + ' ' + e.senderName.toUtf8() + ' ' +
               QByteArray::number(t) + ' ' + OneLine(e.subject).toUtf8() + '\n';
    }
    return true;
}

int64_t MailboxService::UnreadTotal(const QString& number, const QString& owner) {
    return WithDefaults(number, owner).Unread();
}

const MailboxService::Box* MailboxService::MailboxOf(const QString& number,
                                                     const QString& owner) const {
    const auto net = nets_.find(number);
    if (net == nets_.end()) return nullptr;
    const auto it = net->second.boxes.find(owner.toLower());
    return it == net->second.boxes.end() ? nullptr : &it->second;
}

const MailboxService::Message* MailboxService::FindMessage(const QString& number,
                                                           const QString& sender, int32_t n) const {
    const auto net = nets_.find(number);
    if (net == nets_.end()) return nullptr;
    const auto it = net->second.messages.find({sender.toLower(), n});
    return it == net->second.messages.end() ? nullptr : &it->second;
}

const MailboxService::Message* MailboxService::Readable(const QString& number, const QString& reader,
                                                        const QString& sender, int32_t n) const {
    const Message* m = FindMessage(number, sender, n);
    if (m == nullptr) return nullptr;
    const QString who = reader.toLower();
    const QString from = sender.toLower();
    if (who == from) return m;
    const Box* box = MailboxOf(number, who);
    if (box == nullptr) return nullptr;
    for (const auto& root : box->roots) {
        for (const Folder& f : root) {
            for (const Entry& e : f.entries) {
                if (e.sender == from && e.number == n) return m;
            }
        }
    }
    return nullptr;
}

bool MailboxService::AttachmentNameOf(const QString& number, const QString& reader,
                                      const QString& sender, int32_t n, int32_t attachment,
                                      QString& name) const {
    const Message* m = Readable(number, reader, sender, n);
    if (m == nullptr || m->attachment == kNoAttachment || m->attachment != attachment) return false;
    name = m->attachmentName;
    return true;
}

bool MailboxService::RecipientList(const QString& number, const QString& reader, int32_t root,
                                   const QString& key, const QString& sender, int32_t n,
                                   QByteArray& out) {
    const Message* m = Readable(number, reader, sender, n);
    if (m == nullptr) return false;
    out = m->recipients.toUtf8();
    if (!out.isEmpty()) out += '\n';
    // Opening a message is what reads it: the entry in the folder it was
    // opened from stops being unread.
    const QString owner = reader.toLower();
    const Box* current = MailboxOf(number, owner);
    if (current == nullptr) return true;
    Box box = *current;
    Folder* folder = box.Find(root, key);
    if (folder == nullptr) return true;
    bool changed = false;
    for (Entry& e : folder->entries) {
        if (e.sender == sender.toLower() && e.number == n && e.unread != 0) {
            e.unread = 0;
            changed = true;
        }
    }
    if (changed && !Commit(number, {{owner, box}}, {}, {}, {})) {
        qWarning("mailbox: marking a message read failed for %s", qPrintable(owner));
    }
    return true;
}

QStringList MailboxService::TakeRecipientList(const QString& number, const QString& owner,
                                              const QByteArray& file) {
    pending_.erase(OwnerKey(number, owner));
    Network* net = network_.GetStore().FindNetwork(number);
    SessionsService* sessions = nullptr;
    for (const auto& service : network_.AllServices()) {
        if (auto* found = dynamic_cast<SessionsService*>(service.get())) sessions = found;
    }
    PendingSend send;
    QStringList unknown;
    const QList<QByteArray> lines = file.split('\n');
    int count = 0;
    for (QByteArray line : lines) {
        if (line.endsWith('\r')) line.chop(1);
        if (line.isEmpty()) continue;
        if (++count > kMaxRecipientLines) return {"Too many recipients"};
        const qsizetype space = line.indexOf(' ');
        const QByteArray type = space < 0 ? line : line.left(space);
        const QString name = space < 0 ? QString() : QString::fromUtf8(line.mid(space + 1));
        if (type == "0") {
            const Account* a = net == nullptr ? nullptr : net->FindAccount(name);
            if (a == nullptr) {
                unknown << name;
            } else if (!send.individuals.contains(a->username, Qt::CaseInsensitive)) {
                send.individuals << a->username;
            }
        } else if (type == "1") {
            const StoredSession* s =
                sessions == nullptr ? nullptr : sessions->FindByName(number, name);
            if (s == nullptr) {
                unknown << "(" + name + ")";
                continue;
            }
            // A session's mail reaches its creator, its moderators and whoever is in it.
            Delivery::ToSession to{s->id, s->name, {}};
            const auto add = [&to](const QString& who) {
                if (!who.isEmpty() && !to.members.contains(who, Qt::CaseInsensitive))
                    to.members << who;
            };
            add(s->creator);
            for (const QString& m : s->moderators) add(m);
            for (const ClientSession* p : s->participants) add(p->Username());
            send.sessions.push_back(std::move(to));
        } else {
            unknown << QString::fromUtf8(line);
        }
    }
    if (unknown.isEmpty() && (!send.individuals.isEmpty() || !send.sessions.empty())) {
        pending_[OwnerKey(number, owner)] = std::move(send);
    } else if (unknown.isEmpty()) {
        unknown << "No recipients";
    }
    return unknown;
}

bool MailboxService::DeliverPending(const QString& number, const QString& owner, bool* withReport,
                                    bool* selfToo) {
    const auto it = pending_.find(OwnerKey(number, owner));
    if (it == pending_.end() || !it->second.hasBody) return false;
    const PendingSend send = std::move(it->second);
    pending_.erase(it);
    Delivery d;
    d.number = number;
    d.sender = owner;
    d.recipients = send.individuals;
    d.sessions = send.sessions;
    d.subject = send.subject;
    d.body = send.body;
    d.hasAttachment = send.hasAttachment;
    d.attachmentName = send.attachmentName;
    d.attachment = send.attachment;
    QString why;
    if (!Deliver(d, nullptr, &why)) {
        qWarning("mailbox: delivery from %s failed: %s", qPrintable(owner), qPrintable(why));
        return false;
    }
    bool self = send.individuals.contains(owner, Qt::CaseInsensitive);
    QByteArray report;
    for (const QString& r : send.individuals) report += r.toUtf8() + "\n";
    for (const auto& s : send.sessions) {
        self = self || s.members.contains(owner, Qt::CaseInsensitive);
        report += "(" + s.name.toUtf8() + "): " + s.members.join(", ").toUtf8() + "\n";
    }
    *withReport = !send.sessions.empty();
    *selfToo = self;
    if (*withReport) reports_[OwnerKey(number, owner)] = report;
    return true;
}

std::pair<int, qint64> MailboxService::KeptAttachments(const QString& number,
                                                      const QString& sender) const {
    std::pair<int, qint64> kept{0, 0};
    const auto net = nets_.find(number);
    if (net == nets_.end()) return kept;
    const QString from = sender.toLower();
    for (const auto& [key, m] : net->second.messages) {
        if (key.first != from || m.attachment == kNoAttachment) continue;
        ++kept.first;
        kept.second += QFileInfo(network_.GetStore().ResolvePath(
                                     AttachmentPath(number, from, key.second)))
                           .size();
    }
    return kept;
}

QByteArray MailboxService::LastReport(const QString& number, const QString& owner) const {
    const auto it = reports_.find(OwnerKey(number, owner));
    return it == reports_.end() ? QByteArray() : it->second;
}

void MailboxService::SendOnNetworkConnection(const QString& number, const QString& owner,
                                             net::MessageWriter& w) {
    for (ClientSession* s : network_.Sessions()) {
        if (s->Kind() == ServerKind::Network && s->LoggedIn() && s->NetworkNumber() == number &&
            s->Username().compare(owner, Qt::CaseInsensitive) == 0) {
            s->Send(w, net::Primary::Mailbox);
            return;
        }
    }
    qWarning("mailbox: %s has no network-server connection to answer on", qPrintable(owner));
}

void MailboxService::RegisterHandlers() {
    Router& router = network_.GetRouter();
    router.Register(ServerKind::File, net::Primary::Mailbox, net::mailbox::kCreateFolder,
                    [this](ClientSession& s, const net::bufHeader&, net::MessageReader& f) {
                        int32_t root = 0;
                        std::string name;
                        QString why = "The request could not be read";
                        if (f.Int(-1, -1, root) && f.Str(0, 255, name)) {
                            why = CreateFolder(s.NetworkNumber(), s.Username(), root,
                                               QString::fromUtf8(name.data(),
                                                                 static_cast<qsizetype>(name.size())));
                        }
                        if (why.isEmpty()) {
                            net::MessageWriter w(net::mailbox::kFolderCreated);
                            s.Send(w, net::Primary::Mailbox);
                        } else {
                            net::MessageWriter w(net::mailbox::kCreateFolderRefused);
                            w.Str(CutUtf8(why, kMaxDetails).toStdString());
                            s.Send(w, net::Primary::Mailbox);
                        }
                    });
    router.Register(ServerKind::File, net::Primary::Mailbox, net::mailbox::kDeleteFolder,
                    [this](ClientSession& s, const net::bufHeader&, net::MessageReader& f) {
                        int32_t root = 0;
                        std::string key;
                        QString why = "The request could not be read";
                        if (f.Int(-1, -1, root) && f.Str(0, 255, key)) {
                            why = DeleteFolder(s.NetworkNumber(), s.Username(), root,
                                               QString::fromUtf8(key.data(),
                                                                 static_cast<qsizetype>(key.size())));
                        }
                        if (why.isEmpty()) {
                            net::MessageWriter w(net::mailbox::kFolderDeleted);
                            s.Send(w, net::Primary::Mailbox);
                        } else {
                            net::MessageWriter w(net::mailbox::kDeleteFolderRefused);
                            w.Str(CutUtf8(why, kMaxDetails).toStdString());
                            s.Send(w, net::Primary::Mailbox);
                        }
                    });
    router.Register(ServerKind::File, net::Primary::Mailbox, net::mailbox::kUnreadRequest,
                    [this](ClientSession& s, const net::bufHeader&, net::MessageReader&) {
                        const int64_t unread = UnreadTotal(s.NetworkNumber(), s.Username());
                        net::MessageWriter w(net::mailbox::kUnreadMail);
                        w.Int(static_cast<int32_t>(
                            std::min<int64_t>(unread, std::numeric_limits<int32_t>::max())));
                        s.Send(w, net::Primary::Mailbox);
                    });

    router.Register(
        ServerKind::File, net::Primary::Mailbox, net::mailbox::kAttachmentName,
        [this](ClientSession& s, const net::bufHeader&, net::MessageReader& f) {
            int32_t root = 0, n = 0, attachment = 0;
            std::string key, sender;
            QString name;
            const bool ok = f.Int(-1, -1, root) && f.Str(0, 255, key) && f.Str(0, 255, sender) &&
                            f.Int(-1, -1, n) && f.Int(-1, -1, attachment) &&
                            AttachmentNameOf(s.NetworkNumber(), s.Username(),
                                             QString::fromUtf8(sender.data(),
                                                               static_cast<qsizetype>(sender.size())),
                                             n, attachment, name) &&
                            !name.isEmpty();
            if (ok) {
                net::MessageWriter w(net::mailbox::kAttachmentNameAnswer);
                w.Str(CutUtf8(name, 98).toStdString() + "\n");
                s.Send(w, net::Primary::Mailbox);
            } else {
                net::MessageWriter w(net::mailbox::kMessageGone);
                s.Send(w, net::Primary::Mailbox);
            }
        });

    router.Register(ServerKind::Network, net::Primary::Mailbox, net::mailbox::kDeliver,
                    [this](ClientSession& s, const net::bufHeader&, net::MessageReader&) {
                        bool withReport = false, selfToo = false;
                        if (!DeliverPending(s.NetworkNumber(), s.Username(), &withReport,
                                            &selfToo)) {
                            qWarning("mailbox: deliver from %s without a complete send ignored",
                                     qPrintable(s.Username()));
                            return;
                        }
                        net::MessageWriter w(withReport ? net::mailbox::kSentWithReport
                                                        : net::mailbox::kSent);
                        w.Int(selfToo ? 1 : 0);
                        s.Send(w, net::Primary::Mailbox);
                    });

    TransferEngine& transfers = network_.Transfers();
    const auto readMessage = [](net::MessageReader& f, std::string& sender, int32_t& n,
                                int32_t& attachment) {
        int32_t zero = 0;
        return f.Str(0, 255, sender) && f.Int(-1, -1, n) && f.Int(-1, -1, attachment) &&
               f.Int(-1, -1, zero);
    };
    const auto qs = [](const std::string& text) {
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    };
    transfers.RegisterDownload(net::mailbox::kReportDownload,
                               [this](ClientSession& s, net::MessageReader& f) {
                                   int32_t zero = 0;
                                   if (!f.Int(-1, -1, zero)) return DownloadDecision::Refuse();
                                   return DownloadDecision::ServeBytes(
                                       LastReport(s.NetworkNumber(), s.Username()));
                               });
    transfers.RegisterUpload(
        net::mailbox::kRecipientsUpload, [this](ClientSession& s, int32_t size, net::MessageReader&) {
            if (size > kMaxRecipientFile) {
                return UploadDecision::Refuse(net::upload::kRefusedFileTooLarge,
                                              "A list of recipients may be at most 64 KiB");
            }
            const QString number = s.NetworkNumber();
            const QString owner = s.Username();
            const QString path = Store::NetworkFolder(number) + "/mailbox/incoming/" +
                                 QString::number(s.Id()) + ".listrecipient";
            return UploadDecision::Accept(
                path, [this, number, owner](ClientSession&, bool stored, const QString& full) {
                    QByteArray file;
                    QFile in(full);
                    if (stored && in.open(QIODevice::ReadOnly)) file = in.readAll();
                    in.close();
                    network_.GetStore().RemoveFile(full);
                    if (!stored) return;
                    const QStringList unknown = TakeRecipientList(number, owner, file);
                    if (unknown.isEmpty()) {
                        net::MessageWriter w(net::mailbox::kGoAhead);
                        SendOnNetworkConnection(number, owner, w);
                    } else {
                        net::MessageWriter w(net::mailbox::kRecipientsRefused);
                        w.Str(CutUtf8("Unknown recipients: " + unknown.join(", "), kMaxDetails)
                                  .toStdString());
                        SendOnNetworkConnection(number, owner, w);
                    }
                });
        });
    transfers.RegisterUpload(
        net::mailbox::kAttachmentUpload,
        [this](ClientSession& s, int32_t size, net::MessageReader& f) {
            std::string nameBytes;
            if (!f.Str(0, 255, nameBytes)) {
                return UploadDecision::Refuse(net::upload::kRefusedInvalidFilename,
                                              "The attachment's name could not be read");
            }
            const QString number = s.NetworkNumber();
            const QString owner = s.Username();
            const ServerOptions& options = network_.Options();
            const auto [count, bytes] = KeptAttachments(number, owner);
            if (count >= options.mailAttachments) {
                return UploadDecision::Refuse(
                    net::upload::kRefusedTooManyAttachments,
                    QString("You may keep at most %1 attachments; delete some sent messages")
                        .arg(options.mailAttachments)
                        .toStdString());
            }
            if (size > kMaxAttachment || bytes + size > options.mailAttachmentSpace) {
                return UploadDecision::Refuse(net::upload::kRefusedAttachmentSpace,
                                              "There is no room for this attachment");
            }
            // The name is only data: files are stored by message number.
            const QString name = QString::fromUtf8(
                CutUtf8(OneLine(QString::fromUtf8(nameBytes.data(),
                                                  static_cast<qsizetype>(nameBytes.size()))),
                        99));
            const QString path = Store::NetworkFolder(number) + "/mailbox/incoming/" +
                                 QString::number(s.Id()) + ".attachment";
            return UploadDecision::Accept(
                path, [this, number, owner, name](ClientSession&, bool stored, const QString& full) {
                    QByteArray data;
                    QFile in(full);
                    const bool read = stored && in.open(QIODevice::ReadOnly);
                    if (read) data = in.read(kMaxAttachment);
                    in.close();
                    network_.GetStore().RemoveFile(full);
                    const auto it = pending_.find(OwnerKey(number, owner));
                    if (!read || it == pending_.end()) return;
                    it->second.hasAttachment = true;
                    it->second.attachmentName = name;
                    it->second.attachment = data;
                });
        });
    transfers.RegisterUpload(
        net::mailbox::kBodyUpload, [this](ClientSession& s, int32_t size, net::MessageReader& f) {
            std::string subjectBytes;
            if (!f.Str(0, 1024, subjectBytes)) {
                return UploadDecision::Refuse(net::upload::kRefusedInvalidFilename,
                                              "The subject could not be read");
            }
            const QString subject = QString::fromUtf8(
                subjectBytes.data(), static_cast<qsizetype>(subjectBytes.size()));
            if (subject.isEmpty() || subject.size() > kMaxSubject) {
                return UploadDecision::Refuse(net::upload::kRefusedInvalidFilename,
                                              "A subject has 1 to 100 characters");
            }
            if (size > kMaxBody) {
                s.Abort("a message body over 400000 bytes");
                return UploadDecision::Ignore();
            }
            const QString number = s.NetworkNumber();
            const QString owner = s.Username();
            const QString path = Store::NetworkFolder(number) + "/mailbox/incoming/" +
                                 QString::number(s.Id()) + ".message";
            return UploadDecision::Accept(
                path, [this, number, owner, subject](ClientSession& session, bool stored,
                                                     const QString& full) {
                    QByteArray body;
                    QFile in(full);
                    const bool read = stored && in.open(QIODevice::ReadOnly);
                    if (read) body = in.read(kMaxBody);
                    in.close();
                    network_.GetStore().RemoveFile(full);
                    const auto it = pending_.find(OwnerKey(number, owner));
                    if (!read || it == pending_.end()) return;
                    it->second.subject = subject;
                    it->second.body = body;
                    it->second.hasBody = true;
                    net::MessageWriter w(net::mailbox::kGoAhead);
                    session.Send(w, net::Primary::Mailbox);
                });
        });
    transfers.RegisterDownload(
        net::mailbox::kRecipientsDownload, [this, readMessage, qs](ClientSession& s,
                                                                   net::MessageReader& f) {
            int32_t root = 0, n = 0, attachment = 0;
            std::string key, sender;
            QByteArray list;
            if (!f.Int(-1, -1, root) || !f.Str(0, 255, key) ||
                !readMessage(f, sender, n, attachment) ||
                !RecipientList(s.NetworkNumber(), s.Username(), root, qs(key), qs(sender), n, list))
                return DownloadDecision::Refuse();
            return DownloadDecision::ServeBytes(list);
        });
    transfers.RegisterDownload(
        net::mailbox::kBodyDownload, [this, readMessage, qs](ClientSession& s,
                                                             net::MessageReader& f) {
            int32_t n = 0, attachment = 0;
            std::string sender;
            if (!readMessage(f, sender, n, attachment) ||
                Readable(s.NetworkNumber(), s.Username(), qs(sender), n) == nullptr)
                return DownloadDecision::Refuse();
            return DownloadDecision::ServeFile(BodyPath(s.NetworkNumber(), qs(sender), n));
        });
    transfers.RegisterDownload(
        net::mailbox::kAttachmentDownload, [this, readMessage, qs](ClientSession& s,
                                                                   net::MessageReader& f) {
            int32_t n = 0, attachment = 0;
            std::string sender;
            const Message* m = nullptr;
            if (!readMessage(f, sender, n, attachment) ||
                (m = Readable(s.NetworkNumber(), s.Username(), qs(sender), n)) == nullptr ||
                m->attachment == kNoAttachment || m->attachment != attachment)
                return DownloadDecision::Refuse();
            return DownloadDecision::ServeFile(AttachmentPath(s.NetworkNumber(), qs(sender), n));
        });
    transfers.RegisterDownload(net::mailbox::kFolderListDownload,
                               [this](ClientSession& s, net::MessageReader&) {
                                   return DownloadDecision::ServeBytes(
                                       FolderList(s.NetworkNumber(), s.Username()));
                               });
    transfers.RegisterDownload(
        net::mailbox::kMessageListDownload, [this](ClientSession& s, net::MessageReader& f) {
            int32_t zero = 0, root = 0;
            std::string key;
            QByteArray list;
            if (!f.Int(-1, -1, zero) || !f.Int(-1, -1, root) || !f.Str(0, 255, key) ||
                !MessageList(s.NetworkNumber(), s.Username(), root,
                             QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size())),
                             list))
                return DownloadDecision::Refuse();
            return DownloadDecision::ServeBytes(list);
        });
    transfers.RegisterUpload(
        net::mailbox::kOperationUpload,
        [this](ClientSession& s, int32_t size, net::MessageReader&) {
            if (size > kMaxOperationFile) {
                return UploadDecision::Refuse(net::upload::kRefusedFileTooLarge,
                                              "A list of messages may be at most 4 MiB");
            }
            const QString number = s.NetworkNumber();
            const QString owner = s.Username();
            const QString path = Store::NetworkFolder(number) + "/mailbox/incoming/" +
                                 QString::number(s.Id()) + ".listmessage";
            // Applied as the last chunk arrives, before anything else the
            // connection sends is read.
            return UploadDecision::Accept(
                path, [this, number, owner](ClientSession&, bool stored, const QString& full) {
                    if (stored) {
                        QFile file(full);
                        if (file.open(QIODevice::ReadOnly)) {
                            ApplyOperation(number, owner, file.readAll());
                        }
                    }
                    network_.GetStore().RemoveFile(full);
                });
        });
}

bool MailboxService::SeedDemo() {
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    constexpr qint64 kHour = 3600;
    constexpr qint64 kDay = 24 * kHour;
    for (const auto& netPtr : network_.GetStore().Networks()) {
        const QString number = netPtr->number;
        const QStringList cast = {"alice", "bob", "carol"};
        bool present = true;
        for (const QString& who : cast) present = present && AccountExists(number, who);
        if (!present) continue;
        // Only mailboxes nobody has had yet: a restart keeps what users did.
        bool any = false;
        for (const QString& who : cast) any = any || MailboxOf(number, who) != nullptr;
        if (any) continue;

        const auto send = [&](const QString& from, QStringList to, const QString& subject,
                              const QString& body, qint64 ago, int32_t* n = nullptr) {
            Delivery d;
            d.number = number;
            d.sender = from;
            d.recipients = std::move(to);
            d.subject = subject;
            d.body = body.toUtf8();
            d.sentTime = now - ago;
            return Deliver(d, n);
        };
        const auto markRead = [&](const QString& owner, int root, const QString& key,
                                  const QString& sender, int32_t n) {
            const QByteArray op = "1\n" + QByteArray::number(root) + "\n" + key.toUtf8() + "\n" +
                                  QString("%1 %2 0 %3\n")
                                      .arg(n, 6, 10, QChar('0'))
                                      .arg(kNoAttachment)
                                      .arg(sender)
                                      .toUtf8();
            return ApplyOperation(number, owner, op);
        };

        int32_t n = 0;
        bool ok = send("bob", {"alice"}, "Project kickoff",
                       "Hi Alice,\n\nThe kickoff is on Monday at ten.\n\nBob", 6 * kDay, &n) &&
                  markRead("alice", kInbox, kPrimary, "bob", n);
        ok = ok && CreateFolder(number, "alice", kInbox, "Projects").isEmpty();
        ok = ok && ApplyOperation(number, "alice",
                                  "0\n0\nPrimary\nProjects\n" +
                                      QString("%1 %2 0 bob\n")
                                          .arg(n, 6, 10, QChar('0'))
                                          .arg(kNoAttachment)
                                          .toUtf8());
        Delivery agenda;
        agenda.number = number;
        agenda.sender = "bob";
        agenda.sessions.push_back({"demo01", "Team Alpha", {"alice", "bob", "carol"}});
        agenda.subject = "Agenda for the next meeting";
        agenda.body = "Items for Thursday: the budget, the timetable, and any other business.";
        agenda.sentTime = now - 4 * kDay;
        ok = ok && Deliver(agenda, &n) && markRead("alice", kSessions, "demo01", "bob", n);
        ok = ok && send("carol", {"alice"}, "Lunch on Friday?",
                        "Shall we meet at the usual place at noon?", 3 * kDay, &n) &&
             markRead("alice", kInbox, kPrimary, "carol", n);
        ok = ok && send("alice", {"bob", "carol"}, "Meeting notes",
                        "Notes from today's meeting are below.\n\n- Budget agreed\n- Next steps",
                        2 * kDay);
        Delivery figures;
        figures.number = number;
        figures.sender = "bob";
        figures.recipients = {"alice", "carol"};
        figures.subject = "Quarterly figures";
        figures.body = "The figures for the quarter are attached.";
        figures.sentTime = now - kDay;
        figures.hasAttachment = true;
        figures.attachmentName = "figures.csv";
        figures.attachment = "quarter,income,costs\nQ1,1200,900\nQ2,1350,950\n";
        ok = ok && Deliver(figures);
        ok = ok && send("carol", {"alice"}, "Welcome back",
                        "Good to have you back on the network!", 5 * kHour);
        ok = ok && send("carol", {"bob"}, "Coffee?", "Coffee this afternoon?", 30 * kHour);
        ok = ok && CreateFolder(number, "bob", kOutbox, "Archive").isEmpty();
        if (!ok) return false;
    }
    return true;
}

}  // namespace localnet
