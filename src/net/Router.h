#pragma once

// Routing of complete incoming messages to their families by the primary
// descriptor, with the secondary descriptor checked as each family requires,
// and the diagnostic log lines of the router and the families.

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "net/Families.h"
#include "net/MessageBuffer.h"
#include "net/Protocol.h"

namespace net {

class Connection;

// A family's diagnostic line: the last thing it could not use. Overwritten by
// every write; a text longer than the nominal 512 bytes is kept whole.
class LogLine {
  public:
    void Write(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void Set(std::string text);
    const std::string& Text() const { return text_; }
    void Clear() { text_.clear(); }
    // Receives every written text as well (for diagnostics output).
    void SetSink(std::function<void(const std::string&)> sink) { sink_ = std::move(sink); }

  private:
    std::string text_;
    std::function<void(const std::string&)> sink_;
};

// A family's entry point. The message is in the connection's receive buffer;
// read it with MessageReader(connection.ReceiveBuffer(), header).
using FamilyHandler = std::function<void(Connection&, const bufHeader&, LogLine&)>;

class Router {
  public:
    // Every primary of the list of families has a slot; others are
    // unrecognised.
    static constexpr int kPrimaryCount = net::kPrimaryCount;

    Router();

    // Attaches a family's handler to its primary descriptor (replacing any
    // earlier one). Families that check the secondary descriptor themselves
    // get every message of their primary; the others only the secondaries
    // their row of the list accepts. Returns false for a primary that no
    // family may take (not in the list).
    bool Register(Primary primary, FamilyHandler handler);
    bool Registered(Primary primary) const;

    // Routes one complete message on the user-interface thread. Every message
    // is consumed: an unknown primary or secondary is logged (or, for the
    // transfer, document-store and account families, silently dropped).
    void RouteMsg(Connection& connection, const bufHeader& header);

    // The router's own log line and each family's.
    const LogLine& Log() const { return log_; }
    LogLine& FamilyLog(Primary primary);
    const LogLine& FamilyLog(Primary primary) const;

    // Every log text of the router and its families also goes to `sink`.
    void SetLogSink(const std::function<void(const std::string&)>& sink);

  private:
    struct Family {
        FamilyHandler handler;
        LogLine log;
    };
    LogLine log_;
    std::array<Family, kPrimaryCount> families_;
};

}  // namespace net
