#include "server/contacts/ContactsService.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>

#include "server/core/ClientSession.h"
#include "server/core/LocalNetwork.h"
#include "server/core/TransferEngine.h"

namespace localnet {

namespace {

namespace contact = net::contact;

// The account list's request code (its download slot is 13).
constexpr int32_t kAccountListRequest = 8;

// The longest username the client's list and presence messages carry.
constexpr int kMaxListedName = 12;

// Request fields are read generously: a name that names no account is
// answered as unknown, not dropped.
constexpr int32_t kMaxNameField = 255;

// Plain SQL any Qt SQL driver takes; lists are kept with their order.
const std::vector<std::vector<QString>> kTables = {
    {
        "CREATE TABLE contact_entries ("
        " network TEXT NOT NULL,"
        " owner_key TEXT NOT NULL,"
        " position INTEGER NOT NULL,"
        " contact TEXT NOT NULL,"
        " PRIMARY KEY (network, owner_key, position))",
        "CREATE TABLE contact_muted ("
        " network TEXT NOT NULL,"
        " owner_key TEXT NOT NULL,"
        " position INTEGER NOT NULL,"
        " muted TEXT NOT NULL,"
        " PRIMARY KEY (network, owner_key, position))",
        // Accounts the demo seed has filled once: emptied lists stay empty.
        "CREATE TABLE contact_seeded ("
        " network TEXT NOT NULL,"
        " owner_key TEXT NOT NULL,"
        " PRIMARY KEY (network, owner_key))",
    },
};

bool ContainsName(const QStringList& names, const QString& name) {
    return names.contains(name, Qt::CaseInsensitive);
}

// ';' ends a field and a line break ends a line: neither may appear inside one.
QByteArray FieldText(const QString& text) {
    QString out = text;
    out.replace(QLatin1Char(';'), QLatin1Char(','));
    out.replace(QLatin1Char('\r'), QLatin1Char(' '));
    out.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return out.toUtf8();
}

}  // namespace

ContactsService::Key ContactsService::KeyOf(const QString& number, const QString& username) {
    return {number, username.toLower()};
}

ContactsService::ContactsService(LocalNetwork& network) : network_(network) {
    Router& router = network_.GetRouter();
    const auto readName = [](net::MessageReader& f, QString& name) {
        std::string bytes;
        if (!f.Str(1, kMaxNameField, bytes)) return false;
        name = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
        return true;
    };
    router.Register(
        ServerKind::Network, net::Primary::Contact, contact::kAddContact,
        [this, readName](ClientSession& s, const net::bufHeader&, net::MessageReader& f) {
            QString name;
            if (readName(f, name)) HandleAdd(s, name);
        });
    router.Register(
        ServerKind::Network, net::Primary::Contact, contact::kRemoveContact,
        [this, readName](ClientSession& s, const net::bufHeader&, net::MessageReader& f) {
            QString name;
            if (readName(f, name)) HandleRemove(s, name);
        });
    router.Register(
        ServerKind::Network, net::Primary::Contact, contact::kListRequest,
        [this](ClientSession& s, const net::bufHeader&, net::MessageReader&) { SendList(s); });
    router.Register(
        ServerKind::Network, net::Primary::Contact, contact::kMute,
        [this, readName](ClientSession& s, const net::bufHeader&, net::MessageReader& f) {
            QString name;
            int32_t flag = 0;
            if (readName(f, name) && f.Int(0, 1, flag)) HandleMute(s, name, flag == 1);
        });
    router.Register(ServerKind::Network, net::Primary::Contact, contact::kSetStatus,
                    [this](ClientSession& s, const net::bufHeader&, net::MessageReader& f) {
                        int32_t status = 0;
                        // Only online and away can be chosen; anything else is ignored.
                        if (!f.Int(1, 2, status)) return;
                        SetStatus(s.NetworkNumber(), s.Username(), status);
                    });

    network_.Transfers().RegisterDownload(
        kAccountListRequest, [this](ClientSession& s, net::MessageReader& f) {
            int32_t zero = 0;
            if (!f.Int(-1, -1, zero)) return DownloadDecision::Ignore();
            const Network* n = network_.GetStore().FindNetwork(s.NetworkNumber());
            if (!n) return DownloadDecision::Refuse();
            return DownloadDecision::ServeBytes(
                AccountListFile(*n, QDateTime::currentSecsSinceEpoch()));
        });

    QObject::connect(&network_, &LocalNetwork::LoggedIn, &network_,
                     [this](ClientSession* s) { OnLoggedIn(s); });
    QObject::connect(&network_, &LocalNetwork::ConnectionEnded, &network_,
                     [this](ClientSession* s) { OnConnectionEnded(s); });
}

bool ContactsService::Open(QString* error) {
    Store& store = network_.GetStore();
    if (!store.PrepareTables("contacts", kTables, error)) return false;
    lists_.clear();
    seeded_.clear();
    QSqlQuery q(store.Database());
    const auto fail = [&](const QSqlQuery& query) {
        if (error) *error = "cannot read the contacts: " + query.lastError().text();
        return false;
    };
    if (!q.exec("SELECT network, owner_key, contact FROM contact_entries "
                "ORDER BY network, owner_key, position"))
        return fail(q);
    while (q.next())
        lists_[{q.value(0).toString(), q.value(1).toString()}].contacts << q.value(2).toString();
    if (!q.exec("SELECT network, owner_key, muted FROM contact_muted "
                "ORDER BY network, owner_key, position"))
        return fail(q);
    while (q.next())
        lists_[{q.value(0).toString(), q.value(1).toString()}].muted << q.value(2).toString();
    if (!q.exec("SELECT network, owner_key FROM contact_seeded")) return fail(q);
    while (q.next()) seeded_[{q.value(0).toString(), q.value(1).toString()}] = true;
    return true;
}

bool ContactsService::SeedDemo() {
    struct Seed {
        const char* owner;
        std::vector<const char*> contacts;
        std::vector<const char*> muted;
    };
    static const Seed kSeeds[] = {
        {"alice", {"bob", "carol", "admin"}, {"admin"}},
        {"bob", {"alice", "carol"}, {}},
        {"carol", {"alice", "bob"}, {}},
        {"admin", {"root", "alice"}, {}},
        {"root", {"admin"}, {}},
    };
    Store& store = network_.GetStore();
    for (const auto& network : store.Networks()) {
        for (const Seed& seed : kSeeds) {
            const Account* owner = network->FindAccount(seed.owner);
            if (!owner) continue;
            const Key key = KeyOf(network->number, owner->username);
            // Only accounts that never had a list: a restart keeps what users changed.
            const auto existing = lists_.find(key);
            if (seeded_.count(key) ||
                (existing != lists_.end() && !existing->second.contacts.isEmpty()))
                continue;
            Lists lists = existing != lists_.end() ? existing->second : Lists{};
            for (const char* name : seed.contacts)
                if (const Account* a = network->FindAccount(name)) lists.contacts << a->username;
            for (const char* name : seed.muted)
                if (const Account* a = network->FindAccount(name)) lists.muted << a->username;
            if (!Save(key, lists)) return false;
            const bool marked = store.Write([&](QSqlDatabase& db) {
                QSqlQuery q(db);
                q.prepare("INSERT INTO contact_seeded (network, owner_key) VALUES (?, ?)");
                q.addBindValue(key.first);
                q.addBindValue(key.second);
                return q.exec();
            });
            if (!marked) return false;
            seeded_[key] = true;
        }
    }
    return true;
}

ContactsService::Lists ContactsService::ListsOf(const QString& number,
                                                const QString& username) const {
    const auto it = lists_.find(KeyOf(number, username));
    return it == lists_.end() ? Lists{} : it->second;
}

int ContactsService::StatusOf(const QString& number, const QString& username) const {
    const auto it = presence_.find(KeyOf(number, username));
    if (it == presence_.end() || it->second.connections <= 0) return 0;
    return it->second.status;
}

bool ContactsService::Save(const Key& owner, const Lists& lists) {
    const bool stored = network_.GetStore().Write([&](QSqlDatabase& db) {
        QSqlQuery q(db);
        for (const char* table : {"contact_entries", "contact_muted"}) {
            q.prepare(QString("DELETE FROM %1 WHERE network = ? AND owner_key = ?").arg(table));
            q.addBindValue(owner.first);
            q.addBindValue(owner.second);
            if (!q.exec()) return false;
        }
        const auto insert = [&](const char* table, const char* column, const QStringList& names) {
            for (int i = 0; i < names.size(); ++i) {
                q.prepare(QString("INSERT INTO %1 (network, owner_key, position, %2) "
                                  "VALUES (?, ?, ?, ?)")
                              .arg(table, column));
                q.addBindValue(owner.first);
                q.addBindValue(owner.second);
                q.addBindValue(i);
                q.addBindValue(names[i]);
                if (!q.exec()) return false;
            }
            return true;
        };
        return insert("contact_entries", "contact", lists.contacts) &&
               insert("contact_muted", "muted", lists.muted);
    });
    if (!stored) {
        network_.Log("cannot store the contacts of " + owner.second + ": " +
                     network_.GetStore().LastError());
        return false;
    }
    lists_[owner] = lists;
    return true;
}

void ContactsService::HandleAdd(ClientSession& session, const QString& name) {
    Network* n = network_.GetStore().FindNetwork(session.NetworkNumber());
    const Account* account = n ? n->FindAccount(name) : nullptr;
    if (!account) {
        SendUnknownUser(session);
        return;
    }
    const Key owner = KeyOf(session.NetworkNumber(), session.Username());
    Lists lists = ListsOf(owner.first, owner.second);
    // Already listed, or the list is full: the unchanged list answers.
    if (!ContainsName(lists.contacts, account->username) && lists.contacts.size() < kMaxContacts) {
        lists.contacts << account->username;
        Save(owner, lists);
    }
    SendList(session);
}

void ContactsService::HandleRemove(ClientSession& session, const QString& name) {
    Network* n = network_.GetStore().FindNetwork(session.NetworkNumber());
    const Key owner = KeyOf(session.NetworkNumber(), session.Username());
    Lists lists = ListsOf(owner.first, owner.second);
    const Account* account = n ? n->FindAccount(name) : nullptr;
    // A name that is no longer an account may still be listed: it goes too.
    const qsizetype at = [&] {
        for (qsizetype i = 0; i < lists.contacts.size(); ++i)
            if (lists.contacts[i].compare(name, Qt::CaseInsensitive) == 0) return i;
        return qsizetype(-1);
    }();
    if (!account && at < 0) {
        SendUnknownUser(session);
        return;
    }
    if (at >= 0) {
        lists.contacts.removeAt(at);
        Save(owner, lists);
    }
    SendList(session);
}

void ContactsService::HandleMute(ClientSession& session, const QString& name, bool mute) {
    Network* n = network_.GetStore().FindNetwork(session.NetworkNumber());
    const Account* account = n ? n->FindAccount(name) : nullptr;
    if (!account) {
        SendUnknownUser(session);
        return;
    }
    const Key owner = KeyOf(session.NetworkNumber(), session.Username());
    Lists lists = ListsOf(owner.first, owner.second);
    const bool listed = ContainsName(lists.muted, account->username);
    if (mute != listed) {
        if (mute) {
            lists.muted << account->username;
        } else {
            lists.muted.removeIf([&](const QString& m) {
                return m.compare(account->username, Qt::CaseInsensitive) == 0;
            });
        }
        Save(owner, lists);
    }
    SendList(session);
}

void ContactsService::SendList(ClientSession& session) {
    const Network* n = network_.GetStore().FindNetwork(session.NetworkNumber());
    const Lists lists = ListsOf(session.NetworkNumber(), session.Username());
    QStringList names;
    for (const QString& c : lists.contacts) {
        // Accounts deleted since they were added are left out, and so are
        // names too long for the client's list, which would end its reading.
        if (n && n->FindAccount(c) && c.toUtf8().size() <= kMaxListedName) names << c;
    }
    std::stable_sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    net::MessageWriter w(contact::kContactList);
    w.Int(static_cast<int32_t>(names.size()));
    for (const QString& c : names) {
        w.Str(c.toStdString());
        w.Str(ContainsName(lists.muted, c) ? "1" : "0");
        w.Int(StatusOf(session.NetworkNumber(), c));
    }
    session.Send(w, net::Primary::Contact);
}

void ContactsService::SendUnknownUser(ClientSession& session) {
    net::MessageWriter w(contact::kUnknownUser);
    session.Send(w, net::Primary::Contact);
}

void ContactsService::OnLoggedIn(ClientSession* session) {
    if (session->Kind() != ServerKind::Network || !session->LoggedIn()) return;
    Presence& p = presence_[KeyOf(session->NetworkNumber(), session->Username())];
    const bool wasOnline = p.connections > 0;
    const int before = p.status;
    ++p.connections;
    // Every sign-in is online to begin with.
    p.status = 1;
    if (!wasOnline || before != p.status) Push(session->NetworkNumber(), session->Username(), 1);
}

void ContactsService::OnConnectionEnded(ClientSession* session) {
    if (session->Kind() != ServerKind::Network || !session->LoggedIn()) return;
    const Key key = KeyOf(session->NetworkNumber(), session->Username());
    const auto it = presence_.find(key);
    if (it == presence_.end() || it->second.connections <= 0) return;
    if (--it->second.connections == 0) Push(session->NetworkNumber(), session->Username(), 0);
}

void ContactsService::SetStatus(const QString& number, const QString& username, int status) {
    const auto it = presence_.find(KeyOf(number, username));
    if (it == presence_.end() || it->second.connections <= 0) return;
    if (it->second.status == status) return;
    it->second.status = status;
    Push(number, username, status);
}

void ContactsService::Push(const QString& number, const QString& username, int status) {
    const Network* n = network_.GetStore().FindNetwork(number);
    const Account* account = n ? n->FindAccount(username) : nullptr;
    const QString stored = account ? account->username : username;
    emit network_.PresenceChanged(number, stored, status);
    if (stored.toUtf8().size() > kMaxListedName) return;
    for (ClientSession* s : network_.Sessions()) {
        if (s->Kind() != ServerKind::Network || !s->LoggedIn() || s->Closing() ||
            s->NetworkNumber() != number)
            continue;
        const auto lists = lists_.find(KeyOf(number, s->Username()));
        if (lists == lists_.end() || !ContainsName(lists->second.contacts, stored)) continue;
        net::MessageWriter w(contact::kStatusChanged);
        w.Int(status).Str(stored.toStdString());
        s->Send(w, net::Primary::Contact, net::Secondary::Notification);
    }
}

QByteArray ContactsService::AccountListFile(const Network& network, qint64 now) const {
    QByteArray out;
    for (const Account& a : network.accounts) {
        const qint64 since = a.lastLogin < 0 ? -1 : std::max<qint64>(0, now - a.lastLogin);
        const int type = a.root ? 0 : (a.admin ? 1 : 2);
        out += FieldText(a.username) + ';' + FieldText(a.fullName) + ';' +
               QByteArray::number(a.created) + ';' + QByteArray::number(since) + ';' +
               (StatusOf(network.number, a.username) != 0 ? "1" : "0") + ';' +
               (a.banned ? "1" : "0") + ';' + QByteArray::number(type) + ";\n";
    }
    return out;
}

}  // namespace localnet
