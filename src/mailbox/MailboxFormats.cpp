#include "mailbox/MailboxFormats.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>
#include <utility>

namespace mailbox {

namespace {

std::string Format(const char* format, auto... args) {
    char buffer[160];
    const int n = std::snprintf(buffer, sizeof buffer, format, args...);
    if (n < 0) return {};
    if (static_cast<size_t>(n) < sizeof buffer) return std::string(buffer, static_cast<size_t>(n));
    std::string big(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(big.data(), big.size(), format, args...);
    big.resize(static_cast<size_t>(n));
    return big;
}

// The next field up to a single space, and what follows that space.
std::string_view NextField(std::string_view& rest) {
    const size_t space = rest.find(' ');
    if (space == std::string_view::npos) {
        const std::string_view field = rest;
        rest = {};
        return field;
    }
    const std::string_view field = rest.substr(0, space);
    rest.remove_prefix(space + 1);
    return field;
}

unsigned char Lower(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

}  // namespace

CMailboxFolder::CMailboxFolder(std::string key, int32_t unread, std::string name, int32_t rootType)
    : key_(CutText(key, kMaxFolderKey)),
      name_(CutText(name, kMaxFolderName)),
      rootType_(rootType) {
    SetUnread(unread);
}

void CMailboxFolder::SetUnread(int32_t unread) {
    unread_ = std::max(unread, 0);
    unreadText_ = std::to_string(unread_);
    displayText_ = unread_ > 0 ? Format("%s (%i)", name_.c_str(), unread_) : name_;
}

const CMailboxFolder* FolderList::Find(int32_t rootType, std::string_view key) const {
    if (rootType < 0 || rootType >= kRootCount) return nullptr;
    for (const CMailboxFolder& f : roots[static_cast<size_t>(rootType)]) {
        if (f.Key() == key) return &f;
    }
    return nullptr;
}

CMailboxFolder* FolderList::Find(int32_t rootType, std::string_view key) {
    return const_cast<CMailboxFolder*>(std::as_const(*this).Find(rootType, key));
}

int64_t FolderList::UnreadSum() const {
    int64_t sum = 0;
    for (const auto& root : roots) {
        for (const CMailboxFolder& f : root) sum += f.Unread();
    }
    return sum;
}

std::vector<std::string_view> SplitLines(std::string_view bytes, size_t maxLength) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        const bool ended = end != std::string_view::npos;
        if (!ended) end = bytes.size();
        lines.push_back(bytes.substr(start, std::min(end - start, maxLength)));
        start = ended ? end + 1 : end;
    }
    return lines;
}

std::string CutText(std::string_view text, size_t maxBytes) {
    if (text.size() <= maxBytes) return std::string(text);
    // A cut inside a character moves back to its lead byte, at most three
    // bytes; stray continuation bytes (not UTF-8) are cut where they fall.
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    size_t n = maxBytes;
    if ((byte(n) & 0xC0) == 0x80) {
        for (size_t k = n; k > 0 && n - k < 3; --k) {
            if ((byte(k - 1) & 0xC0) == 0xC0) {
                n = k - 1;
                break;
            }
            if ((byte(k - 1) & 0xC0) != 0x80) break;
        }
    }
    return std::string(text.substr(0, n));
}

int32_t LeadingInt(std::string_view text) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        // Clamp rather than overflow; such a number is no count anyway.
        if (value > int64_t(std::numeric_limits<int32_t>::max()) + 1) {
            value = int64_t(std::numeric_limits<int32_t>::max()) + 1;
        }
    }
    if (negative) value = -value;
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

bool WholeInt(std::string_view text, int32_t& out) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return false;
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
        if (value > int64_t(std::numeric_limits<int32_t>::max()) + 1) return false;
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<int32_t>::max()) return false;
    out = static_cast<int32_t>(value);
    return true;
}

FolderList ParseFolderList(std::string_view bytes) {
    FolderList list;
    int32_t root = kRootInbox;
    for (std::string_view line : SplitLines(bytes, kFolderLineLength)) {
        if (line == kInboxMarker) {
            root = kRootInbox;
            continue;
        }
        if (line == kOutboxMarker) {
            root = kRootOutbox;
            continue;
        }
        if (line == kSessionsMarker) {
            root = kRootSessions;
            continue;
        }
        if (line.empty()) continue;
        std::string_view rest = line;
        const std::string_view key = NextField(rest);
        const int32_t unread = LeadingInt(NextField(rest));
        CMailboxFolder folder(std::string(key), unread, std::string(rest), root);
        list.unreadTotal += folder.Unread();
        list.roots[static_cast<size_t>(root)].push_back(std::move(folder));
    }
    return list;
}

