#include "server/admin/AdminService.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <cstdio>
#include <iterator>

#include "admin/api/AdminRules.h"
#include "server/core/ClientSession.h"
#include "server/core/LocalNetwork.h"
#include "server/core/Router.h"
#include "server/core/Store.h"
#include "server/core/TransferEngine.h"

namespace localnet {

namespace {

// The folder only root may open; the others see it locked.
constexpr char kSecurityFolder[] = "security";

// What entries may add to answer 16 with room left for the fixed fields.
constexpr int kEntryBudget = 30000;
constexpr int kMaxEntryName = 50;

// "Wed Jun 30 21:49:08 1993\n", in English whatever the server's locale.
QString ClockText(const QDateTime& when) {
    static const char* const kDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDate d = when.date();
    const QTime t = when.time();
    return QString::asprintf("%s %s %2d %02d:%02d:%02d %d\n", kDays[d.dayOfWeek() - 1],
                             kMonths[d.month() - 1], d.day(), t.hour(), t.minute(), t.second(),
                             d.year());
}

int LevelOf(const Account& account) {
    if (account.root) return 0;
    return account.admin ? 1 : 2;
}

}  // namespace

AdminService::AdminService(LocalNetwork& network) : network_(network) {
    connect(&network_, &LocalNetwork::LoginChecked, this, &AdminService::OnLoginChecked);
    connect(&network_, &LocalNetwork::LoggedIn, this, &AdminService::OnLoggedIn);
    connect(&network_, &LocalNetwork::ConnectionEnded, this, &AdminService::OnEnded);
    connect(&network_, &LocalNetwork::AccountCreated, this,
            [this](const QString& number, const QString& username) {
                Note(number, QStringLiteral("creation: %1").arg(username));
            });
    connect(&network_, &LocalNetwork::MailDelivered, this,
            [this](const QString& number, const QString& sender, int count) {
                Note(number, QStringLiteral("delivery: %1 to %2 recipient(s)").arg(sender).arg(count));
            });

    network_.GetRouter().Register(
        ServerKind::Network, net::Primary::Network, net::network::kInformation,
        [this](ClientSession& s, const net::bufHeader&, net::MessageReader& f) {
            int32_t unused = 0;
            std::string number;
            std::string path;
            // A path longer than allowed is read to be refused, not dropped.
            if (!f.Int(-1, -1, unused) || !f.Str(0, 64, number) || !f.Str(0, 4096, path)) {
                net::MessageWriter w(net::network::kIgnoredResponse);
                s.Send(w, net::Primary::Network);
                return;
            }
            Answer(s, number, path);
        });

    TransferEngine& transfers = network_.Transfers();
    // Download 7: a log file of the folder, for administrators; the security
    // folder for root only.
    transfers.RegisterDownload(7, [this](ClientSession& s, net::MessageReader& f) {
        std::string path;
        std::string name;
        if (!f.Str(0, 4096, path) || !f.Str(0, 4096, name)) return DownloadDecision::Refuse();
        Network* net = network_.GetStore().FindNetwork(s.NetworkNumber());
        const Account* user = net ? net->FindAccount(s.Username()) : nullptr;
        if (!user) return DownloadDecision::Refuse();
        const int level = LevelOf(*user);
        if (!admin::MayAdminister(level) || !MayList(level, path)) return DownloadDecision::Refuse();
        EnsureDemoLogs(net->number);
        // A plain name of this folder only.
        if (name.empty() || name.size() > static_cast<size_t>(kMaxEntryName) || name == "." ||
            name == ".." || name.find_first_of("/\\") != std::string::npos ||
            name.find('\0') != std::string::npos)
            return DownloadDecision::Refuse();
        const QString relative = LogsFolder(net->number) +
                                 (path == "/" ? QString() : "/" + QString::fromStdString(path)) +
                                 "/" + QString::fromStdString(name);
        const QString full = network_.GetStore().ResolvePath(relative);
        const QFileInfo info(full);
        if (full.isEmpty() || !info.isFile() || info.isSymLink()) return DownloadDecision::Refuse();
        return DownloadDecision::ServeFile(relative);
    });

    // Upload 4: the action file, the action after the size.
    transfers.RegisterUpload(4, [this](ClientSession& s, int32_t size, net::MessageReader& f) {
        int32_t action = -1;
        if (!f.Int(admin::kPromote, admin::kUndoBan, action))
            return UploadDecision::Refuse(net::upload::kRefusedInvalidFilename,
                                          "The action is not known");
        if (size > kMaxActionFile)
            return UploadDecision::Refuse(net::upload::kRefusedFileTooLarge,
                                          "An account list may be at most 1 MiB");
        const QString number = s.NetworkNumber();
        const QString actor = s.Username();
        const QString path = Store::NetworkFolder(number) + "/admin/incoming/" +
                             QString::number(s.Id()) + ".listusername";
        return UploadDecision::Accept(
            path, [this, number, actor, action](ClientSession&, bool stored, const QString& full) {
                if (stored) {
                    QFile file(full);
                    if (file.open(QIODevice::ReadOnly))
                        ApplyAction(number, actor, action, file.read(kMaxActionFile));
                }
                network_.GetStore().RemoveFile(full);
            });
    });
}

bool AdminService::SeedDemo() {
    struct Seed {
        const char* username;
        const char* fullName;
        const char* password;
        bool admin;
        bool banned;
    };
    static constexpr Seed kAccounts[] = {
        {"dave", "Dave Dalton", "davepass", false, true},
        {"erin", "Erin Ellis", "erinpass", true, false},
    };
    Store& store = network_.GetStore();
    const QDateTime now = QDateTime::currentDateTime();
    for (const auto& netPtr : store.Networks()) {
        Network& net = *netPtr;
        for (const Seed& seed : kAccounts) {
            if (net.FindAccount(seed.username)) continue;
            Account a;
            a.username = seed.username;
            a.fullName = seed.fullName;
            a.SetPassword(seed.password);
            a.admin = seed.admin;
            a.banned = seed.banned;
            a.created = now.toSecsSinceEpoch() - 60 * 86400;
            if (!store.AddAccount(net, a)) return false;
        }
    }
    // The demo's weeks of logs are written when someone first looks at the
    // logs, not at every start: most starts (and every test) never do.
    demoLogs_ = true;
    return true;
}

void AdminService::EnsureDemoLogs(const QString& number) {
    if (!demoLogs_ || demoLogsDone_.contains(number)) return;
    demoLogsDone_.insert(number);
    Store& store = network_.GetStore();
    const QString marker = store.ResolvePath(Store::NetworkFolder(number) + "/admin/demo-logs");
    // Once per data folder: a restart never writes them again.
    if (marker.isEmpty() || QFileInfo::exists(marker)) return;
    // The demo logs are pictures of a busy network, not data anyone relies
    // on: a folder that cannot take them leaves the request answered.
    if (!SeedLogs(number, QDateTime::currentDateTime()) || !store.WriteFile(
            Store::NetworkFolder(number) + "/admin/demo-logs", QByteArray("written\n")))
        network_.Log("the demo logs of " + number + " could not be written");
}

bool AdminService::SeedLogs(const QString& number, const QDateTime& now) {
    Store& store = network_.GetStore();
    const QString folder = store.ResolvePath(LogsFolder(number));
    if (folder.isEmpty()) return false;
    // Each file is written under a side name and renamed: a start that
    // stopped half way leaves no half of a file behind. Days the network
    // logged itself stay as they are.
    const auto write = [&folder](const QString& relative, const QByteArray& bytes) {
        const QString path = folder + "/" + relative;
        if (!QDir().mkpath(QFileInfo(path).path())) return false;
        const QString side = path + ".seeding";
        QFile file(side);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(bytes) != bytes.size()) {
            QFile::remove(side);
            return false;
        }
        file.close();
        QFile::remove(path);
        return QFile::rename(side, path);
    };
    static const char* const kPeople[] = {"alice", "bob", "carol", "admin", "erin", "root"};
    constexpr int kPeopleCount = static_cast<int>(std::size(kPeople));
    // One busy day makes a file of a few hundred kilobytes.
    constexpr int kBusyDay = 3;
    constexpr int kBusyRounds = 2600;
    QByteArray security;
    char line[160];
    for (int back = kDemoLogDays; back >= 1; --back) {
        const QDate date = now.date().addDays(-back);
        const QDateTime day(date, QTime(8, 0));
        const QString dayPath = DayLogPath(number, day).mid(LogsFolder(number).size() + 1);
        const bool exists = QFileInfo::exists(folder + "/" + dayPath);
        QByteArray text;
        const int rounds = back == kBusyDay ? kBusyRounds : 3 + back % 5;
        if (!exists) text.reserve(rounds * 150);
        // Plain formatting: the busy day has thousands of lines.
        const auto stamped = [&](int seconds, const char* what, const char* who, int count) {
            const int s = 8 * 3600 + seconds;
            char words[64];
            std::snprintf(words, sizeof words, what, who, count);
            const int n = std::snprintf(line, sizeof line, "%04d-%02d-%02d %02d:%02d:%02d %s\n",
                                        date.year(), date.month(), date.day(), (s / 3600) % 24,
                                        (s / 60) % 60, s % 60, words);
            if (n > 0) text.append(line, std::min<int>(n, static_cast<int>(sizeof line) - 1));
        };
        if (!exists) {
            for (int i = 0; i < rounds; ++i) {
                const char* who = kPeople[(i + back) % kPeopleCount];
                const int at = (i * 13) % (15 * 3600);
                stamped(at, "login: %s from 127.0.0.1", who, 0);
                stamped(at, "delivery: %s to %i recipient(s)", who, 1 + i % 4);
                stamped(at + 600, "logout: %s", who, 0);
            }
        }
        if (back % 9 == 0) {
            const qsizetype from = text.size();
            stamped(0, "failed login: %s from 127.0.0.1", "dave", 0);
            security += text.mid(from);
        }
        if (!exists && !write(dayPath, text)) return false;
    }
    security.prepend((now.addDays(-kDemoLogDays).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) +
                      QStringLiteral("ban by root on dave: applied\n"))
                         .toUtf8());
    // What the network logged itself comes after the demo's older lines.
    QFile current(folder + "/security/security.log");
    if (current.open(QIODevice::ReadOnly)) security += current.readAll();
    return write(QStringLiteral("security/security.log"), security);
}

