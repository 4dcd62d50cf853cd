#include "shell/ModuleContext.h"

#include "net/Client.h"

namespace shell {

bool ModuleContext::RegisterFamily(net::Primary primary, net::FamilyHandler handler) {
    return parts_.client.router().Register(primary, std::move(handler));
}

void ModuleContext::RegisterSlot(int slot, net::SlotHooks hooks) {
    parts_.client.Transfers().Register(slot, std::move(hooks));
}

void ModuleContext::AddOpeningRequest(std::function<bool(net::Client&)> send) {
    parts_.client.AddOpeningRequest(std::move(send));
}

void ModuleContext::SetTool(Tool tool, std::function<void()> action) {
    parts_.mainWindow.SetToolAction(tool, std::move(action));
}

void ModuleContext::AddPeriodicRefresh(std::function<void()> refresh) {
    if (refresh && parts_.addPeriodicRefresh) parts_.addPeriodicRefresh(std::move(refresh));
}

void ModuleContext::HideOnDrop(QWidget* window) {
    if (window != nullptr) hideOnDrop_.emplace_back(window);
}

std::vector<QWidget*> ModuleContext::WindowsToHideOnDrop() const {
    std::vector<QWidget*> out;
    for (const auto& w : hideOnDrop_) {
        if (w) out.push_back(w.data());
    }
    return out;
}

}  // namespace shell
