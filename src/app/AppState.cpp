#include "app/AppState.h"

#include <QUrl>

#include "app/AuthenticatingDlg.h"
#include "app/ConnectDlg.h"
#include "app/CreateAccountDlg.h"
#include "app/CreatingAccountDlg.h"
#include "app/LoginDlg.h"
#include "app/MainDlg.h"
#include "net/MessageBuffer.h"
#include "net/Protocol.h"
#include "ui/Dialogs.h"
#include "ui/ServerResponseDlg.h"
#include "ui/TextConvert.h"

#ifndef PALINDOR_DOWNLOAD_URL
#define PALINDOR_DOWNLOAD_URL "https://palindor.example/download.htm"
#endif

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

// The creation record keeps each text in a fixed field with its terminator;
// a longer text is cut at a character boundary rather than overrun.
std::string FitField(const QString& text, size_t fieldBytes) {
    std::string utf8 = ui::TextToUtf8(text);
    const size_t room = fieldBytes - 1;
    if (utf8.size() <= room) return utf8;
    size_t end = room;
    while (end > 0 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) --end;
    utf8.resize(end);
    return utf8;
}

// Field widths of the account creation record.
constexpr size_t kRecordNumberBytes = 27;
constexpr size_t kRecordNameBytes = 40;
constexpr size_t kRecordUsernameBytes = 32;
constexpr size_t kRecordPasswordBytes = 40;
constexpr size_t kRecordCodeBytes = 40;

}  // namespace

QString DownloadUrl() {
    return QStringLiteral(PALINDOR_DOWNLOAD_URL);
}

QString UpdateRequiredText(const QString& url) {
    // clang-format off
    return QStringLiteral("It appears that your version of the Palindor client software is out-of-date.\r\nDo you wish to visit the Download page and update now?\r\n"
                          "Clicking \"Yes\" will take you to ") +
           url;
    // clang-format on
}

AppState::AppState(ui::Dialogs& dialogs, Options options)
    : dialogs_(dialogs), options_(std::move(options)) {
    net::Client::Options clientOptions;
    clientOptions.endpoints = options_.endpoints;
    clientOptions.timings = options_.timings;
    clientOptions.environment = options_.environment;
    client_ = std::make_unique<net::Client>(dispatcher_, *this, std::move(clientOptions));

    const net::Timings& t = options_.timings;
    connect_ = std::make_unique<CConnectDlg>(skin_, dialogs_, t, client_->DataPath("numbers.dat"));
    login_ = std::make_unique<CLoginDlg>(skin_, dialogs_, t, client_->DataPath("m.dat"));
    authenticating_ = std::make_unique<CAuthenticatingDlg>(skin_, dialogs_, t);
    createAccount_ = std::make_unique<CCreateAccountDlg>(skin_, dialogs_, t);
    creatingAccount_ = std::make_unique<CCreatingAccountDlg>(skin_, dialogs_, t);
    main_ = std::make_unique<CzorvicDlg>(skin_, dialogs_, t, *client_, connect_.get());
    serverResponse_ = std::make_unique<ui::CServerResponseDlg>(skin_, dialogs_, t);

    client_->router().Register(net::Primary::Account,
                               [this](net::Connection& c, const net::bufHeader& h, net::LogLine&) {
                                   HandleAccountResponse(c, h);
                               });
    WireSignIn();
}

AppState::~AppState() {
    Shutdown();
    // Windows go before the protocol side; the main window before its parent.
    serverResponse_.reset();
    main_.reset();
    creatingAccount_.reset();
    createAccount_.reset();
    authenticating_.reset();
    login_.reset();
    connect_.reset();
    client_.reset();
}

void AppState::Shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    // First release any network thread waiting for this thread, then join.
    dispatcher_.Stop();
    client_->Shutdown();
}

