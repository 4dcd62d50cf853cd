#pragma once

// The sign-in flow: network selection, login and account creation, from the
// zorvic number to the main window. It owns the sign-in windows and timers 1
// (the pause before a login's connections start) and 2 (the pause before an
// account creation request goes out), handles the account responses, and is
// told by the composition root what the protocol side reports about lookups,
// logins and creations.

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "net/ClientListener.h"
#include "signin/SignInChecks.h"

class QWidget;

namespace net {
class Client;
class Connection;
struct Timings;
struct bufHeader;
}  // namespace net

namespace ui {
class Dialogs;
class Skin;
}  // namespace ui

namespace signin {

class CConnectDlg;
class CLoginDlg;
class CAuthenticatingDlg;
class CCreateAccountDlg;
class CCreatingAccountDlg;

// The address offered when the server says this client is too old.
QString DownloadUrl();
// The update question, naming `url`.
QString UpdateRequiredText(const QString& url);

class CSignIn : public QObject {
    Q_OBJECT

  public:
    // The pictures of the sign-in windows.
    static void RegisterPictures(ui::Skin& skin);

    // Creates the sign-in windows hidden and registers the account family.
    CSignIn(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
            net::Client& client);
    ~CSignIn() override;

    // Reads numbers.dat and m.dat and shows the network selection window.
    void Start();

    CConnectDlg& ConnectWindow() { return *connect_; }
    CLoginDlg& LoginWindow() { return *login_; }
    CAuthenticatingDlg& AuthenticatingWindow() { return *authenticating_; }
    CCreateAccountDlg& CreateAccountWindow() { return *createAccount_; }
    CCreatingAccountDlg& CreatingAccountWindow() { return *creatingAccount_; }
    // Timer 1 and timer 2.
    QTimer& LoginTimer() { return loginTimer_; }
    QTimer& CreationTimer() { return creationTimer_; }

    // --- What the protocol side reported (user-interface thread) ---
    void LookupAnswered(const std::string& number);
    void LookupRefused();
    // The lookup ended without an answer (the directory server could not be
    // reached); its message has been shown.
    void LookupFailed();
    void LoginCouldNotConnect();
    void LoginCancelled();
    void LoginEnded(net::LoginEnd how);
    void CreationCouldNotConnect();
    void CreationCancelled();
    // Both logins were answered: the authenticating window goes.
    void LoginCompleted();
    // A logged-in connection dropped: back to the login window.
    void ConnectionDropped();
    // Who takes the account responses that are not about account creation.
    void SetOtherAccountResponses(
        std::function<void(net::Connection&, const net::bufHeader&)> handler) {
        otherAccountResponses_ = std::move(handler);
    }

  signals:
    // The network selection window was closed.
    void quitRequested();

  private:
    void Wire();
    void OnLookupRequested(const std::string& digits);
    void OnLoginRequested(const std::string& username, const std::string& password);
    void OnLoginTimer();
    void OnAuthenticatingButton();
    void OnCreateAccountRequested();
    void OnCreationRequested(const CreationForm& form);
    void OnCreationTimer();
    void OnCreatingAccountButton();
    // Account responses (primary 5) on the user-interface thread.
    void HandleAccountResponse(net::Connection& connection, const net::bufHeader& header);

    ui::Dialogs& dialogs_;
    const net::Timings& timings_;
    net::Client& client_;

    std::unique_ptr<CConnectDlg> connect_;
    std::unique_ptr<CLoginDlg> login_;
    std::unique_ptr<CAuthenticatingDlg> authenticating_;
    std::unique_ptr<CCreateAccountDlg> createAccount_;
    std::unique_ptr<CCreatingAccountDlg> creatingAccount_;
    QTimer loginTimer_;
    QTimer creationTimer_;
    std::function<void(net::Connection&, const net::bufHeader&)> otherAccountResponses_;
};

}  // namespace signin
