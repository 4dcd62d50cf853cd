#include "server/history/HistoryService.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <cstring>
#include <vector>

#include "net/Protocol.h"
#include "server/core/ClientSession.h"
#include "server/core/ListingWriter.h"
#include "server/core/LocalNetwork.h"
#include "server/core/Store.h"
#include "server/sessions/SessionsService.h"

namespace localnet {

namespace {

namespace code = net::session;

// The history download's request code (slot 5): session id, path, file name.
constexpr int32_t kHistoryDownload = 2;
constexpr int32_t kMaxExplanation = 512;

const std::vector<std::vector<QString>> kTableSteps = {
    {
        "CREATE TABLE session_history_locks (network TEXT NOT NULL, id TEXT NOT NULL, "
        "path TEXT NOT NULL, PRIMARY KEY (network, id, path))",
    },
};

QString Key(const QString& number, const QString& id) {
    return number + '/' + id;
}

QString FromBytes(const std::string& bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// Two digits of a clock reading.
void Two(QByteArray& out, int value) {
    out += char('0' + value / 10 % 10);
    out += char('0' + value % 10);
}

void Stamp(QByteArray& out, int hour, int minute, int second) {
    out += '[';
    Two(out, hour);
    out += ':';
    Two(out, minute);
    out += ':';
    Two(out, second);
    out += "] ";
}

// One line whatever the text held: a CR LF pair, a lone CR or LF, a line or
// paragraph separator and every other control character become one blank.
QByteArray OneLine(const QByteArray& raw) {
    QString text = QString::fromUtf8(raw);
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    for (QChar& c : text) {
        if (c.category() == QChar::Other_Control || c == QChar(0x2028) || c == QChar(0x2029))
            c = u' ';
    }
    return text.toUtf8();
}

const char* EventText(int event) {
    switch (event) {
        case code::kEventJoined:
            return " has joined the session";
        case code::kEventLeft:
            return " has left the session";
        case code::kEventAway:
            return " is away";
        case code::kEventOnline:
            return " is online";
        case code::kEventParticipant:
            return " is now a participant";
        case code::kEventModerator:
            return " is now a moderator";
        default:
            return nullptr;
    }
}

}  // namespace

HistoryService::HistoryService(LocalNetwork& network)
    : network_(network), now_([] { return QDateTime::currentDateTime(); }) {
    network_.GetRouter().Register(
        ServerKind::Network, net::Primary::Session, code::kGetHistory,
        [this](ClientSession& session, const net::bufHeader&, net::MessageReader& f) {
            OnGetHistory(session, f);
        });
    network_.Transfers().RegisterDownload(
        kHistoryDownload,
        [this](ClientSession& session, net::MessageReader& f) { return OnDownload(session, f); });
}

QString HistoryService::HistoryFolder(const QString& number, const QString& id) {
    return SessionsService::SessionFolder(number, id) + "/history";
}

QString HistoryService::LogName(const QDate& day) {
    return QStringLiteral("logs/%1/%2.txt")
        .arg(day.toString(QStringLiteral("yyyy")), day.toString(QStringLiteral("yyyy-MM-dd")));
}

QByteArray HistoryService::ChatLine(const QTime& at, const QString& account,
                                    const QByteArray& text) {
    QByteArray line;
    Stamp(line, at.hour(), at.minute(), at.second());
    line += OneLine(account.toUtf8());
    line += ": ";
    line += OneLine(text);
    line += '\n';
    return line;
}

QByteArray HistoryService::EventLine(const QTime& at, const QString& account, int event) {
    const char* what = EventText(event);
    if (what == nullptr) return {};
    QByteArray line;
    Stamp(line, at.hour(), at.minute(), at.second());
    line += OneLine(account.toUtf8());
    line += what;
    line += '\n';
    return line;
}

bool HistoryService::ValidName(const std::string& name) {
    if (name.empty() || name.size() > static_cast<size_t>(kMaxName) || name == "." ||
        name == "..")
        return false;
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7f || c == '/' || c == '\\') return false;
    }
    const QByteArray raw(name.data(), static_cast<qsizetype>(name.size()));
    return QString::fromUtf8(raw).toUtf8() == raw;
}

