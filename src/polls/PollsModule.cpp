#include "polls/PollsModule.h"

#include "net/Client.h"
#include "net/Connection.h"
#include "net/Protocol.h"
#include "net/Transfers.h"
#include "polls/BallotDlg.h"
#include "polls/MsgPoll.h"
#include "polls/PollDlg.h"
#include "polls/PollResultsDlg.h"
#include "polls/PollingCenterDlg.h"
#include "sessions/api/SessionRooms.h"
#include "shell/ModuleContext.h"

#include <algorithm>

namespace polls {

PollsModule::PollsModule() = default;
PollsModule::~PollsModule() {
    // The individual ballots show the results window's data.
    if (individual_) individual_->Detach();
}

void PollsModule::RegisterPictures(ui::Skin& skin) {
    CPollingCenterDlg::RegisterPictures(skin);
    CBallotDlg::RegisterPictures(skin);
    CPollResultsDlg::RegisterPictures(skin);
    CIndividualBallotsDlg::RegisterPictures(skin);
    CPollDlg::RegisterPictures(skin);
    CPollQuestionDlg::RegisterPictures(skin);
}

void PollsModule::Register(shell::ModuleContext& ctx) {
    client_ = &ctx.Client();
    center_ = std::make_unique<CPollingCenterDlg>(ctx.Skin(), ctx.Dialogs(), ctx.Timings(),
                                                  ctx.Client(), ctx.WindowParent());
    CPollingCenterDlg* center = center_.get();
    ballot_ = std::make_unique<CBallotDlg>(ctx.Skin(), ctx.Dialogs(), ctx.Timings(), ctx.Client(),
                                           ctx.WindowParent());
    individual_ = std::make_unique<CIndividualBallotsDlg>(ctx.Skin(), ctx.Dialogs(), ctx.Timings(),
                                                          ctx.WindowParent());
    results_ = std::make_unique<CPollResultsDlg>(ctx.Skin(), ctx.Dialogs(), ctx.Timings(),
                                                 ctx.Client(), ctx.WindowParent());
    question_ = std::make_unique<CPollQuestionDlg>(ctx.Skin(), ctx.Dialogs(), ctx.Timings(),
                                                   ctx.WindowParent());
    poll_ = std::make_unique<CPollDlg>(ctx.Skin(), ctx.Dialogs(), ctx.Timings(), ctx.Client(),
                                       *question_, ctx.WindowParent());
    CBallotDlg* ballot = ballot_.get();
    CPollResultsDlg* results = results_.get();
    CPollDlg* poll = poll_.get();
    results->SetIndividualWindow(individual_.get());
    ballot->SetListRequest([center] { center->Refresh(); });
    poll->SetListRequest([center] { center->Refresh(); });

    PollWindows windows;
    windows.pollWindowMode = [poll] { return poll->isVisible() ? int(poll->CurrentMode()) : -1; };
    windows.startCreating = [poll](const std::string& id) { poll->StartCreating(id); };
    windows.startModifying = [poll](const std::string& id, const CPollEntry& e) {
        poll->StartModifying(id, e);
    };
    windows.ballotVisible = [ballot] { return ballot->isVisible(); };
    windows.startTaking = [ballot](const std::string& id, const std::string& owner, int32_t poll,
                                   int32_t version) { ballot->SetPoll(id, owner, poll, version); };
    windows.viewResults = [results](const std::string& owner, int32_t othersMayView) {
        results->SetPoll(owner, othersMayView);
    };
    center->SetPollWindows(std::move(windows));

    ctx.RegisterFamily(net::Primary::Poll, [center, ballot](net::Connection& connection,
                                                            const net::bufHeader& header,
                                                            net::LogLine& log) {
        const PollResponse r = DecodePollResponse(connection.ReceiveBuffer(), header, log);
        center->HandleResponse(int(r.kind), r.errorCode);
        // A refusal may have freed the ballot slot.
        ballot->UpdateSubmit();
    });

    net::SlotHooks list;
    list.serverClock = [center](std::time_t clock) { center->SetServerClock(clock); };
    list.completed = [center](uint32_t) { center->ListArrived(); };
    list.refused = [center](uint32_t, int32_t) { center->ListArrived(); };
    ctx.RegisterSlot(net::poll::kPollListSlot, std::move(list));

    net::SlotHooks upload;
    upload.goAhead = [poll](int32_t value) { poll->UploadGoAhead(value); };
    upload.completed = [poll](uint32_t) { poll->UploadCompleted(); };
    upload.refused = [poll](uint32_t, int32_t) { poll->UpdateOk(); };
    // A poll change without a file is stored: the list shows it.
    upload.pollStored = [center, poll] {
        poll->UpdateOk();
        center->Refresh();
    };
    ctx.RegisterSlot(net::poll::kPollUploadSlot, std::move(upload));

    net::SlotHooks pollFile;
    pollFile.completed = [poll, ballot](uint32_t purpose) {
        if (purpose == 1)
            poll->PollFileArrived();
        else
            ballot->PollFileArrived();
    };
    ctx.RegisterSlot(net::poll::kPollFileSlot, std::move(pollFile));

    net::SlotHooks ballotUpload;
    ballotUpload.completed = [ballot](uint32_t) { ballot->UploadCompleted(); };
    ballotUpload.refused = [ballot](uint32_t, int32_t) { ballot->UpdateSubmit(); };
    ctx.RegisterSlot(net::poll::kBallotSlot, std::move(ballotUpload));

    net::SlotHooks resultsDownload;
    resultsDownload.completed = [results](uint32_t) { results->ResultsArrived(); };
    ctx.RegisterSlot(net::poll::kResultsSlot, std::move(resultsDownload));

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
    for (QWidget* w : std::initializer_list<QWidget*>{ballot, results, individual_.get(), poll,
                                                      question_.get()})
        ctx.HideOnDrop(w);
}

void PollsModule::LoggedIn() {
    if (!client_) return;
    if (center_) center_->SetUsername(client_->Username());
    if (ballot_) ballot_->SetUsername(client_->Username());
    if (results_) results_->SetUsername(client_->Username());
}

void PollsModule::LoggedOut() {
    if (center_) center_->Reset();
    if (ballot_) ballot_->Reset();
    if (results_) results_->Reset();
    if (poll_) poll_->Reset();
}

std::unique_ptr<shell::Module> MakeModule() {
    return std::make_unique<PollsModule>();
}

}  // namespace polls
