#include "sessions/RoomModel.h"

#include <cstdio>
#include <cstdlib>

#include "net/Protocol.h"
#include "sessions/SessionModel.h"

namespace sessions {

namespace code = net::session;

int Rank(const Participant& p) {
    if (p.administrator) return 3;
    if (p.creator) return 2;
    if (p.moderator) return 1;
    return 0;
}

const char* RoleWord(const Participant& p) {
    static const char* const kWords[] = {"Participant", "Moderator", "Session creator",
                                         "Administrator"};
    return kWords[Rank(p)];
}

std::string ParticipantTip(const Participant& p, bool muted) {
    const char* form = "(%s) %s is <unknown status>";
    if (p.presence == 1) {
        form = muted ? "(%s) %s is online, currently ignored" : "(%s) %s is online";
    } else if (p.presence == 2) {
        form = muted ? "(%s) %s is away, currently ignored" : "(%s) %s is away";
    }
    char tip[kMaxTipCharacters + 1];
    std::snprintf(tip, sizeof tip, form, RoleWord(p), p.name.c_str());
    return tip;
}

int ParticipantImage(const Participant& p, bool muted) {
    if (muted) return 3;
    if (p.presence == 0) return 0;
    if (p.presence == 1) return 1;
    return 2;
}

RowLook ParticipantLook(const Participant& p, bool muted) {
    if (muted || p.presence == 0) return RowLook::Grey;
    if (p.presence == 2) return RowLook::AwayItalic;
    return RowLook::OnlineBold;
}

ModeratorItem ModeratorItemFor(int own, int target) {
    ModeratorItem item;
    if (own < target || own < 1) return item;
    if (target == 1) {
        item.enabled = true;
        item.text = "Revoke Moderator Status";
    } else if (target == 0) {
        item.enabled = true;
    }
    return item;
}

bool MayRemove(int own, int target) {
    return !(own < target || own < 1);
}

const char* EventText(int32_t event) {
    switch (event) {
        case code::kEventJoined:
            return " has joined the session\r\n";
        case code::kEventLeft:
            return " has left the session\r\n";
        case code::kEventAway:
            return " is away\r\n";
        case code::kEventOnline:
            return " is online\r\n";
        case code::kEventParticipant:
            return " is now a participant\r\n";
        case code::kEventModerator:
            return " is now a moderator\r\n";
        default:
            return nullptr;
    }
}

std::string CheckInvitee(const std::string& name) {
    if (name.empty()) return "Please specify who you wish to invite";
    if (name.size() > static_cast<size_t>(kMaxAccountName)) return "Username is too long";
    return {};
}

std::optional<int32_t> BanMinutesFor(bool removeOnly, bool ban, const std::string& typed,
                                     std::string& error) {
    error.clear();
    if (removeOnly) return 0;
    if (!ban) return std::nullopt;
    // Digits only, and few enough that the number cannot overflow.
    bool digits = !typed.empty() && typed.size() <= 9;
    for (char c : typed) digits = digits && c >= '0' && c <= '9';
    const long minutes = digits ? std::strtol(typed.c_str(), nullptr, 10) : 0;
    if (minutes < 1 || minutes > kMaxBanMinutes) {
        error = "Number of minutes to ban must be between 1 and 9999, inclusive";
        return std::nullopt;
    }
    return static_cast<int32_t>(minutes);
}

std::unique_ptr<net::MessageBuffer> BuildLeaveSession(const std::string& id) {
    net::MessageWriter w(code::kLeaveSession);
    w.Str(id);
    return w.Finish(net::Primary::Session);
}

std::unique_ptr<net::MessageBuffer> BuildChatLine(const std::string& id,
                                                  const shell::TextStyle& s,
                                                  std::string_view text) {
    net::MessageWriter w(code::kSendChatLine);
    w.Str(id)
        .Int(s.fontIndex)
        .Int(s.red)
        .Int(s.green)
        .Int(s.blue)
        .Int(s.bold ? 1 : 0)
        .Int(s.italic ? 1 : 0)
        .Int(s.underline ? 1 : 0)
        .Int(1)
        .Str(text);
    return w.Finish(net::Primary::Session);
}

std::unique_ptr<net::MessageBuffer> BuildSetModerator(const std::string& id,
                                                      const std::string& account, int32_t flag) {
    net::MessageWriter w(code::kSetModerator);
    w.Str(id).Str(account).Int(flag);
    return w.Finish(net::Primary::Session);
}

std::unique_ptr<net::MessageBuffer> BuildRemoveParticipant(const std::string& id,
                                                           const std::string& account,
                                                           int32_t minutes) {
    net::MessageWriter w(code::kRemoveParticipant);
    w.Str(id).Str(account).Int(minutes);
    return w.Finish(net::Primary::Session);
}

std::unique_ptr<net::MessageBuffer> BuildGetHistory(const std::string& id,
                                                    const std::string& folder) {
    net::MessageWriter w(code::kGetHistory);
    w.Str(id).Str(folder);
    return w.Finish(net::Primary::Session);
}

std::unique_ptr<net::MessageBuffer> BuildGetSessionInfo(const std::string& id) {
    net::MessageWriter w(code::kGetSessionInfo);
    w.Str(id);
    return w.Finish(net::Primary::Session);
}

std::unique_ptr<net::MessageBuffer> BuildInvite(const std::string& id, const std::string& invitee,
                                                int32_t passwordIncluded) {
    net::MessageWriter w(code::kInvite);
    w.Str(id).Str(invitee).Int(passwordIncluded);
    return w.Finish(net::Primary::Session);
}

namespace {

bool Fail(std::string& log, const char* handler, int step, const char* field) {
    char text[160];
    std::snprintf(text, sizeof text, "MsgSession.%s(%i): Unable to decode %s", handler, step,
                  field);
    log = text;
    return false;
}

constexpr const char* kRoomState = "HandleNotificationRoomState";

}  // namespace

bool DecodeRoomStateHeader(net::MessageReader& r, RoomStateHeader& out, std::string& log) {
    if (!r.Str(kIdLength, kIdLength, out.id)) return Fail(log, kRoomState, 1, "session id");
    if (!r.Int(0, 6, out.event)) return Fail(log, kRoomState, 2, "event");
    if (!r.Str(0, kMaxAccountName, out.account)) return Fail(log, kRoomState, 3, "account name");
    if (!r.Str(1, kMaxName, out.name)) return Fail(log, kRoomState, 4, "session name");
    if (!r.Str(1, kMaxDescription, out.description))
        return Fail(log, kRoomState, 5, "description");
    if (!r.Str(1, kMaxAccountName, out.creator)) return Fail(log, kRoomState, 6, "creator");
    int32_t skipped = 0;
    for (int i = 0; i < 6; ++i) {
        if (!r.Int(INT32_MIN, INT32_MAX, skipped)) return Fail(log, kRoomState, 7, "creation time");
    }
    return true;
}

bool DecodeParticipants(net::MessageReader& r, std::vector<Participant>& out, std::string& log) {
    int32_t count = 0;
    if (!r.Int(INT32_MIN, INT32_MAX, count)) return Fail(log, kRoomState, 8, "participant count");
    out.clear();
    // The count says how many to read, never how much to set aside: the
    // message itself bounds what can arrive.
    for (int32_t i = 0; i < count; ++i) {
        Participant p;
        int32_t admin = 0, creator = 0, moderator = 0;
        if (!r.Str(1, kMaxAccountName, p.name) || !r.Int(0, 1, admin) || !r.Int(0, 1, creator) ||
            !r.Int(0, 1, moderator)) {
            Fail(log, kRoomState, 9, "participant");
            break;
        }
        p.administrator = admin == 1;
        p.creator = creator == 1;
        p.moderator = moderator == 1;
        if (!r.Int(INT32_MIN, INT32_MAX, p.presence)) {
            Fail(log, kRoomState, 10, "presence");
            break;
        }
        out.push_back(std::move(p));
    }
    return true;
}

std::optional<ChatLine> DecodeChatLine(net::MessageReader& r, std::string& log) {
    constexpr const char* h = "HandleNotificationChatLine";
    ChatLine c;
    if (!r.Str(kIdLength, kIdLength, c.id)) return Fail(log, h, 1, "session id"), std::nullopt;
    if (!r.Str(1, kMaxAccountName, c.sender)) return Fail(log, h, 2, "sender"), std::nullopt;
    if (!r.Int(0, kMaxFontIndex, c.style.fontIndex))
        return Fail(log, h, 3, "font index"), std::nullopt;
    if (!r.Int(0, 255, c.style.red) || !r.Int(0, 255, c.style.green) ||
        !r.Int(0, 255, c.style.blue))
        return Fail(log, h, 4, "colour"), std::nullopt;
    int32_t flag = 0;
    for (bool* target : {&c.style.bold, &c.style.italic, &c.style.underline}) {
        if (!r.Int(0, 1, flag)) return Fail(log, h, 5, "style"), std::nullopt;
        *target = flag == 1;
    }
    if (!r.Int(0, 2, c.kind)) return Fail(log, h, 6, "kind"), std::nullopt;
    if (!r.Str(1, kMaxChatBytes, c.text)) return Fail(log, h, 7, "text"), std::nullopt;
    return c;
}

std::optional<std::string> DecodeClosed(net::MessageReader& r, std::string& log) {
    constexpr const char* h = "HandleNotificationSessionClosed";
    int32_t skipped = 0;
    std::string id;
    if (!r.Int(INT32_MIN, INT32_MAX, skipped)) return Fail(log, h, 1, "reason"), std::nullopt;
    if (!r.Str(kIdLength, kIdLength, id)) return Fail(log, h, 2, "session id"), std::nullopt;
    return id;
}

std::optional<Invitation> DecodeInvitation(net::MessageReader& r, std::string& log) {
    constexpr const char* h = "HandleNotificationInvitation";
    Invitation v;
    int32_t unused = 0, flag = 0;
    if (!r.Str(1, kMaxAccountName, v.inviter)) return Fail(log, h, 1, "inviter"), std::nullopt;
    if (!r.Str(kIdLength, kIdLength, v.id)) return Fail(log, h, 2, "session id"), std::nullopt;
    if (!r.Str(1, kMaxName, v.name)) return Fail(log, h, 3, "session name"), std::nullopt;
    if (!r.Int(0, 1, unused)) return Fail(log, h, 4, "flag"), std::nullopt;
    if (!r.Int(0, 1, flag)) return Fail(log, h, 5, "password flag"), std::nullopt;
    v.hasPassword = flag == 1;
    if (v.hasPassword && !r.Str(1, kMaxJoinPassword, v.password))
        return Fail(log, h, 6, "password"), std::nullopt;
    return v;
}

std::optional<SessionInfo> DecodeSessionInfo(net::MessageReader& r, std::string& log) {
    constexpr const char* h = "HandleResponseSessionInfo";
    SessionInfo s;
    int32_t flag = 0;
    if (!r.Str(kIdLength, kIdLength, s.id)) return Fail(log, h, 1, "session id"), std::nullopt;
    if (!r.Str(1, kMaxName, s.name)) return Fail(log, h, 2, "session name"), std::nullopt;
    if (!r.Str(1, kMaxDescription, s.description))
        return Fail(log, h, 3, "description"), std::nullopt;
    if (!r.Str(1, kMaxAccountName, s.creator)) return Fail(log, h, 4, "creator"), std::nullopt;
    if (!r.Str(1, kMaxDateText, s.created)) return Fail(log, h, 5, "date created"), std::nullopt;
    if (!r.Int(kMinParticipants, kMaxParticipants, s.maximum))
        return Fail(log, h, 6, "maximum participants"), std::nullopt;
    if (!r.Int(kMinParticipants, kMaxParticipants, s.current))
        return Fail(log, h, 7, "current participants"), std::nullopt;
    if (!r.Int(0, 1, flag)) return Fail(log, h, 8, "private flag"), std::nullopt;
    s.isPrivate = flag == 1;
    return s;
}

std::string ParticipantsText(const SessionInfo& info) {
    char text[64];
    std::snprintf(text, sizeof text, "%i out of a maximum of %i", info.current, info.maximum);
    return text;
}

}  // namespace sessions
