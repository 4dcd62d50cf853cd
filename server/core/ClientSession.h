#pragma once

// One accepted connection on one of the three servers: framing of incoming
// messages, sending, the login it carries, and the limits that keep a hostile
// peer cheap: it must complete a message every idle period (bytes alone do
// not count), log in before a deadline, and send only so much before it has.
// Handlers reach everything else through the owning LocalNetwork.

#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <memory>
#include <string_view>

#include "net/MessageBuffer.h"
#include "server/core/Router.h"

class QTcpSocket;

namespace localnet {

class LocalNetwork;
class ConnectionFaults;

class ClientSession : public QObject {
    Q_OBJECT
  public:
    ClientSession(LocalNetwork& owner, ServerKind kind, QTcpSocket* socket, quint64 id);
    ~ClientSession() override;

    ServerKind Kind() const { return kind_; }
    quint64 Id() const { return id_; }
    QString PeerText() const { return peer_; }
    // The peer's address as the per-address connection count knows it.
    const QString& AddressKey() const { return addressKey_; }
    // The connection's socket (tests check its options).
    qintptr SocketDescriptor() const;
    LocalNetwork& Owner() { return owner_; }

    // Queues a finished message; false when it could not be built or the
    // session is closing.
    bool Send(std::unique_ptr<net::MessageBuffer> message);
    bool Send(net::MessageWriter& writer, net::Primary primary,
              net::Secondary secondary = net::Secondary::Response);
    // Bytes handed to the socket but not yet to the system.
    qint64 PendingOutput() const;

    // Sends the disconnect notification (answering a message of the given
    // descriptors) and closes once it is out. `now`: hands the notification
    // to the system at once, so that a connection that takes it all ends
    // before this returns (its ConnectionEnded already said) and what is
    // answered next no longer counts it.
    void Refuse(int32_t primary, int32_t secondary, int32_t reason, std::string_view text,
                bool now = false);
    // Closes after everything queued has been written.
    void CloseAfterFlush();
    // Drops the connection at once.
    void Abort(const QString& why);
    bool Closing() const { return closing_; }

    bool LoggedIn() const { return !username_.isEmpty(); }
    const QString& NetworkNumber() const { return number_; }
    const QString& Username() const { return username_; }
    void SetLogin(const QString& number, const QString& username);

  signals:
    // Output was written to the system; senders of long streams continue.
    void Drained();
    // The connection ended; the session is deleted soon after.
    void Closed();

  private:
    void OnReadyRead();
    void OnDisconnected();
    // Counts bytes read before the login; false once over the budget.
    bool WithinBudget(qint64 bytes);

    LocalNetwork& owner_;
    ServerKind kind_;
    QTcpSocket* socket_;
    quint64 id_;
    QString peer_;
    QString addressKey_;
    std::unique_ptr<net::MessageBuffer> receive_;
    // Only when faults are injected on this server; owned as a child.
    ConnectionFaults* faults_ = nullptr;
    QTimer idle_;
    QTimer loginDeadline_;
    qint64 preLoginBytes_ = 0;
    bool closing_ = false;
    bool ended_ = false;
    QString number_;
    QString username_;
};

}  // namespace localnet
