#include "server/account/SignInHistory.h"

#include <QDateTime>
#include <QTimeZone>

namespace localnet {

namespace {

QDateTime Utc(qint64 seconds) {
    return QDateTime::fromSecsSinceEpoch(seconds, QTimeZone::utc());
}

}  // namespace

QString CreationDateText(qint64 secondsUtc) {
    // Month names spelled here: the date must not follow the server's locale.
    static const char* const kMonths[] = {"January", "February", "March",     "April",
                                          "May",     "June",     "July",      "August",
                                          "September", "October", "November", "December"};
    const QDate d = Utc(secondsUtc).date();
    return QString::asprintf("%i %s %i", d.day(), kMonths[d.month() - 1], d.year());
}

QString HistoryLine(qint64 secondsUtc, const QString& what) {
    const QDateTime t = Utc(secondsUtc);
    const QDate d = t.date();
    const QTime c = t.time();
    return QString::asprintf("%04i-%02i-%02i %02i:%02i:%02i UTC  ", d.year(), d.month(), d.day(),
                             c.hour(), c.minute(), c.second()) +
           what;
}

QString SignedInText(const QString& address) {
    return QStringLiteral("signed in from ") + address;
}

QString SignedOutText(qint64 seconds) {
    if (seconds < 0) seconds = 0;
    return QString::asprintf("signed out after %lld:%02lld:%02lld", seconds / 3600,
                             seconds / 60 % 60, seconds % 60);
}

QString FailedSignInText(const QString& address) {
    return QStringLiteral("failed sign-in from ") + address;
}

std::string LastFailureText(const QString& address, qint64 secondsUtc) {
    const QDateTime t = Utc(secondsUtc);
    const QDate d = t.date();
    const QTime c = t.time();
    const QString text = QStringLiteral("last from ") + address +
                         QString::asprintf(" on %04i-%02i-%02i %02i:%02i UTC", d.year(), d.month(),
                                           d.day(), c.hour(), c.minute());
    return CutUtf8(text, kInfoTextBytes);
}

std::string CutUtf8(const QString& text, int bytes) {
    QByteArray utf8 = text.toUtf8();
    if (utf8.size() <= bytes) return utf8.toStdString();
    qsizetype end = bytes;
    while (end > 0 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) --end;
    utf8.truncate(end);
    return utf8.toStdString();
}

QByteArray AppendHistory(const QByteArray& history, const QString& line) {
    QByteArray out = history;
    if (!out.isEmpty() && !out.endsWith('\n')) out.append('\n');
    out.append(line.toUtf8());
    out.append('\n');
    // Drop whole lines from the front until the last kHistoryLines remain.
    qsizetype lines = out.count('\n');
    qsizetype from = 0;
    while (lines > kHistoryLines) {
        from = out.indexOf('\n', from) + 1;
        --lines;
    }
    return from > 0 ? out.mid(from) : out;
}

}  // namespace localnet
