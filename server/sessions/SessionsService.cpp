#include "server/sessions/SessionsService.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <iterator>
#include <cstring>

#include "net/MessageBuffer.h"
#include "net/Protocol.h"
#include "server/core/ClientSession.h"
#include "server/core/LocalNetwork.h"
#include "server/core/Store.h"

namespace localnet {

namespace {

namespace code = net::session;

// A text field as UTF-8 that comes back out unchanged; false for bytes that
// are not UTF-8 or that carry control characters.
bool TextOf(const std::string& bytes, QString& out) {
    const QByteArray raw(bytes.data(), static_cast<qsizetype>(bytes.size()));
    const QString text = QString::fromUtf8(raw);
    if (text.toUtf8() != raw) return false;
    for (QChar c : text)
        if (c.category() == QChar::Other_Control) return false;
    out = text;
    return true;
}

// A description may run over several lines.
bool DescriptionOf(const std::string& bytes, QString& out) {
    QString text;
    const QByteArray raw(bytes.data(), static_cast<qsizetype>(bytes.size()));
    text = QString::fromUtf8(raw);
    if (text.toUtf8() != raw) return false;
    for (QChar c : text)
        if (c.category() == QChar::Other_Control && c != u'\n' && c != u'\r' && c != u'\t')
            return false;
    out = text;
    return true;
}

// An empty text, not a null one: Qt SQL binds a null QString as NULL.
QString Stored(const QString& text) {
    return text.isNull() ? QStringLiteral("") : text;
}

QString Quoted(const QString& text) {
    return QStringLiteral("\"%1\"").arg(text);
}

const std::vector<std::vector<QString>> kTableSteps = {
    {
        "CREATE TABLE sessions (network TEXT NOT NULL, id TEXT NOT NULL, name TEXT NOT NULL, "
        "name_key TEXT NOT NULL, description TEXT NOT NULL, password TEXT NOT NULL, "
        "private_flag INTEGER NOT NULL, max_participants INTEGER NOT NULL, creator TEXT NOT NULL, "
        "created BIGINT NOT NULL, PRIMARY KEY (network, id))",
        "CREATE UNIQUE INDEX sessions_by_name ON sessions (network, name_key)",
        "CREATE TABLE session_moderators (network TEXT NOT NULL, id TEXT NOT NULL, "
        "username TEXT NOT NULL, PRIMARY KEY (network, id, username))",
        "CREATE TABLE session_bans (network TEXT NOT NULL, id TEXT NOT NULL, "
        "username_key TEXT NOT NULL, until BIGINT NOT NULL, "
        "PRIMARY KEY (network, id, username_key))",
        "CREATE TABLE session_networks (network TEXT PRIMARY KEY, admin_only INTEGER NOT NULL, "
        "max_sessions INTEGER NOT NULL)",
    },
};

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

}  // namespace

SessionsService::SessionsService(LocalNetwork& network)
    : network_(network),
      random_(std::random_device{}()),
      now_([] { return QDateTime::currentSecsSinceEpoch(); }) {
    Router& router = network_.GetRouter();
    const auto on = [&](int32_t c, auto member) {
        router.Register(ServerKind::Network, net::Primary::Session, c,
                        [this, member](ClientSession& session, const net::bufHeader&,
                                       net::MessageReader& f) { (this->*member)(session, f); });
    };
    on(code::kCreateSession, &SessionsService::OnCreate);
    on(code::kModifySession, &SessionsService::OnModify);
    on(code::kDeleteSession, &SessionsService::OnDelete);
    on(code::kListSessions, &SessionsService::OnList);
    on(code::kGetSessionForModify, &SessionsService::OnGetForModify);
    on(code::kJoinSession, &SessionsService::OnJoin);
    on(code::kLeaveSession, &SessionsService::OnLeave);
    on(code::kSendChatLine, &SessionsService::OnChat);
    on(code::kSetModerator, &SessionsService::OnSetModerator);
    on(code::kRemoveParticipant, &SessionsService::OnRemove);
    on(code::kGetSessionInfo, &SessionsService::OnInfo);
    on(code::kInvite, &SessionsService::OnInvite);
    router.Register(ServerKind::Network, net::Primary::Session, code::kAskToCreate,
                    [this](ClientSession& session, const net::bufHeader&, net::MessageReader&) {
                        OnAskToCreate(session);
                    });
    connect(&network_, &LocalNetwork::ConnectionEnded, this, &SessionsService::OnConnectionEnded);
    connect(&network_, &LocalNetwork::PresenceChanged, this, &SessionsService::OnPresenceChanged);
}

const StoredSession* SessionsService::FindByName(const QString& number, const QString& name) {
    return TableOf(number).FindByName(name);
}

QString SessionsService::SessionFolder(const QString& number, const QString& id) {
    return Store::NetworkFolder(number) + "/sessions/" + id;
}

bool SessionsService::Open(QString* error) {
    Store& store = network_.GetStore();
    if (!store.PrepareTables("sessions", kTableSteps, error)) return false;
    tables_.clear();
    rules_.clear();
    const auto fail = [&](const QSqlQuery& q) {
        if (error) *error = "cannot read the sessions: " + q.lastError().text();
        return false;
    };
    QSqlQuery q(store.Database());
    if (!q.exec("SELECT network, admin_only, max_sessions FROM session_networks")) return fail(q);
    while (q.next()) {
        NetworkRules r;
        r.adminOnly = q.value(1).toInt() != 0;
        r.maxSessions = std::clamp(q.value(2).toInt(), 0, kMaxListedSessions);
        r.stored = true;
        rules_[q.value(0).toString()] = r;
    }
    if (!q.exec("SELECT network, id, name, description, password, private_flag, "
                "max_participants, creator, created FROM sessions"))
        return fail(q);
    while (q.next()) {
        StoredSession s;
        s.id = q.value(1).toString();
        s.name = q.value(2).toString();
        s.description = q.value(3).toString();
        s.password = q.value(4).toString();
        s.isPrivate = q.value(5).toInt() != 0;
        s.maxParticipants = std::clamp(q.value(6).toInt(), 1, kMaxParticipants);
        s.creator = q.value(7).toString();
        s.created = q.value(8).toLongLong();
        TableOf(q.value(0).toString()).Add(std::move(s));
    }
    if (!q.exec("SELECT network, id, username FROM session_moderators")) return fail(q);
    while (q.next()) {
        if (StoredSession* s = TableOf(q.value(0).toString()).Find(q.value(1).toString()))
            s->moderators << q.value(2).toString();
    }
    if (!q.exec("SELECT network, id, username_key, until FROM session_bans")) return fail(q);
    while (q.next()) {
        if (StoredSession* s = TableOf(q.value(0).toString()).Find(q.value(1).toString()))
            s->bans[q.value(2).toString().toLower()] = q.value(3).toLongLong();
    }
    return true;
}

SessionsService::NetworkRules SessionsService::RulesOf(const QString& number) const {
    const auto it = rules_.find(number);
    return it == rules_.end() ? NetworkRules{} : it->second;
}

bool SessionsService::IsAdministrator(const ClientSession& session) const {
    const Network* n = network_.GetStore().FindNetwork(session.NetworkNumber());
    const Account* a = n ? n->FindAccount(session.Username()) : nullptr;
    return a && (a->admin || a->root);
}

const StoredSession* SessionsService::FindById(const QString& number, const QString& id) {
    return TableOf(number).Find(id);
}

QString SessionsService::NewId(const SessionTable& table) {
    std::uniform_int_distribution<int> pick(0, int(sizeof kAlphabet) - 2);
    for (;;) {
        QString id;
        for (int i = 0; i < kSessionIdLength; ++i) id += QLatin1Char(kAlphabet[pick(random_)]);
        if (!table.Find(id)) return id;
    }
}

void SessionsService::SendError(ClientSession& session, int32_t c, const QString& explanation) {
    QByteArray text = explanation.toUtf8();
    if (text.size() > 512) text.truncate(512);
    net::MessageWriter w(c);
    w.Str(std::string_view(text.constData(), static_cast<size_t>(text.size())));
    session.Send(w, net::Primary::Session);
}

bool SessionsService::Insert(const QString& number, const StoredSession& s) {
    return network_.GetStore().Write([&](QSqlDatabase& db) {
        QSqlQuery q(db);
        q.prepare(
            "INSERT INTO sessions (network, id, name, name_key, description, password, "
            "private_flag, max_participants, creator, created) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, "
            "?)");
        q.addBindValue(number);
        q.addBindValue(s.id);
        q.addBindValue(s.name);
        q.addBindValue(s.name.toLower());
        q.addBindValue(s.description);
        q.addBindValue(Stored(s.password));
        q.addBindValue(s.isPrivate ? 1 : 0);
        q.addBindValue(s.maxParticipants);
        q.addBindValue(s.creator);
        q.addBindValue(s.created);
        return q.exec();
    });
}

void SessionsService::OnCreate(ClientSession& session, net::MessageReader& f) {
    std::string name, description, password;
    int32_t isPrivate = 0, maximum = 0;
    QString nameText, descriptionText, passwordText;
    if (!f.Str(1, kMaxSessionName, name) || !f.Str(1, kMaxDescription, description) ||
        !f.Str(0, kMaxSessionPassword, password) || !f.Int(0, 1, isPrivate) ||
        !f.Int(1, kMaxParticipants, maximum) || !TextOf(name, nameText) ||
        nameText.trimmed().isEmpty() || !DescriptionOf(description, descriptionText) ||
        !TextOf(password, passwordText) || (isPrivate && passwordText.isEmpty())) {
        network_.Log(QString("%1 %2: create session ignored: a field is outside its limits")
                         .arg(session.PeerText(), session.Username()));
        return;
    }
    const QString number = session.NetworkNumber();
    const NetworkRules rules = RulesOf(number);
    SessionTable& table = TableOf(number);
    if (rules.adminOnly && !IsAdministrator(session)) {
        SendError(session, code::kAdminOnly,
                  "Only administrators may create sessions on this network");
        return;
    }
    if (table.FindByName(nameText)) {
        SendError(
            session, code::kNameTaken,
            QString("A session named %1 already exists on this network").arg(Quoted(nameText)));
        return;
    }
    if (table.Count() >= std::min(rules.maxSessions, kMaxListedSessions)) {
        SendError(session, code::kSessionLimit,
                  QString("This network holds its maximum of %1 sessions").arg(rules.maxSessions));
        return;
    }
    StoredSession s;
    s.id = NewId(table);
    s.name = nameText;
    s.description = descriptionText;
    s.isPrivate = isPrivate != 0;
    s.password = s.isPrivate ? passwordText : QString();
    s.maxParticipants = maximum;
    s.creator = session.Username();
    s.created = now_();
    Store& store = network_.GetStore();
    const QString folder = store.ResolvePath(SessionFolder(number, s.id));
    if (folder.isEmpty() || !QDir().mkpath(folder)) {
        // No answer says this; the client sees no change, as if it were lost.
        network_.Log(QString("create session %1 on %2: cannot make its folder").arg(s.id, number));
        return;
    }
    if (!Insert(number, s)) {
        QDir(folder).removeRecursively();
        network_.Log("create session: " + store.LastError());
        return;
    }
    network_.Log(QString("%1 created session %2 (%3) on %4").arg(s.creator, s.id, s.name, number));
    table.Add(std::move(s));
    net::MessageWriter w(code::kCreated);
    session.Send(w, net::Primary::Session);
}

void SessionsService::OnAskToCreate(ClientSession& session) {
    net::MessageWriter w(code::kCreateAnswer);
    w.Int(RulesOf(session.NetworkNumber()).adminOnly ? 1 : 0);
    session.Send(w, net::Primary::Session);
}

void SessionsService::OnList(ClientSession& session, net::MessageReader& f) {
    int32_t sortCode = 0, pageIndex = 0, pageSize = 0, selector = 0, refresh = 0;
    if (!f.Int(0, 9, sortCode) || !f.Int(-1, -1, pageIndex) || !f.Int(-1, -1, pageSize) ||
        !f.Int(0, 1, selector) || !f.Int(-1, -1, refresh)) {
        network_.Log(QString("%1: list sessions ignored: a field is outside its limits")
                         .arg(session.PeerText()));
        return;
    }
    if (refresh != 0 && !network_.Options().quiet) {
        network_.Log(QString("%1 %2: list sessions, refresh %3")
                         .arg(session.PeerText(), session.Username())
                         .arg(refresh));
    }
    const ListPage page = TableOf(session.NetworkNumber()).Page(sortCode, pageIndex, pageSize);
    session.Send(BuildListPageMessage(page, selector));
}

StoredSession* SessionsService::Changeable(ClientSession& session, const QString& id,
                                           const char* what) {
    StoredSession* s = TableOf(session.NetworkNumber()).Find(id);
    if (!s) {
        SendError(session, code::kNotFound,
                  QString("No session with the identifier %1 exists on this network").arg(id));
        return nullptr;
    }
    if (s->creatorKey != session.Username().toLower() && !IsAdministrator(session)) {
        SendError(session, code::kNotFound,
                  QString("Only the creator of %1 or an administrator may %2 it")
                      .arg(Quoted(s->name), QLatin1String(what)));
        return nullptr;
    }
    return s;
}

void SessionsService::OnGetForModify(ClientSession& session, net::MessageReader& f) {
    std::string id;
    if (!f.Str(kSessionIdLength, kSessionIdLength, id)) return;
    StoredSession* s =
        Changeable(session, QString::fromUtf8(id.data(), qsizetype(id.size())), "modify");
    if (!s) return;
    net::MessageWriter w(code::kForModify);
    w.Str(s->idBytes).Str(s->description.toUtf8().toStdString()).Int(s->maxParticipants);
    w.Int(s->isPrivate ? 1 : 0).Str(s->password.toUtf8().toStdString());
    session.Send(w, net::Primary::Session);
}

void SessionsService::OnModify(ClientSession& session, net::MessageReader& f) {
    std::string id, description, password;
    int32_t isPrivate = 0, maximum = 0;
    QString descriptionText, passwordText;
    if (!f.Str(kSessionIdLength, kSessionIdLength, id) || !f.Str(1, kMaxDescription, description) ||
        !f.Str(0, kMaxSessionPassword, password) || !f.Int(0, 1, isPrivate) ||
        !f.Int(1, kMaxParticipants, maximum) || !DescriptionOf(description, descriptionText) ||
        !TextOf(password, passwordText) || (isPrivate && passwordText.isEmpty())) {
        network_.Log(QString("%1 %2: modify session ignored: a field is outside its limits")
                         .arg(session.PeerText(), session.Username()));
        return;
    }
    StoredSession* s =
        Changeable(session, QString::fromUtf8(id.data(), qsizetype(id.size())), "modify");
    if (!s) return;
    const QString number = session.NetworkNumber();
    const QString newPassword = isPrivate ? passwordText : QString();
    const bool written = network_.GetStore().Write([&](QSqlDatabase& db) {
        QSqlQuery q(db);
        q.prepare(
            "UPDATE sessions SET description = ?, password = ?, private_flag = ?, "
            "max_participants = ? WHERE network = ? AND id = ?");
        q.addBindValue(descriptionText);
        q.addBindValue(Stored(newPassword));
        q.addBindValue(isPrivate);
        q.addBindValue(maximum);
        q.addBindValue(number);
        q.addBindValue(s->id);
        return q.exec() && q.numRowsAffected() == 1;
    });
    if (!written) {
        network_.Log("modify session: " + network_.GetStore().LastError());
        SendError(session, code::kNotFound, "The session could not be changed");
        return;
    }
    s->description = descriptionText;
    s->password = newPassword;
    s->isPrivate = isPrivate != 0;
    s->maxParticipants = maximum;
    TableOf(number).Changed();
    net::MessageWriter w(code::kModified);
    session.Send(w, net::Primary::Session);
}

void SessionsService::OnDelete(ClientSession& session, net::MessageReader& f) {
    std::string id;
    if (!f.Str(kSessionIdLength, kSessionIdLength, id)) return;
    StoredSession* s =
        Changeable(session, QString::fromUtf8(id.data(), qsizetype(id.size())), "delete");
    if (!s) return;
    const QString number = session.NetworkNumber();
    Store& store = network_.GetStore();
    // The folder goes first: a session whose files could not be removed stays
    // listed, so that nothing is left behind unowned.
    const QString folder = store.ResolvePath(SessionFolder(number, s->id));
    const QFileInfo info(folder);
    const bool removed =
        !folder.isEmpty() && (!info.exists() || (info.isDir() && QDir(folder).removeRecursively()));
    const QString sessionId = s->id;
    const bool written = removed && store.Write([&](QSqlDatabase& db) {
        for (const char* table : {"sessions", "session_moderators", "session_bans"}) {
            QSqlQuery q(db);
            q.prepare(QString("DELETE FROM %1 WHERE network = ? AND id = ?").arg(table));
            q.addBindValue(number);
            q.addBindValue(sessionId);
            if (!q.exec()) return false;
        }
        return true;
    });
    if (!written) {
        if (removed) QDir().mkpath(folder);  // the session stays, with its folder
        network_.Log(QString("delete session %1 on %2 failed").arg(sessionId, number));
        net::MessageWriter w(code::kDeleteFailed);
        session.Send(w, net::Primary::Session);
        return;
    }
    // Everyone still in it learns that it is closed for them.
    const std::vector<ClientSession*> inside = s->participants;
    TableOf(number).Remove(sessionId);
    for (ClientSession* p : inside) {
        net::MessageWriter n(code::kClosed);
        n.Int(0).Str(sessionId.toStdString());
        p->Send(n, net::Primary::Session, net::Secondary::Notification);
    }
    network_.Log(QString("%1 deleted session %2 on %3").arg(session.Username(), sessionId, number));
    emit SessionDeleted(number, sessionId);
    net::MessageWriter w(code::kDeleted);
    session.Send(w, net::Primary::Session);
}

void SessionsService::OnJoin(ClientSession& session, net::MessageReader& f) {
    std::string id, password;
    if (!f.Str(kSessionIdLength, kSessionIdLength, id) || !f.Str(0, kMaxSessionPassword, password))
        return;
    const QString number = session.NetworkNumber();
    SessionTable& table = TableOf(number);
    StoredSession* s = table.Find(QString::fromUtf8(id.data(), qsizetype(id.size())));
    if (!s) {
        SendError(session, code::kNotFound,
                  QString("No session with the identifier %1 exists on this network")
                      .arg(QString::fromUtf8(id.data(), qsizetype(id.size()))));
        return;
    }
    const QString me = session.Username().toLower();
    for (ClientSession* p : s->participants) {
        if (p->Username().toLower() == me) {
            SendError(session, code::kAlreadyIn,
                      QString("You are already in %1").arg(Quoted(s->name)));
            return;
        }
    }
    const auto ban = s->bans.find(me);
    if (ban != s->bans.end() && ban->second > now_()) {
        SendError(session, code::kBanned,
                  QString("You are banned from %1 until %2")
                      .arg(Quoted(s->name), QDateTime::fromSecsSinceEpoch(ban->second)
                                                .toLocalTime()
                                                .toString("yyyy-MM-dd hh:mm:ss")));
        return;
    }
    const bool privileged = s->creatorKey == me || IsAdministrator(session);
    if (s->isPrivate && !privileged) {
        if (password.empty()) {
            net::MessageWriter w(code::kPasswordRequired);
            w.Str(s->idBytes);
            session.Send(w, net::Primary::Session);
            return;
        }
        if (QByteArray(password.data(), qsizetype(password.size())) != s->password.toUtf8()) {
            SendError(session, code::kWrongPassword,
                      QString("The password given for %1 is not correct").arg(Quoted(s->name)));
            return;
        }
    }
    if (static_cast<int32_t>(s->participants.size()) >= s->maxParticipants) {
        SendError(session, code::kSessionFull,
                  QString("%1 already holds its maximum of %2 participants")
                      .arg(Quoted(s->name))
                      .arg(s->maxParticipants));
        return;
    }
    s->participants.push_back(&session);
    table.Changed();
    network_.Log(QString("%1 joined session %2 on %3").arg(session.Username(), s->id, number));
    SendRoomState(number, *s, code::kEventJoined, session.Username());
}

int32_t SessionsService::PresenceOf(const QString& number, const QString& username) const {
    const auto it = presence_.find(number + '/' + username.toLower());
    return it == presence_.end() || it->second == 0 ? 1 : it->second;
}

void SessionsService::SendRoomState(const QString& number, const StoredSession& s, int32_t event,
                                    const QString& account) {
    const Network* n = network_.GetStore().FindNetwork(number);
    const QDateTime t = QDateTime::fromSecsSinceEpoch(s.created).toLocalTime();
    net::MessageWriter w(code::kRoomState);
    w.Str(s.idBytes).Int(event).Str(account.toUtf8().toStdString());
    w.Str(s.name.toUtf8().toStdString()).Str(s.description.toUtf8().toStdString());
    w.Str(s.creator.toUtf8().toStdString());
    w.Int(t.date().year() - 1900).Int(t.date().month() - 1).Int(t.date().day());
    w.Int(t.time().hour()).Int(t.time().minute()).Int(t.time().second());
    w.Int(static_cast<int32_t>(s.participants.size()));
    for (const ClientSession* p : s.participants) {
        const Account* a = n ? n->FindAccount(p->Username()) : nullptr;
        const QString key = p->Username().toLower();
        bool moderator = false;
        for (const QString& m : s.moderators) moderator = moderator || m.toLower() == key;
        w.Str(p->Username().toUtf8().toStdString());
        w.Int(a && (a->admin || a->root) ? 1 : 0);
        w.Int(s.creatorKey == key ? 1 : 0);
        w.Int(moderator ? 1 : 0);
        w.Int(PresenceOf(number, p->Username()));
    }
    const std::unique_ptr<net::MessageBuffer> message =
        w.Finish(net::Primary::Session, net::Secondary::Notification);
    if (!message) return;
    // The same bytes to everyone in the session, the one it concerns included.
    for (ClientSession* p : s.participants) p->Send(std::make_unique<net::MessageBuffer>(*message));
    if (event != code::kEventRefresh) emit EventRelayed(number, s.id, event, account);
}

void SessionsService::OnConnectionEnded(ClientSession* session) {
    if (session->Kind() != ServerKind::Network || !session->LoggedIn()) return;
    SessionTable& table = TableOf(session->NetworkNumber());
    std::vector<QString> left;
    for (const auto& [id, s] : table.All()) {
        auto& in = s->participants;
        const auto it = std::find(in.begin(), in.end(), session);
        if (it == in.end()) continue;
        in.erase(it);
        left.push_back(id);
    }
    if (left.empty()) return;
    table.Changed();
    for (const QString& id : left) {
        if (const StoredSession* s = table.Find(id))
            SendRoomState(session->NetworkNumber(), *s, code::kEventLeft, session->Username());
    }
}

bool SessionsService::SeedDemo() {
    struct DemoSession {
        const char* name;
        const char* creator;
        const char* description;
        const char* password;  // private when set
        int maximum;
        int daysAgo;  // 0: today
        int minutesAgo;
        // A fixed id where other demo data refers to the session (the demo
        // mailboxes keep its mail in a folder keyed by it); else a new one.
        const char* id = nullptr;
        const char* moderator = nullptr;
    };
    static constexpr DemoSession kDemo[] = {
        {"Lobby", "admin", "Say hello: everyone is welcome here.", nullptr, 200, 0, 5, nullptr,
         "bob"},
        {"Project X", "bob", "The plans for Project X. Ask bob for the password.", "xpass", 12, 0,
         40},
        {"Release Planning", "alice", "What goes into the next release, and when.", nullptr, 30, 0,
         95},
        {"Design Review", "carol", "Screens and sketches up for comment.", nullptr, 20, 1, 0},
        {"Help Desk", "admin", "Questions about the network and its tools.", nullptr, 100, 1, 200},
        {"Book Club", "carol", "This month: a short novel, chapters 1 to 5.", nullptr, 15, 2, 0},
        {"Coffee Corner", "bob", "Nothing work related, please.", nullptr, 50, 2, 300},
        {"Quarterly Numbers", "admin", "Figures for the board.", "q3figures", 8, 3, 0},
        {"Frontend Guild", "alice", "Layouts, fonts and everything that draws.", nullptr, 40, 3,
         600},
        {"Backend Guild", "bob", "Servers, queues and databases.", nullptr, 40, 4, 0},
        {"Hiring", "carol", "Interviews this week.", "hire2026", 6, 4, 120},
        {"Music", "alice", "Share what you listen to.", nullptr, 60, 5, 0},
        {"Travel Tips", "carol", "Where to go and what to pack.", nullptr, 60, 6, 0},
        {"Incident Room", "admin", "Only while something is down.", nullptr, 25, 7, 0},
        {"Photography", "bob", "Pictures of the week.", nullptr, 30, 8, 0},
        {"Language Exchange", "alice", "Practise a language with a partner.", nullptr, 20, 9, 0},
        {"Board Games", "carol", "Friday evening games.", nullptr, 12, 10, 0},
        {"Security", "admin", "Reports and patches.", "s3cure", 10, 11, 0},
        {"Gardening", "bob", "Seeds, soil and seasons.", nullptr, 25, 12, 0},
        {"Team Alpha", "alice", "Team Alpha's weekly sync and its notes.", nullptr, 30, 14, 0,
         "demo01"},
        {"Movie Night", "carol", "Vote for the next film.", nullptr, 40, 16, 0},
        {"Accessibility", "alice", "Making every screen usable by all.", nullptr, 30, 18, 0},
        {"Cooking", "bob", "Recipes that work.", nullptr, 30, 21, 0},
        {"Archive 2025", "admin", "Last year's talk, kept for reference.", nullptr, 200, 40, 0},
    };
    struct DemoRules {
        const char* number;
        bool adminOnly;
    };
    static constexpr DemoRules kRules[] = {{"1234567", false}, {"7654321", true}};
    Store& store = network_.GetStore();
    const qint64 now = now_();
    for (const auto& r : kRules) {
        const QString number = QString::fromLatin1(r.number);
        if (!store.FindNetwork(number) || rules_.count(number) != 0) continue;
        NetworkRules rules;
        rules.adminOnly = r.adminOnly;
        rules.stored = true;
        // The directory is only seeded once: a network that has its rules
        // already has had its chance, whatever its users deleted since.
        std::vector<StoredSession> added;
        if (number == QLatin1String("1234567") && TableOf(number).Count() == 0) {
            for (const auto& d : kDemo) {
                StoredSession s;
                const auto taken = [&](const QString& id) {
                    return std::any_of(added.begin(), added.end(),
                                       [&](const StoredSession& o) { return o.id == id; }) ||
                           std::any_of(std::begin(kDemo), std::end(kDemo), [&](const DemoSession& f) {
                               return f.id && id == QLatin1String(f.id);
                           });
                };
                if (d.id) {
                    s.id = QString::fromLatin1(d.id);
                } else {
                    do {
                        s.id = NewId(TableOf(number));
                    } while (taken(s.id));
                }
                s.name = QString::fromUtf8(d.name);
                s.description = QString::fromUtf8(d.description);
                s.isPrivate = d.password != nullptr;
                s.password = d.password ? QString::fromUtf8(d.password) : QString();
                s.maxParticipants = d.maximum;
                s.creator = QString::fromLatin1(d.creator);
                s.created = now - qint64(d.daysAgo) * 86400 - qint64(d.minutesAgo) * 60;
                if (d.moderator) s.moderators << QString::fromLatin1(d.moderator);
                added.push_back(std::move(s));
            }
        }
        const bool written = store.Write([&](QSqlDatabase& db) {
            QSqlQuery q(db);
            q.prepare(
                "INSERT INTO session_networks (network, admin_only, max_sessions) VALUES (?, ?, "
                "?)");
            q.addBindValue(number);
            q.addBindValue(rules.adminOnly ? 1 : 0);
            q.addBindValue(rules.maxSessions);
            if (!q.exec()) {
                network_.Log("seeding sessions: " + q.lastError().text());
                return false;
            }
            for (const StoredSession& s : added) {
                QSqlQuery i(db);
                i.prepare(
                    "INSERT INTO sessions (network, id, name, name_key, description, password, "
                    "private_flag, max_participants, creator, created) "
                    "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
                for (const QVariant& v :
                     {QVariant(number), QVariant(s.id), QVariant(s.name),
                      QVariant(s.name.toLower()), QVariant(s.description),
                      QVariant(Stored(s.password)), QVariant(s.isPrivate ? 1 : 0),
                      QVariant(s.maxParticipants), QVariant(s.creator), QVariant(s.created)})
                    i.addBindValue(v);
                if (!i.exec()) {
                    network_.Log("seeding sessions: " + i.lastError().text());
                    return false;
                }
                for (const QString& m : s.moderators) {
                    QSqlQuery mq(db);
                    mq.prepare(
                        "INSERT INTO session_moderators (network, id, username) VALUES (?, ?, ?)");
                    mq.addBindValue(number);
                    mq.addBindValue(s.id);
                    mq.addBindValue(m);
                    if (!mq.exec()) {
                        network_.Log("seeding sessions: " + mq.lastError().text());
                        return false;
                    }
                }
            }
            return true;
        });
        if (!written) return false;
        rules_[number] = rules;
        for (StoredSession& s : added) {
            QDir().mkpath(store.ResolvePath(SessionFolder(number, s.id)));
            TableOf(number).Add(std::move(s));
        }
    }
    return true;
}

void SessionsService::OnPresenceChanged(const QString& number, const QString& username,
                                        int status) {
    presence_[number + '/' + username.toLower()] = status;
    // Away and back are told in every room the account is in; going
    // offline is told by the leave that the ended connection makes.
    if (status != 1 && status != 2) return;
    const int32_t event = status == 2 ? code::kEventAway : code::kEventOnline;
    auto found = tables_.find(number);
    if (found == tables_.end()) return;
    for (const auto& [id, s] : found->second.All()) {
        if (ClientSession* p = ParticipantNamed(*s, username))
            SendRoomState(number, *s, event, p->Username());
    }
}

// --- The room ---

ClientSession* SessionsService::ParticipantNamed(const StoredSession& s, const QString& username) {
    const QString key = username.toLower();
    for (ClientSession* p : s.participants)
        if (p->Username().toLower() == key) return p;
    return nullptr;
}

StoredSession* SessionsService::RoomOf(ClientSession& session, const std::string& id) {
    StoredSession* s =
        TableOf(session.NetworkNumber()).Find(QString::fromUtf8(id.data(), qsizetype(id.size())));
    if (!s) return nullptr;
    const auto& in = s->participants;
    return std::find(in.begin(), in.end(), &session) == in.end() ? nullptr : s;
}

int SessionsService::RankOf(const QString& number, const StoredSession& s,
                            const QString& username) const {
    const Network* n = network_.GetStore().FindNetwork(number);
    const Account* a = n ? n->FindAccount(username) : nullptr;
    if (a && (a->admin || a->root)) return 3;
    const QString key = username.toLower();
    if (s.creatorKey == key) return 2;
    for (const QString& m : s.moderators)
        if (m.toLower() == key) return 1;
    return 0;
}

QString SessionsService::StoredName(const ClientSession& session) const {
    const Network* n = network_.GetStore().FindNetwork(session.NetworkNumber());
    const Account* a = n ? n->FindAccount(session.Username()) : nullptr;
    return a ? a->username : session.Username();
}

void SessionsService::OnLeave(ClientSession& session, net::MessageReader& f) {
    std::string id;
    if (!f.Str(kSessionIdLength, kSessionIdLength, id)) return;
    StoredSession* s = RoomOf(session, id);
    if (!s) return;
    auto& in = s->participants;
    in.erase(std::find(in.begin(), in.end(), &session));
    const QString number = session.NetworkNumber();
    TableOf(number).Changed();
    network_.Log(QString("%1 left session %2 on %3").arg(session.Username(), s->id, number));
    SendRoomState(number, *s, code::kEventLeft, session.Username());
}

void SessionsService::OnChat(ClientSession& session, net::MessageReader& f) {
    std::string id, text;
    int32_t font = 0, red = 0, green = 0, blue = 0, bold = 0, italic = 0, underline = 0, kind = 0;
    // Only what every client can read back goes out again.
    const bool read = f.Str(kSessionIdLength, kSessionIdLength, id) && f.Int(0, 99, font) &&
                      f.Int(0, 255, red) && f.Int(0, 255, green) && f.Int(0, 255, blue) &&
                      f.Int(0, 1, bold) && f.Int(0, 1, italic) && f.Int(0, 1, underline) &&
                      f.Int(0, 2, kind) && f.Str(1, kMaxChatText, text);
    if (!read) {
        network_.Log(QString("chat line from %1 dropped: a field is out of range")
                         .arg(session.Username()));
        return;
    }
    StoredSession* s = RoomOf(session, id);
    if (!s) {
        network_.Log(QString("chat line from %1 dropped: not in session %2")
                         .arg(session.Username(), QString::fromUtf8(id.c_str())));
        return;
    }
    net::MessageWriter w(code::kChatLine);
    w.Str(s->idBytes).Str(StoredName(session).toUtf8().toStdString());
    w.Int(font).Int(red).Int(green).Int(blue).Int(bold).Int(italic).Int(underline).Int(kind);
    w.Str(text);
    const std::unique_ptr<net::MessageBuffer> message =
        w.Finish(net::Primary::Session, net::Secondary::Notification);
    if (!message) return;
    // The sender too: its own line shows when it comes back.
    for (ClientSession* p : s->participants)
        p->Send(std::make_unique<net::MessageBuffer>(*message));
    emit ChatRelayed(session.NetworkNumber(), s->id, StoredName(session),
                     QByteArray(text.data(), static_cast<qsizetype>(text.size())));
}

void SessionsService::OnSetModerator(ClientSession& session, net::MessageReader& f) {
    std::string id, account;
    int32_t flag = 0;
    if (!f.Str(kSessionIdLength, kSessionIdLength, id) || !f.Str(1, kMaxAccountName, account) ||
        !f.Int(0, 1, flag))
        return;
    StoredSession* s = RoomOf(session, id);
    if (!s) return;
    const QString number = session.NetworkNumber();
    ClientSession* target = ParticipantNamed(*s, QString::fromUtf8(account.c_str()));
    const int own = RankOf(number, *s, session.Username());
    const int theirs = target ? RankOf(number, *s, target->Username()) : 0;
    if (!target || own < 1 || own < theirs || theirs > 1) {
        network_.Log(QString("%1 may not change the moderator status of %2 in %3")
                         .arg(session.Username(), QString::fromUtf8(account.c_str()), s->id));
        return;
    }
    const QString name = target->Username();
    const QString key = name.toLower();
    const bool written = network_.GetStore().Write([&](QSqlDatabase& db) {
        QSqlQuery q(db);
        q.prepare("DELETE FROM session_moderators WHERE network = ? AND id = ? AND "
                  "LOWER(username) = ?");
        q.addBindValue(number);
        q.addBindValue(s->id);
        q.addBindValue(key);
        if (!q.exec()) return false;
        if (flag == 0) return true;
        QSqlQuery i(db);
        i.prepare("INSERT INTO session_moderators (network, id, username) VALUES (?, ?, ?)");
        i.addBindValue(number);
        i.addBindValue(s->id);
        i.addBindValue(name);
        return i.exec();
    });
    if (!written) {
        network_.Log("set moderator: " + network_.GetStore().LastError());
        return;
    }
    s->moderators.erase(std::remove_if(s->moderators.begin(), s->moderators.end(),
                                       [&](const QString& m) { return m.toLower() == key; }),
                        s->moderators.end());
    if (flag == 1) s->moderators << name;
    SendRoomState(number, *s, flag == 1 ? code::kEventModerator : code::kEventParticipant, name);
}

void SessionsService::OnRemove(ClientSession& session, net::MessageReader& f) {
    std::string id, account;
    int32_t minutes = 0;
    if (!f.Str(kSessionIdLength, kSessionIdLength, id) || !f.Str(1, kMaxAccountName, account) ||
        !f.Int(0, kMaxBanMinutes, minutes))
        return;
    StoredSession* s = RoomOf(session, id);
    if (!s) return;
    const QString number = session.NetworkNumber();
    ClientSession* target = ParticipantNamed(*s, QString::fromUtf8(account.c_str()));
    const int own = RankOf(number, *s, session.Username());
    const int theirs = target ? RankOf(number, *s, target->Username()) : 0;
    if (!target || own < 1 || own < theirs) {
        network_.Log(QString("%1 may not remove %2 from %3")
                         .arg(session.Username(), QString::fromUtf8(account.c_str()), s->id));
        return;
    }
    const QString key = target->Username().toLower();
    if (minutes > 0) {
        const qint64 until = now_() + qint64(minutes) * 60;
        const bool written = network_.GetStore().Write([&](QSqlDatabase& db) {
            QSqlQuery d(db);
            d.prepare("DELETE FROM session_bans WHERE network = ? AND id = ? AND username_key = ?");
            d.addBindValue(number);
            d.addBindValue(s->id);
            d.addBindValue(key);
            if (!d.exec()) return false;
            QSqlQuery q(db);
            q.prepare("INSERT INTO session_bans (network, id, username_key, until) "
                      "VALUES (?, ?, ?, ?)");
            q.addBindValue(number);
            q.addBindValue(s->id);
            q.addBindValue(key);
            q.addBindValue(until);
            return q.exec();
        });
        if (!written) {
            // Nobody is removed on a promise of a ban that was not kept.
            network_.Log("ban: " + network_.GetStore().LastError());
            return;
        }
        s->bans[key] = until;
    }
    auto& in = s->participants;
    in.erase(std::find(in.begin(), in.end(), target));
    TableOf(number).Changed();
    net::MessageWriter n(minutes > 0 ? code::kClosedAlt : code::kClosed);
    n.Int(minutes).Str(s->idBytes);
    target->Send(n, net::Primary::Session, net::Secondary::Notification);
    network_.Log(QString("%1 removed %2 from session %3 on %4 (ban %5 minutes)")
                     .arg(session.Username(), target->Username(), s->id, number)
                     .arg(minutes));
    SendRoomState(number, *s, code::kEventLeft, target->Username());
}

void SessionsService::OnInfo(ClientSession& session, net::MessageReader& f) {
    std::string id;
    if (!f.Str(kSessionIdLength, kSessionIdLength, id)) return;
    StoredSession* s = RoomOf(session, id);
    if (!s) {
        SendError(session, code::kNotFound,
                  QString("You are not in a session with the identifier %1")
                      .arg(QString::fromUtf8(id.data(), qsizetype(id.size()))));
        return;
    }
    const QString created = QDateTime::fromSecsSinceEpoch(s->created)
                                .toLocalTime()
                                .toString(QStringLiteral("dddd, MMMM d, yyyy h:mm AP"));
    net::MessageWriter w(code::kSessionInfo);
    w.Str(s->idBytes).Str(s->name.toUtf8().toStdString());
    w.Str(s->description.toUtf8().toStdString()).Str(s->creator.toUtf8().toStdString());
    w.Str(created.toUtf8().toStdString());
    w.Int(s->maxParticipants);
    w.Int(std::clamp(static_cast<int32_t>(s->participants.size()), 1, kMaxParticipants));
    w.Int(s->isPrivate ? 1 : 0);
    session.Send(w, net::Primary::Session);
}

void SessionsService::OnInvite(ClientSession& session, net::MessageReader& f) {
    std::string id, invitee;
    int32_t included = 0;
    if (!f.Str(kSessionIdLength, kSessionIdLength, id) || !f.Str(1, kMaxAccountName, invitee) ||
        !f.Int(0, 1, included))
        return;
    StoredSession* s = RoomOf(session, id);
    if (!s) {
        SendError(session, code::kNotFound,
                  QString("You are not in a session with the identifier %1")
                      .arg(QString::fromUtf8(id.data(), qsizetype(id.size()))));
        return;
    }
    const QString name = QString::fromUtf8(invitee.data(), qsizetype(invitee.size()));
    const QString key = name.toLower();
    const bool withPassword = included == 1 && s->isPrivate && !s->password.isEmpty();
    net::MessageWriter w(code::kInvitation);
    w.Str(StoredName(session).toUtf8().toStdString()).Str(s->idBytes);
    w.Str(s->name.toUtf8().toStdString()).Int(0).Int(withPassword ? 1 : 0);
    if (withPassword) w.Str(s->password.toUtf8().toStdString());
    const std::unique_ptr<net::MessageBuffer> message =
        w.Finish(net::Primary::Session, net::Secondary::Notification);
    int delivered = 0;
    for (ClientSession* c : network_.Sessions()) {
        if (c->Kind() != ServerKind::Network || !c->LoggedIn()) continue;
        if (c->NetworkNumber() != session.NetworkNumber() || c->Username().toLower() != key)
            continue;
        if (message) c->Send(std::make_unique<net::MessageBuffer>(*message));
        ++delivered;
    }
    if (delivered == 0) {
        char text[64];
        std::snprintf(text, sizeof text, "%s is not online at the moment", invitee.c_str());
        SendError(session, code::kNotOnline, QString::fromUtf8(text));
    }
}

}  // namespace localnet
