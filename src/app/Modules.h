#pragma once

// The one list of the program's modules, and the skin with every picture of
// the program (for the picture tests and the gallery).

#include <memory>
#include <vector>

#include "shell/Module.h"

namespace ui {
class Skin;
}

namespace app {

// Every module, in the order they register (which is also the order of their
// opening requests). Generated from the subsystem lines of src/CMakeLists.txt.
std::vector<std::unique_ptr<shell::Module>> MakeModules();

// Registers the pictures of the shell, the sign-in windows and every module.
void RegisterEveryPicture(ui::Skin& skin);

}  // namespace app
