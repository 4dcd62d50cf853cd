#include "shell/Settings.h"

#include <QFile>
#include <QSaveFile>
#include <QString>

namespace shell {

namespace {

constexpr const char* kFaces[kFontCount] = {
    "Arial", "Comic Sans MS", "Courier New", "Georgia", "Tahoma", "Times New Roman", "Verdana",
};

int32_t GetInt(std::string_view bytes, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[at + size_t(i)]);
    return static_cast<int32_t>(v);
}

void PutInt(std::string& bytes, int32_t value) {
    const auto v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

int32_t InRange(int32_t value, int32_t low, int32_t high, int32_t fallback) {
    return value >= low && value <= high ? value : fallback;
}

bool Flag(std::string_view bytes, size_t at, bool fallback) {
    const auto b = static_cast<unsigned char>(bytes[at]);
    return b <= 1 ? b == 1 : fallback;
}

}  // namespace

const char* FontFaceName(int32_t index) {
    return index >= 0 && index < kFontCount ? kFaces[index] : "defaultswitch";
}

bool DecodeSettings(std::string_view bytes, SettingsValues& out) {
    if (bytes.size() != kSettingsFileSize) return false;
    const SettingsValues d;
    SettingsValues v;
    v.fontIndex = InRange(GetInt(bytes, 0), 0, kMaxFontIndex, d.fontIndex);
    v.red = InRange(GetInt(bytes, 4), 0, 255, d.red);
    v.green = InRange(GetInt(bytes, 8), 0, 255, d.green);
    v.blue = InRange(GetInt(bytes, 12), 0, 255, d.blue);
    v.bold = Flag(bytes, 16, d.bold);
    v.italic = Flag(bytes, 17, d.italic);
    v.underline = Flag(bytes, 18, d.underline);
    v.size = InRange(GetInt(bytes, 19), kMinTextSize, kMaxTextSize, d.size);
    v.timestamp = Flag(bytes, 23, d.timestamp);
    v.alertMessages = Flag(bytes, 24, d.alertMessages);
    v.alertStatus = Flag(bytes, 25, d.alertStatus);
    v.tray = Flag(bytes, 26, d.tray);
    out = v;
    return true;
}

std::string EncodeSettings(const SettingsValues& v) {
    std::string bytes;
    bytes.reserve(kSettingsFileSize);
    PutInt(bytes, v.fontIndex);
    PutInt(bytes, v.red);
    PutInt(bytes, v.green);
    PutInt(bytes, v.blue);
    bytes.push_back(v.bold ? 1 : 0);
    bytes.push_back(v.italic ? 1 : 0);
    bytes.push_back(v.underline ? 1 : 0);
    PutInt(bytes, v.size);
    bytes.push_back(v.timestamp ? 1 : 0);
    bytes.push_back(v.alertMessages ? 1 : 0);
    bytes.push_back(v.alertStatus ? 1 : 0);
    bytes.push_back(v.tray ? 1 : 0);
    return bytes;
}

bool Settings::Read() {
    QFile file(QString::fromStdString(path_));
    if (!file.open(QIODevice::ReadOnly)) return false;
    // One byte more than a settings file tells a longer file apart.
    const QByteArray bytes = file.read(qint64(kSettingsFileSize) + 1);
    return DecodeSettings(std::string_view(bytes.constData(), size_t(bytes.size())), values_);
}

bool Settings::Write() const {
    QSaveFile file(QString::fromStdString(path_));
    if (!file.open(QIODevice::WriteOnly)) return false;
    const std::string bytes = EncodeSettings(values_);
    if (file.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size())) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

}  // namespace shell
