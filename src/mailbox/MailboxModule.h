#pragma once

// The mailbox module: the Mailbox window and its companions, the mailbox
// family, the transfers of its three list files and the mail button.

#include <memory>

#include "shell/Module.h"

namespace mailbox {

class CMailboxDlg;

class MailboxModule final : public shell::Module {
  public:
    const char* Name() const override { return "mailbox"; }
    void RegisterPictures(ui::Skin& skin) override;
    void Register(shell::ModuleContext& ctx) override;

    // Null until registered.
    CMailboxDlg* Window() const { return window_.get(); }

  private:
    std::unique_ptr<CMailboxDlg> window_;
};

std::unique_ptr<shell::Module> MakeModule();

}  // namespace mailbox
