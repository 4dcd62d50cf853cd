// Field decoding for --fields: the families whose messages the protocol core
// names, read with the same bounds the client applies to what it receives.
// Fields of client messages have no bounds of their own here beyond fitting
// in the message.

#include <cstdio>

#include "Dump.h"
#include "net/Protocol.h"

namespace zdump {

namespace {

using namespace net;

// A message nested in an envelope is expanded this deep, no deeper.
constexpr int kMaxNesting = 4;

std::string Quote(std::span<const uint8_t> bytes) {
    std::string out = "\"";
    for (size_t i = 0; i < bytes.size(); ++i) {
        const uint8_t c = bytes[i];
        // Whole UTF-8 sequences pass as they are; stray bytes are escaped.
        int follow = c >= 0xC2 && c <= 0xDF ? 1 : c >= 0xE0 && c <= 0xEF ? 2 : c >= 0xF0 && c <= 0xF4 ? 3 : 0;
        bool sequence = follow > 0 && i + static_cast<size_t>(follow) < bytes.size();
        for (int k = 1; sequence && k <= follow; ++k) sequence = (bytes[i + static_cast<size_t>(k)] & 0xC0) == 0x80;
        if (sequence) {
            out.append(reinterpret_cast<const char*>(bytes.data() + i), static_cast<size_t>(follow) + 1);
            i += static_cast<size_t>(follow);
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\x%02x", c);
            out += esc;
        }
    }
    return out + "\"";
}

std::string Range(int32_t min, int32_t max) {
    return (min == -1 ? std::string("any") : std::to_string(min)) + ".." +
           (max == -1 ? std::string("any") : std::to_string(max));
}

// Reads fields from offset 40 on (payload index 4), writing "name=value"
// items and stopping at the first field that fails, as a handler does.
class Fields {
public:
    // Fields start at payload index 4, after the message code.
    explicit Fields(std::span<const uint8_t> payload, size_t at = 4) : p_(payload), at_(at) {}

    bool Int(const char* name, int32_t min = -1, int32_t max = -1, int32_t* out = nullptr) {
        int32_t value = 0;
        if (!Load(name, value)) return false;
        if ((min != -1 && value < min) || (max != -1 && value > max)) {
            return Fail(std::string(name) + ": " + std::to_string(value) + " outside " + Range(min, max));
        }
        Add(name, std::to_string(value));
        if (out) *out = value;
        return true;
    }

    bool Str(const char* name, int32_t min = -1, int32_t max = -1) {
        int32_t n = 0;
        if (!Load(name, n)) return false;
        if ((min != -1 && n < min) || (max != -1 && n > max) || n < 0) {
            return Fail(std::string(name) + ": count " + std::to_string(n) + " outside " +
                        Range(min < 0 ? 0 : min, max));
        }
        if (static_cast<size_t>(n) > p_.size() - at_) {
            return Fail(std::string(name) + ": " + std::to_string(n) + " bytes run past the end of the message");
        }
        const auto bytes = p_.subspan(at_, static_cast<size_t>(n));
        at_ += static_cast<size_t>(n);
        Add(name, Quote(bytes));
        return true;
    }

    // Unframed bytes to the end of the message (file data).
    void Bytes(const char* name) {
        Add(name, std::to_string(p_.size() - at_));
        at_ = p_.size();
    }

    std::span<const uint8_t> Rest() const { return p_.subspan(at_); }
    std::span<const uint8_t> Payload() const { return p_; }
    size_t At() const { return at_; }
    void SetAt(size_t at) { at_ = at; }
    const std::string& Items() const { return text_; }
    bool More() const { return at_ < p_.size(); }
    void Skip() { at_ = p_.size(); }

