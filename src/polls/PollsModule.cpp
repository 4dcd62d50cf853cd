#include "polls/PollsModule.h"

#include "net/Client.h"
#include "net/Connection.h"
#include "net/Protocol.h"
#include "net/Transfers.h"
#include "polls/MsgPoll.h"
#include "polls/PollingCenterDlg.h"
#include "sessions/api/SessionRooms.h"
#include "shell/ModuleContext.h"

#include <algorithm>

namespace polls {

PollsModule::PollsModule() = default;
PollsModule::~PollsModule() = default;

void PollsModule::RegisterPictures(ui::Skin& skin) {
    CPollingCenterDlg::RegisterPictures(skin);
}

void PollsModule::Register(shell::ModuleContext& ctx) {
    client_ = &ctx.Client();
    center_ = std::make_unique<CPollingCenterDlg>(ctx.Skin(), ctx.Dialogs(), ctx.Timings(),
                                                  ctx.Client(), ctx.WindowParent());
    CPollingCenterDlg* center = center_.get();

    ctx.RegisterFamily(net::Primary::Poll, [center](net::Connection& connection,
                                                    const net::bufHeader& header,
                                                    net::LogLine& log) {
        const PollResponse r = DecodePollResponse(connection.ReceiveBuffer(), header, log);
        center->HandleResponse(int(r.kind), r.errorCode);
    });

    net::SlotHooks list;
    list.serverClock = [center](std::time_t clock) { center->SetServerClock(clock); };
    list.completed = [center](uint32_t) { center->ListArrived(); };
    list.refused = [center](uint32_t, int32_t) { center->ListArrived(); };
    ctx.RegisterSlot(net::poll::kPollListSlot, std::move(list));

    net::SlotHooks upload;
    // A poll change without a file is stored: the list shows it.
    upload.pollStored = [center] { center->Refresh(); };
    ctx.RegisterSlot(net::poll::kPollUploadSlot, std::move(upload));

    // The rooms' POLL button opens the Polling Center on the room's session;
    // a room that closes takes the window with it when it shows that session.
    if (sessions::SessionRooms* rooms = ctx.Find<sessions::SessionRooms>()) {
        rooms->SetButtonAction(sessions::RoomButton::Poll,
                               [center](const std::string& id) { center->Open(id); });
        rooms->SetRoomClosed([center](const std::string& id) { center->RoomClosed(id); });
        RoomLink link;
        link.isOpen = [rooms](const std::string& id) {
            const std::vector<std::string> open = rooms->OpenRooms();
            return std::find(open.begin(), open.end(), id) != open.end();
        };
        link.roles = [rooms](const std::string& id) {
            const sessions::RoomRoles r = rooms->OwnRoles(id);
            return SessionRoles{r.administrator, r.creator, r.moderator};
        };
        center->SetRoomLink(std::move(link));
    }

    ctx.AddPeriodicRefresh([center] { center->PeriodicTick(); });
    ctx.HideOnDrop(center);
}

void PollsModule::LoggedIn() {
    if (center_ && client_) center_->SetUsername(client_->Username());
}

void PollsModule::LoggedOut() {
    if (center_) center_->Reset();
}

std::unique_ptr<shell::Module> MakeModule() {
    return std::make_unique<PollsModule>();
}

}  // namespace polls
