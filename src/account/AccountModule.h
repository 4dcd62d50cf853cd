#pragma once

// The account module: the account information window with its two change
// windows and the connection history, the settings window, and the account
// family's responses 11 to 15 on the file-server connection.

#include <QPointer>
#include <memory>

#include "account/api/AccountResponses.h"
#include "shell/Module.h"

namespace net {
class Client;
}

namespace ui {
class CTextViewerDlg;
class Dialogs;
class Skin;
}  // namespace ui

namespace account {

class CAccountInfoDlg;
class CAccountChangeFullNameDlg;
class CAccountChangePasswordDlg;
class CSettingsDlg;

class AccountModule final : public shell::Module, public AccountResponses {
  public:
    AccountModule();
    ~AccountModule() override;

    const char* Name() const override { return "account"; }
    void Register(shell::ModuleContext& ctx) override;
    void LoggedOut() override;

    // --- AccountResponses ---
    void HandleAccountResponse(net::Connection& connection, const net::bufHeader& header) override;

    // Null until registered.
    CAccountInfoDlg* InfoWindow() const { return info_.get(); }
    CAccountChangeFullNameDlg* ChangeNameWindow() const { return changeName_.get(); }
    CAccountChangePasswordDlg* ChangePasswordWindow() const { return changePassword_.get(); }
    CSettingsDlg* SettingsWindow() const { return settings_.get(); }
    // The last text viewer the connection history opened, while it is open.
    ui::CTextViewerDlg* HistoryViewer() const;

  private:
    void OpenHistory();

    shell::ModuleContext* ctx_ = nullptr;
    std::unique_ptr<CAccountInfoDlg> info_;
    std::unique_ptr<CAccountChangeFullNameDlg> changeName_;
    std::unique_ptr<CAccountChangePasswordDlg> changePassword_;
    std::unique_ptr<CSettingsDlg> settings_;
    QPointer<ui::CTextViewerDlg> viewer_;
};

std::unique_ptr<shell::Module> MakeModule();

}  // namespace account
