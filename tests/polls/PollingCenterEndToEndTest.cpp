// Two whole programs against the in-process local network: alice and bob
// look at the polls of alice's seeded session in their Polling Centers.

#include <gtest/gtest.h>

#include <QPushButton>

#include "app/AppHarness.h"
#include "net/Client.h"
#include "net/Connection.h"
#include "net/Protocol.h"
#include "net/Transfers.h"
#include "polls/MsgPoll.h"
#include "polls/PollingCenterDlg.h"
#include "polls/PollsModule.h"
#include "polls/model/PollFiles.h"
#include "polls/model/PollSchedule.h"
#include "server/polls/PollsService.h"
#include "sessions/Rooms.h"
#include "sessions/SessionDlg.h"
#include "sessions/SessionsModule.h"
#include "ui/FixedButton.h"
#include "shell/MainDlg.h"
#include "support/qt/LocalNetworkFixture.h"

namespace polls {
namespace {

using testsupport::SpinUntil;

constexpr char kTeam[] = "demo01";

class PollingCenterEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(network.Start());
        alice = std::make_unique<apptest::AppHarness>(network.Endpoints());
        bob = std::make_unique<apptest::AppHarness>(network.Endpoints());
        LogIn(*alice, "alice", "alicepass");
        LogIn(*bob, "bob", "bobpass");
    }
    void TearDown() override {
        alice.reset();
        bob.reset();
        network.Stop();
    }

    static void LogIn(apptest::AppHarness& h, const QString& user, const QString& password) {
        h.ConfirmLogin(user, password);
        ASSERT_TRUE(SpinUntil([&] { return h.state->MainWindow().isVisible(); }));
    }
    static CPollingCenterDlg* Center(apptest::AppHarness& h) {
        return h.state->FindModule<PollsModule>()->Center();
    }
    static QString Cell(CPollingCenterDlg* c, int row, int column) {
        return row < 0 ? QString() : c->List()->Cell(row, column);
    }
    static int RowOf(CPollingCenterDlg* c, const QString& id) {
        for (int r = 0; r < c->List()->RowCount(); ++r)
            if (Cell(c, r, CPollingCenterDlg::kId) == id) return r;
        return -1;
    }
    static void Select(CPollingCenterDlg* c, std::initializer_list<int> rows) {
        c->List()->SelectRows(rows);
    }
    static bool Enabled(CPollingCenterDlg* c, CPollingCenterDlg::Button b) {
        return c->ButtonAt(b)->isEnabled();
    }
    // Enters the session's room and opens the Polling Center from its POLL
    // button; waits for the list.
    static CPollingCenterDlg* OpenOn(apptest::AppHarness& h) {
        auto& rooms = *h.state->FindModule<sessions::SessionsModule>();
        rooms.SendJoinSession(kTeam, "");
        sessions::CSessionDlg* room = nullptr;
        EXPECT_TRUE(SpinUntil([&] {
            room = rooms.RoomList()->Find(kTeam);
            return room && !room->Participants().empty();
        }));
        CPollingCenterDlg* c = Center(h);
        if (!room) return c;
        room->Button("POLL")->click();
        EXPECT_TRUE(SpinUntil([&] { return c->isVisible() && c->List()->RowCount() > 0; }));
        return c;
    }

    testsupport::LocalNetworkFixture network;
    std::unique_ptr<apptest::AppHarness> alice;
    std::unique_ptr<apptest::AppHarness> bob;
};

TEST_F(PollingCenterEndToEnd, BothSeeTheDemoPollsAndOnlyTheOwnerMayChangeThem) {
    CPollingCenterDlg* a = OpenOn(*alice);
    CPollingCenterDlg* b = OpenOn(*bob);
    ASSERT_EQ(a->List()->RowCount(), 4);
    EXPECT_EQ(a->windowTitle(), "Polling Center");
    const QString expected[][2] = {{"alice (1)", "In Progress"},
                                   {"alice (2)", "Finished"},
                                   {"alice (4)", "Suspended"}};
    for (const auto& [id, state] : expected) {
        const int row = RowOf(b, id);
        ASSERT_GE(row, 0) << id.toStdString();
        EXPECT_EQ(Cell(b, row, CPollingCenterDlg::kStatus), state) << id.toStdString();
    }
    EXPECT_EQ(Cell(b, RowOf(b, "alice (1)"), CPollingCenterDlg::kVotes), "1/20");
    EXPECT_EQ(Cell(b, RowOf(b, "alice (3)"), CPollingCenterDlg::kRecurring),
              "Recurs every 24 hours");
    EXPECT_EQ(a->List()->columnWidth(CPollingCenterDlg::kStart), 140);

    // bob owns none of them and did not create the session.
    Select(b, {RowOf(b, "alice (1)")});
    for (auto button : {CPollingCenterDlg::kReset, CPollingCenterDlg::kDelete,
                        CPollingCenterDlg::kSuspend, CPollingCenterDlg::kResume})
        EXPECT_FALSE(Enabled(b, button)) << button;

    // alice suspends her poll in progress: her list shows it at once...
    Select(a, {RowOf(a, "alice (1)")});
    ASSERT_TRUE(Enabled(a, CPollingCenterDlg::kSuspend));
    EXPECT_FALSE(Enabled(a, CPollingCenterDlg::kResume));
    a->ButtonAt(CPollingCenterDlg::kSuspend)->click();
    EXPECT_TRUE(SpinUntil([&] {
        const int row = RowOf(a, "alice (1)");
        return row >= 0 && Cell(a, row, CPollingCenterDlg::kStatus) == "Suspended";
    }));
    EXPECT_EQ(a->List()->SelectedRowNumbers().size(), 0u) << "a refill clears the selection";
    // ...and bob's after a tick of the periodic timer.
    // (bob's window stays quiet until then: the main window's own timer
    // ticks in these tests too)
    EXPECT_EQ(Cell(b, RowOf(b, "alice (1)"), CPollingCenterDlg::kStatus), "In Progress");
    b->SetQuietPeriod(0);
    b->PeriodicTick();
    EXPECT_TRUE(SpinUntil([&] {
        return Cell(b, RowOf(b, "alice (1)"), CPollingCenterDlg::kStatus) == "Suspended";
    }));
    EXPECT_TRUE(b->isVisible());
}

