#pragma once

// The run's conversation windows, one per exact username: opened by "Send
// IM" and by incoming messages, fed by the offline response, sending what the
// user types. Everything outside the windows comes in as functions, so tests
// set the clock, the foreground query and the random placement.

#include <QTime>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "contacts/IMConversationDlg.h"

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

class Conversations {
  public:
    struct Parts {
        const ui::Skin& skin;
        ui::Dialogs& dialogs;
        const net::Timings& timings;
        QWidget* parent = nullptr;
        // Sends on the network-server connection.
        std::function<bool(std::unique_ptr<net::MessageBuffer>)> send = {};
        std::function<const shell::SettingsValues&()> settings = {};
        // The logged-in username.
        std::function<std::string()> me = {};
        ContactsApi* contacts = nullptr;
        // Flash the main window and start the tray blink.
        std::function<void()> alert = {};
        // Whether the window is the one in the foreground.
        std::function<bool(const QWidget*)> inForeground = {};
        // An offset in -40..39.
        std::function<int()> randomOffset = {};
        std::function<QTime()> now = {};
        // Registers a window to hide when the connection drops.
        std::function<void(QWidget*)> hideOnDrop = {};
        // Desktop notifications; may be null.
        shell::Notifier* notifier = nullptr;
    };

    explicit Conversations(Parts parts);
    ~Conversations();

    // The window for that username, or null.
    CIMConversationDlg* Find(const std::string& username) const;
    // Finds or makes the window and shows it; a visible window is raised
    // without moving when `raise` is set, and left alone otherwise.
    CIMConversationDlg* Open(const std::string& username, bool raise);

    // Notification 1 and response 2, with the fields after the code.
    void Incoming(net::MessageReader& fields, net::LogLine& log);
    void RecipientOffline(net::MessageReader& fields, net::LogLine& log);

    // Sends the text of a window's input to its user and shows it there.
    void Send(CIMConversationDlg& window, const QString& text);

    // A login: another account than the last one empties every window.
    void LoggedIn(const std::string& account);

  private:
    CIMConversationDlg::Display DisplayNow() const;
    void Alert(const CIMConversationDlg& window);
    // Tells the desktop, when the window is behind and the alerts are on.
    void Notify(const CIMConversationDlg& window, const std::string& sender, const QString& text);

    Parts parts_;
    std::map<std::string, std::unique_ptr<CIMConversationDlg>> windows_;
    std::string lastAccount_;
    // A notification's action may outlive the conversations.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace contacts
