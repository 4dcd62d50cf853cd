// The results as comma-separated values: the exact bytes, quoting, shares
// and the rows of each kind of question.

#include <gtest/gtest.h>

#include "polls/model/PollFiles.h"
#include "polls/model/ResultsCsv.h"

namespace polls {
namespace {

CPollQuestion Question(QuestionKind kind, std::string text) {
    CPollQuestion q;
    q.kind = int32_t(kind);
    q.text = std::move(text);
    return q;
}

CPollAnswer Answer(QuestionKind kind) {
    CPollAnswer a;
    a.kind = int32_t(kind);
    return a;
}

CBallot Ballot(std::vector<CPollAnswer> answers) {
    CBallot b;
    b.voterName = "v";
    b.answers = std::move(answers);
    return b;
}

TEST(ResultsCsv, FieldsAreQuotedOnlyWhenNeeded) {
    EXPECT_EQ(CsvField("plain text"), "plain text");
    EXPECT_EQ(CsvField(""), "");
    EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
    EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(CsvField("two\r\nlines"), "\"two\r\nlines\"");
    EXPECT_EQ(CsvField("lone\nfeed"), "\"lone\nfeed\"");
    EXPECT_EQ(CsvField("\xC3\xA9t\xC3\xA9"), "\xC3\xA9t\xC3\xA9");
}

TEST(ResultsCsv, TrueFalseAndChoiceQuestionsGiveOneRowPerAnswer) {
    CPollQuestion tf = Question(QuestionKind::TrueFalse, "Is it \"true\", really?");
    CPollQuestion mc = Question(QuestionKind::MultipleChoice, "Caf\xC3\xA9\r\nor tea");
    mc.answers = std::array<std::string, 4>{"espresso, double", "latte", "\xE7\xB7\x91\xE8\x8C\xB6", ""};
    std::vector<CBallot> ballots;
    auto vote = [&](int32_t tfValue, int32_t choice, bool skipTf = false) {
        CPollAnswer a = Answer(QuestionKind::TrueFalse);
        a.trueFalse = tfValue;
        a.skipped = skipTf ? 1 : 0;
        CPollAnswer b = Answer(QuestionKind::MultipleChoice);
        b.choice = choice;
        ballots.push_back(Ballot({a, b}));
    };
    vote(0, 0);
    vote(0, 0);
    vote(1, 2);
    vote(0, 7, true);  // skipped true/false, out-of-range choice: neither counts

    const std::string expected =
        "Question,Text,Answer,Votes,Share\r\n"
        "1,\"Is it \"\"true\"\", really?\",True,2,66.7%\r\n"
        "1,\"Is it \"\"true\"\", really?\",False,1,33.3%\r\n"
        "2,\"Caf\xC3\xA9\r\nor tea\",\"A: espresso, double\",2,66.7%\r\n"
        "2,\"Caf\xC3\xA9\r\nor tea\",B: latte,0,0.0%\r\n"
        "2,\"Caf\xC3\xA9\r\nor tea\",C: \xE7\xB7\x91\xE8\x8C\xB6,1,33.3%\r\n"
        "2,\"Caf\xC3\xA9\r\nor tea\",D: ,0,0.0%\r\n";
    EXPECT_EQ(ResultsCsv({tf, mc}, ballots), expected);
}

TEST(ResultsCsv, NumericRowsFollowTheWindowAndOpenQuestionsCountAnswers) {
    CPollQuestion num = Question(QuestionKind::Numeric, "How many?");
    CPollQuestion open = Question(QuestionKind::Open, "Why?");
    std::vector<CBallot> ballots;
    for (double v : {2.5, 7.0, 2.5, -1.0, 2.5, 7.0, 3.0, 4.0}) {
        CPollAnswer n = Answer(QuestionKind::Numeric);
        n.number = v;
        CPollAnswer o = Answer(QuestionKind::Open);
        o.text = "because";
        o.skipped = v < 0 ? 1 : 0;
        ballots.push_back(Ballot({n, o}));
    }
    // Four rows at most, the most frequent first; a tie keeps the later
    // first-seen value ahead, as the window lists them.
    const std::string expected =
        "Question,Text,Answer,Votes,Share\r\n"
        "1,How many?,2.500000,3,37.5%\r\n"
        "1,How many?,7.000000,2,25.0%\r\n"
        "1,How many?,4.000000,1,12.5%\r\n"
        "1,How many?,3.000000,1,12.5%\r\n"
        "2,Why?,,7,\r\n";
    EXPECT_EQ(ResultsCsv({num, open}, ballots), expected);
}

TEST(ResultsCsv, QuestionsWithoutBallotsStillHaveTheirRows) {
    const std::string expected =
        "Question,Text,Answer,Votes,Share\r\n"
        "1,T,True,0,\r\n"
        "1,T,False,0,\r\n"
        "2,N,<no votes>,0,\r\n";
    EXPECT_EQ(ResultsCsv({Question(QuestionKind::TrueFalse, "T"),
                          Question(QuestionKind::Numeric, "N")},
                         {}),
              expected);
    // A ballot shorter than the questions counts as skipped for the rest.
    std::vector<CBallot> shortBallot{Ballot({})};
    EXPECT_EQ(ResultsCsv({Question(QuestionKind::Open, "O")}, shortBallot),
              "Question,Text,Answer,Votes,Share\r\n1,O,,0,\r\n");
}

}  // namespace
}  // namespace polls
