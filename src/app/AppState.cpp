#include "app/AppState.h"

#include "account/api/AccountResponses.h"
#include "admin/api/NetworkInformationView.h"
#include "app/Modules.h"
#include "shell/MainDlg.h"
#include "shell/TrayNotifier.h"
#include "signin/AuthenticatingDlg.h"
#include "signin/ConnectDlg.h"
#include "signin/CreateAccountDlg.h"
#include "signin/CreatingAccountDlg.h"
#include "signin/LoginDlg.h"
#include "signin/SignIn.h"
#include "ui/Dialogs.h"
#include "ui/ServerResponseDlg.h"
#include "ui/TextConvert.h"

namespace app {
namespace {

QString FromUtf8(const std::string& text) {
    QString out;
    ui::Utf8ToText(text, out);
    return out;
}

ui::MsgIcon IconFor(net::MessageIcon icon) {
    switch (icon) {
        case net::MessageIcon::Error:
            return ui::MsgIcon::Error;
        case net::MessageIcon::Warning:
            return ui::MsgIcon::Warning;
        case net::MessageIcon::Information:
            return ui::MsgIcon::Information;
        case net::MessageIcon::None:
            break;
    }
    return ui::MsgIcon::None;
}

}  // namespace

AppState::AppState(ui::Dialogs& dialogs, Options options)
    : dialogs_(dialogs), options_(std::move(options)) {
    net::Client::Options clientOptions;
    clientOptions.endpoints = options_.endpoints;
    clientOptions.timings = options_.timings;
    clientOptions.environment = options_.environment;
    client_ = std::make_unique<net::Client>(dispatcher_, *this, std::move(clientOptions));
    settings_ = std::make_unique<shell::Settings>(client_->DataPath("settings.dat"));

    const net::Timings& t = options_.timings;
    signin::CSignIn::RegisterPictures(skin_);
    shell::CzorvicDlg::RegisterPictures(skin_);
    signin_ = std::make_unique<signin::CSignIn>(skin_, dialogs_, t, *client_);
    main_ = std::make_unique<shell::CzorvicDlg>(skin_, dialogs_, t, *client_, *settings_);
    serverResponse_ = std::make_unique<ui::CServerResponseDlg>(skin_, dialogs_, t);

    connect(signin_.get(), &signin::CSignIn::quitRequested, this, &AppState::quitRequested);
    connect(main_.get(), &shell::CzorvicDlg::quitRequested, this, &AppState::quitRequested);

    RegisterModules();
}

void AppState::RegisterModules() {
    shell::CzorvicDlg* main = main_.get();
    context_ = std::make_unique<shell::ModuleContext>(shell::ModuleContext::Parts{
        *client_, dialogs_, skin_, options_.timings, *settings_, *main_, services_,
        [main](std::function<void()> refresh) { main->AddPeriodicRefresh(std::move(refresh)); },
        main_.get(), Notifications()});
    modules_ = options_.makeModules ? options_.makeModules() : MakeModules();
    for (const auto& module : modules_) module->RegisterPictures(skin_);
    for (const auto& module : modules_) module->Register(*context_);
    signin_->SetOtherAccountResponses(
        [this](net::Connection& c, const net::bufHeader& h) { HandleAccountResponse(c, h); });
}

shell::Notifier* AppState::Notifications() {
    if (options_.notifier != nullptr) return options_.notifier;
    if (!trayNotifier_) trayNotifier_ = std::make_unique<shell::CTrayNotifier>(main_->Tray());
    return trayNotifier_.get();
}

void AppState::HandleAccountResponse(net::Connection& connection, const net::bufHeader& header) {
    if (auto* responses = services_.Find<account::AccountResponses>())
        responses->HandleAccountResponse(connection, header);
}

AppState::~AppState() {
    Shutdown();
    // The modules and their windows go first, then the windows they live in,
    // then the protocol side.
    serverResponse_.reset();
    modules_.clear();
    context_.reset();
    trayNotifier_.reset();
    main_.reset();
    signin_.reset();
    client_.reset();
}

void AppState::Shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    // First release any network thread waiting for this thread, then join.
    dispatcher_.Stop();
    client_->Shutdown();
}

void AppState::Start() {
    signin_->Start();
}

signin::CConnectDlg& AppState::ConnectWindow() {
    return signin_->ConnectWindow();
}
signin::CLoginDlg& AppState::LoginWindow() {
    return signin_->LoginWindow();
}
signin::CAuthenticatingDlg& AppState::AuthenticatingWindow() {
    return signin_->AuthenticatingWindow();
}
signin::CCreateAccountDlg& AppState::CreateAccountWindow() {
    return signin_->CreateAccountWindow();
}
signin::CCreatingAccountDlg& AppState::CreatingAccountWindow() {
    return signin_->CreatingAccountWindow();
}

QWidget* AppState::OwnerFor(net::MessagePhase phase) const {
    switch (phase) {
        case net::MessagePhase::Lookup:
            return &signin_->ConnectWindow();
        case net::MessagePhase::Session:
            return main_.get();
        case net::MessagePhase::Any:
            break;
    }
    return nullptr;
}

// --- Sign-in reports go to the sign-in flow ---

void AppState::LookupAnswered(const std::string& number) {
    signin_->LookupAnswered(number);
}
void AppState::LookupRefused() {
    signin_->LookupRefused();
}
void AppState::LoginCouldNotConnect() {
    signin_->LoginCouldNotConnect();
}
void AppState::LoginCancelled() {
    signin_->LoginCancelled();
}
void AppState::LoginEnded(net::LoginEnd how) {
    signin_->LoginEnded(how);
}
void AppState::CreationCouldNotConnect() {
    signin_->CreationCouldNotConnect();
}
void AppState::CreationCancelled() {
    signin_->CreationCancelled();
}

// --- The logged-in state ---

void AppState::LoginCompleted() {
    signin_->LoginCompleted();
    main_->EndOfLogin();
    for (const auto& module : modules_) module->LoggedIn();
}

void AppState::ConnectionDropped() {
    HideLoggedInWindows();
    for (const auto& module : modules_) module->LoggedOut();
    signin_->ConnectionDropped();
}

void AppState::HideLoggedInWindows() {
    // Every window of the logged-in state is hidden here.
    main_->ConnectionDropped();
    serverResponse_->hide();
    for (QWidget* window : context_->WindowsToHideOnDrop()) window->hide();
}

// --- Messages ---

void AppState::ShowMessage(net::MessagePhase over, const std::string& title,
                           const std::string& text, net::MessageIcon icon) {
    // A box without a title of its own carries the program's name.
    const QString caption = title.empty() ? QStringLiteral("Palindor") : FromUtf8(title);
    dialogs_.Message(OwnerFor(over), caption, FromUtf8(text), IconFor(icon));
    // A message over the network selection ends its lookup.
    if (over == net::MessagePhase::Lookup) signin_->LookupFailed();
}

void AppState::ShowServerResponse(const std::string& response, const std::string& details) {
    serverResponse_->ShowServerResponse(FromUtf8(response), FromUtf8(details));
}

void AppState::NetworkInformationReceived(const net::NetworkInformation& info) {
    // Shown by the administration module's window, when the module is there.
    if (auto* view = services_.Find<admin::NetworkInformationView>())
        view->NetworkInformationReceived(info);
}

}  // namespace app
