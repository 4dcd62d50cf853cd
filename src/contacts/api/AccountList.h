#pragma once

// The account list file that the file server sends (one account per line,
// seven fields each ended by ';'): the line parser, the texts each field is
// shown as, the values it sorts by, and the order of the list's columns.
// Header-only and free of Qt, so that every window that lists accounts (the
// contact search, the account administration) reads the file the same way.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace contacts {

// The columns of an account list, left to right.
enum AccountColumn : int {
    kColumnUsername = 0,
    kColumnFullName,
    kColumnCreated,
    kColumnLastLogin,
    kColumnOnline,
    kColumnBanned,
    kColumnType,
    kAccountColumnCount
};

// One line of the file, parsed: the texts as shown and the sort values.
struct AccountRecord {
    std::string username;
    std::string fullName;
    int64_t created = -1;    // seconds since 1970 (UTC); -1 no value
    int64_t lastLogin = -1;  // seconds since the last login; -1 no value
    int online = 0;          // 0 or 1
    int banned = 0;          // 0 or 1
    int type = 2;            // 0 root, 1 admin, 2 regular
    std::string createdText;
    std::string lastLoginText;
};

// Longer lines are not the server's: they are skipped whole.
inline constexpr size_t kMaxAccountLine = 510;

// "1 second ago", "%i minutes ago", "1 month ago"...: integer divisions of s.
inline std::string RelativeTimeText(int64_t s) {
    struct Step {
        int64_t from;
        int64_t unit;
        const char* one;
        const char* many;
    };
    static constexpr Step kSteps[] = {
        {2592000, 2592000, "1 month ago", "%i months ago"},
        {604800, 604800, "1 week ago", "%i weeks ago"},
        {86400, 86400, "1 day ago", "%i days ago"},
        {3600, 3600, "1 hour ago", "%i hours ago"},
        {60, 60, "1 minute ago", "%i minutes ago"},
    };
    char text[64];
    for (const Step& step : kSteps) {
        if (s < step.from) continue;
        const int64_t n = s / step.unit;
        if (n == 1) return step.one;
        std::snprintf(text, sizeof text, step.many,
                      static_cast<int>(std::min<int64_t>(n, std::numeric_limits<int>::max())));
        return text;
    }
    if (s == 1) return "1 second ago";
    std::snprintf(text, sizeof text, "%i seconds ago",
                  static_cast<int>(std::max<int64_t>(s, std::numeric_limits<int>::min())));
    return text;
}

// Local time as "%i:%02i:%02i%s on %i/%i/%i" (12-hour clock, AM or PM, month,
// day, year); "-" for a value that is no time the system can show.
inline std::string CreatedTimeText(int64_t seconds) {
    if (seconds < std::numeric_limits<time_t>::min() ||
        seconds > std::numeric_limits<time_t>::max())
        return "-";
    const time_t t = static_cast<time_t>(seconds);
    std::tm local{};
    if (localtime_r(&t, &local) == nullptr) return "-";
    const int hour = local.tm_hour == 0 ? 12 : (local.tm_hour > 12 ? local.tm_hour - 12 : local.tm_hour);
    char text[96];
    std::snprintf(text, sizeof text, "%i:%02i:%02i%s on %i/%i/%i", hour, local.tm_min, local.tm_sec,
                  local.tm_hour < 12 ? "AM" : "PM", local.tm_mon + 1, local.tm_mday,
                  local.tm_year + 1900);
    return text;
}

namespace detail {

// The leading integer of a field, as far as it goes; 0 when it has none.
// Values past the range are held at its ends.
inline int64_t LeadingInteger(std::string_view field, int64_t lowest, int64_t highest) {
    size_t i = 0;
    bool negative = false;
    if (i < field.size() && (field[i] == '-' || field[i] == '+')) negative = field[i++] == '-';
    int64_t value = 0;
    for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
        const int digit = field[i] - '0';
        if (value > (std::numeric_limits<int64_t>::max() - digit) / 10) {
            value = std::numeric_limits<int64_t>::max();
            break;
        }
        value = value * 10 + digit;
    }
    value = negative ? -value : value;
    return std::clamp(value, lowest, highest);
}

inline unsigned char Lower(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

}  // namespace detail

