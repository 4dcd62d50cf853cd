#include "contacts/InstantMessage.h"

#include <QFont>
#include <QRegularExpression>

#include "contacts/api/ContactsApi.h"
#include "net/Protocol.h"
#include "shell/Settings.h"

namespace contacts {

namespace {

namespace contact = net::contact;

constexpr int32_t kMaxUsername = 12;
constexpr int32_t kMaxFontIndex = 99;

// A continuation byte of a UTF-8 sequence.
bool IsContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

}  // namespace

MessageFormat FormatFromSettings(const shell::SettingsValues& s) {
    return {s.fontIndex, s.red, s.green, s.blue, s.bold, s.italic, s.underline};
}

QString TimeStampText(int hour, int minute) {
    const QString mm = QStringLiteral("%1").arg(minute, 2, 10, QLatin1Char('0'));
    if (hour == 0) return QStringLiteral("[12:%1 am] ").arg(mm);
    if (hour < 12) return QStringLiteral("[%1:%2 am] ").arg(hour).arg(mm);
    if (hour == 12) return QStringLiteral("[12:%1 pm] ").arg(mm);
    return QStringLiteral("[%1:%2 pm] ").arg(hour - 12).arg(mm);
}

QTextCharFormat CharFormatFor(const MessageFormat& format, int32_t size) {
    QTextCharFormat out;
    QFont font(QString::fromLatin1(shell::FontFaceName(format.fontIndex)));
    font.setPixelSize(size > 0 ? size : 1);
    font.setBold(format.bold);
    font.setItalic(format.italic);
    font.setUnderline(format.underline);
    out.setFont(font, QTextCharFormat::FontPropertiesAll);
    out.setForeground(QColor(format.red & 0xFF, format.green & 0xFF, format.blue & 0xFF));
    return out;
}

std::vector<std::string> SplitUtf8(std::string_view text, size_t maxBytes) {
    std::vector<std::string> pieces;
    if (maxBytes == 0) return pieces;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = std::min(text.size(), at + maxBytes);
        if (end < text.size()) {
            // Back off to the start of the character that would be cut; a run
            // of stray continuation bytes longer than a character is cut as is.
            size_t back = end;
            while (back > at && end - back < 4 && IsContinuation(static_cast<unsigned char>(text[back])))
                --back;
            if (back > at && !IsContinuation(static_cast<unsigned char>(text[back]))) end = back;
        }
        pieces.emplace_back(text.substr(at, end - at));
        at = end;
    }
    return pieces;
}

std::unique_ptr<net::MessageBuffer> BuildInstantMessage(const std::string& recipient,
                                                        const MessageFormat& f,
                                                        std::string_view text) {
    net::MessageWriter w(contact::kInstantMessage);
    w.Str(recipient)
        .Int(f.fontIndex)
        .Int(f.red)
        .Int(f.green)
        .Int(f.blue)
        .Int(f.bold ? 1 : 0)
        .Int(f.italic ? 1 : 0)
        .Int(f.underline ? 1 : 0)
        .Int(1)
        .Str(text);
    return w.Finish(net::Primary::Contact);
}

std::optional<IncomingMessage> DecodeIncomingMessage(net::MessageReader& fields,
                                                     const char** fault) {
    IncomingMessage m;
    const auto fail = [&](const char* text) {
        if (fault) *fault = text;
        return std::nullopt;
    };
    if (!fields.Str(1, kMaxUsername, m.sender))
        return fail("MsgContact.HandleNotificationIM(1): Unable to decode sender username");
    if (!fields.Int(0, kMaxFontIndex, m.format.fontIndex))
        return fail("MsgContact.HandleNotificationIM(2): Unable to decode font index");
    if (!fields.Int(0, 255, m.format.red) || !fields.Int(0, 255, m.format.green) ||
        !fields.Int(0, 255, m.format.blue))
        return fail("MsgContact.HandleNotificationIM(3): Unable to decode colour");
    int32_t flag = 0;
    bool* const flags[] = {&m.format.bold, &m.format.italic, &m.format.underline};
    for (bool* target : flags) {
        if (!fields.Int(0, 1, flag))
            return fail("MsgContact.HandleNotificationIM(4): Unable to decode style");
        *target = flag == 1;
    }
    if (!fields.Int(0, 2, m.kind))
        return fail("MsgContact.HandleNotificationIM(5): Unable to decode kind");
    if (!fields.Str(1, kMaxMessageBytes, m.text))
        return fail("MsgContact.HandleNotificationIM(6): Unable to decode text");
    return m;
}

std::optional<std::string> DecodeRecipientOffline(net::MessageReader& fields, const char** fault) {
    std::string name;
    if (!fields.Str(1, kMaxUsername, name)) {
        if (fault) *fault = "MsgContact.HandleResponseOffline(1): Unable to decode username";
        return std::nullopt;
    }
    return name;
}

bool IsMessageMuted(const std::optional<ContactInfo>& contact, bool mutedThisRun) {
    if (contact) return contact->muteText != "0";
    return mutedThisRun;
}

std::optional<QString> LinkTarget(const QString& linkText) {
    const QString text = linkText.left(kMaxLinkCharacters);
    static const char* const kSchemes[] = {"http://", "https://", "ftp://", "mailto:"};
    for (const char* scheme : kSchemes) {
        if (text.startsWith(QLatin1String(scheme), Qt::CaseInsensitive) &&
            text.size() > static_cast<qsizetype>(qstrlen(scheme)))
            return text;
    }
    if (text.startsWith(QLatin1String("www."), Qt::CaseInsensitive) && text.size() > 4)
        return QStringLiteral("http://") + text;
    return std::nullopt;
}

QString ToWireLineBreaks(const QString& text) {
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    out.replace(QChar::LineSeparator, QLatin1Char('\n'));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    out.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return out;
}

}  // namespace contacts
