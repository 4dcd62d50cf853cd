#include "shell/Notifier.h"

#include <algorithm>

namespace shell {

namespace {

bool WordChar(QChar c) {
    return c.isLetterOrNumber() || c == u'_';
}

}  // namespace

QString NotificationText(const QString& text, int maxChars, bool oneLine) {
    QString out;
    out.reserve(std::min<qsizetype>(text.size(), maxChars + 3));
    int chars = 0;
    bool cut = false;
    bool pendingSpace = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar c = text.at(i);
        if (oneLine && (c.isSpace() || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)) {
            // Leading white space is dropped, inner runs become one space.
            pendingSpace = !out.isEmpty();
            continue;
        }
        if (!oneLine && c == u'\r') continue;  // the wire's "\r\n" is one break here
        if (c.category() == QChar::Other_Control && c != u'\n' && c != u'\t') continue;
        if (c == u'<') c = QChar(0x2039);
        if (c == u'>') c = QChar(0x203A);
        const int need = pendingSpace ? 2 : 1;
        if (chars + need > maxChars) {
            cut = true;
            break;
        }
        if (pendingSpace) {
            out += u' ';
            ++chars;
            pendingSpace = false;
        }
        // A pair of surrogates is one character; never split it.
        out += c;
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            out += text.at(++i);
        ++chars;
    }
    if (cut) out += QStringLiteral("...");
    return out;
}

bool MentionsName(const QString& text, const QString& username) {
    if (username.isEmpty()) return false;
    qsizetype from = 0;
    while (true) {
        const qsizetype at = text.indexOf(username, from, Qt::CaseInsensitive);
        if (at < 0) return false;
        const qsizetype end = at + username.size();
        const bool startsWord = at == 0 || !WordChar(text.at(at - 1));
        const bool endsWord = end >= text.size() || !WordChar(text.at(end));
        if (startsWord && endsWord) return true;
        from = at + 1;
    }
}

}  // namespace shell