void AppState::WireSignIn() {
    connect(connect_.get(), &CConnectDlg::lookupRequested, this, &AppState::OnLookupRequested);
    connect(connect_.get(), &CConnectDlg::quitRequested, this, &AppState::quitRequested);
    connect(&connect_->LoginTimer(), &QTimer::timeout, this, &AppState::OnLoginTimer);

    connect(login_.get(), &CLoginDlg::loginRequested, this, &AppState::OnLoginRequested);
    connect(login_.get(), &CLoginDlg::createAccountRequested, this,
            &AppState::OnCreateAccountRequested);
    connect(login_.get(), &CLoginDlg::backRequested, connect_.get(), &CConnectDlg::ShowConnect);

    connect(authenticating_.get(), &CAuthenticatingDlg::buttonPressed, this,
            &AppState::OnAuthenticatingButton);

    connect(createAccount_.get(), &CCreateAccountDlg::creationRequested, this,
            &AppState::OnCreationRequested);
    connect(createAccount_.get(), &CCreateAccountDlg::cancelled, login_.get(),
            &CLoginDlg::ShowLogin);

    connect(creatingAccount_.get(), &CCreatingAccountDlg::buttonPressed, this,
            &AppState::OnCreatingAccountButton);
    connect(&main_->CreationTimer(), &QTimer::timeout, this, &AppState::OnCreationTimer);
    connect(main_.get(), &CzorvicDlg::quitRequested, this, &AppState::quitRequested);
}

void AppState::Start() {
    connect_->LoadNumbers();
    login_->LoadRememberedLogin();
    connect_->ShowConnect();
}

QWidget* AppState::WindowFor(net::WindowId id) const {
    switch (id) {
        case net::WindowId::NetworkSelection:
            return connect_.get();
        case net::WindowId::Login:
            return login_.get();
        case net::WindowId::Authenticating:
            return authenticating_.get();
        case net::WindowId::CreatingAccount:
            return creatingAccount_.get();
        case net::WindowId::Main:
            return main_.get();
        case net::WindowId::None:
            break;
    }
    return nullptr;
}

// --- Network selection ---

void AppState::OnLookupRequested(const std::string& digits) {
    client_->StartLookup(digits);
}

void AppState::LookupAnswered(const std::string& number) {
    connect_->hide();
    connect_->RecordNumber(number);
    login_->ShowLogin();
}

void AppState::LookupRefused() {
    // The message box has been shown; the user may type another number.
    connect_->NumberField()->setFocus();
}

// --- Login ---

void AppState::OnLoginRequested(const std::string& username, const std::string& password) {
    client_->SetLogin(username, password);
    login_->hide();
    authenticating_->SetInProgress();
    authenticating_->ShowInFront();
    authenticating_->StartAnimation();
    // The document windows' transfer displays are reset here once they exist.
    client_->BeginLogin();
    connect_->LoginTimer().start(options_.timings.loginDelay);
}

void AppState::OnLoginTimer() {
    connect_->LoginTimer().stop();
    authenticating_->SetTimerPending(false);
    client_->StartLoginConnections();
}

void AppState::OnAuthenticatingButton() {
    connect_->LoginTimer().stop();
    if (authenticating_->InProgress() && !authenticating_->TimerPending()) {
        // The connections are running: their end brings the login window back.
        client_->CancelLogin();
        return;
    }
    authenticating_->ResetAndHide();
    login_->ShowLogin();
}

// The ends of a login below only concern a login the authenticating window
// is showing; an account-creation connection that ends after connecting
// reports through the same rows and must not disturb the sign-in windows.

void AppState::LoginCouldNotConnect() {
    if (!authenticating_->InProgress()) return;
    authenticating_->ShowResult(CAuthenticatingDlg::kUnreachable);
}

void AppState::LoginCancelled() {
    if (!authenticating_->InProgress()) return;
    authenticating_->ResetAndHide();
    login_->ShowLogin();
}

void AppState::LoginEnded(net::LoginEnd how) {
    if (!authenticating_->InProgress()) return;
    if (how == net::LoginEnd::Refused) {
        authenticating_->ShowResult(CAuthenticatingDlg::kRefused);
        return;
    }
    authenticating_->ShowResult(CAuthenticatingDlg::kClosedByServer);
    if (how == net::LoginEnd::UpdateRequired) {
        const QString url = DownloadUrl();
        const ui::MsgAnswer answer =
            dialogs_.Message(authenticating_.get(), QStringLiteral("Update Required"),
                             UpdateRequiredText(url), ui::MsgIcon::Question, ui::MsgButtons::YesNo);
        if (answer == ui::MsgAnswer::Yes) dialogs_.OpenUrl(QUrl(url));
    }
}

