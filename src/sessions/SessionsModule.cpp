#include "sessions/SessionsModule.h"

#include "sessions/SessionPage.h"
#include "shell/ModuleContext.h"
#include "ui/Skin.h"

namespace sessions {

void SessionsModule::RegisterPictures(ui::Skin& skin) {
    for (const char* caption : {"LEFT", "RIGHT", "REFRESH"}) {
        skin.RegisterButton(QString::fromLatin1(caption), QSize(26, 26));
    }
    for (const char* icon : {"SESSIONOPEN", "SESSIONPRIVATE"}) {
        ui::SkinEntry e;
        e.kind = ui::SkinEntry::Kind::SmallIcon;
        e.size = QSize(16, 16);
        e.text = QString::fromLatin1(icon);
        skin.Register(QStringLiteral("IDB_%1").arg(QString::fromLatin1(icon)), e);
    }
}

void SessionsModule::Register(shell::ModuleContext& ctx) {
    page_ = new CSessionPage(ctx.Skin(), ctx.Client(), ctx.MainWindow(),
                             ctx.MainWindow().Pane(shell::MainPane::Sessions));
    // The first page goes out with the opening requests, from the list's
    // starting point whatever an earlier login in this run left behind.
    ctx.AddOpeningRequest([this](net::Client&) {
        page_->ResetForLogin();
        return page_->RequestPage(0, 0);
    });
    ctx.AddPeriodicRefresh([this] { page_->PeriodicRefresh(); });
}

std::unique_ptr<shell::Module> MakeModule() {
    return std::make_unique<SessionsModule>();
}

}  // namespace sessions
