#pragma once

// The contact family (primary 11, network-server connection): the requests
// the client sends, a pure decoder for each message the server sends, and
// the family's dispatch, which hands what it decoded to a listener.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "contacts/ContactList.h"
#include "net/MessageBuffer.h"
#include "net/Router.h"

namespace net {
class Connection;
}

namespace contacts {

// --- Requests ---

// "send me my contact list" (no fields), once after every login.
bool SendContactListRequest(net::Connection& connection);
// "set my status" with 1 online or 2 away (anything else is sent as online).
std::unique_ptr<net::MessageBuffer> BuildStatusMessage(int32_t status);
bool SendStatus(net::Connection& connection, int32_t status);
std::unique_ptr<net::MessageBuffer> BuildAddContact(const std::string& username);
std::unique_ptr<net::MessageBuffer> BuildRemoveContact(const std::string& username);
std::unique_ptr<net::MessageBuffer> BuildMute(const std::string& username, bool mute);

// --- Decoders (fields after the code) ---

// Response 0. The contacts read before a field failed are kept; `fault` is
// the log text of the failure, null when the whole list was read. A count out
// of range gives no contacts.
struct ContactListMessage {
    std::vector<Contact> contacts;
    const char* fault = nullptr;
};
ContactListMessage DecodeContactList(net::MessageReader& fields);

// Notification 0; nothing when a field is out of range (`fault` says which).
struct StatusChange {
    int32_t status = 0;
    std::string username;
};
std::optional<StatusChange> DecodeStatusChange(net::MessageReader& fields, const char** fault);

// --- Dispatch ---

class MsgContactListener {
  public:
    virtual ~MsgContactListener() = default;
    virtual void ContactListArrived(std::vector<Contact> contacts) = 0;
    virtual void StatusChanged(const StatusChange& change) = 0;
    virtual void UnknownUser() = 0;
    // The instant-message side, handed on undecoded.
    virtual void RecipientOffline(net::MessageReader& fields, net::LogLine& log) = 0;
    virtual void IncomingMessage(net::MessageReader& fields, net::LogLine& log) = 0;
};

// The family's handler: checks the secondary descriptor and the code, decodes
// and tells the listener; what cannot be used is written to the log line.
void HandleContactMessage(net::Connection& connection, const net::bufHeader& header,
                          net::LogLine& log, MsgContactListener& listener);

}  // namespace contacts