void AppState::LoginCompleted() {
    authenticating_->ResetAndHide();
    main_->EndOfLogin();
}

void AppState::ConnectionDropped() {
    HideLoggedInWindows();
    login_->ShowLogin();
}

void AppState::HideLoggedInWindows() {
    // Every window of the logged-in state is hidden here.
    main_->hide();
    serverResponse_->hide();
}

// --- Account creation ---

void AppState::OnCreateAccountRequested() {
    // The login window has hidden itself; the form follows after the pause.
    createAccount_->ShowForm(client_->RequiresCreationCode(),
                             options_.timings.showDelay + options_.timings.showDelay * 3 / 2);
}

void AppState::OnCreationRequested(const CreationForm& form) {
    net::AccountCreationRecord record;
    record.fullName = FitField(form.fullName, kRecordNameBytes);
    record.username = FitField(form.username, kRecordUsernameBytes);
    record.password = FitField(form.password, kRecordPasswordBytes);
    record.code = createAccount_->CodeRequired() ? FitField(form.code, kRecordCodeBytes)
                                                 : std::string("none");
    record.number = FitField(FromUtf8(client_->Number()), kRecordNumberBytes);
    client_->SetAccountCreationRecord(record);

    createAccount_->hide();
    creatingAccount_->SetInProgress();
    creatingAccount_->SetTimerPending(true);
    creatingAccount_->ShowInFront();
    creatingAccount_->StartAnimation();
    main_->CreationTimer().start(options_.timings.loginDelay);
}

void AppState::OnCreationTimer() {
    main_->CreationTimer().stop();
    creatingAccount_->SetTimerPending(false);
    client_->StartAccountCreation();
}

void AppState::OnCreatingAccountButton() {
    CCreatingAccountDlg& w = *creatingAccount_;
    if (w.InProgress() && !w.TimerPending()) {
        client_->CancelAccountCreation();
        w.StopAnimation();
        w.hide();
        createAccount_->ShowAgain();
        return;
    }
    if (w.TimerPending()) {
        main_->CreationTimer().stop();
        w.SetTimerPending(false);
    }
    w.StopAnimation();
    w.hide();
    if (w.InProgress() || !w.Succeeded()) {
        createAccount_->ShowAgain();
    } else {
        login_->ShowLogin();
    }
}

void AppState::CreationCouldNotConnect() {
    creatingAccount_->ShowUnreachable();
}

void AppState::CreationCancelled() {
    creatingAccount_->ResetAndHide();
    createAccount_->ShowAgain();
}

void AppState::HandleAccountResponse(net::Connection& connection, const net::bufHeader& header) {
    net::MessageReader reader(connection.ReceiveBuffer(), header);
    if (!reader.HasCode()) return;
    const int32_t code = reader.Code();
    if (CCreatingAccountDlg::PictureForResponse(code) < 0) return;  // not a creation response
    if (creatingAccount_->ShowResponse(code)) {
        login_->SetCreatedAccount(FromUtf8(client_->AccountCreation().username));
    }
}

// --- Messages ---

void AppState::ShowMessage(net::WindowId over, const std::string& title, const std::string& text,
                           net::MessageIcon icon) {
    // A box without a title of its own carries the program's name.
    const QString caption = title.empty() ? QStringLiteral("Palindor") : FromUtf8(title);
    dialogs_.Message(WindowFor(over), caption, FromUtf8(text), IconFor(icon));
}

void AppState::ShowServerResponse(const std::string& response, const std::string& details) {
    serverResponse_->ShowServerResponse(FromUtf8(response), FromUtf8(details));
}

void AppState::NetworkInformationReceived(const net::NetworkInformation& /*info*/) {
    // Shown by the network information window, which is added with the
    // administration windows; until then the answer has nowhere to go.
}

}  // namespace app
