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
    const int hour =
        local.tm_hour == 0 ? 12 : (local.tm_hour > 12 ? local.tm_hour - 12 : local.tm_hour);
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
    out.username.assign(fields[0]);
    out.fullName.assign(fields[1]);
    out.created = fields[2] == "-1"
                      ? -1
                      : detail::LeadingInteger(fields[2], std::numeric_limits<int64_t>::min(),
                                               std::numeric_limits<int64_t>::max());
    out.lastLogin = fields[3] == "-1"
                        ? -1
                        : detail::LeadingInteger(fields[3], std::numeric_limits<int32_t>::min(),
                                                 std::numeric_limits<int32_t>::max());
    out.online = fields[4] == "0" ? 0 : 1;
    out.banned = fields[5] == "0" ? 0 : 1;
    out.type = fields[6] == "0" ? 0 : (fields[6] == "1" ? 1 : 2);
    return true;
}

// The texts of the two time columns ("-" for no value), made when shown:
// a list of many thousands of accounts shows only a screenful at a time.
inline std::string CreatedText(const AccountRecord& r) {
    return r.created == -1 ? std::string("-") : CreatedTimeText(r.created);
}
inline std::string LastLoginText(const AccountRecord& r) {
    return r.lastLogin == -1 ? std::string("-") : RelativeTimeText(r.lastLogin);
}

// Every line that parses, in file order. False when the file cannot be opened.
inline bool ReadAccountList(const std::string& path, std::vector<AccountRecord>& out) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    out.clear();
    // Read whole: the file is a few megabytes at most, and lines are cut
    // faster from memory than through the stream.
    std::string content;
    char chunk[65536];
    while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
        content.append(chunk, static_cast<size_t>(file.gcount()));
    }
    const std::string_view all(content);
    AccountRecord record;
    size_t at = 0;
    while (at < all.size()) {
        size_t end = all.find('\n', at);
        if (end == std::string_view::npos) end = all.size();
        if (ParseAccountLine(all.substr(at, end - at), record)) out.push_back(record);
        at = end + 1;
    }
    return true;
}

// The words of the last three columns.
inline const char* YesNoText(int flag) {
    return flag ? "Yes" : "No";
}
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

// The sort value of every record in every column, made once per list so
// that each header click sorts plain numbers: number columns as they are
// (no value as the largest), text columns as each text's rank without
// regard to case.
struct AccountSortKeys {
    std::vector<int64_t> columns[kAccountColumnCount];

    void Build(const std::vector<AccountRecord>& records) {
        const size_t n = records.size();
        for (auto& c : columns) c.assign(n, 0);
        const auto number = [](int64_t v) {
            return v == -1 ? std::numeric_limits<int64_t>::max() : v;
        };
        for (size_t i = 0; i < n; ++i) {
            const AccountRecord& r = records[i];
            columns[kColumnCreated][i] = number(r.created);
            columns[kColumnLastLogin][i] = number(r.lastLogin);
            columns[kColumnOnline][i] = r.online;
            columns[kColumnBanned][i] = r.banned;
            columns[kColumnType][i] = r.type;
        }
        Rank(records, kColumnUsername,
             [](const AccountRecord& r) -> const std::string& { return r.username; });
        Rank(records, kColumnFullName,
             [](const AccountRecord& r) -> const std::string& { return r.fullName; });
    }

  private:
    template <class Get>
    void Rank(const std::vector<AccountRecord>& records, int column, Get get) {
        // Lower-cased once into one buffer; then byte order is the
        // comparison's order.
        size_t total = 0;
        for (const AccountRecord& r : records) total += get(r).size();
        std::string buffer;
        buffer.reserve(total);
        std::vector<std::pair<size_t, size_t>> spans(records.size());
        for (size_t i = 0; i < records.size(); ++i) {
            const std::string& text = get(records[i]);
            spans[i] = {buffer.size(), text.size()};
            for (const char c : text) {
                buffer.push_back(static_cast<char>(detail::Lower(static_cast<unsigned char>(c))));
            }
        }
        std::vector<std::pair<std::string_view, uint32_t>> order(records.size());
        for (size_t i = 0; i < order.size(); ++i) {
            order[i] = {std::string_view(buffer).substr(spans[i].first, spans[i].second),
                        static_cast<uint32_t>(i)};
        }
        std::sort(order.begin(), order.end());
        int64_t rank = 0;
        for (size_t i = 0; i < order.size(); ++i) {
            if (i > 0 && order[i].first != order[i - 1].first) ++rank;
            columns[column][order[i].second] = rank;
        }
    }
};

// Sorts the row order `rows` (indices into the records the keys were built
// from), keeping equal rows in their previous order.
inline void SortAccounts(const AccountSortKeys& keys, std::vector<uint32_t>& rows,
                         const AccountSortOrder& order) {
    if (order.column < 0 || order.column >= kAccountColumnCount) return;
    const std::vector<int64_t>& key = keys.columns[order.column];
    std::vector<std::pair<int64_t, uint32_t>> sorted;
    sorted.reserve(rows.size());
    for (uint32_t r : rows) sorted.emplace_back(key[r], r);
    const bool ascending = order.ascending;
    std::stable_sort(sorted.begin(), sorted.end(), [ascending](const auto& a, const auto& b) {
        return ascending ? a.first < b.first : a.first > b.first;
    });
    for (size_t i = 0; i < rows.size(); ++i) rows[i] = sorted[i].second;
}

}  // namespace contacts
