#pragma once

// The sessions module: the session directory's page in the main window (and,
// as they arrive, the session directory, the room and its history).

#include <memory>

#include "shell/Module.h"

namespace ui {
class Skin;
}

namespace sessions {

class CSessionPage;

class SessionsModule final : public shell::Module {
  public:
    const char* Name() const override { return "sessions"; }
    void RegisterPictures(ui::Skin& skin) override;
    void Register(shell::ModuleContext& ctx) override;

    // Null until registered.
    CSessionPage* Page() const { return page_; }

  private:
    CSessionPage* page_ = nullptr;  // owned by the main window's pane
};

std::unique_ptr<shell::Module> MakeModule();

}  // namespace sessions