bool HistoryService::ValidPath(const std::string& path) {
    if (path == "/") return true;
    if (path.empty() || path.size() > static_cast<size_t>(kMaxPath)) return false;
    size_t start = 0;
    for (;;) {
        const size_t slash = path.find('/', start);
        const std::string part =
            path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (!ValidName(part)) return false;
        if (slash == std::string::npos) return true;
        start = slash + 1;
    }
}

SessionsService* HistoryService::Sessions() const {
    for (const auto& service : network_.AllServices())
        if (auto* found = dynamic_cast<SessionsService*>(service.get())) return found;
    return nullptr;
}

bool HistoryService::Open(QString* error) {
    Store& store = network_.GetStore();
    if (!store.PrepareTables("history", kTableSteps, error)) return false;
    locks_.clear();
    QSqlQuery q(store.Database());
    if (!q.exec("SELECT network, id, path FROM session_history_locks")) {
        if (error) *error = "cannot read the history locks: " + q.lastError().text();
        return false;
    }
    while (q.next())
        locks_[Key(q.value(0).toString(), q.value(1).toString())].insert(q.value(2).toString());
    // The rooms tell what they relay; the list of services is complete by now.
    if (!listening_) {
        if (SessionsService* sessions = Sessions()) {
            connect(sessions, &SessionsService::ChatRelayed, this, &HistoryService::OnChat);
            connect(sessions, &SessionsService::EventRelayed, this, &HistoryService::OnEvent);
            connect(sessions, &SessionsService::SessionDeleted, this,
                    &HistoryService::OnSessionDeleted);
            listening_ = true;
        }
    }
    return true;
}

bool HistoryService::Append(const QString& number, const QString& id, const QDateTime& at,
                            const QByteArray& line) {
    if (line.isEmpty()) return false;
    const QString path =
        network_.GetStore().ResolvePath(HistoryFolder(number, id) + '/' + LogName(at.date()));
    if (path.isEmpty() || !MakeFolder(QFileInfo(path).absolutePath())) return false;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) return false;
    return file.write(line) == line.size();
}

void HistoryService::OnChat(const QString& number, const QString& id, const QString& account,
                            const QByteArray& text) {
    const QDateTime now = now_();
    if (!Append(number, id, now, ChatLine(now.time(), account, text)))
        network_.Log(QString("cannot log a chat line of session %1 on %2").arg(id, number));
}

void HistoryService::OnEvent(const QString& number, const QString& id, int event,
                             const QString& account) {
    const QDateTime now = now_();
    const QByteArray line = EventLine(now.time(), account, event);
    if (!line.isEmpty() && !Append(number, id, now, line))
        network_.Log(QString("cannot log an event of session %1 on %2").arg(id, number));
}

void HistoryService::OnSessionDeleted(const QString& number, const QString& id) {
    // The tree went with the session's folder; its locks go too, so that a
    // later session given the same id starts with none.
    const auto it = locks_.find(Key(number, id));
    if (it == locks_.end()) return;
    const bool written = network_.GetStore().Write([&](QSqlDatabase& db) {
        QSqlQuery q(db);
        q.prepare("DELETE FROM session_history_locks WHERE network = ? AND id = ?");
        q.addBindValue(number);
        q.addBindValue(id);
        return q.exec();
    });
    if (written) {
        locks_.erase(it);
    } else {
        network_.Log("dropping history locks: " + network_.GetStore().LastError());
    }
}

bool HistoryService::LockFolder(const QString& number, const QString& id, const QString& path) {
    if (!ValidPath(path.toStdString()) || path == QLatin1String("/")) return false;
    if (IsLocked(number, id, path)) return true;
    const bool written = network_.GetStore().Write([&](QSqlDatabase& db) {
        QSqlQuery q(db);
        q.prepare("INSERT INTO session_history_locks (network, id, path) VALUES (?, ?, ?)");
        q.addBindValue(number);
        q.addBindValue(id);
        q.addBindValue(path);
        return q.exec();
    });
    if (written) locks_[Key(number, id)].insert(path);
    return written;
}

bool HistoryService::IsLocked(const QString& number, const QString& id,
                              const QString& path) const {
    const auto it = locks_.find(Key(number, id));
    return it != locks_.end() && it->second.count(path) != 0;
}

