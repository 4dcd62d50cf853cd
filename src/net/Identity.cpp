#include "net/Identity.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

namespace net {

namespace {

// Reads the value file; false when it is not a readable file or holds more
// than the reader's room (the identity and a terminator).
bool ReadValue(const std::string& path, std::string& out) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return false;
    }
    char buffer[kMaxIdentity + 2];
    size_t n = 0;
    bool ok = true;
    while (n < sizeof buffer) {
        const ssize_t got = read(fd, buffer + n, sizeof buffer - n);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) ok = false;
        if (got <= 0) break;
        n += static_cast<size_t>(got);
    }
    close(fd);
    if (!ok || n > kMaxIdentity + 1) return false;
    std::string value(buffer, n);
    const size_t nul = value.find('\0');
    if (nul != std::string::npos) {
        value.resize(nul);
    } else if (value.size() > kMaxIdentity) {
        return false;  // no room left for the terminator
    }
    out = value;
    return true;
}

// Writes beside the value and renames over it, so that an interrupted write
// never leaves a cut identity behind.
void WriteValue(const std::string& folder, const std::string& path, const std::string& value) {
    const std::string temp = folder + "/.qxvguid.tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) return;
        out.write(value.data(), static_cast<std::streamsize>(value.size()));
        out.flush();
        if (!out) {
            out.close();
            std::remove(temp.c_str());
            return;
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) std::remove(temp.c_str());
}

}  // namespace

std::string NewGuidText() {
    std::random_device device;
    uint8_t bytes[16];
    for (size_t i = 0; i < sizeof bytes; i += 4) {
        const uint32_t r = device();
        for (size_t k = 0; k < 4; ++k) bytes[i + k] = static_cast<uint8_t>(r >> (8 * k));
    }
    bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    char text[37];
    std::snprintf(text, sizeof text,
                  "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", bytes[0],
                  bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8],
                  bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
    return text;
}

std::string IdentityKeyFolder(const Environment& env) {
    const std::string config = ConfigFolder(env);
    if (config.empty()) return {};
    return config.back() == '/' ? config + "QXV" : config + "/QXV";
}

std::string IdentityValueFile(const Environment& env) {
    const std::string folder = IdentityKeyFolder(env);
    return folder.empty() ? std::string() : folder + "/qxvguid";
}

std::string LoadIdentity(const Environment& env) {
    const std::string folder = IdentityKeyFolder(env);
    if (folder.empty()) return kIdentityCreateError;

    std::error_code ec;
    std::filesystem::create_directories(ConfigFolder(env), ec);
    bool created = false;
    if (mkdir(folder.c_str(), 0700) == 0) {
        created = true;
    } else if (errno != EEXIST) {
        return kIdentityCreateError;
    }
    // The key is opened for reading and writing: a folder we cannot use that
    // way (or a file in its place) fails like a key that cannot be opened.
    struct stat st {};
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
        access(folder.c_str(), R_OK | W_OK | X_OK) != 0) {
        return kIdentityCreateError;
    }

    const std::string path = folder + "/qxvguid";
    if (created) {
        std::string identity = NewGuidText();
        WriteValue(folder, path, identity);
        return identity;
    }
    std::string identity;
    if (!ReadValue(path, identity)) return kIdentityReadError;
    // A blank value identifies nobody: the servers would take it at login and
    // refuse it at account creation.
    if (identity.find_first_not_of(" \t\r\n\v\f") == std::string::npos) return kIdentityReadError;
    return identity;
}

}  // namespace net
