// The ballot, poll and question windows of one program against the local
// network: what they check, ask and refuse, and what they leave alone while
// their transfer slot is busy.

#include <gtest/gtest.h>

#include <QDateTime>
#include <QTest>

#include "app/AppHarness.h"
#include "net/Client.h"
#include "net/Connection.h"
#include "net/Protocol.h"
#include "polls/BallotDlg.h"
#include "polls/PollDlg.h"
#include "polls/MsgPoll.h"
#include "polls/PollsModule.h"
#include "polls/model/PollFiles.h"
#include "polls/model/PollResults.h"
#include "server/polls/PollsService.h"
#include "shell/MainDlg.h"
#include "support/TempDir.h"
#include "support/qt/LocalNetworkFixture.h"

namespace polls {
namespace {

using testsupport::SpinUntil;

class PollWindows : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(network.Start());
        h = std::make_unique<apptest::AppHarness>(network.Endpoints());
        h->ConfirmLogin("alice", "alicepass");
        ASSERT_TRUE(SpinUntil([&] { return h->state->MainWindow().isVisible(); }));
        module = h->state->FindModule<PollsModule>();
    }
    void TearDown() override {
        h.reset();
        network.Stop();
    }

    localnet::PollsService& Server() {
        for (const auto& s : network.Network().AllServices())
            if (auto* p = dynamic_cast<localnet::PollsService*>(s.get())) return *p;
        std::abort();
    }
    // Marks a slot as busy, as a running transfer does.
    void Occupy(int slot, bool busy) {
        net::TransferSlot& s = h->state->Client().FileServer().Slot(slot);
        auto lock = s.Lock();
        s.openMode = busy ? net::TransferSlot::kReading : net::TransferSlot::kFree;
    }
    // Puts a poll to take in place and opens the ballot window on it.
    CBallotDlg* Take(const std::vector<CPollQuestion>& questions) {
        const std::string path = net::PrepareTransferFile(h->state->Client().DataDirectory(),
                                                          kTakePollFile);
        EXPECT_TRUE(WritePollFile(path, questions));
        CBallotDlg* b = module->Ballot();
        b->SetPoll("demo01", "alice", 1, 1);
        b->PollFileArrived();
        EXPECT_TRUE(SpinUntil([&] { return b->isVisible(); }));
        return b;
    }
    static CPollQuestion Numeric() {
        CPollQuestion q;
        q.kind = int32_t(QuestionKind::Numeric);
        q.text = "How many?";
        q.minimum = 1.5;
        q.maximum = 10;
        return q;
    }
    static CPollQuestion Open() {
        CPollQuestion q;
        q.kind = int32_t(QuestionKind::Open);
        q.text = "Say something";
        return q;
    }
    QStringList Messages() { return h->dialogs.Texts(); }

    testsupport::LocalNetworkFixture network;
    std::unique_ptr<apptest::AppHarness> h;
    PollsModule* module = nullptr;
};

TEST_F(PollWindows, TheBallotHoldsNumbersToTheRange) {
    CBallotDlg* b = Take({Numeric(), Open()});
    EXPECT_EQ(b->RangeText()->text(), "Range: 1.50 to 10.00");
    EXPECT_FALSE(b->PreviousButton()->isEnabled());
    const auto typed = [&](const char* text) {
        b->NumberBox()->SetText({});
        QTest::keyClicks(b->NumberBox(), text);
        h->dialogs.Clear();
        b->NextButton()->click();
        return b->Current() == 1;
    };
    EXPECT_FALSE(typed("1.49"));
    EXPECT_EQ(Messages(), QStringList{kOutOfRange});
    EXPECT_FALSE(typed("10.01"));
    EXPECT_FALSE(typed("nan"));  // read as 0, not let through
    EXPECT_FALSE(typed("1e1"));
    EXPECT_TRUE(typed("1.5"));
    b->PreviousButton()->click();
    EXPECT_EQ(b->NumberBox()->Text(), "1.500000");
    EXPECT_TRUE(typed("10"));

    // Emptying the box leaves the answer answered: 0 is out of range.
    b->PreviousButton()->click();
    b->NumberBox()->selectAll();
    QTest::keyClick(b->NumberBox(), Qt::Key_Backspace);
    EXPECT_EQ(b->Answers()[0].skipped, 0);
    h->dialogs.Clear();
    b->NextButton()->click();
    EXPECT_EQ(b->Current(), 0u);
}

