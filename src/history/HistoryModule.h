#pragma once

// The history module: the Session History window behind every room's
// HISTORY button, the history listings it takes over from the Session
// family, and the log downloads of its transfer slot.

#include <QPointer>
#include <memory>

#include "history/SessionHistoryDlg.h"
#include "shell/Module.h"

namespace history {

class HistoryModule final : public shell::Module {
  public:
    HistoryModule();
    ~HistoryModule() override;

    const char* Name() const override { return "history"; }
    void RegisterPictures(ui::Skin& skin) override;
    void Register(shell::ModuleContext& ctx) override;
    void LoggedOut() override;

    // Null until registered.
    CSessionHistoryDlg* Window() const { return window_; }

  private:
    // Owned by the main window (its parent).
    QPointer<CSessionHistoryDlg> window_;
};

std::unique_ptr<shell::Module> MakeModule();

}  // namespace history
