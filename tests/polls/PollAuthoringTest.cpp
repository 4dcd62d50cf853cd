// Authoring as plain values: the list's labels and cut texts, the question
// checks and the poll checks in their order, and the upload's fields.

#include <gtest/gtest.h>

#include "polls/model/PollAuthoring.h"

namespace polls {
namespace {

QuestionForm Form(QuestionKind kind) {
    QuestionForm f;
    f.kind = int32_t(kind);
    f.text = "Which one?";
    f.answers = {"a", "b", "c", "d"};
    f.correctTrueFalse = 0;
    f.correctChoice = 0;
    f.minimum = 0;
    f.maximum = 10;
    f.correctMinimum = 1;
    f.correctMaximum = 2;
    return f;
}

std::string Chars(size_t n) { return std::string(n, 'x'); }

TEST(QuestionList, LabelsAndTheCut) {
    EXPECT_EQ(KindLabel(1, false), "Multiple Choice");
    EXPECT_EQ(KindLabel(1, true), "Multiple choice");
    EXPECT_EQ(KindLabel(0, true), "True/false");
    EXPECT_EQ(KindLabel(3, false), "Open");
    EXPECT_EQ(ListQuestionText("12345678901234567"), "12345678901234567");
    EXPECT_EQ(ListQuestionText("123456789012345678"), "12345678901234567...");
    EXPECT_EQ(ListQuestionText("two\r\nlines"), "two  lines");
    // Characters, not bytes.
    EXPECT_EQ(ListQuestionText("\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"
                               "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"
                               "\xC3\xA9\xC3\xA9"),
              "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"
              "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9...");
}

TEST(QuestionChecks, LengthsInCharacters) {
    QuestionForm f = Form(QuestionKind::Open);
    f.text = Chars(999);
    EXPECT_EQ(CheckQuestion(f), std::nullopt);
    f.text = Chars(1000);
    EXPECT_EQ(CheckQuestion(f), "Please enter fewer than 1000 characters for the question");
    f.text.clear();
    EXPECT_EQ(CheckQuestion(f), "Please type a question");
    // 999 two-byte characters are still 999 characters.
    f.text.clear();
    for (int i = 0; i < 999; ++i) f.text += "\xC3\xA9";
    EXPECT_EQ(CheckQuestion(f), std::nullopt);

    QuestionForm m = Form(QuestionKind::MultipleChoice);
    m.answers[2] = Chars(99);
    EXPECT_EQ(CheckQuestion(m), std::nullopt);
    m.answers[2] = Chars(100);
    EXPECT_EQ(CheckQuestion(m),
              "Please type fewer than 100 characters for the multiple choice answer C");
    m.answers[2] = "c";
    m.answers[3].clear();
    EXPECT_EQ(CheckQuestion(m), "Please type multiple choice answer D");
    m.answers[3] = "d";
    m.correctChoice = -1;
    EXPECT_EQ(CheckQuestion(m),
              "Please specify a correct answer, or check the box for no correct answer");
    m.noCorrectAnswer = true;
    EXPECT_EQ(CheckQuestion(m), std::nullopt);

    QuestionForm t = Form(QuestionKind::TrueFalse);
    t.correctTrueFalse = -1;
    EXPECT_EQ(CheckQuestion(t), "Please specify true or false as the correct answer, or check "
                                "the box for no correct answer");
}

TEST(QuestionChecks, NumericInOrder) {
    QuestionForm n = Form(QuestionKind::Numeric);
    EXPECT_EQ(CheckQuestion(n), std::nullopt);
    n.minimum = -1000000;
    n.maximum = 1000000;
    EXPECT_EQ(CheckQuestion(n), "Numeric answer, minimum, must be between -999,999 and 999,999");
    n.minimum = -999999;
    EXPECT_EQ(CheckQuestion(n), "Numeric answer, maximum, must be between -999,999 and 999,999");
    n.maximum = -1000000 + 1;
    n.minimum = 0;
    EXPECT_EQ(CheckQuestion(n), "Numeric answer, maximum, must be greater than or equal to "
                                "numeric answer, minimum");
    n.maximum = 10;
    n.correctMinimum = 5;
    n.correctMaximum = 4;
    EXPECT_EQ(CheckQuestion(n), "Numeric correct answer, maximum, must be greater than or equal "
                                "to numeric correct answer, minimum");
    n.correctMaximum = 11;
    EXPECT_EQ(CheckQuestion(n), "The correct numeric answer must fit within the range of the "
                                "available numeric answers");
    n.correctMinimum = -2000000;
    EXPECT_EQ(CheckQuestion(n),
              "Numeric correct answer, minimum, must be between -999,999 and 999,999");
    // Without a correct answer, its numbers are not looked at.
    n.noCorrectAnswer = true;
    EXPECT_EQ(CheckQuestion(n), std::nullopt);
    // A half-filled question (no kind) is not complete.
    QuestionForm half;
    half.text = "Half";
    EXPECT_NE(CheckQuestion(half), std::nullopt);
}

PollForm Poll() {
    PollForm f;
    f.start = {2030, 5, 1, 10, 0, 0};
    f.end = {2030, 5, 1, 11, 0, 0};
    f.questionCount = 1;
    f.maxVotes = 5;
    return f;
}

TEST(PollChecks, OkChecksInOrder) {
    EXPECT_EQ(CheckPoll(Poll()), std::nullopt);
    // Everything wrong at once: the first check speaks, then the next.
    PollForm f = Poll();
    f.start.year = 2008;
    f.end.year = 2008;
    f.questionCount = 0;
    f.maxVotes = 0;
    f.recurring = true;
    f.intervalHours = 0;
    EXPECT_EQ(CheckPoll(f), "The start date must occur in the year 2009 or later");
    f.start.year = 2031;
    EXPECT_EQ(CheckPoll(f), "The end date must occur in the year 2009 or later");
    f.end.year = 2030;
    EXPECT_EQ(CheckPoll(f), "The poll must have at least one question");
    f.questionCount = 2;
    EXPECT_EQ(CheckPoll(f), "Max votes must be between 1 and 9,999 inclusive");
    f.maxVotes = 10000;
    EXPECT_EQ(CheckPoll(f), "Max votes must be between 1 and 9,999 inclusive");
    f.maxVotes = 9999;
    EXPECT_EQ(CheckPoll(f), "Recurring interval must be between 1 and 9,999 hours inclusive");
    f.intervalHours = 1;
    f.start.year = 2030;
    f.end.hour = 12;  // two hours long, recurring every hour
    EXPECT_EQ(CheckPoll(f), "The recurring time interval must be greater than the difference "
                            "between the start and end times (otherwise the poll will never "
                            "finish)");
    f.recurring = false;
    f.start.day = 2;
    EXPECT_EQ(CheckPoll(f), "Start date must be earlier than the end date");
    f.start.day = 1;
    f.start.hour = 12;
    EXPECT_EQ(CheckPoll(f), "Start time must be earlier than the end time");
}

TEST(PollChecks, RecurringLengthAgainstTheInterval) {
    PollForm f = Poll();
    f.recurring = true;
    f.intervalHours = 1;
    f.end = {2030, 5, 1, 11, 0, 0};  // exactly one hour
    EXPECT_NE(CheckPoll(f), std::nullopt);
    f.end = {2030, 5, 1, 10, 59, 59};
    EXPECT_EQ(CheckPoll(f), std::nullopt);
}

TEST(PollUploadFieldsTest, EveryFieldInOrder) {
    PollUpload u;
    u.mode = 1;
    u.pollId = 7;
    u.fileFollows = false;
    u.clientNow.tm_year = 130;
    u.clientNow.tm_mon = 4;
    u.clientNow.tm_mday = 3;
    u.clientNow.tm_isdst = 1;
    u.sessionId = "demo01";
    u.form = Poll();
    u.othersMayView = true;
    const std::vector<UploadField> f = PollUploadFields(u);
    ASSERT_EQ(f.size(), 3u + 7u + 1u + 17u);
    EXPECT_EQ(std::get<int32_t>(f[0]), 1);
    EXPECT_EQ(std::get<int32_t>(f[1]), 7);
    EXPECT_EQ(std::get<int32_t>(f[2]), 0);
    EXPECT_EQ(std::get<int32_t>(f[3]), 130);
    EXPECT_EQ(std::get<int32_t>(f[9]), 1);
    EXPECT_EQ(std::get<std::string>(f[10]), "demo01");
    EXPECT_EQ(std::get<int32_t>(f[11]), 2030);
    EXPECT_EQ(std::get<int32_t>(f[20]), 11);  // end hour
    EXPECT_EQ(std::get<int32_t>(f[23]), 5);   // max votes
    EXPECT_EQ(std::get<int32_t>(f[24]), 1);   // others may view
    EXPECT_EQ(std::get<int32_t>(f[25]), 0);   // not recurring...
    EXPECT_EQ(std::get<int32_t>(f[26]), 1);   // ...so an interval of 1
    EXPECT_EQ(std::get<int32_t>(f[27]), 1);   // questions
}

TEST(QuestionWindowIndex, DeletingMovesOrDropsTheEditedQuestion) {
    EXPECT_EQ(IndexAfterDelete(3, 3), std::nullopt);
    EXPECT_EQ(IndexAfterDelete(3, 1), 2u);
    EXPECT_EQ(IndexAfterDelete(3, 4), 3u);
}

}  // namespace
}  // namespace polls