TEST_F(PollWindows, SubmitAsksOnlyWhenSomethingIsSkipped) {
    // The seeded poll in progress: a choice, true/false, a number, an open one.
    CBallotDlg* b = module->Ballot();
    b->SetPoll("demo01", "alice", 1, 1);
    ASSERT_TRUE(RequestPollFile(h->state->Client(), "demo01", "alice", 1, 0));
    ASSERT_TRUE(SpinUntil([&] { return b->isVisible(); }));
    ASSERT_EQ(b->Questions().size(), 4u);
    b->ChoiceButton(1)->click();
    b->NextButton()->click();
    b->TrueButton()->click();
    b->NextButton()->click();
    QTest::keyClicks(b->NumberBox(), "5");
    b->NextButton()->click();
    // Skipped: asked, and No stays.
    h->dialogs.Clear();
    h->dialogs.answers.push_back(ui::MsgAnswer::No);
    b->SubmitButton()->click();
    EXPECT_EQ(Messages(), QStringList{kNotAllAnswered});
    EXPECT_TRUE(b->isVisible());
    EXPECT_FALSE(testsupport::FileExists(h->DataFile(kBallotFile)));
    // Everything answered: nothing asked; the ballot goes and the window hides.
    QTest::keyClicks(b->OpenBox(), "Fine");
    h->dialogs.Clear();
    b->SubmitButton()->click();
    EXPECT_TRUE(Messages().isEmpty()) << Messages().join("|").toStdString();
    ASSERT_TRUE(SpinUntil([&] { return !b->isVisible(); }));
    ASSERT_TRUE(SpinUntil([&] { return Server().Find("1234567", "demo01", 1)->votes == 2; }));
    auto bytes = ReadWholeFile(h->DataFile(kBallotFile), 1 << 20);
    ASSERT_TRUE(bytes.has_value());
    size_t pos = 0;
    auto ballot = ReadBallot(*bytes, pos);
    ASSERT_TRUE(ballot.has_value());
    EXPECT_EQ(ballot->voterName, "alice");
    EXPECT_EQ(ballot->answers[3].text, "Fine");
    EXPECT_EQ(ballot->answers[2].number, 5.0);
    // The name is masked in the file.
    EXPECT_EQ(bytes->substr(4, 5), MaskVoterName("alice"));
}

TEST_F(PollWindows, ABusyBallotSlotLeavesTheFileBeingSentAlone) {
    CBallotDlg* b = Take({Open()});
    QTest::keyClicks(b->OpenBox(), "x");
    const std::string path =
        net::PrepareTransferFile(h->state->Client().DataDirectory(), kBallotFile);
    ASSERT_TRUE(WriteWholeFile(path, "being sent"));
    Occupy(net::poll::kBallotSlot, true);
    b->UpdateSubmit();
    EXPECT_FALSE(b->SubmitButton()->isEnabled());
    // Even a click that gets through changes nothing.
    QMetaObject::invokeMethod(b->SubmitButton(), "clicked");
    EXPECT_EQ(ReadWholeFile(path, 100), "being sent");
    Occupy(net::poll::kBallotSlot, false);
    b->UpdateSubmit();
    EXPECT_TRUE(b->SubmitButton()->isEnabled());
}

TEST_F(PollWindows, TheOpenBoxStopsAtTheReadersBound) {
    CBallotDlg* b = Take({Open()});
    QString euros(1500, QChar(0x20AC));  // 3 bytes each in UTF-8
    b->OpenBox()->setPlainText(euros);
    EXPECT_LE(b->OpenBox()->Text().toUtf8().size(), 3000);
    EXPECT_EQ(b->OpenBox()->Text().size(), 1000);
    b->OpenBox()->setPlainText(QString(2500, QChar('a')));
    EXPECT_EQ(b->OpenBox()->Text().size(), 2000);
}

