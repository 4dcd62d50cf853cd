#pragma once

// What the protocol side tells the windows. The application implements this;
// every call comes on the user-interface thread (network threads post theirs).

#include <string>

#include "net/MsgNetwork.h"
#include "net/Transfers.h"  // MessageIcon

namespace net {

// Which part of the run a message box belongs to; the application picks the
// window it is shown over.
enum class MessagePhase {
    Any,      // no particular owner: the window in front
    Lookup,   // the network selection
    Session,  // the logged-in session (a dropped connection)
};

// How a login ended after its connection was made.
enum class LoginEnd {
    Refused,         // the server refused the account
    Failed,          // the plain failed status
    UpdateRequired,  // the failed status, then the update-required question
};

class ClientListener {
  public:
    virtual ~ClientListener() = default;

    // A message box with an OK button. An empty title is a plain box.
    virtual void ShowMessage(MessagePhase over, const std::string& title, const std::string& text,
                             MessageIcon icon) = 0;
    // The Server Response window with a response heading and a details text.
    virtual void ShowServerResponse(const std::string& response, const std::string& details) = 0;

    // The host lookup succeeded: hide network selection, record `number` in
    // its list, wait the show delay and show the login window.
    virtual void LookupAnswered(const std::string& number) = 0;
    // The directory server does not know the number (its message box has
    // already been shown); the user may type another.
    virtual void LookupRefused() = 0;

    // Ends of a login attempt, as the connections ended. Each is called at
    // most once per attempt.
    virtual void LoginCouldNotConnect() = 0;  // failed status 1, button "OK"
    virtual void LoginCancelled() = 0;        // reset and hide authenticating, show login
    virtual void LoginEnded(LoginEnd how) = 0;
    virtual void CreationCouldNotConnect() = 0;  // creating-account status 1, button "OK"
    virtual void CreationCancelled() = 0;        // hide creating-account, show the form again

    // Both server connections answered the login: close the authenticating
    // window, wait the show delay and open the main window.
    virtual void LoginCompleted() = 0;
    // A logged-in connection dropped (its message box has been shown): hide
    // every window of the logged-in state and show the login window again.
    virtual void ConnectionDropped() = 0;

    // The network information response, for the network information window.
    virtual void NetworkInformationReceived(const NetworkInformation& info) = 0;
};

}  // namespace net
