#include "net/DataDirectory.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace net {

namespace {

std::string Getenv(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

bool IsAbsolute(const std::string& path) {
    return !path.empty() && path.front() == '/';
}

std::string JoinFolder(const std::string& base, const char* rest) {
    if (base.empty()) return {};
    if (base.back() == '/') return base + rest;
    return base + "/" + rest;
}

bool HasParentComponent(std::string_view name) {
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of("/\\", start);
        if (end == std::string_view::npos) end = name.size();
        if (name.substr(start, end - start) == "..") return true;
        start = end + 1;
    }
    return false;
}

}  // namespace

Environment Environment::FromProcess() {
    Environment env;
    env.home = Getenv("HOME");
    if (env.home.empty()) {
        long size = sysconf(_SC_GETPW_R_SIZE_MAX);
        std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
        passwd pw{};
        passwd* result = nullptr;
        if (getpwuid_r(getuid(), &pw, buffer.data(), buffer.size(), &result) == 0 && result &&
            result->pw_dir) {
            env.home = result->pw_dir;
        }
    }
    env.xdgDataHome = Getenv("XDG_DATA_HOME");
    env.xdgConfigHome = Getenv("XDG_CONFIG_HOME");
    return env;
}

std::string ApplicationDataFolder(const Environment& env) {
    if (IsAbsolute(env.xdgDataHome)) return env.xdgDataHome;
    if (!IsAbsolute(env.home)) return {};
    return JoinFolder(env.home, ".local/share");
}

std::string ConfigFolder(const Environment& env) {
    if (IsAbsolute(env.xdgConfigHome)) return env.xdgConfigHome;
    if (!IsAbsolute(env.home)) return {};
    return JoinFolder(env.home, ".config");
}

std::string InitDataDirectory(const Environment& env) {
    if (IsAbsolute(env.dataDirectory)) {
        std::error_code ec;
        std::filesystem::create_directories(env.dataDirectory, ec);
        return env.dataDirectory;
    }
    const std::string appData = ApplicationDataFolder(env);
    if (appData.empty()) return {};
    std::error_code ec;
    std::filesystem::create_directories(appData, ec);
    const std::string dir = JoinFolder(appData, "Palindor");
    std::filesystem::create_directory(dir, ec);
    return dir;
}

std::string DataPath(std::string_view dataDirectory, std::string_view name) {
    if (dataDirectory.empty() || HasParentComponent(name)) return {};
    std::string path(dataDirectory);
    if (path.back() != '/') path += '/';
    path += name;
    if (path.size() > kMaxDataPath) return {};
    return path;
}

}  // namespace net
