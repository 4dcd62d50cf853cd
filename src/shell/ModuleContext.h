#pragma once

// What a module is handed when it registers: the protocol side, the dialogs
// service, the skin, the timings, the settings, the main window's services
// and the services other modules publish, and the calls through which it
// registers each thing it brings. Everything a module needs goes through
// here, so that adding a module touches nothing shared but the module list.

#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

#include "net/Router.h"
#include "net/Transfers.h"
#include "shell/MainWindowServices.h"
#include "shell/Services.h"

namespace net {
class Client;
struct Timings;
}  // namespace net

namespace ui {
class Dialogs;
class Skin;
}  // namespace ui

namespace shell {

class Notifier;
class Settings;

class ModuleContext {
  public:
    struct Parts {
        net::Client& client;
        ui::Dialogs& dialogs;
        ui::Skin& skin;
        const net::Timings& timings;
        shell::Settings& settings;
        MainWindowServices& mainWindow;
        ServiceRegistry& services;
        // Called on every tick of timer 4 while both connections are logged in.
        std::function<void(std::function<void()>)> addPeriodicRefresh;
        // The parent of the modules' top-level windows (the main window).
        QWidget* windowParent = nullptr;
        // Desktop notifications; null in a program without them.
        shell::Notifier* notifier = nullptr;
    };

    explicit ModuleContext(Parts parts) : parts_(std::move(parts)) {}

    net::Client& Client() const { return parts_.client; }
    ui::Dialogs& Dialogs() const { return parts_.dialogs; }
    // Windows take the skin read-only; registration adds pictures to it.
    ui::Skin& Skin() const { return parts_.skin; }
    const net::Timings& Timings() const { return parts_.timings; }
    shell::Settings& Settings() const { return parts_.settings; }
    MainWindowServices& MainWindow() const { return parts_.mainWindow; }
    QWidget* WindowParent() const { return parts_.windowParent; }
    // May be null.
    shell::Notifier* Notifier() const { return parts_.notifier; }

    // --- Registration ---

    // The module's message family. False for a primary that is not in the
    // list of families.
    bool RegisterFamily(net::Primary primary, net::FamilyHandler handler);
    // What a transfer slot of the file-server connection does on go-ahead,
    // progress, completion and refusal.
    void RegisterSlot(int slot, net::SlotHooks hooks);
    // A request queued at the end of every login, after those of the
    // modules before this one in the list.
    void AddOpeningRequest(std::function<bool(net::Client&)> send);
    // The main window's tool button that opens the module.
    void SetTool(Tool tool, std::function<void()> action);
    // Timer 4's work for the module (while both connections are logged in).
    void AddPeriodicRefresh(std::function<void()> refresh);
    // A window of the logged-in state: hidden when the connection drops.
    void HideOnDrop(QWidget* window);

    // --- Services between modules (see shell/Services.h) ---
    template <class Interface>
    void Publish(Interface& service) {
        parts_.services.Publish<Interface>(service);
    }
    template <class Interface>
    Interface* Find() const {
        return parts_.services.Find<Interface>();
    }

    // The windows registered with HideOnDrop that still exist.
    std::vector<QWidget*> WindowsToHideOnDrop() const;

  private:
    Parts parts_;
    std::vector<QPointer<QWidget>> hideOnDrop_;
};

}  // namespace shell
