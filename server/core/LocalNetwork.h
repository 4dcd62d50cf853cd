#pragma once

// The local zorvic network: the directory, network and file servers in one
// process on one event loop, the store they share, and the services that
// answer each message family. The services are listed once, in
// server/Services.cpp; each registers its handlers with the router.

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <map>
#include <memory>
#include <vector>

#include "server/core/Faults.h"
#include "server/core/MemoryGiveBack.h"
#include "server/core/Router.h"
#include "server/core/Service.h"
#include "server/core/Store.h"

namespace localnet {

class ClientSession;
class Listener;
class TransferEngine;

struct ServerOptions {
    QString dataDir;
    // The address clients are told to use for the network and file servers.
    QString host = "127.0.0.1";
    // Loopback unless asked otherwise: a demo server is not for the world.
    QHostAddress listenAddress = QHostAddress::LocalHost;
    // 0 picks a free port.
    quint16 directoryPort = 7000;
    quint16 networkPort = 9257;
    quint16 filePort = 9357;
    bool seedDemo = false;
    int32_t minClientVersion = 2;
    // A connection that completes no message for this long is dropped.
    std::chrono::milliseconds idleTimeout{60000};
    // A connection must log in within this time ...
    std::chrono::milliseconds loginDeadline{30000};
    // ... and may send at most this many bytes before it has.
    qint64 preLoginByteBudget = 256 * 1024;
    // Connections in all, and from one address; further ones are closed at once.
    int maxConnections = 1000;
    int maxPerAddress = 64;
    // Connections the system may hold waiting for us to accept them.
    int listenBacklog = 1024;
    // After running out of descriptors, the pause before accepting again
    // (a closed connection resumes at once).
    std::chrono::milliseconds acceptBackoff{250};
    bool quiet = false;
    // How often the connection count is looked at to give memory back
    // after a burst; 0 never does.
    std::chrono::milliseconds memoryCheck{1000};
    // Attachments a sender may keep on the server, in number and in bytes.
    int mailAttachments = 20;
    qint64 mailAttachmentSpace = 50LL * 1024 * 1024;
    // Each account's document store: bytes of one file, files in all, bytes in all.
    qint64 documentsMaxFileBytes = 25LL * 1024 * 1024;
    int documentsMaxFiles = 200;
    qint64 documentsMaxSpaceBytes = 100LL * 1024 * 1024;
    // Bytes of one whiteboard page upload.
    qint64 notepadMaxPageBytes = 1024 * 1024;
    // Accounts one peer address may create within the window; more are
    // refused as created from that location too often.
    int creationsPerAddress = 20;
    std::chrono::seconds creationWindow{600};
    // Injected faults, for testing clients; empty in normal use.
    FaultSet faults;
    // Commits wait for the disk; false only for the request fuzzer, where
    // thousands of requests a second must not each wait for it.
    bool durableStore = true;
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
    // Faults for the connections accepted from now on.
    void SetFaults(const FaultSet& faults) {
        options_.faults = faults;
        crashSteps_ = 0;
    }
    Store& GetStore() { return store_; }
    Router& GetRouter() { return router_; }
    TransferEngine& Transfers() { return *transfers_; }
    // The services, in the order of the list (tests find theirs by type).
    const std::vector<std::unique_ptr<Service>>& AllServices() const { return services_; }
    // The listener of one server, or null when not listening (tests).
    const Listener* ListenerOf(ServerKind kind) const;

    // One line on stderr unless quiet.
    void Log(const QString& line) const;

    const std::vector<ClientSession*>& Sessions() const { return sessions_; }
    // Connections turned away at the caps so far.
    quint64 RefusedConnections() const { return refusedConnections_; }
    // Times memory was given back after a burst of connections.
    quint64 MemoryGiveBacks() const { return memoryGiveBacks_; }
    // Called by a session whose connection ended.
    void SessionEnded(ClientSession* session);
    // Called by the login service once a login is accepted and answered.
    void SessionLoggedIn(ClientSession* session);
    // Called by a session for each complete message.
    void Dispatch(ClientSession& session, const net::bufHeader& header,
                  const net::MessageBuffer& message);

  signals:
    // Events services share, so that no service calls into another's files.
    // A connection's login was accepted (Username() and NetworkNumber() set).
    void LoggedIn(ClientSession* session);
    // A connection ended; it still tells who was logged in on it.
    void ConnectionEnded(ClientSession* session);
    // An account's presence changed: 0 offline, else the status it set.
    void PresenceChanged(const QString& number, const QString& username, int status);
    // A login named an existing account and its password was checked:
    // accepted (said before LoggedIn, with the password the connection
    // logged in with) or refused as wrong. Emitted by the login service.
    void LoginChecked(ClientSession* session, const QString& number, const QString& username,
                      const QString& password, bool accepted);
    // An account was created (by the account service) or removed (by an
    // administrator); services keep or drop their own state of it.
    void AccountCreated(const QString& number, const QString& username);
    void AccountRemoved(const QString& number, const QString& username);
    // A message went out to `count` recipients (emitted by the mailbox service).
    void MailDelivered(const QString& number, const QString& sender, int count);

  private:
    bool Listen(std::unique_ptr<Listener>& listener, quint16 port, ServerKind kind, QString* error);
    void Accept(int descriptor, const QHostAddress& peer, ServerKind kind);

    ServerOptions options_;
    Store store_;
    Router router_;
    std::unique_ptr<Listener> directory_;
    std::unique_ptr<Listener> network_;
    std::unique_ptr<Listener> file_;
    std::vector<ClientSession*> sessions_;
    std::map<QString, int> perAddress_;
    quint64 nextSessionId_ = 1;
    quint64 refusedConnections_ = 0;
    qint64 lastRefusalLog_ = 0;
    // The primary descriptor of the message being handled, for the crash point.
    int32_t dispatching_ = -1;
    int crashSteps_ = 0;
    QTimer memoryTimer_;
    MemoryGiveBack giveBack_;
    quint64 memoryGiveBacks_ = 0;

    std::unique_ptr<TransferEngine> transfers_;
    std::vector<std::unique_ptr<Service>> services_;
};

// The demo networks and accounts, added when missing.
bool SeedDemo(Store& store);

// The key under which connections from one peer address are counted.
QString AddressKey(const QHostAddress& address);

}  // namespace localnet
