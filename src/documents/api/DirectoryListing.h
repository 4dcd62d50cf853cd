#pragma once

// A folder listing as the server sends it: the entries (type, size, locked,
// name, modified), how each is decoded and how its sizes and the summary
// line are written. Header-only and free of Qt, so that every window that
// lists a folder of the server's (the document stores, a session's history)
// reads and shows entries the same way.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "net/MessageBuffer.h"

namespace documents {

// Entry types; a listing may also carry 0, which has no defined use: it is
// drawn with the file picture and gets the folder menu, without delete.
inline constexpr int32_t kEntryOther = 0;
inline constexpr int32_t kEntryFolder = 1;
inline constexpr int32_t kEntryFile = 2;

struct CDocumentEntry {
    std::string name;      // UTF-8, 1..50 bytes
    std::string modified;  // the server's text less its last character
    std::string sizeText;
    int32_t size = 0;
    int32_t locked = 0;  // 0 or 1
    int32_t type = kEntryFile;
};

// The limits of an entry's fields.
inline constexpr int32_t kMaxEntryName = 50;
inline constexpr int32_t kMaxModified = 100;

// "%0.2f MB" from 1,048,576 bytes, "%i B" below 1024, "%0.2f KB" between.
inline std::string SizeText(int64_t size) {
    char text[64];
    if (size >= 1048576) {
        std::snprintf(text, sizeof text, "%0.2f MB", static_cast<double>(size) / 1048576.0);
    } else if (size < 1024) {
        std::snprintf(text, sizeof text, "%i B", static_cast<int>(size < INT32_MIN ? INT32_MIN : size));
    } else {
        std::snprintf(text, sizeof text, "%0.2f KB", static_cast<double>(size) / 1024.0);
    }
    return text;
}

// "item" for one entry, "items" for none or several.
inline const char* ItemWord(int64_t count) {
    return count == 1 ? "item" : "items";
}

// The summary line: the number of entries and the sum of their sizes.
inline std::string SummaryText(const std::vector<CDocumentEntry>& entries) {
    int64_t total = 0;
    for (const CDocumentEntry& e : entries) total += e.size;
    const int count = static_cast<int>(entries.size());
    const char* word = ItemWord(count);
    char text[96];
    if (total >= 1048576) {
        std::snprintf(text, sizeof text, "%i %s; %0.2f MB", count, word,
                      static_cast<double>(total) / 1048576.0);
    } else if (total < 1024) {
        std::snprintf(text, sizeof text, "%i %s; %i B", count, word,
                      static_cast<int>(total < INT32_MIN ? INT32_MIN : total));
    } else {
        std::snprintf(text, sizeof text, "%i %s; %0.2f KB", count, word,
                      static_cast<double>(total) / 1024.0);
    }
    return text;
}

// The path label: "/" at the root, "/%s" with the folder's name elsewhere.
inline std::string PathLabel(const std::string& path) {
    if (path == "/") return "/";
    std::string label = "/";
    label += path;
    return label;
}

// The server's modified text is shown without its last character (its line end).
inline std::string ModifiedShown(const std::string& text) {
    return text.empty() ? text : text.substr(0, text.size() - 1);
}

// Reads entries until the end of the message. An entry with a field out of
// range ends the list there; the entries before it stay. Returns whether
// every entry decoded.
inline bool DecodeEntries(net::MessageReader& reader, std::vector<CDocumentEntry>& out) {
    while (!reader.AtEnd()) {
        CDocumentEntry e;
        std::string modified;
        if (!reader.Int(0, 2, e.type) || !reader.Int(-1, -1, e.size) ||
            !reader.Int(0, 1, e.locked) || !reader.Str(1, kMaxEntryName, e.name) ||
            !reader.Str(1, kMaxModified, modified)) {
            return false;
        }
        e.modified = ModifiedShown(modified);
        e.sizeText = SizeText(e.size);
        out.push_back(std::move(e));
    }
    return true;
}

}  // namespace documents
