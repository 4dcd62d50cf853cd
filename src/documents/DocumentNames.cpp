#include "documents/DocumentNames.h"

namespace documents {

namespace {

constexpr size_t kTooLongName = 50;   // bytes, in the name windows
constexpr size_t kMaxUploadName = 50;  // characters, in the upload window

// Characters of a UTF-8 text (continuation bytes are not counted).
size_t Characters(const std::string& utf8) {
    size_t n = 0;
    for (const char c : utf8) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    }
    return n;
}

bool AllAllowed(const std::string& text) {
    for (const char c : text) {
        if (!AllowedNameChar(c)) return false;
    }
    return true;
}

}  // namespace

bool Alphanumeric(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

bool AllowedNameChar(char c) {
    return Alphanumeric(c) || c == '.' || c == '~' || c == '-' || c == '_';
}

std::string CheckName(NameWindow window, const std::string& utf8,
                      const std::vector<CDocumentEntry>& entries) {
    const bool folder = window != NameWindow::RenameFile;
    const int32_t type = folder ? kEntryFolder : kEntryFile;
    for (const CDocumentEntry& e : entries) {
        if (e.type == type && e.name == utf8) {
            return folder ? "A folder with that name already exists"
                          : "A file with that name already exists";
        }
    }
    if (utf8.empty()) {
        switch (window) {
            case NameWindow::NewFolder:
                return "Please specify a name for the new folder";
            case NameWindow::RenameFolder:
                return "Please specify a new folder name";
            case NameWindow::RenameFile:
                return "Please specify a new filename";
        }
    }
    if (utf8.size() >= kTooLongName) return "Name is too long";
    if (!AllAllowed(utf8)) {
        return folder ? "Invalid character in folder name; only letters, numbers, and the "
                        "characters '.' '~' '-' and '_' are allowed"
                      : "Invalid character in filename; only letters, numbers, and the "
                        "characters '.' '~' '-' and '_' are allowed";
    }
    if (!Alphanumeric(utf8.front())) {
        return folder ? "The remote folder name must start with an alphanumeric character "
                        "(letters and numbers)"
                      : "The remote file name must start with an alphanumeric character "
                        "(letters and numbers)";
    }
    return {};
}

std::string CheckUpload(const std::string& localPath, const std::string& remoteUtf8) {
    if (localPath.empty()) return "Please specify a file to upload";
    if (remoteUtf8.empty()) return "Please specify a remote filename";
    if (Characters(remoteUtf8) > kMaxUploadName) return "Remote filename is too long";
    if (!Alphanumeric(remoteUtf8.front())) {
        return "The remote file name must start with an alphanumeric character (letters and "
               "numbers)";
    }
    if (!AllAllowed(remoteUtf8)) {
        return "Invalid character in remote filename; can only have letters, numbers, '.' '~' "
               "'_' and '-'";
    }
    return {};
}

std::string ProposedRemoteName(const std::string& localPathUtf8) {
    const size_t slash = localPathUtf8.find_last_of('/');
    const std::string base =
        slash == std::string::npos ? localPathUtf8 : localPathUtf8.substr(slash + 1);
    std::string out;
    for (const char c : base) {
        if (AllowedNameChar(c)) out.push_back(c);
    }
    if (out.empty() || !Alphanumeric(out.front())) out.insert(out.begin(), 'x');
    return out;
}

std::string ProposedSaveName(const std::string& remoteUtf8) {
    const size_t cut = remoteUtf8.find_last_of("/\\");
    std::string name = cut == std::string::npos ? remoteUtf8 : remoteUtf8.substr(cut + 1);
    std::string plain;
    for (const char c : name) {
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7f) plain.push_back(c);
    }
    while (!plain.empty() && plain.front() == '.') plain.erase(plain.begin());
    if (plain.empty()) return "document";
    if (plain.size() <= kMaxSaveNameBytes) return plain;
    // Too long for a file system's name: the stem is cut, the extension
    // kept unless it alone is too long to leave room for any stem.
    const size_t dot = plain.find_last_of('.');
    std::string extension = dot == std::string::npos ? std::string() : plain.substr(dot);
    if (extension.size() > kMaxSaveNameBytes / 2) extension.clear();
    std::string stem = plain.substr(0, plain.size() - extension.size());
    size_t keep = kMaxSaveNameBytes - extension.size();
    // Back to the start of a character: never half a UTF-8 sequence.
    while (keep > 0 && (static_cast<unsigned char>(stem[keep]) & 0xC0) == 0x80) --keep;
    stem.resize(keep);
    return (stem.empty() ? std::string("document") : stem) + extension;
}

std::string CheckPassword(int characters) {
    if (characters <= 0) return "Please type a password";
    if (characters > kMaxPassword) return "Password must not be more than 15 characters in length";
    return {};
}

std::vector<std::string> MoveDestinations(const std::string& path,
                                          const std::vector<CDocumentEntry>& entries) {
    std::vector<std::string> out;
    if (path != "/") {
        out.push_back("/");
        return out;
    }
    for (const CDocumentEntry& e : entries) {
        if (e.type == kEntryFolder) out.push_back(e.name);
    }
    return out;
}

}  // namespace documents
