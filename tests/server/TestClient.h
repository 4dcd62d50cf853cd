#pragma once

// A raw protocol client for driving the in-process server: it sends messages
// built with the codec and takes apart what comes back, spinning the event
// loop while it waits (the server runs on the same thread).

#include <QByteArray>
#include <QTcpSocket>
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "net/MessageBuffer.h"
#include "net/Protocol.h"

namespace servertest {

struct Received {
    net::bufHeader header;
    std::unique_ptr<net::MessageBuffer> buffer;
    int32_t code = -1;

    // Positioned on the first field after the code.
    net::MessageReader Reader() const { return net::MessageReader(*buffer, header); }
    bool Is(net::Primary primary, net::Secondary secondary, int32_t c) const {
        return header.nDescPrimary == +primary && header.nDescSecondary == +secondary && code == c;
    }
};

class TestClient {
  public:
    TestClient();
    ~TestClient();
    TestClient(const TestClient&) = delete;
    TestClient& operator=(const TestClient&) = delete;

    // Connects to the port on 127.0.0.1, from `from` when given (any address
    // of 127.0.0.0/8 works); false at once when the socket fails.
    bool Connect(quint16 port, const QHostAddress& from = QHostAddress());
    bool Send(net::MessageWriter& writer, net::Primary primary,
              net::Secondary secondary = net::Secondary::Message);
    bool SendRaw(const QByteArray& bytes);

    // The next complete message, or nothing when none came in time.
    std::optional<Received> Receive(std::chrono::milliseconds deadline = std::chrono::seconds(10));
    // Whether the server closed the connection within the deadline.
    bool WaitClosed(std::chrono::milliseconds deadline = std::chrono::seconds(10));
    bool Connected() const;

    // Sends the login request with the given fields.
    bool SendLogin(const std::string& number, const std::string& username,
                   const std::string& password, int32_t version = 2,
                   const std::string& identity = "0f3c1a52-8d6e-4b7a-9c21-5e4d3b2a1f00");
    // Logs in and checks for the login OK response.
    bool Login(quint16 port, const std::string& number, const std::string& username,
               const std::string& password);

  private:
    std::optional<Received> TakeMessage();

    std::unique_ptr<QTcpSocket> socket_;
    QByteArray inbox_;
    bool closed_ = false;
    bool failed_ = false;
    bool connected_ = false;
};

// The account creation request in its envelope.
std::unique_ptr<net::MessageBuffer> CreationEnvelope(
    const std::string& number, const std::string& fullName, const std::string& username,
    const std::string& password, const std::string& identity, const std::string& code);

}  // namespace servertest
