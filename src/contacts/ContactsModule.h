#pragma once

// The contacts module: the contact list in the main window, its request at
// the end of a login, and the sender of the user's status (and, as they
// arrive, adding and finding contacts and the conversations).

#include <memory>

#include "shell/Module.h"

namespace ui {
class Skin;
}

namespace contacts {

class CListContacts;

class ContactsModule final : public shell::Module {
  public:
    const char* Name() const override { return "contacts"; }
    void RegisterPictures(ui::Skin& skin) override;
    void Register(shell::ModuleContext& ctx) override;

    // Null until registered.
    CListContacts* List() const { return list_; }

  private:
    CListContacts* list_ = nullptr;  // owned by the main window's pane
};

std::unique_ptr<shell::Module> MakeModule();

}  // namespace contacts