const StoredSession* HistoryService::Readable(const ClientSession& session, const QString& id,
                                              QString& why) const {
    SessionsService* sessions = Sessions();
    const QString number = session.NetworkNumber();
    const StoredSession* s = sessions ? sessions->FindById(number, id) : nullptr;
    if (s == nullptr) {
        why = QString("No session with the identifier %1 exists on this network").arg(id);
        return nullptr;
    }
    const QString me = session.Username().toLower();
    const bool inside = std::any_of(s->participants.begin(), s->participants.end(),
                                    [&](const ClientSession* p) {
                                        return p->Username().toLower() == me;
                                    });
    bool admin = false;
    if (const Network* n = network_.GetStore().FindNetwork(number)) {
        const Account* a = n->FindAccount(session.Username());
        admin = a != nullptr && (a->admin || a->root);
    }
    if (!inside && s->creatorKey != me && !admin) {
        why = QString("Only the participants of \"%1\", its creator and administrators may view "
                      "its history")
                  .arg(s->name);
        return nullptr;
    }
    return s;
}

QString HistoryService::FolderOf(const QString& number, const QString& id,
                                 const std::string& path, QString& why) const {
    why = QString("The history of this session has no folder %1")
              .arg(path.size() <= static_cast<size_t>(kMaxPath) ? FromBytes(path)
                                                               : QStringLiteral("of that name"));
    if (!ValidPath(path)) return {};
    const QString root = network_.GetStore().ResolvePath(HistoryFolder(number, id));
    if (root.isEmpty()) return {};
    if (path == "/") return root;  // a session that has logged nothing has an empty tree
    const QString relative = FromBytes(path);
    QString prefix;
    for (const QString& part : relative.split('/')) {
        prefix = prefix.isEmpty() ? part : prefix + '/' + part;
        if (IsLocked(number, id, prefix)) {
            why = QString("The folder %1 is locked").arg(prefix);
            return {};
        }
    }
    const QString folder = root + '/' + relative;
    const QFileInfo info(folder);
    if (!info.isDir() || info.isSymLink()) return {};
    // Whatever the names say, only what lies inside the tree is read.
    const QString inside = QFileInfo(root).canonicalFilePath();
    const QString canonical = info.canonicalFilePath();
    if (inside.isEmpty() || !canonical.startsWith(inside + '/')) return {};
    return folder;
}

std::unique_ptr<net::MessageBuffer> HistoryService::Listing(const QString& number,
                                                            const QString& id,
                                                            const std::string& path) const {
    net::MessageWriter w(code::kHistoryReady);
    w.Str(path).Str(id.toStdString());
    const QString root = network_.GetStore().ResolvePath(HistoryFolder(number, id));
    const QString relative = path == "/" ? QString() : FromBytes(path);
    const QString folder = relative.isEmpty() ? root : root + '/' + relative;
    struct Entry {
        std::string name;
        QFileInfo info;
    };
    std::vector<Entry> folders, files;
    if (!root.isEmpty()) {
        const QFileInfoList infos = QDir(folder).entryInfoList(
            QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::NoSort);
        for (const QFileInfo& info : infos) {
            std::string name = info.fileName().toUtf8().toStdString();
            if (!ValidName(name)) continue;
            (info.isDir() ? folders : files).push_back({std::move(name), info});
        }
    }
    const auto byName = [](const Entry& a, const Entry& b) { return a.name < b.name; };
    std::sort(folders.begin(), folders.end(), byName);
    std::sort(files.begin(), files.end(), byName);
    for (const Entry& e : folders) {
        qint64 size = 0;
        QDirIterator it(e.info.filePath(), QDir::Files | QDir::NoSymLinks,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            it.next();
            size += it.fileInfo().size();
        }
        const QString child = relative.isEmpty() ? QString::fromStdString(e.name)
                                                 : relative + '/' + QString::fromStdString(e.name);
        if (!AppendListingEntry(w, 1, size, IsLocked(number, id, child), e.name,
                                ListingModifiedText(e.info.lastModified().toSecsSinceEpoch())))
            return w.Finish(net::Primary::Session, net::Secondary::Response);
    }
    for (const Entry& e : files) {
        if (!AppendListingEntry(w, 2, e.info.size(), false, e.name,
                                ListingModifiedText(e.info.lastModified().toSecsSinceEpoch())))
            break;
    }
    return w.Finish(net::Primary::Session, net::Secondary::Response);
}

