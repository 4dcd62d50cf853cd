#pragma once

// The application state: owns the protocol side (net::Client with its three
// connections), the dispatcher that brings network work onto the
// user-interface thread, the skin, and every window of the program. It is
// what the protocol side tells things to (net::ClientListener) and turns
// each of those into what the windows show. Nothing here is global: two
// AppStates can live in one process.

#include <QObject>
#include <memory>
#include <string>

#include "app/QtUiDispatcher.h"
#include "app/SignInChecks.h"
#include "net/Client.h"
#include "net/ClientListener.h"
#include "ui/Skin.h"

class QWidget;

namespace ui {
class Dialogs;
class CServerResponseDlg;
}  // namespace ui

namespace app {

class CConnectDlg;
class CLoginDlg;
class CAuthenticatingDlg;
class CCreateAccountDlg;
class CCreatingAccountDlg;
class CzorvicDlg;

// The address offered when the server says this client is too old.
QString DownloadUrl();
// The update question, naming `url`.
QString UpdateRequiredText(const QString& url);

class AppState : public QObject, public net::ClientListener {
    Q_OBJECT

  public:
    struct Options {
        net::Endpoints endpoints;
        net::Timings timings;
        net::Environment environment;
    };

    // Settles the data directory and identity, creates every window hidden
    // and the three idle connections. Call on the user-interface thread.
    AppState(ui::Dialogs& dialogs, Options options);
    ~AppState() override;
    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;

    // Reads numbers.dat and m.dat and shows the network selection window.
    void Start();

    // Stops handing network work to the windows, then ends every
    // connection's threads. Also done by the destructor.
    void Shutdown();

    net::Client& Client() { return *client_; }
    const ui::Skin& Skin() const { return skin_; }
    ui::Dialogs& Dialogs() { return dialogs_; }
    const net::Timings& Timings() const { return options_.timings; }

    CConnectDlg& ConnectWindow() { return *connect_; }
    CLoginDlg& LoginWindow() { return *login_; }
    CAuthenticatingDlg& AuthenticatingWindow() { return *authenticating_; }
    CCreateAccountDlg& CreateAccountWindow() { return *createAccount_; }
    CCreatingAccountDlg& CreatingAccountWindow() { return *creatingAccount_; }
    CzorvicDlg& MainWindow() { return *main_; }
    ui::CServerResponseDlg& ServerResponseWindow() { return *serverResponse_; }

    // --- net::ClientListener ---
    void ShowMessage(net::WindowId over, const std::string& title, const std::string& text,
                     net::MessageIcon icon) override;
    void ShowServerResponse(const std::string& response, const std::string& details) override;
    void LookupAnswered(const std::string& number) override;
    void LookupRefused() override;
    void LoginCouldNotConnect() override;
    void LoginCancelled() override;
    void LoginEnded(net::LoginEnd how) override;
    void CreationCouldNotConnect() override;
    void CreationCancelled() override;
    void LoginCompleted() override;
    void ConnectionDropped() override;
    void NetworkInformationReceived(const net::NetworkInformation& info) override;

  signals:
    // The network selection window or the main window was closed.
    void quitRequested();

  private:
    QWidget* WindowFor(net::WindowId id) const;
    void WireSignIn();

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
    void HideLoggedInWindows();

    ui::Dialogs& dialogs_;
    Options options_;
    ui::Skin skin_;
    QtUiDispatcher dispatcher_;
    std::unique_ptr<net::Client> client_;

    // The network selection window is the main window's parent, so it is
    // declared before it and outlives it.
    std::unique_ptr<CConnectDlg> connect_;
    std::unique_ptr<CLoginDlg> login_;
    std::unique_ptr<CAuthenticatingDlg> authenticating_;
    std::unique_ptr<CCreateAccountDlg> createAccount_;
    std::unique_ptr<CCreatingAccountDlg> creatingAccount_;
    std::unique_ptr<CzorvicDlg> main_;
    std::unique_ptr<ui::CServerResponseDlg> serverResponse_;
    bool shutDown_ = false;
};

}  // namespace app
