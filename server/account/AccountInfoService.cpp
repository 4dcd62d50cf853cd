#include "server/account/AccountInfoService.h"

#include <QDateTime>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>

#include "server/account/AccountService.h"
#include "server/account/SignInHistory.h"
#include "server/core/ClientSession.h"
#include "server/core/LocalNetwork.h"
#include "server/core/TransferEngine.h"

namespace localnet {

namespace {

constexpr char kOwner[] = "account";

// The largest text field read from a request: more than any rule accepts, so
// that a long value is refused with its reason rather than dropped.
constexpr int32_t kMaxRequestText = 1024;

constexpr char kReasonUndecodable[] = "The request could not be decoded";
constexpr char kReasonNotStored[] = "The server could not store the change";

// The demo accounts, which start with a few sign-ins behind them.
constexpr const char* kDemoUsernames[] = {"root", "admin", "alice", "bob", "carol"};
constexpr int kDemoSignIns = 3;

// An empty text, not a null one: the columns take no NULL.
QString Text(const QString& text) {
    return text.isNull() ? QStringLiteral("") : text;
}

qint64 Now() {
    return QDateTime::currentSecsSinceEpoch();
}

}  // namespace

AccountInfoService::AccountInfoService(LocalNetwork& network) : network_(network) {
    connect(&network_, &LocalNetwork::LoginChecked, this, &AccountInfoService::OnLoginChecked);
    connect(&network_, &LocalNetwork::LoggedIn, this, &AccountInfoService::OnLoggedIn);
    connect(&network_, &LocalNetwork::ConnectionEnded, this, &AccountInfoService::OnEnded);

    Router& router = network_.GetRouter();
    router.Register(ServerKind::File, net::Primary::Account, net::account::kInformationRequest,
                    [this](ClientSession& s, const net::bufHeader&, net::MessageReader&) {
                        SendInformation(s);
                    });
    router.Register(ServerKind::File, net::Primary::Account, net::account::kChangeFullName,
                    [this](ClientSession& s, const net::bufHeader&, net::MessageReader& f) {
                        std::string name;
                        if (!f.Str(0, kMaxRequestText, name)) {
                            net::MessageWriter w(net::account::kFullNameRefused);
                            w.Str(kReasonUndecodable);
                            s.Send(w, net::Primary::Account);
                            return;
                        }
                        ChangeFullName(s, name);
                    });
    router.Register(ServerKind::File, net::Primary::Account, net::account::kChangePassword,
                    [this](ClientSession& s, const net::bufHeader&, net::MessageReader& f) {
                        std::string password;
                        if (!f.Str(0, kMaxRequestText, password)) {
                            net::MessageWriter w(net::account::kPasswordRefused);
                            w.Str(kReasonUndecodable);
                            s.Send(w, net::Primary::Account);
                            return;
                        }
                        ChangePassword(s, password);
                    });

    // Download code 6: an account's connection history, for the account
    // itself or an administrator.
    network_.Transfers().RegisterDownload(6, [this](ClientSession& s, net::MessageReader& f) {
        std::string wanted;
        if (!f.Str(1, kMaxRequestText, wanted)) return DownloadDecision::Refuse();
        Network* net = network_.GetStore().FindNetwork(s.NetworkNumber());
        if (!net) return DownloadDecision::Refuse();
        const Account* target = net->FindAccount(QString::fromStdString(wanted));
        if (!target) return DownloadDecision::AccountNotFound();
        const Account* requester = net->FindAccount(s.Username());
        const bool own = requester && requester->username.toLower() == target->username.toLower();
        const bool admin = requester && (requester->admin || requester->root);
        if (!own && !admin) return DownloadDecision::Refuse();
        const QString path = HistoryPath(net->number, target->username);
        // No history yet is an empty history.
        if (!QFile::exists(network_.GetStore().ResolvePath(path)))
            return DownloadDecision::ServeBytes(QByteArray());
        return DownloadDecision::ServeFile(path);
    });
}

QString AccountInfoService::Key(const QString& number, const QString& username) {
    return number + "/" + username.toLower();
}

QString AccountInfoService::HistoryPath(const QString& number, const QString& username) {
    return Store::NetworkFolder(number) + "/history/" + username + ".log";
}

bool AccountInfoService::Open(QString* error) {
    const std::vector<std::vector<QString>> steps = {
        {
            "CREATE TABLE account_signins ("
            " network TEXT NOT NULL,"
            " username_key TEXT NOT NULL,"
            " signins INTEGER NOT NULL,"
            " failed_pending INTEGER NOT NULL,"
            " pending_address TEXT NOT NULL,"
            " pending_time BIGINT NOT NULL,"
            " failed_shown INTEGER NOT NULL,"
            " shown_address TEXT NOT NULL,"
            " shown_time BIGINT NOT NULL,"
            " PRIMARY KEY (network, username_key))",
        },
    };
    Store& store = network_.GetStore();
    if (!store.PrepareTables(kOwner, steps, error)) return false;
    records_.clear();
    QSqlQuery q(store.Database());
    if (!q.exec("SELECT network, username_key, signins, failed_pending, pending_address,"
                " pending_time, failed_shown, shown_address, shown_time FROM account_signins")) {
        if (error) *error = "cannot read the sign-in records: " + q.lastError().text();
        return false;
    }
    while (q.next()) {
        Record r;
        r.signIns = q.value(2).toInt();
        r.failedPending = q.value(3).toInt();
        r.pendingAddress = q.value(4).toString();
        r.pendingTime = q.value(5).toLongLong();
        r.failedShown = q.value(6).toInt();
        r.shownAddress = q.value(7).toString();
        r.shownTime = q.value(8).toLongLong();
        records_[Key(q.value(0).toString(), q.value(1).toString())] = r;
    }
    live_.clear();
    return true;
}

bool AccountInfoService::SeedDemo() {
    Store& store = network_.GetStore();
    const qint64 now = Now();
    for (const auto& net : store.Networks()) {
        for (const char* name : kDemoUsernames) {
            const Account* account = net->FindAccount(name);
            if (!account || records_.count(Key(net->number, account->username))) continue;
            Record r;
            r.signIns = kDemoSignIns;
            if (!StoreRecord(net->number, account->username, r)) return false;
            // Three earlier visits, a day apart, each ended.
            QByteArray history;
            for (int day = kDemoSignIns; day >= 1; --day) {
                const qint64 in = now - day * 86400 - 3600;
                const qint64 length = 600 + day * 437;
                history = localnet::AppendHistory(history,
                                                  HistoryLine(in, SignedInText("127.0.0.1")));
                history = localnet::AppendHistory(
                    history, HistoryLine(in + length, SignedOutText(length)));
            }
            if (!store.WriteFile(HistoryPath(net->number, account->username), history))
                return false;
        }
    }
    return true;
}

AccountInfoService::Record AccountInfoService::RecordOf(const QString& number,
                                                        const QString& username) const {
    const auto it = records_.find(Key(number, username));
    return it == records_.end() ? Record{} : it->second;
}

bool AccountInfoService::StoreRecord(const QString& number, const QString& username,
                                     const Record& r) {
    const QString key = username.toLower();
    const bool ok = network_.GetStore().Write([&](QSqlDatabase& db) {
        QSqlQuery del(db);
        del.prepare("DELETE FROM account_signins WHERE network = ? AND username_key = ?");
        del.addBindValue(number);
        del.addBindValue(key);
        if (!del.exec()) return false;
        QSqlQuery ins(db);
        ins.prepare(
            "INSERT INTO account_signins (network, username_key, signins, failed_pending,"
            " pending_address, pending_time, failed_shown, shown_address, shown_time)"
            " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
        for (const QVariant& v :
             {QVariant(number), QVariant(key), QVariant(r.signIns), QVariant(r.failedPending),
              QVariant(Text(r.pendingAddress)), QVariant(r.pendingTime), QVariant(r.failedShown),
              QVariant(Text(r.shownAddress)), QVariant(r.shownTime)})
            ins.addBindValue(v);
        return ins.exec();
    });
    if (!ok) {
        network_.Log("cannot store the sign-in record of " + username + ": " +
                     network_.GetStore().LastError());
        return false;
    }
    records_[Key(number, username)] = r;
    return true;
}

void AccountInfoService::AppendHistory(const QString& number, const QString& username,
                                       qint64 when, const QString& what) {
    Store& store = network_.GetStore();
    const QString path = HistoryPath(number, username);
    QByteArray history;
    QFile file(store.ResolvePath(path));
    if (file.open(QIODevice::ReadOnly)) history = file.readAll();
    file.close();
    if (!store.WriteFile(path, localnet::AppendHistory(history, HistoryLine(when, what))))
        network_.Log("cannot write the history of " + username);
}

// --- Sign-ins, sign-outs and wrong passwords ---

void AccountInfoService::OnLoginChecked(ClientSession* session, const QString& number,
                                        const QString& username, const QString& password,
                                        bool accepted) {
    if (accepted) {
        live_[session] = Live{number, username, password, Now()};
        return;
    }
    if (session->Kind() != ServerKind::Network) return;
    const qint64 now = Now();
    Record r = RecordOf(number, username);
    r.failedPending += 1;
    r.pendingAddress = session->AddressKey();
    r.pendingTime = now;
    StoreRecord(number, username, r);
    AppendHistory(number, username, now, FailedSignInText(session->AddressKey()));
}

void AccountInfoService::OnLoggedIn(ClientSession* session) {
    if (session->Kind() != ServerKind::Network) return;
    const auto it = live_.find(session);
    if (it == live_.end()) return;
    const Live& live = it->second;
    Record r = RecordOf(live.number, live.username);
    r.signIns += 1;
    r.failedShown = r.failedPending;
    r.shownAddress = r.pendingAddress;
    r.shownTime = r.pendingTime;
    r.failedPending = 0;
    r.pendingAddress.clear();
    r.pendingTime = 0;
    StoreRecord(live.number, live.username, r);
    AppendHistory(live.number, live.username, live.signedInAt,
                  SignedInText(session->AddressKey()));
}

void AccountInfoService::OnEnded(ClientSession* session) {
    const auto it = live_.find(session);
    if (it == live_.end()) return;
    if (session->Kind() == ServerKind::Network) {
        const qint64 now = Now();
        AppendHistory(it->second.number, it->second.username, now,
                      SignedOutText(now - it->second.signedInAt));
    }
    live_.erase(it);
}

// --- Requests ---

void AccountInfoService::SendInformation(ClientSession& session) {
    const auto live = live_.find(&session);
    Network* net = network_.GetStore().FindNetwork(session.NetworkNumber());
    const Account* account = net ? net->FindAccount(session.Username()) : nullptr;
    if (live == live_.end() || !account) return;
    const Record r = RecordOf(net->number, account->username);
    // Every text within what the answer carries (1 to 50 bytes, the
    // password 1 to 20), so that the client never has to drop it.
    std::string fullName = CutUtf8(account->fullName, kInfoTextBytes);
    if (fullName.empty()) fullName = account->username.toStdString();
    const std::string line6 =
        r.failedShown > 0 ? LastFailureText(r.shownAddress, r.shownTime) : std::string("none");
    net::MessageWriter w(net::account::kInformation);
    w.Str(CutUtf8(CreationDateText(account->created), kInfoTextBytes))
        .Str(fullName)
        .Str(account->username.toStdString())
        .Str(CutUtf8(live->second.password, 20))
        .Int(r.signIns)
        .Int(r.failedShown)
        .Str(line6);
    session.Send(w, net::Primary::Account);
}

std::string AccountInfoService::FullNameProblem(const std::string& name) {
    if (!ValidFullName(name) || name.size() > size_t(kMaxFullNameBytes) ||
        name.find(';') != std::string::npos)
        return "A full name has 1 to 20 characters, at most 50 bytes in UTF-8, "
               "without control characters or ';'";
    return {};
}

std::string AccountInfoService::PasswordProblem(const std::string& password) {
    if (!ValidCredential(password, AccountService::kMaxPassword))
        return "A password has 1 to 15 characters: letters A-Z and a-z, digits, '-' and '_'";
    return {};
}

void AccountInfoService::ChangeFullName(ClientSession& session, const std::string& name) {
    std::string problem = FullNameProblem(name);
    Network* net = network_.GetStore().FindNetwork(session.NetworkNumber());
    if (problem.empty()) {
        const QString value = QString::fromStdString(name);
        if (!net || !network_.GetStore().UpdateAccount(*net, session.Username(),
                                                       [&](Account& a) { a.fullName = value; }))
            problem = kReasonNotStored;
    }
    if (!problem.empty()) {
        net::MessageWriter w(net::account::kFullNameRefused);
        w.Str(problem);
        session.Send(w, net::Primary::Account);
        return;
    }
    net::MessageWriter w(net::account::kFullNameChanged);
    session.Send(w, net::Primary::Account);
}

void AccountInfoService::ChangePassword(ClientSession& session, const std::string& password) {
    std::string problem = PasswordProblem(password);
    Network* net = network_.GetStore().FindNetwork(session.NetworkNumber());
    const QString value = QString::fromStdString(password);
    if (problem.empty()) {
        if (!net || !network_.GetStore().UpdateAccount(
                        *net, session.Username(), [&](Account& a) { a.SetPassword(value); }))
            problem = kReasonNotStored;
    }
    if (!problem.empty()) {
        net::MessageWriter w(net::account::kPasswordRefused);
        w.Str(problem);
        session.Send(w, net::Primary::Account);
        return;
    }
    // Every connection of the account now answers with the new password.
    const QString key = Key(session.NetworkNumber(), session.Username());
    for (auto& [s, live] : live_)
        if (Key(live.number, live.username) == key) live.password = value;
    net::MessageWriter w(net::account::kPasswordChanged);
    session.Send(w, net::Primary::Account);
}

}  // namespace localnet
