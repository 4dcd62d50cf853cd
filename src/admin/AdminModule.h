#pragma once

// The administration module: the network information window with the log
// folders, the account administration window, and their three transfers
// (a log file, the account list for administration, the action file).

#include <QPointer>
#include <memory>
#include <string>

#include "admin/api/NetworkInformationView.h"
#include "shell/Module.h"
#include "ui/TextViewerDlg.h"

namespace net {
class Client;
}

namespace admin {

class CNetworkInformationDlg;
class CManageAccountsDlg;

class AdminModule final : public shell::Module, public NetworkInformationView {
  public:
    // The slots of the file-server connection this module uses.
    static constexpr int kLogSlot = 12;
    static constexpr int kAccountListSlot = 13;
    static constexpr int kActionSlot = 14;
    // The account list's purpose value for this module.
    static constexpr uint32_t kPurposeManageAccounts = 1;
    static constexpr const char* kLogFolder = "files/remote/networklogs";
    static constexpr const char* kLogFile = "files/remote/networklogs/networklogs";
    static constexpr const char* kAccountListFolder = "files/remote/listaccount";
    static constexpr const char* kAccountListFile = "files/remote/listaccount/listaccount";

    AdminModule();
    ~AdminModule() override;

    const char* Name() const override { return "admin"; }
    void RegisterPictures(ui::Skin& skin) override;
    void Register(shell::ModuleContext& ctx) override;

    void NetworkInformationReceived(const net::NetworkInformation& info) override;

    // Null until registered.
    CNetworkInformationDlg* Information() const { return info_.get(); }
    CManageAccountsDlg* Accounts() const { return accounts_.get(); }
    // The viewer of the last log downloaded, while it is open.
    ui::CTextViewerDlg* LogViewer() const { return viewer_; }

    bool RequestFolder(const std::string& path);
    bool DownloadLog(const std::string& path, const std::string& name);
    bool RequestAccountList();

  private:
    int Level() const;
    void LogArrived();

    shell::ModuleContext* ctx_ = nullptr;
    net::Client* client_ = nullptr;
    std::unique_ptr<CNetworkInformationDlg> info_;
    std::unique_ptr<CManageAccountsDlg> accounts_;
    QPointer<ui::CTextViewerDlg> viewer_;
    // The list is asked for through the contacts module when it is there.
    bool ownAccountList_ = false;
};

std::unique_ptr<shell::Module> MakeModule();

}  // namespace admin
