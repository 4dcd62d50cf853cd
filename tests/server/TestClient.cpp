#include "TestClient.h"

#include <cstring>

#include "support/qt/LocalNetworkFixture.h"

namespace servertest {

using testsupport::SpinUntil;

TestClient::TestClient() : socket_(std::make_unique<QTcpSocket>()) {
    QObject::connect(socket_.get(), &QTcpSocket::readyRead,
                     [this] { inbox_.append(socket_->readAll()); });
    QObject::connect(socket_.get(), &QTcpSocket::connected, [this] { connected_ = true; });
    QObject::connect(socket_.get(), &QTcpSocket::disconnected, [this] { closed_ = true; });
    QObject::connect(socket_.get(), &QTcpSocket::errorOccurred, [this] {
        failed_ = true;
        if (socket_->state() == QAbstractSocket::UnconnectedState) closed_ = true;
    });
}

TestClient::~TestClient() {
    // The socket's own teardown must not call back into a half-gone client.
    socket_->disconnect();
    socket_->abort();
}

bool TestClient::Connect(quint16 port, const QHostAddress& from) {
    if (!from.isNull() && !socket_->bind(from)) return false;
    socket_->connectToHost(QHostAddress::LocalHost, port);
    // A server may close at once; the connection was made all the same.
    SpinUntil([this] { return connected_ || failed_; });
    return connected_;
}

bool TestClient::Send(net::MessageWriter& writer, net::Primary primary, net::Secondary secondary) {
    auto message = writer.Finish(primary, secondary);
    if (!message) return false;
    return SendRaw(QByteArray(reinterpret_cast<const char*>(message->data), message->remaining));
}

bool TestClient::SendRaw(const QByteArray& bytes) {
    return socket_->write(bytes) == bytes.size();
}

std::optional<Received> TestClient::TakeMessage() {
    if (inbox_.size() < net::kHeaderSize) return std::nullopt;
    auto buffer = std::make_unique<net::MessageBuffer>();
    std::memcpy(buffer->data, inbox_.constData(), net::kHeaderSize);
    buffer->done = net::kHeaderSize;
    net::bufHeader header;
    int status = buffer->ParseHeader(header);
    if (status == net::kParseBad) return std::nullopt;
    if (status == net::kParseMore) {
        if (inbox_.size() < header.nMsgLength) return std::nullopt;
        // The header bytes stay as decoded: the key exchange is undone once.
        std::memcpy(buffer->data + net::kHeaderSize, inbox_.constData() + net::kHeaderSize,
                    static_cast<size_t>(header.nMsgLength - net::kHeaderSize));
        buffer->done = header.nMsgLength;
        status = buffer->ParseHeader(header);
        if (status != net::kParseComplete) return std::nullopt;
    }
    inbox_.remove(0, std::max(header.nMsgLength, net::kHeaderSize));
    Received r;
    r.header = header;
    r.buffer = std::move(buffer);
    r.code = r.Reader().Code();
    return r;
}

std::optional<Received> TestClient::Receive(std::chrono::milliseconds deadline) {
    std::optional<Received> message;
    SpinUntil([&] { return (message = TakeMessage()).has_value() || closed_; }, deadline);
    if (!message) message = TakeMessage();
    return message;
}

bool TestClient::WaitClosed(std::chrono::milliseconds deadline) {
    return SpinUntil([this] { return closed_; }, deadline);
}

bool TestClient::Connected() const {
    return !closed_;
}

bool TestClient::SendLogin(const std::string& number, const std::string& username,
                           const std::string& password, int32_t version,
                           const std::string& identity) {
    net::MessageWriter w(net::login::kLogin);
    w.Int(version).Str(number).Int(0).Str(username).Str(password).Str(identity);
    return Send(w, net::Primary::Login);
}

bool TestClient::Login(quint16 port, const std::string& number, const std::string& username,
                       const std::string& password) {
    if (!Connect(port) || !SendLogin(number, username, password)) return false;
    auto reply = Receive();
    return reply && reply->Is(net::Primary::Login, net::Secondary::Response, net::login::kLoginOK);
}

std::unique_ptr<net::MessageBuffer> CreationEnvelope(
    const std::string& number, const std::string& fullName, const std::string& username,
    const std::string& password, const std::string& identity, const std::string& code) {
    net::MessageWriter w(net::zorvic::kEnvelope);
    w.Int(0).Int(0).Int(0).Int(+net::Primary::Account).Int(+net::Secondary::Message);
    w.Int(net::account::kCreate).Str(number).Str(fullName).Str(username).Str(password);
    w.Str(identity).Str(code);
    return w.Finish(net::Primary::Zorvic);
}

}  // namespace servertest