void HistoryService::SendRefusal(ClientSession& session, const QString& explanation) {
    QByteArray text = explanation.toUtf8();
    if (text.size() > kMaxExplanation) text.truncate(kMaxExplanation);
    net::MessageWriter w(code::kNotFound);
    w.Str(std::string_view(text.constData(), static_cast<size_t>(text.size())));
    session.Send(w, net::Primary::Session);
}

void HistoryService::OnGetHistory(ClientSession& session, net::MessageReader& f) {
    std::string id, path;
    if (!f.Str(6, 6, id) || !f.Str(0, net::kMaxMessageLength, path)) {
        network_.Log(QString("%1 %2: get history ignored: a field is outside its limits")
                         .arg(session.PeerText(), session.Username()));
        return;
    }
    const QString sessionId = FromBytes(id);
    QString why;
    if (Readable(session, sessionId, why) == nullptr ||
        FolderOf(session.NetworkNumber(), sessionId, path, why).isEmpty()) {
        SendRefusal(session, why);
        return;
    }
    session.Send(Listing(session.NetworkNumber(), sessionId, path));
}

DownloadDecision HistoryService::OnDownload(ClientSession& session, net::MessageReader& f) {
    std::string id, path, name;
    if (!f.Str(6, 6, id) || !f.Str(1, kMaxPath, path) || !f.Str(1, kMaxName, name))
        return DownloadDecision::Refuse();
    const QString number = session.NetworkNumber();
    const QString sessionId = FromBytes(id);
    QString why;
    QString folder;
    if (Readable(session, sessionId, why) != nullptr)
        folder = FolderOf(number, sessionId, path, why);
    if (folder.isEmpty() || !ValidName(name)) {
        network_.Log(QString("%1 %2: history download refused: %3")
                         .arg(session.PeerText(), session.Username(),
                              folder.isEmpty() ? why : QStringLiteral("not a file name")));
        return DownloadDecision::Refuse();
    }
    const QFileInfo file(folder + '/' + FromBytes(name));
    if (!file.isFile() || file.isSymLink()) return DownloadDecision::Refuse();
    QString relative = HistoryFolder(number, sessionId);
    if (path != "/") relative += '/' + FromBytes(path);
    return DownloadDecision::ServeFile(relative + '/' + FromBytes(name));
}

// ---- Demo ----------------------------------------------------------------------

bool HistoryService::SeedDemo() {
    SessionsService* sessions = Sessions();
    const QString number = QStringLiteral("1234567");
    const StoredSession* lobby =
        sessions ? sessions->FindByName(number, QStringLiteral("Lobby")) : nullptr;
    if (lobby == nullptr) return true;
    const QString root = network_.GetStore().ResolvePath(HistoryFolder(number, lobby->id));
    // Seeded once: a tree that has anything, or any lock, is the users' now.
    if (root.isEmpty() || QFileInfo::exists(root + "/logs") ||
        QFileInfo::exists(root + "/archive") || locks_.count(Key(number, lobby->id)) != 0)
        return true;
    return SeedLobby(number, lobby->id);
}

