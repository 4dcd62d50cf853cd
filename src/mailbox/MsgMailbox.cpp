#include "mailbox/MsgMailbox.h"

#include "net/Connection.h"
#include "net/Protocol.h"

namespace mailbox {

namespace {

using Kind = MailboxEvent::Kind;

// The explanation of a refusal: 1..512 bytes.
constexpr int32_t kMaxExplanation = 512;
constexpr int32_t kMaxAttachmentName = 99;

MailboxEvent Explained(net::MessageReader& reader, Kind kind, net::LogLine& log,
                       const char* handler) {
    MailboxEvent e;
    if (!reader.Str(1, kMaxExplanation, e.text)) {
        log.Write("MsgMailbox.%s(0): Unable to decode explanation", handler);
        return {};
    }
    e.kind = kind;
    return e;
}

MailboxEvent Sent(net::MessageReader& reader, Kind kind, net::LogLine& log, const char* handler) {
    MailboxEvent e;
    if (!reader.Int(0, 1, e.value)) {
        log.Write("MsgMailbox.%s(0): Unable to decode report flag", handler);
        return {};
    }
    e.kind = kind;
    return e;
}

MailboxEvent DecodeResponse(net::MessageReader& reader, net::LogLine& log) {
    using namespace net::mailbox;
    MailboxEvent e;
    switch (reader.Code()) {
        case kFolderCreated:
            e.kind = Kind::FolderCreated;
            return e;
        case kCreateFolderRefused:
            return Explained(reader, Kind::CreateFolderRefused, log,
                             "HandleResponseCreateFolderError");
        case kFolderDeleted:
            e.kind = Kind::FolderDeleted;
            return e;
        case kDeleteFolderRefused:
            return Explained(reader, Kind::DeleteFolderRefused, log,
                             "HandleResponseDeleteFolderError");
        case kGoAhead:
            e.kind = Kind::GoAhead;
            return e;
        case kRecipientsRefused:
            return Explained(reader, Kind::RecipientsRefused, log, "HandleResponseRecipientError");
        case kSent:
            return Sent(reader, Kind::Sent, log, "HandleResponseMessageSent");
        case kSentWithReport:
            return Sent(reader, Kind::SentWithReport, log, "HandleResponseMessageSentReport");
        case kUnreadMail:
            if (!reader.Int(-1, -1, e.value)) {
                log.Write("MsgMailbox.HandleResponseUnreadMail(0): Unable to decode count");
                return {};
            }
            e.kind = Kind::UnreadMail;
            return e;
        case kAttachmentNameAnswer:
            if (!reader.Str(1, kMaxAttachmentName, e.text)) {
                log.Write(
                    "MsgMailbox.HandleResponseAttachmentName(0): Unable to decode attachment "
                    "name");
                e.text.clear();
                e.kind = Kind::AttachmentNameUnreadable;
                return e;
            }
            e.kind = Kind::AttachmentName;
            return e;
        case kMessageGone:
            e.kind = Kind::MessageGone;
            return e;
        default:
            log.Write("MsgMailbox.HandleResponse(1): Unknown response '%i' received from server",
                      reader.Code());
            return {};
    }
}

}  // namespace

MailboxEvent DecodeMailbox(const net::MessageBuffer& buffer, const net::bufHeader& header,
                           net::LogLine& log) {
    net::MessageReader reader(buffer, header);
    if (header.nDescSecondary == +net::Secondary::Notification) {
        if (reader.HasCode() && reader.Code() == net::mailbox::kNewMail) {
            MailboxEvent e;
            e.kind = Kind::NewMail;
            return e;
        }
        log.Write("MsgMailbox.HandleNotification(1): Unknown notification '%i' received from server",
                  reader.Code());
        return {};
    }
    if (header.nDescSecondary == +net::Secondary::Response) {
        if (!reader.HasCode()) {
            log.Write("MsgMailbox.HandleResponse(1): Unknown response '%i' received from server",
                      reader.Code());
            return {};
        }
        return DecodeResponse(reader, log);
    }
    log.Write("MsgMailbox.HandleMsg(0): Unknown secondary message '%i' received from server",
              header.nDescSecondary);
    return {};
}

const char* ResponseHeading(MailboxEvent::Kind kind) {
    switch (kind) {
        case Kind::CreateFolderRefused:
            return "Unable to create mailbox folder";
        case Kind::DeleteFolderRefused:
            return "Unable to delete mailbox folder";
        case Kind::RecipientsRefused:
            return "Cannot send message because one or more of the recipients does not exist";
        case Kind::MessageGone:
            return "Message deleted by sender";
        default:
            return "";
    }
}

bool SendCreateFolder(net::Connection& fileServer, int32_t rootType, const std::string& name) {
    return fileServer.Send(net::MessageWriter(net::mailbox::kCreateFolder).Int(rootType).Str(name),
                           net::Primary::Mailbox);
}

bool SendDeleteFolder(net::Connection& fileServer, int32_t rootType, const std::string& key) {
    return fileServer.Send(net::MessageWriter(net::mailbox::kDeleteFolder).Int(rootType).Str(key),
                           net::Primary::Mailbox);
}

bool SendUnreadRequest(net::Connection& fileServer) {
    return fileServer.Send(net::MessageWriter(net::mailbox::kUnreadRequest), net::Primary::Mailbox);
}

bool SendAttachmentNameRequest(net::Connection& fileServer, int32_t rootType, const std::string& key,
                               const std::string& sender, int32_t number, int32_t attachment) {
    return fileServer.Send(net::MessageWriter(net::mailbox::kAttachmentName)
                               .Int(rootType)
                               .Str(key)
                               .Str(sender)
                               .Int(number)
                               .Int(attachment),
                           net::Primary::Mailbox);
}

bool SendDeliver(net::Connection& networkServer) {
    return networkServer.Send(net::MessageWriter(net::mailbox::kDeliver), net::Primary::Mailbox);
}

}  // namespace mailbox
