#pragma once

// Conversions between the UTF-8 texts of the wire and local files and the
// UTF-16 texts the windows hold.

#include <QString>
#include <string>
#include <string_view>

namespace ui {

// A converted text, terminator included, may hold at most this many UTF-16
// code units; a longer result is refused.
inline constexpr int kMaxConvertedChars = 32768;

// Converts UTF-8 into `out`. Returns false and leaves `out` unchanged when the
// result would not fit kMaxConvertedChars. Invalid sequences become U+FFFD.
bool Utf8ToText(std::string_view utf8, QString& out);

// Same, for a byte range that is not a std::string (file pieces, wire fields).
bool Utf8ToText(const char* bytes, qsizetype n, QString& out);

// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string TextToUtf8(const QString& text);

}  // namespace ui
