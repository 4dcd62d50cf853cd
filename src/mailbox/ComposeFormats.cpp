#include "mailbox/ComposeFormats.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "mailbox/MailboxFormats.h"

namespace mailbox {
namespace {

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == ',' || c == ';'; }

// Length of the UTF-8 sequence a lead byte starts, 0 for a byte that cannot lead.
size_t SequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

// Whether the `index`th byte (1-based) after `lead` may follow it.
bool ValidFollower(unsigned char lead, size_t index, unsigned char b) {
    if ((b & 0xC0) != 0x80) return false;
    if (index != 1) return true;
    // Rule out overlong forms, surrogates and code points past U+10FFFF.
    if (lead == 0xE0) return b >= 0xA0;
    if (lead == 0xED) return b <= 0x9F;
    if (lead == 0xF0) return b >= 0x90;
    if (lead == 0xF4) return b <= 0x8F;
    return true;
}

constexpr char kReplacement[] = "\xEF\xBF\xBD";

// Appends the valid characters of `bytes` to `out`, invalid bytes as U+FFFD.
// A valid but unfinished character at the end is left out and its length
// returned, so that the caller can carry it into the next piece.
size_t AppendValidUtf8(std::string_view bytes, std::string& out) {
    size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const size_t length = SequenceLength(lead);
        if (length == 0) {
            out += kReplacement;
            ++i;
            continue;
        }
        size_t k = 1;
        while (k < length && i + k < bytes.size() &&
               ValidFollower(lead, k, static_cast<unsigned char>(bytes[i + k]))) {
            ++k;
        }
        if (k == length) {
            out.append(bytes.substr(i, length));
            i += length;
        } else if (i + k == bytes.size()) {
            return k;  // cut at the end: may go on in the next piece
        } else {
            out += kReplacement;
            i += k;
        }
    }
    return 0;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

size_t Utf16Length(std::string_view utf8) {
    size_t units = 0;
    for (unsigned char c : utf8) {
        if ((c & 0xC0) == 0x80) continue;  // continuation bytes add nothing
        units += c >= 0xF0 ? 2 : 1;
    }
    return units;
}

std::vector<Recipient> SplitRecipients(std::string_view field) {
    std::vector<Recipient> out;
    size_t i = 0;
    while (true) {
        while (i < field.size() && IsSeparator(field[i])) ++i;
        if (i >= field.size()) break;
        if (field[i] == '(') {
            ++i;
            const size_t start = i;
            int depth = 1;
            while (i < field.size()) {
                if (field[i] == '(') ++depth;
                if (field[i] == ')' && --depth == 0) break;
                ++i;
            }
            out.push_back({kRecipientSession, std::string(field.substr(start, i - start))});
            if (i < field.size()) ++i;  // the closing ")"
        } else {
            const size_t start = i;
            while (i < field.size() && !IsSeparator(field[i]) && field[i] != '(') ++i;
            out.push_back({kRecipientIndividual, std::string(field.substr(start, i - start))});
        }
    }
    return out;
}

std::string OutgoingRecipientsText(const std::vector<Recipient>& recipients) {
    std::string text;
    for (const Recipient& r : recipients) {
        text += std::to_string(r.type);
        text += ' ';
        text += r.name;
        text += '\n';
    }
    return text;
}

std::vector<Recipient> ParseIncomingRecipients(std::string_view bytes, size_t maxLines) {
    std::vector<Recipient> out;
    size_t lines = 0;
    for (std::string_view line : SplitLines(bytes, kRecipientLineLength)) {
        if (++lines > maxLines) break;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const size_t first = line.find(' ');
        if (first == std::string_view::npos) continue;
        int32_t type = 0;
        if (!WholeInt(line.substr(0, first), type)) continue;
        const size_t second = line.find(' ', first + 1);
        if (second == std::string_view::npos || second + 1 >= line.size()) continue;
        out.push_back({type, CutText(line.substr(second + 1), kRecipientLineLength)});
    }
    return out;
}

std::string ToText(const std::vector<Recipient>& recipients) {
    std::string text;
    for (const Recipient& r : recipients) {
        if (r.type == kRecipientIndividual) {
            text += r.name + ", ";
        } else if (r.type == kRecipientSession) {
            text += "(" + r.name + "), ";
        }
    }
    if (text.size() >= 2) text.resize(text.size() - 2);
    return text;
}

std::string AppendRecipientText(std::string_view field, std::string_view name, bool session) {
    std::string text(field);
    if (!text.empty()) text += ", ";
    if (session) {
        text += '(';
        text += name;
        text += ')';
    } else {
        text += name;
    }
    return text;
}

std::string AttachmentNameFromPath(std::string_view pathUtf8) {
    const size_t slash = pathUtf8.find_last_of("/\\");
    if (slash != std::string_view::npos) pathUtf8.remove_prefix(slash + 1);
    std::string name;
    for (char c : pathUtf8) {
        if (name.size() >= kMaxAttachmentName) break;
        const bool alnum = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (alnum || c == '-' || c == '.' || c == '_' || c == '~') name += c;
    }
    const bool startsAlnum = !name.empty() && ((name[0] >= 'A' && name[0] <= 'Z') ||
                                               (name[0] >= 'a' && name[0] <= 'z') ||
                                               (name[0] >= '0' && name[0] <= '9'));
    if (!startsAlnum) name.insert(name.begin(), 'x');
    return name;
}

std::string CheckSend(const ComposeFields& fields, AttachmentState attachment,
                      int64_t attachmentSize) {
    if (Utf16Length(fields.recipients) > kMaxRecipientsField)
        return "Too many characters in recipient field";
    if (fields.recipients.empty()) return kNoRecipientText;
    if (fields.subject.empty()) return "Please type a subject";
    if (Utf16Length(fields.subject) > kMaxSubjectTyped)
        return "The subject may be at most 100 characters in length";
    if (fields.body.empty()) return "Please type a message for the recipient(s)";
    if (Utf16Length(fields.body) > kMaxBodyTyped)
        return "Message must not exceed 100,000 characters in length";
    if (!fields.attachmentPath.empty()) {
        if (attachment != AttachmentState::Readable)
            return "Unable to open attached file for reading; please ensure that the file exists";
        if (attachmentSize <= 0) return "Attached file is empty; cannot send a file of zero bytes";
        if (attachmentSize > kMaxAttachmentBytes)
            return "The attached file is too large; it must be 10Mbyte or less in size";
    }
    return {};
}

Prefill ReplyPrefill(std::string_view sender, std::string_view subject) {
    return {std::string(sender), "RE: " + std::string(subject), {}};
}

Prefill ReplyAllPrefill(std::string_view sender, std::string_view toText, std::string_view subject) {
    return {std::string(sender) + ", " + std::string(toText), "RE: " + std::string(subject), {}};
}

Prefill ForwardPrefill(std::string_view subject, std::string_view body) {
    return {{},
            "FW: " + std::string(subject),
            "\r\n\r\n---- Begin forwarded message ----\r\n\r\n" + std::string(body)};
}

std::string ReaderDateText(int64_t sentTime) {
    const std::time_t t = static_cast<std::time_t>(sentTime);
    std::tm local{};
    if (localtime_r(&t, &local) == nullptr) return {};
    const int hour = local.tm_hour;
    const int hour12 = hour % 12 == 0 ? 12 : hour % 12;
    char text[64];
    std::snprintf(text, sizeof text, "%i:%02i:%02i %s %i/%i/%i", hour12, local.tm_min, local.tm_sec,
                  hour < 12 ? "AM" : "PM", local.tm_mon + 1, local.tm_mday, local.tm_year + 1900);
    return text;
}

std::string BodyToUtf8(std::u16string_view body) {
    std::string out;
    out.reserve(body.size());
    for (size_t i = 0; i < body.size(); ++i) {
        const char16_t u = body[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < body.size() && body[i + 1] >= 0xDC00 &&
            body[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (body[i + 1] - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            out += kReplacement;
        } else {
            AppendUtf8(out, u);
        }
    }
    return out;
}

std::string ReaderBodyText(std::string_view bytes, size_t maxBytes) {
    if (bytes.size() > maxBytes) bytes = bytes.substr(0, maxBytes);
    std::string out;
    out.reserve(bytes.size());
    std::string piece;
    size_t pos = 0;
    while (pos < bytes.size()) {
        // A piece ends after a "\n" or at kBodyPieceBytes bytes, whichever comes first.
        size_t end = std::min(bytes.size(), pos + kBodyPieceBytes);
        const size_t newline = bytes.substr(pos, end - pos).find('\n');
        if (newline != std::string_view::npos) end = pos + newline + 1;
        piece.append(bytes.substr(pos, end - pos));
        pos = end;
        const size_t carried = AppendValidUtf8(piece, out);
        piece.erase(0, piece.size() - carried);
    }
    // What is still carried at the end never became a character.
    if (!piece.empty()) out += kReplacement;
    return out;
}

}  // namespace mailbox
