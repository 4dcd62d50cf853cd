#include "sessions/SessionModel.h"

#include <cstdio>

#include "net/Protocol.h"

namespace sessions {

LocalDate LocalDateOf(std::time_t moment) {
    std::tm parts{};
    localtime_r(&moment, &parts);
    return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday};
}

std::string CreatedText(const SessionSummary& row, const LocalDate& today) {
    char text[64];
    if (row.year == today.year && row.month == today.month && row.day == today.day) {
        const int32_t h12 = row.hour % 12 == 0 ? 12 : row.hour % 12;
        const bool pm = row.hour >= 12 && row.hour <= 23;
        std::snprintf(text, sizeof text, "%i:%02i:%02i%s", h12, row.minute, row.second,
                      pm ? "pm" : "am");
    } else {
        std::snprintf(text, sizeof text, "%i/%i/%i", row.month, row.day, row.year);
    }
    return text;
}

int DecodeListPage(net::MessageReader& reader, std::array<SessionListPage, 2>& pages,
                   const LocalDate& today, int32_t& selector, const char*& failedField) {
    int32_t sortCode = 0;
    failedField = "sort code";
    if (!reader.Int(0, 9, sortCode)) return 0;
    failedField = "list selector";
    if (!reader.Int(0, 1, selector)) return 1;
    SessionListPage& page = pages[static_cast<size_t>(selector)];
    std::lock_guard<std::mutex> hold(page.lock);
    page.sortCode = sortCode;
    page.selector = selector;
    failedField = "page index";
    if (!reader.Int(0, 999, page.pageIndex)) return 2;
    failedField = "page size";
    if (!reader.Int(1, 500, page.pageSize)) return 2;
    failedField = "total sessions";
    if (!reader.Int(0, 10000, page.total)) return 2;
    failedField = "row count";
    if (!reader.Int(0, 500, page.rowCount)) return 2;
    page.rows.clear();
    for (int32_t i = 0; i < page.rowCount; ++i) {
        SessionSummary row;
        int32_t v = 0;
        failedField = "session id";
        if (!reader.Str(kIdLength, kIdLength, row.id)) return 3;
        failedField = "session name";
        if (!reader.Str(1, kMaxName, row.name)) return 3;
        failedField = "creator";
        if (!reader.Str(1, kMaxAccountName, row.creator)) return 3;
        failedField = "year";
        if (!reader.Int(0, 5000, v)) return 3;
        row.year = v + 1900;
        failedField = "month";
        if (!reader.Int(0, 12, v)) return 3;
        row.month = v + 1;
        failedField = "day";
        if (!reader.Int(0, 31, row.day)) return 3;
        failedField = "hour";
        if (!reader.Int(0, 24, row.hour)) return 3;
        failedField = "minute";
        if (!reader.Int(0, 60, row.minute)) return 3;
        failedField = "second";
        if (!reader.Int(0, 60, row.second)) return 3;
        failedField = "participant count";
        if (!reader.Int(0, 1000, row.participants)) return 3;
        failedField = "private flag";
        if (!reader.Int(0, 1, row.isPrivate)) return 3;
        row.createdText = CreatedText(row, today);
        char count[16];
        std::snprintf(count, sizeof count, "%i", row.participants);
        row.participantsText = count;
        row.typeText = TypeText(row.isPrivate);
        page.rows.push_back(std::move(row));
    }
    failedField = nullptr;
    return -1;
}

int DecodeSessionForModify(net::MessageReader& reader, SessionForModify& out,
                           const char*& failedField) {
    failedField = "session id";
    if (!reader.Str(kIdLength, kIdLength, out.id)) return 0;
    failedField = "description";
    if (!reader.Str(1, kMaxDescription, out.description)) return 1;
    failedField = "maximum participants";
    if (!reader.Int(kMinParticipants, kMaxParticipants, out.maxParticipants)) return 2;
    failedField = "private flag";
    if (!reader.Int(0, 1, out.isPrivate)) return 3;
    failedField = "password";
    if (!reader.Str(0, kMaxJoinPassword, out.password)) return 4;
    failedField = nullptr;
    return -1;
}

std::optional<std::string> DecodeExplanation(net::MessageReader& reader) {
    std::string text;
    if (!reader.Str(1, 512, text)) return std::nullopt;
    return text;
}

const char* ErrorHeading(int32_t responseCode) {
    namespace s = net::session;
    switch (responseCode) {
        case s::kNameTaken:
            return "A session with the specified name already exists";
        case s::kAdminOnly:
            return "You must be an administrator to create a session on this network";
        case s::kSessionLimit:
            return "Maximum number of sessions is reached for this network";
        case s::kNotFound:
            return "Unable to find the specified session";
        case s::kSessionFull:
            return "Maximum participants is reached for this session";
        case s::kAlreadyIn:
            return "You are already in that session";
        case s::kWrongPassword:
            return "Incorrect session password";
        case s::kBanned:
            return "You are currently banned from this session";
        case s::kNotOnline:
            return "That person is not online at the moment";
        default:
            return nullptr;
    }
}

std::string CheckSessionFields(const SessionFields& f, bool checkName) {
    if (checkName && f.name.empty()) return "Please type a name for the session";
    if (f.description.empty()) return "Please type a description for the session";
    if (checkName && f.name.size() > size_t(kMaxName)) return "Name is too long";
    if (f.description.size() > size_t(kMaxDescription)) return "Description is too long";
    if (f.isPrivate) {
        if (f.password.empty()) return "A password is required for a private session";
        if (f.password.size() > size_t(kMaxTypedPassword))
            return "Passwords must not be more than 19 characters in length";
        if (f.password != f.confirmation) return "Passwords do not match; try again";
    }
    return {};
}

std::string CheckJoinPassword(const std::string& password) {
    if (password.empty()) return "Please type a password";
    if (password.size() > size_t(kMaxJoinPassword)) return "Password is too long";
    return {};
}

bool MayChange(bool administrator, const std::string& account, const std::string& creator) {
    return administrator || account == creator;
}

}  // namespace sessions
