#pragma once

// The program's settings as the shell reads them: settings.dat in the data
// directory. Read each time they are needed, so that a change made by the
// settings window takes effect at once.

#include <string>

namespace shell {

class Settings {
  public:
    explicit Settings(std::string path) : path_(std::move(path)) {}

    const std::string& Path() const { return path_; }
    // Whether minimising the main window hides it in the tray.
    bool TrayOption() const;

  private:
    std::string path_;
};

}  // namespace shell
