#include "signin/LoginFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "net/LocalFile.h"

namespace signin {

using net::File;
using net::PutU32;
using net::ReadU32;
namespace {

// Reads one length-prefixed text, keeping its first kMaxLoginFileText bytes
// and stepping over the rest so that the next field is read from its place.
bool ReadText(FILE* f, std::string& out) {
    uint32_t length = 0;
    if (!ReadU32(f, length)) return false;
    const size_t kept = length < kMaxLoginFileText ? length : kMaxLoginFileText;
    std::string text(kept, '\0');
    if (kept > 0 && std::fread(text.data(), 1, kept, f) != kept) return false;
    if (length > kept) {
        if (std::fseek(f, long(length - kept), SEEK_CUR) != 0) return false;
    }
    out = UnscrambleLoginText(text);
    return true;
}

}  // namespace

std::string ScrambleLoginText(const std::string& text) {
    std::string out(text);
    for (size_t i = 0; i < out.size(); ++i) {
        out[i] = char(uint8_t(uint8_t(out[i]) + i + 15));
    }
    return out;
}

std::string UnscrambleLoginText(const std::string& stored) {
    std::string out(stored);
    for (size_t i = 0; i < out.size(); ++i) {
        out[i] = char(uint8_t(uint8_t(out[i]) - i - 15));
    }
    return out;
}

std::string EncodeLoginFile(const RememberedLogin& login) {
    std::string bytes;
    PutU32(bytes, uint32_t(login.username.size()));
    bytes += ScrambleLoginText(login.username);
    PutU32(bytes, uint32_t(login.password.size()));
    bytes += ScrambleLoginText(login.password);
    return bytes;
}

bool ReadLoginFile(const std::string& path, RememberedLogin& out) {
    if (path.empty()) return false;
    File f(std::fopen(path.c_str(), "rb"));
    if (!f) return false;
    RememberedLogin login;
    if (!ReadText(f.get(), login.username) || !ReadText(f.get(), login.password)) return false;
    out = std::move(login);
    return true;
}

bool WriteLoginFile(const std::string& path, const RememberedLogin& login) {
    if (path.empty()) return false;
    // The file holds a password: owner only, also when an older file with a
    // wider mode is replaced.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool ok = ::fchmod(fd, 0600) == 0;
    const std::string bytes = EncodeLoginFile(login);
    size_t done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        done += size_t(n);
    }
    if (::close(fd) != 0) ok = false;
    return ok;
}

bool DeleteLoginFile(const std::string& path) {
    if (path.empty()) return false;
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

}  // namespace signin
