#include "whiteboard/WhiteboardModule.h"

#include "contacts/api/ContactsApi.h"
#include "net/Client.h"
#include "net/Connection.h"
#include "net/Protocol.h"
#include "sessions/api/SessionRooms.h"
#include "shell/ModuleContext.h"
#include "whiteboard/NotepadDrawDlg.h"
#include "whiteboard/NotepadViewDlg.h"
#include "whiteboard/PageRequests.h"
#include "whiteboard/model/NotepadFiles.h"

namespace whiteboard {

WhiteboardModule::WhiteboardModule() = default;
WhiteboardModule::~WhiteboardModule() = default;

void WhiteboardModule::Register(shell::ModuleContext& ctx) {
    net::Client& client = ctx.Client();
    requests_ = std::make_unique<CPageRequests>(client);
    draw_ = std::make_unique<CNotepadDrawDlg>(ctx.Skin(), ctx.Dialogs(), ctx.Timings(), client,
                                              *requests_, ctx.WindowParent());
    view_ = std::make_unique<CNotepadViewDlg>(ctx.Skin(), ctx.Dialogs(), ctx.Timings(),
                                              *requests_, ctx.WindowParent());
    view_->SetDrawWindow(draw_.get());

    CNotepadDrawDlg* draw = draw_.get();
    ctx.RegisterFamily(net::Primary::Notepad, [draw](net::Connection& connection,
                                                     const net::bufHeader& header,
                                                     net::LogLine& log) {
        const NotepadEvent e = DecodeNotepad(connection.ReceiveBuffer(), header);
        if (!e.log.empty()) log.Set(e.log);
        draw->Apply(e);
    });

    net::SlotHooks upload;
    upload.completed = [this](uint32_t) {
        draw_->SaveCompleted();
        WhiteboardRedraw();
    };
    upload.refused = [this](uint32_t, int32_t) { draw_->SaveRefused(); };
    ctx.RegisterSlot(CNotepadDrawDlg::kUploadSlot, std::move(upload));

    net::SlotHooks download;
    download.completed = [this](uint32_t purpose) { PageTransferEnded(purpose, -1); };
    download.refused = [this](uint32_t purpose, int32_t code) { PageTransferEnded(purpose, code); };
    ctx.RegisterSlot(CPageRequests::kSlot, std::move(download));

    ctx.SetTool(shell::Tool::Whiteboard, [draw] { draw->Open(); });
    ctx.AddPeriodicRefresh([this] { view_->Tick(); });
    if (auto* contacts = ctx.Find<contacts::ContactsApi>()) {
        contacts->SetViewWhiteboardAction(
            [this](const std::string& user, const std::string&) { view_->OpenView(user, 1); });
    }
    if (auto* rooms = ctx.Find<sessions::SessionRooms>()) {
        rooms->SetMenuAction(sessions::RoomMenuItem::ViewWhiteboard,
                             [this](const std::string&, const std::string& account) {
                                 view_->OpenView(account, 1);
                             });
    }
    ctx.HideOnDrop(draw_.get());
    ctx.HideOnDrop(view_.get());
}

void WhiteboardModule::PageTransferEnded(uint32_t purpose, int32_t refusal) {
    const std::optional<CPageRequests::Finished> done = requests_->TakeFinished(purpose);
    if (done && done->current) {
        if (refusal == net::download::kAccountNotFound) {
            // Nothing came: a loading drawing window shows a blank page; a
            // dragged page that does not exist leaves the drawing alone.
            if (purpose == kPurposeDraw) {
                if (draw_->State() == ViewState::Loading) WhiteboardPageLoaded({});
            } else {
                view_->AccountNotFound();
            }
        } else if (purpose == kPurposeDraw) {
            WhiteboardPageLoaded(done->request.path);
        } else {
            WhiteboardViewLoaded(done->request.path);
        }
    }
    requests_->SendWaiting();
}

void WhiteboardModule::WhiteboardRedraw() {
    draw_->RedrawPage();
}

void WhiteboardModule::WhiteboardPageLoaded(const std::string& path) {
    draw_->PageArrived(path);
}

void WhiteboardModule::WhiteboardViewLoaded(const std::string& path) {
    view_->PageArrived(path);
}

void WhiteboardModule::LoggedOut() {
    if (requests_) requests_->Reset();
    if (draw_) draw_->Reset();
    if (view_) view_->Reset();
}

std::unique_ptr<shell::Module> MakeModule() {
    return std::make_unique<WhiteboardModule>();
}

}  // namespace whiteboard