TEST_F(PollWindows, APollFileThatCannotBeOpenedOrReadIsSaid) {
    CBallotDlg* b = module->Ballot();
    std::remove(h->DataFile(kTakePollFile).c_str());
    h->dialogs.Clear();
    b->PollFileArrived();
    EXPECT_EQ(Messages(), QStringList{kFailedToOpenPoll0});
    const std::string path =
        net::PrepareTransferFile(h->state->Client().DataDirectory(), kTakePollFile);
    ASSERT_TRUE(WriteWholeFile(path, std::string("\x07\x12\x1d", 3)));
    h->dialogs.Clear();
    b->PollFileArrived();
    EXPECT_EQ(Messages(), QStringList{kFailedToOpenPoll1});
    EXPECT_FALSE(b->isVisible());
    // Cancel asks; No stays.
    Take({Open()});
    h->dialogs.Clear();
    h->dialogs.answers.push_back(ui::MsgAnswer::No);
    b->CancelButton()->click();
    EXPECT_EQ(Messages(), QStringList{kQuitTaking});
    EXPECT_TRUE(b->isVisible());
    b->close();  // the close box asks too; Yes by default
    EXPECT_FALSE(b->isVisible());
}

class AuthoringWindows : public PollWindows {
  protected:
    CPollDlg* Create() {
        CPollDlg* p = module->PollWindow();
        p->StartCreating("demo01");
        EXPECT_TRUE(SpinUntil([&] { return p->isVisible(); }));
        return p;
    }
    void AddOpen(const QString& text) {
        CPollQuestionDlg* q = module->QuestionWindow();
        module->PollWindow()->NewQuestionButton()->click();
        q->KindButton(QuestionKind::Open)->click();
        q->TextBox()->setPlainText(text);
        q->FinishedButton()->click();
    }
};

TEST_F(AuthoringWindows, DeletingMovesOrHidesTheQuestionBeingUpdated) {
    CPollDlg* p = Create();
    for (const char* t : {"first", "second", "third"}) AddOpen(t);
    ASSERT_EQ(p->Questions().size(), 3u);
    CPollQuestionDlg* q = module->QuestionWindow();
    p->List()->setCurrentItem(p->List()->topLevelItem(1));
    p->ModifyButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return q->isVisible(); }));
    EXPECT_EQ(q->TextBox()->toPlainText(), "second");
    p->List()->setCurrentItem(p->List()->topLevelItem(0));
    p->DeleteButton()->click();
    EXPECT_TRUE(q->isVisible());
    EXPECT_EQ(q->UpdatingIndex(), 0u);
    EXPECT_EQ(p->List()->topLevelItem(0)->text(CPollDlg::kNumber), "1");
    EXPECT_EQ(p->List()->topLevelItem(0)->text(CPollDlg::kQuestion), "second");
    q->TextBox()->setPlainText("second, changed");
    q->UpdateButton()->click();
    EXPECT_EQ(p->Questions()[0].text, "second, changed");
    p->List()->setCurrentItem(p->List()->topLevelItem(0));
    p->ModifyButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return q->isVisible(); }));
    p->DeleteButton()->click();
    EXPECT_FALSE(q->isVisible());
    EXPECT_EQ(p->Questions().size(), 1u);
}

TEST_F(AuthoringWindows, FinishedDropsAHalfFilledQuestionSilently) {
    CPollDlg* p = Create();
    CPollQuestionDlg* q = module->QuestionWindow();
    p->NewQuestionButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return q->isVisible(); }));
    q->KindButton(QuestionKind::MultipleChoice)->click();
    q->TextBox()->setPlainText("Half");
    q->AnswerBox(0)->setText("only A");
    h->dialogs.Clear();
    q->FinishedButton()->click();
    EXPECT_TRUE(Messages().isEmpty());
    EXPECT_FALSE(q->isVisible());
    EXPECT_TRUE(p->Questions().empty());
    // Next Question says what is missing and keeps the form.
    p->NewQuestionButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return q->isVisible(); }));
    q->KindButton(QuestionKind::Numeric)->click();
    q->TextBox()->setPlainText("Numbers");
    q->MinimumBox()->setText("nan");
    q->NextQuestionButton()->click();
    EXPECT_EQ(Messages(), QStringList{kEnterNumber});
    EXPECT_TRUE(q->isVisible());
}

