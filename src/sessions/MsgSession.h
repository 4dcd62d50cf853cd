#pragma once

// The Session family (primary 12, network-server connection): one sender per
// directory request, and the dispatcher of notifications and responses. The
// dispatcher decodes into plain values and hands them on through
// SessionEvents; it shows nothing itself.

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "net/MessageBuffer.h"
#include "sessions/SessionModel.h"
#include "sessions/api/SessionDirectory.h"

namespace net {
class Connection;
class LogLine;
}  // namespace net

namespace sessions {

std::unique_ptr<net::MessageBuffer> BuildCreateSession(const std::string& name,
                                                       const std::string& description,
                                                       const std::string& password,
                                                       int32_t isPrivate, int32_t maxParticipants);
std::unique_ptr<net::MessageBuffer> BuildModifySession(const std::string& id,
                                                       const std::string& description,
                                                       const std::string& password,
                                                       int32_t isPrivate, int32_t maxParticipants);
std::unique_ptr<net::MessageBuffer> BuildDeleteSession(const std::string& id);
std::unique_ptr<net::MessageBuffer> BuildAskToCreate();
std::unique_ptr<net::MessageBuffer> BuildGetSessionForModify(const std::string& id);
std::unique_ptr<net::MessageBuffer> BuildJoinSession(const std::string& id,
                                                     const std::string& password);
// (List sessions: BuildSessionListRequest, SessionPageLogic.h.)

// What the dispatcher found.
struct SessionEvents {
    // Response 3 for the list `selector`: `complete` when read whole;
    // `numbersRead` once the page index and size were read.
    std::function<void(int32_t selector, bool complete, bool numbersRead)> pageArrived;
    std::function<void(bool adminOnly)> createAnswer;
    std::function<void(const SessionForModify&)> forModify;
    std::function<void(const std::string& id)> passwordRequired;
    // 7 created, 8 modified, 10 deleted.
    std::function<void(int32_t code)> changed;
    // Response 6.
    std::function<void()> deleteFailed;
    // An error with its explanation: heading and details.
    std::function<void(const std::string& heading, const std::string& details)> error;
};

class MsgSession {
  public:
    MsgSession(SessionEvents events, std::function<LocalDate()> today);

    void HandleMsg(net::Connection& connection, const net::bufHeader& header, net::LogLine& log);
    // The same on a reader standing after the code (tests, benchmarks).
    void HandleNotification(net::MessageReader& reader, net::LogLine& log);
    void HandleResponse(net::MessageReader& reader, net::LogLine& log);

    std::array<SessionListPage, 2>& Pages() { return pages_; }

    void SetNotificationHandler(int32_t code, SessionDirectory::Handler handler);
    void SetResponseHandler(int32_t code, SessionDirectory::Handler handler);

  private:
    void HandleListSessions(net::MessageReader& reader, net::LogLine& log);

    SessionEvents events_;
    std::function<LocalDate()> today_;
    std::array<SessionListPage, 2> pages_;
    std::map<int32_t, SessionDirectory::Handler> notifications_;
    std::map<int32_t, SessionDirectory::Handler> responses_;
};

}  // namespace sessions