TEST_F(PollingCenterEndToEnd, DeleteAsksFirstAndNoSendsNothing) {
    CPollingCenterDlg* a = OpenOn(*alice);
    Select(a, {RowOf(a, "alice (2)"), RowOf(a, "alice (4)")});
    EXPECT_TRUE(Enabled(a, CPollingCenterDlg::kDelete));
    EXPECT_FALSE(Enabled(a, CPollingCenterDlg::kModify)) << "two rows";

    alice->dialogs.answers.push_back(ui::MsgAnswer::No);
    a->ButtonAt(CPollingCenterDlg::kDelete)->click();
    EXPECT_EQ(alice->dialogs.Last().title, "Warning");
    EXPECT_EQ(alice->dialogs.Last().text, "Are you sure you wish to delete the selected poll(s)?");
    SpinUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_EQ(a->List()->RowCount(), 4);

    alice->dialogs.answers.push_back(ui::MsgAnswer::Yes);
    a->ButtonAt(CPollingCenterDlg::kDelete)->click();
    EXPECT_TRUE(SpinUntil([&] { return a->List()->RowCount() == 2; }));
    EXPECT_EQ(RowOf(a, "alice (2)"), -1);
    EXPECT_EQ(RowOf(a, "alice (4)"), -1);
}

TEST_F(PollingCenterEndToEnd, APollUploadedThroughTheTransferAppearsInBothLists) {
    CPollingCenterDlg* a = OpenOn(*alice);
    CPollingCenterDlg* b = OpenOn(*bob);

    // The authored file, masked, uploaded on the poll slot as a create.
    CPollQuestion q;
    q.kind = 0;
    q.text = "Ship on Friday?";
    const std::string path = alice->DataFile(kCreatedPollFile);
    ASSERT_TRUE(net::PrepareTransferFile(alice->state->Client().DataDirectory(), kCreatedPollFile)
                    .size());
    ASSERT_TRUE(WritePollFile(path, {q}));
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    net::TransferFields fields{int32_t(0), int32_t(-1), int32_t(1)};
    for (int32_t v : {tm.tm_year, tm.tm_mon, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                      tm.tm_isdst})
        fields.push_back(v);
    fields.push_back(std::string(kTeam));
    for (int32_t v : {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, 0, 0, 0, tm.tm_year + 1901,
                      1, 1, 0, 0, 0, 5, 0, 0, 1, 1})
        fields.push_back(v);
    net::Connection& fileServer = alice->state->Client().FileServer();
    int32_t pollId = -1;
    net::SlotHooks hooks;
    hooks.goAhead = [&](int32_t value) { pollId = value; };
    bool uploaded = false;
    hooks.completed = [&](uint32_t) { uploaded = true; };
    alice->state->Client().Transfers().Register(net::poll::kPollUploadSlot, hooks);
    ASSERT_TRUE(net::StartUpload(fileServer, net::poll::kPollUploadSlot, path, fields));
    ASSERT_TRUE(SpinUntil([&] { return uploaded; }));
    EXPECT_EQ(pollId, 5);
    ASSERT_TRUE(SendConfirmPoll(fileServer, kTeam, pollId));
    a->Refresh();
    EXPECT_TRUE(SpinUntil([&] { return RowOf(a, "alice (5)") >= 0; }));
    b->SetQuietPeriod(0);
    EXPECT_TRUE(SpinUntil([&] {
        b->PeriodicTick();
        return RowOf(b, "alice (5)") >= 0 &&
               Cell(b, RowOf(b, "alice (5)"), CPollingCenterDlg::kStatus) == "In Progress";
    }));
}

TEST_F(PollingCenterEndToEnd, TheRoomsPollButtonOpensItAndClosingTheRoomHidesIt) {
    auto& sessionsModule = *alice->state->FindModule<sessions::SessionsModule>();
    sessionsModule.SendJoinSession(kTeam, "");
    sessions::CSessionDlg* room = nullptr;
    ASSERT_TRUE(SpinUntil([&] {
        room = sessionsModule.RoomList()->Find(kTeam);
        return room && !room->Participants().empty();
    }));
    ui::CFixedButton* poll = room->Button("POLL");
    ASSERT_NE(poll, nullptr);
    ASSERT_TRUE(poll->isEnabled());
    poll->click();
    CPollingCenterDlg* a = Center(*alice);
    ASSERT_TRUE(SpinUntil([&] { return a->isVisible() && a->List()->RowCount() == 4; }));
    EXPECT_EQ(a->SessionId(), kTeam);

    // The session's creator may act on any poll of it.
    Select(a, {RowOf(a, "alice (2)")});
    EXPECT_TRUE(Enabled(a, CPollingCenterDlg::kReset));

    // No automatic refresh for a session whose room is gone; closing the
    // room hides the window that shows its polls.
    sessionsModule.RoomList()->Close(room);
    EXPECT_TRUE(SpinUntil([&] { return !a->isVisible(); }));
}

}  // namespace
}  // namespace polls
