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
    // Requests on the file-server connection once logged in.
    kInformationRequest = 3,  // message: no fields
    kChangeFullName = 4,      // message: new full name
    kChangePassword = 5,      // message: new password
    // Their responses.
    kInformation = 11,         // response: line 4, full name, username, password,
                               // line 5, line 6 count, line 6 text
    kFullNameChanged = 12,     // response
    kFullNameRefused = 13,     // response: reason
    kPasswordChanged = 14,     // response
    kPasswordRefused = 15,     // response: reason
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
    // Messages from the client.
    kAddContact = 0,      // username
    kRemoveContact = 1,   // username
    kListRequest = 2,     // send me my contact list (no fields)
    kInstantMessage = 3,  // recipient, font index, red, green, blue, bold, italic, underline, 1, text
    kMute = 4,            // username, flag (1 mute, 0 unmute)
    kSetStatus = 5,       // integer status (1 online, 2 away)
    // Responses.
    kContactList = 0,       // count 0..999, then per contact: username, mute text, status
    kUnknownUser = 1,       // no fields: the named account does not exist
    kRecipientOffline = 2,  // username: an instant message's recipient is offline
    // Notifications.
    kStatusChanged = 0,    // status, username
    kIncomingMessage = 1,  // sender, font index, red, green, blue, bold, italic, underline, kind, text
};
}

// Sessions (primary 12), network-server connection.
namespace session {
// Requests (messages).
enum Code : int32_t {
    kCreateSession = 0,  // name, description, password, private flag, maximum participants
    kModifySession = 1,  // session id, description, password, private flag, maximum participants
    kDeleteSession = 2,  // session id
    kListSessions = 3,   // sort code, page index, page size, list selector, refresh flag
    kAskToCreate = 4,    // no fields
    kGetSessionForModify = 5,  // session id
    kJoinSession = 6,          // session id, password (count 0 when none)
    kLeaveSession = 7,         // session id
    kSendChatLine = 8,         // session id, font, red, green, blue, bold, italic, underline, 1, text
    kSetModerator = 9,         // session id, account name, moderator flag
    kRemoveParticipant = 10,   // session id, account name, ban minutes
    kGetHistory = 11,          // session id, folder path
    kGetSessionInfo = 12,      // session id
    kInvite = 13,              // session id, invitee, password-included flag
};
// Responses. The errors carry an explanation (string 1..512).
enum Response : int32_t {
    kNameTaken = 0,          // error
    kAdminOnly = 1,          // error
    kSessionLimit = 2,       // error
    kListPage = 3,           // sort, selector, index, size, total, row count, rows
    kCreateAnswer = 4,       // admin-only flag
    kNotFound = 5,           // error
    kDeleteFailed = 6,       // no fields
    kCreated = 7,            // no fields
    kModified = 8,           // no fields
    kForModify = 9,          // session id, description, maximum, private flag, password
    kDeleted = 10,           // no fields
    kSessionFull = 11,       // error
    kPasswordRequired = 12,  // session id
    kAlreadyIn = 13,         // error
    kWrongPassword = 14,     // error
    kBanned = 15,            // error
    kHistoryReady = 16,      // see the history window
    kSessionInfo = 17,       // see the room window
    kNotOnline = 18,         // error: an invitation could not be delivered
};
// Notifications.
enum Notification : int32_t {
    kRoomState = 0,   // session id, event, account, name, description, creator, 6 integers, participants
    kClosed = 1,      // an integer, session id
    kChatLine = 2,    // session id, sender, font, red, green, blue, bold, italic, underline, kind, text
    kClosedAlt = 3,   // as kClosed
    kInvitation = 4,  // inviter, session id, name, an integer, password-included flag, [password]
};
// Events of the room state.
enum RoomEvent : int32_t {
    kEventJoined = 0,
    kEventLeft = 1,
    kEventAway = 2,
    kEventOnline = 3,
    kEventRefresh = 4,
    kEventParticipant = 5,
    kEventModerator = 6,
};
}  // namespace session

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
// Transfer request codes of writing and reading a message.
inline constexpr int32_t kRecipientsUpload = 5;    // upload: file size
inline constexpr int32_t kAttachmentUpload = 6;    // upload: file size, attachment name
inline constexpr int32_t kBodyUpload = 7;          // upload: file size, subject
inline constexpr int32_t kReportDownload = 11;     // download: integer 0
// download: root type, folder key, sender, message number, attachment number, integer 0
inline constexpr int32_t kRecipientsDownload = 12;
// download: sender, message number, attachment number, integer 0
inline constexpr int32_t kBodyDownload = 13;
inline constexpr int32_t kAttachmentDownload = 14;
}  // namespace mailbox

