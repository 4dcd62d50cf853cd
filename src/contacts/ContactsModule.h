#pragma once

// The contacts module: the contact list in the main window with its menu,
// presence and muting, the add-contact and find-a-contact windows, the
// contact family, and the service other modules use (contacts/api).

#include <QMetaObject>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "contacts/ContactList.h"
#include "contacts/MsgContact.h"
#include "contacts/api/ContactsApi.h"
#include "shell/Module.h"
#include "ui/FilterEdit.h"

class QAction;
class QMenu;
class QWidget;

namespace net {
class Client;
}

namespace ui {
class Dialogs;
class Skin;
}  // namespace ui

namespace shell {
class MainWindowServices;
class Notifier;
class Settings;
}  // namespace shell

namespace contacts {

class CAddContactDlg;
class Conversations;
class CInvitePromptDlg;
class CFindContactDlg;
class CListContacts;

class ContactsModule final : public shell::Module, public ContactsApi, public MsgContactListener {
  public:
    // The contact menu's commands.
    enum Command {
        kSendIm = 32784,
        kRetrieveDocuments = 32786,
        kViewWhiteboard = 32787,
        kMuteToggle = 32789,
        kRemoveContact = 32790,
    };
    // The account list's transfer slot and its purposes.
    static constexpr int kAccountListSlot = 13;
    static constexpr uint32_t kPurposeFindContact = 0;
    static constexpr uint32_t kPurposeManageAccounts = 1;

    ContactsModule();
    ~ContactsModule() override;

    const char* Name() const override { return "contacts"; }
    void RegisterPictures(ui::Skin& skin) override;
    void Register(shell::ModuleContext& ctx) override;
    void LoggedIn() override;
    void LoggedOut() override;

    // Null until registered.
    CListContacts* List() const;
    ui::CFilterEdit* Filter() const { return filter_.data(); }
    CAddContactDlg* AddWindow() const { return add_.get(); }
    CFindContactDlg* FindWindow() const { return find_.get(); }
    // The contact menu as it was last opened for a row (null before).
    QMenu* Menu() const;
    QAction* MenuItem(Command command) const;
    const ContactBook& Book() const { return book_; }
    // The conversation windows (null until registered).
    Conversations* Ims() const { return conversations_.get(); }
    CInvitePromptDlg* InvitePrompt() const { return invite_.get(); }
    // The settings the conversations take their format and alerts from.
    shell::Settings* SettingsInUse() const { return settings_; }

    // Prepares the contact menu for a row; false without such a row.
    bool PrepareMenu(int row);
    // Carries out a menu command for the contact of that name.
    void RunCommand(Command command, const std::string& username);
    // The main window's ADDCONTACT and SEARCH buttons.
    void OpenAddContact();
    bool StartSearch();

    // --- ContactsApi ---
    bool SendStatus(int32_t status) override;
    bool AddContact(const std::string& username) override;
    bool RequestContactList() override;
    bool SetMuted(const std::string& username, bool muted) override;
    bool IsMuted(const std::string& username) const override;
    std::optional<ContactInfo> FindContact(const std::string& username) const override;
    int OnMutedUsersChanged(std::function<void()> changed) override;
    void RemoveMutedUsersChanged(int id) override;
    void SetContactAction(ContactAction action,
                          std::function<void(const std::string&)> run) override;
    void SetViewWhiteboardAction(
        std::function<void(const std::string&, const std::string&)> run) override;
    void SetAccountPicked(std::function<bool(const std::string&)> pick) override;
    bool RequestAccountList(uint32_t purpose) override;
    void SetAccountListForManagement(std::function<void(const std::string&)> done) override;
    void SetRecipientOfflineHandler(MessageHook hook) override;
    void SetIncomingMessageHandler(MessageHook hook) override;
    void ShowInvitation(const std::string& inviter, const std::string& sessionName,
                        const std::string& sessionId, bool hasPassword,
                        const std::string& password) override;
    void OpenConversation(const std::string& username) override;

    // --- MsgContactListener ---
    void ContactListArrived(std::vector<Contact> contacts) override;
    void StatusChanged(const StatusChange& change) override;
    void UnknownUser() override;
    void RecipientOffline(net::MessageReader& fields, net::LogLine& log) override;
    void IncomingMessage(net::MessageReader& fields, net::LogLine& log) override;

  private:
    void Redraw();
    void MutedUsersChanged();
    void AccountListArrived(uint32_t purpose);
    std::string AccountListPath() const;
    const Contact* ContactAt(int row) const;
    void UpdateMenuItems();

    net::Client* client_ = nullptr;
    ui::Dialogs* dialogs_ = nullptr;
    shell::Settings* settings_ = nullptr;
    shell::Notifier* notifier_ = nullptr;
    QWidget* mainWindow_ = nullptr;
    // A notification's action may outlive the module.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

    ContactBook book_;
    std::string lastAccount_;

    QPointer<CListContacts> list_;  // owned by the main window's pane
    QPointer<ui::CFilterEdit> filter_;  // likewise
    QPointer<QMenu> menu_;          // owned by the list
    std::map<Command, QAction*> items_;
    std::string menuUser_;
    std::vector<QMetaObject::Connection> connections_;
    std::unique_ptr<CAddContactDlg> add_;
    std::unique_ptr<CFindContactDlg> find_;
    std::unique_ptr<Conversations> conversations_;
    std::unique_ptr<CInvitePromptDlg> invite_;

    std::function<void(const std::string&)> sendIm_;
    std::function<void(const std::string&)> retrieveDocuments_;
    std::function<void(const std::string&, const std::string&)> viewWhiteboard_;
    std::function<void(const std::string&)> managementList_;
    MessageHook recipientOffline_;
    MessageHook incomingMessage_;
    std::map<int, std::function<void()>> mutedCallbacks_;
    int nextCallbackId_ = 1;
};

std::unique_ptr<shell::Module> MakeModule();

}  // namespace contacts