bool HistoryService::SeedLobby(const QString& number, const QString& id) {
    static const char* const kPeople[] = {"admin", "alice", "bob", "carol"};
    struct Said {
        int who;
        const char* text;
    };
    static const Said kTalk[] = {
        {0, "Good morning, everyone. The network is back after the upgrade."},
        {1, "Morning! Everything looks faster already."},
        {2, "Has anyone seen the new session list? It pages much better."},
        {3, "Yes, and the polls finally show their results."},
        {1, "I'll post the release notes in Release Planning."},
        {2, "Lunch at noon? The usual place."},
        {0, "Reminder: the server restarts tonight at 22:00."},
        {3, "Thanks for the heads-up."},
        {2, "Can someone look at the Design Review sketches?"},
        {1, "On it, after my call."},
        {3, "The book club meets on Thursday, chapters 1 to 5."},
        {0, "Please keep the Lobby friendly; details go to Help Desk."},
        {2, "See you all tomorrow."},
    };
    Store& store = network_.GetStore();
    const int year = QDate::currentDate().year();
    // A few days in each of the two years before this one, and one long day
    // whose log is large enough to watch a download's progress.
    const QDate days[] = {QDate(year - 2, 3, 14), QDate(year - 2, 7, 2), QDate(year - 2, 11, 20),
                          QDate(year - 1, 1, 9),  QDate(year - 1, 5, 23), QDate(year - 1, 9, 30),
                          QDate(year - 1, 12, 18)};
    const QDate longDay(year - 1, 9, 30);
    const auto write = [&](const QString& relative, const QByteArray& bytes,
                           const QDateTime& modified) {
        const QString full = store.ResolvePath(relative);
        if (full.isEmpty() || !store.WriteFile(relative, bytes)) return false;
        QFile f(full);
        if (f.open(QIODevice::Append)) f.setFileTime(modified, QFileDevice::FileModificationTime);
        return true;
    };
    const QString tree = HistoryFolder(number, id);
    int round = 0;
    for (const QDate& day : days) {
        QByteArray log;
        if (day == longDay) {
            // One line a second, all day: some 5 MB, made here rather than kept.
            log.reserve(6 * 1024 * 1024);
            static const char* const kChatter[] = {
                "the import is still running, row counts look right so far",
                "checking the mirrors again, two of them lag behind",
                "ok, restarting the slow one now",
                "numbers for the board are in the shared folder",
                "does anyone have the link to yesterday's notes?",
                "coffee run in five minutes, who wants one",
                "the poll closes at six, please vote if you have not",
            };
            // A few different minutes, laid down one after another with
            // their clock readings set: cheap enough for every start.
            constexpr int kMinutes = 7;
            QByteArray minute[kMinutes];
            std::vector<int> starts[kMinutes];
            for (int k = 0; k < kMinutes; ++k) {
                for (int second = 0; second < 60; ++second) {
                    starts[k].push_back(static_cast<int>(minute[k].size()));
                    Stamp(minute[k], 0, 0, second);
                    const int n = k * 60 + second;
                    minute[k] += kPeople[(n * 7 + n / 13) % 4];
                    minute[k] += ": ";
                    minute[k] += kChatter[(n * 5 + n / 7) % 7];
                    minute[k] += '\n';
                }
            }
            for (int m = 0; m < 24 * 60; ++m) {
                const int k = m % kMinutes;
                const qsizetype base = log.size();
                log += minute[k];
                char* at = log.data() + base;
                const char clock[5] = {char('0' + m / 600), char('0' + m / 60 % 10), ':',
                                       char('0' + m % 60 / 10), char('0' + m % 10)};
                for (int start : starts[k]) std::memcpy(at + start + 1, clock, sizeof clock);
            }
        } else {
            QTime t(9, 2 + round, 5 * round % 60);
            for (int who = 0; who < 4; ++who) {
                log += EventLine(t, QString::fromLatin1(kPeople[(who + round) % 4]),
                                 code::kEventJoined);
                t = t.addSecs(17 + who * 3);
            }
            const int n = static_cast<int>(std::size(kTalk));
            for (int i = 0; i < n; ++i) {
                const Said& s = kTalk[(i + round) % n];
                log += ChatLine(t, QString::fromLatin1(kPeople[s.who]), QByteArray(s.text));
                t = t.addSecs(23 + (i * 37 + round * 11) % 140);
                if (i == 5) {
                    log += EventLine(t, QString::fromLatin1(kPeople[(round + 2) % 4]),
                                     code::kEventAway);
                    t = t.addSecs(300);
                    log += EventLine(t, QString::fromLatin1(kPeople[(round + 2) % 4]),
                                     code::kEventOnline);
                }
            }
            for (int who = 0; who < 4; ++who) {
                t = t.addSecs(40 + who * 9);
                log += EventLine(t, QString::fromLatin1(kPeople[who]), code::kEventLeft);
            }
        }
        ++round;
        if (!write(tree + '/' + LogName(day), log, QDateTime(day, QTime(23, 59, 0)))) {
            // The long day is a nicety: a small disk still gets the rest.
            if (day != longDay) return false;
            network_.Log("demo history: the long log of " + day.toString(Qt::ISODate) +
                         " could not be written");
        }
    }
    QByteArray old;
    old += "[10:00:00] admin has joined the session\n";
    old += "[10:00:12] admin: Everything older than two years is kept here.\n";
    if (!write(tree + "/archive/2019-06-01.txt", old, QDateTime(QDate(2019, 6, 1), QTime(10, 1))))
        return false;
    return LockFolder(number, id, QStringLiteral("archive"));
}

}  // namespace localnet
