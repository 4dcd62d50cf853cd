#include "net/Client.h"

#include <cstdio>

#include "net/DisconnectTable.h"
#include "net/Identity.h"
#include "net/Protocol.h"

namespace net {

namespace {

// Cuts a UTF-8 text to at most `maxBytes` bytes without splitting a character.
std::string FitUtf8(const std::string& text, size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    size_t end = maxBytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

// Room of the login fields, their terminators excluded.
constexpr size_t kUsernameBytes = 31;
constexpr size_t kPasswordBytes = 39;

}  // namespace

Client::Client(UiDispatcher& ui, ClientListener& listener, Options options)
    : ui_(ui),
      listener_(listener),
      options_(std::move(options)),
      control_(*this),
      login_(*this),
      hostFamily_(*this),
      networkFamily_(*this) {
    dataDirectory_ = InitDataDirectory(options_.environment);
    identity_ = LoadIdentity(options_.environment);

    router_.Register(Primary::Control, [this](Connection& c, const bufHeader& h, LogLine& log) {
        control_.HandleMsg(c, h, log);
    });
    router_.Register(Primary::Login, [this](Connection& c, const bufHeader& h, LogLine& log) {
        login_.HandleMsg(c, h, log);
    });
    router_.Register(Primary::Host, [this](Connection& c, const bufHeader& h, LogLine& log) {
        hostFamily_.HandleMsg(c, h, log);
    });
    router_.Register(Primary::Network, [this](Connection& c, const bufHeader& h, LogLine& log) {
        networkFamily_.HandleMsg(c, h, log);
    });
    router_.Register(Primary::Upload, [](Connection& c, const bufHeader& h, LogLine&) {
        HandleUploadResponse(c, h);
    });
    router_.Register(Primary::Download, [](Connection& c, const bufHeader& h, LogLine&) {
        HandleDownloadResponse(c, h);
    });
    transferHooks_.SetListener(this);
    transferHooks_.SetUiDispatcher(&ui_);

    directory_ =
        std::make_unique<Connection>(kKindDirectory, *this, options_.endpoints, options_.timings);
    network_ =
        std::make_unique<Connection>(kKindNetwork, *this, options_.endpoints, options_.timings);
    file_ = std::make_unique<Connection>(kKindFile, *this, options_.endpoints, options_.timings);
    // Only the file server's slots carry transfers.
    file_->SetTransferHooks(&transferHooks_);
}

Client::~Client() {
    Shutdown();
}

void Client::Shutdown() {
    if (directory_) directory_->Shutdown();
    if (network_) network_->Shutdown();
    if (file_) file_->Shutdown();
}

Connection& Client::ConnectionOfKind(int32_t kind) {
    if (kind == kKindDirectory) return *directory_;
    if (kind == kKindNetwork) return *network_;
    return *file_;
}

void Client::SetLogin(const std::string& username, const std::string& password) {
    std::lock_guard lock(fieldsMutex_);
    username_ = FitUtf8(username, kUsernameBytes);
    password_ = FitUtf8(password, kPasswordBytes);
}

std::string Client::Username() const {
    std::lock_guard lock(fieldsMutex_);
    return username_;
}

std::string Client::Password() const {
    std::lock_guard lock(fieldsMutex_);
    return password_;
}

void Client::SetNumber(const std::string& number) {
    std::lock_guard lock(fieldsMutex_);
    number_ = number;
}

std::string Client::Number() const {
    std::lock_guard lock(fieldsMutex_);
    return number_;
}

void Client::SetNetwork(const std::string& host, int32_t flags) {
    std::lock_guard lock(fieldsMutex_);
    host_ = host;
    networkFlags_ = flags;
}

std::string Client::Host() const {
    std::lock_guard lock(fieldsMutex_);
    return host_;
}

int32_t Client::NetworkFlags() const {
    std::lock_guard lock(fieldsMutex_);
    return networkFlags_;
}

void Client::SetRights(int32_t administrator, int32_t root) {
    administrator_ = administrator;
    root_ = root;
}

int Client::Drops() const {
    std::lock_guard lock(dropMutex_);
    return drops_;
}

void Client::StartLookup(const std::string& number) {
    SetNumber(number);
    directory_->StartLookup(number);
}

void Client::BeginLogin() {
    // A new attempt from here on: the ends of connections still running for
    // an earlier one (an account-creation connection the server keeps open,
    // stopped just below) are that attempt's, not this one's.
    ++attempt_;
    {
        std::lock_guard lock(dropMutex_);
        drops_ = 0;
    }
    network_->RequestStop();
    file_->RequestStop();
}

void Client::StartLoginConnections() {
    loginResponses_ = 0;
    // A notification of an earlier attempt must not colour this one's end,
    // and an earlier account's rights must not outlive its login.
    updateRequired_ = false;
    serverRefused_ = false;
    administrator_ = 0;
    root_ = 0;
    network_->SetAccountCreation(false);
    const std::string host = Host();
    network_->StartServer(host, attempt_);
    file_->StartServer(host, attempt_);
}

void Client::CancelLogin() {
    network_->Cancel();
    file_->Cancel();
}

void Client::SetAccountCreationRecord(const AccountCreationRecord& record) {
    creation_ = record;
}

bool Client::StartAccountCreation() {
    updateRequired_ = false;
    serverRefused_ = false;
    ++attempt_;
    network_->SetAccountCreation(true);
    network_->StartServer(Host(), attempt_);
    // Queued after the start, which empties the queue of anything older.
    return SendAccountCreation(*network_, creation_, identity_);
}

void Client::CancelAccountCreation() {
    network_->Cancel();
}

void Client::LoginResponseReceived() {
    if (++loginResponses_ < 2) return;
    loginResponses_ = 0;
    network_->SetState(kStateLoggedIn);
    file_->SetState(kStateLoggedIn);
    listener_.LoginCompleted();
    for (auto& send : opening_) {
        if (send) send(*this);
    }
}

void Client::AddOpeningRequest(std::function<bool(Client&)> send) {
    if (send) opening_.push_back(std::move(send));
}

void Client::QueueFirstRequest(Connection& connection) {
    switch (connection.Kind()) {
        case kKindDirectory:
            SendHostLookup(connection, connection.LookupNumber());
            break;
        case kKindNetwork:
            if (connection.AccountCreation()) {
                // The creation request went into the queue when it started.
                connection.SetAccountCreation(false);
                break;
            }
            [[fallthrough]];
        case kKindFile: {
            LoginFields fields;
            {
                std::lock_guard lock(fieldsMutex_);
                fields.number = number_;
                fields.username = username_;
                fields.password = password_;
            }
            fields.identity = identity_;
            SendLogin(connection, fields);
            break;
        }
        default:
            break;
    }
}

void Client::Dispatch(Connection& connection, const bufHeader& header) {
    ui_.Dispatch([this, &connection, &header] { router_.RouteMsg(connection, header); });
}

void Client::StopServers() {
    network_->Stop();
    file_->Stop();
}

void Client::PostOutcome(uint64_t attempt, std::function<void()> report) {
    ui_.Post([this, attempt, report = std::move(report)] {
        // A newer attempt started while this was on its way.
        if (attempt != attempt_) return;
        if (outcomeShownFor_ == attempt) return;
        outcomeShownFor_ = attempt;
        report();
    });
}

void Client::Disconnected(Connection& connection, int32_t endState, bool accountCreation) {
    // A server connection's end belongs to the attempt that started its run;
    // once another attempt has begun, it must neither stop that attempt's
    // connections nor show anything in its windows.
    uint64_t attempt = attempt_;
    if (connection.Kind() != kKindDirectory && connection.RunAttempt() != 0) {
        attempt = connection.RunAttempt();
        if (attempt != attempt_) return;
    }
    const DisconnectEffect effect =
        DisconnectEffectFor(connection.Kind(), endState, accountCreation);
    if (StopsBothServerConnections(effect)) StopServers();
    switch (effect) {
        case DisconnectEffect::None:
            break;
        case DisconnectEffect::LookupConnectFailed:
            ui_.Post([this] {
                listener_.ShowMessage(MessagePhase::Lookup, "Error", kFailedToConnectText,
                                      MessageIcon::Error);
            });
            break;
        case DisconnectEffect::CreationConnectFailed:
            PostOutcome(attempt, [this] { listener_.CreationCouldNotConnect(); });
            break;
        case DisconnectEffect::LoginConnectFailed:
            PostOutcome(attempt, [this] { listener_.LoginCouldNotConnect(); });
            break;
        case DisconnectEffect::CreationCancelled:
            PostOutcome(attempt, [this] { listener_.CreationCancelled(); });
            break;
        case DisconnectEffect::LoginCancelled:
            PostOutcome(attempt, [this] { listener_.LoginCancelled(); });
            break;
        case DisconnectEffect::LoginEnded:
            // The flags are read on the user-interface thread, after every
            // message this connection delivered before it ended.
            PostOutcome(attempt, [this] {
                if (serverRefused_) {
                    serverRefused_ = false;
                    listener_.LoginEnded(LoginEnd::Refused);
                } else if (updateRequired_) {
                    updateRequired_ = false;
                    listener_.LoginEnded(LoginEnd::UpdateRequired);
                } else {
                    listener_.LoginEnded(LoginEnd::Failed);
                }
            });
            break;
        case DisconnectEffect::ConnectionDropped:
            ConnectionDroppedRoutine();
            break;
    }
}

void Client::ConnectionDroppedRoutine() {
    {
        std::lock_guard lock(dropMutex_);
        if (++drops_ != 1) return;  // the other connection, which we asked to stop
    }
    network_->RequestStop();
    file_->RequestStop();
    ui_.Post([this] {
        char text[128];
        std::snprintf(text, sizeof text, kConnectionDroppedText, Number().c_str());
        listener_.ShowMessage(MessagePhase::Session, kConnectionDroppedTitle, text, MessageIcon::Error);
        listener_.ConnectionDropped();
    });
}

void Client::TransferReadFailed(Connection& /*connection*/, int /*slot*/) {
    ui_.Post([this] {
        listener_.ShowMessage(MessagePhase::Any, "", kFailedToReadText, MessageIcon::None);
    });
}

void Client::ShowMessage(const std::string& title, const std::string& text, MessageIcon icon) {
    listener_.ShowMessage(MessagePhase::Any, title, text, icon);
}

void Client::ShowServerResponse(const std::string& response, const std::string& details) {
    listener_.ShowServerResponse(response, details);
}

}  // namespace net
