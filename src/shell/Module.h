#pragma once

// A part of the program that plugs into the shell: contacts, sessions and
// every later subsystem. The composition root holds the one list of modules;
// each registers what it brings through the ModuleContext and hears when a
// login completes and when the connection drops.

namespace ui {
class Skin;
}

namespace shell {

class ModuleContext;

class Module {
  public:
    virtual ~Module() = default;

    // A short name for diagnostics ("contacts").
    virtual const char* Name() const = 0;

    // The pictures the module's windows ask for. Called before Register;
    // kept apart so that a skin with every picture can be built without a
    // client (the picture tests and the gallery).
    virtual void RegisterPictures(ui::Skin& skin) { (void)skin; }

    // Called once, on the user-interface thread, after the main window
    // exists: register families, slot hooks, opening requests, the tool
    // button, periodic refreshes and windows to hide on a drop; create the
    // module's windows (hidden) and publish its services.
    virtual void Register(ModuleContext& ctx) = 0;

    // Both logins were answered; the opening requests go out right after.
    virtual void LoggedIn() {}
    // A logged-in connection dropped; the module's windows are hidden.
    virtual void LoggedOut() {}
};

}  // namespace shell
