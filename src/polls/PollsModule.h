#pragma once

// The polls module: the Polling Center, the poll family and the poll
// transfers. The session rooms open it through their POLL button.

#include <memory>

#include "shell/Module.h"

namespace net {
class Client;
}

namespace polls {

class CPollingCenterDlg;

class PollsModule final : public shell::Module {
  public:
    PollsModule();
    ~PollsModule() override;

    const char* Name() const override { return "polls"; }
    void RegisterPictures(ui::Skin& skin) override;
    void Register(shell::ModuleContext& ctx) override;
    void LoggedIn() override;
    void LoggedOut() override;

    // Null until registered.
    CPollingCenterDlg* Center() const { return center_.get(); }

  private:
    std::unique_ptr<CPollingCenterDlg> center_;
    net::Client* client_ = nullptr;
};

std::unique_ptr<shell::Module> MakeModule();

}  // namespace polls
