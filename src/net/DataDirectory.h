#pragma once

// The data directory under which every local file of the program lives, and
// the joining of relative names to it.

#include <string>
#include <string_view>

namespace net {

// The environment values the local folders are derived from. Taken as a value
// so that tests can point them at temporary folders.
struct Environment {
    std::string home;           // $HOME
    std::string xdgDataHome;    // $XDG_DATA_HOME, empty when unset
    std::string xdgConfigHome;  // $XDG_CONFIG_HOME, empty when unset
    // A data directory chosen by the user (a profile); when absolute it is
    // used as it is instead of "Palindor" in the application-data folder.
    std::string dataDirectory;

    // Reads the process environment (HOME falls back to the password database).
    static Environment FromProcess();
};

// Longest path DataPath returns; a longer join is refused rather than cut, so
// that a truncated name can never reach a different file.
inline constexpr size_t kMaxDataPath = 1023;

// The per-user application-data folder: $XDG_DATA_HOME, or ~/.local/share.
// Relative XDG values are ignored, as the base-directory convention asks.
// Empty when neither can be determined.
std::string ApplicationDataFolder(const Environment& env);
std::string ConfigFolder(const Environment& env);

// Determines the data directory (the chosen one, else "Palindor" in the
// application-data folder) and creates it, and the folders above it, when missing. A directory that
// cannot be created is not reported: later file operations fail on their own.
// Returns the directory, or an empty text when no folder can be determined.
std::string InitDataDirectory(const Environment& env);

// Joins a relative name ("m.dat", "files/remote/listfolder/listfolder") to the
// data directory with '/', without doubling a trailing separator. Returns an
// empty text (which every file operation refuses) when the directory is empty,
// the result would exceed kMaxDataPath, or the name has a ".." component and
// so could leave the data directory.
std::string DataPath(std::string_view dataDirectory, std::string_view name);

}  // namespace net
