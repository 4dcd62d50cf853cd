#include "ui/TextConvert.h"

namespace ui {

bool Utf8ToText(const char* bytes, qsizetype n, QString& out) {
    if (n < 0 || (n > 0 && bytes == nullptr)) return false;
    QString converted = QString::fromUtf8(bytes, n);
    if (converted.size() + 1 > kMaxConvertedChars) return false;
    out = std::move(converted);
    return true;
}

bool Utf8ToText(std::string_view utf8, QString& out) {
    return Utf8ToText(utf8.data(), static_cast<qsizetype>(utf8.size()), out);
}

std::string TextToUtf8(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace ui
