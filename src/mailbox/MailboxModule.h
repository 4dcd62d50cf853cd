#pragma once

// The mailbox module: the Mailbox window and its companions, the mailbox
// family, the transfers of its list files, the mail button, and writing and
// reading messages with their attachments.

#include <memory>

#include "shell/Module.h"

namespace mailbox {

class CMailboxDlg;
class CMailboxMessageDlg;
class CMailboxWriteMsgDlg;

class MailboxModule final : public shell::Module {
  public:
    const char* Name() const override { return "mailbox"; }
    void RegisterPictures(ui::Skin& skin) override;
    void Register(shell::ModuleContext& ctx) override;

    // Null until registered.
    CMailboxDlg* Window() const { return window_.get(); }
    CMailboxWriteMsgDlg* Composer() const { return composer_.get(); }
    CMailboxMessageDlg* Reader() const { return reader_.get(); }

  private:
    // The mailbox goes last: the others' hooks point into it.
    std::unique_ptr<CMailboxDlg> window_;
    std::unique_ptr<CMailboxWriteMsgDlg> composer_;
    std::unique_ptr<CMailboxMessageDlg> reader_;
    // A notification's action may outlive the module.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

std::unique_ptr<shell::Module> MakeModule();

}  // namespace mailbox
