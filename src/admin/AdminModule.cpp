#include "admin/AdminModule.h"

#include "admin/ManageAccountsDlg.h"
#include "admin/NetworkInformationDlg.h"
#include "admin/api/AdminRules.h"
#include "contacts/api/ContactsApi.h"
#include "net/Client.h"
#include "net/Connection.h"
#include "net/Transfers.h"
#include "shell/ModuleContext.h"
#include "ui/TextViewerDlg.h"

namespace admin {

AdminModule::AdminModule() = default;
AdminModule::~AdminModule() = default;

void AdminModule::RegisterPictures(ui::Skin& skin) {
    CNetworkInformationDlg::RegisterPictures(skin);
    CManageAccountsDlg::RegisterPictures(skin);
}

int AdminModule::Level() const {
    // Root passes the rights checks whatever its administrator flag says.
    return client_ ? LevelFromLogin(client_->Root(), client_->Administrator()) : kRegular;
}

void AdminModule::Register(shell::ModuleContext& ctx) {
    ctx_ = &ctx;
    client_ = &ctx.Client();

    CNetworkInformationDlg::Actions info;
    info.level = [this] { return Level(); };
    info.number = [this] { return client_->Number(); };
    info.requestFolder = [this](const std::string& path) { return RequestFolder(path); };
    info.downloadLog = [this](const std::string& path, const std::string& name) {
        return DownloadLog(path, name);
    };
    info.cancelDownload = [this] { net::CancelTransfer(client_->FileServer(), kLogSlot); };
    info.manageAccounts = [this] { RequestAccountList(); };
    info_ = std::make_unique<CNetworkInformationDlg>(ctx.Skin(), ctx.Dialogs(), ctx.Timings(),
                                                     std::move(info), ctx.WindowParent());

    CManageAccountsDlg::Actions accounts;
    accounts.level = [this] { return Level(); };
    accounts.dataDirectory = [this] { return client_->DataDirectory(); };
    accounts.upload = [this](const std::string& path, int32_t action) {
        return net::StartUpload(client_->FileServer(), kActionSlot, path, {action});
    };
    accounts_ = std::make_unique<CManageAccountsDlg>(ctx.Skin(), ctx.Dialogs(), ctx.Timings(),
                                                     std::move(accounts), ctx.WindowParent());

    net::SlotHooks logs;
    logs.progress = [this](int, int32_t, int32_t) { info_->SetDownloading(true); };
    logs.completed = [this](uint32_t) { LogArrived(); };
    logs.refused = [this](uint32_t, int32_t) { info_->SetDownloading(false); };
    ctx.RegisterSlot(kLogSlot, std::move(logs));

    // The result of an action shows in the list read again.
    net::SlotHooks action;
    action.completed = [this](uint32_t) { RequestAccountList(); };
    ctx.RegisterSlot(kActionSlot, std::move(action));

    const auto loaded = [this](const std::string& path) { accounts_->LoadAndShow(path); };
    if (auto* contacts = ctx.Find<contacts::ContactsApi>()) {
        contacts->SetAccountListForManagement(loaded);
    } else {
        // Without the contacts module the slot is this module's alone.
        ownAccountList_ = true;
        net::SlotHooks list;
        list.completed = [this, loaded](uint32_t purpose) {
            if (purpose == kPurposeManageAccounts) loaded(client_->DataPath(kAccountListFile));
        };
        ctx.RegisterSlot(kAccountListSlot, std::move(list));
    }

    ctx.HideOnDrop(info_.get());
    ctx.HideOnDrop(accounts_.get());
    ctx.Publish<NetworkInformationView>(*this);
}

void AdminModule::NetworkInformationReceived(const net::NetworkInformation& info) {
    if (info_) info_->ShowInformation(info);
}

bool AdminModule::RequestFolder(const std::string& path) {
    return client_ != nullptr &&
           net::SendNetworkInformationRequest(client_->NetworkServer(), client_->Number(), path);
}

bool AdminModule::DownloadLog(const std::string& path, const std::string& name) {
    if (client_ == nullptr) return false;
    if (!net::CreateTransferDirectories(client_->DataDirectory(), kLogFolder)) return false;
    return net::StartDownload(client_->FileServer(), kLogSlot, client_->DataPath(kLogFile), 0,
                              {path, name});
}

bool AdminModule::RequestAccountList() {
    if (client_ == nullptr || ctx_ == nullptr) return false;
    if (!ownAccountList_) {
        auto* contacts = ctx_->Find<contacts::ContactsApi>();
        return contacts != nullptr && contacts->RequestAccountList(kPurposeManageAccounts);
    }
    if (!net::CreateTransferDirectories(client_->DataDirectory(), kAccountListFolder)) return false;
    return net::StartDownload(client_->FileServer(), kAccountListSlot,
                              client_->DataPath(kAccountListFile), kPurposeManageAccounts,
                              {int32_t(0)});
}

void AdminModule::LogArrived() {
    info_->SetDownloading(false);
    viewer_ = ui::CTextViewerDlg::Open(ctx_->Skin(), ctx_->Dialogs(), ctx_->Timings(), info_.get(),
                                       QString::fromStdString(client_->DataPath(kLogFile)));
}

std::unique_ptr<shell::Module> MakeModule() {
    return std::make_unique<AdminModule>();
}

}  // namespace admin
