#pragma once

// What the main window offers the modules: the places of its two lists, its
// tool buttons, the status the user chose, and the show rules of timer 4's
// refreshes. The main window includes no module; modules reach it only
// through this interface.

#include <cstdint>
#include <functional>
#include <string>

class QWidget;

namespace shell {

// The tool buttons along the top of the main window, left to right. A tool
// whose module is absent stays disabled.
enum class Tool {
    AddContact,
    Search,
    AccountInfo,
    Mail,
    Sessions,
    Documents,
    Whiteboard,
    NetworkInfo,
    Settings,
    Help,
};

// The two list places of the main window.
enum class MainPane {
    Sessions,  // the page of sessions with its paging row
    Contacts,  // the contacts beside it
};

class MainWindowServices {
  public:
    virtual ~MainWindowServices() = default;

    // An empty widget at the pane's place, for one module to fill. The main
    // window gives the keyboard focus to the sessions pane when it is shown
    // (set a focus proxy on it).
    virtual QWidget* Pane(MainPane pane) = 0;
    // What a tool button does; an empty action disables the button.
    virtual void SetToolAction(Tool tool, std::function<void()> action) = 0;
    // Who sends the user's status (1 online, 2 away) to the server when it
    // changes while logged in.
    virtual void SetStatusSender(std::function<void(int32_t status)> send) = 0;
    virtual int32_t Status() const = 0;
    // Changes the user's status as the status choice does: the choice, the
    // picture and the tray follow, and it is sent once (while logged in).
    virtual void SetStatus(int32_t status) = 0;
    // An automatic refresh was asked for: the answer that comes back must not
    // bring the window forward (false: the user's own request, it may).
    virtual void SetSkipNextShow(bool skip) = 0;
    // The mail button: the "MAILACTIVE" pictures while something is unread,
    // "MAIL" otherwise; the window keeps the matching unread flag.
    virtual void SetMailUnread(bool unread) = 0;
    virtual bool MailUnread() const = 0;
    // Blinks the tray icon until the main window comes to the front.
    virtual void StartTrayBlink() = 0;
    // An item of the window's own context menu, placed after About.
    virtual void AddContextMenuItem(const std::string& text, std::function<void()> action) {
        (void)text;
        (void)action;
    }
};

}  // namespace shell
