#include "admin/AdminRules.h"

namespace admin {

int LevelFromLogin(bool root, bool administrator) {
    if (root) return kRoot;
    return administrator ? kAdmin : kRegular;
}

const char* ActionButtonText(int action) {
    static constexpr const char* kTexts[kActionCount] = {"Promote", "Demote", "Disconnect",
                                                         "Delete",  "Ban",    "Undo Ban"};
    return action >= 0 && action < kActionCount ? kTexts[action] : "";
}

const char* ActionQuestion(int action) {
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

bool Qualifies(int action, int ownLevel, const AccountState& account) {
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

std::array<bool, kActionCount> EnabledActions(int ownLevel,
                                              const std::vector<AccountState>& selection) {
    std::array<bool, kActionCount> enabled{};
    for (const AccountState& account : selection) {
        for (int action = 0; action < kActionCount; ++action) {
            if (Qualifies(action, ownLevel, account)) enabled[static_cast<size_t>(action)] = true;
        }
    }
    return enabled;
}

std::string ActionFileText(const std::vector<std::string>& usernames) {
    std::string text;
    for (const std::string& name : usernames) {
        text += name;
        text += '\n';
    }
    return text;
}

std::vector<std::string> ActionFileNames(std::string_view text) {
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

std::string ParentLogPath(std::string_view path) {
    const size_t n = path.size();
    for (size_t i = n; i-- > 0;) {
        if (path[i] != '/') continue;
        if (i == 0 || i + 1 == n) continue;
        if (path[i - 1] == '/' || path[i + 1] == '/') continue;
        return std::string(path.substr(0, i));
    }
    return "/";
}

std::string ChildLogPath(std::string_view current, std::string_view name) {
    if (current.empty() || current == "/") return std::string(name);
    std::string path(current);
    path += '/';
    path += name;
    return path;
}

std::string LogPathLabel(std::string_view path) {
    if (path.empty() || path == "/") return "/";
    return "/" + std::string(path);
}

std::string FormatZorvicNumber(std::string_view number) {
    std::string text(number.substr(0, 3));
    text += '.';
    if (number.size() > 3) text += number.substr(3, 4);
    return text;
}

LogClick ClassifyLogClick(int ownLevel, bool downloading, int32_t kind, bool locked) {
    if (!MayAdminister(ownLevel)) return LogClick::kNotAdministrator;
    if (downloading) return LogClick::kCancelDownload;
    if (kind == 1) return locked ? LogClick::kLocked : LogClick::kOpenFolder;
    return LogClick::kDownload;
}

}  // namespace admin