    // The line; bytes that no field took are counted.
    std::string Line() {
        if (!failed_ && at_ < p_.size()) Add("extra_bytes", std::to_string(p_.size() - at_));
        return text_.empty() ? std::string() : "  " + text_;
    }

private:
    bool Load(const char* name, int32_t& value) {
        if (failed_) return false;
        if (p_.size() - at_ < 4) {
            return Fail(std::string(name) + ": the message ends at offset " +
                        std::to_string(kHeaderSize + p_.size()));
        }
        const uint8_t* q = p_.data() + at_;
        value = static_cast<int32_t>((uint32_t{q[0]} << 24) | (uint32_t{q[1]} << 16) | (uint32_t{q[2]} << 8) | q[3]);
        at_ += 4;
        return true;
    }
    bool Fail(const std::string& why) {
        failed_ = true;
        Add("error", Quote({reinterpret_cast<const uint8_t*>(why.data()), why.size()}));
        return false;
    }
    void Add(const char* name, const std::string& value) {
        if (!text_.empty()) text_ += ' ';
        text_ += name;
        text_ += '=';
        text_ += value;
    }

    std::span<const uint8_t> p_;
    size_t at_;
    bool failed_ = false;
    std::string text_;
};

// The request fields after the file size (uploads) or after the code
// (downloads), by slot, as the transfer table lists them. 'i' integer,
// 's' string, 'S' string that may be left out, 'r' the rest unframed.
struct RequestField {
    char kind;
    const char* name;
};
struct RequestShape {
    int slot;
    std::vector<RequestField> fields;
};

const std::vector<RequestShape>& UploadShapes() {
    static const std::vector<RequestShape> shapes = {
        {0, {{'s', "folder"}, {'s', "name"}}},
        {2, {{'i', "page"}}},
        {6, {{'r', "poll_field_bytes"}}},
        {9, {{'s', "text1"}, {'s', "text2"}, {'i', "int1"}, {'i', "int2"}}},
        {14, {{'i', "int1"}}},
        {17, {}},
        {18, {{'s', "text1"}}},
        {19, {{'s', "text1"}}},
        {21, {}},
    };
    return shapes;
}

const std::vector<RequestShape>& DownloadShapes() {
    static const std::vector<RequestShape> shapes = {
        {1, {{'s', "owner"}, {'s', "folder"}, {'s', "name"}, {'S', "password"}}},
        {3, {{'s', "account"}, {'i', "page"}, {'i', "int1"}}},
        {5, {{'s', "text1"}, {'s', "text2"}, {'s', "text3"}}},
        {7, {{'s', "session"}, {'s', "owner"}, {'i', "poll"}, {'i', "modify"}}},
        {8, {{'s', "session"}, {'i', "refresh"}}},
        {10, {{'s', "text1"}, {'s', "text2"}, {'i', "int1"}}},
        {11, {{'s', "text1"}}},
        {12, {{'s', "text1"}, {'s', "text2"}}},
        {13, {{'i', "zero"}}},
        {15, {{'i', "zero"}}},
        {16, {{'i', "zero"}, {'i', "int1"}, {'s', "text1"}}},
        {20, {{'i', "zero"}}},
        {22, {{'i', "int1"}, {'s', "text1"}, {'s', "text2"}, {'i', "int2"}, {'i', "int3"}, {'i', "zero"}}},
        {23, {{'s', "text1"}, {'i', "int1"}, {'i', "int2"}, {'i', "zero"}}},
        {24, {{'s', "text1"}, {'i', "int1"}, {'i', "int2"}, {'i', "zero"}}},
    };
    return shapes;
}

void Request(Fields& f, const std::vector<RequestShape>& shapes, int slot) {
    for (const RequestShape& shape : shapes) {
        if (shape.slot != slot) continue;
        for (const RequestField& field : shape.fields) {
            bool ok = true;
            switch (field.kind) {
                case 'i': ok = f.Int(field.name); break;
                case 's': ok = f.Str(field.name); break;
                case 'S': ok = !f.More() || f.Str(field.name); break;
                default: f.Bytes(field.name); break;
            }
            if (!ok) return;
        }
        return;
    }
}

std::vector<std::string> Describe(int32_t primary, int32_t secondary, std::span<const uint8_t> payload,
                                  int depth);

// Returns false for a message this tool does not know.
bool DescribeInto(int32_t primary, int32_t secondary, int32_t code, Fields& f,
                  std::vector<std::string>& extra, int depth) {
    const bool fromClient = secondary == +Secondary::Message;
    const bool response = secondary == +Secondary::Response;
    const bool notification = secondary == +Secondary::Notification;
    switch (static_cast<Primary>(primary)) {
        case Primary::Control:
            if (fromClient && code == control::kKeepAlive) return true;
            if (fromClient && code == control::kCancelTransfer) return f.Int("slot"), true;
            if (notification && code == control::kNotifyDisconnect) {
                f.Int("original_primary") && f.Int("original_secondary") && f.Int("response_code") &&
                    f.Str("response_text", 1, 512);
                return true;
            }
            return false;
        case Primary::Login:
            if (fromClient && code == login::kLogin) {
                f.Int("version") && f.Str("number") && f.Int("reserved") && f.Str("username") &&
                    f.Str("password") && f.Str("identity");
                return true;
            }
            // Only the network server's answer carries the rights.
            if (response && code == login::kLoginOK) {
                if (f.More()) f.Int("administrator", 0, 1) && f.Int("root", 0, 1);
                return true;
            }
            return false;
        case Primary::Upload:
            if (fromClient) {
                const int32_t slot = transferslot::ForUpload(code);
                if (slot < 0) return false;
                if (f.Int("size")) Request(f, UploadShapes(), slot);
                return true;
            }
            if (!response) return false;
            if (code == upload::kGoAhead) {
                int32_t slot = -1;
                if (f.Int("slot", 0, -1, &slot) && slot == transferslot::kPollUploadSlot) f.Int("poll_value", 0, 9999);
                return true;
            }
            if (code == upload::kChunk) {
                if (f.Int("slot")) f.Bytes("bytes");
                return true;
            }
            if (code == upload::kPollStored) return true;
            for (const int32_t refusal :
                 {upload::kRefusedInvalidDirectory, upload::kRefusedInvalidFilename, upload::kRefusedFileTooLarge,
                  upload::kRefusedFilesQuota, upload::kRefusedNoSpace, upload::kRefusedNotepadTooLarge,
                  upload::kRefusedPollDirectoryFull, upload::kRefusedPollTooLarge,
                  upload::kRefusedTooManyAttachments, upload::kRefusedAttachmentSpace}) {
                if (code == refusal) return f.Str("details", 1, 512), true;
            }
            return false;
        case Primary::Download:
            if (fromClient) {
                const int32_t slot = transferslot::ForDownload(code);
                if (slot < 0) return false;
                Request(f, DownloadShapes(), slot);
                return true;
            }
            if (!response) return false;
            if (code == download::kStart || code == download::kData) {
                int32_t slot = -1;
                if (!f.Int("slot", 0, 24, &slot)) return true;
                if (code == download::kStart) {
                    if (!f.Int("total")) return true;
                    if (slot == transferslot::kPollListSlot) {
                        for (const char* name : {"clock_year", "clock_month", "clock_day", "clock_hour",
                                                 "clock_minute", "clock_second", "clock_dst"}) {
                            if (!f.Int(name)) return true;
                        }
                    }
                }
                f.Bytes("bytes");
                return true;
            }
            if (code == download::kRefused) {
                int32_t slot = -1;
                if (f.Int("slot", 0, 24, &slot) && slot == transferslot::kDocumentDownloadSlot)
                    f.Str("details", 1, 512);
                return true;
            }
            if (code == download::kAccountNotFound) return f.Int("slot", 0, 24), true;
            return false;
        case Primary::Account:
            if (fromClient && code == account::kCreate) {
                f.Str("number") && f.Str("full_name") && f.Str("username") && f.Str("password") &&
                    f.Str("identity") && f.Str("creation_code");
                return true;
            }
            // The creation answers carry nothing but their code.
            return response && code >= account::kUnsupportedNetwork && code <= account::kIdentityLimit;
        case Primary::Network:
            if (fromClient && code == network::kInformation) {
                f.Int("reserved") && f.Str("number") && f.Str("path");
                return true;
            }
            if (response && code == network::kIgnoredResponse) return true;
            if (response && code == network::kInformationResponse) {
                if (!(f.Str("name", 1, 50) && f.Int("accounts", 0, 50000) && f.Int("online", 0, 50000) &&
                      f.Str("server_time", 1, 50) && f.Str("path", 1, 200)))
                    return true;
                // Folder entries to the end; the first that fails ends the list.
                while (f.More()) {
                    Fields entry(f.Payload(), f.At());
                    const bool ok = entry.Int("kind", 0, 2) && entry.Int("size") && entry.Int("flag", 0, 1) &&
                                    entry.Str("name", 1, 50) && entry.Str("modified", 1, 100);
                    extra.push_back("    entry " + entry.Items());
                    if (!ok) break;
                    f.SetAt(entry.At());
                }
                f.Skip();
                return true;
            }
            return false;
        case Primary::Zorvic:
            if (fromClient && code == zorvic::kEnvelope) {
                int32_t innerPrimary = 0, innerSecondary = 0;
                if (!(f.Int("zero1") && f.Int("zero2") && f.Int("zero3") && f.Int("inner_primary", -1, -1, &innerPrimary) &&
                      f.Int("inner_secondary", -1, -1, &innerSecondary)))
                    return true;
                const auto inner = f.Rest();
                f.Skip();
                if (inner.size() >= 4) {
                    const int32_t innerCode = static_cast<int32_t>((uint32_t{inner[0]} << 24) | (uint32_t{inner[1]} << 16) |
                                                                   (uint32_t{inner[2]} << 8) | inner[3]);
                    extra.push_back("  inner code=" + std::to_string(innerCode));
                }
                if (depth < kMaxNesting) {
                    for (std::string& line : Describe(innerPrimary, innerSecondary, inner, depth + 1))
                        extra.push_back("  " + line);
                }
                return true;
            }
            return false;
        case Primary::Host:
            if (fromClient && code == host::kLookup) return f.Str("number"), true;
            if (response && code == host::kLookupRefused) return true;
            if (response && code == host::kLookupOK) {
                f.Str("flags", 1, 3) && f.Str("host", 1, 255);
                return true;
            }
            return false;
        case Primary::Contact:
            if (fromClient && code == contact::kListRequest) return true;
            if (fromClient && code == contact::kSetStatus) return f.Int("status"), true;
            return false;
        case Primary::Session:
            if (fromClient && code == session::kListSessions) {
                f.Int("sort") && f.Int("page") && f.Int("page_size") && f.Int("list") && f.Int("refresh");
                return true;
            }
            return false;
        case Primary::Mailbox:
            return fromClient && code == mailbox::kUnreadRequest;
        default:
            return false;
    }
}

std::vector<std::string> Describe(int32_t primary, int32_t secondary, std::span<const uint8_t> payload,
                                  int depth) {
    std::vector<std::string> lines;
    if (payload.size() < 4) return lines;
    const int32_t code = static_cast<int32_t>((uint32_t{payload[0]} << 24) | (uint32_t{payload[1]} << 16) |
                                              (uint32_t{payload[2]} << 8) | payload[3]);
    Fields f(payload);
    std::vector<std::string> extra;
    if (!DescribeInto(primary, secondary, code, f, extra, depth)) return lines;
    std::string line = f.Line();
    if (!line.empty()) lines.push_back(std::move(line));
    lines.insert(lines.end(), extra.begin(), extra.end());
    return lines;
}

}  // namespace

std::vector<std::string> DescribeFields(int32_t primary, int32_t secondary, std::span<const uint8_t> payload) {
    return Describe(primary, secondary, payload, 0);
}

}  // namespace zdump
