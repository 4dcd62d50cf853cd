#pragma once

// Instant messages: the request that sends one, the decoders of the offline
// response and of an incoming message, and the plain rules the conversation
// windows follow (time stamps, character format, mutes, links, cutting long
// texts into messages the receiver accepts).

#include <QString>
#include <QTextCharFormat>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/MessageBuffer.h"

namespace shell {
struct SettingsValues;
}

namespace contacts {

struct ContactInfo;

// The longest text one message carries, in bytes.
inline constexpr int32_t kMaxMessageBytes = 600;
// The most characters the input field takes.
inline constexpr int kMaxInputCharacters = 600;
// The longest link text handed to the browser.
inline constexpr int kMaxLinkCharacters = 1011;

struct MessageFormat {
    int32_t fontIndex = 0;
    int32_t red = 0;
    int32_t green = 0;
    int32_t blue = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool operator==(const MessageFormat&) const = default;
};

// The user's own format, from the settings.
MessageFormat FormatFromSettings(const shell::SettingsValues& settings);

// "[12:05 am] " and the like, from the local hour (0-23) and minute.
QString TimeStampText(int hour, int minute);

// The format text is inserted with: the index's face, the effects, the
// colour, and `size` pixels (the size setting in points at the screen's
// resolution is that many pixels).
QTextCharFormat CharFormatFor(const MessageFormat& format, int32_t size);

// The text cut into pieces of at most `maxBytes` bytes, each ending on a
// character boundary; an empty text gives no pieces.
std::vector<std::string> SplitUtf8(std::string_view text, size_t maxBytes);

// Request 3 to `recipient` with `format` and one piece of text.
std::unique_ptr<net::MessageBuffer> BuildInstantMessage(const std::string& recipient,
                                                        const MessageFormat& format,
                                                        std::string_view text);

struct IncomingMessage {
    std::string sender;
    MessageFormat format;
    int32_t kind = 1;
    std::string text;
};

// Notification 1 (fields after the code); nothing when a field is out of
// range, with `fault` naming it.
std::optional<IncomingMessage> DecodeIncomingMessage(net::MessageReader& fields,
                                                     const char** fault);
// Response 2: the recipient that is offline.
std::optional<std::string> DecodeRecipientOffline(net::MessageReader& fields, const char** fault);

// A message from `sender` is dropped when the sender is a contact listed as
// muted, or is no contact and was muted during this run.
bool IsMessageMuted(const std::optional<ContactInfo>& contact, bool mutedThisRun);

// The address a detected link opens, or nothing for a text that is not one
// of the schemes the program opens (http, https, ftp, mailto, and "www."
// taken as http); longer texts are cut to the link limit first.
std::optional<QString> LinkTarget(const QString& linkText);

// The text with the line breaks of an edit field sent as "\r\n".
QString ToWireLineBreaks(const QString& text);

}  // namespace contacts
