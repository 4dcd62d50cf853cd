#include "app/Modules.h"

#include "shell/MainDlg.h"
#include "signin/SignIn.h"

namespace app {

void RegisterEveryPicture(ui::Skin& skin) {
    shell::CzorvicDlg::RegisterPictures(skin);
    signin::CSignIn::RegisterPictures(skin);
    for (const auto& module : MakeModules()) module->RegisterPictures(skin);
}

}  // namespace app
