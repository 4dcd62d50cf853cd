#pragma once

// The rules of network administration, header-only and free of Qt so that
// the client's windows and the local server decide alike (the server takes
// it without the client's libraries): account levels, which of the
// six account actions a selection allows, the action file, and the paths of
// the log folders.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace admin {

// A smaller number is a higher rank.
enum Level : int { kRoot = 0, kAdmin = 1, kRegular = 2 };

// The signed-in user's level from the login's two flags.
inline int LevelFromLogin(bool root, bool administrator) {
    if (root) return kRoot;
    return administrator ? kAdmin : kRegular;
}

// Both administration windows open for root and for admins. Root passes
// whatever its administrator flag says.
inline bool MayAdminister(int ownLevel) {
    return ownLevel < kRegular;
}

// The actions in the order of their buttons; the value travels with the upload.
enum Action : int32_t {
    kPromote = 0,
    kDemote = 1,
    kDisconnect = 2,
    kDelete = 3,
    kBan = 4,
    kUndoBan = 5,
};
inline constexpr int kActionCount = 6;

inline const char* ActionButtonText(int action) {
    static constexpr const char* kTexts[kActionCount] = {"Promote", "Demote", "Disconnect",
                                                         "Delete",  "Ban",    "Undo Ban"};
    return action >= 0 && action < kActionCount ? kTexts[action] : "";
}
// The question of the "Caution" box asked before the action is sent.
inline const char* ActionQuestion(int action) {
    static constexpr const char* kTexts[kActionCount] = {
        "Are you sure you wish to promote the selected account(s)?",
        "Are you sure you wish to demote the selected account(s)?",
        "Are you sure you wish to disconnect the selected account(s)?",
        "Are you sure you wish to delete the selected account(s)?",
        "Are you sure you wish to ban the selected account(s)?",
        "Are you sure you wish to undo the ban on the selected account(s)?",
    };
    return action >= 0 && action < kActionCount ? kTexts[action] : "";
}

// What an action needs to know of one account.
struct AccountState {
    int level = kRegular;
    bool online = false;
    bool banned = false;
};

// Whether a user of level `ownLevel` may apply `action` to the account.
inline bool Qualifies(int action, int ownLevel, const AccountState& account) {
    const int r = account.level;
    const bool above = ownLevel < r;
    switch (action) {
        case kPromote:
            return r == kRegular && ownLevel < kRegular;
        case kDemote:
            return r != kRegular && above;
        case kDisconnect:
            return account.online && above;
        case kDelete:
            return above;
        case kBan:
            return !account.banned && above;
        case kUndoBan:
            return account.banned && above;
        default:
            return false;
    }
}

// Each button is enabled when at least one selected account qualifies.
inline std::array<bool, kActionCount> EnabledActions(int ownLevel,
                                              const std::vector<AccountState>& selection) {
    std::array<bool, kActionCount> enabled{};
    for (const AccountState& account : selection) {
        for (int action = 0; action < kActionCount; ++action) {
            if (Qualifies(action, ownLevel, account)) enabled[static_cast<size_t>(action)] = true;
        }
    }
    return enabled;
}

// Where the action file goes, relative to the data folder, and its folders
// from the outermost in.
inline constexpr const char* kActionFolders[] = {"files", "files/local", "files/local/account",
                                                  "files/local/account/manage"};
inline constexpr const char* kActionFile = "files/local/account/manage/listusername";

// One line per account, in the order given. The names are the server's own
// and go back to it only.
inline std::string ActionFileText(const std::vector<std::string>& usernames) {
    std::string text;
    for (const std::string& name : usernames) {
        text += name;
        text += '\n';
    }
    return text;
}

// The accounts of an action file: its lines without their ends, empty lines
// skipped, a final line without "\n" kept.
inline std::vector<std::string> ActionFileNames(std::string_view text) {
    std::vector<std::string> names;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!line.empty()) names.emplace_back(line);
        at = end + 1;
    }
    return names;
}

// The folder a log folder's "back" asks for: the path cut at its last "/"
// that is neither its first nor its last character and has no "/" beside it,
// or "/" when there is none.
inline std::string ParentLogPath(std::string_view path) {
    const size_t n = path.size();
    for (size_t i = n; i-- > 0;) {
        if (path[i] != '/') continue;
        if (i == 0 || i + 1 == n) continue;
        if (path[i - 1] == '/' || path[i + 1] == '/') continue;
        return std::string(path.substr(0, i));
    }
    return "/";
}
// The path of an entry of the folder `current` ("/" at the top).
inline std::string ChildLogPath(std::string_view current, std::string_view name) {
    if (current.empty() || current == "/") return std::string(name);
    std::string path(current);
    path += '/';
    path += name;
    return path;
}
// The label above the entries: "/" at the top, "/%s" elsewhere.
inline std::string LogPathLabel(std::string_view path) {
    if (path.empty() || path == "/") return "/";
    return "/" + std::string(path);
}

// A zorvic number as shown: its first three characters, ".", the next four.
inline std::string FormatZorvicNumber(std::string_view number) {
    std::string text(number.substr(0, 3));
    text += '.';
    if (number.size() > 3) text += number.substr(3, 4);
    return text;
}

// What a double click on a log entry leads to.
enum class LogClick {
    kNotAdministrator,  // the rights message; nothing sent
    kCancelDownload,    // a log download is running: cancel it
    kOpenFolder,        // request the folder's entries
    kLocked,            // a locked folder: nothing
    kDownload,          // download the file
};
// `kind` is the entry's (1 folder, anything else a file).
inline LogClick ClassifyLogClick(int ownLevel, bool downloading, int32_t kind, bool locked) {
    if (!MayAdminister(ownLevel)) return LogClick::kNotAdministrator;
    if (downloading) return LogClick::kCancelDownload;
    if (kind == 1) return locked ? LogClick::kLocked : LogClick::kOpenFolder;
    return LogClick::kDownload;
}

}  // namespace admin
