#pragma once

// The one list of message families. Each row names a family's primary
// descriptor, which secondary descriptors the router lets through to it, and
// the text its log line gets for any other secondary. The primary enum, the
// router's policy and log texts, its number of family slots and the fuzz
// seeds are all generated from this list, so a new family is one row here.
// Append only: servers we never see depend on every value.
//
// PALINDOR_FAMILIES(X) calls X(name, primary, policy, logName) per family.
// `policy` is a member of net::Accepts; `logName` is the name the family's
// log texts start with, or an empty text for a family that keeps none.

#include <array>
#include <cstddef>
#include <cstdint>

// clang-format off
#define PALINDOR_FAMILIES(X)                                               \
    X(Control,       0,  NotificationOnly,       "MsgControl")             \
    X(Login,         1,  ResponseOnly,           "MsgLogin")               \
    X(Upload,        2,  ResponseOnlySilent,     "")                       \
    X(Download,      3,  ResponseOnlySilent,     "")                       \
    X(DocumentStore, 4,  ResponseOnlySilent,     "")                       \
    X(Account,       5,  ResponseOnlySilent,     "")                       \
    X(Network,       6,  ResponseOnly,           "MsgNetwork")             \
    /* 7 is not used by any family. */                                     \
    X(Zorvic,        8,  Nothing,                "MsgZorvic")              \
    X(Host,          9,  ResponseOnly,           "MsgHost")                \
    X(Notepad,       10, ResponseOnly,           "MsgNotepad")             \
    X(Contact,       11, NotificationOrResponse, "MsgContact")             \
    X(Session,       12, NotificationOrResponse, "MsgSession")             \
    X(Poll,          13, ResponseOnly,           "MsgPoll")                \
    X(Mailbox,       14, NotificationOrResponse, "MsgMailbox")
// clang-format on

namespace net {

// nDescPrimary: the message family.
enum class Primary : int32_t {
#define PALINDOR_PRIMARY_ENUM(name, value, policy, logName) name = value,
    PALINDOR_FAMILIES(PALINDOR_PRIMARY_ENUM)
#undef PALINDOR_PRIMARY_ENUM
};

// Which secondary descriptors reach a family's handler.
enum class Accepts {
    NotificationOnly,
    ResponseOnly,
    ResponseOnlySilent,     // others are dropped without a log line
    Nothing,                // every secondary is unknown
    NotificationOrResponse  // the family checks for itself once registered
};

// One row of the list, as plain values.
struct FamilyInfo {
    Primary primary;
    Accepts accepts;
    // The full format of the "unknown secondary" log text (one %i), or null
    // for a family that keeps no log text.
    const char* unknownSecondaryText;
};

#define PALINDOR_UNKNOWN_SECONDARY_TEXT(logName)                                         \
    (sizeof(logName) > 1                                                                 \
         ? logName ".HandleMsg(0): Unknown secondary message '%i' received from server" \
         : nullptr)

inline constexpr FamilyInfo kFamilies[] = {
#define PALINDOR_FAMILY_ROW(name, value, policy, logName) \
    {Primary::name, Accepts::policy, PALINDOR_UNKNOWN_SECONDARY_TEXT(logName)},
    PALINDOR_FAMILIES(PALINDOR_FAMILY_ROW)
#undef PALINDOR_FAMILY_ROW
};

// One more than the highest primary of the list: the router's family slots.
inline constexpr int kPrimaryCount = [] {
    int highest = -1;
    for (const FamilyInfo& f : kFamilies) highest = static_cast<int>(f.primary) > highest
                                                        ? static_cast<int>(f.primary)
                                                        : highest;
    return highest + 1;
}();

// The row of `primary`, or null for a value no family uses (7, negative or
// past the list).
constexpr const FamilyInfo* FamilyOf(int32_t primary) {
    for (const FamilyInfo& f : kFamilies) {
        if (static_cast<int32_t>(f.primary) == primary) return &f;
    }
    return nullptr;
}

}  // namespace net
