#include "server/account/AccountService.h"

#include <QDateTime>
#include <QString>

#include "server/core/ClientSession.h"
#include "server/core/Fields.h"
#include "server/core/LocalNetwork.h"

namespace localnet {

bool ValidFullName(const std::string& bytes) {
    const QString name = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    // Reject bytes that are not UTF-8: they would not come back out unchanged.
    if (name.toUtf8() != QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())))
        return false;
    if (name.trimmed().isEmpty() || name.size() > AccountService::kMaxFullName) return false;
    for (QChar c : name)
        if (c.category() == QChar::Other_Control) return false;
    return true;
}

bool ValidCredential(const std::string& text, size_t maxLength) {
    if (text.empty() || text.size() > maxLength) return false;
    for (unsigned char c : text) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                        (c >= '0' && c <= '9') || c == '-' || c == '_';
        if (!ok) return false;
    }
    return true;
}

bool CreationRateLimit::Allows(const QString& address, Clock::time_point now) {
    Prune(now);
    const auto it = recent_.find(address);
    if (it == recent_.end()) return true;
    auto& times = it->second;
    while (!times.empty() && now - times.front() >= window_) times.pop_front();
    return static_cast<int>(times.size()) < perWindow_;
}

void CreationRateLimit::Record(const QString& address, Clock::time_point now) {
    recent_[address].push_back(now);
}

void CreationRateLimit::Prune(Clock::time_point now) {
    // Old entries go at most once a second, so a flood pays little for it.
    if (now - lastPrune_ < std::chrono::seconds(1) && lastPrune_ != Clock::time_point{}) return;
    lastPrune_ = now;
    for (auto it = recent_.begin(); it != recent_.end();) {
        auto& times = it->second;
        while (!times.empty() && now - times.front() >= window_) times.pop_front();
        it = times.empty() ? recent_.erase(it) : std::next(it);
    }
}

AccountService::AccountService(LocalNetwork& network)
    : network_(network),
      rate_(network.Options().creationsPerAddress, network.Options().creationWindow) {
    network_.GetRouter().Register(
        ServerKind::Network, net::Primary::Zorvic, net::zorvic::kEnvelope,
        [this](ClientSession& session, const net::bufHeader&, net::MessageReader& f) {
            int32_t r0 = 0, r1 = 0, r2 = 0, innerPrimary = 0, innerSecondary = 0, innerCode = 0;
            if (!f.Int(-1, -1, r0) || !f.Int(-1, -1, r1) || !f.Int(-1, -1, r2) ||
                !f.Int(-1, -1, innerPrimary) || !f.Int(-1, -1, innerSecondary) ||
                !f.Int(-1, -1, innerCode))
                return;
            // The envelope carries account creation only.
            if (innerPrimary != +net::Primary::Account ||
                innerSecondary != +net::Secondary::Message || innerCode != net::account::kCreate)
                return;
            AccountRequest request;
            int32_t code = net::account::kUndecodable;
            // Generous ranges: a username or password of the wrong length is
            // a matter for its own response, not a decode failure.
            if (f.Str(1, 26, request.number) && f.Str(1, 255, request.fullName) &&
                f.Str(0, 255, request.username) && f.Str(0, 255, request.password) &&
                f.Str(kMinIdentity, kMaxIdentity, request.identity) &&
                f.Str(0, 255, request.creationCode))
                code = Create(request, session.AddressKey());
            net::MessageWriter w(code);
            session.Send(w, net::Primary::Account);
            session.CloseAfterFlush();
            network_.Log(QString("%1 account creation %2 on %3: response %4")
                             .arg(session.PeerText(), QString::fromStdString(request.username),
                                  QString::fromStdString(request.number))
                             .arg(code));
        },
        Access::Anyone);
}

int32_t AccountService::Create(const AccountRequest& request, const QString& address) {
    using namespace net::account;
    Store& store = network_.GetStore();
    Network* network = store.FindNetwork(QString::fromStdString(request.number));
    if (!network) return kUnsupportedNetwork;
    if (!ValidFullName(request.fullName) || !ValidIdentity(request.identity)) return kUndecodable;
    if (!ValidCredential(request.username, kMaxUsername)) return kImproperUsername;
    if (!ValidCredential(request.password, kMaxPassword)) return kImproperPassword;
    // Without a code to ask for, the client sends "none"; it is not checked.
    if (network->RequiresCreationCode() &&
        QString::fromStdString(request.creationCode) != network->creationCode)
        return kWrongCreationCode;
    const QString identity = QString::fromStdString(request.identity);
    if (network->IdentityBanned(identity)) return kBannedFromNetwork;
    const QString username = QString::fromStdString(request.username);
    if (network->FindAccount(username)) return kUsernameTaken;
    if (static_cast<int>(network->accounts.size()) >= network->accountLimit) return kNetworkFull;
    if (network->AccountsOfIdentity(identity) >= network->accountsPerIdentity)
        return kIdentityLimit;
    const auto now = CreationRateLimit::Clock::now();
    if (!address.isEmpty() && !rate_.Allows(address, now)) {
        network_.Log(QString("account creation from %1 refused: over %2 in %3 s")
                         .arg(address)
                         .arg(network_.Options().creationsPerAddress)
                         .arg(network_.Options().creationWindow.count()));
        return kIdentityLimit;
    }

    Account account;
    account.username = username;
    account.fullName = QString::fromStdString(request.fullName);
    account.SetPassword(QString::fromStdString(request.password));
    account.created = QDateTime::currentSecsSinceEpoch();
    account.identity = identity;
    if (!store.AddAccount(*network, std::move(account))) return kCreateFailed;
    if (!address.isEmpty()) rate_.Record(address, now);
    emit network_.AccountCreated(network->number, username);
    return kCreated;
}

}  // namespace localnet