bool ParseMessageLine(std::string_view line, CMailboxMessage& out) {
    std::string_view rest = line;
    CMailboxMessage m;
    if (!WholeInt(NextField(rest), m.number)) return false;
    if (!WholeInt(NextField(rest), m.attachment)) return false;
    if (!WholeInt(NextField(rest), m.unread)) return false;
    const std::string_view sender = NextField(rest);
    if (sender.empty()) return false;
    if (!WholeInt(NextField(rest), m.sentTime)) return false;
    m.sender = CutText(sender, kMaxSender);
    m.subject = CutText(rest, kMaxSubject);
    m.fromText = m.sender;
    m.subjectText = m.subject;
    m.dateText = DateText(m.sentTime);
    out = std::move(m);
    return true;
}

MessageListResult ParseMessageList(std::string_view bytes, std::vector<CMailboxMessage>& out) {
    for (std::string_view line : SplitLines(bytes, kMessageLineLength)) {
        if (line.empty()) continue;
        CMailboxMessage m;
        if (!ParseMessageLine(line, m)) return MessageListResult::Corrupt;
        out.push_back(std::move(m));
    }
    return MessageListResult::Read;
}

std::string DateText(int32_t sentTime) {
    const std::time_t t = sentTime;
    std::tm local{};
    if (localtime_r(&t, &local) == nullptr) return {};
    const int hour = local.tm_hour;
    const int hour12 = hour % 12 == 0 ? 12 : hour % 12;
    return Format("%i:%02i %s %i/%02i/%i", hour12, local.tm_min, hour < 12 ? "AM" : "PM",
                  local.tm_mon + 1, local.tm_mday, local.tm_year + 1900);
}

bool ReadWholeFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    out = std::move(buffer).str();
    return true;
}

std::string OperationFileText(int32_t operation, int32_t rootType, std::string_view folderKey,
                              std::string_view destination,
                              const std::vector<const CMailboxMessage*>& messages) {
    std::string text = Format("%i\n", operation);
    text += Format("%i\n", rootType);
    text += Format("%s\n", std::string(folderKey).c_str());
    if (operation == kOpMove) text += Format("%s\n", std::string(destination).c_str());
    for (const CMailboxMessage* m : messages) {
        text += Format("%06i %06i %i %s\n", m->number, m->attachment, m->unread, m->sender.c_str());
    }
    return text;
}

int CompareText(std::string_view a, std::string_view b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const unsigned char ca = Lower(static_cast<unsigned char>(a[i]));
        const unsigned char cb = Lower(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

void SortMessages(std::vector<CMailboxMessage>& messages, int column, int direction) {
    // Rows are heavy to move and their texts live all over the heap: sort
    // their places by keys gathered into one block (texts lowered once, so
    // that comparing them is comparing bytes), then move each row once.
    const size_t n = messages.size();
    std::vector<uint32_t> order(n);
    for (uint32_t i = 0; i < n; ++i) order[i] = i;
    const auto sortBy = [&](auto less) {
        if (direction == 0) {
            std::stable_sort(order.begin(), order.end(), less);
        } else {
            std::stable_sort(order.begin(), order.end(),
                             [&](uint32_t a, uint32_t b) { return less(b, a); });
        }
    };
    if (column == kSortFrom || column == kSortSubject) {
        std::string block;
        std::vector<std::pair<uint32_t, uint32_t>> keys(n);
        for (size_t i = 0; i < n; ++i) {
            const std::string& text =
                column == kSortFrom ? messages[i].fromText : messages[i].subjectText;
            keys[i] = {static_cast<uint32_t>(block.size()), static_cast<uint32_t>(text.size())};
            for (unsigned char c : text) block.push_back(static_cast<char>(Lower(c)));
        }
        const char* base = block.data();
        sortBy([&](uint32_t a, uint32_t b) {
            const auto [oa, la] = keys[a];
            const auto [ob, lb] = keys[b];
            const int c = std::memcmp(base + oa, base + ob, std::min(la, lb));
            return c != 0 ? c < 0 : la < lb;
        });
    } else {
        std::vector<int32_t> times(n);
        for (size_t i = 0; i < n; ++i) times[i] = messages[i].sentTime;
        sortBy([&](uint32_t a, uint32_t b) { return times[a] < times[b]; });
    }
    std::vector<CMailboxMessage> sorted;
    sorted.reserve(n);
    for (uint32_t i : order) sorted.push_back(std::move(messages[i]));
    messages = std::move(sorted);
}

std::string CheckNewFolder(int typeIndex, std::string_view nameUtf8) {
    if (typeIndex != kRootInbox && typeIndex != kRootOutbox) {
        return "Please select either Inbox or Outbox from the folder type";
    }
    if (nameUtf8.empty()) return "Please type a folder name";
    size_t characters = 0;
    for (unsigned char c : nameUtf8) characters += (c & 0xC0) != 0x80 ? 1 : 0;
    if (characters > kMaxNewFolderName) {
        return "Folder name is too long; it may be at most 16 characters in length";
    }
    for (unsigned char c : nameUtf8) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                        (c >= '0' && c <= '9') || c == '_' || c == '-';
        if (!ok) return "Folder name may contain only letters, numbers, and '_' '-'";
    }
    return {};
}

}  // namespace mailbox
