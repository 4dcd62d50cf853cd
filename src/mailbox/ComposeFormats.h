#pragma once

// Writing and reading a message, without Qt: the recipients field and the
// two recipient list files, the attachment's name as sent, the checks before
// a send, the texts a reply or forward starts with, the reader's date and the
// body's conversions.
//
// Text is UTF-8 throughout; lengths the user sees are counted as the windows
// count them, in UTF-16 units.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mailbox {

// Local files of the transfers.
inline constexpr char kOutRecipientsDir[] = "files/local/account/listrecipient";
inline constexpr char kOutRecipientsFile[] = "files/local/account/listrecipient/listrecipient";
inline constexpr char kOutBodyDir[] = "files/local/account/message";
inline constexpr char kOutBodyFile[] = "files/local/account/message/message";
inline constexpr char kInRecipientsDir[] = "files/remote/listrecipient";
inline constexpr char kInRecipientsFile[] = "files/remote/listrecipient/listrecipient";
inline constexpr char kInBodyDir[] = "files/remote/message";
inline constexpr char kInBodyFile[] = "files/remote/message/message";
inline constexpr char kReportDir[] = "files/remote/mailreport";
inline constexpr char kReportFile[] = "files/remote/mailreport/mailreport";

// Limits of the composer.
inline constexpr size_t kMaxRecipientsField = 4000;
inline constexpr size_t kMaxSubjectTyped = 100;
inline constexpr size_t kMaxBodyTyped = 100000;
inline constexpr int64_t kMaxAttachmentBytes = 10485760;
inline constexpr size_t kMaxAttachmentName = 49;
inline constexpr size_t kMaxAttachmentNameShown = 99;
// Longest line of the incoming recipient list; the rest of a longer line is skipped.
inline constexpr size_t kRecipientLineLength = 254;
// The reader's pieces of the incoming body.
inline constexpr size_t kBodyPieceBytes = 2046;
// Bounds on what the reader takes in from a file.
inline constexpr size_t kMaxRecipientLinesRead = 100000;
inline constexpr size_t kMaxBodyBytesRead = 4 * 1024 * 1024;

enum RecipientType : int32_t { kRecipientIndividual = 0, kRecipientSession = 1 };

struct Recipient {
    int32_t type = kRecipientIndividual;
    std::string name;
    bool operator==(const Recipient&) const = default;
};

// Number of UTF-16 units `utf8` takes (what the windows count as characters).
size_t Utf16Length(std::string_view utf8);

// The recipients field split into recipients: separators are spaces, tabs,
// commas and semicolons; "(" starts a session name that runs to its matching
// ")" (nested parentheses and separators stay in it; an unclosed one runs to
// the end).
std::vector<Recipient> SplitRecipients(std::string_view field);

// The outgoing recipient list: "%i %s\n" a recipient.
std::string OutgoingRecipientsText(const std::vector<Recipient>& recipients);

// The incoming recipient list: type, a skipped field, and the display name
// (the rest of the line), each line read up to kRecipientLineLength bytes.
// Lines without a number or a name are left out; at most `maxLines` are read.
std::vector<Recipient> ParseIncomingRecipients(std::string_view bytes,
                                               size_t maxLines = kMaxRecipientLinesRead);

// The reader's To text: "name" and "(name)" joined by ", "; other types add nothing.
std::string ToText(const std::vector<Recipient>& recipients);

// What a picked recipient makes of the field: appended after ", " unless
// the field is empty.
std::string AppendRecipientText(std::string_view field, std::string_view name, bool session);

// The attachment's name as sent: what follows the last "/" or "\" of the
// path, only A-Z a-z 0-9 - . _ ~, at most 49 of them, "x" in front unless it
// starts with a letter or a digit.
std::string AttachmentNameFromPath(std::string_view pathUtf8);

// The composer's four fields and what is known of the attachment.
struct ComposeFields {
    std::string recipients;
    std::string attachmentPath;
    std::string subject;
    std::string body;
};
enum class AttachmentState { None, Unreadable, Readable };
// The first failing rule's message, or empty when the send may go ahead.
// `attachmentSize` is looked at only for a readable attachment.
std::string CheckSend(const ComposeFields& fields, AttachmentState attachment,
                      int64_t attachmentSize);

inline constexpr char kNoRecipientText[] = "Please specify a recipient";
inline constexpr char kRecipientsRefusedText[] =
    "Cannot send message because one or more of the recipients does not exist";
inline constexpr char kCancelQuestion[] = "Are you sure you wish to cancel the current message?";
inline constexpr char kMessageDeletedHeading[] = "Message deleted by sender";
inline constexpr char kAttachmentDeletedHeading[] = "Attachment deleted by sender";
inline constexpr char kRecipientsMissingDetails[] =
    "File containing list of recipients could not be found";
inline constexpr char kBodyMissingDetails[] = "File containing the message could not be found";
inline constexpr char kAttachmentMissingDetails[] =
    "File containing the attachment could not be found";

// The texts the composer opens with.
struct Prefill {
    std::string recipients;
    std::string subject;
    std::string body;
};
Prefill ReplyPrefill(std::string_view sender, std::string_view subject);
Prefill ReplyAllPrefill(std::string_view sender, std::string_view toText, std::string_view subject);
Prefill ForwardPrefill(std::string_view subject, std::string_view body);

// The reader's Date: "%i:%02i:%02i %s %i/%i/%i" of the sent time in local time.
std::string ReaderDateText(int64_t sentTime);

// The body as written to the outgoing file: UTF-16 units converted whole
// (a pair is never split; a lone surrogate becomes U+FFFD).
std::string BodyToUtf8(std::u16string_view body);

// The incoming body as the reader shows it: taken in pieces of at most
// kBodyPieceBytes bytes, a character cut at a piece's end carried into the
// next; invalid bytes become U+FFFD. At most `maxBytes` bytes are read.
std::string ReaderBodyText(std::string_view bytes, size_t maxBytes = kMaxBodyBytesRead);

}  // namespace mailbox
