#pragma once

// The open session rooms, found by exact session id, never two per id: the
// room-state, chat-line, session-closed and invitation notifications and
// the session-info response, the room's buttons, the participant menu and
// the closing rules. Everything outside the windows comes in as functions,
// so tests set the clock, the foreground query and the random placement.

#include <QPointer>
#include <QTime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sessions/RoomDialogs.h"
#include "sessions/SessionDlg.h"
#include "sessions/api/SessionRooms.h"

class QMenu;
class QAction;

namespace net {
class LogLine;
class MessageBuffer;
class MessageReader;
}  // namespace net

namespace shell {
class Notifier;
struct SettingsValues;
}

namespace contacts {
class ContactsApi;
}

namespace sessions {

class Rooms : public SessionRooms {
  public:
    struct Parts {
        const ui::Skin& skin;
        ui::Dialogs& dialogs;
        const net::Timings& timings;
        QWidget* parent = nullptr;
        // Sends on the network-server connection.
        std::function<bool(std::unique_ptr<net::MessageBuffer>)> send = {};
        std::function<const shell::SettingsValues&()> settings = {};
        // The logged-in account name.
        std::function<std::string()> me = {};
        // May be null (the program without contacts).
        contacts::ContactsApi* contacts = nullptr;
        // The user's status (1 online, 2 away) and how it is changed.
        std::function<int32_t()> status = {};
        std::function<void(int32_t)> setStatus = {};
        // Flash the window and start the main window's tray blink.
        std::function<void(QWidget*)> alert = {};
        std::function<bool(const QWidget*)> inForeground = {};
        // An offset in -40..39.
        std::function<int()> randomOffset = {};
        std::function<QTime()> now = {};
        // Desktop notifications; may be null.
        shell::Notifier* notifier = nullptr;
    };

    explicit Rooms(Parts parts);
    ~Rooms() override;

    // The notifications and the session-info response, with the reader on
    // the first field after the code.
    void RoomState(net::MessageReader& r, net::LogLine& log);
    void ChatLine(net::MessageReader& r, net::LogLine& log);
    void Closed(net::MessageReader& r, net::LogLine& log);
    void Invitation(net::MessageReader& r, net::LogLine& log);
    void SessionInfoArrived(net::MessageReader& r, net::LogLine& log);

    // The room of exactly that id, or null.
    CSessionDlg* Find(const std::string& id) const;
    size_t Count() const { return rooms_.size(); }

    // Out of the list, leave sent if still joined, destroyed later.
    void Close(CSessionDlg* room);
    // The connection dropped: every room goes without a word to the server.
    void DropAll();
    // Redraws every room's participants (a mute changed).
    void RedrawAll();

    // The participant menu for a row of a room, filled by the rules; null
    // when the user is not among the room's participants.
    QMenu* MenuFor(CSessionDlg* room, int row);
    QAction* MenuItem(const QString& text) const;

    CSessionInviteDlg* InviteWindow() const { return invite_.get(); }
    CRemoveParticipantDlg* RemoveWindow() const { return remove_.get(); }
    CSessionInfoDlg* InfoWindow() const { return info_.get(); }

    // --- SessionRooms ---
    void SetButtonAction(RoomButton button,
                         std::function<void(const std::string&)> action) override;
    void SetMenuAction(RoomMenuItem item,
                       std::function<void(const std::string&, const std::string&)> action) override;
    void SetRoomClosed(std::function<void(const std::string&)> closed) override;
    std::vector<std::string> OpenRooms() const override;
    RoomRoles OwnRoles(const std::string& sessionId) const override;

  private:
    CSessionDlg* Create(const std::string& id, const std::string& name);
    void BringUp(CSessionDlg* room);
    void Send(CSessionDlg* room, const QString& text);
    bool Muted(const std::string& account) const;
    // The stamp, when on, before a line that starts with an account name.
    void Stamp(CSessionDlg* room);
    void Alert(CSessionDlg* room, bool enabled);
    // A line that names the user, in a room that is behind: tell the desktop.
    void NotifyMention(CSessionDlg* room, const std::string& sender, const std::string& text);
    void Retire(CSessionDlg* room);

    Parts parts_;
    std::vector<CSessionDlg*> rooms_;
    // Closed rooms waiting for their deferred deletion.
    std::vector<QPointer<CSessionDlg>> retired_;
    std::unique_ptr<CSessionInviteDlg> invite_;
    std::unique_ptr<CRemoveParticipantDlg> remove_;
    std::unique_ptr<CSessionInfoDlg> info_;
    std::unique_ptr<QMenu> menu_;
    std::function<void(const std::string&)> poll_;
    std::function<void(const std::string&)> history_;
    std::function<void(const std::string&, const std::string&)> documents_;
    std::function<void(const std::string&, const std::string&)> whiteboard_;
    std::function<void(const std::string&)> closed_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace sessions
