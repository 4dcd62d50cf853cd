#pragma once

// The mailbox family (primary 14): its requests, and every response and
// notification decoded into plain values before anything acts on it.

#include <cstdint>
#include <string>

#include "net/MessageBuffer.h"
#include "net/Router.h"

namespace net {
class Connection;
}

namespace mailbox {

// What one incoming mailbox message says.
struct MailboxEvent {
    enum class Kind {
        None,  // undecodable or unknown: the log line says why
        FolderCreated,
        CreateFolderRefused,
        FolderDeleted,
        DeleteFolderRefused,
        GoAhead,
        RecipientsRefused,
        Sent,
        SentWithReport,
        UnreadMail,
        AttachmentName,
        // An attachment-name answer whose name does not decode: still the
        // answer to one request, so the reader can keep its count.
        AttachmentNameUnreadable,
        MessageGone,
        NewMail,
    };
    Kind kind = Kind::None;
    int32_t value = 0;  // Sent / SentWithReport: 0..1; UnreadMail: the count
    std::string text;   // refusals: the explanation; AttachmentName: the name
    // The go-ahead means one thing from the network server (the recipients
    // exist) and another from the file server (the body is stored).
    bool onFileServer = false;
};

// Decodes the message in `buffer`; on a field that fails its range, or a code
// or secondary descriptor the family does not know, writes the log text and
// returns Kind::None (an attachment name that fails: AttachmentNameUnreadable).
MailboxEvent DecodeMailbox(const net::MessageBuffer& buffer, const net::bufHeader& header,
                           net::LogLine& log);

// The heading of the Server Response window for a refusal or a vanished
// message; empty for the other kinds.
const char* ResponseHeading(MailboxEvent::Kind kind);
// The details text of a vanished message.
inline constexpr char kMessageGoneDetails[] = "Attachment filename file could not be found";

// Requests on the file-server connection.
bool SendCreateFolder(net::Connection& fileServer, int32_t rootType, const std::string& name);
bool SendDeleteFolder(net::Connection& fileServer, int32_t rootType, const std::string& key);
bool SendUnreadRequest(net::Connection& fileServer);
// Asks for the name of a message's attachment (answered by 9 or 10).
bool SendAttachmentNameRequest(net::Connection& fileServer, int32_t rootType, const std::string& key,
                               const std::string& sender, int32_t number, int32_t attachment);
// Delivers the message whose parts were uploaded; on the network-server connection.
bool SendDeliver(net::Connection& networkServer);

}  // namespace mailbox
