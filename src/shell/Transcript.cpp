#include "shell/Transcript.h"

#include <QFont>
#include <QScrollBar>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTimer>

#include "shell/Settings.h"

namespace shell {

QString TimeStampText(int hour, int minute) {
    const QString mm = QStringLiteral("%1").arg(minute, 2, 10, QLatin1Char('0'));
    if (hour == 0) return QStringLiteral("[12:%1 am] ").arg(mm);
    if (hour < 12) return QStringLiteral("[%1:%2 am] ").arg(hour).arg(mm);
    if (hour == 12) return QStringLiteral("[12:%1 pm] ").arg(mm);
    return QStringLiteral("[%1:%2 pm] ").arg(hour - 12).arg(mm);
}

QTextCharFormat CharFormatFor(const TextStyle& style, int32_t size) {
    QTextCharFormat out;
    QFont font(QString::fromLatin1(FontFaceName(style.fontIndex)));
    font.setPixelSize(size > 0 ? size : 1);
    font.setBold(style.bold);
    font.setItalic(style.italic);
    font.setUnderline(style.underline);
    out.setFont(font, QTextCharFormat::FontPropertiesAll);
    out.setForeground(QColor(style.red & 0xFF, style.green & 0xFF, style.blue & 0xFF));
    return out;
}

TextStyle ArialStyle(bool bold, bool italic, int grey) {
    return {0, grey, grey, grey, bold, italic, false};
}

CTranscript::CTranscript(QTextBrowser* view, LinkFinder links)
    : QObject(view), view_(view), links_(std::move(links)) {}

void CTranscript::Append(const QString& text, const QTextCharFormat& format) {
    // The document keeps one kind of line break.
    QString body = text;
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    // A visible document is laid out and painted again after every edit,
    // which costs more the longer it is. What arrives within one frame goes
    // in as one edit: at the next turn of the event loop, or when a frame
    // has passed since the last edit.
    pending_.push_back({std::move(body), format});
    if (flushQueued_) return;
    flushQueued_ = true;
    const qint64 since = lastFlush_.isValid() ? lastFlush_.elapsed() : kFlushFrameMs;
    QTimer::singleShot(since >= kFlushFrameMs ? 0 : int(kFlushFrameMs - since), this,
                       [this] { Flush(); });
}

void CTranscript::Flush() {
    // A queued flush finding nothing (read or cleared since) does nothing.
    flushQueued_ = false;
    if (pending_.empty()) return;
    QTextCursor c(view_->document());
    c.movePosition(QTextCursor::End);
    c.beginEditBlock();
    for (const Part& part : pending_) {
        // Link ranges get an anchor; everything is inserted as plain text.
        const QString& text = part.text;
        int at = 0;
        if (links_) {
            for (const auto& [start, length] : links_(text)) {
                c.insertText(text.mid(at, start - at), part.format);
                QTextCharFormat link = part.format;
                link.setAnchor(true);
                // Underlined so that a link is told from text in any style.
                link.setFontUnderline(true);
                link.setAnchorHref(text.mid(start, length));
                c.insertText(text.mid(start, length), link);
                at = start + length;
            }
        }
        c.insertText(text.mid(at), part.format);
    }
    c.endEditBlock();
    pending_.clear();
    lastFlush_.start();
    QScrollBar* bar = view_->verticalScrollBar();
    bar->setValue(bar->maximum());
}

void CTranscript::Clear() {
    pending_.clear();
    view_->clear();
}

}  // namespace shell
