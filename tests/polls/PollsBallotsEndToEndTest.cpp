// Two whole programs against the in-process local network: alice authors a
// poll in her windows, bob takes it (and is sent back once alice changes a
// question under him), and both look at the results.

#include <gtest/gtest.h>

#include <QDateTime>
#include <QPushButton>
#include <QTest>

#include "app/AppHarness.h"
#include "net/Client.h"
#include "polls/BallotDlg.h"
#include "polls/PollDlg.h"
#include "polls/PollResultsDlg.h"
#include "polls/PollingCenterDlg.h"
#include "polls/PollsModule.h"
#include "polls/model/PollFiles.h"
#include "server/polls/PollsService.h"
#include "sessions/Rooms.h"
#include "sessions/SessionDlg.h"
#include "sessions/SessionsModule.h"
#include "shell/MainDlg.h"
#include "ui/FixedButton.h"
#include "ui/ServerResponseDlg.h"
#include "support/qt/LocalNetworkFixture.h"

namespace polls {
namespace {

using testsupport::SpinUntil;

constexpr char kTeam[] = "demo01";

class PollsBallotsEndToEnd : public ::testing::Test {
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
    static PollsModule& Module(apptest::AppHarness& h) { return *h.state->FindModule<PollsModule>(); }
    static CPollingCenterDlg* Center(apptest::AppHarness& h) { return Module(h).Center(); }
    static int RowOf(CPollingCenterDlg* c, const QString& id) {
        for (int r = 0; r < c->List()->RowCount(); ++r)
            if (c->List()->Cell(r, CPollingCenterDlg::kId) == id) return r;
        return -1;
    }
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
    // One automatic refresh, as the main window's timer gives it.
    static void Tick(CPollingCenterDlg* c) {
        c->SetQuietPeriod(0);
        c->PeriodicTick();
    }
    localnet::PollsService& Server() {
        for (const auto& s : network.Network().AllServices())
            if (auto* p = dynamic_cast<localnet::PollsService*>(s.get())) return *p;
        std::abort();
    }
    // Answers every question of bob's (or alice's) ballot window.
    static void AnswerAll(CBallotDlg* b, const char* number, const char* text) {
        b->TrueButton()->click();
        b->NextButton()->click();
        b->ChoiceButton(1)->click();
        b->NextButton()->click();
        QTest::keyClicks(b->NumberBox(), QString::fromLatin1(number));
        b->NextButton()->click();
        QTest::keyClicks(b->OpenBox(), QString::fromLatin1(text));
    }

