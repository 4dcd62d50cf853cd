#include "signin/NumbersFile.h"

#include <cstdint>
#include <cstdio>
#include <memory>

#include "net/LocalFile.h"

namespace signin {

using net::File;
using net::PutU32;
using net::ReadU32;
namespace {

// One length-prefixed text; refuses a length beyond the entry limit so that a
// damaged count can never make us allocate or read without bound.
bool ReadText(FILE* f, std::string& out) {
    uint32_t length = 0;
    if (!ReadU32(f, length) || length > kMaxNumberEntry) return false;
    std::string text(length, '\0');
    if (length > 0 && std::fread(text.data(), 1, length, f) != length) return false;
    out = std::move(text);
    return true;
}

void PutText(std::string& out, const std::string& text) {
    PutU32(out, uint32_t(text.size()));
    out += text;
}

}  // namespace

bool ReadNumbersFile(const std::string& path, NumbersList& out) {
    out = NumbersList{};
    if (path.empty()) return false;
    File f(std::fopen(path.c_str(), "rb"));
    if (!f) return false;
    if (!ReadText(f.get(), out.current)) return false;
    uint32_t count = 0;
    if (!ReadU32(f.get(), count)) return true;
    for (uint32_t i = 0; i < count; ++i) {
        std::string entry;
        if (!ReadText(f.get(), entry)) break;
        out.entries.push_back(std::move(entry));
    }
    return true;
}

std::string EncodeNumbersFile(const std::string& validated, const std::vector<std::string>& list) {
    std::string bytes;
    PutText(bytes, validated);
    // Count what is actually written, so that the count always matches the
    // entries even if the list held the validated number more than once.
    uint32_t count = 0;
    for (const auto& entry : list) count += entry != validated ? 1 : 0;
    PutU32(bytes, count);
    for (const auto& entry : list) {
        if (entry != validated) PutText(bytes, entry);
    }
    return bytes;
}

bool WriteNumbersFile(const std::string& path, const std::string& validated,
                      const std::vector<std::string>& list) {
    if (path.empty()) return false;
    File f(std::fopen(path.c_str(), "wb"));
    if (!f) return false;
    const std::string bytes = EncodeNumbersFile(validated, list);
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
    return std::fclose(f.release()) == 0 && ok;
}

}  // namespace signin
