#pragma once

// The application state, the composition root: owns the protocol side
// (net::Client with its three connections), the dispatcher that brings
// network work onto the user-interface thread, the skin, the sign-in flow,
// the main window and the modules. It is what the protocol side tells things
// to (net::ClientListener) and hands each report to the part it concerns.
// Nothing here is global: two AppStates can live in one process.

#include <QObject>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/Client.h"
#include "net/ClientListener.h"
#include "shell/Module.h"
#include "shell/ModuleContext.h"
#include "shell/QtUiDispatcher.h"
#include "shell/Services.h"
#include "shell/Settings.h"
#include "ui/Skin.h"

class QWidget;

namespace ui {
class Dialogs;
class CServerResponseDlg;
}  // namespace ui

namespace shell {
class CzorvicDlg;
class Notifier;
}

namespace signin {
class CSignIn;
class CConnectDlg;
class CLoginDlg;
class CAuthenticatingDlg;
class CCreateAccountDlg;
class CCreatingAccountDlg;
}  // namespace signin

namespace app {

class AppState : public QObject, public net::ClientListener {
    Q_OBJECT

  public:
    using ModuleList = std::vector<std::unique_ptr<shell::Module>>;

    struct Options {
        net::Endpoints endpoints;
        net::Timings timings;
        net::Environment environment;
        // The modules to build; empty: the program's list (MakeModules).
        std::function<ModuleList()> makeModules;
        // Where desktop notifications go; null: the tray icon's messages.
        shell::Notifier* notifier = nullptr;
    };

    // Settles the data directory and identity, creates every window hidden,
    // registers every module and creates the three idle connections. Call on
    // the user-interface thread.
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

    signin::CSignIn& SignIn() { return *signin_; }
    signin::CConnectDlg& ConnectWindow();
    signin::CLoginDlg& LoginWindow();
    signin::CAuthenticatingDlg& AuthenticatingWindow();
    signin::CCreateAccountDlg& CreateAccountWindow();
    signin::CCreatingAccountDlg& CreatingAccountWindow();
    shell::CzorvicDlg& MainWindow() { return *main_; }
    ui::CServerResponseDlg& ServerResponseWindow() { return *serverResponse_; }

    const ModuleList& Modules() const { return modules_; }
    // The module of type M, or null when it is not in the list.
    template <class M>
    M* FindModule() const {
        for (const auto& m : modules_) {
            if (auto* found = dynamic_cast<M*>(m.get())) return found;
        }
        return nullptr;
    }
    const shell::ServiceRegistry& Services() const { return services_; }

    // --- net::ClientListener ---
    void ShowMessage(net::MessagePhase over, const std::string& title, const std::string& text,
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
    QWidget* OwnerFor(net::MessagePhase phase) const;
    void RegisterModules();
    // The notifier handed to the modules.
    shell::Notifier* Notifications();
    // Account responses other than account creation's, for the module that
    // takes them (if it is in the program).
    void HandleAccountResponse(net::Connection& connection, const net::bufHeader& header);
    void HideLoggedInWindows();

    ui::Dialogs& dialogs_;
    Options options_;
    ui::Skin skin_;
    shell::QtUiDispatcher dispatcher_;
    std::unique_ptr<net::Client> client_;
    std::unique_ptr<shell::Settings> settings_;
    shell::ServiceRegistry services_;

    std::unique_ptr<signin::CSignIn> signin_;
    std::unique_ptr<shell::CzorvicDlg> main_;
    std::unique_ptr<shell::Notifier> trayNotifier_;
    std::unique_ptr<ui::CServerResponseDlg> serverResponse_;
    std::unique_ptr<shell::ModuleContext> context_;
    ModuleList modules_;
    bool shutDown_ = false;
};

}  // namespace app
