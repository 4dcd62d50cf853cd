#include "server/LocalNetwork.h"

#include <QDateTime>
#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>
#include <cstdio>

#include "server/AccountService.h"
#include "server/ClientSession.h"
#include "server/DirectoryService.h"
#include "server/LoginService.h"
#include "server/TransferEngine.h"

namespace localnet {

LocalNetwork::LocalNetwork(ServerOptions options, QObject* parent)
    : QObject(parent), options_(std::move(options)), store_(options_.dataDir) {
    // Each service registers its handlers with the router; a new subsystem
    // adds its service here.
    transfers_ = std::make_unique<TransferEngine>(*this);
    directoryService_ = std::make_unique<DirectoryService>(*this);
    loginService_ = std::make_unique<LoginService>(*this);
    accountService_ = std::make_unique<AccountService>(*this);
}

LocalNetwork::~LocalNetwork() {
    Stop();
}

bool LocalNetwork::Start(QString* error) {
    if (!store_.Load(error)) return false;
    if (options_.seedDemo && !SeedDemo(store_)) {
        if (error) *error = "cannot write the demo networks into " + store_.DataDir();
        return false;
    }
    directory_ = std::make_unique<QTcpServer>();
    network_ = std::make_unique<QTcpServer>();
    file_ = std::make_unique<QTcpServer>();
    if (!Listen(*directory_, options_.directoryPort, ServerKind::Directory, error) ||
        !Listen(*network_, options_.networkPort, ServerKind::Network, error) ||
        !Listen(*file_, options_.filePort, ServerKind::File, error)) {
        Stop();
        return false;
    }
    Log(QString("listening: directory %1, network %2, file %3; data in %4")
            .arg(DirectoryPort())
            .arg(NetworkPort())
            .arg(FilePort())
            .arg(store_.DataDir()));
    return true;
}

bool LocalNetwork::Listen(QTcpServer& server, quint16 port, ServerKind kind, QString* error) {
    if (!server.listen(options_.listenAddress, port)) {
        if (error)
            *error = QString("cannot listen on port %1 (%2 server): %3")
                         .arg(port)
                         .arg(ServerName(kind))
                         .arg(server.errorString());
        return false;
    }
    connect(&server, &QTcpServer::newConnection, this,
            [this, &server, kind] { Accept(server, kind); });
    return true;
}

void LocalNetwork::Accept(QTcpServer& server, ServerKind kind) {
    while (QTcpSocket* socket = server.nextPendingConnection()) {
        auto* session = new ClientSession(*this, kind, socket, nextSessionId_++);
        session->setParent(this);
        sessions_.push_back(session);
    }
}

void LocalNetwork::Stop() {
    for (auto* server : {directory_.get(), network_.get(), file_.get()})
        if (server) server->close();
    // Aborting a session removes it from the list.
    while (!sessions_.empty()) sessions_.back()->Abort("server stopping");
    directory_.reset();
    network_.reset();
    file_.reset();
}

quint16 LocalNetwork::DirectoryPort() const {
    return directory_ ? directory_->serverPort() : 0;
}
quint16 LocalNetwork::NetworkPort() const {
    return network_ ? network_->serverPort() : 0;
}
quint16 LocalNetwork::FilePort() const {
    return file_ ? file_->serverPort() : 0;
}

void LocalNetwork::Log(const QString& line) const {
    if (options_.quiet) return;
    const QString stamp = QDateTime::currentDateTime().toString("yyyy-MM-dd hh:mm:ss");
    std::fprintf(stderr, "%s zorvic-localnet: %s\n", qPrintable(stamp), qPrintable(line));
}

void LocalNetwork::SessionEnded(ClientSession* session) {
    sessions_.erase(std::remove(sessions_.begin(), sessions_.end(), session), sessions_.end());
    session->deleteLater();
}

void LocalNetwork::Dispatch(ClientSession& session, const net::bufHeader& header,
                            const net::MessageBuffer& message) {
    router_.Dispatch(session, header, message);
}

bool SeedDemo(Store& store) {
    struct Seed {
        const char* username;
        const char* fullName;
        const char* password;
        bool admin;
        bool root;
    };
    static constexpr Seed kAccounts[] = {
        {"root", "Root", "rootpass", true, true},
        {"admin", "Administrator", "adminpass", true, false},
        {"alice", "Alice Archer", "alicepass", false, false},
        {"bob", "Bob Baker", "bobpass", false, false},
        {"carol", "Carol Cooper", "carolpass", false, false},
    };
    struct NetworkSeed {
        const char* number;
        const char* name;
        int flags;
        const char* code;
    };
    static constexpr NetworkSeed kNetworks[] = {
        {"1234567", "Demo Network", 0, ""},
        {"7654321", "Members Network", Network::kFlagCreationCode, "welcome"},
    };
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    for (const auto& n : kNetworks) {
        if (store.FindNetwork(n.number)) continue;
        Network network;
        network.number = n.number;
        network.name = n.name;
        network.flags = n.flags;
        network.creationCode = n.code;
        for (const auto& s : kAccounts) {
            Account a;
            a.username = s.username;
            a.fullName = s.fullName;
            a.SetPassword(s.password);
            a.admin = s.admin;
            a.root = s.root;
            a.created = now;
            network.accounts.push_back(a);
        }
        if (!store.AddNetwork(std::move(network))) return false;
    }
    return true;
}

}  // namespace localnet
