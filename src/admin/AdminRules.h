#pragma once

// The rules of network administration, free of Qt so that the client's
// windows and the local server decide alike: account levels, which of the
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
int LevelFromLogin(bool root, bool administrator);

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

const char* ActionButtonText(int action);
// The question of the "Caution" box asked before the action is sent.
const char* ActionQuestion(int action);

// What an action needs to know of one account.
struct AccountState {
    int level = kRegular;
    bool online = false;
    bool banned = false;
};

// Whether a user of level `ownLevel` may apply `action` to the account.
bool Qualifies(int action, int ownLevel, const AccountState& account);

// Each button is enabled when at least one selected account qualifies.
std::array<bool, kActionCount> EnabledActions(int ownLevel,
                                              const std::vector<AccountState>& selection);

// Where the action file goes, relative to the data folder, and its folders
// from the outermost in.
inline constexpr const char* kActionFolders[] = {"files", "files/local", "files/local/account",
                                                  "files/local/account/manage"};
inline constexpr const char* kActionFile = "files/local/account/manage/listusername";

// One line per account, in the order given. The names are the server's own
// and go back to it only.
std::string ActionFileText(const std::vector<std::string>& usernames);

// The accounts of an action file: its lines without their ends, empty lines
// skipped, a final line without "\n" kept.
std::vector<std::string> ActionFileNames(std::string_view text);

// The folder a log folder's "back" asks for: the path cut at its last "/"
// that is neither its first nor its last character and has no "/" beside it,
// or "/" when there is none.
std::string ParentLogPath(std::string_view path);
// The path of an entry of the folder `current` ("/" at the top).
std::string ChildLogPath(std::string_view current, std::string_view name);
// The label above the entries: "/" at the top, "/%s" elsewhere.
std::string LogPathLabel(std::string_view path);

// A zorvic number as shown: its first three characters, ".", the next four.
std::string FormatZorvicNumber(std::string_view number);

// What a double click on a log entry leads to.
enum class LogClick {
    kNotAdministrator,  // the rights message; nothing sent
    kCancelDownload,    // a log download is running: cancel it
    kOpenFolder,        // request the folder's entries
    kLocked,            // a locked folder: nothing
    kDownload,          // download the file
};
// `kind` is the entry's (1 folder, anything else a file).
LogClick ClassifyLogClick(int ownLevel, bool downloading, int32_t kind, bool locked);

}  // namespace admin
