#include "server/login/LoginService.h"

#include <QDateTime>
#include <string>

#include "server/core/ClientSession.h"
#include "server/core/Fields.h"
#include "server/core/LocalNetwork.h"

namespace localnet {

namespace {

constexpr char kTextUndecodable[] = "Unable to decode login request";
constexpr char kTextOutdated[] = "A newer version of the client software is required";
constexpr char kTextUnknownNetwork[] = "Unknown zorvic number";
constexpr char kTextBadLogin[] = "Invalid username or password";
constexpr char kTextBanned[] = "This account has been banned from the network";

}  // namespace

class LoginRequest {
  public:
    int32_t version = 0;
    std::string number;
    int32_t reserved = 0;
    std::string username;
    std::string password;
    std::string identity;

    // The limits are the client's buffers: 26 characters of number, 31 of
    // username, 39 of password; the identity as account creation takes it.
    bool DecodeRest(net::MessageReader& f) {
        return f.Str(1, 26, number) && f.Int(-1, -1, reserved) && f.Str(1, 31, username) &&
               f.Str(1, 39, password) && f.Str(kMinIdentity, kMaxIdentity, identity) &&
               ValidIdentity(identity);
    }
};

LoginService::LoginService(LocalNetwork& network) : network_(network) {
    for (ServerKind kind : {ServerKind::Network, ServerKind::File}) {
        network_.GetRouter().Register(
            kind, net::Primary::Login, net::login::kLogin,
            [this](ClientSession& session, const net::bufHeader&, net::MessageReader& fields) {
                const int32_t p = +net::Primary::Login, s = +net::Secondary::Message;
                LoginRequest request;
                if (!fields.Int(-1, -1, request.version)) {
                    session.Refuse(p, s, net::disconnect::kRefused, kTextUndecodable);
                    return;
                }
                // An old client may lay out the rest differently: the version
                // decides before anything else is read.
                if (request.version < network_.Options().minClientVersion) {
                    session.Refuse(p, s, net::disconnect::kUpdateRequired, kTextOutdated);
                    return;
                }
                if (!request.DecodeRest(fields)) {
                    session.Refuse(p, s, net::disconnect::kRefused, kTextUndecodable);
                    return;
                }
                Login(session, request);
            },
            Access::Anyone);
        // Any whole message restarts the idle timer; nothing else to do.
        network_.GetRouter().Register(
            kind, net::Primary::Control, net::control::kKeepAlive,
            [](ClientSession&, const net::bufHeader&, net::MessageReader&) {}, Access::Anyone);
    }
}

void LoginService::Login(ClientSession& session, LoginRequest& request) {
    const int32_t p = +net::Primary::Login, s = +net::Secondary::Message;
    if (session.LoggedIn()) return;  // one login per connection
    Network* network = network_.GetStore().FindNetwork(QString::fromStdString(request.number));
    if (!network) {
        session.Refuse(p, s, net::disconnect::kRefused, kTextUnknownNetwork);
        return;
    }
    const QString username = QString::fromStdString(request.username);
    Account* account = network->FindAccount(username);
    const QString password = QString::fromStdString(request.password);
    if (!account || !account->CheckPassword(password)) {
        // Wrong passwords for a real account are part of its history.
        if (account)
            emit network_.LoginChecked(&session, network->number, account->username, password,
                                       false);
        session.Refuse(p, s, net::disconnect::kRefused, kTextBadLogin);
        return;
    }
    if (account->banned) {
        session.Refuse(p, s, net::disconnect::kBanned, kTextBanned);
        return;
    }
    session.SetLogin(network->number, account->username);
    emit network_.LoginChecked(&session, network->number, account->username, password, true);
    const bool admin = account->admin || account->root;
    const bool root = account->root;
    if (session.Kind() == ServerKind::Network) {
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        // A failed write loses only the last-login time; the login stands.
        if (!network_.GetStore().UpdateAccount(*network, account->username,
                                               [now](Account& a) { a.lastLogin = now; }))
            network_.Log("cannot store the last login of " + account->username);
    }
    net::MessageWriter w(net::login::kLoginOK);
    w.Int(admin ? 1 : 0).Int(root ? 1 : 0);
    session.Send(w, net::Primary::Login);
    network_.Log(QString("%1 logged in as %2 on %3")
                     .arg(session.PeerText(), account->username, network->number));
    // After the answer, so that whatever services send follows it.
    network_.SessionLoggedIn(&session);
}

}  // namespace localnet
