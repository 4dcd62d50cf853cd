#include "server/core/ClientSession.h"

#include <QTcpSocket>
#include <algorithm>

#include "server/core/Faults.h"
#include "server/core/LocalNetwork.h"

namespace localnet {

namespace {
// Caps what the socket reads ahead of us, so a flooding client costs bounded
// memory and one readyRead does bounded work.
constexpr qint64 kReadBufferSize = 256 * 1024;
}  // namespace

ClientSession::ClientSession(LocalNetwork& owner, ServerKind kind, QTcpSocket* socket, quint64 id)
    : owner_(owner),
      kind_(kind),
      socket_(socket),
      id_(id) {
    socket_->setParent(this);
    socket_->setReadBufferSize(kReadBufferSize);
    addressKey_ = localnet::AddressKey(socket_->peerAddress());
    peer_ = QString("%1 #%2 %3:%4")
                .arg(ServerName(kind))
                .arg(id)
                .arg(socket_->peerAddress().toString())
                .arg(socket_->peerPort());
    connect(socket_, &QTcpSocket::readyRead, this, &ClientSession::OnReadyRead);
    connect(socket_, &QTcpSocket::disconnected, this, &ClientSession::OnDisconnected);
    connect(socket_, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
        if (socket_->state() == QAbstractSocket::UnconnectedState) OnDisconnected();
    });
    connect(socket_, &QTcpSocket::bytesWritten, this, &ClientSession::Drained);

    idle_.setSingleShot(true);
    idle_.setInterval(owner_.Options().idleTimeout);
    connect(&idle_, &QTimer::timeout, this,
            [this] { Abort(closing_ ? "closing timed out" : "no whole message for too long"); });
    idle_.start();
    loginDeadline_.setSingleShot(true);
    loginDeadline_.setInterval(owner_.Options().loginDeadline);
    connect(&loginDeadline_, &QTimer::timeout, this, [this] {
        if (!closing_) Abort("did not log in in time");
    });
    loginDeadline_.start();
    owner_.Log(peer_ + " connected");
    if (owner_.Options().faults.AppliesTo(kind_)) {
        ConnectionFaults::Io io;
        io.write = [this](const char* bytes, qint64 n) {
            if (!ended_) socket_->write(bytes, n);
        };
        io.flush = [this] {
            if (!ended_) socket_->flush();
        };
        io.abort = [this](const QString& why) { Abort(why); };
        io.closeAfterFlush = [this] { CloseAfterFlush(); };
        faults_ = new ConnectionFaults(owner_.Options().faults, std::move(io), this);
    }
}

ClientSession::~ClientSession() {
    // The socket is a child and goes after us; it must not call back.
    socket_->disconnect(this);
}

void ClientSession::SetLogin(const QString& number, const QString& username) {
    number_ = number;
    username_ = username;
    if (LoggedIn()) loginDeadline_.stop();
}

qintptr ClientSession::SocketDescriptor() const {
    return socket_->socketDescriptor();
}

bool ClientSession::WithinBudget(qint64 bytes) {
    if (LoggedIn()) return true;
    preLoginBytes_ += bytes;
    return preLoginBytes_ <= owner_.Options().preLoginByteBudget;
}

bool ClientSession::Send(std::unique_ptr<net::MessageBuffer> message) {
    if (!message || closing_ || ended_) return false;
    const qint64 length = message->remaining;
    if (faults_)
        return faults_->Send(QByteArray(reinterpret_cast<const char*>(message->data), length));
    return socket_->write(reinterpret_cast<const char*>(message->data), length) == length;
}

bool ClientSession::Send(net::MessageWriter& writer, net::Primary primary,
                         net::Secondary secondary) {
    return Send(writer.Finish(primary, secondary));
}

qint64 ClientSession::PendingOutput() const {
    return socket_->bytesToWrite() + (faults_ ? faults_->HeldBytes() : 0);
}

void ClientSession::Refuse(int32_t primary, int32_t secondary, int32_t reason,
                           std::string_view text, bool now) {
    // The client accepts 1..512 bytes of text.
    std::string_view shown = text.substr(0, 512);
    if (shown.empty()) shown = "Refused";
    net::MessageWriter w(net::control::kNotifyDisconnect);
    w.Int(primary).Int(secondary).Int(reason).Str(shown);
    Send(w, net::Primary::Control, net::Secondary::Notification);
    owner_.Log(QString("%1 refused (%2): %3")
                   .arg(peer_)
                   .arg(reason)
                   .arg(QString::fromUtf8(shown.data(), static_cast<int>(shown.size()))));
    if (now) socket_->flush();
    CloseAfterFlush();
}

void ClientSession::CloseAfterFlush() {
    if (closing_ || ended_) return;
    closing_ = true;
    // A peer that never reads would keep the close pending for ever.
    idle_.start();
    socket_->disconnectFromHost();
}

void ClientSession::Abort(const QString& why) {
    if (ended_) return;
    owner_.Log(peer_ + " dropped: " + why);
    closing_ = true;
    socket_->abort();
    OnDisconnected();
}

void ClientSession::OnReadyRead() {
    if (closing_ || ended_) {
        socket_->readAll();
        return;
    }
    // The 32 KiB buffer is held only while a message is under way: an idle
    // connection costs little, and thousands of them after a burst do not
    // keep the allocator's memory pinned.
    if (!receive_) receive_ = std::make_unique<net::MessageBuffer>();
    net::MessageBuffer& b = *receive_;
    while (!closing_ && socket_->bytesAvailable() > 0) {
        // Never read past the current message: the next one starts afresh.
        const int want = b.done < net::kHeaderSize ? net::kHeaderSize - b.done : b.remaining;
        if (want <= 0) {
            Abort("framing error");
            return;
        }
        const qint64 got = socket_->read(reinterpret_cast<char*>(b.data) + b.done, want);
        if (got <= 0) break;
        if (!WithinBudget(got)) {
            Abort("sent too much before logging in");
            return;
        }
        b.done += static_cast<int32_t>(got);
        net::bufHeader header;
        const int status = b.ParseHeader(header);
        if (status == net::kParseBad) {
            Abort("malformed message");
            return;
        }
        if (status == net::kParseMore) {
            if (b.done >= net::kHeaderSize) b.remaining = header.nMsgLength - b.done;
            continue;
        }
        // Only a whole message counts as a sign of life: a peer that trickles
        // bytes, or stops half-way, runs out of time all the same.
        idle_.start();
        if (faults_) faults_->Received(header.nDescPrimary, header.nDescSecondary);
        owner_.Dispatch(*this, header, b);
        if (ended_) return;
        b.Reset();
    }
    if (!ended_ && receive_ && receive_->done == 0) receive_.reset();
}

void ClientSession::OnDisconnected() {
    if (ended_) return;
    ended_ = true;
    closing_ = true;
    idle_.stop();
    loginDeadline_.stop();
    owner_.Log(peer_ + " disconnected");
    emit Closed();
    owner_.SessionEnded(this);
}

}  // namespace localnet
