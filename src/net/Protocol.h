#pragma once

// Every primary descriptor, secondary descriptor and message code of the wire
// protocol, named once. Senders, dispatch, logs, tests and fuzz seeds use
// these names; nothing else spells the numbers. Append only: servers we never
// see depend on every value.

#include <cstdint>
#include <iterator>

#include "net/Families.h"

namespace net {

// nDescPrimary (enum Primary) comes from the list of families.

// nDescSecondary.
enum class Secondary : int32_t {
    Notification = 0,  // server to client
    Message = 1,       // client to server
    Response = 2,      // server to client (and the client's upload chunks)
};

constexpr int32_t operator+(Primary p) { return static_cast<int32_t>(p); }
constexpr int32_t operator+(Secondary s) { return static_cast<int32_t>(s); }

// Control (primary 0).
namespace control {
enum Code : int32_t {
    kKeepAlive = 0,         // message
    kCancelTransfer = 1,    // message: slot number
    kNotifyDisconnect = 0,  // notification
};
}

// Host lookup (primary 9), directory server.
namespace host {
enum Code : int32_t {
    kLookup = 2,          // message: zorvic number
    kLookupRefused = 4,   // response
    kLookupOK = 5,        // response: flags text, host address
};
}

// Login (primary 1).
namespace login {
enum Code : int32_t {
    kLogin = 1,    // message
    kLoginOK = 4,  // response: administrator flag, root flag
};
}

// Network information (primary 6).
namespace network {
enum Code : int32_t {
    kInformation = 3,          // message
    kInformationResponse = 16, // response
    kIgnoredResponse = 17,     // response, ignored
};
}

// Envelope (primary 8).
namespace zorvic {
enum Code : int32_t {
    kEnvelope = 0,
};
}

// Uploads (primary 2).
namespace upload {
enum Code : int32_t {
    kGoAhead = 5,      // response: slot (then, for slot 6, an integer 0..9999)
    kChunk = 6,        // sent by the client as a response: slot, bytes
    kPollStored = 10,  // response
    // Refusals: string details.
    kRefusedInvalidDirectory = 0,
    kRefusedInvalidFilename = 1,
    kRefusedFileTooLarge = 2,
    kRefusedFilesQuota = 3,
    kRefusedNoSpace = 4,
    kRefusedNotepadTooLarge = 7,
    kRefusedPollDirectoryFull = 8,
    kRefusedPollTooLarge = 9,
    kRefusedTooManyAttachments = 11,
    kRefusedAttachmentSpace = 12,
};
}

// Downloads (primary 3).
namespace download {
enum Code : int32_t {
    kStart = 0,            // response: slot, total, [slot 8: seven clock integers], bytes
    kData = 1,             // response: slot, bytes
    kRefused = 3,          // response: slot, [slot 1: string details]
    kAccountNotFound = 4,  // response: slot
};
}

// Response codes of the disconnect notification that a server sends before it
// closes a connection (the notification's third integer).
namespace disconnect {
enum Reason : int32_t {
    kUpdateRequired = 0,  // the client's version is too old
    kRefused = 6,         // unknown account or wrong password
    kBanned = 7,          // the account is banned
    // The server ends the connection with nothing to tell the user.
    kSilentClose = 2,
    kSilentCloseAlt = 3,
};
}

// Accounts (primary 5). The creation request travels inside the envelope.
namespace account {
enum Code : int32_t {
    kCreate = 0,  // message: number, full name, username, password, identity, creation code
    // Responses to a creation request (no fields).
    kUnsupportedNetwork = 0,
    kWrongCreationCode = 1,
    kNetworkFull = 2,
    kUsernameTaken = 3,
    kCreateFailed = 4,
    kCreated = 5,
    kUndecodable = 6,
    kImproperUsername = 7,
    kImproperPassword = 8,
    kBannedFromNetwork = 9,
    kIdentityLimit = 10,
};
}

// The transfer slot that each upload and download request code uses; -1 for
// a code that has none.
namespace transferslot {
inline constexpr int32_t kUploadSlots[] = {0, 2, 6, 9, 14, 17, 18, 19, 21};
inline constexpr int32_t kDownloadSlots[] = {1, 3, 5, 8, 7, 10, 11, 12, 13, 15, 16, 20, 22, 23, 24};
inline constexpr int32_t kPollListSlot = 8;  // its download start carries the server's clock
inline constexpr int32_t kDocumentDownloadSlot = 1;  // its refusal carries a details text
inline constexpr int32_t kPollUploadSlot = 6;        // its go-ahead carries an extra integer
constexpr int32_t ForUpload(int32_t code) {
    return code >= 0 && code < int32_t(std::size(kUploadSlots)) ? kUploadSlots[code] : -1;
}
constexpr int32_t ForDownload(int32_t code) {
    return code >= 0 && code < int32_t(std::size(kDownloadSlots)) ? kDownloadSlots[code] : -1;
}
}  // namespace transferslot

// Contacts (primary 11), network-server connection.
namespace contact {
enum Code : int32_t {
    kListRequest = 2,  // message: send me my contact list (no fields)
    kSetStatus = 5,    // message: integer status (1 online, 2 away)
};
}

// Sessions (primary 12), network-server connection.
namespace session {
enum Code : int32_t {
    kListSessions = 3,  // message: sort code, page index, page size, list selector, refresh flag
};
}

// Mailbox (primary 14), file-server connection (deliver: network server).
namespace mailbox {
enum Code : int32_t {
    // Messages.
    kCreateFolder = 0,    // root type (0 Inbox, 1 Outbox), folder name
    kDeleteFolder = 1,    // root type, folder key
    kDeliver = 2,         // no fields; on the network-server connection
    kUnreadRequest = 3,   // ask for unread mail (no fields), once after login
    kAttachmentName = 4,  // root type, folder key, sender, message number, attachment number
    // Responses.
    kFolderCreated = 0,          // no fields
    kCreateFolderRefused = 1,    // explanation
    kFolderDeleted = 2,          // no fields
    kDeleteFolderRefused = 3,    // explanation
    kGoAhead = 4,                // no fields
    kRecipientsRefused = 5,      // explanation
    kSent = 6,                   // integer 0..1
    kSentWithReport = 7,         // integer 0..1
    kUnreadMail = 8,             // integer count
    kAttachmentNameAnswer = 9,   // string 1..99
    kMessageGone = 10,           // no fields
    // Notification.
    kNewMail = 0,  // no fields
};
// Transfer request codes of the mailbox's lists.
inline constexpr int32_t kOperationUpload = 8;     // upload: file size
inline constexpr int32_t kFolderListDownload = 9;  // download: integer 0
inline constexpr int32_t kMessageListDownload = 10;  // download: integer 0, root type, folder key
}  // namespace mailbox

}  // namespace net
