#pragma once

// What the sessions module offers the rest of the program: joining a
// session, the session list as a picker, and the Session messages that
// other windows (the room, its history) take over. Found with
// ctx.Find<sessions::SessionDirectory>(); absent without the module.

#include <cstdint>
#include <functional>
#include <string>

namespace net {
class LogLine;
class MessageReader;
}  // namespace net

namespace sessions {

class SessionDirectory {
  public:
    // Reads one Session message whose code was already read; the reader
    // stands on its first field.
    using Handler =
        std::function<void(int32_t code, net::MessageReader& reader, net::LogLine& log)>;
    // A row picked from the session list: its name and id. Returns whether
    // the pick was taken (the list's window then hides).
    using Picker = std::function<bool(const std::string& name, const std::string& id)>;

    virtual ~SessionDirectory() = default;

    // Join session: an empty password goes out as a string of count 0.
    virtual bool SendJoinSession(const std::string& sessionId, const std::string& password) = 0;
    // Asks for the Manage Sessions page and brings that window up.
    virtual void OpenSessionList() = 0;
    // Who takes a double-clicked row of Manage Sessions; none: the
    // double-click does nothing.
    virtual void SetSessionPicker(Picker picker) = 0;
    // The notifications (room state, closed, chat line, invitation) by code,
    // and the responses the directory does not handle itself (history ready,
    // session info). Until a handler is set they are dropped.
    virtual void SetNotificationHandler(int32_t code, Handler handler) = 0;
    virtual void SetResponseHandler(int32_t code, Handler handler) = 0;
};

}  // namespace sessions