    testsupport::LocalNetworkFixture network;
    std::unique_ptr<apptest::AppHarness> alice;
    std::unique_ptr<apptest::AppHarness> bob;
};

TEST_F(PollsBallotsEndToEnd, AuthoredTakenRefusedRetakenAndTallied) {
    CPollingCenterDlg* a = OpenOn(*alice);
    CPollingCenterDlg* b = OpenOn(*bob);
    const int before = a->List()->RowCount();

    // alice authors a poll of the four kinds.
    ASSERT_TRUE(a->ButtonAt(CPollingCenterDlg::kCreate)->isEnabled());
    a->ButtonAt(CPollingCenterDlg::kCreate)->click();
    CPollDlg* poll = Module(*alice).PollWindow();
    CPollQuestionDlg* question = Module(*alice).QuestionWindow();
    ASSERT_TRUE(SpinUntil([&] { return poll->isVisible(); }));
    EXPECT_EQ(poll->windowTitle(), "Create Poll");
    poll->NewQuestionButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return question->isVisible(); }));
    question->KindButton(QuestionKind::TrueFalse)->click();
    question->TextBox()->setPlainText("Is the sky blue?");
    question->TrueButton()->click();
    question->NextQuestionButton()->click();
    question->KindButton(QuestionKind::MultipleChoice)->click();
    question->TextBox()->setPlainText("Which planet is the largest of all?");
    const char* planets[] = {"Mars", "Jupiter", "Venus", "Mercury"};
    for (int i = 0; i < 4; ++i) question->AnswerBox(i)->setText(planets[i]);
    question->CorrectChoice(1)->click();
    question->NextQuestionButton()->click();
    question->KindButton(QuestionKind::Numeric)->click();
    question->TextBox()->setPlainText("How many hours?");
    question->MinimumBox()->setText("0");
    question->MaximumBox()->setText("100");
    question->CorrectMinimumBox()->setText("10");
    question->CorrectMaximumBox()->setText("20");
    question->NextQuestionButton()->click();
    question->KindButton(QuestionKind::Open)->click();
    question->TextBox()->setPlainText("Anything else?");
    question->FinishedButton()->click();
    EXPECT_FALSE(question->isVisible());
    ASSERT_EQ(poll->List()->topLevelItemCount(), 4);
    EXPECT_EQ(poll->List()->topLevelItem(1)->text(CPollDlg::kType), "Multiple Choice");
    EXPECT_EQ(poll->List()->topLevelItem(1)->text(CPollDlg::kQuestion), "Which planet is t...");
    const QDateTime start = QDateTime::currentDateTime().addSecs(-3600);
    const QDateTime end = start.addDays(2);
    poll->StartDate()->setDate(start.date());
    poll->StartTime()->setTime(start.time());
    poll->EndDate()->setDate(end.date());
    poll->EndTime()->setTime(end.time());
    poll->MaxVotesBox()->setText("2");
    poll->OthersMayViewBox()->setChecked(false);
    alice->dialogs.Clear();
    poll->OkButton()->click();
    EXPECT_TRUE(alice->dialogs.Texts().isEmpty()) << alice->dialogs.Texts().join("|").toStdString();
    EXPECT_FALSE(poll->isVisible());
    ASSERT_TRUE(SpinUntil([&] { return a->List()->RowCount() == before + 1; }));
    const int32_t id = poll->KeptId();
    const QString name = QString("alice (%1)").arg(id);
    ASSERT_TRUE(SpinUntil([&] {
        const int row = RowOf(a, name);
        return row >= 0 && a->List()->Cell(row, CPollingCenterDlg::kStatus) == "In Progress";
    }));

    // bob's list shows it after a tick; he starts taking it.
    Tick(b);
    ASSERT_TRUE(SpinUntil([&] { return RowOf(b, name) >= 0; }));
    b->List()->SelectRows({RowOf(b, name)});
    ASSERT_TRUE(b->ButtonAt(CPollingCenterDlg::kTake)->isEnabled());
    b->ButtonAt(CPollingCenterDlg::kTake)->click();
    CBallotDlg* ballot = Module(*bob).Ballot();
    ASSERT_TRUE(SpinUntil([&] { return ballot->isVisible(); }));
    EXPECT_EQ(ballot->QuestionLabel()->text(), "Question: 1/4");
    AnswerAll(ballot, "15", "Lovely");

    // Meanwhile alice changes a question.
    a->List()->SelectRows({RowOf(a, name)});
    a->ButtonAt(CPollingCenterDlg::kModify)->click();
    ASSERT_TRUE(SpinUntil([&] { return poll->isVisible(); }));
    EXPECT_EQ(poll->windowTitle(), "Modify Poll");
    EXPECT_EQ(poll->List()->topLevelItem(1)->text(CPollDlg::kType), "Multiple choice");
    poll->List()->setCurrentItem(poll->List()->topLevelItem(0));
    poll->ModifyButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return question->isVisible(); }));
    EXPECT_TRUE(poll->QuestionsChanged());
    question->TextBox()->setPlainText("Is the sea blue?");
    question->UpdateButton()->click();
    poll->OkButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return Server().Find("1234567", kTeam, id)->version == 2; }));

    // bob's Submit is refused with the version.
    bob->dialogs.Clear();
    ballot->SubmitButton()->click();
    auto& response = bob->state->ServerResponseWindow();
    ASSERT_TRUE(SpinUntil([&] { return response.isVisible(); }));
    EXPECT_TRUE(response.Text().contains("Wrong ballot version"));
    response.hide();

    // After a tick he takes the new version and submits.
    EXPECT_TRUE(ballot->SubmitButton()->isEnabled());
    Tick(b);
    ASSERT_TRUE(SpinUntil([&] {
        const int row = RowOf(b, name);
        return row >= 0 && b->Entries()[size_t(row)].version == 2;
    }));
    b->List()->SelectRows({RowOf(b, name)});
    b->ButtonAt(CPollingCenterDlg::kTake)->click();
    ASSERT_TRUE(SpinUntil([&] { return ballot->QuestionLabel()->text() == "Question: 1/4" &&
                                       ballot->QuestionText()->toPlainText() == "Is the sea blue?"; }));
    AnswerAll(ballot, "15", "Lovely");
    ballot->SubmitButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return !ballot->isVisible(); }));
    ASSERT_TRUE(SpinUntil([&] { return Server().Find("1234567", kTeam, id)->votes == 1; }));

    // A third take is refused.
    ASSERT_TRUE(SpinUntil([&] {
        const int row = RowOf(b, name);
        return row >= 0 && b->List()->Cell(row, CPollingCenterDlg::kVotes) == "1/2";
    }));
    b->List()->SelectRows({RowOf(b, name)});
    b->ButtonAt(CPollingCenterDlg::kTake)->click();
    ASSERT_TRUE(SpinUntil([&] { return response.isVisible(); }));
    EXPECT_TRUE(response.Text().contains("You have already taken this poll"));
    response.hide();

    // alice votes; her list says 2/2 and Finished.
    Tick(a);
    ASSERT_TRUE(SpinUntil([&] {
        const int row = RowOf(a, name);
        return row >= 0 && a->List()->Cell(row, CPollingCenterDlg::kVotes) == "1/2";
    }));
    a->List()->SelectRows({RowOf(a, name)});
    a->ButtonAt(CPollingCenterDlg::kTake)->click();
    CBallotDlg* aliceBallot = Module(*alice).Ballot();
    ASSERT_TRUE(SpinUntil([&] { return aliceBallot->isVisible(); }));
    aliceBallot->FalseButton()->click();
    aliceBallot->NextButton()->click();
    aliceBallot->ChoiceButton(1)->click();
    aliceBallot->NextButton()->click();
    QTest::keyClicks(aliceBallot->NumberBox(), "42");
    alice->dialogs.Clear();
    alice->dialogs.answers.push_back(ui::MsgAnswer::Yes);  // the open one stays unanswered
    aliceBallot->SubmitButton()->click();
    EXPECT_EQ(alice->dialogs.Last().text,
              "Not all questions have been answered.\r\nAre you sure you wish to submit the ballot?");
    ASSERT_TRUE(SpinUntil([&] { return !aliceBallot->isVisible(); }));
    ASSERT_TRUE(SpinUntil([&] {
        const int row = RowOf(a, name);
        return row >= 0 && a->List()->Cell(row, CPollingCenterDlg::kVotes) == "2/2" &&
               a->List()->Cell(row, CPollingCenterDlg::kStatus) == "Finished";
    }));

    // Her results: the bars, and bob's score among the individual ballots.
    a->List()->SelectRows({RowOf(a, name)});
    ASSERT_TRUE(a->ButtonAt(CPollingCenterDlg::kViewResults)->isEnabled());
    a->ButtonAt(CPollingCenterDlg::kViewResults)->click();
    CPollResultsDlg* results = Module(*alice).Results();
    ASSERT_TRUE(SpinUntil([&] { return results->isVisible(); }));
    EXPECT_EQ(results->QuestionLabel()->text(), "Question 1/4");
    EXPECT_EQ(results->Bars()->Heights(), (std::vector<int>{63, 63}));
    EXPECT_EQ(results->Bars()->Correct(), 0);
    results->NextButton()->click();
    EXPECT_EQ(results->Bars()->Heights(), (std::vector<int>{0, 126, 0, 0}));
    results->NextButton()->click();
    EXPECT_EQ(results->NumericLabel()->text(), "10.000000 to 20.000000");
    EXPECT_EQ(results->RowText(0)->text(), "42.000000 (1 vote)");
    EXPECT_EQ(results->RowText(1)->text(), "15.000000 (1 vote)");
    EXPECT_EQ(results->RowMark(0)->Mark(), 1);
    EXPECT_EQ(results->RowMark(1)->Mark(), 0);
    ASSERT_TRUE(results->ViewBallotsButton()->isEnabled());
    results->ViewBallotsButton()->click();
    CIndividualBallotsDlg* individual = Module(*alice).IndividualBallots();
    ASSERT_TRUE(SpinUntil([&] { return individual->isVisible(); }));
    ASSERT_EQ(individual->Voters()->RowCount(), 2);
    EXPECT_EQ(individual->Voters()->Cell(0, 0), "bob");
    EXPECT_EQ(individual->Voters()->Cell(0, 1), "3/3 (100.0%)");
    EXPECT_EQ(individual->Voters()->Cell(1, 0), "alice");
    EXPECT_EQ(individual->Voters()->Cell(1, 1), "1/3 (33.3%)");
    EXPECT_EQ(individual->AnswerLabel()->text(), "bob answered true (correct)");

    // bob's results carry no names and keep the individual ballots shut.
    Tick(b);
    ASSERT_TRUE(SpinUntil([&] {
        const int row = RowOf(b, name);
        return row >= 0 && b->List()->Cell(row, CPollingCenterDlg::kStatus) == "Finished";
    }));
    b->List()->SelectRows({RowOf(b, name)});
    b->ButtonAt(CPollingCenterDlg::kViewResults)->click();
    CPollResultsDlg* bobResults = Module(*bob).Results();
    ASSERT_TRUE(SpinUntil([&] { return bobResults->isVisible(); }));
    EXPECT_FALSE(bobResults->ViewBallotsButton()->isEnabled());
    ASSERT_EQ(bobResults->Ballots().size(), 2u);
    EXPECT_EQ(bobResults->Ballots()[0].voterName, "voter1");
    EXPECT_EQ(bobResults->Ballots()[1].voterName, "voter2");
    // Clicking it anyway opens nothing.
    bobResults->ViewBallotsButton()->setEnabled(true);
    bobResults->ViewBallotsButton()->click();
    EXPECT_FALSE(Module(*bob).IndividualBallots()->isVisible());
}

}  // namespace
}  // namespace polls
