#pragma once

// What the contacts module offers the rest of the program: the user's status,
// adding contacts, the contact list, muting, and the actions of the contact
// menu that other modules carry out (conversations, documents, whiteboard).
// Found with ModuleContext::Find<contacts::ContactsApi>(); may be absent.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "net/MessageBuffer.h"
#include "net/Router.h"

namespace contacts {

struct ContactInfo {
    std::string username;
    std::string muteText;  // "0" not muted, anything else muted
    int32_t status = 0;    // 0 offline, 1 online, 2 away
};

// The items of the contact menu that other modules fill in; each stays
// disabled until its action is set.
enum class ContactAction { SendIm, RetrieveDocuments };

class ContactsApi {
  public:
    virtual ~ContactsApi() = default;

    // Sends the user's status (1 online, 2 away).
    virtual bool SendStatus(int32_t status) = 0;
    // Asks the server to add the account to the contact list.
    virtual bool AddContact(const std::string& username) = 0;
    virtual bool RequestContactList() = 0;
    // Sends the mute (or unmute) request, records it for the run and shows it.
    virtual bool SetMuted(const std::string& username, bool muted) = 0;
    // Muted for this run, or a contact the server lists as muted.
    virtual bool IsMuted(const std::string& username) const = 0;
    // The contact of exactly that name.
    virtual std::optional<ContactInfo> FindContact(const std::string& username) const = 0;

    // Called whenever a user is muted or unmuted, or the run's list is
    // cleared; returns an id for RemoveMutedUsersChanged.
    virtual int OnMutedUsersChanged(std::function<void()> changed) = 0;
    virtual void RemoveMutedUsersChanged(int id) = 0;

    // The contact menu's items that other modules carry out, with the
    // contact's username. "Send IM" runs only for a contact that is online
    // or away.
    virtual void SetContactAction(ContactAction action,
                                  std::function<void(const std::string& username)> run) = 0;
    // "View Whiteboard": the contact's username and the relative path its
    // first page goes to (only names that are plain path names get here).
    virtual void SetViewWhiteboardAction(
        std::function<void(const std::string& username, const std::string& pagePath)> run) = 0;

    // A double click in the "Find a Contact" list: true when the username
    // was taken (the window then hides); unset, a double click does nothing.
    virtual void SetAccountPicked(std::function<bool(const std::string& username)> pick) = 0;
    // Asks for the account list file; purpose 1 is for account management,
    // whose completion goes to `managementList` with the file's path.
    virtual bool RequestAccountList(uint32_t purpose) = 0;
    virtual void SetAccountListForManagement(std::function<void(const std::string& path)> done) = 0;

    // The instant-message side of the family: the offline response and the
    // incoming message, with the fields after the code and the family's log.
    using MessageHook = std::function<void(net::MessageReader& fields, net::LogLine& log)>;
    virtual void SetRecipientOfflineHandler(MessageHook hook) = 0;
    virtual void SetIncomingMessageHandler(MessageHook hook) = 0;

    // Fills the invitation prompt and shows it: the inviter, the session's
    // name and 6-character id, and its password when the invitation carried
    // one. Accepting joins through the session directory.
    virtual void ShowInvitation(const std::string& inviter, const std::string& sessionName,
                                const std::string& sessionId, bool hasPassword,
                                const std::string& password) = 0;
};

}  // namespace contacts
