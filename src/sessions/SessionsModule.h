#pragma once

// The sessions module: the session directory. The main window's page of
// sessions, Manage Sessions, Create Session, Modify Session and Password
// Required, the Session family's dispatcher, the directory service that
// the room, its history and the message composer use, and the session rooms.

#include <ctime>
#include <functional>
#include <memory>

#include "sessions/api/SessionDirectory.h"
#include "shell/Module.h"

namespace net {
class Client;
}

namespace ui {
class Skin;
}

namespace shell {
class MainWindowServices;
}

namespace sessions {

class CSessionPage;
class CManageSessionsDlg;
class CCreateSessionDlg;
class CModifySessionDlg;
class CPasswordRequiredDlg;
class MsgSession;
class Rooms;

class SessionsModule final : public shell::Module, public SessionDirectory {
  public:
    SessionsModule();
    ~SessionsModule() override;

    const char* Name() const override { return "sessions"; }
    void RegisterPictures(ui::Skin& skin) override;
    void Register(shell::ModuleContext& ctx) override;
    void LoggedIn() override;
    void LoggedOut() override;

    // --- SessionDirectory ---
    bool SendJoinSession(const std::string& sessionId, const std::string& password) override;
    void OpenSessionList() override;
    void SetSessionPicker(Picker picker) override;
    void SetNotificationHandler(int32_t code, Handler handler) override;
    void SetResponseHandler(int32_t code, Handler handler) override;

    // Null until registered.
    CSessionPage* Page() const { return page_; }
    CManageSessionsDlg* Manage() const { return manage_; }
    CCreateSessionDlg* Create() const { return create_; }
    CModifySessionDlg* ModifyWindow() const { return modify_; }
    CPasswordRequiredDlg* PasswordWindow() const { return password_; }
    MsgSession* Family() const { return family_.get(); }
    Rooms* RoomList() const { return rooms_.get(); }

    // What "today" is for the created texts (tests fix it).
    void SetClock(std::function<std::time_t()> clock) { clock_ = std::move(clock); }

  private:
    void PageArrived(int32_t selector, bool complete, bool numbersRead);
    void RefreshBothLists();
    void RegisterRooms(shell::ModuleContext& ctx);

    net::Client* client_ = nullptr;
    CSessionPage* page_ = nullptr;  // owned by the main window's pane
    // Owned by the main window (their parent).
    CManageSessionsDlg* manage_ = nullptr;
    CCreateSessionDlg* create_ = nullptr;
    CModifySessionDlg* modify_ = nullptr;
    CPasswordRequiredDlg* password_ = nullptr;
    std::unique_ptr<MsgSession> family_;
    std::unique_ptr<Rooms> rooms_;
    std::function<std::time_t()> clock_;
    std::function<void(const std::string&, const std::string&)> showServerResponse_;
    shell::MainWindowServices* main_ = nullptr;
};

std::unique_ptr<shell::Module> MakeModule();

}  // namespace sessions
