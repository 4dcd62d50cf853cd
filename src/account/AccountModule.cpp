#include "account/AccountModule.h"

#include "account/AccountChangeDlgs.h"
#include "account/AccountInfoDlg.h"
#include "account/MsgAccount.h"
#include "account/SettingsDlg.h"
#include "net/Client.h"
#include "net/MessageBuffer.h"
#include "net/Protocol.h"
#include "shell/ModuleContext.h"
#include "ui/TextConvert.h"
#include "ui/TextViewerDlg.h"

namespace account {

namespace {

QString FromUtf8(const std::string& text) {
    QString out;
    ui::Utf8ToText(text, out);
    return out;
}

}  // namespace

AccountModule::AccountModule() = default;

// The viewer belongs to the main window; it goes with it.
AccountModule::~AccountModule() = default;

ui::CTextViewerDlg* AccountModule::HistoryViewer() const {
    return viewer_.data();
}

void AccountModule::Register(shell::ModuleContext& ctx) {
    ctx_ = &ctx;
    QWidget* parent = ctx.WindowParent();
    info_ = std::make_unique<CAccountInfoDlg>(ctx.Skin(), ctx.Dialogs(), ctx.Timings(), parent);
    changeName_ = std::make_unique<CAccountChangeFullNameDlg>(ctx.Skin(), ctx.Dialogs(),
                                                              ctx.Timings(), parent);
    changePassword_ = std::make_unique<CAccountChangePasswordDlg>(ctx.Skin(), ctx.Dialogs(),
                                                                  ctx.Timings(), parent);
    settings_ = std::make_unique<CSettingsDlg>(ctx.Skin(), ctx.Dialogs(), ctx.Timings(),
                                               ctx.Settings(), parent);

    net::Client& client = ctx.Client();
    QObject::connect(info_.get(), &CAccountInfoDlg::changeNameRequested, [this] {
        changeName_->Open(FromUtf8(info_->Info().fullName));
    });
    QObject::connect(info_.get(), &CAccountInfoDlg::changePasswordRequested,
                     [this] { changePassword_->Open(info_->Info().password); });
    QObject::connect(info_.get(), &CAccountInfoDlg::historyRequested, [&client] {
        RequestConnectionHistory(client.FileServer(), client.DataDirectory(), client.Username());
    });
    QObject::connect(changeName_.get(), &CAccountChangeFullNameDlg::nameChosen,
                     [&client](const std::string& name) {
                         SendChangeFullName(client.FileServer(), name);
                     });
    QObject::connect(changePassword_.get(), &CAccountChangePasswordDlg::passwordChosen,
                     [&client](const std::string& password) {
                         SendChangePassword(client.FileServer(), password);
                     });

    ctx.SetTool(shell::Tool::AccountInfo,
                [&client] { SendInformationRequest(client.FileServer()); });
    ctx.SetTool(shell::Tool::Settings, [this] { settings_->Open(); });

    net::SlotHooks history;
    history.completed = [this](uint32_t) { OpenHistory(); };
    ctx.RegisterSlot(kConnectionHistorySlot, std::move(history));

    ctx.HideOnDrop(info_.get());
    ctx.HideOnDrop(changeName_.get());
    ctx.HideOnDrop(changePassword_.get());
    // The settings window is not simply hidden on a drop: it saves first
    // (LoggedOut).
    ctx.Publish<AccountResponses>(*this);
}

void AccountModule::LoggedOut() {
    if (settings_) settings_->HideForDrop();
}

void AccountModule::OpenHistory() {
    const std::string path = ctx_->Client().DataPath(kConnectionHistoryFile);
    viewer_ = ui::CTextViewerDlg::Open(ctx_->Skin(), ctx_->Dialogs(), ctx_->Timings(),
                                       ctx_->WindowParent(), QString::fromStdString(path));
}

void AccountModule::HandleAccountResponse(net::Connection& connection,
                                          const net::bufHeader& header) {
    if (ctx_ == nullptr) return;
    net::MessageReader reader(connection.ReceiveBuffer(), header);
    if (!reader.HasCode()) return;
    switch (reader.Code()) {
        case net::account::kInformation: {
            AccountInfo info;
            if (!DecodeAccountInfo(reader, info)) return;  // the window keeps what it had
            info_->SetInfo(info);
            info_->ShowInFront();
            return;
        }
        case net::account::kFullNameChanged:
        case net::account::kPasswordChanged:
            // Ask again on the same connection, so the window shows the new values.
            SendInformationRequest(connection);
            return;
        case net::account::kFullNameRefused:
        case net::account::kPasswordRefused: {
            std::string reason;
            if (!DecodeReason(reader, reason)) return;
            ctx_->Client().Listener().ShowServerResponse(
                reader.Code() == net::account::kFullNameRefused
                    ? "Unable to change full name on the account"
                    : "Unable to change account password",
                reason);
            return;
        }
        default:
            return;
    }
}

std::unique_ptr<shell::Module> MakeModule() {
    return std::make_unique<AccountModule>();
}

}  // namespace account
