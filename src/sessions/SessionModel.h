#pragma once

// The session directory without windows: one row of a list page, the two
// list pages, the created text, the field rules of the Create, Modify and
// Password Required windows, the rights check, and the decoding of the
// Session responses that fill them.

#include <array>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "net/MessageBuffer.h"

namespace sessions {

// Limits, in bytes of UTF-8 (the wire counts bytes; a window counting
// characters would let an accented name through that no page can carry).
inline constexpr int32_t kIdLength = 6;
inline constexpr int32_t kMaxName = 20;
inline constexpr int32_t kMaxDescription = 500;
inline constexpr int32_t kMaxTypedPassword = 19;
inline constexpr int32_t kMaxJoinPassword = 20;
inline constexpr int32_t kMaxAccountName = 12;
inline constexpr int32_t kMinParticipants = 1;
inline constexpr int32_t kMaxParticipants = 200;
inline constexpr int32_t kManagePageSize = 12;
inline constexpr int32_t kManageListSelector = 1;

// One row of a list page.
struct SessionSummary {
    std::string id;
    std::string name;
    std::string creator;
    int32_t year = 0;   // as shown: received + 1900
    int32_t month = 1;  // as shown: received + 1
    int32_t day = 1;
    int32_t hour = 0;
    int32_t minute = 0;
    int32_t second = 0;
    std::string createdText;
    std::string typeText;
    std::string participantsText;
    int32_t participants = 0;
    int32_t isPrivate = 0;
};

// The state of one list; one for the main window's (selector 0) and one for
// Manage Sessions' (selector 1).
struct SessionListPage {
    std::mutex lock;
    int32_t sortCode = 3;
    int32_t selector = 0;
    int32_t pageIndex = 0;
    int32_t pageSize = 1;
    int32_t total = 0;
    int32_t rowCount = 0;
    std::vector<SessionSummary> rows;
};

struct LocalDate {
    int32_t year = 0;
    int32_t month = 0;
    int32_t day = 0;
};
// The local calendar date of a moment.
LocalDate LocalDateOf(std::time_t moment);

// Today's rows show "%i:%02i:%02i%s" on a 12-hour clock ("am" for hours
// 0..11, so the hour 24 the decode limits allow reads 12 am); other days
// "%i/%i/%i" as month/day/year.
std::string CreatedText(const SessionSummary& row, const LocalDate& today);
inline const char* TypeText(int32_t isPrivate) {
    return isPrivate == 1 ? "Invite" : "Open";
}

// Response 3. Returns -1 when the page was read whole, else the step that
// failed: 0 sort code, 1 list selector, 2 the page's numbers, 3 a row. On
// failure `failedField` names the field. The page named by the selector
// keeps what was read (its lock is released on every exit); `selector` is
// set once it was read.
int DecodeListPage(net::MessageReader& reader, std::array<SessionListPage, 2>& pages,
                   const LocalDate& today, int32_t& selector, const char*& failedField);

// Response 9.
struct SessionForModify {
    std::string id;
    std::string description;
    int32_t maxParticipants = 1;
    int32_t isPrivate = 0;
    std::string password;
};
// -1 when read whole, else the step that failed; `failedField` names it.
int DecodeSessionForModify(net::MessageReader& reader, SessionForModify& out,
                           const char*& failedField);

// The explanation of an error response: 1..512 bytes, or nothing.
std::optional<std::string> DecodeExplanation(net::MessageReader& reader);

// The heading the client shows for an error response; null for codes that
// are not errors with an explanation.
const char* ErrorHeading(int32_t responseCode);

// The typed fields of Create and Modify, as UTF-8.
struct SessionFields {
    std::string name;
    std::string description;
    bool isPrivate = false;
    std::string password;
    std::string confirmation;
};
// The first rule that fails, in the windows' order, or an empty text. Modify
// passes checkName = false.
std::string CheckSessionFields(const SessionFields& fields, bool checkName);
// Password Required.
std::string CheckJoinPassword(const std::string& password);

// Modify and Delete are for administrators and the session's creator
// (the name as typed, letter case included).
bool MayChange(bool administrator, const std::string& account, const std::string& creator);

}  // namespace sessions
