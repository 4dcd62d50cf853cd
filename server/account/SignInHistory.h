#pragma once

// The texts of an account's sign-in record: the lines of its history file
// and the fields of the account information answer. Pure functions of
// their inputs, so that each format is checked directly.

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <string>

namespace localnet {

// The history keeps this many lines; older ones are dropped as new ones come.
inline constexpr int kHistoryLines = 1000;
// The account information answer carries texts of at most 50 bytes.
inline constexpr int kInfoTextBytes = 50;

// "8 December 2026" for a moment in seconds since 1970, in UTC.
QString CreationDateText(qint64 secondsUtc);
// "2026-12-08 21:30:05 UTC  " followed by `what`.
QString HistoryLine(qint64 secondsUtc, const QString& what);
QString SignedInText(const QString& address);
QString SignedOutText(qint64 seconds);  // "signed out after 0:12:31"
QString FailedSignInText(const QString& address);
// "last from ADDRESS on 2026-12-08 21:30 UTC", cut to 50 bytes.
std::string LastFailureText(const QString& address, qint64 secondsUtc);

// UTF-8 of `text` cut to at most `bytes` bytes at a character boundary.
std::string CutUtf8(const QString& text, int bytes);

// `history` with `line` appended and only the last kHistoryLines kept.
QByteArray AppendHistory(const QByteArray& history, const QString& line);

}  // namespace localnet
