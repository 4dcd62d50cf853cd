#include "signin/SignIn.h"

#include <QUrl>

#include "net/Client.h"
#include "net/MessageBuffer.h"
#include "net/Protocol.h"
#include "signin/AuthenticatingDlg.h"
#include "signin/ConnectDlg.h"
#include "signin/CreateAccountDlg.h"
#include "signin/CreatingAccountDlg.h"
#include "signin/LoginDlg.h"
#include "ui/Dialogs.h"
#include "ui/Skin.h"
#include "ui/TextConvert.h"

#ifndef PALINDOR_DOWNLOAD_URL
#define PALINDOR_DOWNLOAD_URL "https://palindor.example/download.htm"
#endif

namespace signin {
namespace {

QString FromUtf8(const std::string& text) {
    QString out;
    ui::Utf8ToText(text, out);
    return out;
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

void CSignIn::RegisterPictures(ui::Skin& skin) {
    const struct {
        const char* name;
        QSize size;
        const char* heading;
    } backgrounds[] = {
        // Each heading is its window's title, so that a window has one name.
        {"IDB_BKGNDCONNECT", QSize(326, 155), "Connect to a Network"},
        {"IDB_BKGNDLOGIN", QSize(336, 213), "Login"},
        {"IDB_BKGNDAUTHENTICATING", QSize(334, 208), "Authenticating..."},
        {"IDB_CREATEACCOUNT", QSize(334, 335), "Create Account"},
        {"IDB_BKGNDCREATINGACCOUNT", QSize(360, 208), "Creating Account"},
    };
    for (const auto& b : backgrounds) {
        skin.RegisterBackground(QString::fromLatin1(b.name), b.size, QString::fromLatin1(b.heading));
    }
    // The wide text pills of the sign-in windows.
    skin.RegisterButton(QStringLiteral("NEXT"), QSize(88, 30), QStringLiteral("Next"));
    skin.RegisterButton(QStringLiteral("BACK"), QSize(88, 30), QStringLiteral("Back"));

    // Result pictures of the sign-in windows, numbered as the windows number
    // their pictures; each says its result in words, the creation results in
    // the words of the server's answer.
    const std::pair<const char*, int> authenticating[] = {
        {"Connection closed by the server", ui::kToneWarning},
        {"Could not connect to the server", ui::kToneError},
        {"Signing in\u2026", ui::kToneProgress},
        {"Login refused by the server", ui::kToneError},
    };
    for (int i = 0; i < 4; ++i) {
        ui::SkinEntry e;
        e.kind = ui::SkinEntry::Kind::Result;
        e.size = QSize(300, 34);
        e.text = QString::fromUtf8(authenticating[i].first);
        e.arg = authenticating[i].second;
        skin.Register(QStringLiteral("IDB_AUTHENTICATING%1").arg(i), e);
    }
    const std::pair<const char*, int> creating[] = {
        {"Creating your account\u2026", ui::kToneProgress},
        {"Could not connect to the server", ui::kToneError},
        {"Improper Password", ui::kToneError},
        {"Improper Username", ui::kToneError},
        {"Server could not decode message", ui::kToneError},
        {"Account created successfully! You may now log in", ui::kToneSuccess},
        {"An account with the given username already exists", ui::kToneWarning},
        {"Maximum accounts exceeded on this network", ui::kToneWarning},
        {"Incorrect account creation code", ui::kToneError},
        {"Unsupported zorvic network", ui::kToneError},
        {"Server was unable to create the account", ui::kToneError},
        {"Banned from network", ui::kToneError},
        {"Maximum accounts created from your location", ui::kToneWarning},
    };
    for (int i = 0; i < 13; ++i) {
        ui::SkinEntry e;
        e.kind = ui::SkinEntry::Kind::Result;
        e.size = QSize(320, 34);
        e.text = QString::fromUtf8(creating[i].first);
        e.arg = creating[i].second;
        skin.Register(QStringLiteral("IDB_CREATINGACCOUNT%1").arg(i), e);
    }
    for (const auto& [name, width] : {std::pair{"IDB_AUTHENTICATINGBANNER", 334},
                                      std::pair{"IDB_CREATINGACCOUNTBANNER", 360}}) {
        ui::SkinEntry e;
        e.kind = ui::SkinEntry::Kind::Banner;
        e.size = QSize(width, 75);
        skin.Register(QString::fromLatin1(name), e);
    }
    for (int hover = 0; hover < 2; ++hover) {
        ui::SkinEntry e;
        e.kind = ui::SkinEntry::Kind::Link;
        e.size = QSize(119, 19);
        e.text = QStringLiteral("Visit home page");
        e.arg = hover;
        skin.Register(hover ? QStringLiteral("IDB_LINKHOVER") : QStringLiteral("IDB_LINK"), e);
    }
    for (const auto& [name, words, muted] :
         {std::tuple{"IDB_ACCOUNTCODEREQUIRED", "Account creation code:", 0},
          std::tuple{"IDB_ACCOUNTCODENOTREQUIRED", "No account creation code needed", 1}}) {
        ui::SkinEntry e;
        e.kind = ui::SkinEntry::Kind::Label;
        e.size = QSize(210, 16);
        e.text = QString::fromLatin1(words);
        e.arg = muted;
        skin.Register(QString::fromLatin1(name), e);
    }
}

CSignIn::CSignIn(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                 net::Client& client)
    : dialogs_(dialogs), timings_(timings), client_(client) {
    connect_ = std::make_unique<CConnectDlg>(skin, dialogs_, timings_, client_.DataPath("numbers.dat"));
    login_ = std::make_unique<CLoginDlg>(skin, dialogs_, timings_, client_.DataPath("m.dat"));
    authenticating_ = std::make_unique<CAuthenticatingDlg>(skin, dialogs_, timings_);
    createAccount_ = std::make_unique<CCreateAccountDlg>(skin, dialogs_, timings_);
    creatingAccount_ = std::make_unique<CCreatingAccountDlg>(skin, dialogs_, timings_);

    client_.router().Register(net::Primary::Account,
                              [this](net::Connection& c, const net::bufHeader& h, net::LogLine&) {
                                  HandleAccountResponse(c, h);
                              });
    Wire();
}

CSignIn::~CSignIn() {
    client_.router().Register(net::Primary::Account, nullptr);
}

void CSignIn::Wire() {
    connect(connect_.get(), &CConnectDlg::lookupRequested, this, &CSignIn::OnLookupRequested);
    connect(connect_.get(), &CConnectDlg::quitRequested, this, &CSignIn::quitRequested);
    // Both timers are stopped by hand when they fire (a window may stop them
    // first, too).
    connect(&loginTimer_, &QTimer::timeout, this, &CSignIn::OnLoginTimer);
    connect(&creationTimer_, &QTimer::timeout, this, &CSignIn::OnCreationTimer);

    connect(login_.get(), &CLoginDlg::loginRequested, this, &CSignIn::OnLoginRequested);
    connect(login_.get(), &CLoginDlg::createAccountRequested, this,
            &CSignIn::OnCreateAccountRequested);
    connect(login_.get(), &CLoginDlg::backRequested, connect_.get(), &CConnectDlg::ShowConnect);

    connect(authenticating_.get(), &CAuthenticatingDlg::buttonPressed, this,
            &CSignIn::OnAuthenticatingButton);

    connect(createAccount_.get(), &CCreateAccountDlg::creationRequested, this,
            &CSignIn::OnCreationRequested);
    connect(createAccount_.get(), &CCreateAccountDlg::cancelled, login_.get(),
            &CLoginDlg::ShowLogin);

    connect(creatingAccount_.get(), &CCreatingAccountDlg::buttonPressed, this,
            &CSignIn::OnCreatingAccountButton);
}

void CSignIn::Start() {
    connect_->LoadNumbers();
    login_->LoadRememberedLogin();
    connect_->ShowConnect();
}

// --- Network selection ---

void CSignIn::OnLookupRequested(const std::string& digits) {
    connect_->SetLookupRunning(true);
    client_.StartLookup(digits);
}

void CSignIn::LookupAnswered(const std::string& number) {
    connect_->SetLookupRunning(false);
    connect_->hide();
    connect_->RecordNumber(number);
    login_->SetNetwork(number);
    login_->ShowLogin();
}

void CSignIn::LookupRefused() {
    // The message box has been shown; the user may type another number.
    LookupFailed();
}

void CSignIn::LookupFailed() {
    connect_->SetLookupRunning(false);
    connect_->NumberField()->setFocus();
}

// --- Login ---

void CSignIn::OnLoginRequested(const std::string& username, const std::string& password) {
    client_.SetLogin(username, password);
    login_->hide();
    authenticating_->SetInProgress();
    authenticating_->ShowInFront();
    authenticating_->StartAnimation();
    // The document windows' transfer displays are reset here once they exist.
    client_.BeginLogin();
    loginTimer_.start(timings_.loginDelay);
}

void CSignIn::OnLoginTimer() {
    loginTimer_.stop();
    authenticating_->SetTimerPending(false);
    client_.StartLoginConnections();
}

void CSignIn::OnAuthenticatingButton() {
    loginTimer_.stop();
    if (authenticating_->InProgress() && !authenticating_->TimerPending()) {
        // The connections are running: their end brings the login window back.
        client_.CancelLogin();
        return;
    }
    authenticating_->ResetAndHide();
    login_->ShowLogin();
}

// The ends of a login below only concern a login the authenticating window
// is showing; an account-creation connection that ends after connecting
// reports through the same rows and must not disturb the sign-in windows.

void CSignIn::LoginCouldNotConnect() {
    if (!authenticating_->InProgress()) return;
    authenticating_->ShowResult(CAuthenticatingDlg::kUnreachable);
}

void CSignIn::LoginCancelled() {
    if (!authenticating_->InProgress()) return;
    authenticating_->ResetAndHide();
    login_->ShowLogin();
}

void CSignIn::LoginEnded(net::LoginEnd how) {
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

void CSignIn::LoginCompleted() {
    authenticating_->ResetAndHide();
}

void CSignIn::ConnectionDropped() {
    login_->ShowLogin();
}

// --- Account creation ---

void CSignIn::OnCreateAccountRequested() {
    // The login window has hidden itself; the form follows after the pause.
    createAccount_->ShowForm(client_.RequiresCreationCode(),
                             timings_.showDelay + timings_.showDelay * 3 / 2);
}

void CSignIn::OnCreationRequested(const CreationForm& form) {
    net::AccountCreationRecord record;
    record.fullName = FitField(form.fullName, kRecordNameBytes);
    record.username = FitField(form.username, kRecordUsernameBytes);
    record.password = FitField(form.password, kRecordPasswordBytes);
    record.code = createAccount_->CodeRequired() ? FitField(form.code, kRecordCodeBytes)
                                                 : std::string("none");
    record.number = FitField(FromUtf8(client_.Number()), kRecordNumberBytes);
    client_.SetAccountCreationRecord(record);

    createAccount_->hide();
    creatingAccount_->SetInProgress();
    creatingAccount_->SetTimerPending(true);
    creatingAccount_->ShowInFront();
    creatingAccount_->StartAnimation();
    creationTimer_.start(timings_.loginDelay);
}

void CSignIn::OnCreationTimer() {
    creationTimer_.stop();
    creatingAccount_->SetTimerPending(false);
    client_.StartAccountCreation();
}

void CSignIn::OnCreatingAccountButton() {
    CCreatingAccountDlg& w = *creatingAccount_;
    if (w.InProgress() && !w.TimerPending()) {
        w.SetCancelled(true);
        client_.CancelAccountCreation();
        w.StopAnimation();
        w.hide();
        createAccount_->ShowAgain();
        return;
    }
    if (w.TimerPending()) {
        creationTimer_.stop();
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

void CSignIn::CreationCouldNotConnect() {
    creatingAccount_->ShowUnreachable();
}

void CSignIn::CreationCancelled() {
    creatingAccount_->ResetAndHide();
    createAccount_->ShowAgain();
}

void CSignIn::HandleAccountResponse(net::Connection& connection, const net::bufHeader& header) {
    net::MessageReader reader(connection.ReceiveBuffer(), header);
    if (!reader.HasCode()) return;
    const int32_t code = reader.Code();
    if (CCreatingAccountDlg::PictureForResponse(code) < 0) {  // not a creation response
        if (otherAccountResponses_) otherAccountResponses_(connection, header);
        return;
    }
    // After Cancel the user is back at the form: the answer may only change
    // the hidden creating-account window, never the login window.
    const bool cancelled = creatingAccount_->Cancelled();
    if (creatingAccount_->ShowResponse(code) && !cancelled) {
        login_->SetCreatedAccount(FromUtf8(client_.AccountCreation().username));
    }
}

}  // namespace signin