// Poll family (primary 13), on the file-server connection.
namespace poll {
enum Code : int32_t {
    // Requests.
    kConfirm = 0,  // session id, poll id, integer 1: the uploaded poll is complete
    kOperate = 1,  // operation, session id, count, then owner and poll id pairs
    // Responses.
    kListChanged = 1,     // no fields: ask for the list again
    kUnavailable = 3,     // error code: taking or submitting refused
    kBallotFailed = 4,    // no fields
    kResultsRefused = 5,  // error code: results may not be seen
    kResultsFailed = 6,   // error code: results could not be made
};
// Request 1's operations.
enum Operation : int32_t { kReset = 0, kDelete = 1, kSuspend = 2, kResume = 3 };
// Transfer request codes and their slots.
inline constexpr int32_t kPollUpload = 2;        // slot 6
inline constexpr int32_t kBallotUpload = 3;      // slot 9
inline constexpr int32_t kPollListDownload = 3;  // slot 8: session id, refresh flag
inline constexpr int32_t kPollFileDownload = 4;  // slot 7: session id, owner, poll id, purpose
inline constexpr int32_t kResultsDownload = 5;   // slot 10: session id, owner, poll id
inline constexpr int32_t kPollUploadSlot = 6;
inline constexpr int32_t kPollFileSlot = 7;
inline constexpr int32_t kPollListSlot = 8;
inline constexpr int32_t kBallotSlot = 9;
inline constexpr int32_t kResultsSlot = 10;
}  // namespace poll
// Remote file system: the document stores (primary 4), file-server connection.
namespace documentstore {
enum Code : int32_t {
    // Messages: owner, folder or path, the operation, then its fields.
    kFolderRequest = 0,  // owner, folder name, FolderOp, ...
    kFileRequest = 1,    // owner, current path, FileOp, file name, ...
    // Responses: refusals carry a reason (1..512); the listing its header and entries.
    kCreateRefused = 0,
    kLockRefused = 2,
    kUnlockRefused = 4,
    kViewRefused = 6,
    kListing = 7,  // target, owner, path, locked, entries to the end
    kRenameFolderRefused = 8,
    kDeleteFolderRefused = 10,
    kMoveRefused = 50,
    kRenameFileRefused = 52,
    kDeleteFileRefused = 54,
};
enum FolderOp : int32_t {
    kCreateFolder = 0,  // no more fields
    kLockFolder = 1,    // password
    kUnlockFolder = 2,  // no more fields
    kViewFolder = 3,    // target window, refresh flag, [password]
    kRenameFolder = 4,  // new name
    kDeleteFolder = 5,  // no more fields
};
enum FileOp : int32_t {
    kMoveFile = 0,    // file name, destination
    kRenameFile = 1,  // file name, new name
    kDeleteFile = 2,  // file name
};
// Which window a listing fills.
inline constexpr int32_t kTargetRetrieve = 0;
inline constexpr int32_t kTargetShare = 1;
// Transfer request codes of a document.
inline constexpr int32_t kDocumentUpload = 0;    // upload: file size, path, remote name
inline constexpr int32_t kDocumentDownload = 0;  // download: owner, path, name, password
}  // namespace documentstore

}  // namespace net
