#include "contacts/MsgContact.h"

#include "net/Connection.h"
#include "net/Protocol.h"

namespace contacts {

namespace {

namespace contact = net::contact;

// The status choice has only two items: anything but away counts as online.
constexpr int32_t kOnline = 1;
constexpr int32_t kAway = 2;

constexpr int32_t kMaxContacts = 999;
constexpr int32_t kMaxUsername = 12;
constexpr int32_t kMaxMuteText = 20;

}  // namespace

bool SendContactListRequest(net::Connection& connection) {
    return connection.Send(net::MessageWriter(contact::kListRequest), net::Primary::Contact);
}

std::unique_ptr<net::MessageBuffer> BuildStatusMessage(int32_t status) {
    net::MessageWriter writer(contact::kSetStatus);
    writer.Int(status == kAway ? kAway : kOnline);
    return writer.Finish(net::Primary::Contact);
}

bool SendStatus(net::Connection& connection, int32_t status) {
    return connection.Send(BuildStatusMessage(status));
}

std::unique_ptr<net::MessageBuffer> BuildAddContact(const std::string& username) {
    net::MessageWriter writer(contact::kAddContact);
    writer.Str(username);
    return writer.Finish(net::Primary::Contact);
}

std::unique_ptr<net::MessageBuffer> BuildRemoveContact(const std::string& username) {
    net::MessageWriter writer(contact::kRemoveContact);
    writer.Str(username);
    return writer.Finish(net::Primary::Contact);
}

std::unique_ptr<net::MessageBuffer> BuildMute(const std::string& username, bool mute) {
    net::MessageWriter writer(contact::kMute);
    writer.Str(username).Int(mute ? 1 : 0);
    return writer.Finish(net::Primary::Contact);
}

ContactListMessage DecodeContactList(net::MessageReader& fields) {
    ContactListMessage out;
    int32_t count = 0;
    if (!fields.Int(0, kMaxContacts, count)) {
        out.fault = "MsgContact.HandleResponseContactList(1): Unable to decode contact count";
        return out;
    }
    out.contacts.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        Contact c;
        if (!fields.Str(1, kMaxUsername, c.username)) {
            out.fault =
                "MsgContact.HandleResponseContactList(2): Unable to decode contact username";
            return out;
        }
        if (!fields.Str(1, kMaxMuteText, c.muteText)) {
            out.fault =
                "MsgContact.HandleResponseContactList(3): Unable to decode contact mute text";
            return out;
        }
        if (!fields.Int(0, 2, c.status)) {
            out.fault = "MsgContact.HandleResponseContactList(4): Unable to decode contact status";
            return out;
        }
        out.contacts.push_back(std::move(c));
    }
    return out;
}

std::optional<StatusChange> DecodeStatusChange(net::MessageReader& fields, const char** fault) {
    StatusChange out;
    if (!fields.Int(0, 2, out.status)) {
        if (fault) *fault = "MsgContact.HandleNotificationStatus(1): Unable to decode status";
        return std::nullopt;
    }
    if (!fields.Str(1, kMaxUsername, out.username)) {
        if (fault) *fault = "MsgContact.HandleNotificationStatus(2): Unable to decode username";
        return std::nullopt;
    }
    return out;
}

void HandleContactMessage(net::Connection& connection, const net::bufHeader& header,
                          net::LogLine& log, MsgContactListener& listener) {
    net::MessageReader fields(connection.ReceiveBuffer(), header);
    if (header.nDescSecondary == +net::Secondary::Response) {
        switch (fields.Code()) {
            case contact::kContactList: {
                ContactListMessage list = DecodeContactList(fields);
                if (list.fault) log.Write("%s", list.fault);
                listener.ContactListArrived(std::move(list.contacts));
                return;
            }
            case contact::kUnknownUser:
                listener.UnknownUser();
                return;
            case contact::kRecipientOffline:
                listener.RecipientOffline(fields, log);
                return;
            default:
                log.Write(
                    "MsgContact.HandleResponse(1): Unknown response '%i' received from server",
                    fields.Code());
                return;
        }
    }
    if (header.nDescSecondary == +net::Secondary::Notification) {
        switch (fields.Code()) {
            case contact::kStatusChanged: {
                const char* fault = nullptr;
                if (auto change = DecodeStatusChange(fields, &fault)) {
                    listener.StatusChanged(*change);
                } else {
                    log.Write("%s", fault);
                }
                return;
            }
            case contact::kIncomingMessage:
                listener.IncomingMessage(fields, log);
                return;
            default:
                log.Write(
                    "MsgContact.HandleNotification(1): Unknown notification '%i' received from "
                    "server",
                    fields.Code());
                return;
        }
    }
    log.Write("MsgContact.HandleMsg(0): Unknown secondary message '%i' received from server",
              header.nDescSecondary);
}

}  // namespace contacts
