#pragma once

// The formatted transcript that conversations and session rooms share: the
// time stamp, the character format of a text style, and the writer that
// appends pieces to a read-only text box. Server text always goes in as
// plain text, never as markup, and what arrives within one frame goes into
// the document as one edit, so that a flood of lines does not lay the
// window out once per line.

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTextCharFormat>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

class QTextBrowser;

namespace shell {

// Face index (0..6 a named face, any other "defaultswitch"), colour and
// effects of a piece of text.
struct TextStyle {
    int32_t fontIndex = 0;
    int32_t red = 0;
    int32_t green = 0;
    int32_t blue = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool operator==(const TextStyle&) const = default;
};

// "[12:05 am] " and the like, from the local hour (0-23) and minute.
QString TimeStampText(int hour, int minute);

// The format text is inserted with: the index's face, the effects, the
// colour, and `size` pixels (the size setting in points at the screen's
// resolution is that many pixels).
QTextCharFormat CharFormatFor(const TextStyle& style, int32_t size);

// Arial in grey (128) or black, bold or not: the stamps, names and events.
TextStyle ArialStyle(bool bold, bool italic, int grey);

class CTranscript : public QObject {
  public:
    // [start, length) ranges of the links in a piece of text, and the
    // address a link's text opens (nothing: not a link after all).
    using LinkFinder = std::function<std::vector<std::pair<int, int>>(const QString&)>;

    // Writes into `view`, which it does not own.
    CTranscript(QTextBrowser* view, LinkFinder links);

    // Appends a piece at the end in `format`; "\r\n" is a paragraph break.
    void Append(const QString& text, const QTextCharFormat& format);
    // Puts everything appended so far into the document now and scrolls to
    // the end (readers call it before looking at the document).
    void Flush();
    // Empties the transcript and drops what is pending.
    void Clear();
    bool Pending() const { return !pending_.empty(); }

  private:
    struct Part {
        QString text;
        QTextCharFormat format;
    };
    static constexpr qint64 kFlushFrameMs = 16;

    QTextBrowser* view_;
    LinkFinder links_;
    std::vector<Part> pending_;
    bool flushQueued_ = false;
    QElapsedTimer lastFlush_;
};

}  // namespace shell
