#pragma once

// The mailbox's records and its three list files, without Qt: the folder
// list and the message list the server sends, the operation file the client
// uploads, the rules for a new folder's name, the date text and the order of
// the message list.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mailbox {

enum RootType : int32_t { kRootInbox = 0, kRootOutbox = 1, kRootSessions = 2 };
inline constexpr int kRootCount = 3;

// The attachment number of a message without one.
inline constexpr int32_t kNoAttachment = 999999;

// Longest parts of a record; longer text is cut.
inline constexpr size_t kMaxFolderKey = 31;
inline constexpr size_t kMaxFolderName = 31;
inline constexpr size_t kMaxSender = 31;
inline constexpr size_t kMaxSubject = 119;
// Longest line of each list file; the rest of a longer line is skipped.
inline constexpr size_t kFolderLineLength = 254;
inline constexpr size_t kMessageLineLength = 511;

inline constexpr char kInboxMarker[] = "MAILBOX_ROOTDIR_INBOX";
inline constexpr char kOutboxMarker[] = "MAILBOX_ROOTDIR_OUTBOX";
inline constexpr char kSessionsMarker[] = "MAILBOX_ROOTDIR_SESSIONS";

// The folder every mailbox has in its Inbox.
inline constexpr char kPrimaryFolder[] = "Primary";

// Local files of the transfers.
inline constexpr char kFolderListDir[] = "files/remote/listfolder";
inline constexpr char kFolderListFile[] = "files/remote/listfolder/listfolder";
inline constexpr char kMessageListDir[] = "files/remote/listmessage";
inline constexpr char kMessageListFile[] = "files/remote/listmessage/listmessage";
inline constexpr char kOperationDir[] = "files/local/account/listmessage";
inline constexpr char kOperationFile[] = "files/local/account/listmessage/listmessage";

class CMailboxFolder {
  public:
    CMailboxFolder() = default;
    CMailboxFolder(std::string key, int32_t unread, std::string name, int32_t rootType);

    const std::string& DisplayText() const { return displayText_; }
    const std::string& UnreadText() const { return unreadText_; }
    const std::string& Key() const { return key_; }
    int32_t Unread() const { return unread_; }
    const std::string& Name() const { return name_; }
    int32_t RootType() const { return rootType_; }

    // A count below 0 is taken as 0; the texts follow.
    void SetUnread(int32_t unread);

  private:
    std::string displayText_;  // "%s (%i)" while something is unread
    std::string unreadText_;   // "%i"
    std::string key_;
    int32_t unread_ = 0;
    std::string name_;
    int32_t rootType_ = kRootInbox;
};

class CMailboxMessage {
  public:
    std::string fromText;
    std::string subjectText;
    std::string dateText;
    int32_t sentTime = 0;  // seconds since 1970, UTC
    std::string sender;
    std::string subject;
    int32_t unread = 0;  // 1 unread
    int32_t attachment = kNoAttachment;
    int32_t number = 0;

    bool HasAttachment() const { return attachment != kNoAttachment; }
    bool IsUnread() const { return unread == 1; }
};

// The three roots' folders in file order, and what they hold unread.
struct FolderList {
    std::array<std::vector<CMailboxFolder>, kRootCount> roots;
    int64_t unreadTotal = 0;

    const CMailboxFolder* Find(int32_t rootType, std::string_view key) const;
    CMailboxFolder* Find(int32_t rootType, std::string_view key);
    int64_t UnreadSum() const;
};

// Splits a list file into lines as a reader of `maxLength` characters a line
// sees them: the final "\n" removed, a longer line cut at `maxLength` and
// its rest skipped (never read as a line of its own).
std::vector<std::string_view> SplitLines(std::string_view bytes, size_t maxLength);

// `text` cut to at most `maxBytes` bytes, never inside a UTF-8 character.
std::string CutText(std::string_view text, size_t maxBytes);

// Reads a decimal integer from the start of `text` as the list files are
// read: an optional sign, then digits up to the first other character; no
// digits read as 0.
int32_t LeadingInt(std::string_view text);
// True when `text` is a whole 32-bit decimal (optional sign, digits only).
bool WholeInt(std::string_view text, int32_t& out);

FolderList ParseFolderList(std::string_view bytes);

// One message line, or false when it is no message: fields 1, 2, 3 and 5
// must be whole 32-bit decimals and the sender must not be empty.
bool ParseMessageLine(std::string_view line, CMailboxMessage& out);

enum class MessageListResult { Read, Corrupt };
// Appends the messages of the file to `out`; a line that is no message ends
// the reading (Corrupt), keeping those before it. Blank lines are skipped.
MessageListResult ParseMessageList(std::string_view bytes, std::vector<CMailboxMessage>& out);

// "%i:%02i %s %i/%02i/%i" of the sent time in local time.
std::string DateText(int32_t sentTime);

// Reads a whole local file; false when it cannot be opened.
bool ReadWholeFile(const std::string& path, std::string& out);

// Operations of the operation file.
enum Operation : int32_t { kOpMove = 0, kOpMarkRead = 1, kOpMarkUnread = 2, kOpDelete = 3 };

// The operation file's text; `destination` is written for a move only.
std::string OperationFileText(int32_t operation, int32_t rootType, std::string_view folderKey,
                              std::string_view destination,
                              const std::vector<const CMailboxMessage*>& messages);

// The message list's order. Column 0 From, 1 Subject, 2 Date; direction 0
// puts the smaller first, 1 the larger. Equal rows keep their order.
enum SortColumn : int { kSortFrom = 0, kSortSubject = 1, kSortDate = 2 };
// Case-insensitive, character by character; a prefix comes first.
int CompareText(std::string_view a, std::string_view b);
void SortMessages(std::vector<CMailboxMessage>& messages, int column, int direction);

// A new folder's rules, in order; an empty text when the name passes.
// `typeIndex` is the folder type list's selection (-1 none).
inline constexpr size_t kMaxFolderNameTyped = 20;
inline constexpr size_t kMaxNewFolderName = 16;
std::string CheckNewFolder(int typeIndex, std::string_view nameUtf8);

}  // namespace mailbox
