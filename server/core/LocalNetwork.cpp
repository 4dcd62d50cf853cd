#include "server/core/LocalNetwork.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <csignal>
#include <unistd.h>
#include <QDateTime>
#include <QTcpSocket>
#include <algorithm>
#include <cstdio>

#include "server/core/ClientSession.h"
#include "server/core/Listener.h"
#include "server/core/TransferEngine.h"

namespace localnet {

QString AddressKey(const QHostAddress& address) {
    // An IPv4 peer reached through a dual-stack socket counts as itself.
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString() : address.toString();
}

LocalNetwork::LocalNetwork(ServerOptions options, QObject* parent)
    : QObject(parent), options_(std::move(options)), store_(options_.dataDir) {
    store_.SetLog([this](const QString& line) { Log(line); });
    store_.SetDurable(options_.durableStore);
    store_.SetStepHook([this](const char* step) {
        const int32_t primary = options_.faults.crashPrimary;
        if (primary < 0 || dispatching_ != primary) return;
        if (++crashSteps_ != options_.faults.crashStep) return;
        Log(QString("injected fault: killed at %1").arg(step));
        std::fflush(stderr);
        ::kill(::getpid(), SIGKILL);
    });
    transfers_ = std::make_unique<TransferEngine>(*this);
    services_ = MakeServices(*this);
    memoryTimer_.setInterval(options_.memoryCheck);
    connect(&memoryTimer_, &QTimer::timeout, this, [this] {
        if (!giveBack_.Observe(static_cast<int>(sessions_.size()), MemoryGiveBack::Clock::now()))
            return;
        if (GiveBackMemory()) ++memoryGiveBacks_;
        Log(QString("burst over (%1 connections): memory given back").arg(sessions_.size()));
    });
}

LocalNetwork::~LocalNetwork() {
    Stop();
}

bool LocalNetwork::Start(QString* error) {
    if (!store_.Load(error)) return false;
    for (auto& service : services_)
        if (!service->Open(error)) {
            store_.Close();
            return false;
        }
    if (options_.seedDemo) {
        bool seeded = SeedDemo(store_);
        for (auto& service : services_) seeded = seeded && service->SeedDemo();
        if (!seeded) {
            if (error)
                *error = "cannot write the demo data into " + store_.DatabasePath() + ": " +
                         store_.LastError();
            store_.Close();
            return false;
        }
    }
    if (!Listen(directory_, options_.directoryPort, ServerKind::Directory, error) ||
        !Listen(network_, options_.networkPort, ServerKind::Network, error) ||
        !Listen(file_, options_.filePort, ServerKind::File, error)) {
        Stop();
        return false;
    }
    Log(QString("listening on %1: directory %2, network %3, file %4; data in %5")
            .arg(options_.listenAddress.toString())
            .arg(DirectoryPort())
            .arg(NetworkPort())
            .arg(FilePort())
            .arg(store_.DataDir()));
    if (options_.memoryCheck.count() > 0) memoryTimer_.start();
    return true;
}

bool LocalNetwork::Listen(std::unique_ptr<Listener>& listener, quint16 port, ServerKind kind,
                          QString* error) {
    listener = std::make_unique<Listener>(
        [this, kind](int descriptor, const QHostAddress& peer) { Accept(descriptor, peer, kind); });
    listener->SetBackoff(options_.acceptBackoff);
    QString why;
    if (!listener->Listen(options_.listenAddress, port, options_.listenBacklog, &why)) {
        if (error)
            *error = QString("cannot listen on %1 port %2 (%3 server): %4")
                         .arg(options_.listenAddress.toString())
                         .arg(port)
                         .arg(ServerName(kind))
                         .arg(why);
        return false;
    }
    return true;
}

void LocalNetwork::Accept(int descriptor, const QHostAddress& peer, ServerKind kind) {
    const QString key = AddressKey(peer);
    const auto from = perAddress_.find(key);
    const char* cap = nullptr;
    if (static_cast<int>(sessions_.size()) >= options_.maxConnections)
        cap = "too many connections";
    else if (from != perAddress_.end() && from->second >= options_.maxPerAddress)
        cap = "too many connections from that address";
    if (cap) {
        // Closed before any byte is read: the cheapest answer to a flood.
        ::close(descriptor);
        ++refusedConnections_;
        // One line a second at most, or a flood would flood the log too.
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        if (now - lastRefusalLog_ >= 1000) {
            lastRefusalLog_ = now;
            Log(QString("%1 connection from %2 closed: %3 (%4 so far)")
                    .arg(ServerName(kind), key, cap)
                    .arg(refusedConnections_));
        }
        return;
    }
    // Requests and answers are small and come one at a time: send each at once.
    const int on = 1;
    ::setsockopt(descriptor, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    auto* socket = new QTcpSocket;
    if (!socket->setSocketDescriptor(descriptor)) {
        Log(QString("%1 connection from %2 could not be taken: %3")
                .arg(ServerName(kind), key, socket->errorString()));
        delete socket;
        ::close(descriptor);
        return;
    }
    auto* session = new ClientSession(*this, kind, socket, nextSessionId_++);
    session->setParent(this);
    sessions_.push_back(session);
    ++perAddress_[session->AddressKey()];
}

const Listener* LocalNetwork::ListenerOf(ServerKind kind) const {
    switch (kind) {
        case ServerKind::Directory:
            return directory_.get();
        case ServerKind::Network:
            return network_.get();
        case ServerKind::File:
            return file_.get();
    }
    return nullptr;
}

void LocalNetwork::Stop() {
    memoryTimer_.stop();
    for (auto* listener : {directory_.get(), network_.get(), file_.get()})
        if (listener) listener->Close();
    // Aborting a session removes it from the list.
    while (!sessions_.empty()) sessions_.back()->Abort("server stopping");
    directory_.reset();
    network_.reset();
    file_.reset();
}

quint16 LocalNetwork::DirectoryPort() const {
    return directory_ ? directory_->Port() : 0;
}
quint16 LocalNetwork::NetworkPort() const {
    return network_ ? network_->Port() : 0;
}
quint16 LocalNetwork::FilePort() const {
    return file_ ? file_->Port() : 0;
}

void LocalNetwork::Log(const QString& line) const {
    if (options_.quiet) return;
    const QString stamp = QDateTime::currentDateTime().toString("yyyy-MM-dd hh:mm:ss");
    std::fprintf(stderr, "%s zorvic-localnet: %s\n", qPrintable(stamp), qPrintable(line));
}

void LocalNetwork::SessionEnded(ClientSession* session) {
    const auto it = std::find(sessions_.begin(), sessions_.end(), session);
    if (it == sessions_.end()) return;
    // Services see the connection while it still says who was logged in.
    emit ConnectionEnded(session);
    sessions_.erase(it);
    const auto from = perAddress_.find(session->AddressKey());
    if (from != perAddress_.end() && --from->second <= 0) perAddress_.erase(from);
    session->deleteLater();
    // A descriptor is free again: a listener that ran out may go on.
    for (auto* listener : {directory_.get(), network_.get(), file_.get()})
        if (listener) listener->Resume();
}

void LocalNetwork::SessionLoggedIn(ClientSession* session) {
    emit LoggedIn(session);
}

void LocalNetwork::Dispatch(ClientSession& session, const net::bufHeader& header,
                            const net::MessageBuffer& message) {
    dispatching_ = header.nDescPrimary;
    router_.Dispatch(session, header, message);
    dispatching_ = -1;
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
