// Any bytes as the sign-in's local files: the list of numbers and the
// remembered login, read from a file as the program reads them, and the
// login texts unscrambled directly. What is read must be within the limits
// the readers promise.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "signin/LoginFile.h"
#include "signin/NumbersFile.h"

namespace {

std::string ScratchFile() {
    return "/tmp/palindor-signin-fuzz-" + std::to_string(::getpid());
}

bool Put(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = ScratchFile();
    if (!Put(path, data, size)) return 0;
    signin::NumbersList numbers;
    if (signin::ReadNumbersFile(path, numbers)) {
        for (const auto& entry : numbers.entries)
            if (entry.size() > signin::kMaxNumberEntry) __builtin_trap();
        (void)signin::EncodeNumbersFile(numbers.current, numbers.entries);
    }
    signin::RememberedLogin login;
    if (signin::ReadLoginFile(path, login)) {
        if (login.username.size() > signin::kMaxLoginFileText ||
            login.password.size() > signin::kMaxLoginFileText)
            __builtin_trap();
    }
    std::remove(path.c_str());
    const std::string text(reinterpret_cast<const char*>(data), size);
    (void)signin::UnscrambleLoginText(text);
    (void)signin::ScrambleLoginText(text);
    return 0;
}
