#pragma once

// The local zorvic network: the directory, network and file servers in one
// process on one event loop, the store they share, and the services that
// answer each message family. Each subsystem adds a service that registers
// its handlers with the router (see the constructor in LocalNetwork.cpp).

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <chrono>
#include <memory>
#include <vector>

#include "server/Router.h"
#include "server/Store.h"

class QTcpServer;

namespace localnet {

class ClientSession;
class TransferEngine;
class DirectoryService;
class LoginService;
class AccountService;

struct ServerOptions {
    QString dataDir;
    // The address clients are told to use for the network and file servers.
    QString host = "127.0.0.1";
    QHostAddress listenAddress = QHostAddress::Any;
    // 0 picks a free port.
    quint16 directoryPort = 7000;
    quint16 networkPort = 9257;
    quint16 filePort = 9357;
    bool seedDemo = false;
    int32_t minClientVersion = 2;
    std::chrono::milliseconds idleTimeout{60000};
    bool quiet = false;
};

class LocalNetwork : public QObject {
    Q_OBJECT
  public:
    explicit LocalNetwork(ServerOptions options, QObject* parent = nullptr);
    ~LocalNetwork() override;

    // Loads the store, seeds it if asked, and starts listening.
    bool Start(QString* error);
    // Stops listening and drops every connection.
    void Stop();

    quint16 DirectoryPort() const;
    quint16 NetworkPort() const;
    quint16 FilePort() const;

    const ServerOptions& Options() const { return options_; }
    Store& GetStore() { return store_; }
    Router& GetRouter() { return router_; }
    TransferEngine& Transfers() { return *transfers_; }

    // One line on stderr unless quiet.
    void Log(const QString& line) const;

    const std::vector<ClientSession*>& Sessions() const { return sessions_; }
    // Called by a session whose connection ended.
    void SessionEnded(ClientSession* session);
    // Called by a session for each complete message.
    void Dispatch(ClientSession& session, const net::bufHeader& header,
                  const net::MessageBuffer& message);

  private:
    bool Listen(QTcpServer& server, quint16 port, ServerKind kind, QString* error);
    void Accept(QTcpServer& server, ServerKind kind);

    ServerOptions options_;
    Store store_;
    Router router_;
    std::unique_ptr<QTcpServer> directory_;
    std::unique_ptr<QTcpServer> network_;
    std::unique_ptr<QTcpServer> file_;
    std::vector<ClientSession*> sessions_;
    quint64 nextSessionId_ = 1;

    std::unique_ptr<TransferEngine> transfers_;
    std::unique_ptr<DirectoryService> directoryService_;
    std::unique_ptr<LoginService> loginService_;
    std::unique_ptr<AccountService> accountService_;
};

// The demo networks and accounts, added when missing.
bool SeedDemo(Store& store);

}  // namespace localnet
