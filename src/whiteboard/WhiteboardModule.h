#pragma once

// The whiteboard module: the drawing and viewing windows, the MsgNotepad
// family, the page transfers of slots 2 (upload) and 3 (download, shared by
// both windows), and the ways in: the WHITEBOARD button, "View Whiteboard"
// in the contact menu and in a session room's participant menu, and timer 4.

#include <memory>
#include <string>

#include "shell/Module.h"

namespace whiteboard {

class CNotepadDrawDlg;
class CNotepadViewDlg;
class CPageRequests;

class WhiteboardModule final : public shell::Module {
  public:
    WhiteboardModule();
    ~WhiteboardModule() override;

    const char* Name() const override { return "whiteboard"; }
    void Register(shell::ModuleContext& ctx) override;
    void LoggedOut() override;

    // The notices the windows take: the drawing area repainted after a
    // save, and a page arrived for either window.
    void WhiteboardRedraw();
    void WhiteboardPageLoaded(const std::string& path);
    void WhiteboardViewLoaded(const std::string& path);

    // Null until registered.
    CNotepadDrawDlg* DrawWindow() const { return draw_.get(); }
    CNotepadViewDlg* ViewWindow() const { return view_.get(); }
    CPageRequests* Requests() const { return requests_.get(); }

  private:
    void PageTransferEnded(uint32_t purpose, int32_t refusal);

    std::unique_ptr<CPageRequests> requests_;
    std::unique_ptr<CNotepadDrawDlg> draw_;
    std::unique_ptr<CNotepadViewDlg> view_;
};

std::unique_ptr<shell::Module> MakeModule();

}  // namespace whiteboard
