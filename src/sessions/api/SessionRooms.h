#pragma once

// What the session rooms offer the modules that land later: the room's
// POLL and HISTORY buttons and the participant menu's "Retrieve Documents"
// and "View Whiteboard" stay disabled until a module gives them an action,
// and a module that shows something for a room (the polling center) hears
// when that room closes. Found with ctx.Find<sessions::SessionRooms>();
// absent without the sessions module.

#include <functional>
#include <string>
#include <vector>

namespace sessions {

enum class RoomButton { Poll, History };
enum class RoomMenuItem { RetrieveDocuments, ViewWhiteboard };

// The own account's roles in a room, from its own participant record.
struct RoomRoles {
    bool administrator = false;
    bool creator = false;
    bool moderator = false;
};

class SessionRooms {
  public:
    virtual ~SessionRooms() = default;

    // The button's action, with the room's session id; an empty action
    // disables the button in every room, open or to come.
    virtual void SetButtonAction(RoomButton button,
                                 std::function<void(const std::string& sessionId)> action) = 0;
    // The menu item's action, with the room's session id and the account the
    // menu was opened on; empty: the item is disabled.
    virtual void SetMenuAction(
        RoomMenuItem item,
        std::function<void(const std::string& sessionId, const std::string& account)> action) = 0;
    // Called with the session id whenever a room closes (by the user, by the
    // server or by a drop), before the window goes.
    virtual void SetRoomClosed(std::function<void(const std::string& sessionId)> closed) = 0;
    // The ids of the open rooms, in the order they opened.
    virtual std::vector<std::string> OpenRooms() const = 0;
    // The own account's roles in the open room of that id; none when the
    // room is not open or the account is not among its participants.
    virtual RoomRoles OwnRoles(const std::string& sessionId) const = 0;
};

}  // namespace sessions
