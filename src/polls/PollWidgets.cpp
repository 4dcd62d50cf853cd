#include "polls/PollWidgets.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTextCursor>

#include "polls/model/PollResults.h"

namespace polls {

CBallotEditCtrl::CBallotEditCtrl(int maxChars, int maxBytes, bool singleLine, QWidget* parent)
    : QPlainTextEdit(parent), maxChars_(maxChars), maxBytes_(maxBytes), singleLine_(singleLine) {
    setTabChangesFocus(true);
    if (singleLine_) {
        setLineWrapMode(QPlainTextEdit::NoWrap);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
    connect(this, &QPlainTextEdit::textChanged, this, [this] { Enforce(); });
}

void CBallotEditCtrl::SetText(const QString& text) {
    const bool blocked = blockSignals(true);
    setPlainText(text);
    blockSignals(blocked);
    Enforce();
}

void CBallotEditCtrl::Enforce() {
    if (enforcing_) return;
    QString text = toPlainText();
    if (singleLine_ && text.contains(QLatin1Char('\n'))) text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    bool cut = text != toPlainText();
    if (text.size() > maxChars_) {
        text.truncate(maxChars_);
        // Never half a surrogate pair.
        if (!text.isEmpty() && text.back().isHighSurrogate()) text.chop(1);
        cut = true;
    }
    const QByteArray utf8 = text.toUtf8();
    if (utf8.size() > maxBytes_) {
        const std::string kept = CutUtf8(std::string_view(utf8.constData(), size_t(utf8.size())),
                                         size_t(maxBytes_));
        text = QString::fromUtf8(kept.data(), qsizetype(kept.size()));
        cut = true;
    }
    if (!cut) return;
    enforcing_ = true;
    const bool blocked = blockSignals(true);
    setPlainText(text);
    moveCursor(QTextCursor::End);
    blockSignals(blocked);
    enforcing_ = false;
}

void CBallotEditCtrl::keyPressEvent(QKeyEvent* event) {
    if (singleLine_ && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        event->ignore();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void CBallotEditCtrl::keyReleaseEvent(QKeyEvent* event) {
    QPlainTextEdit::keyReleaseEvent(event);
    emit keyReleased();
}

CMarkWidget::CMarkWidget(QWidget* parent) : QWidget(parent) { setFixedSize(16, 16); }

void CMarkWidget::SetMark(int mark) {
    mark_ = mark;
    update();
}

void CMarkWidget::paintEvent(QPaintEvent*) {
    if (mark_ < 0) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const bool correct = mark_ == 0;
    p.setPen(Qt::NoPen);
    p.setBrush(correct ? QColor(0x2e, 0x9e, 0x4f) : QColor(0xc8, 0x3a, 0x32));
    p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    QPen pen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    if (correct) {
        QPainterPath tick;
        tick.moveTo(4.2, 8.4);
        tick.lineTo(7, 11.2);
        tick.lineTo(11.8, 5.2);
        p.drawPath(tick);
    } else {
        p.drawLine(QPointF(5, 5), QPointF(11, 11));
        p.drawLine(QPointF(11, 5), QPointF(5, 11));
    }
}

CPollBars::CPollBars(QWidget* parent) : QWidget(parent) {}

void CPollBars::SetBars(const QStringList& labels, const std::vector<float>& fractions,
                        int correct) {
    labels_ = labels;
    fractions_ = fractions;
    correct_ = correct;
    update();
}

std::vector<int> CPollBars::Heights() const {
    std::vector<int> h;
    for (float f : fractions_) h.push_back(BarHeight(f));
    return h;
}

void CPollBars::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const int n = int(fractions_.size());
    if (n == 0) return;
    const int labelHeight = 18, top = 18;
    const int baseline = top + kBarPixels;
    const int slot = width() / n;
    const int barWidth = std::min(44, slot - 16);
    // The scale: a frame around the full height and the baseline.
    p.setPen(QColor(0xc9, 0xd1, 0xdc));
    p.drawLine(0, top, width() - 1, top);
    p.drawLine(0, top + kBarPixels / 2, width() - 1, top + kBarPixels / 2);
    p.setPen(QColor(0x6b, 0x76, 0x85));
    p.drawLine(0, baseline, width() - 1, baseline);
    for (int i = 0; i < n; ++i) {
        const int h = BarHeight(fractions_[size_t(i)]);
        const int x = i * slot + (slot - barWidth) / 2;
        const QRect bar(x, baseline - h, barWidth, h);
        const bool isCorrect = i == correct_;
        if (h > 0) {
            if (isCorrect) {
                p.fillRect(bar, QColor(0x2e, 0x9e, 0x4f));
                p.fillRect(bar, QBrush(QColor(255, 255, 255, 70), Qt::BDiagPattern));
            } else {
                p.fillRect(bar, QColor(0x3b, 0x6e, 0xb4));
            }
        }
        p.setPen(QColor(0x22, 0x2a, 0x35));
        p.drawText(QRect(i * slot, baseline - h - 17, slot, 16), Qt::AlignCenter,
                   QString::asprintf("%.0f%%", double(fractions_[size_t(i)]) * 100.0));
        QFont f = p.font();
        f.setBold(isCorrect);
        p.setFont(f);
        p.drawText(QRect(i * slot, baseline + 2, slot, labelHeight), Qt::AlignCenter,
                   i < labels_.size() ? labels_[i] : QString());
        f.setBold(false);
        p.setFont(f);
    }
}

}  // namespace polls