TEST_F(AuthoringWindows, OkChecksTheBoxesThenThePoll) {
    CPollDlg* p = Create();
    p->MaxVotesBox()->setText("ten");
    h->dialogs.Clear();
    p->OkButton()->click();
    EXPECT_EQ(Messages(), QStringList{kEnterInteger});
    p->MaxVotesBox()->setText("10");
    h->dialogs.Clear();
    p->OkButton()->click();
    EXPECT_EQ(Messages(), QStringList{"The poll must have at least one question"});
    EXPECT_TRUE(p->isVisible());

    // While a poll upload runs OK is off, and the file being sent stays.
    AddOpen("Anything?");
    const std::string path =
        net::PrepareTransferFile(h->state->Client().DataDirectory(), kCreatedPollFile);
    ASSERT_TRUE(WriteWholeFile(path, "being sent"));
    Occupy(net::poll::kPollUploadSlot, true);
    p->UpdateOk();
    EXPECT_FALSE(p->OkButton()->isEnabled());
    QMetaObject::invokeMethod(p->OkButton(), "clicked");
    EXPECT_EQ(ReadWholeFile(path, 100), "being sent");
    Occupy(net::poll::kPollUploadSlot, false);
}

TEST_F(AuthoringWindows, AScheduleChangeSendsNoQuestionsAQuestionChangeDoes) {
    CPollDlg* p = module->PollWindow();
    CPollEntry entry;
    const localnet::PollsService::Poll* seeded = Server().Find("1234567", "demo01", 1);
    entry.pollId = 1;
    entry.owner = "alice";
    entry.status = 1;
    const QDateTime start = QDateTime::currentDateTime().addSecs(-3600);
    entry.start = {start.date().year(), start.date().month(), start.date().day(), 9, 0, 0};
    entry.end = {2031, 1, 1, 12, 0, 0};
    entry.maxVotes = 20;
    p->StartModifying("demo01", entry);
    ASSERT_TRUE(RequestPollFile(h->state->Client(), "demo01", "alice", 1, 1));
    ASSERT_TRUE(SpinUntil([&] { return p->isVisible(); }));
    EXPECT_EQ(p->windowTitle(), "Modify Poll");
    ASSERT_EQ(p->List()->topLevelItemCount(), 4);
    EXPECT_EQ(p->List()->topLevelItem(0)->text(CPollDlg::kType), "Multiple choice");
    EXPECT_EQ(p->MaxVotesBox()->text(), "20");

    // Only the limit changes: the poll keeps its version and its ballot.
    p->MaxVotesBox()->setText("30");
    p->OkButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return seeded->maxVotes == 30; }));
    EXPECT_EQ(seeded->version, 1);
    EXPECT_EQ(seeded->votes, 1);

    // A question deleted (after the warning): a new version, ballots gone.
    p->StartModifying("demo01", entry);
    ASSERT_TRUE(RequestPollFile(h->state->Client(), "demo01", "alice", 1, 1));
    ASSERT_TRUE(SpinUntil([&] { return p->isVisible(); }));
    p->List()->setCurrentItem(p->List()->topLevelItem(3));
    h->dialogs.Clear();
    h->dialogs.answers.push_back(ui::MsgAnswer::No);
    p->DeleteButton()->click();
    EXPECT_EQ(Messages(), QStringList{kVersionWarning});
    EXPECT_EQ(p->Questions().size(), 4u);
    p->DeleteButton()->click();  // asked again, Yes
    EXPECT_EQ(p->Questions().size(), 3u);
    h->dialogs.Clear();
    p->List()->setCurrentItem(p->List()->topLevelItem(0));
    p->DeleteButton()->click();  // not asked a third time
    EXPECT_TRUE(Messages().isEmpty());
    p->OkButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return seeded->version == 2; }));
    EXPECT_EQ(seeded->votes, 0);
    EXPECT_EQ(seeded->questionCount, 2);
}

}  // namespace
}  // namespace polls
