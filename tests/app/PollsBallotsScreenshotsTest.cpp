// The guide's pictures of taking, tallying and authoring polls: alice takes
// the demo poll in progress (a picture per kind of question), its results
// once it is over, the individual ballots, and the poll and question windows.

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QTest>

#include "app/AppHarness.h"
#include "polls/BallotDlg.h"
#include "polls/MsgPoll.h"
#include "polls/PollDlg.h"
#include "polls/PollResultsDlg.h"
#include "polls/PollsModule.h"
#include "server/polls/PollsService.h"
#include "shell/MainDlg.h"
#include "support/qt/LocalNetworkFixture.h"

using apptest::AppHarness;
using testsupport::SpinUntil;

TEST(ScreenshotsChild, DISABLED_PollsBallots) {
    using namespace polls;
    const QString dir = apptest::ScreenshotDir();
    if (dir.isEmpty()) GTEST_SKIP() << "PALINDOR_SCREENSHOT_DIR is not set";
    ASSERT_TRUE(QDir().mkpath(dir));
    testsupport::LocalNetworkFixture network;
    ASSERT_TRUE(network.Start());
    AppHarness alice(network.Endpoints());
    alice.ConfirmLogin("alice", "alicepass");
    ASSERT_TRUE(SpinUntil([&] { return alice.state->MainWindow().isVisible(); }));
    PollsModule& module = *alice.state->FindModule<PollsModule>();
    net::Client& client = alice.state->Client();

    // Taking the poll in progress: one picture per question.
    CBallotDlg* ballot = module.Ballot();
    ballot->SetPoll("demo01", "alice", 1, 1);
    ASSERT_TRUE(RequestPollFile(client, "demo01", "alice", 1, 0));
    ASSERT_TRUE(SpinUntil([&] { return ballot->isVisible(); }));
    ballot->ChoiceButton(2)->click();
    EXPECT_TRUE(apptest::SaveScreenshot(*ballot, dir, "polls-ballot-choice.png"));
    ballot->NextButton()->click();
    ballot->TrueButton()->click();
    EXPECT_TRUE(apptest::SaveScreenshot(*ballot, dir, "polls-ballot-truefalse.png"));
    ballot->NextButton()->click();
    QTest::keyClicks(ballot->NumberBox(), "7.5");
    EXPECT_TRUE(apptest::SaveScreenshot(*ballot, dir, "polls-ballot-numeric.png"));
    ballot->NextButton()->click();
    QTest::keyClicks(ballot->OpenBox(), "A shorter agenda, sent the day before, and a hard stop at "
                                        "the half hour.");
    EXPECT_TRUE(apptest::SaveScreenshot(*ballot, dir, "polls-ballot-open.png"));
    ballot->SubmitButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return !ballot->isVisible(); }));

    // A week later the poll is over: its results.
    localnet::PollsService* service = nullptr;
    for (const auto& s : network.Network().AllServices())
        if (auto* p = dynamic_cast<localnet::PollsService*>(s.get())) service = p;
    ASSERT_NE(service, nullptr);
    ASSERT_TRUE(SpinUntil([&] { return service->Find("1234567", "demo01", 1)->votes == 2; }));
    service->SetClock([] { return std::time(nullptr) + 9 * 24 * 3600; });
    CPollResultsDlg* results = module.Results();
    results->SetPoll("alice", 0);
    ASSERT_TRUE(RequestResults(client, "demo01", "alice", 1));
    ASSERT_TRUE(SpinUntil([&] { return results->isVisible(); }));
    EXPECT_TRUE(apptest::SaveScreenshot(*results, dir, "polls-results-choice.png"));
    results->NextButton()->click();
    EXPECT_TRUE(apptest::SaveScreenshot(*results, dir, "polls-results.png"));
    results->NextButton()->click();
    EXPECT_TRUE(apptest::SaveScreenshot(*results, dir, "polls-results-numeric.png"));
    results->ViewBallotsButton()->click();
    CIndividualBallotsDlg* individual = module.IndividualBallots();
    ASSERT_TRUE(SpinUntil([&] { return individual->isVisible(); }));
    individual->Voters()->setCurrentIndex(individual->Voters()->model()->index(1, 0));
    individual->SelectVoter(1);
    individual->NextButton()->click();
    individual->NextButton()->click();
    individual->NextButton()->click();
    EXPECT_TRUE(apptest::SaveScreenshot(*individual, dir, "polls-individual-ballots.png"));
    individual->hide();
    results->hide();

    // The finished poll with a correct answer: the correct bar apart.
    results->SetPoll("alice", 1);
    ASSERT_TRUE(RequestResults(client, "demo01", "alice", 2));
    ASSERT_TRUE(SpinUntil([&] { return results->isVisible() && results->Ballots().size() == 3; }));
    EXPECT_TRUE(apptest::SaveScreenshot(*results, dir, "polls-results-correct.png"));
    results->ViewBallotsButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return individual->isVisible(); }));
    individual->Voters()->setCurrentIndex(individual->Voters()->model()->index(2, 0));
    individual->SelectVoter(2);
    EXPECT_TRUE(apptest::SaveScreenshot(*individual, dir, "polls-individual-correct.png"));
    individual->hide();
    results->hide();

    // Authoring: the question window for each kind, then the poll window.
    CPollDlg* poll = module.PollWindow();
    CPollQuestionDlg* question = module.QuestionWindow();
    poll->StartCreating("demo01");
    ASSERT_TRUE(SpinUntil([&] { return poll->isVisible(); }));
    poll->NewQuestionButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return question->isVisible(); }));
    question->KindButton(QuestionKind::TrueFalse)->click();
    question->TextBox()->setPlainText("The release goes out on Thursday.");
    question->TrueButton()->click();
    EXPECT_TRUE(apptest::SaveScreenshot(*question, dir, "polls-question-truefalse.png"));
    question->NextQuestionButton()->click();
    question->KindButton(QuestionKind::MultipleChoice)->click();
    question->TextBox()->setPlainText("Which room suits the workshop best?");
    const char* rooms[] = {"Harbour room", "Library", "Roof terrace", "Canteen"};
    for (int i = 0; i < 4; ++i) question->AnswerBox(i)->setText(rooms[i]);
    question->CorrectChoice(1)->click();
    EXPECT_TRUE(apptest::SaveScreenshot(*question, dir, "polls-question-choice.png"));
    question->NextQuestionButton()->click();
    question->KindButton(QuestionKind::Numeric)->click();
    question->TextBox()->setPlainText("How many people will come?");
    question->MinimumBox()->setText("0");
    question->MaximumBox()->setText("200");
    question->CorrectMinimumBox()->setText("20");
    question->CorrectMaximumBox()->setText("40");
    EXPECT_TRUE(apptest::SaveScreenshot(*question, dir, "polls-question-numeric.png"));
    question->NextQuestionButton()->click();
    question->KindButton(QuestionKind::Open)->click();
    question->TextBox()->setPlainText("What should we cover first?");
    question->NoCorrectBox()->setChecked(true);
    EXPECT_TRUE(apptest::SaveScreenshot(*question, dir, "polls-question-open.png"));
    question->FinishedButton()->click();
    const QDateTime start(QDate(2027, 3, 1), QTime(9, 0));
    poll->StartDate()->setDate(start.date());
    poll->StartTime()->setTime(start.time());
    poll->EndDate()->setDate(start.date().addDays(5));
    poll->EndTime()->setTime(QTime(17, 0));
    poll->MaxVotesBox()->setText("25");
    poll->OthersMayViewBox()->setChecked(true);
    poll->List()->setCurrentItem(poll->List()->topLevelItem(1));
    EXPECT_TRUE(apptest::SaveScreenshot(*poll, dir, "polls-create.png"));
}
