// Ballots and results as plain values: what may be recorded and left, what
// counts in a tally, the numeric rows, the scores and the answer texts, and
// the reading of a results file.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "polls/model/PollFiles.h"
#include "polls/model/PollResults.h"
#include "support/TempDir.h"

namespace polls {
namespace {

CPollQuestion Question(QuestionKind kind, bool correct = true) {
    CPollQuestion q;
    q.kind = int32_t(kind);
    q.text = "Q";
    q.noCorrectAnswer = correct ? 0 : 1;
    if (kind == QuestionKind::MultipleChoice) q.answers = std::array<std::string, 4>{"a", "b", "c", "d"};
    return q;
}

CPollAnswer Answer(QuestionKind kind) {
    CPollAnswer a;
    a.kind = int32_t(kind);
    return a;
}
CPollAnswer Number(double v) {
    CPollAnswer a = Answer(QuestionKind::Numeric);
    a.number = v;
    return a;
}
CPollAnswer Choice(int32_t c) {
    CPollAnswer a = Answer(QuestionKind::MultipleChoice);
    a.choice = c;
    return a;
}
CPollAnswer TrueFalse(int32_t v) {
    CPollAnswer a = Answer(QuestionKind::TrueFalse);
    a.trueFalse = v;
    return a;
}
CPollAnswer Skipped() {
    CPollAnswer a;
    a.skipped = 1;
    return a;
}
CBallot Ballot(const std::string& name, std::vector<CPollAnswer> answers) {
    CBallot b;
    b.voterName = name;
    b.answers = std::move(answers);
    return b;
}

TEST(BallotInput, NumbersArePlainDecimalsOnly) {
    double v = -1;
    EXPECT_TRUE(ParsePlainDecimal("12.5", v));
    EXPECT_EQ(v, 12.5);
    EXPECT_TRUE(ParsePlainDecimal("-.5", v));
    EXPECT_EQ(v, -0.5);
    EXPECT_TRUE(ParsePlainDecimal("+3.", v));
    EXPECT_EQ(v, 3.0);
    for (const char* bad : {"nan", "NaN", "inf", "-infinity", "1e5", "0x10", " 1", "1 ", "", "-",
                            ".", "1.2.3", "12abc"}) {
        EXPECT_FALSE(ParsePlainDecimal(bad, v)) << bad;
    }
    // What the box records: text that is no number reads as 0, so "nan" is
    // held to the range like any 0.
    EXPECT_EQ(BallotNumber("nan"), 0.0);
    EXPECT_EQ(BallotNumber("7.25"), 7.25);

    int32_t i = 0;
    EXPECT_TRUE(ParsePlainInteger("-2147483648", i));
    EXPECT_EQ(i, INT32_MIN);
    EXPECT_FALSE(ParsePlainInteger("2147483648", i));
    EXPECT_FALSE(ParsePlainInteger("12.0", i));
    EXPECT_FALSE(ParsePlainInteger("", i));
}

TEST(BallotInput, TheRangeAllowsItsEndsAndNothingOutside) {
    CPollQuestion q = Question(QuestionKind::Numeric);
    q.minimum = 1.5;
    q.maximum = 10;
    EXPECT_TRUE(MayLeaveQuestion(q, Number(1.5)));
    EXPECT_TRUE(MayLeaveQuestion(q, Number(10)));
    EXPECT_FALSE(MayLeaveQuestion(q, Number(std::nextafter(1.5, 0.0))));
    EXPECT_FALSE(MayLeaveQuestion(q, Number(10.000001)));
    // An unanswered question may always be left; "nan" typed is 0 and out.
    EXPECT_TRUE(MayLeaveQuestion(q, Skipped()));
    EXPECT_FALSE(MayLeaveQuestion(q, Number(BallotNumber("nan"))));
    EXPECT_EQ(RangeLabel(q), "Range: 1.50 to 10.00");
    EXPECT_EQ(BallotQuestionLabel(2, 4), "Question: 2/4");
}

TEST(BallotInput, SkippedAnswersAskAndOpenAnswersStayReadable) {
    std::vector<CPollAnswer> answers = FreshAnswers(3);
    EXPECT_TRUE(AnySkipped(answers));
    answers[0] = TrueFalse(0);
    answers[1] = Choice(2);
    EXPECT_TRUE(AnySkipped(answers));
    answers[2] = Number(4);
    EXPECT_FALSE(AnySkipped(answers));

    // An open answer longer than the reader allows is cut at a whole
    // character; an emptied one goes as skipped. Either way the ballots file
    // stays readable for everyone.
    std::string longText;
    for (int i = 0; i < 1200; ++i) longText += "\xE2\x82\xAC";  // 3 bytes each
    CPollAnswer open = Answer(QuestionKind::Open);
    open.text = longText;
    CPollAnswer emptied = Answer(QuestionKind::Open);
    CBallot b = MakeBallot("bob", {open, emptied});
    EXPECT_EQ(b.answers[0].text.size(), 3000u);
    EXPECT_EQ(b.answers[1].skipped, 1);
    const std::string bytes = WriteBallotsBytes({b});
    auto back = ReadBallotsBytes(bytes);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ((*back)[0].voterName, "bob");
    EXPECT_EQ(CutUtf8("a\xE2\x82\xAC", 3), "a");
}

TEST(Tally, TheWorkedNumericExample) {
    std::vector<CPollQuestion> qs = {Question(QuestionKind::Numeric)};
    qs[0].correctMinimum = 1;
    qs[0].correctMaximum = 4;
    std::vector<CBallot> ballots;
    for (double v : {1.5, 2.5, 3.5, 4.5, 5.5, 1.5, 3.5, 4.5, 1.5, 3.5})
        ballots.push_back(Ballot("v", {Number(v)}));
    const QuestionTally t = TallyQuestion(qs, ballots, 0);
    EXPECT_EQ(t.answered, 10);
    EXPECT_EQ(t.numericLabel, "1.000000 to 4.000000");
    EXPECT_EQ(t.rows[0].text, "3.500000 (3 votes)");
    EXPECT_EQ(t.rows[1].text, "1.500000 (3 votes)");
    EXPECT_EQ(t.rows[2].text, "4.500000 (2 votes)");
    EXPECT_EQ(t.rows[3].text, "5.500000 (1 vote)");
    EXPECT_EQ(t.rows[0].mark, 1);
    EXPECT_EQ(t.rows[2].mark, 2);
    EXPECT_EQ(t.rows[3].mark, 2);

    // Fewer values than rows; no correct range marks every row alike.
    qs[0].noCorrectAnswer = 1;
    const QuestionTally few = TallyQuestion(qs, {Ballot("v", {Number(9)})}, 0);
    EXPECT_EQ(few.numericLabel, "All numbers accepted");
    EXPECT_EQ(few.rows[0].mark, 1);
    EXPECT_EQ(few.rows[1].text, "<no votes>");
    EXPECT_EQ(few.rows[1].mark, -1);
}

TEST(Tally, ManyDistinctNumbersKeepTheStableOrder) {
    // Counts 1..n-1 seen in a shuffled order, with ties: the rows must be the
    // stable sort's last four, whatever the algorithm.
    std::vector<CPollQuestion> qs = {Question(QuestionKind::Numeric, false)};
    std::vector<CBallot> ballots;
    for (int v = 0; v < 3000; ++v) ballots.push_back(Ballot("v", {Number(v % 1000)}));
    ballots.push_back(Ballot("v", {Number(999)}));
    ballots.push_back(Ballot("v", {Number(5)}));
    ballots.push_back(Ballot("v", {Number(-0.0)}));
    const QuestionTally t = TallyQuestion(qs, ballots, 0);
    // 0 (with -0) and 5 and 999 have 4; 5 was seen after 0, 999 after 5.
    EXPECT_EQ(t.rows[0].text, "999.000000 (4 votes)");
    EXPECT_EQ(t.rows[1].text, "5.000000 (4 votes)");
    EXPECT_EQ(t.rows[2].text, "0.000000 (4 votes)");
    EXPECT_EQ(t.rows[3].text, "998.000000 (3 votes)");
}

TEST(Tally, AnswersThatDoNotFitTheirQuestionCountAsSkipped) {
    std::vector<CPollQuestion> qs = {Question(QuestionKind::MultipleChoice),
                                     Question(QuestionKind::TrueFalse)};
    qs[0].correctChoice = 1;
    qs[1].correctTrueFalse = 0;
    std::vector<CBallot> ballots = {
        Ballot("a", {Choice(1), TrueFalse(0)}),
        Ballot("b", {Choice(7), Number(1)}),   // a choice past D, a number for true/false
        Ballot("c", {Choice(-1)}),             // and an answer missing
        Ballot("d", {Choice(3), TrueFalse(1)}),
    };
    const QuestionTally choice = TallyQuestion(qs, ballots, 0);
    EXPECT_EQ(choice.answered, 2);
    EXPECT_FLOAT_EQ(choice.choiceFractions[1], 0.5f);
    EXPECT_FLOAT_EQ(choice.choiceFractions[3], 0.5f);
    const QuestionTally tf = TallyQuestion(qs, ballots, 1);
    EXPECT_EQ(tf.answered, 2);
    EXPECT_FLOAT_EQ(tf.trueFraction, 0.5f);
    EXPECT_FLOAT_EQ(tf.falseFraction, 0.5f);
    EXPECT_EQ(Score(qs, ballots[1]), 0);
    EXPECT_EQ(Score(qs, ballots[2]), 0);
    EXPECT_EQ(DescribeAnswer(qs, ballots[1], 0).text, "b did not answer the question");
    EXPECT_EQ(DescribeAnswer(qs, ballots[2], 1).text, "c did not answer the question");

    // Nobody answered: every fraction 0, no bar.
    const QuestionTally none = TallyQuestion(qs, {Ballot("x", {Skipped(), Skipped()})}, 1);
    EXPECT_EQ(none.trueFraction, 0.0f);
    EXPECT_EQ(BarHeight(none.trueFraction), 0);
    EXPECT_EQ(BarHeight(0.5f), 63);
    EXPECT_EQ(BarHeight(1.0f), 126);
    EXPECT_EQ(CorrectBar(qs[0]), 1);
    qs[0].noCorrectAnswer = 1;
    EXPECT_EQ(CorrectBar(qs[0]), -1);
}

TEST(Scores, GradableQuestionsOnly) {
    std::vector<CPollQuestion> qs = {Question(QuestionKind::TrueFalse),
                                     Question(QuestionKind::MultipleChoice),
                                     Question(QuestionKind::Numeric), Question(QuestionKind::Open),
                                     Question(QuestionKind::TrueFalse, false)};
    qs[0].correctTrueFalse = 1;
    qs[1].correctChoice = 2;
    qs[2].correctMinimum = 10;
    qs[2].correctMaximum = 20;
    CPollAnswer open = Answer(QuestionKind::Open);
    open.text = "fine";
    const CBallot b = Ballot("bob", {TrueFalse(1), Choice(0), Number(20), open, TrueFalse(0)});
    EXPECT_EQ(GradableCount(qs), 3);
    EXPECT_EQ(Score(qs, b), 2);
    EXPECT_EQ(ScoreText(Score(qs, b), GradableCount(qs)), "2/3 (66.7%)");
    EXPECT_EQ(ScoreText(0, 0), "-/-");
    // Only open or only uncorrected questions: nothing to grade.
    EXPECT_EQ(GradableCount({Question(QuestionKind::Open), Question(QuestionKind::Numeric, false)}), 0);

    EXPECT_EQ(DescribeAnswer(qs, b, 0).text, "bob answered false (correct)");
    EXPECT_EQ(DescribeAnswer(qs, b, 0).mark, 0);
    EXPECT_EQ(DescribeAnswer(qs, b, 1).text, "bob chose answer 'A' (incorrect)");
    EXPECT_EQ(DescribeAnswer(qs, b, 1).mark, 1);
    EXPECT_EQ(DescribeAnswer(qs, b, 2).text, "bob answered 20.000000 (correct)");
    const AnswerView said = DescribeAnswer(qs, b, 3);
    EXPECT_EQ(said.text, "bob had the following to say about question 4:");
    EXPECT_TRUE(said.showsText);
    EXPECT_EQ(said.answerText, "fine");
    EXPECT_EQ(DescribeAnswer(qs, b, 4).text, "bob answered true");
    EXPECT_EQ(DescribeAnswer(qs, b, 4).mark, 0);

    const CBallot blank = Ballot("eve", {Skipped(), Skipped(), Skipped(), Skipped(), Skipped()});
    EXPECT_EQ(DescribeAnswer(qs, blank, 0).mark, 1);
    EXPECT_EQ(DescribeAnswer(qs, blank, 3).text, "eve left question 4 blank");
    EXPECT_EQ(DescribeAnswer(qs, blank, 4).text, "eve did not answer the question");
    EXPECT_EQ(DescribeAnswer(qs, blank, 4).mark, -1);

    EXPECT_TRUE(MayViewIndividualBallots("alice", "alice", 0));
    EXPECT_FALSE(MayViewIndividualBallots("bob", "alice", 0));
    EXPECT_TRUE(MayViewIndividualBallots("bob", "alice", 1));
}

class ReadResultsTest : public ::testing::Test {
  protected:
    std::string Path(const char* name) { return dir.file(name); }
    // Reads through the file and from memory; both must agree.
    ResultsRead Read(const std::string& bytes) {
        std::ofstream(Path("results"), std::ios::binary) << bytes;
        ResultsRead fromFile = ReadResults(Path("results"), Path("poll"), Path("ballots"));
        const ResultsRead fromBytes = ReadResultsBytes(bytes);
        EXPECT_EQ(fromBytes.error, fromFile.error);
        EXPECT_EQ(fromBytes.questions, fromFile.questions);
        EXPECT_EQ(fromBytes.ballots, fromFile.ballots);
        return fromFile;
    }
    static std::string Masked(const std::vector<CPollQuestion>& qs) {
        std::string p = WritePollBytes(qs);
        MaskBytes(p);
        return p;
    }
    testsupport::TempDir dir;
};

TEST_F(ReadResultsTest, EachStepHasItsText) {
    const std::vector<CPollQuestion> qs = {Question(QuestionKind::TrueFalse)};
    const std::string ballots = WriteBallotsBytes({Ballot("bob", {TrueFalse(0)})});
    const ResultsRead ok = Read(MakeResultsBytes(Masked(qs), ballots));
    EXPECT_EQ(ok.error, "");
    ASSERT_EQ(ok.ballots.size(), 1u);
    EXPECT_EQ(ok.ballots[0].voterName, "bob");
    EXPECT_EQ(ok.questions, qs);

    EXPECT_EQ(ReadResults(Path("missing"), Path("poll"), Path("ballots")).error,
              kFailedToOpenResults);
    EXPECT_EQ(Read(std::string(4, '\0')).error, kResultsCorrupt);
    EXPECT_EQ(Read("\xff\xff\xff\xff").error, kResultsCorrupt);
    EXPECT_EQ(Read(std::string("\x01\x00\xa0\x00", 4)).error, kResultsCorrupt);
    // The poll part ends early; no ballot bytes after it.
    EXPECT_EQ(Read(MakeResultsBytes(Masked(qs), "").substr(0, 10)).error,
              kFailedToExtractQuestions);
    EXPECT_EQ(Read(MakeResultsBytes(Masked(qs), "")).error, kFailedToExtractBallots);
    // Parts that break the bounds: nothing is kept.
    const ResultsRead badPoll = Read(MakeResultsBytes(Masked({}), ballots));
    EXPECT_EQ(badPoll.error, kUnableToReadQuestions);
    EXPECT_TRUE(badPoll.questions.empty());
    const ResultsRead badBallots = Read(MakeResultsBytes(Masked(qs), ballots.substr(0, 9)));
    EXPECT_EQ(badBallots.error, kUnableToReadBallots);
    EXPECT_TRUE(badBallots.questions.empty());
}

TEST_F(ReadResultsTest, KeepsTheCutPartsAsFilesAndFailsWhenItCannot) {
    const std::vector<CPollQuestion> qs = {Question(QuestionKind::TrueFalse)};
    const std::string ballots = WriteBallotsBytes({Ballot("bob", {TrueFalse(1)})});
    ASSERT_EQ(Read(MakeResultsBytes(Masked(qs), ballots)).error, "");
    EXPECT_EQ(ReadWholeFile(Path("poll"), 1 << 20), WritePollBytes(qs)) << "kept unmasked";
    EXPECT_EQ(ReadWholeFile(Path("ballots"), 1 << 20), ballots);

    std::ofstream(Path("results"), std::ios::binary) << MakeResultsBytes(Masked(qs), ballots);
    EXPECT_EQ(ReadResults(Path("results"), Path("none/poll"), Path("ballots")).error,
              kFailedToExtractQuestions);
    EXPECT_EQ(ReadResults(Path("results"), Path("poll"), Path("none/ballots")).error,
              kFailedToExtractBallots);
}

}  // namespace
}  // namespace polls
