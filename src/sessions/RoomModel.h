#pragma once

// The session room's plain rules: the participant records and their ranks,
// role words and tips, what the participant menu allows, the event texts,
// the checks of the Invite and Remove Participant windows, and the room's
// messages both ways (senders, and decoders that stop at the first field
// that fails, naming it as the family's log line does).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/MessageBuffer.h"
#include "shell/Transcript.h"

namespace sessions {

// The input takes this many characters, and at most the bytes a chat line
// notification may carry, so that every client can read the line back.
inline constexpr int kMaxChatCharacters = 500;
inline constexpr int32_t kMaxChatBytes = 600;
inline constexpr int32_t kMaxBanMinutes = 9999;
inline constexpr int32_t kMaxFontIndex = 99;
inline constexpr int32_t kMaxDateText = 100;
inline constexpr int kMaxTipCharacters = 80;

struct Participant {
    std::string name;
    bool administrator = false;
    bool creator = false;
    bool moderator = false;
    int32_t presence = 0;  // 1 online, 2 away, anything else unknown
    bool operator==(const Participant&) const = default;
};

// 3 administrator, 2 session creator, 1 moderator, 0 participant.
int Rank(const Participant& p);
// The highest role that applies: "Participant", "Moderator", "Session
// creator" or "Administrator".
const char* RoleWord(const Participant& p);
// The hover tip, at most 80 characters.
std::string ParticipantTip(const Participant& p, bool muted);
// The participant list's picture: 3 muted, else 0 for presence 0, 1 for
// presence 1, 2 for anything else.
int ParticipantImage(const Participant& p, bool muted);
// How a row is drawn: grey and normal, black italics, or blue bold.
enum class RowLook { Grey, AwayItalic, OnlineBold };
RowLook ParticipantLook(const Participant& p, bool muted);

// The participant menu's rank-dependent items, for own rank R and the
// target's rank T.
struct ModeratorItem {
    bool enabled = false;
    const char* text = "Promote to Moderator";  // or "Revoke Moderator Status"
};
ModeratorItem ModeratorItemFor(int ownRank, int targetRank);
bool MayRemove(int ownRank, int targetRank);

// The text written after the account name for an event; null for event 4
// (a refresh) and any event outside the table.
const char* EventText(int32_t event);

// "Please specify who you wish to invite", "Username is too long", or
// empty when the name may be sent (length in bytes on the wire).
std::string CheckInvitee(const std::string& utf8Name);
// Remove Participant's OK: the minutes to send (0 for remove only), or
// nothing with `error` set (empty when neither choice was made: nothing
// happens).
std::optional<int32_t> BanMinutesFor(bool removeOnly, bool ban, const std::string& typed,
                                     std::string& error);

// --- The room's messages ---

std::unique_ptr<net::MessageBuffer> BuildLeaveSession(const std::string& id);
std::unique_ptr<net::MessageBuffer> BuildChatLine(const std::string& id,
                                                  const shell::TextStyle& style,
                                                  std::string_view text);
std::unique_ptr<net::MessageBuffer> BuildSetModerator(const std::string& id,
                                                      const std::string& account, int32_t flag);
std::unique_ptr<net::MessageBuffer> BuildRemoveParticipant(const std::string& id,
                                                           const std::string& account,
                                                           int32_t minutes);
std::unique_ptr<net::MessageBuffer> BuildGetHistory(const std::string& id,
                                                    const std::string& folder);
std::unique_ptr<net::MessageBuffer> BuildGetSessionInfo(const std::string& id);
std::unique_ptr<net::MessageBuffer> BuildInvite(const std::string& id, const std::string& invitee,
                                                int32_t passwordIncluded);

// The room state up to the participant count.
struct RoomStateHeader {
    std::string id;
    int32_t event = 0;
    std::string account;
    std::string name;
    std::string description;
    std::string creator;
};
// Reads the header and skips the six integers; false at the first field
// that fails, with `log` set to the family's log text.
bool DecodeRoomStateHeader(net::MessageReader& r, RoomStateHeader& out, std::string& log);
// Reads the count and the records into `out` (emptied first), stopping at
// the first record that cannot be read; the count never reserves memory.
// False when the count itself cannot be read (`out` untouched).
bool DecodeParticipants(net::MessageReader& r, std::vector<Participant>& out, std::string& log);

struct ChatLine {
    std::string id;
    std::string sender;
    shell::TextStyle style;
    int32_t kind = 1;
    std::string text;
};
std::optional<ChatLine> DecodeChatLine(net::MessageReader& r, std::string& log);
// Notifications 1 and 3: the skipped integer, then the id.
std::optional<std::string> DecodeClosed(net::MessageReader& r, std::string& log);

struct Invitation {
    std::string inviter;
    std::string id;
    std::string name;
    bool hasPassword = false;
    std::string password;
};
std::optional<Invitation> DecodeInvitation(net::MessageReader& r, std::string& log);

struct SessionInfo {
    std::string id;
    std::string name;
    std::string description;
    std::string creator;
    std::string created;
    int32_t maximum = 1;
    int32_t current = 1;
    bool isPrivate = false;
};
std::optional<SessionInfo> DecodeSessionInfo(net::MessageReader& r, std::string& log);
// "%i out of a maximum of %i".
std::string ParticipantsText(const SessionInfo& info);

}  // namespace sessions
