#pragma once

// The program's settings: the style of the user's own messages, time stamps,
// the two alerts and the tray option, kept in memory for the whole run and
// in settings.dat (exactly 27 bytes: little-endian 32-bit integers, one byte
// per flag). The settings window reads the file when it is created and each
// time it opens, and writes it when it closes; everyone else reads memory.

#include <cstdint>
#include <string>
#include <string_view>

namespace shell {

struct SettingsValues {
    int32_t fontIndex = 0;  // 0 Arial ... 6 Verdana
    int32_t red = 0;
    int32_t green = 0;
    int32_t blue = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int32_t size = 12;
    bool timestamp = true;
    bool alertMessages = true;
    bool alertStatus = false;
    bool tray = false;

    bool operator==(const SettingsValues&) const = default;
};

inline constexpr size_t kSettingsFileSize = 27;
inline constexpr int32_t kMinTextSize = 1;
inline constexpr int32_t kMaxTextSize = 144;
// The widest index a file may carry; those without a face of their own are
// drawn in the default face.
inline constexpr int32_t kMaxFontIndex = 99;
inline constexpr int kFontCount = 7;

// The face requested for a font index: "Arial", "Comic Sans MS", "Courier
// New", "Georgia", "Tahoma", "Times New Roman", "Verdana"; "defaultswitch"
// for any other index.
const char* FontFaceName(int32_t index);

// The file's bytes as values. False (and `out` untouched) unless `bytes` is
// exactly 27 long; a field out of its range takes its default, so nothing a
// message carries later falls outside what its receiver accepts.
bool DecodeSettings(std::string_view bytes, SettingsValues& out);
std::string EncodeSettings(const SettingsValues& values);

class Settings {
  public:
    explicit Settings(std::string path) : path_(std::move(path)) {}

    const std::string& Path() const { return path_; }
    const SettingsValues& Values() const { return values_; }
    void SetValues(const SettingsValues& values) { values_ = values; }

    // Reads settings.dat; a missing file or one of another size keeps the
    // current values. Returns whether values were read.
    bool Read();
    // Writes settings.dat under a temporary name and renames it into place,
    // so that a failure never leaves a torn file. False when it could not.
    bool Write() const;

    // Whether minimising the main window hides it in the tray.
    bool TrayOption() const { return values_.tray; }
    bool Timestamps() const { return values_.timestamp; }
    bool AlertOnMessages() const { return values_.alertMessages; }
    bool AlertOnStatus() const { return values_.alertStatus; }

  private:
    std::string path_;
    SettingsValues values_;
};

}  // namespace shell
