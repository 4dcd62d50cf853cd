#pragma once

// Shared pieces of the routing, family and client tests: a listener that
// records what the windows were told, and delivery of real message bytes into
// a connection's receive buffer.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "net/Client.h"
#include "net/ClientListener.h"
#include "net/Connection.h"
#include "net/MessageBuffer.h"
#include "support/TempDir.h"

namespace routingtest {

// Records every call as one line of text, so tests compare what the user
// would have seen. Thread-safe: network threads report through it.
class RecordingListener : public net::ClientListener {
  public:
    std::vector<std::string> Events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }
    size_t Count(const std::string& event) const {
        std::lock_guard lock(mutex_);
        size_t n = 0;
        for (const auto& e : events_) n += e == event;
        return n;
    }
    net::NetworkInformation LastInformation() const {
        std::lock_guard lock(mutex_);
        return info_;
    }

    void ShowMessage(net::MessagePhase over, const std::string& title, const std::string& text,
                     net::MessageIcon icon) override {
        Add("message " + std::to_string(int(over)) + " [" + title + "] " + text + " icon " +
            std::to_string(int(icon)));
    }
    void ShowServerResponse(const std::string& response, const std::string& details) override {
        Add("response " + response + " / " + details);
    }
    void LookupAnswered(const std::string& number) override { Add("lookup answered " + number); }
    void LookupRefused() override { Add("lookup refused"); }
    void LoginCouldNotConnect() override { Add("login could not connect"); }
    void LoginCancelled() override { Add("login cancelled"); }
    void LoginEnded(net::LoginEnd how) override { Add("login ended " + std::to_string(int(how))); }
    void CreationCouldNotConnect() override { Add("creation could not connect"); }
    void CreationCancelled() override { Add("creation cancelled"); }
    void LoginCompleted() override { Add("login completed"); }
    void ConnectionDropped() override { Add("dropped"); }
    void NetworkInformationReceived(const net::NetworkInformation& info) override {
        {
            std::lock_guard lock(mutex_);
            info_ = info;
        }
        Add("network information");
    }

  private:
    void Add(std::string e) {
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(e));
    }
    mutable std::mutex mutex_;
    std::vector<std::string> events_;
    net::NetworkInformation info_;
};

inline std::string MessageEvent(net::MessagePhase over, const std::string& title,
                                const std::string& text, net::MessageIcon icon) {
    return "message " + std::to_string(int(over)) + " [" + title + "] " + text + " icon " +
           std::to_string(int(icon));
}

// Places a finished message in the connection's receive buffer as the
// network thread would have received it, and returns its decoded header.
inline net::bufHeader Receive(net::Connection& connection, const net::MessageBuffer& sent) {
    net::MessageBuffer& rb = connection.ReceiveBuffer();
    rb.Reset();
    const int length = sent.remaining;
    std::memcpy(rb.data, sent.data, static_cast<size_t>(length));
    rb.done = length;
    net::bufHeader header;
    EXPECT_EQ(rb.ParseHeader(header), net::kParseComplete);
    return header;
}

inline net::bufHeader Receive(net::Connection& connection, net::MessageWriter& writer,
                              net::Primary primary, int32_t secondary) {
    auto msg = writer.Finish(+primary, secondary);
    EXPECT_TRUE(msg);
    return Receive(connection, *msg);
}

// A copy of an outgoing message with its header decoded and payload readable.
struct Sent {
    net::bufHeader header;
    std::unique_ptr<net::MessageBuffer> buffer;
    net::MessageReader Reader() const { return net::MessageReader(*buffer, header); }
};

inline Sent Decode(const net::MessageBuffer& msg) {
    Sent s;
    s.buffer = std::make_unique<net::MessageBuffer>();
    std::memcpy(s.buffer->data, msg.data, static_cast<size_t>(msg.remaining));
    s.buffer->done = msg.remaining;
    EXPECT_EQ(s.buffer->ParseHeader(s.header), net::kParseComplete);
    return s;
}

// Takes everything queued on a connection that is not running.
inline std::vector<Sent> Drain(net::Connection& connection) {
    std::vector<Sent> out;
    connection.Queue().Flush([&](net::MessageBuffer& b) {
        out.push_back(Decode(b));
        return true;
    });
    return out;
}

// A Client in a temporary home, routing on the calling thread.
struct ClientFixture {
    testsupport::TempDir tmp;
    net::InlineUiDispatcher ui;
    RecordingListener listener;
    std::unique_ptr<net::Client> client;

    explicit ClientFixture(net::Endpoints endpoints = {}) {
        net::Client::Options options;
        options.endpoints = std::move(endpoints);
        options.timings = net::Timings::Fast();
        options.environment.home = tmp.path();
        client = std::make_unique<net::Client>(ui, listener, options);
    }
    // Routes a message as a network thread hands it over.
    void Deliver(net::Connection& connection, net::MessageWriter& writer, net::Primary primary,
                 int32_t secondary) {
        const net::bufHeader header = Receive(connection, writer, primary, secondary);
        client->Dispatch(connection, header);
    }
    void Deliver(net::Connection& connection, net::MessageWriter&& writer, net::Primary primary,
                 int32_t secondary) {
        Deliver(connection, writer, primary, secondary);
    }
};

}  // namespace routingtest