// Parses one line (without its line end). False for a line of fewer than
// seven fields or longer than the file's lines may be.
inline bool ParseAccountLine(std::string_view line, AccountRecord& out) {
    if (line.size() > kMaxAccountLine) return false;
    std::string_view fields[7];
    size_t at = 0;
    for (std::string_view& field : fields) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
        const size_t end = line.find(';', at);
        if (end == std::string_view::npos) return false;
        field = line.substr(at, end - at);
        at = end + 1;
    }
    AccountRecord r;
    r.username.assign(fields[0]);
    r.fullName.assign(fields[1]);
    if (fields[2] == "-1") {
        r.created = -1;
        r.createdText = "-";
    } else {
        r.created = detail::LeadingInteger(fields[2], std::numeric_limits<int64_t>::min(),
                                           std::numeric_limits<int64_t>::max());
        r.createdText = CreatedTimeText(r.created);
    }
    if (fields[3] == "-1") {
        r.lastLogin = -1;
        r.lastLoginText = "-";
    } else {
        r.lastLogin = detail::LeadingInteger(fields[3], std::numeric_limits<int32_t>::min(),
                                             std::numeric_limits<int32_t>::max());
        r.lastLoginText = RelativeTimeText(r.lastLogin);
    }
    r.online = fields[4] == "0" ? 0 : 1;
    r.banned = fields[5] == "0" ? 0 : 1;
    r.type = fields[6] == "0" ? 0 : (fields[6] == "1" ? 1 : 2);
    out = std::move(r);
    return true;
}

// Every line that parses, in file order. False when the file cannot be opened.
inline bool ReadAccountList(const std::string& path, std::vector<AccountRecord>& out) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    out.clear();
    std::string line;
    AccountRecord record;
    while (std::getline(file, line)) {
        if (ParseAccountLine(line, record)) out.push_back(std::move(record));
    }
    return true;
}

// The words of the last three columns.
inline const char* YesNoText(int flag) { return flag ? "Yes" : "No"; }
inline const char* AccountTypeText(int type) {
    return type == 0 ? "root" : (type == 1 ? "admin" : "regular");
}

// Without regard to case, byte by byte; a text that starts a longer one is smaller.
inline int CompareTextNoCase(std::string_view a, std::string_view b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const unsigned char x = detail::Lower(static_cast<unsigned char>(a[i]));
        const unsigned char y = detail::Lower(static_cast<unsigned char>(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// -1 (no value) counts as larger than every value.
inline int CompareSortValues(int64_t a, int64_t b) {
    if (a == b) return 0;
    if (a == -1) return 1;
    if (b == -1) return -1;
    return a < b ? -1 : 1;
}

inline int CompareAccounts(const AccountRecord& a, const AccountRecord& b, int column) {
    switch (column) {
        case kColumnUsername:
            return CompareTextNoCase(a.username, b.username);
        case kColumnFullName:
            return CompareTextNoCase(a.fullName, b.fullName);
        case kColumnCreated:
            return CompareSortValues(a.created, b.created);
        case kColumnLastLogin:
            return CompareSortValues(a.lastLogin, b.lastLogin);
        case kColumnOnline:
            return CompareSortValues(a.online, b.online);
        case kColumnBanned:
            return CompareSortValues(a.banned, b.banned);
        case kColumnType:
            return CompareSortValues(a.type, b.type);
        default:
            return 0;
    }
}

// The order of a list: at first by full name ascending; every header click
// sorts by that column and turns the direction around, whatever the column.
struct AccountSortOrder {
    int column = kColumnFullName;
    bool ascending = true;

    void HeaderClicked(int clicked) {
        column = clicked;
        ascending = !ascending;
    }
};

// Sorts keeping equal rows in their previous order.
template <class Records, class Get>
void SortAccounts(Records& records, const AccountSortOrder& order, Get get) {
    std::stable_sort(records.begin(), records.end(), [&](const auto& x, const auto& y) {
        const int c = CompareAccounts(get(x), get(y), order.column);
        return order.ascending ? c < 0 : c > 0;
    });
}
inline void SortAccounts(std::vector<AccountRecord>& records, const AccountSortOrder& order) {
    SortAccounts(records, order, [](const AccountRecord& r) -> const AccountRecord& { return r; });
}

}  // namespace contacts
