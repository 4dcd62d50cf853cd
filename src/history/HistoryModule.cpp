#include "history/HistoryModule.h"

#include "history/SessionHistoryDlg.h"
#include "net/Protocol.h"
#include "net/Router.h"
#include "sessions/api/SessionDirectory.h"
#include "sessions/api/SessionRooms.h"
#include "shell/ModuleContext.h"
#include "ui/Skin.h"

namespace history {

HistoryModule::HistoryModule() = default;

HistoryModule::~HistoryModule() = default;

void HistoryModule::RegisterPictures(ui::Skin& skin) {
    skin.RegisterBackground(QStringLiteral("IDB_SESSIONHISTORY"), CSessionHistoryDlg::kClientSize,
                            QStringLiteral("Session History"));
    if (!skin.Has(QStringLiteral("BACKU"))) {
        skin.RegisterButton(QStringLiteral("BACK"), QSize(88, 30), QStringLiteral("Back"));
    }
}

void HistoryModule::Register(shell::ModuleContext& ctx) {
    window_ = new CSessionHistoryDlg(ctx.Skin(), ctx.Dialogs(), ctx.Timings(), ctx.Client(),
                                     ctx.WindowParent());
    ctx.HideOnDrop(window_);
    // Everything below reaches the window through its guard: it belongs to
    // the main window, which may go first when the program ends.
    QPointer<CSessionHistoryDlg> window = window_;

    // The listing is a Session response; the sessions module hands it over.
    if (auto* directory = ctx.Find<sessions::SessionDirectory>()) {
        directory->SetResponseHandler(
            net::session::kHistoryReady,
            [window](int32_t, net::MessageReader& reader, net::LogLine& log) {
                CHistoryListing listing;
                const int step = DecodeHistoryListing(reader, listing);
                static const char* const kField[] = {"path", "session id", "entry"};
                if (step >= 0) {
                    log.Write("MsgSession.HandleResponseHistory(%i): Unable to decode %s", step,
                              kField[step]);
                }
                // A header that failed shows nothing; a failed entry ends the list.
                if (step == 0 || step == 1 || !window) return;
                window->ShowListing(listing);
            });
    }
    if (auto* rooms = ctx.Find<sessions::SessionRooms>()) {
        rooms->SetButtonAction(sessions::RoomButton::History, [window](const std::string& id) {
            if (window) window->RequestHistory(id, kTop);
        });
    }

    net::SlotHooks hooks;
    hooks.started = [window](uint32_t) {
        if (window) window->DownloadStarted();
    };
    hooks.progress = [window](int percent, int32_t, int32_t) {
        if (window) window->DownloadProgress(percent);
    };
    hooks.completed = [window](uint32_t) {
        if (window) window->DownloadCompleted();
    };
    hooks.refused = [window](uint32_t, int32_t) {
        if (window) window->DownloadRefused();
    };
    ctx.RegisterSlot(kHistorySlot, std::move(hooks));
}

void HistoryModule::LoggedOut() {
    // The drop closed the slot: a "Cancel" left standing would cancel a
    // transfer that no longer exists.
    if (window_) window_->ConnectionDropped();
}

std::unique_ptr<shell::Module> MakeModule() {
    return std::make_unique<HistoryModule>();
}

}  // namespace history