bool AdminService::Online(const QString& number, const QString& username) const {
    for (const ClientSession* s : network_.Sessions()) {
        if (s->LoggedIn() && s->NetworkNumber() == number &&
            s->Username().compare(username, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

void AdminService::DisconnectAccount(const QString& number, const QString& username) {
    // A copy: closing a session may change the list.
    const std::vector<ClientSession*> sessions = network_.Sessions();
    for (ClientSession* s : sessions) {
        if (s->LoggedIn() && s->NetworkNumber() == number && !s->Closing() &&
            s->Username().compare(username, Qt::CaseInsensitive) == 0)
            s->Refuse(+net::Primary::Control, +net::Secondary::Notification,
                      net::disconnect::kSilentClose, "Disconnected by an administrator",
                      /*now=*/true);
    }
}

void AdminService::ApplyAction(const QString& number, const QString& actor, int32_t action,
                               const QByteArray& list) {
    Store& store = network_.GetStore();
    Network* net = store.FindNetwork(number);
    const Account* self = net ? net->FindAccount(actor) : nullptr;
    if (!self) return;
    const int own = LevelOf(*self);
    const QString what = QString::fromLatin1(admin::ActionButtonText(action)).toLower();
    for (const std::string& name :
         admin::ActionFileNames(std::string_view(list.constData(), static_cast<size_t>(list.size())))) {
        const QString target = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
        const Account* account = net->FindAccount(target);
        admin::AccountState state;
        if (account) {
            state.level = LevelOf(*account);
            state.online = Online(number, account->username);
            state.banned = account->banned;
        }
        const bool self_named = account && account->username.compare(actor, Qt::CaseInsensitive) == 0;
        bool applied = false;
        if (account && !self_named && admin::Qualifies(action, own, state)) {
            const QString username = account->username;
            switch (action) {
                case admin::kPromote:
                    applied = store.UpdateAccount(*net, username, [](Account& a) { a.admin = true; });
                    break;
                case admin::kDemote:
                    applied = store.UpdateAccount(*net, username, [](Account& a) { a.admin = false; });
                    break;
                case admin::kDisconnect:
                    DisconnectAccount(number, username);
                    applied = true;
                    break;
                case admin::kDelete:
                    // Its connections end first, so nothing runs for an account that is gone.
                    DisconnectAccount(number, username);
                    applied = store.RemoveAccount(*net, username);
                    if (applied) emit network_.AccountRemoved(number, username);
                    break;
                case admin::kBan:
                    applied = store.UpdateAccount(*net, username, [](Account& a) { a.banned = true; });
                    if (applied) DisconnectAccount(number, username);
                    break;
                case admin::kUndoBan:
                    applied = store.UpdateAccount(*net, username, [](Account& a) { a.banned = false; });
                    break;
                default:
                    break;
            }
        }
        Note(number,
             QStringLiteral("%1 by %2 on %3: %4")
                 .arg(what, actor, target, applied ? QStringLiteral("applied") : QStringLiteral("skipped")),
             true);
    }
}

QString AdminService::LogsFolder(const QString& number) {
    return Store::NetworkFolder(number) + "/logs";
}

QString AdminService::DayLogPath(const QString& number, const QDateTime& when) {
    const QDate d = when.date();
    return LogsFolder(number) + QString::asprintf("/%04d/%02d/%02d.log", d.year(), d.month(), d.day());
}

bool AdminService::MayList(int level, const std::string& path) {
    if (path == "/") return true;
    if (level >= 2) return false;
    if (path.empty() || path.size() > static_cast<size_t>(kMaxPathBytes)) return false;
    if (path.find('\\') != std::string::npos) return false;
    size_t at = 0;
    bool first = true;
    while (at <= path.size()) {
        size_t end = path.find('/', at);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(at, end - at);
        if (part.empty() || part == "." || part == "..") return false;
        if (first && part == kSecurityFolder && level != 0) return false;
        first = false;
        at = end + 1;
    }
    return true;
}

void AdminService::Answer(ClientSession& s, const std::string& number, const std::string& path) {
    Store& store = network_.GetStore();
    Network* net = store.FindNetwork(s.NetworkNumber());
    const Account* user = net ? net->FindAccount(s.Username()) : nullptr;
    const auto refuse = [&s] {
        net::MessageWriter w(net::network::kIgnoredResponse);
        s.Send(w, net::Primary::Network);
    };
    // The number as the user typed it may carry its dot.
    if (!user || Store::NormalizeNumber(QString::fromStdString(number)) != net->number)
        return refuse();
    const int level = LevelOf(*user);
    if (!MayList(level, path)) return refuse();
    EnsureDemoLogs(net->number);
    const QString folder = store.ResolvePath(
        LogsFolder(net->number) + (path == "/" ? QString() : "/" + QString::fromStdString(path)));
    if (folder.isEmpty()) return refuse();
    const QFileInfo folderInfo(folder);
    // The top always answers, even before the first log was written.
    if (path != "/" && (!folderInfo.isDir() || folderInfo.isSymLink())) return refuse();

    QSet<QString> online;
    for (const ClientSession* other : network_.Sessions()) {
        if (other->LoggedIn() && other->NetworkNumber() == net->number)
            online.insert(other->Username().toLower());
    }
    net::MessageWriter w(net::network::kInformationResponse);
    w.Str(net->name.toStdString())
        .Int(static_cast<int32_t>(std::min<size_t>(net->accounts.size(), 50000)))
        .Int(static_cast<int32_t>(std::min<qsizetype>(online.size(), 50000)))
        .Str(ClockText(QDateTime::currentDateTime()).trimmed().toStdString())
        .Str(path);

    QDir dir(folder);
    const QFileInfoList entries =
        dir.entryInfoList(QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot | QDir::NoSymLinks,
                          QDir::Name | QDir::DirsFirst);
    int used = 0;
    for (const QFileInfo& entry : entries) {
        const std::string name = entry.fileName().toStdString();
        if (name.empty() || name.size() > static_cast<size_t>(kMaxEntryName)) continue;
        const bool isDir = entry.isDir();
        const bool locked = isDir && path == "/" && name == kSecurityFolder && level != 0;
        const std::string modified = ClockText(entry.lastModified()).toStdString();
        const int32_t size =
            isDir ? 0 : static_cast<int32_t>(std::min<qint64>(entry.size(), INT32_MAX));
        const int cost = 3 * 5 + 2 * 3 + static_cast<int>(name.size() + modified.size());
        if (used + cost > kEntryBudget) break;
        used += cost;
        w.Int(isDir ? 1 : 2).Int(size).Int(locked ? 1 : 0).Str(name).Str(modified);
    }
    s.Send(w, net::Primary::Network);
}

void AdminService::Append(const QString& relative, const QString& line) {
    const QString full = network_.GetStore().ResolvePath(relative);
    if (full.isEmpty()) return;
    QDir().mkpath(QFileInfo(full).path());
    QFile file(full);
    if (!file.open(QIODevice::Append | QIODevice::WriteOnly)) return;
    file.write(line.toUtf8());
}

void AdminService::Note(const QString& number, const QString& line, bool security) {
    const QDateTime now = QDateTime::currentDateTime();
    const QString stamped = now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) + line + "\n";
    Append(DayLogPath(number, now), stamped);
    if (security) Append(LogsFolder(number) + "/security/security.log", stamped);
}

void AdminService::OnLoginChecked(ClientSession* session, const QString& number,
                                  const QString& username, const QString& /*password*/,
                                  bool accepted) {
    if (accepted || !session) return;
    Note(number, QStringLiteral("failed login: %1 from %2").arg(username, session->PeerText()),
         true);
}

void AdminService::OnLoggedIn(ClientSession* session) {
    if (!session || session->Kind() != ServerKind::Network) return;
    Note(session->NetworkNumber(),
         QStringLiteral("login: %1 from %2").arg(session->Username(), session->PeerText()));
}

void AdminService::OnEnded(ClientSession* session) {
    if (!session || !session->LoggedIn() || session->Kind() != ServerKind::Network) return;
    Note(session->NetworkNumber(), QStringLiteral("logout: %1").arg(session->Username()));
}

}  // namespace localnet
